// The current room: its script, its five mats, its path tree, its depth
// mesh and its scale line.
#include <GL/gl.h>

#include <string>
#include <utility>

#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/depth_runs.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// The scale line maps screen rows to agent scales: scale A (percent) at
// row A, scale B at row B, in a straight line through both.
struct ScaleLine {
  int32_t rowA = 1;
  int32_t scaleA = 100;
  int32_t rowB = 1;
  int32_t scaleB = 100;
};

struct RoomData {
  int32_t script = 0;          // > 0 loaded, -1 closed, 0 before the first room
  std::string pending;         // the room the Game state loads next
  Mat depthLayers;             // blue: the background's depth at each pixel
  Model* depthMesh = nullptr;  // built from the depth layers
  Mat agentDepth;              // blue: the depth of an agent standing there
  Mat floor;                   // where agents walk, against the tree's colours
  Mat light;                   // the tint of an agent standing there
  Mat sound;                   // held for the room, read by nothing yet
  PathTree tree;               // the walk area's nodes and colours
  ScaleLine scale;
};

RoomData room;

// The content file a room argument names: an argument with a backslash is
// the file itself, any other is a room whose "Background" folder holds it.
std::string RoomFile(const std::string& argument, const char* fileName) {
  if (argument.find('\\') != std::string::npos) {
    return argument;
  }
  return "Bin\\Rooms\\" + argument + "\\Background\\" + fileName;
}

void SetMat(Mat& mat, const std::string& argument, const char* fileName) {
  if (argument.empty()) {
    MatClear(mat);
  } else {
    MatOpen(RoomFile(argument, fileName), mat);
  }
}

// Frees the depth mesh and clears the depth it wrote: the frames' own clear
// does not reach the depth buffer while depth writes are off, as the depth
// pass leaves them.
void DepthMeshClose() {
  if (room.depthMesh == nullptr) {
    return;
  }
  ModelClose(room.depthMesh);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);
  glDepthMask(GL_FALSE);
  MatClear(room.depthLayers);
}

// A routine taking the room argument in slot 1.
void RegisterSetter(const char* name, void (*setter)(const std::string&)) {
  ScriptAppRoutineRegister(name, [setter](int32_t script, int32_t thread) {
    setter(ScriptParamGetString(script, thread, 1));
    return 1;
  });
}

}  // namespace

// --- Loading a room -------------------------------------------------------------

bool RoomLoad(const std::string& name) {
  // Every thread's pending actions are dropped, without their completion
  // events: their threads and the room they belong to are going.
  ActionClearAll();
  // The room's sounds end with it, before the old script goes.
  RoomSoundsClear();
  if (room.script > 0) {
    if (ScriptIsRunning(room.script)) {
      LogError("RoomLoad - Room script is processing when being replaced.");
    }
    ScriptClose(room.script);
    room.script = -1;
  }
  // Save games keep the room's name; restoring one loads it from there.
  StateVariableSetString(kStateGame, "Script Room File", name);
  const std::string file = "Bin\\Rooms\\" + name + "\\Scripts\\" + name + ".vmc";
  const int32_t script = ScriptLoad(file);
  if (script > 0) {
    room.script = script;
    return true;
  }
  LogError("RoomLoad - Unable to load script \"" + file + "\".");
  StateSet(kStateFatalError);
  return false;
}

void RoomPendingSet(const std::string& name) {
  room.pending = name;
}

void RoomLoadPending() {
  if (!room.pending.empty()) {
    RoomLoad(std::exchange(room.pending, std::string()));
  }
}

int32_t RoomScriptId() {
  return room.script;
}

void RoomScriptClose() {
  if (room.script > 0) {
    ScriptClose(room.script);
    room.script = -1;
  }
}

// --- The room's data --------------------------------------------------------------

void RoomSetDepthBuffer(const std::string& argument) {
  DepthMeshClose();
  if (argument.empty()) {
    return;
  }
  const std::string file = RoomFile(argument, "Depth Layers.mat");
  MatOpen(file, room.depthLayers);
  room.depthMesh = RoomBuildDepthMesh(room.depthLayers, file);
}

void RoomSetDepthMat(const std::string& argument) {
  SetMat(room.agentDepth, argument, "Depth Agent.mat");
}

void RoomSetFloorMat(const std::string& argument) {
  SetMat(room.floor, argument, "Walk Area.mat");
}

void RoomSetLightMat(const std::string& argument) {
  SetMat(room.light, argument, "Light Agent.mat");
}

void RoomSetSoundMat(const std::string& argument) {
  SetMat(room.sound, argument, "Sound.mat");
}

void RoomSetWalkPath(const std::string& argument) {
  if (argument.empty()) {
    room.tree = PathTree{};
  } else {
    PathTreeRead(RoomFile(argument, "Path Tree.pth"), room.tree);
  }
}

