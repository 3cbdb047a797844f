// The SDL backend on a real X display (Xvfb with Mesa): monitors, window
// geometry and full screen, the splash picture, the translation of SDL events
// (pushed as the system would deliver them) and OpenGL contexts.
#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_backend.h"

namespace {

class SdlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
  }
  void TearDown() override { PlatformStop(); }

  // Hidden windows get no focus or pointer events of their own from the X
  // server, so only the pushed events reach the tests.
  static PlatformWindow Create(bool hidden = true, bool opengl = false) {
    PlatformWindowParams params;
    params.title = "test";
    params.x = 100;
    params.y = 120;
    params.width = 300;
    params.height = 200;
    params.hidden = hidden;
    params.opengl = opengl;
    return PlatformWindowCreate(params);
  }

  static std::vector<PlatformEvent> Pump() {
    std::vector<PlatformEvent> received;
    PlatformSetEventHandler([&received](const PlatformEvent& event) { received.push_back(event); });
    PlatformPumpMessages();
    PlatformSetEventHandler({});
    return received;
  }

  // Pushes one event as SDL would queue it and returns what the pump made of it.
  static std::vector<PlatformEvent> Deliver(SDL_Event event) {
    Pump();  // whatever the X server had to say first
    EXPECT_EQ(SDL_PushEvent(&event), 1);
    return Pump();
  }

  static PlatformEvent DeliverOne(const SDL_Event& event) {
    const std::vector<PlatformEvent> events = Deliver(event);
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? PlatformEvent{.type = PlatformEventType::QuitRequest} : events[0];
  }

  static SDL_Event WindowEvent(PlatformWindow window, SDL_WindowEventID id) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = PlatformSdlWindowId(window);
    event.window.event = id;
    return event;
  }

  static SDL_Event Motion(PlatformWindow window, int32_t x, int32_t y, uint32_t state) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = PlatformSdlWindowId(window);
    event.motion.x = x;
    event.motion.y = y;
    event.motion.state = state;
    return event;
  }

  static SDL_Event Button(PlatformWindow window, bool down, uint8_t button, int32_t x, int32_t y) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = PlatformSdlWindowId(window);
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    return event;
  }

  static SDL_Event Wheel(PlatformWindow window, int32_t x, int32_t y, bool flipped) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = PlatformSdlWindowId(window);
    event.wheel.x = x;
    event.wheel.y = y;
    event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    event.wheel.mouseX = 7;
    event.wheel.mouseY = 9;
    return event;
  }
};

uint32_t HighWord(uint32_t value) {
  return value >> 16;
}

// --- Monitors ---

TEST_F(SdlTest, PrimaryMonitorReportsItsDesktopInFullColourBits) {
  ASSERT_GE(PlatformMonitorCount(), 1);
  EXPECT_TRUE(PlatformMonitorIsPrimary(0));
  EXPECT_FALSE(PlatformMonitorDeviceName(0).empty());
  const PlatformMode desktop = PlatformMonitorDesktopMode(0);
  const PlatformRect bounds = PlatformMonitorBounds(0);
  EXPECT_EQ(bounds.width, desktop.width);
  EXPECT_EQ(bounds.height, desktop.height);
  EXPECT_EQ(desktop.bitsPerPixel, 32);  // a 24-bit X screen stores 32 bits a pixel
  PlatformMode first;
  ASSERT_TRUE(PlatformMonitorEnumMode(0, 0, first));
  EXPECT_EQ(first.bitsPerPixel, 32);
  PlatformMode beyond;
  EXPECT_FALSE(PlatformMonitorEnumMode(0, 10000, beyond));
}

// --- Window geometry ---

TEST_F(SdlTest, ClientRectangleFollowsMovesAndResizes) {
  const PlatformWindow window = Create(false);
  ASSERT_NE(window, 0u);
  PlatformRect rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 100);
  EXPECT_EQ(rect.y, 120);
  EXPECT_EQ(rect.width, 300);
  EXPECT_EQ(rect.height, 200);
  PlatformWindowSetPosition(window, 50, 60);
  PlatformWindowSetClientSize(window, 320, 240);
  Pump();
  rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 50);
  EXPECT_EQ(rect.y, 60);
  EXPECT_EQ(rect.width, 320);
  EXPECT_EQ(rect.height, 240);
}

