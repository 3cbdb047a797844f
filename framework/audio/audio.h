// Music, voice and sound effects through OpenAL. Every sound is streamed from
// its content file (Ogg Vorbis or 16-bit mono WAV) through four buffers that
// AudioUpdate refills once per frame. A sound gets an OpenAL source (its
// emitter) when it is first played and may lose it to a more important sound
// when OpenAL will not make another source. Each emitter's gain is the sound's
// own volume times the app, master and music/voice/sound volume categories,
// which persist in the "Audio" section of "settings.ini".
#pragma once

#include <cstdint>
#include <string>

// --- Module lifecycle ---------------------------------------------------
// Opens the default device and a context, reads the volume categories.
void AudioStart();
// The same over OpenAL Soft's loopback device, which renders only when asked
// (AudioLoopbackRender): mono 32-bit float samples at `rate` Hz. For tests
// and benchmarks.
void AudioStartLoopback(int32_t rate);
// Closes every sound, releases the context, saves the volume categories.
// (AudioStop stops one sound.)
void AudioShutdown();
bool AudioAvailable();  // OpenAL was found and the device opened
// Loopback device only: mixes the next `frames` mono samples into `samples`.
void AudioLoopbackRender(float* samples, int32_t frames);

// --- Sound kinds ------------------------------------------------------------
constexpr uint8_t kAudioKindMusic = 0;
constexpr uint8_t kAudioKindVoice = 1;
constexpr uint8_t kAudioKindSound = 2;
constexpr uint8_t kAudioKindWorld = 3;  // a sound effect placed in the world

// --- Sound status (AudioGetStatus) ------------------------------------------
constexpr int32_t kAudioStatusPaused = 1;
constexpr int32_t kAudioStatusPlaying = 2;
constexpr int32_t kAudioStatusStopped = 3;  // initial, stopped, or no emitter

// --- Sounds -------------------------------------------------------------------
// Opens "*.ogg" or "*.wav" content; a lower rating is more important. Id or -1.
int32_t AudioOpen(const std::string& fileName, uint8_t kind, uint8_t loop, int32_t rating);
void AudioClose(int32_t& id);  // frees the sound and sets id to -1
void AudioCloseAll();          // last opened first
int32_t AudioGetStatus(int32_t id);

// --- Playback -----------------------------------------------------------------
void AudioPlay(int32_t id);  // from the start; nothing while already playing
void AudioStop(int32_t id);  // stops and detaches the buffers; keeps the emitter
void AudioPause(int32_t id);
void AudioResume(int32_t id);
void AudioPauseAll();
void AudioResumeAll();
void AudioPausePlaying();  // pauses playing sounds and remembers them (focus lost)
void AudioResumePaused();  // resumes the remembered sounds (focus regained)
void AudioUpdate();        // once per frame: refills and requeues played buffers

// --- Durations ------------------------------------------------------------------
int64_t AudioFileGetMS(const std::string& fileName);  // 0 when unknown

// --- Volumes (0 to 1) -------------------------------------------------------------
double AudioVolumeGetApp();
double AudioVolumeGetMusic();
double AudioVolumeGetSound();
double AudioVolumeGetVoice();
void AudioVolumeSetApp(double volume);
void AudioVolumeSetMusic(double volume);
void AudioVolumeSetSound(double volume);
void AudioVolumeSetVoice(double volume);
double AudioVolumeGet(int32_t id);  // the sound's own volume
void AudioVolumeSet(int32_t id, double volume);
void AudioVolumeClamp(double& volume);  // NaN and below 0 become 0, above 1 becomes 1
void AudioVolumeUpdate();               // reapplies every emitter's gain

// --- Volume settings ("Audio" section of "settings.ini") -------------------------
void AudioSettingsLoad();
void AudioSettingsSave();

// --- Diagnostics -----------------------------------------------------------
// What the tables hold now, for leak checks and the resource report.
int32_t AudioSoundCount();   // sounds open
int32_t AudioSourceCount();  // OpenAL sources held by sounds (their emitters)
