#include "tests/script/script_run_fixture.h"

#include <algorithm>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script_internal.h"

void ScriptRunTest::SetUp() {
  platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), switches_);
  DataFileStart();
  LogStart();
  UtilitiesStart();
  StateStart();
  ScriptStart();
  ScriptAppRoutineRegister("Report", [this](int32_t script, int32_t thread) {
    reports_.push_back(ScriptParamGetString(script, thread, 1));
    return 1;
  });
}

void ScriptRunTest::TearDown() {
  ScriptInstructionBudgetSet(-1);
  ScriptStop();
  StateStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  platform_.reset();
}

int32_t ScriptRunTest::Load(const VmcCode& code, const std::vector<std::string>& routines,
                            const std::string& listener, int32_t version,
                            const std::string& fileName) {
  VmcScript script;
  script.version = version;
  script.routines = {"REPORT"};
  script.routines.insert(script.routines.end(), routines.begin(), routines.end());
  std::string error;
  EXPECT_TRUE(code.Finish(script.code, error)) << error;
  if (!listener.empty()) {
    script.listener = 1;
    script.listenerAddress = code.LabelOffset(listener);
  }
  return LoadScript(script, fileName);
}

int32_t ScriptRunTest::LoadScript(const VmcScript& script, const std::string& fileName) {
  std::string path = folder_.path() + fileName;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::string error;
  EXPECT_TRUE(VmcWriterSave(script, path, error)) << error;
  return ScriptLoad(fileName);
}

void ScriptRunTest::Frame(int32_t script) {
  PlatformClockAdvance(34);
  ScriptProcess(script);
}

std::vector<std::string> ScriptRunTest::Errors() const {
  std::vector<std::string> errors;
  if (!folder_.exists("results.log")) {
    return errors;
  }
  for (const std::string& line : SplitLines(folder_.read("results.log"))) {
    if (line.starts_with("Error: ")) {
      errors.push_back(line.substr(7));
    }
  }
  return errors;
}

std::vector<std::string> ScriptRunTest::TakeReports() {
  return std::exchange(reports_, {});
}

size_t ScriptRunTest::StackSize(int32_t script, size_t thread) const {
  const Script* found = ScriptFind(script);
  return found != nullptr && thread < found->threads.size() ? found->threads[thread].stack.size()
                                                            : 0;
}

size_t ScriptRunTest::ThreadCount(int32_t script) const {
  const Script* found = ScriptFind(script);
  return found != nullptr ? found->threads.size() : 0;
}

void Report(VmcCode& code, const VmcOperand& value) {
  code.Push(value);
  code.CallApp(0);
  code.Pop();
}
