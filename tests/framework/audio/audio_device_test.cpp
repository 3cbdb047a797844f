// Tests that need OpenAL Soft configured for the whole process, which it
// reads once, before the first device opens: a limit of three sources for
// emitter stealing, and no playback backend, so that only the loopback device
// opens and the default device fails.
#include <cstdlib>

#include "framework/audio/audio.h"
#include "platform/platform.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/framework/audio/audio_fixture.h"

namespace {

void ConfigureOpenAL() {
  static TempFolder config;
  setenv("ALSOFT_CONF", config.write("alsoft.conf", "[general]\nsources = 3\n").c_str(), 1);
  setenv("ALSOFT_DRIVERS", "none", 1);
}

// --- Without a device ------------------------------------------------------------

class NoDeviceTest : public AudioTest {
 protected:
  static void SetUpTestSuite() { ConfigureOpenAL(); }
};

TEST_F(NoDeviceTest, WithoutADeviceTheModuleIsInert) {
  Write("tone.wav", WavFile(Tone(440, kRate, kRate, 0.5), kRate));
  Start({}, false);
  EXPECT_FALSE(AudioAvailable());
  EXPECT_TRUE(LoggedError(
      "AudioStart - Unable to open the audio device.  Audio playback is not possible."));
  EXPECT_EQ(AudioOpen("tone.wav", kAudioKindSound, 0, 1), -1);
  AudioPlay(1);
  AudioUpdate();
  EXPECT_EQ(AudioGetStatus(1), kAudioStatusStopped);
  AudioVolumeSetMusic(0.5);
  EXPECT_EQ(AudioVolumeGetMusic(), 0.0);
  EXPECT_EQ(AudioFileGetMS("tone.wav"), 0);
  Stop();
  // Nothing to save without a device.
  EXPECT_FALSE(folder_.exists("settings.ini"));
}

// --- Emitter stealing under a limit of three sources -----------------------------

class StealTest : public AudioTest {
 protected:
  static void SetUpTestSuite() { ConfigureOpenAL(); }
  void SetUp() override { Start(); }

