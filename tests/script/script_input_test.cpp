// Pointer input of scripts, driven the way the game drives it: mouse
// messages and control events go through the input module into the menu
// control set, the script follows that set's pointer and buttons, and
// scripts compiled from source write what their listener hears into a
// label. The window is twice the size of the scripts' screens, so every
// point also passes the Fill mapping.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/input/input.h"
#include "framework/model/model.h"
#include "platform/platform.h"
#include "tests/script/script_fixture.h"
#include "tools/vmcc/vmcc.h"

namespace {

constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLeftDown = 0x0201;
constexpr uint32_t kLeftUp = 0x0202;
constexpr uint32_t kRightDown = 0x0204;
constexpr uint32_t kRightUp = 0x0205;
constexpr int32_t kScale = 2;  // window pixels per screen pixel

// Every screen logs the pointer events into the label LOG, each with what
// the screen's `note` adds, answers the event (x * 10000 + y, "Q") with
// objectAt(x, y), and passes every event to the screen's `handle`.
const std::string kPrelude = R"(
const D = 1;
object Display Screen { display = D; width = 640; height = 480; }
object Label Log { display = D; }
)";

const std::string kListener = R"(
on event(code, name) {
  if (code < -1) { Log.text = Log.text + code + " " + name + note(code, name) + ";"; }
  if (code > 1000) { Log.text = Log.text + objectAt(code / 10000, code % 10000) + ";"; }
  handle(code, name);
}
)";
const std::string kNoNote = R"(func note(code: int, name: string): string { return ""; })";
const std::string kNoHandler = "func handle(code: int, name: string) {}";

class ScriptInputTest : public ScriptFixture {
 protected:
  void SetUp() override {
    ScriptFixture::SetUp();
    PlatformHeadlessSetJoysticks({{"Pad", 1, 2, 4, 2}});
    InputStart();
    PlatformWindowParams params;
    params.width = 640 * kScale;
    params.height = 480 * kScale;
    window_ = PlatformWindowCreate(params);
    GraphicsDisplaySetWindow(display_, window_);
    InputDisplayAdd(display_, window_);
    set_ = InputMenuControlSet();
    InputControlSetActivate(set_);
    WriteImage("Button.tga", 100, 40);
    WriteImage("Cell.tga", 80, 20);
    WriteImage("Track.tga", 200, 20);
    WriteImage("Thumb.tga", 20, 20);
  }
  void TearDown() override {
    InputStop();
    ScriptFixture::TearDown();
    PlatformWindowDestroy(window_);
  }

  // Compiles the screen: the prelude, the objects and initial code, the
  // listener and the screen's functions `note` and `handle`.
  void LoadScreen(const std::string& objects, const std::string& note = kNoNote,
                  const std::string& handler = kNoHandler) {
    VmccResult result;
    const std::string source = kPrelude + objects + kListener + note + "\n" + handler;
    ASSERT_TRUE(VmccCompile(source, "screen.vms", {}, result))
        << (result.diagnostics.empty() ? "" : result.diagnostics.front());
    id_ = Load(result.script);
    ASSERT_NE(id_, 0);
  }

  ObjEntry& Object(const std::string& name) {
    if (Script* script = ScriptFind(id_)) {
      for (ObjEntry& object : script->objects) {
        if (object.name == name) {
          return object;
        }
      }
    }
    ADD_FAILURE() << "no object " << name;
    static ObjEntry none;
    return none;
  }

  // What the listener wrote since the last call.
  std::string Heard() { return std::exchange(Object("LOG").label.text, ""); }

  // Mouse messages at a point of the screen.
  void Mouse(uint32_t message) {
    InputMouseMessage(message, window_, 0, y_ * kScale << 16 | x_ * kScale);
  }
  void MoveTo(int32_t x, int32_t y) {
    x_ = x;
    y_ = y;
    Mouse(kMouseMove);
  }
  // One frame of the game: the script's step, then the game takes the
  // action events (`consumed_`: which of them the script consumed).
  std::string Frame() {
    ScriptProcess(id_);
    consumed_.clear();
    for (const InputEvent& event : InputActionEventsTake(set_)) {
      consumed_.push_back(event.handled);
    }
    return Heard();
  }
  std::string Click(int32_t x, int32_t y) {
    MoveTo(x, y);
    Mouse(kLeftDown);
    Mouse(kLeftUp);
    return Frame();
  }
  std::string ObjectAt(int32_t x, int32_t y) {
    ScriptEventSend(id_, x * 10000 + y, "Q");
    return Heard();
  }

