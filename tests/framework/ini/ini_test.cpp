#include "framework/ini/ini.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <iostream>

#include "framework/log/log.h"
#include "platform/platform.h"
#include "tests/support/testsupport.h"

namespace {

// Drops, for its lifetime, the rights that let root read and write any file
// (other users have none to drop), so that file permissions apply to the test.
class WithoutPermissionOverride {
 public:
  WithoutPermissionOverride() {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
      lowered[capability / 32].effective &= ~(1u << (capability % 32));
    }
    syscall(SYS_capset, &header_, lowered);
  }
  ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }
  WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
  WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
};

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
  bool Logged(const std::string& line) const {
    return data_.read("Game/results.log").find(line) != std::string::npos;
  }

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

TEST_F(IniTest, AFileThatCannotBeReadIsNeverReplaced) {
  const std::string original = "[Audio]\r\nMaster Volume=80\r\n[Video]\r\nWidth=1024\r\n";
  const std::string path = data_.write("Game/settings.ini", original);
  chmod(path.c_str(), 0);
  {
    WithoutPermissionOverride unprivileged;
    if (std::ifstream(path).is_open()) {
      chmod(path.c_str(), 0644);
      GTEST_SKIP() << "this process reads files without read permission";
    }
    EXPECT_FALSE(IniWriteInt("Video", "Height", 768));
    IniBatchBegin();
    EXPECT_FALSE(IniWriteBool("Controls", "Configured", true));
    EXPECT_TRUE(IniBatchEnd());
  }
  chmod(path.c_str(), 0644);
  EXPECT_EQ(UserCopy(), original);
  EXPECT_TRUE(Logged("Error: IniWriteString - Unable to write to " + path));
  EXPECT_EQ(PlatformListFolder(data_.path() + "Game", "settings.ini*").size(), 1u);
}

// --- Batches ----------------------------------------------------------------------

TEST_F(IniTest, ABatchWritesOnceAtItsOutermostEndAndReadsSeeItsValues) {
  program_.write("settings.ini", "[Video]\r\nWidth=1024\r\n");
  IniBatchBegin();
  ASSERT_TRUE(IniWriteInt("Video", "Height", 768));
  IniBatchBegin();
  ASSERT_TRUE(IniWriteBool("Controls", "Configured", true));
  ASSERT_TRUE(IniWriteInt("video", "height", 600));
  EXPECT_TRUE(IniBatchEnd());
  EXPECT_FALSE(data_.exists("Game/settings.ini"));
  EXPECT_EQ(IniReadInt("Video", "Height", 0), 600);
  EXPECT_TRUE(IniReadBool("Controls", "Configured", false));
  // As after a write: the user's copy alone, not the program's, is read.
  EXPECT_EQ(IniReadPath(), IniWritePath());
  EXPECT_EQ(IniReadInt("Video", "Width", 0), 0);
  EXPECT_TRUE(IniBatchEnd());
  EXPECT_EQ(UserCopy(), "[Video]\r\nheight=600\r\n[Controls]\r\nConfigured=Yes\r\n");
  EXPECT_EQ(IniReadInt("Video", "Height", 0), 600);
  EXPECT_TRUE(IniBatchEnd());  // an end without a batch changes nothing
}

TEST_F(IniTest, ABatchWhoseWriteFailsSaysHowManyValuesWereLost) {
  IniBatchBegin();
  IniWriteString("S", "a", "1");
  IniWriteString("S", "b", "2");
  // A folder in place of the file makes the final rename fail.
  PlatformCreateFolder(data_.path() + "Game/settings.ini");
  EXPECT_FALSE(IniBatchEnd());
  EXPECT_TRUE(Logged("Error: IniBatchEnd - Unable to write to " + data_.path() +
                     "Game/settings.ini; 2 values not saved"));
  EXPECT_EQ(IniReadString("S", "a", "lost"), "lost");
}

// Settings of version k: one batch, so one replacement of the file, whose
// size changes from version to version.
void WriteSettingsVersion(int32_t k) {
  IniBatchBegin();
  IniWriteInt("Game", "Version", k);
  IniWriteString("Game", "Notes", std::string(static_cast<size_t>(k * 7919 % 3000), 'a'));
  IniWriteInt("Video", "Width", 640 + k);
  IniBatchEnd();
}

std::string SettingsVersion(int32_t k) {
  return "[Game]\r\nVersion=" + std::to_string(k) +
         "\r\nNotes=" + std::string(static_cast<size_t>(k * 7919 % 3000), 'a') +
         "\r\n[Video]\r\nWidth=" + std::to_string(640 + k) + "\r\n";
}

TEST_F(IniTest, AWriterKilledAtAnyMomentLeavesAWholeVersionAndTheNextStartNoTemporary) {
  WriteSettingsVersion(0);
  ASSERT_EQ(UserCopy(), SettingsVersion(0));
  const std::string temporary = data_.path() + "Game/settings.ini.tmp";
  data_.write("Game/settings.ini.tmp", SettingsVersion(1).substr(0, 20));
  IniStop();
  IniStart();
  EXPECT_FALSE(PlatformFileExists(temporary));
  int32_t temporariesLeft = 0;
  const int32_t wrote = KillWriterTrials(500, 0, WriteSettingsVersion, [&](int32_t last) {
    const std::string file = UserCopy();
    EXPECT_TRUE(file == SettingsVersion(last) || file == SettingsVersion(last + 1))
        << "not version " << last << " or the next: " << file.substr(0, 40);
    temporariesLeft += PlatformFileExists(temporary) ? 1 : 0;
    IniStop();
    IniStart();
    EXPECT_FALSE(PlatformFileExists(temporary));
  });
  EXPECT_GT(wrote, 0);
  std::cout << "settings writer killed 500 times: " << wrote << " after a finished write, "
            << temporariesLeft << " leaving a temporary\n";
}

}  // namespace
