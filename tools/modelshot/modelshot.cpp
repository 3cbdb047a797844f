// modelshot: draws a model file through the game's own 3D model code in a
// hidden window, set up the way a script scene draws its models, and saves
// the picture as a TGA file: a preview for authors, and pixels for tests.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "platform/platform.h"
#include "tools/common/tool.h"
#include "tools/common/toolframework.h"

namespace fs = std::filesystem;

namespace {

const char kTool[] = "modelshot";

const char kUsageText[] =
    "usage: modelshot [options] <model.ms3d|model.ltb|model.mpj> <out.tga>\n"
    "\n"
    "Draws the model with the game's 3D model code in a hidden window and saves\n"
    "the picture as a 24-bit TGA file. The view is a script scene's: a 45 degree\n"
    "perspective looking down -z from the eye at (0, 0, distance), the model's\n"
    "centre (the middle of its bounds) at the origin, turned by yaw about y\n"
    "first, then roll about z, then pitch about x, lit from the eye.\n"
    "\n"
    "--size WxH          the picture's size in pixels (default 512x512)\n"
    "--angles P,Y,R      pitch, yaw and roll in whole degrees (default 0,0,0)\n"
    "--distance D        the eye's distance from the centre (default: the model\n"
    "                    fills about nine tenths of the height)\n"
    "--pick              draw the picking colours (each material's second\n"
    "                    texture, flat) instead of the shaded model\n"
    "--ramp FILE         the shading ramp (default: shader.tga in the model's\n"
    "                    folder, as script scenes use it, when there is one)\n"
    "--background RRGGBB the colour around the model (default 000000)\n"
    "\n"
    "The exit status is 1 when the model cannot be read or drawn (the game's\n"
    "log line says why), 2 for a wrong command line.\n";

constexpr double kFieldOfView = 45.0;  // degrees, vertical, as script scenes have it
constexpr double kNear = 0.1;
constexpr double kFar = 10000.0;
constexpr int32_t kMaxSize = 4096;

struct Options {
  std::string model;
  std::string output;
  int32_t width = 512;
  int32_t height = 512;
  int32_t angles[3] = {0, 0, 0};  // pitch, yaw, roll
  double distance = 0.0;          // 0: fit the model
  bool pick = false;
  std::string ramp;
  uint32_t background = 0;
};

// Splits "a<separator>b..." into exactly `count` parts.
bool SplitInto(const std::string& text, char separator, size_t count,
               std::vector<std::string>& parts) {
  parts.clear();
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, separator)) {
    parts.push_back(part);
  }
  return parts.size() == count;
}

bool ParseAngle(const std::string& text, int32_t& angle) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!ToolParseNumber(negative ? text.substr(1) : text, 0, 360000, angle)) {
    return false;
  }
  angle = negative ? -angle : angle;
  return true;
}

bool ParseDistance(const std::string& text, double& distance) {
  try {
    size_t used = 0;
    distance = std::stod(text, &used);
    return used == text.size() && std::isfinite(distance) && distance > kNear && distance < kFar;
  } catch (const std::exception&) {
    return false;
  }
}

bool ParseColor(const std::string& text, uint32_t& color) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return false;
  }
  color = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
  return true;
}

