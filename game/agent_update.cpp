// The per-frame life of an agent: its scripted animation, its walk along the
// waypoints, the room's scale for its row, the end of its speech and the
// mouth that follows the spoken letters; and the walk request that starts a
// walk.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "framework/audio/audio.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "game/path.h"

namespace {

// One frame of an animation, or of a walk, lasts this long.
constexpr uint32_t kTickMs = 100;

uint32_t Now() {
  return StateGetTime(kStateGame);
}

bool TickDue(const Agent& agent, uint32_t now) {
  return now - agent.lastStepTime >= kTickMs;
}

bool ValidFrame(const Animation& animation, int32_t frame) {
  return frame >= 0 && static_cast<size_t>(frame) < animation.frames.size();
}

// A distance of the sheet in the agent's pixels.
int32_t Scaled(int32_t value, float scale) {
  return static_cast<int32_t>(std::lround(static_cast<double>(value) * scale));
}

// --- Scripted animation ------------------------------------------------------------

// Moves the body of a scripted animation to its next frame; at the end of
// the sheet the agent returns to the standing set of its facing.
void ScriptedAdvance(int32_t id, Agent& agent) {
  Animation& animation = agent.animations[kAgentScripted];
  const int32_t previous = agent.bodyFrame;
  const int32_t next = previous + 1;
  if (!ValidFrame(animation, next)) {
    if (!animation.persistent) {
      AnimationClose(animation);
    }
    AgentSetBody(id, agent.facing);
    ActionComplete(agent.animationAction);
    return;
  }
  // Frames of this slot are shifted to their sprite point but never
  // head-adjusted. A frame whose image cannot be opened still plays its
  // place in the sheet, so that the animation ends.
  AgentFrameOpen(id, kAgentScripted, next);
  agent.bodyFrame = next;
  if (ValidFrame(animation, previous)) {
    const AnimationFrame& from = animation.frames[static_cast<size_t>(previous)];
    const AnimationFrame& to = animation.frames[static_cast<size_t>(next)];
    AgentMoveWrapped(id, Scaled(to.sprite.x + from.next.x - to.prev.x - from.sprite.x, agent.scale),
                     Scaled(to.sprite.y + from.next.y - to.prev.y - from.sprite.y, agent.scale));
  }
  if (animation.frames[static_cast<size_t>(next)].repeat < 0) {
    ActionComplete(agent.animationAction);
  }
}

// One 100 ms tick of a scripted animation: the current frame counts its
// repeats, a negative repeat holds the frame and ends the action.
void ScriptedTick(int32_t id, Agent& agent, uint32_t now) {
  if (agent.lastStepTime != 0 && !TickDue(agent, now)) {
    return;
  }
  Animation& animation = agent.animations[kAgentScripted];
  if (!ValidFrame(animation, agent.bodyFrame)) {
    ScriptedAdvance(id, agent);
  } else {
    AnimationFrame& frame = animation.frames[static_cast<size_t>(agent.bodyFrame)];
    if (frame.repeat > 0) {
      ++frame.counter;
    }
    if (frame.repeat < 0) {
      if (frame.counter <= 0) {
        ++frame.counter;
      } else {
        ActionComplete(agent.animationAction);
      }
    } else if (frame.counter >= frame.repeat) {
      frame.counter = 0;
      if (!animation.persistent) {
        ModelClose(frame.image);
      }
      ScriptedAdvance(id, agent);
    }
  }
  agent.lastStepTime = now;
}

// --- Walking --------------------------------------------------------------------------

// The floor mat's width: the distance once round a wrapping room.
int32_t WrapWidth() {
  return RoomFloorMat().width;
}

// The way to the waypoint along x, the way round the seam its leftward flag
// asks for.
int32_t HorizontalDistance(const Agent& agent, const PathWaypoint& target) {
  const int32_t distance = std::abs(target.x - agent.x);
  if (target.leftward && agent.x < target.x) {
    return distance - WrapWidth();
  }
  if (!target.leftward && target.x < agent.x) {
    return WrapWidth() - distance;
  }
  return target.x - agent.x;
}

// The agent stands on its last waypoint: a waypoint that is not floor (the
// floor changed under the walk) gives way to the nearest floor.
void FinishOnLastWaypoint(int32_t id, Agent& agent, const PathWaypoint& target, uint32_t now) {
  AgentMove(id, target.x - agent.x, target.y - agent.y);
  const PathPoint wanted{target.x, target.y};
  const PathPoint found = PathFindNearestFloor(RoomFloorMat(), RoomPathTree(), wanted);
  if (found != wanted) {
    LogError("AgentUpdate - Walk destination (" + std::to_string(wanted.x) + ", " +
             std::to_string(wanted.y) + ") not valid.  Teleporting to walkable position (" +
             std::to_string(found.x) + ", " + std::to_string(found.y) + ").");
    AgentMove(id, found.x - wanted.x, found.y - wanted.y);
  }
  agent.waypoints.clear();
  agent.currentWaypoint = 0;
  agent.facing = 2;
  AgentSetBody(id, 2);
  ActionComplete(agent.walkAction);
  agent.lastStepTime = now;
}

// Picks the walking set for the way still to go; a set without frames is
// not taken.
void ChooseWalkingSet(int32_t id, Agent& agent, int32_t dx, int32_t dy) {
  int32_t slot = 0;
  if (std::abs(dx) < std::abs(dy)) {
    slot = dy <= 0 ? kAgentWalkUp : kAgentWalkDown;
  } else if (dx <= 0) {
    slot = kAgentWalkLeft;
    agent.facing = 3;
  } else {
    slot = kAgentWalkRight;
    agent.facing = 2;
  }
  if (slot != agent.bodySlot && AgentHasAnimation(id, slot)) {
    AgentSetBody(id, slot);
  }
}

// Shows the next frame of the walking set and returns the stride between
// the two frames' anchors, in the agent's pixels.
PathPoint StepFrame(int32_t id, Agent& agent) {
  const int32_t before = agent.bodyFrame;
  if (!AgentSetBodyFrame(id, before + 1)) {
    AgentSetBodyFrame(id, 0);
  }
  const Animation& body = agent.animations[static_cast<size_t>(agent.bodySlot)];
  if (!ValidFrame(body, before) || !ValidFrame(body, agent.bodyFrame)) {
    return {};
  }
  const AnimationFrame& from = body.frames[static_cast<size_t>(before)];
  const AnimationFrame& to = body.frames[static_cast<size_t>(agent.bodyFrame)];
  return {Scaled(from.next.x - to.prev.x, agent.scale),
          Scaled(from.next.y - to.prev.y, agent.scale)};
}

// Moves one stride towards the waypoint; true when the agent reached or
// passed it. A vertical set strides in y and follows the slope in x, the
// others the other way round.
bool Stride(int32_t id, Agent& agent, const PathWaypoint& target, int32_t dx, int32_t dy,
            PathPoint stride) {
  if (agent.bodySlot == kAgentWalkUp || agent.bodySlot == kAgentWalkDown) {
    const int32_t run = dy == 0 ? 1 : dy;
    const bool wasAbove = agent.y < target.y;
    AgentMoveWrapped(id, static_cast<int32_t>(int64_t{dx} * stride.y / run), stride.y);
    return agent.y == target.y || (agent.y < target.y) != wasAbove;
  }
  const int32_t run = dx == 0 ? 1 : dx;
  const bool wasLeft = agent.x < target.x;
  // Across the seam the waypoint lies on the far side of the room. Without
  // a floor mat (cleared during the walk) there is no seam, though every
  // move reports a wrap: the agent walks on instead of jumping onto the
  // waypoint.
  const bool wrapped =
      AgentMoveWrapped(id, stride.x, static_cast<int32_t>(int64_t{stride.x} * dy / run)) &&
      WrapWidth() > 0;
  const bool isLeft = (agent.x < target.x) != wrapped;
  return agent.x == target.x || isLeft != wasLeft;
}

void Walk(int32_t id, Agent& agent, uint32_t now) {
  const PathWaypoint target = agent.waypoints[static_cast<size_t>(agent.currentWaypoint)];
  const int32_t dx = HorizontalDistance(agent, target);
  const int32_t dy = target.y - agent.y;
  const bool last = static_cast<size_t>(agent.currentWaypoint) + 1 == agent.waypoints.size();
  if (dx == 0 && dy == 0) {
    ++agent.currentWaypoint;
    if (last) {
      FinishOnLastWaypoint(id, agent, target, now);
    }
    return;
  }
  ChooseWalkingSet(id, agent, dx, dy);
  if (!TickDue(agent, now)) {
    return;
  }
  const PathPoint stride = StepFrame(id, agent);
  const bool vertical = agent.bodySlot == kAgentWalkUp || agent.bodySlot == kAgentWalkDown;
  if (Stride(id, agent, target, dx, dy, stride)) {
    AgentMove(id, target.x - agent.x, target.y - agent.y);
    ++agent.currentWaypoint;
    if (last) {
      const int32_t standing = agent.bodySlot == kAgentWalkRight || vertical ? 2 : 3;
      agent.facing = standing;
      AgentSetBody(id, standing);
      ActionComplete(agent.walkAction);
    }
  }
  agent.lastStepTime = now;
}

// --- Speech -------------------------------------------------------------------------

bool SoundPlaying(const Agent& agent) {
  return AudioGetStatus(agent.speechSound) == kAudioStatusPlaying;
}

// A line ends when its time is over and its voice has stopped.
void SpeechEnd(Agent& agent, uint32_t now) {
  if (agent.speechEnd != 0 && agent.speechEnd < now && !SoundPlaying(agent)) {
    agent.speechEnd = 0;
    ActionComplete(agent.speechAction);
    AudioClose(agent.speechSound);
  }
}

// The mouth for a letter of the speech text.
int32_t MouthForLetter(char letter) {
  switch (letter) {
    case ' ':
      return 10;
    case 'A':
    case 'I':
      return 1;
    case 'O':
      return 2;
    case 'E':
      return 3;
    case 'U':
      return 4;
    case 'L':
      return 6;
    case 'Q':
    case 'W':
      return 7;
    case 'B':
    case 'M':
    case 'P':
      return 8;
    case 'F':
    case 'V':
      return 9;
    default:
      return 5;
  }
}

// The head frame of the letter being spoken now, the letters spread evenly
// over the line's time; the closed mouth 0 when silent. An empty text has
// no letter to show.
int32_t HeadFrameNow(const Agent& agent, uint32_t now) {
  const bool over = now > agent.speechEnd && !SoundPlaying(agent);
  if (agent.speechEnd == 0 || !agent.lipSync || over || agent.speechText.empty()) {
    return 0;
  }
  const int64_t length = static_cast<int64_t>(agent.speechText.size());
  const int64_t start = agent.speechStart;
  const int64_t end = agent.speechEnd;
  int64_t position = 1;
  if (end > start) {
    const int64_t spoken = std::max<int64_t>(std::min<int64_t>(now, end) - start, 0);
    position = 1 + (length - 1) * spoken / (end - start);
  }
  return MouthForLetter(agent.speechText[static_cast<size_t>(position - 1)]);
}

// The head set that goes with the body: one for each of the standing sets
// 0 to 2, one for everything else.
int32_t HeadSlotForBody(int32_t bodySlot) {
  return bodySlot >= 0 && bodySlot <= 2 ? kAgentHeadSlots + bodySlot : kAgentHeadSlots + 3;
}

bool ValidSlot(const Agent& agent, int32_t slot) {
  return slot >= 0 && static_cast<size_t>(slot) < agent.animations.size();
}

}  // namespace

