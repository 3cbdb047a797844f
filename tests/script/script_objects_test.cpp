// Object attributes through byte code made with the writer: every get and set
// id of every type with its conversions, clamps and messages, the drawables
// kept in step, the order and its re-sorting, what ends a thread, and the
// objects' part of the animation step.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "framework/model/model_internal.h"
#include "platform/platform.h"
#include "tests/framework/font/font_files.h"
#include "tests/script/script_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Indices of the objects of ObjectScript.
enum : uint16_t {
  kButton,
  kColor,
  kDisplay,
  kImage,
  kLabel,
  kList,
  kPointer,
  kSlider,
  kMat,
  kRender,
  kAtex,
  kAppObj,
  kCamera,
  kScene,
  kObjectCount
};

VmcFrameSet Frames(const std::vector<std::string>& images) {
  VmcFrameSet set;
  for (const std::string& image : images) {
    set.frames.push_back({"", {image, image}});
  }
  return set;
}

// One object of each type but Model. The frames show "Bin\A.tga" (40 x 30)
// or "Bin\B.tga" (8 x 6); texts use "Bin\F.fot", whose glyphs advance 4
// pixels in lines 10 high.
std::vector<VmcObject> Objects(uint8_t display) {
  std::vector<VmcObject> objects;
  const auto add = [&](int32_t type, const std::string& name, int32_t order) -> VmcObject& {
    VmcObject& object = objects.emplace_back(VmcObjectNew(type, name));
    object.display = display;
    object.order = order;
    return object;
  };
  const VmcFrameSet ab = Frames({"Bin\\A.tga", "Bin\\B.tga"});
  add(kVmcButton, "BUTTON", 7).button = {10, 20, 1, 1, 1, "Bin\\F.fot", "One two", 0x112233, 0, ab};
  add(kVmcColor, "COLOR", 0).color = {1, 2, 10, 20, 0x102030, 40, 1, 1};
  add(kVmcDisplay, "DISPLAY", 0).displayBlock = {800, 600, 7};
  add(kVmcImage, "IMAGE", 2).image = {5, 6, 0, 1, 1, 255, 0, 0, 0xFFFFFF, ab};
  add(kVmcLabel, "LABEL", 0).label = {3, 4, "Bin\\F.fot", 0x111111, 200, "aa bb cc",
                                      1, 0, 50,           2,        1,   0};
  VmcList& list = add(kVmcList, "LIST", 0).list;
  list.left = 7;
  list.top = 8;
  list.kind = "HORIZONTAL";
  list.font = "Bin\\F.fot";
  list.color = 1;
  list.colorSelected = 2;
  list.frameSelected = 2;
  list.cellCount = 3;
  list.cells = ab;
  list.overlays = Frames({"Bin\\B.tga"});
  add(kVmcPointer, "POINTER", 0).pointer = {1, 1, 1, 3000, 500, 6, 7, ab};
  add(kVmcSlider, "SLIDER", 0).slider = {9, 10, 1, 1, 0, 100, 50,
                                         0, 1,  1, 0, 5, ab,  Frames({"Bin\\B.tga", "Bin\\A.tga"})};
  add(kVmcMat, "MAT", 0).mat = {1, 2, 1, "Bin\\M.mat"};
  add(kVmcRender, "RENDER", 0).render = {"Nothing"};
  // A vertical scale of 0 from the file gives no ratio for the first new scale.
  VmcAtex& atex = add(kVmcAtex, "ATEX", 0).atex;
  atex = {21, 22, 99, 1, "Bin\\A.tga", 0, 30, -40, 100, 0, {}};
  atex.triangles = {{0, 0, 0, 0, 40, 0, 20, 0, 40, 30, 20, 10}};
  add(kVmcAppObj, "APPOBJ", 0).appObj = {0, 1, "", "", ""};
  add(kVmcCamera, "CAMERA", 0).camera = {1, 1, 2, 3, 4, 5, 6, {"IMAGE", "BUTTON"}};
  add(kVmcScene, "SCENE", 0).scene = {1, 1500, -2500, 3, "Bin\\M.mat", {}};
  return objects;
}

Parameter I(int32_t value) {
  return ScriptIntValue(value);
}
Parameter B(bool value) {
  return ScriptBoolValue(value);
}
Parameter S(const std::string& value) {
  return ScriptStringValue(value);
}

std::string Show(const Parameter& value) {
  switch (value.type) {
    case kScriptInteger:
      return std::to_string(value.intValue);
    case kScriptBoolean:
      return value.boolValue != 0 ? "true" : "false";
    default:
      return "\"" + value.textValue + "\"";
  }
}

