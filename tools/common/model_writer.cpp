#include "tools/common/model_writer.h"

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "framework/utilities/utilities.h"

namespace {

constexpr size_t kMaxCount = 65535;    // 16-bit counts
constexpr size_t kMaxMaterials = 255;  // 255 is "no material"
constexpr size_t kNameField = 32;      // group, material and joint names
constexpr size_t kFileField = 128;     // texture file names
constexpr size_t kMaxPieceName = 32;   // what a reader keeps of a piece name
constexpr size_t kPieceHeaderAt = 84;  // the header text's length
constexpr size_t kPieceDataAt = 83;    // vertex data, after the piece name

// The byte writer with the fields of these formats.
class Out : public UtilitiesByteWriter {
 public:
  template <size_t N>
  void Floats(const std::array<float, N>& values) {
    for (float value : values) {
      F32(value);
    }
  }
  // The text padded with zeros to the field's size (it fits: checked before).
  void Field(const std::string& text, size_t size) {
    Text(text);
    Zeros(size - text.size());
  }
  size_t Size() const { return bytes.size(); }
  // Zero bytes up to the offset.
  void PadTo(size_t offset) { Zeros(offset - bytes.size()); }
};

// Empty when the name fits its field with its terminating zero.
std::string CheckName(const std::string& what, const std::string& name, size_t field) {
  if (name.size() >= field) {
    return what + " \"" + name + "\" is longer than " + std::to_string(field - 1) + " characters";
  }
  if (name.find('\0') != std::string::npos) {
    return what + " \"" + name + "\" holds a zero byte";
  }
  return {};
}

// Empty when the count fits.
std::string CheckCount(const std::string& what, size_t count, size_t most) {
  if (count > most) {
    return std::to_string(count) + " " + what + ": at most " + std::to_string(most) + " fit";
  }
  return {};
}

std::string Numbered(const std::string& what, size_t index) {
  return what + " " + std::to_string(index + 1);
}

// The first failure of a list of checks, or empty.
std::string First(std::initializer_list<std::string> failures) {
  for (const std::string& failure : failures) {
    if (!failure.empty()) {
      return failure;
    }
  }
  return {};
}

std::string CheckKeys(const std::string& what, const std::vector<MwKey>& rotationKeys,
                      const std::vector<MwKey>& positionKeys) {
  return First({CheckCount(what + " rotation keys", rotationKeys.size(), kMaxCount),
                CheckCount(what + " position keys", positionKeys.size(), kMaxCount)});
}

std::string CheckJoint(const MwJoint& joint, size_t index) {
  const std::string what = Numbered("joint", index);
  return First({CheckName(what + " name", joint.name, kNameField),
                CheckName(what + " parent", joint.parent, kNameField),
                CheckKeys(what, joint.rotationKeys, joint.positionKeys)});
}

std::string CheckMaterial(const MwMaterial& material, size_t index) {
  const std::string what = Numbered("material", index);
  return First({CheckName(what + " name", material.name, kNameField),
                CheckName(what + " texture", material.texture, kFileField),
                CheckName(what + " alpha map", material.alphaMap, kFileField)});
}

// The optional sections must come in order, each matching the mesh it extends.
std::string CheckSections(const MwModel& model) {
  const bool present[] = {model.comments.has_value(), model.vertexExtras.has_value(),
                          model.jointColors.has_value(), model.modelExtras.has_value()};
  for (size_t i = 1; i < std::size(present); ++i) {
    if (present[i] && !present[i - 1]) {
      return "an optional section is missing before a later one";
    }
  }
  if (model.vertexExtras) {
    const MwVertexExtras& extras = *model.vertexExtras;
    if (extras.subVersion < 1 || extras.subVersion > 3) {
      return "vertex extras sub-version " + std::to_string(extras.subVersion) +
             ": only 1 to 3 are read";
    }
    if (extras.items.size() != model.vertices.size()) {
      return "vertex extras: one per vertex needed";
    }
  }
  if (model.jointColors && model.jointColors->size() != model.joints.size()) {
    return "joint colours: one per joint needed";
  }
  return {};
}

std::string CheckMs3d(const MwModel& model) {
  std::string failure =
      First({CheckCount("vertices", model.vertices.size(), kMaxCount),
             CheckCount("triangles", model.triangles.size(), kMaxCount),
             CheckCount("groups", model.groups.size(), kMaxCount),
             CheckCount("materials", model.materials.size(), kMaxMaterials),
             CheckCount("joints", model.joints.size(), kMaxCount), CheckSections(model)});
  for (size_t i = 0; failure.empty() && i < model.groups.size(); ++i) {
    const MwGroup& group = model.groups[i];
    failure =
        First({CheckName(Numbered("group", i) + " name", group.name, kNameField),
               CheckCount(Numbered("group", i) + " triangles", group.triangles.size(), kMaxCount)});
  }
  for (size_t i = 0; failure.empty() && i < model.materials.size(); ++i) {
    failure = CheckMaterial(model.materials[i], i);
  }
  for (size_t i = 0; failure.empty() && i < model.joints.size(); ++i) {
    failure = CheckJoint(model.joints[i], i);
  }
  return failure;
}

void WriteVertices(Out& out, const std::vector<MwVertex>& vertices) {
  out.U16(static_cast<uint32_t>(vertices.size()));
  for (const MwVertex& vertex : vertices) {
    out.U8(vertex.flags);
    out.Floats(vertex.position);
    out.U8(vertex.joint);
    out.U8(vertex.references);
  }
}

void WriteTriangles(Out& out, const std::vector<MwTriangle>& triangles) {
  out.U16(static_cast<uint32_t>(triangles.size()));
  for (const MwTriangle& triangle : triangles) {
    out.U16(triangle.flags);
    for (uint16_t vertex : triangle.vertices) {
      out.U16(vertex);
    }
    for (const auto& normal : triangle.normals) {
      out.Floats(normal);
    }
    out.Floats(triangle.s);
    out.Floats(triangle.t);
    out.U8(triangle.smoothingGroup);
    out.U8(triangle.group);
  }
}

void WriteGroups(Out& out, const std::vector<MwGroup>& groups) {
  out.U16(static_cast<uint32_t>(groups.size()));
  for (const MwGroup& group : groups) {
    out.U8(group.flags);
    out.Field(group.name, kNameField);
    out.U16(static_cast<uint32_t>(group.triangles.size()));
    for (uint16_t triangle : group.triangles) {
      out.U16(triangle);
    }
    out.U8(group.material);
  }
}

void WriteMaterials(Out& out, const std::vector<MwMaterial>& materials) {
  out.U16(static_cast<uint32_t>(materials.size()));
  for (const MwMaterial& material : materials) {
    out.Field(material.name, kNameField);
    out.Floats(material.ambient);
    out.Floats(material.diffuse);
    out.Floats(material.specular);
    out.Floats(material.emissive);
    out.F32(material.shininess);
    out.F32(material.transparency);
    out.U8(material.mode);
    out.Field(material.texture, kFileField);
    out.Field(material.alphaMap, kFileField);
  }
}

// The two key counts, then the rotation keys and the position keys.
void WriteKeys(Out& out, const std::vector<MwKey>& rotationKeys,
               const std::vector<MwKey>& positionKeys) {
  out.U16(static_cast<uint32_t>(rotationKeys.size()));
  out.U16(static_cast<uint32_t>(positionKeys.size()));
  for (const auto* keys : {&rotationKeys, &positionKeys}) {
    for (const MwKey& key : *keys) {
      out.F32(key.time);
      out.Floats(key.value);
    }
  }
}

void WriteJoints(Out& out, const std::vector<MwJoint>& joints) {
  out.U16(static_cast<uint32_t>(joints.size()));
  for (const MwJoint& joint : joints) {
    out.U8(joint.flags);
    out.Field(joint.name, kNameField);
    out.Field(joint.parent, kNameField);
    out.Floats(joint.rotation);
    out.Floats(joint.position);
    WriteKeys(out, joint.rotationKeys, joint.positionKeys);
  }
}

void WriteComments(Out& out, const MwComments& comments) {
  out.U32(1);
  for (const auto* list :
       {&comments.groups, &comments.materials, &comments.joints, &comments.model}) {
    out.U32(static_cast<uint32_t>(list->size()));
    for (const MwComment& comment : *list) {
      out.U32(static_cast<uint32_t>(comment.index));
      out.U32(static_cast<uint32_t>(comment.text.size()));
      out.Text(comment.text);
    }
  }
}

void WriteVertexExtras(Out& out, const MwVertexExtras& extras) {
  out.U32(extras.subVersion);
  for (const MwVertexExtra& extra : extras.items) {
    for (int8_t joint : extra.joints) {
      out.U8(static_cast<uint8_t>(joint));
    }
    for (uint8_t weight : extra.weights) {
      out.U8(weight);
    }
    if (extras.subVersion >= 2) {
      out.U32(extra.extra);
    }
    if (extras.subVersion >= 3) {
      out.U32(extra.extra2);
    }
  }
}

void WriteTrailing(Out& out, const MwModel& model) {
  if (model.comments) {
    WriteComments(out, *model.comments);
  }
  if (model.vertexExtras) {
    WriteVertexExtras(out, *model.vertexExtras);
  }
  if (model.jointColors) {
    out.U32(1);
    for (const auto& color : *model.jointColors) {
      out.Floats(color);
    }
  }
  if (model.modelExtras) {
    out.U32(1);
    out.F32(model.modelExtras->jointSize);
    out.U32(static_cast<uint32_t>(model.modelExtras->transparencyMode));
    out.F32(model.modelExtras->alphaRef);
  }
}

// --- Piece files ---------------------------------------------------------------------------

// Vertex bytes at the data offset that a reader takes for the shift marker:
// two zero bytes and two non-zero ones.
bool LooksLikeMarker(const std::array<float, 3>& position) {
  uint32_t bits = 0;
  std::memcpy(&bits, &position[0], sizeof bits);
  return (bits & 0xFFFF) == 0 && (bits & 0xFF0000) != 0 && (bits & 0xFF000000) != 0;
}

// The piece with a vertex that cannot be taken for the marker in front.
bool OrderPiece(const MwPiece& piece, MwPiece& ordered) {
  ordered = piece;
  size_t first = 0;
  while (first < piece.vertices.size() && LooksLikeMarker(piece.vertices[first].position)) {
    ++first;
  }
  if (first == piece.vertices.size()) {
    return false;
  }
  std::swap(ordered.vertices[0], ordered.vertices[first]);
  for (auto& triangle : ordered.triangles) {
    for (uint16_t& index : triangle) {
      if (index == 0) {
        index = static_cast<uint16_t>(first);
      } else if (index == first) {
        index = 0;
      }
    }
  }
  return true;
}

std::string CheckPieces(const MwPieceFile& file) {
  size_t vertices = 0;
  size_t triangles = 0;
  for (size_t i = 0; i < file.pieces.size(); ++i) {
    const MwPiece& piece = file.pieces[i];
    const std::string what = Numbered("piece", i);
    if (piece.name.size() > kMaxPieceName) {
      return what + " name \"" + piece.name + "\" is longer than " + std::to_string(kMaxPieceName) +
             " characters";
    }
    if (piece.type < 1 || piece.type > 5) {
      return what + " type " + std::to_string(piece.type) + ": only 1 to 5 exist";
    }
    if (piece.vertices.empty()) {
      return what + " has no vertices";
    }
    vertices += piece.vertices.size();
    triangles += piece.triangles.size();
  }
  return First({CheckCount("vertices", vertices, kMaxCount),
                CheckCount("triangles", triangles, kMaxCount),
                CheckName("the header", file.header, kMaxCount + 1)});
}

void WritePieceVertex(Out& out, int32_t type, const MwPieceVertex& vertex) {
  out.Floats(vertex.position);
  if (type == 3 || type == 4) {
    out.Zeros(12);  // read and dropped
  }
  out.Floats(vertex.normal);
  if (type == 2) {
    out.Zeros(4);
  } else if (type == 5) {
    out.Zeros(8);
  }
  out.Floats(vertex.st);
}

void WritePiece(Out& out, const MwPiece& piece) {
  out.U16(static_cast<uint32_t>(piece.name.size()));
  out.Text(piece.name);
  const size_t start = out.Size();
  out.PadTo(start + 49);
  out.U16(static_cast<uint32_t>(piece.vertices.size()));
  out.PadTo(start + 53);
  out.U16(static_cast<uint32_t>(piece.triangles.size()));
  out.PadTo(start + 57);
  out.U16(piece.type == 5 ? 3 : 0);  // 3 marks type 5, anything else defers to the next field
  out.PadTo(start + 61);
  out.U16(static_cast<uint32_t>(piece.type));
  out.PadTo(start + kPieceDataAt);
  for (const MwPieceVertex& vertex : piece.vertices) {
    WritePieceVertex(out, piece.type, vertex);
  }
  for (const auto& triangle : piece.triangles) {
    for (uint16_t index : triangle) {
      out.U16(index);
    }
  }
  if (piece.type == 1) {
    out.U16(0);
  } else {
    out.U32(0);  // no 12-byte records
    out.U8(0);   // no further bytes
  }
}

}  // namespace

