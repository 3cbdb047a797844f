// roommake: paints a room's five mats from one room description, reports the
// depth mesh the game builds from "Depth Layers.mat", and draws previews. The
// mats are written through the framework's own mat module and the runs are
// the game's own, so the report is what the game will see.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "game/depth_runs.h"
#include "tools/common/tool.h"
#include "tools/common/toolframework.h"
#include "tools/roommake/roomdesc.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: roommake <room.room> <out-folder> [--preview <folder>] [--runs]\n"
    "\n"
    "Paints the five mats of a room from its description and writes them into\n"
    "<out-folder>: \"Depth Layers.mat\", \"Depth Agent.mat\", \"Walk Area.mat\",\n"
    "\"Light Agent.mat\" and \"Sound.mat\", all of the room's size. A description\n"
    "is one command per line; '#' starts a comment line:\n"
    "\n"
    "    size W H                              first command: the room's size\n"
    "    colour NAME RRGGBB                    names a colour (an entry of the mats)\n"
    "    mat KIND                              depth-layers, depth-agent, walk, light, sound\n"
    "    fill NAME                             every pixel of the mat\n"
    "    rect NAME X Y W H                     a rectangle, clipped to the room\n"
    "    polygon NAME X1 Y1 X2 Y2 X3 Y3 ...    pixel centres inside (even-odd)\n"
    "    gradient PREFIX Y0 Y1 B0 B1 [STEP]    rows with blue running from B0 to B1\n"
    "\n"
    "It reports each mat and the depth mesh of \"Depth Layers.mat\" (its runs and\n"
    "quads); --runs lists every run as \"run Y X0 X1 INDEX DEPTH\". --preview\n"
    "draws each mat as a TGA of the same name into a folder: the depth mats as\n"
    "grey levels of their depth (the blue byte), the others in their colours.\n"
    "Faults are reported as file:line: error: ... and exit with status 1.\n";

struct Options {
  std::string description;
  std::string outFolder;
  std::string previewFolder;
  bool runs = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--runs") {
      options.runs = true;
    } else if (args[i] == "--preview") {
      if (++i == args.size()) {
        error = "--preview needs a folder";
        return false;
      }
      options.previewFolder = args[i];
    } else if (args[i].starts_with("--")) {
      error = "unknown option " + args[i];
      return false;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) {
    error = "roommake needs a room description and an output folder";
    return false;
  }
  options.description = files[0];
  options.outFolder = files[1];
  return true;
}

bool MakeFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    ToolFail(folder, "error: cannot make the folder: " + error.message());
    return false;
  }
  return true;
}

// A depth mat shows its depth as a grey level, any other mat its colours.
std::vector<uint32_t> PreviewPixels(const Mat& mat, bool depth) {
  std::vector<uint32_t> pixels(mat.data.size());
  for (size_t i = 0; i < mat.data.size(); ++i) {
    const uint32_t color = mat.entries[mat.data[i]].color;
    const uint32_t blue = color & 0xFF;
    pixels[i] = 0xFF000000 | (depth ? blue << 16 | blue << 8 | blue : color & 0xFFFFFF);
  }
  return pixels;
}

void ReportMesh(const Mat& mat, bool listRuns) {
  const std::vector<DepthRun> runs = DepthRunsOf(mat);
  size_t widest = 0;
  for (size_t first = 0; first < runs.size();) {
    size_t last = first;
    while (last < runs.size() && runs[last].y == runs[first].y) {
      ++last;
    }
    widest = std::max(widest, last - first);
    first = last;
  }
  // The game draws the depth the runs leave as rectangles.
  const size_t quads = DepthRectsOf(mat).size();
  std::cout << "depth mesh of " << kRoomMatKinds[kRoomDepthLayers].fileName << ": " << runs.size()
            << " runs in " << mat.height << " rows (at most " << widest << " in a row), " << quads
            << " quads: " << quads * 4 << " vertices, " << quads * 2 << " triangles\n";
  if (listRuns) {
    for (const DepthRun& run : runs) {
      std::cout << "run " << run.y << " " << run.x0 << " " << run.x1 << " " << int{run.index} << " "
                << int{run.depth} << "\n";
    }
  }
}

int Make(const Options& options) {
  RoomDescription room;
  if (!RoomDescriptionRead(options.description, room) || !MakeFolder(options.outFolder) ||
      (!options.previewFolder.empty() && !MakeFolder(options.previewFolder))) {
    return kToolFailure;
  }
  ToolFramework framework("roommake");
  for (size_t i = 0; i < kRoomMatKinds.size(); ++i) {
    const Mat& mat = room.mats[i];
    const std::string path = (fs::path(options.outFolder) / kRoomMatKinds[i].fileName).string();
    if (!ToolSaveMat(framework, path, mat)) {
      return kToolFailure;
    }
    std::cout << "wrote " << path << ": " << mat.width << " x " << mat.height << " pixels, "
              << mat.entries.size() << (mat.entries.size() == 1 ? " entry\n" : " entries\n");
    if (!options.previewFolder.empty()) {
      const bool depth = i == kRoomDepthLayers || i == kRoomDepthAgent;
      const std::string preview = (fs::path(options.previewFolder) / kRoomMatKinds[i].fileName)
                                      .replace_extension(".tga")
                                      .string();
      if (!ToolSavePicture(preview, mat.width, mat.height, PreviewPixels(mat, depth))) {
        return kToolFailure;
      }
    }
  }
  ReportMesh(room.mats[kRoomDepthLayers], options.runs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return ToolMain<Options>(argc, argv, "roommake", kUsageText, ParseOptions, Make);
}
