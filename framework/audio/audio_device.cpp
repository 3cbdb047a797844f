// The module state, the OpenAL device and context, and OpenAL error texts.
#include <algorithm>
#include <cctype>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace audio_internal {

namespace {

Module state;

// The libraries the module needs; the Linux names of the designed
// "openal32.dll", "libogg.dll", "libvorbis.dll" and "libvorbisfile.dll".
constexpr const char* kOpenALLibrary = "libopenal.so.1";
constexpr const char* kOggLibraries[] = {"libogg.so.0", "libvorbis.so.0", "libvorbisfile.so.3"};

bool OpenLoopbackDevice(int32_t rate) {
  if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
    return false;
  }
  auto openDevice = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
      alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
  state.renderSamples =
      reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
  if (openDevice == nullptr || state.renderSamples == nullptr) {
    return false;
  }
  state.device = openDevice(nullptr);
  if (state.device == nullptr) {
    return false;
  }
  const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                               ALC_MONO_SOFT,
                               ALC_FORMAT_TYPE_SOFT,
                               ALC_FLOAT_SOFT,
                               ALC_FREQUENCY,
                               rate,
                               0};
  state.context = alcCreateContext(state.device, attributes);
  return state.context != nullptr;
}

bool OpenDefaultDevice() {
  state.device = alcOpenDevice(nullptr);
  if (state.device == nullptr) {
    return false;
  }
  state.context = alcCreateContext(state.device, nullptr);
  return state.context != nullptr;
}

void CloseDevice() {
  alcMakeContextCurrent(nullptr);
  if (state.context != nullptr) {
    alcDestroyContext(state.context);
  }
  if (state.device != nullptr) {
    alcCloseDevice(state.device);
  }
  state.context = nullptr;
  state.device = nullptr;
  state.renderSamples = nullptr;
}

bool OggLibrariesPresent() {
  return std::all_of(std::begin(kOggLibraries), std::end(kOggLibraries),
                     [](const char* name) { return DataFileSearchPath(name); });
}

}  // namespace

Module& Audio() {
  return state;
}

std::string ErrorText(ALenum code) {
  const std::string number = std::to_string(code);
  switch (code) {
    case AL_NO_ERROR:
      return "There is not currently an error.  Error = " + number;
    case AL_INVALID_NAME:
      return "A bad name (ID) was passed to an OpenAL function.  Error = " + number;
    case AL_INVALID_ENUM:
      return "An invalid enum value was passed to an OpenAL function.  Error = " + number;
    case AL_INVALID_VALUE:
      return "An invalid value was passed to an OpenAL function.  Error = " + number;
    case AL_INVALID_OPERATION:
      return "The requested operation is not valid.  Error = " + number;
    case AL_OUT_OF_MEMORY:
      return "The requested operation resulted in OpenAL running out of memory.  Error = " + number;
    default:
      return "Unrecgoznied OpenAL error " + number + ".";
  }
}

TraceScope::TraceScope(const char* prefix) : prefix_(prefix) {
  LogTraceBegin(prefix_);
}

TraceScope::~TraceScope() {
  LogTraceEnd(prefix_);
}

bool CheckError(const std::string& lead) {
  const ALenum error = alGetError();
  if (error == AL_NO_ERROR) {
    return true;
  }
  LogError(lead + ErrorText(error));
  return false;
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

int32_t SourceStatus(ALuint source, const std::string& errorLead) {
  ALint state = AL_STOPPED;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  CheckError(errorLead);
  if (state == AL_PLAYING) {
    return kAudioStatusPlaying;
  }
  return state == AL_PAUSED ? kAudioStatusPaused : kAudioStatusStopped;
}

}  // namespace audio_internal

using namespace audio_internal;

namespace {

void Start(bool loopback, int32_t rate) {
  state = Module{};
  LogVersion("qmrAudio - Version 1.0");
  if (!DataFileSearchPath(kOpenALLibrary)) {
    LogError("OpenAL is not installed.  Audio playback is not possible.");
    return;
  }
  const bool opened = loopback ? OpenLoopbackDevice(rate) : OpenDefaultDevice();
  if (!opened || !alcMakeContextCurrent(state.context)) {
    LogError("AudioStart - Unable to open the audio device.  Audio playback is not possible.");
    CloseDevice();
    return;
  }
  state.available = true;
  state.writePCM = UtilitiesSwitchPresent("-writePCM");
  alGetError();
  state.oggAvailable = OggLibrariesPresent();
  if (!state.oggAvailable) {
    LogError("Ogg Vorbis is not installed.  Ogg Vorbis playback is not possible.");
  }
  ResetVolumes();
  AudioSettingsLoad();
}

}  // namespace

void AudioStart() {
  Start(false, 0);
}

void AudioStartLoopback(int32_t rate) {
  Start(true, rate);
}

void AudioShutdown() {
  if (state.available) {
    AudioCloseAll();
    CloseDevice();
    AudioSettingsSave();
  }
  state = Module{};
}

bool AudioAvailable() {
  return state.available;
}

void AudioLoopbackRender(float* samples, int32_t frames) {
  if (state.renderSamples != nullptr && frames > 0) {
    state.renderSamples(state.device, samples, frames);
  }
}