bool MwMs3dBytes(const MwModel& model, std::string& bytes, std::string& error) {
  error = CheckMs3d(model);
  if (!error.empty()) {
    return false;
  }
  Out out;
  out.Text("MS3D000000");
  out.U32(4);
  WriteVertices(out, model.vertices);
  WriteTriangles(out, model.triangles);
  WriteGroups(out, model.groups);
  WriteMaterials(out, model.materials);
  out.F32(model.frameRate);
  out.F32(model.currentTime);
  out.U32(static_cast<uint32_t>(model.frameCount));
  WriteJoints(out, model.joints);
  WriteTrailing(out, model);
  bytes = std::move(out.bytes);
  return true;
}

bool MwAnimationBytes(const MwAnimation& animation, std::string& bytes, std::string& error) {
  error.clear();
  for (size_t i = 0; error.empty() && i < animation.joints.size(); ++i) {
    const MwAnimationJoint& joint = animation.joints[i];
    const std::string what = Numbered("animation joint", i);
    error = First({CheckName(what + " name", joint.name, kNameField),
                   CheckKeys(what, joint.rotationKeys, joint.positionKeys)});
  }
  if (!error.empty()) {
    return false;
  }
  Out out;
  out.Text("MAN");
  out.U8(1);
  out.F32(animation.frameRate);
  out.F32(animation.currentTime);
  out.U32(static_cast<uint32_t>(animation.frameCount));
  for (const MwAnimationJoint& joint : animation.joints) {
    out.Field(joint.name, kNameField);
    WriteKeys(out, joint.rotationKeys, joint.positionKeys);
  }
  bytes = std::move(out.bytes);
  return true;
}

