// Sounds and voices in the running game, heard through OpenAL Soft's
// loopback device, which mixes only when asked: a room script's thread that
// waits for its sound effect or its speech line goes on in the first frame
// after the sound has stopped, not when the game clock says it should have.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/testsupport.h"

// Whether a sound is still open.
#include "framework/audio/audio_internal.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int32_t kRate = 44100;

// On "KNOCK" a thread plays a 200 ms knock and waits for it; on "HUM" the
// listener starts a looping hum at half volume and reports its id and
// volume, and whether anything is left to wait for; "STOP" stops it. On
// "SAY" a thread makes Hero speak a line with its 300 ms voice and waits;
// "ADVANCE" cuts the line short.
constexpr const char* kRoom = R"(
  routine REPORT, AppSoundPlay, AppSoundPlayNoWaitLoop, AppSoundStop, AppSoundSetVolume,
          AppSoundGetVolume, AppSoundGetStatus, AppActionsDone, AppAgentSay, AppDialogAdvance;

  func waitForActions() {
    var done = false;
    AppActionsDone(out done);
    while (not done) {
      yield;
      AppActionsDone(out done);
    }
  }

  on event(code, name) {
    if (name == "KNOCK") {
      fork {
        var id = 0;
        AppSoundPlay("Bin\\Knock.wav", false, out id);
        stateSetInt(3, "SOUND", id);
        waitForActions();
        REPORT("knocked");
      }
    }
    if (name == "HUM") {
      var id = 0;
      var volume = 0;
      var status = 0;
      var done = false;
      AppSoundPlay("Bin\\Hum.wav", true, out id);
      AppSoundSetVolume(id, 50);
      AppSoundGetVolume(id, out volume);
      AppSoundGetStatus(id, out status);
      AppActionsDone(out done);
      stateSetInt(3, "SOUND", id);
      REPORT("hum volume " + volume + " status " + status + " done " + done);
    }
    if (name == "STOP") {
      var id = stateGetInt(3, "SOUND");
      AppSoundStop(id);
    }
    if (name == "SAY") {
      fork {
        AppAgentSay("Hero", "Bin\\Voice.wav", "hello there", "", 0, false, 0, true);
        waitForActions();
        REPORT("said");
      }
    }
    if (name == "ADVANCE") { AppDialogAdvance(); }
  }
)";

class SoundsAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // At the device's rate, so that what is heard is the file sample for sample.
    program_.write("Bin/Knock.wav", WavFile(Tone(440, kRate, kRate / 5, 0.5), kRate));
    program_.write("Bin/Hum.wav", WavFile(Tone(220, kRate, kRate / 10, 0.5), kRate));
    program_.write("Bin/Voice.wav", WavFile(Tone(330, kRate, kRate * 3 / 10, 0.5), kRate));
    WriteScript(program_, "Bin/Rooms/A/Scripts/A.vmc", kRoom);
    WriteBubbleType(program_, "Plain", 16);
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    // The game's sounds from here on play on the loopback device.
    AudioShutdown();
    AudioStartLoopback(kRate);
    ASSERT_TRUE(AudioAvailable());
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("A"));
    reports_.clear();
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  static void Tell(const std::string& event) { ScriptEventSend(RoomScriptId(), 2, event); }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }

  // A game frame with `clockMs` on the clock before it, then `audioMs` of
  // audio mixed: the loudest sample heard.
  static float Frame(uint32_t clockMs, int32_t audioMs) {
    PlatformClockAdvance(clockMs);
    EXPECT_TRUE(GameFrame());
    std::vector<float> samples(static_cast<size_t>(kRate * audioMs / 1000));
    if (!samples.empty()) {
      AudioLoopbackRender(samples.data(), static_cast<int32_t>(samples.size()));
    }
    float loudest = 0;
    for (const float sample : samples) {
      loudest = std::max(loudest, std::fabs(sample));
    }
    return loudest;
  }
  static bool Open(int32_t sound) { return audio_internal::SoundIndex(sound) >= 0; }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

