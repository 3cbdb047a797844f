// Emitters and playback: attaching and stealing sources, play, stop, pause,
// resume, and the per-frame refill of streaming buffers.
#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/log/log.h"
#include "platform/platform.h"

namespace audio_internal {

namespace {

// How often a resume plays a paused source again before giving up when
// OpenAL keeps refusing.
constexpr int kResumeAttempts = 10;

constexpr const char* kUpdateStateError =
    "AudioUpdate - Failed to determine emitter state.  RC Error = ";

// True when tick count `a` lies before `b`, across the 32-bit wrap.
bool TickEarlier(uint32_t a, uint32_t b) {
  return static_cast<int32_t>(a - b) < 0;
}

// The sound whose emitter a sound of index `index` may take: of the sounds
// that count at most as important as it, the least important one, and of
// those equally important the one started earliest (the last in table order
// when they started together). -1 when none qualifies.
int32_t StealCandidate(int32_t index) {
  Module& audio = Audio();
  const int32_t rating = AudioGetRating(index, true);
  int32_t candidate = -1;
  int32_t candidateRating = 0;
  uint32_t candidateStart = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(audio.sounds.size()); i++) {
    if (i == index || audio.sounds[i].emitter < 0) {
      continue;
    }
    const int32_t other = AudioGetRating(i, false);
    const uint32_t started = audio.emitters[audio.sounds[i].emitter].startTime;
    if (other < rating) {
      continue;
    }
    if (candidate < 0 || other > candidateRating ||
        (other == candidateRating && !TickEarlier(candidateStart, started))) {
      candidate = i;
      candidateRating = other;
      candidateStart = started;
    }
  }
  return candidate;
}

// Gives the sound an emitter: a new source while OpenAL makes one, else the
// emitter of a less important sound. False when none could be had.
bool AttachEmitter(int32_t index) {
  Module& audio = Audio();
  ALuint source = 0;
  alGenSources(1, &source);
  if (alGetError() == AL_NO_ERROR) {
    audio.emitters.push_back(Emitter{index, source, 0});
    audio.sounds[index].emitter = static_cast<int32_t>(audio.emitters.size()) - 1;
    return true;
  }
  if (audio.emitters.empty()) {
    LogError("AudioPlay - Unable to find emitter for sound.");
    return false;
  }
  const int32_t candidate = StealCandidate(index);
  if (candidate < 0) {
    return false;
  }
  const int32_t emitter = audio.sounds[candidate].emitter;
  StopEmitter(emitter);
  audio.sounds[candidate].emitter = -1;
  audio.emitters[emitter].sound = index;
  audio.sounds[index].emitter = emitter;
  return true;
}

// Rewinds the stream and queues up to four freshly filled buffers.
void QueueFromStart(int32_t index, ALuint source) {
  Module& audio = Audio();
  AudioSeekData(index);
  Sound& sound = audio.sounds[index];
  int32_t count = 0;
  // A stream that has delivered its last data is not read again: a short
  // non-looping sound fills one buffer and queues only that one.
  while (count < kBufferCount && !sound.ended && FillBuffer(index, sound.buffers[count])) {
    count++;
  }
  if (count == 0) {
    return;
  }
  alSourceQueueBuffers(source, count, sound.buffers);
  const ALenum error = alGetError();
  if (error != AL_NO_ERROR) {
    LogError("AudioPlay - File: " + sound.fileName);
    LogError("AudioPlay - Error queueing buffers.  " + ErrorText(error));
    LogError("AudioPlay - Emitter: " + std::to_string(source));
    LogError("AudioPlay - Buffer Count: " + std::to_string(count));
  }
}

void SetSourceParameters(const Sound& sound, ALuint source) {
  alSourcei(source, AL_SOURCE_RELATIVE, sound.kind == kAudioKindWorld ? AL_FALSE : AL_TRUE);
  CheckError("AudioPlay - Failed to set emitter relativity.  RC Error = ");
  alSourcef(source, AL_GAIN, SoundGain(sound));
  CheckError("AudioPlay - Failed to set emitter volume.  RC Error = ");
  // Looping is done by the stream reader, never by OpenAL.
  alSourcei(source, AL_LOOPING, AL_FALSE);
  CheckError("AudioPlay - Failed to set emitter to not loop.  RC Error = ");
  alSourcefv(source, AL_POSITION, sound.position);
  CheckError("AudioPlay - Failed to set emitter position.  RC Error = ");
  alSourcefv(source, AL_VELOCITY, sound.velocity);
  CheckError("AudioPlay - Failed to set emitter velocity.  RC Error = ");
  alSourcef(source, AL_PITCH, 1.0f);
  CheckError("AudioPlay - Failed to set emitter pitch.  RC Error = ");
}

// Plays a paused source until it reports playing, a bounded number of times.
void ResumeSource(ALuint source, const std::string& name) {
  for (int attempt = 0; attempt < kResumeAttempts; attempt++) {
    alSourcePlay(source);
    CheckError(name + "Failed to play emitter.  RC Error = ");
    const int32_t status =
        SourceStatus(source, name + "Failed to determine emitter status on resume.  RC Error = ");
    if (status == kAudioStatusPlaying) {
      return;
    }
  }
}

}  // namespace

