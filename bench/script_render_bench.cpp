// Script rendering: one screen of 200 objects (a 1280 x 720 background, 99
// icons, 98 labels in the bundled font and a list of 50 items in a smaller
// cut of it), compiled from the script language and drawn by ScriptRender
// into a real 1280 x 720 window (Xvfb and Mesa's software renderer in CI).
//
// The OpenGL calls go through the counting layer (gl_count.h). Each iteration
// draws the screen forwarding, then twice stubbed:
// - forwarding: the calls reach the driver and glFinish waits until it has
//   drawn the frame, so the time is ours plus the driver's;
// - stubbed: the layer returns at once, so the time is our code's alone. The
//   first stubbed frame, which follows the driver's work as every game frame
//   does, is ours; the second, with our data still in the caches, is shown
//   beside it.
// The driver's time is the difference between forwarding and ours. Before
// measuring, one forwarded frame is read back and checked object by object,
// and one stubbed frame must leave the cleared window untouched: proof that
// the layer stands between our code and the driver in both modes.
//
// Prints "render-200: ours X ms, gl calls N, driver Y ms" (medians per frame:
// the machine is shared, and a median ignores the frames another process
// interrupted), then the means, our thread's CPU time, the second stubbed
// frame, the share of the layer's own stubs, and the calls per function.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/gl_count.h"
#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script.h"
#include "tools/vmc/vmcwriter.h"
#include "tools/vmcc/vmcc.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kIcons = 99;
constexpr int32_t kLabels = 98;
constexpr int32_t kItems = 50;
constexpr int32_t kIconSize = 48;
constexpr int32_t kColumns = 11;
constexpr int32_t kListLeft = 1020;
constexpr int32_t kListTop = 8;
constexpr int32_t kCellWidth = 250;
constexpr int32_t kCellHeight = 14;
constexpr int32_t kSelectedItem = 3;

// Content names of the screen's files, below the program folder.
const char kFolder[] = "Bin\\Bench\\";
const char kLabelFont[] = "Bin\\Common\\Fonts\\Cubes.fot";
const char kListFont[] = "Bin\\Bench\\Small.fot";

// Ten icon pictures: a solid colour inside a darker frame.
constexpr uint32_t kIconColours[10] = {0xD04030, 0x30A050, 0x3060D0, 0xE0B020, 0x9040C0,
                                       0x20B0B0, 0xE07020, 0x808080, 0xC03080, 0x60C030};
constexpr uint32_t kCellColour = 0x283858;
constexpr uint32_t kSelectedCellColour = 0x586838;

const char* const kCaptions[] = {"Lamp", "Key",  "Rope", "Map",  "Anvil", "Tongs", "Chain",
                                 "Lens", "Coin", "Note", "Horn", "Bell",  "Cup"};

std::string folder;
int32_t display = -1;
int32_t script = 0;

// --- The screen's pictures -------------------------------------------------------------

uint32_t BackgroundPixel(int32_t x, int32_t y) {
  const auto blue = static_cast<uint32_t>(60 + y * 120 / kHeight);
  const auto green = static_cast<uint32_t>(30 + x * 40 / kWidth);
  return 0xFF000000u | 0x14u << 16 | green << 8 | blue;
}

uint32_t IconPixel(int32_t kind, int32_t x, int32_t y) {
  const bool frame = x < 3 || y < 3 || x >= kIconSize - 3 || y >= kIconSize - 3;
  const uint32_t colour = kIconColours[kind];
  return 0xFF000000u | (frame ? colour >> 1 & 0x7F7F7F : colour);
}

uint32_t CellPixel(uint32_t colour, int32_t /*x*/, int32_t y) {
  return 0xFF000000u | (y == kCellHeight - 1 ? 0x101820 : colour);
}

bool WritePicture(const std::string& name, int32_t width, int32_t height,
                  const std::function<uint32_t(int32_t, int32_t)>& pixel) {
  ImageFrame image;
  image.loaded = 1;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = 32;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      image.pixels.push_back(pixel(x, y));
    }
  }
  return ImageSave(folder + "Bin/Bench/" + name, &image);
}

