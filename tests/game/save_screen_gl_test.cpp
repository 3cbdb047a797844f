// Pictures of the game screen on a real display (SDL under a virtual X
// server with Mesa): the save thumbnail, screenshots and the darkened copy
// of the game frame behind the menus, each read back or loaded and compared
// with the picture the room drew.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/input/input.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/framework/model/model_testing.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testsupport.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;

constexpr const char* kMenu = "object Display Screen { display = 1; width = 1280; height = 720; }";

// Vertical stripes that name their column: green is the column / 6, red
// its place in the stripe; blue is the row / 3.
uint32_t Stripes(int32_t x, int32_t y) {
  return 0xFF000000u | static_cast<uint32_t>(x % 6 * 40) << 16 | static_cast<uint32_t>(x / 6) << 8 |
         static_cast<uint32_t>(y / 3);
}

// The room shows the stripes over the whole screen. Told to, it takes its
// picture for the menus and then shows nothing ("SHOT"), saves the game
// ("SAVE", "AUTO"), or shows red or nothing instead.
constexpr const char* kRoom = R"(
  routine AppScreenShot, AppSaveGame, AppSaveGameAuto;
  object Display Screen { display = 1; width = 1280; height = 720; viewMode = 0; }
  object Image Stripes { display = 1; frames { frame "Bin\\Rooms\\Stripes\\Background\\Stripes.tga"; } }
  object Color Red { display = 1; width = 1280; height = 720; visible = false; alpha = 255; color = 0xFF0000; }
  on event(code, name) {
    if (name == "SHOT") { AppScreenShot(); Stripes.visible = false; }
    if (name == "SAVE") { AppSaveGame("", "A save", 10, ""); }
    if (name == "AUTO") { AppSaveGameAuto(20); }
    if (name == "RED") { Stripes.visible = false; Red.visible = true; }
    if (name == "NONE") { Red.visible = false; }
  }
)";

// A journal page that covers the screen in blue.
constexpr const char* kBluePage = R"(
  object Display Screen { display = 1; width = 1280; height = 720; viewMode = 0; }
  object Color Page { display = 1; width = 1280; height = 720; visible = true; alpha = 255; color = 255; }
)";

// The journal's save page: three save slots and the save dialog's picture
// on the blue page, laid out when told to ("LAYOUT"), scrolled by the Game
// variable "FIRST", the dialog showing the save slot "DIALOG".
constexpr const char* kSavePage = R"(
  routine AppSaveSetPosition, AppSaveFirstDisplayed, AppSaveSetDialogImage, AppSaveSetDialogPosition;
  object Display Screen { display = 1; width = 1280; height = 720; viewMode = 0; }
  object Color Page { display = 1; width = 1280; height = 720; visible = true; alpha = 255; color = 255; }
  object AppObj AppSave0 { display = 1; order = 1; render = "AppRenderSave"; }
  object AppObj AppSave1 { display = 1; order = 1; render = "AppRenderSave"; }
  object AppObj AppSave2 { display = 1; order = 1; render = "AppRenderSave"; }
  object AppObj SaveDialog { display = 1; order = 1; render = "AppRenderSaveDialog"; }
  on event(code, name) {
    if (name == "LAYOUT") {
      AppSaveSetPosition(0, 16, 16);
      AppSaveSetPosition(1, 300, 16);
      AppSaveSetPosition(2, 600, 16);
      AppSaveSetPosition(1001, 0, 0);
      AppSaveSetPosition(2147483647, 0, 0);
      AppSaveSetDialogPosition(900, 500);
      AppSaveSetDialogImage(stateGetInt(3, "DIALOG"));
      AppSaveFirstDisplayed(stateGetInt(3, "FIRST"));
    }
  }
)";

// A picture's pixels as 0xRRGGBB, rows from the top down.
using Picture = std::vector<uint32_t>;

Picture FromBottomUpRgba(const std::vector<uint8_t>& rgba, int32_t width, int32_t height) {
  Picture picture;
  for (int32_t y = height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
      picture.push_back(static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]);
    }
  }
  return picture;
}

