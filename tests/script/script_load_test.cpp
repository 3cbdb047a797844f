// Reading ".vmc" files: every object type in every file version against the
// writer, every truncation and absurd count, the draw order, the links of
// cameras and scenes, the assets built from the records, and closing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/model/model_internal.h"
#include "tests/script/script_fixture.h"
#include "tests/support/allocation_probe.h"
#include "tools/common/model_writer.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int32_t kMax = 2147483647;

// --- Scripts of every object type ----------------------------------------------------------

VmcFrameSet Frames(std::vector<VmcFrame> frames, uint8_t blend = 1, uint8_t memory = 1) {
  return {blend, memory, std::move(frames)};
}

// One object of each type, every field away from its default, so that a
// field read into the wrong place or defaulted wrongly shows. Model objects
// (type 14) need model files and have tests of their own.
std::vector<VmcObject> EveryType(uint8_t display) {
  std::vector<VmcObject> objects;
  const auto add = [&](int32_t type, const std::string& name, int32_t order) -> VmcObject& {
    VmcObject& object = objects.emplace_back(VmcObjectNew(type, name));
    object.display = display;
    object.order = order;
    return object;
  };
  VmcButton& button = add(kVmcButton, "BUTTON", 7).button;
  button = {31,      32,
            2,       0,
            1,       "Fonts\\None.fot",
            "Press", 0x123456,
            90,      Frames({{"", {"Bin\\A.tga"}}, {"Bin\\M.mat", {"Bin\\B.tga", "Bin\\A.tga"}}})};
  add(kVmcColor, "COLOR", -3).color = {5, 6, 70, 80, 0xABCDEF, 128, 1, 0};
  add(kVmcDisplay, "DISPLAY", 0).displayBlock = {800, 600, 1};
  VmcImage& image = add(kVmcImage, "IMAGE", 2).image;
  image = {11, 12, 45, 1, 1, 200, 3, 4, 0x336699, Frames({{"", {"Bin\\B.tga"}}}, 0, 0)};
  add(kVmcLabel, "LABEL", 2).label = {
      13, 14, "Fonts\\None.fot", 0x445566, 77, "Hello", 0, 50, 60, 3, 2, 1};
  VmcList& list = add(kVmcList, "LIST", 1).list;
  list = {15,
          16,
          "HORIZONTAL",
          "Fonts\\List.fot",
          1,
          2,
          1,
          2,
          3,
          0x0A0B0C,
          4,
          1,
          0,
          "Bin\\M.mat",
          7,
          8,
          90,
          3,
          Frames({{"", {"Bin\\A.tga"}}, {"", {"Bin\\B.tga"}}}),
          Frames({{"", {"Bin\\B.tga"}}})};
  VmcPointer& pointer = add(kVmcPointer, "POINTER", 9).pointer;
  pointer = {1, 0, 1, 3000, 500, 6, 7, Frames({{"", {"Bin\\A.tga"}}})};
  VmcSlider& slider = add(kVmcSlider, "SLIDER", 4).slider;
  slider = {17,
            18,
            1,
            1,
            10,
            20,
            15,
            1,
            1,
            0,
            1,
            5,
            Frames({{"", {"Bin\\A.tga"}}}),
            Frames({{"", {"Bin\\B.tga"}}})};
  add(kVmcMat, "MAT", 0).mat = {19, 20, 1, "Bin\\M.mat"};
  add(kVmcRender, "RENDER", 0).render = {"RenderAgents"};
  VmcAtex& atex = add(kVmcAtex, "ATEX", 0).atex;
  atex = {21,
          22,
          99,
          1,
          "Bin\\A.tga",
          1,
          30,
          -40,
          50,
          200,
          {{0, 0, 0, 0, 40, 0, 20, 0, 40, 30, 20, 10}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}};
  add(kVmcAppObj, "APPOBJ", 0).appObj = {0, 1, "Animate", "InObject", "Render"};
  add(kVmcCamera, "CAMERA", 0).camera = {1, 1, 2, 3, 4, 5, 6, {"IMAGE", "BUTTON"}};
  add(kVmcScene, "SCENE", 0).scene = {1, 1500, -2500, 3, "Bin\\M.mat", {"NOBODY"}};
  return objects;
}

