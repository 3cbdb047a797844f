// The windowing side of the platform layer under the headless backend:
// message boxes, fake monitors, window bookkeeping, the application's focus
// and minimised state, and event delivery.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(PlatformStart(PlatformBackend::Headless)); }
  void TearDown() override { PlatformStop(); }

  // Pumps and returns what the handler received.
  std::vector<PlatformEvent> Pump() {
    std::vector<PlatformEvent> received;
    PlatformSetEventHandler([&received](const PlatformEvent& event) { received.push_back(event); });
    PlatformPumpMessages();
    PlatformSetEventHandler({});
    return received;
  }

  static PlatformWindow Create(int32_t width = 640, int32_t height = 480, bool hidden = false) {
    PlatformWindowParams params;
    params.title = "window";
    params.x = 10;
    params.y = 20;
    params.width = width;
    params.height = height;
    params.hidden = hidden;
    return PlatformWindowCreate(params);
  }
};

using Types = std::vector<PlatformEventType>;

Types TypesOf(const std::vector<PlatformEvent>& events) {
  Types types;
  for (const PlatformEvent& event : events) {
    types.push_back(event.type);
  }
  return types;
}

PlatformEvent Event(PlatformEventType type, PlatformWindow window) {
  return {.type = type, .window = window};
}

PlatformMonitor Monitor(int32_t x, int32_t width, int32_t height, bool primary) {
  PlatformMonitor monitor;
  monitor.bounds = {x, 0, width, height};
  monitor.primary = primary;
  monitor.modes = {{width, height, 32, 60}, {800, 600, 32, 60}};
  monitor.desktopMode = {width, height, 32, 60};
  return monitor;
}

// --- Message boxes ---

TEST_F(HeadlessTest, QuestionsTakeQueuedAnswersInOrderThenYes) {
  PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer::No);
  PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer::Yes);
  PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer::No);
  EXPECT_EQ(PlatformMessageBox("t", "1", PlatformBoxKind::YesNo), PlatformBoxAnswer::No);
  // An information box answers Ok and leaves the queue alone.
  EXPECT_EQ(PlatformMessageBox("t", "2", PlatformBoxKind::Information), PlatformBoxAnswer::Ok);
  EXPECT_EQ(PlatformMessageBox("t", "3", PlatformBoxKind::YesNo), PlatformBoxAnswer::Yes);
  EXPECT_EQ(PlatformMessageBox("t", "4", PlatformBoxKind::YesNo), PlatformBoxAnswer::No);
  EXPECT_EQ(PlatformMessageBox("t", "5", PlatformBoxKind::YesNo), PlatformBoxAnswer::Yes);
}

TEST_F(HeadlessTest, BoxesAreRecordedAndPrinted) {
  testing::internal::CaptureStderr();
  PlatformMessageBox("Title A", "first\r\nline", PlatformBoxKind::Information);
  PlatformMessageBox("Title B", "second", PlatformBoxKind::YesNo);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "MessageBox [Title A]: first\r\nline\nMessageBox [Title B]: second\n");
  const std::vector<PlatformShownBox>& boxes = PlatformShownBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Title A");
  EXPECT_EQ(boxes[0].text, "first\r\nline");
  EXPECT_EQ(boxes[0].kind, PlatformBoxKind::Information);
  EXPECT_EQ(boxes[1].title, "Title B");
  EXPECT_EQ(boxes[1].kind, PlatformBoxKind::YesNo);
}

TEST_F(HeadlessTest, HeadlessAnswersIgnoreTheEnvironment) {
  setenv("QMR_MESSAGEBOX", "no", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(PlatformMessageBox("t", "x", PlatformBoxKind::YesNo), PlatformBoxAnswer::Yes);
  testing::internal::GetCapturedStderr();
  unsetenv("QMR_MESSAGEBOX");
}

TEST_F(HeadlessTest, StartingAgainForgetsBoxesAndAnswers) {
  PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer::No);
  testing::internal::CaptureStderr();
  PlatformMessageBox("t", "x", PlatformBoxKind::Information);
  PlatformStop();
  EXPECT_EQ(PlatformShownBoxes().size(), 1u);  // still readable after the stop
  ASSERT_TRUE(PlatformStart(PlatformBackend::Headless));
  EXPECT_TRUE(PlatformShownBoxes().empty());
  EXPECT_EQ(PlatformMessageBox("t", "y", PlatformBoxKind::YesNo), PlatformBoxAnswer::Yes);
  testing::internal::GetCapturedStderr();
}