TEST_F(SdlTest, CentredWindowSitsInTheMiddleOfTheMonitor) {
  PlatformWindowParams params;
  params.centred = true;
  params.width = 401;
  params.height = 301;
  params.hidden = true;
  const PlatformRect rect = PlatformWindowClientRect(PlatformWindowCreate(params));
  const PlatformRect bounds = PlatformMonitorBounds(0);
  EXPECT_EQ(rect.x, bounds.x + (bounds.width - 401) / 2);
  EXPECT_EQ(rect.y, bounds.y + (bounds.height - 301) / 2);
}

TEST_F(SdlTest, FullScreenCoversTheMonitorAndLeavingRestoresTheWindow) {
  const PlatformWindow window = Create(false);
  const PlatformMode desktop = PlatformMonitorDesktopMode(0);
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, true, desktop)) << PlatformLastErrorText();
  EXPECT_TRUE(PlatformWindowFullscreen(window));
  PlatformRect rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.width, desktop.width);
  EXPECT_EQ(rect.height, desktop.height);

  ASSERT_TRUE(PlatformWindowSetFullscreen(window, false, {}));
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 100);
  EXPECT_EQ(rect.y, 120);
  EXPECT_EQ(rect.width, 300);
  EXPECT_EQ(rect.height, 200);
}

TEST_F(SdlTest, SizeSetInFullScreenIsTheSizeTheWindowReturnsWith) {
  const PlatformWindow window = Create(false);
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, true, PlatformMonitorDesktopMode(0)))
      << PlatformLastErrorText();
  PlatformWindowSetClientSize(window, 640, 360);
  PlatformWindowSetPosition(window, 10, 20);
  EXPECT_EQ(PlatformWindowClientRect(window).width, PlatformMonitorDesktopMode(0).width);
  ASSERT_TRUE(PlatformWindowSetFullscreen(window, false, {}));
  const PlatformRect rect = PlatformWindowClientRect(window);
  EXPECT_EQ(rect.x, 10);
  EXPECT_EQ(rect.y, 20);
  EXPECT_EQ(rect.width, 640);
  EXPECT_EQ(rect.height, 360);
}

TEST_F(SdlTest, FullScreenInAModeTheMonitorLacksIsRefused) {
  const PlatformWindow window = Create(false);
  PlatformMode missing = PlatformMonitorDesktopMode(0);
  missing.width += 1;
  PlatformClearError();
  EXPECT_FALSE(PlatformWindowSetFullscreen(window, true, missing));
  EXPECT_FALSE(PlatformWindowFullscreen(window));
  EXPECT_FALSE(PlatformLastErrorText().empty());
  EXPECT_EQ(PlatformWindowClientRect(window).width, 300);
}

// --- The splash picture ---

class PictureTest : public SdlTest {
 protected:
  // The colour of a pixel of the window's surface.
  static uint32_t PixelAt(PlatformWindow window, int x, int y) {
    SDL_Surface* surface = SDL_GetWindowSurface(SDL_GetWindowFromID(PlatformSdlWindowId(window)));
    EXPECT_NE(surface, nullptr);
    if (surface == nullptr) {
      return 0xDEADBEEF;
    }
    const auto* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
    uint32_t pixel = 0;
    std::memcpy(&pixel, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
    uint8_t r = 0, g = 0, b = 0;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
  }

  // Three pixels wide, two high, bottom row first, rows padded to 12 bytes.
  static std::vector<uint8_t> Picture() {
    return {0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0xEE, 0xEE, 0xEE,   // bottom
            0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0x90, 0x80, 0x70, 0xEE, 0xEE, 0xEE};  // top
  }
};

TEST_F(PictureTest, PictureIsDrawnTopDownInItsColours) {
  const PlatformWindow window = Create(false);
  PlatformWindowSetPicture(window, 3, 2, Picture());
  EXPECT_EQ(PixelAt(window, 0, 0), 0x102030u);
  EXPECT_EQ(PixelAt(window, 2, 0), 0x708090u);
  EXPECT_EQ(PixelAt(window, 0, 1), 0x010203u);
  EXPECT_EQ(PixelAt(window, 2, 1), 0x070809u);
  EXPECT_EQ(PixelAt(window, 3, 0), 0u);  // beyond the picture: black
}

TEST_F(PictureTest, PictureIsRedrawnWhenExposed) {
  const PlatformWindow window = Create(false);
  PlatformWindowSetPicture(window, 3, 2, Picture());
  SDL_Surface* surface = SDL_GetWindowSurface(SDL_GetWindowFromID(PlatformSdlWindowId(window)));
  ASSERT_NE(surface, nullptr);
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 255, 255, 255));
  ASSERT_EQ(PixelAt(window, 0, 0), 0xFFFFFFu);
  Deliver(WindowEvent(window, SDL_WINDOWEVENT_EXPOSED));
  EXPECT_EQ(PixelAt(window, 0, 0), 0x102030u);
  EXPECT_EQ(PixelAt(window, 10, 10), 0u);
}

