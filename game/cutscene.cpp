// Cutscenes: while one runs, autosaves are refused and Escape in the room
// does not open the journal. Threads that play a cutscene register
// themselves; nothing asks to skip a cutscene, so each plays to its end.
#include <cstdint>
#include <utility>
#include <vector>

#include "game/game_internal.h"
#include "script/script.h"

namespace {

struct CutsceneState {
  bool running = false;
  std::vector<std::pair<int32_t, int32_t>> threads;  // (script, thread), as registered
};

CutsceneState cutscene;

}  // namespace

bool GameCutsceneRunning() {
  return cutscene.running;
}

void GameCutsceneSet(bool running) {
  cutscene.running = running;
}

void GameCutsceneThreadsForget() {
  cutscene.threads.clear();
}

void GameCutscenesReset() {
  cutscene = CutsceneState{};
}

void GameRegisterCutsceneRoutines() {
  ScriptAppRoutineRegister("AppCutsceneBegin", [](int32_t, int32_t) {
    cutscene.running = true;
    return 1;
  });
  ScriptAppRoutineRegister("AppCutsceneEnd", [](int32_t, int32_t) {
    cutscene.running = false;
    cutscene.threads.clear();
    return 1;
  });
  ScriptAppRoutineRegister("AppCutsceneRegisterThread", [](int32_t script, int32_t thread) {
    cutscene.threads.emplace_back(script, thread);
    return 1;
  });
  ScriptAppRoutineRegister("AppCutsceneSkip", [](int32_t, int32_t) { return 1; });
  ScriptAppRoutineRegister("AppCutsceneSkipping", [](int32_t script, int32_t thread) {
    ScriptParamSetBool(script, thread, 1, false);
    return 1;
  });
}