  // Opens a two-second tone of its own frequency.
  int32_t Open(double frequency, int32_t rating) {
    const std::string name = std::to_string(static_cast<int>(frequency)) + ".wav";
    Write(name, WavFile(Tone(frequency, kRate, 2 * kRate, 0.2), kRate));
    return AudioOpen(name, kAudioKindSound, 0, rating);
  }
  // Plays a sound 100 ms after the sound played before.
  static void PlayLater(int32_t id) {
    PlatformClockAdvance(100);
    AudioPlay(id);
  }
  int32_t Play(double frequency, int32_t rating) {
    const int32_t id = Open(frequency, rating);
    PlayLater(id);
    return id;
  }
  void ExpectStatuses(const std::vector<int32_t>& ids, const std::vector<int32_t>& statuses) {
    for (size_t i = 0; i < ids.size(); i++) {
      EXPECT_EQ(AudioGetStatus(ids[i]), statuses[i]) << "sound " << i;
    }
  }
};

constexpr int32_t kPlaying = kAudioStatusPlaying;
constexpr int32_t kStopped = kAudioStatusStopped;

TEST_F(StealTest, AMoreImportantSoundTakesTheEmitterOfTheLeastImportantOne) {
  const int32_t top = Play(300, 0);
  const int32_t low = Play(500, 5);
  const int32_t middle = Play(700, 2);
  const int32_t important = Play(900, 1);
  ExpectStatuses({top, low, middle, important}, {kPlaying, kStopped, kPlaying, kPlaying});
  const std::vector<float> out = Render(20000);
  EXPECT_NEAR(ToneLevel(out, 900), 0.2, 0.01);
  EXPECT_NEAR(ToneLevel(out, 700), 0.2, 0.01);
  EXPECT_LT(ToneLevel(out, 500), 0.01);
}

TEST_F(StealTest, TheEarlierStartDecidesOnlyBetweenEqualRatings) {
  // Ratings 5, 1, 1 in table order; both sounds of rating 1 started before
  // the one of rating 5, which still goes first.
  const int32_t low = Open(500, 5);
  const int32_t first = Open(300, 1);
  const int32_t second = Open(700, 1);
  for (int32_t id : {first, second, low}) {
    PlayLater(id);
  }
  const int32_t newest = Play(900, 1);
  ExpectStatuses({low, first, second, newest}, {kStopped, kPlaying, kPlaying, kPlaying});
  const std::vector<float> out = Render(20000);
  EXPECT_LT(ToneLevel(out, 500), 0.01);
  EXPECT_NEAR(ToneLevel(out, 300), 0.2, 0.01);
}

TEST_F(StealTest, SoundsAtLeastAsImportantKeepTheirEmitters) {
  const int32_t first = Play(300, 0);
  const int32_t second = Play(500, 0);
  const int32_t third = Play(700, 1);
  const int32_t late = Play(900, 2);
  ExpectStatuses({first, second, third, late}, {kPlaying, kPlaying, kPlaying, kStopped});
  EXPECT_LT(ToneLevel(Render(20000), 900), 0.01);
  EXPECT_EQ(Log().find("Unable to find emitter"), std::string::npos);
}

TEST_F(StealTest, APausedOrStoppedSoundCountsAsLessImportant) {
  for (bool pause : {true, false}) {
    const int32_t first = Play(300, 1);
    const int32_t idle = Play(500, 1);
    const int32_t third = Play(700, 1);
    if (pause) {
      AudioPause(idle);
    } else {
      AudioStop(idle);
    }
    const int32_t newest = Play(900, 1);
    ExpectStatuses({first, idle, third, newest}, {kPlaying, kStopped, kPlaying, kPlaying});
    AudioCloseAll();
  }
}

TEST_F(StealTest, AmongSoundsOfTopImportanceTheEarliestStartedLoses) {
  Write("a.wav", WavFile(Tone(300, kRate, 2 * kRate, 0.2), kRate));
  Write("b.wav", WavFile(Tone(500, kRate, 2 * kRate, 0.2), kRate));
  Write("c.wav", WavFile(Tone(700, kRate, 2 * kRate, 0.2), kRate));
  const int32_t a = AudioOpen("a.wav", kAudioKindSound, 0, 0);
  const int32_t b = AudioOpen("b.wav", kAudioKindSound, 0, 0);
  const int32_t c = AudioOpen("c.wav", kAudioKindSound, 0, 0);
  // Started in the order b, c, a; a stopped sound of rating 0 still counts 0,
  // so the stopped a keeps its emitter.
  for (int32_t id : {b, c, a}) {
    AudioPlay(id);
    PlatformClockAdvance(100);
  }
  AudioStop(a);
  const int32_t newest = Play(900, 0);
  ExpectStatuses({b, c, newest}, {kStopped, kPlaying, kPlaying});
  AudioPlay(a);
  ExpectStatuses({a, b, c, newest}, {kPlaying, kStopped, kPlaying, kPlaying});
  EXPECT_LT(ToneLevel(Render(20000), 500), 0.01);
}

TEST_F(StealTest, ClosingASoundFreesItsEmitter) {
  const int32_t first = Play(300, 0);
  int32_t second = Play(500, 0);
  const int32_t third = Play(700, 0);
  EXPECT_EQ(AudioSourceCount(), 3);
  AudioClose(second);
  EXPECT_EQ(AudioSoundCount(), 2);
  EXPECT_EQ(AudioSourceCount(), 2);
  const int32_t unimportant = Play(900, 9);
  ExpectStatuses({first, third, unimportant}, {kPlaying, kPlaying, kPlaying});
  // The diagnostics see every sound and source go with the sounds.
  EXPECT_EQ(AudioSoundCount(), 3);
  EXPECT_EQ(AudioSourceCount(), 3);
  AudioCloseAll();
  EXPECT_EQ(AudioSoundCount(), 0);
  EXPECT_EQ(AudioSourceCount(), 0);
}

}  // namespace
