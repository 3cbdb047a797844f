#include "tools/modelconv/modelfiles.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "framework/utilities/utilities.h"
#include "tools/common/tool.h"
#include "tools/modelconv/objconv.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kNameField = 32;
constexpr size_t kFileField = 128;
constexpr size_t kKeyBytes = 16;
constexpr size_t kMaxPieceName = 32;

// Reads little-endian fields; the first fault is kept with its offset and
// every later read fails.
class Cursor {
 public:
  Cursor(const std::string& name, const std::string& bytes) : name_(name), bytes_(bytes) {}

  bool Ok() const { return error_.empty(); }
  bool AtEnd() const { return at_ >= bytes_.size(); }
  size_t Remaining() const { return at_ < bytes_.size() ? bytes_.size() - at_ : 0; }
  size_t At() const { return at_; }
  const std::string& Error() const { return error_; }

  bool Fail(const std::string& message) { return FailAt(at_, message); }
  bool FailAt(size_t offset, const std::string& message) {
    if (error_.empty()) {
      error_ = name_ + ": offset " + std::to_string(offset) + ": " + message;
    }
    return false;
  }
  void Seek(size_t offset) {
    if (offset > bytes_.size()) {
      Fail("the file ends at " + std::to_string(bytes_.size()));
    }
    at_ = offset;
  }
  // Takes n bytes; empty (and failed) when fewer remain.
  std::string Take(size_t count, const char* what) {
    if (!Ok()) {
      return {};
    }
    if (count > Remaining()) {
      Fail(std::string(what) + ": the file ends");
      return {};
    }
    at_ += count;
    return bytes_.substr(at_ - count, count);
  }
  void Skip(size_t count, const char* what) { Take(count, what); }
  uint32_t Uint(size_t size, const char* what) {
    last_ = at_;
    const std::string bytes = Take(size, what);
    uint32_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;) {
      value = value << 8 | static_cast<uint8_t>(bytes[i]);
    }
    return value;
  }
  uint8_t U8(const char* what) { return static_cast<uint8_t>(Uint(1, what)); }
  uint16_t U16(const char* what) { return static_cast<uint16_t>(Uint(2, what)); }
  uint32_t U32(const char* what) { return Uint(4, what); }
  float F32(const char* what) {
    const uint32_t bits = U32(what);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  template <size_t N>
  std::array<float, N> Floats(const char* what) {
    std::array<float, N> values{};
    for (float& value : values) {
      value = F32(what);
    }
    return values;
  }
  // A zero-padded field, up to its first zero byte.
  std::string Field(size_t size, const char* what) {
    const std::string field = Take(size, what);
    return field.substr(0, field.find('\0'));
  }
  // A count of records of at least `each` bytes that must fit in the file.
  size_t Count(size_t value, size_t each, const char* what) {
    if (Ok() && value * each > Remaining()) {
      FailAt(last_, std::to_string(value) + " " + what + " do not fit in the " +
                        std::to_string(Remaining()) + " bytes left");
      return 0;
    }
    return Ok() ? value : 0;
  }

 private:
  const std::string& name_;
  const std::string& bytes_;
  size_t at_ = 0;
  size_t last_ = 0;  // where the last number was read
  std::string error_;
};

// --- MilkShape -------------------------------------------------------------------------------

void ReadKeyList(Cursor& in, uint16_t count, std::vector<MwKey>& keys) {
  keys.resize(in.Count(count, kKeyBytes, "key frames"));
  for (MwKey& key : keys) {
    key.time = in.F32("key time");
    key.value = in.Floats<3>("key value");
  }
}

void ReadKeys(Cursor& in, std::vector<MwKey>& rotations, std::vector<MwKey>& positions) {
  const uint16_t rotationCount = in.U16("rotation key count");
  const uint16_t positionCount = in.U16("position key count");
  ReadKeyList(in, rotationCount, rotations);
  ReadKeyList(in, positionCount, positions);
}

