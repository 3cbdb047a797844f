#include <algorithm>
#include <cstdio>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "platform/product.h"
#include "shell/modules.h"
#include "shell/replay.h"
#include "shell/shell.h"

namespace {

constexpr int32_t kSplashWidth = 420;
constexpr int32_t kSplashHeight = 153;
constexpr uint32_t kTimerInterval = 1000;
constexpr uint32_t kKeepAwakeInterval = 10000;
// The longest wait for window events while there is nothing else to do
// (minimised, or waiting for the display windows), so no core is spun.
constexpr uint32_t kIdleWait = 100;
// The game's fatal-error application state.
constexpr int32_t kFatalErrorState = 2;

// The libraries the game cannot draw without.
constexpr const char* kOpenGLLibraries[] = {"libGL.so.1", "libGLU.so.1"};

TmainForm mainForm;

}  // namespace

TmainForm& MainForm() {
  return mainForm;
}

// --- Window events -----------------------------------------------------------

void TmainForm::MainFormCreate() {
  *this = TmainForm{};
  title_ = QMR_APPLICATION_TITLE;
  PlatformWindowParams params;
  params.title = title_;
  params.width = kSplashWidth;
  params.height = kSplashHeight;
  params.centred = true;
  params.borderless = true;
  params.draggableBody = true;  // dragging the picture moves the window
  splash_ = PlatformWindowCreate(params);
  title_ = PlatformWindowTitle(splash_).empty() ? title_ : PlatformWindowTitle(splash_);

  programFolder_ = UtilitiesProgramFolder();
  PlatformSetCurrentFolder(programFolder_);  // a failure of this attempt is ignored
  if (!PlatformSetCurrentFolder(programFolder_)) {
    LogError("Unable to set game directory \"" + programFolder_ + "\" as current directory.");
  }
  MainInterfaceDrawRegions();
  constrainPointer_ = !UtilitiesSwitchPresent("-noconstrain");
  windowsPointer_ = UtilitiesSwitchPresent("-winmouse");
  PlatformWindowShow(splash_);
  PlatformWindowRaise(splash_);
}

void TmainForm::FormActivate() {
  if (!firstActivation_) {
    return;
  }
  firstActivation_ = false;
  timerEnabled_ = true;
  timerDue_ = PlatformTickCount() + kTimerInterval;
}

void TmainForm::Timer1Timer() {
  timerEnabled_ = false;
  MainGameStart();
}

void TmainForm::RunTimer() {
  if (timerEnabled_ && static_cast<int32_t>(PlatformTickCount() - timerDue_) >= 0) {
    Timer1Timer();
  }
}

void TmainForm::MainFormClose() {
  // While the loop runs, every close request (the first and any later one)
  // only asks the loop to end, so the window never goes away under it; a
  // minimised game comes back so that its quit confirmation can be seen.
  if (running_) {
    MainAppAskToClose();
    return;
  }
  CloseSplash();
}

// The splash window is the main window: closing it ends the program, and the
// render windows go with it.
void TmainForm::CloseSplash() {
  displayWindows_.clear();
  if (splash_ != 0) {
    PlatformWindowDestroy(splash_);
    splash_ = 0;
  }
  closed_ = true;
}

// --- Start-up, loop and shutdown ---------------------------------------------------

void TmainForm::MainGameStart() {
  if (!StartupChecks()) {
    CloseSplash();
    return;
  }
  RunFrameLoop();
  Shutdown();
}

bool TmainForm::StartupChecks() {
  for (const char* library : kOpenGLLibraries) {
    if (!DataFileSearchPath(library)) {
      PlatformMessageBox(title_,
                         "OpenGL is not currently installed on your system.  " + title_ +
                             " requires OpenGL to display graphics.",
                         PlatformBoxKind::Information);
      return StartFailed();
    }
  }
  if (!GraphicsAccelerationTest(splash_)) {
    const std::string question =
        "Your system does not have hardware acceleration for OpenGL.  " + title_ +
        " can be run but at reduced performance levels.\r\n\r\nYou may be able to correct "
        "this by updating your video drivers from your vendor's website.\r\n\r\nWould you like "
        "to run " +
        title_ + " anyway?";
    if (PlatformMessageBox(title_, question, PlatformBoxKind::YesNo) == PlatformBoxAnswer::No) {
      return false;
    }
  }
  // A close request while the splash shows is the player's choice, not a
  // failure.
  if (closed_) {
    return false;
  }
  if (!GameInitDisplay()) {
    return StartFailed();
  }
  WaitForDisplayWindows();
  if (closed_) {
    return false;
  }
  // A recording or replay fixes the game's clocks and seed before it starts.
  const PlatformWindow gameWindow =
      displayWindows_.empty() ? 0 : displayWindows_.front().form->Handle();
  if (!ReplayGameStarting(gameWindow)) {
    return StartFailed();
  }
  if (!GameInit()) {
    return StartFailed();
  }
  running_ = true;
  InputKeyboardHookOn();
  MainFormProcessMessages();
  quit_ = false;
  MainMouseConstrain(true);
  return true;
}

