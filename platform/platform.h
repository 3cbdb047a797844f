// The platform layer: the operating-system services the game was designed
// around (windows and their message pump, message boxes, known folders, the
// version resource, the tick clock, display modes, rendering contexts), given
// here over SDL2. No module outside platform/ includes an SDL header.
//
// Two backends implement this API and are chosen when the layer starts: the
// SDL backend that the game uses, and a headless backend for tests, with fake
// monitors and modes, scripted message-box answers and no real windows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// --- Start and stop -------------------------------------------------------

enum class PlatformBackend { Sdl, Headless };

// Starts the layer with a backend; false (with the reason in
// PlatformLastErrorText) when SDL cannot start its video subsystem.
bool PlatformStart(PlatformBackend backend);
// Closes every window and context and shuts the backend down.
void PlatformStop();
bool PlatformStarted();
PlatformBackend PlatformCurrentBackend();

// --- Process: program file, command line, working folder -----------------

// Records the process's arguments (argv[0] and the parameters after it).
void PlatformSetCommandLine(int argc, const char* const* argv);
// Sets the parameters directly (tests); the program path stays as it is.
void PlatformSetParameters(const std::vector<std::string>& parameters);
// The parameters after the program name, unchanged.
const std::vector<std::string>& PlatformParameters();
// Full path of the program file (from /proc/self/exe).
std::string PlatformProgramPath();
// Overrides the program path (tests that pose as a program in a temp folder).
void PlatformSetProgramPath(const std::string& path);
bool PlatformSetCurrentFolder(const std::string& folder);
std::string PlatformCurrentFolder();

// What the process holds now, for the resource report: heap bytes in use
// (mallinfo2, mapped blocks included), resident bytes (/proc/self/statm) and
// open descriptors (/proc/self/fd); -1 for a figure that cannot be read.
struct PlatformProcessUsage {
  int64_t heapBytes = -1;
  int64_t residentBytes = -1;
  int32_t descriptors = -1;
};
PlatformProcessUsage PlatformProcessUsageNow();

// --- Product constants (the version resource) ----------------------------

// "CompanyName", "ProductName", "FileVersion", "FileDescription"; empty for
// any other name.
std::string PlatformVersionValue(const std::string& name);
// Replaces the version values (tests); an absent name reads as empty.
void PlatformSetVersionValues(const std::map<std::string, std::string>& values);
// Restores the built-in values.
void PlatformResetVersionValues();

// --- Known folders -------------------------------------------------------

// Per-user data root: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share; created when missing. Ends in '/'. Empty when there is no
// home folder.
std::string PlatformLocalAppDataFolder();
// The user's pictures folder (XDG_PICTURES_DIR from ~/.config/user-dirs.dirs,
// else ~/Pictures when it exists). Ends in '/'; empty when none exists.
std::string PlatformPicturesFolder();
// Folders the dynamic linker searches, in its order: LD_LIBRARY_PATH, the
// folders of /etc/ld.so.conf (and its includes), then the standard folders.
std::vector<std::string> PlatformLibraryFolders();

// --- Disk names ----------------------------------------------------------

// Turns a content-style name into a disk path: '\' becomes '/'; when the
// exact path does not exist, each component is matched without regard to
// ASCII case against the folder's entries. Returns the matched path, or the
// converted name when nothing matches.
std::string PlatformDiskPath(const std::string& name);
bool PlatformFileExists(const std::string& name);    // regular file
bool PlatformFolderExists(const std::string& name);  // directory
bool PlatformCreateFolder(const std::string& name);
bool PlatformDeleteFile(const std::string& name);
// Names (without folder) of the entries of a folder whose names match a
// pattern with '*' and '?' wildcards, compared without regard to ASCII case.
// Files and folders alike, "." and ".." excluded; order unspecified.
std::vector<std::string> PlatformListFolder(const std::string& folder, const std::string& pattern);

// --- Errors --------------------------------------------------------------

