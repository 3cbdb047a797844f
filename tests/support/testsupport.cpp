#include "tests/support/testsupport.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/platform.h"

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "qmrtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern + "/";
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string& relative, const std::string& contents) const {
  const std::string full = path_ + relative;
  fs::create_directories(fs::path(full).parent_path());
  WriteWholeFile(full, contents);
  return full;
}

std::string TempFolder::read(const std::string& relative) const {
  return ReadWholeFile(path_ + relative);
}

bool TempFolder::exists(const std::string& relative) const {
  return fs::exists(path_ + relative);
}

HeadlessPlatform::HeadlessPlatform(const std::string& programFolder,
                                   const std::vector<std::string>& parameters) {
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(programFolder + "game");
  PlatformSetParameters(parameters);
  PlatformClockSetManual(true);
  PlatformClockSet(0);
}

HeadlessPlatform::~HeadlessPlatform() {
  PlatformStop();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty())
    lines.push_back(line);
  return lines;
}

void KeepOpenGLDriversLoaded() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const std::string path = info->dlpi_name != nullptr ? info->dlpi_name : "";
        if (path.ends_with("_dri.so")) {
          dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
        return 0;
      },
      nullptr);
}

ToolRun RunTool(const std::string& binary, const TempFolder& folder,
                const std::vector<std::string>& args) {
  std::string command = "cd '" + folder.path() + "' && '" + binary + "'";
  for (const std::string& arg : args) {
    command += " '" + arg + "'";
  }
  command += " >out.txt 2>err.txt";
  const int status = std::system(command.c_str());
  return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, folder.read("out.txt"),
                 folder.read("err.txt")};
}
