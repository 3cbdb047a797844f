// The room's sounds: effects the scripts start, kept in a list until they
// stop. A thread that started a sound once (not looping) may wait for it
// with AppActionsDone: its pending action completes when the sound has
// stopped, in the frame step of the states that play effects.
#include <cmath>
#include <string>
#include <vector>

#include "framework/audio/audio.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// The audio module's ratings: a looping effect may lose its emitter before
// one that plays once.
constexpr int32_t kOnceRating = 3;
constexpr int32_t kLoopingRating = 4;

struct RoomSound {
  int32_t sound = -1;
  ActionHandle action;  // none for looping sounds and those nobody waits for
};

std::vector<RoomSound> sounds;

// Opens and plays the file as a sound effect and keeps it in the list, with
// an action of the thread when `waited`; the sound's id, -1 when the file
// cannot be played.
int32_t Play(int32_t script, int32_t thread, const std::string& file, bool loop, bool waited) {
  const int32_t id =
      AudioOpen(file, kAudioKindSound, loop ? 1 : 0, loop ? kLoopingRating : kOnceRating);
  if (id < 0) {
    return -1;
  }
  AudioPlay(id);
  RoomSound entry;
  entry.sound = id;
  if (waited) {
    entry.action = ActionAdd(script, thread, "SFX", "", kActionSound);
  }
  sounds.push_back(entry);
  return id;
}

// The thread waiting for the sound, if any, goes on; the sound is closed.
void Release(RoomSound& entry) {
  ActionComplete(entry.action);
  AudioClose(entry.sound);
}

RoomSound* Find(int32_t id) {
  for (RoomSound& entry : sounds) {
    if (entry.sound == id) {
      return &entry;
    }
  }
  return nullptr;
}

void Stop(int32_t id) {
  for (auto entry = sounds.begin(); entry != sounds.end(); ++entry) {
    if (entry->sound == id) {
      Release(*entry);
      sounds.erase(entry);
      return;
    }
  }
}

// A routine playing slot 1's file and writing the id to `out`.
void RegisterPlay(const char* name, bool loop, bool waited, int32_t out) {
  ScriptAppRoutineRegister(name, [loop, waited, out](int32_t script, int32_t thread) {
    const int32_t id = Play(script, thread, ScriptParamGetString(script, thread, 1), loop, waited);
    ScriptParamSetInt(script, thread, out, id);
    return 1;
  });
}

}  // namespace

void RoomSoundsSweep() {
  for (auto entry = sounds.begin(); entry != sounds.end();) {
    if (AudioGetStatus(entry->sound) == kAudioStatusStopped) {
      Release(*entry);
      entry = sounds.erase(entry);
    } else {
      ++entry;
    }
  }
}

void RoomSoundsClear() {
  for (RoomSound& entry : sounds) {
    Release(entry);
  }
  sounds.clear();
}

void GameRegisterSoundRoutines() {
  ScriptAppRoutineRegister("AppSoundPlay", [](int32_t script, int32_t thread) {
    const bool loop = ScriptParamGetBool(script, thread, 2);
    const int32_t id = Play(script, thread, ScriptParamGetString(script, thread, 1), loop, !loop);
    ScriptParamSetInt(script, thread, 3, id);
    return 1;
  });
  RegisterPlay("AppSoundPlayNoWait", false, false, 2);
  RegisterPlay("AppSoundPlayNoWaitLoop", true, false, 2);
  ScriptAppRoutineRegister("AppSoundStop", [](int32_t script, int32_t thread) {
    Stop(ScriptParamGetInt(script, thread, 1));
    ScriptParamSetInt(script, thread, 1, 0);
    return 1;
  });
  ScriptAppRoutineRegister("AppSoundSetVolume", [](int32_t script, int32_t thread) {
    if (const RoomSound* entry = Find(ScriptParamGetInt(script, thread, 1))) {
      AudioVolumeSet(entry->sound, ScriptParamGetInt(script, thread, 2) / 100.0);
    }
    ScriptParamSetInt(script, thread, 1, 0);
    return 1;
  });
  ScriptAppRoutineRegister("AppSoundGetStatus", [](int32_t script, int32_t thread) {
    ScriptParamSetInt(script, thread, 2, AudioGetStatus(ScriptParamGetInt(script, thread, 1)));
    return 1;
  });
  ScriptAppRoutineRegister("AppSoundGetVolume", [](int32_t script, int32_t thread) {
    const double volume = AudioVolumeGet(ScriptParamGetInt(script, thread, 1));
    ScriptParamSetInt(script, thread, 2, static_cast<int32_t>(std::lround(volume * 100.0)));
    return 1;
  });
}
