// The case's evidence on the journal's special features page in the real
// game: the brass key, a 3D model built from the bundled OBJ, drawn turning
// beside the catalogue, and a click on its bow or its bit, picked through
// the model's pick colours, answered by a caption of its own, in the window
// and again after the switch to full screen.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/game_screens.h"

namespace {

// The key stands on its axis at x = 1000 of the page, from about y = 270 to
// 560; the bow's ring crosses the axis at about y = 283 and the bit at about
// y = 530, so that these points stay on the key however far it has turned.
constexpr Area kKeyArea = {900, 250, 200, 330};
constexpr Point kBow = {1000, 283};
constexpr Point kBit = {1000, 530};
// The caption left of the key, and a point of the panel clear of the key.
constexpr Area kCaption = {520, 400, 340, 150};
constexpr Point kBesideTheKey = {1150, 330};

// Brass under any step of the shading ramp: red well above blue, the panel
// behind the key is nearly grey.
bool Brass(uint32_t pixel) {
  const int red = Channel(pixel, 16);
  const int green = Channel(pixel, 8);
  const int blue = Channel(pixel, 0);
  return red > blue + 30 && red >= green && green > blue;
}

class EvidenceE2E : public GameScreensTest {
 protected:
  // Clicks a point of the page and waits for the caption to change from
  // `before`; gives the caption shown then.
  std::vector<uint32_t> CaptionAfterClicking(const Point& point,
                                             const std::vector<uint32_t>& before) {
    ClickAt(point);
    std::vector<uint32_t> now;
    WaitUntil(
        [&] {
          now = Mapping().Read(kCaption);
          return now != before;
        },
        kPatience);
    return now;
  }
};

TEST_F(EvidenceE2E, TheBrassKeyTurnsOnTheJournalsSpecialPageAndItsPartsAnswerClicks) {
  GiveContent();
  program_.write("settings.ini", std::string(kSettings) + "[Controls]\r\nConfigured=Yes\r\n");
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuJournal));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  ASSERT_NO_FATAL_FAILURE(Click(kTabSpecial));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournalSpecial));

  // The key is drawn in brass, at its bow and at its bit, and turns: the
  // area around it changes from frame to frame.
  const ScreenMapping screen = Mapping();
  const std::vector<uint32_t> first = screen.Read(kKeyArea);
  const auto brass = std::count_if(first.begin(), first.end(), Brass);
  EXPECT_GT(brass, 4000) << "brass pixels around the key";
  EXPECT_TRUE(Brass(screen.Pixel(kBow.x, kBow.y))) << std::hex << screen.Pixel(kBow.x, kBow.y);
  EXPECT_TRUE(Brass(screen.Pixel(kBit.x, kBit.y))) << std::hex << screen.Pixel(kBit.x, kBit.y);
  EXPECT_FALSE(Brass(screen.Pixel(kBesideTheKey.x, kBesideTheKey.y)));
  EXPECT_TRUE(WaitUntil([&] { return Mapping().Read(kKeyArea) != first; }, kPatience))
      << "the key does not turn";

  // The bow and the bit each give a caption of their own, the same one
  // every time; the panel beside the key changes nothing.
  const std::vector<uint32_t> hint = Mapping().Read(kCaption);
  const std::vector<uint32_t> bow = CaptionAfterClicking(kBow, hint);
  EXPECT_TRUE(bow != hint) << "no caption for the bow";
  const std::vector<uint32_t> bit = CaptionAfterClicking(kBit, bow);
  EXPECT_TRUE(bit != bow && bit != hint) << "no caption of its own for the bit";
  EXPECT_TRUE(CaptionAfterClicking(kBow, bit) == bow) << "the bow's caption changed";
  ClickAt(kBesideTheKey);
  EXPECT_FALSE(WaitUntil([&] { return Mapping().Read(kCaption) != bow; }, std::chrono::seconds(2)))
      << "a click beside the key changed the caption";

  // Alt+Enter on the page switches to full screen, which makes the
  // rendering contexts anew under the loaded key: it is still drawn in
  // brass, turns and is picked part by part.
  ASSERT_NO_FATAL_FAILURE(Xdotool("keydown alt sleep 0.3 key Return sleep 0.3 keyup alt"));
  const std::vector<uint32_t> turned = Mapping().Read(kKeyArea);
  EXPECT_TRUE(WaitUntil([&] { return Mapping().Read(kKeyArea) != turned; }, kPatience))
      << "the key does not turn in full screen";
  EXPECT_TRUE(Brass(Mapping().Pixel(kBow.x, kBow.y)));
  EXPECT_TRUE(Brass(Mapping().Pixel(kBit.x, kBit.y)));
  const std::vector<uint32_t> bowAgain = Mapping().Read(kCaption);
  const std::vector<uint32_t> bitAgain = CaptionAfterClicking(kBit, bowAgain);
  EXPECT_TRUE(bitAgain != bowAgain) << "the bit is not picked in full screen";
  EXPECT_TRUE(CaptionAfterClicking(kBow, bitAgain) == bowAgain)
      << "the bow is not picked in full screen";

  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(QuitFromTheJournal());
  EXPECT_NE(program_.read("settings.ini").find("Fullscreen=Yes"), std::string::npos)
      << program_.read("settings.ini");
}

}  // namespace
