// Decoding a 1280 x 720 floor mat with 12 entries from its runs in memory,
// beside memcpy of the same label bytes, and reading the whole file from a
// memory copy. Prints
// "mat-decode: ours X MB/s of labels, memcpy Y MB/s, ratio R" and
// "mat-open: ours X MB/s of labels from a memory copy".
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr size_t kLabels = static_cast<size_t>(kWidth) * kHeight;
const char kMatName[] = "Floor.mat";

MatRaw raw;
Mat decoded;
std::vector<uint8_t> copy(kLabels);

struct Totals {
  double ours = 0.0;
  double peer = 0.0;
  double rounds = 0.0;
};
Totals decode;
Totals open;

// A room floor as artists paint it: six depth bands whose edges wave across
// the picture, walls on both sides beyond a wavy edge, and six obstacles
// (furniture, pillars) as ellipses.
Mat FloorMat() {
  Mat mat;
  mat.width = kWidth;
  mat.height = kHeight;
  for (int i = 0; i < 12; ++i) {
    mat.entries.push_back({"Zone " + std::to_string(i), static_cast<uint32_t>(i) * 0x151515});
  }
  struct Ellipse {
    double x, y, rx, ry;
  };
  const Ellipse obstacles[] = {{200, 500, 90, 40},  {640, 420, 160, 60}, {1000, 600, 120, 50},
                               {420, 300, 40, 120}, {880, 250, 50, 150}, {1150, 450, 60, 30}};
  mat.data.resize(kLabels);
  for (int32_t y = 0; y < kHeight; ++y) {
    const double edge = 60 + 40 * std::sin(y / 37.0) + y / 10.0;
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t index = 0;  // wall
      if (x > edge && x < kWidth - edge) {
        index =
            static_cast<uint8_t>(1 + std::clamp((y + 25 * std::sin(x / 90.0)) / 130.0, 0.0, 4.0));
      }
      for (int i = 0; i < 6; ++i) {
        const double dx = (x - obstacles[i].x) / obstacles[i].rx;
        const double dy = (y - obstacles[i].y) / obstacles[i].ry;
        if (dx * dx + dy * dy < 1.0) {
          index = static_cast<uint8_t>(6 + i);
        }
      }
      mat.data[static_cast<size_t>(y) * kWidth + x] = index;
    }
  }
  return mat;
}

template <typename Work>
double Time(Work work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Decoding and memcpy take turns within each iteration, so both see the same
// machine load; the iteration time is ours.
void BM_MatDecode(benchmark::State& state) {
  for (auto _ : state) {
    const double ours = Time([] {
      MatDecode(raw, decoded);
      benchmark::DoNotOptimize(decoded.data.data());
      benchmark::ClobberMemory();
    });
    decode.peer += Time([] {
      std::memcpy(copy.data(), decoded.data.data(), kLabels);
      benchmark::DoNotOptimize(copy.data());
      benchmark::ClobberMemory();
    });
    decode.ours += ours;
    decode.rounds += 1.0;
    state.SetIterationTime(ours);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLabels);
}

// The whole reader, from a memory copy of the file, as a room load does it.
void BM_MatOpen(benchmark::State& state) {
  Mat mat;
  for (auto _ : state) {
    const double ours = Time([&mat] {
      MatOpen(kMatName, mat);
      benchmark::DoNotOptimize(mat.data.data());
    });
    open.ours += ours;
    open.rounds += 1.0;
    state.SetIterationTime(ours);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLabels);
}

double MegabytesPerSecond(double seconds, double rounds) {
  return kLabels * rounds / seconds / 1e6;
}

}  // namespace

BENCHMARK(BM_MatDecode)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_MatOpen)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  const std::string folder = std::string(pattern) + "/";
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(folder + "bench");
  PlatformSetParameters({"-userdatainapp"});
  DataFileStart();
  LogStart();
  UtilitiesStart();
  MatStart();
  const int32_t file = DataFileDirectCreate(folder + kMatName);
  const int32_t saved = MatDirectSave(file, FloorMat());
  DataFileDirectClose(file);
  MatOpenRaw(kMatName, raw);
  if (saved != 3 || !MatRawIsValid(raw) || !DataFileCacheLoad(kMatName)) {
    std::fprintf(stderr, "mat-bench: cannot make the floor mat\n");
    return 1;
  }
  std::printf("floor mat: %d x %d pixels, %zu entries, %zu runs\n", kWidth, kHeight,
              raw.entries.size(), raw.runs.size());
  benchmark::RunSpecifiedBenchmarks();
  const double ours = MegabytesPerSecond(decode.ours, decode.rounds);
  const double peer = MegabytesPerSecond(decode.peer, decode.rounds);
  std::printf("mat-decode: ours %.0f MB/s of labels, memcpy %.0f MB/s, ratio %.3f\n", ours, peer,
              ours / peer);
  std::printf("mat-open: ours %.0f MB/s of labels from a memory copy\n",
              MegabytesPerSecond(open.ours, open.rounds));
  DataFileCacheFree(kMatName);
  MatStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