TEST_F(SoundsAudioTest, AThreadWaitingForItsSoundGoesOnInTheFrameAfterTheSoundStopped) {
  Tell("KNOCK");
  Frame(16, 0);  // the thread starts the knock
  const int32_t knock = StateVariableGetInt(kStateGame, "SOUND");
  ASSERT_GT(knock, 0);
  // 10 ms of the knock per frame: it plays for 20 frames, whatever the clock.
  int32_t audible = 0;
  while (AudioGetStatus(knock) == kAudioStatusPlaying && audible < 100) {
    EXPECT_GT(Frame(100, 10), 0.1f);
    EXPECT_THAT(TakeReports(), IsEmpty()) << "after " << audible << " frames";
    ++audible;
  }
  EXPECT_GE(audible, 19);
  EXPECT_LE(audible, 21);
  // The first frame that finds it stopped closes it and lets the thread go.
  EXPECT_TRUE(Open(knock));
  EXPECT_EQ(Frame(16, 10), 0.0f);
  EXPECT_THAT(TakeReports(), ElementsAre("knocked"));
  EXPECT_FALSE(Open(knock));
}

TEST_F(SoundsAudioTest, ALoopingSoundHoldsNoThreadAndPlaysOnUntilStoppedOrTheRoomChanges) {
  Tell("HUM");
  EXPECT_THAT(TakeReports(), ElementsAre("hum volume 50 status 2 done true"));
  const int32_t hum = StateVariableGetInt(kStateGame, "SOUND");
  // Ten times its own length, at half its level once the change of gain
  // has taken effect.
  Frame(16, 20);
  for (int frame = 1; frame < 50; ++frame) {
    const float loudest = Frame(16, 20);
    EXPECT_NEAR(loudest, 0.25f, 0.01f) << frame;
  }
  EXPECT_TRUE(Open(hum));
  Tell("STOP");
  EXPECT_FALSE(Open(hum));
  EXPECT_EQ(Frame(16, 20), 0.0f);

  // Another room closes the sounds of the last.
  Tell("HUM");
  TakeReports();
  const int32_t second = StateVariableGetInt(kStateGame, "SOUND");
  ASSERT_TRUE(Open(second));
  RoomPendingSet("A");
  Frame(16, 20);
  EXPECT_FALSE(Open(second));
}

TEST_F(SoundsAudioTest, ASpeechLineEndsWhenItsVoiceStopsOrAssoonAsItIsAdvanced) {
  ASSERT_TRUE(BubbleOpen(0, "Bin\\Bubbles\\Plain"));
  ASSERT_GE(AgentAdd("Hero"), 0);
  Tell("SAY");
  Frame(16, 0);  // the thread starts the line
  const int32_t voice = AgentGet(AgentFind("Hero"))->speechSound;
  ASSERT_GT(voice, 0);
  // The clock runs ten times faster than the voice: the 300 ms the line
  // should last pass long before its voice has been heard.
  int32_t frames = 0;
  while (AudioGetStatus(voice) == kAudioStatusPlaying && frames < 100) {
    EXPECT_GT(Frame(100, 10), 0.1f);
    EXPECT_THAT(TakeReports(), IsEmpty()) << "after " << frames << " frames";
    ++frames;
  }
  EXPECT_GE(frames, 29);
  EXPECT_LE(frames, 31);
  Frame(16, 10);
  EXPECT_THAT(TakeReports(), ElementsAre("said"));

  // Advancing silences the voice at once; the line ends in the next frame.
  Tell("SAY");
  Frame(16, 0);
  EXPECT_GT(Frame(16, 50), 0.1f);
  Tell("ADVANCE");
  EXPECT_EQ(Frame(16, 50), 0.0f);
  EXPECT_THAT(TakeReports(), ElementsAre("said"));
}

}  // namespace