void ReadMesh(Cursor& in, MwModel& model) {
  model.vertices.resize(in.Count(in.U16("vertex count"), 15, "vertices"));
  for (MwVertex& v : model.vertices) {
    v.flags = in.U8("vertex");
    v.position = in.Floats<3>("vertex");
    v.joint = in.U8("vertex");
    v.references = in.U8("vertex");
  }
  model.triangles.resize(in.Count(in.U16("triangle count"), 70, "triangles"));
  for (MwTriangle& t : model.triangles) {
    t.flags = in.U16("triangle");
    for (uint16_t& vertex : t.vertices) {
      vertex = in.U16("triangle");
    }
    for (auto& normal : t.normals) {
      normal = in.Floats<3>("triangle");
    }
    t.s = in.Floats<3>("triangle");
    t.t = in.Floats<3>("triangle");
    t.smoothingGroup = in.U8("triangle");
    t.group = in.U8("triangle");
  }
  model.groups.resize(in.Count(in.U16("group count"), 36, "groups"));
  for (MwGroup& g : model.groups) {
    g.flags = in.U8("group");
    g.name = in.Field(kNameField, "group");
    g.triangles.resize(in.Count(in.U16("group triangle count"), 2, "group triangles"));
    for (uint16_t& triangle : g.triangles) {
      triangle = in.U16("group triangles");
    }
    g.material = in.U8("group");
  }
}

void ReadMaterials(Cursor& in, MwModel& model) {
  model.materials.resize(in.Count(in.U16("material count"), 361, "materials"));
  for (MwMaterial& m : model.materials) {
    m.name = in.Field(kNameField, "material");
    m.ambient = in.Floats<4>("material");
    m.diffuse = in.Floats<4>("material");
    m.specular = in.Floats<4>("material");
    m.emissive = in.Floats<4>("material");
    m.shininess = in.F32("material");
    m.transparency = in.F32("material");
    m.mode = in.U8("material");
    m.texture = in.Field(kFileField, "material");
    m.alphaMap = in.Field(kFileField, "material");
  }
  model.frameRate = in.F32("animation");
  model.currentTime = in.F32("animation");
  model.frameCount = static_cast<int32_t>(in.U32("animation"));
}

void ReadJoints(Cursor& in, MwModel& model) {
  model.joints.resize(in.Count(in.U16("joint count"), 93, "joints"));
  for (MwJoint& j : model.joints) {
    j.flags = in.U8("joint");
    j.name = in.Field(kNameField, "joint");
    j.parent = in.Field(kNameField, "joint");
    j.rotation = in.Floats<3>("joint");
    j.position = in.Floats<3>("joint");
    ReadKeys(in, j.rotationKeys, j.positionKeys);
  }
}

// A sub-version that must lie within [low, high].
bool SubVersion(Cursor& in, const char* section, uint32_t low, uint32_t high, uint32_t& value) {
  const size_t at = in.At();
  value = in.U32(section);
  if (in.Ok() && (value < low || value > high)) {
    return in.FailAt(at, std::string(section) + " sub-version " + std::to_string(value) +
                             (low == high ? " is not 1" : " is not 0 to 3"));
  }
  return in.Ok();
}

void ReadComments(Cursor& in, MwModel& model) {
  uint32_t version = 0;
  if (in.AtEnd() || !SubVersion(in, "comments", 1, 1, version)) {
    return;
  }
  MwComments& comments = model.comments.emplace();
  for (auto* list : {&comments.groups, &comments.materials, &comments.joints, &comments.model}) {
    const uint32_t count = in.U32("comment count");
    list->resize(in.Count(count, 8, "comments"));
    for (MwComment& comment : *list) {
      comment.index = static_cast<int32_t>(in.U32("comment"));
      const uint32_t length = in.U32("comment");
      comment.text = in.Take(length, "comment text");
    }
  }
}