// The object as a file of `version` gives it: fields the version lacks take
// the defaults the game assumes for them.
VmcObject AsReadFromVersion(VmcObject object, int32_t version) {
  const auto frames = [version](VmcFrameSet& set) {
    set.blend = version < 2 ? 0 : set.blend;
    set.memory = version < 3 ? 0 : set.memory;
    for (VmcFrame& frame : set.frames) {
      frame.mat = version < 8 ? "" : frame.mat;
    }
  };
  object.order = version < 4 ? 0 : object.order;
  if (version < 11) {
    object.button.font = object.button.text = "";
    object.button.color = object.button.wrapWidth = 0;
  }
  frames(object.button.frames);
  object.displayBlock.viewMode = version < 2 ? 0 : object.displayBlock.viewMode;
  if (version < 13) {
    object.image.offsetX = object.image.offsetY = 0;
  }
  object.image.color = version < 18 ? 0xFFFFFF : object.image.color;
  frames(object.image.frames);
  VmcLabel& label = object.label;
  label.alpha = version < 9 ? 255 : label.alpha;
  if (version < 4) {
    label.wrapWidth = label.wrapLineOffset = 0;
  }
  if (version < 10) {
    label.wrapHeight = 0;
    label.firstLine = 1;
  }
  label.align = version < 14 ? 0 : label.align;
  VmcList& list = object.list;
  list.frameColor = version < 19 ? 0xFFFFFF : list.frameColor;
  if (version < 4) {
    list.textOffsetX = 5;
    list.textOffsetY = 0;
  }
  list.textWidth = version < 5 ? 0 : list.textWidth;
  list.textMode = version >= 10 ? list.textMode : version >= 5 ? 2 : 0;
  list.overlays = version < 7 ? VmcFrameSet{} : list.overlays;
  frames(list.cells);
  frames(list.overlays);
  VmcPointer& pointer = object.pointer;
  if (version < 16) {
    pointer.fadeOnIdle = 0;
    pointer.fadeDelay = 2000;
    pointer.fadeDuration = 1000;
  }
  if (version < 17) {
    pointer.clickX = pointer.clickY = 0;
  }
  frames(pointer.frames);
  if (version < 15) {
    object.slider.pageType = object.slider.pageSize = 0;
  }
  frames(object.slider.track);
  frames(object.slider.thumb);
  if (version < 19) {
    object.atex.uScale = object.atex.vScale = 100;
  }
  return object;
}

VmcFrameSet FromRecord(const FrameSet& set) {
  VmcFrameSet result{set.blend, set.memory, {}};
  for (const Frame& frame : set.frames) {
    result.frames.push_back({frame.matName, frame.imageNames});
  }
  return result;
}

int32_t Thousandths(float value) {
  return static_cast<int32_t>(std::lround(value * 1000.0));
}

// The loaded record in the writer's terms.
VmcObject FromRecord(const ObjEntry& entry) {
  VmcObject object = VmcObjectNew(entry.type, entry.name);
  object.display = entry.displayId;
  object.order = entry.order;
  const ObjButton& b = entry.button;
  object.button = {b.frames.originLeft, b.frames.originTop,  b.frame, b.visible,
                   b.enabled,           b.fontFileName,      b.text,  b.color,
                   b.wrapWidth,         FromRecord(b.frames)};
  const ObjColor& c = entry.color;
  object.color = {c.left, c.top, c.width, c.height, c.color, c.alpha, c.visible, c.enabled};
  object.displayBlock = {entry.display.width, entry.display.height, entry.display.viewMode};
  const ObjImage& i = entry.image;
  object.image = {i.frames.left, i.frames.top, i.rotation, i.frame, i.visible,
                  i.alpha,       i.offsetX,    i.offsetY,  i.color, FromRecord(i.frames)};
  const ObjLabel& l = entry.label;
  object.label = {l.left,    l.top,       l.fileName,   l.color,          l.alpha,     l.text,
                  l.visible, l.wrapWidth, l.wrapHeight, l.wrapLineOffset, l.firstLine, l.align};
  const ObjList& li = entry.list;
  object.list = {li.cells.left,
                 li.cells.top,
                 li.kind,
                 li.fileName,
                 li.color,
                 li.colorSelected,
                 li.frame,
                 li.frameSelected,
                 li.frameMouseOver,
                 li.frameColor,
                 li.cellCount,
                 li.visible,
                 li.enabled,
                 li.mat,
                 li.textOffsetX,
                 li.textOffsetY,
                 li.textWidth,
                 li.textMode,
                 FromRecord(li.cells),
                 FromRecord(li.overlays)};
  const ObjPointer& p = entry.pointer;
  object.pointer = {p.frame,        p.visible, p.fadeOnIdle, p.fadeDelay,
                    p.fadeDuration, p.clickX,  p.clickY,     FromRecord(p.frames)};
  const ObjSlider& s = entry.slider;
  object.slider = {s.track.left, s.track.top, s.frameRange,        s.frameSlider,      s.minValue,
                   s.maxValue,   s.value,     s.sliderType,        s.visible,          s.enabled,
                   s.pageType,   s.pageSize,  FromRecord(s.track), FromRecord(s.thumb)};
  object.mat = {entry.mat.left, entry.mat.top, entry.mat.enabled, entry.mat.fileName};
  object.render = {entry.render.appRoutineName};
  const ObjAtex& a = entry.atex;
  object.atex = {a.left,      a.top,       a.alpha,  a.visible, a.texture, a.blend,
                 a.uvelocity, a.vvelocity, a.uScale, a.vScale,  {}};
  for (const auto& triangle : a.triangles.triangles) {
    object.atex.triangles.push_back(triangle);
  }
  const ObjAppObj& o = entry.appObj;
  object.appObj = {o.enabled, o.visible, o.scriptAnimate, o.scriptInObject, o.scriptRender};
  const ObjCamera& ca = entry.camera;
  object.camera = {ca.enabled,    ca.viewLeft, ca.viewTop, ca.viewWidth,
                   ca.viewHeight, ca.cameraX,  ca.cameraY, ca.objectNames};
  const ObjScene& sc = entry.scene;
  object.scene = {sc.enabled,        Thousandths(sc.x), Thousandths(sc.y),
                  Thousandths(sc.z), sc.matFile,        sc.modelNames};
  const ObjModel& m = entry.model;
  object.model = {m.enabled, m.visible, Thousandths(m.x), Thousandths(m.y), Thousandths(m.z),
                  m.pitch,   m.yaw,     m.roll,           m.modelFile};
  return object;
}

