#include "tools/modelconv/objconv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxCount = 65535;     // 16-bit vertex and triangle counts
constexpr size_t kMaxGroups = 255;      // a triangle names its group in one byte
constexpr size_t kMaxMaterials = 255;   // 255 is "no material"
constexpr size_t kMaxPickLabels = 254;  // a mat holds 255 entries, one is "TRANSPARENT"
constexpr size_t kNameField = 32;       // group and material names, with their zero
constexpr size_t kFileField = 128;      // texture names, with their zero
constexpr size_t kMaxPieceName = 32;

using Vec3 = std::array<float, 3>;

// --- Text ------------------------------------------------------------------------------------

std::string Trim(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) {
    return {};
  }
  return text.substr(start, text.find_last_not_of(" \t\r\n") + 1 - start);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) {
    words.push_back(word);
  }
  return words;
}

// A line as its keyword and the trimmed rest.
struct TextLine {
  int32_t number = 0;
  std::string keyword;
  std::string rest;
};

std::vector<TextLine> SplitLines(const std::string& text) {
  std::vector<TextLine> lines;
  std::istringstream in(text);
  std::string line;
  for (int32_t number = 1; std::getline(in, line); ++number) {
    const std::string trimmed = Trim(line.substr(0, line.find('#')));
    if (trimmed.empty()) {
      continue;
    }
    const size_t end = std::min(trimmed.find_first_of(" \t"), trimmed.size());
    lines.push_back({number, trimmed.substr(0, end), Trim(trimmed.substr(end))});
  }
  return lines;
}

bool ParseFloat(const std::string& text, float& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') {
    ++first;
  }
  const auto [end, fault] = std::from_chars(first, last, value);
  return fault == std::errc() && end == last && first != last && std::isfinite(value);
}

