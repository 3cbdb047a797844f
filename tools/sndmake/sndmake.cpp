// sndmake: makes sound effects from a text recipe of tones and noise (16-bit
// mono WAV, or Ogg Vorbis), and turns WAV files into Ogg Vorbis.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/sndmake/sndfile.h"
#include "tools/sndmake/sndsynth.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: sndmake <recipe.txt> <out.wav|out.ogg> [--quality Q]\n"
    "       sndmake --ogg <in.wav> <out.ogg> [--quality Q]\n"
    "\n"
    "Makes the sound a recipe describes: 16-bit mono WAV, or Ogg Vorbis when\n"
    "the output ends in .ogg (VBR quality Q from -0.1 to 1, default 0.4).\n"
    "--ogg encodes a 16-bit PCM WAV file (other channel counts are mixed down\n"
    "to mono). A recipe is one command per line; '#' starts a comment line:\n"
    "\n"
    "    rate HZ                        sample rate, 8000-96000 (default 22050)\n"
    "    volume V                       the mix's gain (default 1)\n"
    "    tone sine|square|triangle|saw HZ SECONDS [options]\n"
    "    noise white|brown SECONDS [options]\n"
    "    rest SECONDS                   silence before the next sound\n"
    "\n"
    "Each sound starts where the one before it ended, or at `at SECONDS`;\n"
    "sounds that overlap are mixed. Options:\n"
    "\n"
    "    amp A                          peak amplitude, 0-1 (default 0.5)\n"
    "    env ATTACK DECAY SUSTAIN RELEASE  seconds, seconds, level 0-1, seconds\n"
    "                                   (default 0.005 0 1 0.005)\n"
    "    to HZ                          tones: glide to this frequency\n"
    "    lowpass HZ, highpass HZ        one-pole filters\n"
    "    seed N                         noise: which noise (default 1)\n"
    "    at SECONDS                     start time\n"
    "\n"
    "Faults are reported as recipe:line: error: ... and exit with status 1.\n";

constexpr double kMaxSeconds = 120;  // sound effects and voice lines, not music

// The words of one command, taken in order; the first fault is kept.
class Words : public ToolWords {
 public:
  explicit Words(const ToolLine& line) : ToolWords(line) {}

  bool Number(const char* what, double low, double high, double& value) {
    std::string word;
    if (!Word(what, word)) {
      return false;
    }
    const auto [end, result] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (result != std::errc{} || end != word.data() + word.size() || !std::isfinite(value)) {
      return Fail(std::string(what) + " \"" + word + "\" is not a number");
    }
    if (value < low || value > high) {
      return Fail(std::string(what) + " " + word + " is not within " + Text(low) + "-" +
                  Text(high));
    }
    return true;
  }

  static std::string Text(double value) {
    std::string text(32, '\0');
    const auto [end, result] = std::to_chars(text.data(), text.data() + text.size(), value);
    text.resize(static_cast<size_t>(end - text.data()));
    return text;
  }
};

const std::map<std::string, SndSource> kSources = {
    {"sine", SndSource::Sine}, {"square", SndSource::Square},    {"triangle", SndSource::Triangle},
    {"saw", SndSource::Saw},   {"white", SndSource::WhiteNoise}, {"brown", SndSource::BrownNoise}};

// Reads the recipe into timed events.
class Recipe {
 public:
  bool Read(const std::string& path, const std::vector<ToolLine>& lines);
  int32_t Rate() const { return rate_; }
  double Volume() const { return volume_; }
  const std::vector<SndEvent>& Events() const { return events_; }

 private:
  bool Command(const ToolLine& line, Words& words);
  bool Sound(const std::string& command, Words& words);
  bool Option(const std::string& option, Words& words, SndEvent& event, bool tone, double& at);

  int32_t rate_ = 22050;
  double volume_ = 1;
  double cursor_ = 0;  // where the next sound starts, in seconds
  std::vector<SndEvent> events_;
};

bool Recipe::Read(const std::string& path, const std::vector<ToolLine>& lines) {
  for (const ToolLine& line : lines) {
    Words words(line);
    if (!Command(line, words) || !words.End()) {
      ToolFail(path + ":" + std::to_string(line.number), "error: " + words.Error());
      return false;
    }
  }
  if (events_.empty()) {
    ToolFail(path, "error: the recipe has no sound (tone or noise)");
    return false;
  }
  return true;
}

bool Recipe::Command(const ToolLine& line, Words& words) {
  const std::string& command = line.words[0];
  if (command == "rate") {
    double rate = 0;
    if (!events_.empty()) {
      return words.Fail("rate comes before the sounds");
    }
    if (!words.Number("the rate", 8000, 96000, rate)) {
      return false;
    }
    if (rate != std::floor(rate)) {
      return words.Fail("the rate is a whole number of Hz");
    }
    rate_ = static_cast<int32_t>(rate);
    return true;
  }
  if (command == "volume") {
    return words.Number("the volume", 0, 16, volume_);
  }
  if (command == "rest") {
    double seconds = 0;
    if (!words.Number("the seconds", 0, kMaxSeconds, seconds)) {
      return false;
    }
    cursor_ += seconds;
    return cursor_ <= kMaxSeconds || words.Fail("the sound would pass 120 seconds");
  }
  if (command == "tone" || command == "noise") {
    return Sound(command, words);
  }
  return words.Fail("unknown command \"" + command + "\"");
}

