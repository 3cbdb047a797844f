#include "tools/sndmake/sndsynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A number in [-1, 1) from the seed and the sample's index.
double Hash(uint32_t seed, uint64_t index) {
  uint64_t h = index + 0x9E3779B97F4A7C15ull * (seed + 1ull);
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  h ^= h >> 31;
  return static_cast<double>(h >> 11) / 4503599627370496.0 - 1.0;
}

// One period's value at phase p in [0, 1).
double Wave(SndSource source, double p) {
  switch (source) {
    case SndSource::Square:
      return p < 0.5 ? 1.0 : -1.0;
    case SndSource::Triangle:
      return p < 0.5 ? 4 * p - 1 : 3 - 4 * p;
    case SndSource::Saw:
      return 2 * p - 1;
    default:
      return std::sin(2 * std::numbers::pi * p);
  }
}

void Tone(const SndEvent& event, int32_t rate, std::vector<double>& out) {
  const double count = static_cast<double>(out.size());
  const double ratio = event.glide > 0 ? event.glide / event.frequency : 1.0;
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = Wave(event.source, phase);
    // An even glide to the ear: the frequency moves by equal ratios.
    const double frequency = event.frequency * std::pow(ratio, static_cast<double>(i) / count);
    phase += frequency / rate;
    phase -= std::floor(phase);
  }
}

void Noise(const SndEvent& event, std::vector<double>& out) {
  double brown = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double white = Hash(event.seed, i);
    if (event.source == SndSource::WhiteNoise) {
      out[i] = white;
    } else {
      // Integrated white noise, leaking back to 0 so that it never drifts off.
      brown = (brown + 0.02 * white) / 1.02;
      out[i] = std::clamp(brown * 3.5, -1.0, 1.0);
    }
  }
}

double OnePole(double cutoff, int32_t rate) {
  return 1.0 - std::exp(-2 * std::numbers::pi * cutoff / rate);
}

void Filter(const SndEvent& event, int32_t rate, std::vector<double>& out) {
  if (event.lowpass > 0) {
    const double a = OnePole(event.lowpass, rate);
    double y = 0;
    for (double& x : out) {
      y += a * (x - y);
      x = y;
    }
  }
  if (event.highpass > 0) {
    const double a = OnePole(event.highpass, rate);
    double low = 0;
    for (double& x : out) {
      low += a * (x - low);
      x -= low;
    }
  }
}

double Level(const SndEnvelope& e, double t, double seconds) {
  double level = e.sustain;
  if (t < e.attack) {
    level = t / e.attack;
  } else if (t < e.attack + e.decay) {
    level = 1 - (1 - e.sustain) * (t - e.attack) / e.decay;
  }
  const double left = seconds - t;
  if (left < e.release) {
    level *= std::max(left, 0.0) / e.release;
  }
  return level;
}

}  // namespace

int64_t SndSampleCount(double seconds, int32_t rate) {
  return std::llround(seconds * rate);
}

std::vector<double> SndRender(const SndEvent& event, int32_t rate) {
  std::vector<double> out(static_cast<size_t>(SndSampleCount(event.seconds, rate)));
  if (event.source == SndSource::WhiteNoise || event.source == SndSource::BrownNoise) {
    Noise(event, out);
  } else {
    Tone(event, rate, out);
  }
  Filter(event, rate, out);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] *= event.amplitude * Level(event.envelope, static_cast<double>(i) / rate, event.seconds);
  }
  return out;
}

std::vector<int16_t> SndMix(const std::vector<SndEvent>& events, int32_t rate, double volume) {
  int64_t length = 0;
  for (const SndEvent& event : events) {
    length = std::max(length, event.start + SndSampleCount(event.seconds, rate));
  }
  std::vector<double> mix(static_cast<size_t>(length), 0.0);
  for (const SndEvent& event : events) {
    const std::vector<double> samples = SndRender(event, rate);
    for (size_t i = 0; i < samples.size(); ++i) {
      mix[static_cast<size_t>(event.start) + i] += samples[i];
    }
  }
  std::vector<int16_t> out(mix.size());
  for (size_t i = 0; i < mix.size(); ++i) {
    out[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i] * volume, -1.0, 1.0) * 32767));
  }
  return out;
}
