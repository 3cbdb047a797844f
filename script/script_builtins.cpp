// The built-in routines that byte code calls by number. Each reads its inputs
// from parameter slots 1..k and writes its results to the slots after them,
// and lets the thread go on.
#include <cmath>
#include <string_view>
#include <utility>

#include "framework/audio/audio.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/mat/mat.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script_internal.h"

namespace {

uint32_t randomSeed = 0;

// A linear congruential generator: the next number from 0 to range - 1.
int32_t Random(int32_t range) {
  randomSeed = randomSeed * 134775813u + 1u;
  return static_cast<int32_t>((uint64_t{randomSeed} * static_cast<uint32_t>(range)) >> 32);
}

// The parameter slots of one built-in call. A slot that does not exist reads
// as 0, false or empty and ignores writes.
class Slots {
 public:
  Slots(Script& script, int32_t thread) : script_(script), thread_(thread) {}

  int32_t Int(int32_t slot) const {
    const Parameter* value = ScriptParamSlot(script_, thread_, slot);
    return value != nullptr ? ScriptToInt(*value) : 0;
  }
  bool Bool(int32_t slot) const {
    const Parameter* value = ScriptParamSlot(script_, thread_, slot);
    return value != nullptr && ScriptToBool(*value);
  }
  // A string slot's own text, else the converted text kept in `scratch`.
  std::string_view View(int32_t slot, std::string& scratch) const {
    const Parameter* value = ScriptParamSlot(script_, thread_, slot);
    if (value == nullptr) {
      return {};
    }
    if (value->type == kScriptString) {
      return value->textValue;
    }
    scratch = ScriptToString(*value);
    return scratch;
  }
  std::string Text(int32_t slot) const {
    std::string scratch;
    return std::string(View(slot, scratch));
  }
  void SetInt(int32_t slot, int32_t value) const {
    if (Parameter* target = ScriptParamSlot(script_, thread_, slot)) {
      target->type = kScriptInteger;
      target->intValue = value;
    }
  }
  void SetBool(int32_t slot, bool value) const {
    if (Parameter* target = ScriptParamSlot(script_, thread_, slot)) {
      target->type = kScriptBoolean;
      target->boolValue = value ? 1 : 0;
    }
  }
  void SetText(int32_t slot, std::string_view value) const {
    if (Parameter* target = ScriptParamSlot(script_, thread_, slot)) {
      target->type = kScriptString;
      target->textValue.assign(value);
    }
  }
  void SetText(int32_t slot, std::string&& value) const {
    if (Parameter* target = ScriptParamSlot(script_, thread_, slot)) {
      target->type = kScriptString;
      target->textValue = std::move(value);
    }
  }

