// sndmake's files played by the game's audio module over OpenAL Soft's
// loopback device: the WAV sample for sample, the Ogg as the same tone.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "tests/framework/audio/audio_fixture.h"
#include "tools/sndmake/sndfile.h"

namespace {

class SndmakePlaybackTest : public AudioTest {
 protected:
  // Makes the recipe into the file in the program folder; the exit status.
  int Make(const std::string& recipe, const std::string& output) const {
    folder_.write("sound.txt", recipe);
    const std::string command =
        "cd '" + folder_.path() + "' && " SNDMAKE_BINARY " sound.txt " + output;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::vector<float> Play(const std::string& name, int32_t count) {
    int32_t id = AudioOpen(name, kAudioKindSound, 0, 1);
    EXPECT_NE(id, -1) << Log();
    AudioPlay(id);
    std::vector<float> out = Render(count);
    AudioClose(id);
    return out;
  }
};

TEST_F(SndmakePlaybackTest, TheGamePlaysTheWavExactlyAndTheOggAsTheSameTone) {
  const std::string recipe = "rate 44100\ntone sine 441 0.5 amp 0.5 env 0 0 1 0\n";
  ASSERT_EQ(Make(recipe, "tone.wav"), 0);
  ASSERT_EQ(Make(recipe, "tone.ogg"), 0);
  const std::string bytes = folder_.read("tone.wav");
  SndSamples sound;
  std::string error;
  ASSERT_TRUE(SndWavRead(std::vector<uint8_t>(bytes.begin(), bytes.end()), sound, error));
  ASSERT_EQ(sound.samples.size(), 22050u);
  Start();
  EXPECT_EQ(AudioFileGetMS("tone.wav"), 500);
  EXPECT_NEAR(static_cast<double>(AudioFileGetMS("tone.ogg")), 500.0, 1.0);

  const std::vector<float> wav = Play("tone.wav", 30000);
  EXPECT_LT(MaxDifference(Slice(wav, 0, 22050), Expected(sound.samples)), 1e-6);
  EXPECT_EQ(Rms(wav, 22050, 30000), 0.0);

  const std::vector<float> ogg = Play("tone.ogg", 30000);
  EXPECT_NEAR(ToneLevel(Slice(ogg, 1000, 21000), 441), 0.5, 0.01);
  EXPECT_LT(Rms(ogg, 23000, 30000), 1e-3);
  EXPECT_EQ(Log().find("Error:"), std::string::npos) << Log();
}

}  // namespace