// A source that ran out of buffers while its stream still had data (the frame
// loop stalled for longer than the queue lasts) has been stopped by OpenAL:
// it is refilled and played on. Nothing is decoded for a paused source, nor
// for one that was stopped or has played its stream out.

void AudioRefillEmitter(const Emitter& emitter) {
  Module& audio = Audio();
  if (SourceStatus(emitter.source, kUpdateStateError) == kAudioStatusPaused) {
    return;
  }
  ALint processed = 0;
  alGetSourcei(emitter.source, AL_BUFFERS_PROCESSED, &processed);
  ALenum error = alGetError();
  if (error != AL_NO_ERROR) {
    LogError("AudioUpdate - Could not determine number of buffers processed.  RC = " +
             std::to_string(error));
    return;
  }
  // AudioStop detaches every buffer, so a stopped source that still holds
  // processed buffers of a stream that has not ended ran dry.
  bool requeued = false;
  for (ALint i = 0; i < processed; i++) {
    ALuint buffer = 0;
    alSourceUnqueueBuffers(emitter.source, 1, &buffer);
    error = alGetError();
    if (error != AL_NO_ERROR) {
      LogError("AudioUpdate - Error unqueueing buffer.  RC = " + std::to_string(error));
      return;
    }
    if (!audio.sounds[emitter.sound].ended && FillBuffer(emitter.sound, buffer)) {
      alSourceQueueBuffers(emitter.source, 1, &buffer);
      requeued |= CheckError("AudioUpdate - Error requeueing buffer.  ");
    }
  }
  // Checked after requeueing: a source may also run dry while it is refilled.
  if (requeued && SourceStatus(emitter.source, kUpdateStateError) == kAudioStatusStopped) {
    alSourcePlay(emitter.source);
    CheckError("AudioUpdate - Failed to play emitter.  RC Error = ");
  }
}

namespace {

// The emitter of a known sound of an available module, -1 otherwise.
int32_t EmitterOf(int32_t id) {
  if (!Audio().available) {
    return -1;
  }
  const int32_t index = SoundIndex(id);
  return index < 0 ? -1 : Audio().sounds[index].emitter;
}

}  // namespace

void StopEmitter(int32_t emitter) {
  const ALuint source = Audio().emitters[emitter].source;
  alSourceStop(source);
  CheckError("AudioStop - Unable to stop sound.  ");
  alSourcei(source, AL_BUFFER, 0);
  CheckError("AudioStop - Unable to detach buffers.  ");
}

}  // namespace audio_internal

using namespace audio_internal;