// Byte code that gets and sets attributes; each get pushes its value, so
// after the run the stack holds them in order, and a thread that ended
// early holds fewer.
class Steps {
 public:
  void Get(uint16_t object, uint8_t attribute, const Parameter& expected,
           std::optional<int32_t> item = std::nullopt) {
    code_.GetAttribute(object, attribute, Item(item));
    expected_.push_back(Describe(object, attribute, item) + " = " + Show(expected));
    gets_.push_back(Describe(object, attribute, item));
  }
  void Set(uint16_t object, uint8_t attribute, const VmcOperand& value,
           std::optional<int32_t> item = std::nullopt) {
    code_.SetAttribute(object, attribute, value, Item(item));
  }
  VmcCode& Code() { return code_; }
  const std::vector<std::string>& Expected() const { return expected_; }
  // The stack's values named by the gets that pushed them.
  std::vector<std::string> Results(const std::vector<Parameter>& stack) const {
    std::vector<std::string> results;
    for (size_t i = 0; i < stack.size() && i < gets_.size(); ++i) {
      results.push_back(gets_[i] + " = " + Show(stack[i]));
    }
    return results;
  }

 private:
  static std::optional<VmcOperand> Item(std::optional<int32_t> item) {
    return item ? std::optional<VmcOperand>(VmcInt(*item)) : std::nullopt;
  }
  static std::string Describe(uint16_t object, uint8_t attribute, std::optional<int32_t> item) {
    return "object " + std::to_string(object) + " get " + std::to_string(attribute) +
           (item ? "[" + std::to_string(*item) + "]" : "");
  }
  VmcCode code_;
  std::vector<std::string> expected_;
  std::vector<std::string> gets_;
};

class ScriptObjectsTest : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    WriteImage("A.tga", 40, 30);
    WriteImage("B.tga", 8, 6);
    WriteMat("M.mat");
    WriteBytes(folder_, "Bin/F.fot",
               FontBytes(PatternFont(' ', 'z', 10, std::vector<int32_t>(91, 5))));
  }
  // The objects with the code; the loaded script, or null.
  Script* LoadWithCode(const std::string& code, uint8_t listener = 0, int32_t address = 0) {
    VmcScript script;
    script.objects = Objects(static_cast<uint8_t>(display_));
    script.code = code;
    script.listener = listener;
    script.listenerAddress = address;
    return ScriptFind(Load(script));
  }
  static std::string Finish(const VmcCode& code) {
    std::string bytes;
    std::string error;
    EXPECT_TRUE(code.Finish(bytes, error)) << error;
    return bytes;
  }
};

std::vector<ModelColor> Colors(const FrameSet& set) {
  std::vector<ModelColor> colors;
  for (const Frame& frame : set.frames) {
    for (const Model* model : frame.models) {
      colors.push_back(model->color);
    }
  }
  return colors;
}

std::vector<ModelVertex> Positions(const FrameSet& set) {
  std::vector<ModelVertex> positions;
  for (const Frame& frame : set.frames) {
    for (const Model* model : frame.models) {
      positions.push_back(model->position);
    }
  }
  return positions;
}

