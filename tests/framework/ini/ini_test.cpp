#include "framework/ini/ini.h"

#include <gtest/gtest.h>

#include "framework/log/log.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

namespace {

// A program folder and a separate per-user data folder.
class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", data_.path().c_str(), 1);
    platform_ = std::make_unique<HeadlessPlatform>(program_.path());
    PlatformSetVersionValues({{"ProductName", "Game"}});
    LogStart();
    IniStart();
  }
  void TearDown() override {
    IniStop();
    LogStop();
    platform_.reset();
    unsetenv("XDG_DATA_HOME");
  }
  std::string UserCopy() const { return data_.read("Game/settings.ini"); }

  TempFolder program_;
  TempFolder data_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(IniTest, MissingFileGivesDefaults) {
  EXPECT_EQ(IniReadInt("Video", "Width", 1280), 1280);
  EXPECT_TRUE(IniReadBool("Video", "Fullscreen", true));
  EXPECT_EQ(IniReadString("Video", "Name", "none"), "none");
}

TEST_F(IniTest, ProgramCopyServesUntilTheUserCopyExists) {
  program_.write("settings.ini", "[Video]\r\nWidth=1024\r\nHeight=768\r\n");
  EXPECT_EQ(IniReadPath(), program_.path() + "settings.ini");
  EXPECT_EQ(IniReadInt("Video", "Width", 0), 1024);

  ASSERT_TRUE(IniWriteInt("Video", "BPP", 16));
  EXPECT_EQ(IniReadPath(), data_.path() + "Game/settings.ini");
  EXPECT_EQ(IniReadInt("Video", "BPP", 0), 16);
  // Keys missing from the user's copy give the caller's default, not the
  // program's copy.
  EXPECT_EQ(IniReadInt("Video", "Width", 0), 0);
  EXPECT_EQ(program_.read("settings.ini"), "[Video]\r\nWidth=1024\r\nHeight=768\r\n");
}

TEST_F(IniTest, BooleansReadYesAndNoInAnyCase) {
  data_.write("Game/settings.ini", "[C]\na=yes\nb=NO\nc=1\nd=true\ne=Yes \n");
  EXPECT_TRUE(IniReadBool("C", "a", false));
  EXPECT_FALSE(IniReadBool("C", "b", true));
  EXPECT_FALSE(IniReadBool("C", "c", false));  // 1 and true read as the default
  EXPECT_TRUE(IniReadBool("C", "d", true));
  EXPECT_TRUE(IniReadBool("C", "e", false));
  IniWriteBool("C", "f", false);
  EXPECT_NE(UserCopy().find("f=No"), std::string::npos);
}

TEST_F(IniTest, IntegersNeedPlainDigits) {
  data_.write("Game/settings.ini", "[N]\na=-12\nb=12px\nc=+5\nd=-\ne=\nf=99999999999\ng=007\n");
  EXPECT_EQ(IniReadInt("N", "a", 1), -12);
  for (const char* key : {"b", "c", "d", "e", "f"}) {
    EXPECT_EQ(IniReadInt("N", key, 42), 42) << key;
  }
  EXPECT_EQ(IniReadInt("N", "g", 0), 7);
}

TEST_F(IniTest, WritesKeepOtherSectionsAndLeaveNoTemporaryFiles) {
  data_.write("Game/settings.ini", "[Audio]\r\nMaster Volume=80\r\n[Video]\r\nWidth=1\r\n");
  ASSERT_TRUE(IniWriteString("video", "width", "1920"));
  ASSERT_TRUE(IniWriteString("Controls", "Mode", "Mouse"));
  EXPECT_EQ(UserCopy(),
            "[Audio]\r\nMaster Volume=80\r\n[Video]\r\nwidth=1920\r\n[Controls]\r\nMode=Mouse\r\n");
  EXPECT_EQ(PlatformListFolder(data_.path() + "Game", "*").size(), 1u);
}

TEST_F(IniTest, ValuesWithLineBreaksCannotAddKeys) {
  ASSERT_TRUE(IniWriteString("S", "name", "evil\r\n[Video]\r\nWidth=1"));
  EXPECT_EQ(IniReadString("S", "name", ""), "evil  [Video]  Width=1");
  EXPECT_EQ(IniReadInt("Video", "Width", 5), 5);
}

TEST_F(IniTest, RefusedWriteIsLoggedAndReported) {
  // A folder in place of the file makes the rename fail.
  PlatformCreateFolder(data_.path() + "Game/settings.ini");
  EXPECT_FALSE(IniWriteString("S", "k", "v"));
  const std::string log = data_.read("Game/results.log");
  EXPECT_NE(
      log.find("Error: IniWriteString - Unable to write to " + data_.path() + "Game/settings.ini"),
      std::string::npos);
}

}  // namespace
