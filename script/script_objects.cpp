// Script objects after reading: building their drawables, fonts and mats,
// linking cameras and scenes to their members, releasing what was built, and
// the objects' part of the animation step.
#include <cmath>
#include <limits>
#include <unordered_map>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "script/script_internal.h"

namespace {

constexpr float kDepth = -5.0f;           // where 2D objects are drawn
constexpr double kAnimationStep = 0.033;  // seconds per animation step

template <typename Visit>
void ForEachModel(FrameSet& set, Visit visit) {
  for (Frame& frame : set.frames) {
    for (Model*& model : frame.models) {
      visit(model);
    }
  }
}

// Opens every image of every frame as a model on the display, placed at the
// set's position; the set's size comes from the first image of frame
// `current` (from 1). Images that do not open leave an empty handle in their
// place, so models stay aligned with image names: building never fails.
void BuildFrameSet(FrameSet& set, int32_t display, int32_t current) {
  for (size_t i = 0; i < set.frames.size(); ++i) {
    Frame& frame = set.frames[i];
    if (!frame.matName.empty()) {
      MatOpen(frame.matName, frame.mat);
    }
    for (const std::string& image : frame.imageNames) {
      if (set.memory != 0) {
        DataFileCacheLoad(image);
      }
      Model* model = ModelOpen(display, image, set.blend != 0);
      if (set.memory != 0) {
        DataFileCacheFree(image);
      }
      if (static_cast<int64_t>(i) + 1 == current && frame.models.empty()) {
        set.width = ScriptRound(ModelWidth(model));
        set.height = ScriptRound(ModelHeight(model));
      }
      ModelMove(model, static_cast<float>(set.left), static_cast<float>(set.top), 0.0f);
      frame.models.push_back(model);
    }
  }
}

void ReleaseFrameSet(FrameSet& set) {
  for (Frame& frame : set.frames) {
    for (Model*& model : frame.models) {
      ModelClose(model);
    }
    frame.models.clear();
  }
}

// The font of a button's or label's text, and the text wrapped when the wrap
// width is above 0.
int32_t OpenTextFont(int32_t display, const std::string& fileName, int32_t wrapWidth,
                     const std::string& text, std::vector<std::string>& lines) {
  const int32_t font = FontOpen(display, fileName);
  if (wrapWidth > 0) {
    FontWrap(font, wrapWidth, text, lines);
  }
  return font;
}

void BuildButton(ObjButton& button, int32_t display) {
  BuildFrameSet(button.frames, display, button.frame);
  if (!button.fontFileName.empty()) {
    button.font = OpenTextFont(display, button.fontFileName, button.wrapWidth, button.text,
                               button.wrappedLines);
  }
}

// A rectangle of two triangles from (0, 0) to (width, height), placed at (left, top).
void BuildColor(ObjColor& color, int32_t display) {
  color.model = ModelNew(display, kModelCompilable);
  ModelSetName(color.model, "Script Color Object");
  const auto width = static_cast<float>(color.width);
  const auto height = static_cast<float>(color.height);
  ModelVertexSet(color.model, 0, 0.0f, 0.0f, kDepth);
  ModelVertexSet(color.model, 1, 0.0f, height, kDepth);
  ModelVertexSet(color.model, 2, width, height, kDepth);
  ModelVertexSet(color.model, 3, width, 0.0f, kDepth);
  ModelTriangle triangle;
  triangle.vertices = {0, 1, 2};
  ModelTriangleSet(color.model, 0, triangle);
  triangle.vertices = {0, 2, 3};
  ModelTriangleSet(color.model, 1, triangle);
  ModelCompile(color.model);
  ModelMove(color.model, static_cast<float>(color.left), static_cast<float>(color.top), 0.0f);
  ScriptModelColor(color.model, color.color, color.alpha);
}

void BuildImage(ObjImage& image, int32_t display) {
  BuildFrameSet(image.frames, display, image.frame);
  ScriptFrameSetColor(image.frames, image.color, image.alpha);
  ForEachModel(image.frames, [&image](Model* model) {
    ModelTranslate(model, static_cast<float>(image.offsetX), static_cast<float>(image.offsetY),
                   0.0f);
    ModelRotate(model, static_cast<float>(image.rotation));
    // The shift changed the vertices: compiled again, the image draws from
    // its display list instead of vertex by vertex.
    ModelCompile(model);
  });
}

void BuildList(ObjList& list, int32_t display) {
  list.font = FontOpen(display, list.fileName);
  if (!list.mat.empty()) {
    MatOpen(list.mat, list.decodedMat);
  }
  BuildFrameSet(list.cells, display, list.frame);
  ScriptFrameSetColor(list.cells, list.frameColor, 255);
  BuildFrameSet(list.overlays, display, list.frame);
}

// The texture's pixels map onto each triangle by its texture coordinates in
// texture pixels.
bool BuildAtex(ObjAtex& atex, int32_t display) {
  atex.textureRecord = ModelTextureGet(display, atex.texture, false, true, atex.blend != 0);
  const ModelSize size = ModelTextureSize(atex.textureRecord);
  if (size.width == 0 || size.height == 0) {
    atex.textureRecord = nullptr;
    LogError("ScriptCompileObjectAtex - Animated texture \"" + atex.texture +
             "\" has invalid size.  Animated texture not compiled.");
    return false;
  }
  // Held by the object as well as by its triangles, so that the texture goes
  // with the object even when it has no triangles.
  ModelTextureAddRef(atex.textureRecord);
  atex.model = ModelNew(display, kModelImmediate);
  ModelSetName(atex.model, "Script Atex Object");
  const auto width = static_cast<float>(size.width);
  const auto height = static_cast<float>(size.height);
  for (size_t k = 0; k < atex.triangles.triangles.size(); ++k) {
    const auto& values = atex.triangles.triangles[k];
    ModelTriangle triangle;
    triangle.textures = {{atex.textureRecord, 0}};
    for (int32_t corner = 0; corner < 3; ++corner) {
      const int32_t index = static_cast<int32_t>(3 * k) + corner;
      const int32_t* point = &values[4 * static_cast<size_t>(corner)];
      ModelVertexSet(atex.model, index, static_cast<float>(point[0]), static_cast<float>(point[1]),
                     kDepth);
      ModelTexCoordSet(atex.model, index, static_cast<float>(point[2]) / width,
                       static_cast<float>(point[3]) / height);
      triangle.vertices[corner] = index;
      triangle.texCoords[corner] = index;
    }
    ModelTriangleSet(atex.model, static_cast<int32_t>(k), triangle);
  }
  ModelCompile(atex.model);
  ModelMove(atex.model, static_cast<float>(atex.left), static_cast<float>(atex.top), 0.0f);
  ModelSetColor(atex.model, 255, 255, 255, static_cast<uint8_t>(atex.alpha));
  return true;
}

// The folder part of a content file name, with its trailing separator.
std::string FolderOf(const std::string& fileName) {
  const size_t separator = fileName.find_last_of("\\/");
  return separator == std::string::npos ? std::string{} : fileName.substr(0, separator + 1);
}

// The 3D model of the file on the display, with the cel-shading ramp
// "shader.tga" of the model's folder when there is one. A model that does
// not load is freed (its reader logged why) and fails the object.
bool BuildModel(ObjModel& model, int32_t display) {
  model.loaded = std::make_unique<TMS3D>(display);
  if (!model.loaded->LoadFromFile(model.modelFile)) {
    model.loaded.reset();
    return false;
  }
  const std::string ramp = FolderOf(model.modelFile) + "shader.tga";
  if (DataFileExists(ramp)) {
    model.loaded->LoadShaderTexture(ramp);
  }
  return true;
}

// Object indices by name, in object order: linking looks names up here
// rather than scanning every object for every name a file lists.
using NameIndex = std::unordered_map<std::string, std::vector<int32_t>>;

NameIndex IndexNames(const Script& script) {
  NameIndex index;
  for (size_t i = 0; i < script.objects.size(); ++i) {
    index[script.objects[i].name].push_back(static_cast<int32_t>(i));
  }
  return index;
}

// The objects of the names, name by name, that have the wanted kind.
template <typename Wanted>
std::vector<OrderedObject> Members(const Script& script, const NameIndex& index,
                                   const std::vector<std::string>& names, Wanted wanted) {
  std::vector<OrderedObject> members;
  for (const std::string& name : names) {
    const auto found = index.find(name);
    if (found == index.end()) {
      continue;
    }
    for (const int32_t object : found->second) {
      if (wanted(script.objects[static_cast<size_t>(object)])) {
        members.push_back({script.objects[static_cast<size_t>(object)].order, object});
      }
    }
  }
  ScriptSortByOrder(members);
  return members;
}

// Every object of the listed names that is neither a camera nor a model
// becomes a member, drawn and hit-tested only through the camera.
void LinkCamera(Script& script, const NameIndex& index, ObjCamera& camera) {
  camera.members = Members(script, index, camera.objectNames, [](const ObjEntry& object) {
    return object.type != kObjCamera && object.type != kObjModel;
  });
  for (const OrderedObject& member : camera.members) {
    script.objects[static_cast<size_t>(member.object)].ownedByGroup = 1;
  }
}

// The Model objects of the listed names, and the last Display object of the
// scene's display; a scene without model names looks for no display.
void LinkScene(const Script& script, const NameIndex& index, ObjScene& scene, uint8_t displayId) {
  MatOpen(scene.matFile, scene.mat);
  scene.members = Members(script, index, scene.modelNames,
                          [](const ObjEntry& object) { return object.type == kObjModel; });
  if (scene.modelNames.empty()) {
    return;
  }
  for (size_t i = 0; i < script.objects.size(); ++i) {
    if (script.objects[i].type == kObjDisplay && script.objects[i].displayId == displayId) {
      scene.display = static_cast<int32_t>(i);
    }
  }
}

// Buttons, colours, images and lists tell the listener of each step (code -1)
// while they are shown (and, buttons and lists, enabled).
bool AnimatesThroughListener(const ObjEntry& object) {
  switch (object.type) {
    case kObjButton:
      return object.button.visible != 0 && object.button.enabled != 0;
    case kObjColor:
      return object.color.visible != 0;
    case kObjImage:
      return object.image.visible != 0;
    case kObjList:
      return object.list.visible != 0 && object.list.enabled != 0;
    default:
      return false;
  }
}

// Moves the texture by one step of its velocity in texture pixels per second.
void ScrollAtex(ObjAtex& atex) {
  const ModelSize size = ModelTextureSize(atex.textureRecord);
  if (atex.visible != 0 && size.width > 0 && size.height > 0) {
    // In double before negating: a velocity of -2,147,483,648 has no int32 opposite.
    const double u = atex.uvelocity * kAnimationStep / size.width;
    const double v = atex.vvelocity * kAnimationStep / size.height;
    ModelTexCoordOffset(atex.model, static_cast<float>(-u), static_cast<float>(-v));
  }
}

bool BuildObject(Script& script, const NameIndex& names, ObjEntry& object) {
  const int32_t display = object.displayId;
  switch (object.type) {
    case kObjButton:
      BuildButton(object.button, display);
      return true;
    case kObjColor:
      BuildColor(object.color, display);
      return true;
    case kObjImage:
      BuildImage(object.image, display);
      return true;
    case kObjLabel:
      object.label.font = OpenTextFont(display, object.label.fileName, object.label.wrapWidth,
                                       object.label.text, object.label.wrappedLines);
      return true;
    case kObjList:
      BuildList(object.list, display);
      return true;
    case kObjPointer:
      BuildFrameSet(object.pointer.frames, display, object.pointer.frame);
      return true;
    case kObjSlider:
      BuildFrameSet(object.slider.track, display, object.slider.frameRange);
      BuildFrameSet(object.slider.thumb, display, object.slider.frameSlider);
      return true;
    case kObjMat:
      MatOpen(object.mat.fileName, object.mat.mat);
      return MatIsValid(object.mat.mat);
    case kObjAtex:
      return BuildAtex(object.atex, display);
    case kObjCamera:
      LinkCamera(script, names, object.camera);
      return true;
    case kObjScene:
      LinkScene(script, names, object.scene, object.displayId);
      return true;
    case kObjModel:
      return BuildModel(object.model, display);
    default:  // Display, Render, AppObj and unknown types: nothing to build
      return true;
  }
}

}  // namespace