  // Writes a mat of `width` x 1 pixel columns repeated over `height` rows.
  void WriteColumnsMat(const std::string& name, const std::vector<MatEntry>& entries,
                       const std::vector<uint8_t>& columns, int32_t columnWidth, int32_t height) {
    Mat mat;
    mat.entries = entries;
    mat.width = static_cast<int32_t>(columns.size()) * columnWidth;
    mat.height = height;
    for (int32_t row = 0; row < height; ++row) {
      for (uint8_t column : columns) {
        mat.data.insert(mat.data.end(), static_cast<size_t>(columnWidth), column);
      }
    }
    folder_.write("Bin/" + name, "");
    const int32_t file = DataFileDirectCreate(folder_.path() + "Bin/" + name);
    ASSERT_EQ(MatDirectSave(file, mat), 3);
    DataFileDirectClose(file);
  }

  PlatformWindow window_ = 0;
  int32_t set_ = 0;
  int32_t id_ = 0;
  int32_t x_ = 0;
  int32_t y_ = 0;
  std::vector<bool> consumed_;
};

const std::string kButtons = R"(
object Button A { display = D; left = 100; top = 100; frames { frame "Bin\\Button.tga"; } }
object Button B { display = D; left = 300; top = 100; frames { frame "Bin\\Button.tga"; } }
)";

TEST_F(ScriptInputTest, ButtonsHearEnterPressClickAndLeaveAndConsumeWhatTheyHeard) {
  LoadScreen(kButtons);
  EXPECT_EQ(ScriptFind(id_)->inputDevice, set_);
  MoveTo(150, 120);
  EXPECT_EQ(Frame(), "-5 A;");

  // A click: the press and the release are consumed, so the game does not
  // also take the release as a click of its own.
  Mouse(kLeftDown);
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-3 A;-4 A;");
  EXPECT_EQ(consumed_, (std::vector<bool>{true, true}));

  // Pressed on A and released elsewhere: A is left while held, no click,
  // and the release stays for the game. Set free, the pointer finds B.
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-3 A;");
  MoveTo(350, 120);  // over B, but A holds the pointer
  EXPECT_EQ(Frame(), "-6 A;");
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-5 B;");
  EXPECT_EQ(consumed_, std::vector<bool>{false});

  // Moving within B, standing still, and from B to A in one frame.
  MoveTo(360, 126);
  EXPECT_EQ(Frame(), "-7 B;");
  EXPECT_EQ(Frame(), "");  // no move, no event
  MoveTo(110, 110);
  EXPECT_EQ(Frame(), "-6 B;-5 A;");

  // The right button: press and click of their own.
  Mouse(kRightDown);
  Mouse(kRightUp);
  EXPECT_EQ(Frame(), "-8 A;-9 A;");
  // A press and release between two frames over nothing reach nobody.
  EXPECT_EQ(Click(50, 300), "-6 A;");
}