bool ParseInt(const std::string& text, int32_t& value) {
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  return fault == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// Empty when the name fits its field with its zero byte.
std::string NameFault(const char* what, const std::string& name, size_t field) {
  if (name.size() >= field) {
    return std::string(what) + " " + Quoted(name) + " is longer than " + std::to_string(field - 1) +
           " characters";
  }
  return {};
}

// Reads a line's numbers: at least `least`, at most `most` are taken (more
// are ignored, as exporters add vertex colours); false with the reason.
bool Numbers(const std::string& rest, size_t least, size_t most, std::vector<float>& values,
             std::string& error) {
  const std::vector<std::string> words = Words(rest);
  if (words.size() < least) {
    error = "expected " + std::to_string(least) + " numbers";
    return false;
  }
  values.assign(std::min(words.size(), most), 0.0f);
  for (size_t i = 0; i < values.size(); ++i) {
    if (!ParseFloat(words[i], values[i])) {
      error = Quoted(words[i]) + " is not a finite number";
      return false;
    }
  }
  return true;
}

// --- MTL -------------------------------------------------------------------------------------

// The file name of a map statement, after its options ("-s 1 1 1" and the like).
std::string MapFile(const std::string& rest) {
  std::vector<std::string> words = Words(rest);
  size_t at = 0;
  while (at < words.size() && words[at].size() > 1 && words[at][0] == '-') {
    ++at;
    float ignored = 0.0f;
    while (at + 1 < words.size() &&
           (ParseFloat(words[at], ignored) || words[at] == "on" || words[at] == "off")) {
      ++at;
    }
  }
  if (at == 0) {
    return rest;  // keeps spaces inside the name
  }
  std::string file;
  for (; at < words.size(); ++at) {
    file += (file.empty() ? "" : " ") + words[at];
  }
  return file;
}

class MtlReader {
 public:
  MtlReader(const std::string& path, std::map<std::string, MwMaterial>& materials)
      : path_(path), materials_(materials) {}

  bool Read(const std::string& text, std::string& error) {
    for (const TextLine& line : SplitLines(text)) {
      std::string fault;
      if (!Statement(line, fault)) {
        error = path_ + ":" + std::to_string(line.number) + ": " + fault;
        return false;
      }
    }
    return true;
  }

 private:
  bool Statement(const TextLine& line, std::string& fault) {
    if (line.keyword == "newmtl") {
      fault = NameFault("material name", line.rest, kNameField);
      if (line.rest.empty()) {
        fault = "newmtl needs a name";
      }
      current_ = nullptr;
      if (fault.empty() && !materials_.contains(line.rest)) {  // the first definition counts
        current_ = &materials_[line.rest];
        current_->name = line.rest;
      }
      return fault.empty();
    }
    if (current_ == nullptr) {
      return true;  // statements before any material, or of a repeated one
    }
    std::vector<float> values;
    if (line.keyword == "Ka" || line.keyword == "Kd" || line.keyword == "Ks" ||
        line.keyword == "Ke") {
      if (!Numbers(line.rest, 1, 3, values, fault)) {
        return false;
      }
      std::array<float, 4>& color = line.keyword == "Ka"   ? current_->ambient
                                    : line.keyword == "Kd" ? current_->diffuse
                                    : line.keyword == "Ks" ? current_->specular
                                                           : current_->emissive;
      color = {values[0], values[values.size() > 1 ? 1 : 0], values[values.size() > 2 ? 2 : 0],
               1.0f};
      return true;
    }
    if (line.keyword == "Ns" || line.keyword == "d" || line.keyword == "Tr") {
      if (!Numbers(line.rest, 1, 1, values, fault)) {
        return false;
      }
      if (line.keyword == "Ns") {
        current_->shininess = values[0];
      } else {
        current_->transparency = line.keyword == "d" ? values[0] : 1.0f - values[0];
      }
      return true;
    }
    if (line.keyword == "map_Kd" || line.keyword == "map_d") {
      const std::string file = MapFile(line.rest);
      fault = NameFault("texture name", file, kFileField);
      (line.keyword == "map_Kd" ? current_->texture : current_->alphaMap) = file;
      return fault.empty();
    }
    return true;  // illum, Ni, bump maps and the like have no place in the mesh
  }

  const std::string& path_;
  std::map<std::string, MwMaterial>& materials_;
  MwMaterial* current_ = nullptr;
};

// --- OBJ -------------------------------------------------------------------------------------

struct Corner {
  int32_t position = 0;
  int32_t texture = -1;  // none
  int32_t normal = -1;   // none: computed
};

struct Face {
  std::array<Corner, 3> corners;
  size_t group = 0;
  uint8_t smoothing = 0;
};

class ObjReader {
 public:
  ObjReader(const std::string& path, const ObjFileReader& read, std::vector<std::string>& warnings)
      : path_(path), read_(read), warnings_(warnings) {}

  bool Read(MwModel& model, std::string& error) {
    std::string text;
    if (!read_(path_, text)) {
      error = path_ + ": cannot read the file";
      return false;
    }
    for (const TextLine& line : SplitLines(text)) {
      line_ = line.number;
      std::string fault;
      if (!Statement(line, fault)) {
        error = libraryError_.empty() ? Where() + ": " + fault : libraryError_;
        return false;
      }
    }
    if (faces_.empty()) {
      error = path_ + ": has no faces";
      return false;
    }
    Build(model);
    return true;
  }

 private:
  struct Group {
    std::string name;
    size_t material = kMwNone;  // index into used_
  };
  struct UsedMaterial {
    std::string name;
    int32_t line = 0;  // where it was first used, for the warning
  };

  std::string Where() const { return path_ + ":" + std::to_string(line_); }

  bool Statement(const TextLine& line, std::string& fault) {
    std::vector<float> values;
    if (line.keyword == "v") {
      if (positions_.size() == kMaxCount) {
        fault = "more than 65535 vertices";
        return false;
      }
      if (!Numbers(line.rest, 3, 3, values, fault)) {
        return false;
      }
      positions_.push_back({values[0], values[1], values[2]});
      return true;
    }
    if (line.keyword == "vt") {
      if (!Numbers(line.rest, 1, 2, values, fault)) {
        return false;
      }
      // Image rows run downwards in MilkShape's coordinates.
      textures_.push_back({values[0], 1.0f - (values.size() > 1 ? values[1] : 0.0f)});
      return true;
    }
    if (line.keyword == "vn") {
      if (!Numbers(line.rest, 3, 3, values, fault)) {
        return false;
      }
      normals_.push_back({values[0], values[1], values[2]});
      return true;
    }
    if (line.keyword == "f") {
      return FaceStatement(line.rest, fault);
    }
    if (line.keyword == "g" || line.keyword == "o") {
      groupName_ = line.rest.empty() ? "default" : line.rest;
      fault = NameFault("group name", groupName_, kNameField);
      return fault.empty();
    }
    if (line.keyword == "usemtl") {
      material_ = line.rest;
      materialLine_ = line_;
      fault = NameFault("material name", material_, kNameField);
      return fault.empty();
    }
    if (line.keyword == "s") {
      int32_t group = 0;
      if (line.rest != "off" && (!ParseInt(line.rest, group) || group < 0 || group > 255)) {
        fault = "smoothing group " + Quoted(line.rest) + ": \"off\" or 0 to 255";
        return false;
      }
      smoothing_ = static_cast<uint8_t>(group);
      return true;
    }
    if (line.keyword == "mtllib") {
      return Library(line.rest);
    }
    return true;  // lines, points, curves and the like are no part of the mesh
  }

  bool Library(const std::string& name) {
    const std::string path = (fs::path(path_).parent_path() / name).string();
    std::string text;
    if (!read_(path, text)) {
      warnings_.push_back(Where() + ": cannot read the material library " + Quoted(path));
      return true;
    }
    return MtlReader(path, library_).Read(text, libraryError_);
  }

  // One index of a corner: 1-based, or negative counting back from the end.
  bool Index(const std::string& text, size_t count, const char* what, int32_t& index,
             std::string& fault) {
    int32_t value = 0;
    if (!ParseInt(text, value) || value == 0) {
      fault = Quoted(text) + " is not a " + std::string(what) + " index";
      return false;
    }
    const int64_t resolved = value > 0 ? int64_t{value} - 1 : static_cast<int64_t>(count) + value;
    if (resolved < 0 || resolved >= static_cast<int64_t>(count)) {
      fault = std::string(what) + " index " + text + " names nothing: " + std::to_string(count) +
              " read so far";
      return false;
    }
    index = static_cast<int32_t>(resolved);
    return true;
  }

  bool ParseCorner(const std::string& word, Corner& corner, std::string& fault) {
    const size_t slash = word.find('/');
    if (!Index(word.substr(0, slash), positions_.size(), "vertex", corner.position, fault)) {
      return false;
    }
    if (slash == std::string::npos) {
      return true;
    }
    const size_t second = word.find('/', slash + 1);
    const std::string texture = word.substr(slash + 1, second - slash - 1);
    if (!texture.empty() &&
        !Index(texture, textures_.size(), "texture coordinate", corner.texture, fault)) {
      return false;
    }
    return second == std::string::npos ||
           Index(word.substr(second + 1), normals_.size(), "normal", corner.normal, fault);
  }

  // The index of the current group, adding it (and its material) at its first face.
  bool CurrentGroup(size_t& index, std::string& fault) {
    size_t material = kMwNone;
    if (!material_.empty()) {
      const auto found = std::find_if(used_.begin(), used_.end(),
                                      [&](const UsedMaterial& m) { return m.name == material_; });
      material = static_cast<size_t>(found - used_.begin());
      if (found == used_.end()) {
        if (used_.size() == kMaxMaterials) {
          fault = "more than 255 materials";
          return false;
        }
        used_.push_back({material_, materialLine_});
      }
    }
    const auto key = std::make_pair(groupName_, material);
    const auto found = groupIndex_.find(key);
    if (found != groupIndex_.end()) {
      index = found->second;
      return true;
    }
    if (groups_.size() == kMaxGroups) {
      fault = "more than 255 groups";
      return false;
    }
    index = groups_.size();
    groupIndex_.emplace(key, index);
    groups_.push_back({groupName_, material});
    return true;
  }

  bool FaceStatement(const std::string& rest, std::string& fault) {
    const std::vector<std::string> words = Words(rest);
    if (words.size() < 3) {
      fault = "a face needs at least 3 corners";
      return false;
    }
    std::vector<Corner> corners(words.size());
    for (size_t i = 0; i < words.size(); ++i) {
      if (!ParseCorner(words[i], corners[i], fault)) {
        return false;
      }
    }
    size_t group = 0;
    if (!CurrentGroup(group, fault)) {
      return false;
    }
    for (size_t i = 1; i + 1 < corners.size(); ++i) {
      if (faces_.size() == kMaxCount) {
        fault = "more than 65535 triangles";
        return false;
      }
      faces_.push_back({{corners[0], corners[i], corners[i + 1]}, group, smoothing_});
    }
    return true;
  }

  Vec3 FaceCross(const Face& face) const {
    const Vec3& a = positions_[face.corners[0].position];
    const Vec3& b = positions_[face.corners[1].position];
    const Vec3& c = positions_[face.corners[2].position];
    const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Vec3 v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  }

  static Vec3 Normalised(const Vec3& v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.0f) || !std::isfinite(length)) {
      return {0.0f, 0.0f, 0.0f};  // a degenerate face has no direction
    }
    return {v[0] / length, v[1] / length, v[2] / length};
  }

  // The normal of every corner: the file's, else by smoothing group.
  std::vector<std::array<Vec3, 3>> CornerNormals() const {
    std::map<std::pair<uint8_t, int32_t>, Vec3> smoothed;  // (smoothing group, vertex)
    std::vector<Vec3> crosses;
    for (const Face& face : faces_) {
      crosses.push_back(FaceCross(face));
      if (face.smoothing != 0) {
        for (const Corner& corner : face.corners) {
          Vec3& sum = smoothed[{face.smoothing, corner.position}];
          for (size_t k = 0; k < 3; ++k) {
            sum[k] += crosses.back()[k];
          }
        }
      }
    }
    std::vector<std::array<Vec3, 3>> normals(faces_.size());
    for (size_t f = 0; f < faces_.size(); ++f) {
      const Face& face = faces_[f];
      for (size_t k = 0; k < 3; ++k) {
        const Corner& corner = face.corners[k];
        normals[f][k] = corner.normal >= 0 ? normals_[corner.normal]
                        : face.smoothing == 0
                            ? Normalised(crosses[f])
                            : Normalised(smoothed.at({face.smoothing, corner.position}));
      }
    }
    return normals;
  }

  MwMaterial Material(const UsedMaterial& used) {
    const auto found = library_.find(used.name);
    if (found != library_.end()) {
      return found->second;
    }
    warnings_.push_back(path_ + ":" + std::to_string(used.line) + ": material " +
                        Quoted(used.name) + " is defined in no library; default colours used");
    MwMaterial material;
    material.name = used.name;
    return material;
  }

  void Build(MwModel& model) {
    const std::vector<std::array<Vec3, 3>> normals = CornerNormals();
    std::vector<size_t> order(faces_.size());
    for (size_t i = 0; i < order.size(); ++i) {
      order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return faces_[a].group < faces_[b].group; });
    model = MwModel();
    for (const Vec3& position : positions_) {
      model.vertices.push_back({0, position, kMwNone, 0});
    }
    for (const Group& group : groups_) {
      model.groups.push_back({0, group.name, {}, static_cast<uint8_t>(group.material)});
    }
    for (const size_t f : order) {
      const Face& face = faces_[f];
      MwTriangle triangle;
      for (size_t k = 0; k < 3; ++k) {
        const Corner& corner = face.corners[k];
        triangle.vertices[k] = static_cast<uint16_t>(corner.position);
        triangle.normals[k] = normals[f][k];
        if (corner.texture >= 0) {
          triangle.s[k] = textures_[corner.texture][0];
          triangle.t[k] = textures_[corner.texture][1];
        }
        uint8_t& references = model.vertices[corner.position].references;
        references = static_cast<uint8_t>(std::min(references + 1, 255));
      }
      triangle.smoothingGroup = face.smoothing;
      triangle.group = static_cast<uint8_t>(face.group);
      model.groups[face.group].triangles.push_back(static_cast<uint16_t>(model.triangles.size()));
      model.triangles.push_back(triangle);
    }
    for (const UsedMaterial& used : used_) {
      model.materials.push_back(Material(used));
    }
  }

  const std::string& path_;
  const ObjFileReader& read_;
  std::vector<std::string>& warnings_;
  int32_t line_ = 0;
  std::vector<Vec3> positions_;
  std::vector<std::array<float, 2>> textures_;  // (s, t)
  std::vector<Vec3> normals_;
  std::vector<Face> faces_;
  std::string groupName_ = "default";
  std::string material_;  // empty: none
  int32_t materialLine_ = 0;
  uint8_t smoothing_ = 0;
  std::vector<Group> groups_;
  std::map<std::pair<std::string, size_t>, size_t> groupIndex_;
  std::vector<UsedMaterial> used_;
  std::map<std::string, MwMaterial> library_;
  std::string libraryError_;  // a fault in a library, reported at its own line
};

