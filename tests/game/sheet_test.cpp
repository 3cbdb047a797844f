// Exposure sheets read from content files: every property and how the sprite
// point carries, the designed messages, the persistent shortcut, and damaged
// sheets (cut short, counts the file does not hold).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/agents.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/content_modules.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kSheet = "Bin\\Agents\\Det\\walk.txt";
constexpr const char* kSheetPath = "Bin/Agents/Det/walk.txt";

// Three frames using every key, with lines the reader must pass over.
constexpr const char* kWalk =
    "1.0\r\n3\r\n"
    "w1.tga\r\n7\r\nsprite=10,40\r\nprev=-2,0\r\nnext=8,1\r\nhead=5,-30\r\nrepeat=3\r\n"
    "colour=red\r\nno equals sign\r\n"
    "w2.tga\r\n0\r\n"
    "w3.tga\r\n6\r\nhead=12\r\nnext=x,4\r\nprev=1,2,3\r\nrepeat=-1\r\nsprite=11,41\r\nSPRITE=0,"
    "0\r\n";

std::string Text(const AnimationPoint& point) {
  return std::to_string(point.x) + "," + std::to_string(point.y);
}

// Every field read from a sheet, in one line, so frames compare as text.
std::string Describe(const AnimationFrame& frame) {
  return frame.imageFile + " sprite " + Text(frame.sprite) + " prev " + Text(frame.prev) +
         " next " + Text(frame.next) + (frame.hasHead ? " head " + Text(frame.head) : "") +
         " repeat " + std::to_string(frame.repeat);
}

std::vector<std::string> Describe(const Animation& animation) {
  std::vector<std::string> frames;
  for (const AnimationFrame& frame : animation.frames) {
    frames.push_back(Describe(frame));
  }
  return frames;
}

class SheetTest : public ::testing::Test {
 protected:
  // Opens the sheet text as kSheet in a fresh animation.
  bool Open(const std::string& text, Animation& animation, bool persistent = false) {
    program_.write(kSheetPath, text);
    return AnimationOpen(animation, kSheet, persistent);
  }
  // The error lines logged since the last call.
  std::vector<std::string> Errors() {
    std::vector<std::string> errors;
    const std::vector<std::string> lines = SplitLines(program_.read("results.log"));
    for (size_t i = seen_; i < lines.size(); ++i) {
      const size_t at = lines[i].find("Error: ");
      if (at != std::string::npos) {
        errors.push_back(lines[i].substr(at + 7));
      }
    }
    seen_ = lines.size();
    return errors;
  }

  TempFolder program_;
  ContentModules modules_{program_.path(), ContentModules::kWithoutMats};
  size_t seen_ = 0;
};

