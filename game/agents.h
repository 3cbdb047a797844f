// The characters of the game: animation sheets, agents with their walks,
// scripted animations, speech lines and inventories, the pending actions
// that script threads wait for, speech bubbles and dialog options. Shared by
// the game's sheet, agent, action, inventory and bubble files; not part of
// the game's API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/path.h"

struct Model;
struct ModelTexture;

// --- Animation sheets (sheet.cpp) ---------------------------------------------------

struct AnimationPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const AnimationPoint&, const AnimationPoint&) = default;
};

struct AnimationFrame {
  std::string imageFile;   // the sheet's folder + "\" + the frame's line
  Model* image = nullptr;  // opened on first use
  int32_t width = 0;       // the image's size, filled when it is opened
  int32_t height = 0;
  AnimationPoint prev;  // where this frame's foot was relative to the previous frame
  AnimationPoint next;  // where the next frame's foot will be
  AnimationPoint head;  // where a talking head attaches
  bool hasHead = false;
  AnimationPoint sprite;  // the frame's origin (the feet); carried to later frames
  int32_t repeat = 0;     // n >= 1: lasts n ticks; negative: holds and ends the action
  int32_t counter = 0;    // ticks shown, while playing
};

struct Animation {
  std::string sheetFile;  // in the caller's spelling
  bool loaded = false;
  bool persistent = false;  // frames keep their images; the same sheet is not read again
  std::vector<AnimationFrame> frames;
};

// Reads an exposure sheet into the animation (its images are opened later).
// False, with the designed log line, and an empty animation that is not
// loaded, when the sheet cannot be read.
bool AnimationOpen(Animation& animation, const std::string& sheetFile, bool persistent);
// Closes every frame's image and empties the frames.
void AnimationClose(Animation& animation);

// --- Pending actions (actions.cpp) ----------------------------------------------------

enum ActionKind : int32_t {
  kActionAnimation = 1,
  kActionSpeech = 2,
  kActionWalk = 3,
  kActionSound = 4,
};

// Kept by the owner of an action; id 0 means none.
struct ActionHandle {
  int32_t id = 0;
  int32_t script = 0;
  int32_t thread = 0;
};

// Appends an action to the group of (script, thread), creating the group.
ActionHandle ActionAdd(int32_t script, int32_t thread, const std::string& agent,
                       const std::string& routine, ActionKind kind);
// Removes the action and sets the handle to none; a walk with a routine name
// sends that name to the room script as event 10.
void ActionComplete(ActionHandle& handle);
// No action of (script, thread) is pending.
bool ActionsDone(int32_t script, int32_t thread);
// Removes every walk of the agent (its stored upper-case name), sending nothing.
void ActionRemoveWalks(const std::string& agent);
// Removes the group of (script, thread).
void ActionRemoveThread(int32_t script, int32_t thread);
// Empties the table (room load).
void ActionClearAll();
// Empties the table and starts the ids at 1 again (game start).
void ActionsReset();

// --- Speech bubbles (bubble.cpp) --------------------------------------------------------

struct BubbleLine {
  std::string text;
  int32_t x = 0;  // relative to the bubble
  int32_t y = 0;
};

struct Bubble {
  uint8_t type = 0;
  int32_t x = 0;  // top left on the screen, before the camera offset
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::string text;
  std::vector<BubbleLine> lines;
  int32_t id = 0;       // dialog options only
  int32_t columns = 0;  // middle tiles across
  int32_t rows = 0;     // tiles down, borders included
  ModelTexture* tailTexture = nullptr;
  int32_t tailX = 0;  // relative to the bubble
  int32_t tailY = 0;
  bool tail = false;
  Model* model = nullptr;
};

// --- Agents (agent.cpp) -------------------------------------------------------------------

