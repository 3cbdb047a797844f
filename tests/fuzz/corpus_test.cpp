// Every committed seed and every minimised crash, fed to the fuzz entry
// functions built with the normal compiler and sanitizers: a loader change
// that breaks on a file the fuzzer once found, or on a seed, fails here
// without a fuzzing build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

// The files of one of the target's folders below tests/fuzz, in name order.
std::vector<fs::path> FilesOf(const std::string& kind, const std::string& target) {
  std::vector<fs::path> files;
  const fs::path folder = fs::path(QMR_FUZZ_SOURCE_DIR) / kind / target;
  if (fs::is_directory(folder)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file()) {
        files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzCorpusTest : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzCorpusTest, EverySeedAndRegressionFileLoads) {
  const FuzzTarget& target = GetParam();
  const std::vector<fs::path> seeds = FilesOf("corpus", target.name);
  EXPECT_FALSE(seeds.empty()) << "no seed corpus for " << target.name;
  std::vector<fs::path> files = seeds;
  for (const fs::path& file : FilesOf("regressions", target.name)) {
    files.push_back(file);
  }
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    FuzzRun(target.entry, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusTest, ::testing::ValuesIn(FuzzTargets()),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) {
                           return info.param.name;
                         });

}  // namespace
