// The installed game: `cmake --install` into a staged prefix gives a tree
// that the desktop's validators accept, and the binary started from there,
// far from the build, finds its packed content and plays.
#include <signal.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "tests/e2e/game_screens.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kAppId = "com.larkwoodstudio.BriskForge";
constexpr const char* kPrefix = "/opt/briskforge";

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error together
};

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  std::array<char, 4096> buffer{};
  size_t count = 0;
  while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    result.output.append(buffer.data(), count);
  }
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

// The width and height a PNG file's header gives; nothing for another file.
std::optional<std::pair<uint32_t, uint32_t>> PngSize(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(24, '\0');
  if (!in.read(head.data(), 24) || head.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      head.compare(12, 4, "IHDR") != 0) {
    return std::nullopt;
  }
  const auto bigEndian = [&](size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      value = value << 8 | static_cast<uint8_t>(head[at + i]);
    }
    return value;
  };
  return std::make_pair(bigEndian(16), bigEndian(20));
}

// Sets an environment variable for the test's lifetime, then puts back the
// value it had.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class InstallE2E : public GameScreensTest {
 protected:
  // Installs the build into the staged prefix; the tree's root.
  std::string Install() {
    const std::string root = stage_.path() + std::string(kPrefix).substr(1) + "/";
    const CommandResult install =
        RunCommand("DESTDIR=" + Quoted(stage_.path()) + " " + Quoted(QMR_CMAKE_COMMAND) +
                   " --install " + Quoted(QMR_BUILD_DIR) + " --prefix " + kPrefix);
    EXPECT_EQ(install.status, 0) << install.output;
    return root;
  }

  TempFolder stage_;
  TempFolder home_;
};

TEST_F(InstallE2E, TheInstalledTreeValidatesAndItsGameStartsFromAnywhere) {
  const std::string root = Install();
  ASSERT_FALSE(HasFailure());

  // One program, its content packed, and what a desktop reads.
  EXPECT_TRUE(fs::is_regular_file(root + "bin/briskforge"));
  EXPECT_EQ(std::distance(fs::directory_iterator(root + "bin"), fs::directory_iterator()), 1);
  EXPECT_TRUE(fs::is_regular_file(root + "share/briskforge/Content.qma"));
  EXPECT_TRUE(fs::is_regular_file(root + "share/briskforge/settings.ini"));
  EXPECT_FALSE(fs::exists(root + "share/briskforge/Bin"));

  const std::string desktop = root + "share/applications/" + kAppId + ".desktop";
  const CommandResult desktopCheck = RunCommand("desktop-file-validate " + Quoted(desktop));
  EXPECT_EQ(desktopCheck.status, 0) << desktopCheck.output;
  EXPECT_EQ(desktopCheck.output, "");
  const std::string metainfo = root + "share/metainfo/" + kAppId + ".metainfo.xml";
  const CommandResult metainfoCheck =
      RunCommand("appstreamcli validate --no-net --strict " + Quoted(metainfo));
  EXPECT_EQ(metainfoCheck.status, 0) << metainfoCheck.output;
  const CommandResult manual =
      RunCommand("groff -man -ww -z " + Quoted(root + "share/man/man6/briskforge.6"));
  EXPECT_EQ(manual.status, 0) << manual.output;
  EXPECT_EQ(manual.output, "");

  int icons = 0;
  for (const auto& folder : fs::directory_iterator(root + "share/icons/hicolor")) {
    const std::string size = folder.path().filename().string();  // "16x16"
    const uint32_t side = static_cast<uint32_t>(std::stoul(size));
    const auto png = PngSize(folder.path() / "apps" / (std::string(kAppId) + ".png"));
    ASSERT_TRUE(png.has_value()) << size;
    EXPECT_EQ(*png, std::make_pair(side, side)) << size;
    ++icons;
  }
  EXPECT_GE(icons, 6);

  // Started from "/" with a new home: the first run, the menu, and a quit.
  const ScopedEnvironment home("HOME", home_.path().c_str());
  const ScopedEnvironment data("XDG_DATA_HOME", nullptr);
  ASSERT_TRUE(::Xdotool("mousemove 960 540"));
  game_ = std::make_unique<GameProcess>(
      GameProcess::InPlace{root + "bin/briskforge", "/", stage_.path()},
      std::vector<std::string>{"-trace"});
  ASSERT_TRUE(WaitUntil([this] { return FindGameWindow(kTitle, window_); }, kPatience))
      << game_->StandardError();
  ASSERT_NO_FATAL_FAILURE(Xdotool("windowfocus --sync " + std::to_string(NewestWindowId(kTitle))));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kInitial));
  ASSERT_NO_FATAL_FAILURE(Click(kDone));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  game_->Signal(SIGTERM);  // a close request asks first
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kQuit));
  ASSERT_NO_FATAL_FAILURE(Click(kQuitYesButton));
  EXPECT_EQ(game_->WaitForExit(kPatience), 0) << game_->StandardError();

  const std::string user = home_.path() + ".local/share/Larkwood Studio/Brisk Forge 36/";
  std::ifstream logFile(user + "results.log");
  const std::string log(std::istreambuf_iterator<char>(logFile), {});
  EXPECT_EQ(log.find("Error:"), std::string::npos) << log;
  // The installed default settings were read (the test's X server has only
  // its desktop mode, so the window is not that size).
  EXPECT_NE(log.find("Searching for 1280x720 ini resolution."), std::string::npos) << log;
  std::ifstream settingsFile(user + "settings.ini");
  const std::string settings(std::istreambuf_iterator<char>(settingsFile), {});
  EXPECT_NE(settings.find("Configured=Yes"), std::string::npos) << settings;
}

}  // namespace
