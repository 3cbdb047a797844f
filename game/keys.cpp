// The game's key handling shared by the application states: typed keys sent
// to the interface and room scripts as text, Alt+Enter, Escape in the room,
// and the actions of the current control set (clicks, pause, quick load,
// screenshots).
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// Event codes the game sends to its scripts; 2 is a typed character or a
// key name.
constexpr int32_t kEventKey = 2;
constexpr int32_t kEventPause = 4;
constexpr int32_t kEventFullscreenToggle = 5;
constexpr int32_t kEventLeftClick = -4;
constexpr int32_t kEventRightClick = -9;

// What a key of a US layout types with Shift held; keys not listed type
// themselves.
constexpr struct {
  char key;
  char shifted;
} kShifted[] = {
    {'\'', '"'}, {',', '<'}, {'-', '_'}, {'.', '>'}, {'/', '?'}, {'=', '+'}, {'\\', '|'},
    {'0', ')'},  {'1', '!'}, {'2', '@'}, {'3', '#'}, {'4', '$'}, {'5', '%'}, {'6', '^'},
    {'7', '&'},  {'8', '*'}, {'9', '('}, {';', ':'}, {'[', '{'}, {']', '}'}, {'`', '~'},
};

// Whether Shift and Alt are down as each queued key event happened. The
// control states tell how the keys are after the whole queue, but a frame's
// queue can hold Shift pressed and released around a key (fast typing, or
// a quick Alt+Enter), so the queue is replayed: a key's first event in
// it tells how the key was before, and each event changes it.
class ModifierKeys {
 public:
  ModifierKeys(int32_t set, const std::vector<InputEvent>& events) {
    for (size_t i = 0; i < kKeys.size(); ++i) {
      const auto first = std::find_if(events.begin(), events.end(), [i](const InputEvent& event) {
        return event.code == kKeys[i];
      });
      down_[i] = first != events.end() ? first->value < 1 : InputControlState(set, kKeys[i]) != 0;
    }
  }
  // Takes the event into account; call it for every event, in order.
  void Apply(const InputEvent& event) {
    for (size_t i = 0; i < kKeys.size(); ++i) {
      if (event.code == kKeys[i]) {
        down_[i] = event.value >= 1;
      }
    }
  }
  bool Shift() const { return down_[0] || down_[1]; }
  bool Alt() const { return down_[2] || down_[3]; }

 private:
  static constexpr std::array<int32_t, 4> kKeys = {kInputKeyLeftShift, kInputKeyRightShift,
                                                   kInputKeyLeftAlt, kInputKeyRightAlt};
  std::array<bool, 4> down_{};
};

// The text a pressed key types: a single character for letters, digits,
// punctuation and Space, else the key's name in upper case.
std::string KeyText(int32_t control, bool shift) {
  const std::string name = UtilitiesUpperCase(InputControlName(control));
  if (name == "SPACE") {
    return " ";
  }
  if (name.size() != 1) {
    return name;
  }
  const char key = name[0];
  if (key >= 'A' && key <= 'Z') {
    return shift ? name : std::string(1, static_cast<char>(key - 'A' + 'a'));
  }
  if (shift) {
    for (const auto& entry : kShifted) {
      if (entry.key == key) {
        return std::string(1, entry.shifted);
      }
    }
  }
  return name;
}

// Enter acts on its release: with Alt held it switches full screen and tells
// the options screens, which show the setting; without, the script gets it.
void EnterReleased(int32_t script, bool alt, int32_t state) {
  if (!alt) {
    ScriptEventSendExact(script, kEventKey, "ENTER");
    return;
  }
  GameSetFullscreen(!GraphicsIsFullscreen());
  if (state == kStateJournalOptions || state == kStateMainOptions) {
    ScriptEventSend(script, kEventFullscreenToggle, "AppFullscreenToggle");
  }
}

void KeyPressed(int32_t script, bool shift, int32_t state, int32_t control) {
  const std::string text = KeyText(control, shift);
  if (text.size() == 1 || text == "BACKSPACE") {
    ScriptEventSendExact(script, kEventKey, text);
  } else if (text == "ESCAPE") {
    // In the room Escape opens the journal, except during a cutscene.
    if (state != kStateGame) {
      ScriptEventSendExact(script, kEventKey, text);
    } else if (!GameCutsceneRunning()) {
      StateSet(kStateJournal);
    }
  }
}

}  // namespace

void GameRegisterKeys() {
  const int32_t set = InputControlSetActive();
  const int32_t select = InputActionFind(set, "Select Item");
  InputActionUnbind(select, InputControlCode("Enter"));
  InputActionUnbind(select, InputControlCode("Space"));
  constexpr struct {
    const char* action;
    const char* key;
  } kGameKeys[] = {{"Pause", "Pause"}, {"Quick Load", "F9"}, {"Screenshot", "F12"}};
  for (const auto& entry : kGameKeys) {
    InputActionBind(InputActionNew(set, entry.action), InputControlCode(entry.key), 100);
  }
}

void GameTextKeys(int32_t script) {
  const int32_t set = InputControlSetActive();
  const int32_t state = StateGetCurrent();
  const std::vector<InputEvent> events = InputControlEventsTake(set);
  ModifierKeys modifiers(set, events);
  for (const InputEvent& event : events) {
    modifiers.Apply(event);
    if (event.handled) {
      continue;
    }
    if (event.value >= 1) {
      KeyPressed(script, modifiers.Shift(), state, event.code);
    } else if (event.code == kInputKeyEnter) {
      EnterReleased(script, modifiers.Alt(), state);
    }
  }
}

void GameInterfaceKeys(int32_t script) {
  GameTextKeys(script);
  const int32_t set = InputControlSetActive();
  for (const InputEvent& event : InputActionEventsTake(set)) {
    if (event.handled) {
      continue;
    }
    const std::string action = InputActionName(event.code);
    // Escape already reaches the menus as a typed key: a press of "Exit"
    // counts only with the weight 1, as a joystick binding may give it.
    if (action == "Exit" && event.value == 1) {
      ScriptEventSend(script, kEventKey, "ESCAPE");
    } else if (action == "Screenshot" && event.value == 0) {
      GameScreenshotSave();
    }
  }
}

void GamePointerKeys(int32_t script) {
  GameTextKeys(script);
  const int32_t set = InputControlSetActive();
  const int32_t state = StateGetCurrent();
  for (const InputEvent& event : InputActionEventsTake(set)) {
    // Actions fire when their control is released.
    if (event.handled || event.value != 0) {
      continue;
    }
    const std::string action = InputActionName(event.code);
    if (action == "Select Item") {
      ScriptEventSend(GameScriptId(kScriptRoom), kEventLeftClick, "LEFTCLICK");
    } else if (action == "Select Item Secondary") {
      ScriptEventSend(GameScriptId(kScriptRoom), kEventRightClick, "RIGHTCLICK");
    } else if (action == "Quick Load") {
      if (!GameAutosaveFile().empty() && state != kStatePaused) {
        StateSet(kStateQuickLoad);
      }
    } else if (action == "Pause") {
      if (state == kStatePaused) {
        ScriptEventSend(GameScriptId(kScriptPause), kEventPause, "PAUSE");
      } else if (state == kStateGame) {
        ScriptEventSend(GameScriptId(kScriptRoom), kEventPause, "PAUSE");
      }
    } else if (action == "Screenshot") {
      GameScreenshotSave();
    }
  }
}
