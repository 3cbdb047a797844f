// The game's script routines: screen changes, music, the display, the clock,
// the log, simulated clicks and the concept art; and the registration of
// every routine of the game in its designed order.
#include <GL/gl.h>

#include <string>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/shell.h"

namespace {

// The width of the screens the concept art is centred on.
constexpr int32_t kDesignWidth = 1280;

// The window messages of a mouse move and of the left button.
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLeftButtonDown = 0x0201;
constexpr uint32_t kLeftButtonUp = 0x0202;
constexpr uint32_t kLeftButtonHeld = 0x0001;

Model* conceptArt = nullptr;

// A routine that switches to a state.
void RegisterTransition(const char* name, int32_t state) {
  ScriptAppRoutineRegister(name, [state](int32_t, int32_t) {
    StateSet(state);
    return 1;
  });
}

// A routine that switches to a state only from the overlay that returns to it.
void RegisterReturn(const char* name, int32_t overlay, int32_t (*target)()) {
  ScriptAppRoutineRegister(name, [overlay, target](int32_t, int32_t) {
    if (StateGetCurrent() == overlay) {
      StateSet(target());
    }
    return 1;
  });
}

void RegisterStateRoutines() {
  RegisterTransition("AppCredits", kStateCredits);
  RegisterTransition("AppGame", kStateGame);
  RegisterTransition("AppJournal", kStateJournal);
  RegisterTransition("AppJournalHints", kStateJournalHints);
  RegisterTransition("AppJournalInvestigations", kStateJournalInvestigations);
  RegisterTransition("AppJournalOptions", kStateJournalOptions);
  RegisterTransition("AppJournalSpecialFeatures", kStateJournalSpecial);
  RegisterTransition("AppJournalSuspects", kStateJournalSuspects);
  RegisterTransition("AppMainInitial", kStateMainInitial);
  RegisterTransition("AppMainMenu", kStateMainMenu);
  RegisterTransition("AppMainOptions", kStateMainOptions);
  RegisterTransition("AppMainSpecialFeatures", kStateMainSpecial);
  RegisterTransition("AppPause", kStatePaused);
  RegisterTransition("AppQuitGame", kStateQuit);
  GameRegisterRoomRenderProcedures();
  GameRegisterSpeechRenderProcedure();
  RegisterTransition("AppQuitConfirm", kStateQuitConfirm);
  // Both overlays go back only while they are shown: anywhere else the state
  // they remember is stale.
  RegisterReturn("AppDontQuit", kStateQuitConfirm, GameStateQuitReturn);
  RegisterReturn("AppResume", kStatePaused, GameStateBeforePause);
  ScriptAppRoutineRegister("AppNewGame", [](int32_t, int32_t) {
    StateSetTime(kStateGame, 0);
    StateSet(kStateRoomLoad);
    return 1;
  });
  // Without the game's start the calling thread ends: what it would do next
  // (usually AppNewGame) must not run.
  ScriptAppRoutineRegister("AppInitGameState",
                           [](int32_t, int32_t) { return FileGameStateInit() ? 1 : 0; });
}

void RegisterMusicRoutines() {
  ScriptAppRoutineRegister("AppMusicPlay", [](int32_t script, int32_t thread) {
    GameMusicPlay(ScriptParamGetString(script, thread, 1), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppMusicStop", [](int32_t script, int32_t thread) {
    GameMusicStop(ScriptParamGetInt(script, thread, 1));
    return 1;
  });
}

void SetResolution(int32_t display, int32_t modeIndex) {
  const GraphicsMode mode = GraphicsMonitorGetMode(GraphicsDisplayGetMonitor(display), modeIndex);
  if (mode.width <= 0 || mode.height <= 0) {
    return;  // no such mode
  }
  MainForm().MainThreadDisplayResize(display, mode.width, mode.height);
  GraphicsDisplaySetMode(display, mode);
  if (GraphicsIsFullscreen()) {
    GameSetFullscreen(true);
  }
}

void RegisterDisplayRoutines() {
  ScriptAppRoutineRegister("AppGetDisplayId", [](int32_t script, int32_t thread) {
    ScriptParamSetInt(script, thread, 1, GamePrimaryDisplay());
    return 1;
  });
  ScriptAppRoutineRegister("AppGetResolution", [](int32_t script, int32_t thread) {
    const int32_t display = ScriptParamGetInt(script, thread, 1);
    const int32_t mode = ScriptParamGetInt(script, thread, 2);
    ScriptParamSetString(script, thread, 3,
                         GraphicsMonitorModeText(GraphicsDisplayGetMonitor(display), mode));
    return 1;
  });
  ScriptAppRoutineRegister("AppSetResolution", [](int32_t script, int32_t thread) {
    SetResolution(ScriptParamGetInt(script, thread, 1), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppSetFullscreen", [](int32_t script, int32_t thread) {
    GameSetFullscreen(ScriptParamGetBool(script, thread, 1));
    return 1;
  });
}

// A left click at (x, y) of the primary display's window: the mouse moves
// there, then its left button is pressed and released, each as the window's
// own mouse message reaches the input handling.
void SimulateClick(int32_t x, int32_t y) {
  const PlatformWindow window = MainForm().MainDisplayGetWindow(GamePrimaryDisplay());
  const auto point = static_cast<int32_t>((static_cast<uint32_t>(y) & 0xFFFFu) << 16 |
                                          (static_cast<uint32_t>(x) & 0xFFFFu));
  InputMouseMessage(kMouseMove, window, 0, point);
  InputMouseMessage(kLeftButtonDown, window, kLeftButtonHeld, point);
  InputMouseMessage(kLeftButtonUp, window, 0, point);
}

void RegisterTimeRoutines() {
  ScriptAppRoutineRegister("AppGetTime", [](int32_t script, int32_t thread) {
    // The platform's local time, which a recording or replay fixes.
    const PlatformDateTime now = PlatformLocalTime();
    ScriptParamSetInt(script, thread, 1, now.hour);
    ScriptParamSetInt(script, thread, 2, now.minute);
    return 1;
  });
  ScriptAppRoutineRegister("AppStateGetTimeMilli", [](int32_t script, int32_t thread) {
    const uint32_t time = StateGetTime(ScriptParamGetInt(script, thread, 1));
    ScriptParamSetInt(script, thread, 2, static_cast<int32_t>(time));
    return 1;
  });
}

// Replaces the concept art by the image, centred across the screen and
// within the given height.
void ConceptArtSet(const std::string& file, int32_t height) {
  ModelClose(conceptArt);
  conceptArt = ModelOpen(GamePrimaryDisplay(), file);
  if (conceptArt == nullptr) {
    return;
  }
  const auto width = static_cast<int32_t>(ModelWidth(conceptArt));
  const auto artHeight = static_cast<int32_t>(ModelHeight(conceptArt));
  ModelSetPosition(conceptArt, static_cast<float>((kDesignWidth - width) / 2),
                   static_cast<float>((height - artHeight) / 2), 0.0f);
}

void ConceptArtRender() {
  if (conceptArt == nullptr) {
    return;
  }
  const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
  glEnable(GL_DEPTH_TEST);
  ModelRender(conceptArt);
  if (depthTest == GL_FALSE) {
    glDisable(GL_DEPTH_TEST);
  }
}

// The screenshot behind the menus, the concept art, simulated clicks and
// the log.
void RegisterMiscellanyRoutines() {
  ScriptAppRoutineRegister("AppScreenShot", [](int32_t, int32_t) {
    GameBackgroundFramesCapture();
    return 1;
  });
  ScriptAppRoutineRegister("AppConceptArtSet", [](int32_t script, int32_t thread) {
    ConceptArtSet(ScriptParamGetString(script, thread, 1), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppSimulateClick", [](int32_t script, int32_t thread) {
    SimulateClick(ScriptParamGetInt(script, thread, 1), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppLog", [](int32_t script, int32_t thread) {
    LogMessage(ScriptParamGetString(script, thread, 1) + " Thread ID:" + std::to_string(thread));
    ScriptThreadDump(script);
    return 1;
  });
}

}  // namespace

// By kind: the AppObj render callbacks, then the hit tests, then the
// ordinary routines group by group (the two render procedures among the
// state routines).
void GameRegisterRoutines() {
  GameRegisterAgentRenderCallback();
  ScriptAppObjRenderRegister("AppRenderConceptArt", [](const std::string&) { ConceptArtRender(); });
  GameRegisterSpeechRenderCallback();
  GameRegisterFogRenderCallback();
  GameRegisterInventoryCallback();
  ScriptAppObjRenderRegister("AppRenderSave", SaveScreenRenderSlot);
  ScriptAppObjRenderRegister("AppRenderSaveDialog",
                             [](const std::string&) { SaveScreenRenderDialog(); });
  GameRegisterSpeechHitTest();
  GameRegisterAgentHitTest();
  GameRegisterFogHitTest();
  GameRegisterAgentRoutines();
  GameRegisterInventoryRoutines();
  GameRegisterSpeechRoutines();
  GameRegisterRoomRoutines();
  RegisterStateRoutines();
  GameRegisterConfigRoutines();
  GameRegisterCutsceneRoutines();
  GameRegisterSoundRoutines();
  RegisterMusicRoutines();
  GameRegisterSaveRoutines();
  GameRegisterFogRoutines();
  RegisterDisplayRoutines();
  RegisterTimeRoutines();
  RegisterMiscellanyRoutines();
}

void GameConceptArtClose() {
  ModelClose(conceptArt);
}
