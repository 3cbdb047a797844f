#include "tools/pthmake/pthsource.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "tools/common/tool.h"
#include "tools/roommake/roomdesc.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kMaxCoordinate = 1000000;

// A node's coordinate: a path file holds no negative ones.
bool Whole(ToolWords& words, const char* what, int32_t& value) {
  std::string word;
  if (!words.Word(what, word)) {
    return false;
  }
  return ToolParseNumber(word, 0, kMaxCoordinate, value) ||
         words.Fail(std::string(what) + " \"" + RoomWordText(word) +
                    "\" is not a whole number from 0 to " + std::to_string(kMaxCoordinate));
}

struct NamedNode {
  int32_t index = 0;
  int32_t line = 0;
};

// Reads a source in two passes: colours and nodes first, so that colour
// names and links may refer to lines further down.
class SourceReader {
 public:
  SourceReader(const std::string& path, PathTree& tree) : path_(path), tree_(tree) {}

  bool Read();

 private:
  bool Declare(const ToolLine& line, ToolWords& words);
  bool Apply(const ToolLine& line, ToolWords& words);
  bool Colour(ToolWords& words, int32_t& color);
  bool Node(ToolWords& words, int32_t& index);
  bool Link(ToolWords& words, const ToolLine& line, int32_t from, int32_t to);
  bool Fail(const ToolLine& line, const std::string& message) const {
    ToolFail(path_ + ":" + std::to_string(line.number), "error: " + message);
    return false;
  }

  const std::string& path_;
  PathTree& tree_;
  std::vector<RoomColour> colours_;
  std::map<std::string, NamedNode> nodes_;
  std::map<std::pair<int32_t, int32_t>, int32_t> linkLines_;  // (from, to) -> line
  std::optional<int32_t> floorLine_;
  std::optional<int32_t> blockLine_;
};

bool SourceReader::Read() {
  std::vector<ToolLine> lines;
  if (!ToolReadRecipe(path_, lines)) {
    return false;
  }
  tree_ = PathTree{};
  for (const bool declaring : {true, false}) {
    for (const ToolLine& line : lines) {
      ToolWords words(line);
      const bool done = declaring ? Declare(line, words) : Apply(line, words);
      if (!done || !words.End()) {
        return Fail(line, words.Error());
      }
    }
  }
  if (!floorLine_ || !blockLine_) {
    ToolFail(path_, std::string("error: the source needs a \"") + (floorLine_ ? "block" : "floor") +
                        " COLOUR\" line");
    return false;
  }
  return true;
}

// The first pass: "colours" and "node" lines, and unknown commands.
bool SourceReader::Declare(const ToolLine& line, ToolWords& words) {
  const std::string& command = line.words[0];
  if (command == "colours") {
    std::string file;
    if (!words.Word("a room description", file)) {
      return false;
    }
    const fs::path room = fs::path(path_).parent_path() / RoomWordText(file);
    return RoomReadColours(room.string(), colours_) ||
           words.Fail("cannot read the colours of " + room.string());
  }
  if (command == "node") {
    std::string name;
    int32_t x = 0, y = 0;
    if (!words.Word("a name", name) || !Whole(words, "X", x) || !Whole(words, "Y", y)) {
      return false;
    }
    name = RoomWordText(name);
    const auto [found, added] =
        nodes_.emplace(name, NamedNode{static_cast<int32_t>(tree_.nodes.size()), line.number});
    if (!added) {
      return words.Fail("node \"" + name + "\" is already defined on line " +
                        std::to_string(found->second.line));
    }
    tree_.nodes.push_back(PathNode{x, y, {}, false});
    return true;
  }
  static const char* const kCommands[] = {"floor", "block", "wrap", "link", "oneway"};
  if (std::find(std::begin(kCommands), std::end(kCommands), command) == std::end(kCommands)) {
    return words.Fail("unknown command \"" + RoomWordText(command) + "\"");
  }
  while (words.More()) {  // read in the second pass
    std::string skipped;
    words.Word("", skipped);
  }
  return true;
}

// The second pass: colours, wrap and links.
bool SourceReader::Apply(const ToolLine& line, ToolWords& words) {
  const std::string& command = line.words[0];
  if (command == "floor" || command == "block") {
    std::optional<int32_t>& seen = command == "floor" ? floorLine_ : blockLine_;
    if (seen) {
      return words.Fail("the " + command + " colour is already set on line " +
                        std::to_string(*seen));
    }
    seen = line.number;
    return Colour(words, command == "floor" ? tree_.floorColor : tree_.blockColor);
  }
  if (command == "wrap") {
    tree_.wrap = true;
    return true;
  }
  if (command == "link" || command == "oneway") {
    int32_t from = 0, to = 0;
    if (!Node(words, from) || !Node(words, to) || !Link(words, line, from, to)) {
      return false;
    }
    if (command == "oneway") {
      return true;
    }
    while (true) {
      if (!Link(words, line, to, from)) {
        return false;
      }
      if (!words.More()) {
        return true;
      }
      from = to;
      if (!Node(words, to) || !Link(words, line, from, to)) {
        return false;
      }
    }
  }
  while (words.More()) {  // read in the first pass
    std::string skipped;
    words.Word("", skipped);
  }
  return true;
}

bool SourceReader::Colour(ToolWords& words, int32_t& color) {
  std::string word;
  if (!words.Word("a colour name or RRGGBB", word)) {
    return false;
  }
  const std::string name = RoomWordText(word);
  const auto named = std::find_if(colours_.begin(), colours_.end(),
                                  [&](const RoomColour& c) { return c.name == name; });
  uint32_t value = 0;
  if (named != colours_.end()) {
    value = named->color;
  } else if (!RoomParseHexColour(name, value)) {
    return words.Fail("\"" + name + "\" is neither a colour name nor six hex digits RRGGBB");
  }
  color = static_cast<int32_t>(value);
  return true;
}

bool SourceReader::Node(ToolWords& words, int32_t& index) {
  std::string word;
  if (!words.Word("a node name", word)) {
    return false;
  }
  const auto found = nodes_.find(RoomWordText(word));
  if (found == nodes_.end()) {
    return words.Fail("no node is named \"" + RoomWordText(word) + "\"");
  }
  index = found->second.index;
  return true;
}

// Adds the link from one node to another, once.
bool SourceReader::Link(ToolWords& words, const ToolLine& line, int32_t from, int32_t to) {
  const auto name = [this](int32_t index) {
    for (const auto& [text, node] : nodes_) {
      if (node.index == index) {
        return "\"" + text + "\"";
      }
    }
    return std::string();
  };
  if (from == to) {
    return words.Fail("node " + name(from) + " cannot link to itself");
  }
  const auto [found, added] = linkLines_.emplace(std::make_pair(from, to), line.number);
  if (!added) {
    return words.Fail("the link from " + name(from) + " to " + name(to) +
                      " is already made on line " + std::to_string(found->second));
  }
  tree_.nodes[from].links.push_back(to);
  return true;
}

}  // namespace

bool PthSourceRead(const std::string& path, PathTree& tree) {
  return SourceReader(path, tree).Read();
}
