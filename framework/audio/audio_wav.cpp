// WAV streams, read directly: a RIFF header, the format chunk right after it,
// and a chunk walk to the "data" chunk. Only 16-bit mono PCM plays. Sizes
// stored in the file are never trusted beyond the bytes the file really has.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/datafile/datafile.h"
#include "framework/log/log.h"

namespace audio_internal {

namespace {

constexpr int32_t kRiffHeaderBytes = 12;
constexpr int32_t kFormatHeadBytes = 24;  // chunk header and the first 16 format bytes

struct FormatHead {
  char chunkId[4];
  uint16_t channels;
  uint32_t rate;
  uint32_t bytesPerSecond;
  uint16_t bitsPerSample;
};

// Reads the RIFF header and the format chunk's head; logs `lead` + the
// designed message on a short file.
bool ReadFormatHead(int32_t file, const std::string& fileName, const std::string& lead,
                    FormatHead& head) {
  uint8_t riff[kRiffHeaderBytes];
  if (!DataFileReadExact(file, riff, kRiffHeaderBytes)) {
    LogError(lead + "Unable to read file header of wav file " + Quoted(fileName) + ".");
    return false;
  }
  uint8_t bytes[kFormatHeadBytes];
  if (!DataFileReadExact(file, bytes, kFormatHeadBytes)) {
    LogError(lead + "Unable to read head of wave file " + Quoted(fileName) + ".");
    return false;
  }
  std::memcpy(head.chunkId, bytes, 4);
  head.channels = ReadLE16(bytes + 10);
  head.rate = ReadLE32(bytes + 12);
  head.bytesPerSecond = ReadLE32(bytes + 16);
  head.bitsPerSample = ReadLE16(bytes + 22);
  return true;
}

bool PlayableFormat(const FormatHead& head) {
  return std::memcmp(head.chunkId, "fmt ", 4) == 0 && head.channels == 1 &&
         head.bitsPerSample == 16 && head.rate > 0 &&
         head.rate <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
}

// True when the four bytes at `position` can be a chunk id: printable
// characters, as every registered and private RIFF id is.
bool ChunkIdAt(int32_t file, int64_t position) {
  char id[4];
  if (!DataFileSeek(file, static_cast<int32_t>(position)) || !DataFileReadExact(file, id, 4)) {
    return false;
  }
  return std::all_of(std::begin(id), std::end(id), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Where the chunk after one of `size` bytes starting at `body` begins, in a
// file of `fileSize` bytes. RIFF pads an odd-sized chunk with one byte, but
// some writers leave the pad out: the padded position is taken only when a
// chunk id starts there.
int64_t NextChunk(int32_t file, int64_t body, int64_t size, int64_t fileSize) {
  const int64_t next = body + size;
  if (size % 2 == 1 && next + 5 <= fileSize && ChunkIdAt(file, next + 1)) {
    return next + 1;
  }
  return next;
}

// Walks the chunks from the file's current position to the "data" chunk and
// leaves the file at its first sample. `size` is the chunk's size cut to the
// bytes that follow in the file and to whole samples. A chunk reaching past
// the end of the file ends the walk: nothing after it can be found.
bool FindDataChunk(int32_t file, const std::string& fileName, const std::string& lead,
                   int32_t& size) {
  const int64_t fileSize = DataFileSize(file);
  for (;;) {
    char id[5] = {};
    if (!DataFileReadExact(file, id, 4)) {
      LogError(lead + "No \"data\" chunk in " + Quoted(fileName) + ".");
      return false;
    }
    uint8_t sizeBytes[4];
    if (!DataFileReadExact(file, sizeBytes, 4)) {
      LogError(lead + "Unable to read chunk size in " + Quoted(fileName) + ".");
      return false;
    }
    const int64_t declared = ReadLE32(sizeBytes);
    const int64_t here = DataFileTell(file);
    if (std::memcmp(id, "data", 4) == 0) {
      size = static_cast<int32_t>(std::clamp<int64_t>(fileSize - here, 0, declared) & ~1);
      return true;
    }
    if (here + declared > fileSize ||
        !DataFileSeek(file, static_cast<int32_t>(NextChunk(file, here, declared, fileSize)))) {
      LogError(lead + "Unable to seek past chunk " + Quoted(id) + " in " + Quoted(fileName) + ".");
      return false;
    }
  }
}

}  // namespace

bool AudioWavOpen(const std::string& fileName, int32_t& id) {
  Module& audio = Audio();
  const int32_t index = AudioNew();
  Sound& sound = audio.sounds[index];
  id = sound.id;
  sound.fileName = fileName;
  audio.wavs.push_back(WavStream{});
  sound.wav = static_cast<int32_t>(audio.wavs.size()) - 1;
  sound.file = DataFileOpen(fileName);
  if (sound.file == 0) {
    sound.file = -1;
    LogError("AudioWavOpen - Unable to open file " + Quoted(fileName) + ".");
    return false;
  }
  FormatHead head{};
  if (!ReadFormatHead(sound.file, fileName, "AudioWavOpen - ", head)) {
    return false;
  }
  LogTrace(head.channels == 1 ? "AudioWavOpen - Wave Channels: Mono"
                              : "AudioWavOpen - Wave Channels: Stereo");
  LogTrace("AudioWavOpen - Wave Frequency: " + std::to_string(head.rate) + "Hz");
  if (!PlayableFormat(head)) {
    LogError("AudioWavOpen - Wave file " + Quoted(fileName) +
             " does not contain 16-bit mono sound data.");
    return false;
  }
  sound.format = AL_FORMAT_MONO16;
  sound.rate = static_cast<int32_t>(head.rate);
  sound.ended = false;
  return true;
}

bool AudioWavSeekData(int32_t index) {
  Module& audio = Audio();
  Sound& sound = audio.sounds[index];
  WavStream& stream = audio.wavs[sound.wav];
  stream.position = 0;
  stream.size = 0;
  bool found = false;
  if (!DataFileSeek(sound.file, kRiffHeaderBytes)) {
    LogError("AudioWavSeekData - Unable to skip riff header in " + Quoted(sound.fileName) + ".");
  } else {
    found = FindDataChunk(sound.file, sound.fileName, "AudioWavSeekData - ", stream.size);
  }
  // A file without playable data has ended: no fill walks it again (and logs
  // again) before the next rewind.
  sound.ended = !found;
  return found;
}

bool AudioWavBufferData(int32_t index, ALuint buffer) {
  Module& audio = Audio();
  Sound& sound = audio.sounds[index];
  WavStream& stream = audio.wavs[sound.wav];
  audio.fillArea.resize(kFillBytes);
  char* area = audio.fillArea.data();
  int32_t gathered = 0;
  bool going = true;
  while (going && gathered < kFillBytes) {
    if (stream.size > 0) {
      const int32_t wanted = std::min(stream.size - stream.position, kFillBytes - gathered);
      const int32_t read = wanted > 0 ? DataFileRead(sound.file, area + gathered, wanted) : 0;
      stream.position += read;
      gathered += read;
      if (read == 0) {
        // The end of the data chunk: a looping sound finds it again next.
        stream.position = 0;
        stream.size = 0;
        going = sound.loop;
      }
    } else if (!AudioWavSeekData(index) || stream.size == 0) {
      going = false;
      if (sound.loop) {
        LogError("AudioWavBufferData - Wave file " + Quoted(sound.fileName) + " contains no data.");
      }
    }
  }
  if (!going) {
    sound.ended = true;
  }
  if (gathered == 0) {
    return false;
  }
  alBufferData(buffer, sound.format, area, gathered, sound.rate);
  const ALenum error = alGetError();
  if (error != AL_NO_ERROR) {
    LogError("AudioWavBufferData - Failed to buffer Wave data.  RC Error = " +
             std::to_string(error));
    return false;
  }
  return true;
}

void WavStreamFree(int32_t index) {
  Module& audio = Audio();
  Sound& sound = audio.sounds[index];
  if (sound.file != -1) {
    DataFileClose(sound.file);
    sound.file = -1;
  }
  const int32_t removed = sound.wav;
  audio.wavs.erase(audio.wavs.begin() + removed);
  for (Sound& other : audio.sounds) {
    if (other.wav > removed) {
      other.wav--;
    }
  }
  sound.wav = -1;
}

int64_t AudioWavGetMS(const std::string& fileName) {
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("AudioWavGetMS - Unable to open file " + Quoted(fileName) + ".");
    return 0;
  }
  int64_t milliseconds = 0;
  FormatHead head{};
  int32_t size = 0;
  if (ReadFormatHead(file, fileName, "AudioWavGetMS - ", head) &&
      DataFileSeek(file, kRiffHeaderBytes) &&
      FindDataChunk(file, fileName, "AudioWavGetMS - ", size) && head.bytesPerSecond != 0) {
    milliseconds = static_cast<int64_t>(size) * 1000 / head.bytesPerSecond;
  }
  DataFileClose(file);
  return milliseconds;
}

}  // namespace audio_internal
