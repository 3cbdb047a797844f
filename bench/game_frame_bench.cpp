// Frame overhead of the whole game: one GameFrame in the Game state with the
// display "Primary" (audio update, clear and swap) beside a bare clear and
// swap with a context of its own on the same window. Run under an X server;
// prints "game-frame: ours X us, bare Y us, ratio R".
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "framework/state/state.h"
#include "game/game.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"

namespace {

using Clock = std::chrono::steady_clock;

// The game's own state 3: a room being played, here without a room.
constexpr int32_t kGameState = 3;
constexpr int32_t kPrimaryDisplay = 1;

PlatformWindow window = 0;
PlatformGLContext bareContext = 0;
double oursSeconds = 0.0;
double bareSeconds = 0.0;
double frames = 0.0;

void BareFrame() {
  PlatformGLMakeCurrent(window, bareContext);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  PlatformGLSwap(window);
}

template <typename Frame>
double Time(Frame frame) {
  const auto start = Clock::now();
  frame();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ours and the bare frame alternate within each iteration so that both see
// the same machine load.
void BM_GameFrame(benchmark::State& state) {
  for (auto _ : state) {
    const double ours = Time([] { GameFrame(); });
    bareSeconds += Time(BareFrame);
    oursSeconds += ours;
    frames += 1.0;
    state.SetIterationTime(ours);
  }
}

// A program folder of its own with windowed settings; "-novsync" because the
// test server has no swap-interval control, so the 10 ms pacing would
// measure the pacing, not the frame.
bool StartGame(const std::string& folder) {
  std::ofstream(folder + "settings.ini") << "[Video]\nWidth=1280\nHeight=720\nFullscreen=No\n";
  if (!PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "game_frame_bench: no display: %s\n", PlatformLastErrorText().c_str());
    return false;
  }
  PlatformSetProgramPath(folder + "briskforge");
  PlatformSetParameters({"-userdatainapp", "-novsync"});
  ModulesStart();
  MainForm().MainFormCreate();
  if (!GameInitDisplay()) {
    return false;
  }
  window = MainForm().MainDisplayGetWindow(kPrimaryDisplay);
  bareContext = PlatformGLCreateContext(window);
  return bareContext != 0;
}

}  // namespace

BENCHMARK(BM_GameFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string folder =
      (std::filesystem::temp_directory_path() / "game_frame_bench").string() + "/";
  std::filesystem::create_directories(folder);
  if (!StartGame(folder)) {
    std::fprintf(stderr, "game_frame_bench: the game's display did not open\n");
    return 1;
  }
  // Without interface scripts GameInit would end in the fatal-error state;
  // the states are registered by it and the Game state entered directly.
  GameInit();
  StateSet(kGameState);
  benchmark::RunSpecifiedBenchmarks();
  std::printf("game-frame: ours %.1f us, bare %.1f us, ratio %.3f\n", oursSeconds * 1e6 / frames,
              bareSeconds * 1e6 / frames, oursSeconds / bareSeconds);
  PlatformGLDeleteContext(bareContext);
  ModulesStop();
  PlatformStop();
  std::filesystem::remove_all(folder);
  return 0;
}