// The last error of the platform: SDL's error text when set, else errno's.
// The code is errno (0 when only SDL has a text).
int PlatformLastErrorCode();
std::string PlatformLastErrorText();
void PlatformClearError();

// --- Clock ---------------------------------------------------------------

// Milliseconds since the layer started, wrapping at 2^32.
uint32_t PlatformTickCount();
// Manual clock for tests: while on, PlatformTickCount returns the manual
// value, which changes only through PlatformClockAdvance/PlatformClockSet,
// and PlatformSleep advances it instead of sleeping.
void PlatformClockSetManual(bool manual);
void PlatformClockSet(uint32_t ms);
void PlatformClockAdvance(uint32_t ms);
void PlatformSleep(uint32_t ms);

// --- Local date and time -------------------------------------------------

// A local calendar date and time of day.
struct PlatformDateTime {
  int32_t year = 0;   // 1 to 9999
  int32_t month = 0;  // 1 to 12
  int32_t day = 0;    // 1 to the month's last day
  int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The local date and time now: what every wall-clock read of the game uses
// (the time scripts ask for, the date a save records). While a start is fixed
// (recording and replay fix one) it is that start plus the tick count's
// advance since it was fixed, the same on every machine and in every zone.
PlatformDateTime PlatformLocalTime();
// Fixes the local time at `start` for the tick count's present value; false,
// changing nothing, when `start` is not a valid date and time.
bool PlatformLocalTimeFix(const PlatformDateTime& start);
// Goes back to the system's local time.
void PlatformLocalTimeRelease();
// Whether the date exists in the calendar and every field is in range.
bool PlatformDateTimeValid(const PlatformDateTime& time);
// Days since 30 December 1899, the fraction being the time of day: the
// date-time form that save descriptors keep.
double PlatformDateTimeDays(const PlatformDateTime& time);
// The date and time of such a day count, to the nearest millisecond; the days
// must be finite and within the years 1 to 9999.
PlatformDateTime PlatformDateTimeFromDays(double days);

// --- Message boxes -------------------------------------------------------

enum class PlatformBoxKind { Information, YesNo };
enum class PlatformBoxAnswer { Ok, Yes, No };

// Shows a modal message box. When the environment variable QMR_MESSAGEBOX is
// set ("yes", "no" or "ok"), or under the headless backend, no box appears:
// the text goes to standard error as "MessageBox [title]: text" and the
// scripted or environment answer is returned (information boxes answer Ok;
// "no" answers a Yes/No box No, any other value Yes). The headless backend
// ignores the variable. When no box can be shown the text goes to standard
// error and a Yes/No box answers No.
PlatformBoxAnswer PlatformMessageBox(const std::string& title, const std::string& text,
                                     PlatformBoxKind kind);
// Headless: the answers given to the next Yes/No boxes, in order; when the
// queue is empty a Yes/No box answers Yes.
void PlatformHeadlessQueueBoxAnswer(PlatformBoxAnswer answer);
// Every box shown since the layer started (title, text), oldest first.
struct PlatformShownBox {
  std::string title;
  std::string text;
  PlatformBoxKind kind;
};
const std::vector<PlatformShownBox>& PlatformShownBoxes();

// --- Monitors and display modes ------------------------------------------

struct PlatformRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};
struct PlatformMode {
  int32_t width = 0, height = 0, bitsPerPixel = 0, refreshRate = 0;
};
struct PlatformMonitor {
  PlatformRect bounds;  // position and size in the desktop
  bool primary = false;
  std::vector<PlatformMode> modes;  // in the system's enumeration order
  PlatformMode desktopMode;
};

int PlatformMonitorCount();
// Monitor 0 is the primary monitor under SDL.
PlatformRect PlatformMonitorBounds(int monitor);
bool PlatformMonitorIsPrimary(int monitor);
// The system's name for the monitor's device; empty for a bad index.
std::string PlatformMonitorDeviceName(int monitor);
// The mode with enumeration number `number`; false when there is none.
bool PlatformMonitorEnumMode(int monitor, int number, PlatformMode& mode);
PlatformMode PlatformMonitorDesktopMode(int monitor);
// Headless: replaces the monitor list.
void PlatformHeadlessSetMonitors(const std::vector<PlatformMonitor>& monitors);

