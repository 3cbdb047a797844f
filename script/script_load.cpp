// The ".vmc" reader: a script's routine names, objects with their attribute
// blocks, listener and byte code, read field by field into the script record;
// then loading a script as a whole and closing it.
//
// Nothing read here allocates ahead of the bytes that back it: lists grow as
// their elements are read, and the code array is sized only when the file
// holds that many bytes, so a count of 2,147,483,647 in a short file costs no
// more than the file itself.
#include <algorithm>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/utilities/utilities.h"
#include "script/script_internal.h"

namespace {

constexpr int32_t kNewestVersion = 20;

bool ReadI32(int32_t file, int32_t& value) {
  uint8_t bytes[4];
  if (!DataFileReadExact(file, bytes, 4)) {
    return false;
  }
  value = static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

bool ReadU8(int32_t file, uint8_t& value) {
  return DataFileReadExact(file, &value, 1);
}

// One u8 length and that many bytes.
bool ScriptFileReadString(int32_t file, std::string& text) {
  uint8_t length = 0;
  if (!ReadU8(file, length)) {
    return false;
  }
  text.assign(length, '\0');
  return DataFileReadExact(file, text.data(), length);
}

// The fields of one attribute block, read for the reader named in its
// messages: a short read of attribute A logs
// "<reader> - Unable to read object attribute \"A\".".
class FieldReader {
 public:
  FieldReader(int32_t file, int32_t version, const char* reader)
      : file_(file), version_(version), reader_(reader) {}

  int32_t File() const { return file_; }
  int32_t Version() const { return version_; }
  // Present from file version `version` on.
  bool Since(int32_t version) const { return version_ >= version; }

  bool Int(const char* attribute, int32_t& value) const {
    return ReadI32(file_, value) || Missing(attribute);
  }
  bool Flag(const char* attribute, uint8_t& value) const {
    return ReadU8(file_, value) || Missing(attribute);
  }
  bool Text(const char* attribute, std::string& value) const {
    return ScriptFileReadString(file_, value) || Missing(attribute);
  }
  // Thousandths in the file, units in the record.
  bool Scaled(const char* attribute, float& value) const {
    int32_t thousandths = 0;
    if (!Int(attribute, thousandths)) {
      return false;
    }
    value = static_cast<float>(thousandths / 1000.0);
    return true;
  }
  // A count followed by that many upper-cased names; a short name read logs
  // "<reader> - Unable to read <what> <i> for <owner>.".
  bool Names(const char* countAttribute, const std::string& what, const std::string& owner,
             std::vector<std::string>& names) const {
    int32_t count = 0;
    if (!Int(countAttribute, count)) {
      return false;
    }
    for (int32_t i = 0; i < count; ++i) {
      std::string name;
      if (!ScriptFileReadString(file_, name)) {
        return Fail("Unable to read " + what + " " + std::to_string(i) + " for " + owner + ".");
      }
      names.push_back(UtilitiesUpperCase(name));
    }
    return true;
  }

  bool Fail(const std::string& message) const {
    LogError(std::string(reader_) + " - " + message);
    return false;
  }
  bool Missing(const std::string& attribute) const {
    return Fail("Unable to read object attribute \"" + attribute + "\".");
  }

 private:
  int32_t file_;
  int32_t version_;
  const char* reader_;
};

// --- Frame sets and triangles ------------------------------------------------------------

bool ScriptFileReadFrames(int32_t file, FrameSet& set, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadFrames");
  int32_t count = 0;
  if ((in.Since(2) && !in.Flag("blend", set.blend)) ||
      (in.Since(3) && !in.Flag("memory", set.memory)) || !in.Int("frameCount", count)) {
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    const std::string frameName = "Unable to read object frame " + std::to_string(i);
    Frame frame;
    int32_t images = 0;
    if (in.Since(8) && !ScriptFileReadString(file, frame.matName)) {
      return in.Fail(frameName + " mat.");
    }
    if (!ReadI32(file, images)) {
      return in.Fail(frameName + " image count.");
    }
    for (int32_t j = 0; j < images; ++j) {
      std::string image;
      if (!ScriptFileReadString(file, image)) {
        return in.Fail(frameName + " image " + std::to_string(j) + " count.");
      }
      frame.imageNames.push_back(std::move(image));
    }
    set.frames.push_back(std::move(frame));
  }
  return true;
}

bool ScriptFileReadTriangles(int32_t file, TrianglesData& data, int32_t version) {
  static constexpr const char* kCoordinates[12] = {"x1", "y1", "u1", "v1", "x2", "y2",
                                                   "u2", "v2", "x3", "y3", "u3", "v3"};
  const FieldReader in(file, version, "ScriptFileReadTriangles");
  int32_t count = 0;
  if (!in.Int("triangleCount", count)) {
    return false;
  }
  for (int32_t k = 0; k < count; ++k) {
    std::array<int32_t, 12> triangle{};
    for (size_t c = 0; c < triangle.size(); ++c) {
      if (!in.Int(kCoordinates[c], triangle[c])) {
        return false;
      }
    }
    data.triangles.push_back(triangle);
  }
  return true;
}

// --- Attribute blocks -------------------------------------------------------------------------

// Buttons, images, lists and sliders: left and top become the position of
// every frame set the object has.
bool ReadPosition(const FieldReader& in, std::initializer_list<FrameSet*> sets) {
  int32_t left = 0;
  int32_t top = 0;
  if (!in.Int("left", left) || !in.Int("top", top)) {
    return false;
  }
  for (FrameSet* set : sets) {
    set->left = left;
    set->top = top;
  }
  return true;
}

bool ScriptFileReadObjectButton(int32_t file, ObjButton& button, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectButton");
  if (!ReadPosition(in, {&button.frames}) || !in.Int("frame", button.frame) ||
      !in.Flag("visible", button.visible) || !in.Flag("enabled", button.enabled)) {
    return false;
  }
  button.frames.originLeft = button.frames.left;
  button.frames.originTop = button.frames.top;
  if (in.Since(11) &&
      (!in.Text("font file name", button.fontFileName) || !in.Text("text", button.text) ||
       !in.Int("color", button.color) || !in.Int("wrapWidth", button.wrapWidth))) {
    return false;
  }
  return ScriptFileReadFrames(file, button.frames, version);
}

bool ScriptFileReadObjectColor(int32_t file, ObjColor& color, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectColor");
  return in.Int("left", color.left) && in.Int("top", color.top) && in.Int("width", color.width) &&
         in.Int("height", color.height) && in.Int("color", color.color) &&
         in.Int("alpha", color.alpha) && in.Flag("visible", color.visible) &&
         in.Flag("enabled", color.enabled);
}

bool ScriptFileReadObjectDisplay(int32_t file, ObjDisplay& display, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectDisplay");
  return in.Int("width", display.width) && in.Int("height", display.height) &&
         (!in.Since(2) || in.Int("viewMode", display.viewMode));
}

bool ScriptFileReadObjectImage(int32_t file, ObjImage& image, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectImage");
  return ReadPosition(in, {&image.frames}) && in.Int("rotation", image.rotation) &&
         in.Int("frame", image.frame) && in.Flag("visible", image.visible) &&
         in.Int("alpha", image.alpha) &&
         (!in.Since(13) ||
          (in.Int("offsetX", image.offsetX) && in.Int("offsetY", image.offsetY))) &&
         (!in.Since(18) || in.Int("color", image.color)) &&
         ScriptFileReadFrames(file, image.frames, version);
}

bool ScriptFileReadObjectLabel(int32_t file, ObjLabel& label, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectLabel");
  return in.Int("left", label.left) && in.Int("top", label.top) &&
         in.Text("file name", label.fileName) && in.Int("color", label.color) &&
         (!in.Since(9) || in.Flag("alpha", label.alpha)) && in.Text("text", label.text) &&
         in.Flag("visible", label.visible) &&
         (!in.Since(4) || in.Int("wrapWidth", label.wrapWidth)) &&
         (!in.Since(10) || in.Int("wrapHeight", label.wrapHeight)) &&
         (!in.Since(4) || in.Int("wrapLineOffset", label.wrapLineOffset)) &&
         (!in.Since(10) || in.Int("firstLine", label.firstLine)) &&
         (!in.Since(14) || in.Int("align", label.align));
}

// "HORIZONTAL" or "VERTICAL" in any letter case, stored upper-cased.
bool ReadListKind(const FieldReader& in, std::string& kind) {
  if (!in.Text("kind", kind)) {
    return false;
  }
  kind = UtilitiesUpperCase(kind);
  return kind == "HORIZONTAL" || kind == "VERTICAL" ||
         in.Fail("Unrecognized value \"" + kind + "\" for object attribute \"kind\".");
}

bool ScriptFileReadObjectList(int32_t file, ObjList& list, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectList");
  list.textMode = version >= 5 ? 2 : 0;  // files before version 10 have no textMode
  return ReadPosition(in, {&list.cells, &list.overlays}) && ReadListKind(in, list.kind) &&
         in.Text("file name", list.fileName) && in.Int("color", list.color) &&
         in.Int("colorSelected", list.colorSelected) && in.Int("frame", list.frame) &&
         in.Int("frameSelected", list.frameSelected) &&
         in.Int("frameMouseOver", list.frameMouseOver) &&
         (!in.Since(19) || in.Int("frameColor", list.frameColor)) &&
         in.Int("cellCount", list.cellCount) && in.Flag("visible", list.visible) &&
         in.Flag("enabled", list.enabled) && in.Text("mat", list.mat) &&
         (!in.Since(4) ||
          (in.Int("textOffsetX", list.textOffsetX) && in.Int("textOffsetY", list.textOffsetY))) &&
         (!in.Since(5) || in.Int("textWidth", list.textWidth)) &&
         (!in.Since(10) || in.Flag("textMode", list.textMode)) &&
         ScriptFileReadFrames(file, list.cells, version) &&
         (!in.Since(7) || ScriptFileReadFrames(file, list.overlays, version));
}

bool ScriptFileReadObjectPointer(int32_t file, ObjPointer& pointer, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectPointer");
  return in.Int("frame", pointer.frame) && in.Flag("visible", pointer.visible) &&
         (!in.Since(16) ||
          (in.Flag("fadeOnIdle", pointer.fadeOnIdle) && in.Int("fadeDelay", pointer.fadeDelay) &&
           in.Int("fadeDuration", pointer.fadeDuration))) &&
         (!in.Since(17) ||
          (in.Int("clickX", pointer.clickX) && in.Int("clickY", pointer.clickY))) &&
         ScriptFileReadFrames(file, pointer.frames, version);
}

bool ScriptFileReadObjectSlider(int32_t file, ObjSlider& slider, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectSlider");
  return ReadPosition(in, {&slider.track, &slider.thumb}) &&
         in.Int("frameRange", slider.frameRange) && in.Int("frameSlider", slider.frameSlider) &&
         in.Int("minValue", slider.minValue) && in.Int("maxValue", slider.maxValue) &&
         in.Int("value", slider.value) && in.Int("sliderType", slider.sliderType) &&
         in.Flag("visible", slider.visible) && in.Flag("enabled", slider.enabled) &&
         (!in.Since(15) ||
          (in.Int("pageType", slider.pageType) && in.Int("pageSize", slider.pageSize))) &&
         ScriptFileReadFrames(file, slider.track, version) &&
         ScriptFileReadFrames(file, slider.thumb, version);
}

bool ScriptFileReadObjectMat(int32_t file, ObjMat& mat, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectMat");
  return in.Int("left", mat.left) && in.Int("top", mat.top) && in.Flag("enabled", mat.enabled) &&
         in.Text("file name", mat.fileName);
}

bool ScriptFileReadObjectRender(int32_t file, ObjRender& render, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectRender");
  return in.Text("appRoutineName", render.appRoutineName);
}

bool ScriptFileReadObjectAtex(int32_t file, ObjAtex& atex, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectAtex");
  return in.Int("left", atex.left) && in.Int("top", atex.top) && in.Int("alpha", atex.alpha) &&
         in.Flag("visible", atex.visible) && in.Text("texture", atex.texture) &&
         in.Flag("blend", atex.blend) && in.Int("uvelocity", atex.uvelocity) &&
         in.Int("vvelocity", atex.vvelocity) &&
         (!in.Since(19) || (in.Int("uScale", atex.uScale) && in.Int("vScale", atex.vScale))) &&
         ScriptFileReadTriangles(file, atex.triangles, version);
}

// The callbacks are looked up once, here; a name nobody registered gives none.
bool ScriptFileReadObjectAppObj(int32_t file, ObjAppObj& appObj, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectAppObj");
  if (!in.Flag("enabled", appObj.enabled) || !in.Flag("visible", appObj.visible) ||
      !in.Text("scriptAnimate", appObj.scriptAnimate) ||
      !in.Text("scriptInObject", appObj.scriptInObject) ||
      !in.Text("scriptRender", appObj.scriptRender)) {
    return false;
  }
  appObj.animate = ScriptAppObjAnimateFind(appObj.scriptAnimate);
  appObj.inObject = ScriptAppObjInObjectFind(appObj.scriptInObject);
  appObj.render = ScriptAppObjRenderFind(appObj.scriptRender);
  return true;
}

bool ScriptFileReadObjectCamera(int32_t file, ObjCamera& camera, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectCamera");
  return in.Flag("enabled", camera.enabled) && in.Int("viewLeft", camera.viewLeft) &&
         in.Int("viewTop", camera.viewTop) && in.Int("viewWidth", camera.viewWidth) &&
         in.Int("viewHeight", camera.viewHeight) && in.Int("cameraX", camera.cameraX) &&
         in.Int("cameraY", camera.cameraY) &&
         in.Names("objectCount", "object name", "camera", camera.objectNames);
}

bool ScriptFileReadObjectScene(int32_t file, ObjScene& scene, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectScene");
  return in.Flag("enabled", scene.enabled) && in.Scaled("x", scene.x) && in.Scaled("y", scene.y) &&
         in.Scaled("z", scene.z) && in.Text("matFile", scene.matFile) &&
         in.Names("modelCount", "model name", "scene", scene.modelNames);
}

bool ScriptFileReadObjectModel(int32_t file, ObjModel& model, int32_t version) {
  const FieldReader in(file, version, "ScriptFileReadObjectModel");
  return in.Flag("enabled", model.enabled) && in.Flag("visible", model.visible) &&
         in.Scaled("x", model.x) && in.Scaled("y", model.y) && in.Scaled("z", model.z) &&
         in.Int("pitch", model.pitch) && in.Int("yaw", model.yaw) && in.Int("roll", model.roll) &&
         in.Text("modelFile", model.modelFile);
}

// The block of the object's type; a type outside 0-14 has none.
bool ReadAttributes(int32_t file, ObjEntry& object, int32_t version) {
  switch (object.type) {
    case kObjButton:
      return ScriptFileReadObjectButton(file, object.button, version);
    case kObjColor:
      return ScriptFileReadObjectColor(file, object.color, version);
    case kObjDisplay:
      return ScriptFileReadObjectDisplay(file, object.display, version);
    case kObjImage:
      return ScriptFileReadObjectImage(file, object.image, version);
    case kObjLabel:
      return ScriptFileReadObjectLabel(file, object.label, version);
    case kObjList:
      return ScriptFileReadObjectList(file, object.list, version);
    case kObjPointer:
      return ScriptFileReadObjectPointer(file, object.pointer, version);
    case kObjSlider:
      return ScriptFileReadObjectSlider(file, object.slider, version);
    case kObjMat:
      return ScriptFileReadObjectMat(file, object.mat, version);
    case kObjRender:
      return ScriptFileReadObjectRender(file, object.render, version);
    case kObjAtex:
      return ScriptFileReadObjectAtex(file, object.atex, version);
    case kObjAppObj:
      return ScriptFileReadObjectAppObj(file, object.appObj, version);
    case kObjCamera:
      return ScriptFileReadObjectCamera(file, object.camera, version);
    case kObjScene:
      return ScriptFileReadObjectScene(file, object.scene, version);
    case kObjModel:
      return ScriptFileReadObjectModel(file, object.model, version);
    default:
      return true;
  }
}

// --- The file as a whole -------------------------------------------------------------------

bool Fail(const std::string& message) {
  LogError("ScriptFileLoad - " + message);
  return false;
}

bool ReadAppRoutineNames(int32_t file, Script& script) {
  int32_t count = 0;
  if (!ReadI32(file, count)) {
    return Fail("Unable to read app routine count.");
  }
  for (int32_t i = 0; i < count; ++i) {
    std::string name;
    if (!ScriptFileReadString(file, name)) {
      return Fail("Unable to read app routine " + std::to_string(i) + ".");
    }
    script.appRoutineNames.push_back(std::move(name));
  }
  return true;
}

bool ReadObject(int32_t file, Script& script, int32_t index) {
  ObjEntry& object = script.objects.emplace_back();
  script.drawOrder.push_back({0, index});
  const std::string prefix = "Unable to read object " + std::to_string(index);
  if (!ReadI32(file, object.type)) {
    return Fail(prefix + " type.");
  }
  if (!ScriptFileReadString(file, object.name)) {
    return Fail(prefix + " name.");
  }
  object.name = UtilitiesUpperCase(object.name);
  if (!ReadU8(file, object.displayId)) {
    return Fail(prefix + " display ID.");
  }
  if (script.version >= 4) {
    if (!ReadI32(file, object.order)) {
      return Fail("Unable to read object attribute \"order\".");
    }
    script.drawOrder.back().order = object.order;
  }
  return ReadAttributes(file, object, script.version);
}

bool ReadObjects(int32_t file, Script& script) {
  int32_t count = 0;
  if (!ReadI32(file, count)) {
    return Fail("Unable to read object count.");
  }
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadObject(file, script, i)) {
      return false;
    }
  }
  ScriptSortByOrder(script.drawOrder);
  return true;
}

