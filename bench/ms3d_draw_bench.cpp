// 3D models: one frame of 20 cel-shaded, outlined models of 2,000 triangles
// each (a sphere on a joint, two groups with their own textures, a two-step
// ramp) in a 1280 x 720 window, drawn by TMS3D::Render. The peer is a bare
// loop issuing the same OpenGL calls from arrays made in advance: the
// corners placed, the ramp coordinates lit, the groups' textures found.
//
// The calls go through the counting layer (gl_count.h). Timed twice, on this
// thread's CPU clock: forwarded to the driver (Mesa under Xvfb, finishing the
// frame) and stubbed (our code alone, the peer's being the loop's cost).
//
// Prints "ms3d-draw: ours X ms, peer Y ms, ratio R" (stubbed, medians per
// frame), the same forwarded with triangles per second, and the calls per
// frame of each.
#include <GL/gl.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/gl_count.h"
#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "platform/platform.h"
#include "tools/common/model_writer.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kModels = 20;
constexpr int32_t kSlices = 40;
constexpr int32_t kStacks = 25;  // 2 x 40 x 25 = 2,000 triangles
constexpr int32_t kFrames = 60;
constexpr float kPi = 3.14159265f;

std::string folder;

void WriteFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path path = folder + name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A checker of two colours (a ramp of two steps when one pixel high).
bool WriteImage(const std::string& name, int32_t width, int32_t height, uint32_t first,
                uint32_t second) {
  ImageFrame image;
  image.loaded = 1;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = 24;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      image.pixels.push_back(0xFF000000u | ((x + y) % 2 == 0 ? first : second));
    }
  }
  WriteFile(name, "");
  return ImageSave(folder + name, &image);
}

// A unit sphere of stacks x slices quads on one turned joint: the upper half
// and the lower half each a group with its own material.
MwModel Sphere() {
  MwModel model;
  MwJoint joint;
  joint.name = "ROOT";
  joint.rotation = {0.3f, 0.5f, 0.1f};
  model.joints.push_back(joint);
  for (int32_t stack = 0; stack <= kStacks; ++stack) {
    for (int32_t slice = 0; slice <= kSlices; ++slice) {
      const float polar = kPi * static_cast<float>(stack) / kStacks;
      const float azimuth = 2.0f * kPi * static_cast<float>(slice) / kSlices;
      MwVertex vertex;
      vertex.position = {std::sin(polar) * std::cos(azimuth), std::cos(polar),
                         std::sin(polar) * std::sin(azimuth)};
      vertex.joint = 0;
      model.vertices.push_back(vertex);
    }
  }
  model.groups.resize(2);
  model.groups[0].name = "UPPER";
  model.groups[0].material = 0;
  model.groups[1].name = "LOWER";
  model.groups[1].material = 1;
  for (int32_t stack = 0; stack < kStacks; ++stack) {
    for (int32_t slice = 0; slice < kSlices; ++slice) {
      const auto at = [](int32_t s, int32_t q) {
        return static_cast<uint16_t>(s * (kSlices + 1) + q);
      };
      const std::array<uint16_t, 4> quad = {at(stack, slice), at(stack + 1, slice),
                                            at(stack + 1, slice + 1), at(stack, slice + 1)};
      for (const std::array<int, 3> corners : {std::array<int, 3>{0, 1, 2}, {0, 2, 3}}) {
        MwTriangle triangle;
        for (size_t i = 0; i < 3; ++i) {
          const uint16_t index = quad[static_cast<size_t>(corners[i])];
          triangle.vertices[i] = index;
          triangle.normals[i] = model.vertices[index].position;
          triangle.s[i] = static_cast<float>(index % (kSlices + 1)) / kSlices;
          triangle.t[i] = static_cast<float>(index / (kSlices + 1)) / kStacks;
        }
        const size_t group = stack < kStacks / 2 ? 0 : 1;
        model.groups[group].triangles.push_back(static_cast<uint16_t>(model.triangles.size()));
        model.triangles.push_back(triangle);
      }
    }
  }
  model.materials.resize(2);
  model.materials[0].name = "BRASS";
  model.materials[0].texture = "brass.tga";
  model.materials[0].alphaMap = "pick1.tga";
  model.materials[1].name = "STEEL";
  model.materials[1].texture = "steel.tga";
  model.materials[1].alphaMap = "pick2.tga";
  // The file holds the positions in the file's space; the joint's turn is
  // undone at load and applied again when drawn.
  return model;
}