// The object's bytes in the newest version: equal bytes, equal objects.
std::string Bytes(const VmcObject& object) {
  VmcScript script;
  script.objects = {object};
  std::string bytes;
  std::string error;
  VmcWriterBytes(script, bytes, error);
  return bytes;
}

class ScriptLoadTest : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    WriteImage("A.tga", 40, 30);
    WriteImage("B.tga", 8, 6);
    WriteMat("M.mat");
  }
  uint8_t Display() const { return static_cast<uint8_t>(display_); }
  // A script of one object of each type and a little code.
  VmcScript EveryTypeScript(int32_t version) const {
    VmcScript script;
    script.version = version;
    script.routines = {"AppOne", "AppTwo"};
    script.objects = EveryType(Display());
    script.listener = 1;
    script.listenerAddress = 1;
    script.code = std::string("\x23\x23\x00", 3);  // nop, nop, return
    return script;
  }
};

// --- Reading ---------------------------------------------------------------------------------

TEST_F(ScriptLoadTest, EveryTypeReadsAsWrittenInEveryVersionWithTheDefaultsOfOlderOnes) {
  for (int32_t version = 0; version <= kVmcNewestVersion; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    const VmcScript written = EveryTypeScript(version);
    const int32_t id = Load(written);
    ASSERT_NE(id, 0) << ::testing::PrintToString(ErrorLines());
    const Script& script = *ScriptFind(id);
    EXPECT_EQ(script.fileName, "Bin\\Test.vmc");
    EXPECT_EQ(script.version, version);
    EXPECT_THAT(script.appRoutineNames, ElementsAre("AppOne", "AppTwo"));
    EXPECT_EQ(script.listenerEnabled, 1);
    EXPECT_EQ(script.listenerAddress, 1);
    EXPECT_EQ(std::string(script.code.begin(), script.code.end()), written.code);
    ASSERT_EQ(script.objects.size(), written.objects.size());
    for (size_t i = 0; i < written.objects.size(); ++i) {
      SCOPED_TRACE(written.objects[i].name);
      EXPECT_EQ(Bytes(FromRecord(script.objects[i])),
                Bytes(AsReadFromVersion(written.objects[i], version)));
    }
    ScriptClose(id);
  }
}

TEST_F(ScriptLoadTest, ListKindsAndNamesAreUpperCasedAndOtherKindsRefused) {
  VmcScript script = EveryTypeScript(kVmcNewestVersion);
  script.objects[5].list.kind = "vertical";
  script.objects[5].name = "List Of Saves";
  script.objects[12].camera.members = {"image", "Button"};
  const int32_t id = Load(script);
  ASSERT_NE(id, 0);
  EXPECT_EQ(ScriptFind(id)->objects[5].list.kind, "VERTICAL");
  EXPECT_EQ(ScriptFind(id)->objects[5].name, "LIST OF SAVES");
  EXPECT_THAT(ScriptFind(id)->objects[12].camera.objectNames, ElementsAre("IMAGE", "BUTTON"));

  // A kind that is not one of the two words, not even a word.
  for (const std::string& kind : {std::string("diagonal"), std::string("\x01\xFFz\x7F", 4)}) {
    ClearLog();
    script.objects[5].list.kind = kind;
    EXPECT_EQ(Load(script), 0);
    EXPECT_THAT(ErrorLines(),
                ElementsAre("ScriptFileReadObjectList - Unrecognized value \"" +
                            UtilitiesUpperCase(kind) + "\" for object attribute \"kind\"."));
  }
  EXPECT_EQ(ScriptTable().size(), 1u);
}

