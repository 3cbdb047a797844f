#include "framework/utilities/utilities.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "tests/support/testsupport.h"

namespace {

class UtilitiesTest : public ::testing::Test {
 protected:
  void Pose(const std::vector<std::string>& parameters) {
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(), parameters);
    setenv("XDG_DATA_HOME", (data_.path() + "share").c_str(), 1);
  }
  void TearDown() override {
    platform_.reset();
    unsetenv("XDG_DATA_HOME");
  }

  TempFolder program_;
  TempFolder data_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(UtilitiesTest, SwitchesMatchWholeParametersIgnoringCase) {
  Pose({"-TRACE", "-verbose", "-Sleep", "5"});
  EXPECT_TRUE(UtilitiesSwitchPresent("-trace"));
  EXPECT_FALSE(UtilitiesSwitchPresent("-ver"));  // a prefix of "-verbose" is not the switch
  EXPECT_FALSE(UtilitiesSwitchPresent("-novsync"));
  EXPECT_EQ(UtilitiesSwitchValue("-sleep", 0), 5);
}

TEST_F(UtilitiesTest, SwitchValueTakesTheFirstOccurrenceFollowedByANumber) {
  Pose({"-sleep", "fast", "-sleep", "2"});
  EXPECT_EQ(UtilitiesSwitchValue("-sleep", 0), 2);
  Pose({"-novsync", "-sleep"});
  EXPECT_EQ(UtilitiesSwitchValue("-sleep", 7), 7);
  Pose({"-sleep", "99999999999"});  // does not fit: not a number
  EXPECT_EQ(UtilitiesSwitchValue("-sleep", 3), 3);
}

TEST_F(UtilitiesTest, UserDataFolderIsAppDataPlusCompanyPlusProduct) {
  Pose({});
  PlatformSetVersionValues({{"CompanyName", "Acme"}, {"ProductName", "Widget"}});
  EXPECT_EQ(UtilitiesUserDataFolder(), data_.path() + "share/Acme/Widget/");
  EXPECT_TRUE(PlatformFolderExists(data_.path() + "share/Acme/Widget"));
}

TEST_F(UtilitiesTest, UserDataFolderWithoutCompanyOrProduct) {
  Pose({});
  PlatformSetVersionValues({{"ProductName", "Widget"}});
  EXPECT_EQ(UtilitiesUserDataFolder(), data_.path() + "share/Widget/");
  PlatformSetVersionValues({{"CompanyName", "Acme"}});
  EXPECT_EQ(UtilitiesUserDataFolder(), program_.path());
}

TEST_F(UtilitiesTest, UserDataInAppKeepsUserFilesInTheProgramFolder) {
  Pose({"-USERDATAINAPP"});
  EXPECT_EQ(UtilitiesUserDataFolder(), program_.path());
  EXPECT_FALSE(PlatformFolderExists(data_.path() + "share"));
}

TEST_F(UtilitiesTest, UnwritableAppDataFallsBackToTheProgramFolder) {
  Pose({});
  setenv("XDG_DATA_HOME", "/proc/no-such-folder", 1);
  EXPECT_EQ(UtilitiesUserDataFolder(), program_.path());
}

TEST_F(UtilitiesTest, RelativeAppDataIsIgnoredForTheHomeDefault) {
  Pose({});
  PlatformSetVersionValues({{"ProductName", "Widget"}});
  const std::string savedHome = std::getenv("HOME") == nullptr ? "" : std::getenv("HOME");
  const std::string savedFolder = PlatformCurrentFolder();
  setenv("HOME", (data_.path() + "home").c_str(), 1);
  setenv("XDG_DATA_HOME", "relative/share", 1);
  PlatformCreateFolder(data_.path() + "work");
  PlatformSetCurrentFolder(data_.path() + "work");
  const std::string folder = UtilitiesUserDataFolder();
  PlatformSetCurrentFolder(savedFolder);
  setenv("HOME", savedHome.c_str(), 1);
  EXPECT_EQ(folder, data_.path() + "home/.local/share/Widget/");
  EXPECT_FALSE(PlatformFolderExists(data_.path() + "work/relative"));
}

TEST_F(UtilitiesTest, ProgramFolderEndsInASeparator) {
  Pose({});
  EXPECT_EQ(UtilitiesProgramFolder(), program_.path());
  EXPECT_EQ(UtilitiesFolderWithSlash("C:\\Games"), "C:\\Games\\");
  EXPECT_EQ(UtilitiesFolderWithSlash("/tmp/"), "/tmp/");
  EXPECT_EQ(UtilitiesFolderWithSlash(""), "");
}

TEST(UtilitiesText, IntegerText) {
  for (const char* good : {"-7", "007", "0", "2147483647"}) {
    EXPECT_TRUE(UtilitiesIsIntegerText(good)) << good;
  }
  for (const char* bad : {"", "-", "+7", "7-", " 7", "7 ", "1e3", "12px"}) {
    EXPECT_FALSE(UtilitiesIsIntegerText(bad)) << bad;
  }
  EXPECT_TRUE(UtilitiesIsPositiveIntegerText("000012"));
  EXPECT_FALSE(UtilitiesIsPositiveIntegerText("000000"));
  EXPECT_FALSE(UtilitiesIsPositiveIntegerText("-5"));
  int32_t value = 0;
  EXPECT_TRUE(UtilitiesParseInteger("-2147483648", value));
  EXPECT_EQ(value, INT32_MIN);
  EXPECT_FALSE(UtilitiesParseInteger("2147483648", value));
}

TEST(UtilitiesText, MonthsPaddingAndCase) {
  EXPECT_EQ(UtilitiesMonthName(1), "Jan");
  EXPECT_EQ(UtilitiesMonthName(12), "Dec");
  EXPECT_EQ(UtilitiesMonthName(0), "");
  EXPECT_EQ(UtilitiesMonthName(13), "");
  EXPECT_EQ(UtilitiesPadLeft("7", '0', 3), "007");
  EXPECT_EQ(UtilitiesPadLeft("1234", '0', 3), "1234");
  EXPECT_EQ(UtilitiesUpperCase("Bin\\rooms\\é"), "BIN\\ROOMS\\é");
}

TEST(UtilitiesNumbers, ClampInterpolateSwap) {
  EXPECT_EQ(UtilitiesClamp(15, 10, 0), 10);
  EXPECT_EQ(UtilitiesClamp(-3, 10, 0), 0);
  EXPECT_EQ(UtilitiesClamp(4, 0, 10), 4);
  EXPECT_EQ(UtilitiesInterpolate(100, 200, 0, 5, 10), 150u);
  EXPECT_EQ(UtilitiesInterpolate(7, 9, 4, 100, 4), 7u);
  EXPECT_EQ(UtilitiesInterpolate(0, 10, 0, 1, 3), 3u);  // truncated quotient
  EXPECT_EQ(UtilitiesSwapRedBlue(0x11223344u), 0x11443322u);
}

TEST(UtilitiesLists, SortsAreStableAndByteOrdered) {
  std::vector<std::string> names = {"b", "B", "a", "A", "\xE9"};
  UtilitiesSortStringsAscending(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "a", "b", "\xE9"}));
  UtilitiesSortStringsDescending(names);
  EXPECT_EQ(names, (std::vector<std::string>{"\xE9", "b", "a", "B", "A"}));
  EXPECT_TRUE(UtilitiesStringInList("a", names));
  EXPECT_FALSE(UtilitiesStringInList("C", names));

  int first = 0, second = 0, third = 0;
  std::vector<std::pair<int32_t, void*>> pairs = {{2, &first}, {1, &second}, {2, &third}};
  UtilitiesSortPairsByKey(pairs);
  EXPECT_EQ(pairs[0].second, &second);
  EXPECT_EQ(pairs[1].second, &first);  // equal keys keep their order
  EXPECT_EQ(pairs[2].second, &third);
}

TEST(UtilitiesRegistry, FindsNothing) {
  EXPECT_EQ(UtilitiesRegistryValueFind("System\\CurrentControlSet", "OEMName"), "");
}

}  // namespace
