// The agents: the table of characters, their animation slots and frame
// images, placement, scale, depth, drawing and hit tests, and their script
// routines.
#include <GL/gl.h>

#include <cmath>
#include <deque>
#include <optional>
#include <set>
#include <string>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

struct AgentsData {
  // A deque keeps every record in place while agents are added, so a
  // routine holding an agent across a script event stays valid.
  std::deque<Agent> agents;
  // Frame images that could not be opened: logged once, not tried again
  // every tick.
  std::set<std::string> failedImages;
};

AgentsData data;

bool ValidSlot(int32_t slot) {
  return slot >= 0 && slot < kAgentSlotCount;
}

bool IsHeadSlot(int32_t slot) {
  return slot >= kAgentHeadSlots && slot < kAgentHeadSlots + 4;
}

// The slot's animation, or null when the agent has no such slot yet.
Animation* SlotOf(Agent& agent, int32_t slot) {
  if (slot < 0 || slot >= static_cast<int32_t>(agent.animations.size())) {
    return nullptr;
  }
  return &agent.animations[static_cast<size_t>(slot)];
}

AnimationFrame* FrameOf(Agent& agent, int32_t slot, int32_t frame) {
  Animation* animation = SlotOf(agent, slot);
  if (animation == nullptr || frame < 0 ||
      frame >= static_cast<int32_t>(animation->frames.size())) {
    return nullptr;
  }
  return &animation->frames[static_cast<size_t>(frame)];
}

// Calls the function with every frame image the agent has open.
template <typename Function>
void ForEachImage(Agent& agent, Function function) {
  for (Animation& animation : agent.animations) {
    for (AnimationFrame& frame : animation.frames) {
      if (frame.image != nullptr) {
        function(frame.image);
      }
    }
  }
}

void GrowSlots(Agent& agent, int32_t slot) {
  if (static_cast<int32_t>(agent.animations.size()) <= slot) {
    agent.animations.resize(static_cast<size_t>(slot) + 1);
  }
}

// Opens a frame's image as a model: read into memory first, so the image
// reader does not go back to the archive for it.
Model* OpenImage(const std::string& file) {
  DataFileCacheLoad(file);
  Model* model = ModelOpen(GamePrimaryDisplay(), file);
  DataFileCacheFree(file);
  return model;
}

int32_t Round(float value) {
  return static_cast<int32_t>(std::lround(value));
}

// No depth under the agent: drawn at kNoDepthZ, in front of the background.
constexpr uint8_t kNoDepth = 255;
constexpr float kNoDepthZ = -5.0f;
// An agent stands this much in front of the depth its mat gives its feet.
constexpr uint8_t kDepthOffset = 8;
// The depth order event's code: base + row - depth x step.
constexpr int32_t kDepthOrderBase = 2550001;
constexpr int32_t kDepthOrderStep = 10000;
// The AppObj objects that draw agents are named this many characters
// followed by the agent's name.
constexpr size_t kAgentObjectPrefix = 5;
// A scripted animation's step time is set this far back, so that its first
// frame shows at once.
constexpr uint32_t kFirstFrameAdvance = 1000;

// The blue byte of the mat's entry at the point; -1 when the mat is not
// valid or the point lies outside it.
int32_t BlueAt(const Mat& mat, int32_t x, int32_t y) {
  const int32_t entry = MatEntryAt(mat, x, y);
  if (entry < 0) {
    return -1;
  }
  return static_cast<int32_t>(mat.entries[static_cast<size_t>(entry)].color & 0xFFu);
}

// The room's light at the feet; white where it has none.
ModelColor LightAt(int32_t x, int32_t y) {
  const Mat& light = RoomLightMat();
  const int32_t entry = MatEntryAt(light, x, y);
  if (entry < 0) {
    return ModelColor{};
  }
  const uint32_t color = light.entries[static_cast<size_t>(entry)].color;
  return ModelColor{static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                    static_cast<uint8_t>(color), 255};
}

// Where the head frame goes: its own head point on the body's.
struct HeadPlacement {
  AnimationFrame* frame = nullptr;
  float x = 0.0f;
  float y = 0.0f;
};

