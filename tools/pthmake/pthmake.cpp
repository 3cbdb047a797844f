// pthmake: writes a room's path tree ("Path File 2.0") from a path source or
// from its floor mat, checks a tree against the floor mat, and shows the
// routes the game finds through it. Trees and mats are read with the game's
// own readers and routes come from the game's own search, so what pthmake
// shows is what the game will do.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/common/tool.h"
#include "tools/common/toolframework.h"
#include "tools/pthmake/pthcheck.h"
#include "tools/pthmake/pthgen.h"
#include "tools/pthmake/pthsource.h"
#include "tools/roommake/roomdesc.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: pthmake <source.pts> <out.pth>\n"
    "       pthmake --from-mat <floor.mat> <out.pth> <FLOOR> <BLOCK> [--wrap]\n"
    "               [--spacing N] [--clearance N]\n"
    "       pthmake --check <tree.pth> <floor.mat>\n"
    "       pthmake --route <tree.pth> <floor.mat> X1 Y1 X2 Y2\n"
    "       pthmake --draw <tree.pth> <floor.mat> <out.tga> [X1 Y1 X2 Y2]\n"
    "\n"
    "Writes a path tree as \"Path File 2.0\" from a path source: one command per\n"
    "line, '#' starts a comment line:\n"
    "\n"
    "    colours FILE.room        colour names from a room description\n"
    "    floor COLOUR             the floor colour: a name or RRGGBB\n"
    "    block COLOUR             the block colour\n"
    "    wrap                     the room wraps around horizontally\n"
    "    node NAME X Y            a node; nodes take the order of these lines\n"
    "    link A B [C ...]         links A-B (and B-C, ...) both ways\n"
    "    oneway A B               a link from A to B only\n"
    "\n"
    "--from-mat places nodes beside the corners of the floor mat's block-coloured\n"
    "areas (CLEARANCE pixels out, default 6; none closer than SPACING to another,\n"
    "default 24), adds nodes until every floor pixel sees one and the tree is one\n"
    "part, and links the nodes that see each other. FLOOR and BLOCK are RRGGBB\n"
    "or the names of entries of the mat.\n"
    "\n"
    "--check reports every node off the floor, link without its way back or out\n"
    "of sight, part of the tree apart from node 0, and floor that sees no node;\n"
    "status 1 when there is any. --route prints the waypoints of the game's walk\n"
    "from (X1, Y1) to (X2, Y2) and what the game logs; status 1 when there are\n"
    "none. --draw draws the floor (floor light grey, block dark, other mid grey,\n"
    "floor that sees no node orange), the links, the nodes and a route.\n"
    "Faults are reported as file:line: error: ... and exit with status 1.\n";

std::string PointText(PathPoint p) {
  return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
}

size_t LinkCount(const PathTree& tree) {
  size_t links = 0;
  for (const PathNode& node : tree.nodes) {
    links += node.links.size();
  }
  return links;
}

bool WriteTree(const std::string& path, const PathTree& tree) {
  const std::string text = PathTreeText(tree);
  if (!ToolWriteFile(path, std::vector<uint8_t>(text.begin(), text.end()))) {
    ToolFail(path, "error: cannot write the file");
    return false;
  }
  std::cout << "wrote " << path << ": " << tree.nodes.size() << " nodes, " << LinkCount(tree)
            << " links\n";
  return true;
}

int FromSource(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    return ToolUsageError("pthmake", kUsageText, "a tree needs a path source and an output file");
  }
  PathTree tree;
  return PthSourceRead(args[0], tree) && WriteTree(args[1], tree) ? 0 : kToolFailure;
}

// --- Reading trees and mats ---------------------------------------------------------

bool LoadFloor(const ToolFramework& framework, const std::string& path, Mat& floor) {
  MatOpen(fs::absolute(path).string(), floor);
  if (!MatIsValid(floor)) {
    ToolFail(path, "error: " + framework.Errors());
    return false;
  }
  return true;
}