// --- Mouse messages ---

TEST_F(SdlTest, MouseMovePacksClientPointAndHeldButtons) {
  const PlatformWindow window = Create();
  PlatformEvent event =
      DeliverOne(Motion(window, 300, 200, SDL_BUTTON_LMASK | SDL_BUTTON_RMASK | SDL_BUTTON_X2MASK));
  EXPECT_EQ(event.type, PlatformEventType::MouseMessage);
  EXPECT_EQ(event.window, window);
  EXPECT_EQ(event.message, 0x0200u);
  EXPECT_EQ(event.wParam, 0x0001u | 0x0002u | 0x0040u);
  EXPECT_EQ(event.lParam, (200 << 16) | 300);

  // A point left of or above the window keeps 16 bits each.
  event = DeliverOne(Motion(window, -5, -2, 0));
  EXPECT_EQ(event.wParam, 0u);
  EXPECT_EQ(static_cast<uint32_t>(event.lParam), 0xFFFEFFFBu);
}

TEST_F(SdlTest, ButtonsGiveTheirDownAndUpMessages) {
  const PlatformWindow window = Create();
  struct Case {
    uint8_t button;
    uint32_t down;
    uint32_t up;
    uint32_t held;
    uint32_t highWord;
  };
  for (const Case& c : {Case{SDL_BUTTON_LEFT, 0x0201, 0x0202, 0x0001, 0},
                        Case{SDL_BUTTON_RIGHT, 0x0204, 0x0205, 0x0002, 0},
                        Case{SDL_BUTTON_MIDDLE, 0x0207, 0x0208, 0x0010, 0},
                        Case{SDL_BUTTON_X1, 0x020B, 0x020C, 0x0020, 1},
                        Case{SDL_BUTTON_X2, 0x020B, 0x020C, 0x0040, 2}}) {
    SCOPED_TRACE(static_cast<int>(c.button));
    PlatformEvent event = DeliverOne(Button(window, true, c.button, 10, 20));
    EXPECT_EQ(event.message, c.down);
    EXPECT_EQ(event.wParam, (c.highWord << 16) | c.held);
    EXPECT_EQ(event.lParam, (20 << 16) | 10);
    event = DeliverOne(Button(window, false, c.button, 11, 21));
    EXPECT_EQ(event.message, c.up);
    EXPECT_EQ(event.wParam, c.highWord << 16);
    EXPECT_EQ(event.lParam, (21 << 16) | 11);
  }
}

TEST_F(SdlTest, HeldButtonsAccumulateAcrossMessages) {
  const PlatformWindow window = Create();
  DeliverOne(Button(window, true, SDL_BUTTON_LEFT, 1, 1));
  EXPECT_EQ(DeliverOne(Button(window, true, SDL_BUTTON_RIGHT, 1, 1)).wParam, 0x0003u);
  EXPECT_EQ(DeliverOne(Button(window, false, SDL_BUTTON_LEFT, 1, 1)).wParam, 0x0002u);
  EXPECT_EQ(DeliverOne(Wheel(window, 0, 1, false)).wParam & 0xFFFFu, 0x0002u);
}