// The environment answers boxes of the real backend; with the variable set no
// box appears, so this needs no display.
class EnvironmentBoxTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("QMR_MESSAGEBOX"); }
  static PlatformBoxAnswer Ask(const char* value, PlatformBoxKind kind) {
    setenv("QMR_MESSAGEBOX", value, 1);
    testing::internal::CaptureStderr();
    const PlatformBoxAnswer answer = PlatformMessageBox("Env", "question", kind);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "MessageBox [Env]: question\n");
    return answer;
  }
};

TEST_F(EnvironmentBoxTest, VariableAnswersQuestions) {
  EXPECT_EQ(Ask("no", PlatformBoxKind::YesNo), PlatformBoxAnswer::No);
  EXPECT_EQ(Ask("NO", PlatformBoxKind::YesNo), PlatformBoxAnswer::No);
  EXPECT_EQ(Ask("yes", PlatformBoxKind::YesNo), PlatformBoxAnswer::Yes);
  EXPECT_EQ(Ask("ok", PlatformBoxKind::YesNo), PlatformBoxAnswer::Yes);
}

TEST_F(EnvironmentBoxTest, InformationBoxesAnswerOk) {
  EXPECT_EQ(Ask("no", PlatformBoxKind::Information), PlatformBoxAnswer::Ok);
  EXPECT_EQ(Ask("yes", PlatformBoxKind::Information), PlatformBoxAnswer::Ok);
}

// --- Monitors ---

TEST_F(HeadlessTest, DefaultMonitorIsOnePrimaryDesktop) {
  ASSERT_EQ(PlatformMonitorCount(), 1);
  EXPECT_TRUE(PlatformMonitorIsPrimary(0));
  const PlatformRect bounds = PlatformMonitorBounds(0);
  const PlatformMode desktop = PlatformMonitorDesktopMode(0);
  EXPECT_EQ(bounds.width, desktop.width);
  EXPECT_EQ(bounds.height, desktop.height);
  EXPECT_FALSE(PlatformMonitorDeviceName(0).empty());
  PlatformMode mode;
  int count = 0;
  while (PlatformMonitorEnumMode(0, count, mode)) {
    ++count;
  }
  EXPECT_GT(count, 1);
}

TEST_F(HeadlessTest, MonitorsCanBeReplaced) {
  PlatformHeadlessSetMonitors({Monitor(0, 1280, 1024, false), Monitor(1280, 1600, 900, true)});
  ASSERT_EQ(PlatformMonitorCount(), 2);
  EXPECT_FALSE(PlatformMonitorIsPrimary(0));
  EXPECT_TRUE(PlatformMonitorIsPrimary(1));
  EXPECT_EQ(PlatformMonitorBounds(1).x, 1280);
  EXPECT_EQ(PlatformMonitorDesktopMode(1).width, 1600);
  PlatformMode mode;
  ASSERT_TRUE(PlatformMonitorEnumMode(1, 1, mode));
  EXPECT_EQ(mode.width, 800);
  EXPECT_FALSE(PlatformMonitorEnumMode(1, 2, mode));
  EXPECT_NE(PlatformMonitorDeviceName(0), PlatformMonitorDeviceName(1));
}

TEST_F(HeadlessTest, BadMonitorIndexesGiveNothing) {
  PlatformMode mode{1, 2, 3, 4};
  for (int monitor : {-1, 1}) {
    EXPECT_EQ(PlatformMonitorBounds(monitor).width, 0);
    EXPECT_FALSE(PlatformMonitorIsPrimary(monitor));
    EXPECT_TRUE(PlatformMonitorDeviceName(monitor).empty());
    EXPECT_EQ(PlatformMonitorDesktopMode(monitor).width, 0);
    EXPECT_FALSE(PlatformMonitorEnumMode(monitor, 0, mode));
  }
  EXPECT_FALSE(PlatformMonitorEnumMode(0, -1, mode));
  EXPECT_EQ(mode.width, 1);  // untouched
}