// The head is shown when the body frame has a head point and the current
// head frame is open.
std::optional<HeadPlacement> PlaceHead(Agent& agent, const AnimationFrame& body) {
  AnimationFrame* head = FrameOf(agent, agent.headSlot, agent.headFrame);
  if (!body.hasHead || head == nullptr || head->image == nullptr) {
    return std::nullopt;
  }
  const auto offset = [&agent](int32_t bodyPoint, int32_t headPoint) {
    return static_cast<float>(bodyPoint - headPoint) * agent.scale;
  };
  return HeadPlacement{head, static_cast<float>(agent.x) + offset(body.head.x, head->head.x),
                       static_cast<float>(agent.y) + offset(body.head.y, head->head.y)};
}

// A box with inclusive bounds.
struct Box {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool Contains(int32_t x, int32_t y) const {
    return x >= left && x <= left + width && y >= top && y <= top + height;
  }
};

// The agent an AppObj object names after its prefix; -1 when none.
int32_t AgentOfObject(const std::string& objectName, size_t prefix) {
  return objectName.size() < prefix ? -1 : AgentFind(objectName.substr(prefix));
}

}  // namespace

// --- The table ------------------------------------------------------------------------

int32_t AgentAdd(const std::string& name) {
  if (AgentFind(name) >= 0) {
    return -1;
  }
  Agent& agent = data.agents.emplace_back();
  agent.name = UtilitiesUpperCase(name);
  agent.lastStepTime = StateGetTime(kStateGame);
  agent.dialogCameraX = DialogCameraDefaultX();
  agent.dialogCameraY = DialogCameraDefaultY();
  return static_cast<int32_t>(data.agents.size()) - 1;
}

int32_t AgentFind(const std::string& name) {
  const std::string upper = UtilitiesUpperCase(name);
  for (size_t i = 0; i < data.agents.size(); ++i) {
    if (data.agents[i].name == upper) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

Agent* AgentGet(int32_t id) {
  if (id < 0 || id >= AgentCount()) {
    return nullptr;
  }
  return &data.agents[static_cast<size_t>(id)];
}

int32_t AgentCount() {
  return static_cast<int32_t>(data.agents.size());
}

void AgentsClear() {
  for (Agent& agent : data.agents) {
    for (Animation& animation : agent.animations) {
      AnimationClose(animation);
    }
    AudioClose(agent.speechSound);
    ModelClose(agent.bubble.model);
    for (InventoryItem& item : agent.inventory) {
      ModelClose(item.image);
    }
    ModelClose(agent.inventoryHighlight);
  }
  data = AgentsData{};
}

// --- Animation control -------------------------------------------------------------------

bool AgentFrameOpen(int32_t id, int32_t slot, int32_t frameIndex) {
  Agent* agent = AgentGet(id);
  AnimationFrame* frame = agent == nullptr ? nullptr : FrameOf(*agent, slot, frameIndex);
  if (frame == nullptr || frame->imageFile.empty()) {
    return false;
  }
  if (frame->image != nullptr) {
    return true;
  }
  if (data.failedImages.contains(frame->imageFile)) {
    return false;
  }
  Model* model = OpenImage(frame->imageFile);
  if (model == nullptr) {
    LogError("AGentFrameOpen - Could not load agent frame: " + frame->imageFile);
    data.failedImages.insert(frame->imageFile);
    return false;
  }
  frame->image = model;
  frame->width = Round(ModelWidth(model));
  frame->height = Round(ModelHeight(model));
  // Body frames stand on their sprite point, and their head point becomes
  // relative to the feet. The head sets stay as drawn: each head frame is
  // placed by its own head point.
  if (!IsHeadSlot(slot)) {
    ModelTranslate(model, static_cast<float>(-frame->sprite.x),
                   static_cast<float>(-frame->sprite.y), 0.0f);
    if (slot != kAgentScripted) {
      const AnimationPoint first = SlotOf(*agent, slot)->frames.front().sprite;
      frame->head.x -= first.x;
      frame->head.y -= first.y;
    }
  }
  ModelVerticesSave(model);
  ModelScale(model, agent->scale);
  ModelMove(model, static_cast<float>(agent->x), static_cast<float>(agent->y), 0.0f);
  return true;
}

void AgentSetAnimation(int32_t id, int32_t slot, const std::string& sheetFile) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr || !ValidSlot(slot)) {
    return;
  }
  GrowSlots(*agent, slot);
  Animation& animation = *SlotOf(*agent, slot);
  if (animation.sheetFile == sheetFile) {
    return;
  }
  AnimationOpen(animation, sheetFile, true);
  if (slot == agent->bodySlot &&
      (animation.frames.empty() || animation.frames[0].image == nullptr)) {
    agent->bodyFrame = 0;
    AgentFrameOpen(id, slot, 0);
  }
}