TEST_F(ScriptObjectsTest, EveryAttributeReadsAndWritesThroughByteCode) {
  Steps s;
  // Button: position, frame (with its height), flags, text, colour, wrapping.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{{0, I(10)},
                                                                            {1, I(20)},
                                                                            {2, I(1)},
                                                                            {3, B(true)},
                                                                            {4, B(true)},
                                                                            {5, I(30)},
                                                                            {6, I(10)},
                                                                            {7, I(20)},
                                                                            {8, S("One two")},
                                                                            {9, I(0x112233)},
                                                                            {10, I(0)}}) {
    s.Get(kButton, id, value);
  }
  s.Set(kButton, 0, VmcString("15"));
  s.Set(kButton, 1, VmcInt(25));
  s.Get(kButton, 0, I(15));
  s.Get(kButton, 1, I(25));
  s.Get(kButton, 6, I(10));
  s.Set(kButton, 2, VmcInt(2));
  s.Get(kButton, 2, I(2));
  s.Get(kButton, 5, I(6));
  s.Set(kButton, 2, VmcInt(3));  // clamped to 1, height kept
  s.Get(kButton, 2, I(1));
  s.Get(kButton, 5, I(6));
  s.Set(kButton, 3, VmcBool(false));
  s.Set(kButton, 4, VmcString("tRuE"));
  s.Get(kButton, 3, B(false));
  s.Get(kButton, 4, B(true));
  s.Set(kButton, 7, VmcInt(15));
  s.Set(kButton, 5, VmcString("aa bb cc"));
  s.Set(kButton, 6, VmcBool(true));
  s.Get(kButton, 8, S("aa bb cc"));
  s.Get(kButton, 9, I(1));
  s.Get(kButton, 10, I(15));

  // Color: shared ids; the model follows.
  for (const auto& [id, before, after] :
       std::vector<std::tuple<uint8_t, Parameter, VmcOperand>>{{0, I(1), VmcInt(11)},
                                                               {1, I(2), VmcInt(12)},
                                                               {2, I(0x102030), VmcInt(0x405060)},
                                                               {3, I(40), VmcInt(99)},
                                                               {4, B(true), VmcInt(0)},
                                                               {5, B(true), VmcString("false")},
                                                               {6, I(10), VmcInt(30)},
                                                               {7, I(20), VmcInt(40)}}) {
    s.Get(kColor, id, before);
    s.Set(kColor, id, after);
  }
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{
           {0, I(11)}, {2, I(0x405060)}, {3, I(99)}, {4, B(false)}, {5, B(false)}, {7, I(40)}}) {
    s.Get(kColor, id, value);
  }

  // Display: the view mode by name.
  s.Get(kDisplay, 0, I(800));
  s.Get(kDisplay, 1, I(600));
  s.Get(kDisplay, 2, S("undefined"));
  s.Set(kDisplay, 2, VmcString("fill"));
  s.Get(kDisplay, 2, S("Fill"));
  s.Set(kDisplay, 2, VmcString("BestFIT"));
  s.Get(kDisplay, 2, S("BestFit"));
  s.Set(kDisplay, 2, VmcString("Stretch"));
  s.Get(kDisplay, 2, S("BestFit"));
  s.Set(kDisplay, 0, VmcInt(1024));
  s.Set(kDisplay, 1, VmcInt(768));
  s.Get(kDisplay, 0, I(1024));
  s.Get(kDisplay, 1, I(768));

  // Image: frames with their size, rotation, alpha and colour on every model.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{{0, I(5)},
                                                                            {1, I(6)},
                                                                            {2, I(0)},
                                                                            {3, I(1)},
                                                                            {4, B(true)},
                                                                            {5, I(255)},
                                                                            {6, I(40)},
                                                                            {7, I(30)},
                                                                            {8, I(2)},
                                                                            {9, I(0xFFFFFF)}}) {
    s.Get(kImage, id, value);
  }
  s.Set(kImage, 3, VmcInt(2));
  s.Get(kImage, 6, I(8));
  s.Get(kImage, 7, I(6));
  s.Set(kImage, 3, VmcInt(0));
  s.Get(kImage, 3, I(1));
  s.Get(kImage, 6, I(8));
  s.Set(kImage, 2, VmcInt(30));
  s.Set(kImage, 2, VmcInt(50));
  s.Set(kImage, 5, VmcInt(128));
  s.Set(kImage, 6, VmcInt(0x00FF00));
  s.Set(kImage, 0, VmcInt(100));
  s.Set(kImage, 1, VmcInt(-5));
  s.Set(kImage, 4, VmcBool(false));
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{
           {0, I(100)}, {1, I(-5)}, {2, I(50)}, {4, B(false)}, {5, I(128)}, {9, I(0x00FF00)}}) {
    s.Get(kImage, id, value);
  }

  // Label: the wrapped lines follow the text and the wrap width.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{{0, I(3)},
                                                                            {1, I(4)},
                                                                            {2, I(0x111111)},
                                                                            {3, S("aa bb cc")},
                                                                            {4, B(true)},
                                                                            {5, I(0)},
                                                                            {6, I(2)},
                                                                            {7, I(200)},
                                                                            {8, I(50)},
                                                                            {9, I(1)},
                                                                            {10, I(0)},
                                                                            {11, I(10)},
                                                                            {12, I(32)}}) {
    s.Get(kLabel, id, value);
  }
  s.Set(kLabel, 5, VmcInt(15));
  s.Get(kLabel, 10, I(3));
  s.Get(kLabel, 11, I(3 * 10 + 2 * 2));
  s.Get(kLabel, 12, I(8));
  s.Set(kLabel, 3, VmcString("aaaa"));
  s.Get(kLabel, 10, I(1));
  s.Get(kLabel, 11, I(10));
  s.Get(kLabel, 12, I(16));
  for (const auto& [id, value] :
       std::vector<std::pair<uint8_t, int32_t>>{{0, 30}, {1, 40}, {2, 5}, {6, 7}, {8, 9}, {9, 2}}) {
    s.Set(kLabel, id, VmcInt(value));
    s.Get(kLabel, id, I(value));
  }
  s.Set(kLabel, 4, VmcInt(0));
  s.Set(kLabel, 7, VmcInt(17));
  s.Get(kLabel, 4, B(false));
  s.Get(kLabel, 7, I(17));

  // List: every id, items that grow and keep their type, clamps and refusals.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{
           {0, I(7)},         {1, I(8)},   {2, I(1)},    {3, I(1)},    {4, I(3)},
           {6, I(0)},         {7, I(0)},   {8, B(true)}, {9, B(true)}, {10, I(2)},
           {11, I(0)},        {12, I(30)}, {13, I(40)},  {14, I(2)},   {15, S("HORIZONTAL")},
           {16, S("")},       {17, I(5)},  {18, I(0)},   {19, I(0)},   {22, I(0)},
           {23, I(0xFFFFFF)}, {24, I(0)}}) {
    s.Get(kList, id, value);
  }
  s.Set(kList, 5, VmcString("five"), 5);
  s.Get(kList, 24, I(6));
  s.Get(kList, 5, S(""), 0);
  s.Get(kList, 5, S("five"), 5);
  s.Set(kList, 15, VmcInt(4), 2);
  s.Set(kList, 16, VmcBool(true), 1);
  s.Get(kList, 20, I(-1), 0);
  s.Get(kList, 20, I(4), 2);
  s.Get(kList, 21, I(0), 0);
  s.Get(kList, 21, B(true), 1);
  s.Set(kList, 16, VmcString("x"), 7);
  s.Get(kList, 24, I(8));
  s.Set(kList, 7, VmcInt(-4));
  s.Get(kList, 7, I(0));
  s.Set(kList, 7, VmcInt(2));
  s.Set(kList, 6, VmcInt(3));
  s.Get(kList, 7, I(2));
  s.Get(kList, 6, I(3));
  s.Set(kList, 3, VmcInt(2));
  s.Get(kList, 3, I(2));
  s.Get(kList, 12, I(6));
  s.Get(kList, 13, I(8));
  s.Set(kList, 3, VmcInt(9));
  s.Get(kList, 3, I(1));
  s.Set(kList, 10, VmcInt(77));
  s.Get(kList, 14, I(77));
  s.Set(kList, 11, VmcString("vertical"));
  s.Get(kList, 15, S("VERTICAL"));
  s.Set(kList, 11, VmcString("round"));
  s.Get(kList, 15, S("VERTICAL"));
  s.Set(kList, 12, VmcInt(9));
  s.Set(kList, 13, VmcInt(10));
  s.Set(kList, 14, VmcInt(11));
  s.Get(kList, 17, I(9));
  s.Get(kList, 18, I(10));
  s.Get(kList, 19, I(11));
  s.Set(kList, 17, VmcInt(3));
  s.Set(kList, 17, VmcInt(4));
  s.Get(kList, 22, I(3));
  s.Set(kList, 18, VmcInt(2));
  s.Get(kList, 10, I(2));
  s.Set(kList, 18, VmcInt(5));
  s.Set(kList, 19, VmcInt(0));
  s.Get(kList, 10, I(1));
  s.Get(kList, 11, I(1));
  s.Set(kList, 20, VmcInt(0x010203));
  s.Get(kList, 23, I(0x010203));
  s.Set(kList, 0, VmcInt(50));
  s.Set(kList, 1, VmcInt(60));
  s.Set(kList, 2, VmcInt(5));
  s.Set(kList, 4, VmcInt(6));
  s.Set(kList, 8, VmcInt(0));
  s.Set(kList, 9, VmcInt(0));
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{
           {0, I(50)}, {1, I(60)}, {2, I(5)}, {4, I(6)}, {8, B(false)}, {9, B(false)}}) {
    s.Get(kList, id, value);
  }

  // Pointer: position from the script, frame clamps, fading settings.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{{0, B(true)},
                                                                            {1, I(1)},
                                                                            {2, I(0)},
                                                                            {3, I(0)},
                                                                            {4, B(true)},
                                                                            {5, I(3000)},
                                                                            {6, I(500)},
                                                                            {7, I(6)},
                                                                            {8, I(7)}}) {
    s.Get(kPointer, id, value);
  }
  s.Set(kPointer, 1, VmcInt(2));
  s.Get(kPointer, 1, I(2));
  s.Set(kPointer, 1, VmcInt(-1));
  s.Get(kPointer, 1, I(1));
  s.Set(kPointer, 0, VmcBool(false));
  s.Set(kPointer, 2, VmcBool(false));
  for (const auto& [id, value] :
       std::vector<std::pair<uint8_t, int32_t>>{{3, 100}, {4, 200}, {5, 1}, {6, 2}}) {
    s.Set(kPointer, id, VmcInt(value));
  }
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{
           {0, B(false)}, {4, B(false)}, {5, I(100)}, {6, I(200)}, {7, I(1)}, {8, I(2)}}) {
    s.Get(kPointer, id, value);
  }

  // Slider: the range keeps minimum <= value <= maximum.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{{0, I(9)},
                                                                            {1, I(10)},
                                                                            {2, I(1)},
                                                                            {3, I(1)},
                                                                            {4, I(0)},
                                                                            {5, I(100)},
                                                                            {6, I(50)},
                                                                            {7, B(true)},
                                                                            {8, B(true)},
                                                                            {9, I(30)},
                                                                            {10, I(0)},
                                                                            {11, I(5)}}) {
    s.Get(kSlider, id, value);
  }
  for (const auto& [id, set, min, max, value] :
       std::vector<std::tuple<uint8_t, int32_t, int32_t, int32_t, int32_t>>{{4, 60, 60, 100, 60},
                                                                            {4, 500, 100, 100, 100},
                                                                            {4, 0, 0, 100, 100},
                                                                            {5, 40, 0, 40, 40},
                                                                            {5, -10, 0, 0, 0},
                                                                            {5, 100, 0, 100, 0},
                                                                            {6, 150, 0, 100, 100},
                                                                            {6, -3, 0, 100, 0},
                                                                            {6, 30, 0, 100, 30}}) {
    s.Set(kSlider, id, VmcInt(set));
    s.Get(kSlider, 4, I(min));
    s.Get(kSlider, 5, I(max));
    s.Get(kSlider, 6, I(value));
  }
  s.Set(kSlider, 2, VmcInt(2));
  s.Get(kSlider, 2, I(2));
  s.Get(kSlider, 9, I(6));
  s.Set(kSlider, 2, VmcInt(3));
  s.Get(kSlider, 2, I(1));
  s.Set(kSlider, 3, VmcInt(0));
  s.Get(kSlider, 3, I(1));
  s.Set(kSlider, 3, VmcInt(2));
  s.Get(kSlider, 3, I(2));
  s.Set(kSlider, 9, VmcInt(1));
  s.Get(kSlider, 10, I(1));
  s.Set(kSlider, 9, VmcInt(7));
  s.Get(kSlider, 10, I(0));
  s.Set(kSlider, 10, VmcInt(8));
  s.Set(kSlider, 0, VmcInt(19));
  s.Set(kSlider, 1, VmcInt(29));
  s.Set(kSlider, 7, VmcInt(0));
  s.Set(kSlider, 8, VmcInt(0));
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{
           {0, I(19)}, {1, I(29)}, {7, B(false)}, {8, B(false)}, {11, I(8)}}) {
    s.Get(kSlider, id, value);
  }

  // Mat: a new file name opens the mat again.
  s.Get(kMat, 0, I(1));
  s.Get(kMat, 1, I(2));
  s.Get(kMat, 2, B(true));
  s.Get(kMat, 3, S("Bin\\M.mat"));
  s.Set(kMat, 0, VmcInt(3));
  s.Set(kMat, 1, VmcInt(4));
  s.Set(kMat, 2, VmcInt(0));
  s.Set(kMat, 3, VmcString("Bin\\Missing.mat"));
  s.Get(kMat, 0, I(3));
  s.Get(kMat, 1, I(4));
  s.Get(kMat, 2, B(false));
  s.Get(kMat, 3, S("Bin\\Missing.mat"));

  // Atex: offsets and scales act on the texture coordinates of the 40 x 30 texture.
  for (const auto& [id, value] : std::vector<std::pair<uint8_t, Parameter>>{{0, I(21)},
                                                                            {1, I(22)},
                                                                            {2, I(99)},
                                                                            {3, B(true)},
                                                                            {4, I(30)},
                                                                            {5, I(-40)},
                                                                            {6, I(100)},
                                                                            {7, I(0)},
                                                                            {8, I(0)},
                                                                            {9, I(0)}}) {
    s.Get(kAtex, id, value);
  }
  s.Set(kAtex, 8, VmcInt(10));
  s.Set(kAtex, 9, VmcInt(-6));
  s.Get(kAtex, 8, I(10));
  s.Get(kAtex, 9, I(-6));
  s.Set(kAtex, 6, VmcInt(200));
  s.Set(kAtex, 6, VmcInt(0));
  s.Set(kAtex, 7, VmcInt(50));
  s.Get(kAtex, 9, I(-6));
  s.Set(kAtex, 7, VmcInt(25));
  s.Get(kAtex, 6, I(200));
  s.Get(kAtex, 7, I(25));
  s.Get(kAtex, 8, I(20));
  s.Get(kAtex, 9, I(-3));
  for (const auto& [id, value] :
       std::vector<std::pair<uint8_t, int32_t>>{{0, 31}, {1, 32}, {2, 10}, {4, 1}, {5, 2}}) {
    s.Set(kAtex, id, VmcInt(value));
    s.Get(kAtex, id, I(value));
  }
  s.Set(kAtex, 3, VmcBool(false));
  s.Get(kAtex, 3, B(false));

  // AppObj, Camera, Scene.
  s.Get(kAppObj, 0, B(false));
  s.Get(kAppObj, 1, B(true));
  s.Set(kAppObj, 0, VmcInt(1));
  s.Set(kAppObj, 1, VmcInt(0));
  s.Get(kAppObj, 0, B(true));
  s.Get(kAppObj, 1, B(false));
  s.Get(kCamera, 0, B(true));
  for (uint8_t id = 1; id <= 6; ++id) {
    s.Get(kCamera, id, I(id));
    s.Set(kCamera, id, VmcInt(id * 10));
    s.Get(kCamera, id, I(id * 10));
  }
  s.Set(kCamera, 0, VmcBool(false));
  s.Get(kCamera, 0, B(false));
  s.Get(kScene, 0, B(true));
  s.Get(kScene, 1, I(1500));
  s.Get(kScene, 2, I(-2500));
  s.Get(kScene, 3, I(3));
  s.Set(kScene, 1, VmcInt(1234));
  s.Set(kScene, 2, VmcString("-7"));
  s.Set(kScene, 3, VmcInt(1000000));
  s.Set(kScene, 0, VmcInt(0));
  s.Get(kScene, 0, B(false));
  s.Get(kScene, 1, I(1234));
  s.Get(kScene, 2, I(-7));
  s.Get(kScene, 3, I(1000000));

  // The order of every object, Render included.
  s.Get(kRender, 255, I(0));
  s.Get(kButton, 255, I(7));
  s.Set(kButton, 255, VmcInt(1));
  s.Set(kRender, 255, VmcInt(-1));
  s.Get(kButton, 255, I(1));
  s.Code().Return();

  const Script* script = LoadWithCode(Finish(s.Code()));
  ASSERT_NE(script, nullptr) << ::testing::PrintToString(ErrorLines());
  EXPECT_THAT(s.Results(script->threads[0].stack), ElementsAreArray(s.Expected()));

  const std::string set = "ScriptCodeObject";
  const std::string clamp =
      " - Script attempted to set invalid frame number.  Clamping to first frame";
  EXPECT_THAT(
      ErrorLines(),
      ElementsAre(set + "ButtonAttributeSet" + clamp + ".",
                  set + "ImageAttributeSet" + clamp + " on object \"IMAGE\".",
                  set + "ListAttributeSet" + clamp + ".",
                  set + "ListAttributeSet - Invalid text mode 4 ignored on list.",
                  set + "ListAttributeSet - Script attempted to set invalid frameSelected number.  "
                        "Clamping to first frame.",
                  set + "ListAttributeSet - Script attempted to set invalid frameMouseOver "
                        "number.  Clamping to first frame.",
                  set + "PointerAttributeSet" + clamp + ".",
                  set + "SliderAttributeSet - Script attempted to set invalid frame range number.  "
                        "Clamping to first frame.",
                  set + "SliderAttributeSet - Script attempted to set invalid frame slider "
                        "number.  Clamping to first frame.",
                  "MatOpenRaw - Unable to open \"Bin\\Missing.mat\"."));

  // The drawables moved, turned and took their colours with the attributes.
  const auto& objects = script->objects;
  EXPECT_THAT(Positions(objects[kButton].button.frames),
              ElementsAreArray(std::vector<ModelVertex>(4, {15, 25, 0})));
  EXPECT_EQ(objects[kButton].button.wrappedLines, (std::vector<std::string>{"aa", "bb", "cc"}));
  const Model* color = objects[kColor].color.model;
  EXPECT_EQ(color->position, (ModelVertex{11, 12, 0}));
  EXPECT_EQ(color->color, (ModelColor{0x40, 0x50, 0x60, 99}));
  EXPECT_THAT(color->vertices, ElementsAre(ModelVertex{0, 0, -5}, ModelVertex{0, 40, -5},
                                           ModelVertex{30, 40, -5}, ModelVertex{30, 0, -5}));
  const FrameSet& image = objects[kImage].image.frames;
  EXPECT_THAT(Positions(image), ElementsAreArray(std::vector<ModelVertex>(4, {100, -5, 0})));
  EXPECT_THAT(Colors(image), ElementsAreArray(std::vector<ModelColor>(4, {0, 255, 0, 128})));
  EXPECT_EQ(image.frames[1].models[1]->rotation, 50.0f);
  const ObjList& list = objects[kList].list;
  EXPECT_THAT(Colors(list.cells), ElementsAreArray(std::vector<ModelColor>(4, {1, 2, 3, 255})));
  EXPECT_THAT(Positions(list.overlays),
              ElementsAre(ModelVertex{50, 60, 0}, ModelVertex{50, 60, 0}));
  EXPECT_EQ(objects[kPointer].pointer.fadeAlpha, 255);
  // The last value set, 30 of 0-100, put the 8 wide thumb 9 pixels along
  // the 32 it has on the 40 wide track.
  EXPECT_THAT(Positions(objects[kSlider].slider.thumb),
              ElementsAreArray(std::vector<ModelVertex>(4, {28, 29, 0})));
  EXPECT_TRUE(objects[kMat].mat.mat.entries.empty());
  const Model* atex = objects[kAtex].atex.model;
  EXPECT_EQ(atex->position, (ModelVertex{31, 32, 0}));
  EXPECT_EQ(atex->color, (ModelColor{255, 255, 255, 10}));
  EXPECT_FLOAT_EQ(ModelTexCoordGet(atex, 2).u, (0.5f + 0.25f) * 2.0f);
  EXPECT_FLOAT_EQ(ModelTexCoordGet(atex, 2).v, (1.0f / 3 - 0.2f) * 0.5f);
  EXPECT_FLOAT_EQ(objects[kScene].scene.x, 1.234f);

  // The new orders re-sorted the draw order and the camera's members.
  std::vector<int32_t> drawn;
  for (const OrderedObject& entry : script->drawOrder) {
    drawn.push_back(entry.object);
  }
  EXPECT_THAT(drawn, ElementsAre(kRender, kColor, kDisplay, kLabel, kList, kPointer, kSlider, kMat,
                                 kAtex, kAppObj, kCamera, kScene, kButton, kImage));
  EXPECT_THAT(objects[kCamera].camera.members,
              ElementsAre(::testing::Field(&OrderedObject::object, kButton),
                          ::testing::Field(&OrderedObject::object, kImage)));
}

