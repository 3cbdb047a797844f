// An agent's speech line: its bubble above the speaker, its voice, how long
// it lasts, and the pending action the speaking thread may wait for.
#include <algorithm>
#include <cmath>
#include <string>

#include "framework/audio/audio.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game_internal.h"

namespace {

// A line lasts this long, plus the speed setting for each character.
constexpr uint32_t kSpeechBaseTime = 600;
// The voice is a sound of its own, played once, more important than most.
constexpr uint8_t kVoiceNoLoop = 0;
constexpr int32_t kVoiceRating = 1;

int32_t Rounded(double value) {
  return static_cast<int32_t>(std::nearbyint(value));
}

// Facing up or left mirrors the offsets that place a bubble beside the head.
bool FacesMirrored(const Agent& agent) {
  return agent.facing == 1 || agent.facing == 3;
}

// Above the head: the dialog offset scaled with the agent, the bubble
// centred on it and standing a tile above it.
void PlaceBubble(Agent& agent) {
  Bubble& bubble = agent.bubble;
  const int32_t dx = FacesMirrored(agent) ? -agent.dialogOffsetX : agent.dialogOffsetX;
  bubble.x = Rounded(dx * agent.scale) + agent.x - bubble.width / 2;
  bubble.y = Rounded(agent.dialogOffsetY * agent.scale) + agent.y - bubble.height -
             BubbleTileHeight(bubble.type);
}

// The tail points down towards the speaker, from left of the middle for the
// standing slots 0 and 2 and from right of it otherwise, never onto a corner.
void PlaceTail(Agent& agent) {
  Bubble& bubble = agent.bubble;
  const int32_t w = BubbleTileWidth(bubble.type);
  const int32_t h = BubbleTileHeight(bubble.type);
  if (agent.bodySlot == 0 || agent.bodySlot == 2) {
    bubble.tailTexture = BubblePieceTexture(bubble.type, kBubbleTailLeft);
    bubble.tailX = bubble.width / 2 + w;
    if (bubble.tailX + w >= bubble.width - w) {
      bubble.tailX = bubble.width - 2 * w;
    }
  } else {
    bubble.tailTexture = BubblePieceTexture(bubble.type, kBubbleTailRight);
    bubble.tailX = std::max(bubble.width / 2 - 2 * w, w);
  }
  if (bubble.tail) {
    BubbleAddPiece(bubble.model, bubble.tailX, bubble.tailY, true, bubble.tailTexture, 1, 1, 2 * h,
                   w);
  }
}

// Plays the voice, if any and if voices can be heard; its length, when
// known, replaces the time the text would take.
void StartVoice(Agent& agent, const std::string& voiceFile) {
  if (voiceFile.empty() || AudioVolumeGetVoice() <= 0.0) {
    return;
  }
  agent.speechSound = AudioOpen(voiceFile, kAudioKindVoice, kVoiceNoLoop, kVoiceRating);
  if (agent.speechSound <= 0) {
    return;
  }
  AudioPlay(agent.speechSound);
  const int64_t length = AudioFileGetMS(voiceFile);
  if (length > 0) {
    agent.speechEnd = agent.speechStart + static_cast<uint32_t>(length);
  }
}

}  // namespace

void AgentSay(int32_t script, int32_t thread, const std::string& agentName,
              const std::string& voiceFile, const std::string& bubbleText,
              const std::string& speechText, int32_t type, bool tail, int32_t maximumWidth,
              bool lipSync) {
  Agent* agent = AgentGet(AgentFind(agentName));
  if (agent == nullptr) {
    return;
  }
  ActionComplete(agent->speechAction);
  if (!BubbleBuildCalc(bubbleText, type, tail, agent->bubble, maximumWidth) ||
      !BubbleBuild(agent->bubble)) {
    return;
  }
  AudioClose(agent->speechSound);
  agent->speechText = UtilitiesUpperCase(speechText.empty() ? bubbleText : speechText);
  // The mouth follows the letters: with none to follow it stays closed.
  agent->lipSync = lipSync && !agent->speechText.empty();
  agent->speechStart = StateGetTime(kStateGame);
  const auto speed = static_cast<uint32_t>(std::max(GameConfigSpeechBubbleSpeed(), 0));
  agent->speechEnd = agent->speechStart + kSpeechBaseTime +
                     speed * static_cast<uint32_t>(agent->speechText.size());
  PlaceBubble(*agent);
  PlaceTail(*agent);
  StartVoice(*agent, voiceFile);
  agent->speechAction = ActionAdd(script, thread, agent->name, "", kActionSpeech);
}

void AgentRenderBubble(int32_t id) {
  Agent* agent = AgentGet(id);
  if (agent == nullptr || agent->speechEnd == 0) {
    return;
  }
  // Lines nobody can hear are always shown.
  const bool noVoice = agent->speechSound <= 0 || AudioVolumeGetVoice() <= 0.0;
  if (GameConfigShowSpeechBubbles() || noVoice) {
    BubbleRender(agent->bubble, agent->dialogCameraX, agent->dialogCameraY);
  }
}

void DialogAdvance() {
  // End 0 means "not speaking": a line cut short at the clock's first
  // millisecond must still end.
  const uint32_t now = std::max(StateGetTime(kStateGame), 1u);
  for (int32_t id = 0; id < AgentCount(); ++id) {
    Agent* agent = AgentGet(id);
    if (agent->speechEnd != 0) {
      agent->speechEnd = now;
      AudioStop(agent->speechSound);
    }
  }
}
