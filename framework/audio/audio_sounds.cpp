// The sound table: opening, closing, status, ratings, and the dispatch to
// whichever stream reader a sound has.
#include <algorithm>
#include <limits>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace audio_internal {

namespace {

constexpr int32_t kUnattachedPenalty = 1000;

// Removes the sound's emitter: the source is stopped, detached and deleted,
// and later emitter indices move down.
void RemoveEmitter(int32_t index) {
  Module& audio = Audio();
  const int32_t emitter = audio.sounds[index].emitter;
  StopEmitter(emitter);
  ALuint source = audio.emitters[emitter].source;
  alDeleteSources(1, &source);
  CheckError("AudioClose - Failed to delete emitter source.  RC Error = ");
  audio.emitters.erase(audio.emitters.begin() + emitter);
  audio.sounds[index].emitter = -1;
  for (Sound& other : audio.sounds) {
    if (other.emitter > emitter) {
      other.emitter--;
    } else if (other.emitter == emitter) {
      LogError("AudioClose - Additional sounds using same emitter.");
      other.emitter = -1;
    }
  }
}

void FreeStream(int32_t index) {
  Module& audio = Audio();
  Sound& sound = audio.sounds[index];
  if (sound.ogg != nullptr) {
    OggStreamFree(index);
  } else if (sound.wav >= 0) {
    WavStreamFree(index);
  }
  // A stream that failed to open may still hold its content file.
  if (sound.file != -1) {
    DataFileClose(sound.file);
    sound.file = -1;
  }
}

void RemoveSound(int32_t index) {
  Module& audio = Audio();
  audio.sounds.erase(audio.sounds.begin() + index);
  for (Emitter& emitter : audio.emitters) {
    if (emitter.sound > index) {
      emitter.sound--;
    }
  }
}

}  // namespace

int32_t SoundIndex(int32_t id) {
  const std::vector<Sound>& sounds = Audio().sounds;
  // Ids only grow and removal shifts records down, so a sound sits at or
  // before slot id - 1 and the table stays sorted by id.
  if (id >= 1 && id <= static_cast<int32_t>(sounds.size()) && sounds[id - 1].id == id) {
    return id - 1;
  }
  auto found = std::lower_bound(sounds.begin(), sounds.end(), id,
                                [](const Sound& sound, int32_t key) { return sound.id < key; });
  if (found == sounds.end() || found->id != id) {
    return -1;
  }
  return static_cast<int32_t>(found - sounds.begin());
}

int32_t AudioNew() {
  Module& audio = Audio();
  Sound sound;
  sound.id = audio.nextId++;
  alGenBuffers(kBufferCount, sound.buffers);
  CheckError("AudioNew - Failed to generate buffers.  RC Error = ");
  audio.sounds.push_back(sound);
  return static_cast<int32_t>(audio.sounds.size()) - 1;
}

int32_t AudioGetRating(int32_t index, bool includeUnattached) {
  Module& audio = Audio();
  if (!audio.available) {
    return 0;
  }
  TraceScope trace("AudioGetRating - ");
  int32_t rating = -1;
  if (index >= 0 && index < static_cast<int32_t>(audio.sounds.size())) {
    const Sound& sound = audio.sounds[index];
    if (sound.emitter >= 0) {
      const int32_t status =
          SourceStatus(audio.emitters[sound.emitter].source,
                       "AudioGetRating - Failed to determine emitter state.  RC Error = ");
      // A sound that is not playing gives its emitter up more easily, unless
      // it is of the top importance 0 or below.
      const bool penalised = sound.rating > 0 && status != kAudioStatusPlaying;
      const int32_t ceiling = std::numeric_limits<int32_t>::max() - kUnattachedPenalty;
      rating = penalised ? std::min(sound.rating, ceiling) + kUnattachedPenalty : sound.rating;
    } else if (includeUnattached) {
      rating = sound.rating;
    }
  }
  return rating;
}

bool AudioSeekData(int32_t index) {
  const Sound& sound = Audio().sounds[index];
  if (sound.ogg != nullptr) {
    if (!AudioOggSeekData(index)) {
      LogError("AudioSeekData - " + std::to_string(sound.id) +
               ": the Ogg Vorbis stream could not be rewound.");
      return false;
    }
    return true;
  }
  return sound.wav >= 0 && AudioWavSeekData(index);
}

bool FillBuffer(int32_t index, ALuint buffer) {
  const Sound& sound = Audio().sounds[index];
  if (sound.ogg != nullptr) {
    return AudioOggBufferData(index, buffer);
  }
  return sound.wav >= 0 && AudioWavBufferData(index, buffer);
}

}  // namespace audio_internal

using namespace audio_internal;

int32_t AudioOpen(const std::string& fileName, uint8_t kind, uint8_t loop, int32_t rating) {
  if (!Audio().available) {
    return -1;
  }
  const std::string extension = UtilitiesUpperExtension(fileName);
  int32_t id = -1;
  bool opened = false;
  if (extension == ".OGG") {
    opened = AudioOggOpen(fileName, id);
  } else if (extension == ".WAV") {
    opened = AudioWavOpen(fileName, id);
  } else {
    LogError("AudioOpen - Unrecognized file extension \"" + extension + "\".  Sound not loaded.");
    return -1;
  }
  if (!opened) {
    LogError("AudioOpen - Audio file " + Quoted(fileName) + " could not be opened.");
    AudioClose(id);
    return -1;
  }
  Sound& sound = Audio().sounds[SoundIndex(id)];
  sound.kind = kind;
  sound.loop = loop != 0;
  sound.fileName = fileName;
  sound.rating = rating;
  return id;
}

void AudioClose(int32_t& id) {
  const int32_t index = Audio().available ? SoundIndex(id) : -1;
  id = -1;
  if (index < 0) {
    return;
  }
  if (Audio().sounds[index].emitter >= 0) {
    RemoveEmitter(index);
  }
  FreeStream(index);
  Sound& sound = Audio().sounds[index];
  alDeleteBuffers(kBufferCount, sound.buffers);
  CheckError("AudioClose - Failed to delete buffers.  RC Error = ");
  RemoveSound(index);
}

void AudioCloseAll() {
  while (!Audio().sounds.empty()) {
    int32_t id = Audio().sounds.back().id;
    AudioClose(id);
  }
}

int32_t AudioGetStatus(int32_t id) {
  Module& audio = Audio();
  const int32_t index = audio.available ? SoundIndex(id) : -1;
  if (index < 0 || audio.sounds[index].emitter < 0) {
    return kAudioStatusStopped;
  }
  AudioRefillEmitter(audio.emitters[audio.sounds[index].emitter]);
  return SourceStatus(audio.emitters[audio.sounds[index].emitter].source,
                      "AudioGetStatus - Failed to get emitter state.  RC Error = ");
}

int64_t AudioFileGetMS(const std::string& fileName) {
  if (!Audio().available) {
    return 0;
  }
  const std::string extension = UtilitiesUpperExtension(fileName);
  if (extension == ".OGG") {
    return AudioOggGetMS(fileName);
  }
  if (extension == ".WAV") {
    return AudioWavGetMS(fileName);
  }
  LogError("AudioFileGetMS - Unrecognized file extension \"" + extension +
           "\".  Duration not calculated.");
  return 0;
}

// --- Diagnostics -------------------------------------------------------------------

int32_t AudioSoundCount() {
  return static_cast<int32_t>(Audio().sounds.size());
}

int32_t AudioSourceCount() {
  return static_cast<int32_t>(Audio().emitters.size());
}
