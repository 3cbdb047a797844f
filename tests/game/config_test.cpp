// The game's preferences and unlocked names on the headless platform: a real
// "settings.ini" read by the game's initialisation, a compiled script calling
// the routines, and the file the shutdown writes compared byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/audio/audio.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Every preference as the getters give it, in one line.
constexpr const char* kReportValues = R"(
routine REPORT, AppConfigConfiguredGet, AppConfigControlModeGet, AppConfigControlHandGet,
        AppConfigShowPointerGet, AppConfigShowFlyoversGet, AppConfigShowTipsGet,
        AppConfigShowHotspotsGet, AppConfigSpeechBubblesGet, AppConfigSpeechBubbleLengthGet;
func values() {
  var b = false;
  var i = 0;
  var s = "";
  AppConfigConfiguredGet(out b); s = "" + b;
  AppConfigControlModeGet(out i); s = s + " " + i;
  AppConfigControlHandGet(out i); s = s + " " + i;
  AppConfigShowPointerGet(out b); s = s + " " + b;
  AppConfigShowFlyoversGet(out b); s = s + " " + b;
  AppConfigShowTipsGet(out b); s = s + " " + b;
  AppConfigShowHotspotsGet(out b); s = s + " " + b;
  AppConfigSpeechBubblesGet(out b); s = s + " " + b;
  AppConfigSpeechBubbleLengthGet(out i); s = s + " " + i;
  REPORT(s);
}
)";

