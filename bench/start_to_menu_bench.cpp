// start-to-menu: the real game, configured and windowed at 1280 x 720 with
// "-novsync", from exec to the swap of the main menu's first frame, beside a
// bare SDL + OpenGL program from exec to its first swap. Both run under the
// same preload library (start_shim.cpp), which timestamps that swap and
// ends the process; the runs alternate, ten of each, and the medians are
// compared. The game's splash waits a designed second before the game
// starts: it is reported apart and taken off the game's figure.
// Needs an X server in $DISPLAY.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 10;
constexpr double kSplashWaitMs = 1000;  // the splash's designed wait

long long Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct Times {
  long long splash = 0, gl = 0, frame = 0;
  int swaps = 0;
};

// Runs a program under the shim; the times are relative to the exec, or
// frame 0 when the program ended without the frame.
Times Run(const std::string& program, const std::vector<std::string>& parameters,
          const std::string& folder, const std::string& out) {
  fs::remove(out);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& parameter : parameters) {
    argv.push_back(const_cast<char*>(parameter.c_str()));
  }
  argv.push_back(nullptr);
  const long long start = Now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) {
      _exit(126);
    }
    setenv("LD_PRELOAD", QMR_START_SHIM, 1);
    setenv("QMR_SHIM_OUT", out.c_str(), 1);
    // A software renderer makes the game ask whether to run anyway: the
    // box answers itself on standard error.
    setenv("QMR_MESSAGEBOX", "yes", 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  Times times;
  std::ifstream file(out);
  std::string word;
  file >> word >> times.splash >> word >> times.gl >> word >> times.frame >> word >> times.swaps;
  for (long long* time : {&times.splash, &times.gl, &times.frame}) {
    *time = *time != 0 ? *time - start : 0;
  }
  return times;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return (values[values.size() / 2] + values[(values.size() - 1) / 2]) / 2;
}

double Ms(long long nanoseconds) {
  return static_cast<double>(nanoseconds) / 1e6;
}

}  // namespace

int main() {
  // The game's program folder: a copy of the binary, the built content and
  // settings that say the first-run screen was done, in a window.
  const fs::path folder = fs::temp_directory_path() / ("start_to_menu_" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string game = (folder / "briskforge").string();
  fs::copy_file(QMR_GAME_BINARY, game, fs::copy_options::overwrite_existing);
  fs::create_directory_symlink(QMR_CONTENT_BIN, folder / "Bin");
  std::ofstream(folder / "settings.ini")
      << "[Video]\r\nWidth=1280\r\nHeight=720\r\nBPP=32\r\nFullscreen=No\r\n"
         "[Controls]\r\nConfigured=Yes\r\n";
  const std::string out = (folder / "times.txt").string();

  std::vector<double> ours, raw, splash, peer;
  int swaps = 0;
  for (int run = 0; run < kRuns; ++run) {
    const Times game_times = Run(game, {"-userdatainapp", "-novsync"}, folder.string(), out);
    const Times peer_times = Run(QMR_PEER_BINARY, {}, folder.string(), out);
    if (game_times.frame == 0 || peer_times.frame == 0) {
      fprintf(stderr, "start-to-menu: a run ended without its frame (see %s)\n",
              (folder / "results.log").c_str());
      return 1;
    }
    raw.push_back(Ms(game_times.frame));
    ours.push_back(Ms(game_times.frame) - kSplashWaitMs);
    splash.push_back(Ms(game_times.gl - game_times.splash));
    peer.push_back(Ms(peer_times.frame));
    swaps = game_times.swaps;
  }
  fs::remove_all(folder);
  const double x = Median(ours);
  const double y = Median(peer);
  printf("start-to-menu raw: %.1f ms exec to the menu's first swap (swap %d of the window)\n",
         Median(raw), swaps);
  printf(
      "start-to-menu splash: %.1f ms from the splash window to the first OpenGL window "
      "(the designed wait is %.0f ms; ours without all of it %.1f ms)\n",
      Median(splash), kSplashWaitMs, Median(raw) - Median(splash));
  printf("start-to-menu: ours %.1f ms, peer %.1f ms, ratio %.2f\n", x, y, x / y);
  return 0;
}
