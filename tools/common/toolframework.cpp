#include "tools/common/toolframework.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "tools/common/tool.h"

namespace fs = std::filesystem;

ToolFramework::ToolFramework(const std::string& tool, PlatformBackend backend) {
  std::string pattern = (fs::temp_directory_path() / (tool + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::cerr << tool << ": cannot make a temporary folder\n";
    std::exit(kToolFailure);
  }
  folder_ = pattern + "/";
  if (!PlatformStart(backend)) {
    std::cerr << tool << ": " << PlatformLastErrorText() << "\n";
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    std::exit(kToolFailure);
  }
  PlatformSetProgramPath(folder_ + tool);
  PlatformSetParameters({"-userdatainapp"});
  DataFileStart();
  LogStart();
  UtilitiesStart();
  MatStart();
  linesShown_ = LogLines().size();
}

ToolFramework::~ToolFramework() {
  MatStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::vector<std::string> ToolFramework::LogLines() const {
  std::ifstream in(folder_ + LogGetFileName(), std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  // The header the log starts with at its first line: the program, then its
  // parameters indented.
  size_t header = 0;
  if (!lines.empty() && lines[0].starts_with("Application \"")) {
    header = 1;
    if (header < lines.size() && lines[header] == "Parameters:") {
      ++header;
      while (header < lines.size() && lines[header].starts_with("    ")) {
        ++header;
      }
    }
  }
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(header));
  return lines;
}

std::string ToolFramework::Errors() const {
  std::string errors;
  for (const std::string& line : LogLines()) {
    if (line.starts_with("Error: ")) {
      errors += (errors.empty() ? "" : "; ") + line.substr(7);
    }
  }
  return errors.empty() ? "unknown error" : errors;
}

std::vector<std::string> ToolFramework::NewLogLines() {
  std::vector<std::string> lines = LogLines();
  const size_t shown = std::min(linesShown_, lines.size());
  linesShown_ = lines.size();
  return {lines.begin() + static_cast<std::ptrdiff_t>(shown), lines.end()};
}

bool ToolSaveMat(const ToolFramework& framework, const std::string& path, const Mat& mat) {
  const int32_t file = DataFileDirectCreateReplacement(path);
  if (file == 0) {
    ToolFail(path, "cannot create the file");
    return false;
  }
  const int32_t result = MatDirectSave(file, mat);
  if (result != 3) {
    DataFileDirectClose(file);
    ToolFail(path, framework.Errors());
    return false;
  }
  if (!DataFileDirectCommit(file)) {
    ToolFail(path, "cannot write the file");
    return false;
  }
  return true;
}

bool ToolSavePicture(const std::string& path, int32_t width, int32_t height,
                     const std::vector<uint32_t>& pixels) {
  ImageFrame* image = nullptr;
  ImageFrame* frame = ImageFrameNew(image);
  frame->width = width;
  frame->height = height;
  frame->bitsPerPixel = 24;
  frame->loaded = 1;
  frame->pixels = pixels;
  const bool saved = ImageSave(path, image);
  ImageFree(image);
  if (!saved) {
    ToolFail(path, "cannot write the picture");
  }
  return saved;
}