// The thumbnail made the plain way: the whole picture scaled to cover
// 192 x 120 with the box filter, then the excess cropped.
SaveThumbnail PlainThumbnail(const std::vector<uint8_t>& rgba, int32_t w, int32_t h) {
  const double rw = w / 192.0;
  const double rh = h / 120.0;
  const int32_t sw = rh >= rw ? 192 : static_cast<int32_t>(std::lround(w / rh));
  const int32_t sh = rh >= rw ? static_cast<int32_t>(std::lround(h / rw)) : 120;
  const auto hx = static_cast<int32_t>(std::lround(static_cast<double>(w) / sw / 2));
  const auto hy = static_cast<int32_t>(std::lround(static_cast<double>(h) / sh / 2));
  std::vector<uint8_t> scaled;  // RGBx, rows from the bottom up
  for (int32_t y = 0; y < sh; ++y) {
    for (int32_t x = 0; x < sw; ++x) {
      const int32_t c = static_cast<int32_t>(static_cast<int64_t>(w) * x / sw);
      const int32_t r = static_cast<int32_t>(static_cast<int64_t>(h) * y / sh);
      int64_t sum[3] = {};
      int64_t n = 0;
      for (int32_t j = r - hy; j <= r + hy; ++j) {
        for (int32_t i = c - hx; i <= c + hx; ++i) {
          if (i >= 0 && j >= 0 && i < w && j < h) {
            for (int k = 0; k < 3; ++k) {
              sum[k] += rgba[(static_cast<size_t>(j) * w + i) * 4 + k];
            }
            ++n;
          }
        }
      }
      for (int k = 0; k < 3; ++k) {
        scaled.push_back(static_cast<uint8_t>(sum[k] / n));
      }
      scaled.push_back(0);
    }
  }
  SaveThumbnail thumbnail{192, 120, {}};
  const int32_t left = (sw - 192) / 2;
  const int32_t bottom = (sh - 120) / 2;
  for (int32_t y = 119; y >= 0; --y) {
    for (int32_t x = 0; x < 192; ++x) {
      const uint8_t* p = &scaled[(static_cast<size_t>(y + bottom) * sw + x + left) * 4];
      thumbnail.pixels.insert(thumbnail.pixels.end(), {p[2], p[1], p[0], 0});
    }
  }
  return thumbnail;
}

// The picture as OpenGL would read it back: RGBA, rows from the bottom up.
std::vector<uint8_t> BottomUpRgba(int32_t w, int32_t h, uint32_t (*colour)(int32_t, int32_t)) {
  std::vector<uint8_t> rgba;
  for (int32_t y = h - 1; y >= 0; --y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      rgba.insert(rgba.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                               static_cast<uint8_t>(c), 255});
    }
  }
  return rgba;
}

class SaveScreenGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file :
         {"Bin/Interface/Main/Scripts/background.vmc", "Bin/Interface/Main/Scripts/mainmenu.vmc"}) {
      WriteScript(program_, file, kMenu);
    }
    WriteScript(program_, "Bin/Interface/Journal/Scripts/journal.vmc", kBluePage);
    WriteScript(program_, "Bin/Interface/Journal/Scripts/options.vmc", kSavePage);
    WriteScript(program_, "Bin/Rooms/Stripes/Scripts/Stripes.vmc", kRoom);
    WriteTga(program_, "Bin/Rooms/Stripes/Background/Stripes.tga",
             MakeImage(kWidth, kHeight, Stripes));
    program_.write("settings.ini",
                   "[Video]\nFullscreen=No\nWidth=1280\nHeight=720\n[Controls]\nConfigured=Yes\n");
    ASSERT_NO_FATAL_FAILURE(StartWindowedPlatformForTest(program_));
    // Screenshots go beside the program, never into the pictures of whoever
    // runs the tests.
    PlatformSetVersionValues({});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest());
    // As the game registers them (a second registration of a name is refused).
    ScriptAppObjRenderRegister("AppRenderSave", SaveScreenRenderSlot);
    ScriptAppObjRenderRegister("AppRenderSaveDialog",
                               [](const std::string&) { SaveScreenRenderDialog(); });
    // The window at the design size, as AppSetResolution makes it.
    MainForm().MainThreadDisplayResize(GamePrimaryDisplay(), kWidth, kHeight);
    GraphicsDisplaySetMode(GamePrimaryDisplay(), {kWidth, kHeight, 32, 0});
    // A frame brings the resized window's drawing surface to its size.
    ASSERT_TRUE(GameFrame());
    int32_t width = 0;
    int32_t height = 0;
    GraphicsDisplayGetClientSize(GamePrimaryDisplay(), width, height);
    ASSERT_EQ(width, kWidth);
    ASSERT_EQ(height, kHeight);
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("Stripes"));
  }
  void TearDown() override { StopWindowedGameForTest(); }

  // The current state's picture, drawn again and read back before it is shown.
  static Picture Frame() {
    const GameFramePixels frame = GameFrameCapture(StateGetCurrent());
    return FromBottomUpRgba(frame.rgba, frame.width, frame.height);
  }

  static void TellRoom(const std::string& what) { ScriptEventSend(RoomScriptId(), 2, what); }

  TempFolder program_;
};

