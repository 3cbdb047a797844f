// Fog of war: pictures laid over parts of a room that the player wipes away
// with strokes. Each layer keeps a mat saying which pixels are uncovered; a
// depth mesh built from the mat hides the picture there.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/utilities/utilities.h"
#include "game/game_internal.h"
#include "game/path.h"
#include "script/script.h"

namespace {

// A stroke marks its pixels with this index while it is drawn; fog mats have
// fewer entries, so the mark never names one of them.
constexpr uint8_t kStrokeMark = 128;
// The picture lies this far back, behind the cover mesh's uncovered quads.
constexpr float kPictureDepth = -120.0f;
// Objects drawing a layer are named "FogOfWar" + the layer's name.
constexpr size_t kObjectNamePrefix = 8;

struct FogLayer {
  std::string name;    // upper case
  std::string folder;  // ends in a backslash or slash
  Model* picture = nullptr;
  Model* cover = nullptr;
  Mat mat;
  int32_t clearIndex = -1;  // the last entry of blue 0; -1 when there is none
  bool canUncover = false;  // strokes can be drawn on the mat
};

std::vector<FogLayer> layers;

// The pictures of layers a reset removed, kept for a layer added again under
// the same name and folder: a loaded save adds back the layers the reset
// before it removed, and reading, tiling and uploading a room-sized picture
// again would cost most of the load. Pictures come from the game's own
// files, so a kept one equals what reading the file again gives.
struct KeptPicture {
  std::string name;    // upper case
  std::string folder;  // ends in a backslash or slash
  Model* picture = nullptr;
};

std::vector<KeptPicture> keptPictures;

std::string FolderWithSeparator(const std::string& folder) {
  return folder.ends_with('\\') || folder.ends_with('/') ? folder : folder + '\\';
}

std::string MatFileName(const FogLayer& layer) {
  return layer.folder + layer.name + ".mat";
}

// Takes the mat and finds its clear index. A mat that strokes cannot be drawn
// on is logged as `function`'s failure; it is still drawn and counted.
void LayerSetMat(FogLayer& layer, Mat&& mat, const std::string& function) {
  layer.mat = std::move(mat);
  layer.clearIndex = -1;
  for (size_t i = 0; i < layer.mat.entries.size(); ++i) {
    if ((layer.mat.entries[i].color & 0xFF) == 0) {
      layer.clearIndex = static_cast<int32_t>(i);
    }
  }
  layer.canUncover = false;
  if (!MatIsValid(layer.mat)) {
    return;  // the mat module logged why
  }
  if (layer.clearIndex < 0) {
    LogError(function + " - Fog mat \"" + MatFileName(layer) +
             "\" has no entry of blue 0; it cannot be uncovered.");
  } else if (layer.mat.entries.size() >= kStrokeMark) {
    LogError(function + " - Fog mat \"" + MatFileName(layer) + "\" has " +
             std::to_string(layer.mat.entries.size()) +
             " entries; a fog mat holds at most 127, so it cannot be uncovered.");
  } else {
    layer.canUncover = true;
  }
}

void LayerCloseModels(FogLayer& layer) {
  ModelClose(layer.picture);
  ModelClose(layer.cover);
}

// The kept picture of the layer's name and folder, or the picture file read.
Model* LayerTakePicture(const FogLayer& layer) {
  const auto kept = std::find_if(keptPictures.begin(), keptPictures.end(), [&](const auto& k) {
    return k.name == layer.name && k.folder == layer.folder;
  });
  if (kept != keptPictures.end()) {
    Model* picture = kept->picture;
    keptPictures.erase(kept);
    return picture;
  }
  Model* picture = ModelOpen(GamePrimaryDisplay(), layer.folder + layer.name + ".tga");
  ModelMove(picture, 0.0f, 0.0f, kPictureDepth);
  return picture;
}

// The layer of that name, added when missing, (re)named and with its
// picture; its mat and cover are the caller's to set.
FogLayer& LayerOpen(const std::string& name, const std::string& folder) {
  int32_t index = FogOfWarFind(name);
  if (index < 0) {
    layers.emplace_back();
    index = static_cast<int32_t>(layers.size()) - 1;
  }
  FogLayer& layer = layers[static_cast<size_t>(index)];
  LayerCloseModels(layer);
  layer.name = UtilitiesUpperCase(name);
  layer.folder = FolderWithSeparator(folder);
  layer.picture = LayerTakePicture(layer);
  return layer;
}

void KeepPicture(FogLayer& layer) {
  if (layer.picture == nullptr) {
    return;  // a picture that could not be read is tried again
  }
  for (KeptPicture& kept : keptPictures) {
    if (kept.name == layer.name && kept.folder == layer.folder) {
      ModelClose(kept.picture);
      kept.picture = std::exchange(layer.picture, nullptr);
      return;
    }
  }
  keptPictures.push_back({layer.name, layer.folder, std::exchange(layer.picture, nullptr)});
}

void LayerRebuildCover(FogLayer& layer) {
  ModelClose(layer.cover);
  layer.cover = RoomBuildDepthMesh(layer.mat, layer.folder + layer.name);
}

FogLayer* LayerOfObject(const std::string& objectName) {
  if (objectName.size() < kObjectNamePrefix) {
    return nullptr;
  }
  const int32_t index = FogOfWarFind(objectName.substr(kObjectNamePrefix));
  return index < 0 ? nullptr : &layers[static_cast<size_t>(index)];
}

// --- Strokes ---------------------------------------------------------------------

int32_t Sign(int64_t value) {
  return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

// The pixels a stroke changes: marks inside the mat, the outline's marks kept
// so that none is left behind.
class StrokeCanvas {
 public:
  StrokeCanvas(Mat& mat, uint8_t clearIndex) : mat_(mat), clearIndex_(clearIndex) {}

  bool Inside(PathPoint p) const {
    return p.x >= 0 && p.y >= 0 && p.x < mat_.width && p.y < mat_.height;
  }
  uint8_t& Pixel(PathPoint p) {
    return mat_.data[static_cast<size_t>(p.y) * static_cast<size_t>(mat_.width) +
                     static_cast<size_t>(p.x)];
  }
  // An outline pixel; pixels outside the mat are skipped.
  void Outline(PathPoint p) {
    if (Inside(p) && Pixel(p) != kStrokeMark) {
      Pixel(p) = kStrokeMark;
      outline_.push_back(p);
    }
  }
  void OutlineLine(PathPoint from, PathPoint to) {
    PathLineVisit(from, to, [this](PathPoint p) {
      Outline(p);
      return true;
    });
  }
  // Floods from the start through 4-neighbours over the pixels `qualifies`
  // accepts, setting each to `value`. Pixels are set when they are queued, so
  // each is queued once and the stack never outgrows the mat.
  template <typename Qualifies>
  void Flood(PathPoint start, Qualifies qualifies, uint8_t value) {
    if (!qualifies(Pixel(start))) {
      return;
    }
    Pixel(start) = value;
    std::vector<PathPoint> pending{start};
    while (!pending.empty()) {
      const PathPoint p = pending.back();
      pending.pop_back();
      for (const PathPoint next : {PathPoint{p.x - 1, p.y}, PathPoint{p.x + 1, p.y},
                                   PathPoint{p.x, p.y - 1}, PathPoint{p.x, p.y + 1}}) {
        if (Inside(next) && qualifies(Pixel(next))) {
          Pixel(next) = value;
          pending.push_back(next);
        }
      }
    }
  }
  void Fill(PathPoint start) {
    Flood(
        start, [](uint8_t index) { return index != kStrokeMark; }, kStrokeMark);
  }
  void Clear(PathPoint start) {
    Flood(
        start, [](uint8_t index) { return index == kStrokeMark; }, clearIndex_);
  }
  // Outline pixels the clear flood did not reach (thin strokes, or no start
  // inside the mat) belong to the stroke too.
  void ClearOutline() {
    for (const PathPoint p : outline_) {
      if (Pixel(p) == kStrokeMark) {
        Pixel(p) = clearIndex_;
      }
    }
  }

 private:
  Mat& mat_;
  uint8_t clearIndex_;
  std::vector<PathPoint> outline_;
};

// The circle error of a point relative to the centre.
int64_t CircleError(int64_t x, int64_t y, int64_t radiusSquared) {
  return std::abs(x * x + y * y - radiusSquared);
}

// A round cap: the half circle about `centre` from `from` through `via` to
// `to` (offsets from the centre, `to` = -`from`, `via` at a right angle to
// both, all three equally far from the centre). It is stepped pixel by pixel
// the way lines are, choosing the x-, y- or diagonal step along the circle's
// direction of travel with the smallest circle error; should the steps pass
// `to` without meeting it, a straight line joins the last one to it.
void OutlineCap(StrokeCanvas& canvas, PathPoint centre, PathPoint from, PathPoint to,
                PathPoint via) {
  const auto at = [centre](int64_t x, int64_t y) {
    return PathPoint{centre.x + static_cast<int32_t>(x), centre.y + static_cast<int32_t>(y)};
  };
  const int64_t radiusSquared = int64_t{from.x} * from.x + int64_t{from.y} * from.y;
  // Travel towards `via`: the sign of from x via.
  const int32_t turn = Sign(int64_t{from.x} * via.y - int64_t{from.y} * via.x);
  if (turn == 0) {
    canvas.OutlineLine(at(from.x, from.y), at(via.x, via.y));
    canvas.OutlineLine(at(via.x, via.y), at(to.x, to.y));
    return;
  }
  int64_t x = from.x;
  int64_t y = from.y;
  canvas.Outline(at(x, y));
  // A half circle takes fewer steps than its bounding box has pixels on its edge.
  const int64_t steps = 8 * (std::abs(int64_t{from.x}) + std::abs(int64_t{from.y})) + 8;
  for (int64_t step = 0; step < steps && (x != to.x || y != to.y); ++step) {
    const int32_t sx = turn * Sign(-y);
    const int32_t sy = turn * Sign(x);
    const int64_t ex = sx != 0 ? CircleError(x + sx, y, radiusSquared) : INT64_MAX;
    const int64_t ey = sy != 0 ? CircleError(x, y + sy, radiusSquared) : INT64_MAX;
    const int64_t ed = sx != 0 && sy != 0 ? CircleError(x + sx, y + sy, radiusSquared) : INT64_MAX;
    int64_t nx = x;
    int64_t ny = y;
    if (ex < ed && ex <= ey) {
      nx += sx;
    } else if (ex >= ed && ed <= ey) {
      nx += sx;
      ny += sy;
    } else {
      ny += sy;
    }
    if (nx * via.x + ny * via.y < 0) {
      break;  // past `to`: the line below closes the cap
    }
    x = nx;
    y = ny;
    canvas.Outline(at(x, y));
  }
  canvas.OutlineLine(at(x, y), at(to.x, to.y));
}

// Where the floods start: the points of the centre line inside the mat, in
// order. Thin strokes' outlines can pinch their inside into pieces, so each
// piece the line crosses gets its own start. When the line stays outside,
// the mat's pixel nearest to it, provided it lies clearly inside the side
// lines (`reach` from the segment), so that no fill starts outside the
// outline.
std::vector<PathPoint> FloodStarts(const Mat& mat, PathPoint p1, PathPoint p2, double reach) {
  std::vector<PathPoint> starts;
  PathPoint nearest = p1;
  int64_t nearestSquared = INT64_MAX;
  PathLineVisit(p1, p2, [&](PathPoint p) {
    const PathPoint q{std::clamp(p.x, 0, mat.width - 1), std::clamp(p.y, 0, mat.height - 1)};
    const int64_t squared = int64_t{p.x - q.x} * (p.x - q.x) + int64_t{p.y - q.y} * (p.y - q.y);
    if (squared == 0) {
      starts.push_back(p);
    } else if (squared < nearestSquared) {
      nearestSquared = squared;
      nearest = q;
    }
    return true;
  });
  if (!starts.empty()) {
    return starts;
  }
  const auto dx = static_cast<double>(p2.x - p1.x);
  const auto dy = static_cast<double>(p2.y - p1.y);
  const double t = std::clamp(
      ((nearest.x - p1.x) * dx + (nearest.y - p1.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  if (std::hypot(nearest.x - p1.x - t * dx, nearest.y - p1.y - t * dy) <= reach) {
    starts.push_back(nearest);
  }
  return starts;
}

// Cuts the segment to the box [lo, hi] in both axes; false when it misses
// the box. Points already inside stay exactly where they are.
bool ClipToBox(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2, int64_t lo, int64_t hi) {
  const auto inside = [lo, hi](int64_t x, int64_t y) {
    return x >= lo && x <= hi && y >= lo && y <= hi;
  };
  if (inside(x1, y1) && inside(x2, y2)) {
    return true;
  }
  const double dx = static_cast<double>(x2 - x1);
  const double dy = static_cast<double>(y2 - y1);
  double t0 = 0.0;
  double t1 = 1.0;
  const auto cut = [&t0, &t1](double p, double q) {
    if (p == 0.0) {
      return q >= 0.0;
    }
    const double t = q / p;
    if (p < 0.0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    return t0 <= t1;
  };
  const double fx = static_cast<double>(x1);
  const double fy = static_cast<double>(y1);
  const double flo = static_cast<double>(lo);
  const double fhi = static_cast<double>(hi);
  if (!cut(-dx, fx - flo) || !cut(dx, fhi - fx) || !cut(-dy, fy - flo) || !cut(dy, fhi - fy)) {
    return false;
  }
  const auto place = [&](double t, int64_t& x, int64_t& y) {
    x = std::clamp(std::llround(fx + t * dx), static_cast<long long>(lo),
                   static_cast<long long>(hi));
    y = std::clamp(std::llround(fy + t * dy), static_cast<long long>(lo),
                   static_cast<long long>(hi));
  };
  int64_t ex = x2;
  int64_t ey = y2;
  place(t1, ex, ey);
  place(t0, x1, y1);
  x2 = ex;
  y2 = ey;
  return true;
}

}  // namespace

// --- Layers ----------------------------------------------------------------------

void FogOfWarAdd(const std::string& name, const std::string& folder) {
  FogLayer& layer = LayerOpen(name, folder);
  Mat mat;
  MatOpen(MatFileName(layer), mat);
  LayerSetMat(layer, std::move(mat), "FogOfWarAdd");
  LayerRebuildCover(layer);
}

int32_t FogOfWarFind(const std::string& name) {
  const std::string upper = UtilitiesUpperCase(name);
  for (size_t i = 0; i < layers.size(); ++i) {
    if (layers[i].name == upper) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

void FogOfWarRemove(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= layers.size()) {
    return;
  }
  LayerCloseModels(layers[static_cast<size_t>(index)]);
  layers.erase(layers.begin() + index);
}

void FogOfWarClear() {
  for (FogLayer& layer : layers) {
    KeepPicture(layer);
    LayerCloseModels(layer);
  }
  layers.clear();
}

void FogOfWarClose() {
  FogOfWarClear();
  for (KeptPicture& kept : keptPictures) {
    ModelClose(kept.picture);
  }
  keptPictures.clear();
}

std::pair<int32_t, int32_t> FogOfWarCoverage(const std::string& name) {
  const int32_t index = FogOfWarFind(name);
  if (index < 0) {
    return {0, 0};
  }
  const FogLayer& layer = layers[static_cast<size_t>(index)];
  const auto uncovered = static_cast<int32_t>(
      layer.clearIndex < 0 ? 0
                           : std::count(layer.mat.data.begin(), layer.mat.data.end(),
                                        static_cast<uint8_t>(layer.clearIndex)));
  return {static_cast<int32_t>(layer.mat.data.size()) - uncovered, uncovered};
}

// --- Strokes ---------------------------------------------------------------------

void FogOfWarStroke(Mat& mat, uint8_t clearIndex, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    int32_t radius) {
  if (!MatIsValid(mat) || mat.entries.size() >= kStrokeMark || clearIndex >= mat.entries.size()) {
    return;
  }
  // No stroke needs a radius beyond the mat's diagonal; a negative one draws
  // the thinnest stroke.
  const auto diagonal = static_cast<int64_t>(
      std::ceil(std::hypot(static_cast<double>(mat.width), static_cast<double>(mat.height))));
  const int64_t r = std::clamp(int64_t{radius}, int64_t{0}, diagonal);
  int64_t ax = x1;
  int64_t ay = y1;
  int64_t bx = x2;
  int64_t by = y2;
  if (ax == bx && ay == by) {
    ++bx;
    ++by;
  }
  // Parts of the stroke this far from the mat cannot reach it; cutting them
  // off keeps every coordinate small and every line short.
  const int64_t margin = r + diagonal + 2;
  if (!ClipToBox(ax, ay, bx, by, -margin, std::max(mat.width, mat.height) + margin)) {
    return;
  }
  const int64_t dx = bx - ax;
  const int64_t dy = by - ay;
  int64_t n = std::llround(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
  n = n == 0 ? 1 : n;
  const auto ox = static_cast<int32_t>(r * dy / n);
  const auto oy = static_cast<int32_t>(r * dx / n);
  const PathPoint p1{static_cast<int32_t>(ax), static_cast<int32_t>(ay)};
  const PathPoint p2{static_cast<int32_t>(bx), static_cast<int32_t>(by)};

  StrokeCanvas canvas(mat, clearIndex);
  canvas.OutlineLine({p1.x - ox, p1.y + oy}, {p2.x - ox, p2.y + oy});
  canvas.OutlineLine({p1.x + ox, p1.y - oy}, {p2.x + ox, p2.y - oy});
  OutlineCap(canvas, p1, {-ox, oy}, {ox, -oy}, {-oy, -ox});
  OutlineCap(canvas, p2, {-ox, oy}, {ox, -oy}, {oy, ox});
  // The side lines lie this far from the centre line, their pixels within
  // half a pixel of it.
  const double sideDistance = static_cast<double>(int64_t{ox} * dy + int64_t{oy} * dx) /
                              std::hypot(static_cast<double>(dx), static_cast<double>(dy));
  const std::vector<PathPoint> starts = FloodStarts(mat, p1, p2, sideDistance - 1.0);
  for (const PathPoint start : starts) {
    canvas.Fill(start);
  }
  for (const PathPoint start : starts) {
    canvas.Clear(start);
  }
  canvas.ClearOutline();
}

void FogOfWarUncover(const std::string& name, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     int32_t radius) {
  const int32_t index = FogOfWarFind(name);
  if (index < 0) {
    return;
  }
  FogLayer& layer = layers[static_cast<size_t>(index)];
  if (!layer.canUncover) {
    return;
  }
  ModelClose(layer.cover);
  FogOfWarStroke(layer.mat, static_cast<uint8_t>(layer.clearIndex), x1, y1, x2, y2, radius);
  LayerRebuildCover(layer);
}

// --- Saving and loading ----------------------------------------------------------

namespace {

bool WriteInt(int32_t file, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  return DataFileDirectWrite(file, bytes, 4);
}

bool WriteString(int32_t file, const std::string& text) {
  const auto length = static_cast<int32_t>(text.size());
  return WriteInt(file, length) && (length == 0 || DataFileDirectWrite(file, text.data(), length));
}

bool ReadInt(int32_t file, int32_t& value) {
  uint8_t bytes[4] = {};
  if (!DataFileDirectRead(file, bytes, 4)) {
    return false;
  }
  value = static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

// A length the rest of the file cannot hold is damage, not an allocation.
bool ReadString(int32_t file, std::string& text) {
  int32_t length = 0;
  if (!ReadInt(file, length) || length < 0 ||
      length > DataFileDirectSize(file) - DataFileDirectTell(file)) {
    return false;
  }
  text.assign(static_cast<size_t>(length), '\0');
  return length == 0 || DataFileDirectRead(file, text.data(), length);
}

}  // namespace

namespace {

// Stroke marks left in the mat become the clear index. A finished stroke
// leaves none, so the search (memchr, many bytes at a time) finds nothing.
void ClearStrokeMarks(Mat& mat, uint8_t clearIndex) {
  uint8_t* const end = mat.data.data() + mat.data.size();
  for (uint8_t* at = mat.data.data(); at != end; ++at) {
    at = static_cast<uint8_t*>(std::memchr(at, kStrokeMark, static_cast<size_t>(end - at)));
    if (at == nullptr) {
      return;
    }
    *at = clearIndex;
  }
}

}  // namespace

bool FogOfWarSave(int32_t file) {
  // Layers whose mat could not be read have nothing to keep.
  int32_t count = 0;
  for (FogLayer& layer : layers) {
    if (layer.canUncover) {
      ClearStrokeMarks(layer.mat, static_cast<uint8_t>(layer.clearIndex));
    }
    count += MatIsValid(layer.mat) ? 1 : 0;
  }
  if (!WriteInt(file, count)) {
    return false;
  }
  for (const FogLayer& layer : layers) {
    if (MatIsValid(layer.mat) &&
        (!WriteString(file, layer.name) || !WriteString(file, layer.folder) ||
         MatDirectSave(file, layer.mat) != 3)) {
      return false;
    }
  }
  return true;
}

bool FogOfWarLoad(int32_t file) {
  int32_t count = 0;
  if (!ReadInt(file, count) || count < 0) {
    LogError("FogOfWarLoad - Unable to read the number of fog layers.");
    return false;
  }
  for (int32_t n = 1; n <= count; ++n) {
    // A layer is read whole before anything changes.
    std::string name;
    std::string folder;
    Mat mat;
    if (ReadString(file, name) && ReadString(file, folder)) {
      MatDirectOpen(file, mat);
    }
    if (!MatIsValid(mat)) {
      LogError("FogOfWarLoad - Unable to read fog layer " + std::to_string(n) + " of " +
               std::to_string(count) + ".");
      return false;
    }
    // A missing layer takes its picture alone from the files: its state is
    // the saved mat, and the cover is built once, from that.
    const int32_t index = FogOfWarFind(name);
    FogLayer& layer = index < 0 ? LayerOpen(name, folder) : layers[static_cast<size_t>(index)];
    LayerSetMat(layer, std::move(mat), "FogOfWarLoad");
    LayerRebuildCover(layer);
  }
  return true;
}

// --- Script callbacks and routines -----------------------------------------------

namespace {

// The cover mesh goes into the depth buffer only; the picture, further back,
// then shows only where the mesh lies behind it.
void RenderLayer(const FogLayer& layer) {
  glEnable(GL_DEPTH_TEST);
  if (layer.cover != nullptr) {
    RoomRenderDepthOnly(layer.cover);
  }
  ModelRender(layer.picture);
  glDisable(GL_DEPTH_TEST);
}

}  // namespace

void GameRegisterFogRenderCallback() {
  ScriptAppObjRenderRegister("AppRenderFogOfWar", [](const std::string& objectName) {
    if (const FogLayer* layer = LayerOfObject(objectName)) {
      RenderLayer(*layer);
    }
  });
}

void GameRegisterFogHitTest() {
  ScriptAppObjInObjectRegister("AppInObjectFogOfWar", [](const std::string& objectName, int32_t x,
                                                         int32_t y) {
    const FogLayer* layer = LayerOfObject(objectName);
    return layer != nullptr && x >= 0 && y >= 0 && x < layer->mat.width && y < layer->mat.height;
  });
}

void GameRegisterFogRoutines() {
  ScriptAppRoutineRegister("AppFogOfWarAdd", [](int32_t script, int32_t thread) {
    const std::string name = ScriptParamGetString(script, thread, 1);
    if (FogOfWarFind(name) < 0) {
      FogOfWarAdd(name, ScriptParamGetString(script, thread, 2));
    }
    return 1;
  });
  ScriptAppRoutineRegister("AppFogOfWarCoverage", [](int32_t script, int32_t thread) {
    const auto [covered, uncovered] = FogOfWarCoverage(ScriptParamGetString(script, thread, 1));
    ScriptParamSetInt(script, thread, 2, covered);
    ScriptParamSetInt(script, thread, 3, uncovered);
    return 1;
  });
  ScriptAppRoutineRegister("AppFogOfWarUncover", [](int32_t script, int32_t thread) {
    FogOfWarUncover(ScriptParamGetString(script, thread, 1), ScriptParamGetInt(script, thread, 2),
                    ScriptParamGetInt(script, thread, 3), ScriptParamGetInt(script, thread, 4),
                    ScriptParamGetInt(script, thread, 5), ScriptParamGetInt(script, thread, 6));
    return 1;
  });
}
