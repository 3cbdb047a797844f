// Volume categories: app, master, music, sound and voice scale every sound's
// own volume; they persist as whole percentages in the "Audio" section of
// "settings.ini".
#include <algorithm>
#include <charconv>
#include <cmath>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"

namespace audio_internal {

namespace {

constexpr const char* kSection = "Audio";
constexpr int32_t kFullPercent = 100;

struct CategoryKey {
  const char* key;
  float Module::*category;
};

// In the order they are read and written.
constexpr CategoryKey kCategoryKeys[] = {
    {"App Volume", &Module::app},     {"Master Volume", &Module::master},
    {"Music Volume", &Module::music}, {"Sound Volume", &Module::sound},
    {"Voice Volume", &Module::voice},
};

// A stored percentage: integer text clamped to 0..100, anything else 100.
int32_t ParsePercent(const std::string& text) {
  if (!UtilitiesIsIntegerText(text)) {
    return kFullPercent;
  }
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    return text[0] == '-' ? 0 : kFullPercent;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(value, 0, kFullPercent));
}

double CategoryGet(const char* name, float Module::*category) {
  TraceScope trace(name);
  return Audio().available ? Audio().*category : 0.0;
}

void CategorySet(const char* name, float Module::*category, double volume) {
  TraceScope trace(name);
  if (!Audio().available) {
    return;
  }
  AudioVolumeClamp(volume);
  Audio().*category = static_cast<float>(volume);
  AudioVolumeUpdate();
}

}  // namespace

float SoundGain(const Sound& sound) {
  const Module& audio = Audio();
  float category = audio.sound;
  if (sound.kind == kAudioKindMusic) {
    category = audio.music;
  } else if (sound.kind == kAudioKindVoice) {
    category = audio.voice;
  }
  return static_cast<float>(sound.volume * audio.app * audio.master * category);
}

void ResetVolumes() {
  for (const CategoryKey& entry : kCategoryKeys) {
    Audio().*entry.category = 1.0f;
  }
}

}  // namespace audio_internal

using namespace audio_internal;

double AudioVolumeGetApp() {
  return CategoryGet("AudioVolumeGetApp - ", &Module::app);
}
double AudioVolumeGetMusic() {
  return CategoryGet("AudioVolumeGetMusic - ", &Module::music);
}
double AudioVolumeGetSound() {
  return CategoryGet("AudioVolumeGetSound - ", &Module::sound);
}
double AudioVolumeGetVoice() {
  return CategoryGet("AudioVolumeGetVoice - ", &Module::voice);
}

void AudioVolumeSetApp(double volume) {
  CategorySet("AudioVolumeSetApp - ", &Module::app, volume);
}
void AudioVolumeSetMusic(double volume) {
  CategorySet("AudioVolumeSetMusic - ", &Module::music, volume);
}
void AudioVolumeSetSound(double volume) {
  CategorySet("AudioVolumeSetSound - ", &Module::sound, volume);
}
void AudioVolumeSetVoice(double volume) {
  CategorySet("AudioVolumeSetVoice - ", &Module::voice, volume);
}

double AudioVolumeGet(int32_t id) {
  TraceScope trace("AudioVolumeGet - ");
  const int32_t index = Audio().available ? SoundIndex(id) : -1;
  return index < 0 ? 0.0 : Audio().sounds[index].volume;
}

void AudioVolumeSet(int32_t id, double volume) {
  TraceScope trace("AudioVolumeSet - ");
  Module& audio = Audio();
  const int32_t index = audio.available ? SoundIndex(id) : -1;
  if (index < 0) {
    return;
  }
  AudioVolumeClamp(volume);
  Sound& sound = audio.sounds[index];
  sound.volume = volume;
  if (sound.emitter >= 0) {
    alSourcef(audio.emitters[sound.emitter].source, AL_GAIN, SoundGain(sound));
    CheckError("AudioVolumeSet - Failed to set emitter volume.  RC Error = ");
  }
}

void AudioVolumeClamp(double& volume) {
  TraceScope trace("AudioVolumeClamp - ");
  if (!(volume >= 0.0)) {
    volume = 0.0;
  } else if (volume > 1.0) {
    volume = 1.0;
  }
}

void AudioVolumeUpdate() {
  TraceScope trace("AudioVolumeUpdate - ");
  Module& audio = Audio();
  if (!audio.available) {
    return;
  }
  for (const Emitter& emitter : audio.emitters) {
    alSourcef(emitter.source, AL_GAIN, SoundGain(audio.sounds[emitter.sound]));
    CheckError("AudioVolumeUpdate - Failed to set emitter volume.  RC Error = ");
  }
}

void AudioSettingsLoad() {
  for (const CategoryKey& entry : kCategoryKeys) {
    const int32_t percent = ParsePercent(IniReadString(kSection, entry.key, "100"));
    Audio().*entry.category = static_cast<float>(percent) / kFullPercent;
  }
}

void AudioSettingsSave() {
  TraceScope trace("AudioSettingsSave - ");
  IniBatchBegin();
  for (const CategoryKey& entry : kCategoryKeys) {
    // Rounded to the nearest whole percentage, halves to the even neighbour.
    const double percent = std::nearbyint(static_cast<double>(Audio().*entry.category) * 100.0);
    IniWriteString(kSection, entry.key, std::to_string(static_cast<int32_t>(percent)));
  }
  IniBatchEnd();
}
