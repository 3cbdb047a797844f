// The test interface ("-testscreen") in the real game under the test's X
// server, driven by real pointer and key events through xdotool; what the
// game did is read back from the screen, the window's geometry and the
// screenshot it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "tests/e2e/game_process.h"
#include "tests/e2e/screen_mapping.h"
#include "tests/support/testsupport.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";
constexpr std::chrono::seconds kPatience(60);
// Colours of the test screen's pictures.
constexpr uint32_t kBackground = 0x1E2A3A;
constexpr uint32_t kButton = 0x6C84B4;
constexpr uint32_t kButtonLit = 0xF0C040;
constexpr uint32_t kThumb = 0xA0A0A0;

// An environment variable set for the child processes started meanwhile.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) {
      old_ = old;
      hadValue_ = true;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (hadValue_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool hadValue_ = false;
};

// A logical rectangle of the test screen.

// Labels of the test screen.
constexpr Area kClicksLabel = {80, 176, 240, 32};
constexpr Area kLevelLabel = {500, 462, 300, 32};
constexpr Area kTypedLabel = {80, 556, 400, 32};

// Reads a little-endian 32-bit field of a file's bytes.
int32_t Field32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
  }
  return static_cast<int32_t>(value);
}

class TestScreenE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XdotoolInstalled()) {
      GTEST_SKIP() << "xdotool is not installed (scripts/setup installs it): the test interface "
                      "cannot be driven";
    }
    setenv("QMR_MESSAGEBOX", "yes", 1);
    fs::create_directory_symlink(QMR_CONTENT_BIN, program_.path() + "Bin");
    program_.write("settings.ini", "[Video]\r\nFullscreen=No\r\n");
    // The player's pictures folder, with a screenshot taken before.
    home_.write("Pictures/Brisk Forge 36/screenshot1.bmp", "older");
  }

  // Starts the game with the player's home folder of the test and the
  // pointer over the splash window, so that the render window gets the
  // focus when the splash goes.
  void StartGame() {
    ASSERT_TRUE(::Xdotool("mousemove 960 540"));
    {
      const ScopedVariable home("HOME", home_.path());
      const ScopedVariable config("XDG_CONFIG_HOME", home_.path() + ".config");
      game_ =
          std::make_unique<GameProcess>(GAME_BINARY, program_.path(), elsewhere_.path(),
                                        std::vector<std::string>{"-userdatainapp", "-testscreen"});
    }
    ASSERT_TRUE(WaitUntil([this] { return FindGameWindow(kTitle, window_); }, kPatience))
        << game_->StandardError();
    // The test screen is drawn in the window at its final size.
    ASSERT_TRUE(WaitUntil(
        [this] {
          return FindGameWindow(kTitle, window_) && ScreenMapping(window_).Pixel(90, 90) == kButton;
        },
        kPatience))
        << game_->StandardError();
    ASSERT_NO_FATAL_FAILURE(
        Xdotool("windowfocus --sync " + std::to_string(NewestWindowId(kTitle))));
  }

  void Xdotool(const std::string& arguments) {
    ASSERT_TRUE(::Xdotool(arguments)) << "xdotool " << arguments;
  }

  // Waits until the area no longer shows what it showed.
  bool Changes(const ScreenMapping& screen, const Area& area, const std::vector<uint32_t>& before) {
    return WaitUntil([&] { return screen.Read(area) != before; }, kPatience);
  }

  TempFolder program_;
  TempFolder elsewhere_;
  TempFolder home_;
  std::unique_ptr<GameProcess> game_;
  XWindowInfo window_;
};

