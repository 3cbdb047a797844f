// modelconv: converts Wavefront OBJ + MTL models to MilkShape (".ms3d") or
// piece (".ltb") files, with pick textures, a pick mat and a shading ramp
// for script scenes; lists model files and writes them back as OBJ.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "tools/common/model_writer.h"
#include "tools/common/tool.h"
#include "tools/common/toolframework.h"
#include "tools/modelconv/modelfiles.h"
#include "tools/modelconv/objconv.h"

namespace fs = std::filesystem;

namespace {

const char kTool[] = "modelconv";

const char kUsageText[] =
    "usage: modelconv [--pick] [--ramp N] <in.obj> <out.ms3d>\n"
    "       modelconv --piece [--layout N] [--ramp N] <in.obj> <out.ltb>\n"
    "       modelconv --dump <in.ms3d|in.ltb|in.mpj>\n"
    "       modelconv --to-obj <in.ms3d|in.ltb> <out.obj>\n"
    "\n"
    "Converts a Wavefront OBJ model and its MTL materials to a MilkShape file\n"
    "(version 4), or with --piece to a piece file of vertex layout --layout N\n"
    "(1 to 5, default 1). Faces become triangles, grouped by their \"g\" or \"o\"\n"
    "name and their material; texture coordinates are flipped (t = 1 - v);\n"
    "missing normals are made per smoothing group. map_Kd names the texture and\n"
    "map_d the second (pick) texture, as written in the MTL file.\n"
    "\n"
    "--pick     gives every group name a flat pick colour: writes\n"
    "           <out>_pick<n>.tga per name, makes it the second texture of the\n"
    "           group's material, and writes <out>.mat naming each colour after\n"
    "           its group (black is \"TRANSPARENT\").\n"
    "--ramp N   writes shader.tga beside the output: a shading ramp of N steps\n"
    "           (1 to 256) from half to full brightness.\n"
    "--dump     lists a model file: counts, groups, materials, joints, and for\n"
    "           a project the animations and which of their joints the mesh has.\n"
    "--to-obj   writes a MilkShape or piece file back as OBJ (and MTL).\n"
    "\n"
    "Errors are reported as \"file:line: message\" (\"file: offset N: message\"\n"
    "for binary files); the exit status is 1, or 2 for a wrong command line.\n";

constexpr int32_t kPickTextureSize = 8;
constexpr int32_t kRampWidth = 256;
constexpr int32_t kRampHeight = 8;

struct Options {
  enum class Mode { Convert, Dump, ToObj } mode = Mode::Convert;
  bool piece = false;
  int32_t layout = 1;
  bool pick = false;
  int32_t ramp = 0;  // steps; 0: no ramp
  std::vector<std::string> files;
};

std::string Extension(const std::string& path) {
  return UtilitiesUpperCase(fs::path(path).extension().string());
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  bool layoutGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--dump" || arg == "--to-obj") {
      options.mode = arg == "--dump" ? Options::Mode::Dump : Options::Mode::ToObj;
    } else if (arg == "--piece") {
      options.piece = true;
    } else if (arg == "--pick") {
      options.pick = true;
    } else if (arg == "--layout") {
      layoutGiven = true;
      if (!hasValue || !ToolParseNumber(args[++i], 1, 5, options.layout)) {
        error = "--layout needs a number from 1 to 5";
        return false;
      }
    } else if (arg == "--ramp") {
      if (!hasValue || !ToolParseNumber(args[++i], 1, 256, options.ramp)) {
        error = "--ramp needs a number of steps from 1 to 256";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      options.files.push_back(arg);
    }
  }
  const size_t files = options.mode == Options::Mode::Dump ? 1 : 2;
  const bool converting = options.mode == Options::Mode::Convert;
  if (options.files.size() != files) {
    error = files == 1 ? "--dump needs one model file" : "an input and an output file are needed";
  } else if (!converting && (options.piece || options.pick || options.ramp != 0 || layoutGiven)) {
    error = "--piece, --layout, --pick and --ramp only go with a conversion";
  } else if (converting && Extension(options.files[0]) != ".OBJ") {
    error = "the input must be an \".obj\" file";
  } else if (converting && Extension(options.files[1]) != (options.piece ? ".LTB" : ".MS3D")) {
    error = options.piece ? "--piece writes an \".ltb\" file"
                          : "the output must be an \".ms3d\" file"
                            " (or --piece and \".ltb\")";
  } else if (options.piece && options.pick) {
    error = "piece files have no materials to pick with";
  } else if (layoutGiven && !options.piece) {
    error = "--layout only goes with --piece";
  } else if (options.mode == Options::Mode::ToObj && Extension(options.files[1]) != ".OBJ") {
    error = "--to-obj writes an \".obj\" file";
  }
  return error.empty();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::error_code ignored;  // a folder that cannot be made fails the write
  fs::create_directories(fs::path(path).parent_path(), ignored);
  if (!ToolWriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()))) {
    ToolFail(path, "cannot write the file");
    return false;
  }
  return true;
}

