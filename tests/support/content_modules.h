// A program in a temporary folder with the modules that read content started
// in their designed order: data files, the log (kept in that folder, so that
// tests can read back what was logged), the utilities and, when asked, mats.
#pragma once

#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "tests/support/testsupport.h"

class ContentModules {
 public:
  enum Mats { kWithoutMats, kWithMats };
  explicit ContentModules(const std::string& programFolder, Mats mats = kWithMats,
                          const std::vector<std::string>& parameters = {"-userdatainapp"})
      : platform_(programFolder, parameters), mats_(mats) {
    DataFileStart();
    LogStart();
    UtilitiesStart();
    if (mats_ == kWithMats) {
      MatStart();
    }
  }
  ~ContentModules() {
    if (mats_ == kWithMats) {
      MatStop();
    }
    UtilitiesStop();
    LogStop();
    DataFileStop();
  }
  ContentModules(const ContentModules&) = delete;
  ContentModules& operator=(const ContentModules&) = delete;

 private:
  HeadlessPlatform platform_;
  Mats mats_;
};