// The depth the designed mesh leaves (a quad per run, two pixels wider and
// one taller, later quads overwriting the overlap) as DepthRectsOf's
// rectangles in their order: the same depth buffer from far fewer quads.
Model* RoomBuildDepthMesh(const Mat& mat, const std::string& name) {
  if (!MatIsValid(mat)) {
    return nullptr;
  }
  Model* mesh = ModelNew(GamePrimaryDisplay(), kModelCompilable);
  if (mesh == nullptr) {
    return nullptr;
  }
  ModelSetName(mesh, name);
  int32_t vertex = 0;
  int32_t triangle = 0;
  for (const DepthRect& rect : DepthRectsOf(mat)) {
    const float z = -static_cast<float>(rect.depth);
    const auto left = static_cast<float>(rect.x0);
    const auto right = static_cast<float>(rect.x1);
    const auto top = static_cast<float>(rect.y0);
    const auto bottom = static_cast<float>(rect.y1);
    ModelVertexSet(mesh, vertex, left, top, z);
    ModelVertexSet(mesh, vertex + 1, left, bottom, z);
    ModelVertexSet(mesh, vertex + 2, right, top, z);
    ModelVertexSet(mesh, vertex + 3, right, bottom, z);
    ModelTriangle corners;
    corners.vertices = {vertex, vertex + 1, vertex + 3};
    ModelTriangleSet(mesh, triangle, corners);
    corners.vertices = {vertex, vertex + 3, vertex + 2};
    ModelTriangleSet(mesh, triangle + 1, corners);
    vertex += 4;
    triangle += 2;
  }
  ModelCompile(mesh);
  return mesh;
}

// The background's depth for the agents drawn after it: the mesh goes into
// the depth buffer only, and the depth test stays on for them.
void RoomRenderDepthBuffer() {
  if (room.depthMesh == nullptr) {
    return;
  }
  glEnable(GL_DEPTH_TEST);
  RoomRenderDepthOnly(room.depthMesh);
}

void RoomRenderDepthOnly(const Model* mesh) {
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_ALWAYS);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  ModelRender(mesh);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
}

void RoomSetScale(int32_t rowB, int32_t scaleB, int32_t rowA, int32_t scaleA) {
  room.scale = {rowA, scaleA, rowB, scaleB};
}

// Rows outside A..B extrapolate the line; the arithmetic is done in double
// so that no difference of rows or scales can overflow.
float RoomScaleForRow(int32_t row) {
  const ScaleLine& line = room.scale;
  const double scaleA = line.scaleA / 100.0;
  if (line.rowA == line.rowB) {
    return static_cast<float>(scaleA);
  }
  const double slope = (static_cast<double>(line.scaleB) - line.scaleA) / 100.0;
  const double rows = static_cast<double>(line.rowB) - line.rowA;
  return static_cast<float>((static_cast<double>(row) - line.rowA) * slope / rows + scaleA);
}

const Mat& RoomDepthLayerMat() {
  return room.depthLayers;
}

const Mat& RoomAgentDepthMat() {
  return room.agentDepth;
}

const Mat& RoomFloorMat() {
  return room.floor;
}

const Mat& RoomLightMat() {
  return room.light;
}

PathTree& RoomPathTree() {
  return room.tree;
}

bool RoomWalkRequest(PathWalker& walker, PathPoint target) {
  return PathWalkRequest(room.floor, room.tree, walker, target);
}

// The room script is not closed here: GameScriptsClose closes it with the
// others, or the script module's stop does.
void RoomReset() {
  ModelClose(room.depthMesh);
  RoomSoundsClear();
  room = RoomData{};
}

// --- Routines -----------------------------------------------------------------------

void GameRegisterRoomRoutines() {
  // The room changes at the start of the next frame: the calling thread
  // finishes its statement in the old room undisturbed.
  RegisterSetter("AppRoomLoad", RoomPendingSet);
  RegisterSetter("AppRoomSetDepthBuffer", RoomSetDepthBuffer);
  RegisterSetter("AppRoomSetDepthMat", RoomSetDepthMat);
  RegisterSetter("AppRoomSetFloorMat", RoomSetFloorMat);
  RegisterSetter("AppRoomSetLightMat", RoomSetLightMat);
  RegisterSetter("AppRoomSetSoundMat", RoomSetSoundMat);
  RegisterSetter("AppRoomSetWalkPath", RoomSetWalkPath);
  ScriptAppRoutineRegister("AppRoomSetScale", [](int32_t script, int32_t thread) {
    RoomSetScale(ScriptParamGetInt(script, thread, 1), ScriptParamGetInt(script, thread, 2),
                 ScriptParamGetInt(script, thread, 3), ScriptParamGetInt(script, thread, 4));
    AgentsApplyRoomScale();
    return 1;
  });
}

void GameRegisterRoomRenderProcedures() {
  ScriptAppRoutineRenderRegister("AppRenderDepthBuffer",
                                 [](int32_t, const std::string&) { RoomRenderDepthBuffer(); });
}