bool AgentSetBody(int32_t id, int32_t slot) {
  Agent* agent = AgentGet(id);
  const Animation* animation = agent == nullptr ? nullptr : SlotOf(*agent, slot);
  if (animation == nullptr || !animation->loaded) {
    return false;
  }
  agent->bodySlot = slot;
  AgentSetBodyFrame(id, 0);
  return true;
}

bool AgentSetBodyFrame(int32_t id, int32_t frame) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr || !AgentFrameOpen(id, agent->bodySlot, frame)) {
    return false;
  }
  agent->bodyFrame = frame;
  return true;
}

bool AgentSetHead(int32_t id, int32_t slot) {
  Agent* agent = AgentGet(id);
  const Animation* animation = agent == nullptr ? nullptr : SlotOf(*agent, slot);
  if (!IsHeadSlot(slot) || animation == nullptr || !animation->loaded) {
    return false;
  }
  agent->headSlot = slot;
  AgentSetHeadFrame(id, 0);
  return true;
}

bool AgentSetHeadFrame(int32_t id, int32_t frame) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr || !AgentFrameOpen(id, agent->headSlot, frame)) {
    return false;
  }
  agent->headFrame = frame;
  return true;
}

bool AgentHasAnimation(int32_t id, int32_t slot) {
  Agent* agent = AgentGet(id);
  const Animation* animation = agent == nullptr ? nullptr : SlotOf(*agent, slot);
  return animation != nullptr && !animation->frames.empty();
}

// The scripted animation: slot 12 plays the sheet from its first frame at
// once, and the calling thread may wait for its action.
void AgentAnimate(int32_t script, int32_t thread, const std::string& agentName, bool persistent,
                  const std::string& sheetFile) {
  const int32_t id = AgentFind(agentName);
  Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  GrowSlots(*agent, kAgentScripted);
  Animation& animation = *SlotOf(*agent, kAgentScripted);
  if (!AnimationOpen(animation, sheetFile, persistent)) {
    return;
  }
  ActionComplete(agent->animationAction);
  const uint32_t now = StateGetTime(kStateGame);
  agent->lastStepTime = now < kFirstFrameAdvance ? 0 : now - kFirstFrameAdvance;
  agent->bodySlot = kAgentScripted;
  agent->bodyFrame = -1;
  agent->animationAction = ActionAdd(script, thread, agentName, "", kActionAnimation);
  animation.persistent = persistent;
  AgentUpdate(id);
}

// --- Placement, scale and depth ----------------------------------------------------------

void AgentMove(int32_t id, int32_t dx, int32_t dy) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  agent->x += dx;
  agent->y += dy;
  ForEachImage(*agent, [dx, dy](Model* image) {
    ModelMove(image, static_cast<float>(dx), static_cast<float>(dy), 0.0f);
  });
}

bool AgentMoveWrapped(int32_t id, int32_t dx, int32_t dy) {
  const Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return false;
  }
  const int32_t width = RoomFloorMat().width;
  bool wrapped = true;
  if (agent->x + dx < 0) {
    dx += width;
  } else if (agent->x + dx >= width) {
    dx -= width;
  } else {
    wrapped = false;
  }
  AgentMove(id, dx, dy);
  return wrapped;
}

// Every image is scaled from the vertices it was opened with, so repeated
// changes never drift.
void AgentSetScale(int32_t id, float scale) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr || scale == agent->scale || scale == 0.0f) {
    return;
  }
  ForEachImage(*agent, [scale](Model* image) {
    ModelVerticesRestore(image);
    ModelScale(image, scale);
  });
  agent->scale = scale;
}

void AgentsApplyRoomScale() {
  for (int32_t id = 0; id < AgentCount(); ++id) {
    const Agent& agent = *AgentGet(id);
    if (!agent.fixedScale) {
      AgentSetScale(id, RoomScaleForRow(agent.y));
    }
  }
}

