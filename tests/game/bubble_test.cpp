// Speech bubbles and dialog options in the started game, on the headless
// platform: the layout of bubble texts in a font of known widths, how long a
// speech line lasts with and without its voice, the option grid and the
// choice a room script reads back, and the faults of odd input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/font/font.h"
#include "framework/image/image.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
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

// The sound records, to see the kind a voice was opened with.
#include "framework/audio/audio_internal.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Every character of the bubble font advances 10 pixels; lines are 18 apart.
constexpr int32_t kAdvance = 10;
constexpr int32_t kFontHeight = 16;
constexpr int32_t kLineHeight = kFontHeight + 2;
// Top Left is 32 x 32: tiles of 15 x 15.
constexpr int32_t kTile = 15;

// A room whose listener offers three options around the agent HERO and, on
// "PICK", reports what lies at the point (X, Y) of the Game state and keeps
// the chosen id in CHOICE.
constexpr const char* kRoom = R"(
  routine REPORT, AppDialogOptionBegin, AppDialogOptionAdd, AppDialogOptionEnd,
          AppDialogOptionGetId, AppDialogOptionSetMinBubbles, AppBubbleOpen;
  object AppObj Options { inObject = "AppInDialogOptions"; render = "AppRenderDialogOptions"; }
  on event(code, name) {
    if (name == "ASK") {
      AppDialogOptionBegin("hero", 0);
      AppDialogOptionAdd(1, "one");
      AppDialogOptionAdd(2, "two");
      AppDialogOptionAdd(3, "six");
      AppDialogOptionSetMinBubbles(6);
      AppDialogOptionEnd();
    }
    if (name == "PICK") {
      REPORT(objectAt(stateGetInt(3, "X"), stateGetInt(3, "Y")));
      var id = -1;
      AppDialogOptionGetId(out id);
      stateSetInt(3, "CHOICE", id);
    }
    if (name == "WIDE") { AppBubbleOpen(300, "Bin\\Bubbles\\Plain"); }
  }
)";

class BubbleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<int32_t> widths(static_cast<size_t>('Z' - ' ' + 1), kAdvance + 1);
    WriteBytes(program_, "Bin/Common/Fonts/Cubes.fot",
               FontBytes(PatternFont(' ', 'Z', kFontHeight, widths)));
    WriteBubbleType(program_, "Plain", 32);
    WriteBubbleType(program_, "Tall", 200);
    WriteScript(program_, "Bin/Rooms/A/Scripts/A.vmc", kRoom);
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    ASSERT_TRUE(BubbleOpen(0, "Bin\\Bubbles\\Plain"));
    ASSERT_TRUE(BubbleOpen(1, "Bin\\Bubbles\\Tall"));
    hero_ = AgentAdd("Hero");
    ASSERT_GE(hero_, 0);
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  void EnterRoom() { ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("A")); }
  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const std::string& line : SplitLines(program_.read("results.log"))) {
      const size_t at = line.find("Error: ");
      if (at != std::string::npos && line.find("Error: Graphics") == std::string::npos) {
        errors.push_back(line.substr(at + 7));
      }
    }
    return errors;
  }
  Agent& Hero() { return *AgentGet(hero_); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
  int32_t hero_ = -1;
};

std::vector<std::string> Texts(const Bubble& bubble) {
  std::vector<std::string> texts;
  for (const BubbleLine& line : bubble.lines) {
    texts.push_back(line.text);
  }
  return texts;
}

