// 3D models for script scenes: one textured mesh read from a MilkShape 3D
// file (".ms3d", version 4), a piece file (".ltb") or a project (".mpj")
// naming a neutral MilkShape mesh and its "MAN" animations. The mesh is drawn
// in its neutral pose, either normally (each material's texture, a cel-shading
// ramp on texture unit 1 and a black outline) or for picking (each material's
// second texture only, flat, so the colour under the pointer names the part).
// Animations are read and kept by name; they are not played.
//
// Matrices are column-major with the translation in elements 12-14, as OpenGL
// has them. Every function runs on the main thread with the model's display
// current when textures are loaded or the model is drawn.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ModelTexture;  // a texture of one display (framework/model)

// --- Module lifecycle -------------------------------------------------------------------------
void Ms3dStart();
void Ms3dStop();

// --- The mesh as read ---------------------------------------------------------------------------
constexpr uint8_t kMs3dNone = 255;  // joint or material index naming nothing

using Ms3dMatrix = std::array<float, 16>;
using Ms3dVector = std::array<float, 3>;

struct Ms3dVertex {
  uint8_t flags = 0;
  Ms3dVector position{};  // in its joint's space after loading (see the neutral pose)
  uint8_t joint = kMs3dNone;
  uint8_t references = 0;
};

struct Ms3dTriangle {
  uint16_t flags = 0;
  std::array<uint16_t, 3> vertices{};
  std::array<Ms3dVector, 3> normals{};       // one per corner
  std::array<std::array<float, 2>, 3> st{};  // (s, t) per corner
  uint8_t smoothingGroup = 0;
  uint8_t group = 0;
};

struct Ms3dGroup {
  uint8_t flags = 0;
  std::string name;                 // up to the first zero byte of its field
  std::vector<uint16_t> triangles;  // indices into the triangles
  uint8_t material = kMs3dNone;
};

struct Ms3dMaterial {
  std::string name;
  std::array<float, 4> ambient{};
  std::array<float, 4> diffuse{};
  std::array<float, 4> specular{};
  std::array<float, 4> emissive{};
  float shininess = 0.0f;
  float transparency = 0.0f;
  uint8_t mode = 0;
  std::string texture;                // file name as stored, relative to the model file's folder
  std::string alphaMap;               // the second (picking) texture's file name
  ModelTexture* image = nullptr;      // one reference, or none when it could not be loaded
  ModelTexture* pickImage = nullptr;  // one reference, or none
};

struct Ms3dKey {
  float time = 0.0f;
  Ms3dVector value{};  // rotation in radians, or position
};

// One joint's keys in one animation.
struct Ms3dJointKeys {
  std::vector<Ms3dKey> rotation;
  std::vector<Ms3dKey> position;
};

struct Ms3dJoint {
  uint8_t flags = 0;
  std::string name;
  std::string parentName;
  Ms3dVector rotation{};  // radians about x, y and z
  Ms3dVector position{};
  Ms3dJointKeys keys;   // the mesh file's own key frames
  int32_t parent = -1;  // index of the parent joint; -1 for a root
  Ms3dMatrix relative{};
  Ms3dMatrix absolute{};
  Ms3dMatrix final{};
};

// A named animation; joints[i] holds the keys of mesh joint i (empty when
// the animation file has no joint of that name).
struct Ms3dAnimation {
  std::string name;  // upper-cased key of the project
  float frameRate = 0.0f;
  float currentTime = 0.0f;
  int32_t frameCount = 0;
  std::vector<Ms3dJointKeys> joints;
};

struct Ms3dComment {
  int32_t index = 0;
  std::string text;
};

// The optional trailing sections of a MilkShape file, kept as read.
struct Ms3dExtras {
  bool hasComments = false;
  std::array<std::vector<Ms3dComment>, 4> comments;  // groups, materials, joints, model
  int32_t vertexExtraVersion = 0;                    // 0: section absent
  std::vector<uint8_t> vertexExtras;                 // 6, 10 or 14 bytes per vertex
  bool hasJointExtras = false;
  std::vector<uint8_t> jointExtras;  // 12 bytes per joint
  bool hasModelExtras = false;
  std::vector<uint8_t> modelExtras;  // 12 bytes
};

struct Ms3dMesh {
  std::vector<Ms3dVertex> vertices;
  std::vector<Ms3dTriangle> triangles;
  std::vector<Ms3dGroup> groups;
  std::vector<Ms3dMaterial> materials;
  float frameRate = 0.0f;
  float currentTime = 0.0f;
  int32_t frameCount = 0;
  std::vector<Ms3dJoint> joints;
  std::vector<Ms3dAnimation> animations;
  Ms3dExtras extras;
};

// --- Models -----------------------------------------------------------------------------------
enum class Ms3dRenderMode { kNormal, kPicking };

class TMS3D {
 public:
  // An empty model whose textures belong to the display.
  explicit TMS3D(int32_t display);
  // Releases the material textures and the ramp texture.
  ~TMS3D();
  TMS3D(const TMS3D&) = delete;
  TMS3D& operator=(const TMS3D&) = delete;

  // Reads the file its upper-cased extension names (".MS3D", ".LTB", ".MPJ");
  // false, with one log line naming the file and the item, for anything else
  // or a damaged file. The caller frees a model that failed to load.
  bool LoadFromFile(const std::string& fileName);
  // Takes the image as the cel-shading ramp (untiled, clamped, nearest),
  // releasing the previous one; a file that cannot be loaded leaves none.
  void LoadShaderTexture(const std::string& fileName);
  // Draws the mesh in the current matrices; nothing without multitexturing.
  void Render(Ms3dRenderMode mode);

  int32_t Display() const { return display_; }
  const std::string& FileName() const { return fileName_; }
  const Ms3dMesh& Mesh() const { return mesh_; }
  const ModelTexture* ShaderTexture() const { return shader_; }
  Ms3dMatrix& ModelMatrix() { return modelMatrix_; }

 private:
  void Clear();

  int32_t display_;
  std::string fileName_;
  Ms3dMesh mesh_;
  Ms3dMatrix modelMatrix_{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float scale_ = 1.0f;
  ModelTexture* shader_ = nullptr;
};
