// Audio benchmarks over OpenAL Soft's loopback device:
// - decoding a three-minute Ogg Vorbis file through the streaming layer
//   (content file callbacks, 40 KB fills handed to OpenAL) against a bare
//   ov_read loop over the same bytes in memory;
// - AudioUpdate with 32 streaming sounds, one call per rendered game frame.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "framework/audio/audio.h"
#include "framework/audio/audio_internal.h"
#include "framework/datafile/datafile.h"
#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "tests/framework/audio/audio_files.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace audio_internal;

constexpr int32_t kRate = 44100;
constexpr int32_t kFrameSamples = kRate / 60;
constexpr int32_t kStreams = 32;

std::string folder;
std::string music;  // the three-minute file's bytes
double oursMs = 0;
double peerMs = 0;
double updateOggUs = 0;
double updateWavUs = 0;
constexpr int32_t kMusicSeconds = 180;
constexpr int32_t kLoopRate = 22050;

// Something like music: a few drifting partials over soft noise.
std::vector<int16_t> MusicSamples(int32_t rate, int32_t seconds) {
  const int32_t count = rate * seconds;
  std::vector<int16_t> mix(count, 0);
  const double partials[][2] = {{110, 0.2}, {220, 0.12}, {330, 0.08}, {523, 0.06}, {784, 0.04}};
  for (const auto& [frequency, amplitude] : partials) {
    const std::vector<int16_t> tone = Tone(frequency, rate, count, amplitude, frequency);
    for (int32_t i = 0; i < count; i++) {
      mix[i] = static_cast<int16_t>(mix[i] + tone[i]);
    }
  }
  return WithNoise(mix, 0.03);
}

void StartModules() {
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  folder = std::string(mkdtemp(pattern)) + "/";
  PlatformStart(PlatformBackend::Headless);
  PlatformSetProgramPath(folder + "game");
  PlatformSetParameters({"-userdatainapp"});
  PlatformClockSetManual(true);
  DataFileStart();
  music = OggFile(MusicSamples(kRate, kMusicSeconds), kRate);
  DataFileDirectWriteWhole(folder + "music.ogg", music);
  const std::vector<int16_t> loop = MusicSamples(kLoopRate, 10);
  DataFileDirectWriteWhole(folder + "loop.ogg", OggFile(loop, kLoopRate));
  DataFileDirectWriteWhole(folder + "loop.wav", WavFile(loop, kLoopRate));
  LogStart();
  UtilitiesStart();
  IniStart();
  AudioStartLoopback(kRate);
}

void StopModules() {
  AudioShutdown();
  IniStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  std::filesystem::remove_all(folder);
}

// --- Peer: libvorbisfile over the bytes in memory --------------------------------
struct Memory {
  const std::string* bytes;
  size_t position;
};

size_t MemoryRead(void* buffer, size_t size, size_t count, void* source) {
  Memory& memory = *static_cast<Memory*>(source);
  const size_t bytes = std::min(size * count, memory.bytes->size() - memory.position);
  std::memcpy(buffer, memory.bytes->data() + memory.position, bytes);
  memory.position += bytes;
  return bytes / size;
}

int MemorySeek(void* source, ogg_int64_t offset, int origin) {
  Memory& memory = *static_cast<Memory*>(source);
  const int64_t base = origin == SEEK_SET   ? 0
                       : origin == SEEK_CUR ? static_cast<int64_t>(memory.position)
                                            : static_cast<int64_t>(memory.bytes->size());
  memory.position = static_cast<size_t>(
      std::clamp<int64_t>(base + offset, 0, static_cast<int64_t>(memory.bytes->size())));
  return 0;
}

long MemoryTell(void* source) {
  return static_cast<long>(static_cast<Memory*>(source)->position);
}

int64_t PeerDecode() {
  Memory memory{&music, 0};
  OggVorbis_File decoder;
  ov_open_callbacks(&memory, &decoder, nullptr, 0,
                    ov_callbacks{MemoryRead, MemorySeek, nullptr, MemoryTell});
  char pcm[4096];
  int bitstream = 0;
  int64_t total = 0;
  long got = 0;
  while ((got = ov_read(&decoder, pcm, sizeof pcm, 0, 2, 1, &bitstream)) != 0) {
    total += std::max(got, 0L);
  }
  ov_clear(&decoder);
  return total;
}