TEST_F(SdlTest, WheelCarriesSignedNotchesInTheHighWord) {
  const PlatformWindow window = Create();
  PlatformEvent event = DeliverOne(Wheel(window, 0, -1, false));  // towards the user
  EXPECT_EQ(event.message, 0x020Au);
  EXPECT_EQ(static_cast<int16_t>(HighWord(event.wParam)), -120);
  EXPECT_GT(event.wParam, 0x7CFFFFFFu);  // what the input module reads as scrolling down
  EXPECT_EQ(event.lParam, (9 << 16) | 7);

  event = DeliverOne(Wheel(window, 0, 2, false));
  EXPECT_EQ(static_cast<int16_t>(HighWord(event.wParam)), 240);
  EXPECT_LE(event.wParam, 0x7CFFFFFFu);

  // Natural scrolling reports the finger's direction: the wheel turned the other way.
  event = DeliverOne(Wheel(window, 0, 1, true));
  EXPECT_EQ(static_cast<int16_t>(HighWord(event.wParam)), -120);
}

TEST_F(SdlTest, SidewaysWheelGivesTheHorizontalMessage) {
  const PlatformWindow window = Create();
  const std::vector<PlatformEvent> events = Deliver(Wheel(window, 1, -1, false));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].message, 0x020Au);
  EXPECT_EQ(events[1].message, 0x020Eu);
  EXPECT_EQ(static_cast<int16_t>(HighWord(events[1].wParam)), 120);
}

TEST_F(SdlTest, MouseEventsOfOtherWindowsAreDropped) {
  const PlatformWindow window = Create();
  SDL_Event event = Motion(window, 1, 1, 0);
  event.motion.windowID += 1000;
  EXPECT_TRUE(Deliver(event).empty());
}

// --- Keys, window and system events ---

TEST_F(SdlTest, KeysCarryTheirScancode) {
  const PlatformWindow window = Create();
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.windowID = PlatformSdlWindowId(window);
  key.key.keysym.scancode = SDL_SCANCODE_KP_8;
  PlatformEvent event = DeliverOne(key);
  EXPECT_EQ(event.type, PlatformEventType::KeyDown);
  EXPECT_EQ(event.window, window);
  EXPECT_EQ(event.key, SDL_SCANCODE_KP_8);
  key.type = SDL_KEYUP;
  key.key.windowID = 0;  // no window has the keyboard
  event = DeliverOne(key);
  EXPECT_EQ(event.type, PlatformEventType::KeyUp);
  EXPECT_EQ(event.window, 0u);
}

TEST_F(SdlTest, JoysticksReportTheirNameIdsButtonsAxesAndHat) {
  const int before = PlatformJoystickCount();
  // A virtual joystick stands in for a device: three axes (X, Y, Z), five
  // buttons and a hat.
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = 3;
  desc.nbuttons = 5;
  desc.nhats = 1;
  desc.vendor_id = 0x045E;
  desc.product_id = 0x028E;
  desc.name = "Test Pad";
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0) << SDL_GetError();
  ASSERT_EQ(PlatformJoystickCount(), before + 1);
  PlatformJoystickInfo info;
  ASSERT_TRUE(PlatformJoystickGetInfo(index, info));
  EXPECT_EQ(info.name, "Test Pad");
  EXPECT_EQ(info.manufacturer, 0x045E);
  EXPECT_EQ(info.product, 0x028E);
  EXPECT_EQ(info.buttons, 5);
  EXPECT_EQ(info.axes, 3);
  EXPECT_TRUE(info.hasZ);
  EXPECT_FALSE(info.hasR);
  EXPECT_TRUE(info.hasPov);
  EXPECT_FALSE(PlatformJoystickGetInfo(before + 1, info));
  SDL_JoystickDetachVirtual(index);
}

TEST_F(SdlTest, WindowEventsBecomeStateChanges) {
  const PlatformWindow window = Create();
  PlatformEvent event = DeliverOne(WindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED));
  EXPECT_EQ(event.type, PlatformEventType::WindowActivated);
  EXPECT_EQ(event.window, window);
  EXPECT_TRUE(PlatformAppActive());
  PlatformWindowShow(window);
  EXPECT_EQ(DeliverOne(WindowEvent(window, SDL_WINDOWEVENT_MINIMIZED)).type,
            PlatformEventType::WindowMinimized);
  EXPECT_TRUE(PlatformAppMinimized());
  EXPECT_EQ(DeliverOne(WindowEvent(window, SDL_WINDOWEVENT_RESTORED)).type,
            PlatformEventType::WindowRestored);
  EXPECT_FALSE(PlatformAppMinimized());
  EXPECT_EQ(DeliverOne(WindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST)).type,
            PlatformEventType::WindowDeactivated);
  EXPECT_FALSE(PlatformAppActive());
  EXPECT_EQ(DeliverOne(WindowEvent(window, SDL_WINDOWEVENT_CLOSE)).type,
            PlatformEventType::WindowCloseRequest);
}