bool MwProjectText(const MwProject& project, std::string& text, std::string& error) {
  const auto oneLine = [](const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos;
  };
  error.clear();
  if (project.neutral.empty() || !oneLine(project.neutral)) {
    error = "the neutral mesh file \"" + project.neutral + "\" cannot be written";
  }
  for (const auto& [key, file] : project.animations) {
    if (error.empty() && (key.empty() || key.find('=') != std::string::npos || !oneLine(key) ||
                          !oneLine(file) || file.empty())) {
      error = "the animation line \"" + key + "=" + file + "\" cannot be written";
    }
    std::string upper = key;
    for (char& c : upper) {
      c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (error.empty() && upper == "NEUTRAL") {
      error = "the animation key \"" + key + "\" names the neutral mesh";
    }
  }
  if (!error.empty()) {
    return false;
  }
  text = "1.0\nNEUTRAL=" + project.neutral + "\n";
  for (const auto& [key, file] : project.animations) {
    text += key + "=" + file + "\n";
  }
  return true;
}

bool MwPieceBytes(const MwPieceFile& file, std::string& bytes, std::string& error) {
  error = CheckPieces(file);
  std::vector<MwPiece> pieces(file.pieces.size());
  for (size_t i = 0; error.empty() && i < file.pieces.size(); ++i) {
    if (!OrderPiece(file.pieces[i], pieces[i])) {
      error = Numbered("piece", i) + ": every vertex starts with bytes taken for a marker";
    }
  }
  if (!error.empty()) {
    return false;
  }
  Out out;
  out.PadTo(kPieceHeaderAt);
  out.U16(static_cast<uint32_t>(file.header.size()));
  out.Text(file.header);
  out.PadTo(94 + file.header.size());
  out.U32(static_cast<uint32_t>(pieces.size()));
  for (const MwPiece& piece : pieces) {
    WritePiece(out, piece);
  }
  bytes = std::move(out.bytes);
  return true;
}
