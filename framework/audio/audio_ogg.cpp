// Ogg Vorbis streams: libvorbisfile reads the content file through the
// data-file layer, so sounds play from archives and patch sets alike.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace audio_internal {

namespace {

// A damaged stream can make ov_read fail again and again without moving on;
// after this many failures in a row the stream counts as ended.
constexpr int kMaxDecodeErrorsInRow = 16;
constexpr int32_t kPageHeaderBytes = 28;  // page header with a one-byte segment table
constexpr int32_t kIdentificationBytes = 16;
constexpr int32_t kScanBlockBytes = 8192;

// The sound of a stream handed to a callback; logs `lead` + the id when the
// sound no longer exists.
Sound* StreamSound(void* dataSource, const char* lead) {
  const OggStream* stream = static_cast<const OggStream*>(dataSource);
  const int32_t index = SoundIndex(stream->soundId);
  if (index < 0) {
    LogError(lead + std::to_string(stream->soundId));
    return nullptr;
  }
  return &Audio().sounds[index];
}

size_t AudioOggRead(void* buffer, size_t size, size_t count, void* dataSource) {
  if (size == 0 || count == 0) {
    return 0;
  }
  Sound* sound = StreamSound(dataSource, "AudioOggRead - Invalid soundId = ");
  if (sound == nullptr) {
    return 0;
  }
  const size_t limit = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  const size_t wanted = count > limit / size ? limit : size * count;
  const int32_t read = DataFileRead(sound->file, buffer, static_cast<int32_t>(wanted));
  return static_cast<size_t>(std::max(read, 0)) / size;
}

int AudioOggSeek(void* dataSource, ogg_int64_t offset, int origin) {
  Sound* sound = StreamSound(dataSource, "AudioOggSeek - Invalid soundId = ");
  if (sound == nullptr) {
    return -1;
  }
  int64_t base = -1;
  if (origin == SEEK_SET) {
    base = 0;
  } else if (origin == SEEK_CUR) {
    base = DataFileTell(sound->file);
  } else if (origin == SEEK_END) {
    base = DataFileSize(sound->file);
  }
  const int64_t limit = std::numeric_limits<int32_t>::max();
  const bool inRange = base >= 0 && offset >= -base && offset <= limit - base;
  if (!inRange || !DataFileSeek(sound->file, static_cast<int32_t>(base + offset))) {
    LogError("AudioOggSeek - Unable to seek to position in " + Quoted(sound->fileName) + ".");
    return -1;
  }
  return 0;
}

int AudioOggClose(void* dataSource) {
  Sound* sound = StreamSound(dataSource, "AudioOggClose - Invalid soundId = ");
  if (sound == nullptr) {
    return -1;
  }
  DataFileClose(sound->file);
  sound->file = -1;
  return 0;
}

long AudioOggTell(void* dataSource) {
  Sound* sound = StreamSound(dataSource, "AudioOggTell - Invalid soundId = ");
  return sound == nullptr ? -1 : DataFileTell(sound->file);
}

const ov_callbacks kCallbacks = {AudioOggRead, AudioOggSeek, AudioOggClose, AudioOggTell};

std::string FileNamePart(const std::string& fileName) {
  const size_t separator = fileName.find_last_of("\\/");
  return separator == std::string::npos ? fileName : fileName.substr(separator + 1);
}

// "-writePCM": every decoded piece also goes raw into <user data>/<name>.txt.
void CreateDump(OggStream& stream, const std::string& fileName) {
  if (stream.dumpFile == 0) {
    stream.dumpFile =
        DataFileDirectCreate(UtilitiesUserDataFolder() + FileNamePart(fileName) + ".txt");
  }
}

void Dump(const OggStream& stream, const char* pcm, int32_t bytes) {
  if (stream.dumpFile != 0) {
    DataFileDirectWrite(stream.dumpFile, pcm, bytes);
  }
}

// Decodes up to one fill into `area`; false when a looping stream cannot be
// rewound. `total` receives the bytes decoded.
bool Decode(int32_t index, char* area, int32_t& total) {
  Module& audio = Audio();
  OggStream& stream = *audio.sounds[index].ogg;
  total = 0;
  long result = 1;
  int errorsInRow = 0;
  // Where this fill last went back to the start, -1 before it did.
  int32_t totalAtRewind = -1;
  while (result != 0 && total < kFillBytes) {
    result = ov_read(&stream.decoder, area + total, kOggReadBytes, 0, 2, 1, &stream.bitstream);
    if (result > 0) {
      stream.segments++;
      Dump(stream, area + total, static_cast<int32_t>(result));
      total += static_cast<int32_t>(result);
      errorsInRow = 0;
    } else if (result < 0) {
      stream.segments++;
      LogError("AudioOggBufferData - Decoded " + std::to_string(result) + " bytes in Ogg Segment " +
               std::to_string(stream.segments) + " .  Too Many!");
      if (++errorsInRow == kMaxDecodeErrorsInRow) {
        result = 0;
      }
    } else if (audio.sounds[index].loop && ov_pcm_tell(&stream.decoder) > 0 &&
               total > totalAtRewind) {
      // A stream that gave nothing since it was opened, or since this fill
      // went back to its start, would loop forever. (The position alone does
      // not tell: a stream's first page may say it starts past sample 0.)
      totalAtRewind = total;
      if (!AudioOggSeekData(index)) {
        LogError("AudioOggBufferData - Could not seek start of " +
                 Quoted(audio.sounds[index].fileName) +
                 " for looping.  Unrecgoznied Ogg Vorbis error 0.");
        return false;
      }
      result = 1;
    }
  }
  if (result == 0) {
    audio.sounds[index].ended = true;
  }
  return true;
}

// Opens the decoder over the sound's content file; logs `lead` + the
// libvorbisfile result on failure.
bool OpenDecoder(Sound& sound, const std::string& lead) {
  OggStream& stream = *sound.ogg;
  const int result = ov_open_callbacks(&stream, &stream.decoder, nullptr, 0, kCallbacks);
  if (result != 0) {
    LogError(lead + "Could not open Ogg Vorbis callbacks.  RC = " + std::to_string(result));
    return false;
  }
  return true;
}

bool ReadOggDuration(int32_t file, const std::string& fileName, int64_t& milliseconds) {
  const std::string quoted = Quoted(fileName) + ".";
  uint8_t page[kPageHeaderBytes];
  if (!DataFileReadExact(file, page, kPageHeaderBytes)) {
    LogError("AudioOggGetMS - Unable to read file header of ogg file " + quoted);
    return false;
  }
  uint8_t identification[kIdentificationBytes];
  if (!DataFileReadExact(file, identification, kIdentificationBytes)) {
    LogError("AudioOggGetMS - Unable to read vorbis info from file " + quoted);
    return false;
  }
  if (identification[0] != 1 || std::memcmp(identification + 1, "vorbis", 6) != 0) {
    LogError("AudioOggGetMS - Invalid vorbis info signature in file " + quoted);
    return false;
  }
  const uint32_t rate = ReadLE32(identification + 12);
  if (rate == 0) {
    LogError("AudioOggGetMS - Invalid sample rate in file " + quoted);
    return false;
  }
  // The last page's granule position is the stream's length in samples.
  const int32_t size = DataFileSize(file);
  const int32_t blockBytes = std::min(size, kScanBlockBytes);
  std::vector<uint8_t> block(blockBytes);
  for (int32_t start = std::max(size - kScanBlockBytes, 0); start >= 0; start -= kScanBlockBytes) {
    if (!DataFileSeek(file, start) || !DataFileReadExact(file, block.data(), blockBytes)) {
      LogError("AudioOggGetMS - Unexpected end of file " + quoted);
      return false;
    }
    for (int32_t at = blockBytes - 4; at >= 0; at--) {
      if (std::memcmp(block.data() + at, "OggS", 4) != 0) {
        continue;
      }
      if (!DataFileSeek(file, start + at) || !DataFileReadExact(file, page, kPageHeaderBytes)) {
        LogError("AudioOggGetMS - Unable to read ogg page header in file " + quoted);
        return false;
      }
      const int64_t granule = static_cast<int64_t>(ReadLE64(page + 6));
      const __int128 duration = static_cast<__int128>(granule) * 1000 / rate;
      milliseconds = static_cast<int64_t>(
          std::clamp<__int128>(duration, 0, std::numeric_limits<int64_t>::max()));
      return true;
    }
  }
  return true;
}

}  // namespace

