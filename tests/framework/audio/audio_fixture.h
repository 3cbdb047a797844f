// A program folder with the modules audio needs started over the headless
// platform and OpenAL Soft's loopback device, rendering 44.1 kHz mono floats
// one game frame at a time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"

constexpr int32_t kRate = 44100;
constexpr int32_t kFrameSamples = 735;  // one frame at 60 frames per second

class AudioTest : public ::testing::Test {
 protected:
  void TearDown() override;
  // Starts data files, log, utilities, settings and audio (on the loopback
  // device, or else the default device) with "-userdatainapp" and the given
  // switches; files written before are seen.
  void Start(std::vector<std::string> switches = {}, bool loopback = true);
  void Stop();
  // Writes a file below the program folder ('\' separates folders).
  void Write(const std::string& name, const std::string& contents);
  // Writes a ".qma" archive holding one entry.
  void WriteArchive(const std::string& archive, const std::string& entry,
                    const std::string& contents);
  // Renders `count` samples frame by frame: AudioUpdate, then up to one
  // frame of samples, then 16 ms on the manual clock.
  std::vector<float> Render(int32_t count);
  std::string Log() const;
  bool LoggedError(const std::string& message) const;  // a line "Error: " + message

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// The samples a sound of gain 1 renders: each 16-bit sample / 32768.
std::vector<float> Expected(const std::vector<int16_t>& samples);
double Rms(const std::vector<float>& signal, size_t from, size_t to);
// Largest |a[i] - b[i]| over the common length.
double MaxDifference(const std::vector<float>& a, const std::vector<float>& b);
// Amplitude of the `frequency` component of a signal (Goertzel), 1 for a
// full-scale sine.
double ToneLevel(const std::vector<float>& signal, double frequency);
std::vector<float> Slice(const std::vector<float>& signal, size_t from, size_t to);