// Animation slots of an agent.
constexpr int32_t kAgentStandSlots = 0;  // 0-3: standing, facing 0, 1, 2, 3
constexpr int32_t kAgentWalkRight = 4;
constexpr int32_t kAgentWalkUp = 5;
constexpr int32_t kAgentWalkDown = 6;
constexpr int32_t kAgentWalkLeft = 7;
constexpr int32_t kAgentHeadSlots = 8;  // 8-11: heads for body 0, 1, 2 and any other
constexpr int32_t kAgentScripted = 12;
constexpr int32_t kAgentSlotCount = 13;

struct InventoryItem {
  std::string name;  // upper case
  std::string imageFile;
  Model* image = nullptr;
};

struct Agent {
  std::string name;  // upper case
  int32_t facing = 3;
  int32_t x = 0;  // the feet, in room pixels
  int32_t y = 0;
  uint8_t fixedDepth = 0;
  bool fixedDepthSet = false;
  float scale = 1.0f;
  bool fixedScale = false;
  std::vector<Animation> animations;  // by slot, up to kAgentSlotCount
  int32_t bodySlot = 3;
  int32_t bodyFrame = 0;
  ActionHandle animationAction;
  uint32_t lastStepTime = 0;  // the Game state's clock
  int32_t headSlot = 11;
  int32_t headFrame = 0;
  bool headOnTop = false;
  std::vector<PathWaypoint> waypoints;
  int32_t currentWaypoint = 0;
  ActionHandle walkAction;
  int32_t speechSound = 0;
  bool lipSync = true;
  std::string speechText;  // upper case
  uint32_t speechStart = 0;
  uint32_t speechEnd = 0;  // 0: not speaking
  Bubble bubble;
  ActionHandle speechAction;
  int32_t dialogCameraX = 0;
  int32_t dialogCameraY = 0;
  int32_t dialogOffsetX = 0;
  int32_t dialogOffsetY = 0;
  std::vector<InventoryItem> inventory;
  Model* inventoryHighlight = nullptr;
  int32_t selectedItem = -1;
  int32_t firstShownItem = 0;
};

// The table: an agent's id is its index; names are matched in upper case.
int32_t AgentAdd(const std::string& name);   // -1 when the name exists
int32_t AgentFind(const std::string& name);  // -1 when none
Agent* AgentGet(int32_t id);                 // null for -1 or a bad id
int32_t AgentCount();
// Closes every model, sound and inventory image and removes every agent.
void AgentsClear();

// Animation control. Slots outside 0..12 and agents that do not exist are
// ignored.
void AgentSetAnimation(int32_t id, int32_t slot, const std::string& sheetFile);
void AgentAnimate(int32_t script, int32_t thread, const std::string& agentName, bool persistent,
                  const std::string& sheetFile);
bool AgentSetBody(int32_t id, int32_t slot);
bool AgentSetBodyFrame(int32_t id, int32_t frame);
bool AgentSetHead(int32_t id, int32_t slot);
bool AgentSetHeadFrame(int32_t id, int32_t frame);
bool AgentHasAnimation(int32_t id, int32_t slot);
// Makes sure the frame's image is loaded, shifted to its sprite point,
// scaled and placed at the agent.
bool AgentFrameOpen(int32_t id, int32_t slot, int32_t frame);

// Placement, scale and depth.
void AgentMove(int32_t id, int32_t dx, int32_t dy);
bool AgentMoveWrapped(int32_t id, int32_t dx, int32_t dy);  // true when it wrapped
void AgentSetScale(int32_t id, float scale);
// Every agent without a fixed scale takes the room's scale for its row at once
// (the scale line changed).
void AgentsApplyRoomScale();
uint8_t AgentDepthValue(int32_t id);  // 255: none

// Per frame of the Game state: every agent updated, then the depth order sent
// to the room script.
void AgentUpdate(int32_t id);
void AgentsUpdate();
void AgentsSendDepthOrder();
// Entering the Game state: no time spent while away counts.
void AgentsResetStepTimes();
void AgentRender(int32_t id);
// The AppObj hit test of an agent: the object name without its first five
// characters names it.
bool AgentInObject(const std::string& objectName, int32_t x, int32_t y);
// The walk request: routes the agent over the room's floor and tree and, on
// success, replaces its pending walks by a new walk action.
void AgentWalkTo(int32_t script, int32_t thread, int32_t id, const std::string& routine, int32_t x,
                 int32_t y);