bool AudioOggOpen(const std::string& fileName, int32_t& id) {
  Module& audio = Audio();
  id = -1;
  if (!audio.oggAvailable) {
    return false;
  }
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("AudioOggOpen - Unable to open file " + Quoted(fileName) + ".");
    return false;
  }
  const int32_t index = AudioNew();
  Sound& sound = audio.sounds[index];
  id = sound.id;
  sound.fileName = fileName;
  sound.file = file;
  sound.ogg = &audio.oggs.emplace_back();
  sound.ogg->soundId = id;
  if (!OpenDecoder(sound, "AudioOggOpen - ")) {
    return false;
  }
  const vorbis_info* info = ov_info(&sound.ogg->decoder, -1);
  LogTrace(info->channels == 1 ? "AudioOggOpen - Ogg Vorbis Channels: Mono"
                               : "AudioOggOpen - Ogg Vorbis Channels: Stereo");
  LogTrace("AudioOggOpen - Ogg Vorbis Frequency: " + std::to_string(info->rate) + "Hz");
  if (info->channels != 1) {
    LogError("AudioOggOpen - Ogg Vorbis file " + Quoted(fileName) +
             " does not contain 16-bit mono sound data.");
    return false;
  }
  sound.format = AL_FORMAT_MONO16;
  sound.rate = static_cast<int32_t>(info->rate);
  sound.ended = false;
  if (audio.writePCM) {
    CreateDump(*sound.ogg, fileName);
  }
  return true;
}

