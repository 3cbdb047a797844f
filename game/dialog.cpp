// Dialog options: the player's choices as speech bubbles in a grid around the
// speaking agent, the one under the pointer chosen; and the script routines
// of bubbles, speech and options.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "framework/model/model.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// Which side of the option a tail sits on (above, else below), and which way
// it points.
constexpr int32_t kSideAuto = 0;
constexpr int32_t kTailAbove = 2;
constexpr int32_t kTailLeft = 1;
constexpr int32_t kTailRight = 2;
// Alignment of the grid against the head anchor.
constexpr int32_t kAlignAfter = 1;
constexpr int32_t kAlignBefore = 2;
// A tail's inset from the option's edge when none is set, before scaling.
constexpr float kDefaultTailInset = 32.0f;

struct TailSettings {
  int32_t vertical = kSideAuto;
  int32_t horizontal = kSideAuto;
  int32_t inset = 0;
  int32_t direction = kSideAuto;
};

struct OptionSettings {
  int32_t alignX = 0;
  int32_t alignY = 0;
  int32_t bubbleOffsetX = 60;
  int32_t bubbleOffsetY = 40;
  int32_t headOffsetX = 60;
  int32_t headOffsetY = 40;
  int32_t columns = 2;
  int32_t maximumWidth = 0;
  int32_t minimumBubbles = 4;
  TailSettings tail;
  bool tailVisible = true;
};

struct DialogState {
  std::string agent;
  int32_t type = 0;
  OptionSettings settings;
  std::vector<Bubble> options;
  int32_t selected = -1;
  int32_t cameraDefaultX = 0;
  int32_t cameraDefaultY = 0;
};

DialogState dialog;

int32_t Rounded(double value) {
  return static_cast<int32_t>(std::nearbyint(value));
}

int32_t CeilDiv(int32_t a, int32_t b) {
  return (a + b - 1) / b;
}

void CloseOptionModels() {
  for (Bubble& option : dialog.options) {
    ModelClose(option.model);
  }
}

Agent* DialogAgent() {
  return AgentGet(AgentFind(dialog.agent));
}

// The point the grid is laid out around: beside the agent's head, mirrored
// with the agent, scaled with it.
void HeadAnchor(const Agent& agent, int32_t& ax, int32_t& ay) {
  const OptionSettings& s = dialog.settings;
  const bool mirrored = agent.facing == 1 || agent.facing == 3;
  const int32_t hx =
      mirrored ? -agent.dialogOffsetX - s.headOffsetX : agent.dialogOffsetX + s.headOffsetX;
  const int32_t hy = agent.dialogOffsetY + s.headOffsetY;
  ax = agent.x + Rounded(agent.scale * hx);
  ay = agent.y + Rounded(agent.scale * hy);
}

// The first row's top and the first column's left.
void GridStart(int32_t ax, int32_t ay, int32_t columns, int32_t width, int32_t height, int32_t& x,
               int32_t& y) {
  const OptionSettings& s = dialog.settings;
  if (s.alignX == kAlignAfter) {
    x = ax + s.bubbleOffsetX;
  } else if (s.alignX == kAlignBefore) {
    x = ax - s.bubbleOffsetX - width;
  } else {
    x = ax - (width * columns + (columns - 1) * s.bubbleOffsetX) / 2;
  }
  if (s.alignY == kAlignAfter) {
    y = ay + s.bubbleOffsetY;
  } else if (s.alignY == kAlignBefore) {
    y = ay - s.bubbleOffsetY - height;
  } else {
    const auto shown = std::max(static_cast<int32_t>(dialog.options.size()), s.minimumBubbles);
    const int32_t rows = CeilDiv(shown, columns);
    y = ay - (height * rows + (rows - 1) * s.bubbleOffsetY) / 2;
  }
}

// A side setting of 1 or 2 as it is, else the automatic one.
int32_t Side(int32_t setting, bool first) {
  if (setting == 1 || setting == 2) {
    return setting;
  }
  return first ? 1 : 2;
}