// The designed message of every field, in file order, for the script of
// every type followed by a Model object.
std::vector<std::string> FieldMessages() {
  std::vector<std::string> messages;
  const auto load = [&](const std::string& message) {
    messages.push_back("ScriptFileLoad - Unable to read " + message);
  };
  const auto fields = [&](const std::string& reader, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      messages.push_back(reader + " - Unable to read object attribute \"" + name + "\".");
    }
  };
  const auto frames = [&](int32_t count, int32_t images) {
    fields("ScriptFileReadFrames", {"blend", "memory", "frameCount"});
    for (int32_t i = 0; i < count; ++i) {
      const std::string frame =
          "ScriptFileReadFrames - Unable to read object frame " + std::to_string(i);
      messages.push_back(frame + " mat.");
      messages.push_back(frame + " image count.");
      for (int32_t j = 0; j < (i == 1 ? images : 1); ++j) {
        messages.push_back(frame + " image " + std::to_string(j) + " count.");
      }
    }
  };
  const auto header = [&](int32_t i) {
    const std::string object = "object " + std::to_string(i);
    load(object + " type.");
    load(object + " name.");
    load(object + " display ID.");
    load("object attribute \"order\".");
  };
  load("version number.");
  load("app routine count.");
  load("app routine 0.");
  load("app routine 1.");
  load("object count.");
  header(0);
  fields("ScriptFileReadObjectButton", {"left", "top", "frame", "visible", "enabled",
                                        "font file name", "text", "color", "wrapWidth"});
  frames(2, 2);
  header(1);
  fields("ScriptFileReadObjectColor",
         {"left", "top", "width", "height", "color", "alpha", "visible", "enabled"});
  header(2);
  fields("ScriptFileReadObjectDisplay", {"width", "height", "viewMode"});
  header(3);
  fields("ScriptFileReadObjectImage",
         {"left", "top", "rotation", "frame", "visible", "alpha", "offsetX", "offsetY", "color"});
  frames(1, 1);
  header(4);
  fields("ScriptFileReadObjectLabel",
         {"left", "top", "file name", "color", "alpha", "text", "visible", "wrapWidth",
          "wrapHeight", "wrapLineOffset", "firstLine", "align"});
  header(5);
  fields("ScriptFileReadObjectList",
         {"left", "top", "kind", "file name", "color", "colorSelected", "frame", "frameSelected",
          "frameMouseOver", "frameColor", "cellCount", "visible", "enabled", "mat", "textOffsetX",
          "textOffsetY", "textWidth", "textMode"});
  frames(2, 1);
  frames(1, 1);
  header(6);
  fields("ScriptFileReadObjectPointer",
         {"frame", "visible", "fadeOnIdle", "fadeDelay", "fadeDuration", "clickX", "clickY"});
  frames(1, 1);
  header(7);
  fields("ScriptFileReadObjectSlider",
         {"left", "top", "frameRange", "frameSlider", "minValue", "maxValue", "value", "sliderType",
          "visible", "enabled", "pageType", "pageSize"});
  frames(1, 1);
  frames(1, 1);
  header(8);
  fields("ScriptFileReadObjectMat", {"left", "top", "enabled", "file name"});
  header(9);
  fields("ScriptFileReadObjectRender", {"appRoutineName"});
  header(10);
  fields("ScriptFileReadObjectAtex", {"left", "top", "alpha", "visible", "texture", "blend",
                                      "uvelocity", "vvelocity", "uScale", "vScale"});
  for (int32_t k = 0; k < 2; ++k) {
    if (k == 0) {
      fields("ScriptFileReadTriangles", {"triangleCount"});
    }
    fields("ScriptFileReadTriangles",
           {"x1", "y1", "u1", "v1", "x2", "y2", "u2", "v2", "x3", "y3", "u3", "v3"});
  }
  header(11);
  fields("ScriptFileReadObjectAppObj",
         {"enabled", "visible", "scriptAnimate", "scriptInObject", "scriptRender"});
  header(12);
  fields("ScriptFileReadObjectCamera", {"enabled", "viewLeft", "viewTop", "viewWidth", "viewHeight",
                                        "cameraX", "cameraY", "objectCount"});
  messages.push_back("ScriptFileReadObjectCamera - Unable to read object name 0 for camera.");
  messages.push_back("ScriptFileReadObjectCamera - Unable to read object name 1 for camera.");
  header(13);
  fields("ScriptFileReadObjectScene", {"enabled", "x", "y", "z", "matFile", "modelCount"});
  messages.push_back("ScriptFileReadObjectScene - Unable to read model name 0 for scene.");
  header(14);
  fields("ScriptFileReadObjectModel",
         {"enabled", "visible", "x", "y", "z", "pitch", "yaw", "roll", "modelFile"});
  load("listener information.");
  load("listener address information.");
  load("code count.");
  load("3 bytes of code.");
  return messages;
}