// --- Inventory (inventory.cpp) ---------------------------------------------------------------
void AgentInventoryAdd(const std::string& agentName, const std::string& itemName,
                       const std::string& imageFile);
void AgentInventoryRemove(const std::string& agentName, const std::string& itemName);
int32_t AgentInventoryFind(int32_t id, const std::string& itemName);  // -1 when none
void AgentInventorySelect(const std::string& agentName, int32_t position);
void AgentInventorySetHighlight(const std::string& agentName, const std::string& imageFile);
void AgentInventoryRender(int32_t id);
// The AppObj render callback AppRenderInventory: the object name without its
// first twelve characters names the agent.
void GameRegisterInventoryCallback();

// --- Speech and dialog (bubble.cpp, speech.cpp, dialog.cpp) ------------------------------------
// The pieces of a bubble type, in the order of their textures.
enum BubblePiece : int32_t {
  kBubbleTopLeft,
  kBubbleTop,
  kBubbleTopRight,
  kBubbleLeft,
  kBubbleCenter,
  kBubbleRight,
  kBubbleBottomLeft,
  kBubbleBottom,
  kBubbleBottomRight,
  kBubbleTailLeft,
  kBubbleTailLeftTop,
  kBubbleTailRight,
  kBubbleTailRightTop,
  kBubblePieceCount,
};
// Types are bytes (a bubble's type): BubbleOpen refuses others with a log line.
bool BubbleOpen(int32_t type, const std::string& baseName);
void BubbleClose(int32_t type);
void BubblesClear();  // every type closed (game reset)
bool BubbleBuildCalc(const std::string& text, int32_t type, bool tail, Bubble& bubble,
                     int32_t maximumWidth);
bool BubbleBuild(Bubble& bubble);
void BubbleAddPiece(Model* model, int32_t x, int32_t y, bool compile, ModelTexture* texture,
                    int32_t rows, int32_t columns, int32_t tileHeight, int32_t tileWidth);
void BubbleRender(Bubble& bubble, int32_t offsetX, int32_t offsetY);
bool BubbleTypeExists(int32_t type);
int32_t BubbleTileWidth(int32_t type);                              // 0 for no type
int32_t BubbleTileHeight(int32_t type);                             // 0 for no type
ModelTexture* BubblePieceTexture(int32_t type, BubblePiece piece);  // null when missing
void AgentSay(int32_t script, int32_t thread, const std::string& agentName,
              const std::string& voiceFile, const std::string& bubbleText,
              const std::string& speechText, int32_t type, bool tail, int32_t maximumWidth,
              bool lipSync);
void AgentRenderBubble(int32_t id);
void DialogAdvance();  // every running speech line ends now
void DialogClear();    // the options and their models (game reset)
// The dialog camera offset a new agent starts with (AppDialogSetOffset).
int32_t DialogCameraDefaultX();
int32_t DialogCameraDefaultY();

// --- Routines ----------------------------------------------------------------------------------
// Agents and AppActionsDone (agent.cpp), inventory (inventory.cpp), speech
// and dialog (dialog.cpp); the AppObj callbacks and the render procedure
// AppRenderDialog separately, for the registration order.
void GameRegisterAgentRoutines();
void GameRegisterInventoryRoutines();
void GameRegisterSpeechRoutines();
void GameRegisterAgentRenderCallback();    // AppRenderAgents
void GameRegisterAgentHitTest();           // AppInObjectAgents
void GameRegisterSpeechRenderCallback();   // AppRenderDialogOptions
void GameRegisterSpeechHitTest();          // AppInDialogOptions
void GameRegisterSpeechRenderProcedure();  // AppRenderDialog
