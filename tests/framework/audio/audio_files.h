// Sound files made by the audio tests and benchmarks: tones, WAV images built
// chunk by chunk, and Ogg Vorbis encoded with libvorbisenc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// amplitude x cos(2 pi frequency n / rate + phase), in 16-bit samples.
std::vector<int16_t> Tone(double frequency, int32_t rate, int32_t count, double amplitude,
                          double phase = 0.0);

// The samples with deterministic white noise of `amplitude` added, which
// makes an encoded file spread over many Ogg pages as real content does.
std::vector<int16_t> WithNoise(std::vector<int16_t> samples, double amplitude);

// --- WAV ----------------------------------------------------------------------
struct WavFormat {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint16_t bits = 16;
};
std::string SampleBytes(const std::vector<int16_t>& samples);  // little-endian
// A chunk whose size field says `declaredSize` (its real size when omitted).
std::string WavChunk(const std::string& id, const std::string& body, int64_t declaredSize = -1);
std::string FormatChunk(const WavFormat& format);
// "RIFF", a size, "WAVE" and the chunks in order.
std::string RiffFile(const std::vector<std::string>& chunks);
// A plain 16-bit mono file: format chunk, then data chunk.
std::string WavFile(const std::vector<int16_t>& samples, uint32_t rate);

// --- Ogg Vorbis ---------------------------------------------------------------
// Interleaved samples of `channels` channels, VBR at `quality` (-0.1 to 1).
std::string OggFile(const std::vector<int16_t>& samples, int32_t rate, int32_t channels = 1,
                    float quality = 0.4f);