void ReadExtras(Cursor& in, MwModel& model) {
  uint32_t version = 0;
  if (in.AtEnd() || !SubVersion(in, "vertex extras", 0, 3, version)) {
    return;
  }
  const size_t each = version == 0 ? 0 : 2 + 4 * version;
  model.vertexExtras.emplace().subVersion = version;
  model.vertexExtras->items.resize(
      version == 0 ? 0 : in.Count(model.vertices.size(), each, "vertex extras"));
  for (MwVertexExtra& extra : model.vertexExtras->items) {
    for (int8_t& joint : extra.joints) {
      joint = static_cast<int8_t>(in.U8("vertex extra"));
    }
    for (uint8_t& weight : extra.weights) {
      weight = in.U8("vertex extra");
    }
    extra.extra = version >= 2 ? in.U32("vertex extra") : 0;
    extra.extra2 = version >= 3 ? in.U32("vertex extra") : 0;
  }
  if (in.AtEnd() || !SubVersion(in, "joint extras", 1, 1, version)) {
    return;
  }
  auto& colors = model.jointColors.emplace();
  colors.resize(in.Count(model.joints.size(), 12, "joint extras"));
  for (auto& color : colors) {
    color = in.Floats<3>("joint extra");
  }
  if (in.AtEnd() || !SubVersion(in, "model extras", 1, 1, version)) {
    return;
  }
  MwModelExtras& extras = model.modelExtras.emplace();
  extras.jointSize = in.F32("model extras");
  extras.transparencyMode = static_cast<int32_t>(in.U32("model extras"));
  extras.alphaRef = in.F32("model extras");
}

// --- Pieces and animations -------------------------------------------------------------------

void ReadPiece(Cursor& in, MwPiece& piece) {
  const uint16_t nameLength = in.U16("piece name length");
  piece.name = in.Take(nameLength, "piece name").substr(0, kMaxPieceName);
  const size_t p = in.At();
  in.Seek(p + 49);
  const uint16_t vertexCount = in.U16("vertex count");
  in.Seek(p + 53);
  const uint16_t triangleCount = in.U16("triangle count");
  in.Seek(p + 57);
  const uint16_t marker = in.U16("piece type");
  in.Seek(p + 61);
  const uint16_t type = in.U16("piece type");
  piece.type = marker == 3 ? 5 : type;
  if (in.Ok() && (piece.type < 1 || piece.type > 5)) {
    in.FailAt(p + 61, "piece type " + std::to_string(piece.type) + " is not 1 to 5");
    return;
  }
  in.Seek(p + 83);
  const std::string shift = in.Take(4, "vertex data");
  const bool shifted = in.Ok() && shift[0] == 0 && shift[1] == 0 && shift[2] != 0 && shift[3] != 0;
  in.Seek(shifted ? p + 85 : p + 83);
  const size_t skipped[] = {0, 0, 4, 0, 0, 8};
  const size_t dropped = piece.type == 3 || piece.type == 4 ? 12 : 0;
  piece.vertices.resize(
      in.Count(vertexCount, 32 + skipped[piece.type] + dropped, "piece vertices"));
  for (MwPieceVertex& vertex : piece.vertices) {
    vertex.position = in.Floats<3>("piece vertex");
    in.Skip(dropped, "piece vertex");
    vertex.normal = in.Floats<3>("piece vertex");
    in.Skip(skipped[piece.type], "piece vertex");
    vertex.st = in.Floats<2>("piece vertex");
  }
  piece.triangles.resize(in.Count(triangleCount, 6, "piece triangles"));
  for (auto& triangle : piece.triangles) {
    for (uint16_t& index : triangle) {
      index = in.U16("piece triangle");
    }
  }
  if (piece.type == 1) {
    in.Skip(2, "piece end");
    return;
  }
  const uint32_t records = in.U32("piece records");
  in.Skip(in.Count(records, 12, "piece records") * 12, "piece records");
  in.Skip(in.U8("piece end"), "piece end");
}

bool ReadAnimation(const std::string& name, const std::string& bytes, MwAnimation& animation,
                   std::string& error) {
  Cursor in(name, bytes);
  if (in.Take(3, "magic") != "MAN" && in.Ok()) {
    in.FailAt(0, "not an animation file (no \"MAN\")");
  }
  const uint8_t version = in.U8("version");
  if (in.Ok() && version != 1) {
    in.FailAt(3, "animation version " + std::to_string(version) + " is not 1");
  }
  animation.frameRate = in.F32("animation");
  animation.currentTime = in.F32("animation");
  animation.frameCount = static_cast<int32_t>(in.U32("animation"));
  while (in.Ok() && !in.AtEnd()) {
    MwAnimationJoint& joint = animation.joints.emplace_back();
    joint.name = in.Field(kNameField, "animation joint");
    ReadKeys(in, joint.rotationKeys, joint.positionKeys);
  }
  error = in.Error();
  return in.Ok();
}

