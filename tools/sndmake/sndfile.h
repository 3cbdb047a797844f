// The sound files sndmake reads and writes: 16-bit PCM WAV, and Ogg Vorbis
// encoded with libvorbisenc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SndSamples {
  int32_t rate = 0;
  std::vector<int16_t> samples;  // mono
};

// A canonical 16-bit mono WAV: "RIFF", "fmt " and "data".
std::vector<uint8_t> SndWavBytes(const SndSamples& sound);
// Reads a 16-bit PCM WAV of any channel count (mixed down to mono) by
// walking its chunks; sizes are never trusted past the bytes there are.
// False with the reason otherwise.
bool SndWavRead(const std::vector<uint8_t>& bytes, SndSamples& sound, std::string& error);
// Encodes the samples as Ogg Vorbis at a VBR quality of -0.1 to 1. The same
// samples always give the same bytes (the stream's serial number is fixed).
bool SndOggBytes(const SndSamples& sound, float quality, std::vector<uint8_t>& bytes,
                 std::string& error);