bool ParseValue(const std::string& option, const std::string& value, Options& options,
                std::string& error) {
  std::vector<std::string> parts;
  bool ok = false;
  if (option == "--size") {
    ok = SplitInto(value, 'x', 2, parts) && ToolParseNumber(parts[0], 1, kMaxSize, options.width) &&
         ToolParseNumber(parts[1], 1, kMaxSize, options.height);
    error = "--size needs WxH, each 1 to 4096";
  } else if (option == "--angles") {
    ok = SplitInto(value, ',', 3, parts) && ParseAngle(parts[0], options.angles[0]) &&
         ParseAngle(parts[1], options.angles[1]) && ParseAngle(parts[2], options.angles[2]);
    error = "--angles needs three whole numbers of degrees: pitch,yaw,roll";
  } else if (option == "--distance") {
    ok = ParseDistance(value, options.distance);
    error = "--distance needs a number above 0.1 and below 10000";
  } else if (option == "--ramp") {
    options.ramp = value;
    ok = !value.empty();
    error = "--ramp needs a picture file";
  } else if (option == "--background") {
    ok = ParseColor(value, options.background);
    error = "--background needs six hex digits RRGGBB";
  }
  if (ok) {
    error.clear();
  }
  return ok;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--pick") {
      options.pick = true;
    } else if (arg == "--size" || arg == "--angles" || arg == "--distance" || arg == "--ramp" ||
               arg == "--background") {
      if (i + 1 == args.size() || !ParseValue(arg, args[++i], options, error)) {
        error = error.empty() ? arg + " needs a value" : error;
        return false;
      }
    } else if (arg.starts_with("--")) {
      error = "unknown option " + arg;
      return false;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    error = "a model file and a picture file are needed";
    return false;
  }
  options.model = fs::absolute(files[0]).string();
  options.output = files[1];
  return true;
}

// --- Drawing -----------------------------------------------------------------------------------

struct Bounds {
  float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                  std::numeric_limits<float>::max()};
  float high[3] = {std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
                   std::numeric_limits<float>::lowest()};
};

// The bounds of the vertices the triangles use, as drawn: each vertex moved
// by its joint's final matrix (the neutral pose gives back the file's place).
Bounds DrawnBounds(const Ms3dMesh& mesh) {
  Bounds bounds;
  for (const Ms3dTriangle& triangle : mesh.triangles) {
    for (const uint16_t index : triangle.vertices) {
      if (index >= mesh.vertices.size()) {
        continue;
      }
      const Ms3dVertex& vertex = mesh.vertices[index];
      Ms3dVector p = vertex.position;
      if (vertex.joint < mesh.joints.size()) {
        const Ms3dMatrix& m = mesh.joints[vertex.joint].final;
        p = {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12],
             m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
             m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
      }
      for (int k = 0; k < 3; ++k) {
        bounds.low[k] = std::min(bounds.low[k], p[k]);
        bounds.high[k] = std::max(bounds.high[k], p[k]);
      }
    }
  }
  if (bounds.low[0] > bounds.high[0]) {
    return Bounds{{0, 0, 0}, {0, 0, 0}};  // nothing is drawn
  }
  return bounds;
}

// The eye's distance at which a sphere around the bounds fills nine tenths
// of the picture's height (or width, when narrower).
double FitDistance(const Bounds& bounds, int32_t width, int32_t height) {
  double radius = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double half = (static_cast<double>(bounds.high[k]) - bounds.low[k]) / 2.0;
    radius += half * half;
  }
  radius = std::max(std::sqrt(radius), 1e-3);
  const double halfAngle = kFieldOfView / 2.0 * M_PI / 180.0;
  const double aspect = std::min(1.0, static_cast<double>(width) / height);
  return std::clamp(radius / (0.9 * std::tan(halfAngle) * aspect) + radius, kNear * 2, kFar / 2);
}

void SetUpView(const Options& options, const Bounds& bounds) {
  const double distance = options.distance > 0.0
                              ? options.distance
                              : FitDistance(bounds, options.width, options.height);
  const double halfHeight = kNear * std::tan(kFieldOfView / 2.0 * M_PI / 180.0);
  const double aspect = static_cast<double>(options.width) / options.height;
  glViewport(0, 0, options.width, options.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-halfHeight * aspect, halfHeight * aspect, -halfHeight, halfHeight, kNear, kFar);
  glTranslated(0.0, 0.0, -distance);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor4ub(255, 255, 255, 255);
  // As a script scene turns a model: the last rotation given is applied to
  // the vertices first, so yaw, then roll, then pitch.
  glRotatef(static_cast<float>(options.angles[0]), 1.0f, 0.0f, 0.0f);
  glRotatef(static_cast<float>(options.angles[2]), 0.0f, 0.0f, 1.0f);
  glRotatef(static_cast<float>(options.angles[1]), 0.0f, 1.0f, 0.0f);
  glTranslatef(-(bounds.low[0] + bounds.high[0]) / 2.0f, -(bounds.low[1] + bounds.high[1]) / 2.0f,
               -(bounds.low[2] + bounds.high[2]) / 2.0f);
}

