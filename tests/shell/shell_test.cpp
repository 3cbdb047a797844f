#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include "framework/input/input.h"
#include "platform/platform.h"
#include "shell/modules.h"
#include "shell/replay.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"

// Takes the shell's start-up, loop and shutdown steps one at a time.
class TmainFormTestAccess {
 public:
  static bool StartupChecks() { return MainForm().StartupChecks(); }
  static void FramePass() { MainForm().FramePass(); }
  static void Shutdown() { MainForm().Shutdown(); }
};

namespace {

constexpr const char* kTitle = "Tamsin Larkwood Brisk Forge 36";

// The whole shell on the headless platform, posing as a program in a
// temporary folder with its user files kept there.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
  }
  void TearDown() override { platform_.reset(); }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

TEST_F(ShellTest, ACloseBeforeTheGameStartsEndsTheProcessCleanly) {
  PlatformHeadlessPostEvent({.type = PlatformEventType::QuitRequest});
  EXPECT_EQ(ShellMain(), 0);
  EXPECT_TRUE(PlatformShownBoxes().empty());
  EXPECT_EQ(PlatformCurrentFolder(), program_.path());
}

TEST_F(ShellTest, DecliningTheSoftwareRendererEndsTheProcess) {
  // The headless platform has no accelerated OpenGL, so the question comes.
  PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer::No);
  EXPECT_EQ(ShellMain(), 0);
  ASSERT_EQ(PlatformShownBoxes().size(), 1u);
  const PlatformShownBox& box = PlatformShownBoxes().front();
  EXPECT_EQ(box.title, kTitle);
  EXPECT_EQ(box.kind, PlatformBoxKind::YesNo);
  EXPECT_EQ(box.text, std::string("Your system does not have hardware acceleration for OpenGL.  ") +
                          kTitle +
                          " can be run but at reduced performance levels.\r\n\r\nYou may be able "
                          "to correct this by updating your video drivers from your vendor's "
                          "website.\r\n\r\nWould you like to run " +
                          kTitle + " anyway?");
  // The game starts a second after the splash window is first activated.
  EXPECT_GE(PlatformTickCount(), 1000u);
}

TEST_F(ShellTest, AStartThatCannotOpenTheGameDisplayEndsWithStatusOne) {
  // No render window can be made: the start ends instead of waiting for it.
  PlatformHeadlessFailOpenGLWindows("No matching OpenGL visual.");
  EXPECT_EQ(ShellMain(), 1);
  EXPECT_NE(program_.read("results.log").find("GameInitDisplay - Unable to add \"Primary\""),
            std::string::npos);

  // No display mode the game can use.
  platform_.reset();
  platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                 std::vector<std::string>{"-userdatainapp"});
  PlatformMonitor small;
  small.bounds = {0, 0, 640, 400};
  small.primary = true;
  small.modes = {{640, 400, 32, 60}};
  small.desktopMode = small.modes.front();
  PlatformHeadlessSetMonitors({small});
  EXPECT_EQ(ShellMain(), 1);
  EXPECT_NE(program_.read("results.log").find("GameInitDisplay - Unable to find suitable display"),
            std::string::npos);
  // Neither failure shows a box beyond the acceleration question.
  EXPECT_EQ(PlatformShownBoxes().size(), 1u);
}

TEST_F(ShellTest, WhileRunningTheMouseFeedsTheActiveSetAndKeysStopWithTheFocus) {
  program_.write("settings.ini", "[Video]\nFullscreen=No\n");
  ModulesStart();
  PlatformSetEventHandler([](const PlatformEvent& event) { MainForm().DispatchEvent(event); });
  MainForm().MainFormCreate();
  ASSERT_TRUE(TmainFormTestAccess::StartupChecks());
  EXPECT_TRUE(InputKeyboardHooked());
  const PlatformWindow primary = 2;  // the splash window is the first
  const int32_t set = InputMenuControlSet();
  InputControlSetActivate(set);
  // The render window is registered: the pointer follows the mouse into it.
  PlatformHeadlessPostEvent({.type = PlatformEventType::MouseMessage,
                             .window = primary,
                             .message = 0x0201,
                             .wParam = 1,
                             .lParam = (20 << 16) | 30});
  PlatformHeadlessPostEvent({.type = PlatformEventType::MouseMessage,
                             .window = primary,
                             .message = 0x0200,
                             .lParam = (20 << 16) | 30});
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::KeyDown, .window = primary, .key = SDL_SCANCODE_SPACE});
  MainForm().MainFormProcessMessages();
  const std::vector<InputEvent> fed = InputControlEventsTake(set);
  ASSERT_GE(fed.size(), 2u);
  EXPECT_EQ(fed.front().code, kInputMouseLeftButton);
  EXPECT_EQ(fed.back().code, 104);  // Space
  const InputPointer pointer = InputPointerGet(set);
  EXPECT_NE(pointer.display, -1);
  EXPECT_EQ(pointer.x, 30);
  EXPECT_EQ(pointer.y, 20);

  // The focus goes: the next pass pauses and unhooks, and keys are dropped.
  PlatformHeadlessPostEvent({.type = PlatformEventType::WindowDeactivated, .window = primary});
  MainForm().MainFormProcessMessages();
  TmainFormTestAccess::FramePass();
  EXPECT_FALSE(InputKeyboardHooked());
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::KeyDown, .window = primary, .key = SDL_SCANCODE_ESCAPE});
  MainForm().MainFormProcessMessages();
  EXPECT_TRUE(InputControlEventsTake(set).empty());

  // It comes back: hooked again.
  PlatformHeadlessPostEvent({.type = PlatformEventType::WindowActivated, .window = primary});
  MainForm().MainFormProcessMessages();
  TmainFormTestAccess::FramePass();
  EXPECT_TRUE(InputKeyboardHooked());

  TmainFormTestAccess::Shutdown();
  EXPECT_FALSE(InputKeyboardHooked());
  // Once the game has stopped, mouse messages no longer reach the input module.
  PlatformHeadlessPostEvent(
      {.type = PlatformEventType::MouseMessage, .window = primary, .message = 0x0201, .lParam = 0});
  MainForm().MainFormProcessMessages();
  EXPECT_TRUE(InputControlEventsTake(set).empty());
  PlatformSetEventHandler({});
  ModulesStop();
}

}  // namespace

