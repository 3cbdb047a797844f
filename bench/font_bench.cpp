// Text layout: measuring and wrapping 10,000 characters of prose at a width
// of 400 pixels with the bundled font, as labels and speech bubbles do every
// time their text changes. No peer; prints
// "font-wrap-measure: ours X us per 1000 chars".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "platform/platform.h"

namespace {

constexpr int32_t kDisplay = 1;
constexpr size_t kCharacters = 10000;

int32_t font = 0;
double totalSeconds = 0.0;
double rounds = 0.0;

// Sentences of a room description and dialog, with paragraph breaks.
std::string Prose() {
  const char* sentences[] = {
      "The forge is cold tonight, and the bellows hang slack against the soot-black wall. ",
      "Tamsin runs a finger along the anvil; it comes away grey with a week of dust. ",
      "\"Somebody has been here,\" she says, \"and they left in a hurry.\" ",
      "A crate of horseshoes lies on its side beside the quenching trough. ",
      "Through the shutters the lanterns of the harbour sway in the wind.\r\n",
      "Nobody answers. Somewhere beyond the yard a dog barks twice and falls silent. ",
  };
  std::string text;
  for (size_t i = 0; text.size() < kCharacters; ++i) {
    text += sentences[i % std::size(sentences)];
  }
  text.resize(kCharacters);
  return text;
}

void BM_WrapAndMeasure(benchmark::State& state) {
  const std::string text = Prose();
  std::vector<std::string> lines;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    FontWrap(font, 400, text, lines);
    int32_t widest = 0;
    for (const std::string& line : lines) {
      widest = std::max(widest, FontTextWidth(font, line));
    }
    benchmark::DoNotOptimize(widest);
  }
  totalSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rounds += static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_WrapAndMeasure)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(std::string(QMR_PROGRAM_DIR) + "/bench");
  PlatformSetParameters({"-userdatainapp"});
  DataFileStart();
  LogStart();
  FontStart();
  ModelStart();
  ModelDisplayAdd(kDisplay);
  FontDisplayAdd(kDisplay);
  font = FontOpen(kDisplay, "Bin\\Common\\Fonts\\Cubes.fot");
  if (font == 0) {
    std::fprintf(stderr, "font-wrap-measure: the bundled font is missing; build `content`\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  const double microseconds = totalSeconds * 1e6 / rounds / (kCharacters / 1000.0);
  std::printf("font-wrap-measure: ours %.2f us per 1000 chars\n", microseconds);
  ModelStop();
  FontStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  return 0;
}