// The page's blue with thumbnails read from save files laid over it: each
// (file, left, top); an empty file leaves its place blue.
Picture SavePage(const std::vector<std::tuple<std::string, int32_t, int32_t>>& thumbnails) {
  Picture picture(static_cast<size_t>(kWidth) * kHeight, 0x0000FF);
  for (const auto& [file, left, top] : thumbnails) {
    SaveThumbnail thumbnail;
    EXPECT_TRUE(SaveFileReadThumbnail(file, &thumbnail)) << file;
    for (int32_t y = 0; y < thumbnail.height; ++y) {
      for (int32_t x = 0; x < thumbnail.width; ++x) {
        const uint8_t* bgra = &thumbnail.pixels[(static_cast<size_t>(y) * thumbnail.width + x) * 4];
        picture[static_cast<size_t>(top + y) * kWidth + left + x] =
            static_cast<uint32_t>(bgra[2]) << 16 | bgra[1] << 8 | bgra[0];
      }
    }
  }
  return picture;
}

TEST_F(SaveScreenGlTest, TheGameFrameCoversTheThumbnailAndIsCroppedTenLeftElevenRight) {
  // Taken from the journal's options, where saves are made: the thumbnail
  // shows the room, not the blue page.
  StateSet(kStateJournalOptions);
  ASSERT_TRUE(GameFrame());
  ASSERT_EQ(StateGetCurrent(), kStateJournalOptions);
  const SaveThumbnail thumbnail = SaveThumbnailCapture();

  ASSERT_EQ(thumbnail.width, 192);
  ASSERT_EQ(thumbnail.height, 120);
  EXPECT_EQ(thumbnail.pixels,
            PlainThumbnail(BottomUpRgba(kWidth, kHeight, Stripes), kWidth, kHeight).pixels);
  // Scaled to 213 x 120: the first column kept is scaled column 10 (source
  // columns 57-63, green 9, 9, 9, 10, 10, 10, 10), the last scaled column
  // 202 (source 1204-1210: 200, 200, 201 x 5); windows of 7 x 7. Bytes are
  // blue, green, red, 0, rows from the top.
  const auto at = [&](int32_t x, int32_t y, int32_t byte) {
    return thumbnail.pixels[(static_cast<size_t>(y) * 192 + x) * 4 + byte];
  };
  EXPECT_EQ(at(0, 60, 1), 9);
  EXPECT_EQ(at(191, 60, 1), 200);
  // The top row averages picture rows 2-8 (blue 0, 1, 1, 1, 2, 2, 2), the
  // bottom row only rows 716-719 (238, 238, 239, 239): the window is clipped.
  EXPECT_EQ(at(5, 0, 0), 1);
  EXPECT_EQ(at(5, 119, 0), 238);
  EXPECT_EQ(at(5, 119, 3), 0);
}

TEST_F(SaveScreenGlTest, EveryShapeOfPictureIsScaledAndCroppedAsThePlainWayDoes) {
  // Wider and taller than the thumbnail, excesses odd and even, pictures
  // smaller than the thumbnail.
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1920, 1080}, {1024, 768}, {800, 1000}, {800, 1003}, {2000, 300}, {7, 3}, {192, 120}}) {
    const std::vector<uint8_t> rgba = BottomUpRgba(w, h, Gradient);
    EXPECT_EQ(SaveThumbnailFromPixels(rgba.data(), w, h).pixels, PlainThumbnail(rgba, w, h).pixels)
        << w << " x " << h;
  }
  // Without a picture the thumbnail is black.
  const SaveThumbnail none = SaveThumbnailFromPixels(nullptr, 0, 0);
  EXPECT_EQ(none.width, 192);
  EXPECT_EQ(none.height, 120);
  EXPECT_EQ(none.pixels, std::vector<uint8_t>(192 * 120 * 4, 0));
}