bool Recipe::Sound(const std::string& command, Words& words) {
  const bool tone = command == "tone";
  std::string kind;
  if (!words.Word(tone ? "a wave (sine, square, triangle or saw)" : "white or brown", kind)) {
    return false;
  }
  const auto source = kSources.find(kind);
  const bool noise = source != kSources.end() && (source->second == SndSource::WhiteNoise ||
                                                  source->second == SndSource::BrownNoise);
  if (source == kSources.end() || noise == tone) {
    return words.Fail("\"" + kind + "\" is not " +
                      (tone ? "a wave (sine, square, triangle or saw)" : "white or brown"));
  }
  SndEvent event;
  event.source = source->second;
  const double nyquist = rate_ / 2.0;
  if ((tone && !words.Number("the frequency", 1, nyquist, event.frequency)) ||
      !words.Number("the seconds", 0, kMaxSeconds, event.seconds)) {
    return false;
  }
  double at = cursor_;
  while (words.More()) {
    std::string option;
    words.Word("an option", option);
    if (!Option(option, words, event, tone, at)) {
      return false;
    }
  }
  if (at + event.seconds > kMaxSeconds) {
    return words.Fail("the sound would pass 120 seconds");
  }
  event.start = SndSampleCount(at, rate_);
  cursor_ = at + event.seconds;
  events_.push_back(event);
  return true;
}

bool Recipe::Option(const std::string& option, Words& words, SndEvent& event, bool tone,
                    double& at) {
  const double nyquist = rate_ / 2.0;
  if (option == "amp") {
    return words.Number("the amplitude", 0, 1, event.amplitude);
  }
  if (option == "env") {
    SndEnvelope& e = event.envelope;
    return words.Number("the attack", 0, kMaxSeconds, e.attack) &&
           words.Number("the decay", 0, kMaxSeconds, e.decay) &&
           words.Number("the sustain", 0, 1, e.sustain) &&
           words.Number("the release", 0, kMaxSeconds, e.release);
  }
  if (option == "to" && tone) {
    return words.Number("the end frequency", 1, nyquist, event.glide);
  }
  if (option == "lowpass") {
    return words.Number("the cut-off", 1, nyquist, event.lowpass);
  }
  if (option == "highpass") {
    return words.Number("the cut-off", 1, nyquist, event.highpass);
  }
  if (option == "seed" && !tone) {
    double seed = 0;
    if (!words.Number("the seed", 0, 9999999, seed) || seed != std::floor(seed)) {
      return words.Fail("the seed is a whole number within 0-9999999");
    }
    event.seed = static_cast<uint32_t>(seed);
    return true;
  }
  if (option == "at") {
    return words.Number("the start", 0, kMaxSeconds, at);
  }
  return words.Fail("\"" + option + "\" is not an option of " + (tone ? "tone" : "noise"));
}

bool IsOgg(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".ogg";
}

// Writes the sound as WAV, or as Ogg Vorbis by the name.
int Write(const std::string& path, const SndSamples& sound, float quality) {
  std::vector<uint8_t> bytes;
  if (IsOgg(path)) {
    std::string error;
    if (!SndOggBytes(sound, quality, bytes, error)) {
      return ToolFail(path, "error: " + error);
    }
  } else {
    bytes = SndWavBytes(sound);
  }
  if (!ToolWriteFile(path, bytes)) {
    return ToolFail(path, "error: cannot write the sound");
  }
  return 0;
}

struct Options {
  bool ogg = false;  // encode a WAV file
  std::vector<std::string> files;
  float quality = 0.4f;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--ogg") {
      options.ogg = true;
    } else if (args[i] == "--quality") {
      double quality = 0;
      const std::string value = i + 1 < args.size() ? args[++i] : "";
      const auto [end, result] =
          std::from_chars(value.data(), value.data() + value.size(), quality);
      if (value.empty() || result != std::errc{} || end != value.data() + value.size() ||
          quality < -0.1 || quality > 1) {
        error = "--quality takes a number from -0.1 to 1";
        return false;
      }
      options.quality = static_cast<float>(quality);
    } else {
      options.files.push_back(args[i]);
    }
  }
  if (options.files.size() != 2) {
    error = options.ogg ? "--ogg needs a WAV file and an Ogg file"
                        : "a recipe and an output sound are needed";
    return false;
  }
  if (options.ogg && !IsOgg(options.files[1])) {
    error = "--ogg writes a file ending in .ogg";
    return false;
  }
  return true;
}

int Encode(const Options& options) {
  const std::string& input = options.files[0];
  std::string contents;
  if (!ToolReadFile(input, contents)) {
    return ToolFail(input, "error: cannot read the file");
  }
  SndSamples sound;
  std::string error;
  if (!SndWavRead(std::vector<uint8_t>(contents.begin(), contents.end()), sound, error)) {
    return ToolFail(input, "error: " + error);
  }
  return Write(options.files[1], sound, options.quality);
}

int Make(const Options& options) {
  const std::string& path = options.files[0];
  std::vector<ToolLine> lines;
  Recipe recipe;
  if (!ToolReadRecipe(path, lines) || !recipe.Read(path, lines)) {
    return kToolFailure;
  }
  const SndSamples sound{recipe.Rate(), SndMix(recipe.Events(), recipe.Rate(), recipe.Volume())};
  return Write(options.files[1], sound, options.quality);
}

}  // namespace

int main(int argc, char** argv) {
  return ToolMain<Options>(
      argc, argv, "sndmake", kUsageText, ParseOptions,
      [](const Options& options) { return options.ogg ? Encode(options) : Make(options); });
}