bool WriteContent() {
  std::string bytes;
  std::string error;
  if (!MwMs3dBytes(Sphere(), bytes, error)) {
    std::fprintf(stderr, "ms3d-draw: %s\n", error.c_str());
    return false;
  }
  WriteFile("Bin/Models/sphere.ms3d", bytes);
  return WriteImage("Bin/Models/brass.tga", 64, 64, 0xC09040, 0xA07020) &&
         WriteImage("Bin/Models/steel.tga", 64, 64, 0x8090A0, 0x607080) &&
         WriteImage("Bin/Models/pick1.tga", 4, 4, 0x102030, 0x102030) &&
         WriteImage("Bin/Models/pick2.tga", 4, 4, 0x405060, 0x405060) &&
         WriteImage("Bin/Models/shader.tga", 2, 1, 0x5A5A5A, 0xC8C8C8);
}

// --- Drawing ------------------------------------------------------------------------------

// Model n stands in row n / 5, column n % 5 of the view.
void Place(int32_t n) {
  glLoadIdentity();
  glTranslatef(-5.0f + 2.5f * static_cast<float>(n % 5), -3.6f + 2.4f * static_cast<float>(n / 5),
               -12.0f);
}

void BeginFrame(int32_t display) {
  GraphicsRenderBegin(display);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.8, 0.8, -0.45, 0.45, 1.0, 100.0);
  glMatrixMode(GL_MODELVIEW);
}

void OursFrame(const std::vector<std::unique_ptr<TMS3D>>& models) {
  for (int32_t n = 0; n < kModels; ++n) {
    Place(n);
    models[static_cast<size_t>(n)]->Render(Ms3dRenderMode::kNormal);
  }
}

// The peer's arrays: every corner of one model, group after group, and the
// groups' textures and corner counts.
struct Peer {
  PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture = nullptr;
  const ModelTexture* ramp = nullptr;
  std::vector<float> positions, st, rampCoordinates;  // 3, 2 and 2 floats per corner
  std::vector<const ModelTexture*> textures;          // per group
  std::vector<GLsizei> corners;                       // per group
};

// The arrays, from the mesh as loaded: the joint's final matrix applied to
// each position and normal, the light along the view's z axis (the views
// only translate).
Peer MakePeer(const TMS3D& model) {
  const Ms3dMesh& mesh = model.Mesh();
  const Ms3dMatrix& m = mesh.joints.at(0).final;
  Peer peer;
  peer.activeTexture =
      reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(PlatformGLProcAddress("glActiveTextureARB"));
  peer.clientActiveTexture = reinterpret_cast<PFNGLCLIENTACTIVETEXTUREARBPROC>(
      PlatformGLProcAddress("glClientActiveTextureARB"));
  peer.ramp = model.ShaderTexture();
  for (const Ms3dGroup& group : mesh.groups) {
    peer.textures.push_back(mesh.materials.at(group.material).image);
    peer.corners.push_back(static_cast<GLsizei>(group.triangles.size() * 3));
    for (uint16_t index : group.triangles) {
      const Ms3dTriangle& triangle = mesh.triangles[index];
      for (size_t corner = 0; corner < 3; ++corner) {
        const Ms3dVector& p = mesh.vertices[triangle.vertices[corner]].position;
        const Ms3dVector& n = triangle.normals[corner];
        peer.st.insert(peer.st.end(), {triangle.st[corner][0], triangle.st[corner][1]});
        peer.rampCoordinates.insert(
            peer.rampCoordinates.end(),
            {std::max(0.0f, m[2] * n[0] + m[6] * n[1] + m[10] * n[2]), 0.0f});
        for (int row = 0; row < 3; ++row) {
          peer.positions.push_back(m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] +
                                   m[12 + row]);
        }
      }
    }
  }
  return peer;
}

void PeerArrays(const Peer& peer, bool ramp) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, peer.positions.data());
  peer.clientActiveTexture(GL_TEXTURE1_ARB);
  if (ramp) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, peer.rampCoordinates.data());
  } else {
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  peer.clientActiveTexture(GL_TEXTURE0_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 0, peer.st.data());
}

void PeerGroups(const Peer& peer) {
  ModelTextureBind(nullptr);
  GLint first = 0;
  for (size_t group = 0; group < peer.corners.size(); ++group) {
    ModelTextureBind(peer.textures[group]);
    glDrawArrays(GL_TRIANGLES, first, peer.corners[group]);
    first += peer.corners[group];
  }
}

