// The framework modules a content tool reads and writes game files through,
// so that it sees exactly what the game sees: started in a temporary folder
// that stands in for the program folder, whose log is read back to show the
// game's own messages to the author.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/mat/mat.h"
#include "platform/platform.h"

class ToolFramework {
 public:
  // A tool that draws starts the SDL platform to make a window; the others
  // need none.
  explicit ToolFramework(const std::string& tool,
                         PlatformBackend backend = PlatformBackend::Headless);
  ~ToolFramework();
  ToolFramework(const ToolFramework&) = delete;
  ToolFramework& operator=(const ToolFramework&) = delete;

  // The error lines logged so far, without their "Error: " prefix, joined.
  std::string Errors() const;
  // The lines logged since the last call, as written, without the log's
  // header (for a tool that shows what the game logs).
  std::vector<std::string> NewLogLines();

 private:
  std::vector<std::string> LogLines() const;

  std::string folder_;
  size_t linesShown_ = 0;
};

// Writes the mat whole: a failed write leaves any earlier file as it was.
// False after reporting the fault against the path.
bool ToolSaveMat(const ToolFramework& framework, const std::string& path, const Mat& mat);
// Writes 0xAARRGGBB pixels (row 0 at the top) as a 24-bit picture named by its
// extension; false after reporting the fault against the path.
bool ToolSavePicture(const std::string& path, int32_t width, int32_t height,
                     const std::vector<uint32_t>& pixels);