 private:
  Script& script_;
  int32_t thread_;
};

// Volumes pass as whole percentages of the audio module's 0-1 values.
int32_t Percent(double volume) {
  return static_cast<int32_t>(std::nearbyint(volume * 100.0));
}

double FromPercent(int32_t percent) {
  return percent / 100.0;
}

// Substring of `count` characters from `start` (1-based); a start below 1
// counts from the first character.
std::string_view Substring(std::string_view text, int32_t start, int32_t count) {
  const int64_t from = start < 1 ? 0 : int64_t{start} - 1;
  if (count <= 0 || from >= static_cast<int64_t>(text.size())) {
    return {};
  }
  return text.substr(static_cast<size_t>(from), static_cast<size_t>(count));
}

std::string FileNameWithoutFolder(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Built-in 24: the first script loaded from "<name>.vmc" (any folder, case
// ignored) hears the event, unless it is the caller or its event thread runs.
void SignalScript(const Script& caller, const std::string& scriptName, int32_t code,
                  const std::string& name) {
  const std::string wanted = UtilitiesUpperCase(scriptName + ".vmc");
  for (const auto& script : ScriptTable()) {
    if (UtilitiesUpperCase(FileNameWithoutFolder(script->fileName)) != wanted) {
      continue;
    }
    if (script.get() != &caller && !script->threads.empty() && script->threads[0].running == 0) {
      ScriptListenerCall(*script, code, UtilitiesUpperCase(name));
    }
    return;
  }
}

// Built-in 40: the label of a Mat object's entry at a pixel of its mat.
std::string MatLabel(const Script& script, const std::string& objectName, int32_t x, int32_t y) {
  const std::string wanted = UtilitiesUpperCase(objectName);
  for (const ObjEntry& object : script.objects) {
    if (object.type == kObjMat && object.name == wanted) {
      const int32_t entry = MatEntryAt(object.mat.mat, x, y);
      return entry >= 0
                 ? UtilitiesUpperCase(object.mat.mat.entries[static_cast<size_t>(entry)].name)
                 : std::string();
    }
  }
  return {};
}

// Built-in 20: the first key released among the main control set's pending
// key events. Mouse movement and wheels, joystick hats and axes report
// amounts rather than keys (and 0 when the mouse is reset), so they are passed over.
bool IsKeyControl(int32_t code) {
  if (code >= kInputMouseDown && code <= kInputMouseUp) {
    return false;
  }
  constexpr int32_t kFirstJoystickAxis = 33;  // hat and axes: elements 33-45 of a joystick
  return code < kInputFirstJoystickControl ||
         (code - kInputFirstJoystickControl) % kInputJoystickElements + 1 < kFirstJoystickAxis;
}

int32_t NextKeyReleased(int32_t set) {
  for (const InputEvent& event : InputControlEventsTake(set)) {
    if (event.value == 0 && IsKeyControl(event.code)) {
      return event.code;
    }
  }
  return 0;
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

}  // namespace

void ScriptBuiltInsSeed() {
  randomSeed = PlatformTickCount();
}

void ScriptRandomSeed(uint32_t seed) {
  randomSeed = seed;
}

int32_t ScriptBuiltInRun(Script& script, int32_t thread, int32_t index) {
  const Slots in(script, thread);
  const Slots& out = in;
  std::string scratch;
  switch (index) {
    case 0: {
      const int32_t range = in.Int(1);
      out.SetInt(2, range > 0 ? Random(range) : 0);
      return 1;
    }
    case 1:
      out.SetInt(1, static_cast<int32_t>(StateGetTime(StateGetCurrent())));
      return 1;
    case 2:
      out.SetInt(1, Percent(AudioVolumeGetMusic()));
      return 1;
    case 3:
      AudioVolumeSetMusic(FromPercent(in.Int(1)));
      return 1;
    case 4:
      out.SetBool(1, GraphicsIsFullscreen());
      return 1;
    case 5:
      out.SetText(3, GraphicsMonitorModeText(in.Int(1), in.Int(2)));
      return 1;
    case 6:
      out.SetInt(2, GraphicsDisplayGetModeIndex(in.Int(1)));
      return 1;
    case 7:
      out.SetInt(1, Percent(AudioVolumeGetSound()));
      return 1;
    case 8:
      AudioVolumeSetSound(FromPercent(in.Int(1)));
      return 1;
    case 9:
      InputActionBind(in.Int(1), in.Int(2), in.Int(3));
      return 1;
    case 10:
      InputActionClear(in.Int(1));
      return 1;
    case 11:
      out.SetInt(3, InputActionControl(in.Int(1), in.Int(2)));
      return 1;
    case 12:
      out.SetInt(3, InputActionAt(in.Int(1), in.Int(2)));
      return 1;
    case 13:
      out.SetText(2, InputActionName(in.Int(1)));
      return 1;
    case 14:
      out.SetInt(2, InputAxisControl(in.Int(1)));
      return 1;
    case 15:
      out.SetInt(3, InputActionOfControl(in.Int(1), in.Int(2)));
      return 1;
    case 16:
      out.SetText(2, InputControlDisplayName(in.Int(1)));
      return 1;
    case 17:
      out.SetInt(2, InputControlSetFind(in.Text(1)));
      return 1;
    case 18:
      out.SetInt(2, InputActionCount(in.Int(1)));
      return 1;
    case 19:
      InputControlEventsTake(script.inputDevice);
      return 1;
    case 20:
      out.SetInt(1, NextKeyReleased(script.inputDevice));
      return 1;
    case 21:
      out.SetInt(1, Percent(AudioVolumeGetApp()));
      return 1;
    case 22:
      AudioVolumeSetApp(FromPercent(in.Int(1)));
      return 1;
    case 23:
      out.SetInt(2, static_cast<int32_t>(in.View(1, scratch).size()));
      return 1;
    case 24:
      SignalScript(script, in.Text(1), in.Int(2), in.Text(3));
      return 1;
    case 25:
      out.SetText(4, Substring(in.View(1, scratch), in.Int(2), in.Int(3)));
      return 1;
    case 26: {
      const int32_t font = FontFindByFile(in.Int(1), in.Text(2));
      out.SetInt(4, font != 0 ? FontTextWidth(font, in.Text(3)) : 0);
      return 1;
    }
    case 27:
      out.SetBool(3, StateVariableGetBool(in.Int(1), in.Text(2)));
      return 1;
    case 28:
      out.SetInt(3, StateVariableGetInt(in.Int(1), in.Text(2)));
      return 1;
    case 29:
      out.SetText(3, StateVariableGetString(in.Int(1), in.Text(2)));
      return 1;
    case 30:
      StateVariableSetBool(in.Int(1), in.Text(2), in.Bool(3));
      return 1;
    case 31:
      StateVariableSetInt(in.Int(1), in.Text(2), in.Int(3));
      return 1;
    case 32:
      StateVariableSetString(in.Int(1), in.Text(2), in.Text(3));
      return 1;
    case 33:
      out.SetText(2, std::string(1, static_cast<char>(in.Int(1) & 0xFF)));
      return 1;
    case 34:
      out.SetBool(1, InputMouseButtonsSwapped());
      return 1;
    case 35:
      out.SetInt(1, Percent(AudioVolumeGetVoice()));
      return 1;
    case 36:
      AudioVolumeSetVoice(FromPercent(in.Int(1)));
      return 1;
    case 37:
      out.SetInt(1, InputJoystickCount());
      return 1;
    case 38: {
      const std::string needle = in.Text(1);
      out.SetBool(3, !needle.empty() && in.View(2, scratch).find(needle) != std::string_view::npos);
      return 1;
    }
    case 39: {
      // A hit-test callback of the game may close the script.
      const int32_t id = script.id;
      std::string name = ScriptObjectNameAt(script, in.Int(1), in.Int(2));
      if (ScriptFind(id) != nullptr) {
        out.SetText(3, std::move(name));
      }
      return 1;
    }
    case 40:
      out.SetText(4, MatLabel(script, in.Text(1), in.Int(2), in.Int(3)));
      return 1;
    case 41: {
      ScriptBuiltInsSeed();
      const int32_t n = in.Int(1);
      out.SetInt(2,
                 n > 0 ? static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(n)))) : 0);
      return 1;
    }
    case 42:
      ScriptBuiltInsSeed();
      out.SetText(2, LowerCase(in.View(1, scratch)));
      return 1;
    default:
      return 0;
  }
}
