// Agents: one frame of 50 agents walking in a 1280 x 720 room with floor,
// depth and light mats and a scale line: AgentsUpdate, AgentsSendDepthOrder
// (the room script hears each order event at once) and AgentRender of each
// agent. The OpenGL calls go through the counting layer (gl_count.h),
// stubbed while timing, so the figure is our code's CPU time alone (this
// thread's CPU clock). The peer draws the same 50 frame models by bare
// ModelRender, also stubbed. Before each timed frame one forwarded game
// frame runs, so the caches hold the driver's work as in the game.
//
// Prints "agents-50: ours X us, models Y us, ratio R" (medians per frame)
// and "agents-50 allocations per frame: N" (operator new calls in the timed
// part of a frame, the most of any steady frame: once every agent has opened
// every frame of its walking set).
#include <GL/gl.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/allocation_count.h"
#include "bench/bench_timing.h"
#include "bench/gl_count.h"
#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tools/vmc/vmcwriter.h"
#include "tools/vmcc/vmcc.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kAgents = 50;
constexpr int32_t kFrames = 2000;
constexpr uint32_t kFloor = 0x00FF00;
constexpr uint32_t kWall = 0xFF0000;

std::string folder;

// --- Content --------------------------------------------------------------------------

void WriteFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path path = folder + name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A room-sized mat of two entries, the second where `second` holds.
template <typename Second>
void WriteMat(const std::string& name, uint32_t first, uint32_t secondColour, Second second) {
  Mat mat;
  mat.entries = {{"a", first}, {"b", secondColour}};
  mat.width = kWidth;
  mat.height = kHeight;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      mat.data.push_back(second(x, y) ? 1 : 0);
    }
  }
  const std::filesystem::path path = folder + "Bin/Rooms/R/Background/" + name;
  std::filesystem::create_directories(path.parent_path());
  const int32_t file = DataFileDirectCreate(path.string());
  MatDirectSave(file, mat);
  DataFileDirectClose(file);
}

// The room's four mats, written by the mat module (started with the others).
void WriteMats() {
  // The floor everywhere but a wall in the top rows; the depth layers a
  // band of nearer background; the light red in the left half.
  WriteMat("Walk Area.mat", kFloor, kWall, [](int32_t, int32_t y) { return y < 100; });
  WriteMat("Depth Layers.mat", 0x0000FF, 0x000080,
           [](int32_t x, int32_t) { return x >= 600 && x < 680; });
  WriteMat("Depth Agent.mat", 0x0000F0, 0x000040, [](int32_t, int32_t y) { return y >= 400; });
  WriteMat("Light Agent.mat", 0xFFFFFF, 0xFF8080, [](int32_t x, int32_t) { return x < 640; });
}

bool WriteScript(const std::string& name, const std::string& source) {
  VmccResult result;
  std::string error;
  WriteFile(name, "");
  if (!VmccCompile(source, "bench.vms", {}, result) ||
      !VmcWriterSave(result.script, folder + name, error)) {
    std::fprintf(stderr, "agents-50: %s does not compile %s\n", name.c_str(), error.c_str());
    return false;
  }
  return true;
}

bool WriteImage(const std::string& name, int32_t width, int32_t height, uint32_t colour) {
  ImageFrame image;
  image.loaded = 1;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = 32;
  image.pixels.assign(static_cast<size_t>(width * height), 0xFF000000u | colour);
  WriteFile(name, "");
  return ImageSave(folder + name, &image);
}

// A sheet of `count` frames of the 24 x 40 body, each striding (dx, dy).
std::string Sheet(int32_t count, int32_t dx, int32_t dy) {
  std::string text = "1.0\r\n" + std::to_string(count) + "\r\n";
  for (int32_t i = 0; i < count; ++i) {
    text += "body.tga\r\n4\r\nsprite=12,40\r\nprev=0,0\r\nnext=" + std::to_string(dx) + "," +
            std::to_string(dy) + "\r\nhead=12,4\r\n";
  }
  return text;
}