// --- Windows ---

TEST_F(HeadlessTest, WindowsKeepTheirProperties) {
  PlatformWindowParams params;
  params.title = "Render";
  params.x = 30;
  params.y = 40;
  params.width = 512;
  params.height = 408;
  params.borderless = true;
  params.hidden = true;
  const PlatformWindow window = PlatformWindowCreate(params);
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(PlatformWindowExists(window));
  EXPECT_EQ(PlatformWindowTitle(window), "Render");
  EXPECT_TRUE(PlatformWindowBorderless(window));
  EXPECT_FALSE(PlatformWindowVisible(window));
  const PlatformRect rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 30);
  EXPECT_EQ(rect.y, 40);
  EXPECT_EQ(rect.width, 512);
  EXPECT_EQ(rect.height, 408);
  EXPECT_TRUE(PlatformWindowCursorShown(window));
  EXPECT_FALSE(PlatformWindowPointerConfined(window));

  PlatformWindowSetTitle(window, "Other");
  PlatformWindowSetBorderless(window, false);
  PlatformWindowShow(window);
  PlatformWindowShowCursor(window, false);
  PlatformWindowConfinePointer(window, true);
  EXPECT_EQ(PlatformWindowTitle(window), "Other");
  EXPECT_FALSE(PlatformWindowBorderless(window));
  EXPECT_TRUE(PlatformWindowVisible(window));
  EXPECT_FALSE(PlatformWindowCursorShown(window));
  EXPECT_TRUE(PlatformWindowPointerConfined(window));
}

TEST_F(HeadlessTest, MovingAndResizingChangeTheClientRectangle) {
  const PlatformWindow window = Create();
  PlatformWindowSetPosition(window, -5, 7);
  PlatformWindowSetClientSize(window, 800, 600);
  const PlatformRect rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, -5);
  EXPECT_EQ(rect.y, 7);
  EXPECT_EQ(rect.width, 800);
  EXPECT_EQ(rect.height, 600);
}

TEST_F(HeadlessTest, CentringHalvesTowardZeroOnTheChosenMonitor) {
  PlatformHeadlessSetMonitors({Monitor(0, 1280, 1024, true), Monitor(1280, 1024, 768, false)});
  PlatformWindowParams params;
  params.centred = true;
  params.width = 1281;
  params.height = 1023;
  PlatformRect rect = PlatformWindowClientRect(PlatformWindowCreate(params));
  EXPECT_EQ(rect.x, 0);  // (1280 - 1281) / 2 is 0, not -1
  EXPECT_EQ(rect.y, 0);
  params.monitor = 1;
  params.width = 500;
  params.height = 301;
  rect = PlatformWindowClientRect(PlatformWindowCreate(params));
  EXPECT_EQ(rect.x, 1280 + 262);
  EXPECT_EQ(rect.y, 233);
}

TEST_F(HeadlessTest, DestroyedAndUnknownWindowsAreHarmless) {
  const PlatformWindow first = Create();
  const PlatformWindow second = Create();
  EXPECT_NE(first, second);
  PlatformWindowDestroy(first);
  EXPECT_FALSE(PlatformWindowExists(first));
  EXPECT_TRUE(PlatformWindowExists(second));
  EXPECT_TRUE(PlatformWindowTitle(first).empty());
  EXPECT_EQ(PlatformWindowClientRect(first).width, 0);
  PlatformWindowSetClientSize(first, 10, 10);
  PlatformWindowShow(0);
  PlatformWindowDestroy(first);
  EXPECT_FALSE(PlatformWindowSetFullscreen(first, true, PlatformMonitorDesktopMode(0)));
  EXPECT_FALSE(PlatformWindowExists(0));
}

