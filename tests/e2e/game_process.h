// Runs the real game binary as a child process from a copy in its own
// program folder, and looks at its windows through the X server.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class GameProcess {
 public:
  // Copies the binary into `programFolder` and starts it there with the
  // working folder `workingFolder`; standard error goes to a file.
  GameProcess(const std::string& binary, const std::string& programFolder,
              const std::string& workingFolder, const std::vector<std::string>& parameters);
  // Starts an installed binary where it stands, with the working folder
  // `workingFolder`; standard error goes to a file in `errorFolder`.
  struct InPlace {
    std::string binary;
    std::string workingFolder;
    std::string errorFolder;
  };
  GameProcess(const InPlace& start, const std::vector<std::string>& parameters);
  ~GameProcess();
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  void Signal(int signal) const;
  // Waits for the process to end; the exit status, or -1 on a timeout or a
  // death by signal.
  int WaitForExit(std::chrono::seconds timeout);
  bool Running();
  std::string StandardError() const;

 private:
  void Start(const std::string& program, const std::string& workingFolder,
             const std::vector<std::string>& parameters);

  pid_t pid_ = -1;
  int exitStatus_ = -1;
  std::string errorFile_;
};

// Polls a condition every 50 ms until it holds or the timeout passes.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout);

struct XWindowInfo {
  std::string name;
  int x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
};

// Every top-level window of the display in $DISPLAY with a name.
std::vector<XWindowInfo> ListNamedWindows();

// The size of the screen of $DISPLAY; 0 x 0 when it cannot be opened.
void ScreenSize(int& width, int& height);

// The pixels of a rectangle of the screen in $DISPLAY as 0xRRGGBB, rows from
// the top; empty when the screen cannot be read.
std::vector<uint32_t> ReadScreen(int x, int y, int width, int height);

// --- Driving the game through xdotool ------------------------------------------------
// xdotool is on the PATH.
bool XdotoolInstalled();
// Runs "xdotool <arguments>" for at most ten seconds; true when it succeeded.
// "--sync" waits for an event that never comes when, say, the pointer is
// moved to where it already is: the limit turns such a wait into a failure.
bool Xdotool(const std::string& arguments);
// The X id of the newest window of that exact name (the render window is
// made after the splash); 0 when there is none.
unsigned long NewestWindowId(const std::string& title);
