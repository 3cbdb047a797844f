// Playback through the loopback device: what is rendered is compared with the
// samples of the files the tests wrote.
#include <cmath>
#include <limits>

#include "framework/audio/audio.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/framework/audio/audio_fixture.h"

namespace {

constexpr double kExact = 1e-6;

class PlaybackTest : public AudioTest {
 protected:
  void SetUp() override {
    Write("Bin\\Sounds\\Tone.wav", WavFile(tone_, kRate));
    Start();
    id_ = AudioOpen("Bin\\Sounds\\Tone.wav", kAudioKindSound, 0, 1);
    ASSERT_GT(id_, 0);
  }
  std::vector<float> Part(size_t from, size_t to) const { return Slice(expected_, from, to); }

  const std::vector<int16_t> tone_ = Tone(440, kRate, 100000, 0.5);
  const std::vector<float> expected_ = Expected(tone_);
  int32_t id_ = -1;
};

// --- Streaming -------------------------------------------------------------------

TEST_F(PlaybackTest, ASoundStreamsAllItsSamplesAndStopsAtItsEnd) {
  // 100000 samples fill almost five buffers, so AudioUpdate refills them.
  AudioPlay(id_);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPlaying);
  const std::vector<float> out = Render(130000);
  EXPECT_LT(MaxDifference(Slice(out, 0, 100000), expected_), kExact);
  EXPECT_EQ(Rms(out, 100000, 130000), 0.0);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusStopped);
}

TEST_F(PlaybackTest, AStreamThatRanDryInAStallPlaysOnAndAPausedOneStaysPaused) {
  Write("other.wav", WavFile(Tone(660, kRate, 50000, 0.25), kRate));
  const int32_t paused = AudioOpen("other.wav", kAudioKindMusic, 0, 1);
  AudioPlay(id_);
  AudioPlay(paused);
  Render(1000);
  AudioPause(paused);
  // Three seconds without AudioUpdate: the four queued buffers (81920
  // samples) run out and OpenAL stops the source.
  std::vector<float> stall(3 * kRate);
  AudioLoopbackRender(stall.data(), 3 * kRate);
  EXPECT_LT(MaxDifference(Slice(stall, 0, 80920), Part(1000, 81920)), kExact);
  EXPECT_EQ(Rms(stall, 80920, stall.size()), 0.0);
  // It still counts as playing, so the shell's pause holds it (and the paused
  // sound) through the next updates; the resume goes on where the queue
  // ended, and the sound ends as usual. The other sound is never restarted.
  AudioPausePlaying();
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPaused);
  EXPECT_EQ(Rms(Render(5000), 0, 5000), 0.0);
  AudioResumePaused();
  const std::vector<float> out = Render(30000);
  EXPECT_LT(MaxDifference(Slice(out, 0, 18080), Part(81920, 100000)), kExact);
  EXPECT_EQ(Rms(out, 18080, out.size()), 0.0);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusStopped);
  EXPECT_EQ(AudioGetStatus(paused), kAudioStatusPaused);
}

TEST_F(AudioTest, AShortSoundPlaysOnceAndAgainInFullWhenReplayed) {
  const std::vector<int16_t> tone = Tone(440, kRate, 3000, 0.5);
  Write("short.wav", WavFile(tone, kRate));
  Start();
  const int32_t id = AudioOpen("short.wav", kAudioKindSound, 0, 1);
  for (int run = 0; run < 2; run++) {
    AudioPlay(id);
    const std::vector<float> out = Render(20000);
    EXPECT_LT(MaxDifference(Slice(out, 0, 3000), Expected(tone)), kExact) << run;
    EXPECT_EQ(Rms(out, 3000, 20000), 0.0) << run;
    EXPECT_EQ(AudioGetStatus(id), kAudioStatusStopped) << run;
  }
}

// --- Play, pause, resume, stop ---------------------------------------------------

TEST_F(PlaybackTest, PlayIsIgnoredWhilePlayingAndRestartsAPausedSound) {
  AudioPlay(id_);
  Render(1037);
  AudioPlay(id_);
  EXPECT_LT(MaxDifference(Render(1000), Part(1037, 2037)), kExact);
  AudioPause(id_);
  AudioPlay(id_);
  EXPECT_LT(MaxDifference(Render(1000), Part(0, 1000)), kExact);
}

TEST_F(PlaybackTest, PauseSilencesAndResumeContinuesWhereItStopped) {
  AudioPlay(id_);
  Render(1037);
  AudioPause(id_);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPaused);
  EXPECT_EQ(Rms(Render(5000), 0, 5000), 0.0);
  AudioResume(id_);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPlaying);
  EXPECT_LT(MaxDifference(Render(1000), Part(1037, 2037)), kExact);
}

