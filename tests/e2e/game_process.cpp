#include "tests/e2e/game_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/testsupport.h"

namespace fs = std::filesystem;

GameProcess::GameProcess(const std::string& binary, const std::string& programFolder,
                         const std::string& workingFolder,
                         const std::vector<std::string>& parameters) {
  const std::string copy = programFolder + fs::path(binary).filename().string();
  fs::copy_file(binary, copy, fs::copy_options::overwrite_existing);
  errorFile_ = workingFolder + "stderr.txt";
  Start(copy, workingFolder, parameters);
}

GameProcess::GameProcess(const InPlace& start, const std::vector<std::string>& parameters) {
  errorFile_ = start.errorFolder + "stderr.txt";
  Start(start.binary, start.workingFolder, parameters);
}

void GameProcess::Start(const std::string& program, const std::string& workingFolder,
                        const std::vector<std::string>& parameters) {
  pid_ = fork();
  if (pid_ == 0) {
    if (chdir(workingFolder.c_str()) != 0) {
      _exit(126);
    }
    // The system's OpenGL driver is unloaded at exit with allocations the
    // leak checker can no longer attribute; the game's own code is checked
    // for leaks by the unit tests.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    const int error = open(errorFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(error, STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& parameter : parameters) {
      argv.push_back(const_cast<char*>(parameter.c_str()));
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
}

GameProcess::~GameProcess() {
  if (Running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void GameProcess::Signal(int signal) const {
  kill(pid_, signal);
}

bool GameProcess::Running() {
  if (pid_ <= 0) {
    return false;
  }
  int status = 0;
  const pid_t result = waitpid(pid_, &status, WNOHANG);
  if (result == pid_) {
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return false;
  }
  return result == 0;
}

int GameProcess::WaitForExit(std::chrono::seconds timeout) {
  WaitUntil([this] { return !Running(); }, timeout);
  return Running() ? -1 : exitStatus_;
}

std::string GameProcess::StandardError() const {
  return ReadWholeFile(errorFile_);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

namespace {

void CollectNamedWindows(Display* display, Window window, std::vector<XWindowInfo>& out) {
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    XWindowAttributes attributes{};
    int x = 0, y = 0;
    Window child = 0;
    // A window the game destroys meanwhile is left out.
    if (XGetWindowAttributes(display, window, &attributes) &&
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child)) {
      out.push_back(
          {name, x, y, attributes.width, attributes.height, attributes.map_state == IsViewable});
    }
    XFree(name);
  }
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) {
      CollectNamedWindows(display, children[i], out);
    }
    XFree(children);
  }
}

// While it lives, X errors are ignored instead of ending the test program,
// as Xlib's default handler does; the requests of the connection are
// finished before it goes.
class IgnoredXErrors {
 public:
  explicit IgnoredXErrors(Display* display)
      : display_(display), previous_(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; })) {}
  ~IgnoredXErrors() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  IgnoredXErrors(const IgnoredXErrors&) = delete;
  IgnoredXErrors& operator=(const IgnoredXErrors&) = delete;

 private:
  Display* display_;
  XErrorHandler previous_;
};

}  // namespace

std::vector<XWindowInfo> ListNamedWindows() {
  std::vector<XWindowInfo> windows;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return windows;
  }
  {
    // The game creates and destroys windows while the tree is walked: an
    // error about a window that has just gone is no fault.
    const IgnoredXErrors ignored(display);
    CollectNamedWindows(display, DefaultRootWindow(display), windows);
  }
  XCloseDisplay(display);
  return windows;
}

void ScreenSize(int& width, int& height) {
  width = height = 0;
  if (Display* display = XOpenDisplay(nullptr)) {
    width = DisplayWidth(display, DefaultScreen(display));
    height = DisplayHeight(display, DefaultScreen(display));
    XCloseDisplay(display);
  }
}

std::vector<uint32_t> ReadScreen(int x, int y, int width, int height) {
  std::vector<uint32_t> pixels;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return pixels;
  }
  XImage* image = nullptr;
  {
    // An area not wholly on the screen (a window still moving into place)
    // reads nothing rather than ending the test program.
    const IgnoredXErrors ignored(display);
    image = XGetImage(display, DefaultRootWindow(display), x, y, width, height, AllPlanes, ZPixmap);
  }
  if (image != nullptr) {
    pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < width; ++column) {
        pixels.push_back(static_cast<uint32_t>(XGetPixel(image, column, row)) & 0xFFFFFFu);
      }
    }
    XDestroyImage(image);
  }
  XCloseDisplay(display);
  return pixels;
}

bool XdotoolInstalled() {
  return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

bool Xdotool(const std::string& arguments) {
  return std::system(("timeout 10 xdotool " + arguments).c_str()) == 0;
}

unsigned long NewestWindowId(const std::string& title) {
  FILE* pipe = popen(("timeout 10 xdotool search --name '^" + title + "$'").c_str(), "r");
  unsigned long id = 0;
  unsigned long candidate = 0;
  while (pipe != nullptr && fscanf(pipe, "%lu", &candidate) == 1) {
    id = std::max(id, candidate);
  }
  if (pipe != nullptr) {
    pclose(pipe);
  }
  return id;
}
