// Project files (".mpj"): a text file naming the neutral MilkShape mesh and
// the "MAN" animation files, whose joint key frames are copied to the mesh's
// joints by name.
#include <algorithm>
#include <cstring>
#include <utility>

#include "framework/model/model.h"
#include "framework/ms3d/ms3d_internal.h"
#include "framework/utilities/utilities.h"

namespace {

constexpr char kProjectVersion[] = "1.0";
constexpr char kNeutralKey[] = "NEUTRAL";
constexpr char kAnimationMagic[] = "MAN";
constexpr uint8_t kAnimationVersion = 1;
constexpr size_t kAnimationHeadSize = 16;  // magic, version, frame rate, current time, frames
constexpr size_t kJointHeadSize = 36;      // name, rotation and position key counts
constexpr size_t kNameSize = 32;

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The text's lines, ended by a carriage return, a line feed or both, so that
// projects written on any system read alike.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

struct AnimationJoint {
  std::string name;
  Ms3dJointKeys keys;
};

// The joints of an animation file; false with the message on a damaged file.
bool ReadAnimationJoints(Ms3dCursor& in, std::vector<AnimationJoint>& joints,
                         std::string& failure) {
  while (!in.AtEnd()) {
    const size_t index = joints.size();
    const uint8_t* head = in.Take(kJointHeadSize);
    if (head == nullptr) {
      failure = Ms3dNumbered("Unable to read animation joint ", index, " data.");
      return false;
    }
    AnimationJoint& joint = joints.emplace_back();
    joint.name = Ms3dText(head, kNameSize);
    if (!Ms3dReadKeys(in, Ms3dU16(head + kNameSize), joint.keys.rotation) ||
        !Ms3dReadKeys(in, Ms3dU16(head + kNameSize + 2), joint.keys.position)) {
      failure = Ms3dNumbered("Unable to read animation joint ", index, " key frames.");
      return false;
    }
  }
  return true;
}

// Reads one "MAN" file and stores it under the key: per mesh joint the keys
// of the animation's first joint of the same name, or none.
bool ReadAnimationFile(const std::string& key, const std::string& fileName, Ms3dMesh& mesh) {
  Ms3dFileBytes bytes;
  if (!Ms3dLoadBytes(fileName, bytes)) {
    return false;
  }
  Ms3dCursor in(bytes);
  const uint8_t* head = in.Take(kAnimationHeadSize);
  std::string failure;
  std::vector<AnimationJoint> joints;
  if (head == nullptr) {
    failure = "Unable to read animation header.";
  } else if (std::memcmp(head, kAnimationMagic, 3) != 0 || head[3] != kAnimationVersion) {
    failure = "Invalid animation header.";
  } else {
    ReadAnimationJoints(in, joints, failure);
  }
  if (!failure.empty()) {
    Ms3dLogFailure(fileName, failure);
    return false;
  }
  const auto same = [&key](const Ms3dAnimation& animation) { return animation.name == key; };
  if (std::any_of(mesh.animations.begin(), mesh.animations.end(), same)) {
    return true;
  }
  Ms3dAnimation& animation = mesh.animations.emplace_back();
  animation.name = key;
  animation.frameRate = Ms3dFinite(Ms3dF32(head + 4));
  animation.currentTime = Ms3dFinite(Ms3dF32(head + 8));
  std::memcpy(&animation.frameCount, head + 12, 4);
  animation.joints.resize(mesh.joints.size());
  for (size_t i = 0; i < mesh.joints.size(); ++i) {
    const auto match = std::find_if(joints.begin(), joints.end(), [&](const AnimationJoint& joint) {
      return joint.name == mesh.joints[i].name;
    });
    if (match != joints.end()) {
      animation.joints[i] = match->keys;
    }
  }
  return true;
}

// Reads a second neutral mesh in place of the first, releasing the first's textures.
bool ReadNeutral(int32_t display, const std::string& fileName, Ms3dMesh& mesh) {
  Ms3dMesh neutral;
  const bool read = Ms3dReadMilkShape(display, fileName, neutral);
  for (Ms3dMaterial& material : mesh.materials) {
    ModelTextureRelease(material.image);
    ModelTextureRelease(material.pickImage);
  }
  mesh = std::move(neutral);
  return read;
}

}  // namespace

bool Ms3dReadProject(int32_t display, const std::string& fileName, Ms3dMesh& mesh) {
  Ms3dFileBytes bytes;
  if (!Ms3dLoadBytes(fileName, bytes)) {
    return false;
  }
  const std::vector<std::string> lines =
      Lines(std::string(reinterpret_cast<const char*>(bytes.data.get()), bytes.size));
  bool read = !lines.empty() && Trim(lines[0]) == kProjectVersion;
  if (!read) {
    Ms3dLogFailure(fileName, "Unsupported project version.");
  }
  const std::string folder = Ms3dFolder(fileName);
  bool neutral = false;
  std::vector<std::pair<std::string, std::string>> animations;  // key, file, in order
  for (size_t number = 1; read && number < lines.size(); ++number) {
    const std::string line = Trim(lines[number]);
    const size_t equals = line.find('=');
    if (line.empty()) {
      continue;
    }
    if (equals == std::string::npos) {
      Ms3dLogFailure(fileName, Ms3dNumbered("Line ", number, " has no \"=\"."));
      read = false;
      break;
    }
    const std::string key = UtilitiesUpperCase(Trim(line.substr(0, equals)));
    const std::string path = folder + Trim(line.substr(equals + 1));
    const auto same = [&key](const auto& animation) { return animation.first == key; };
    if (key == kNeutralKey) {
      neutral = true;
      read = ReadNeutral(display, path, mesh);
    } else if (std::none_of(animations.begin(), animations.end(), same)) {
      animations.emplace_back(key, path);
    }
  }
  if (read && !neutral) {
    Ms3dLogFailure(fileName, "The project names no neutral mesh.");
    read = false;
  }
  for (size_t i = 0; read && i < animations.size(); ++i) {
    read = ReadAnimationFile(animations[i].first, animations[i].second, mesh);
  }
  return read;
}