uint8_t AgentDepthValue(int32_t id) {
  const Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return kNoDepth;
  }
  if (agent->fixedDepthSet) {
    return static_cast<uint8_t>(agent->fixedDepth - kDepthOffset);
  }
  const int32_t blue = BlueAt(RoomAgentDepthMat(), agent->x, agent->y);
  return blue < 0 ? kNoDepth : static_cast<uint8_t>(blue - kDepthOffset);
}

// --- Per frame ------------------------------------------------------------------------------

// The room script orders its agent objects by these codes: lower rows and
// deeper agents give smaller codes.
void AgentsSendDepthOrder() {
  for (Agent& agent : data.agents) {
    if (FrameOf(agent, agent.bodySlot, agent.bodyFrame) == nullptr) {
      continue;
    }
    const int32_t blue = BlueAt(RoomAgentDepthMat(), agent.x, agent.y);
    if (blue < 0) {
      continue;
    }
    const int32_t depth = agent.fixedDepthSet ? agent.fixedDepth : blue;
    ScriptEventSend(RoomScriptId(), kDepthOrderBase + agent.y - depth * kDepthOrderStep,
                    agent.name);
  }
}

void AgentsResetStepTimes() {
  const uint32_t now = StateGetTime(kStateGame);
  for (Agent& agent : data.agents) {
    agent.lastStepTime = now;
  }
}

void AgentRender(int32_t id) {
  Agent* agent = AgentGet(id);
  AnimationFrame* body =
      agent == nullptr ? nullptr : FrameOf(*agent, agent->bodySlot, agent->bodyFrame);
  if (body == nullptr || body->image == nullptr) {
    return;
  }
  const uint8_t depth = AgentDepthValue(id);
  const float z = depth == kNoDepth ? kNoDepthZ : -static_cast<float>(depth);
  const ModelColor tint = LightAt(agent->x, agent->y);
  const ModelVertex position = ModelGetPosition(body->image);
  if (position.z != z) {
    ModelSetPosition(body->image, position.x, position.y, z);
  }
  ModelSetColor(body->image, tint.red, tint.green, tint.blue, tint.alpha);
  Model* head = nullptr;
  if (const std::optional<HeadPlacement> placement = PlaceHead(*agent, *body)) {
    head = placement->frame->image;
    ModelSetPosition(head, placement->x, placement->y, z);
    ModelSetColor(head, tint.red, tint.green, tint.blue, tint.alpha);
  }
  if (!agent->headOnTop) {
    ModelRender(head);
  }
  ModelRender(body->image);
  if (agent->headOnTop) {
    ModelRender(head);
  }
}

bool AgentInObject(const std::string& objectName, int32_t x, int32_t y) {
  const int32_t id = AgentOfObject(objectName, kAgentObjectPrefix);
  Agent* agent = AgentGet(id);
  const AnimationFrame* body =
      agent == nullptr ? nullptr : FrameOf(*agent, agent->bodySlot, agent->bodyFrame);
  if (body == nullptr || body->image == nullptr) {
    return false;  // nothing drawn, nothing to click
  }
  const float scale = agent->scale;
  const Box bodyBox{agent->x - Round(static_cast<float>(body->sprite.x) * scale),
                    agent->y - Round(static_cast<float>(body->sprite.y) * scale),
                    Round(static_cast<float>(body->width) * scale),
                    Round(static_cast<float>(body->height) * scale)};
  bool hit = bodyBox.Contains(x, y);
  if (!hit) {
    if (const std::optional<HeadPlacement> placement = PlaceHead(*agent, *body)) {
      const Box headBox{Round(placement->x), Round(placement->y),
                        Round(static_cast<float>(placement->frame->width) * scale),
                        Round(static_cast<float>(placement->frame->height) * scale)};
      hit = headBox.Contains(x, y);
    }
  }
  if (!hit) {
    return false;
  }
  // In front of the background there only: the background's depth at the
  // point must lie behind the agent.
  const int32_t background = BlueAt(RoomDepthLayerMat(), x, y);
  return background < 0 || AgentDepthValue(id) < background;
}

// --- Routines -------------------------------------------------------------------------------

