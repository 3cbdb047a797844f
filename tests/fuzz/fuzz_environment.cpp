#include "tests/fuzz/fuzz_environment.h"

#include <cstdio>
#include <cstdlib>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/image/image.h"
#include "framework/ini/ini.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "tools/common/model_writer.h"

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

FuzzEnvironment::~FuzzEnvironment() {
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

FuzzEnvironment& FuzzEnv() {
  static FuzzEnvironment environment;
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