TEST_F(HeadlessTest, FullScreenCoversTheMonitorInTheModeAndReturns) {
  PlatformHeadlessSetMonitors({Monitor(0, 1280, 1024, true), Monitor(1280, 1600, 900, false)});
  const PlatformWindow window = Create(640, 480);
  PlatformWindowSetPosition(window, 1400, 100);  // on the second monitor
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, true, {800, 600, 32, 0}));
  EXPECT_TRUE(PlatformWindowFullscreen(window));
  PlatformRect rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 1280);
  EXPECT_EQ(rect.y, 0);
  EXPECT_EQ(rect.width, 800);
  EXPECT_EQ(rect.height, 600);

  // A size set in full screen is the one the window returns with.
  PlatformWindowSetClientSize(window, 1024, 700);
  EXPECT_EQ(PlatformWindowClientRect(window).width, 800);
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, false, {}));
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 1400);
  EXPECT_EQ(rect.width, 1024);
  EXPECT_EQ(rect.height, 700);
}

TEST_F(HeadlessTest, FullScreenInAModeTheMonitorLacksIsRefused) {
  const PlatformWindow window = Create();
  PlatformMode mode = PlatformMonitorDesktopMode(0);
  mode.bitsPerPixel = 24;
  EXPECT_FALSE(PlatformWindowSetFullscreen(window, true, mode));
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  EXPECT_EQ(PlatformWindowClientRect(window).width, 640);
  mode = PlatformMonitorDesktopMode(0);
  mode.refreshRate = 1;
  EXPECT_FALSE(PlatformWindowSetFullscreen(window, true, mode));
  mode.refreshRate = 0;  // any rate
  EXPECT_TRUE(PlatformWindowSetFullscreen(window, true, mode));
}

TEST_F(HeadlessTest, PictureWithTooFewBytesIsRefused) {
  const PlatformWindow window = Create();
  PlatformClearError();
  // Three pixels a row take 9 bytes, padded to 12: two rows need 21.
  PlatformWindowSetPicture(window, 3, 2, std::vector<uint8_t>(21));
  EXPECT_TRUE(PlatformLastErrorText().empty());
  PlatformWindowSetPicture(window, 3, 2, std::vector<uint8_t>(20));
  EXPECT_FALSE(PlatformLastErrorText().empty());
  PlatformClearError();
  PlatformWindowSetPicture(window, -3, 2, std::vector<uint8_t>(100));
  EXPECT_FALSE(PlatformLastErrorText().empty());
}

// --- Application state and events ---

TEST_F(HeadlessTest, ShownWindowsAreActivatedHiddenOnesAreNot) {
  const PlatformWindow hidden = Create(640, 480, true);
  EXPECT_TRUE(Pump().empty());
  EXPECT_FALSE(PlatformAppActive());
  const PlatformWindow shown = Create();
  EXPECT_FALSE(PlatformAppActive());  // only once the pump delivers
  std::vector<PlatformEvent> events = Pump();
  ASSERT_EQ(TypesOf(events), Types{PlatformEventType::WindowActivated});
  EXPECT_EQ(events[0].window, shown);
  EXPECT_TRUE(PlatformAppActive());

  // Showing the hidden one moves the focus: the first loses it first.
  PlatformWindowShow(hidden);
  events = Pump();
  ASSERT_EQ(TypesOf(events),
            (Types{PlatformEventType::WindowDeactivated, PlatformEventType::WindowActivated}));
  EXPECT_EQ(events[0].window, shown);
  EXPECT_EQ(events[1].window, hidden);

  PlatformWindowHide(hidden);
  EXPECT_EQ(TypesOf(Pump()), Types{PlatformEventType::WindowDeactivated});
  EXPECT_FALSE(PlatformAppActive());
}