TEST_F(ScriptInputTest, WhatIsFoundIsTheTopmostInDrawOrderThroughMatsAndCameras) {
  WriteColumnsMat("Door.mat", {{"Transparent", 0}, {"Door", 0x00FF00}, {"", 0xFF0000}}, {0, 1, 2},
                  10, 10);
  WriteColumnsMat("Round.mat", {{"", 0}, {"", 0xFFFFFF}}, {0, 1}, 50, 40);
  LoadScreen(R"(
object Color Back { display = D; order = 0; width = 640; height = 480; }
object Color C2 { display = D; order = 2; left = 420; top = 320; width = 50; height = 50; }
object Color C1 { display = D; order = 1; left = 400; top = 300; width = 50; height = 50; }
object Button Under { display = D; order = 3; left = 100; top = 100; frames { frame "Bin\\Button.tga"; } }
object Mat M { display = D; order = 4; left = 100; top = 100; file = "Bin\\Door.mat"; }
object Button Round { display = D; order = 4; left = 300; top = 200;
                      frames { frame "Bin\\Button.tga" mat "Bin\\Round.mat"; } }
object Color Inside { display = D; order = 6; left = 1010; top = 10; width = 20; height = 20; }
object Color Hidden { display = D; order = 8; top = 400; width = 50; height = 50; }
object Camera Cam { display = D; order = 5; viewLeft = 500; viewWidth = 100; viewHeight = 100;
                    cameraX = 1000; member = Inside; }
object Camera Zero { display = D; order = 7; viewTop = 400; viewHeight = 80; member = Hidden; }
)",
             kNoNote,
             R"(func handle(code: int, name: string) { if (code == 2) { C1.order = 3; } })");

  EXPECT_EQ(ObjectAt(105, 105), "UNDER;");  // the mat is transparent there
  EXPECT_EQ(ObjectAt(115, 105), "DOOR;");
  EXPECT_EQ(ObjectAt(125, 105), "M;");  // an entry without a name
  EXPECT_EQ(ObjectAt(150, 130), "UNDER;");
  EXPECT_EQ(ObjectAt(310, 210), "BACK;");  // entry 0 of a button's mat is not the button
  EXPECT_EQ(ObjectAt(360, 210), "ROUND;");
  EXPECT_EQ(ObjectAt(430, 330), "C2;");
  ScriptEventSend(id_, 2, "raise");
  EXPECT_EQ(ObjectAt(430, 330), "C1;");
  EXPECT_EQ(ObjectAt(1015, 15), ";");  // a camera's member only through the camera
  EXPECT_EQ(ObjectAt(515, 15), "INSIDE;");
  EXPECT_EQ(ObjectAt(505, 5), "BACK;");   // in the view, but no member there
  EXPECT_EQ(ObjectAt(10, 410), "BACK;");  // a view without width holds nothing

  // The pointer meets the same objects; the mat's entries are objects of
  // their own to enter and leave.
  MoveTo(115, 105);
  EXPECT_EQ(Frame(), "-5 DOOR;");
  MoveTo(105, 105);
  EXPECT_EQ(Frame(), "-6 DOOR;-5 UNDER;");
  MoveTo(125, 105);
  EXPECT_EQ(Frame(), "-6 UNDER;-5 M;");
  MoveTo(515, 15);
  EXPECT_EQ(Frame(), "-6 M;-5 INSIDE;");
}

TEST_F(ScriptInputTest, TheGameHitTestsItsObjectsAndMayCloseTheScriptMeanwhile) {
  std::vector<std::string> asked;
  bool close = false;
  ScriptAppObjInObjectRegister("InShip", [&](const std::string& name, int32_t x, int32_t y) {
    asked.push_back(name + " " + std::to_string(x) + " " + std::to_string(y));
    if (close) {
      ScriptClose(id_);
    }
    return x >= 200 && x < 300;
  });
  LoadScreen(R"(
object Button A { display = D; left = 100; top = 100; frames { frame "Bin\\Button.tga"; } }
object AppObj Ship { display = D; order = 1; inObject = "InShip"; }
)");
  EXPECT_EQ(ObjectAt(250, 120), "SHIP;");
  EXPECT_EQ(ObjectAt(150, 120), "A;");
  MoveTo(250, 120);
  EXPECT_EQ(Frame(), "-5 SHIP;");
  EXPECT_EQ(asked, (std::vector<std::string>{"SHIP 250 120", "SHIP 150 120", "SHIP 250 120"}));

  // Closed while its listener asks what is at a point, and while the
  // pointer looks for what is under it.
  close = true;
  ScriptEventSend(id_, 250 * 10000 + 120, "Q");
  EXPECT_FALSE(ScriptExists(id_));
  id_ = ScriptLoad("Bin\\Test.vmc");
  ASSERT_NE(id_, 0);
  ScriptProcess(id_);
  EXPECT_FALSE(ScriptExists(id_));
}

