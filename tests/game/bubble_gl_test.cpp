// A dialog option's bubble on a real display (SDL under a virtual X server
// with Mesa): a script lays out one option beside an agent and draws it
// through an AppObj object; the border pieces, each a colour of its own,
// and the black text are read back where the layout puts them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/model/model.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/framework/font/font_files.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

namespace {

constexpr uint32_t kScene = 0x404040;

struct PieceColour {
  const char* suffix;
  uint32_t colour;
};

// Top Left is 32 x 32 (tiles of 15); the others one tile of their colour.
const std::vector<PieceColour> kPieces = {
    {" Top Left", 0xFF0000},
    {" Top", 0x00FF00},
    {" Top Right", 0x0000FF},
    {" Left", 0x808000},
    {" Center", 0xFFFFFF},
    {" Right", 0x008080},
    {" Bottom Left", 0xFFFF00},
    {" Bottom", 0x00FFFF},
    {" Bottom Right", 0xFF00FF},
    {" Tail Point Left", 0x800000},
    {" Tail Point Left Top", 0x800000},
    {" Tail Point Right", 0x800000},
    {" Tail Point Right Top", 0x800000},
};

class BubbleGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<int32_t> widths(static_cast<size_t>('Z' - ' ' + 1), 11);
    WriteBytes(program_, "Bin/Common/Fonts/Cubes.fot",
               FontBytes(PatternFont(' ', 'Z', 16, widths)));
    // "Gappy" lacks its top edge.
    for (const PieceColour& piece : kPieces) {
      if (std::string(piece.suffix) != " Top") {
        WritePiece("Gappy", piece);
      }
      WritePiece("Plain", piece);
    }
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file,
                  "object Display Screen { display = 1; width = 1280; height = 720; }\n");
    }
    program_.write("settings.ini",
                   "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n"
                   "[Audio]\nShow Speech Bubbles=No\n");
    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    ASSERT_NO_FATAL_FAILURE(StartGameForTest());
    ASSERT_TRUE(GameFrame());
    GraphicsDisplayGetClientSize(GamePrimaryDisplay(), width_, height_);
    ASSERT_GE(width_, 300);
    ASSERT_GE(height_, 420);
  }
  void TearDown() override { StopWindowedGameForTest(); }

  void WritePiece(const std::string& type, const PieceColour& piece) const {
    const int32_t side = std::string(piece.suffix) == " Top Left" ? 32 : 15;
    ImageFrame image;
    image.loaded = 1;
    image.width = side;
    image.height = side;
    image.bitsPerPixel = 32;
    image.pixels.assign(static_cast<size_t>(side) * side, 0xFF000000u | piece.colour);
    ASSERT_TRUE(
        ImageSave(program_.write("Bin/Bubbles/" + type + piece.suffix + ".tga", ""), &image));
  }
  // The agent HERO, standing at (x, y).
  static int32_t AddHeroAt(int32_t x, int32_t y) {
    const int32_t hero = AgentAdd("HERO");
    AgentGet(hero)->x = x;
    AgentGet(hero)->y = y;
    return hero;
  }
  // The primary display and the window's size, as object properties.
  std::string ScreenSize() const {
    return "display = " + std::to_string(GamePrimaryDisplay()) +
           "; width = " + std::to_string(width_) + "; height = " + std::to_string(height_) + ";";
  }
  // The colour at a point of the window (rows count from the top).
  uint32_t At(const std::vector<uint8_t>& rgba, int32_t x, int32_t y) const {
    const uint8_t* p = &rgba[static_cast<size_t>((height_ - 1 - y) * width_ + x) * 4];
    return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
  }

  TempFolder program_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

TEST_F(BubbleGlTest, PiecesAndBlackTextLieWhereTheLayoutPutsThem) {
  ASSERT_TRUE(BubbleOpen(0, "Bin\\Bubbles\\Plain"));
  AddHeroAt(200, 300);
  const int32_t display = GamePrimaryDisplay();
  const std::string size = ScreenSize();
  // One option after the head anchor (140, 340): at (200, 380), two tiles
  // of text across and two rows, no tail.
  WriteScript(program_, "Bin/bubble.vmc",
              "routine AppDialogOptionBegin, AppDialogOptionAdd, AppDialogOptionEnd,\n"
              "        AppDialogOptionSetAlignment, AppDialogOptionSetTailVisible;\n"
              "object Display Screen { " +
                  size + " viewMode = 0; }\n" + "object Color Scene { " + size +
                  " color = " + std::to_string(kScene) +
                  "; enabled = false; }\n"
                  "object AppObj Options { display = " +
                  std::to_string(display) +
                  "; order = 1; render = \"AppRenderDialogOptions\"; }\n"
                  "AppDialogOptionBegin(\"hero\", 0);\n"
                  "AppDialogOptionAdd(1, \"ab\");\n"
                  "AppDialogOptionSetAlignment(1, 1);\n"
                  "AppDialogOptionSetTailVisible(false);\n"
                  "AppDialogOptionEnd();\n");
  const int32_t script = ScriptLoad("Bin\\bubble.vmc");
  ASSERT_GT(script, 0);

  GraphicsRenderBegin(display);
  ScriptRender(script, display);
  const std::vector<uint8_t> rgba = GraphicsReadPixels({0, 0, width_, height_});
  GraphicsRenderEnd(display);

  // Away from the text (20 pixels wide from x 220, 16 tall from y 386).
  EXPECT_EQ(At(rgba, 207, 387), 0xFF0000u);  // top left
  EXPECT_EQ(At(rgba, 217, 382), 0x00FF00u);  // top
  EXPECT_EQ(At(rgba, 252, 387), 0x0000FFu);  // top right
  EXPECT_EQ(At(rgba, 207, 402), 0xFFFF00u);  // bottom left
  EXPECT_EQ(At(rgba, 217, 408), 0x00FFFFu);  // bottom
  EXPECT_EQ(At(rgba, 252, 402), 0xFF00FFu);  // bottom right
  EXPECT_EQ(At(rgba, 198, 387), kScene);
  EXPECT_EQ(At(rgba, 262, 387), kScene);
  EXPECT_EQ(At(rgba, 230, 378), kScene);
  EXPECT_EQ(At(rgba, 230, 411), kScene);
  // The glyphs are black where they are opaque, and only within the text.
  int32_t black = 0;
  int32_t strayBlack = 0;
  for (int32_t y = 370; y < 420; ++y) {
    for (int32_t x = 190; x < 270; ++x) {
      if (At(rgba, x, y) == 0) {
        const bool inText = x >= 220 && x < 241 && y >= 386 && y < 402;
        ++(inText ? black : strayBlack);
      }
    }
  }
  EXPECT_GT(black, 20 * 16 / 2);
  EXPECT_EQ(strayBlack, 0);
  ScriptClose(script);
}