TEST_F(HeadlessTest, FocusMovingBetweenOwnWindowsKeepsTheProgramActive) {
  const PlatformWindow first = Create();
  const PlatformWindow second = Create(640, 480, true);
  Pump();
  std::vector<PlatformEvent> seen;
  std::vector<bool> activeSeen;
  PlatformSetEventHandler([&](const PlatformEvent& event) {
    seen.push_back(event);
    activeSeen.push_back(PlatformAppActive());
  });
  // As the system reports it: the loss first, then the gain.
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowDeactivated, first));
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowActivated, second));
  PlatformPumpMessages();
  ASSERT_EQ(TypesOf(seen),
            (Types{PlatformEventType::WindowDeactivated, PlatformEventType::WindowActivated}));
  EXPECT_EQ(seen[0].window, first);
  EXPECT_EQ(seen[1].window, second);
  EXPECT_EQ(activeSeen, (std::vector<bool>{true, true}));

  // Leaving the program altogether does deactivate it.
  seen.clear();
  activeSeen.clear();
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowDeactivated, second));
  PlatformPumpMessages();
  EXPECT_EQ(activeSeen, std::vector<bool>{false});
}

TEST_F(HeadlessTest, RaisingActivatesOnlyAnUnfocusedShownWindow) {
  const PlatformWindow window = Create();
  PlatformWindowRaise(window);
  EXPECT_EQ(TypesOf(Pump()), Types{PlatformEventType::WindowActivated});
  PlatformWindowRaise(window);
  EXPECT_TRUE(Pump().empty());
  PlatformWindowHide(window);
  Pump();
  PlatformWindowRaise(window);
  EXPECT_TRUE(Pump().empty());
}

TEST_F(HeadlessTest, MinimiseAndRestoreTheApplication) {
  const PlatformWindow window = Create();
  Pump();
  PlatformAppMinimize();
  std::vector<PlatformEvent> events = Pump();
  EXPECT_EQ(TypesOf(events),
            (Types{PlatformEventType::WindowDeactivated, PlatformEventType::WindowMinimized}));
  EXPECT_TRUE(PlatformAppMinimized());
  EXPECT_FALSE(PlatformAppActive());

  PlatformAppMinimize();  // already minimised: nothing more happens
  EXPECT_TRUE(Pump().empty());

  PlatformAppRestore();
  events = Pump();
  EXPECT_EQ(TypesOf(events),
            (Types{PlatformEventType::WindowRestored, PlatformEventType::WindowActivated}));
  EXPECT_EQ(events[0].window, window);
  EXPECT_FALSE(PlatformAppMinimized());
  EXPECT_TRUE(PlatformAppActive());

  PlatformAppRestore();  // not minimised: nothing happens
  EXPECT_TRUE(Pump().empty());
}

TEST_F(HeadlessTest, MinimisedMeansEveryShownWindowMinimised) {
  EXPECT_FALSE(PlatformAppMinimized());  // no windows at all
  const PlatformWindow first = Create();
  const PlatformWindow second = Create();
  Create(100, 100, true);  // hidden: does not count
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowMinimized, first));
  Pump();
  EXPECT_FALSE(PlatformAppMinimized());
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowMinimized, second));
  Pump();
  EXPECT_TRUE(PlatformAppMinimized());
  PlatformWindowHide(first);
  PlatformWindowHide(second);
  EXPECT_FALSE(PlatformAppMinimized());
}

TEST_F(HeadlessTest, HandlerSeesTheStateTheEventBrings) {
  const PlatformWindow window = Create(640, 480, true);
  std::vector<bool> activeSeen;
  std::vector<bool> minimizedSeen;
  PlatformSetEventHandler([&](const PlatformEvent&) {
    activeSeen.push_back(PlatformAppActive());
    minimizedSeen.push_back(PlatformAppMinimized());
  });
  PlatformWindowShow(window);
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowMinimized, window));
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowDeactivated, window));
  PlatformPumpMessages();
  EXPECT_EQ(activeSeen, (std::vector<bool>{true, true, false}));
  EXPECT_EQ(minimizedSeen, (std::vector<bool>{false, true, true}));
}

TEST_F(HeadlessTest, StateEventsThatChangeNothingAreNotDelivered) {
  const PlatformWindow window = Create(640, 480, true);
  for (PlatformEventType type :
       {PlatformEventType::WindowDeactivated, PlatformEventType::WindowRestored,
        PlatformEventType::WindowMinimized, PlatformEventType::WindowMinimized}) {
    PlatformHeadlessPostEvent(Event(type, window));
  }
  EXPECT_EQ(TypesOf(Pump()), Types{PlatformEventType::WindowMinimized});
}