TEST_F(SdlTest, QuitAndDisplayEventsConcernNoWindow) {
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  PlatformEvent event = DeliverOne(quit);
  EXPECT_EQ(event.type, PlatformEventType::QuitRequest);
  EXPECT_EQ(event.window, 0u);
  SDL_Event display{};
  display.type = SDL_DISPLAYEVENT;
  display.display.event = SDL_DISPLAYEVENT_CONNECTED;
  EXPECT_EQ(DeliverOne(display).type, PlatformEventType::DisplayChanged);
}

TEST_F(SdlTest, WaitingForEventsLeavesTheOneThatEndsTheWaitToThePump) {
  Pump();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  PlatformWaitEvents(100);
  const std::vector<PlatformEvent> events = Pump();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, PlatformEventType::QuitRequest);
}

TEST_F(SdlTest, CursorFollowsTheWindowUnderThePointer) {
  const PlatformWindow hiding = Create();
  const PlatformWindow showing = Create();
  PlatformWindowShowCursor(hiding, false);
  Deliver(WindowEvent(hiding, SDL_WINDOWEVENT_ENTER));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  Deliver(WindowEvent(hiding, SDL_WINDOWEVENT_LEAVE));
  Deliver(WindowEvent(showing, SDL_WINDOWEVENT_ENTER));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  // A change to the window under the pointer applies at once.
  PlatformWindowShowCursor(showing, false);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  PlatformWindowShowCursor(hiding, true);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(SdlTest, CursorFollowsTheFocusedWindowWhenThePointerIsElsewhere) {
  const PlatformWindow window = Create();
  PlatformWindowShowCursor(window, false);
  SDL_ShowCursor(SDL_ENABLE);
  Deliver(WindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(SdlTest, ScreenStaysAwakeOnlyWhileInFront) {
  const PlatformWindow window = Create();
  Deliver(WindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED));
  PlatformKeepAwake();
  EXPECT_FALSE(SDL_IsScreenSaverEnabled());
  Deliver(WindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST));
  EXPECT_TRUE(SDL_IsScreenSaverEnabled());
}

TEST_F(SdlTest, ConfinementIsRecordedOnTheWindow) {
  const PlatformWindow window = Create(false);
  PlatformWindowConfinePointer(window, true);
  EXPECT_TRUE(PlatformWindowPointerConfined(window));
  SDL_Window* native = SDL_GetWindowFromID(PlatformSdlWindowId(window));
  EXPECT_NE(SDL_GetWindowFlags(native) & SDL_WINDOW_MOUSE_GRABBED, 0u);
  PlatformWindowConfinePointer(window, false);
  EXPECT_FALSE(PlatformWindowPointerConfined(window));
  EXPECT_EQ(SDL_GetWindowFlags(native) & SDL_WINDOW_MOUSE_GRABBED, 0u);
}

TEST_F(SdlTest, BorderAndTitleReachTheWindow) {
  const PlatformWindow window = Create();
  SDL_Window* native = SDL_GetWindowFromID(PlatformSdlWindowId(window));
  PlatformWindowSetBorderless(window, true);
  PlatformWindowSetTitle(window, "Renamed");
  EXPECT_NE(SDL_GetWindowFlags(native) & SDL_WINDOW_BORDERLESS, 0u);
  EXPECT_STREQ(SDL_GetWindowTitle(native), "Renamed");
  PlatformWindowShow(window);
  EXPECT_NE(SDL_GetWindowFlags(native) & SDL_WINDOW_SHOWN, 0u);
  PlatformWindowHide(window);
  EXPECT_EQ(SDL_GetWindowFlags(native) & SDL_WINDOW_SHOWN, 0u);
}

// --- OpenGL ---

TEST_F(SdlTest, ContextClearsTheWindowToAColour) {
  const PlatformWindow window = Create(false, true);
  const PlatformGLContext context = PlatformGLCreateContext(window);
  ASSERT_NE(context, 0u) << PlatformLastErrorText();
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);  // made, not made current
  ASSERT_TRUE(PlatformGLMakeCurrent(window, context));
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  uint8_t pixel[4] = {};
  glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[1], 255);
  EXPECT_EQ(pixel[2], 0);
  EXPECT_TRUE(PlatformGLSwap(window));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SdlTest, ContextHasTheRequestedBuffers) {
  const PlatformWindow window = Create(false, true);
  const PlatformGLContext context = PlatformGLCreateContext(window);
  ASSERT_TRUE(PlatformGLMakeCurrent(window, context));
  int value = 0;
  SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &value);
  EXPECT_EQ(value, 1);
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &value);
  EXPECT_GE(value, 8);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &value);
  EXPECT_GE(value, 16);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &value);
  EXPECT_GE(value, 1);
}