// --- Listings --------------------------------------------------------------------------------

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Plural(size_t count, const std::string& one, const std::string& many = {}) {
  return std::to_string(count) + " " + (count == 1 ? one : many.empty() ? one + "s" : many);
}

// Indices that name nothing, which the game refuses or ignores.
std::string Faults(const MwModel& model) {
  std::string faults;
  for (size_t i = 0; i < model.triangles.size(); ++i) {
    for (const uint16_t v : model.triangles[i].vertices) {
      if (v >= model.vertices.size()) {
        faults +=
            "  fault: triangle " + std::to_string(i) + " names vertex " + std::to_string(v) + "\n";
        break;
      }
    }
  }
  for (size_t g = 0; g < model.groups.size(); ++g) {
    for (const uint16_t t : model.groups[g].triangles) {
      if (t >= model.triangles.size()) {
        faults +=
            "  fault: group " + std::to_string(g) + " names triangle " + std::to_string(t) + "\n";
        break;
      }
    }
  }
  return faults;
}

std::string GroupLines(const MwModel& model) {
  std::string text = Plural(model.groups.size(), "group") + "\n";
  for (size_t g = 0; g < model.groups.size(); ++g) {
    const MwGroup& group = model.groups[g];
    text += "  " + std::to_string(g) + " " + Quoted(group.name) + ": " +
            Plural(group.triangles.size(), "triangle") + ", ";
    text += group.material < model.materials.size()
                ? "material " + std::to_string(group.material) + " " +
                      Quoted(model.materials[group.material].name)
                : std::string(group.material == kMwNone
                                  ? "no material"
                                  : "material " + std::to_string(group.material) + " (none such)");
    text += "\n";
  }
  return text;
}

std::string MaterialLines(const MwModel& model) {
  std::string text = Plural(model.materials.size(), "material") + "\n";
  for (size_t m = 0; m < model.materials.size(); ++m) {
    const MwMaterial& material = model.materials[m];
    text += "  " + std::to_string(m) + " " + Quoted(material.name) + ": texture " +
            Quoted(material.texture) + ", second texture " + Quoted(material.alphaMap) + "\n";
  }
  return text;
}

std::string JointLines(const MwModel& model) {
  std::string text = Plural(model.joints.size(), "joint") + "\n";
  for (size_t j = 0; j < model.joints.size(); ++j) {
    const MwJoint& joint = model.joints[j];
    text += "  " + std::to_string(j) + " " + Quoted(joint.name) +
            (joint.parent.empty() ? std::string(", root") : ", parent " + Quoted(joint.parent)) +
            ": " + Plural(joint.rotationKeys.size(), "rotation key") + ", " +
            Plural(joint.positionKeys.size(), "position key") + "\n";
  }
  return text;
}

std::string SectionLine(const MwModel& model) {
  std::string text = "optional sections:";
  if (model.comments) {
    const MwComments& c = *model.comments;
    text +=
        " comments (" +
        std::to_string(c.groups.size() + c.materials.size() + c.joints.size() + c.model.size()) +
        ")";
  }
  if (model.vertexExtras) {
    text += " vertex extras (sub-version " + std::to_string(model.vertexExtras->subVersion) + ")";
  }
  text += model.jointColors ? " joint colours" : "";
  text += model.modelExtras ? " model extras" : "";
  return text + (model.comments ? "\n" : " none\n");
}

std::string Ms3dListing(const std::string& path, const MwModel& model) {
  const size_t jointed = static_cast<size_t>(
      std::count_if(model.vertices.begin(), model.vertices.end(),
                    [&](const MwVertex& v) { return v.joint < model.joints.size(); }));
  return path + ": MilkShape 3D, version 4\n" +
         Plural(model.vertices.size(), "vertex", "vertices") + " (" + std::to_string(jointed) +
         " on joints), " + Plural(model.triangles.size(), "triangle") + "\n" + Faults(model) +
         GroupLines(model) + MaterialLines(model) + "animation: " + ObjFloatText(model.frameRate) +
         " frames a second, " +
         Plural(static_cast<size_t>(std::max(model.frameCount, 0)), "frame") + "\n" +
         JointLines(model) + SectionLine(model);
}

