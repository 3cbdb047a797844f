#include "tests/support/testsupport.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

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

int32_t KillWriterTrials(int32_t trials, int32_t first, const std::function<void(int32_t)>& write,
                         const std::function<void(int32_t)>& check) {
  const auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    write(first);
  }
  const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - begin);
  // The newest finished version, shared with the children.
  void* shared = mmap(nullptr, sizeof(std::atomic<int32_t>), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    throw std::runtime_error("no shared memory for the writer's version");
  }
  auto* last = new (shared) std::atomic<int32_t>(first);
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int64_t> delay(0, spent.count());
  int32_t wrote = 0;
  for (int32_t trial = 0; trial < trials; ++trial) {
    const int32_t before = last->load();
    int started[2];
    if (pipe(started) != 0) {
      throw std::runtime_error("no pipe for the writer's start");
    }
    const pid_t child = fork();
    if (child == 0) {
      close(started[0]);
      const char byte = 1;
      (void)!::write(started[1], &byte, 1);
      for (int32_t k = before + 1;; ++k) {
        write(k);
        last->store(k);
      }
    }
    close(started[1]);
    // The delay counts from the child's first write, not from the fork.
    char byte = 0;
    (void)!read(started[0], &byte, 1);
    close(started[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
      throw std::runtime_error("the writer ended before it was killed");
    }
    wrote += last->load() > before ? 1 : 0;
    check(last->load());
  }
  munmap(shared, sizeof(std::atomic<int32_t>));
  return wrote;
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