TEST_F(HeadlessTest, OtherEventsPassUnchanged) {
  const PlatformWindow window = Create(640, 480, true);
  PlatformHeadlessPostEvent({.type = PlatformEventType::MouseMessage,
                             .window = window,
                             .message = 0x0201,
                             .wParam = 1,
                             .lParam = 0x00140010});
  PlatformHeadlessPostEvent({.type = PlatformEventType::KeyDown, .key = 41});
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, window));
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, window));
  PlatformHeadlessPostEvent({.type = PlatformEventType::QuitRequest});
  const std::vector<PlatformEvent> events = Pump();
  ASSERT_EQ(TypesOf(events),
            (Types{PlatformEventType::MouseMessage, PlatformEventType::KeyDown,
                   PlatformEventType::WindowCloseRequest, PlatformEventType::WindowCloseRequest,
                   PlatformEventType::QuitRequest}));
  EXPECT_EQ(events[0].message, 0x0201u);
  EXPECT_EQ(events[0].lParam, 0x00140010);
  EXPECT_EQ(events[1].key, 41);
}

TEST_F(HeadlessTest, EventsForGoneWindowsAreDropped) {
  const PlatformWindow window = Create(640, 480, true);
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, window));
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, 999));
  PlatformWindowDestroy(window);
  EXPECT_TRUE(Pump().empty());
}

TEST_F(HeadlessTest, EventsQueuedByTheHandlerWaitForTheNextPump) {
  const PlatformWindow window = Create(640, 480, true);
  int delivered = 0;
  PlatformSetEventHandler([&](const PlatformEvent&) {
    ++delivered;
    PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, window));
  });
  PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, window));
  PlatformPumpMessages();
  EXPECT_EQ(delivered, 1);
  PlatformPumpMessages();
  EXPECT_EQ(delivered, 2);
}

TEST_F(HeadlessTest, HandlerMayDestroyWindowsReplaceItselfOrStopTheLayer) {
  const PlatformWindow first = Create(640, 480, true);
  const PlatformWindow second = Create(640, 480, true);
  std::vector<PlatformWindow> seen;
  PlatformSetEventHandler([&](const PlatformEvent& event) {
    seen.push_back(event.window);
    PlatformWindowDestroy(second);
    PlatformSetEventHandler([&](const PlatformEvent& later) {
      seen.push_back(later.window);
      PlatformStop();
    });
  });
  for (PlatformWindow window : {first, second, first, first}) {
    PlatformHeadlessPostEvent(Event(PlatformEventType::WindowCloseRequest, window));
  }
  PlatformPumpMessages();
  EXPECT_EQ(seen, (std::vector<PlatformWindow>{first, first}));
  EXPECT_FALSE(PlatformStarted());
}

TEST_F(HeadlessTest, KeepAwakeIsCounted) {
  PlatformKeepAwake();
  PlatformKeepAwake();
  EXPECT_EQ(PlatformKeepAwakeCount(), 2);
  ASSERT_TRUE(PlatformStart(PlatformBackend::Headless));
  EXPECT_EQ(PlatformKeepAwakeCount(), 0);
}

// --- Start, stop, OpenGL ---

TEST_F(HeadlessTest, StoppingForgetsWindowsAndHandler) {
  const PlatformWindow window = Create();
  int delivered = 0;
  PlatformSetEventHandler([&](const PlatformEvent&) { ++delivered; });
  PlatformStop();
  EXPECT_FALSE(PlatformStarted());
  EXPECT_FALSE(PlatformWindowExists(window));
  EXPECT_EQ(PlatformWindowCreate({}), 0u);
  EXPECT_EQ(PlatformMonitorCount(), 0);
  ASSERT_TRUE(PlatformStart(PlatformBackend::Headless));
  EXPECT_EQ(PlatformCurrentBackend(), PlatformBackend::Headless);
  EXPECT_FALSE(PlatformWindowExists(window));
  Create();
  PlatformPumpMessages();
  EXPECT_EQ(delivered, 0);
}