// A talk's options come up over the hush, which takes every click under
// them, while the button pressed on the hush is still held: the options
// take the hold over, and the release chooses the option under it, the one
// the hit test found. Once the pointer is off the pressed object, the
// object it is over is still not clicked.
TEST_F(ScriptInputTest, AnObjectShownOverThePressedOneTakesTheHoldAndIsClicked) {
  int32_t selected = -1;
  ScriptAppObjInObjectRegister("InOptions", [&](const std::string&, int32_t x, int32_t y) {
    selected = x >= 200 && x < 300 && y >= 100 && y < 180 ? 1 + (y - 100) / 40 : -1;
    return selected > 0;
  });
  ScriptAppRoutineRegister("Chosen", [&](int32_t script, int32_t thread) {
    ScriptParamSetInt(script, thread, 1, selected);
    return 1;
  });
  LoadScreen(R"(
routine Chosen;
object Color Hush { display = D; width = 640; height = 480; }
object Slider S { display = D; left = 200; top = 160; pageSize = 10;
                  track { frame "Bin\\Track.tga"; } thumb { frame "Bin\\Thumb.tga"; } }
object AppObj Options { display = D; order = 1; visible = false; inObject = "InOptions"; }
)",
             R"(func note(code: int, name: string): string {
  var id = 0;
  if (code == -4 and name == "OPTIONS") { Chosen(out id); return " " + id; }
  return "";
})");
  ObjAppObj& options = Object("OPTIONS").appObj;
  MoveTo(250, 150);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-5 HUSH;-3 HUSH;");
  options.visible = 1;
  EXPECT_EQ(Frame(), "-6 HUSH;-5 OPTIONS;");
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-4 OPTIONS 2;");
  EXPECT_EQ(consumed_, std::vector<bool>{true});

  // Shown and released within one frame, after a move within the hush.
  options.visible = 0;
  MoveTo(260, 110);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-6 OPTIONS;-5 HUSH;-3 HUSH;");
  options.visible = 1;
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-6 HUSH;-5 OPTIONS;-4 OPTIONS 1;");

  // Pressed on an option that goes away: the hush, now under the pointer,
  // was not pressed and is not clicked.
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-3 OPTIONS;");
  options.visible = 0;
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-6 OPTIONS;-5 HUSH;");
  EXPECT_EQ(consumed_, std::vector<bool>{false});

  // Pressed on the hush and moved onto an option already shown: the option
  // was not pressed and is not clicked.
  MoveTo(450, 150);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-7 HUSH;-3 HUSH;");
  options.visible = 1;
  MoveTo(250, 150);
  EXPECT_EQ(Frame(), "-6 HUSH;");
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-5 OPTIONS;");

  // A slider pressed on its track keeps the hold under the options shown
  // over it: it pages and hears its release, and no option is clicked.
  options.visible = 0;
  MoveTo(250, 170);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-6 OPTIONS;-5 S;-3 S;");
  options.visible = 1;
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-6 S;-2 S;-10 S;-5 OPTIONS;");
}

const std::string kList = R"(
object List L { display = D; left = 100; top = 200; cellCount = 4; mat = "Bin\\Cell.mat";
                cells { frame "Bin\\Cell.tga"; } }
L.firstItem = 10;
)";

TEST_F(ScriptInputTest, AListClickSelectsTheItemAndTheMatRegionUnderThePointer) {
  WriteColumnsMat("Cell.mat", {{"Play", 0}, {"", 0xFFFFFF}}, {0, 1}, 40, 20);
  LoadScreen(kList, R"(func note(code: int, name: string): string {
    if (code == -4) { return " " + L.selectedIndex + " " + L.clickedLabel; }
    return "";
  })",
             R"(func handle(code: int, name: string) {
    if (code == 2) { L.kind = "horizontal"; }
    if (code == 3) { L.cellCount = name; }
  })");
  EXPECT_EQ(Click(120, 225), "-5 L;-3 L;-4 L 11 PLAY;");
  EXPECT_EQ(Object("L").list.pointedIndex, 11);
  EXPECT_EQ(Click(170, 265), "-7 L;-3 L;-4 L 13 1;");

  ScriptEventSend(id_, 2, "");
  EXPECT_EQ(Click(250, 205), "-7 L;-3 L;-4 L 11 1;");  // the second cell, side by side
  EXPECT_EQ(Click(430, 205), "-6 L;");                 // past the fourth cell

  // Lists without cells are never hit.
  for (const char* count : {"0", "-3"}) {
    ScriptEventSend(id_, 3, count);
    EXPECT_EQ(Click(110, 205), "");
    EXPECT_EQ(Object("L").list.pointedIndex, -1);
  }
}

