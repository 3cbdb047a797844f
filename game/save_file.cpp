// Save files: the state store's file whose "APP" chunk holds the game's own
// data, followed by a "CRC" chunk over every byte before it.
//
//   "APP": int32 application version (3)
//          descriptor: string description, double saved at, int32 play time,
//                      int32 completion, int32 difficulty, string extra text (from 2)
//          thumbnail: int32 width, int32 height, width x height BGRA pixels, top row first
//          agents: int32 count; per agent: string name, int32 animation set,
//                  int32 x, int32 y, int32 item count, per item: string name, string image
//          fog layers (from 3): as FogOfWarSave writes them
//   "CRC": int32 CRC-32 of the file's bytes before the chunk's tag
//
// A file is built whole in memory and written in one piece; a file is read
// whole and checked to its last byte before anything of it is used.
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/mat/mat.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "game/saves.h"

namespace {

constexpr int32_t kAppVersion = 3;
constexpr int32_t kFirstFogVersion = 3;
constexpr int32_t kFirstExtraTextVersion = 2;
constexpr size_t kTagSize = 3;
constexpr size_t kChunkHeaderSize = kTagSize + 4;
// An agent's animation set is the standing set of its facing, 0 to 3.
constexpr int32_t kStandingSets = kAgentWalkRight;

// --- CRC-32 (the common polynomial 0xEDB88320, reflected) ---------------------------------

constexpr std::array<uint32_t, 256> kCrcTable = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    table[n] = c;
  }
  return table;
}();