void AudioPlay(int32_t id) {
  Module& audio = Audio();
  const int32_t index = audio.available ? SoundIndex(id) : -1;
  if (index < 0 || AudioGetStatus(id) == kAudioStatusPlaying) {
    return;
  }
  TraceScope trace("AudioPlay - ");
  if (audio.sounds[index].emitter < 0 && !AttachEmitter(index)) {
    return;
  }
  Emitter& emitter = audio.emitters[audio.sounds[index].emitter];
  emitter.startTime = PlatformTickCount();
  alSourceStop(emitter.source);
  CheckError("AudioPlay - Failed to stop emitter.  RC Error = ");
  // The buffers are refilled from the start, which OpenAL allows only once
  // they are no longer queued on the source.
  alSourcei(emitter.source, AL_BUFFER, 0);
  CheckError("AudioPlay - Failed to stop emitter.  RC Error = ");
  QueueFromStart(index, emitter.source);
  SetSourceParameters(audio.sounds[index], emitter.source);
  alSourcePlay(emitter.source);
  CheckError("AudioPlay - Failed to play emitter.  RC Error = ");
}

void AudioStop(int32_t id) {
  const int32_t emitter = EmitterOf(id);
  if (emitter < 0) {
    return;
  }
  TraceScope trace("AudioStop - ");
  StopEmitter(emitter);
}

void AudioPause(int32_t id) {
  const int32_t emitter = EmitterOf(id);
  if (emitter < 0) {
    return;
  }
  TraceScope trace("AudioPause - ");
  AudioRefillEmitter(Audio().emitters[emitter]);
  alSourcePause(Audio().emitters[emitter].source);
  CheckError("AudioPause - Failed to pause emitter.  RC Error = ");
}

void AudioResume(int32_t id) {
  const int32_t emitter = EmitterOf(id);
  if (emitter < 0) {
    return;
  }
  TraceScope trace("AudioResume - ");
  const ALuint source = Audio().emitters[emitter].source;
  if (SourceStatus(source, "AudioResume - Failed to determine emitter status.  RC Error = ") ==
      kAudioStatusPaused) {
    ResumeSource(source, "AudioResume - ");
  }
}

void AudioPauseAll() {
  if (!Audio().available) {
    return;
  }
  TraceScope trace("AudioPauseAll - ");
  for (const Emitter& emitter : Audio().emitters) {
    AudioRefillEmitter(emitter);
    if (SourceStatus(emitter.source,
                     "AudioPauseAll - Failed to determine emitter state.  RC Error = ") ==
        kAudioStatusPlaying) {
      alSourcePause(emitter.source);
      CheckError("AudioPauseAll - Failed to pause emitter.  RC Error = ");
    }
  }
}

void AudioResumeAll() {
  if (!Audio().available) {
    return;
  }
  TraceScope trace("AudioResumeAll - ");
  for (const Emitter& emitter : Audio().emitters) {
    if (SourceStatus(emitter.source,
                     "AudioResumeAll - Failed to determine emitter status.  RC Error = ") ==
        kAudioStatusPaused) {
      ResumeSource(emitter.source, "AudioResumeAll - ");
    }
  }
}

void AudioPausePlaying() {
  Module& audio = Audio();
  if (!audio.available) {
    return;
  }
  for (const Sound& sound : audio.sounds) {
    if (AudioGetStatus(sound.id) == kAudioStatusPlaying) {
      AudioPause(sound.id);
      audio.pausedIds.push_back(sound.id);
    }
  }
}

void AudioResumePaused() {
  Module& audio = Audio();
  for (int32_t id : audio.pausedIds) {
    AudioResume(id);
  }
  audio.pausedIds.clear();
}

void AudioUpdate() {
  if (!Audio().available) {
    return;
  }
  TraceScope trace("AudioUpdate - ");
  for (const Emitter& emitter : Audio().emitters) {
    AudioRefillEmitter(emitter);
  }
}