// --- Windows -------------------------------------------------------------

// A window is addressed by a handle above 0; 0 is no window.
using PlatformWindow = uint32_t;

struct PlatformWindowParams {
  std::string title;
  int32_t x = 0, y = 0, width = 0, height = 0;  // client area
  bool centred = false;                         // centre on the monitor instead of x, y
  int monitor = 0;                              // monitor for centring
  bool borderless = false;                      // no caption or frame
  bool opengl = false;                          // can carry an OpenGL context
  bool hidden = false;                          // created without showing
  bool draggableBody = false;                   // dragging anywhere in the window moves it
};

// 0 when the system cannot make the window; PlatformLastErrorText says why.
PlatformWindow PlatformWindowCreate(const PlatformWindowParams& params);
void PlatformWindowDestroy(PlatformWindow window);
bool PlatformWindowExists(PlatformWindow window);
void PlatformWindowShow(PlatformWindow window);
void PlatformWindowHide(PlatformWindow window);
bool PlatformWindowVisible(PlatformWindow window);
void PlatformWindowSetTitle(PlatformWindow window, const std::string& title);
std::string PlatformWindowTitle(PlatformWindow window);
void PlatformWindowSetBorderless(PlatformWindow window, bool borderless);
bool PlatformWindowBorderless(PlatformWindow window);
void PlatformWindowSetPosition(PlatformWindow window, int32_t x, int32_t y);
void PlatformWindowSetClientSize(PlatformWindow window, int32_t width, int32_t height);
// Client rectangle in desktop coordinates.
PlatformRect PlatformWindowClientRect(PlatformWindow window);
// Full screen in a given mode on the window's monitor (true), or back to a
// normal window (false). False when the system refuses.
bool PlatformWindowSetFullscreen(PlatformWindow window, bool on, const PlatformMode& mode);
bool PlatformWindowFullscreen(PlatformWindow window);
// Pixels (24-bit BGR rows, bottom-up and each padded to a multiple of 4
// bytes, as a bitmap stores them) shown at the window's top left; used for the
// splash picture. Ignored (with an error text) when too few bytes are given.
void PlatformWindowSetPicture(PlatformWindow window, int32_t width, int32_t height,
                              const std::vector<uint8_t>& bgrBottomUp);
// Confines the pointer to the window (true) or releases it (false).
void PlatformWindowConfinePointer(PlatformWindow window, bool confine);
bool PlatformWindowPointerConfined(PlatformWindow window);
// Shows the system cursor over the window (true) or hides it (false).
void PlatformWindowShowCursor(PlatformWindow window, bool show);
bool PlatformWindowCursorShown(PlatformWindow window);
void PlatformWindowRaise(PlatformWindow window);
// Headless: OpenGL windows made from now on fail with this reason, as on a
// system without OpenGL visuals; an empty reason makes them work again.
void PlatformHeadlessFailOpenGLWindows(const std::string& reason);

// --- Application ---------------------------------------------------------

// Active: one of the program's windows has the input focus.
bool PlatformAppActive();
// Minimised: every shown window of the program is minimised.
bool PlatformAppMinimized();
void PlatformAppMinimize();
void PlatformAppRestore();
// Keeps screen savers and display power-down away while the game is in front
// (until the program loses the focus).
void PlatformKeepAwake();
// How many times PlatformKeepAwake ran since the layer started (tests).
int PlatformKeepAwakeCount();

// --- Events and the message pump -----------------------------------------

enum class PlatformEventType {
  WindowActivated,    // a window gained the input focus
  WindowDeactivated,  // a window lost the input focus
  WindowMinimized,
  WindowRestored,
  WindowCloseRequest,  // the user asked to close a window
  QuitRequest,         // SIGTERM/SIGINT or the session ends
  DisplayChanged,      // a monitor's mode or layout changed
  MouseMessage,        // message, wParam, lParam as the window messages pack them;
                       // wheels too carry the point in client coordinates
  KeyDown,             // key: SDL scancode number
  KeyUp,
};