class ConfigTest : public ::testing::Test {
 protected:
  // The game initialised over the settings (none when empty), windowed on a
  // 1920 x 1080 monitor; the settings are the user's copy.
  void Start(const std::string& settings) {
    if (!settings.empty()) {
      program_.write("settings.ini", settings);
    }
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    PlatformMonitor monitor;
    monitor.bounds = {0, 0, 1920, 1080};
    monitor.primary = true;
    monitor.modes = {{800, 600, 32, 60}, {1280, 720, 32, 60}, {1920, 1080, 32, 60}};
    monitor.desktopMode = {1920, 1080, 32, 60};
    PlatformHeadlessSetMonitors({monitor});
    ModulesStart();
    MainForm().MainFormCreate();
    ScriptAppRoutineRegister("REPORT", [this](int32_t script, int32_t thread) {
      reports_.push_back(ScriptParamGetString(script, thread, 1));
      return 1;
    });
    ScriptAppRoutineRegister("STATUS", [this](int32_t, int32_t) {
      reports_.push_back(std::to_string(AudioGetStatus(1)) + " " +
                         std::to_string(AudioGetStatus(2)));
      return 1;
    });
    ASSERT_TRUE(GameInitDisplay());
    ASSERT_TRUE(GameInit());
    GameRegisterConfigRoutines();
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  // Compiles the source and runs it as a script's initial code; what it reported.
  std::vector<std::string> Run(const std::string& source) {
    VmccResult compiled;
    EXPECT_TRUE(VmccCompile(kReportValues + source, "config.vms", {}, compiled))
        << ::testing::PrintToString(compiled.diagnostics);
    std::string error;
    EXPECT_TRUE(VmcWriterSave(compiled.script, program_.write("Bin/config.vmc", ""), error));
    EXPECT_GT(ScriptLoad("Bin\\config.vmc"), 0);
    return std::exchange(reports_, {});
  }

  // The settings file without the menus' key bindings, which the game saves
  // after the configuration and the input module's tests cover.
  std::string Settings() const {
    const std::string text = program_.read("settings.ini");
    return text.substr(0, text.find("[Input Control Set "));
  }
  std::string Log() const { return program_.read("results.log"); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

// The lists as a run leaves them: read in reverse file order without empty
// entries, duplicates kept, unlocked names appended once, written back in
// list order over a shorter Count with the stale entries left in place.
TEST_F(ConfigTest, ARunWritesTheListsBackReversedAndLeavesStaleEntries) {
  Start(
      "[Video]\nWidth=1280\nHeight=720\nBPP=32\nFullscreen=No\n"
      "[Controls]\nConfigured=Yes\nMode=2\nHand=1\nShow Pointer=NO\nShow Flyovers=yes\n"
      "Show Tips=No\nShow Hotspots=No\n"
      "[Audio]\nShow Speech Bubbles=No\nSpeech Bubble Speed=55\nMusic Volume=40\n"
      "[Achievements]\nCount=2\nAchievement1=A\nAchievement2=B\n"
      "[Collectibles]\nCount=3\nCollectible1=x\nCollectible2=\nCollectible3=y\nCollectible4=old\n"
      "[Special Features]\nCount=3\nSpecialFeature1=Dup\nSpecialFeature2=dup\n"
      "SpecialFeature3=Dup\n");
  EXPECT_TRUE(GameConfigured());
  EXPECT_THAT(
      Run(R"(
    routine AppAchievementUnlock, AppAchievementLocked, AppCollectibleLocked,
            AppSpecialFeatureUnlock, AppSpecialFeatureLocked, AppConfigControlModeSet,
            AppConfigShowTipsSet;
    values();
    var locked = false;
    AppAchievementUnlock("C");
    AppAchievementUnlock("C");
    AppAchievementLocked("c", out locked); REPORT("c " + locked);
    AppAchievementLocked("A", out locked); REPORT("A " + locked);
    AppCollectibleLocked("", out locked); REPORT("empty " + locked);
    AppCollectibleLocked("old", out locked); REPORT("old " + locked);
    AppSpecialFeatureUnlock("");
    AppSpecialFeatureLocked("DUP", out locked); REPORT("DUP " + locked);
    AppConfigControlModeSet(1);
    AppConfigShowTipsSet(true);
    values();
  )"),
      ElementsAre("true 2 1 false true false false false 55", "c true", "A false", "empty true",
                  "old true", "DUP true", "true 1 1 false true true false false 55"));
  // Setters reach the file only at shutdown.
  EXPECT_THAT(Settings(), HasSubstr("Mode=2\n"));

  GameShutdown();
  EXPECT_EQ(Settings(),
            "[Video]\nWidth=1280\nHeight=720\nBPP=32\nFullscreen=No\n"
            "[Controls]\nConfigured=Yes\nMode=1\nHand=1\nShow Pointer=No\nShow Flyovers=Yes\n"
            "Show Tips=Yes\nShow Hotspots=No\n"
            "[Audio]\nShow Speech Bubbles=No\nSpeech Bubble Speed=55\nMusic Volume=40\n"
            "[Achievements]\nCount=3\nAchievement1=B\nAchievement2=A\nAchievement3=C\n"
            "[Collectibles]\nCount=2\nCollectible1=y\nCollectible2=x\nCollectible3=y\n"
            "Collectible4=old\n"
            "[Special Features]\nCount=3\nSpecialFeature1=Dup\nSpecialFeature2=dup\n"
            "SpecialFeature3=Dup\n");
}

// Values no player wrote: the game starts normally, the preferences are held
// in their ranges, a Count of two billion or below zero costs nothing, and
// the file written back reads as the values shown.
TEST_F(ConfigTest, HostileSettingsStartWithHeldValuesAndAreWrittenBackWellFormed) {
  const std::string huge(1 << 20, 'n');
  const std::string garbage("\0\xff\xfe[=]\r\x01", 8);
  Start("[Video]\nWidth=99999\nHeight=-1\nFullscreen=No\n" + garbage +
        "\n[Controls]\nConfigured=maybe\nMode=-2147483648\nHand=2147483647\nShow Pointer=0\n"
        "Show Tips=" +
        huge +
        "\n"
        "[Audio]\nSpeech Bubble Speed=99999999999\n"
        "[Achievements]\nCount=2147483647\nAchievement1=a\nAchievement2=" +
        huge +
        "\nAchievement02=zero\nachievement3=b\nAchievement3=shadowed\nAchievement-1=minus\n"
        "Achievement99999999999=far\n"
        "[Collectibles]\nCount=-5\nCollectible1=x\n"
        "[Special Features]\nCount=99999999999\nSpecialFeature1=y\n");
  EXPECT_FALSE(GameConfigured());
  EXPECT_THAT(Run(R"(
    routine AppAchievementLocked, AppCollectibleLocked, AppSpecialFeatureLocked,
            AppConfigSpeechBubbleLengthSet, AppConfigControlHandSet;
    values();
    var locked = false;
    AppAchievementLocked("zero", out locked); REPORT("zero " + locked);
    AppAchievementLocked("shadowed", out locked); REPORT("shadowed " + locked);
    AppCollectibleLocked("x", out locked); REPORT("x " + locked);
    AppSpecialFeatureLocked("y", out locked); REPORT("y " + locked);
    AppConfigSpeechBubbleLengthSet(2000000000);
    AppConfigControlHandSet(-7);
    values();
  )"),
              ElementsAre("false 1 2 true true true true true 100", "zero true", "shadowed true",
                          "x true", "y true", "false 1 1 true true true true true 1000"));

  GameShutdown();
  // The designed reading order keeps "b", the huge name and "a" in reverse.
  EXPECT_EQ(Settings(),
            "[Video]\nWidth=1920\nHeight=1080\nFullscreen=No\n" + garbage +
                "\nBPP=32\n"
                "[Controls]\nConfigured=No\nMode=1\nHand=1\nShow Pointer=Yes\nShow Tips=Yes\n"
                "Show Flyovers=Yes\nShow Hotspots=Yes\n"
                "[Audio]\nSpeech Bubble Speed=1000\nShow Speech Bubbles=Yes\n"
                "[Achievements]\nCount=3\nAchievement1=b\nAchievement2=" +
                huge +
                "\nAchievement02=zero\nAchievement3=a\nAchievement3=shadowed\n"
                "Achievement-1=minus\nAchievement99999999999=far\n"
                "[Collectibles]\nCount=0\nCollectible1=x\n"
                "[Special Features]\nCount=0\nSpecialFeature1=y\n");
}

// A list as long as a settings file can hold is read and written back in one
// pass over the file each, not one pass per entry.
TEST_F(ConfigTest, ALongListCostsOnePassToReadAndOneToWrite) {
  constexpr int32_t kEntries = 20000;
  std::string entries;
  std::string reversed;
  for (int32_t n = 1; n <= kEntries; ++n) {
    const std::string number = std::to_string(n);
    entries += "Collectible" + number + "=item" + number + "\n";
    reversed += "Collectible" + number + "=item" + std::to_string(kEntries + 1 - n) + "\n";
  }
  Start("[Video]\nWidth=1280\nHeight=720\nFullscreen=No\n[Collectibles]\nCount=2147483647\n" +
        entries);
  GameShutdown();
  EXPECT_THAT(Settings(), HasSubstr("[Collectibles]\nCount=" + std::to_string(kEntries) + "\n" +
                                    reversed + "[Controls]\n"));
}

// The first-run screen's "Done" must not wait for the shutdown: the whole
// configuration is written the moment the flag is set, and the next start
// reads it.
TEST_F(ConfigTest, ConfiguredIsWrittenTheMomentItIsSet) {
  Start("");
  EXPECT_FALSE(GameConfigured());
  EXPECT_THAT(Run(R"(
    routine AppConfigConfiguredSet, AppSpecialFeatureUnlock;
    AppSpecialFeatureUnlock("Credits");
    AppConfigConfiguredSet(true);
  )"),
              ElementsAre());
  EXPECT_EQ(Settings(),
            "[Video]\r\nWidth=1920\r\nHeight=1080\r\nBPP=32\r\nFullscreen=Yes\r\n"
            "[Controls]\r\nConfigured=Yes\r\nMode=1\r\nHand=2\r\nShow Pointer=Yes\r\n"
            "Show Flyovers=Yes\r\nShow Tips=Yes\r\nShow Hotspots=Yes\r\n"
            "[Audio]\r\nShow Speech Bubbles=Yes\r\nSpeech Bubble Speed=100\r\n"
            "[Achievements]\r\nCount=0\r\n[Collectibles]\r\nCount=0\r\n"
            "[Special Features]\r\nCount=1\r\nSpecialFeature1=Credits\r\n");
  GameConfigRead();
  EXPECT_TRUE(GameConfigured());
}

// The options screens' sample sounds: opened once, by the first play, from
// the file named then; later plays and stops reuse them.
TEST_F(ConfigTest, SampleSoundsOpenOnTheirFirstPlayOnly) {
  program_.write("Bin/Sounds/Tone.wav", WavFile(Tone(440, 44100, 200000, 0.5), 44100));
  Start("[Video]\nFullscreen=No\n");
  ASSERT_TRUE(AudioAvailable());
  EXPECT_THAT(Run(R"(
    routine STATUS, AppConfigAudioPlay, AppConfigAudioStop;
    AppConfigAudioPlay(1, "Bin\\Sounds\\Tone.wav"); STATUS();
    AppConfigAudioStop(1); STATUS();
    AppConfigAudioPlay(1, "Bin\\Sounds\\Missing.wav"); STATUS();
    AppConfigAudioPlay(2, "Bin\\Sounds\\Tone.wav"); STATUS();
    AppConfigAudioStop(2); STATUS();
    AppConfigAudioPlay(3, "Bin\\Sounds\\Other.wav");
    AppConfigAudioPlay(0, "Bin\\Sounds\\Other.wav");
    AppConfigAudioStop(3); STATUS();
  )"),
              ElementsAre("2 3", "3 3", "2 3", "2 2", "2 3", "2 3"));
  EXPECT_THAT(Log(), Not(HasSubstr("AudioOpen")));
}

}  // namespace
