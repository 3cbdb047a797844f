// The fuzz targets of the content files read as text or chunks: fonts and
// exposure sheets. Each input is a content file below the program folder; a
// refusal must log exactly one designed line and leave nothing behind.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "framework/font/font.h"
#include "game/agents.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz_environment.h"
#include "tests/fuzz/fuzz_targets.h"

namespace {

// One error line, starting with the loader's own prefix.
bool OneLineOf(const std::vector<std::string>& errors, const std::string& prefix) {
  return errors.size() == 1 && errors[0].starts_with("Error: " + prefix + " - ");
}

// --- Fonts ----------------------------------------------------------------------

constexpr char kFontName[] = "Bin\\Fuzz.fot";

// Every character code from 1 to 255 but the line breaks, a space after
// every fifth: text that reaches every glyph of any set.
std::string EveryCharacter() {
  std::string text;
  for (int32_t c = 1; c < 256; ++c) {
    if (c != '\r' && c != '\n') {
      text += static_cast<char>(c);
    }
    if (c % 5 == 0) {
      text += ' ';
    }
  }
  return text;
}

// The lines joined without their spaces: what wrapping must keep. (A word
// of no width joins the next without a space, as the pen decides spaces.)
std::string WithoutSpaces(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    std::copy_if(line.begin(), line.end(), std::back_inserter(text),
                 [](char c) { return c != ' '; });
  }
  return text;
}

}  // namespace

// The input as a font file. A refused font logs one line and leaves no font;
// one that opens logs nothing, is returned as it is when asked for again,
// measures within what its width bytes allow, and wraps text without losing
// a character.
void FuzzFont(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  const std::string path = env.Write("Bin/Fuzz.fot", data, size);
  env.TakeErrors();
  const int32_t font = FontOpen(kFuzzDisplay, kFontName);
  const std::vector<std::string> errors = env.TakeErrors();
  PlatformDeleteFile(path);
  if (font == 0) {
    FuzzCheck(OneLineOf(errors, "FontOpen"), "a refused font logs one FontOpen line");
    FuzzCheck(FontFindByFile(kFuzzDisplay, kFontName) == 0, "a refused font leaves no font");
    return;
  }
  FuzzCheck(errors.empty(), "a font that opens logs nothing");
  FuzzCheck(FontOpen(kFuzzDisplay, "BIN\\FUZZ.FOT") == font, "an open font is returned as it is");
  const std::string text = EveryCharacter();
  const int32_t width = FontTextWidth(font, text);
  const auto characters = static_cast<int32_t>(text.size());
  FuzzCheck(width >= -characters && width <= 254 * characters,
            "a width is a sum of width bytes less one");
  FuzzCheck(FontGetHeight(font) >= 0 && FontGetHeight(font) <= 255, "the height is a byte");
  std::vector<std::string> lines;
  FontWrap(font, 40, text, lines);
  FuzzCheck(WithoutSpaces(lines) == WithoutSpaces({text}),
            "wrapping keeps every character but spaces in order");
  FontSetColour(font, 0x80FF0000u);
  FontDelete(font);
  FuzzCheck(FontFindByFile(kFuzzDisplay, kFontName) == 0, "a deleted font is gone");
}

// --- Exposure sheets --------------------------------------------------------------

namespace {

constexpr char kSheetName[] = "Bin\\Sheets\\fuzz.txt";

bool SameFrames(const Animation& a, const Animation& b) {
  return std::equal(a.frames.begin(), a.frames.end(), b.frames.begin(), b.frames.end(),
                    [](const AnimationFrame& p, const AnimationFrame& q) {
                      return p.imageFile == q.imageFile && p.prev == q.prev && p.next == q.next &&
                             p.head == q.head && p.hasHead == q.hasHead && p.sprite == q.sprite &&
                             p.repeat == q.repeat;
                    });
}

}  // namespace

// The input as an exposure sheet. A refused sheet logs one line and leaves
// an empty animation that is not loaded; a read one holds no more frames than
// its lines can describe (whatever count it declares), each named in the
// sheet's folder, logs at most the line of a sheet that ends early, and reads
// the same again. A persistent animation asked for the same sheet again keeps
// its frames without reading.
void FuzzSheet(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  const std::string path = env.Write("Bin/Sheets/fuzz.txt", data, size);
  env.TakeErrors();
  Animation animation;
  const bool opened = AnimationOpen(animation, kSheetName, true);
  const std::vector<std::string> errors = env.TakeErrors();
  FuzzCheck(animation.loaded == opened, "loaded tells whether the sheet was read");
  if (!opened) {
    PlatformDeleteFile(path);
    FuzzCheck(OneLineOf(errors, "AnimationOpen"), "a refused sheet logs one AnimationOpen line");
    FuzzCheck(animation.frames.empty(), "a refused sheet leaves no frames");
    return;
  }
  const auto lineEnds = std::count(data, data + size, '\r');
  FuzzCheck(!animation.frames.empty() &&
                static_cast<int64_t>(animation.frames.size()) * 2 + 1 <= lineEnds,
            "the frames are those the lines describe");
  FuzzCheck(errors.size() <= 1, "a read sheet logs at most that it ends early");
  for (const AnimationFrame& frame : animation.frames) {
    FuzzCheck(frame.imageFile.starts_with("Bin\\Sheets\\"), "frames lie in the sheet's folder");
  }
  Animation again;
  FuzzCheck(AnimationOpen(again, kSheetName, false) && SameFrames(animation, again),
            "a sheet reads the same again");
  PlatformDeleteFile(path);
  FuzzCheck(AnimationOpen(animation, kSheetName, false) && SameFrames(animation, again),
            "a persistent animation keeps its frames for the same sheet");
  AnimationClose(animation);
  AnimationClose(again);
  FuzzCheck(!animation.loaded && animation.frames.empty(), "a closed animation is empty");
}
