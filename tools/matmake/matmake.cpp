// matmake: builds a ".mat" from a labelled picture and a labels file, and
// dumps a mat back to a picture and a labels file. Mats are written and read
// through the framework's own mat module, so the tool sees exactly what the
// game sees.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/image/image.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "tools/common/tool.h"
#include "tools/common/toolframework.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: matmake <picture.tga|picture.bmp> <labels.txt> <out.mat>\n"
    "       matmake --dump <in.mat> [<picture.tga|picture.bmp>]\n"
    "\n"
    "Builds a mat from a picture whose every pixel has one of the colours the\n"
    "labels file names. Each line of the labels file is a colour and a name:\n"
    "\n"
    "    # comment lines and blank lines are skipped\n"
    "    FF0000 Walk Area\n"
    "    00FF00 TRANSPARENT\n"
    "\n"
    "The colour is six hex digits RRGGBB (or eight, whose first two are a byte\n"
    "stored with the entry and ignored when matching pixels); the name is the\n"
    "rest of the line, at most 255 bytes, and may be empty. Entries take the\n"
    "order of the lines, at most 255. A pixel colour the file does not name is\n"
    "an error; a named colour no pixel has is kept as an entry, with a warning.\n"
    "The alpha of the picture's pixels is ignored.\n"
    "\n"
    "--dump lists a mat's entries in the labels file format on standard output\n"
    "and, when a picture is named, draws each pixel in its entry's colour.\n";

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

std::string ColorText(uint32_t color) {
  return Hex(color, color > 0xFFFFFF ? 8 : 6);
}

// --- Labels file ------------------------------------------------------------------

struct Label {
  MatEntry entry;
  int32_t line = 0;
};

bool ParseColor(const std::string& text, uint32_t& color) {
  if ((text.size() != 6 && text.size() != 8) ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); })) {
    return false;
  }
  color = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
  return true;
}

// Reads the labels file; false after reporting the first fault as file:line.
bool ReadLabels(const std::string& path, std::vector<Label>& labels) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ToolFail(path, "cannot open the labels file");
    return false;
  }
  std::map<uint32_t, int32_t> lineOfColor;  // by the colour pixels are matched on
  std::string text;
  for (int32_t line = 1; std::getline(in, text); ++line) {
    const std::string where = path + ":" + std::to_string(line);
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] == '#') {
      continue;
    }
    const size_t colorEnd = std::min(text.find_first_of(" \t", start), text.size());
    const std::string colorText = text.substr(start, colorEnd - start);
    Label label{{}, line};
    if (!ParseColor(colorText, label.entry.color)) {
      ToolFail(where, "\"" + colorText + "\" is not a colour of six (or eight) hex digits");
      return false;
    }
    const size_t nameStart = text.find_first_not_of(" \t", colorEnd);
    if (nameStart != std::string::npos) {
      label.entry.name = text.substr(nameStart, text.find_last_not_of(" \t") + 1 - nameStart);
    }
    if (label.entry.name.size() > kMatMaxNameLength) {
      ToolFail(where, "the name is " + std::to_string(label.entry.name.size()) +
                          " bytes long; a mat name holds at most 255");
      return false;
    }
    const auto [earlier, added] = lineOfColor.emplace(label.entry.color & 0xFFFFFF, line);
    if (!added) {
      ToolFail(where, "colour " + Hex(label.entry.color & 0xFFFFFF, 6) +
                          " is already named on line " + std::to_string(earlier->second));
      return false;
    }
    if (labels.size() == kMatMaxEntries) {
      ToolFail(where, "more than 255 labels; a mat holds at most 255 entries");
      return false;
    }
    labels.push_back(label);
  }
  if (labels.empty()) {
    ToolFail(path, "names no colour");
    return false;
  }
  return true;
}

// --- Building ---------------------------------------------------------------------

// Pictures are TGA or BMP files, named by their extension; false after
// reporting any other name.
bool PicturePath(const std::string& path) {
  const std::string extension = UtilitiesUpperCase(fs::path(path).extension().string());
  if (extension != ".TGA" && extension != ".BMP") {
    ToolFail(path, "a picture must be a \".tga\" or \".bmp\" file");
    return false;
  }
  return true;
}

// The picture's first frame; null after reporting why it cannot be used.
ImageFrame* LoadPicture(const std::string& path, ImageFrame*& image) {
  if (!PicturePath(path)) {
    return nullptr;
  }
  ImageLoad(fs::absolute(path).string(), image);
  if (image == nullptr || !image->loaded || image->placeholder) {
    ToolFail(path, "cannot read the picture");
    return nullptr;
  }
  if (image->width <= 0 || image->height <= 0 ||
      int64_t{image->width} * image->height > kMatMaxPixels) {
    ToolFail(path, std::to_string(image->width) + " x " + std::to_string(image->height) +
                       " pixels: a mat holds 1 to " + std::to_string(kMatMaxPixels) + " pixels");
    return nullptr;
  }
  return image;
}

