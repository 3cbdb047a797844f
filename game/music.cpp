// The music tracks: each fades in or out on the current state's clock, and a
// track that has faded out is closed.
#include <cmath>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/state/state.h"
#include "game/game_internal.h"

namespace {

// The audio module's rating of music: looping tracks that should not lose
// their emitters to sound effects.
constexpr int32_t kMusicRating = 2;

struct Track {
  int32_t sound = -1;
  std::string file;
  int64_t fadeStart = 0;  // milliseconds on the current state's clock
  int64_t fadeEnd = 0;
  bool fadingIn = true;
  int32_t startVolume = 0;  // percent
};

std::vector<Track> tracks;

int64_t Now() {
  return StateGetTime(StateGetCurrent());
}

int32_t VolumePercent(int32_t sound) {
  return static_cast<int32_t>(std::lround(AudioVolumeGet(sound) * 100.0));
}

// Starts the track's fade at `now`; a full fade lasts `duration` and a
// partial one the part of it that remains to the end volume.
void StartFade(Track& track, bool in, int64_t now, int64_t duration) {
  const int32_t volume = VolumePercent(track.sound);
  track.fadingIn = in;
  track.fadeStart = now;
  track.startVolume = volume;
  track.fadeEnd = now + duration * (in ? 100 - volume : volume) / 100;
}

// A fade whose end is not after its start (no time given, nothing left to
// fade, or an end already passed on another state's clock) is over at once
// rather than dividing by its empty span.
bool FadeOver(const Track& track, int64_t now) {
  return track.fadeEnd <= track.fadeStart || now >= track.fadeEnd;
}

// The track's volume at `now`, in percent.
int32_t FadeVolume(const Track& track, int64_t now) {
  const int32_t endVolume = track.fadingIn ? 100 : 0;
  if (FadeOver(track, now)) {
    return endVolume;
  }
  if (now < track.fadeStart) {
    return track.fadingIn ? 0 : track.startVolume;
  }
  const int64_t span = endVolume - track.startVolume;
  return static_cast<int32_t>(track.startVolume +
                              span * (now - track.fadeStart) / (track.fadeEnd - track.fadeStart));
}

}  // namespace

void GameMusicPlay(const std::string& file, int32_t fadeTime) {
  const int64_t now = Now();
  bool found = false;
  for (Track& track : tracks) {
    const bool in = track.file == file;
    found = found || in;
    StartFade(track, in, now, fadeTime);
  }
  if (found) {
    return;
  }
  Track track;
  track.sound = AudioOpen(file, kAudioKindMusic, 1, kMusicRating);
  if (track.sound < 0) {
    return;
  }
  AudioVolumeSet(track.sound, 0.0);
  AudioPlay(track.sound);
  track.file = file;
  track.fadeStart = now;
  track.fadeEnd = now + fadeTime;
  tracks.push_back(track);
}

void GameMusicStop(int32_t fadeTime) {
  const int64_t now = Now();
  for (Track& track : tracks) {
    StartFade(track, false, now, fadeTime);
  }
}

void GameMusicFadesUpdate() {
  const int64_t now = Now();
  for (auto track = tracks.begin(); track != tracks.end();) {
    if (!track->fadingIn && FadeOver(*track, now)) {
      AudioClose(track->sound);
      track = tracks.erase(track);
      continue;
    }
    AudioVolumeSet(track->sound, FadeVolume(*track, now) / 100.0);
    ++track;
  }
}

void GameMusicKeepPlaying() {
  if (StateIsPaused()) {
    return;
  }
  for (const Track& track : tracks) {
    if (AudioGetStatus(track.sound) == kAudioStatusStopped) {
      AudioPlay(track.sound);
    }
  }
}

void GameMusicMoveClock(int32_t from, int32_t to) {
  const int64_t oldClock = StateGetTime(from);
  const int64_t newClock = StateGetTime(to);
  for (Track& track : tracks) {
    track.fadeStart = newClock;
    track.startVolume = VolumePercent(track.sound);
    track.fadeEnd = track.fadeEnd >= oldClock ? newClock + track.fadeEnd - oldClock : 0;
  }
}

void GameMusicClear() {
  for (Track& track : tracks) {
    AudioClose(track.sound);
  }
  tracks.clear();
}

int32_t GameMusicSound(const std::string& file) {
  for (const Track& track : tracks) {
    if (track.file == file) {
      return track.sound;
    }
  }
  return -1;
}