void AgentUpdate(int32_t id) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  const uint32_t now = Now();
  if (ValidSlot(*agent, agent->bodySlot)) {
    if (agent->bodySlot == kAgentScripted) {
      ScriptedTick(id, *agent, now);
    } else if (static_cast<size_t>(agent->currentWaypoint) < agent->waypoints.size()) {
      Walk(id, *agent, now);
    }
  }
  if (!agent->fixedScale) {
    AgentSetScale(id, RoomScaleForRow(agent->y));
  }
  SpeechEnd(*agent, now);
  AgentSetHead(id, HeadSlotForBody(agent->bodySlot));
  if (ValidSlot(*agent, agent->headSlot)) {
    AgentSetHeadFrame(id, HeadFrameNow(*agent, now));
  }
}

void AgentsUpdate() {
  for (int32_t id = 0; id < AgentCount(); ++id) {
    AgentUpdate(id);
  }
}

void AgentWalkTo(int32_t script, int32_t thread, int32_t id, const std::string& routine, int32_t x,
                 int32_t y) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  PathWalker walker;
  walker.position = {agent->x, agent->y};
  const bool routed = RoomWalkRequest(walker, {x, y});
  // A walker found off the floor was put on the nearest floor first.
  if (walker.position != PathPoint{agent->x, agent->y}) {
    AgentMove(id, walker.position.x - agent->x, walker.position.y - agent->y);
  }
  agent->waypoints = std::move(walker.waypoints);
  agent->currentWaypoint = walker.current;
  if (routed) {
    ActionRemoveWalks(agent->name);
    agent->walkAction = ActionAdd(script, thread, agent->name, routine, kActionWalk);
  }
}
