// Recording and replaying runs. Both run the game on the manual tick clock,
// one fixed step a frame, with the local time fixed at the file's start, so
// that what the game does depends only on the input of each frame. A
// recording writes the input the shell gives the input module, labelled with
// the frame it reaches, and paces the frames to real time for the player; a
// replay feeds the file's lines through the shell before each frame, as fast
// as it can, mixing its sound by the step.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/audio/audio.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/state/state.h"
#include "game/game.h"
#include "shell/modules.h"
#include "shell/replay.h"
#include "shell/shell.h"

namespace {

// A recording's step of game time, 50 frames a second.
constexpr int32_t kRecordStep = 20;
// The tick count when the game starts, in every recording and replay.
constexpr uint32_t kGameStartTick = 1000;
// The loopback device's rate; a replay mixes step x rate / 1000 samples a frame.
constexpr int32_t kAudioRate = 22050;
// The Game state, whose variables "wait" lines read.
constexpr int32_t kGameState = 3;
// A recording that falls this far behind real time stops trying to catch up.
constexpr auto kMostBehind = std::chrono::milliseconds(100);

enum class Mode { None, Record, Replay };

struct Run {
  Mode mode = Mode::None;
  std::string fileName;  // as the command line gave it
  std::string path;      // absolute: the shell changes the working folder
  ReplayFile file;
  PlatformWindow window = 0;  // the render window the input goes to
  int32_t frame = 0;          // frames the game has run
  // Replay: the next line, the file's clock (it stands while a wait holds)
  // and when the present wait began.
  size_t next = 0;
  int32_t fileFrame = 0;
  bool holding = false;
  bool waitStarted = false;
  uint32_t waitStart = 0;
  int64_t samplesMixed = 0;
  bool ended = false;
  // Recording: the file and the real time the next frame is due.
  std::ofstream out;
  std::chrono::steady_clock::time_point due{};
  bool failed = false;
};

Run run;

bool SameSwitch(const std::string& parameter, const char* name) {
  if (parameter.size() != std::char_traits<char>::length(name)) {
    return false;
  }
  return std::equal(parameter.begin(), parameter.end(), name, [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

// A fault of the run: on standard error as "<file>:<line>: message" and in
// the log; the process will end with status 1.
void Fail(int32_t line, const std::string& message) {
  const std::string text =
      run.fileName + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message;
  std::fprintf(stderr, "%s\n", text.c_str());
  LogError("Replay - " + text);
  run.failed = true;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  text = contents.str();
  return in.good() || in.eof();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The variable read as text, as scripts read it, against the value, case
// ignored; a variable the Game state does not have yet never matches.
bool WaitMet(const ReplayLine& line) {
  return StateVariableExists(kGameState, line.variable) &&
         Lower(StateVariableGetString(kGameState, line.variable)) == Lower(line.value);
}

int32_t PackPoint(int32_t x, int32_t y) {
  return static_cast<int32_t>((static_cast<uint32_t>(y) << 16) | static_cast<uint32_t>(x));
}

void Deliver(const ReplayLine& line) {
  TmainForm& form = MainForm();
  switch (line.action) {
    case ReplayAction::Mouse:
      form.FeedInput({.type = PlatformEventType::MouseMessage,
                      .window = run.window,
                      .message = line.message,
                      .wParam = line.wParam,
                      .lParam = PackPoint(line.x, line.y)});
      break;
    case ReplayAction::Key:
      form.FeedInput({.type = line.down ? PlatformEventType::KeyDown : PlatformEventType::KeyUp,
                      .window = run.window,
                      .key = ReplayKeyScancode(line.key)});
      break;
    case ReplayAction::Pause:
      form.MainAppPause();
      break;
    case ReplayAction::Resume:
      form.MainAppResume();
      break;
    case ReplayAction::Close:
      // As the loop answers a close request; when the game agrees, its next
      // frame ends the loop.
      GameQuit();
      break;
    case ReplayAction::Report:
      LogMessage("Resources at frame " + std::to_string(run.frame) + ": " + ModulesResourceLine());
      break;
    case ReplayAction::Wait:
    case ReplayAction::End:
      break;
  }
}

// A wait line: true when it is met and the file goes on; false while it
// holds (or failed after its limit).
bool PassWait(const ReplayLine& line) {
  if (!run.waitStarted) {
    run.waitStarted = true;
    run.waitStart = PlatformTickCount();
  }
  if (WaitMet(line)) {
    run.waitStarted = false;
    return true;
  }
  if (PlatformTickCount() - run.waitStart >= static_cast<uint32_t>(line.limit)) {
    Fail(line.line, "\"" + line.variable + "\" did not read \"" + line.value + "\" within " +
                        std::to_string(line.limit) + " ms");
  }
  run.holding = true;
  return false;
}

void Write(const std::string& text) {
  run.out << text;
  if (!run.out) {
    if (!run.failed) {
      Fail(0, "the recording cannot be written");
    }
  }
}

void MixOneStep() {
  const int64_t due = static_cast<int64_t>(run.frame) * run.file.header.step * kAudioRate / 1000;
  std::vector<float> samples(static_cast<size_t>(std::max<int64_t>(due - run.samplesMixed, 0)));
  AudioLoopbackRender(samples.data(), static_cast<int32_t>(samples.size()));
  run.samplesMixed = due;
}

void PaceToRealTime() {
  const auto now = std::chrono::steady_clock::now();
  run.due += std::chrono::milliseconds(kRecordStep);
  if (run.due > now) {
    std::this_thread::sleep_until(run.due);
  } else if (now - run.due > kMostBehind) {
    run.due = now;  // after a pause or a slow stretch the game goes on at once
  }
}

}  // namespace

bool ReplaySetUp() {
  run = Run{};
  const std::vector<std::string>& parameters = PlatformParameters();
  for (size_t i = 0; i < parameters.size(); ++i) {
    const bool record = SameSwitch(parameters[i], "-record");
    if (!record && !SameSwitch(parameters[i], "-replay")) {
      continue;
    }
    if (run.mode != Mode::None) {
      std::fprintf(stderr, "Only one of -record and -replay may be given, once.\n");
      return false;
    }
    if (i + 1 == parameters.size()) {
      std::fprintf(stderr, "%s needs a file name after it.\n", parameters[i].c_str());
      return false;
    }
    run.mode = record ? Mode::Record : Mode::Replay;
    run.fileName = parameters[++i];
    run.path = std::filesystem::absolute(run.fileName).string();
  }
  if (run.mode == Mode::Record) {
    run.out.open(run.path, std::ios::binary | std::ios::trunc);
    if (!run.out) {
      std::fprintf(stderr, "%s: cannot be written.\n", run.fileName.c_str());
      return false;
    }
  } else if (run.mode == Mode::Replay) {
    std::string text;
    std::string error;
    if (!ReadFile(run.path, text)) {
      std::fprintf(stderr, "%s: cannot be read.\n", run.fileName.c_str());
      return false;
    }
    if (!ReplayFileParse(text, run.fileName, run.file, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
  }
  return true;
}

void ReplayReset() {
  run = Run{};
}

bool ReplayPlaying() {
  return run.mode == Mode::Replay;
}

bool ReplayRecording() {
  return run.mode == Mode::Record;
}

void ReplayAudioStart() {
  if (ReplayPlaying()) {
    AudioStartLoopback(kAudioRate);
  } else {
    AudioStart();
  }
}

bool ReplayGameStarting(PlatformWindow window) {
  if (run.mode == Mode::None) {
    return true;
  }
  run.window = window;
  ReplayHeader& header = run.file.header;
  const PlatformRect client = PlatformWindowClientRect(window);
  if (ReplayRecording()) {
    header.step = kRecordStep;
    header.width = client.width;
    header.height = client.height;
    header.seed = static_cast<uint32_t>(std::time(nullptr));
    header.start = PlatformLocalTime();
    header.start.millisecond = 0;
    Write(ReplayHeaderText(header));
    run.due = std::chrono::steady_clock::now();
  } else if (client.width != header.width || client.height != header.height) {
    Fail(header.sizeLine, "the replay was made in a " + std::to_string(header.width) + " x " +
                              std::to_string(header.height) + " window, this one is " +
                              std::to_string(client.width) + " x " + std::to_string(client.height));
  }
  if (run.failed) {
    return false;
  }
  PlatformClockSetManual(true);
  PlatformClockSet(kGameStartTick);
  PlatformLocalTimeFix(header.start);
  // A recording keeps vsync for the player's eyes; a replay runs unpaced.
  GameSetFixedStep(static_cast<uint32_t>(header.step), header.seed, ReplayRecording());
  return true;
}

bool ReplayFrameBegin() {
  if (!ReplayPlaying()) {
    return true;
  }
  run.holding = false;
  const std::vector<ReplayLine>& lines = run.file.lines;
  while (run.next < lines.size()) {
    const ReplayLine& line = lines[run.next];
    if (line.action == ReplayAction::Wait) {
      if (!PassWait(line)) {
        return !run.failed;
      }
    } else if (line.frame > run.fileFrame) {
      return true;
    } else if (line.action == ReplayAction::End) {
      run.ended = true;
      return false;
    } else {
      Deliver(line);
    }
    ++run.next;
  }
  // Without an end line the replay ends once the frame of its last line has run.
  run.ended = lines.empty() || run.fileFrame > lines.back().frame;
  return !run.ended;
}

void ReplayFrameEnd() {
  ++run.frame;
  if (ReplayPlaying()) {
    if (!run.holding) {
      ++run.fileFrame;
    }
    MixOneStep();
  } else if (ReplayRecording()) {
    run.out.flush();
    PaceToRealTime();
  }
}

void ReplayRecordInput(const PlatformEvent& event) {
  if (!ReplayRecording()) {
    return;
  }
  ReplayLine line;
  line.frame = run.frame;
  if (event.type == PlatformEventType::MouseMessage) {
    if (!ReplayLineFromMouse(event.message, event.wParam, event.lParam, line)) {
      return;
    }
  } else {
    const int32_t control = InputKeyControl(event.key);
    if (control == 0) {
      return;  // a key the game does not know
    }
    line.action = ReplayAction::Key;
    line.key = InputControlName(control);
    line.down = event.type == PlatformEventType::KeyDown;
  }
  Write(ReplayLineText(line));
}

void ReplayRecordShell(ReplayAction action) {
  if (ReplayRecording()) {
    ReplayLine line;
    line.action = action;
    line.frame = run.frame;
    Write(ReplayLineText(line));
  }
}

void ReplayFinish() {
  if (ReplayRecording()) {
    ReplayLine end;
    end.frame = run.frame;
    Write(ReplayLineText(end));
    run.out.close();
  } else if (ReplayPlaying() && !run.ended && !run.failed) {
    const std::vector<ReplayLine>& lines = run.file.lines;
    const int32_t line = run.next < lines.size() ? lines[run.next].line : 0;
    Fail(line, "the game ended at frame " + std::to_string(run.frame) +
                   " before the replay reached this line");
  }
}

bool ReplayFailed() {
  return run.failed;
}
