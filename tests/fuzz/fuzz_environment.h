// The program folder and the modules every fuzz target runs in, and the
// checks the targets share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"

constexpr int32_t kFuzzDisplay = 1;
constexpr int32_t kFuzzAudioRate = 22050;

// The modules a target runs in: the framework's loaders; every module with
// the script engine over a headless display but without the game, so a
// fuzzed script reaches no game routine that writes files; or the whole
// game started as the shell starts it.
enum class FuzzModules { kNone, kFramework, kScripts, kGame };

// The program folder and the modules the loaders need, started in their
// designed order when a target first asks for them and stopped when another
// set is asked for or the program ends.
class FuzzEnvironment {
 public:
  FuzzEnvironment();
  ~FuzzEnvironment();
  FuzzEnvironment(const FuzzEnvironment&) = delete;
  FuzzEnvironment& operator=(const FuzzEnvironment&) = delete;

  const std::string& folder() const { return folder_.path(); }
  // Writes the input below the program folder; its full path.
  std::string Write(const std::string& relative, const uint8_t* data, size_t size) const {
    return folder_.write(relative, std::string(reinterpret_cast<const char*>(data), size));
  }
  // The "Error: " lines logged since the last call; the log starts again empty.
  std::vector<std::string> TakeErrors() const;

  // Stops the modules started before and starts the set asked for, unless
  // that set is running.
  void Use(FuzzModules modules);

 private:
  void Start(FuzzModules modules);
  void Stop();

  TempFolder folder_;
  HeadlessPlatform platform_;
  FuzzModules started_ = FuzzModules::kNone;
};

// The one environment, made at the first call, with the modules asked for.
FuzzEnvironment& FuzzEnv(FuzzModules modules = FuzzModules::kFramework);
// A broken promise: said on standard error, then the abort the fuzzer and the
// corpus test report.
void FuzzCheck(bool holds, const char* what);
std::string FuzzBytes(const uint8_t* data, size_t size);