// The window's pixels as 0xAARRGGBB, row 0 at the top.
std::vector<uint32_t> ReadPicture(int32_t width, int32_t height) {
  const std::vector<uint8_t> rgba = GraphicsReadPixels({0, 0, width, height});
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = &rgba[(static_cast<size_t>(height - 1 - y) * width + x) * 4];
      pixels[static_cast<size_t>(y) * width + x] =
          0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
  }
  return pixels;
}

// The modules the drawing needs on top of the tool's: images, models, the
// displays and the 3D models, stopped in reverse order.
class DrawingModules {
 public:
  DrawingModules() {
    ImageStart();
    ModelStart();
    GraphicsStart();
    Ms3dStart();
  }
  ~DrawingModules() {
    Ms3dStop();
    GraphicsStop();
    ModelStop();
    ImageStop();
  }
  DrawingModules(const DrawingModules&) = delete;
  DrawingModules& operator=(const DrawingModules&) = delete;
};

// Makes a hidden window of the picture's size with a rendering context; the
// display's id, or -1 after reporting why not.
int32_t OpenDisplay(const Options& options, PlatformWindow& window) {
  PlatformWindowParams params;
  params.title = kTool;
  params.width = options.width;
  params.height = options.height;
  params.opengl = true;
  params.hidden = true;
  window = PlatformWindowCreate(params);
  if (window == 0) {
    ToolFail(kTool, "cannot make a window: " + PlatformLastErrorText());
    return -1;
  }
  const int32_t display = GraphicsDisplayAdd(window, "Model", 0);
  if (!GraphicsDisplayCreateRC(display)) {
    ToolFail(kTool, "cannot make an OpenGL context: " + PlatformLastErrorText());
    return -1;
  }
  return display;
}

// Draws the model and saves the picture; false after reporting why not.
bool Shoot(const ToolFramework& framework, const Options& options, int32_t display) {
  TMS3D model(display);
  if (!model.LoadFromFile(options.model)) {
    ToolFail(options.model, framework.Errors());
    return false;
  }
  const std::string ramp = !options.ramp.empty()
                               ? fs::absolute(options.ramp).string()
                               : (fs::path(options.model).parent_path() / "shader.tga").string();
  if (!options.ramp.empty() || fs::exists(ramp)) {
    model.LoadShaderTexture(ramp);
    if (model.ShaderTexture() == nullptr) {
      ToolFail(options.ramp.empty() ? ramp : options.ramp, "cannot read the ramp picture");
      return false;
    }
  }
  const uint32_t c = options.background;
  glClearColor(static_cast<float>(c >> 16 & 0xFF) / 255.0f,
               static_cast<float>(c >> 8 & 0xFF) / 255.0f, static_cast<float>(c & 0xFF) / 255.0f,
               1.0f);
  GraphicsRenderBegin(display);
  SetUpView(options, DrawnBounds(model.Mesh()));
  model.Render(options.pick ? Ms3dRenderMode::kPicking : Ms3dRenderMode::kNormal);
  glFinish();
  const std::vector<uint32_t> pixels = ReadPicture(options.width, options.height);
  if (glGetError() != GL_NO_ERROR) {
    ToolFail(kTool, "drawing the model failed in OpenGL");
    return false;
  }
  return ToolSavePicture(options.output, options.width, options.height, pixels);
}

int Work(const Options& options) {
  ToolFramework framework(kTool, PlatformBackend::Sdl);
  DrawingModules modules;
  PlatformWindow window = 0;
  const int32_t display = OpenDisplay(options, window);
  const bool shot = display >= 0 && Shoot(framework, options, display);
  if (display >= 0) {
    GraphicsDisplayClose(display);
  }
  if (window != 0) {
    PlatformWindowDestroy(window);
  }
  return shot ? 0 : kToolFailure;
}

}  // namespace

int main(int argc, char** argv) {
  return ToolMain<Options>(argc, argv, kTool, kUsageText, ParseOptions, Work);
}