TEST_F(HeadlessTest, StartingWhileStartedRenewsWindowsButKeepsTheProcess) {
  PlatformSetParameters({"-trace"});
  PlatformHeadlessSetMonitors({Monitor(0, 800, 600, true), Monitor(800, 800, 600, false)});
  const PlatformWindow window = Create();
  ASSERT_TRUE(PlatformStart(PlatformBackend::Headless));
  EXPECT_FALSE(PlatformWindowExists(window));
  EXPECT_EQ(PlatformMonitorCount(), 1);
  EXPECT_EQ(PlatformParameters(), std::vector<std::string>{"-trace"});
  EXPECT_TRUE(Pump().empty());  // the old window's activation went with it
}

TEST_F(HeadlessTest, OpenGLFailsCleanly) {
  PlatformWindowParams params;
  params.width = 64;
  params.height = 64;
  params.opengl = true;
  const PlatformWindow window = PlatformWindowCreate(params);
  EXPECT_EQ(PlatformGLCreateContext(window), 0u);
  EXPECT_FALSE(PlatformGLMakeCurrent(window, 1));
  EXPECT_FALSE(PlatformGLSwap(window));
  EXPECT_FALSE(PlatformGLAccelerated(window));
  EXPECT_EQ(PlatformGLSetSwapInterval(true), -1);
  EXPECT_EQ(PlatformGLCurrentContext(), 0u);
  EXPECT_EQ(PlatformGLProcAddress("glActiveTextureARB"), nullptr);
}

}  // namespace

// A fixed local time runs with the manual clock through the calendar's
// turns: midnight, the end of a leap February, the end of a year. The day
// count is the form save descriptors keep.
TEST_F(HeadlessTest, AFixedLocalTimeAdvancesWithTheTickClockThroughTheCalendar) {
  PlatformClockSetManual(true);
  const auto fix = [](int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute) {
    return PlatformLocalTimeFix({.year = year,
                                 .month = month,
                                 .day = day,
                                 .hour = hour,
                                 .minute = minute,
                                 .second = 59,
                                 .millisecond = 999});
  };
  const auto read = [] {
    const PlatformDateTime t = PlatformLocalTime();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return std::string(text);
  };
  ASSERT_TRUE(fix(2024, 2, 28, 23, 59));
  PlatformClockAdvance(1);
  EXPECT_EQ(read(), "2024-02-29 00:00:00.000");
  PlatformClockAdvance(86400000);
  EXPECT_EQ(read(), "2024-03-01 00:00:00.000");
  PlatformClockSet(4294900000u);
  ASSERT_TRUE(fix(2023, 12, 31, 23, 59));
  PlatformClockAdvance(300001);  // past 2^32 on the tick clock
  EXPECT_EQ(read(), "2024-01-01 00:05:00.000");
  EXPECT_DOUBLE_EQ(PlatformDateTimeDays(PlatformLocalTime()), 45292.0 + 300000.0 / 86400000.0);

  // Dates the calendar lacks are refused and leave the fixed time alone.
  EXPECT_FALSE(fix(2023, 2, 29, 12, 0));
  EXPECT_FALSE(fix(2024, 13, 1, 12, 0));
  EXPECT_FALSE(fix(2024, 1, 1, 24, 0));
  EXPECT_EQ(read(), "2024-01-01 00:05:00.000");
  EXPECT_DOUBLE_EQ(PlatformDateTimeDays({.year = 1899, .month = 12, .day = 30}), 0.0);
  EXPECT_DOUBLE_EQ(PlatformDateTimeDays({.year = 2000, .month = 1, .day = 1, .hour = 18}),
                   36526.75);

  // Released, it is the system's time again, which the tick clock does not move.
  PlatformLocalTimeRelease();
  EXPECT_GE(PlatformLocalTime().year, 2024);
  EXPECT_TRUE(PlatformDateTimeValid(PlatformLocalTime()));
}