// --- Writing OBJ -----------------------------------------------------------------------------

std::string FloatsText(std::initializer_list<float> values) {
  std::string text;
  for (const float value : values) {
    text += " " + ObjFloatText(value);
  }
  return text;
}

// Numbers distinct values by their bits, in order of first use, from 1.
template <typename Value>
class Numbering {
 public:
  size_t Number(const Value& value) {
    std::array<uint32_t, sizeof(Value) / 4> bits{};
    std::memcpy(bits.data(), &value, sizeof(Value));
    const auto [found, added] = numbers_.emplace(bits, values_.size() + 1);
    if (added) {
      values_.push_back(value);
    }
    return found->second;
  }
  const std::vector<Value>& Values() const { return values_; }

 private:
  std::map<std::array<uint32_t, sizeof(Value) / 4>, size_t> numbers_;
  std::vector<Value> values_;
};

// Names every material by a name no other has, so an MTL can hold them.
std::vector<std::string> UniqueMaterialNames(const std::vector<MwMaterial>& materials) {
  std::vector<std::string> names;
  for (const MwMaterial& material : materials) {
    std::string name = material.name;
    for (size_t n = 1; name.empty() || std::find(names.begin(), names.end(), name) != names.end();
         ++n) {
      name = "material" + std::to_string(n);
    }
    names.push_back(name);
  }
  return names;
}

