#include "tools/sndmake/sndfile.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kEncodeStep = 1024;    // samples handed to the encoder at a time
constexpr int kSerialNumber = 0x534E44;  // fixed, so that output is reproducible

void Put16(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  Put16(bytes, value & 0xFFFF);
  Put16(bytes, value >> 16);
}

void PutId(std::vector<uint8_t>& bytes, const char* id) {
  bytes.insert(bytes.end(), id, id + 4);
}

uint32_t Get16(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] | p[1] << 8);
}

uint32_t Get32(const uint8_t* p) {
  return Get16(p) | Get16(p + 2) << 16;
}

struct Format {
  uint32_t tag = 0;
  uint32_t channels = 0;
  uint32_t rate = 0;
  uint32_t bits = 0;
};

// The chunk walk: the format, and where the data chunk's bytes are.
bool FindChunks(const std::vector<uint8_t>& bytes, Format& format, size_t& data, size_t& dataSize) {
  bool haveFormat = false;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const uint8_t* head = &bytes[at];
    const size_t body = at + 8;
    const size_t size = std::min<size_t>(Get32(head + 4), bytes.size() - body);
    if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
      format = Format{Get16(&bytes[body]), Get16(&bytes[body + 2]), Get32(&bytes[body + 4]),
                      Get16(&bytes[body + 14])};
      haveFormat = true;
    } else if (std::memcmp(head, "data", 4) == 0 && haveFormat) {
      data = body;
      dataSize = size;
      return true;
    }
    at = body + size + size % 2;  // chunks are padded to even sizes
  }
  return false;
}

void AppendPage(std::vector<uint8_t>& bytes, const ogg_page& page) {
  bytes.insert(bytes.end(), page.header, page.header + page.header_len);
  bytes.insert(bytes.end(), page.body, page.body + page.body_len);
}

// Moves every finished block of the encoder into pages; true once the last
// page went out.
bool Drain(vorbis_dsp_state& dsp, vorbis_block& block, ogg_stream_state& stream,
           std::vector<uint8_t>& bytes) {
  bool ended = false;
  while (vorbis_analysis_blockout(&dsp, &block) == 1) {
    vorbis_analysis(&block, nullptr);
    vorbis_bitrate_addblock(&block);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
      ogg_stream_packetin(&stream, &packet);
      ogg_page page;
      while (ogg_stream_pageout(&stream, &page) != 0) {
        AppendPage(bytes, page);
        ended = ended || ogg_page_eos(&page) != 0;
      }
    }
  }
  return ended;
}

}  // namespace

std::vector<uint8_t> SndWavBytes(const SndSamples& sound) {
  const auto dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
  std::vector<uint8_t> bytes;
  bytes.reserve(44 + dataBytes);
  PutId(bytes, "RIFF");
  Put32(bytes, 36 + dataBytes);
  PutId(bytes, "WAVE");
  PutId(bytes, "fmt ");
  Put32(bytes, 16);
  Put16(bytes, 1);  // PCM
  Put16(bytes, 1);  // mono
  Put32(bytes, static_cast<uint32_t>(sound.rate));
  Put32(bytes, static_cast<uint32_t>(sound.rate) * 2);
  Put16(bytes, 2);  // bytes per sample frame
  Put16(bytes, 16);
  PutId(bytes, "data");
  Put32(bytes, dataBytes);
  for (const int16_t sample : sound.samples) {
    Put16(bytes, static_cast<uint16_t>(sample));
  }
  return bytes;
}

bool SndWavRead(const std::vector<uint8_t>& bytes, SndSamples& sound, std::string& error) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    error = "not a WAV file";
    return false;
  }
  Format format;
  size_t data = 0;
  size_t dataSize = 0;
  if (!FindChunks(bytes, format, data, dataSize)) {
    error = "the WAV file has no format chunk before its data chunk";
    return false;
  }
  if (format.tag != 1 || format.bits != 16 || format.channels < 1 || format.channels > 8 ||
      format.rate < 1000 || format.rate > 192000) {
    error = "the WAV file is not 16-bit PCM of 1-8 channels at 1000-192000 Hz";
    return false;
  }
  sound.rate = static_cast<int32_t>(format.rate);
  const size_t frameBytes = 2 * static_cast<size_t>(format.channels);
  sound.samples.resize(dataSize / frameBytes);
  for (size_t i = 0; i < sound.samples.size(); ++i) {
    int32_t sum = 0;
    for (size_t c = 0; c < format.channels; ++c) {
      sum += static_cast<int16_t>(Get16(&bytes[data + i * frameBytes + c * 2]));
    }
    sound.samples[i] = static_cast<int16_t>(sum / static_cast<int32_t>(format.channels));
  }
  return true;
}

bool SndOggBytes(const SndSamples& sound, float quality, std::vector<uint8_t>& bytes,
                 std::string& error) {
  bytes.clear();
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 1, sound.rate, quality) != 0) {
    vorbis_info_clear(&info);
    error = "the Vorbis encoder takes no " + std::to_string(sound.rate) + " Hz sound at quality " +
            std::to_string(quality);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, kSerialNumber);

  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) {
    AppendPage(bytes, page);
  }
  // A write of 0 samples marks the end, after which the last page comes out.
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t count = std::min<size_t>(kEncodeStep, sound.samples.size() - done);
    if (count > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
      for (size_t i = 0; i < count; ++i) {
        buffer[0][i] = static_cast<float>(sound.samples[done + i]) / 32768.0f;
      }
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(count));
    done += count;
    ended = Drain(dsp, block, stream, bytes);
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return true;
}
