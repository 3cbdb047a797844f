#include "tests/fuzz/fuzz_environment.h"

#include <cstdio>
#include <cstdlib>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tools/common/model_writer.h"
#include "tools/vmcc/vmcc.h"

namespace {

// A quad of two triangles on two joints, and an animation of both joints:
// the fixed files a fuzzed project or animation is read with.
MwModel SeedModel() {
  MwModel model;
  model.vertices = {
      {0, {0, 0, 0}, 0, 1}, {0, {1, 0, 0}, 1, 1}, {0, {1, 1, 0}, 1, 1}, {0, {0, 1, 0}, 0, 1}};
  model.triangles.resize(2);
  model.triangles[0].vertices = {0, 1, 2};
  model.triangles[1].vertices = {0, 2, 3};
  MwGroup group;
  group.name = "Quad";
  group.triangles = {0, 1};
  model.groups = {group};
  MwJoint root;
  root.name = "Root";
  MwJoint arm;
  arm.name = "Arm";
  arm.parent = "Root";
  arm.position = {1, 0, 0};
  model.joints = {root, arm};
  return model;
}

MwAnimation SeedAnimation() {
  MwAnimation animation;
  animation.frameCount = 10;
  animation.joints = {{"Root", {{0, {0, 0, 0}}, {0.4f, {0, 0, 1}}}, {{0.2f, {0, 1, 0}}}},
                      {"Arm", {{0.1f, {1, 0, 0}}}, {}}};
  return animation;
}

// Writes the bytes a model writer made below the folder; a writer that
// refuses its own sample stops the program.
void WriteModelFile(const TempFolder& folder, const std::string& relative, bool made,
                    const std::string& bytes, const std::string& error) {
  if (!made) {
    std::fprintf(stderr, "Unable to write %s: %s\n", relative.c_str(), error.c_str());
    std::abort();
  }
  folder.write(relative, bytes);
}

// The framework's modules the loaders need, in their designed order.
void StartFramework() {
  DataFileStart();
  LogStart();
  UtilitiesStart();
  IniStart();
  AudioStartLoopback(kFuzzAudioRate);
  MatStart();
  ImageStart();
  ImageGifStart();
  ImageJpegStart();
  FontStart();
  ModelStart();
  ModelDisplayAdd(kFuzzDisplay);
  FontDisplayAdd(kFuzzDisplay);
  Ms3dStart();
  StateStart();
}

void StopFramework() {
  StateStop();
  Ms3dStop();
  ModelStop();
  FontStop();
  ImageJpegStop();
  ImageGifStop();
  ImageStop();
  MatStop();
  AudioShutdown();
  IniStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
}

// A new game sets a few variables and makes one character, as the bundled
// start script does.
constexpr const char* kGameStart = R"(
  routine AppAgentAdd;
  stateSetString(3, "Script Room File", "Nowhere");
  stateSetInt(3, "difficulty", 2);
  stateSetBool(3, "clue found", false);
  AppAgentAdd("Detective");
)";

// The game as the shell starts it, in windowed mode with the controls
// configured, over the settings and start script written here.
void StartGame(const TempFolder& folder) {
  folder.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
  VmccResult compiled;
  std::string error;
  if (!VmccCompile(kGameStart, "gameStart.vms", {}, compiled) ||
      !VmcWriterSave(compiled.script, folder.write("Bin/gameStart.vmc", ""), error)) {
    std::fprintf(stderr, "Unable to write the game's start script.\n");
    std::abort();
  }
  ModulesStart();
  // The main form moves into the program folder; the fuzzer writes its
  // findings relative to the folder it was started in.
  const std::string workingFolder = PlatformCurrentFolder();
  MainForm().MainFormCreate();
  PlatformSetCurrentFolder(workingFolder);
  if (!GameInitDisplay() || !GameInit()) {
    std::fprintf(stderr, "Unable to start the game.\n");
    std::abort();
  }
}

}  // namespace

FuzzEnvironment::FuzzEnvironment() : platform_(folder_.path(), {"-userdatainapp"}) {
  std::string bytes;
  std::string error;
  WriteModelFile(folder_, "Seed.ms3d", MwMs3dBytes(SeedModel(), bytes, error), bytes, error);
  WriteModelFile(folder_, "Walk.man", MwAnimationBytes(SeedAnimation(), bytes, error), bytes,
                 error);
  MwProject project;
  project.neutral = "Seed.ms3d";
  project.animations = {{"WALK", "fuzz.man"}};
  WriteModelFile(folder_, "fuzzman.mpj", MwProjectText(project, bytes, error), bytes, error);
}

FuzzEnvironment::~FuzzEnvironment() {
  Stop();
}

void FuzzEnvironment::Use(FuzzModules modules) {
  if (modules != started_) {
    Stop();
    Start(modules);
  }
}

void FuzzEnvironment::Start(FuzzModules modules) {
  switch (modules) {
    case FuzzModules::kNone:
      break;
    case FuzzModules::kFramework:
      StartFramework();
      break;
    case FuzzModules::kScripts:
      ModulesStart();
      GraphicsDisplayAdd(0, "Primary", 0);
      break;
    case FuzzModules::kGame:
      StartGame(folder_);
      break;
  }
  started_ = modules;
}

void FuzzEnvironment::Stop() {
  switch (started_) {
    case FuzzModules::kNone:
      break;
    case FuzzModules::kFramework:
      StopFramework();
      break;
    case FuzzModules::kScripts:
    case FuzzModules::kGame:
      ModulesStop();
      break;
  }
  started_ = FuzzModules::kNone;
}

std::vector<std::string> FuzzEnvironment::TakeErrors() const {
  std::vector<std::string> errors;
  if (!folder_.exists("results.log")) {
    return errors;
  }
  for (const std::string& line : SplitLines(folder_.read("results.log"))) {
    if (line.starts_with("Error: ")) {
      errors.push_back(line);
    }
  }
  PlatformDeleteFile(folder_.path() + "results.log");
  return errors;
}

FuzzEnvironment& FuzzEnv(FuzzModules modules) {
  static FuzzEnvironment environment;
  environment.Use(modules);
  return environment;
}

void FuzzCheck(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "Fuzz check failed: %s\n", what);
    std::abort();
  }
}

std::string FuzzBytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}