std::string SmoothingText(uint8_t group) {
  return group == 0 ? "s off\n" : "s " + std::to_string(group) + "\n";
}

std::string MtlText(const std::vector<MwMaterial>& materials,
                    const std::vector<std::string>& names) {
  std::string mtl = "# written by modelconv\n";
  for (size_t i = 0; i < materials.size(); ++i) {
    const MwMaterial& m = materials[i];
    const auto color = [](const char* key, const std::array<float, 4>& c) {
      return std::string(key) + FloatsText({c[0], c[1], c[2]}) + "\n";
    };
    mtl += "\nnewmtl " + names[i] + "\n" + color("Ka", m.ambient) + color("Kd", m.diffuse) +
           color("Ks", m.specular) + color("Ke", m.emissive) + "Ns" + FloatsText({m.shininess}) +
           "\nd" + FloatsText({m.transparency}) + "\n";
    if (!m.texture.empty()) {
      mtl += "map_Kd " + m.texture + "\n";
    }
    if (!m.alphaMap.empty()) {
      mtl += "map_d " + m.alphaMap + "\n";
    }
  }
  return mtl;
}

// --- Pick colours ----------------------------------------------------------------------------

// Well-separated colours: the corners of the colour cube first, then finer
// and finer grids, never black (the background).
std::vector<uint32_t> PickColors(size_t count) {
  std::vector<uint32_t> colors;
  for (int32_t levels = 2; colors.size() < count; levels = levels * 2 - 1) {
    for (int32_t r = 0; r < levels; ++r) {
      for (int32_t g = 0; g < levels; ++g) {
        for (int32_t b = 0; b < levels; ++b) {
          const auto level = [&](int32_t i) {
            return static_cast<uint32_t>((i * 255 + (levels - 1) / 2) / (levels - 1));
          };
          const uint32_t color = level(r) << 16 | level(g) << 8 | level(b);
          if (color != 0 && std::find(colors.begin(), colors.end(), color) == colors.end() &&
              colors.size() < count) {
            colors.push_back(color);
          }
        }
      }
    }
  }
  return colors;
}