TEST_F(BubbleTest, TextIsWrappedIntoBalancedLinesCentredInTiles) {
  EXPECT_EQ(BubbleTileWidth(0), kTile);
  EXPECT_EQ(BubbleTileHeight(0), kTile);

  // Eighteen words of 40 pixels: 900 pixels with the space the layout adds,
  // so three lines aimed at 300 (not two of 400, nor a short last line).
  std::string text = "abcd";
  for (int i = 1; i < 18; ++i) {
    text += " word";
  }
  Bubble bubble;
  ASSERT_TRUE(BubbleBuildCalc(text, 0, true, bubble, 0));
  const std::string six = "ABCD WORD WORD WORD WORD WORD";
  const std::string line = "WORD WORD WORD WORD WORD WORD";
  EXPECT_THAT(Texts(bubble), ElementsAre(six, line, line));
  // 290 pixels in 20 tiles of 15 (300), centred; three lines in four rows.
  EXPECT_EQ(bubble.columns, 20);
  EXPECT_EQ(bubble.rows, 4);
  EXPECT_EQ(bubble.width, 22 * kTile);
  EXPECT_EQ(bubble.height, 4 * kTile);
  EXPECT_EQ(bubble.tailY, 3 * kTile);
  const int32_t top = (4 * kTile - 3 * kLineHeight) / 2;
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(bubble.lines[static_cast<size_t>(i)].x, (300 - 290) / 2 + kTile);
    EXPECT_EQ(bubble.lines[static_cast<size_t>(i)].y, top + i * kLineHeight);
  }

  // A word that passes the target by less than the line falls short keeps
  // to the line: 25 characters aim at 130 (with the added space, 260 in
  // two), and "EFGHIJKLMN" passes it by 30 where the line is 80 short.
  ASSERT_TRUE(BubbleBuildCalc("ab cd efghijklmn opqrstuvw", 0, false, bubble, 200));
  EXPECT_THAT(Texts(bubble), ElementsAre("AB CD EFGHIJKLMN", "OPQRSTUVW"));

  // The border and the tail: nine pieces of four vertices and the tail's.
  ASSERT_TRUE(BubbleBuild(bubble));
  EXPECT_EQ(ModelVertexCount(bubble.model), 36);
  EXPECT_EQ(ModelTriangleCount(bubble.model), 18);
  ModelClose(bubble.model);
}

TEST_F(BubbleTest, OddTextsAndTypesAreLaidOutSoundlyOrRefused) {
  Bubble bubble;
  // A text ending in a space keeps its last line; doubled spaces add none.
  ASSERT_TRUE(BubbleBuildCalc("hello there ", 0, false, bubble, 0));
  EXPECT_THAT(Texts(bubble), ElementsAre("HELLO THERE"));
  ASSERT_TRUE(BubbleBuildCalc("hello  ", 0, false, bubble, 0));
  EXPECT_THAT(Texts(bubble), ElementsAre("HELLO"));

  // One line in tiles taller than it: still a top and a bottom row, so no
  // negative middle row reaches the border.
  ASSERT_TRUE(BubbleBuildCalc("hi", 1, false, bubble, 0));
  EXPECT_EQ(BubbleTileHeight(1), 99);
  EXPECT_EQ(bubble.rows, 2);
  EXPECT_EQ(bubble.height, 2 * 99);
  ASSERT_TRUE(BubbleBuild(bubble));
  for (int32_t i = 0; i < ModelVertexCount(bubble.model); ++i) {
    EXPECT_GE(ModelVertexGet(bubble.model, i).y, 0.0f);
    EXPECT_LE(ModelVertexGet(bubble.model, i).y, 2.0f * 99);
  }
  ModelClose(bubble.model);

  // An empty text: a bubble of borders alone.
  ASSERT_TRUE(BubbleBuildCalc("", 0, false, bubble, 0));
  EXPECT_TRUE(bubble.lines.empty());
  EXPECT_EQ(bubble.rows, 2);

  // Unknown types are refused with the designed spelling.
  EXPECT_FALSE(BubbleBuildCalc("hello", 7, false, bubble, 0));
  // A type is a byte: 300 would be taken for 44.
  EXPECT_FALSE(BubbleOpen(300, "Bin\\Bubbles\\Plain"));
  EXPECT_FALSE(BubbleOpen(-1, "Bin\\Bubbles\\Plain"));
  EXPECT_FALSE(BubbleTypeExists(44));
  EXPECT_FALSE(BubbleTypeExists(2));

  // Without the bubble font every text measures nothing: one line, no
  // division by zero.
  FontDelete(GameDefaultFont());
  ASSERT_TRUE(BubbleBuildCalc("a text of several words", 0, false, bubble, 0));
  EXPECT_THAT(Texts(bubble), ElementsAre("A TEXT OF SEVERAL WORDS"));
  EXPECT_EQ(bubble.rows, 2);

  const std::vector<std::string> errors = Errors();
  EXPECT_THAT(errors,
              testing::Contains("BubbleBuildCalc - Invalid bubble type \"7\".  Dialog not run."));
  EXPECT_THAT(errors, testing::Contains(
                          "BubbleOpen - Invalid bubble type 300 for \"Bin\\Bubbles\\Plain\"."));
}

