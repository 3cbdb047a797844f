// Drawing a model: the set-up each rendering context needs once (the
// perspective hint and the multitexture entry points), the cel-shaded normal
// pass with its outline, and the flat picking pass.
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <vector>

#include "framework/model/model.h"
#include "framework/ms3d/ms3d_internal.h"
#include "platform/platform.h"

namespace {

// What a context offers the models; found once per context, since another
// driver (or another pixel format) may answer differently.
struct ContextSetup {
  PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture = nullptr;
  bool Multitexture() const { return activeTexture != nullptr && clientActiveTexture != nullptr; }
};

// A 3 x 4 affine transform (column-major like the 4 x 4 matrices, without
// their last row).
using Affine = std::array<float, 12>;

Affine AffineOf(const Ms3dMatrix& m) {
  return {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10], m[12], m[13], m[14]};
}

Affine Multiply(const Affine& a, const Affine& b) {
  Affine r{};
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 3; ++row) {
      float sum =
          a[row] * b[column * 3] + a[3 + row] * b[column * 3 + 1] + a[6 + row] * b[column * 3 + 2];
      r[column * 3 + row] = column == 3 ? sum + a[9 + row] : sum;
    }
  }
  return r;
}

Ms3dVector Transform(const Affine& m, const Ms3dVector& v) {
  return {m[0] * v[0] + m[3] * v[1] + m[6] * v[2] + m[9],
          m[1] * v[0] + m[4] * v[1] + m[7] * v[2] + m[10],
          m[2] * v[0] + m[5] * v[1] + m[8] * v[2] + m[11]};
}

// The transposed rotation part applied to a direction.
Ms3dVector TransformBack(const Affine& m, const Ms3dVector& v) {
  return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
          m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

float Dot(const Ms3dVector& a, const Ms3dVector& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// What one drawing of the mesh works from: every vertex placed once (its
// joint's final matrix, then the model matrix, then the scale), per joint the
// light direction taken back into the joint's space, so that a normal as
// loaded (in its joint's space) dotted with it equals the placed normal
// dotted with the light, and the corners of every group's triangles, group
// after group, as the vertex arrays the passes draw from.
struct Frame {
  std::vector<Affine> placements;          // per joint, then one for vertices without a joint
  std::vector<Ms3dVector> lights;          // the same
  std::vector<Ms3dVector> placed;          // per vertex
  std::vector<Ms3dVector> positions;       // per corner
  std::vector<std::array<float, 2>> st;    // per corner, for unit 0
  std::vector<std::array<float, 2>> ramp;  // per corner, for unit 1: (max(0, n.l), 0)
};

// The index into the frame's per-joint tables of a vertex's joint.
size_t JointSlot(const Ms3dMesh& mesh, const Ms3dVertex& vertex) {
  return vertex.joint < mesh.joints.size() ? vertex.joint : mesh.joints.size();
}

void MakeFrame(const Ms3dMesh& mesh, const Ms3dMatrix& modelMatrix, float scale,
               const Ms3dVector& light, Frame& frame) {
  const Affine model = AffineOf(modelMatrix);
  frame.placements.clear();
  for (const Ms3dJoint& joint : mesh.joints) {
    frame.placements.push_back(Multiply(model, AffineOf(joint.final)));
  }
  frame.placements.push_back(model);
  frame.lights.clear();
  for (const Affine& placement : frame.placements) {
    frame.lights.push_back(TransformBack(placement, light));
  }
  frame.placed.clear();
  for (const Ms3dVertex& vertex : mesh.vertices) {
    const Ms3dVector placed = Transform(frame.placements[JointSlot(mesh, vertex)], vertex.position);
    frame.placed.push_back({placed[0] * scale, placed[1] * scale, placed[2] * scale});
  }
  frame.positions.clear();
  frame.st.clear();
  frame.ramp.clear();
  for (const Ms3dGroup& group : mesh.groups) {
    for (const uint16_t index : group.triangles) {
      const Ms3dTriangle& triangle = mesh.triangles[index];
      for (size_t corner = 0; corner < 3; ++corner) {
        const uint16_t vertex = triangle.vertices[corner];
        const Ms3dVector& light = frame.lights[JointSlot(mesh, mesh.vertices[vertex])];
        frame.positions.push_back(frame.placed[vertex]);
        frame.st.push_back(triangle.st[corner]);
        frame.ramp.push_back({std::max(0.0f, Dot(triangle.normals[corner], light)), 0.0f});
      }
    }
  }
}

// Context handles are never reused, so a context made after a rebuild (full
// screen on or off) is set up afresh. The frame is kept to reuse its memory.
struct RenderModule {
  std::map<PlatformGLContext, ContextSetup> contexts;
  Frame frame;
};

RenderModule render;

bool HasExtension(const GLubyte* list, std::string_view name) {
  if (list == nullptr) {
    return false;
  }
  const std::string_view extensions(reinterpret_cast<const char*>(list));
  for (size_t start = 0; start < extensions.size();) {
    const size_t end = std::min(extensions.find(' ', start), extensions.size());
    if (extensions.substr(start, end - start) == name) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// The current context's set-up, made the first time a model asks in it.
// Without a context of this platform there is nothing to draw into.
const ContextSetup& CurrentSetup() {
  static const ContextSetup none;
  const PlatformGLContext context = PlatformGLCurrentContext();
  if (context == 0) {
    return none;
  }
  auto found = render.contexts.find(context);
  if (found != render.contexts.end()) {
    return found->second;
  }
  ContextSetup setup;
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  if (HasExtension(glGetString(GL_EXTENSIONS), "GL_ARB_multitexture")) {
    setup.activeTexture =
        reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(PlatformGLProcAddress("glActiveTextureARB"));
    setup.clientActiveTexture = reinterpret_cast<PFNGLCLIENTACTIVETEXTUREARBPROC>(
        PlatformGLProcAddress("glClientActiveTextureARB"));
  }
  return render.contexts[context] = setup;
}

// Draws every group's corners from the frame's arrays, binding on unit 0
// each material's texture (or its second texture when picking) when it
// differs from the last one bound. Groups before the first material draw
// untextured rather than with whatever the caller had bound.
void DrawGroups(const Ms3dMesh& mesh, bool picking) {
  ModelTextureBind(nullptr);
  const Ms3dMaterial* bound = nullptr;
  GLint first = 0;
  for (const Ms3dGroup& group : mesh.groups) {
    if (group.material < mesh.materials.size() && &mesh.materials[group.material] != bound) {
      bound = &mesh.materials[group.material];
      ModelTextureBind(picking ? bound->pickImage : bound->image);
    }
    const auto corners = static_cast<GLsizei>(group.triangles.size() * 3);
    glDrawArrays(GL_TRIANGLES, first, corners);
    first += corners;
  }
}

// The arrays the passes draw from: positions, texture coordinates on unit 0
// and, when shading, the ramp coordinates on unit 1.
void SetArrays(const Frame& frame, const ContextSetup& gl, bool ramp) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, frame.positions.data());
  gl.clientActiveTexture(GL_TEXTURE1_ARB);
  if (ramp) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, frame.ramp.data());
  } else {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  gl.clientActiveTexture(GL_TEXTURE0_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 0, frame.st.data());
}

// The black outline: back faces as wide smooth lines, front faces culled, so
// that only the silhouette's edge shows around the shaded mesh.
void DrawOutline(const Ms3dMesh& mesh, const Frame& frame, const ContextSetup& gl) {
  SetArrays(frame, gl, false);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_BACK, GL_LINE);
  glLineWidth(2.0f);
  glCullFace(GL_FRONT);
  glDepthFunc(GL_LEQUAL);
  glColor3f(0.0f, 0.0f, 0.0f);
  DrawGroups(mesh, false);
}