TEST_F(SheetTest, FramesTakeTheSheetsFolderEveryKeyAndTheSpritePointOfTheFrameBefore) {
  Animation animation;
  ASSERT_TRUE(Open(kWalk, animation));
  EXPECT_TRUE(animation.loaded);
  EXPECT_EQ(animation.sheetFile, kSheet);
  // The second frame has no properties: only the sprite point carries. In
  // the third, a value without a comma or not a number, and a key in
  // another case, change nothing.
  EXPECT_THAT(Describe(animation),
              ElementsAre("Bin\\Agents\\Det\\w1.tga sprite 10,40 prev -2,0 next 8,1 head 5,-30 "
                          "repeat 3",
                          "Bin\\Agents\\Det\\w2.tga sprite 10,40 prev 0,0 next 0,0 repeat 0",
                          "Bin\\Agents\\Det\\w3.tga sprite 11,41 prev 0,0 next 0,0 repeat -1"));
  EXPECT_THAT(Errors(), IsEmpty());

  // Version 0.0 is read too, and a sheet named without a folder keeps the
  // frame names as they are.
  program_.write("solo.txt", "0.0\r\n1\r\nsolo.bmp\r\n0");
  ASSERT_TRUE(AnimationOpen(animation, "solo.txt", false));
  EXPECT_THAT(Describe(animation), ElementsAre("solo.bmp sprite 0,0 prev 0,0 next 0,0 repeat 0"));
  EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(SheetTest, ASheetThatCannotBeReadLeavesAnEmptyAnimationWithTheDesignedMessage) {
  const std::string in = " in exposure sheet \"Bin\\Agents\\Det\\walk.txt\".";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "AnimationOpen - No major/minor version separator" + in},
      {"10\r\n1\r\n", "AnimationOpen - No major/minor version separator" + in},
      {"2.0\r\n1\r\n", "AnimationOpen - Unsupported major version \"2\"" + in},
      {"x.0\r\n1\r\n", "AnimationOpen - Unsupported major version \"x\"" + in},
      {"1.1\r\n1\r\n", "AnimationOpen - Unsupported minor version \"1\"" + in},
      {"1.\r\n1\r\n", "AnimationOpen - Unsupported minor version \"\"" + in},
      {"1.0\r\n0\r\na\r\n0\r\n", "AnimationOpen - Invalid frame count \"0\"" + in},
      {"1.0\r\n-3\r\na\r\n0\r\n", "AnimationOpen - Invalid frame count \"-3\"" + in},
      {"1.0\r\nx\r\na\r\n0\r\n", "AnimationOpen - Invalid frame count \"x\"" + in},
      {"1.0\r\n99999999999\r\na\r\n0\r\n",
       "AnimationOpen - Invalid frame count \"99999999999\"" + in},
      {"1.0\r\n2\r\na\r\n0\r\nb\r\nmany\r\n",
       "AnimationOpen - Invalid property count \"many\" for frame \"Bin\\Agents\\Det\\b\"" + in},
      {"1.0\r\n1\r\na\r\n-1\r\n",
       "AnimationOpen - Invalid property count \"-1\" for frame \"Bin\\Agents\\Det\\a\"" + in},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Animation animation;
    ASSERT_TRUE(Open(kWalk, animation));
    EXPECT_FALSE(Open(c.text, animation));
    EXPECT_FALSE(animation.loaded);
    EXPECT_THAT(animation.frames, IsEmpty());
    EXPECT_EQ(animation.sheetFile, kSheet);
    EXPECT_THAT(Errors(), ElementsAre(c.error));
  }

  Animation animation;
  EXPECT_FALSE(AnimationOpen(animation, "Bin\\Agents\\none.txt", true));
  EXPECT_THAT(Errors(), ElementsAre("AnimationOpen - Unable to open animation exposure sheet "
                                    "\"Bin\\Agents\\none.txt\"."));
  EXPECT_FALSE(animation.loaded);
  EXPECT_TRUE(animation.persistent);
}

TEST_F(SheetTest, OnlyAPersistentAnimationAskedForTheSameSheetKeepsItsFrames) {
  Animation animation;
  ASSERT_TRUE(Open(kWalk, animation, true));
  // Stands for an image opened while the frame was shown.
  animation.frames[0].width = 64;
  program_.write(kSheetPath, "1.0\r\n1\r\nother.tga\r\n0\r\n");

  // Same name, persistent before: nothing read, the frames stay.
  EXPECT_TRUE(AnimationOpen(animation, kSheet, false));
  ASSERT_EQ(animation.frames.size(), 3u);
  EXPECT_EQ(animation.frames[0].width, 64);
  EXPECT_FALSE(animation.persistent);

  // Not persistent before: read again, whatever the new flag.
  EXPECT_TRUE(AnimationOpen(animation, kSheet, true));
  EXPECT_THAT(Describe(animation),
              ElementsAre("Bin\\Agents\\Det\\other.tga sprite 0,0 prev 0,0 next 0,0 repeat 0"));

  // A name in another spelling is another sheet.
  program_.write("bin/agents/det/walk.txt", kWalk);
  EXPECT_TRUE(AnimationOpen(animation, "bin\\agents\\det\\walk.txt", true));
  EXPECT_EQ(animation.frames.size(), 3u);

  // A sheet that fails to open is not loaded, so the next ask reads again.
  program_.write(kSheetPath, "2.0\r\n");
  EXPECT_FALSE(AnimationOpen(animation, kSheet, true));
  program_.write(kSheetPath, kWalk);
  EXPECT_TRUE(AnimationOpen(animation, kSheet, true));
  EXPECT_EQ(animation.frames.size(), 3u);

  AnimationClose(animation);
  EXPECT_THAT(animation.frames, IsEmpty());
  EXPECT_FALSE(animation.loaded);
  EXPECT_THAT(Errors(), ElementsAre("AnimationOpen - Unsupported major version \"2\" in exposure "
                                    "sheet \"Bin\\Agents\\Det\\walk.txt\"."));
}