TEST_F(PlaybackTest, StopSilencesAndPlayStartsAgainFromTheBeginning) {
  AudioPlay(id_);
  Render(3000);
  AudioStop(id_);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusStopped);
  EXPECT_EQ(Rms(Render(3000), 0, 3000), 0.0);
  AudioPlay(id_);
  EXPECT_LT(MaxDifference(Render(2000), Part(0, 2000)), kExact);
}

TEST_F(PlaybackTest, PausePlayingResumesOnlyWhatItPaused) {
  Write("other.wav", WavFile(Tone(660, kRate, 50000, 0.25), kRate));
  const int32_t other = AudioOpen("other.wav", kAudioKindMusic, 0, 1);
  AudioPlay(id_);
  AudioPlay(other);
  Render(2000);
  AudioPause(other);
  AudioPausePlaying();
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPaused);
  AudioResumePaused();
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(other), kAudioStatusPaused);
  // Remembered sounds are resumed once only.
  AudioPause(id_);
  AudioResumePaused();
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPaused);
}

TEST_F(PlaybackTest, PauseAllAndResumeAllReachEveryEmitter) {
  Write("other.wav", WavFile(Tone(660, kRate, 50000, 0.25), kRate));
  const int32_t other = AudioOpen("other.wav", kAudioKindMusic, 0, 1);
  AudioPlay(id_);
  AudioPlay(other);
  Render(2000);
  AudioPauseAll();
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPaused);
  EXPECT_EQ(AudioGetStatus(other), kAudioStatusPaused);
  EXPECT_EQ(Rms(Render(2000), 0, 2000), 0.0);
  AudioResumeAll();
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusPlaying);
  EXPECT_EQ(AudioGetStatus(other), kAudioStatusPlaying);
  EXPECT_GT(Rms(Render(2000), 0, 2000), 0.3);
}

TEST_F(PlaybackTest, ClosingSetsTheIdToMinusOneAndSilencesTheSound) {
  AudioPlay(id_);
  Render(1000);
  int32_t id = id_;
  AudioClose(id);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(AudioGetStatus(id_), kAudioStatusStopped);
  EXPECT_EQ(Rms(Render(2000), 0, 2000), 0.0);
  int32_t unknown = 12345;
  AudioClose(unknown);
  EXPECT_EQ(unknown, -1);
}

// --- Looping ---------------------------------------------------------------------

// 441 Hz at 44.1 kHz repeats every 100 samples; 12300 samples hold whole
// periods but are not a multiple of a 20480-sample buffer, so the loop point
// falls inside buffers. The cosine starts at its peak, so a gap would jump.
const std::vector<int16_t> kLoopTone = Tone(441, kRate, 12300, 0.5);

double LargestStep(const std::vector<float>& signal) {
  double largest = 0;
  for (size_t i = 1; i < signal.size(); i++) {
    largest = std::max(largest, std::fabs(static_cast<double>(signal[i]) - signal[i - 1]));
  }
  return largest;
}

TEST_F(AudioTest, ALoopingWavRepeatsWithoutGapOrClick) {
  Write("loop.wav", WavFile(kLoopTone, kRate));
  Start();
  const int32_t id = AudioOpen("loop.wav", kAudioKindSound, 1, 1);
  AudioPlay(id);
  const std::vector<float> out = Render(3 * kRate);
  const std::vector<float> once = Expected(kLoopTone);
  std::vector<float> repeated(out.size());
  for (size_t i = 0; i < out.size(); i++) {
    repeated[i] = once[i % once.size()];
  }
  EXPECT_LT(MaxDifference(out, repeated), kExact);
  EXPECT_LE(LargestStep(out), LargestStep(repeated) + kExact);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
}

TEST_F(AudioTest, ALoopingOggRepeatsPastItsLength) {
  Write("loop.ogg", OggFile(kLoopTone, kRate));
  Start();
  const int32_t id = AudioOpen("loop.ogg", kAudioKindMusic, 1, 1);
  AudioPlay(id);
  const std::vector<float> out = Render(5 * 12300);
  for (size_t frame = 0; frame + kFrameSamples <= out.size(); frame += kFrameSamples) {
    ASSERT_GT(Rms(out, frame, frame + kFrameSamples), 0.3) << "silent frame at " << frame;
  }
  EXPECT_NEAR(ToneLevel(Slice(out, 4 * 12300, 5 * 12300), 441), 0.5, 0.05);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
}

// --- Volumes ---------------------------------------------------------------------

TEST_F(AudioTest, HalfTheSoundVolumeHalvesTheOutput) {
  Write("tone.wav", WavFile(Tone(440, kRate, kRate, 1.0), kRate));
  Start();
  int32_t id = AudioOpen("tone.wav", kAudioKindSound, 0, 1);
  AudioPlay(id);
  const double full = Rms(Render(kRate), 4410, kRate);
  Stop();
  Write("settings.ini", "[Audio]\r\nSound Volume=50\r\nMaster Volume=100\r\n");
  Start();
  id = AudioOpen("tone.wav", kAudioKindSound, 0, 1);
  AudioPlay(id);
  const double half = Rms(Render(kRate), 4410, kRate);
  EXPECT_NEAR(half / full, 0.5, 0.5 * 0.02);
}

