// The input module on the headless platform with the manual clock, its
// settings and log in a temporary program folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "framework/ini/ini.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    LogStart();
    IniStart();
    InputStart();
  }
  void TearDown() override {
    InputStop();
    IniStop();
    LogStop();
    platform_.reset();
  }
  // Starts the module again, as a new run of the program does.
  void Restart() {
    InputStop();
    InputStart();
  }
  std::string Log() const { return program_.read("results.log"); }
  // A visible window of that client size at the desktop's origin.
  static PlatformWindow Window(int32_t width, int32_t height) {
    PlatformWindowParams params;
    params.width = width;
    params.height = height;
    return PlatformWindowCreate(params);
  }
  // The codes (or action ids) and values of events.
  static std::vector<std::pair<int32_t, int32_t>> Pairs(const std::vector<InputEvent>& events) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    for (const InputEvent& event : events) {
      pairs.emplace_back(event.code, event.value);
    }
    return pairs;
  }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
};