// Readers take a piece's first four vertex bytes (the first x) for a marker
// that shifts the vertex data when they are two zero bytes and two non-zero
// ones, as for x = 1.0; the writer puts a vertex whose x is not like that
// first.
bool LooksLikeMarker(float x) {
  uint32_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits & 0xFFFF) == 0 && (bits & 0xFF0000) != 0 && (bits & 0xFF000000) != 0;
}

}  // namespace

bool ObjReadModel(const std::string& objPath, const ObjFileReader& read, MwModel& model,
                  std::vector<std::string>& warnings, std::string& error) {
  return ObjReader(objPath, read, warnings).Read(model, error);
}

size_t ObjWriteText(const MwModel& model, const std::string& mtlName, std::string& obj,
                    std::string& mtl) {
  const std::vector<std::string> names = UniqueMaterialNames(model.materials);
  Numbering<std::array<float, 2>> textures;
  Numbering<Vec3> normals;
  std::string faces;
  size_t written = 0;
  for (const MwGroup& group : model.groups) {
    faces += "g " + (group.name.empty() ? std::string("default") : group.name) + "\n";
    faces += group.material < model.materials.size() ? "usemtl " + names[group.material] + "\n"
                                                     : std::string("usemtl\n");
    std::optional<uint8_t> smoothing;
    for (const uint16_t index : group.triangles) {
      if (index >= model.triangles.size()) {
        continue;
      }
      const MwTriangle& triangle = model.triangles[index];
      if (std::any_of(triangle.vertices.begin(), triangle.vertices.end(),
                      [&](uint16_t v) { return v >= model.vertices.size(); })) {
        continue;
      }
      if (smoothing != triangle.smoothingGroup) {
        smoothing = triangle.smoothingGroup;
        faces += SmoothingText(*smoothing);
      }
      faces += "f";
      for (size_t k = 0; k < 3; ++k) {
        // t = 1 - v on reading, so v = 1 - t gives back the same t.
        const size_t texture = textures.Number({triangle.s[k], 1.0f - triangle.t[k]});
        faces += " " + std::to_string(triangle.vertices[k] + 1) + "/" + std::to_string(texture) +
                 "/" + std::to_string(normals.Number(triangle.normals[k]));
      }
      faces += "\n";
      ++written;
    }
  }
  obj = "# written by modelconv\n";
  if (!model.materials.empty()) {
    obj += "mtllib " + mtlName + "\n";
  }
  for (const MwVertex& vertex : model.vertices) {
    obj += "v" + FloatsText({vertex.position[0], vertex.position[1], vertex.position[2]}) + "\n";
  }
  for (const auto& st : textures.Values()) {
    obj += "vt" + FloatsText({st[0], st[1]}) + "\n";
  }
  for (const Vec3& n : normals.Values()) {
    obj += "vn" + FloatsText({n[0], n[1], n[2]}) + "\n";
  }
  obj += faces;
  mtl = MtlText(model.materials, names);
  return model.triangles.size() - std::min(written, model.triangles.size());
}