TEST_F(BubbleGlTest, ABubblePastTheEdgeMovesInsideWhileItsTailKeepsItsPlace) {
  ASSERT_TRUE(BubbleOpen(0, "Bin\\Bubbles\\Plain"));
  const int32_t hero = AddHeroAt(1270, 300);
  Agent& agent = *AgentGet(hero);
  AgentSay(1, 1, "hero", "", "hello", "", 0, true, 0, false);
  Bubble& bubble = agent.bubble;
  ASSERT_EQ(ModelVertexCount(bubble.model), 40);
  const int32_t x = bubble.x;
  const int32_t tailX = bubble.tailX;
  const float tailLeft = ModelVertexGet(bubble.model, 36).x;
  // With a camera offset of 10 the screen ends at 1270.
  agent.dialogCameraX = 10;
  const int32_t excess = x + bubble.width + 10 - 1280;
  ASSERT_GT(excess, 0);
  const int32_t display = GamePrimaryDisplay();
  GraphicsRenderBegin(display);
  AgentRenderBubble(hero);
  GraphicsRenderEnd(display);
  EXPECT_EQ(bubble.x, 1280 - bubble.width - 10);
  EXPECT_EQ(bubble.tailX, tailX + excess);
  // The tail quad's left edge (its first two vertices) moved with it.
  for (int32_t i = 36; i < 38; ++i) {
    EXPECT_EQ(ModelVertexGet(bubble.model, i).x, tailLeft + static_cast<float>(excess));
  }
  // The left edge likewise, the other way.
  bubble.x = -30;
  const int32_t before = bubble.tailX;
  GraphicsRenderBegin(display);
  AgentRenderBubble(hero);
  GraphicsRenderEnd(display);
  EXPECT_EQ(bubble.x, -10);
  EXPECT_EQ(bubble.tailX, before - 20);

  // Without a top edge the tail is the ninth quad, and it is the tail that moves.
  ASSERT_TRUE(BubbleOpen(1, "Bin\\Bubbles\\Gappy"));
  AgentSay(1, 1, "hero", "", "hello", "", 1, true, 0, false);
  ASSERT_EQ(ModelVertexCount(bubble.model), 36);
  const float corner = ModelVertexGet(bubble.model, 28).x;
  const float tail = ModelVertexGet(bubble.model, 32).x;
  GraphicsRenderBegin(display);
  AgentRenderBubble(hero);
  GraphicsRenderEnd(display);
  EXPECT_EQ(ModelVertexGet(bubble.model, 28).x, corner);
  EXPECT_EQ(ModelVertexGet(bubble.model, 32).x, tail + static_cast<float>(excess));
}

// Speech bubbles are off in the settings: a line whose voice plays shows
// none, a line without a voice shows its bubble all the same.
TEST_F(BubbleGlTest, WithBubblesOffOnlyLinesWithoutAVoiceShowTheirBubble) {
  WriteWholeFile(program_.path() + "Bin/Voice.wav", WavFile(Tone(440, 22050, 22050, 8000), 22050));
  ASSERT_TRUE(BubbleOpen(0, "Bin\\Bubbles\\Plain"));
  const int32_t hero = AddHeroAt(200, 300);
  const int32_t display = GamePrimaryDisplay();
  const std::string size = ScreenSize();
  WriteScript(program_, "Bin/speech.vmc",
              "object Display Screen { " + size + " viewMode = 0; }\n" + "object Color Scene { " +
                  size + " color = " + std::to_string(kScene) +
                  "; enabled = false; }\n"
                  "object Render Speech { display = " +
                  std::to_string(display) + "; order = 1; routine = \"AppRenderDialog\"; }\n");
  const int32_t script = ScriptLoad("Bin\\speech.vmc");
  ASSERT_GT(script, 0);
  // The bubble of "AB" (60 x 30) stands a tile above the feet, centred:
  // its top left piece from (170, 255).
  const auto corner = [&]() {
    GraphicsRenderBegin(display);
    ScriptRender(script, display);
    const std::vector<uint8_t> rgba = GraphicsReadPixels({0, 0, width_, height_});
    GraphicsRenderEnd(display);
    return At(rgba, 177, 262);
  };
  AgentSay(1, 1, "hero", "Bin\\Voice.wav", "ab", "", 0, false, 0, false);
  ASSERT_GT(AgentGet(hero)->speechSound, 0);
  EXPECT_EQ(corner(), kScene);
  AgentSay(1, 1, "hero", "", "ab", "", 0, false, 0, false);
  EXPECT_EQ(corner(), 0xFF0000u);
  ScriptClose(script);
}

}  // namespace
