// The stream readers on damaged and unusual files, durations, and the PCM
// dump: a broken file is refused or plays what it really holds, and the game
// goes on.
#include "framework/audio/audio.h"
#include "tests/framework/audio/audio_files.h"
#include "tests/framework/audio/audio_fixture.h"

namespace {

const std::vector<int16_t> kTone = Tone(440, kRate, 8000, 0.5);

class StreamTest : public AudioTest {
 protected:
  // Plays a sound for `samples` and returns what was rendered.
  std::vector<float> Play(int32_t id, int32_t samples) {
    AudioPlay(id);
    return Render(samples);
  }
  void ExpectRefusedFormat(const std::string& name) {
    EXPECT_EQ(AudioOpen(name, kAudioKindSound, 0, 1), -1) << name;
    EXPECT_TRUE(LoggedError("AudioWavOpen - Wave file \"" + name +
                            "\" does not contain 16-bit mono sound data."))
        << name;
    EXPECT_TRUE(LoggedError("AudioOpen - Audio file \"" + name + "\" could not be opened."))
        << name;
  }
};

// --- WAV layouts ---------------------------------------------------------------------

TEST_F(StreamTest, WavFilesOtherThan16BitMonoAreRefused) {
  WavFormat stereo, eightBit, noRate;
  stereo.channels = 2;
  eightBit.bits = 8;
  noRate.rate = 0;
  const std::string data = WavChunk("data", SampleBytes(kTone));
  Write("stereo.wav", RiffFile({FormatChunk(stereo), data}));
  Write("8bit.wav", RiffFile({FormatChunk(eightBit), data}));
  Write("0hz.wav", RiffFile({FormatChunk(noRate), data}));
  Write("datafirst.wav", RiffFile({data, FormatChunk(WavFormat{})}));
  Start();
  for (const char* name : {"stereo.wav", "8bit.wav", "0hz.wav", "datafirst.wav"}) {
    ExpectRefusedFormat(name);
  }
}

TEST_F(StreamTest, ShortHeadersAreRefused) {
  const std::string file = WavFile(kTone, kRate);
  Write("riff.wav", file.substr(0, 8));
  Write("head.wav", file.substr(0, 30));
  Start();
  EXPECT_EQ(AudioOpen("riff.wav", kAudioKindSound, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioWavOpen - Unable to read file header of wav file \"riff.wav\"."));
  EXPECT_EQ(AudioOpen("head.wav", kAudioKindSound, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioWavOpen - Unable to read head of wave file \"head.wav\"."));
}

TEST_F(StreamTest, AListChunkBeforeTheDataPlaysNormally) {
  const std::string list = WavChunk("LIST", "INFOISFT\x06\0\0\0tests\0", -1);
  Write("list.wav",
        RiffFile({FormatChunk(WavFormat{}), list, WavChunk("data", SampleBytes(kTone))}));
  Start();
  const int32_t id = AudioOpen("list.wav", kAudioKindSound, 0, 1);
  EXPECT_LT(MaxDifference(Play(id, 8000), Expected(kTone)), 1e-6);
}

TEST_F(StreamTest, DataSizesPastTheEndPlayUpToTheRealEnd) {
  const std::string samples = SampleBytes(kTone);
  // A size past the end, the largest size a 32-bit field holds, and an odd
  // size that would split the last sample.
  Write("long.wav", RiffFile({FormatChunk(WavFormat{}), WavChunk("data", samples, 1000000)}));
  Write("4gib.wav", RiffFile({FormatChunk(WavFormat{}), WavChunk("data", samples, 0xFFFFFFFF)}));
  Write("odd.wav", RiffFile({FormatChunk(WavFormat{}), WavChunk("data", samples + "\x01", -1)}));
  Start();
  for (const char* name : {"long.wav", "4gib.wav", "odd.wav"}) {
    const int32_t id = AudioOpen(name, kAudioKindSound, 0, 1);
    ASSERT_GT(id, 0) << name;
    const std::vector<float> out = Play(id, 20000);
    EXPECT_LT(MaxDifference(Slice(out, 0, 8000), Expected(kTone)), 1e-6) << name;
    EXPECT_EQ(Rms(out, 8000, 20000), 0.0) << name;
    EXPECT_EQ(AudioGetStatus(id), kAudioStatusStopped) << name;
    // The duration counts the samples the file really holds.
    EXPECT_EQ(AudioFileGetMS(name), 8000 * 1000 / kRate) << name;
  }
}

TEST_F(StreamTest, ALoopingWavWithADeclaredSizePastTheEndWrapsAtTheRealEnd) {
  Write("loop.wav",
        RiffFile({FormatChunk(WavFormat{}), WavChunk("data", SampleBytes(kTone), 0xFFFFFFF0)}));
  Start();
  const int32_t id = AudioOpen("loop.wav", kAudioKindSound, 1, 1);
  const std::vector<float> out = Play(id, 16000);
  EXPECT_LT(MaxDifference(Slice(out, 8000, 16000), Expected(kTone)), 1e-6);
}

size_t CountLines(const std::string& text, const std::string& start) {
  size_t count = 0;
  for (const std::string& line : SplitLines(text)) {
    count += line.rfind(start, 0) == 0 ? 1 : 0;
  }
  return count;
}

TEST_F(StreamTest, OddChunksArePaddedOrNotAndAChunkPastTheEndEndsTheWalkOnce) {
  // A 25-byte "LIST" chunk, as sound editors write it: RIFF pads it to an
  // even size, some writers leave the pad byte out.
  const std::string info = std::string("INFOISFT\x0d\0\0\0", 12) + "Tone Editor" + '\0' + '\0';
  ASSERT_EQ(info.size(), 25u);
  const std::string format = FormatChunk(WavFormat{});
  const std::string data = WavChunk("data", SampleBytes(kTone));
  const std::string padded = RiffFile({format, WavChunk("LIST", info) + '\0', data});
  Write("padded.wav", padded);
  Write("unpadded.wav", RiffFile({format, WavChunk("LIST", info), data}));
  // Cut inside the LIST chunk.
  Write("cut.wav", padded.substr(0, 12 + format.size() + 20));
  Start();
  for (const char* name : {"padded.wav", "unpadded.wav"}) {
    const int32_t id = AudioOpen(name, kAudioKindSound, 0, 1);
    EXPECT_LT(MaxDifference(Play(id, 10000), Expected(kTone)), 1e-6) << name;
    EXPECT_EQ(AudioFileGetMS(name), 8000 * 1000 / kRate) << name;
  }
  EXPECT_EQ(CountLines(Log(), "Error: AudioWav"), 0u) << Log();
  const int32_t cut = AudioOpen("cut.wav", kAudioKindSound, 0, 1);
  ASSERT_GT(cut, 0);
  EXPECT_EQ(Rms(Play(cut, 5000), 0, 5000), 0.0);
  EXPECT_EQ(AudioGetStatus(cut), kAudioStatusStopped);
  EXPECT_TRUE(LoggedError("AudioWavSeekData - Unable to seek past chunk \"LIST\" in \"cut.wav\"."));
  EXPECT_EQ(CountLines(Log(), "Error: AudioWav"), 1u) << Log();
}

TEST_F(StreamTest, AFileWithoutDataIsSilent) {
  Write("nodata.wav", RiffFile({FormatChunk(WavFormat{})}));
  Write("empty.wav", RiffFile({FormatChunk(WavFormat{}), WavChunk("data", "")}));
  Start();
  const int32_t noData = AudioOpen("nodata.wav", kAudioKindSound, 0, 1);
  EXPECT_EQ(Rms(Play(noData, 2000), 0, 2000), 0.0);
  EXPECT_EQ(AudioGetStatus(noData), kAudioStatusStopped);
  EXPECT_TRUE(LoggedError("AudioWavSeekData - No \"data\" chunk in \"nodata.wav\"."));
  // A looping sound with nothing to loop ends instead of searching forever.
  const int32_t empty = AudioOpen("empty.wav", kAudioKindSound, 1, 1);
  EXPECT_EQ(Rms(Play(empty, 2000), 0, 2000), 0.0);
  EXPECT_EQ(AudioGetStatus(empty), kAudioStatusStopped);
  EXPECT_TRUE(LoggedError("AudioWavBufferData - Wave file \"empty.wav\" contains no data."));
}

// --- Damaged Ogg Vorbis -----------------------------------------------------------------

TEST_F(StreamTest, AStereoOrNonVorbisOggIsRefused) {
  std::vector<int16_t> stereo;
  for (int16_t sample : kTone) {
    stereo.insert(stereo.end(), {sample, sample});
  }
  Write("stereo.ogg", OggFile(stereo, kRate, 2));
  Write("text.ogg", std::string(5000, 'x'));
  Start();
  EXPECT_EQ(AudioOpen("stereo.ogg", kAudioKindMusic, 0, 1), -1);
  EXPECT_TRUE(LoggedError(
      "AudioOggOpen - Ogg Vorbis file \"stereo.ogg\" does not contain 16-bit mono sound data."));
  EXPECT_TRUE(LoggedError("AudioOpen - Audio file \"stereo.ogg\" could not be opened."));
  EXPECT_EQ(AudioOpen("text.ogg", kAudioKindMusic, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioOggOpen - Could not open Ogg Vorbis callbacks.  RC = -132"));
}

// Four seconds of a 440 Hz tone over light noise: about ten Ogg pages.
std::string NoisyOgg() {
  return OggFile(WithNoise(Tone(440, kRate, 4 * kRate, 0.5), 0.05), kRate);
}

// The index after the last sample that is not silent.
size_t SoundEnd(const std::vector<float>& out) {
  size_t end = out.size();
  while (end > 0 && out[end - 1] == 0.0f) {
    end--;
  }
  return end;
}

TEST_F(StreamTest, ATruncatedOggPlaysWhatItHoldsAndEnds) {
  const std::string file = NoisyOgg();
  Write("cut.ogg", file.substr(0, file.size() / 2));
  Write("headers.ogg", file.substr(0, 1000));
  Start();
  const int32_t id = AudioOpen("cut.ogg", kAudioKindMusic, 0, 1);
  ASSERT_GT(id, 0);
  const std::vector<float> out = Play(id, 5 * kRate);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusStopped);
  EXPECT_NEAR(ToneLevel(Slice(out, 2000, kRate), 440), 0.5, 0.03);
  EXPECT_GT(SoundEnd(out), static_cast<size_t>(kRate));
  EXPECT_LT(SoundEnd(out), static_cast<size_t>(3 * kRate));
  // Cut inside the headers, the file cannot be opened at all.
  EXPECT_EQ(AudioOpen("headers.ogg", kAudioKindMusic, 0, 1), -1);
  EXPECT_TRUE(LoggedError("AudioOpen - Audio file \"headers.ogg\" could not be opened."));
}

TEST_F(StreamTest, ACorruptedOggSkipsTheDamageAndGoesOn) {
  std::string file = NoisyOgg();
  for (size_t i = file.size() / 3; i < file.size() / 3 + 2000; i++) {
    file[i] = static_cast<char>(file[i] ^ 0x5A);
  }
  Write("bad.ogg", file);
  Start();
  const int32_t id = AudioOpen("bad.ogg", kAudioKindMusic, 1, 1);
  ASSERT_GT(id, 0);
  const std::vector<float> out = Play(id, 6 * kRate);
  // libvorbisfile reports the damaged pages as a hole; the loop goes on.
  EXPECT_NE(Log().find("Error: AudioOggBufferData - Decoded -3 bytes in Ogg Segment "),
            std::string::npos);
  EXPECT_EQ(AudioGetStatus(id), kAudioStatusPlaying);
  EXPECT_NEAR(ToneLevel(Slice(out, 5 * kRate, 5 * kRate + 10000), 440), 0.5, 0.05);
}

// --- Durations ---------------------------------------------------------------------------

TEST_F(StreamTest, DurationsComeFromTheLastOggPageAndTheWavByteRate) {
  Write("ten.ogg", OggFile(Tone(440, 22050, 10 * 22050, 0.5), 22050));
  WavFormat format;
  format.rate = 22050;
  Write("two.wav", RiffFile({FormatChunk(format), WavChunk("data", std::string(4 * 22050, '\0'))}));
  // 30 seconds at 44.1 kHz: 2646000 bytes, too many for 32-bit milliseconds.
  Write("thirty.wav", WavFile(std::vector<int16_t>(30 * kRate), kRate));
  Write("voice.txt", "text");
  Start();
  EXPECT_EQ(AudioFileGetMS("ten.ogg"), 10000);
  EXPECT_EQ(AudioFileGetMS("two.wav"), 2000);
  EXPECT_EQ(AudioFileGetMS("thirty.wav"), 30000);
  EXPECT_EQ(AudioFileGetMS("voice.txt"), 0);
  EXPECT_TRUE(LoggedError(
      "AudioFileGetMS - Unrecognized file extension \".TXT\".  Duration not calculated."));
  EXPECT_EQ(AudioFileGetMS("missing.ogg"), 0);
  EXPECT_TRUE(LoggedError("AudioOggGetMS - Unable to open file \"missing.ogg\"."));
}

// --- Trace and version lines -----------------------------------------------------------------

TEST_F(StreamTest, TraceLinesDescribeEachOpenedFile) {
  Write("mono.ogg", OggFile(kTone, kRate));
  WavFormat stereo;
  stereo.channels = 2;
  stereo.rate = 22050;
  Write("stereo.wav", RiffFile({FormatChunk(stereo), WavChunk("data", SampleBytes(kTone))}));
  Start({"-trace", "-ver"});
  Play(AudioOpen("mono.ogg", kAudioKindMusic, 0, 1), 100);
  AudioOpen("stereo.wav", kAudioKindSound, 0, 1);
  const std::string log = Log();
  for (const char* line :
       {"    qmrAudio - Version 1.0", "AudioOggOpen - Ogg Vorbis Channels: Mono",
        "AudioOggOpen - Ogg Vorbis Frequency: 44100Hz", "AudioWavOpen - Wave Channels: Stereo",
        "AudioWavOpen - Wave Frequency: 22050Hz", "AudioPlay - Begin", "AudioPlay - End",
        "AudioOggBufferData - Decoded 16000 bytes."}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
}

// --- PCM dump --------------------------------------------------------------------------------

TEST_F(StreamTest, WritePcmDumpsWhatTheDecoderDelivered) {
  Write("Bin\\Music\\theme.ogg", OggFile(kTone, kRate));
  Start({"-writePCM"});
  const int32_t id = AudioOpen("Bin\\Music\\theme.ogg", kAudioKindMusic, 0, 1);
  const std::vector<float> out = Play(id, 10000);
  const std::string dump = folder_.read("theme.ogg.txt");
  ASSERT_EQ(dump.size(), 2u * kTone.size());
  std::vector<int16_t> decoded(kTone.size());
  for (size_t i = 0; i < decoded.size(); i++) {
    decoded[i] = static_cast<int16_t>(static_cast<uint8_t>(dump[2 * i]) |
                                      (static_cast<uint8_t>(dump[2 * i + 1]) << 8));
  }
  EXPECT_LT(MaxDifference(Slice(out, 0, kTone.size()), Expected(decoded)), 1e-6);
}

}  // namespace
