// The agents: the table of characters, their animation slots and frame
// images, placement, scale, depth, drawing and hit tests, and their script
// routines.
#include <GL/gl.h>

#include <cmath>
#include <deque>
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

}  // namespace

// --- The table ------------------------------------------------------------------------

int32_t AgentAdd(const std::string& name) {
  if (AgentFind(name) >= 0) {
    return -1;
  }
  Agent& agent = data.agents.emplace_back();
  agent.name = UtilitiesUpperCase(name);
  agent.lastStepTime = StateGetTime(kStateGame);
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
