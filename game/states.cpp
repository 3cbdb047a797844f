// The application states: what each handler does and which interface scripts
// each state needs.
#include <array>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "game/game_internal.h"

namespace {

// What an interface state's enter handler logs for each script it cannot
// load, in loading order; empty for the other states.
const std::array<std::vector<std::string>, kStateCount + 1> kLoadFailures = {{
    {},
    {"AppStateCreditsEnter - Unable to load credits script."},
    {},
    {},
    {},
    {"AppStateJournalEnter - Unable to load journal script."},
    {"AppStateJournalHintsEnter - Unable to load journal hints script."},
    {"AppStateJournalInvestigationsEnter - Unable to load journal investigations script."},
    {"AppStateJournalOptionsEnter - Unable to load journal options script."},
    {"AppStateJournalSpecialEnter - Unable to load journal special script."},
    {"AppStateJournalSuspectsEnter - Unable to load journal Suspects script."},
    {"AppStateMainInitialEnter - Unable to load main initial script."},
    {"AppStateMainMenuEnter - Unable to load background script.",
     "AppStateMainMenuEnter - Unable to load main menu script."},
    {"AppStateMainOptionsEnter - Unable to load main options script."},
    {"AppStateMainSpecialEnter - Unable to load background script for special features.",
     "AppStateMainSpecialEnter - Unable to load main special script."},
    {"AppStatePausedEnter - Unable to load pause script."},
    {},
    {"AppStateQuitConfirmEnter - Unable to load quit confirmation script."},
    {},
}};

// There is no script engine to load interface scripts with yet, so the first
// script a state needs cannot be loaded: the state logs why and the game ends
// through the fatal-error state, as it does whenever content is missing.
void InterfaceEnter(int32_t state) {
  LogError(kLoadFailures[static_cast<size_t>(state)].front());
  StateSet(kStateFatalError);
}

// The frame of a state: streams refilled, the primary display cleared and
// shown.
void ProcessFrame() {
  AudioUpdate();
  GraphicsRenderBegin(GamePrimaryDisplay());
  GraphicsRenderEnd(GamePrimaryDisplay());
}

void RegisterProcess(int32_t state) {
  switch (state) {
    case kStateFatalError:
    case kStateRoomLoad:
      StateSetProcess(state, [] {});
      break;
    case kStateQuit:
      StateSetProcess(state, [] { StateSet(0); });
      break;
    case kStateQuickLoad:
      // With no save games to load, quick load returns to the main menu.
      StateSetProcess(state, [] { StateSet(kStateMainMenu); });
      break;
    default:
      StateSetProcess(state, ProcessFrame);
      break;
  }
}

}  // namespace

void GameRegisterStates() {
  // Called on every change; the game never refuses one.
  StateSetChangeHook([](int32_t, int32_t) { return true; });
  for (int32_t state = 1; state <= kStateCount; ++state) {
    if (!kLoadFailures[static_cast<size_t>(state)].empty()) {
      StateSetEnter(state, [state](int32_t) { InterfaceEnter(state); });
    }
    RegisterProcess(state);
  }
  // Leaving the pause overlay lets the sounds it paused play on.
  StateSetExit(kStatePaused, [](int32_t) { AudioResumeAll(); });
  StateSetSaveName(kStateGame, "Game");
}