bool TmainForm::StartFailed() {
  startFailed_ = true;
  return false;
}

// Every render window must have been activated before the game draws into
// it. There is no time limit; closing the program ends the wait.
void TmainForm::WaitForDisplayWindows() {
  const auto allActivated = [this] {
    return std::all_of(displayWindows_.begin(), displayWindows_.end(),
                       [](const DisplayWindow& pair) { return pair.form->Activated(); });
  };
  MainFormProcessMessages();
  while (!closed_ && !allActivated()) {
    PlatformWaitEvents(kIdleWait);
    MainFormProcessMessages();
  }
}

void TmainForm::RunFrameLoop() {
  while (!quit_) {
    FramePass();
  }
}

void TmainForm::FramePass() {
  // A replay ignores the real focus: its file pauses and resumes the game.
  const bool replaying = ReplayPlaying();
  if (!replaying && PlatformAppMinimized()) {
    MainAppPause();
    // No frame runs while minimised: the pass sleeps until the next window
    // event (a restore, a close request) or the wait's end.
    PlatformWaitEvents(kIdleWait);
  } else {
    if (!replaying && PlatformAppActive()) {
      MainAppResume();
      MainKeepAwake();
    } else if (!replaying) {
      MainAppPause();
    }
    if (closeRequested_) {
      closeRequested_ = false;
      // Closing the window stops a replay; otherwise the game answers.
      ReplayRecordShell(ReplayAction::Close);
      quit_ = replaying || GameQuit();
    } else if (!ReplayFrameBegin()) {
      quit_ = true;
    } else {
      quit_ = !GameFrame();
      if (!quit_) {
        ReplayFrameEnd();
      }
    }
  }
  MainFormProcessMessages();
}

void TmainForm::Shutdown() {
  ReplayFinish();
  InputKeyboardHookOff();
  GameShutdown();
  fatalError_ = StateGetCurrent() == kFatalErrorState;
  if (fatalError_) {
    PlatformMessageBox(title_,
                       "A fatal error has occurred.  Please consult the file " + LogGetFileName() +
                           " for details.",
                       PlatformBoxKind::Information);
  }
  running_ = false;
  CloseSplash();
}

void TmainForm::MainAppPause() {
  if (!running_ || paused_) {
    return;
  }
  pausedState_ = StateGetCurrent();
  stateWasPaused_ = StateIsPaused();
  AudioPausePlaying();
  StatePause();
  InputKeyboardHookOff();
  MainDisplayShowMouse(true);
  MainMouseConstrain(false);
  paused_ = true;
  ReplayRecordShell(ReplayAction::Pause);
}

void TmainForm::MainAppResume() {
  if (!running_ || !paused_) {
    return;
  }
  // The sounds the pause stopped play on, whatever the game did with its
  // clocks meanwhile. The clock resumed is the one the pause stopped, even
  // when another state has become current since (a close request while
  // inactive switches to the quit confirmation); a clock the game had paused
  // itself stays paused.
  AudioResumePaused();
  if (!stateWasPaused_) {
    StateResumeId(pausedState_);
  }
  InputKeyboardHookOn();
  MainDisplayShowMouse(false);
  MainMouseConstrain(true);
  paused_ = false;
  ReplayRecordShell(ReplayAction::Resume);
}

void TmainForm::MainKeepAwake() {
  if (!PlatformAppActive()) {
    return;
  }
  const uint32_t now = PlatformTickCount();
  if (now - lastKeepAwake_ > kKeepAwakeInterval) {
    PlatformKeepAwake();
    lastKeepAwake_ = now;
  }
}

