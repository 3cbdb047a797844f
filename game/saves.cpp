// Starting a game afresh: the world of the last game cleared and the
// start script run.
#include <string>

#include "framework/log/log.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// Its initial code sets the Game state's variables a new game starts with,
// among them the first room.
constexpr const char* kGameStartFile = "Bin\\gameStart.vmc";

}  // namespace

bool FileGameStateInit() {
  AgentsClear();
  ActionsReset();
  DialogClear();
  BubblesClear();
  FogOfWarClear();
  RoomSetDepthBuffer("");
  GameBackgroundFramesClose();
  GameMusicClear();
  const int32_t script = ScriptLoad(kGameStartFile);
  if (script < 1) {
    LogError("FileGameStateInit - Unable to load game start script.");
    StateSet(kStateFatalError);
    return false;
  }
  ScriptClose(script);
  return true;
}