TEST_F(TestScreenE2E, ThePointerAndTheKeysWorkTheScreenAndAltEnterSwitchesToFullScreen) {
  ASSERT_NO_FATAL_FAILURE(StartGame());
  const ScreenMapping screen(window_);

  // Moving onto the button lights it (its second frame).
  Xdotool("mousemove --sync " + screen.Point(290, 150));
  EXPECT_TRUE(WaitUntil([&] { return screen.Pixel(90, 90) == kButtonLit; }, kPatience))
      << std::hex << screen.Pixel(90, 90);

  // A click changes the label that counts the clicks.
  const std::vector<uint32_t> unclicked = screen.Read(kClicksLabel);
  Xdotool("click 1");
  EXPECT_TRUE(Changes(screen, kClicksLabel, unclicked));

  // Dragging the slider's thumb moves it and changes the label of its value.
  // The game takes the pointer's place once a frame, so the pointer moves
  // on only once the label says that the press on the thumb was seen.
  const std::vector<uint32_t> level = screen.Read(kLevelLabel);
  EXPECT_EQ(screen.Pixel(90, 470), kThumb);
  Xdotool("mousemove --sync " + screen.Point(96, 476));
  Xdotool("mousedown 1");
  ASSERT_TRUE(Changes(screen, kLevelLabel, level));
  Xdotool("mousemove --sync " + screen.Point(296, 476));
  EXPECT_TRUE(WaitUntil([&] { return screen.Pixel(290, 470) == kThumb; }, kPatience))
      << std::hex << screen.Pixel(290, 470);
  const std::vector<uint32_t> held = screen.Read(kLevelLabel);
  Xdotool("mouseup 1");
  EXPECT_TRUE(Changes(screen, kLevelLabel, held));
  EXPECT_NE(screen.Read(kLevelLabel), level);
  EXPECT_NE(screen.Pixel(90, 470), kThumb);

  // A typed key reaches the script as text (one key, so that the label
  // changes once).
  const std::vector<uint32_t> untyped = screen.Read(kTypedLabel);
  Xdotool("type '!'");
  EXPECT_TRUE(Changes(screen, kTypedLabel, untyped));
  const std::vector<uint32_t> typed = screen.Read(kTypedLabel);

  // Alt+Enter switches to full screen: the window, made smaller first,
  // covers the screen again. The script never gets Enter, which would empty
  // the typed text.
  int screenWidth = 0;
  int screenHeight = 0;
  ScreenSize(screenWidth, screenHeight);
  const std::string id = std::to_string(NewestWindowId(kTitle));
  Xdotool("windowsize --sync " + id + " 960 540");
  ASSERT_TRUE(WaitUntil([&] { return FindGameWindow(kTitle, window_) && window_.width == 960; },
                        kPatience));
  Xdotool("windowfocus --sync " + id);
  Xdotool("keydown alt key Return keyup alt");
  ASSERT_TRUE(WaitUntil(
      [&] {
        return FindGameWindow(kTitle, window_) && window_.width == screenWidth &&
               window_.height == screenHeight;
      },
      kPatience))
      << window_.width << "x" << window_.height;
  const ScreenMapping fullScreen(window_);
  EXPECT_TRUE(WaitUntil([&] { return fullScreen.Read(kTypedLabel) == typed; }, kPatience));

  // F12 writes what the screen shows into the player's pictures, as the
  // first free number.
  Xdotool("key F12");
  const std::string folder = home_.path() + "Pictures/Brisk Forge 36/";
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(folder + "screenshot2.bmp"); }, kPatience));
  std::string bmp;
  ASSERT_TRUE(WaitUntil(
      [&] {
        bmp = ReadWholeFile(folder + "screenshot2.bmp");
        return bmp.size() ==
               54u + static_cast<size_t>((screenWidth * 3 + 3) / 4 * 4 * screenHeight);
      },
      kPatience))
      << bmp.size();
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(Field32(bmp, 18), screenWidth);
  EXPECT_EQ(Field32(bmp, 22), screenHeight);
  EXPECT_EQ(static_cast<uint8_t>(bmp[28]), 24);
  // The button's pixel, in a file whose rows run from the bottom up.
  const size_t row = static_cast<size_t>(screenHeight - 1 - fullScreen.Y(90));
  const size_t stride = static_cast<size_t>((screenWidth * 3 + 3) / 4 * 4);
  const size_t pixel = 54 + row * stride + static_cast<size_t>(fullScreen.X(90)) * 3;
  const uint32_t colour = static_cast<uint32_t>(static_cast<uint8_t>(bmp[pixel + 2])) << 16 |
                          static_cast<uint32_t>(static_cast<uint8_t>(bmp[pixel + 1])) << 8 |
                          static_cast<uint8_t>(bmp[pixel]);
  EXPECT_EQ(colour, fullScreen.Pixel(90, 90));
  EXPECT_EQ(ReadWholeFile(folder + "screenshot1.bmp"), "older");
}

}  // namespace