bool WritePictures() {
  bool written = WritePicture("back.tga", kWidth, kHeight, BackgroundPixel);
  for (int32_t kind = 0; kind < 10; ++kind) {
    written &= WritePicture("icon" + std::to_string(kind) + ".tga", kIconSize, kIconSize,
                            [kind](int32_t x, int32_t y) { return IconPixel(kind, x, y); });
  }
  written &= WritePicture("cell.tga", kCellWidth, kCellHeight,
                          [](int32_t x, int32_t y) { return CellPixel(kCellColour, x, y); });
  written &= WritePicture("cell_selected.tga", kCellWidth, kCellHeight, [](int32_t x, int32_t y) {
    return CellPixel(kSelectedCellColour, x, y);
  });
  return written;
}

// --- The screen's script ------------------------------------------------------------------

struct Point {
  int32_t x = 0;
  int32_t y = 0;
};

// Icons in rows of eleven; label n is the caption under icon n.
Point IconAt(int32_t index) {
  return {16 + index % kColumns * 90, 12 + index / kColumns * 78};
}
Point LabelAt(int32_t index) {
  const Point icon = IconAt(index);
  return {icon.x, icon.y + kIconSize + 4};
}

// A content name as a string literal of the script language.
std::string Quoted(const std::string& name) {
  std::string text = "\"";
  for (const char c : name) {
    text += c == '\\' ? "\\\\" : std::string(1, c);
  }
  return text + "\"";
}

std::string Caption(int32_t index) {
  return std::string(kCaptions[index % std::size(kCaptions)]) + " " + std::to_string(index + 1);
}

// Every seventh label wraps within a box of its own (the wrapped-lines path).
std::string LabelSource(int32_t index) {
  const Point at = LabelAt(index);
  std::string source = "object Label Caption" + std::to_string(index) +
                       " { display = 1; order = 2; left = " + std::to_string(at.x) +
                       "; top = " + std::to_string(at.y) + "; font = " + Quoted(kLabelFont) +
                       "; color = 0xF0E8C0; text = \"" + Caption(index) + "\";";
  if (index % 7 == 0) {
    source += " wrapWidth = 86; wrapHeight = 22;";
  }
  return source + " }\n";
}

std::string ScreenSource() {
  const std::string back = Quoted(std::string(kFolder) + "back.tga");
  std::string source =
      "object Display Screen { display = 1; width = 1280; height = 720; viewMode = 1; }\n";
  source += "object Image Background { display = 1; order = 0; frames { frame " + back + "; } }\n";
  for (int32_t i = 0; i < kIcons; ++i) {
    const Point at = IconAt(i);
    const std::string icon = std::string(kFolder) + "icon" + std::to_string(i % 10) + ".tga";
    source += "object Image Icon" + std::to_string(i) +
              " { display = 1; order = 1; left = " + std::to_string(at.x) +
              "; top = " + std::to_string(at.y) + "; frames { frame " + Quoted(icon) + "; } }\n";
  }
  for (int32_t i = 0; i < kLabels; ++i) {
    source += LabelSource(i);
  }
  source += "object List Inventory { display = 1; order = 3; left = " + std::to_string(kListLeft) +
            "; top = " + std::to_string(kListTop) + "; font = " + Quoted(kListFont) +
            "; color = 0xE0E0E0; colorSelected = 0xFFFF40; frame = 1; frameSelected = 2;"
            " cellCount = " +
            std::to_string(kItems) + "; cells { frame " +
            Quoted(std::string(kFolder) + "cell.tga") + "; frame " +
            Quoted(std::string(kFolder) + "cell_selected.tga") + "; } }\n";
  source += "var i = 0;\nwhile (i < " + std::to_string(kItems) +
            ") {\n"
            "  Inventory.item[i].text = \"Item \" + (i + 1) + \" - harbour lantern\";\n"
            "  i += 1;\n}\n"
            "Inventory.selectedIndex = " +
            std::to_string(kSelectedItem) + ";\n";
  return source;
}

bool CopyFont(const std::string& from, const std::string& contentName) {
  std::string path = folder + contentName;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::error_code error;
  std::filesystem::copy_file(from, path, std::filesystem::copy_options::overwrite_existing, error);
  if (error) {
    std::fprintf(stderr, "render-200: cannot copy %s: %s\n", from.c_str(), error.message().c_str());
  }
  return !error;
}