bool WriteContent() {
  const char* menu = "object Display Screen { display = 1; width = 1280; height = 720; }";
  WriteFile("settings.ini",
            "[Video]\nWidth=1280\nHeight=720\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
  const std::string agents = "Bin/Agents/";
  WriteFile(agents + "stand.txt", Sheet(1, 0, 0));
  WriteFile(agents + "right.txt", Sheet(8, 6, 0));
  WriteFile(agents + "left.txt", Sheet(8, -6, 0));
  WriteFile(agents + "up.txt", Sheet(8, 0, -4));
  WriteFile(agents + "down.txt", Sheet(8, 0, 4));
  return WriteScript("Bin/Interface/Main/Scripts/background.vmc", menu) &&
         WriteScript("Bin/Interface/Main/Scripts/mainmenu.vmc", menu) &&
         WriteScript("Bin/Rooms/R/Scripts/R.vmc",
                     std::string(menu) + "\non event(code, name) { }\n") &&
         WriteImage(agents + "body.tga", 24, 40, 0xC0C0C0);
}

// --- The game -------------------------------------------------------------------------

bool StartGame() {
  if (!PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "agents-50: no display: %s\n", PlatformLastErrorText().c_str());
    return false;
  }
  PlatformSetProgramPath(folder + "game");
  PlatformSetParameters({"-userdatainapp", "-novsync"});
  ModulesStart();
  WriteMats();
  MainForm().MainFormCreate();
  if (!GameInitDisplay() || !GameInit()) {
    return false;
  }
  StateVariableSetString(kStateGame, "Script Room File", "R");
  StateSet(kStateRoomLoad);
  if (!GameFrame() || StateGetCurrent() != kStateGame) {
    std::fprintf(stderr, "agents-50: the room did not load (see results.log)\n");
    return false;
  }
  RoomSetDepthBuffer("R");
  RoomSetDepthMat("R");
  RoomSetFloorMat("R");
  RoomSetLightMat("R");
  RoomPathTree().floorColor = static_cast<int32_t>(kFloor);
  RoomPathTree().blockColor = static_cast<int32_t>(kWall);
  RoomSetScale(700, 120, 120, 60);
  return true;
}

// Agent n stands in row n / 10, column n % 10, and walks along its row.
int32_t AgentX(int32_t n) {
  return 80 + n % 10 * 110;
}
int32_t AgentY(int32_t n) {
  return 160 + n / 10 * 110;
}

void AddAgents() {
  const std::string sheets = "Bin\\Agents\\";
  for (int32_t n = 0; n < kAgents; ++n) {
    const int32_t id = AgentAdd("Walker" + std::to_string(n));
    for (int32_t slot = 0; slot < 4; ++slot) {
      AgentSetAnimation(id, slot, sheets + "stand.txt");
    }
    AgentSetAnimation(id, kAgentWalkRight, sheets + "right.txt");
    AgentSetAnimation(id, kAgentWalkUp, sheets + "up.txt");
    AgentSetAnimation(id, kAgentWalkDown, sheets + "down.txt");
    AgentSetAnimation(id, kAgentWalkLeft, sheets + "left.txt");
    AgentMove(id, AgentX(n), AgentY(n));
  }
  AgentsApplyRoomScale();
}

// Agents without a walk set off for the far side of the room (outside the
// timed part: a new walk is a script's request, not a frame's work).
int32_t SendWalks() {
  int32_t sent = 0;
  for (int32_t id = 0; id < AgentCount(); ++id) {
    const Agent* agent = AgentGet(id);
    if (agent->walkAction.id == 0) {
      const int32_t x = agent->x < kWidth / 2 ? kWidth - 60 : 60;
      AgentWalkTo(RoomScriptId(), 0, id, "", x, agent->y + (id % 3 - 1) * 40);
      ++sent;
    }
  }
  return sent;
}

// --- Timing ---------------------------------------------------------------------------

// Allocations and CPU seconds of the last frame by part: update, depth
// order, render.
uint64_t partAllocations[3] = {};
double partSeconds[3] = {};

void OursFrame() {
  const uint64_t start = AllocationCount();
  const double startTime = ThreadCpuSeconds();
  AgentsUpdate();
  const uint64_t updated = AllocationCount();
  const double updatedTime = ThreadCpuSeconds();
  AgentsSendDepthOrder();
  const uint64_t ordered = AllocationCount();
  const double orderedTime = ThreadCpuSeconds();
  for (int32_t id = 0; id < AgentCount(); ++id) {
    AgentRender(id);
  }
  partSeconds[0] = updatedTime - startTime;
  partSeconds[1] = orderedTime - updatedTime;
  partSeconds[2] = ThreadCpuSeconds() - orderedTime;
  partAllocations[0] = updated - start;
  partAllocations[1] = ordered - updated;
  partAllocations[2] = AllocationCount() - ordered;
}

// The peer: the frame model each agent shows, drawn by bare ModelRender.
std::vector<const Model*> ShownModels() {
  std::vector<const Model*> models;
  for (int32_t id = 0; id < AgentCount(); ++id) {
    const Agent* agent = AgentGet(id);
    const Animation& body = agent->animations[static_cast<size_t>(agent->bodySlot)];
    models.push_back(body.frames[static_cast<size_t>(agent->bodyFrame)].image);
  }
  return models;
}

