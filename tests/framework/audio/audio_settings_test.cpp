// The volume categories' storage in "settings.ini", without a sound device.
#include <gtest/gtest.h>

#include "framework/audio/audio.h"
#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "tests/support/testsupport.h"

namespace {

const char* const kKeys[] = {"App Volume", "Master Volume", "Music Volume", "Sound Volume",
                             "Voice Volume"};

class AudioSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    LogStart();
    UtilitiesStart();
    IniStart();
  }
  void TearDown() override {
    IniStop();
    UtilitiesStop();
    LogStop();
    platform_.reset();
  }
  // Writes the five values, loads and saves them, and returns what was saved.
  std::vector<std::string> RoundTrip(const std::vector<std::string>& values) {
    std::string text = "[Audio]\r\n";
    for (size_t i = 0; i < values.size(); i++) {
      text += std::string(kKeys[i]) + "=" + values[i] + "\r\n";
    }
    folder_.write("settings.ini", text);
    AudioSettingsLoad();
    AudioSettingsSave();
    std::vector<std::string> saved;
    for (const char* key : kKeys) {
      saved.push_back(IniReadString("Audio", key, "missing"));
    }
    return saved;
  }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(AudioSettingsTest, OutOfRangeAndUnreadableValuesAreClamped) {
  EXPECT_EQ(RoundTrip({"250", "-5", "loud", "99999999999", "37"}),
            (std::vector<std::string>{"100", "0", "100", "100", "37"}));
  EXPECT_EQ(RoundTrip({"", "50%", "+20", "-99999999999", "0"}),
            (std::vector<std::string>{"100", "100", "100", "0", "0"}));
}

TEST_F(AudioSettingsTest, EveryWholePercentageSurvivesARoundTrip) {
  for (int percent = 0; percent <= 100; percent++) {
    const std::string text = std::to_string(percent);
    EXPECT_EQ(RoundTrip({text, text, text, text, text}), (std::vector<std::string>(5, text)));
  }
}

TEST_F(AudioSettingsTest, MissingKeysReadAsFullVolume) {
  folder_.write("settings.ini", "[Video]\r\nWidth=640\r\n");
  AudioSettingsLoad();
  AudioSettingsSave();
  for (const char* key : kKeys) {
    EXPECT_EQ(IniReadString("Audio", key, "missing"), "100") << key;
  }
  EXPECT_EQ(IniReadString("Video", "Width", ""), "640");
}

}  // namespace