bool ObjAddPick(MwModel& model, const std::string& textureStem, std::vector<ObjPickLabel>& labels,
                std::string& error) {
  labels.clear();
  std::vector<size_t> labelOfGroup;
  for (const MwGroup& group : model.groups) {
    const auto found = std::find_if(labels.begin(), labels.end(),
                                    [&](const ObjPickLabel& l) { return l.name == group.name; });
    labelOfGroup.push_back(static_cast<size_t>(found - labels.begin()));
    if (found == labels.end()) {
      labels.push_back({group.name, 0, textureStem + std::to_string(labels.size() + 1) + ".tga"});
    }
  }
  if (labels.size() > kMaxPickLabels) {
    error = std::to_string(labels.size()) + " group names: a mat holds 254 besides TRANSPARENT";
    return false;
  }
  const std::vector<uint32_t> colors = PickColors(labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    labels[i].color = colors[i];
  }
  std::vector<MwMaterial> materials;
  std::map<std::pair<size_t, size_t>, size_t> materialOf;  // (material, label)
  for (size_t g = 0; g < model.groups.size(); ++g) {
    MwGroup& group = model.groups[g];
    const bool has = group.material < model.materials.size();
    const auto [found, added] = materialOf.emplace(
        std::make_pair(has ? group.material : kMwNone, labelOfGroup[g]), materials.size());
    if (added) {
      MwMaterial material = has ? model.materials[group.material] : MwMaterial();
      if (!has) {
        material.name = group.name;
      }
      material.alphaMap = labels[labelOfGroup[g]].texture;
      materials.push_back(material);
    }
    group.material = static_cast<uint8_t>(std::min<size_t>(found->second, kMwNone));
  }
  if (materials.size() > kMaxMaterials) {
    error = std::to_string(materials.size()) + " pick materials: at most 255 fit";
    return false;
  }
  error = NameFault("pick texture name", labels.empty() ? "" : labels.back().texture, kFileField);
  model.materials = materials;
  return error.empty();
}

