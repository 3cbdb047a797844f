// A program in a temporary folder with the data-file, log, utilities and state
// modules started, user files (results.log) kept in that folder and the
// manual clock at 0.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({}); }
  void TearDown() override { Stop(); }

  void Start(std::vector<std::string> parameters) {
    parameters.insert(parameters.begin(), "-userdatainapp");
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), parameters);
    DataFileStart();
    LogStart();
    UtilitiesStart();
    StateStart();
  }
  void Stop() {
    StateStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  std::vector<std::string> LogLines() const { return SplitLines(folder_.read("results.log")); }
  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errors;
    for (const std::string& line : LogLines()) {
      if (line.starts_with("Error: ")) {
        errors.push_back(line);
      }
    }
    return errors;
  }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};
