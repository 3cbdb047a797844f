// Reads a 32 MiB archive entry through the data-file module, field by field
// (4 bytes) and in 64 KiB blocks, beside std::fread of the same bytes in the
// same sizes from the same file, and prints the two times and their ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "platform/platform.h"
#include "tools/qmapack/qmawriter.h"

namespace {

constexpr int32_t kEntrySize = 32 << 20;
const char kEntryName[] = "Bin\\Bench\\big.bin";

struct BenchArchive {
  std::string folder;
  std::string path;
  int32_t offset = 0;
};

BenchArchive archive;

// An archive with a small entry ahead of the big one, so that the big one
// starts at an offset that is not a multiple of the buffer size.
bool MakeArchive() {
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return false;
  }
  archive.folder = std::string(pattern) + "/";
  archive.path = archive.folder + "bench.qma";
  std::string big(kEntrySize, '\0');
  for (int32_t i = 0; i < kEntrySize; ++i) {
    big[i] = static_cast<char>(i * 2654435761u >> 24);
  }
  QmaWriter writer;
  QmaWriterAddMemory(writer, "Bin\\Bench\\small.bin", std::string(1000, 's'));
  QmaWriterAddMemory(writer, kEntryName, big);
  std::string error;
  DataFileArchiveDirectory directory;
  if (!QmaWriterSave(writer, archive.path, error) ||
      !DataFileArchiveRead(archive.path, directory) || directory.entries.size() != 2) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  archive.offset = directory.entries[1].offset;
  return true;
}

void ReadOurs(benchmark::State& state, int32_t block) {
  std::vector<uint8_t> buffer(block);
  for (auto _ : state) {
    const int32_t id = DataFileOpen(kEntryName);
    uint32_t sum = 0;
    for (int32_t done = 0; done < kEntrySize; done += block) {
      if (!DataFileReadExact(id, buffer.data(), block)) {
        state.SkipWithError("short read");
        break;
      }
      sum += buffer[0];
    }
    DataFileClose(id);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kEntrySize});
}

void ReadStdio(benchmark::State& state, int32_t block) {
  std::vector<uint8_t> buffer(block);
  for (auto _ : state) {
    FILE* file = std::fopen(archive.path.c_str(), "rb");
    std::fseek(file, archive.offset, SEEK_SET);
    uint32_t sum = 0;
    for (int32_t done = 0; done < kEntrySize; done += block) {
      if (std::fread(buffer.data(), 1, block, file) != static_cast<size_t>(block)) {
        state.SkipWithError("short read");
        break;
      }
      sum += buffer[0];
    }
    std::fclose(file);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kEntrySize});
}

// Keeps each benchmark's time per iteration for the summary lines; with
// repetitions, the median of the repetitions.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        milliseconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintSummary(const std::string& label) {
    const double ours = milliseconds_["ours-" + label];
    const double stdio = milliseconds_["stdio-" + label];
    std::printf("datafile-%s: ours %.1f ms, stdio %.1f ms, ratio %.2f\n", label.c_str(), ours,
                stdio, stdio > 0 ? ours / stdio : 0.0);
  }

 private:
  std::map<std::string, double> milliseconds_;
};

}  // namespace

int main(int argc, char** argv) {
  // Both readers share the machine with whatever else runs: repetitions in
  // random order spread that noise over both sides; given flags still win.
  std::vector<char*> args{argv[0]};
  std::string defaults[] = {"--benchmark_repetitions=5",
                            "--benchmark_enable_random_interleaving=true",
                            "--benchmark_report_aggregates_only=true"};
  for (std::string& flag : defaults) {
    args.push_back(flag.data());
  }
  args.insert(args.end(), argv + 1, argv + argc);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (!MakeArchive()) {
    return 1;
  }
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(archive.folder + "bench");
  DataFileStart();
  for (const auto& [label, block] : {std::pair{"4B", 4}, std::pair{"64K", 64 << 10}}) {
    benchmark::RegisterBenchmark((std::string("ours-") + label).c_str(), ReadOurs, block)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("stdio-") + label).c_str(), ReadStdio, block)
        ->Unit(benchmark::kMillisecond);
  }
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary("4B");
  reporter.PrintSummary("64K");
  DataFileStop();
  PlatformStop();
  std::filesystem::remove_all(archive.folder);
  return 0;
}