// The option's tail points back at the anchor from the side facing it.
void AddOptionTail(Bubble& option, const Agent& agent, int32_t ax, int32_t ay) {
  const TailSettings& t = dialog.settings.tail;
  const int32_t w = BubbleTileWidth(dialog.type);
  const int32_t h = BubbleTileHeight(dialog.type);
  const int32_t vertical = Side(t.vertical, option.y < ay);
  const int32_t horizontal = Side(t.horizontal, !(option.x < ax));
  const int32_t direction = Side(t.direction, !(option.x < ax));
  const int32_t inset = t.inset != 0 ? t.inset : Rounded(agent.scale * kDefaultTailInset);
  option.tailX = horizontal == kTailRight ? option.width - w - inset : inset;
  const bool left = direction == kTailLeft;
  if (vertical == kTailAbove) {
    option.tailY = -h;
    option.tailTexture =
        BubblePieceTexture(dialog.type, left ? kBubbleTailLeftTop : kBubbleTailRightTop);
  } else {
    option.tailY = option.height - h;
    option.tailTexture = BubblePieceTexture(dialog.type, left ? kBubbleTailLeft : kBubbleTailRight);
  }
  BubbleAddPiece(option.model, option.tailX, option.tailY, true, option.tailTexture, 1, 1, 2 * h,
                 w);
}

// Every option the size of the largest, its text centred in it.
void Enlarge(Bubble& option, int32_t width, int32_t columns, int32_t height, int32_t rows) {
  const int32_t dx = (width - option.width) / 2;
  const int32_t dy = (height - option.height) / 2;
  for (BubbleLine& line : option.lines) {
    line.x += dx;
    line.y += dy;
  }
  option.width = width;
  option.columns = columns;
  option.height = height;
  option.rows = rows;
}

void DialogOptionEnd() {
  const Agent* agent = DialogAgent();
  if (agent == nullptr) {
    return;
  }
  OptionSettings& s = dialog.settings;
  const int32_t columns = std::max(s.columns, 1);
  int32_t ax = 0;
  int32_t ay = 0;
  HeadAnchor(*agent, ax, ay);
  int32_t width = 0;
  int32_t widthColumns = 0;
  int32_t height = 0;
  int32_t heightRows = 0;
  std::vector<bool> laidOut;
  for (Bubble& option : dialog.options) {
    laidOut.push_back(
        BubbleBuildCalc(option.text, dialog.type, s.tailVisible, option, s.maximumWidth));
    if (option.width > width) {
      width = option.width;
      widthColumns = option.columns;
    }
    if (option.height > height) {
      height = option.height;
      heightRows = option.rows;
    }
  }
  int32_t startX = 0;
  int32_t startY = 0;
  GridStart(ax, ay, columns, width, height, startX, startY);
  for (size_t i = 0; i < dialog.options.size(); ++i) {
    Bubble& option = dialog.options[i];
    const auto column = static_cast<int32_t>(i) % columns;
    const auto row = static_cast<int32_t>(i) / columns;
    Enlarge(option, width, widthColumns, height, heightRows);
    option.x = startX + column * (width + s.bubbleOffsetX);
    option.y = startY + row * (height + s.bubbleOffsetY);
    // An option whose type failed keeps no model.
    if (!laidOut[i] || !BubbleBuild(option)) {
      ModelClose(option.model);
      continue;
    }
    if (s.tailVisible) {
      AddOptionTail(option, *agent, ax, ay);
    }
  }
}

void RenderOptions() {
  const Agent* agent = DialogAgent();
  if (agent == nullptr) {
    return;
  }
  for (Bubble& option : dialog.options) {
    BubbleRender(option, agent->dialogCameraX, agent->dialogCameraY);
  }
}

bool InOptions(int32_t x, int32_t y) {
  dialog.selected = -1;
  const Agent* agent = DialogAgent();
  if (agent == nullptr) {
    return false;
  }
  const int32_t ox = agent->dialogCameraX;
  const int32_t oy = agent->dialogCameraY;
  for (size_t i = 0; i < dialog.options.size(); ++i) {
    const Bubble& option = dialog.options[i];
    if (option.x + ox <= x && x < option.x + option.width + ox && option.y + oy <= y &&
        y < option.y + option.height + oy) {
      dialog.selected = static_cast<int32_t>(i);
      return true;
    }
  }
  return false;
}

int32_t SelectedId() {
  if (dialog.selected < 0 || dialog.selected >= static_cast<int32_t>(dialog.options.size())) {
    return 0;
  }
  return dialog.options[static_cast<size_t>(dialog.selected)].id;
}

// --- Routines --------------------------------------------------------------------------

// A routine that reads two integers into a pair of settings.
void RegisterPair(const char* name, int32_t OptionSettings::*first,
                  int32_t OptionSettings::*second) {
  ScriptAppRoutineRegister(name, [first, second](int32_t script, int32_t thread) {
    dialog.settings.*first = ScriptParamGetInt(script, thread, 1);
    dialog.settings.*second = ScriptParamGetInt(script, thread, 2);
    return 1;
  });
}