uint32_t Crc32(std::string_view bytes) {
  uint32_t c = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    c = kCrcTable[(c ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

uint32_t LoadU32(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

void AppendU32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<char>(value >> shift));
  }
}

// --- Writing ---------------------------------------------------------------------------------

// Fields written at the position of a direct file; remembers a failure.
class FieldWriter {
 public:
  explicit FieldWriter(int32_t file) : file_(file) {}
  bool Ok() const { return ok_; }
  void Fail() { ok_ = false; }

  void Bytes(const void* data, size_t count) {
    ok_ = ok_ && count <= static_cast<size_t>(INT32_MAX) &&
          (count == 0 || DataFileDirectWrite(file_, data, static_cast<int32_t>(count)));
  }
  void Int32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                              static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    Bytes(bytes, 4);
  }
  void Double(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Int32(static_cast<int32_t>(static_cast<uint32_t>(bits)));
    Int32(static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
  }
  void String(const std::string& text) {
    Int32(static_cast<int32_t>(text.size()));
    Bytes(text.data(), text.size());
  }

 private:
  int32_t file_;
  bool ok_ = true;
};

void WriteDescriptor(FieldWriter& out, const SaveDescriptor& descriptor) {
  out.String(descriptor.description);
  out.Double(descriptor.savedAt);
  out.Int32(descriptor.playTime);
  out.Int32(descriptor.completion);
  out.Int32(descriptor.difficulty);
  out.String(descriptor.extraText);
}

void WriteThumbnail(FieldWriter& out, const SaveThumbnail& thumbnail) {
  const bool whole = thumbnail.width > 0 && thumbnail.height > 0 &&
                     thumbnail.pixels.size() == static_cast<size_t>(thumbnail.width) *
                                                    static_cast<size_t>(thumbnail.height) * 4;
  // Without a picture (no display to draw on) the save holds an empty one.
  out.Int32(whole ? thumbnail.width : 0);
  out.Int32(whole ? thumbnail.height : 0);
  if (whole) {
    out.Bytes(thumbnail.pixels.data(), thumbnail.pixels.size());
  }
}

void WriteAgents(FieldWriter& out) {
  out.Int32(AgentCount());
  for (int32_t id = 0; id < AgentCount(); ++id) {
    const Agent& agent = *AgentGet(id);
    out.String(agent.name);
    out.Int32(agent.facing);
    out.Int32(agent.x);
    out.Int32(agent.y);
    out.Int32(static_cast<int32_t>(agent.inventory.size()));
    for (const InventoryItem& item : agent.inventory) {
      out.String(item.name);
      out.String(item.imageFile);
    }
  }
}

void WriteAppData(FieldWriter& out, int32_t file, const SaveDescriptor& descriptor,
                  const SaveThumbnail& thumbnail) {
  out.Int32(kAppVersion);
  WriteDescriptor(out, descriptor);
  WriteThumbnail(out, thumbnail);
  WriteAgents(out);
  if (out.Ok() && !FogOfWarSave(file)) {
    out.Fail();
  }
}

// --- Reading ---------------------------------------------------------------------------------

// Fields read from a direct file in memory, never past its end; a length is
// checked against the bytes left before anything is allocated for it.
class FieldReader {
 public:
  explicit FieldReader(int32_t file) : file_(file) {}
  int32_t File() const { return file_; }

  int64_t Left() const {
    return int64_t{DataFileDirectSize(file_)} - int64_t{DataFileDirectTell(file_)};
  }
  bool Bytes(void* to, int64_t count) {
    return count >= 0 && count <= Left() &&
           (count == 0 || DataFileDirectRead(file_, to, static_cast<int32_t>(count)));
  }
  bool Skip(int64_t count) {
    return count >= 0 && count <= Left() &&
           DataFileDirectSeek(file_, DataFileDirectTell(file_) + static_cast<int32_t>(count));
  }
  bool Int32(int32_t& value) {
    char bytes[4];
    if (!Bytes(bytes, 4)) {
      return false;
    }
    value = static_cast<int32_t>(LoadU32(std::string_view(bytes, 4), 0));
    return true;
  }
  bool Double(double& value) {
    int32_t low = 0;
    int32_t high = 0;
    if (!Int32(low) || !Int32(high)) {
      return false;
    }
    const uint64_t bits = uint64_t{static_cast<uint32_t>(high)} << 32 | static_cast<uint32_t>(low);
    std::memcpy(&value, &bits, sizeof value);
    return true;
  }
  bool String(std::string& text) {
    int32_t size = 0;
    if (!Int32(size) || size < 0 || size > Left()) {
      return false;
    }
    text.resize(static_cast<size_t>(size));
    return Bytes(text.data(), size);
  }
  // A count of records each at least `minimumSize` bytes long.
  bool Count(int32_t& count, int64_t minimumSize) {
    return Int32(count) && count >= 0 && count * minimumSize <= Left();
  }

 private:
  int32_t file_;
};

bool ReadDescriptor(FieldReader& in, int32_t version, SaveDescriptor& descriptor) {
  return in.String(descriptor.description) && in.Double(descriptor.savedAt) &&
         in.Int32(descriptor.playTime) && in.Int32(descriptor.completion) &&
         in.Int32(descriptor.difficulty) &&
         (version < kFirstExtraTextVersion || in.String(descriptor.extraText));
}

bool ReadThumbnail(FieldReader& in, bool withPixels, SaveThumbnail& thumbnail) {
  if (!in.Int32(thumbnail.width) || !in.Int32(thumbnail.height) || thumbnail.width < 0 ||
      thumbnail.height < 0) {
    return false;
  }
  // Two counts near 2^31 give a pixel count whose bytes overflow 64 bits:
  // the pixels are checked against the bytes left before they are sized.
  const int64_t pixels = int64_t{thumbnail.width} * thumbnail.height;
  if (pixels > in.Left() / 4) {
    return false;
  }
  const int64_t size = pixels * 4;
  if (!withPixels) {
    return in.Skip(size);
  }
  thumbnail.pixels.resize(static_cast<size_t>(size));
  return in.Bytes(thumbnail.pixels.data(), size);
}

bool ReadAgents(FieldReader& in, std::vector<SavedAgent>& agents) {
  // An agent takes at least its name's length, set, position and item count.
  constexpr int64_t kAgentMinimum = 5 * 4;
  constexpr int64_t kItemMinimum = 2 * 4;
  int32_t count = 0;
  if (!in.Count(count, kAgentMinimum)) {
    return false;
  }
  for (int32_t n = 0; n < count; ++n) {
    SavedAgent& agent = agents.emplace_back();
    int32_t items = 0;
    if (!in.String(agent.name) || !in.Int32(agent.animationSet) || !in.Int32(agent.x) ||
        !in.Int32(agent.y) || !in.Count(items, kItemMinimum)) {
      return false;
    }
    for (int32_t k = 0; k < items; ++k) {
      auto& [name, image] = agent.inventory.emplace_back();
      if (!in.String(name) || !in.String(image)) {
        return false;
      }
    }
  }
  return true;
}

// The fog layers as FogOfWarLoad reads them, each mat read into its runs
// (no pixels are allocated) and checked.
bool CheckFogLayers(FieldReader& in) {
  // A layer takes at least its two strings' lengths and a mat header.
  constexpr int64_t kLayerMinimum = 2 * 4 + 14;
  int32_t count = 0;
  if (!in.Count(count, kLayerMinimum)) {
    return false;
  }
  for (int32_t n = 0; n < count; ++n) {
    std::string name;
    std::string folder;
    if (!in.String(name) || !in.String(folder)) {
      return false;
    }
    MatRaw raw;
    MatDirectOpenRaw(in.File(), raw);
    if (!MatRawIsValid(raw)) {
      return false;
    }
  }
  return true;
}

// Reads the "APP" chunk's bytes; every byte must belong to a field.
SaveFileStatus ReadAppData(std::string_view chunk, bool withPixels, SaveContents& contents) {
  const int32_t file = DataFileDirectOpenMemory(std::string(chunk));
  if (file == 0) {
    return SaveFileStatus::kDamaged;
  }
  FieldReader in(file);
  SaveFileStatus status = SaveFileStatus::kDamaged;
  if (!in.Int32(contents.appVersion) || contents.appVersion < 1) {
    status = SaveFileStatus::kDamaged;
  } else if (contents.appVersion > kAppVersion) {
    status = SaveFileStatus::kUnsupported;
  } else if (ReadDescriptor(in, contents.appVersion, contents.descriptor) &&
             ReadThumbnail(in, withPixels, contents.thumbnail) && ReadAgents(in, contents.agents)) {
    const int32_t fogStart = DataFileDirectTell(file);
    if (contents.appVersion < kFirstFogVersion || CheckFogLayers(in)) {
      contents.fogLayers = chunk.substr(static_cast<size_t>(fogStart));
      status = in.Left() == 0 ? SaveFileStatus::kLoaded : SaveFileStatus::kDamaged;
    }
  }
  DataFileDirectClose(file);
  return status;
}

// The chunks of a file, found by their tags.
struct Chunks {
  std::vector<std::string_view> states;
  std::string_view app;
  bool hasApp = false;
};

// Walks the chunks after the format version: each must lie inside the file;
// a "CRC" chunk must be the last and match every byte before it; there must
// be exactly one "APP" chunk; other tags are skipped.
bool WalkChunks(std::string_view bytes, Chunks& chunks) {
  size_t at = 4;
  if (bytes.size() < at) {
    return false;
  }
  while (at < bytes.size()) {
    if (bytes.size() - at < kChunkHeaderSize) {
      return false;
    }
    const std::string_view tag = bytes.substr(at, kTagSize);
    const auto length = static_cast<int32_t>(LoadU32(bytes, at + kTagSize));
    const size_t start = at + kChunkHeaderSize;
    if (length < 0 || static_cast<size_t>(length) > bytes.size() - start) {
      return false;
    }
    const std::string_view body = bytes.substr(start, static_cast<size_t>(length));
    if (tag == "CRC" && (length != 4 || start + 4 != bytes.size() ||
                         LoadU32(body, 0) != Crc32(bytes.substr(0, at)))) {
      return false;
    }
    if (tag == "STA") {
      chunks.states.push_back(body);
    } else if (tag == "APP") {
      if (chunks.hasApp) {
        return false;
      }
      chunks.hasApp = true;
      chunks.app = body;
    }
    at = start + static_cast<size_t>(length);
  }
  return chunks.hasApp;
}

// The whole file is checked before anything of it is read into the game.
SaveFileStatus ReadChunks(std::string_view bytes, bool withPixels, SaveContents& contents) {
  Chunks chunks;
  if (!WalkChunks(bytes, chunks)) {
    return SaveFileStatus::kDamaged;
  }
  for (const std::string_view chunk : chunks.states) {
    std::vector<StateSavedVariables> states;
    if (!StateParseVariables(chunk, states)) {
      return SaveFileStatus::kDamaged;
    }
    contents.states.insert(contents.states.end(), states.begin(), states.end());
  }
  return ReadAppData(chunks.app, withPixels, contents);
}

}  // namespace

