// The music's fades on the manual clock: tracks fading in, out and across,
// fades carried from one state's clock to another's, and fades with nothing
// left to do.
#include <gtest/gtest.h>

#include <cmath>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/state/state.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/support/testsupport.h"

namespace {

using audio_internal::SoundIndex;

constexpr const char* kA = "Bin\\Music\\A.wav";
constexpr const char* kB = "Bin\\Music\\B.wav";

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string tone = WavFile(Tone(440, 22050, 22050, 0.5), 22050);
    program_.write("Bin/Music/A.wav", tone);
    program_.write("Bin/Music/B.wav", tone);
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ModulesStart();
    ASSERT_TRUE(AudioAvailable());
    GameRegisterStates();
    StateSet(kStateGame);
  }
  void TearDown() override {
    GameMusicClear();
    ModulesStop();
    platform_.reset();
  }

  // The track's volume in percent after the frame's fade step, -1 once the
  // track has been closed.
  static int32_t Volume(const char* file) {
    const int32_t sound = GameMusicSound(file);
    return sound < 0 ? -1 : static_cast<int32_t>(std::lround(AudioVolumeGet(sound) * 100.0));
  }
  static void Frame(uint32_t advance) {
    PlatformClockAdvance(advance);
    GameMusicFadesUpdate();
  }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(MusicTest, TracksFadeInOutAndAcrossOnTheStateClock) {
  GameMusicPlay(kA, 1000);
  Frame(0);
  EXPECT_EQ(Volume(kA), 0);
  EXPECT_EQ(AudioGetStatus(GameMusicSound(kA)), kAudioStatusPlaying);
  Frame(250);
  EXPECT_EQ(Volume(kA), 25);
  Frame(750);
  EXPECT_EQ(Volume(kA), 100);

  // A at full fades out over the whole time while B comes in.
  GameMusicPlay(kB, 2000);
  Frame(500);
  EXPECT_EQ(Volume(kA), 75);
  EXPECT_EQ(Volume(kB), 25);
  // B turned back at 50 fades out over half the time; A, coming back from
  // 50, needs only half of it.
  Frame(500);
  const int32_t soundB = GameMusicSound(kB);
  GameMusicPlay(kA, 1000);
  Frame(250);
  EXPECT_EQ(Volume(kA), 75);
  EXPECT_EQ(Volume(kB), 25);
  Frame(250);
  EXPECT_EQ(Volume(kA), 100);
  EXPECT_EQ(Volume(kB), -1);  // faded out: closed and dropped
  EXPECT_EQ(SoundIndex(soundB), -1);

  GameMusicStop(400);
  Frame(100);
  EXPECT_EQ(Volume(kA), 75);
  Frame(300);
  EXPECT_EQ(Volume(kA), -1);
}

TEST_F(MusicTest, AFadeKeepsTheTimeItHasLeftOnTheNewStateClock) {
  GameMusicPlay(kA, 1000);
  Frame(400);
  ASSERT_EQ(Volume(kA), 40);
  // The room load's clock stands at 0: 600 ms are left to go from 40.
  StateSet(kStateRoomLoad);
  Frame(300);
  EXPECT_EQ(Volume(kA), 70);
  // Back on the game's clock (still at 400) with 300 ms left from 70.
  StateSet(kStateGame);
  Frame(150);
  EXPECT_EQ(Volume(kA), 85);
  Frame(150);
  EXPECT_EQ(Volume(kA), 100);
}

TEST_F(MusicTest, ACrossFadeGoesOnAcrossAStateChange) {
  GameMusicPlay(kA, 0);
  Frame(0);
  GameMusicPlay(kB, 1000);
  Frame(400);
  ASSERT_EQ(Volume(kA), 60);
  ASSERT_EQ(Volume(kB), 40);
  // On the room load's clock both keep the 600 ms they had left.
  StateSet(kStateRoomLoad);
  Frame(300);
  EXPECT_EQ(Volume(kA), 30);
  EXPECT_EQ(Volume(kB), 70);
  Frame(300);
  EXPECT_EQ(Volume(kA), -1);
  EXPECT_EQ(Volume(kB), 100);
}

TEST_F(MusicTest, AFadeWithNothingLeftTakesItsEndVolumeAtOnce) {
  // No fade time.
  GameMusicPlay(kA, 0);
  Frame(0);
  EXPECT_EQ(Volume(kA), 100);
  // The track already at full volume.
  GameMusicPlay(kA, 5000);
  Frame(10);
  EXPECT_EQ(Volume(kA), 100);

  // A fade whose end passed before the state changed: its end is 0 on the
  // new clock, where it starts too.
  GameMusicPlay(kB, 1000);
  Frame(500);
  ASSERT_EQ(Volume(kB), 50);
  PlatformClockAdvance(1000);
  StateSet(kStateRoomLoad);
  Frame(0);
  EXPECT_EQ(Volume(kB), 100);
  EXPECT_EQ(Volume(kA), -1);  // faded out over the same 1000 ms

  GameMusicStop(0);
  Frame(0);
  EXPECT_EQ(Volume(kB), -1);
}

TEST_F(MusicTest, ClearingTheFadesClosesTheTracks) {
  GameMusicPlay(kA, 1000);
  GameMusicPlay(kB, 1000);
  const int32_t soundA = GameMusicSound(kA);
  const int32_t soundB = GameMusicSound(kB);
  ASSERT_NE(SoundIndex(soundA), -1);
  GameMusicClear();
  EXPECT_EQ(SoundIndex(soundA), -1);
  EXPECT_EQ(SoundIndex(soundB), -1);
  EXPECT_EQ(GameMusicSound(kA), -1);
}

}  // namespace
