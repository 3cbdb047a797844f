#include "tests/framework/audio/audio_fixture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "tools/qmapack/qmawriter.h"

void AudioTest::TearDown() {
  Stop();
}

void AudioTest::Start(std::vector<std::string> switches, bool loopback) {
  switches.insert(switches.begin(), "-userdatainapp");
  platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), switches);
  DataFileStart();
  LogStart();
  UtilitiesStart();
  IniStart();
  if (loopback) {
    AudioStartLoopback(kRate);
    ASSERT_TRUE(AudioAvailable());
  } else {
    AudioStart();
  }
}

void AudioTest::Stop() {
  if (platform_ == nullptr) {
    return;
  }
  AudioShutdown();
  IniStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  platform_.reset();
}

void AudioTest::Write(const std::string& name, const std::string& contents) {
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  folder_.write(relative, contents);
}

void AudioTest::WriteArchive(const std::string& archive, const std::string& entry,
                             const std::string& contents) {
  QmaWriter writer;
  QmaWriterAddMemory(writer, entry, contents);
  std::string error;
  ASSERT_TRUE(QmaWriterSave(writer, folder_.path() + archive, error)) << error;
}

std::vector<float> AudioTest::Render(int32_t count) {
  std::vector<float> samples(count);
  for (int32_t done = 0; done < count; done += kFrameSamples) {
    AudioUpdate();
    AudioLoopbackRender(samples.data() + done, std::min(kFrameSamples, count - done));
    PlatformClockAdvance(16);
  }
  return samples;
}

std::string AudioTest::Log() const {
  return folder_.read("results.log");
}

bool AudioTest::LoggedError(const std::string& message) const {
  const std::vector<std::string> lines = SplitLines(Log());
  return std::find(lines.begin(), lines.end(), "Error: " + message) != lines.end();
}

std::vector<float> Expected(const std::vector<int16_t>& samples) {
  std::vector<float> expected(samples.size());
  std::transform(samples.begin(), samples.end(), expected.begin(),
                 [](int16_t sample) { return sample / 32768.0f; });
  return expected;
}

double Rms(const std::vector<float>& signal, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; i++) {
    sum += static_cast<double>(signal[i]) * signal[i];
  }
  return std::sqrt(sum / static_cast<double>(to - from));
}

double MaxDifference(const std::vector<float>& a, const std::vector<float>& b) {
  double largest = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); i++) {
    largest = std::max(largest, std::fabs(static_cast<double>(a[i]) - b[i]));
  }
  return largest;
}

double ToneLevel(const std::vector<float>& signal, double frequency) {
  const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / kRate);
  double previous = 0, beforePrevious = 0;
  for (float sample : signal) {
    const double current = sample + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious -
                       coefficient * previous * beforePrevious;
  return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(signal.size());
}

std::vector<float> Slice(const std::vector<float>& signal, size_t from, size_t to) {
  return std::vector<float>(signal.begin() + from, signal.begin() + to);
}