// --- Save files ------------------------------------------------------------------------------

std::string SaveFileBytes(const std::string& file, const SaveDescriptor& descriptor,
                          const SaveThumbnail& thumbnail) {
  const int32_t memory = DataFileDirectCreateMemory();
  bool appWritten = false;
  const bool written = StateWrite(memory, file, [&](int32_t id, const std::string&) {
    FieldWriter out(id);
    WriteAppData(out, id, descriptor, thumbnail);
    appWritten = out.Ok();
  });
  std::string bytes;
  DataFileDirectMemoryTake(memory, bytes);
  if (!written || !appWritten) {
    return {};
  }
  const uint32_t crc = Crc32(bytes);
  bytes.append("CRC", kTagSize);
  AppendU32(bytes, 4);
  AppendU32(bytes, crc);
  return bytes;
}

bool SaveFileWrite(const std::string& file, const SaveDescriptor& descriptor,
                   const SaveThumbnail& thumbnail) {
  const std::string bytes = SaveFileBytes(file, descriptor, thumbnail);
  return !bytes.empty() && DataFileDirectWriteWhole(file, bytes);
}

SaveFileStatus SaveFileRead(const std::string& file, SaveContents& contents, bool withPixels) {
  std::string bytes;
  if (!DataFileDirectReadWhole(file, bytes)) {
    contents = SaveContents{};
    return SaveFileStatus::kUnreadable;
  }
  return SaveFileParse(bytes, contents, withPixels);
}