std::string PieceListing(const std::string& path, const MwPieceFile& file) {
  std::string text = path + ": piece file, " + Plural(file.pieces.size(), "piece") + "\n";
  for (size_t p = 0; p < file.pieces.size(); ++p) {
    const MwPiece& piece = file.pieces[p];
    const size_t bad = static_cast<size_t>(
        std::count_if(piece.triangles.begin(), piece.triangles.end(), [&](const auto& t) {
          return std::any_of(t.begin(), t.end(),
                             [&](uint16_t i) { return i >= piece.vertices.size(); });
        }));
    text += "  " + std::to_string(p) + " " + Quoted(piece.name) + ": layout " +
            std::to_string(piece.type) + ", " +
            Plural(piece.vertices.size(), "vertex", "vertices") + ", " +
            Plural(piece.triangles.size(), "triangle") + "\n";
    if (bad != 0) {
      text += "  fault: " + Plural(bad, "triangle") + " name vertices outside the piece\n";
    }
  }
  return text;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string& error) {
  if (!ToolReadFile(path, bytes)) {
    error = path + ": cannot read the file";
    return false;
  }
  return true;
}

// --- Projects --------------------------------------------------------------------------------

std::string Trim(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  return start == std::string::npos
             ? std::string()
             : text.substr(start, text.find_last_not_of(" \t\r\n") + 1 - start);
}

// A file named by a project: relative to its folder, with either slash.
std::string ProjectPath(const std::string& project, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return (fs::path(project).parent_path() / name).string();
}

std::string MatchLines(const MwModel& mesh, const MwAnimation& animation) {
  std::vector<std::string> matched;
  std::vector<std::string> unmatched;
  for (const MwAnimationJoint& joint : animation.joints) {
    const bool found = std::any_of(mesh.joints.begin(), mesh.joints.end(),
                                   [&](const MwJoint& j) { return j.name == joint.name; });
    (found ? matched : unmatched).push_back(Quoted(joint.name));
  }
  std::vector<std::string> keyless;
  for (const MwJoint& joint : mesh.joints) {
    if (std::none_of(animation.joints.begin(), animation.joints.end(),
                     [&](const MwAnimationJoint& j) { return j.name == joint.name; })) {
      keyless.push_back(Quoted(joint.name));
    }
  }
  const auto list = [](const char* what, const std::vector<std::string>& names) {
    std::string text = std::string("    ") + what + " (" + std::to_string(names.size()) + "):";
    for (const std::string& name : names) {
      text += " " + name;
    }
    return text + "\n";
  };
  return list("joints matched", matched) + list("joints the mesh lacks", unmatched) +
         list("mesh joints without keys", keyless);
}