// An attribute a type does not have, an item outside a list, an object that
// is not there: the thread ends at that instruction, without a message.
TEST_F(ScriptObjectsTest, AttributesThatDoNotExistEndTheThread) {
  struct Case {
    std::string what;
    uint16_t object;
    uint8_t attribute;
    bool set;
    std::optional<int32_t> item;
  };
  std::vector<Case> cases = {{"button get", kButton, 11, false, {}},
                             {"button set", kButton, 8, true, {}},
                             {"color", kColor, 8, false, {}},
                             {"display", kDisplay, 3, true, {}},
                             {"image get", kImage, 10, false, {}},
                             {"image set", kImage, 7, true, {}},
                             {"label get", kLabel, 13, false, {}},
                             {"label set", kLabel, 10, true, {}},
                             {"list get", kList, 25, false, {}},
                             {"list set", kList, 21, true, {}},
                             {"pointer get", kPointer, 9, false, {}},
                             {"pointer set", kPointer, 7, true, {}},
                             {"slider get", kSlider, 12, false, {}},
                             {"slider set", kSlider, 11, true, {}},
                             {"mat", kMat, 4, false, {}},
                             {"render get", kRender, 0, false, {}},
                             {"render set", kRender, 0, true, {}},
                             {"atex get", kAtex, 10, false, {}},
                             {"atex set", kAtex, 10, true, {}},
                             {"appobj", kAppObj, 2, false, {}},
                             {"camera", kCamera, 7, true, {}},
                             {"scene", kScene, 4, false, {}},
                             {"item below 0", kList, 5, false, -1},
                             {"item past the end", kList, 21, false, 0},
                             {"set item below 0", kList, 5, true, -1},
                             {"set item too far", kList, 16, true, 65536},
                             {"no such object", kObjectCount, 0, false, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VmcCode code;
    code.Push(VmcInt(1));
    const std::optional<VmcOperand> item =
        c.item ? std::optional<VmcOperand>(VmcInt(*c.item)) : std::nullopt;
    if (c.set) {
      code.SetAttribute(c.object, c.attribute, VmcInt(5), item);
    } else {
      code.GetAttribute(c.object, c.attribute, item);
    }
    code.Push(VmcInt(2));
    code.Return();
    ClearLog();
    const Script* script = LoadWithCode(Finish(code));
    ASSERT_NE(script, nullptr);
    ASSERT_EQ(script->threads[0].stack.size(), 1u);
    EXPECT_TRUE(ErrorLines().empty());
    EXPECT_TRUE(script->objects[kList].list.itemValues.empty());
    ScriptClose(script->id);
  }
}

// A Model object's attributes work on the record read, even when its model
// file is missing and the script cannot be shown.
TEST_F(ScriptObjectsTest, ModelAttributesWorkOnTheReadRecord) {
  VmcScript file;
  file.objects = {VmcObjectNew(kVmcModel, "CHAIR")};
  file.objects[0].model = {1, 0, 1500, -20, 7, 10, 20, 30, "Models\\Chair.ms3d"};
  Steps s;
  s.Get(0, 0, B(true));
  s.Get(0, 1, B(false));
  s.Get(0, 2, I(1500));
  s.Get(0, 3, I(-20));
  s.Get(0, 4, I(7));
  s.Get(0, 5, I(10));
  s.Get(0, 6, I(20));
  s.Get(0, 7, I(30));
  for (uint8_t id = 0; id <= 9; ++id) {
    s.Set(0, id, VmcInt(id * 100 + 1));
  }
  for (uint8_t id = 0; id <= 7; ++id) {
    s.Get(0, id, id < 2 ? B(true) : I(id * 100 + 1));
  }
  s.Code().Return();
  file.code = Finish(s.Code());
  WriteScript(file);
  const int32_t id = ScriptNew();
  EXPECT_FALSE(ScriptFileLoad(id, "Bin\\Test.vmc"));
  Script& script = *ScriptFind(id);
  ScriptThreadStart(script, 0, 0);
  EXPECT_THAT(s.Results(script.threads[0].stack), ElementsAreArray(s.Expected()));
  EXPECT_FLOAT_EQ(script.objects[0].model.x, 0.201f);
}

// The animation step tells the listener about shown objects (and enabled
// buttons and lists), calls AppObj callbacks, and scrolls animated textures.
TEST_F(ScriptObjectsTest, AnimationStepCallsTheListenerAndScrollsTextures) {
  std::vector<std::string> heard;
  std::vector<std::string> animated;
  bool closeOnButton = false;
  ScriptAppRoutineRegister("Heard", [&](int32_t script, int32_t thread) {
    const std::string name = ScriptParamGetString(script, thread, 2);
    heard.push_back(std::to_string(ScriptParamGetInt(script, thread, 1)) + " " + name);
    if (closeOnButton && name == "BUTTON") {
      ScriptClose(script);
    }
    return 1;
  });
  ScriptAppObjAnimateRegister("Spin", [&](const std::string& name) { animated.push_back(name); });

  VmcScript file;
  file.objects = Objects(static_cast<uint8_t>(display_));
  file.objects[kList].list.enabled = 0;  // a disabled list is left out
  file.objects[kAppObj].appObj = {1, 1, "spin", "", ""};
  file.objects.push_back(file.objects[kAtex]);  // as fast as a file can say
  file.objects.back().name = "FAST";
  file.objects.back().atex.uvelocity = -2147483647 - 1;
  file.routines = {"Heard"};
  VmcCode code;
  code.Return();  // the initial code
  code.Label("listener");
  code.Push(VmcParam(2));
  code.Push(VmcParam(1));
  code.CallApp(0);
  code.Pop();
  code.Pop();
  code.Return();
  file.code = Finish(code);
  file.listener = 1;
  file.listenerAddress = code.LabelOffset("listener");
  const int32_t id = Load(file);
  ASSERT_NE(id, 0);

  PlatformClockAdvance(1);
  ScriptProcess(id);
  EXPECT_THAT(heard, ElementsAre("-1 BUTTON", "-1 COLOR", "-1 IMAGE"));
  EXPECT_THAT(animated, ElementsAre("APPOBJ"));
  // One step of 0.033 s at (30, -40) texture pixels per second, against the
  // motion, in parts of the 40 x 30 texture.
  const ModelTexCoord scrolled = ModelTexCoordGet(ScriptFind(id)->objects[kAtex].atex.model, 1);
  EXPECT_FLOAT_EQ(scrolled.u, 0.5f - 30 * 0.033f / 40);
  EXPECT_FLOAT_EQ(scrolled.v, 40 * 0.033f / 30);

  // Not again before 33 ms have passed; then a listener that closes the
  // script ends the step there.
  heard.clear();
  PlatformClockAdvance(33);
  ScriptProcess(id);
  EXPECT_TRUE(heard.empty());
  closeOnButton = true;
  PlatformClockAdvance(1);
  ScriptProcess(id);
  EXPECT_THAT(heard, ElementsAre("-1 BUTTON"));
  EXPECT_FALSE(ScriptExists(id));
}

}  // namespace