bool AudioOggSeekData(int32_t index) {
  Sound& sound = Audio().sounds[index];
  OggStream& stream = *sound.ogg;
  // Until the decoder is open again the stream has nothing to give.
  sound.ended = true;
  ov_clear(&stream.decoder);
  if (sound.file != -1) {
    DataFileClose(sound.file);
  }
  stream.bitstream = 0;
  stream.segments = 0;
  sound.file = DataFileOpen(sound.fileName);
  if (sound.file == 0) {
    sound.file = -1;
    LogError("AudioOggSeekData - Unable to reopen file " + Quoted(sound.fileName) + ".");
    return false;
  }
  if (!OpenDecoder(sound, "AudioOggSeekData - ")) {
    return false;
  }
  ov_info(&stream.decoder, -1);
  sound.ended = false;
  return true;
}

bool AudioOggBufferData(int32_t index, ALuint buffer) {
  Module& audio = Audio();
  TraceScope trace("AudioOggBufferData - ");
  // An Ogg fill may pass the fill unit by up to one read.
  audio.fillArea.resize(kFillBytes + kOggReadBytes);
  int32_t total = 0;
  if (!Decode(index, audio.fillArea.data(), total)) {
    return false;
  }
  LogTrace("AudioOggBufferData - Decoded " + std::to_string(total) + " bytes.");
  if (total == 0) {
    return false;
  }
  const Sound& sound = audio.sounds[index];
  alBufferData(buffer, sound.format, audio.fillArea.data(), total, sound.rate);
  return CheckError("AudioOggBufferData - Failed to buffer Ogg data.  RC Error = ");
}

void OggStreamFree(int32_t index) {
  Module& audio = Audio();
  Sound& sound = audio.sounds[index];
  ov_clear(&sound.ogg->decoder);
  if (sound.ogg->dumpFile != 0) {
    DataFileDirectClose(sound.ogg->dumpFile);
  }
  const OggStream* stream = sound.ogg;
  audio.oggs.remove_if([stream](const OggStream& each) { return &each == stream; });
  sound.ogg = nullptr;
}

int64_t AudioOggGetMS(const std::string& fileName) {
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("AudioOggGetMS - Unable to open file " + Quoted(fileName) + ".");
    return 0;
  }
  int64_t milliseconds = 0;
  ReadOggDuration(file, fileName, milliseconds);
  DataFileClose(file);
  return milliseconds;
}

}  // namespace audio_internal