// A path file with its line layout and what its reading found, and the floor
// mat it is checked or routed against.
struct TreeAndFloor {
  PathTree tree;
  PthLayout layout;
  std::vector<PthProblem> problems;
  Mat floor;
};

// Reads args[0] as the tree and args[1] as the floor mat; false after
// reporting why one cannot be read.
bool LoadTreeAndFloor(const ToolFramework& framework, const std::vector<std::string>& args,
                      TreeAndFloor& loaded) {
  if (!PthTreeLoad(fs::absolute(args[0]).string(), loaded.tree, loaded.layout, loaded.problems)) {
    ToolFail(args[0],
             "error: " + (fs::exists(args[0]) ? framework.Errors() : "cannot open the file"));
    return false;
  }
  return LoadFloor(framework, args[1], loaded.floor);
}

// A colour given as RRGGBB or as the name of one of the mat's entries.
bool MatColour(const Mat& floor, const std::string& text, int32_t& color) {
  for (const MatEntry& entry : floor.entries) {
    if (entry.name == text) {
      color = static_cast<int32_t>(entry.color);
      return true;
    }
  }
  uint32_t value = 0;
  if (!RoomParseHexColour(text, value)) {
    return false;
  }
  color = static_cast<int32_t>(value);
  return true;
}

bool ParsePoint(const std::string& xText, const std::string& yText, PathPoint& point) {
  const auto parse = [](const std::string& text, int32_t& value) {
    const bool negative = text.starts_with('-');
    return ToolParseNumber(negative ? text.substr(1) : text, 0, 9999999, value) &&
           ((value = negative ? -value : value), true);
  };
  return parse(xText, point.x) && parse(yText, point.y);
}

int FromMat(const std::vector<std::string>& args) {
  if (args.size() < 4) {
    return ToolUsageError("pthmake", kUsageText,
                          "--from-mat needs a floor mat, an output file and two colours");
  }
  PthGenerateOptions options;
  bool wrap = false;
  for (size_t i = 4; i < args.size(); ++i) {
    int32_t* value = args[i] == "--spacing"     ? &options.spacing
                     : args[i] == "--clearance" ? &options.clearance
                                                : nullptr;
    if (args[i] == "--wrap") {
      wrap = true;
    } else if (value == nullptr || ++i == args.size() ||
               !ToolParseNumber(args[i], 1, 1000, *value)) {
      return ToolUsageError("pthmake", kUsageText,
                            value == nullptr ? "unknown option " + args[i]
                                             : args[i - 1] + " needs a number from 1 to 1000");
    }
  }
  ToolFramework framework("pthmake");
  Mat floor;
  if (!LoadFloor(framework, args[0], floor)) {
    return kToolFailure;
  }
  PathTree tree;
  tree.wrap = wrap;
  for (const auto& [text, color] :
       {std::pair{args[2], &tree.floorColor}, {args[3], &tree.blockColor}}) {
    if (!MatColour(floor, text, *color)) {
      return ToolFail(
          args[0], "error: \"" + text + "\" is neither RRGGBB nor the name of an entry of the mat");
    }
  }
  std::vector<std::string> warnings;
  if (!PthGenerate(floor, tree, options, warnings)) {
    return ToolFail(args[0], "error: the floor needs more than " +
                                 std::to_string(kPthMaxGeneratedNodes) +
                                 " nodes; write a path source for it");
  }
  for (const std::string& warning : warnings) {
    ToolWarn(args[0], warning);
  }
  return WriteTree(args[1], tree) ? 0 : kToolFailure;
}

// --- Checking ----------------------------------------------------------------------

// Reports the problems; the number reported.
size_t Report(const std::string& treePath, const std::string& floorPath,
              const std::vector<PthProblem>& problems) {
  for (const PthProblem& problem : problems) {
    const std::string where = problem.inFloorMat ? floorPath
                              : problem.line > 0 ? treePath + ":" + std::to_string(problem.line)
                                                 : treePath;
    ToolFail(where, "error: " + problem.message);
  }
  return problems.size();
}