// Cut after every byte, the file fails with the message of the field it
// cuts, and only that one; nothing is left behind and nothing allocated
// beyond what the bytes describe.
TEST_F(ScriptLoadTest, EveryTruncationFailsWithTheMessageOfTheFieldItCuts) {
  VmcScript script = EveryTypeScript(kVmcNewestVersion);
  script.objects.push_back(VmcObjectNew(kVmcModel, "MODEL"));
  script.objects.back().model.modelFile = "Models\\Chair.ms3d";
  std::string bytes;
  std::string error;
  ASSERT_TRUE(VmcWriterBytes(script, bytes, error));

  std::vector<std::string> seen;
  size_t largest = 0;
  for (size_t length = 0; length < bytes.size(); ++length) {
    WriteContent("Test.vmc", bytes.substr(0, length));
    ClearLog();
    AllocationProbeReset();
    ASSERT_EQ(ScriptLoad("Bin\\Test.vmc"), 0) << length;
    largest = std::max(largest, AllocationProbeLargest());
    const auto errors = ErrorLines();
    ASSERT_EQ(errors.size(), 1u) << length << ": " << ::testing::PrintToString(errors);
    if (seen.empty() || seen.back() != errors[0]) {
      seen.push_back(errors[0]);
    }
  }
  EXPECT_THAT(seen, ElementsAreArray(FieldMessages()));
  EXPECT_TRUE(ScriptTable().empty());
  EXPECT_LT(largest, 64u * 1024);
}

// Counts of 2,147,483,647 and strings longer than what follows fail where
// the bytes end, without asking for memory the file does not back.
TEST_F(ScriptLoadTest, AbsurdCountsAndLengthsFailWhereTheBytesEnd) {
  const auto start = [](int32_t objects) {
    ByteBuilder b;
    b.I32(20).I32(0).I32(objects);
    return b;
  };
  // An object header at version 20 (order 0) of the type.
  const auto object = [](ByteBuilder& b, int32_t type) { b.I32(type).Text("X").U8(1).I32(0); };
  struct Case {
    std::string what;
    std::string bytes;
    std::string message;
  };
  std::vector<Case> cases;
  cases.push_back({"routines", ByteBuilder().I32(20).I32(kMax).Text("A").Bytes(),
                   "ScriptFileLoad - Unable to read app routine 1."});
  cases.push_back({"routine name", ByteBuilder().I32(20).I32(1).U8(200).Raw("abc").Bytes(),
                   "ScriptFileLoad - Unable to read app routine 0."});
  {
    ByteBuilder b = start(kMax);
    object(b, 99);  // no attribute block
    cases.push_back({"objects", b.Bytes(), "ScriptFileLoad - Unable to read object 1 type."});
  }
  {
    ByteBuilder b = start(1);
    object(b, kVmcPointer);
    b.I32(1).U8(1).U8(0).I32(0).I32(0).I32(0).I32(0).U8(0).U8(0).I32(kMax).Text("").I32(0);
    cases.push_back(
        {"frames", b.Bytes(), "ScriptFileReadFrames - Unable to read object frame 1 mat."});
  }
  {
    ByteBuilder b = start(1);
    object(b, kVmcPointer);
    b.I32(1).U8(1).U8(0).I32(0).I32(0).I32(0).I32(0).U8(0).U8(0).I32(1).Text("").I32(kMax);
    b.Text("a.tga");
    cases.push_back({"images", b.Bytes(),
                     "ScriptFileReadFrames - Unable to read object frame 0 image 1 count."});
  }
  {
    ByteBuilder b = start(1);
    object(b, kVmcAtex);
    b.I32(0).I32(0).I32(255).U8(1).Text("a.tga").U8(0).I32(0).I32(0).I32(100).I32(100);
    b.I32(kMax);
    for (int32_t i = 0; i < 12; ++i) {
      b.I32(i);
    }
    cases.push_back({"triangles", b.Bytes(),
                     "ScriptFileReadTriangles - Unable to read object attribute \"x1\"."});
  }
  {
    ByteBuilder b = start(1);
    object(b, kVmcCamera);
    b.U8(1).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(kMax).Text("A");
    cases.push_back({"camera", b.Bytes(),
                     "ScriptFileReadObjectCamera - Unable to read object name 1 for camera."});
  }
  {
    ByteBuilder b = start(1);
    object(b, kVmcScene);
    b.U8(1).I32(0).I32(0).I32(0).Text("").I32(kMax).U8(9).Raw("M");
    cases.push_back(
        {"scene", b.Bytes(), "ScriptFileReadObjectScene - Unable to read model name 0 for scene."});
  }
  cases.push_back({"code", start(0).U8(1).I32(0).I32(kMax).Raw("abc").Bytes(),
                   "ScriptFileLoad - Unable to read 2147483647 bytes of code."});
  cases.push_back({"negative code", start(0).U8(1).I32(0).I32(-5).Bytes(),
                   "ScriptFileLoad - Unable to read -5 bytes of code."});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteContent("Test.vmc", c.bytes);
    ClearLog();
    AllocationProbeReset();
    EXPECT_EQ(ScriptLoad("Bin\\Test.vmc"), 0);
    EXPECT_LT(AllocationProbeLargest(), 64u * 1024);
    EXPECT_THAT(ErrorLines(), ElementsAre(c.message));
  }
  EXPECT_TRUE(ScriptTable().empty());
}

