// Helpers shared by the test programs: temporary folders and files, and a
// headless platform with a manual clock posing as a program in a folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A fresh folder below the system's temporary folder, removed with all its
// contents when the object goes away. path() ends in '/'.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  // Writes a file below the folder (creating its folders) and returns its path.
  std::string write(const std::string& relative, const std::string& contents) const;
  std::string read(const std::string& relative) const;
  bool exists(const std::string& relative) const;

 private:
  std::string path_;
};

// Starts the headless platform with the manual clock at 0, posing as the
// program "<folder>/game" with the given parameters; stops it on destruction.
class HeadlessPlatform {
 public:
  explicit HeadlessPlatform(const std::string& programFolder,
                            const std::vector<std::string>& parameters = {});
  ~HeadlessPlatform();
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;
};

// What a run of a command-line tool gave: its exit status (-1 when it did
// not exit) and what it wrote on standard output and standard error.
struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs the tool in the folder with the arguments, each in single quotes (so
// they must hold none); its outputs go through "out.txt" and "err.txt" there.
ToolRun RunTool(const std::string& binary, const TempFolder& folder,
                const std::vector<std::string>& args);

// Crash trials of a writer of numbered versions. Each trial forks a child
// that calls write(k) for k = last + 1, last + 2, ... and kills it with
// SIGKILL after a delay between none and three writes' time (measured by
// writing version `first` again, varied by a fixed seed); then check(last)
// runs, where last is the newest version whose write had returned, so the
// file must hold version last or last + 1. The file holds version `first`
// before. Returns in how many trials the child had finished a write.
int32_t KillWriterTrials(int32_t trials, int32_t first, const std::function<void(int32_t)>& write,
                         const std::function<void(int32_t)>& check);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& contents);
std::vector<std::string> SplitLines(const std::string& text);  // on CR LF or LF

// Keeps the OpenGL drivers that are loaded now in memory until the process
// ends. Mesa's software drivers keep allocations in their globals that are
// only unreachable once the driver is unloaded when the X connection closes,
// which the leak checker would report as leaks of the test.
void KeepOpenGLDriversLoaded();