TEST_F(SaveScreenGlTest, TheScreenshotKeyWritesNumberedBmpFilesOfTheFrame) {
  const int32_t set = InputControlSetActive();
  const int32_t f12 = InputControlCode("F12");
  const Picture expected = Frame();
  for (const char* name : {"screenshot1.bmp", "screenshot2.bmp"}) {
    InputControlFeed(set, f12, 100);
    InputControlFeed(set, f12, 0);
    ASSERT_TRUE(GameFrame());
    ImageFrame* image = nullptr;
    ImageLoad(std::string("Screenshots\\") + name, image);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->bitsPerPixel, 24);
    EXPECT_EQ(image->width, kWidth);
    Picture saved;
    for (const uint32_t pixel : image->pixels) {
      saved.push_back(pixel & 0xFFFFFF);
    }
    ImageFree(image);
    EXPECT_EQ(saved, expected) << name;
  }
  EXPECT_FALSE(program_.exists("Screenshots/screenshot3.bmp"));
}

TEST_F(SaveScreenGlTest, AppScreenShotKeepsTheDarkenedFrameBehindTheRoomAcrossAContextLoss) {
  ScriptEventSend(RoomScriptId(), 2, "SHOT");
  // The room now draws nothing over the picture it took.
  Picture expected;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint32_t c = Stripes(x, y);
      const uint32_t dark = ((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) / 9;
      expected.push_back(dark << 16 | dark);
    }
  }
  EXPECT_EQ(Frame(), expected);

  ModelAssetsFree();
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_EQ(Frame(), expected);
}

}  // namespace

TEST_F(SaveScreenGlTest,
       SaveSlotsShowTheirThumbnailsWhereTheScriptPlacedThemAndRereadThemFromTheFiles) {
  // Saves of the stripes, then of red (newest first after the autosave),
  // and an autosave of nothing.
  TellRoom("SAVE");
  TellRoom("RED");
  TellRoom("SAVE");
  TellRoom("NONE");
  TellRoom("AUTO");
  const std::string folder = program_.path();
  const std::string stripes = folder + "savegame1.sav";
  const std::string red = folder + "savegame2.sav";
  const std::string autosave = folder + "autosave.sav";
  ASSERT_EQ(SavesListSize(), 3);
  ASSERT_EQ(SavesListEntry(1)->file, red);

  // Display slot 0 always shows the autosave; the dialog shows save slot 2.
  StateVariableSetInt(kStateGame, "FIRST", 0);
  StateVariableSetInt(kStateGame, "DIALOG", 2);
  StateSet(kStateJournalOptions);
  ASSERT_TRUE(GameFrame());
  const int32_t page = GameScriptId(kScriptJournalOptions);
  // Display slots above 1000 are ignored: no room is made for them.
  AllocationProbeReset();
  ScriptEventSend(page, 2, "LAYOUT");
  EXPECT_LT(AllocationProbeLargest(), 65536u);
  EXPECT_EQ(
      Frame(),
      SavePage({{autosave, 16, 16}, {red, 300, 16}, {stripes, 600, 16}, {stripes, 900, 500}}));

  // Scrolled by one: display slot 1 shows save slot 2, slot 2 has no save.
  StateVariableSetInt(kStateGame, "FIRST", 1);
  StateVariableSetInt(kStateGame, "DIALOG", 1);
  ScriptEventSend(page, 2, "LAYOUT");
  const Picture scrolled = SavePage({{autosave, 16, 16}, {stripes, 300, 16}, {red, 900, 500}});
  EXPECT_EQ(Frame(), scrolled);

  // A new rendering context takes each thumbnail from its file again: one
  // whose file now holds the red save shows red.
  ModelAssetsFree();
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_EQ(Frame(), scrolled);
  WriteWholeFile(stripes, ReadWholeFile(red));
  ModelAssetsFree();
  GraphicsDisplaysFreeRC();
  GraphicsDisplaysRecreateRC();
  ModelAssetsRecompile();
  EXPECT_EQ(Frame(), SavePage({{autosave, 16, 16}, {red, 300, 16}, {red, 900, 500}}));

  // The dialog shows no slot below 1 or past the list.
  for (const int32_t slot : {0, 3}) {
    StateVariableSetInt(kStateGame, "DIALOG", slot);
    ScriptEventSend(page, 2, "LAYOUT");
    EXPECT_EQ(Frame(), SavePage({{autosave, 16, 16}, {red, 300, 16}})) << slot;
  }
  // The journal's options start again at the top of the list.
  StateSet(kStateGame);
  StateSet(kStateJournalOptions);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(Frame(), SavePage({{autosave, 16, 16}, {red, 300, 16}, {red, 600, 16}}));
}