namespace {

// The standing set of each direction, and the head set that goes with each
// standing set.
constexpr int32_t kDirections = 4;
int32_t HeadSlotFor(int32_t bodySlot) {
  return bodySlot >= 0 && bodySlot < kDirections - 1 ? kAgentHeadSlots + bodySlot
                                                     : kAgentHeadSlots + kDirections - 1;
}

// A bubble's maximum width when the script gives none.
constexpr int32_t kDefaultBubbleWidth = 400;

// The agent named in slot 1.
int32_t ParamAgent(int32_t script, int32_t thread) {
  return AgentFind(ScriptParamGetString(script, thread, 1));
}

void SetPoint(int32_t script, int32_t thread, int32_t x, int32_t y) {
  ScriptParamSetInt(script, thread, 2, x);
  ScriptParamSetInt(script, thread, 3, y);
}

void SetDirection(int32_t id, int32_t direction) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr || direction < 0 || direction >= kDirections ||
      (agent->bodySlot >= kDirections && agent->bodySlot != kAgentScripted)) {
    return;
  }
  if (Animation* scripted = SlotOf(*agent, kAgentScripted);
      scripted != nullptr && !scripted->persistent) {
    AnimationClose(*scripted);
  }
  AgentSetBody(id, direction);
  agent->facing = direction;
  AgentSetHead(id, HeadSlotFor(agent->bodySlot));
}

// A fixed scale in percent, or 0: the room's scale for the agent's row.
void SetScale(int32_t id, int32_t percent) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  agent->fixedScale = percent != 0;
  AgentSetScale(
      id, agent->fixedScale ? static_cast<float>(percent) / 100.0f : RoomScaleForRow(agent->y));
}

void RegisterQueries() {
  ScriptAppRoutineRegister("AppAgentGetDestination", [](int32_t script, int32_t thread) {
    const Agent* agent = AgentGet(ParamAgent(script, thread));
    if (agent == nullptr) {
      SetPoint(script, thread, 0, 0);
    } else if (agent->currentWaypoint < static_cast<int32_t>(agent->waypoints.size())) {
      SetPoint(script, thread, agent->waypoints.back().x, agent->waypoints.back().y);
    } else {
      SetPoint(script, thread, agent->x, agent->y);
    }
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentGetDirection", [](int32_t script, int32_t thread) {
    const Agent* agent = AgentGet(ParamAgent(script, thread));
    ScriptParamSetInt(script, thread, 2, agent == nullptr ? 2 : agent->facing);
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentGetPosition", [](int32_t script, int32_t thread) {
    const Agent* agent = AgentGet(ParamAgent(script, thread));
    SetPoint(script, thread, agent == nullptr ? 0 : agent->x, agent == nullptr ? 0 : agent->y);
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentGetScale", [](int32_t script, int32_t thread) {
    const Agent* agent = AgentGet(ParamAgent(script, thread));
    ScriptParamSetInt(script, thread, 2, agent == nullptr ? 100 : Round(agent->scale * 100.0f));
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentIsWalking", [](int32_t script, int32_t thread) {
    const Agent* agent = AgentGet(ParamAgent(script, thread));
    ScriptParamSetBool(
        script, thread, 2,
        agent != nullptr && agent->currentWaypoint < static_cast<int32_t>(agent->waypoints.size()));
    return 1;
  });
}

void RegisterSay() {
  ScriptAppRoutineRegister("AppAgentSay", [](int32_t script, int32_t thread) {
    const std::string bubbleText = ScriptParamGetString(script, thread, 3);
    const std::string speechText = ScriptParamGetString(script, thread, 4);
    const int32_t width = ScriptParamGetInt(script, thread, 7);
    AgentSay(script, thread, ScriptParamGetString(script, thread, 1),
             ScriptParamGetString(script, thread, 2), bubbleText,
             speechText.empty() ? bubbleText : speechText, ScriptParamGetInt(script, thread, 5),
             ScriptParamGetBool(script, thread, 6), width == 0 ? kDefaultBubbleWidth : width,
             ScriptParamGetBool(script, thread, 8));
    return 1;
  });
}

// A routine setting a pair of the agent's integers from slots 2 and 3.
void RegisterPairSetter(const char* name, int32_t Agent::*first, int32_t Agent::*second) {
  ScriptAppRoutineRegister(name, [first, second](int32_t script, int32_t thread) {
    if (Agent* agent = AgentGet(ParamAgent(script, thread))) {
      agent->*first = ScriptParamGetInt(script, thread, 2);
      agent->*second = ScriptParamGetInt(script, thread, 3);
    }
    return 1;
  });
}

