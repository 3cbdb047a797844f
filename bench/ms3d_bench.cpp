// Loading the largest MilkShape mesh a file can hold (65,535 vertices and
// triangles, about 5.7 MB) from an archive entry through TMS3D, beside
// reading the same entry in 64 KiB DataFileRead blocks. The two take turns
// within each iteration, so both see the same machine load, and each is
// timed in the thread's CPU time (the kernel's copy included). Prints
// "ms3d-load: ours X MB/s, peer Y MB/s, ratio R" with R our time over the
// peer's (the goal is at most 2).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "tools/common/model_writer.h"
#include "tools/qmapack/qmawriter.h"

namespace {

constexpr int32_t kDisplay = 1;
constexpr uint16_t kCount = 65535;
constexpr int32_t kBlock = 64 << 10;
const char kEntryName[] = "Bin\\Bench\\big.ms3d";

struct Totals {
  double ours = 0.0;
  double peer = 0.0;
  double rounds = 0.0;
};

Totals totals;
double entrySize = 0.0;

// A grid of vertices with a triangle on each, all in one textureless group.
MwModel BigMesh() {
  MwModel model;
  model.vertices.resize(kCount);
  model.triangles.resize(kCount);
  MwGroup group;
  group.name = "all";
  for (uint32_t i = 0; i < kCount; ++i) {
    model.vertices[i].position = {static_cast<float>(i % 256), static_cast<float>(i / 256), 1.0f};
    MwTriangle& triangle = model.triangles[i];
    triangle.vertices = {static_cast<uint16_t>(i), static_cast<uint16_t>((i + 1) % kCount),
                         static_cast<uint16_t>((i + 256) % kCount)};
    triangle.normals = {{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}};
    triangle.s = {0.0f, 1.0f, 0.0f};
    triangle.t = {0.0f, 0.0f, 1.0f};
    group.triangles.push_back(static_cast<uint16_t>(i));
  }
  group.material = 0;
  model.groups = {group};
  model.materials = {MwMaterial{}};
  return model;
}

// An archive with a small entry ahead of the mesh, so that the mesh starts
// at an offset that is not a multiple of the buffer size.
bool MakeArchive(const std::string& path) {
  std::string bytes;
  std::string error;
  QmaWriter writer;
  if (!MwMs3dBytes(BigMesh(), bytes, error)) {
    std::fprintf(stderr, "ms3d-bench: %s\n", error.c_str());
    return false;
  }
  entrySize = static_cast<double>(bytes.size());
  QmaWriterAddMemory(writer, "Bin\\Bench\\small.bin", std::string(1000, 's'));
  QmaWriterAddMemory(writer, kEntryName, bytes);
  if (!QmaWriterSave(writer, path, error)) {
    std::fprintf(stderr, "ms3d-bench: %s\n", error.c_str());
    return false;
  }
  return true;
}

// CPU time rather than wall time: the machine is shared, and waits are not ours.
template <typename Work>
double Time(Work work) {
  const double start = ThreadCpuSeconds();
  work();
  return ThreadCpuSeconds() - start;
}

void ReadBlocks() {
  std::vector<uint8_t> buffer(kBlock);
  const int32_t id = DataFileOpen(kEntryName);
  uint32_t sum = 0;
  while (DataFileRead(id, buffer.data(), kBlock) > 0) {
    sum += buffer[0];
  }
  DataFileClose(id);
  benchmark::DoNotOptimize(sum);
}

void BM_Ms3dLoad(benchmark::State& state) {
  for (auto _ : state) {
    totals.peer += Time(ReadBlocks);
    bool loaded = false;
    const double ours = Time([&loaded] {
      TMS3D model(kDisplay);
      loaded = model.LoadFromFile(kEntryName);
      benchmark::DoNotOptimize(model.Mesh().triangles.data());
    });
    if (!loaded) {
      state.SkipWithError("the mesh did not load");
      break;
    }
    totals.ours += ours;
    totals.rounds += 1.0;
    state.SetIterationTime(ours);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * entrySize));
}

}  // namespace

BENCHMARK(BM_Ms3dLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  const std::string folder = std::string(pattern) + "/";
  if (!MakeArchive(folder + "bench.qma")) {
    return 1;
  }
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(folder + "bench");
  PlatformSetParameters({"-userdatainapp"});
  DataFileStart();
  LogStart();
  UtilitiesStart();
  ModelStart();
  ModelDisplayAdd(kDisplay);
  Ms3dStart();
  benchmark::RunSpecifiedBenchmarks();
  const double ours = entrySize * totals.rounds / totals.ours / 1e6;
  const double peer = entrySize * totals.rounds / totals.peer / 1e6;
  std::printf("ms3d-load: ours %.0f MB/s, peer %.0f MB/s, ratio %.2f\n", ours, peer,
              totals.ours / totals.peer);
  Ms3dStop();
  ModelStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