int32_t ScriptRound(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  const double rounded = std::nearbyint(value);
  if (rounded <= std::numeric_limits<int32_t>::min()) {
    return std::numeric_limits<int32_t>::min();
  }
  if (rounded >= std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(rounded);
}

void ScriptModelColor(Model* model, int32_t color, int32_t alpha) {
  ModelSetColor(model, static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                static_cast<uint8_t>(color), static_cast<uint8_t>(alpha));
}

void ScriptFrameSetMoveTo(FrameSet& set, int32_t left, int32_t top) {
  const auto dx = static_cast<float>(static_cast<int64_t>(left) - set.left);
  const auto dy = static_cast<float>(static_cast<int64_t>(top) - set.top);
  ForEachModel(set, [dx, dy](Model* model) { ModelMove(model, dx, dy, 0.0f); });
  set.left = left;
  set.top = top;
}

void ScriptFrameSetColor(FrameSet& set, int32_t color, int32_t alpha) {
  ForEachModel(set, [color, alpha](Model* model) { ScriptModelColor(model, color, alpha); });
}

bool ScriptFrameSetSize(FrameSet& set, int32_t frame) {
  if (frame < 1 || frame > static_cast<int64_t>(set.frames.size())) {
    return false;
  }
  const Frame& chosen = set.frames[static_cast<size_t>(frame) - 1];
  if (!chosen.models.empty()) {
    set.width = ScriptRound(ModelWidth(chosen.models.front()));
    set.height = ScriptRound(ModelHeight(chosen.models.front()));
  }
  return true;
}

bool ScriptCompileAssets(Script& script) {
  const NameIndex names = IndexNames(script);
  for (ObjEntry& object : script.objects) {
    if (!BuildObject(script, names, object)) {
      return false;
    }
  }
  return true;
}

void ScriptReleaseAssets(Script& script) {
  for (ObjEntry& object : script.objects) {
    switch (object.type) {
      case kObjButton:
        ReleaseFrameSet(object.button.frames);
        break;
      case kObjImage:
        ReleaseFrameSet(object.image.frames);
        break;
      case kObjPointer:
        ReleaseFrameSet(object.pointer.frames);
        break;
      case kObjList:
        ReleaseFrameSet(object.list.cells);
        ReleaseFrameSet(object.list.overlays);
        break;
      case kObjSlider:
        ReleaseFrameSet(object.slider.track);
        ReleaseFrameSet(object.slider.thumb);
        break;
      case kObjColor:
        ModelClose(object.color.model);
        break;
      case kObjAtex:
        ModelClose(object.atex.model);
        ModelTextureRelease(object.atex.textureRecord);
        break;
      case kObjModel:
        object.model.loaded.reset();
        break;
      default:
        break;
    }
  }
}

// Listener calls and callbacks may close this very script: it is found again
// by id after each (ids are never reused), and the step ends when it is gone.
// The AppObj callback gets a copy of the name for the same reason.
void ScriptAnimateObjects(Script& script) {
  const int32_t id = script.id;
  for (ObjEntry& object : script.objects) {
    if (object.type == kObjAtex) {
      ScrollAtex(object.atex);
      continue;
    }
    if (AnimatesThroughListener(object)) {
      // The listener gets its own copy of the name on the stack first.
      ScriptListenerCall(script, -1, object.name);
    } else if (object.type == kObjAppObj && object.appObj.visible != 0 &&
               object.appObj.enabled != 0 && object.appObj.animate) {
      const ScriptAppObjAnimate animate = object.appObj.animate;
      animate(std::string(object.name));
    } else {
      continue;
    }
    if (ScriptFind(id) == nullptr) {
      return;
    }
  }
}
