// The pause overlay on a real display (SDL under a virtual X server with
// Mesa): each screen is a coloured square of its own, and the pixels read
// back show which screens the overlay's frame draws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/game/game_start.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kYellow = 0xFFFF00;

// A screen drawing a 200-pixel square of the colour at (left, 0) of the
// 1280 x 720 design screen; colour -1 draws nothing.
std::string Screen(int32_t left, int64_t colour) {
  std::string source =
      "object Display Screen { display = 1; width = 1280; height = 720; viewMode = 1; }\n";
  if (colour >= 0) {
    source += "object Color Box { display = 1; left = " + std::to_string(left) +
              "; width = 200; height = 200; visible = true; alpha = 255; color = " +
              std::to_string(colour) + "; }\n";
  }
  return source;
}

struct ScreenFile {
  const char* file;
  int32_t left;
  int64_t colour;
};
const ScreenFile kScreens[] = {
    {"Bin/Interface/Main/Scripts/background.vmc", 0, -1},
    {"Bin/Interface/Main/Scripts/mainmenu.vmc", 0, -1},
    {"Bin/Interface/Journal/Scripts/journal.vmc", 0, kBlue},
    {"Bin/Interface/Journal/Scripts/special.vmc", 200, kGreen},
    {"Bin/Interface/Journal/Scripts/Hints.vmc", 400, kRed},
    {"Bin/Interface/Pause/Scripts/pause.vmc", 600, kYellow},
};

class StatesGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const ScreenFile& screen : kScreens) {
      VmccResult compiled;
      ASSERT_TRUE(VmccCompile(Screen(screen.left, screen.colour), "screen.vms", {}, compiled));
      std::string error;
      ASSERT_TRUE(VmcWriterSave(compiled.script, program_.write(screen.file, ""), error)) << error;
    }
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    ASSERT_NO_FATAL_FAILURE(StartGameForTest());
    ASSERT_EQ(StateGetCurrent(), kStateMainMenu);
  }
  void TearDown() override { StopWindowedGameForTest(); }

  // The colours at the centres of the four squares in the current state's
  // picture: a frame runs (its swap also brings a freshly resized window's
  // drawing surface to the window's size), then the picture is drawn again
  // and read back before it is shown.
  static std::vector<uint32_t> SquareColours() {
    EXPECT_TRUE(GameFrame());
    const int32_t display = GamePrimaryDisplay();
    GraphicsRenderBegin(display);
    GameStateRender();
    int32_t width = 0;
    int32_t height = 0;
    GraphicsDisplayGetClientSize(display, width, height);
    // BestFit: the design screen scaled to fit, centred.
    const double scale = std::min(width / 1280.0, height / 720.0);
    const double left = (width - 1280.0 * scale) / 2;
    const double top = (height - 720.0 * scale) / 2;
    std::vector<uint32_t> colours;
    for (const int32_t x : {100, 300, 500, 700}) {
      // Rows count from the bottom.
      const std::vector<uint8_t> rgba =
          GraphicsReadPixels({static_cast<int32_t>(left + x * scale),
                              static_cast<int32_t>(height - 1 - (top + 100 * scale)), 1, 1});
      colours.push_back(static_cast<uint32_t>(rgba[0]) << 16 | rgba[1] << 8 | rgba[2]);
    }
    return colours;
  }

  TempFolder program_;
};

TEST_F(StatesGlTest, OnlyTheJournalsSpecialPageStaysUnderThePauseOverlay) {
  StateSet(kStateJournal);  // the journal's pages lie on the journal it loads
  StateSet(kStateJournalSpecial);
  EXPECT_EQ(SquareColours(), (std::vector<uint32_t>{kBlue, kGreen, 0, 0}));
  StateSet(kStatePaused);
  EXPECT_EQ(SquareColours(), (std::vector<uint32_t>{kBlue, kGreen, 0, kYellow}));

  StateSet(kStateJournalHints);
  EXPECT_EQ(SquareColours(), (std::vector<uint32_t>{kBlue, 0, kRed, 0}));
  StateSet(kStatePaused);
  EXPECT_EQ(SquareColours(), (std::vector<uint32_t>{0, 0, 0, kYellow}));
}

}  // namespace