TEST_F(ScriptLoadTest, VersionsAboveTwentyAndMissingFilesLeaveNoScript) {
  VmcScript script = EveryTypeScript(kVmcNewestVersion);
  WriteContent("Test.vmc", ByteBuilder().I32(21).I32(0).I32(0).U8(0).I32(0).I32(0).Bytes());
  EXPECT_EQ(ScriptLoad("Bin\\Test.vmc"), 0);
  EXPECT_EQ(ScriptLoad("Bin\\Missing.vmc"), 0);
  EXPECT_FALSE(ScriptFileLoad(12345, "Bin\\Test.vmc"));
  EXPECT_THAT(ErrorLines(),
              ElementsAre("ScriptFileLoad - Script uses unsupported features.  Script requires "
                          "version 21.  Module supports up to 20.",
                          "ScriptFileLoad - Unable to open script file \"Bin\\Missing.vmc\".",
                          "ScriptFileLoad - Invalid script ID for script file \"Bin\\Test.vmc\"."));
  EXPECT_TRUE(ScriptTable().empty());
  // Ids are not reused: the next script gets a new one.
  EXPECT_EQ(Load(script), 3);
}

// --- Draw order, cameras and scenes --------------------------------------------------------------

std::vector<int32_t> DrawOrder(const std::vector<OrderedObject>& list) {
  std::vector<int32_t> objects;
  for (const OrderedObject& entry : list) {
    objects.push_back(entry.object);
  }
  return objects;
}

TEST_F(ScriptLoadTest, DrawOrderIsByOrderThenFileOrderAndVersionThreeHasNoOrders) {
  VmcScript script;
  for (const int32_t order : {5, 1, 5, 0, 1, -2}) {
    script.objects.push_back(VmcObjectNew(kVmcRender, "R" + std::to_string(order)));
    script.objects.back().order = order;
  }
  const int32_t id = Load(script);
  EXPECT_THAT(DrawOrder(ScriptFind(id)->drawOrder), ElementsAre(5, 3, 1, 4, 0, 2));
  script.version = 3;
  const int32_t old = Load(script);
  EXPECT_THAT(DrawOrder(ScriptFind(old)->drawOrder), ElementsAre(0, 1, 2, 3, 4, 5));
  for (const ObjEntry& object : ScriptFind(old)->objects) {
    EXPECT_EQ(object.order, 0);
  }
}

TEST_F(ScriptLoadTest, CamerasOwnTheirMembersAndScenesFindTheirDisplay) {
  VmcScript script;
  const auto add = [&](int32_t type, const std::string& name, int32_t order, uint8_t display) {
    script.objects.push_back(VmcObjectNew(type, name));
    script.objects.back().order = order;
    script.objects.back().display = display;
  };
  add(kVmcCamera, "VIEW", 0, 1);    // 0
  add(kVmcRender, "A", 3, 1);       // 1
  add(kVmcRender, "B", 2, 1);       // 2
  add(kVmcCamera, "INNER", 1, 1);   // 3: a camera is never a member
  add(kVmcRender, "b", 2, 2);       // 4: same name, another display
  add(kVmcDisplay, "FIRST", 0, 1);  // 5
  add(kVmcDisplay, "OTHER", 0, 2);  // 6
  add(kVmcDisplay, "LAST", 0, 1);   // 7
  add(kVmcScene, "SCENE", 0, 1);    // 8
  add(kVmcScene, "EMPTY", 0, 1);    // 9
  add(kVmcRender, "ALONE", 0, 1);   // 10
  script.objects[0].camera.members = {"a", "B", "INNER", "NOBODY"};
  script.objects[8].scene.models = {"NOMODEL"};
  const int32_t id = Load(script);
  ASSERT_NE(id, 0);
  const Script& loaded = *ScriptFind(id);
  EXPECT_THAT(DrawOrder(loaded.objects[0].camera.members), ElementsAre(2, 4, 1));
  std::vector<int32_t> owned;
  for (size_t i = 0; i < loaded.objects.size(); ++i) {
    if (loaded.objects[i].ownedByGroup != 0) {
      owned.push_back(static_cast<int32_t>(i));
    }
  }
  EXPECT_THAT(owned, ElementsAre(1, 2, 4));
  EXPECT_EQ(loaded.objects[8].scene.display, 7);
  EXPECT_TRUE(loaded.objects[8].scene.members.empty());
  EXPECT_EQ(loaded.objects[9].scene.display, -1);
}