// The code array is sized only once the file is known to hold the count.
bool ReadCode(int32_t file, Script& script) {
  int32_t count = 0;
  if (!ReadU8(file, script.listenerEnabled)) {
    return Fail("Unable to read listener information.");
  }
  if (!ReadI32(file, script.listenerAddress)) {
    return Fail("Unable to read listener address information.");
  }
  if (!ReadI32(file, count)) {
    return Fail("Unable to read code count.");
  }
  if (count < 0 || count > DataFileSize(file) - DataFileTell(file)) {
    return Fail("Unable to read " + std::to_string(count) + " bytes of code.");
  }
  script.code.resize(static_cast<size_t>(count));
  if (!DataFileReadExact(file, script.code.data(), count)) {
    return Fail("Unable to read " + std::to_string(count) + " bytes of code.");
  }
  return true;
}

// A file read into a script that already holds one replaces what it held.
bool ReadScript(int32_t file, Script& script) {
  ScriptReleaseAssets(script);
  script.appRoutineNames.clear();
  script.objects.clear();
  script.drawOrder.clear();
  script.code.clear();
  if (!ReadI32(file, script.version)) {
    return Fail("Unable to read version number.");
  }
  if (script.version > kNewestVersion) {
    return Fail("Script uses unsupported features.  Script requires version " +
                std::to_string(script.version) + ".  Module supports up to " +
                std::to_string(kNewestVersion) + ".");
  }
  return ReadAppRoutineNames(file, script) && ReadObjects(file, script) && ReadCode(file, script);
}

}  // namespace

bool ScriptFileLoad(int32_t id, const std::string& fileName) {
  Script* script = ScriptFind(id);
  if (script == nullptr) {
    return Fail("Invalid script ID for script file \"" + fileName + "\".");
  }
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    return Fail("Unable to open script file \"" + fileName + "\".");
  }
  script->fileName = fileName;
  const bool read = ReadScript(file, *script);
  DataFileClose(file);
  if (!read) {
    return false;
  }
  ScriptDebugLinesLoad(*script);
  if (!ScriptCompileAssets(*script)) {
    return Fail("Unable to compile script assets for script file \"" + fileName + "\".");
  }
  ScriptThreadStart(*script, 0, 0);
  return true;
}

int32_t ScriptLoad(const std::string& fileName) {
  const int32_t id = ScriptNew();
  if (!ScriptFileLoad(id, fileName)) {
    ScriptClose(id);
    return 0;
  }
  return id;
}

void ScriptClose(int32_t id) {
  Script* script = ScriptFind(id);
  if (script == nullptr) {
    return;
  }
  ScriptReleaseAssets(*script);
  std::erase_if(ScriptTable(),
                [script](const std::unique_ptr<Script>& entry) { return entry.get() == script; });
}