void PeerModel(const Peer& peer) {
  GLfloat modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  GLint bound[2];
  peer.activeTexture(GL_TEXTURE1_ARB);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound[1]);
  peer.activeTexture(GL_TEXTURE0_ARB);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound[0]);
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT | GL_LINE_BIT | GL_POLYGON_BIT |
               GL_COLOR_BUFFER_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  PeerArrays(peer, true);
  peer.activeTexture(GL_TEXTURE1_ARB);
  glEnable(GL_TEXTURE_2D);
  ModelTextureBind(peer.ramp);
  peer.activeTexture(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  PeerGroups(peer);
  PeerArrays(peer, false);
  glEnable(GL_LINE_SMOOTH);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_BACK, GL_LINE);
  glLineWidth(2.0f);
  glCullFace(GL_FRONT);
  glDepthFunc(GL_LEQUAL);
  glColor3f(0.0f, 0.0f, 0.0f);
  PeerGroups(peer);
  glPopClientAttrib();
  glPopAttrib();
  peer.activeTexture(GL_TEXTURE1_ARB);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound[1]));
  peer.activeTexture(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound[0]));
}

void PeerFrame(const Peer& peer) {
  for (int32_t n = 0; n < kModels; ++n) {
    Place(n);
    PeerModel(peer);
  }
}

// --- Timing -------------------------------------------------------------------------------

struct Timed {
  std::vector<double> seconds;
  uint64_t calls = 0;  // per frame
};

// Frames of one kind, forwarded (finished before the clock stops) or stubbed.
template <typename Draw>
Timed Time(int32_t display, bool forward, Draw draw) {
  Timed timed;
  for (int32_t frame = 0; frame < kFrames; ++frame) {
    BeginFrame(display);
    GlCountSetForward(forward);
    const uint64_t calls = GlCountTotal();
    const double start = ThreadCpuSeconds();
    draw();
    if (forward) {
      glFinish();
    }
    timed.seconds.push_back(ThreadCpuSeconds() - start);
    timed.calls = GlCountTotal() - calls;
    GlCountSetForward(true);
    GraphicsRenderEnd(display);
  }
  return timed;
}

void Print(const char* label, const Timed& ours, const Timed& peer) {
  const double oursMs = Median(ours.seconds) * 1e3;
  const double peerMs = Median(peer.seconds) * 1e3;
  std::printf("%s: ours %.3f ms, peer %.3f ms, ratio %.2f\n", label, oursMs, peerMs,
              peerMs > 0.0 ? oursMs / peerMs : 0.0);
}

}  // namespace

int main() {
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr || !PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "ms3d-draw: no folder or no display\n");
    return 1;
  }
  folder = std::string(pattern) + "/";
  PlatformSetProgramPath(folder + "game");
  PlatformSetParameters({"-userdatainapp", "-novsync"});
  DataFileStart();
  LogStart();
  ImageStart();
  ModelStart();
  GraphicsStart();
  Ms3dStart();
  PlatformWindowParams params;
  params.title = "ms3d-draw";
  params.width = kWidth;
  params.height = kHeight;
  params.opengl = true;
  const PlatformWindow window = PlatformWindowCreate(params);
  const int32_t display = GraphicsDisplayAdd(window, "Primary", 0);
  if (!WriteContent() || !GraphicsDisplayCreateRC(display)) {
    std::fprintf(stderr, "ms3d-draw: no content or no context (files in %s)\n", folder.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<TMS3D>> models;
  for (int32_t n = 0; n < kModels; ++n) {
    models.push_back(std::make_unique<TMS3D>(display));
    if (!models.back()->LoadFromFile("Bin\\Models\\sphere.ms3d")) {
      std::fprintf(stderr, "ms3d-draw: the model did not load (see %sresults.log)\n",
                   folder.c_str());
      return 1;
    }
    models.back()->LoadShaderTexture("Bin\\Models\\shader.tga");
  }
  const Peer peer = MakePeer(*models.front());
  const auto ours = [&models] { OursFrame(models); };
  const auto bare = [&peer] { PeerFrame(peer); };
  const Timed oursStubbed = Time(display, false, ours);
  const Timed peerStubbed = Time(display, false, bare);
  const Timed oursDriver = Time(display, true, ours);
  const Timed peerDriver = Time(display, true, bare);
  Print("ms3d-draw", oursStubbed, peerStubbed);
  Print("ms3d-draw with the driver", oursDriver, peerDriver);
  const double triangles = 2.0 * kSlices * kStacks * kModels;
  std::printf("ms3d-draw triangles per second with the driver: ours %.0f, peer %.0f\n",
              triangles / Median(oursDriver.seconds), triangles / Median(peerDriver.seconds));
  std::printf("ms3d-draw calls per frame: ours %llu, peer %llu\n",
              static_cast<unsigned long long>(oursStubbed.calls),
              static_cast<unsigned long long>(peerStubbed.calls));
  models.clear();
  Ms3dStop();
  GraphicsStop();
  ModelStop();
  ImageStop();
  LogStop();
  DataFileStop();
  PlatformStop();
  std::filesystem::remove_all(folder);
  return 0;
}