// --- Assets ---------------------------------------------------------------------------------

// One textured triangle whose material names a texture and a pick texture.
std::string ChairBytes() {
  MwModel model;
  model.vertices.resize(3);
  model.vertices[1].position = {1, 0, 0};
  model.vertices[2].position = {0, 1, 0};
  model.triangles.push_back({0, {0, 1, 2}, {}, {0, 1, 0}, {0, 0, 1}, 1, 0});
  model.groups.push_back({0, "seat", {0}, 0});
  MwMaterial material;
  material.name = "wood";
  material.texture = "wood.tga";
  material.alphaMap = "pick.tga";
  model.materials.push_back(material);
  std::string bytes;
  std::string error;
  EXPECT_TRUE(MwMs3dBytes(model, bytes, error)) << error;
  return bytes;
}

std::vector<ModelVertex> Vertices(const Model* model) {
  return model->vertices;
}

TEST_F(ScriptLoadTest, AssetsAreBuiltFromTheRecordsAndGoWithTheScript) {
  const int32_t id = Load(EveryTypeScript(kVmcNewestVersion));
  ASSERT_NE(id, 0) << ::testing::PrintToString(ErrorLines());
  const Script& script = *ScriptFind(id);

  // Button: every image a model at the button's place; frame 2's first
  // image (8 x 6) sizes the set; the frame's mat is decoded.
  const FrameSet& button = script.objects[0].button.frames;
  ASSERT_EQ(button.frames.size(), 2u);
  EXPECT_EQ(button.frames[1].models.size(), 2u);
  EXPECT_EQ(ModelGetPosition(button.frames[1].models[1]), (ModelVertex{31, 32, 0}));
  EXPECT_EQ(button.width, 8);
  EXPECT_EQ(button.height, 6);
  EXPECT_EQ(button.frames[1].mat.width, 2);
  EXPECT_TRUE(button.frames[0].mat.entries.empty());

  // Color: a rectangle of its size at its place in its colour.
  const Model* color = script.objects[1].color.model;
  EXPECT_THAT(Vertices(color), ElementsAre(ModelVertex{0, 0, -5}, ModelVertex{0, 80, -5},
                                           ModelVertex{70, 80, -5}, ModelVertex{70, 0, -5}));
  EXPECT_EQ(ModelGetPosition(color), (ModelVertex{5, 6, 0}));
  EXPECT_EQ(color->color, (ModelColor{0xAB, 0xCD, 0xEF, 128}));
  EXPECT_EQ(color->name, "Script Color Object");

  // Image: tinted, shifted by its offset against its centre, rotated.
  const Model* image = script.objects[3].image.frames.frames[0].models[0];
  Model* plain = ModelOpen(display_, "Bin\\B.tga");
  ModelTranslate(plain, 3, 4, 0);
  EXPECT_EQ(Vertices(image), Vertices(plain));
  ModelClose(plain);
  EXPECT_EQ(image->color, (ModelColor{0x33, 0x66, 0x99, 200}));
  EXPECT_EQ(image->rotation, 45.0f);
  EXPECT_EQ(script.objects[3].image.frames.width, 8);

  // List: the cells take the frame colour at full opacity; the overlays do not.
  EXPECT_EQ(script.objects[5].list.cells.frames[1].models[0]->color,
            (ModelColor{0x0A, 0x0B, 0x0C, 255}));
  EXPECT_EQ(script.objects[5].list.overlays.frames[0].models[0]->color, ModelColor{});
  EXPECT_EQ(script.objects[5].list.decodedMat.width, 2);
  EXPECT_EQ(script.objects[5].list.cells.width, 40);

  // Slider: both sets at the slider's place.
  EXPECT_EQ(ModelGetPosition(script.objects[7].slider.thumb.frames[0].models[0]),
            (ModelVertex{17, 18, 0}));

  // Atex: texture coordinates in parts of the 40 x 30 texture.
  const Model* atex = script.objects[10].atex.model;
  ASSERT_EQ(atex->triangles.size(), 2u);
  EXPECT_EQ(ModelTexCoordGet(atex, 1), (ModelTexCoord{0.5f, 0.0f}));
  EXPECT_EQ(ModelTexCoordGet(atex, 2), (ModelTexCoord{0.5f, 10.0f / 30.0f}));
  EXPECT_EQ(ModelVertexGet(atex, 2), (ModelVertex{40, 30, -5}));
  EXPECT_EQ(ModelGetPosition(atex), (ModelVertex{21, 22, 0}));
  EXPECT_EQ(atex->color, (ModelColor{255, 255, 255, 99}));

  // Closing releases every model and texture; the fonts stay with the font module.
  const ModelDisplay& models = *ModelDisplayFind(display_);
  ScriptClose(id);
  ScriptClose(id);
  EXPECT_TRUE(models.models.empty());
  EXPECT_TRUE(models.textures.empty());
  EXPECT_TRUE(ScriptTable().empty());
}

