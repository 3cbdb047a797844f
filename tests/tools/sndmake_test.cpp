// The sndmake tool run as a program: the samples of tones, sequences, mixes
// and noise read back from its WAV files, its Ogg files decoded by
// libvorbisfile, and faults reported as recipe:line with status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"
#include "tools/sndmake/sndfile.h"

namespace {

using ::testing::HasSubstr;

struct ToolRun {
  int exitCode = -1;
  std::string err;
};

class SndmakeTest : public ::testing::Test {
 protected:
  // Runs the tool in the work folder (arguments here hold no quotes).
  ToolRun Run(const std::vector<std::string>& args) const {
    std::string command = "cd '" + work_.path() + "' && " SNDMAKE_BINARY;
    for (const std::string& arg : args) {
      command += " '" + arg + "'";
    }
    command += " 2>err.txt";
    const int status = std::system(command.c_str());
    return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, work_.read("err.txt")};
  }
  // Makes the recipe into a WAV and reads its samples back.
  SndSamples Make(const std::string& recipe) const {
    work_.write("sound.txt", recipe);
    const ToolRun run = Run({"sound.txt", "sound.wav"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = work_.read("sound.wav");
    SndSamples sound;
    std::string error;
    EXPECT_TRUE(SndWavRead(std::vector<uint8_t>(bytes.begin(), bytes.end()), sound, error))
        << error;
    return sound;
  }

  TempFolder work_;
};

// Sign changes between neighbouring samples of [from, to).
int32_t ZeroCrossings(const std::vector<int16_t>& samples, size_t from, size_t to) {
  int32_t count = 0;
  for (size_t i = from + 1; i < to; ++i) {
    count += (samples[i - 1] < 0) != (samples[i] < 0) ? 1 : 0;
  }
  return count;
}

int32_t Peak(const std::vector<int16_t>& samples) {
  int32_t peak = 0;
  for (const int16_t s : samples) {
    peak = std::max(peak, std::abs(static_cast<int32_t>(s)));
  }
  return peak;
}

TEST_F(SndmakeTest, ToneHasItsFrequencyAmplitudeAndEnvelope) {
  SndSamples sound = Make("rate 44100\ntone sine 441 1 amp 0.5 env 0 0 1 0\n");
  EXPECT_EQ(sound.rate, 44100);
  ASSERT_EQ(sound.samples.size(), 44100u);
  // 441 periods: two zero crossings each.
  EXPECT_NEAR(ZeroCrossings(sound.samples, 0, sound.samples.size()), 882, 1);
  EXPECT_EQ(Peak(sound.samples), 16384);  // 0.5 of full scale
  EXPECT_EQ(sound.samples[0], 0);         // sine from phase 0

  // A glide an octave down falls by equal ratios: 800 x 2^-t Hz.
  sound = Make("rate 44100\ntone triangle 800 1 to 400 env 0 0 1 0\n");
  const int32_t first = ZeroCrossings(sound.samples, 0, 4410);
  const int32_t last = ZeroCrossings(sound.samples, 39690, 44100);
  EXPECT_NEAR(first, 155, 2);  // 2 x the integral of 800 x 2^-t over [0, 0.1]
  EXPECT_NEAR(last, 83, 2);    // and over [0.9, 1]

  // Attack to full over half a second, decay to half, release to silence.
  sound = Make("rate 8000\ntone square 100 2 amp 1 env 0.5 0.5 0.5 0.5\n");
  ASSERT_EQ(sound.samples.size(), 16000u);
  EXPECT_EQ(std::abs(sound.samples[2000]), 16384);   // halfway up
  EXPECT_EQ(std::abs(sound.samples[6000]), 24575);   // halfway down to the sustain
  EXPECT_EQ(std::abs(sound.samples[10000]), 16384);  // sustained
  EXPECT_EQ(std::abs(sound.samples[14000]), 8192);   // halfway released
}

TEST_F(SndmakeTest, SequencesFollowOneAnotherAndOverlapsMix) {
  const SndSamples sound = Make(
      "rate 8000\n"
      "tone square 100 0.5 amp 0.25 env 0 0 1 0\n"
      "rest 0.25\n"
      "tone square 100 0.25 amp 0.25 env 0 0 1 0\n"
      "# mixed into the start\n"
      "tone square 100 0.25 amp 0.25 env 0 0 1 0 at 0\n");
  ASSERT_EQ(sound.samples.size(), 8000u);
  const auto level = [&](size_t from, size_t to) {
    int32_t low = 1 << 20, high = 0;
    for (size_t i = from; i < to; ++i) {
      low = std::min(low, std::abs(static_cast<int32_t>(sound.samples[i])));
      high = std::max(high, std::abs(static_cast<int32_t>(sound.samples[i])));
    }
    return std::pair{low, high};
  };
  EXPECT_EQ(level(0, 2000), std::pair(16384, 16384));  // two in phase
  EXPECT_EQ(level(2000, 4000), std::pair(8192, 8192));
  EXPECT_EQ(level(4000, 6000), std::pair(0, 0));  // the rest
  EXPECT_EQ(level(6000, 8000), std::pair(8192, 8192));
}

TEST_F(SndmakeTest, NoiseFollowsItsSeedAndItsColour) {
  const std::string white = "rate 22050\nnoise white 1 amp 1\n";
  const SndSamples a = Make(white);
  const SndSamples b = Make(white);
  EXPECT_EQ(a.samples, b.samples);
  EXPECT_NE(Make("rate 22050\nnoise white 1 amp 1 seed 2\n").samples, a.samples);
  // White noise crosses zero about every other sample; brown noise and
  // low-passed white noise far less often, high-passed white more.
  const int32_t whiteCrossings = ZeroCrossings(a.samples, 0, a.samples.size());
  EXPECT_NEAR(whiteCrossings, 11025, 500);
  const SndSamples brown = Make("rate 22050\nnoise brown 1 amp 1\n");
  EXPECT_LT(ZeroCrossings(brown.samples, 0, brown.samples.size()), whiteCrossings / 5);
  EXPECT_GT(Peak(brown.samples), 3000);
  const SndSamples low = Make("rate 22050\nnoise white 1 amp 1 lowpass 300\n");
  EXPECT_LT(ZeroCrossings(low.samples, 0, low.samples.size()), whiteCrossings / 3);
  const SndSamples high = Make("rate 22050\nnoise white 1 amp 1 highpass 8000\n");
  EXPECT_GT(ZeroCrossings(high.samples, 0, high.samples.size()), whiteCrossings);
}

// The decoded samples of an Ogg file.
std::vector<float> Decode(const std::string& path, long& rate) {
  OggVorbis_File file;
  std::vector<float> samples;
  if (ov_fopen(path.c_str(), &file) != 0) {
    return samples;
  }
  rate = ov_info(&file, -1)->rate;
  float** pcm = nullptr;
  int section = 0;
  long count = 0;
  while ((count = ov_read_float(&file, &pcm, 1024, &section)) > 0) {
    samples.insert(samples.end(), pcm[0], pcm[0] + count);
  }
  ov_clear(&file);
  return samples;
}

TEST_F(SndmakeTest, OggDecodesToTheSameSoundAndWavConvertsTheSame) {
  work_.write("tone.txt", "rate 44100\ntone sine 441 1.3 amp 0.5 env 0.01 0 1 0.01\n");
  ASSERT_EQ(Run({"tone.txt", "tone.ogg"}).exitCode, 0);
  ASSERT_EQ(Run({"tone.txt", "tone.wav"}).exitCode, 0);
  long rate = 0;
  const std::vector<float> decoded = Decode(work_.path() + "tone.ogg", rate);
  EXPECT_EQ(rate, 44100);
  ASSERT_NEAR(static_cast<double>(decoded.size()), 57330.0, 2048.0);
  // Away from the ramps the decoded wave is the tone.
  const std::string wavBytes = work_.read("tone.wav");
  SndSamples wav;
  std::string error;
  ASSERT_TRUE(SndWavRead(std::vector<uint8_t>(wavBytes.begin(), wavBytes.end()), wav, error));
  double worst = 0;
  for (size_t i = 2000; i < 50000; ++i) {
    worst = std::max(worst, std::abs(decoded[i] - wav.samples[i] / 32768.0));
  }
  EXPECT_LT(worst, 0.02);

  // --ogg encodes the WAV to the very bytes the recipe's Ogg has.
  ToolRun run = Run({"--ogg", "tone.wav", "again.ogg"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(work_.read("again.ogg"), work_.read("tone.ogg"));
  // A stereo WAV is mixed down to mono.
  std::vector<int16_t> stereo;
  for (const int16_t s : wav.samples) {
    stereo.insert(stereo.end(), {s, static_cast<int16_t>(-s / 2)});
  }
  std::vector<uint8_t> bytes = SndWavBytes(SndSamples{44100, stereo});
  bytes[22] = 2;  // channels
  bytes[32] = 4;  // bytes per frame
  SndSamples mixed;
  ASSERT_TRUE(SndWavRead(bytes, mixed, error)) << error;
  ASSERT_EQ(mixed.samples.size(), wav.samples.size());
  EXPECT_EQ(mixed.samples[1000], (wav.samples[1000] - wav.samples[1000] / 2) / 2);
}

TEST_F(SndmakeTest, FaultsNameTheRecipeLineAndWriteNothing) {
  const struct {
    const char* recipe;
    const char* message;
  } cases[] = {
      {"rate 22050\n\n# x\nbeep 440 1\n", "bad.txt:4: error: unknown command \"beep\""},
      {"tone sine 30000 1\n", "bad.txt:1: error: the frequency 30000 is not within 1-11025"},
      {"tone sine 440 1 amp 2\n", "bad.txt:1: error: the amplitude 2 is not within 0-1"},
      {"tone sine 440 1\nrate 8000\n", "bad.txt:2: error: rate comes before the sounds"},
      {"noise pink 1\n", "bad.txt:1: error: \"pink\" is not white or brown"},
      {"noise white 1 to 400\n", "bad.txt:1: error: \"to\" is not an option of noise"},
      {"tone saw 440 abc\n", "bad.txt:1: error: the seconds \"abc\" is not a number"},
      {"tone saw 440 1 env 0 0 1\n", "bad.txt:1: error: tone needs the release"},
      {"tone saw 440 500\ntone saw 440 200\n", "bad.txt:2: error: the sound would pass 600"},
      {"rest 1\n", "bad.txt: error: the recipe has no sound"},
  };
  for (const auto& c : cases) {
    work_.write("bad.txt", c.recipe);
    const ToolRun run = Run({"bad.txt", "bad.wav"});
    EXPECT_EQ(run.exitCode, 1) << c.recipe;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.recipe;
    EXPECT_FALSE(work_.exists("bad.wav")) << c.recipe;
  }
  work_.write("notwav.wav", "RIFF....WAVEjunk");
  ToolRun run = Run({"--ogg", "notwav.wav", "out.ogg"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "notwav.wav: error: the WAV file has no format chunk before its data chunk\n");
  EXPECT_EQ(Run({"--ogg", "notwav.wav", "out.wav"}).exitCode, 2);
}

// A WAV file cut at every length, or claiming more data than it has, is
// read only as far as its bytes go.
TEST(SndWavTest, CutAndOverstatedFilesAreReadWithinTheirBytes) {
  const std::vector<uint8_t> bytes = SndWavBytes(SndSamples{8000, {1, -2, 3, -4, 5}});
  SndSamples sound;
  std::string error;
  for (size_t length = 0; length <= bytes.size(); ++length) {
    const bool read =
        SndWavRead(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length), sound, error);
    EXPECT_EQ(read, length >= 44) << length;
    if (read) {
      EXPECT_EQ(sound.samples.size(), (length - 44) / 2) << length;
    }
  }
  std::vector<uint8_t> overstated = bytes;
  overstated[40] = overstated[41] = overstated[42] = overstated[43] = 0xFF;
  ASSERT_TRUE(SndWavRead(overstated, sound, error));
  EXPECT_EQ(sound.samples, (std::vector<int16_t>{1, -2, 3, -4, 5}));
}

}  // namespace
