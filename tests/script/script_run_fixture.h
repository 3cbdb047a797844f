// A program folder with the modules scripts need started over the headless
// platform (manual clock at 0), and helpers that make scripts with the
// writer library, load them and collect what their byte code reports.
//
// Every script made here names "REPORT" as app routine 0: it records the
// text of parameter slot 1, so `Report` (push, call, pop) shows a value.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "script/script.h"
#include "tests/support/testsupport.h"
#include "tools/vmc/vmcwriter.h"

class ScriptRunTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Resolves the labels and loads a script of that code with the routine
  // names (REPORT first) and, when `listener` names a label, a listener
  // there. The id, or 0.
  int32_t Load(const VmcCode& code, const std::vector<std::string>& routines = {},
               const std::string& listener = "", int32_t version = kVmcNewestVersion,
               const std::string& fileName = "test.vmc");
  // Saves the script in the program folder and loads it; the id, or 0.
  int32_t LoadScript(const VmcScript& script, const std::string& fileName);
  // Advances the manual clock past the next animation step, then processes.
  void Frame(int32_t script);

  std::vector<std::string> Errors() const;  // the log's error lines
  std::vector<std::string> TakeReports();   // and forgets them
  size_t StackSize(int32_t script, size_t thread = 0) const;
  size_t ThreadCount(int32_t script) const;

  TempFolder folder_;
  std::vector<std::string> switches_{"-userdatainapp"};  // the program's parameters
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

// Push, call REPORT, pop: the value's text is recorded.
void Report(VmcCode& code, const VmcOperand& value);
