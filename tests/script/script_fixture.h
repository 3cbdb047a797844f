// The modules a script needs, started headless around each test, with
// helpers that write scripts, images and mats as content files and read the
// log's error lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "script/script_internal.h"
#include "tests/support/testsupport.h"
#include "tools/vmc/vmcwriter.h"

class ScriptFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    DataFileStart();
    LogStart();
    UtilitiesStart();
    ImageStart();
    FontStart();
    ModelStart();
    GraphicsStart();
    MatStart();
    StateStart();
    ScriptStart();
    display_ = GraphicsDisplayAdd(0, "Primary", 0);
  }
  void TearDown() override {
    ScriptStop();
    StateStop();
    MatStop();
    GraphicsStop();
    ModelStop();
    FontStop();
    ImageStop();
    UtilitiesStop();
    LogStop();
    DataFileStop();
  }

  // Writes the content file "Bin\<name>" below the program folder.
  void WriteContent(const std::string& name, const std::string& bytes) const {
    folder_.write("Bin/" + name, bytes);
  }
  void WriteScript(const VmcScript& script, const std::string& name = "Test.vmc") const {
    std::string bytes;
    std::string error;
    ASSERT_TRUE(VmcWriterBytes(script, bytes, error)) << error;
    WriteContent(name, bytes);
  }
  // Writes and loads the script; its id or 0.
  int32_t Load(const VmcScript& script) {
    WriteScript(script);
    return ScriptLoad("Bin\\Test.vmc");
  }
  // An opaque image of the size whose pixel colours differ.
  void WriteImage(const std::string& name, int32_t width, int32_t height) const {
    ImageFrame image;
    image.loaded = 1;
    image.width = width;
    image.height = height;
    image.bitsPerPixel = 32;
    for (int32_t i = 0; i < width * height; ++i) {
      image.pixels.push_back(0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8));
    }
    folder_.write("Bin/" + name, "");
    ImageSave(folder_.path() + "Bin/" + name, &image);
  }
  // A 2 x 1 mat of two entries.
  void WriteMat(const std::string& name) const {
    Mat mat;
    mat.entries = {{"FLOOR", 0xFF0000}, {"WALL", 0x00FF00}};
    mat.width = 2;
    mat.height = 1;
    mat.data = {0, 1};
    folder_.write("Bin/" + name, "");
    const int32_t file = DataFileDirectCreate(folder_.path() + "Bin/" + name);
    MatDirectSave(file, mat);
    DataFileDirectClose(file);
  }

  // Error lines without their "Error: " prefix; ClearLog starts afresh.
  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errors;
    if (folder_.exists("results.log")) {
      for (const std::string& line : SplitLines(folder_.read("results.log"))) {
        if (line.rfind("Error: ", 0) == 0) {
          errors.push_back(line.substr(7));
        }
      }
    }
    return errors;
  }
  void ClearLog() const { folder_.write("results.log", ""); }

  TempFolder folder_;
  HeadlessPlatform platform_{folder_.path(), {"-userdatainapp"}};
  int32_t display_ = 0;
};

// Little-endian bytes written by hand, for files the writer would not make.
class ByteBuilder {
 public:
  ByteBuilder& I32(int32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes_ += static_cast<char>(static_cast<uint32_t>(value) >> shift & 0xFF);
    }
    return *this;
  }
  ByteBuilder& U8(uint8_t value) {
    bytes_ += static_cast<char>(value);
    return *this;
  }
  ByteBuilder& Text(const std::string& text) {
    U8(static_cast<uint8_t>(text.size()));
    bytes_ += text;
    return *this;
  }
  ByteBuilder& Raw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};