// S: a 200 wide track with a 20 wide thumb over 0-100 (its second thumb
// frame is as wide as the track). Full: a thumb as large as its track. Flat:
// a range without width.
const std::string kSliders = R"(
object Slider S { display = D; left = 100; top = 300; pageSize = 10;
                  track { frame "Bin\\Track.tga"; }
                  thumb { frame "Bin\\Thumb.tga"; frame "Bin\\Track.tga"; } }
object Slider Full { display = D; left = 100; top = 350; pageSize = 10;
                     track { frame "Bin\\Track.tga"; } thumb { frame "Bin\\Track.tga"; } }
object Slider Flat { display = D; left = 100; top = 400; minValue = 5; maxValue = 5; value = 5;
                     pageSize = 10; track { frame "Bin\\Track.tga"; } thumb { frame "Bin\\Thumb.tga"; } }
)";
const std::string kSliderNote = R"(func note(code: int, name: string): string {
  if (name == "S") { return " " + S.value; }
  return "";
})";
const std::string kJump = R"(func handle(code: int, name: string) {
  if (code == 2) { S.pageType = 1; Full.pageType = 1; }
  if (code == 3) { S.frameSlider = 2; }
})";

float ThumbX(const ObjEntry& slider) {
  return ModelGetPosition(slider.slider.thumb.frames[0].models[0]).x;
}

TEST_F(ScriptInputTest, DraggingTheThumbMovesTheValueWithTheThumb) {
  LoadScreen(kSliders, kSliderNote, kJump);
  MoveTo(110, 310);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-5 S 0;-3 S 0;");
  for (const char* heard : {"-2 S 16;", "-2 S 33;", "-2 S 50;"}) {
    MoveTo(x_ + 30, 310);
    EXPECT_EQ(Frame(), heard);
  }
  EXPECT_EQ(Object("S").slider.thumbOffset, 90);
  EXPECT_EQ(ThumbX(Object("S")), 190.0f);
  MoveTo(x_, 330);  // across the track: the thumb stays
  EXPECT_EQ(Frame(), "");
  MoveTo(x_ + 500, 330);  // past the end, and back less than the overshoot
  EXPECT_EQ(Frame(), "-2 S 100;");
  MoveTo(x_ - 100, 330);
  EXPECT_EQ(Frame(), "");
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-10 S 100;");  // a drag ends without a page step or click
}

TEST_F(ScriptInputTest, ClickingTheTrackPagesOrJumpsThenReleases) {
  LoadScreen(kSliders + "S.value = 50;\n", kSliderNote, kJump);
  // The script's value placed the thumb at 90 of 180: the click is before it.
  EXPECT_EQ(ThumbX(Object("S")), 190.0f);
  EXPECT_EQ(Click(120, 310), "-5 S 50;-3 S 50;-2 S 40;-10 S 40;");
  EXPECT_EQ(Object("S").slider.thumbOffset, 72);
  EXPECT_EQ(Click(290, 310), "-7 S 40;-3 S 40;-2 S 50;-10 S 50;");  // after it

  ScriptEventSend(id_, 2, "");
  EXPECT_EQ(Click(250, 310), "-7 S 50;-3 S 50;-2 S 77;-10 S 77;");  // the thumb's middle to 250
  EXPECT_EQ(Click(105, 310), "-7 S 77;-3 S 77;-2 S 0;-10 S 0;");
}

