// A program folder in a temporary folder, the headless platform posing as a
// program in it, archives written with the archive writer, and the data-file
// module (with the log, so that its lines can be read back) started over it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "tests/support/testsupport.h"
#include "tools/qmapack/qmawriter.h"

using Entries = std::vector<std::pair<std::string, std::string>>;

class DataFileTest : public ::testing::Test {
 protected:
  void TearDown() override { Stop(); }

  // Starts the modules in their designed order; user files stay in the
  // program folder.
  void Start(std::vector<std::string> parameters = {}) {
    parameters.push_back("-userdatainapp");
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), parameters);
    DataFileStart();
    LogStart();
  }
  void Stop() {
    LogStop();
    DataFileStop();
    platform_.reset();
  }

  // Writes an archive into the program folder.
  std::string WriteArchive(const std::string& fileName, const Entries& entries,
                           uint16_t version = 1, int32_t patch = 0) {
    QmaWriter writer;
    writer.version = version;
    writer.patch = patch;
    for (const auto& [name, data] : entries) {
      QmaWriterAddMemory(writer, name, data);
    }
    std::string error;
    EXPECT_TRUE(QmaWriterSave(writer, folder_.path() + fileName, error)) << error;
    return folder_.path() + fileName;
  }

  // The whole content file, or nothing when it cannot be opened.
  static std::optional<std::string> ReadAll(const std::string& name) {
    const int32_t id = DataFileOpen(name);
    if (id == 0) {
      return std::nullopt;
    }
    std::string text;
    char piece[1000];
    while (const int32_t count = DataFileRead(id, piece, sizeof piece)) {
      text.append(piece, count);
    }
    DataFileClose(id);
    return text;
  }

  std::vector<std::string> LogLines() const { return SplitLines(folder_.read("results.log")); }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};
