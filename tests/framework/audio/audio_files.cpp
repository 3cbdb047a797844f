#include "tests/framework/audio/audio_files.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

void PutLE(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; i++) {
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

void AppendPage(std::string& out, const ogg_page& page) {
  out.append(reinterpret_cast<const char*>(page.header), page.header_len);
  out.append(reinterpret_cast<const char*>(page.body), page.body_len);
}

}  // namespace

std::vector<int16_t> Tone(double frequency, int32_t rate, int32_t count, double amplitude,
                          double phase) {
  std::vector<int16_t> samples(count);
  for (int32_t n = 0; n < count; n++) {
    const double angle = 2.0 * std::numbers::pi * frequency * n / rate + phase;
    samples[n] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::cos(angle)));
  }
  return samples;
}

std::vector<int16_t> WithNoise(std::vector<int16_t> samples, double amplitude) {
  uint32_t state = 12345;
  for (int16_t& sample : samples) {
    state = state * 1664525u + 1013904223u;
    const double noise = (static_cast<double>(state >> 8) / (1 << 24) * 2.0 - 1.0) * amplitude;
    sample =
        static_cast<int16_t>(std::clamp(sample + std::lround(noise * 32767.0), -32768L, 32767L));
  }
  return samples;
}

std::string SampleBytes(const std::vector<int16_t>& samples) {
  std::string bytes;
  for (int16_t sample : samples) {
    PutLE(bytes, static_cast<uint16_t>(sample), 2);
  }
  return bytes;
}

std::string WavChunk(const std::string& id, const std::string& body, int64_t declaredSize) {
  std::string chunk = id;
  PutLE(chunk, declaredSize < 0 ? body.size() : static_cast<uint64_t>(declaredSize), 4);
  return chunk + body;
}

std::string FormatChunk(const WavFormat& format) {
  const uint32_t blockAlign = format.channels * format.bits / 8;
  std::string body;
  PutLE(body, format.tag, 2);
  PutLE(body, format.channels, 2);
  PutLE(body, format.rate, 4);
  PutLE(body, format.rate * blockAlign, 4);
  PutLE(body, blockAlign, 2);
  PutLE(body, format.bits, 2);
  return WavChunk("fmt ", body);
}

std::string RiffFile(const std::vector<std::string>& chunks) {
  std::string body = "WAVE";
  for (const std::string& chunk : chunks) {
    body += chunk;
  }
  return WavChunk("RIFF", body);
}

std::string WavFile(const std::vector<int16_t>& samples, uint32_t rate) {
  WavFormat format;
  format.rate = rate;
  return RiffFile({FormatChunk(format), WavChunk("data", SampleBytes(samples))});
}

std::string OggFile(const std::vector<int16_t>& samples, int32_t rate, int32_t channels,
                    float quality) {
  vorbis_info info;
  vorbis_info_init(&info);
  vorbis_encode_init_vbr(&info, channels, rate, quality);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);

  std::string out;
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) {
    AppendPage(out, page);
  }

  const size_t frames = samples.size() / channels;
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t count = std::min<size_t>(1024, frames - done);
    if (count > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
      for (size_t i = 0; i < count; i++) {
        for (int32_t c = 0; c < channels; c++) {
          buffer[c][i] = samples[(done + i) * channels + c] / 32768.0f;
        }
      }
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(count));
    done += count;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          AppendPage(out, page);
          ended = ended || ogg_page_eos(&page) != 0;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}
