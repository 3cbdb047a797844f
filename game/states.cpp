// The application states: what each handler does and which interface scripts
// each state needs.
#include <array>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
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
  std::array<int32_t, kScriptCount> scripts{};  // 0: not loaded; the room's is the room module's
  int32_t beforePause = 0;                      // the state the pause overlay returns to
  int32_t quitReturn = 0;                       // the state the quit confirmation returns to
  int32_t quickLoadReturn = 0;                  // the state the quick load was asked from
  Model* backgroundFrames = nullptr;            // the dimmed last game frame, once taken
};

StatesData states;

// The room module owns the room script; the interface scripts are kept here.
int32_t ScriptId(GameScript script) {
  return script == kScriptRoom ? RoomScriptId() : states.scripts[script];
}

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

// The input starts afresh: nothing pressed on the way in counts.
void ControlsRestart() {
  const int32_t set = InputControlSetActive();
  InputControlSetActivate(set);
  InputActionEventsTake(set);
  InputControlEventsTake(set);
}

// What an interface state remembers of the state it is entered from, before
// its scripts load.
void RememberPrevious(int32_t state, int32_t previous) {
  if ((state == kStateMainMenu || state == kStateMainSpecial) && previous == kStateCredits) {
    // The menu's music starts again after the credits' own.
    GameMusicClear();
  } else if (state == kStateJournalOptions) {
    // The save screens start again at the top of the list.
    SaveScreenSetFirstDisplayed(0);
  } else if (state == kStatePaused) {
    if (previous != kStateQuit && previous != kStateQuitConfirm) {
      states.beforePause = previous;
    }
    AudioPauseAll();
  } else if (state == kStateQuitConfirm && previous != kStateQuitConfirm) {
    states.quitReturn = previous;
  }
}

// Loads the scripts the state needs, then tells them that it is entered. A
// script that cannot be loaded ends the game through the fatal-error state.
void InterfaceEnter(int32_t state, int32_t previous) {
  RememberPrevious(state, previous);
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
  if (state >= kStateMainInitial && state <= kStateMainSpecial) {
    ControlsRestart();
  }
  const std::string text = state == kStateQuitConfirm ? QuitEnterText() : "AppScriptEnter";
  for (GameScript script : entry.told) {
    ScriptEventSend(states.scripts[script], 1, text);
  }
}

void GameEnter() {
  ControlsRestart();
  // No time spent away from the room is caught up at once.
  AgentsResetStepTimes();
  ScriptEventSend(RoomScriptId(), 1, "AppScriptEnter");
}

// --- Drawing ------------------------------------------------------------------

// The scripts the menus and journal pages draw, from the bottom up.
const std::array<std::vector<GameScript>, kStateCount + 1> kDrawnScripts = {{
    {},
    {kScriptCredits},
    {},
    {},
    {},
    {kScriptJournal},
    {kScriptJournal, kScriptJournalHints},
    {kScriptJournal, kScriptJournalInvestigations},
    {kScriptJournal, kScriptJournalOptions},
    {kScriptJournal, kScriptJournalSpecial},
    {kScriptJournal, kScriptJournalSuspects},
    {kScriptMainInitial},
    {kScriptBackground, kScriptMainMenu},
    {kScriptBackground, kScriptMainOptions},
    {kScriptBackground, kScriptMainSpecial},
    {},
    {},
    {},
    {},
}};

// The dimmed copy of the last game frame behind the menus, in a pixel
// projection of its own size; nothing before one was taken.
void DrawBackgroundFrames() {
  if (states.backgroundFrames == nullptr) {
    return;
  }
  const GraphicsRect viewport = GraphicsViewportGet();
  GraphicsSetOrtho(static_cast<int32_t>(ModelWidth(states.backgroundFrames)),
                   static_cast<int32_t>(ModelHeight(states.backgroundFrames)));
  ModelRender(states.backgroundFrames);
  GraphicsViewportRestore(viewport, "background frames");
}

void DrawScript(GameScript script) {
  ScriptRender(ScriptId(script), GamePrimaryDisplay());
}

// Only the room, the journal's special page and the main menu's special
// features stay visible under the pause overlay.
bool ShownUnderPause(int32_t state) {
  return state == kStateGame || state == kStateJournalSpecial || state == kStateMainSpecial;
}

// Draws a state's picture; the overlays draw the state they cover first.
void DrawState(int32_t state) {
  switch (state) {
    case kStateGame:
      DrawBackgroundFrames();
      DrawScript(kScriptRoom);
      break;
    case kStatePaused:
      if (ShownUnderPause(states.beforePause)) {
        DrawState(states.beforePause);
      }
      DrawScript(kScriptPause);
      break;
    case kStateQuitConfirm:
      DrawState(states.quitReturn);
      DrawScript(kScriptQuit);
      break;
    default:
      if (state > 0 && state <= kStateCount) {
        for (GameScript script : kDrawnScripts[static_cast<size_t>(state)]) {
          DrawScript(script);
        }
      }
      break;
  }
}

void RenderFrame() {
  GraphicsRenderBegin(GamePrimaryDisplay());
  GameStateRender();
  GraphicsRenderEnd(GamePrimaryDisplay());
}

// --- Process handlers -------------------------------------------------------------

// The music's fades, the music kept playing, and the streams refilled.
void MusicAndAudio() {
  GameMusicFadesUpdate();
  GameMusicKeepPlaying();
  AudioUpdate();
}

void Process(GameScript script) {
  ScriptProcess(states.scripts[script]);
}