// The output's path without its extension, for the files written beside it.
std::string Stem(const std::string& path) {
  return (fs::path(path).parent_path() / fs::path(path).stem()).string();
}

// --- Pick textures, pick mat and ramp --------------------------------------------------------

bool WritePick(const ToolFramework& framework, const std::string& output,
               const std::vector<ObjPickLabel>& labels) {
  Mat mat;
  mat.entries.push_back({"TRANSPARENT", 0x000000});
  const fs::path folder = fs::path(output).parent_path();
  for (const ObjPickLabel& label : labels) {
    const std::vector<uint32_t> pixels(kPickTextureSize * kPickTextureSize,
                                       0xFF000000 | label.color);
    if (!ToolSavePicture((folder / label.texture).string(), kPickTextureSize, kPickTextureSize,
                         pixels)) {
      return false;
    }
    mat.entries.push_back({label.name, label.color});
  }
  // One pixel per entry: scenes only look the colours up.
  mat.width = static_cast<int32_t>(mat.entries.size());
  mat.height = 1;
  for (size_t i = 0; i < mat.entries.size(); ++i) {
    mat.data.push_back(static_cast<uint8_t>(i));
  }
  return ToolSaveMat(framework, Stem(output) + ".mat", mat);
}

bool WriteRamp(const std::string& output, int32_t steps) {
  std::vector<uint32_t> pixels(kRampWidth * kRampHeight);
  for (int32_t x = 0; x < kRampWidth; ++x) {
    const int32_t step = x * steps / kRampWidth;
    // From half brightness (the darkest step) to full (the brightest).
    const uint32_t level =
        steps == 1
            ? 255
            : static_cast<uint32_t>((255 * (steps - 1 + step) + steps - 1) / (2 * (steps - 1)));
    for (int32_t y = 0; y < kRampHeight; ++y) {
      pixels[y * kRampWidth + x] = 0xFF000000 | level << 16 | level << 8 | level;
    }
  }
  return ToolSavePicture((fs::path(output).parent_path() / "shader.tga").string(), kRampWidth,
                         kRampHeight, pixels);
}

// --- Conversion --------------------------------------------------------------------------------

int Convert(const Options& options) {
  const std::string& input = options.files[0];
  const std::string& output = options.files[1];
  MwModel model;
  std::vector<std::string> warnings;
  std::string error;
  const bool read = ObjReadModel(input, ToolReadFile, model, warnings, error);
  for (const std::string& warning : warnings) {
    std::cerr << warning << "\n";
  }
  if (!read) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  std::vector<ObjPickLabel> labels;
  const std::string pickStem = fs::path(output).stem().string() + "_pick";
  if (options.pick && !ObjAddPick(model, pickStem, labels, error)) {
    return ToolFail(input, error);
  }
  std::string bytes;
  std::string parts = std::to_string(model.groups.size()) + " groups, " +
                      std::to_string(model.materials.size()) + " materials";
  if (options.piece) {
    MwPieceFile pieces;
    if (!ObjModelToPieces(model, options.layout, pieces, error) ||
        !MwPieceBytes(pieces, bytes, error)) {
      return ToolFail(input, error);
    }
    parts = std::to_string(pieces.pieces.size()) + " pieces";
  } else if (!MwMs3dBytes(model, bytes, error)) {
    return ToolFail(input, error);
  }
  if (!WriteBytes(output, bytes)) {
    return kToolFailure;
  }
  if (options.pick || options.ramp != 0) {
    ToolFramework framework(kTool);
    if ((options.pick && !WritePick(framework, output, labels)) ||
        (options.ramp != 0 && !WriteRamp(output, options.ramp))) {
      return kToolFailure;
    }
  }
  std::cout << "wrote " << output << ": " << model.vertices.size() << " vertices, "
            << model.triangles.size() << " triangles, " << parts << "\n";
  return 0;
}

int ToObj(const Options& options) {
  const std::string& input = options.files[0];
  const std::string& output = options.files[1];
  MwModel model;
  std::string error;
  if (!ModelFileRead(input, model, error)) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  const std::string mtlName = fs::path(output).stem().string() + ".mtl";
  std::string obj;
  std::string mtl;
  const size_t left = ObjWriteText(model, mtlName, obj, mtl);
  if (left != 0) {
    ToolWarn(input, std::to_string(left) + " triangles no group draws are left out");
  }
  if (!WriteBytes(output, obj) ||
      (!model.materials.empty() &&
       !WriteBytes((fs::path(output).parent_path() / mtlName).string(), mtl))) {
    return kToolFailure;
  }
  return 0;
}

int Dump(const Options& options) {
  std::string listing;
  std::string error;
  if (!ModelFileDump(options.files[0], listing, error)) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  std::cout << listing;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return ToolMain<Options>(argc, argv, kTool, kUsageText, ParseOptions, [](const Options& options) {
    switch (options.mode) {
      case Options::Mode::Dump:
        return Dump(options);
      case Options::Mode::ToObj:
        return ToObj(options);
      case Options::Mode::Convert:
        break;
    }
    return Convert(options);
  });
}