void TmainForm::MainMouseConstrain(bool on) {
  for (const DisplayWindow& pair : displayWindows_) {
    PlatformWindowConfinePointer(pair.form->Handle(), false);
  }
  if (on && GraphicsIsFullscreen() && constrainPointer_ && !displayWindows_.empty()) {
    PlatformWindowConfinePointer(displayWindows_.front().form->Handle(), true);
  }
}

void TmainForm::MainDisplayShowMouse(bool show) {
  for (const DisplayWindow& pair : displayWindows_) {
    PlatformWindowShowCursor(pair.form->Handle(), show || windowsPointer_);
  }
}

// --- Application hooks -----------------------------------------------------------------

void TmainForm::MainAppDeactivate() {
  if (running_ && GraphicsIsFullscreen()) {
    GameMinimize();
  }
}

void TmainForm::MainAppRestore() {
  if (running_ && GraphicsIsFullscreen()) {
    GraphicsDisplayChanged();
  }
}

void TmainForm::MainOnDisplayChange() {
  if (running_) {
    GraphicsDisplayChanged();
  }
}

void TmainForm::MainAppAskToClose() {
  if (PlatformAppMinimized()) {
    PlatformAppRestore();
  }
  closeRequested_ = true;
}

// --- Queries and helpers for the game ---------------------------------------------------

int TmainForm::MainGetPrimaryMonitorId() const {
  for (int monitor = 0; monitor < PlatformMonitorCount(); ++monitor) {
    if (PlatformMonitorIsPrimary(monitor)) {
      return monitor;
    }
  }
  return 0;
}

void TmainForm::MainDisplayGetDimensions(int32_t displayId, int32_t& width, int32_t& height) const {
  const PlatformRect client = PlatformWindowClientRect(MainDisplayGetWindow(displayId));
  width = std::max(client.width, 1);
  height = std::max(client.height, 1);
}

PlatformWindow TmainForm::MainDisplayGetWindow(int32_t displayId) const {
  for (const DisplayWindow& pair : displayWindows_) {
    if (pair.displayId == displayId) {
      return pair.form->Handle();
    }
  }
  return 0;
}

void TmainForm::MainInterfaceDrawRegions() {
  PlatformWindowSetClientSize(splash_, kSplashWidth, kSplashHeight);
  PlatformWindowSetPicture(splash_, kSplashWidth, kSplashHeight, SplashPicture());
}

void TmainForm::MainFormProcessMessages() {
  PlatformPumpMessages();
}

// --- Display windows for the game ---------------------------------------------------------

int32_t TmainForm::MainThreadDisplayAdd(int monitor, const std::string& name, bool createContext) {
  DisplayWindow& pair = displayWindows_.emplace_back();
  pair.form = std::make_unique<TrenderForm>(title_, MainGetPrimaryMonitorId(), windowsPointer_);
  TrenderForm& form = *pair.form;
  form.RenderFormSetMonitor(monitor);
  if (GraphicsIsFullscreen()) {
    form.RenderFormSetFullscreen();
  }
  const int32_t id = GraphicsDisplayAdd(form.Handle(), name, form.Monitor());
  pair.displayId = id;
  form.RenderFormSetDisplayId(id);
  if (id != -1) {
    InputDisplayAdd(id, form.Handle());
  }
  if (id != -1 && createContext) {
    GraphicsDisplayCreateRC(id);  // a failure is logged with the system's reason
  }
  // A display whose window could not be made (no OpenGL visual, for example)
  // can never be shown or activated: it goes again and the caller is told.
  if (id != -1 && !PlatformWindowExists(form.Handle())) {
    MainThreadDisplayClose(id);
    return -1;
  }
  return id;
}

void TmainForm::MainThreadDisplayClose(int32_t displayId) {
  GraphicsDisplayClose(displayId);
  InputDisplayRemove(displayId);
  std::erase_if(displayWindows_,
                [displayId](const DisplayWindow& pair) { return pair.displayId == displayId; });
}

void TmainForm::MainThreadDisplayResize(int32_t displayId, int32_t width, int32_t height) {
  for (const DisplayWindow& pair : displayWindows_) {
    if (pair.displayId == displayId) {
      pair.form->RenderFormSetResolution(false, width, height);
    }
  }
}