TEST_F(PlaybackTest, ACategoryChangeReachesAPlayingSoundAtOnce) {
  AudioPlay(id_);
  const double before = Rms(Render(4410), 441, 4410);
  AudioVolumeSetSound(0.5);
  const double after = Rms(Render(4410), 441, 4410);
  EXPECT_NEAR(after / before, 0.5, 0.5 * 0.02);
  // Music is another category.
  AudioVolumeSetMusic(0.1);
  EXPECT_NEAR(Rms(Render(4410), 441, 4410) / before, 0.5, 0.5 * 0.02);
}

TEST_F(AudioTest, AVoiceGainIsItsVolumeTimesTheCategories) {
  const std::vector<int16_t> tone = Tone(440, kRate, 20000, 0.5);
  Write("voice.wav", WavFile(tone, kRate));
  Write("settings.ini", "[Audio]\r\nMaster Volume=50\r\nApp Volume=100\r\n");
  Start();
  AudioVolumeSetVoice(0.5);
  const int32_t id = AudioOpen("voice.wav", kAudioKindVoice, 0, 1);
  AudioVolumeSet(id, 0.8);
  EXPECT_DOUBLE_EQ(AudioVolumeGet(id), 0.8);
  AudioPlay(id);
  std::vector<float> expected = Expected(tone);
  for (float& sample : expected) {
    sample *= 0.2f;
  }
  EXPECT_LT(MaxDifference(Slice(Render(20000), 4410, 20000), Slice(expected, 4410, 20000)), 1e-5);
}

TEST_F(AudioTest, VolumesAreClampedAndSavedAsWholePercentages) {
  Start();
  AudioVolumeSetSound(1.7);
  EXPECT_EQ(AudioVolumeGetSound(), 1.0);
  AudioVolumeSetApp(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(AudioVolumeGetApp(), 0.0);
  AudioVolumeSetMusic(0.125);
  AudioVolumeSetVoice(0.5);
  Stop();
  const std::string settings = folder_.read("settings.ini");
  for (const char* line : {"App Volume=0", "Master Volume=100", "Music Volume=12",
                           "Sound Volume=100", "Voice Volume=50"}) {
    EXPECT_NE(settings.find(line), std::string::npos) << line << " in " << settings;
  }
}

// --- Content files ---------------------------------------------------------------

TEST_F(AudioTest, AnOggInsideAnArchivePlays) {
  WriteArchive("Sounds.qma", "Bin\\Sounds\\Tone.ogg", OggFile(Tone(440, kRate, kRate, 0.5), kRate));
  Start();
  const int32_t id = AudioOpen("bin\\sounds\\tone.ogg", kAudioKindMusic, 0, 1);
  ASSERT_GT(id, 0);
  AudioPlay(id);
  const std::vector<float> out = Render(kRate + 10000);
  EXPECT_NEAR(ToneLevel(Slice(out, 2000, 40000), 440), 0.5, 0.03);
  EXPECT_EQ(Rms(out, kRate + 100, kRate + 10000), 0.0);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusStopped);
  EXPECT_EQ(AudioFileGetMS("Bin\\Sounds\\Tone.ogg"), 1000);
}

TEST_F(AudioTest, APatchSetOverridesTheArchivedSound) {
  WriteArchive("Sounds.qma", "Bin\\Sounds\\Tone.ogg", OggFile(Tone(440, kRate, kRate, 0.5), kRate));
  Write("Patch000001\\Bin\\Sounds\\Tone.ogg", OggFile(Tone(660, kRate, kRate, 0.5), kRate));
  Start();
  const int32_t id = AudioOpen("Bin\\Sounds\\Tone.ogg", kAudioKindMusic, 0, 1);
  AudioPlay(id);
  const std::vector<float> out = Slice(Render(30000), 2000, 30000);
  EXPECT_NEAR(ToneLevel(out, 660), 0.5, 0.03);
  EXPECT_LT(ToneLevel(out, 440), 0.02);
}

TEST_F(AudioTest, UnknownExtensionsAndMissingFilesAreRefused) {
  Write("tune.mp3", "not audio");
  Start();
  EXPECT_EQ(AudioOpen("tune.mp3", kAudioKindMusic, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioOpen - Unrecognized file extension \".MP3\".  Sound not loaded."));
  EXPECT_EQ(AudioOpen("missing.wav", kAudioKindSound, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioWavOpen - Unable to open file \"missing.wav\"."));
  EXPECT_TRUE(LoggedError("AudioOpen - Audio file \"missing.wav\" could not be opened."));
  EXPECT_EQ(AudioOpen("missing.ogg", kAudioKindSound, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioOggOpen - Unable to open file \"missing.ogg\"."));
}

}  // namespace
