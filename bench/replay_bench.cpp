// replay: the real game replaying a tour of the menus (options, journal and a
// page, the credits, back to the menu), written here as a replay file for the window the
// X server gives, from exec to exit. Prints the frames replayed a second of
// wall time beside the 50 a second of game time a player sees, and their
// ratio, the speed-up of a replay. Three runs; the median counts. Needs an X
// server in $DISPLAY; measure in a Release build.
#include <X11/Xlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 3;
constexpr int kStep = 20;
constexpr double kScreenWidth = 1280;
constexpr double kScreenHeight = 720;

double NowSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Where the game's BestFit screens lie in a window of the screen's size.
struct Mapping {
  double scale = 1;
  int left = 0;
  int top = 0;
  std::string Point(int x, int y) const {
    return std::to_string(left + static_cast<int>(x * scale)) + " " +
           std::to_string(top + static_cast<int>(y * scale));
  }
};

// The tour: each step a click or a key on a frame of game time.
std::string TourFile(int width, int height, int& frames) {
  Mapping map;
  map.scale = std::min(width / kScreenWidth, height / kScreenHeight);
  map.left = (width - static_cast<int>(kScreenWidth * map.scale + 0.5)) / 2;
  map.top = (height - static_cast<int>(kScreenHeight * map.scale + 0.5)) / 2;
  std::string text = "replay 1\nstep " + std::to_string(kStep) + "\nsize " + std::to_string(width) +
                     " " + std::to_string(height) + "\nseed 1\nstart 2026-12-08 09:30:00\n";
  const auto click = [&](int frame, int x, int y) {
    const std::string point = map.Point(x, y);
    text += std::to_string(frame) + " move " + point + "\n" + std::to_string(frame + 1) +
            " down left " + point + "\n" + std::to_string(frame + 5) + " up left " + point + "\n";
  };
  const auto escape = [&](int frame) {
    text +=
        std::to_string(frame) + " keydown Escape\n" + std::to_string(frame + 3) + " keyup Escape\n";
  };
  click(100, 1040, 408);  // options
  escape(250);
  click(400, 1040, 342);  // journal
  click(550, 256, 196);   // its hints page
  escape(700);
  escape(850);
  click(1000, 1040, 540);  // credits
  escape(1500);
  frames = 1650;  // back on the menu, where the replay quits
  text += std::to_string(frames) + " end\n";
  return text;
}

bool ScreenSize(int& width, int& height) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    return false;
  }
  width = DisplayWidth(display, DefaultScreen(display));
  height = DisplayHeight(display, DefaultScreen(display));
  XCloseDisplay(display);
  return true;
}

// One replay from exec to exit: its wall time in seconds, or -1 when it failed.
double Run(const std::string& folder, const std::string& file) {
  fs::remove(folder + "/settings.ini");
  fs::copy_file(folder + "/settings.start", folder + "/settings.ini");
  const std::string program = folder + "/briskforge";
  const double start = NowSeconds();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) {
      _exit(126);
    }
    setenv("QMR_MESSAGEBOX", "yes", 1);
    execl(program.c_str(), program.c_str(), "-userdatainapp", "-replay", file.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const double seconds = NowSeconds() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

}  // namespace

int main() {
  int width = 0;
  int height = 0;
  if (!ScreenSize(width, height)) {
    std::fprintf(stderr, "replay_bench: no X server in $DISPLAY\n");
    return 1;
  }
  const fs::path folder =
      fs::temp_directory_path() / ("qmr_replay_bench_" + std::to_string(getpid()));
  fs::create_directories(folder);
  fs::copy_file(QMR_GAME_BINARY, folder / "briskforge");
  fs::create_directory_symlink(QMR_CONTENT_BIN, folder / "Bin");
  std::ofstream(folder / "settings.start") << "[Video]\nWidth=" << width << "\nHeight=" << height
                                           << "\nFullscreen=No\n[Controls]\nConfigured=Yes\n";
  int frames = 0;
  std::ofstream(folder / "tour.txt") << TourFile(width, height, frames);

  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    const double seconds = Run(folder.string(), (folder / "tour.txt").string());
    if (seconds < 0) {
      std::fprintf(stderr, "replay_bench: the replay failed (see %s/results.log)\n",
                   folder.c_str());
      return 1;
    }
    times.push_back(seconds);
  }
  std::sort(times.begin(), times.end());
  const double seconds = times[times.size() / 2];
  const double ours = frames / seconds;
  const double game = 1000.0 / kStep;
  std::printf(
      "replay: ours %.1f frames/s, game time %.1f frames/s, ratio %.2f (%d frames in %.2f s "
      "from exec to exit, %dx%d window)\n",
      ours, game, ours / game, frames, seconds, width, height);
  fs::remove_all(folder);
  return 0;
}