// Unit 1 carries the ramp, untouched by the 2D drawing that uses unit 0 only.
void SetUpRampUnit(const ContextSetup& gl, const ModelTexture* ramp) {
  gl.activeTexture(GL_TEXTURE1_ARB);
  if (ramp != nullptr) {
    glEnable(GL_TEXTURE_2D);
    ModelTextureBind(ramp);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  gl.activeTexture(GL_TEXTURE0_ARB);
}

// The texture bound on each of the two units, put back afterwards.
struct Bindings {
  GLint unit0 = 0;
  GLint unit1 = 0;
};

Bindings SaveBindings(const ContextSetup& gl) {
  Bindings bindings;
  gl.activeTexture(GL_TEXTURE1_ARB);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bindings.unit1);
  gl.activeTexture(GL_TEXTURE0_ARB);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bindings.unit0);
  return bindings;
}

void RestoreBindings(const ContextSetup& gl, const Bindings& bindings) {
  gl.activeTexture(GL_TEXTURE1_ARB);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bindings.unit1));
  gl.activeTexture(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bindings.unit0));
}

}  // namespace

void Ms3dRenderReset() {
  render = RenderModule{};
}

void TMS3D::LoadShaderTexture(const std::string& fileName) {
  const ContextSetup& gl = CurrentSetup();
  ModelTextureRelease(shader_);
  if (gl.Multitexture()) {
    gl.activeTexture(GL_TEXTURE1_ARB);
  }
  shader_ = ModelTextureGet(display_, fileName, false, false, false);
  ModelTextureAddRef(shader_);
  if (gl.Multitexture()) {
    gl.activeTexture(GL_TEXTURE0_ARB);
  }
}

void TMS3D::Render(Ms3dRenderMode mode) {
  const ContextSetup& gl = CurrentSetup();
  if (!gl.Multitexture()) {
    return;
  }
  GLfloat modelview[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  Frame& frame = render.frame;
  MakeFrame(mesh_, modelMatrix_, scale_, {modelview[2], modelview[6], modelview[10]}, frame);
  const Bindings bindings = SaveBindings(gl);
  // Texturing of both units, depth testing and writing, the outline's
  // states, the current colour and the vertex arrays all return to what the
  // caller had.
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT | GL_LINE_BIT | GL_POLYGON_BIT |
               GL_COLOR_BUFFER_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  const bool picking = mode == Ms3dRenderMode::kPicking;
  SetArrays(frame, gl, !picking);
  SetUpRampUnit(gl, picking ? nullptr : shader_);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  // Textures show their own colours: the texel times the ramp, or the flat
  // pick colour exactly.
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  DrawGroups(mesh_, picking);
  if (!picking) {
    DrawOutline(mesh_, frame, gl);
  }
  glPopClientAttrib();
  glPopAttrib();
  RestoreBindings(gl, bindings);
}