void PeerFrame(const std::vector<const Model*>& models) {
  for (const Model* model : models) {
    ModelRender(model);
  }
}

struct Results {
  std::vector<double> ours;
  std::vector<double> peer;
  uint64_t maxAllocations = 0;
  uint64_t maxParts[3] = {};
  std::vector<double> parts[3];
  uint64_t strides = 0;
  uint64_t walksSent = 0;
};

// Every agent has opened every frame of the set it shows (after a first
// frame, in which the walking agents take their walking sets): from then on a
// frame opens no image, and its allocations are the steady ones.
bool AllFramesOpen() {
  for (int32_t id = 0; id < AgentCount(); ++id) {
    const Agent* agent = AgentGet(id);
    for (const AnimationFrame& frame :
         agent->animations[static_cast<size_t>(agent->bodySlot)].frames) {
      if (frame.image == nullptr) {
        return false;
      }
    }
  }
  return true;
}

// One game frame (forwarded: the window shows the room), then our frame and
// the peer's, both stubbed.
bool MeasuredFrame(Results& results, bool record) {
  results.walksSent += static_cast<uint64_t>(SendWalks());
  if (!GameFrame()) {
    return false;
  }
  std::vector<int32_t> before;
  for (int32_t id = 0; id < AgentCount(); ++id) {
    before.push_back(AgentGet(id)->x);
  }
  GlCountSetForward(false);
  const uint64_t allocated = AllocationCount();
  const double start = ThreadCpuSeconds();
  OursFrame();
  const double end = ThreadCpuSeconds();
  const uint64_t frameAllocations = AllocationCount() - allocated;
  const std::vector<const Model*> models = ShownModels();
  const double peerStart = ThreadCpuSeconds();
  PeerFrame(models);
  const double peerEnd = ThreadCpuSeconds();
  GlCountSetForward(true);
  if (!record) {
    return true;
  }
  for (int32_t id = 0; id < AgentCount(); ++id) {
    results.strides += AgentGet(id)->x != before[static_cast<size_t>(id)] ? 1 : 0;
  }
  results.ours.push_back(end - start);
  results.peer.push_back(peerEnd - peerStart);
  results.maxAllocations = std::max(results.maxAllocations, frameAllocations);
  for (int part = 0; part < 3; ++part) {
    results.maxParts[part] = std::max(results.maxParts[part], partAllocations[part]);
    results.parts[part].push_back(partSeconds[part]);
  }
  return true;
}

Results Measure() {
  Results results;
  for (int32_t frame = 0; frame < 100000 && (frame == 0 || !AllFramesOpen()); ++frame) {
    if (!MeasuredFrame(results, false)) {
      return results;
    }
  }
  for (int32_t frame = 0; frame < kFrames && MeasuredFrame(results, true); ++frame) {
  }
  return results;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  folder = std::string(pattern) + "/";
  if (!WriteContent() || !StartGame()) {
    std::fprintf(stderr, "agents-50: the files are kept in %s\n", folder.c_str());
    return 1;
  }
  AddAgents();
  const Results results = Measure();
  const double ours = Median(results.ours) * 1e6;
  const double peer = Median(results.peer) * 1e6;
  std::printf("agents-50: ours %.1f us, models %.1f us, ratio %.2f\n", ours, peer,
              peer > 0.0 ? ours / peer : 0.0);
  std::printf("agents-50 allocations per frame: %llu\n",
              static_cast<unsigned long long>(results.maxAllocations));
  std::printf(
      "agents-50: %zu timed frames; agents moved in %llu agent-frames; %llu walks sent; "
      "%llu stubbed queries answered by the driver\n",
      results.ours.size(), static_cast<unsigned long long>(results.strides),
      static_cast<unsigned long long>(results.walksSent),
      static_cast<unsigned long long>(GlCountStubQueries()));
  std::printf(
      "agents-50: by part (medians, timed apart): update %.1f us, depth order %.1f us, "
      "render %.1f us\n",
      Median(results.parts[0]) * 1e6, Median(results.parts[1]) * 1e6,
      Median(results.parts[2]) * 1e6);
  std::printf("agents-50: allocations at most: update %llu, depth order %llu, render %llu\n",
              static_cast<unsigned long long>(results.maxParts[0]),
              static_cast<unsigned long long>(results.maxParts[1]),
              static_cast<unsigned long long>(results.maxParts[2]));
  ModulesStop();
  PlatformStop();
  std::filesystem::remove_all(folder);
  return 0;
}