void RegisterSingle(const char* name, int32_t OptionSettings::*setting) {
  ScriptAppRoutineRegister(name, [setting](int32_t script, int32_t thread) {
    dialog.settings.*setting = ScriptParamGetInt(script, thread, 1);
    return 1;
  });
}

void DialogOptionBegin(const std::string& agent, int32_t type) {
  dialog.agent = agent;
  dialog.type = type;
  dialog.settings = OptionSettings{};
  CloseOptionModels();
  dialog.selected = -1;
  dialog.options.clear();
}

void DialogSetOffset(int32_t x, int32_t y) {
  dialog.cameraDefaultX = x;
  dialog.cameraDefaultY = y;
  for (int32_t id = 0; id < AgentCount(); ++id) {
    Agent* agent = AgentGet(id);
    agent->dialogCameraX = x;
    agent->dialogCameraY = y;
  }
}

}  // namespace

void DialogClear() {
  CloseOptionModels();
  dialog = DialogState{};
}

int32_t DialogCameraDefaultX() {
  return dialog.cameraDefaultX;
}

int32_t DialogCameraDefaultY() {
  return dialog.cameraDefaultY;
}

void GameRegisterSpeechRoutines() {
  ScriptAppRoutineRegister("AppBubbleOpen", [](int32_t script, int32_t thread) {
    BubbleOpen(ScriptParamGetInt(script, thread, 1), ScriptParamGetString(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogAdvance", [](int32_t, int32_t) {
    DialogAdvance();
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogOptionAdd", [](int32_t script, int32_t thread) {
    Bubble option;
    option.id = ScriptParamGetInt(script, thread, 1);
    option.text = ScriptParamGetString(script, thread, 2);
    dialog.options.push_back(std::move(option));
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogOptionBegin", [](int32_t script, int32_t thread) {
    DialogOptionBegin(ScriptParamGetString(script, thread, 1),
                      ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogOptionEnd", [](int32_t, int32_t) {
    DialogOptionEnd();
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogOptionGetId", [](int32_t script, int32_t thread) {
    ScriptParamSetInt(script, thread, 1, SelectedId());
    return 1;
  });
  RegisterPair("AppDialogOptionSetAlignment", &OptionSettings::alignX, &OptionSettings::alignY);
  RegisterPair("AppDialogOptionSetBubbleOffset", &OptionSettings::bubbleOffsetX,
               &OptionSettings::bubbleOffsetY);
  ScriptAppRoutineRegister("AppDialogOptionSetColumns", [](int32_t script, int32_t thread) {
    dialog.settings.columns = std::max(ScriptParamGetInt(script, thread, 1), 1);
    return 1;
  });
  RegisterPair("AppDialogOptionSetHeadOffset", &OptionSettings::headOffsetX,
               &OptionSettings::headOffsetY);
  RegisterSingle("AppDialogOptionSetMaxWidth", &OptionSettings::maximumWidth);
  RegisterSingle("AppDialogOptionSetMinBubbles", &OptionSettings::minimumBubbles);
  ScriptAppRoutineRegister("AppDialogOptionSetTail", [](int32_t script, int32_t thread) {
    TailSettings& tail = dialog.settings.tail;
    tail.vertical = ScriptParamGetInt(script, thread, 1);
    tail.horizontal = ScriptParamGetInt(script, thread, 2);
    tail.inset = ScriptParamGetInt(script, thread, 3);
    tail.direction = ScriptParamGetInt(script, thread, 4);
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogOptionSetTailVisible", [](int32_t script, int32_t thread) {
    dialog.settings.tailVisible = ScriptParamGetBool(script, thread, 1);
    return 1;
  });
  ScriptAppRoutineRegister("AppDialogSetOffset", [](int32_t script, int32_t thread) {
    DialogSetOffset(ScriptParamGetInt(script, thread, 1), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
}

void GameRegisterSpeechRenderCallback() {
  ScriptAppObjRenderRegister("AppRenderDialogOptions", [](const std::string&) { RenderOptions(); });
}

void GameRegisterSpeechHitTest() {
  ScriptAppObjInObjectRegister("AppInDialogOptions", [](const std::string&, int32_t x, int32_t y) {
    return InOptions(x, y);
  });
}

void GameRegisterSpeechRenderProcedure() {
  ScriptAppRoutineRenderRegister("AppRenderDialog", [](int32_t, const std::string&) {
    for (int32_t id = 0; id < AgentCount(); ++id) {
      AgentRenderBubble(id);
    }
  });
}