// A menu or journal screen: its page's threads and pointer, those of the
// screen under it, the page's keys, the music and the frame. The special
// features pages, which play effects, also close those that have stopped.
void MenuProcess(GameScript page, GameScript under) {
  Process(page);
  if (under != page) {
    Process(under);
  }
  GameInterfaceKeys(states.scripts[page]);
  MusicAndAudio();
  if (page == kScriptJournalSpecial || page == kScriptMainSpecial) {
    RoomSoundsSweep();
  }
  RenderFrame();
}

// The journal's options take typed keys before they run (key rebinding),
// and no action of the player reaches the journal.
void JournalOptionsProcess() {
  GameTextKeys(states.scripts[kScriptJournalOptions]);
  Process(kScriptJournalOptions);
  Process(kScriptJournal);
  InputActionEventsTake(InputControlSetActive());
  MusicAndAudio();
  RenderFrame();
}

void GameProcess() {
  RoomLoadPending();
  AgentsUpdate();
  AgentsSendDepthOrder();
  GameMusicKeepPlaying();
  AudioUpdate();
  RoomSoundsSweep();
  GameMusicFadesUpdate();
  const int32_t room = RoomScriptId();
  ScriptProcess(room);
  ScriptEventSend(room, 3, "AppScriptProcess");
  GamePointerKeys(room);
  RenderFrame();
}

// Frees the menus for the game and loads the room the game state names.
void RoomLoadProcess() {
  for (GameScript script : {kScriptBackground, kScriptMainMenu, kScriptMainInitial,
                            kScriptMainOptions, kScriptMainSpecial, kScriptCredits}) {
    int32_t& id = states.scripts[script];
    if (id > 0) {
      ScriptClose(id);
    }
    id = 0;
  }
  GameConfigSoundsClose();
  GameCutsceneThreadsForget();
  if (RoomLoad(StateVariableGetString(kStateGame, "Script Room File"))) {
    StateSet(kStateGame);
  }
}

// Loads the autosave; without one the player goes back to the main menu, and
// with one that cannot be loaded to where the quick load was asked.
void QuickLoadProcess() {
  SaveQuickLoad(states.quickLoadReturn);
}

void PausedProcess() {
  Process(kScriptPause);
  GamePointerKeys(states.scripts[kScriptPause]);
  RenderFrame();
}

void QuitConfirmProcess() {
  Process(kScriptQuit);
  GameInterfaceKeys(states.scripts[kScriptQuit]);
  RenderFrame();
  MusicAndAudio();
}

StateProcessHandler ProcessHandler(int32_t state) {
  switch (state) {
    case kStateCredits:
      return [] { MenuProcess(kScriptCredits, kScriptCredits); };
    case kStateGame:
      return GameProcess;
    case kStateRoomLoad:
      return RoomLoadProcess;
    case kStateJournal:
      return [] { MenuProcess(kScriptJournal, kScriptJournal); };
    case kStateJournalOptions:
      return JournalOptionsProcess;
    case kStateJournalHints:
    case kStateJournalInvestigations:
    case kStateJournalSpecial:
    case kStateJournalSuspects:
      return [state] { MenuProcess(kDrawnScripts[static_cast<size_t>(state)][1], kScriptJournal); };
    case kStateMainInitial:
      return [] { MenuProcess(kScriptMainInitial, kScriptMainInitial); };
    case kStateMainMenu:
    case kStateMainOptions:
    case kStateMainSpecial:
      return
          [state] { MenuProcess(kDrawnScripts[static_cast<size_t>(state)][1], kScriptBackground); };
    case kStatePaused:
      return PausedProcess;
    case kStateQuit:
      return [] { StateSet(0); };
    case kStateQuitConfirm:
      return QuitConfirmProcess;
    case kStateQuickLoad:
      return QuickLoadProcess;
    default:  // the fatal error: the frame loop ends before it runs
      return [] {};
  }
}

}  // namespace

void GameRegisterStates() {
  // Called on every change, which it always allows: the music's fades keep
  // their remaining time on the new state's clock.
  StateSetChangeHook([](int32_t from, int32_t to) {
    GameMusicMoveClock(from, to);
    return true;
  });
  for (int32_t state = 1; state <= kStateCount; ++state) {
    if (!kInterfaceStates[static_cast<size_t>(state)].loads.empty()) {
      StateSetEnter(state, [state](int32_t previous) { InterfaceEnter(state, previous); });
    } else if (state == kStateGame) {
      StateSetEnter(state, [](int32_t) { GameEnter(); });
    } else if (state == kStateQuickLoad) {
      StateSetEnter(state, [](int32_t previous) { states.quickLoadReturn = previous; });
    }
    StateSetProcess(state, ProcessHandler(state));
  }
  // A new game's music starts with its room.
  StateSetExit(kStateMainMenu, [](int32_t next) {
    if (next == kStateRoomLoad) {
      GameMusicClear();
    }
  });
  // Leaving the pause overlay lets the sounds it paused play on.
  StateSetExit(kStatePaused, [](int32_t) { AudioResumeAll(); });
  StateSetSaveName(kStateGame, "Game");
}

int32_t GameScriptId(GameScript script) {
  return ScriptId(script);
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
  RoomScriptClose();
}

void GameStateRender() {
  DrawState(StateGetCurrent());
}

void GameStateRenderOf(int32_t state) {
  DrawState(state);
}

void GameBackgroundFramesClose() {
  ModelClose(states.backgroundFrames);
}

void GameBackgroundFramesSet(Model* model) {
  ModelClose(states.backgroundFrames);
  states.backgroundFrames = model;
}

int32_t GameStateBeforePause() {
  return states.beforePause;
}

int32_t GameStateQuitReturn() {
  return states.quitReturn;
}