// --- The replay file -----------------------------------------------------------------------

namespace {

// Every kind of line a game maker may write, with an editor's byte order
// mark, comments, blank lines, carriage returns and quoted names.
constexpr const char* kHandWritten =
    "\xEF\xBB\xBF# the menu, then the options and back\r\n"
    "replay 1\r\n"
    "step 20\r\n"
    "size 1280 720\r\n"
    "seed 4294967295\r\n"
    "start 2026-12-08 09:30:05\r\n"
    "\r\n"
    "0 move 640 360\r\n"
    "3 down left 640 360\r\n"
    "3   up   left 640 360   \r\n"
    "5 wheel down 1 2\r\n"
    "5 wheel right 1 2\r\n"
    "6 down x2 0 65535\r\n"
    "7 keydown \"Left Shift\"\r\n"
    "7 keyup f12\r\n"
    "  # indented comment\r\n"
    "wait \"menu main fade in\" TRUE 3000\r\n"
    "8 pause\r\n"
    "9 resume\r\n"
    "9 close\r\n"
    "10 report\r\n"
    "12 end\r\n";

}  // namespace

// A hand-written file reads into its lines, and writing those lines back
// gives a file that reads the same; every mouse message a recording can meet
// comes back as the message the input module reads.
TEST(ReplayFile, AHandWrittenFileReadsAndWritesBackTheSame) {
  ReplayFile file;
  std::string error;
  ASSERT_TRUE(ReplayFileParse(kHandWritten, "menus.txt", file, error)) << error;
  EXPECT_EQ(file.header.step, 20);
  EXPECT_EQ(file.header.width, 1280);
  EXPECT_EQ(file.header.height, 720);
  EXPECT_EQ(file.header.sizeLine, 4);
  EXPECT_EQ(file.header.seed, 4294967295u);
  EXPECT_EQ(file.header.start.day, 8);
  EXPECT_EQ(file.header.start.second, 5);
  ASSERT_EQ(file.lines.size(), 14u);
  const ReplayLine& wheel = file.lines[3];
  EXPECT_EQ(wheel.line, 11);
  EXPECT_EQ(wheel.message, 0x020Au);
  EXPECT_GT(wheel.wParam, 0x7CFFFFFFu);  // towards the user
  EXPECT_EQ(file.lines[5].message, 0x020Bu);
  EXPECT_EQ(file.lines[5].wParam >> 16, 2u);
  EXPECT_EQ(file.lines[5].y, 65535);
  EXPECT_EQ(file.lines[6].key, "Left Shift");
  EXPECT_GE(ReplayKeyScancode(file.lines[7].key), 0);
  const ReplayLine& wait = file.lines[8];
  EXPECT_EQ(wait.action, ReplayAction::Wait);
  EXPECT_EQ(wait.variable, "menu main fade in");
  EXPECT_EQ(wait.limit, 3000);
  EXPECT_EQ(file.lines[12].action, ReplayAction::Report);
  EXPECT_EQ(file.lines.back().action, ReplayAction::End);

  std::string written = ReplayHeaderText(file.header);
  for (const ReplayLine& line : file.lines) {
    written += ReplayLineText(line);
  }
  EXPECT_NE(written.find("start 2026-12-08 09:30:05\n"), std::string::npos) << written;
  EXPECT_NE(written.find("7 keydown \"Left Shift\"\n"), std::string::npos) << written;
  ReplayFile again;
  ASSERT_TRUE(ReplayFileParse(written, "again.txt", again, error)) << error << "\n" << written;
  ASSERT_EQ(again.lines.size(), file.lines.size());
  for (size_t i = 0; i < file.lines.size(); ++i) {
    SCOPED_TRACE(written);
    EXPECT_EQ(ReplayLineText(again.lines[i]), ReplayLineText(file.lines[i]));
    EXPECT_EQ(again.lines[i].message, file.lines[i].message);
    EXPECT_EQ(again.lines[i].wParam, file.lines[i].wParam);
  }

  // What the SDL pump sends: held-button flags in the low word, multi-notch
  // wheels, points packed in 16 bits each.
  const struct {
    uint32_t message, wParam;
    const char* text;
  } messages[] = {
      {0x0200, 0x0001, "4 move 30 20\n"},
      {0x0201, 0x0001, "4 down left 30 20\n"},
      {0x0202, 0x0000, "4 up left 30 20\n"},
      {0x0204, 0x0002, "4 down right 30 20\n"},
      {0x0205, 0x0000, "4 up right 30 20\n"},
      {0x0207, 0x0010, "4 down middle 30 20\n"},
      {0x0208, 0x0000, "4 up middle 30 20\n"},
      {0x020B, 0x10020, "4 down x1 30 20\n"},
      {0x020C, 0x20000, "4 up x2 30 20\n"},
      {0x020A, 0x00F00000, "4 wheel up 30 20\n"},
      {0x020A, 0xFE200000, "4 wheel down 30 20\n"},
      {0x020E, 0x00780000, "4 wheel left 30 20\n"},
      {0x020E, 0xFF880000, "4 wheel right 30 20\n"},
  };
  for (const auto& message : messages) {
    ReplayLine line;
    line.frame = 4;
    ASSERT_TRUE(ReplayLineFromMouse(message.message, message.wParam, (20 << 16) | 30, line));
    EXPECT_EQ(ReplayLineText(line), message.text);
  }
  ReplayLine line;
  EXPECT_FALSE(ReplayLineFromMouse(0x0203, 0, 0, line));  // a double click is not kept
}