// A model reads its file; the ramp "shader.tga" is taken from the model's
// own folder only. Closing the script frees the models and their textures.
TEST_F(ScriptLoadTest, ModelsLoadWithTheRampOfTheirFolderAndGoWithTheScript) {
  WriteContent("Models/Chair.ms3d", ChairBytes());
  WriteImage("Models/wood.tga", 4, 4);
  WriteImage("Models/pick.tga", 2, 2);
  WriteImage("Models/shader.tga", 2, 1);
  MwModel bare;
  bare.vertices.resize(1);
  std::string bytes;
  std::string error;
  ASSERT_TRUE(MwMs3dBytes(bare, bytes, error)) << error;
  WriteContent("Stool.ms3d", bytes);
  VmcScript script;
  for (const std::string name : {"CHAIR", "STOOL"}) {
    script.objects.push_back(VmcObjectNew(kVmcModel, name));
    script.objects.back().display = static_cast<uint8_t>(display_);
  }
  script.objects[0].model.modelFile = "Bin\\Models\\Chair.ms3d";
  script.objects[1].model.modelFile = "Bin\\Stool.ms3d";
  ClearLog();
  const int32_t id = Load(script);
  ASSERT_NE(id, 0) << ::testing::PrintToString(ErrorLines());
  EXPECT_TRUE(ErrorLines().empty());  // a folder without a ramp is no error

  const TMS3D* chair = ScriptFind(id)->objects[0].model.loaded.get();
  ASSERT_NE(chair, nullptr);
  EXPECT_EQ(chair->Display(), display_);
  EXPECT_EQ(chair->Mesh().triangles.size(), 1u);
  EXPECT_NE(chair->Mesh().materials[0].image, nullptr);
  EXPECT_NE(chair->Mesh().materials[0].pickImage, nullptr);
  EXPECT_NE(chair->ShaderTexture(), nullptr);
  const TMS3D* stool = ScriptFind(id)->objects[1].model.loaded.get();
  ASSERT_NE(stool, nullptr);
  EXPECT_EQ(stool->ShaderTexture(), nullptr);  // none in its folder
  EXPECT_EQ(ModelDisplayFind(display_)->textures.size(), 3u);

  ScriptClose(id);
  EXPECT_TRUE(ModelDisplayFind(display_)->textures.empty());
}

TEST_F(ScriptLoadTest, ObjectsThatCannotBeBuiltFailTheLoad) {
  struct Case {
    VmcObject object;
    std::string message;
  };
  std::vector<Case> cases(3);
  cases[0].object = VmcObjectNew(kVmcAtex, "ATEX");
  cases[0].object.atex.texture = "Bin\\Missing.tga";
  cases[0].message =
      "ScriptCompileObjectAtex - Animated texture \"Bin\\Missing.tga\" has invalid size.  "
      "Animated texture not compiled.";
  cases[1].object = VmcObjectNew(kVmcMat, "MAT");
  cases[1].object.mat.file = "Bin\\A.tga";  // not a mat
  cases[2].object = VmcObjectNew(kVmcModel, "CHAIR");
  cases[2].object.model = {1, 1, 1500, 0, -250, 10, 20, 30, "Bin\\Models\\Chair.ms3d"};
  WriteContent("Models/Chair.ms3d", ChairBytes().substr(0, ChairBytes().size() - 40));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object.name);
    VmcScript script;
    script.objects = {c.object};
    WriteScript(script);
    ClearLog();
    const int32_t id = ScriptNew();
    EXPECT_FALSE(ScriptFileLoad(id, "Bin\\Test.vmc"));
    const auto errors = ErrorLines();
    ASSERT_FALSE(errors.empty());
    if (!c.message.empty()) {
      EXPECT_THAT(errors, Contains(c.message));
    }
    EXPECT_EQ(errors.back(),
              "ScriptFileLoad - Unable to compile script assets for script file "
              "\"Bin\\Test.vmc\".");
    // The attributes were read all the same; a model that did not load is gone.
    EXPECT_EQ(Bytes(FromRecord(ScriptFind(id)->objects[0])), Bytes(c.object));
    EXPECT_EQ(ScriptFind(id)->objects[0].model.loaded, nullptr);
    ScriptClose(id);
  }
  EXPECT_TRUE(ModelDisplayFind(display_)->textures.empty());
}

}  // namespace