// A sheet cut anywhere either fails with an empty animation or keeps the
// whole frames it holds (the last one's final line may be cut), saying how
// many of the declared frames it read.
TEST_F(SheetTest, EveryPrefixOfASheetKeepsTheFramesItHolds) {
  Animation whole;
  ASSERT_TRUE(Open(kWalk, whole));
  const std::vector<std::string> frames = Describe(whole);
  const std::string text = kWalk;
  // From here on the first frame is whole.
  const size_t firstFrameEnd = text.find("w2.tga");
  for (size_t length = 0; length < text.size(); ++length) {
    SCOPED_TRACE(length);
    Animation animation;
    const bool loaded = Open(text.substr(0, length), animation);
    const std::vector<std::string> errors = Errors();
    EXPECT_EQ(animation.loaded, loaded);
    EXPECT_TRUE(loaded || length < firstFrameEnd);
    if (!loaded) {
      EXPECT_EQ(errors.size(), 1u);
      EXPECT_THAT(animation.frames, IsEmpty());
      continue;
    }
    const size_t kept = animation.frames.size();
    ASSERT_GT(kept, 0u);
    ASSERT_LE(kept, frames.size());
    if (kept < frames.size()) {
      EXPECT_THAT(errors,
                  ElementsAre("AnimationOpen - Exposure sheet \"Bin\\Agents\\Det\\walk.txt\" "
                              "ends after " +
                              std::to_string(kept) + " of 3 frames."));
    } else {
      EXPECT_THAT(errors, IsEmpty());
    }
    for (size_t i = 0; i + 1 < kept; ++i) {
      EXPECT_EQ(Describe(animation.frames[i]), frames[i]);
    }
    EXPECT_EQ(animation.frames[kept - 1].imageFile, whole.frames[kept - 1].imageFile);
  }
  // The last property line without its line end is still read.
  Animation animation;
  EXPECT_TRUE(Open(text.substr(0, text.size() - 2), animation));
  EXPECT_THAT(Describe(animation), ::testing::ContainerEq(frames));
  EXPECT_THAT(Errors(), IsEmpty());
}

// Counts far beyond what the file holds cost no more memory than the file
// and end with it.
TEST_F(SheetTest, CountsTheFileDoesNotHoldAllocateNothingForThem) {
  const std::string bigFrames = "1.0\r\n2147483647\r\nframe1.tga\r\n0";  // 30 bytes
  ASSERT_EQ(bigFrames.size(), 30u);
  const std::string bigProperties = "1.0\r\n2\r\na\r\n0\r\nb\r\n2147483647\r\nrepeat=2\r\n";
  Animation animation;
  AllocationProbeReset();
  EXPECT_TRUE(Open(bigFrames, animation));
  EXPECT_TRUE(Open(bigProperties, animation));
  EXPECT_LT(AllocationProbeLargest(), 65536u);
  EXPECT_THAT(Errors(), ElementsAre("AnimationOpen - Exposure sheet \"Bin\\Agents\\Det\\walk.txt\" "
                                    "ends after 1 of 2147483647 frames.",
                                    "AnimationOpen - Exposure sheet \"Bin\\Agents\\Det\\walk.txt\" "
                                    "ends after 1 of 2 frames."));
  EXPECT_THAT(Describe(animation),
              ElementsAre("Bin\\Agents\\Det\\a sprite 0,0 prev 0,0 next 0,0 repeat 0"));
}

}  // namespace