bool ObjModelToPieces(const MwModel& model, int32_t type, MwPieceFile& file, std::string& error) {
  file = MwPieceFile();
  for (const MwGroup& group : model.groups) {
    if (group.name.size() > kMaxPieceName) {
      error = "group " + Quoted(group.name) + ": a piece name keeps 32 characters";
      return false;
    }
    MwPiece piece;
    piece.name = group.name;
    piece.type = type;
    Numbering<std::array<float, 8>> corners;  // position, normal, (s, t)
    for (const uint16_t index : group.triangles) {
      if (index >= model.triangles.size() ||
          std::any_of(model.triangles[index].vertices.begin(),
                      model.triangles[index].vertices.end(),
                      [&](uint16_t v) { return v >= model.vertices.size(); })) {
        continue;
      }
      const MwTriangle& triangle = model.triangles[index];
      std::array<uint16_t, 3> indices{};
      for (size_t k = 0; k < 3; ++k) {
        const Vec3& p = model.vertices[triangle.vertices[k]].position;
        const Vec3& n = triangle.normals[k];
        const size_t number =
            corners.Number({p[0], p[1], p[2], n[0], n[1], n[2], triangle.s[k], triangle.t[k]});
        indices[k] = static_cast<uint16_t>(std::min<size_t>(number - 1, kMaxCount));
      }
      piece.triangles.push_back(indices);
    }
    for (const auto& c : corners.Values()) {
      piece.vertices.push_back({{c[0], c[1], c[2]}, {c[3], c[4], c[5]}, {c[6], c[7]}});
    }
    if (!piece.vertices.empty() &&
        std::all_of(piece.vertices.begin(), piece.vertices.end(),
                    [](const MwPieceVertex& v) { return LooksLikeMarker(v.position[0]); })) {
      piece.vertices.push_back({});  // unused, at the origin: it can stand first
    }
    if (!piece.vertices.empty()) {
      file.pieces.push_back(piece);
    }
  }
  std::string bytes;
  return MwPieceBytes(file, bytes, error);
}

void ObjPiecesToModel(const MwPieceFile& file, MwModel& model) {
  model = MwModel();
  for (size_t p = 0; p < file.pieces.size(); ++p) {
    const MwPiece& piece = file.pieces[p];
    const size_t first = model.vertices.size();
    MwGroup group;
    group.name = piece.name;
    for (const MwPieceVertex& vertex : piece.vertices) {
      model.vertices.push_back({0, vertex.position, kMwNone, 0});
    }
    for (const auto& indices : piece.triangles) {
      if (std::any_of(indices.begin(), indices.end(),
                      [&](uint16_t i) { return i >= piece.vertices.size(); })) {
        continue;  // names no vertex of its piece
      }
      MwTriangle triangle;
      triangle.group = static_cast<uint8_t>(std::min<size_t>(p, kMwNone));
      for (size_t k = 0; k < 3; ++k) {
        const MwPieceVertex& vertex = piece.vertices[indices[k]];
        triangle.vertices[k] = static_cast<uint16_t>(first + indices[k]);
        triangle.normals[k] = vertex.normal;
        triangle.s[k] = vertex.st[0];
        triangle.t[k] = vertex.st[1];
      }
      group.triangles.push_back(static_cast<uint16_t>(model.triangles.size()));
      model.triangles.push_back(triangle);
    }
    model.groups.push_back(group);
  }
}

std::string ObjFloatText(float value) {
  char text[32];
  const auto [end, fault] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, fault == std::errc() ? end : text);
}
