// The application states: what each handler does and which interface scripts
// each state needs.
#include <array>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// The file each script is loaded from; the room's comes with the room.
constexpr std::array<const char*, kScriptCount> kScriptFiles = {
    "Bin\\Interface\\Credits\\Scripts\\credits.vmc",
    "",
    "Bin\\Interface\\Journal\\Scripts\\journal.vmc",
    "Bin\\Interface\\Journal\\Scripts\\Hints.vmc",
    "Bin\\Interface\\Journal\\Scripts\\Investigations.vmc",
    "Bin\\Interface\\Journal\\Scripts\\options.vmc",
    "Bin\\Interface\\Journal\\Scripts\\special.vmc",
    "Bin\\Interface\\Journal\\Scripts\\Suspects.vmc",
    "Bin\\Interface\\Main\\Scripts\\background.vmc",
    "Bin\\Interface\\Main\\Scripts\\initial.vmc",
    "Bin\\Interface\\Main\\Scripts\\mainmenu.vmc",
    "Bin\\Interface\\Main\\Scripts\\options.vmc",
    "Bin\\Interface\\Main\\Scripts\\special.vmc",
    "Bin\\Interface\\Pause\\Scripts\\pause.vmc",
    "Bin\\Interface\\Quit\\Scripts\\quit.vmc",
};

// With "-testscreen" the first screen is the test interface, which shows
// every kind of object the engine draws and hit-tests.
constexpr const char* kTestScreenFile = "Bin\\Interface\\Test\\Scripts\\test.vmc";

struct ScriptNeed {
  GameScript script;
  const char* failure;  // logged when the script cannot be loaded
};

// An interface state: the scripts its enter handler loads, in order, and
// the scripts told of the entry, in order.
struct InterfaceState {
  std::vector<ScriptNeed> loads;
  std::vector<GameScript> told;
};

const std::array<InterfaceState, kStateCount + 1> kInterfaceStates = {{
    {},
    {{{kScriptCredits, "AppStateCreditsEnter - Unable to load credits script."}}, {kScriptCredits}},
    {},
    {},
    {},
    {{{kScriptJournal, "AppStateJournalEnter - Unable to load journal script."}}, {kScriptJournal}},
    {{{kScriptJournalHints, "AppStateJournalHintsEnter - Unable to load journal hints script."}},
     {kScriptJournalHints}},
    {{{kScriptJournalInvestigations,
       "AppStateJournalInvestigationsEnter - Unable to load journal investigations script."}},
     {kScriptJournalInvestigations}},
    {{{kScriptJournalOptions,
       "AppStateJournalOptionsEnter - Unable to load journal options script."}},
     {kScriptJournalOptions}},
    {{{kScriptJournalSpecial,
       "AppStateJournalSpecialEnter - Unable to load journal special script."}},
     {kScriptJournalSpecial}},
    {{{kScriptJournalSuspects,
       "AppStateJournalSuspectsEnter - Unable to load journal Suspects script."}},
     {kScriptJournalSuspects}},
    {{{kScriptMainInitial, "AppStateMainInitialEnter - Unable to load main initial script."}},
     {kScriptMainInitial}},
    {{{kScriptBackground, "AppStateMainMenuEnter - Unable to load background script."},
      {kScriptMainMenu, "AppStateMainMenuEnter - Unable to load main menu script."}},
     {kScriptMainMenu, kScriptBackground}},
    {{{kScriptMainOptions, "AppStateMainOptionsEnter - Unable to load main options script."}},
     {kScriptMainOptions, kScriptBackground}},
    {{{kScriptBackground,
       "AppStateMainSpecialEnter - Unable to load background script for special features."},
      {kScriptMainSpecial, "AppStateMainSpecialEnter - Unable to load main special script."}},
     {kScriptMainSpecial, kScriptBackground}},
    {{{kScriptPause, "AppStatePausedEnter - Unable to load pause script."}}, {kScriptPause}},
    {},
    {{{kScriptQuit, "AppStateQuitConfirmEnter - Unable to load quit confirmation script."}},
     {kScriptQuit}},
    {},
}};

struct StatesData {
  std::array<int32_t, kScriptCount> scripts{};  // 0: not loaded
  int32_t beforePause = 0;                      // the state the pause overlay returns to
  int32_t quitReturn = 0;                       // the state the quit confirmation returns to
};

StatesData states;

std::string ScriptFile(GameScript script) {
  if (script == kScriptMainInitial && UtilitiesSwitchPresent("-testscreen")) {
    return kTestScreenFile;
  }
  return kScriptFiles[script];
}

