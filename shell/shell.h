// The application shell: the splash window (TmainForm) that owns the process,
// its start-up checks, the frame loop with pause and resume, and shutdown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/renderform.h"

class TmainForm {
 public:
  // --- Window events -------------------------------------------------------
  void MainFormCreate();
  void FormActivate();
  void Timer1Timer();
  // Handles a close request of the splash window or of the process.
  void MainFormClose();

  // --- Start-up, loop and shutdown -------------------------------------------
  void MainGameStart();
  void MainAppPause();
  void MainAppResume();
  void MainKeepAwake();
  void MainMouseConstrain(bool on);
  void MainDisplayShowMouse(bool show);

  // --- Application hooks -----------------------------------------------------
  void MainAppDeactivate();
  void MainAppRestore();
  void MainOnDisplayChange();
  void MainAppAskToClose();

  // --- Queries and helpers for the game -----------------------------------------
  int MainGetPrimaryMonitorId() const;
  void MainDisplayGetDimensions(int32_t displayId, int32_t& width, int32_t& height) const;
  // The render window of a display; 0 when no display window has the id.
  PlatformWindow MainDisplayGetWindow(int32_t displayId) const;
  void MainInterfaceDrawRegions();
  void MainFormProcessMessages();

  // --- Display windows for the game -------------------------------------------------
  int32_t MainThreadDisplayAdd(int monitor, const std::string& name, bool createContext);
  void MainThreadDisplayClose(int32_t displayId);
  void MainThreadDisplayResize(int32_t displayId, int32_t width, int32_t height);
  void MainThreadDisplaySetFullscreen(bool on);
  void MainThreadMinimize();

  // --- Process -------------------------------------------------------------------
  // Dispatches one platform event to the handler it stands for.
  void DispatchEvent(const PlatformEvent& event);
  // Gives a mouse message or key event to the input module while the game
  // runs (keys only while the keyboard is hooked). A replay feeds its own
  // events here; real ones do not reach it then.
  void FeedInput(const PlatformEvent& event);
  // True once the splash window has been closed: the process ends.
  bool Closed() const { return closed_; }
  // A close request waits for the loop.
  bool CloseRequested() const { return closeRequested_; }
  // Runs the timer: calls Timer1Timer once its second has passed.
  void RunTimer();
  // The process's exit status: 1 after a failed start, the game's
  // fatal-error state or a failed recording or replay, else 0 (a normal quit,
  // or a start the player declined).
  int ExitStatus() const;
  PlatformWindow SplashWindow() const { return splash_; }

 private:
  friend class TmainFormTestAccess;  // tests drive the loop's steps one by one

  bool StartupChecks();
  // Records a start that failed for want of something the game needs.
  bool StartFailed();
  void RunFrameLoop();
  // One pass of the frame loop.
  void FramePass();
  void WaitForDisplayWindows();
  void Shutdown();
  void CloseSplash();
  TrenderForm* FindRenderForm(PlatformWindow window) const;
  void RenderFormCloseRequest(TrenderForm& form);

  // One display window: the display id and the render window it draws into.
  struct DisplayWindow {
    int32_t displayId = -1;
    std::unique_ptr<TrenderForm> form;
  };

  PlatformWindow splash_ = 0;
  std::string title_;
  std::string programFolder_;
  bool firstActivation_ = true;
  bool timerEnabled_ = false;
  uint32_t timerDue_ = 0;
  bool running_ = false;
  bool paused_ = false;
  bool stateWasPaused_ = false;
  int32_t pausedState_ = 0;  // the application state whose clock the pause stopped
  bool closeRequested_ = false;
  bool quit_ = false;
  bool closed_ = false;
  bool fatalError_ = false;
  bool startFailed_ = false;
  uint32_t lastKeepAwake_ = 0;
  bool constrainPointer_ = true;
  bool windowsPointer_ = false;
  std::vector<DisplayWindow> displayWindows_;
};

// The one main form of the process.
TmainForm& MainForm();

// Runs the program: starts the platform and the modules, shows the splash
// window, runs the game and shuts down. Returns the process exit status:
// 0 after a normal quit, 1 after the fatal-error state or a failed start.
int ShellRun(int argc, const char* const* argv);
// The same on a platform layer that is already started with its command line.
int ShellMain();

// The 420 x 153 splash picture: 24-bit BGR rows, bottom row first.
std::vector<uint8_t> SplashPicture();