SaveFileStatus SaveFileParse(std::string_view bytes, SaveContents& contents, bool withPixels) {
  contents = SaveContents{};
  const SaveFileStatus status = ReadChunks(bytes, withPixels, contents);
  if (status != SaveFileStatus::kLoaded) {
    // Only the version stays, for the message of a later game's save.
    const int32_t version = contents.appVersion;
    contents = SaveContents{};
    contents.appVersion = version;
  }
  return status;
}

void SaveFileApply(const SaveContents& contents) {
  for (const SavedAgent& saved : contents.agents) {
    int32_t id = AgentFind(saved.name);
    if (id < 0) {
      id = AgentAdd(saved.name);
    }
    Agent* agent = AgentGet(id);
    // The standing set of the saved facing, when the start script gave it one.
    if (saved.animationSet >= 0 && saved.animationSet < kStandingSets) {
      agent->facing = saved.animationSet;
      AgentSetBody(id, saved.animationSet);
    }
    AgentMove(id, saved.x - agent->x, saved.y - agent->y);
    for (const auto& [item, image] : saved.inventory) {
      AgentInventoryAdd(saved.name, item, image);
    }
    agent->firstShownItem = 0;
  }
  if (!contents.fogLayers.empty()) {
    const int32_t file = DataFileDirectOpenMemory(contents.fogLayers);
    FogOfWarLoad(file);
    DataFileDirectClose(file);
  }
  GameBackgroundFramesClose();
}