// Whether a state belongs to the game being played (the room and the
// journal) rather than to the menus.
bool InGame(int32_t state) {
  return state >= kStateGame && state <= kStateJournalSuspects;
}

// What the quit confirmation is told: where the player asked to quit from.
std::string QuitEnterText() {
  const int32_t from = states.quitReturn == kStatePaused ? states.beforePause : states.quitReturn;
  return InGame(from) ? "FROM GAME" : "FROM MENU";
}

// Loads the scripts the state needs, then tells them that it is entered. A
// script that cannot be loaded ends the game through the fatal-error state.
void InterfaceEnter(int32_t state, int32_t previous) {
  if (state == kStatePaused) {
    if (previous != kStateQuit && previous != kStateQuitConfirm) {
      states.beforePause = previous;
    }
    AudioPauseAll();
  } else if (state == kStateQuitConfirm) {
    states.quitReturn = previous;
  }
  const InterfaceState& entry = kInterfaceStates[static_cast<size_t>(state)];
  for (const ScriptNeed& need : entry.loads) {
    int32_t& id = states.scripts[need.script];
    if (id < 1) {
      id = ScriptLoad(ScriptFile(need.script));
    }
    if (id < 1) {
      LogError(need.failure);
      StateSet(kStateFatalError);
      return;
    }
  }
  // The main menu's screens start with fresh controls: nothing pressed on the
  // way in counts.
  if (state >= kStateMainInitial && state <= kStateMainSpecial) {
    const int32_t set = InputControlSetActive();
    InputControlSetActivate(set);
    InputActionEventsTake(set);
    InputControlEventsTake(set);
  }
  const std::string text = state == kStateQuitConfirm ? QuitEnterText() : "AppScriptEnter";
  for (GameScript script : entry.told) {
    ScriptEventSend(states.scripts[script], 1, text);
  }
}

// The interface screens that run one script, which they process, hand the
// keys to and draw.
constexpr struct {
  int32_t state;
  GameScript script;
} kSingleScriptStates[] = {
    {kStateCredits, kScriptCredits},
    {kStateJournal, kScriptJournal},
    {kStateMainInitial, kScriptMainInitial},
};

// The scripts a state draws, from the bottom up. States whose screens are
// not built yet draw nothing.
std::vector<GameScript> RenderedScripts(int32_t state) {
  for (const auto& entry : kSingleScriptStates) {
    if (entry.state == state) {
      return {entry.script};
    }
  }
  return {};
}

void RenderFrame() {
  GraphicsRenderBegin(GamePrimaryDisplay());
  GameStateRender();
  GraphicsRenderEnd(GamePrimaryDisplay());
}

// The frame of a single-script interface screen: its threads and pointer,
// its keys, the streams, and the screen drawn.
void InterfaceProcess(GameScript script) {
  const int32_t id = states.scripts[script];
  ScriptProcess(id);
  GameInterfaceKeys(id);
  AudioUpdate();
  RenderFrame();
}

// The frame of a state whose screen is not built yet: streams refilled, the
// display cleared and shown.
void PlaceholderProcess() {
  AudioUpdate();
  RenderFrame();
}

void RegisterProcess(int32_t state) {
  for (const auto& entry : kSingleScriptStates) {
    if (entry.state == state) {
      StateSetProcess(state, [script = entry.script] { InterfaceProcess(script); });
      return;
    }
  }
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
      StateSetProcess(state, PlaceholderProcess);
      break;
  }
}

}  // namespace

void GameRegisterStates() {
  // Called on every change; the game never refuses one.
  StateSetChangeHook([](int32_t, int32_t) { return true; });
  for (int32_t state = 1; state <= kStateCount; ++state) {
    if (!kInterfaceStates[static_cast<size_t>(state)].loads.empty()) {
      StateSetEnter(state, [state](int32_t previous) { InterfaceEnter(state, previous); });
    }
    RegisterProcess(state);
  }
  // Leaving the pause overlay lets the sounds it paused play on.
  StateSetExit(kStatePaused, [](int32_t) { AudioResumeAll(); });
  StateSetSaveName(kStateGame, "Game");
}

int32_t GameScriptId(GameScript script) {
  return states.scripts[script];
}

void GameStatesReset() {
  states = StatesData{};
}

void GameScriptsClose() {
  for (int32_t& id : states.scripts) {
    if (id > 0) {
      ScriptClose(id);
    }
    id = 0;
  }
}

void GameStateRender() {
  for (GameScript script : RenderedScripts(StateGetCurrent())) {
    ScriptRender(states.scripts[script], GamePrimaryDisplay());
  }
}