int Check(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    return ToolUsageError("pthmake", kUsageText, "--check needs a path file and a floor mat");
  }
  ToolFramework framework("pthmake");
  TreeAndFloor loaded;
  if (!LoadTreeAndFloor(framework, args, loaded)) {
    return kToolFailure;
  }
  const PathTree& tree = loaded.tree;
  std::vector<PthProblem> problems = std::move(loaded.problems);
  const std::vector<PthProblem> found = PthCheck(loaded.floor, tree, loaded.layout);
  problems.insert(problems.end(), found.begin(), found.end());
  if (Report(args[0], args[1], problems) > 0) {
    return kToolFailure;
  }
  std::cout << args[0] << ": " << tree.nodes.size() << " nodes, " << LinkCount(tree)
            << " links: on the floor, in sight, one part, all floor seen\n";
  return 0;
}

// --- Routes ------------------------------------------------------------------------

// The game's walk request from one point to another; prints the waypoints
// and what the game logs.
bool PrintRoute(ToolFramework& framework, const Mat& floor, PathTree& tree, PathPoint from,
                PathPoint to, std::vector<PathWaypoint>& waypoints) {
  PathWalker walker;
  walker.position = from;
  const bool walking = PathWalkRequest(floor, tree, walker, to);
  for (const std::string& line : framework.NewLogLines()) {
    std::cout << "log: " << line << "\n";
  }
  waypoints = walker.waypoints;
  int64_t length = 0;
  for (size_t i = 0; i < waypoints.size(); ++i) {
    const PathWaypoint& w = waypoints[i];
    if (i > 0) {
      length += PathDistance({waypoints[i - 1].x, waypoints[i - 1].y}, {w.x, w.y});
    }
    std::cout << "waypoint " << i << " " << w.x << " " << w.y
              << (i == 0       ? ""
                  : w.leftward ? " left"
                               : " right")
              << "\n";
  }
  if (walking) {
    std::cout << "route from " << PointText(from) << " to " << PointText(to) << ": "
              << waypoints.size() << " waypoints, " << length << " pixels\n";
  }
  return walking;
}

struct RouteArgs {
  bool given = false;
  PathPoint from;
  PathPoint to;
};

bool ParseRoute(const std::vector<std::string>& args, size_t first, RouteArgs& route) {
  if (args.size() == first) {
    return true;
  }
  route.given = args.size() == first + 4 && ParsePoint(args[first], args[first + 1], route.from) &&
                ParsePoint(args[first + 2], args[first + 3], route.to);
  return route.given;
}

int Route(const std::vector<std::string>& args) {
  RouteArgs route;
  if (args.size() != 6 || !ParseRoute(args, 2, route)) {
    return ToolUsageError("pthmake", kUsageText,
                          "--route needs a path file, a floor mat and four whole numbers");
  }
  ToolFramework framework("pthmake");
  TreeAndFloor loaded;
  if (!LoadTreeAndFloor(framework, args, loaded)) {
    return kToolFailure;
  }
  PathTree& tree = loaded.tree;
  const Mat& floor = loaded.floor;
  std::vector<PathWaypoint> waypoints;
  if (!PrintRoute(framework, floor, tree, route.from, route.to, waypoints)) {
    return ToolFail(args[0],
                    "error: no walk from " + PointText(route.from) + " to " + PointText(route.to));
  }
  return 0;
}

// --- Drawing -----------------------------------------------------------------------

class Picture {
 public:
  Picture(int32_t width, int32_t height)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

  void Set(int32_t x, int32_t y, uint32_t color) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
      pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
          0xFF000000 | color;
    }
  }
  void Square(PathPoint p, int32_t reach, uint32_t color) {
    for (int32_t dy = -reach; dy <= reach; ++dy) {
      for (int32_t dx = -reach; dx <= reach; ++dx) {
        Set(Wrap(p.x + dx), p.y + dy, color);
      }
    }
  }
  // The game's line between two points, folded into the picture across the
  // seam.
  void Line(PathPoint from, PathPoint to, uint32_t color) {
    PathLineVisit(from, to, [&](PathPoint p) {
      Set(Wrap(p.x), p.y, color);
      return true;
    });
  }
  bool Save(const std::string& path) const {
    return ToolSavePicture(path, width_, height_, pixels_);
  }

 private:
  int32_t Wrap(int32_t x) const { return ((x % width_) + width_) % width_; }

  int32_t width_;
  int32_t height_;
  std::vector<uint32_t> pixels_;
};

