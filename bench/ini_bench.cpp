// Settings writes: 60 keys written in one batch beside the same 60 keys
// written one at a time, into a settings file of a realistic size in a folder
// on the disk (each write ends with a flush to the disk). Prints
// "settings-batch-60: ours X ms, single Y ms, ratio R".
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKeys = 60;

double oursSeconds = 0.0;
double singleSeconds = 0.0;
double rounds = 0.0;

std::string KeyName(int index) {
  return "Control " + std::to_string(index);
}

// Every key once; the values change from round to round so that every write
// changes the file.
void WriteKeys(int32_t round) {
  for (int i = 0; i < kKeys; ++i) {
    IniWriteInt("Keyboard", KeyName(i), round * kKeys + i);
  }
}

void Batch(int32_t round) {
  IniBatchBegin();
  WriteKeys(round);
  IniBatchEnd();
}

template <typename Writes>
double Time(Writes writes) {
  const auto start = Clock::now();
  writes();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Both forms take turns within each iteration, so both see the same machine
// load; the iteration time is ours.
void BM_SettingsBatch60(benchmark::State& state) {
  int32_t round = 0;
  for (auto _ : state) {
    const double ours = Time([round] { Batch(round); });
    singleSeconds += Time([round] { WriteKeys(round + 1); });
    oursSeconds += ours;
    rounds += 1.0;
    round += 2;
    state.SetIterationTime(ours);
  }
}

// The file a player's settings grow to: video, controls and audio sections
// and a control set whose keys the benchmark rewrites.
void WriteSettingsFile(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "[Video]\r\nWidth=1920\r\nHeight=1080\r\nBPP=32\r\nFullscreen=Yes\r\n"
      << "[Controls]\r\nConfigured=Yes\r\nMode=1\r\nHand=0\r\nShow Pointer=Yes\r\n"
      << "[Audio]\r\nMaster Volume=80\r\nMusic Volume=70\r\nSound Volume=90\r\n"
      << "[Keyboard]\r\n";
  for (int i = 0; i < kKeys; ++i) {
    out << KeyName(i) << "=" << i << "\r\n";
  }
}

}  // namespace

BENCHMARK(BM_SettingsBatch60)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  const std::string folder = std::string(pattern) + "/";
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(folder + "bench");
  PlatformSetVersionValues({{"ProductName", "Bench"}});
  LogStart();
  UtilitiesStart();
  IniStart();
  WriteSettingsFile(IniWritePath());
  benchmark::RunSpecifiedBenchmarks();
  const double oursMs = oursSeconds * 1000.0 / rounds;
  const double singleMs = singleSeconds * 1000.0 / rounds;
  std::printf("settings-batch-60: ours %.1f ms, single %.1f ms, ratio %.3f\n", oursMs, singleMs,
              oursMs / singleMs);
  IniStop();
  UtilitiesStop();
  LogStop();
  PlatformStop();
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);
  return 0;
}