TEST_F(SdlTest, ContextsAreDeletedAndReleased) {
  const PlatformWindow window = Create(false, true);
  const PlatformGLContext context = PlatformGLCreateContext(window);
  ASSERT_TRUE(PlatformGLMakeCurrent(window, context));
  EXPECT_TRUE(PlatformGLMakeCurrent(0, 0));
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
  PlatformGLDeleteContext(context);
  EXPECT_FALSE(PlatformGLMakeCurrent(window, context));
}

TEST_F(SdlTest, TheCurrentContextIsKnownByItsNeverReusedHandleAndItsEntryPointsWork) {
  const PlatformWindow window = Create(false, true);
  const PlatformGLContext first = PlatformGLCreateContext(window);
  ASSERT_TRUE(PlatformGLMakeCurrent(window, first));
  EXPECT_EQ(PlatformGLCurrentContext(), first);
  using ActiveTexture = void (*)(GLenum);
  const auto activeTexture =
      reinterpret_cast<ActiveTexture>(PlatformGLProcAddress("glActiveTextureARB"));
  ASSERT_NE(activeTexture, nullptr);
  activeTexture(GL_TEXTURE1);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE1);
  activeTexture(GL_TEXTURE0);
  PlatformGLDeleteContext(first);
  EXPECT_EQ(PlatformGLCurrentContext(), 0u);
  const PlatformGLContext second = PlatformGLCreateContext(window);
  ASSERT_TRUE(PlatformGLMakeCurrent(window, second));
  EXPECT_NE(second, first);
  EXPECT_EQ(PlatformGLCurrentContext(), second);
}

TEST_F(SdlTest, OnlyOpenGLWindowsTakeContexts) {
  const PlatformWindow window = Create(false, false);
  EXPECT_EQ(PlatformGLCreateContext(window), 0u);
  EXPECT_FALSE(PlatformGLSwap(window));
}

TEST_F(SdlTest, SwapIntervalNeedsACurrentContext) {
  const PlatformWindow window = Create(false, true);
  EXPECT_EQ(PlatformGLSetSwapInterval(true), 0);  // refused: nothing is current
  ASSERT_TRUE(PlatformGLMakeCurrent(window, PlatformGLCreateContext(window)));
  EXPECT_NE(PlatformGLSetSwapInterval(true), 0);  // set, or no such control at all
}

TEST_F(SdlTest, SoftwareRasteriserIsNotAccelerationAndTheTestLeavesTheContext) {
  const PlatformWindow window = Create(false, true);
  const PlatformGLContext context = PlatformGLCreateContext(window);
  ASSERT_TRUE(PlatformGLMakeCurrent(window, context));
  SDL_GLContext current = SDL_GL_GetCurrentContext();
  const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const bool software = renderer.find("llvmpipe") != std::string::npos ||
                        renderer.find("softpipe") != std::string::npos ||
                        renderer.find("swrast") != std::string::npos;
  EXPECT_EQ(PlatformGLAccelerated(window), !software) << renderer;
  EXPECT_EQ(SDL_GL_GetCurrentContext(), current);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