TEST_F(BubbleTest, ASpeechLineLastsByItsTextOrItsVoiceAndIsHeardAsAVoice) {
  WriteWholeFile(program_.path() + "Bin/Voice.wav", WavFile(Tone(440, 22050, 22050, 8000), 22050));
  StateSetTime(kStateGame, 1000);
  Hero().x = 640;
  Hero().y = 500;

  // 20 characters at the default 100 ms each, and 600 ms.
  AgentSay(1, 7, "hero", "", "abcdefghij klmnopqrs", "", 0, true, 0, true);
  EXPECT_EQ(Hero().speechText, "ABCDEFGHIJ KLMNOPQRS");
  EXPECT_EQ(Hero().speechEnd - Hero().speechStart, 2600u);
  EXPECT_FALSE(ActionsDone(1, 7));
  StateSetTime(kStateGame, 3599);
  AgentsUpdate();
  EXPECT_FALSE(ActionsDone(1, 7));
  StateSetTime(kStateGame, 3601);
  AgentsUpdate();
  EXPECT_TRUE(ActionsDone(1, 7));
  EXPECT_EQ(Hero().speechEnd, 0u);

  // Above the head, a tile over the feet; the tail right of the middle for
  // the body slot 3, at the bubble's bottom row.
  const Bubble& bubble = Hero().bubble;
  EXPECT_EQ(bubble.x, 640 - bubble.width / 2);
  EXPECT_EQ(bubble.y, 500 - bubble.height - kTile);
  EXPECT_EQ(bubble.tailX, bubble.width / 2 - 2 * kTile);
  EXPECT_EQ(ModelVertexCount(bubble.model), 40);

  // A one-second voice decides the length, and plays as a voice.
  AgentSay(1, 7, "hero", "Bin\\Voice.wav", "abcdefghij klmnopqrs", "", 0, false, 0, true);
  EXPECT_EQ(Hero().speechEnd - Hero().speechStart, 1000u);
  ASSERT_GT(Hero().speechSound, 0);
  bool found = false;
  for (const audio_internal::Sound& sound : audio_internal::Audio().sounds) {
    if (sound.id == Hero().speechSound) {
      found = true;
      EXPECT_EQ(sound.kind, kAudioKindVoice);
    }
  }
  EXPECT_TRUE(found);

  // Advancing ends it now: the next update completes the action.
  DialogAdvance();
  StateSetTime(kStateGame, 3602);
  AgentsUpdate();
  EXPECT_TRUE(ActionsDone(1, 7));
  EXPECT_EQ(Hero().speechEnd, 0u);

  // Nothing to say: the mouth has no letters to follow.
  AgentSay(1, 7, "hero", "", "", "", 0, true, 0, true);
  EXPECT_EQ(Hero().speechEnd - Hero().speechStart, 600u);
  EXPECT_FALSE(Hero().lipSync);
  StateSetTime(kStateGame, 3700);
  AgentsUpdate();
  EXPECT_EQ(Hero().headFrame, 0);
}

TEST_F(BubbleTest, OptionsFormAGridAroundTheHeadAndTheScriptReadsTheChoice) {
  Hero().x = 640;
  Hero().y = 400;
  ASSERT_NO_FATAL_FAILURE(EnterRoom());
  ScriptEventSend(RoomScriptId(), 2, "ASK");

  // Facing 3 mirrors the head offset: the anchor is (580, 440). Options of
  // 4 x 2 tiles (60 x 30) in two columns 60 apart, centred on the rows six
  // bubbles would fill (three, 40 apart): the third starts the second row.
  const auto pick = [this](int32_t x, int32_t y) {
    StateVariableSetInt(kStateGame, "X", x);
    StateVariableSetInt(kStateGame, "Y", y);
    ScriptEventSend(RoomScriptId(), 2, "PICK");
    return StateVariableGetInt(kStateGame, "CHOICE");
  };
  // The middle of each option's place, the gap between the first two.
  EXPECT_EQ(pick(490 + 30, 355 + 15), 1);
  EXPECT_EQ(pick(610 + 30, 355 + 15), 2);
  EXPECT_EQ(pick(490 + 30, 425 + 15), 3);
  EXPECT_EQ(pick(580, 370), 0);
  EXPECT_EQ(pick(490, 355), 1);  // the top-left corner is inside,
  EXPECT_EQ(pick(550, 355), 0);  // the right edge is not
  EXPECT_THAT(reports_, ElementsAre("OPTIONS", "OPTIONS", "OPTIONS", "", "OPTIONS", ""));

  // A type outside a byte is refused through the routine too.
  ScriptEventSend(RoomScriptId(), 2, "WIDE");
  EXPECT_FALSE(BubbleTypeExists(44));
}

}  // namespace