// --- Ours: rewind and fill buffers until the stream ends ---------------------------
int64_t OursDecode(int32_t index, ALuint buffer) {
  AudioSeekData(index);
  int64_t fills = 0;
  while (!Audio().sounds[index].ended && AudioOggBufferData(index, buffer)) {
    fills++;
  }
  return fills;
}

double SecondsOf(const std::function<int64_t()>& decode) {
  const auto start = Clock::now();
  benchmark::DoNotOptimize(decode());
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ours and the peer take turns within each iteration, so both see the same
// machine load; the iteration time is ours.
void BM_OggDecode(benchmark::State& state) {
  DataFileCacheLoad("music.ogg");
  int32_t id = AudioOpen("music.ogg", kAudioKindMusic, 0, 1);
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  const int32_t index = SoundIndex(id);
  double ours = 0, peer = 0;
  for (auto _ : state) {
    const double seconds = SecondsOf([&] { return OursDecode(index, buffer); });
    state.SetIterationTime(seconds);
    ours += seconds;
    peer += SecondsOf(PeerDecode);
  }
  oursMs = ours * 1000.0 / static_cast<double>(state.iterations());
  peerMs = peer * 1000.0 / static_cast<double>(state.iterations());
  state.counters["peer_ms"] = peerMs;
  alDeleteBuffers(1, &buffer);
  AudioClose(id);
  DataFileCacheFree("music.ogg");
}

// --- AudioUpdate with 32 looping streams, one call per 1/60 s rendered -------------
void UpdateWithStreams(benchmark::State& state, const std::string& file, double& microseconds) {
  std::vector<int32_t> ids;
  for (int32_t i = 0; i < kStreams; i++) {
    ids.push_back(AudioOpen(file, kAudioKindSound, 1, 1));
    AudioPlay(ids.back());
  }
  std::vector<float> samples(kFrameSamples);
  double total = 0;
  for (auto _ : state) {
    AudioLoopbackRender(samples.data(), kFrameSamples);
    const auto start = Clock::now();
    AudioUpdate();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    total += seconds;
  }
  microseconds = total * 1e6 / static_cast<double>(state.iterations());
  state.counters["playing"] =
      static_cast<double>(std::count_if(ids.begin(), ids.end(), [](int32_t id) {
        return AudioGetStatus(id) == kAudioStatusPlaying;
      }));
  AudioCloseAll();
}

void BM_AudioUpdate32Ogg(benchmark::State& state) {
  UpdateWithStreams(state, "loop.ogg", updateOggUs);
}
void BM_AudioUpdate32Wav(benchmark::State& state) {
  UpdateWithStreams(state, "loop.wav", updateWavUs);
}

BENCHMARK(BM_OggDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_AudioUpdate32Ogg)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(6000);
BENCHMARK(BM_AudioUpdate32Wav)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(6000);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  StartModules();
  benchmark::RunSpecifiedBenchmarks();
  if (oursMs > 0 && peerMs > 0) {
    std::printf("ogg-decode: ours %.1f ms, peer %.1f ms, ratio %.3f\n", oursMs, peerMs,
                oursMs / peerMs);
  }
  if (updateOggUs > 0 && peerMs > 0) {
    // What the bare decoder alone needs for the audio 32 streams use up per
    // frame: the floor under any per-frame Ogg streaming.
    const double peerNsPerSample = peerMs * 1e6 / (kMusicSeconds * static_cast<double>(kRate));
    const double samplesPerFrame = kStreams * static_cast<double>(kLoopRate) / 60.0;
    const double floorUs = samplesPerFrame * peerNsPerSample / 1000.0;
    std::printf(
        "audio-update: ours %.1f us per call with %d Ogg streams (peer decode alone %.1f us, "
        "ratio %.3f); %.1f us with %d WAV streams\n",
        updateOggUs, kStreams, floorUs, updateOggUs / floorUs, updateWavUs, kStreams);
  }
  StopModules();
  benchmark::Shutdown();
  return 0;
}