// Gives every pixel the index of the label of its colour; false after
// reporting the first pixel whose colour has no label.
bool LabelPixels(const ImageFrame& picture, const std::vector<Label>& labels,
                 const std::string& picturePath, const std::string& labelsPath, Mat& mat,
                 std::vector<bool>& used) {
  std::unordered_map<uint32_t, uint8_t> indexOfColor;
  for (size_t i = 0; i < labels.size(); ++i) {
    indexOfColor.emplace(labels[i].entry.color & 0xFFFFFF, static_cast<uint8_t>(i));
  }
  mat.data.resize(picture.pixels.size());
  used.assign(labels.size(), false);
  uint32_t lastColor = 0;
  uint8_t lastIndex = 0;
  bool haveLast = false;
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t color = picture.pixels[i] & 0xFFFFFF;
    if (!haveLast || color != lastColor) {
      const auto found = indexOfColor.find(color);
      if (found == indexOfColor.end()) {
        const size_t x = i % static_cast<size_t>(picture.width);
        const size_t y = i / static_cast<size_t>(picture.width);
        ToolFail(picturePath, "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                  ") has colour " + Hex(color, 6) + ", which " + labelsPath +
                                  " does not name");
        return false;
      }
      lastColor = color;
      lastIndex = found->second;
      haveLast = true;
      used[lastIndex] = true;
    }
    mat.data[i] = lastIndex;
  }
  return true;
}

int Build(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    return ToolUsageError("matmake", kUsageText,
                          "a build needs a picture, a labels file and a mat");
  }
  const std::string& picturePath = args[0];
  const std::string& labelsPath = args[1];
  std::vector<Label> labels;
  if (!ReadLabels(labelsPath, labels)) {
    return kToolFailure;
  }
  ToolFramework framework("matmake");
  ImageFrame* image = nullptr;
  const ImageFrame* picture = LoadPicture(picturePath, image);
  Mat mat;
  std::vector<bool> used;
  const bool labelled =
      picture != nullptr && LabelPixels(*picture, labels, picturePath, labelsPath, mat, used);
  if (labelled) {
    mat.width = picture->width;
    mat.height = picture->height;
  }
  ImageFree(image);
  if (!labelled) {
    return kToolFailure;
  }
  for (size_t i = 0; i < labels.size(); ++i) {
    mat.entries.push_back(labels[i].entry);
    if (!used[i]) {
      ToolWarn(labelsPath + ":" + std::to_string(labels[i].line),
               "colour " + ColorText(labels[i].entry.color) + " (\"" + labels[i].entry.name +
                   "\") appears nowhere in " + picturePath + "; kept as entry " +
                   std::to_string(i));
    }
  }
  if (!ToolSaveMat(framework, args[2], mat)) {
    return kToolFailure;
  }
  std::cout << "wrote " << args[2] << ": " << mat.width << " x " << mat.height << " pixels, "
            << mat.entries.size() << (mat.entries.size() == 1 ? " entry\n" : " entries\n");
  return 0;
}

// --- Dumping ----------------------------------------------------------------------

// The entries as a labels file, each with its index and pixel count.
void ListEntries(const std::string& path, const Mat& mat) {
  std::vector<int64_t> pixels(mat.entries.size(), 0);
  for (const uint8_t index : mat.data) {
    ++pixels[index];
  }
  std::cout << "# " << path << ": " << mat.width << " x " << mat.height << " pixels, "
            << mat.entries.size() << (mat.entries.size() == 1 ? " entry\n" : " entries\n");
  for (size_t i = 0; i < mat.entries.size(); ++i) {
    const MatEntry& entry = mat.entries[i];
    std::cout << "# entry " << i << ": " << pixels[i] << " pixels\n"
              << ColorText(entry.color) << (entry.name.empty() ? "" : " ") << entry.name << "\n";
  }
}

// Entries a picture cannot tell apart, and names the labels file cannot hold
// as they are.
void WarnOfAmbiguities(const std::string& path, const Mat& mat) {
  std::map<uint32_t, size_t> firstOfColor;
  for (size_t i = 0; i < mat.entries.size(); ++i) {
    const MatEntry& entry = mat.entries[i];
    const auto [first, added] = firstOfColor.emplace(entry.color & 0xFFFFFF, i);
    if (!added) {
      ToolWarn(path, "entries " + std::to_string(first->second) + " and " + std::to_string(i) +
                         " share colour " + Hex(entry.color & 0xFFFFFF, 6) +
                         "; a picture cannot tell them apart");
    }
    const std::string& name = entry.name;
    if (name.find_first_of("\r\n") != std::string::npos ||
        (!name.empty() && (std::isspace(static_cast<unsigned char>(name.front())) ||
                           std::isspace(static_cast<unsigned char>(name.back()))))) {
      ToolWarn(path, "the name of entry " + std::to_string(i) +
                         " has spaces at its ends or line breaks; the list does not keep them");
    }
  }
}

bool DrawPicture(const std::string& path, const Mat& mat) {
  std::vector<uint32_t> pixels(mat.data.size());
  for (size_t i = 0; i < mat.data.size(); ++i) {
    pixels[i] = 0xFF000000 | (mat.entries[mat.data[i]].color & 0xFFFFFF);
  }
  return ToolSavePicture(path, mat.width, mat.height, pixels);
}

int Dump(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) {
    return ToolUsageError("matmake", kUsageText, "--dump needs a mat and at most one picture");
  }
  if (args.size() == 2 && !PicturePath(args[1])) {
    return kToolFailure;
  }
  ToolFramework framework("matmake");
  Mat mat;
  MatOpen(fs::absolute(args[0]).string(), mat);
  if (!MatIsValid(mat)) {
    return ToolFail(args[0], framework.Errors());
  }
  ListEntries(args[0], mat);
  WarnOfAmbiguities(args[0], mat);
  if (args.size() == 2 && !DrawPicture(args[1], mat)) {
    return kToolFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  if (!args.empty() && args[0] == "--dump") {
    return Dump({args.begin() + 1, args.end()});
  }
  return Build(args);
}