bool ProjectListing(const std::string& path, std::string& listing, std::string& error) {
  std::string text;
  if (!ReadFileBytes(path, text, error)) {
    return false;
  }
  std::istringstream in(text);
  std::string line;
  std::string neutral;
  std::vector<std::pair<std::string, std::string>> animations;  // key, file; first wins
  for (int32_t number = 1; std::getline(in, line); ++number) {
    const std::string where = path + ":" + std::to_string(number) + ": ";
    line = Trim(line);
    if (number == 1) {
      if (line != "1.0") {
        error = where + "the first line must be \"1.0\"";
        return false;
      }
      continue;
    }
    if (line.empty()) {
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      error = where + "a line needs \"KEY=file\"";
      return false;
    }
    const std::string key = UtilitiesUpperCase(Trim(line.substr(0, equals)));
    const std::string file = Trim(line.substr(equals + 1));
    if (key == "NEUTRAL") {
      neutral = file;
    } else if (std::none_of(animations.begin(), animations.end(),
                            [&](const auto& a) { return a.first == key; })) {
      animations.emplace_back(key, file);
    }
  }
  if (neutral.empty()) {
    error = path + ": no \"NEUTRAL\" line names the mesh";
    return false;
  }
  MwModel mesh;
  std::string bytes;
  const std::string meshPath = ProjectPath(path, neutral);
  if (!ReadFileBytes(meshPath, bytes, error) || !ModelMs3dFromBytes(meshPath, bytes, mesh, error)) {
    return false;
  }
  listing = path + ": project, neutral mesh " + Quoted(neutral) + ", " +
            Plural(animations.size(), "animation") + "\n";
  for (const auto& [key, file] : animations) {
    MwAnimation animation;
    const std::string animationPath = ProjectPath(path, file);
    if (!ReadFileBytes(animationPath, bytes, error) ||
        !ReadAnimation(animationPath, bytes, animation, error)) {
      return false;
    }
    listing += "  " + key + " " + Quoted(file) + ": " + ObjFloatText(animation.frameRate) +
               " frames a second, " +
               Plural(static_cast<size_t>(std::max(animation.frameCount, 0)), "frame") + ", " +
               Plural(animation.joints.size(), "joint") + "\n" + MatchLines(mesh, animation);
  }
  listing += Ms3dListing(meshPath, mesh);
  return true;
}

}  // namespace

bool ModelMs3dFromBytes(const std::string& name, const std::string& bytes, MwModel& model,
                        std::string& error) {
  Cursor in(name, bytes);
  model = MwModel();
  if (in.Take(10, "header") != "MS3D000000" && in.Ok()) {
    in.FailAt(0, "not a MilkShape 3D file");
  }
  const uint32_t version = in.U32("version");
  if (in.Ok() && version != 4) {
    in.FailAt(10, "version " + std::to_string(version) + " is not 4");
  }
  ReadMesh(in, model);
  ReadMaterials(in, model);
  ReadJoints(in, model);
  ReadComments(in, model);
  ReadExtras(in, model);
  error = in.Error();
  return in.Ok();
}

bool ModelPiecesFromBytes(const std::string& name, const std::string& bytes, MwPieceFile& file,
                          std::string& error) {
  Cursor in(name, bytes);
  file = MwPieceFile();
  in.Seek(84);
  const uint16_t length = in.U16("header length");
  file.header = in.Take(length, "header text");
  in.Seek(94 + size_t{length});
  const uint32_t count = in.U32("piece count");
  file.pieces.resize(in.Count(count, 85, "pieces"));
  for (MwPiece& piece : file.pieces) {
    ReadPiece(in, piece);
  }
  error = in.Error();
  return in.Ok();
}

bool ModelFileRead(const std::string& path, MwModel& model, std::string& error) {
  std::string bytes;
  const std::string extension = UtilitiesUpperExtension(path);
  if (extension != ".MS3D" && extension != ".LTB") {
    error = path + ": only \".ms3d\" and \".ltb\" files are read";
    return false;
  }
  if (!ReadFileBytes(path, bytes, error)) {
    return false;
  }
  if (extension == ".MS3D") {
    return ModelMs3dFromBytes(path, bytes, model, error);
  }
  MwPieceFile pieces;
  if (!ModelPiecesFromBytes(path, bytes, pieces, error)) {
    return false;
  }
  ObjPiecesToModel(pieces, model);
  return true;
}

bool ModelFileDump(const std::string& path, std::string& listing, std::string& error) {
  const std::string extension = UtilitiesUpperExtension(path);
  std::string bytes;
  if (extension == ".MPJ") {
    return ProjectListing(path, listing, error);
  }
  if (extension != ".MS3D" && extension != ".LTB") {
    error = path + ": only \".ms3d\", \".ltb\" and \".mpj\" files are listed";
    return false;
  }
  if (!ReadFileBytes(path, bytes, error)) {
    return false;
  }
  if (extension == ".MS3D") {
    MwModel model;
    if (!ModelMs3dFromBytes(path, bytes, model, error)) {
      return false;
    }
    listing = Ms3dListing(path, model);
    return true;
  }
  MwPieceFile pieces;
  if (!ModelPiecesFromBytes(path, bytes, pieces, error)) {
    return false;
  }
  listing = PieceListing(path, pieces);
  return true;
}