// Writes the pictures, the fonts and the compiled script; the script's id or 0.
int32_t LoadScreen() {
  std::filesystem::create_directories(folder + "Bin/Bench");
  if (!WritePictures() ||
      !CopyFont(std::string(QMR_PROGRAM_DIR) + "/Bin/Common/Fonts/Cubes.fot", kLabelFont) ||
      !CopyFont(QMR_BENCH_SMALL_FONT, kListFont)) {
    return 0;
  }
  VmccResult result;
  std::string error;
  if (!VmccCompile(ScreenSource(), "screen.vms", {}, result) ||
      !VmcWriterSave(result.script, folder + "Bin/Bench/Screen.vmc", error)) {
    for (const std::string& line : result.diagnostics) {
      std::fprintf(stderr, "render-200: %s\n", line.c_str());
    }
    std::fprintf(stderr, "render-200: %s\n", error.c_str());
    return 0;
  }
  return ScriptLoad("Bin\\Bench\\Screen.vmc");
}

// --- Frames --------------------------------------------------------------------------------

void DrawScreen() {
  ScriptRender(script, display);
}

double Mean(const std::vector<double>& values) {
  double sum = 0.0;
  for (const double value : values) {
    sum += value;
  }
  return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

struct Samples {
  std::vector<double> ours;       // stubbed, right after a forwarded frame
  std::vector<double> oursCpu;    // the same in this thread's CPU time
  std::vector<double> oursWarm;   // stubbed, right after another stubbed frame
  std::vector<double> submitted;  // forwarding, until the calls have returned
  std::vector<double> total;      // forwarding, until the driver has finished
  uint64_t calls = 0;             // of the last stubbed frame
  uint64_t forwardedCalls = 0;    // of the last forwarded frame
};

Samples samples;

struct StubbedTime {
  double wall = 0.0;
  double cpu = 0.0;
  uint64_t calls = 0;
};

StubbedTime StubbedFrame() {
  GlCountSetForward(false);
  const uint64_t calls = GlCountTotal();
  const double cpu = ThreadCpuSeconds();
  const auto start = Clock::now();
  DrawScreen();
  const auto end = Clock::now();
  StubbedTime time;
  time.cpu = ThreadCpuSeconds() - cpu;
  time.wall = std::chrono::duration<double>(end - start).count();
  time.calls = GlCountTotal() - calls;
  GlCountSetForward(true);
  return time;
}

void ForwardedFrame() {
  GraphicsRenderBegin(display);
  const uint64_t calls = GlCountTotal();
  const auto start = Clock::now();
  DrawScreen();
  const auto submitted = Clock::now();
  glFinish();
  const auto end = Clock::now();
  samples.submitted.push_back(std::chrono::duration<double>(submitted - start).count());
  samples.total.push_back(std::chrono::duration<double>(end - start).count());
  samples.forwardedCalls = GlCountTotal() - calls - 1;  // not the glFinish
  GraphicsRenderEnd(display);
}

// Ours is the stubbed frame that follows a forwarded one: like a game frame,
// it starts with the caches full of the driver's work on the frame before.
void BM_Render200(benchmark::State& state) {
  for (auto _ : state) {
    ForwardedFrame();
    const StubbedTime cold = StubbedFrame();
    const StubbedTime warm = StubbedFrame();
    samples.ours.push_back(cold.wall);
    samples.oursCpu.push_back(cold.cpu);
    samples.oursWarm.push_back(warm.wall);
    samples.calls = cold.calls;
    state.SetIterationTime(cold.wall);
  }
}

// What one stubbed call of the layer costs, in seconds: the eleven calls
// with which ModelRender draws a glyph or a picture, over and over, in
// batches of about a frame's calls (the median batch).
double StubbedCallSeconds() {
  constexpr int kBatches = 200;
  constexpr int kRounds = 2000;
  constexpr int kCallsPerRound = 11;
  std::vector<double> batches;
  GlCountSetForward(false);
  GLint bound = 0;
  for (int batch = 0; batch < kBatches; ++batch) {
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
      glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
      glPushAttrib(GL_CURRENT_BIT);
      glMatrixMode(GL_MODELVIEW);
      glPushMatrix();
      glTranslatef(1.0f, 2.0f, 0.0f);
      glRotatef(0.0f, 0.0f, 0.0f, 1.0f);
      glColor4ub(255, 255, 255, 255);
      glCallList(1);
      glPopMatrix();
      glPopAttrib();
      glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    }
    batches.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  GlCountSetForward(true);
  return Median(batches) / (kRounds * kCallsPerRound);
}

// --- Checking the layer and the picture -------------------------------------------------

// The window's back buffer, rows from the top, pixels 0x00RRGGBB.
std::vector<uint32_t> ReadBack() {
  std::vector<uint8_t> bytes(static_cast<size_t>(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int32_t y = 0; y < kHeight; ++y) {
    const uint8_t* row = bytes.data() + static_cast<size_t>(kHeight - 1 - y) * kWidth * 4;
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t* p = row + x * 4;
      pixels[static_cast<size_t>(y) * kWidth + x] =
          static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
  }
  return pixels;
}

uint32_t At(const std::vector<uint32_t>& pixels, int32_t x, int32_t y) {
  return pixels[static_cast<size_t>(y) * kWidth + x];
}

// Pixels of the box that the background (or the cell colour) does not explain:
// text covers some of them, never most.
int32_t ForeignPixels(const std::vector<uint32_t>& pixels, Point at, int32_t width, int32_t height,
                      const std::function<uint32_t(int32_t, int32_t)>& expected) {
  int32_t count = 0;
  for (int32_t y = at.y; y < std::min(at.y + height, kHeight); ++y) {
    for (int32_t x = at.x; x < std::min(at.x + width, kWidth); ++x) {
      count += At(pixels, x, y) != (expected(x, y) & 0xFFFFFF) ? 1 : 0;
    }
  }
  return count;
}

struct PictureCheck {
  int32_t icons = 0;
  int32_t labels = 0;
  int32_t items = 0;
  int32_t background = 0;  // of the sampled background pixels, those right
  int32_t backgroundSamples = 0;
};

PictureCheck CheckPicture(const std::vector<uint32_t>& pixels) {
  PictureCheck check;
  for (int32_t i = 0; i < kIcons; ++i) {
    const Point at = IconAt(i);
    check.icons +=
        At(pixels, at.x + kIconSize / 2, at.y + kIconSize / 2) == kIconColours[i % 10] ? 1 : 0;
  }
  for (int32_t i = 0; i < kLabels; ++i) {
    const int32_t text = ForeignPixels(pixels, LabelAt(i), 80, 20, BackgroundPixel);
    check.labels += text > 20 && text < 80 * 20 / 2 ? 1 : 0;
  }
  for (int32_t i = 0; i < kItems; ++i) {
    const uint32_t colour = i == kSelectedItem ? kSelectedCellColour : kCellColour;
    const Point cell{kListLeft, kListTop + i * kCellHeight};
    const bool frame = At(pixels, cell.x + kCellWidth - 2, cell.y + 2) == colour;
    const int32_t text = ForeignPixels(pixels, {cell.x + 5, cell.y}, 120, kCellHeight - 1,
                                       [colour](int32_t, int32_t) { return colour; });
    check.items += frame && text > 20 && text < 120 * (kCellHeight - 1) / 2 ? 1 : 0;
  }
  // Between the icon grid and the list, nothing but the background.
  for (int32_t y = 0; y < kHeight; y += 37) {
    for (int32_t x = 1010; x < kListLeft; x += 3) {
      ++check.backgroundSamples;
      check.background += At(pixels, x, y) == (BackgroundPixel(x, y) & 0xFFFFFF) ? 1 : 0;
    }
  }
  return check;
}

// A forwarded frame must show the screen, and a stubbed one must not touch
// the window that the forwarded clear left black.
bool CheckLayer() {
  const uint64_t before = GlCountTotal();
  GraphicsRenderBegin(display);
  DrawScreen();
  const uint64_t calls = GlCountTotal() - before;
  const PictureCheck shown = CheckPicture(ReadBack());
  GraphicsRenderEnd(display);
  GraphicsRenderBegin(display);
  GlCountSetForward(false);
  DrawScreen();
  GlCountSetForward(true);
  const std::vector<uint32_t> stubbed = ReadBack();
  GraphicsRenderEnd(display);
  const auto drawn = std::count_if(stubbed.begin(), stubbed.end(), [](uint32_t p) { return p; });
  std::printf(
      "render-200: layer check: %llu calls through the layer (driver: %s); forwarded frame "
      "shows %d/%d icons, %d/%d labels, %d/%d list items, background %d/%d; stubbed frame "
      "drew %ld pixels\n",
      static_cast<unsigned long long>(calls), GlCountDriverLibrary().c_str(), shown.icons, kIcons,
      shown.labels, kLabels, shown.items, kItems, shown.background, shown.backgroundSamples,
      static_cast<long>(drawn));
  return calls > 0 && shown.icons == kIcons && shown.labels == kLabels && shown.items == kItems &&
         shown.background == shown.backgroundSamples && drawn == 0;
}

// --- Set-up and report ------------------------------------------------------------------------

bool Start() {
  if (!PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "render-200: no display: %s\n", PlatformLastErrorText().c_str());
    return false;
  }
  PlatformSetProgramPath(folder + "bench");
  PlatformSetParameters({"-userdatainapp"});
  DataFileStart();
  LogStart();
  UtilitiesStart();
  ImageStart();
  FontStart();
  ModelStart();
  GraphicsStart();
  MatStart();
  StateStart();
  ScriptStart();
  PlatformWindowParams params;
  params.title = "script_render_bench";
  params.width = kWidth;
  params.height = kHeight;
  params.opengl = true;
  display = GraphicsDisplayAdd(PlatformWindowCreate(params), "Primary", 0);
  if (!GraphicsDisplayCreateRC(display) || !GraphicsDisplayMakeCurrent(display)) {
    std::fprintf(stderr, "render-200: no OpenGL context: %s\n", PlatformLastErrorText().c_str());
    return false;
  }
  GraphicsSetVSync(false);
  script = LoadScreen();
  if (script == 0) {
    std::fprintf(stderr, "render-200: the screen's script did not load (see results.log)\n");
    return false;
  }
  return true;
}

void Stop() {
  ScriptStop();
  StateStop();
  MatStop();
  GraphicsStop();
  ModelStop();
  FontStop();
  ImageStop();
  UtilitiesStop();
  LogStop();
  DataFileStop();
  PlatformStop();
}

void Report() {
  if (samples.ours.empty()) {
    return;
  }
  const double ours = Median(samples.ours) * 1e3;
  const double total = Median(samples.total) * 1e3;
  const double call = StubbedCallSeconds();
  std::printf("render-200: ours %.3f ms, gl calls %llu, driver %.3f ms\n", ours,
              static_cast<unsigned long long>(samples.calls), total - ours);
  std::printf(
      "render-200: ours over %zu frames: median %.3f ms (CPU time %.3f ms), mean %.3f ms; right "
      "after another stubbed frame %.3f ms; the layer's stubs take about %.3f ms of it (%.1f ns "
      "a call)\n",
      samples.ours.size(), ours, Median(samples.oursCpu) * 1e3, Mean(samples.ours) * 1e3,
      Median(samples.oursWarm) * 1e3, call * static_cast<double>(samples.calls) * 1e3, call * 1e9);
  std::printf(
      "render-200: with the driver: median %.3f ms, mean %.3f ms; the %llu calls returned after "
      "%.3f ms\n",
      total, Mean(samples.total) * 1e3, static_cast<unsigned long long>(samples.forwardedCalls),
      Median(samples.submitted) * 1e3);
  if (GlCountStubQueries() > 0) {
    std::printf("render-200: %llu stubbed queries were answered by the driver\n",
                static_cast<unsigned long long>(GlCountStubQueries()));
  }
}

// Calls per frame by function, from one more stubbed frame.
void ReportCalls() {
  const std::vector<GlCountEntry> before = GlCountTable();
  GlCountSetForward(false);
  DrawScreen();
  GlCountSetForward(true);
  const std::vector<GlCountEntry> after = GlCountTable();
  std::string line = "render-200: calls per frame:";
  for (size_t i = 0; i < after.size(); ++i) {
    const uint64_t calls = after[i].calls - before[i].calls;
    if (calls > 0) {
      line += " " + std::string(after[i].name) + " " + std::to_string(calls);
    }
  }
  std::printf("%s\n", line.c_str());
}

}  // namespace

// A forwarded frame takes tens of milliseconds in the software renderer; a
// fixed count keeps the run short.
BENCHMARK(BM_Render200)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char pattern[] = "/tmp/qmrbench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  folder = std::string(pattern) + "/";
  const bool ok = Start() && CheckLayer();
  if (ok) {
    benchmark::RunSpecifiedBenchmarks();
    Report();
    ReportCalls();
  }
  Stop();
  benchmark::Shutdown();
  if (!ok) {
    std::fprintf(stderr, "render-200: the files are kept in %s\n", folder.c_str());
    return 1;
  }
  std::filesystem::remove_all(folder);
  return 0;
}
