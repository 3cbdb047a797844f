// Frame overhead: a frame through the graphics module (GraphicsRenderBegin +
// GraphicsRenderEnd on a display) beside a bare frame through the platform's
// OpenGL calls (make current, clear, swap) on a window of the same size.
// Run under an X server (Xvfb and Mesa in CI); prints
// "frame: ours X us, bare Y us, ratio R".
//
// Each pair of frames lives in framePairs; a richer frame of ours (a whole
// game frame, say) is one more entry with its own setup.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kWidth = 1280;  // the game's screen
constexpr int32_t kHeight = 720;

// Both sides draw into this one window, so both swaps copy the same pixels.
PlatformWindow OpenGLWindow() {
  PlatformWindowParams params;
  params.title = "graphics_frame_bench";
  params.width = kWidth;
  params.height = kHeight;
  params.opengl = true;
  return PlatformWindowCreate(params);
}

// Our frame: the game's display "Primary", flushing after each frame as the
// game asks.
struct OurDisplay {
  int32_t id = -1;
  bool Open(PlatformWindow window) {
    id = GraphicsDisplayAdd(window, "Primary", 0);
    GraphicsSetFlush(true);
    return GraphicsDisplayCreateRC(id);
  }
  void Frame() const {
    GraphicsRenderBegin(id);
    GraphicsRenderEnd(id);
  }
};

// The peer: what any OpenGL program does per frame at the least, with a
// context of its own.
struct BareWindow {
  PlatformWindow window = 0;
  PlatformGLContext context = 0;
  bool Open(PlatformWindow on) {
    window = on;
    context = PlatformGLCreateContext(window);
    return context != 0 && PlatformGLMakeCurrent(window, context);
  }
  void Frame() const {
    PlatformGLMakeCurrent(window, context);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    PlatformGLSwap(window);
  }
};

OurDisplay ours;
BareWindow bare;

struct FramePair {
  const char* label;
  std::function<void()> ours;
  std::function<void()> peer;
  double oursUs = 0.0;
  double peerUs = 0.0;
};

std::vector<FramePair> framePairs = {
    {"frame", [] { ours.Frame(); }, [] { bare.Frame(); }},
};

double Seconds(const std::function<void()>& frame) {
  const auto start = Clock::now();
  frame();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ours and the peer take turns within each iteration, so both see the same
// machine load, and which goes first alternates, so neither always follows
// the other's context switch; the iteration time is ours.
void BM_FramePair(benchmark::State& state) {
  FramePair& pair = framePairs[static_cast<size_t>(state.range(0))];
  double oursTotal = 0.0;
  double peerTotal = 0.0;
  bool oursFirst = true;
  for (auto _ : state) {
    double seconds = 0.0;
    if (oursFirst) {
      seconds = Seconds(pair.ours);
      peerTotal += Seconds(pair.peer);
    } else {
      peerTotal += Seconds(pair.peer);
      seconds = Seconds(pair.ours);
    }
    oursFirst = !oursFirst;
    oursTotal += seconds;
    state.SetIterationTime(seconds);
  }
  const auto iterations = static_cast<double>(state.iterations());
  pair.oursUs = oursTotal * 1e6 / iterations;
  pair.peerUs = peerTotal * 1e6 / iterations;
  state.SetLabel(pair.label);
}

bool StartModules() {
  if (!PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "graphics_frame_bench: no display: %s\n", PlatformLastErrorText().c_str());
    return false;
  }
  LogStart();
  GraphicsStart();
  const PlatformWindow window = OpenGLWindow();
  if (!ours.Open(window) || !bare.Open(window)) {
    std::fprintf(stderr, "graphics_frame_bench: no OpenGL context: %s\n",
                 PlatformLastErrorText().c_str());
    return false;
  }
  // Neither side waits for the vertical blank.
  GraphicsSetVSync(false);
  return true;
}

void StopModules() {
  PlatformGLDeleteContext(bare.context);
  GraphicsStop();
  LogStop();
  PlatformStop();
}

}  // namespace

BENCHMARK(BM_FramePair)
    ->DenseRange(0, static_cast<int64_t>(framePairs.size()) - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!StartModules()) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  for (const FramePair& pair : framePairs) {
    if (pair.oursUs > 0.0 && pair.peerUs > 0.0) {
      std::printf("%s: ours %.1f us, bare %.1f us, ratio %.3f\n", pair.label, pair.oursUs,
                  pair.peerUs, pair.oursUs / pair.peerUs);
    }
  }
  StopModules();
  benchmark::Shutdown();
  return 0;
}
