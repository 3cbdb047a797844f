// Recording and replaying a run. "-record FILE" writes the player's mouse
// messages, keys and pauses into a text file, frame by frame, while the game
// runs on a fixed step of game time paced to real time; "-replay FILE" runs
// the game again from such a file as fast as it can, with the same step,
// random seed and local time, ignoring real input and focus, and quits at the
// file's end. The file's format is documented for game makers who write or
// edit it by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// --- The replay file (replay_file.cpp) ----------------------------------------------

// The run a file replays: the game's time step, the render window's client
// size, the random seed and the local time the game starts at.
struct ReplayHeader {
  int32_t step = 20;  // milliseconds of game time a frame
  int32_t width = 0;
  int32_t height = 0;
  uint32_t seed = 0;
  PlatformDateTime start{};
  int32_t sizeLine = 0;  // the line of the size, named when the window differs
};

enum class ReplayAction {
  Mouse,   // a mouse message at a client point
  Key,     // a key pressed or released, by control name
  Pause,   // the program lost the focus
  Resume,  // it came back
  Close,   // the player asked to close the window
  Report,  // log the resource report (tables, heap, resident bytes, descriptors)
  Wait,    // hold the file's clock until a Game variable has a value
  End,     // quit
};

// One line of the file after the header.
struct ReplayLine {
  int32_t line = 0;  // from 1
  ReplayAction action = ReplayAction::End;
  int32_t frame = 0;  // the file's frame (not for Wait)
  // Mouse: the window message (0x0200 move, 0x0201 left down ...), the wParam
  // the input module reads (wheel direction, extra button) and the point.
  uint32_t message = 0;
  uint32_t wParam = 0;
  int32_t x = 0;
  int32_t y = 0;
  // Key: the control's stored name ("Escape", "Left Shift") and its direction.
  std::string key;
  bool down = false;
  // Wait: the variable's name, the value it must read as, and the most
  // milliseconds of game time to wait.
  std::string variable;
  std::string value;
  int32_t limit = 0;
};

struct ReplayFile {
  ReplayHeader header;
  std::vector<ReplayLine> lines;
};

// Reads a replay file's text; false with "<name>:<line>: <message>" in
// `error` for the first fault.
bool ReplayFileParse(const std::string& text, const std::string& name, ReplayFile& file,
                     std::string& error);
// The header's lines as a recording writes them.
std::string ReplayHeaderText(const ReplayHeader& header);
// One line as a recording writes it, with its line feed.
std::string ReplayLineText(const ReplayLine& line);
// The mouse line of a window message; false for a message a file cannot hold.
bool ReplayLineFromMouse(uint32_t message, uint32_t wParam, int32_t lParam, ReplayLine& line);
// The scancode that the input module maps to a control's stored name; -1
// when no key maps to it.
int32_t ReplayKeyScancode(const std::string& name);

// --- Runs (replay.cpp) --------------------------------------------------------------

// Reads "-record FILE" and "-replay FILE" from the command line, and a
// replay's file; false, with a message on standard error, when the switches
// or the file are bad (the program then ends with status 1).
bool ReplaySetUp();
// Forgets the run (end of the process, tests).
void ReplayReset();
bool ReplayPlaying();
bool ReplayRecording();
// The audio module's start: a replay mixes its sound by the step through the
// loopback device instead of playing it.
void ReplayAudioStart();
// Just before GameInit, with the game's render window: the manual tick clock,
// the fixed local time, and the game's fixed step and seed. A recording
// writes its header; false when it cannot, or the window is not the size the
// replay was made in.
bool ReplayGameStarting(PlatformWindow window);
// Before each frame: a replay feeds the lines of this frame to the shell;
// false when the run is to end (the file's end, or a fault).
bool ReplayFrameBegin();
// After each frame: a replay mixes one step of sound, a recording waits for
// real time to catch up with the game's.
void ReplayFrameEnd();
// Recording: an input event the shell gave the input module, and the shell
// pausing or resuming the game or passing on a close request (Pause, Resume,
// Close).
void ReplayRecordInput(const PlatformEvent& event);
void ReplayRecordShell(ReplayAction action);
// After the loop: a recording writes its end; a replay that ended before its
// file did reports it.
void ReplayFinish();
// The replay or recording failed; the process ends with status 1.
bool ReplayFailed();