struct PlatformEvent {
  PlatformEventType type;
  PlatformWindow window = 0;
  uint32_t message = 0;  // mouse: 0x0200 move, 0x0201/0x0202 left down/up ...
  uint32_t wParam = 0;
  int32_t lParam = 0;
  int32_t key = 0;
};

using PlatformEventHandler = std::function<void(const PlatformEvent&)>;

// The one handler the pump delivers to (the shell); an empty function drops events.
void PlatformSetEventHandler(PlatformEventHandler handler);
// Delivers every waiting event to the handler and returns. PlatformAppActive
// and PlatformAppMinimized already reflect an event when the handler gets it.
// Activation, deactivation, minimise and restore are delivered only when they
// change the window's state. One window has the focus at a time: the
// activation of another delivers the deactivation of the focused one first,
// and while the focus moves between the program's windows it stays active.
// Events for windows that no longer exist are dropped.
void PlatformPumpMessages();
// Sleeps until an event waits for the pump, or at most `timeoutMs`; returns
// at once when one already waits. The headless backend, which has no system
// events, lets the whole time pass (on the manual clock by advancing it).
void PlatformWaitEvents(uint32_t timeoutMs);
// Queues an event for the next pump, after the system's own events. The
// headless backend queues in the same way the events a window manager would
// send: showing or raising a window activates it, hiding deactivates it,
// PlatformAppMinimize deactivates and minimises, PlatformAppRestore restores
// and activates.
void PlatformHeadlessPostEvent(const PlatformEvent& event);

// --- Joysticks -----------------------------------------------------------

// What the system reports of one joystick. Axes 0 and 1 are X and Y, 2 Z,
// 3 R, 4 U and 5 V.
struct PlatformJoystickInfo {
  std::string name{};         // the device's own name; empty when it has none
  uint16_t manufacturer = 0;  // vendor id
  uint16_t product = 0;       // product id
  int32_t buttons = 0;
  int32_t axes = 0;
  bool hasZ = false;
  bool hasR = false;
  bool hasU = false;
  bool hasV = false;
  bool hasPov = false;  // a point-of-view hat
};

// Joysticks attached now, numbered from 0 in the system's order.
int PlatformJoystickCount();
// False when the joystick cannot be opened or its capabilities read.
bool PlatformJoystickGetInfo(int joystick, PlatformJoystickInfo& info);
// Headless: replaces the joysticks (none until set).
void PlatformHeadlessSetJoysticks(const std::vector<PlatformJoystickInfo>& joysticks);

// --- OpenGL contexts -----------------------------------------------------

using PlatformGLContext = uint32_t;  // 0 = none

// A context on an OpenGL window: double buffer, RGBA 8-8-8, depth 16, stencil 1.
// Handles are never reused while the program runs, so state kept per context
// can be found again by its handle.
PlatformGLContext PlatformGLCreateContext(PlatformWindow window);
void PlatformGLDeleteContext(PlatformGLContext context);
bool PlatformGLMakeCurrent(PlatformWindow window, PlatformGLContext context);
// The context current on this thread; 0 when none (or one not made here) is.
PlatformGLContext PlatformGLCurrentContext();
// The address of an OpenGL function of the current context's driver (an
// extension's entry point); null when it has none, and always headless.
void* PlatformGLProcAddress(const std::string& name);
bool PlatformGLSwap(PlatformWindow window);
// Sets the swap interval: 1 on, 0 off. Returns -1 when the system has no
// swap-interval control, 0 when it refused, 1 when set.
int PlatformGLSetSwapInterval(bool on);
// True when the window can have an accelerated (not software) OpenGL
// context: false when no context can be made, SDL reports no accelerated
// visual, or GL_RENDERER names a software rasteriser.
bool PlatformGLAccelerated(PlatformWindow window);