void RegisterSetters() {
  ScriptAppRoutineRegister("AppAgentSetAnimation", [](int32_t script, int32_t thread) {
    AgentSetAnimation(ParamAgent(script, thread), ScriptParamGetInt(script, thread, 2),
                      ScriptParamGetString(script, thread, 3));
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentSetDepth", [](int32_t script, int32_t thread) {
    if (Agent* agent = AgentGet(ParamAgent(script, thread))) {
      const int32_t depth = ScriptParamGetInt(script, thread, 2);
      agent->fixedDepthSet = depth != 0;
      agent->fixedDepth = static_cast<uint8_t>(depth);
    }
    return 1;
  });
  RegisterPairSetter("AppAgentSetDialogCameraOffset", &Agent::dialogCameraX, &Agent::dialogCameraY);
  RegisterPairSetter("AppAgentSetDialogOffset", &Agent::dialogOffsetX, &Agent::dialogOffsetY);
  ScriptAppRoutineRegister("AppAgentSetDirection", [](int32_t script, int32_t thread) {
    SetDirection(ParamAgent(script, thread), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentSetHeadOnTop", [](int32_t script, int32_t thread) {
    if (Agent* agent = AgentGet(ParamAgent(script, thread))) {
      agent->headOnTop = ScriptParamGetBool(script, thread, 2);
    }
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentSetPosition", [](int32_t script, int32_t thread) {
    const int32_t id = ParamAgent(script, thread);
    if (const Agent* agent = AgentGet(id)) {
      AgentMove(id, ScriptParamGetInt(script, thread, 2) - agent->x,
                ScriptParamGetInt(script, thread, 3) - agent->y);
    }
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentSetScale", [](int32_t script, int32_t thread) {
    SetScale(ParamAgent(script, thread), ScriptParamGetInt(script, thread, 2));
    return 1;
  });
}

void RegisterWalks() {
  ScriptAppRoutineRegister("AppAgentWalkClearAction", [](int32_t script, int32_t thread) {
    ActionRemoveWalks(ScriptParamGetString(script, thread, 1));
    return 1;
  });
  ScriptAppRoutineRegister("AppAgentWalkTo", [](int32_t script, int32_t thread) {
    AgentWalkTo(script, thread, ParamAgent(script, thread), ScriptParamGetString(script, thread, 4),
                ScriptParamGetInt(script, thread, 2), ScriptParamGetInt(script, thread, 3));
    return 1;
  });
}

// Runs the callback with the depth test on, as the agents are drawn against
// the background's depth.
template <typename Function>
void WithDepthTest(Function function) {
  const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
  glEnable(GL_DEPTH_TEST);
  function();
  if (depthTest == GL_FALSE) {
    glDisable(GL_DEPTH_TEST);
  }
}

}  // namespace

void GameRegisterAgentRoutines() {
  ScriptAppRoutineRegister("AppAgentAdd", [](int32_t script, int32_t thread) {
    AgentAdd(ScriptParamGetString(script, thread, 1));
    return 1;
  });
  for (const bool persistent : {false, true}) {
    ScriptAppRoutineRegister(persistent ? "AppAgentAnimatePersist" : "AppAgentAnimate",
                             [persistent](int32_t script, int32_t thread) {
                               AgentAnimate(script, thread, ScriptParamGetString(script, thread, 1),
                                            persistent, ScriptParamGetString(script, thread, 2));
                               return 1;
                             });
  }
  RegisterQueries();
  RegisterSay();
  RegisterSetters();
  RegisterWalks();
  ScriptAppRoutineRegister("AppActionsDone", [](int32_t script, int32_t thread) {
    ScriptParamSetBool(script, thread, 1, ActionsDone(script, thread));
    return 1;
  });
}

void GameRegisterAgentRenderCallback() {
  ScriptAppObjRenderRegister("AppRenderAgents", [](const std::string& objectName) {
    WithDepthTest([&objectName] { AgentRender(AgentOfObject(objectName, kAgentObjectPrefix)); });
  });
}

void GameRegisterAgentHitTest() {
  ScriptAppObjInObjectRegister("AppInObjectAgents", AgentInObject);
}