constexpr uint32_t kFloorGrey = 0xD0D0D0;
constexpr uint32_t kBlockGrey = 0x404040;
constexpr uint32_t kOtherGrey = 0x909090;
constexpr uint32_t kUnseenOrange = 0xFFA030;
constexpr uint32_t kLinkBlue = 0x4080FF;
constexpr uint32_t kNodeBlue = 0x0000A0;
constexpr uint32_t kRouteRed = 0xE00000;

void DrawFloor(const Mat& floor, const PathTree& tree, Picture& picture) {
  for (int32_t y = 0; y < floor.height; ++y) {
    for (int32_t x = 0; x < floor.width; ++x) {
      int32_t color = 0;
      const bool known = PathPixelColor(floor, x, y, color);
      picture.Set(x, y,
                  known && color == tree.floorColor   ? kFloorGrey
                  : known && color == tree.blockColor ? kBlockGrey
                                                      : kOtherGrey);
    }
  }
  PthVisitUnseenFloor(floor, tree, [&](PathPoint p) {
    picture.Set(p.x, p.y, kUnseenOrange);
    return true;
  });
}

void DrawRoute(const std::vector<PathWaypoint>& waypoints, int32_t width, Picture& picture) {
  for (size_t i = 1; i < waypoints.size(); ++i) {
    const PathWaypoint& a = waypoints[i - 1];
    PathPoint b{waypoints[i].x, waypoints[i].y};
    // A waypoint reached the other way round than its side says lies
    // across the seam.
    if (waypoints[i].leftward != (a.x >= b.x)) {
      b.x += waypoints[i].leftward ? -width : width;
    }
    picture.Line({a.x, a.y}, b, kRouteRed);
  }
  for (const PathWaypoint& w : waypoints) {
    picture.Square({w.x, w.y}, 1, kRouteRed);
  }
}

int Draw(const std::vector<std::string>& args) {
  RouteArgs route;
  if (args.size() < 3 || !ParseRoute(args, 3, route)) {
    return ToolUsageError("pthmake", kUsageText,
                          "--draw needs a path file, a floor mat, a picture and optionally "
                          "four whole numbers");
  }
  ToolFramework framework("pthmake");
  TreeAndFloor loaded;
  if (!LoadTreeAndFloor(framework, args, loaded)) {
    return kToolFailure;
  }
  PathTree& tree = loaded.tree;
  const Mat& floor = loaded.floor;
  Picture picture(floor.width, floor.height);
  DrawFloor(floor, tree, picture);
  for (const PathNode& node : tree.nodes) {
    for (const int32_t link : node.links) {
      const PathNode& other = tree.nodes[static_cast<size_t>(link)];
      picture.Line({node.x, node.y}, {other.x, other.y}, kLinkBlue);
    }
  }
  for (const PathNode& node : tree.nodes) {
    picture.Square({node.x, node.y}, 2, kNodeBlue);
  }
  std::vector<PathWaypoint> waypoints;
  if (route.given) {
    PrintRoute(framework, floor, tree, route.from, route.to, waypoints);
    DrawRoute(waypoints, floor.width, picture);
  }
  return picture.Save(args[2]) ? 0 : kToolFailure;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
  if (!args.empty() && args[0] == "--from-mat") {
    return FromMat(rest);
  }
  if (!args.empty() && args[0] == "--check") {
    return Check(rest);
  }
  if (!args.empty() && args[0] == "--route") {
    return Route(rest);
  }
  if (!args.empty() && args[0] == "--draw") {
    return Draw(rest);
  }
  return FromSource(args);
}
