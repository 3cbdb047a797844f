// Room descriptions: one text file from which a room's five mats are painted
// (sizes, named colours, and per mat fills, rectangles, polygons and row
// gradients). Path sources read the same named colours.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/mat/mat.h"

// A colour line: its name, 0x00RRGGBB, and the line it is on.
struct RoomColour {
  std::string name;
  uint32_t color = 0;
  int32_t line = 0;
};

// The mats of a room: the description's word for each and its file name.
struct RoomMatKind {
  const char* word;
  const char* fileName;
};
inline constexpr std::array<RoomMatKind, 5> kRoomMatKinds = {{
    {"depth-layers", "Depth Layers.mat"},
    {"depth-agent", "Depth Agent.mat"},
    {"walk", "Walk Area.mat"},
    {"light", "Light Agent.mat"},
    {"sound", "Sound.mat"},
}};
constexpr size_t kRoomDepthLayers = 0;
constexpr size_t kRoomDepthAgent = 1;

struct RoomDescription {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<RoomColour> colours;
  std::array<Mat, kRoomMatKinds.size()> mats;  // in the order of kRoomMatKinds
};

// Reads the colour lines of a description, in file order; every other line
// is left unread. False after reporting the first fault as file:line.
bool RoomReadColours(const std::string& path, std::vector<RoomColour>& colours);
// Reads a whole description and paints its five mats. False after reporting
// the first fault as file:line.
bool RoomDescriptionRead(const std::string& path, RoomDescription& room);
// Six hex digits RRGGBB as 0x00RRGGBB; false when the text is not that.
bool RoomParseHexColour(const std::string& text, uint32_t& color);
// A recipe word without the opening quote that marks quoted text.
std::string RoomWordText(const std::string& word);