// Every fault names the file and line; nothing half-read is used.
TEST(ReplayFile, FaultsNameTheFileAndTheLine) {
  const std::string header =
      "replay 1\nstep 20\nsize 1280 720\nseed 7\nstart 2026-12-08 09:30:00\n";
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"", "bad.txt:0: the file is empty"},
      {"replay 2\n", "bad.txt:1: replay format 2 is not known"},
      {"# a comment\nstep 20\n", "bad.txt:2: a replay file begins with \"replay 1\""},
      {"replay 1\nstep 20\nsize 1280 720\nseed 7\n", "bad.txt:4: the header has no \"start\" line"},
      {"replay 1\nstep 20\nseed 7\nstart 2026-12-08 09:30:00\n0 end\n",
       "bad.txt:5: the header has no \"size\" line"},
      {"replay 1\nstep 0\n", "bad.txt:2: expected \"step MILLISECONDS\""},
      {"replay 1\nsize 1280 720\nsize 800 600\n", "bad.txt:3: the header has a second \"size\""},
      {"replay 1\nstart 2023-02-29 10:00:00\n", "bad.txt:2: expected \"start YYYY-MM-DD"},
      {"replay 1\nseed 4294967296\n", "bad.txt:2: expected \"seed NUMBER\""},
      {header + "0 move 1 2\nstep 10\n", "bad.txt:7: the header's lines come before the first"},
      {header + "teleport 1 2\n", "bad.txt:6: \"teleport\" is neither a header line"},
      {header + "5 move 1 2\n4 move 1 2\n", "bad.txt:7: frame 4 comes after frame 5"},
      {header + "5 jump\n", "bad.txt:6: \"jump\" is not something a frame can do"},
      {header + "5 move 1\n", "bad.txt:6: expected \"FRAME move X Y\""},
      {header + "5 move 1 65536\n", "bad.txt:6: a client point has coordinates of 0 to 65535"},
      {header + "5 move -1 2\n", "bad.txt:6: a client point"},
      {header + "5 down thumb 1 2\n", "bad.txt:6: the mouse buttons are left"},
      {header + "5 keydown Shift\n", "bad.txt:6: no key is named \"Shift\""},
      {header + "5 keydown \"Left Shift\n", "bad.txt:6: a quote is not closed"},
      {header + "wait SOLVED true 0\n", "bad.txt:6: expected \"wait VARIABLE VALUE LIMIT\""},
      {header + "wait SOLVED true\n", "bad.txt:6: expected \"wait VARIABLE VALUE LIMIT\""},
      {header + "5 end\n6 move 1 2\n", "bad.txt:7: nothing may follow the end line"},
      {header + "5 pause now\n", "bad.txt:6: expected \"FRAME pause\""},
  };
  for (const auto& fault : cases) {
    ReplayFile file;
    std::string error;
    EXPECT_FALSE(ReplayFileParse(fault.text, "bad.txt", file, error)) << fault.text;
    EXPECT_TRUE(error.starts_with(fault.error)) << error << "\nfor\n" << fault.text;
  }
}