TEST_F(ScriptInputTest, DegenerateSlidersNeitherDivideByZeroNorMove) {
  LoadScreen(kSliders, kSliderNote, kJump);
  // The thumb fills the track: grabbed, but it has nowhere to go.
  MoveTo(150, 360);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-5 FULL;-3 FULL;");
  MoveTo(250, 360);
  EXPECT_EQ(Frame(), "");
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-10 FULL;");
  // Every click on it grabs the thumb: a drag without movement, no page step.
  ScriptEventSend(id_, 2, "");
  EXPECT_EQ(Click(290, 360), "-7 FULL;-3 FULL;-10 FULL;");
  EXPECT_EQ(Object("FULL").slider.value, 0);
  EXPECT_EQ(Object("FULL").slider.thumbOffset, 0);

  // No range: the thumb moves, the value stays the only one there is.
  MoveTo(110, 410);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-6 FULL;-5 FLAT;-3 FLAT;");
  MoveTo(170, 410);
  EXPECT_EQ(Frame(), "-2 FLAT;");
  Mouse(kLeftUp);
  EXPECT_EQ(Frame(), "-10 FLAT;");
  EXPECT_EQ(Click(280, 410), "-7 FLAT;-3 FLAT;-2 FLAT;-10 FLAT;");
  EXPECT_EQ(Object("FLAT").slider.value, 5);

  // S's thumb jumps to the end, then grows as large as the track: the track
  // left of it cannot jump, and a drag can only take it back to the start.
  EXPECT_EQ(Click(290, 310), "-6 FLAT;-5 S 0;-3 S 0;-2 S 100;-10 S 100;");
  ScriptEventSend(id_, 3, "");
  EXPECT_EQ(Click(120, 310), "-7 S 100;-3 S 100;-2 S 100;-10 S 100;");
  MoveTo(290, 310);
  Mouse(kLeftDown);
  EXPECT_EQ(Frame(), "-7 S 100;-3 S 100;");
  MoveTo(300, 310);
  EXPECT_EQ(Frame(), "-2 S 0;");
  EXPECT_EQ(Object("S").slider.thumbOffset, 0);
}

TEST_F(ScriptInputTest, APausedStateHearsNoPointerEvents) {
  LoadScreen(kButtons);
  StateSetEnter(1, [](int32_t) {});
  StateSet(1);
  StatePause();
  EXPECT_EQ(Click(150, 120), "");
  EXPECT_EQ(Click(350, 120), "");
  StateResume();
  EXPECT_EQ(Frame(), "-5 B;");
}

TEST_F(ScriptInputTest, InputBuiltinsWorkOnTheControlSets) {
  LoadScreen("var set = 0;\nvar act = 0;\n", kNoNote, R"(func handle(code: int, name: string) {
  if (code == 100) {
    set = controlSetFind("menu controls");
    act = controlSetAction(set, 2);
    Log.text = "" + set + " " + controlSetActionCount(set) + " " + actionName(act) + " " +
               controlSetAction(set, 5) + " " + actionKey(act, 0) + " " + actionKey(act, 1);
    bindKey(act, 104, 100);
    bindKey(act, 34, 100);
    Log.text = Log.text + " | " + actionKey(act, 1) + " " + actionKey(act, 2) + " " +
               keyAction(set, 34) + " " + keyName(104) + " " + keyName(166);
    unbindAction(act);
    Log.text = Log.text + " | " + actionKey(act, 0) + " " + keyAction(set, 36) + " " +
               mouseKey(0) + " " + mouseKey(3) + " " + mouseKey(99) + " " + joystickCount() +
               " " + mouseSwapped();
  }
  if (code == 101) { Log.text = "" + nextKey(); }
  if (code == 102) { flushKeys(); Log.text = "" + nextKey(); }
})");
  const int32_t exit = InputActionFind(set_, "Exit");
  ScriptEventSend(id_, 100, "");
  EXPECT_EQ(Heard(), std::to_string(set_) + " 5 Exit -1 36 0 | 104 34 " + std::to_string(exit) +
                         " Space X-axis Left (Pad) | 0 -1 120 119 0 1 false");
  // Enter left "Select Item" when it was bound to "Exit".
  EXPECT_EQ(InputActionOfControl(set_, kInputKeyEnter), -1);
  EXPECT_EQ(InputActionControl(InputActionFind(set_, "Select Item"), 1),
            InputJoystickControl(0, 1));

  // The first key released, passing over presses, mouse movement and
  // joystick axes; the queue is taken.
  InputControlFeed(set_, 11, 100);
  InputMouseReset(5, 5);
  InputControlFeed(set_, InputJoystickControl(0, 40), 0);
  InputControlFeed(set_, 11, 0);
  InputControlFeed(set_, 18, 0);
  ScriptEventSend(id_, 101, "");
  EXPECT_EQ(Heard(), "11");
  EXPECT_TRUE(InputControlEventsTake(set_).empty());
  InputControlFeed(set_, 18, 0);
  ScriptEventSend(id_, 102, "");
  EXPECT_EQ(Heard(), "0");
}

}  // namespace
