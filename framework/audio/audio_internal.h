// Shared between the files of the audio module; not part of its API. The
// module keeps one state record; sounds, emitters and streams refer to each
// other by index (sound table, emitter table, WAV table) or by sound id (Ogg
// streams, which libvorbisfile holds by address).
#pragma once

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace audio_internal {

constexpr int32_t kBufferCount = 4;
constexpr int32_t kFillBytes = 40960;  // one buffer fill of 16-bit mono PCM
constexpr int32_t kOggReadBytes = 4096;
constexpr uint8_t kNewSoundKind = 4;  // until AudioOpen stores the caller's kind

struct OggStream {
  int32_t soundId = -1;  // the callbacks find their sound by this id
  OggVorbis_File decoder{};
  int bitstream = 0;
  int32_t segments = 0;  // ov_read calls that returned non-zero since (re)opening
  int32_t dumpFile = 0;  // direct file receiving raw PCM with "-writePCM", 0 when none
};

struct WavStream {
  int32_t position = 0;  // bytes of the data chunk already read
  int32_t size = 0;      // data chunk size, 0 while not located
};

struct Sound {
  int32_t id = 0;
  uint8_t kind = kNewSoundKind;
  std::string fileName;
  int32_t file = -1;  // content file id, -1 when none
  int32_t rating = 0;
  bool loop = false;
  bool ended = true;  // the stream delivered its last data; no refills
  ALuint buffers[kBufferCount] = {};
  ALenum format = 0;
  int32_t rate = 0;
  double volume = 1.0;
  float position[3] = {0, 0, 0};
  float velocity[3] = {0, 0, 0};
  int32_t emitter = -1;
  OggStream* ogg = nullptr;
  int32_t wav = -1;
};

struct Emitter {
  int32_t sound = -1;  // index of the owning sound
  ALuint source = 0;
  uint32_t startTime = 0;  // tick count at the last AudioPlay
};

struct Module {
  bool available = false;
  bool oggAvailable = false;
  bool writePCM = false;
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  LPALCRENDERSAMPLESSOFT renderSamples = nullptr;  // loopback device only
  float app = 1, master = 1, music = 1, sound = 1, voice = 1;
  std::vector<int32_t> pausedIds;
  std::vector<Sound> sounds;
  std::vector<Emitter> emitters;
  std::vector<WavStream> wavs;
  std::list<OggStream> oggs;
  int32_t nextId = 1;
  std::vector<char> fillArea;  // PCM gathered for one buffer fill
};

Module& Audio();

// --- Messages -----------------------------------------------------------------
// Brackets a block of work with LogTraceBegin and LogTraceEnd of one prefix.
class TraceScope {
 public:
  explicit TraceScope(const char* prefix);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  const char* prefix_;
};
std::string ErrorText(ALenum code);  // the text for an OpenAL error code
std::string Quoted(const std::string& name);
// Reads the source state, mapped to 2 playing, 1 paused, 3 otherwise; an
// OpenAL error logs `errorLead` + the error text.
int32_t SourceStatus(ALuint source, const std::string& errorLead);

// Refills and requeues the buffers the emitter's source has finished, and
// plays a source that ran dry while its stream still had data; paused and
// stopped sources are left alone. Whatever asks whether a sound plays, or
// pauses it, calls this first: a sound that ran dry is still meant to play.
void AudioRefillEmitter(const Emitter& emitter);

// Logs `lead` + the error text when OpenAL reports an error; true when none.
bool CheckError(const std::string& lead);

// --- File fields (little-endian) -----------------------------------------------
inline uint16_t ReadLE16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline uint32_t ReadLE32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
inline uint64_t ReadLE64(const uint8_t* bytes) {
  return static_cast<uint64_t>(ReadLE32(bytes)) |
         (static_cast<uint64_t>(ReadLE32(bytes + 4)) << 32);
}

// --- Sound table --------------------------------------------------------------
int32_t SoundIndex(int32_t id);  // -1 when unknown
int32_t AudioNew();              // index of a fresh record with four buffers
int32_t AudioGetRating(int32_t index, bool includeUnattached);
bool AudioSeekData(int32_t index);  // rewinds whichever stream the sound has
bool FillBuffer(int32_t index, ALuint buffer);

// --- Emitters -------------------------------------------------------------------
// Stops the emitter's source and detaches its buffers (the work of AudioStop).
void StopEmitter(int32_t emitter);

// --- Ogg Vorbis streams ---------------------------------------------------------
bool AudioOggOpen(const std::string& fileName, int32_t& id);
bool AudioOggSeekData(int32_t index);
bool AudioOggBufferData(int32_t index, ALuint buffer);
void OggStreamFree(int32_t index);
int64_t AudioOggGetMS(const std::string& fileName);

// --- WAV streams -------------------------------------------------------------------
bool AudioWavOpen(const std::string& fileName, int32_t& id);
bool AudioWavSeekData(int32_t index);
bool AudioWavBufferData(int32_t index, ALuint buffer);
void WavStreamFree(int32_t index);
int64_t AudioWavGetMS(const std::string& fileName);

// --- Gains ------------------------------------------------------------------------
float SoundGain(const Sound& sound);
void ResetVolumes();

}  // namespace audio_internal
