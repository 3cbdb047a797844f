// The sounds of an sndmake recipe: tones and noise shaped by an envelope
// and simple filters, laid on one timeline and mixed.
#pragma once

#include <cstdint>
#include <vector>

enum class SndSource { Sine, Square, Triangle, Saw, WhiteNoise, BrownNoise };

// Attack from silence to full, decay to the sustain level, and release to
// silence over the sound's last seconds (all in seconds but the level).
struct SndEnvelope {
  double attack = 0.005;
  double decay = 0;
  double sustain = 1;
  double release = 0.005;
};

struct SndEvent {
  SndSource source = SndSource::Sine;
  double frequency = 440;  // tones: at the start, gliding to `glide` when above 0
  double glide = 0;
  double seconds = 0;
  double amplitude = 0.5;
  SndEnvelope envelope;
  double lowpass = 0;  // cut-off in Hz of one-pole filters; 0: none
  double highpass = 0;
  uint32_t seed = 1;  // noise
  int64_t start = 0;  // in samples
};

// The event's samples (-1 to 1), round(seconds x rate) of them.
std::vector<double> SndRender(const SndEvent& event, int32_t rate);
// Adds the events at their starts and scales by the volume; clipped to
// 16 bits.
std::vector<int16_t> SndMix(const std::vector<SndEvent>& events, int32_t rate, double volume);
// The number of samples of a duration at the rate.
int64_t SndSampleCount(double seconds, int32_t rate);
