// The game's key handling shared by the application states: typed keys sent
// to the interface and room scripts as text, Alt+Enter, Escape in the room,
// and the actions of the current control set (clicks, pause, quick load,
// screenshots).
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"

namespace {

// The key event code of the scripts: a typed character or a key name.
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

bool Held(int32_t set, int32_t left, int32_t right) {
  return InputControlState(set, left) != 0 || InputControlState(set, right) != 0;
}

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
void EnterReleased(int32_t script, int32_t set, int32_t state) {
  if (!Held(set, kInputKeyLeftAlt, kInputKeyRightAlt)) {
    ScriptEventSendExact(script, kEventKey, "ENTER");
    return;
  }
  GameSetFullscreen(!GraphicsIsFullscreen());
  if (state == kStateJournalOptions || state == kStateMainOptions) {
    ScriptEventSend(script, kEventFullscreenToggle, "AppFullscreenToggle");
  }
}

void KeyPressed(int32_t script, int32_t set, int32_t state, int32_t control) {
  const std::string text = KeyText(control, Held(set, kInputKeyLeftShift, kInputKeyRightShift));
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

// The autosave slot's file: the save list that will hold it is not built
// yet, so the file itself stands for the slot.
bool AutosaveExists() {
  return PlatformFileExists(UtilitiesUserDataFolder() + "autosave.sav");
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
  for (const InputEvent& event : InputControlEventsTake(set)) {
    if (event.handled) {
      continue;
    }
    if (event.value >= 1) {
      KeyPressed(script, set, state, event.code);
    } else if (event.code == kInputKeyEnter) {
      EnterReleased(script, set, state);
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
      if (AutosaveExists() && state != kStatePaused) {
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