void TmainForm::MainThreadDisplaySetFullscreen(bool on) {
  for (const DisplayWindow& pair : displayWindows_) {
    if (on) {
      pair.form->RenderFormSetFullscreen();
    } else {
      pair.form->RenderFormSetWindowed();
    }
    GraphicsDisplaySetWindow(pair.displayId, pair.form->Handle());
    InputDisplaySetWindow(pair.displayId, pair.form->Handle());
  }
  MainMouseConstrain(on);
}

void TmainForm::MainThreadMinimize() {
  PlatformAppMinimize();
}

TrenderForm* TmainForm::FindRenderForm(PlatformWindow window) const {
  for (const DisplayWindow& pair : displayWindows_) {
    if (pair.form->Handle() == window) {
      return pair.form.get();
    }
  }
  return nullptr;
}

// A render window whose display is gone closes; its pair leaves the list with
// it so that nothing refers to the closed window.
void TmainForm::RenderFormCloseRequest(TrenderForm& form) {
  if (form.RenderFormCloseQuery()) {
    std::erase_if(displayWindows_,
                  [&form](const DisplayWindow& pair) { return pair.form.get() == &form; });
  }
}

// --- Process ---------------------------------------------------------------------------------

void TmainForm::DispatchEvent(const PlatformEvent& event) {
  switch (event.type) {
    case PlatformEventType::WindowActivated:
      if (event.window == splash_) {
        FormActivate();
      } else if (TrenderForm* form = FindRenderForm(event.window)) {
        form->RenderFormActivate();
      }
      break;
    case PlatformEventType::WindowDeactivated:
      // A replay ignores the focus: it never minimises itself.
      if (!PlatformAppActive() && !ReplayPlaying()) {
        MainAppDeactivate();
      }
      break;
    case PlatformEventType::WindowRestored:
      MainAppRestore();
      break;
    case PlatformEventType::DisplayChanged:
      MainOnDisplayChange();
      break;
    case PlatformEventType::WindowCloseRequest:
      if (TrenderForm* form = FindRenderForm(event.window)) {
        RenderFormCloseRequest(*form);
      } else {
        MainFormClose();
      }
      break;
    case PlatformEventType::QuitRequest:
      MainFormClose();
      break;
    // A replay's input comes from its file alone.
    case PlatformEventType::MouseMessage:
    case PlatformEventType::KeyDown:
    case PlatformEventType::KeyUp:
      if (!ReplayPlaying()) {
        FeedInput(event);
      }
      break;
    default:
      break;
  }
}

// While the game runs, the render windows' mouse messages go to the input
// module, and key events too while the keyboard is hooked; a recording
// writes down each one it passes on.
void TmainForm::FeedInput(const PlatformEvent& event) {
  if (!running_) {
    return;
  }
  if (event.type == PlatformEventType::MouseMessage) {
    ReplayRecordInput(event);
    InputMouseMessage(event.message, event.window, event.wParam, event.lParam);
  } else if (InputKeyboardHooked()) {
    ReplayRecordInput(event);
    InputKeyboardEvent(event.key, event.type == PlatformEventType::KeyDown);
  }
}

int TmainForm::ExitStatus() const {
  return startFailed_ || fatalError_ || ReplayFailed() ? 1 : 0;
}

int ShellRun(int argc, const char* const* argv) {
  PlatformSetCommandLine(argc, argv);
  // A bad replay file ends the program before anything starts.
  if (!ReplaySetUp()) {
    return 1;
  }
  if (!PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "%s: %s\n", QMR_APPLICATION_TITLE, PlatformLastErrorText().c_str());
    return 1;
  }
  const int status = ShellMain();
  PlatformStop();
  ReplayReset();
  return status;
}

int ShellMain() {
  ModulesStart();
  TmainForm& form = MainForm();
  PlatformSetEventHandler([&form](const PlatformEvent& event) { form.DispatchEvent(event); });
  form.MainFormCreate();
  while (!form.Closed()) {
    form.MainFormProcessMessages();
    form.RunTimer();
    PlatformSleep(5);
  }
  const int status = form.ExitStatus();
  PlatformSetEventHandler({});
  ModulesStop();
  return status;
}
