// The fuzz targets. One program folder in a temporary folder serves every
// input: the loaders that take content names find the input there as a disk
// file below the program folder, the ones that take direct files get it as a
// memory file or a file by its path.
#include "tests/fuzz/fuzz_targets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/ini/ini.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/path.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz_environment.h"

namespace {

// --- Archives -------------------------------------------------------------------

// Reads an open content file to its end in uneven pieces; the bytes read.
int64_t ReadToEnd(int32_t id) {
  char piece[97];
  int64_t total = 0;
  while (const int32_t count = DataFileRead(id, piece, sizeof piece)) {
    FuzzCheck(count > 0 && count <= static_cast<int32_t>(sizeof piece), "read count in range");
    total += count;
  }
  return total;
}

// The input as the program folder's only archive: start-up scans it, then
// each entry it lists is opened, read, seeked and read again.
void FuzzArchive(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  DataFileStop();
  const std::string path = env.Write("fuzz.qma", data, size);
  DataFileStart();
  DataFileArchiveDirectory directory;
  if (DataFileArchiveRead(path, directory)) {
    for (const DataFileArchiveEntry& entry : directory.entries) {
      const int32_t id = DataFileOpen(entry.name);
      if (id == 0) {
        continue;
      }
      const int32_t fileSize = DataFileSize(id);
      FuzzCheck(ReadToEnd(id) == fileSize, "an entry reads as many bytes as its size");
      for (const int32_t position : {0, fileSize / 2, fileSize, fileSize + 1, -1}) {
        if (DataFileSeek(id, position)) {
          FuzzCheck(DataFileTell(id) == position, "a seek that succeeds moves there");
          FuzzCheck(ReadToEnd(id) == std::max(fileSize - position, 0),
                    "the rest reads after a seek");
        }
      }
      DataFileReadLine(id);
      DataFileClose(id);
    }
    DataFileExists("missing.bin");
  }
  DataFileStop();
  PlatformDeleteFile(path);
  DataFileStart();
}

// --- Settings -------------------------------------------------------------------

// Every key of a few sections with the value a read of it gives.
struct SettingsValue {
  std::string section;
  std::string key;
  std::string value;
};

std::vector<SettingsValue> SettingsValues() {
  std::vector<SettingsValue> values;
  for (const char* section : {"Settings", "Video", "Audio", "Fuzz", ""}) {
    for (const IniKey& key : IniReadSectionKeys(section)) {
      values.push_back({section, key.name, IniReadString(section, key.name, "(none)")});
    }
  }
  return values;
}

// The input as the user's settings file: its keys read, one written; the
// written key then reads the new value and every other key as before.
void FuzzSettings(const uint8_t* data, size_t size) {
  FuzzEnv();
  FuzzCheck(DataFileDirectWriteWhole(IniWritePath(), FuzzBytes(data, size)),
            "the settings are written");
  const std::vector<SettingsValue> before = SettingsValues();
  IniReadInt("Fuzz", "Number", -1);
  IniReadBool("Fuzz", "Flag", false);
  const std::string value = "written " + std::to_string(size);
  if (IniWriteString("Fuzz", "Key", value)) {
    FuzzCheck(IniReadString("Fuzz", "Key", "") == value, "a written key reads the new value");
    for (const SettingsValue& old : before) {
      if (old.section != "Fuzz" || UtilitiesUpperCase(old.key) != "KEY") {
        FuzzCheck(IniReadString(old.section, old.key, "(none)") == old.value,
                  "other keys read as before");
      }
    }
  }
  IniBatchBegin();
  IniWriteInt("Fuzz", "Number", 7);
  IniWriteBool("Settings", "Flag", true);
  if (IniBatchEnd()) {
    FuzzCheck(IniReadInt("Fuzz", "Number", -1) == 7, "a batch writes its keys");
  }
}

// --- State saves ----------------------------------------------------------------

// The input as a state save; what loaded, saved again, loads to the same
// variables.
void FuzzStateSave(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  const std::string path = env.Write("fuzz.sta", data, size);
  const auto reader = [](int32_t file, const std::string&) {
    char piece[64];
    DataFileDirectRead(file, piece, sizeof piece);
  };
  StateStop();
  StateStart();
  if (StateLoad(path, reader)) {
    const std::string again = env.folder() + "again.sta";
    const auto writer = [](int32_t, const std::string&) {};
    if (StateSave(again, writer)) {
      std::string bytes;
      FuzzCheck(DataFileDirectReadWhole(again, bytes), "a written save reads back");
      StateStop();
      StateStart();
      FuzzCheck(StateLoad(again, reader), "a written save loads");
      std::string bytesAgain;
      FuzzCheck(StateSave(again, writer) && DataFileDirectReadWhole(again, bytesAgain),
                "a loaded save saves again");
      FuzzCheck(bytes == bytesAgain, "re-saving what loaded gives the same file");
      PlatformDeleteFile(again);
    }
  }
  StateStop();
  StateStart();
  PlatformDeleteFile(path);
}

// --- Mats -----------------------------------------------------------------------

bool SameMat(const Mat& a, const Mat& b) {
  if (a.width != b.width || a.height != b.height || a.data != b.data ||
      a.entries.size() != b.entries.size()) {
    return false;
  }
  for (size_t i = 0; i < a.entries.size(); ++i) {
    if (a.entries[i].name != b.entries[i].name || a.entries[i].color != b.entries[i].color) {
      return false;
    }
  }
  return true;
}

// The input as a content file and as a memory file; the two readers agree,
// and a valid mat saved again reads back identical.
void FuzzMat(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  const std::string path = env.Write("fuzz.mat", data, size);
  Mat fromContent;
  MatOpen("fuzz.mat", fromContent);
  PlatformDeleteFile(path);
  Mat fromMemory;
  const int32_t file = DataFileDirectOpenMemory(FuzzBytes(data, size));
  MatDirectOpen(file, fromMemory);
  DataFileDirectClose(file);
  FuzzCheck(SameMat(fromContent, fromMemory), "content and direct readers agree");
  if (!MatIsValid(fromMemory)) {
    return;
  }
  MatEntryAt(fromMemory, fromMemory.width - 1, fromMemory.height - 1);
  MatNearestEntryName(fromMemory, 0x808080);
  const int32_t out = DataFileDirectCreateMemory();
  FuzzCheck(MatDirectSave(out, fromMemory) == 3, "a valid mat saves");
  std::string saved;
  FuzzCheck(DataFileDirectMemoryTake(out, saved), "the saved bytes are taken");
  Mat again;
  const int32_t in = DataFileDirectOpenMemory(saved);
  MatDirectOpen(in, again);
  DataFileDirectClose(in);
  FuzzCheck(SameMat(fromMemory, again), "a valid mat re-saved reads back identical");
}

// --- Images ---------------------------------------------------------------------

class OwnedImage {
 public:
  OwnedImage() = default;
  ~OwnedImage() { ImageFree(first); }
  OwnedImage(const OwnedImage&) = delete;
  OwnedImage& operator=(const OwnedImage&) = delete;
  ImageFrame* first = nullptr;
};

// Same sizes and pixels frame by frame; `alphaKept` false compares colours
// only (a format whose writer stores no alpha).
bool SamePictures(const ImageFrame* a, const ImageFrame* b, bool alphaKept) {
  const uint32_t mask = alphaKept ? 0xFFFFFFFF : 0x00FFFFFF;
  for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
    if (a->width != b->width || a->height != b->height || a->pixels.size() != b->pixels.size() ||
        !std::equal(a->pixels.begin(), a->pixels.end(), b->pixels.begin(),
                    [mask](uint32_t p, uint32_t q) { return (p & mask) == (q & mask); })) {
      return false;
    }
  }
  return a == nullptr && b == nullptr;
}

// Every frame has its pixels: width x height of them.
bool FramesComplete(const ImageFrame* frame) {
  for (; frame != nullptr; frame = frame->next) {
    if (frame->pixels.size() != static_cast<size_t>(frame->width) * frame->height) {
      return false;
    }
  }
  return true;
}

// A placeholder frame is the loaded 16 x 16 picture a refused file becomes.
bool PlaceholdersWhole(const ImageFrame* frame) {
  for (; frame != nullptr; frame = frame->next) {
    if (frame->placeholder != 0 &&
        (frame->width != 16 || frame->height != 16 || frame->loaded != 1)) {
      return false;
    }
  }
  return true;
}

// Every paletted frame's colours are entries of its palette: the writers
// map a paletted frame's pixels to the nearest entry, so a colour outside the
// palette (a GIF's uncovered background) is not written back as it was.
bool PalettesHoldColours(const ImageFrame* frame) {
  for (; frame != nullptr; frame = frame->next) {
    if (frame->bitsPerPixel > 8) {
      continue;
    }
    const auto end = frame->palette.begin() + (size_t{1} << frame->bitsPerPixel);
    for (const uint32_t pixel : frame->pixels) {
      if (std::find_if(frame->palette.begin(), end, [pixel](uint32_t entry) {
            return (entry & 0x00FFFFFF) == (pixel & 0x00FFFFFF);
          }) == end) {
        return false;
      }
    }
  }
  return true;
}

// How a format's writer takes back what its reader gave: not at all, the
// colours (BMP and GIF store no alpha; icons keep the mask of 32-bit frames
// only), or whole.
enum class Written { kNo, kColours, kWhole };

// The input as a content file of the extension; for a format we also write,
// decode(encode(decode(x))) equals decode(x).
void FuzzImage(const std::string& extension, Written written, const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  const std::string name = "fuzz" + extension;
  const std::string path = env.Write(name, data, size);
  OwnedImage image;
  ImageLoad(name, image.first);
  PlatformDeleteFile(path);
  FuzzCheck(PlaceholdersWhole(image.first), "a placeholder is the loaded 16 x 16 picture");
  if (extension != ".JPG") {
    FuzzCheck(FramesComplete(image.first), "every frame holds width x height pixels");
  }
  if (written == Written::kNo || image.first == nullptr || image.first->loaded == 0 ||
      image.first->placeholder != 0 || !FramesComplete(image.first) ||
      image.first->pixels.empty() || !PalettesHoldColours(image.first)) {
    return;  // (a picture of no width may have 2^31 empty rows for a writer to walk)
  }
  const std::string again = "again" + extension;
  if (!ImageSave(env.folder() + again, image.first)) {
    return;  // e.g. an icon frame larger than the format holds
  }
  OwnedImage reread;
  ImageLoad(again, reread.first);
  PlatformDeleteFile(env.folder() + again);
  FuzzCheck(SamePictures(image.first, reread.first, written == Written::kWhole),
            "decode(encode(decode(x))) = decode(x)");
}

template <const char* kExtension, Written kWritten>
void FuzzImageOf(const uint8_t* data, size_t size) {
  FuzzImage(kExtension, kWritten, data, size);
}

constexpr char kTga[] = ".TGA";
constexpr char kBmp[] = ".BMP";
constexpr char kPcx[] = ".PCX";
constexpr char kIco[] = ".ICO";
constexpr char kAni[] = ".ANI";
constexpr char kGif[] = ".GIF";
constexpr char kJpg[] = ".JPG";

// --- Models ---------------------------------------------------------------------

// Reads a model file without a rendering context.
void LoadModel(const std::string& name) {
  TMS3D model(kFuzzDisplay);
  model.LoadFromFile(name);
}

// The input as a model file of the extension (a project may name the fixed
// "Seed.ms3d" and "Walk.man").
void FuzzModel(const std::string& extension, const uint8_t* data, size_t size) {
  const std::string name = "fuzz" + extension;
  const std::string path = FuzzEnv().Write(name, data, size);
  LoadModel(name);
  PlatformDeleteFile(path);
}

// The input as the animation file of a fixed project over "Seed.ms3d".
void FuzzAnimation(const uint8_t* data, size_t size) {
  const std::string path = FuzzEnv().Write("fuzz.man", data, size);
  LoadModel("fuzzman.mpj");
  PlatformDeleteFile(path);
}

template <const char* kExtension>
void FuzzModelOf(const uint8_t* data, size_t size) {
  FuzzModel(kExtension, data, size);
}

constexpr char kMs3d[] = ".ms3d";
constexpr char kMpj[] = ".mpj";
constexpr char kLtb[] = ".ltb";

// --- Sounds ---------------------------------------------------------------------

// The input as a sound file of the extension: its duration, then played
// (looping or not by the input's length) for a few frames on the loopback
// device, so the buffers are filled, refilled and rewound.
void FuzzSound(const std::string& extension, const uint8_t* data, size_t size) {
  const std::string name = "fuzz" + extension;
  const std::string path = FuzzEnv().Write(name, data, size);
  AudioFileGetMS(name);
  int32_t id = AudioOpen(name, kAudioKindSound, static_cast<uint8_t>(size & 1), 0);
  if (id >= 0) {
    AudioPlay(id);
    float samples[512];
    for (int frame = 0; frame < 8; ++frame) {
      AudioUpdate();
      AudioLoopbackRender(samples, 512);
    }
    AudioClose(id);
  }
  PlatformDeleteFile(path);
}

template <const char* kExtension>
void FuzzSoundOf(const uint8_t* data, size_t size) {
  FuzzSound(kExtension, data, size);
}

constexpr char kWav[] = ".wav";
constexpr char kOgg[] = ".ogg";

// --- Path files -----------------------------------------------------------------

// A 64 x 48 floor in the tree's floor colour with a wall across its middle
// in the block colour, a gap at the right.
Mat FloorFor(const PathTree& tree) {
  Mat floor;
  floor.width = 64;
  floor.height = 48;
  floor.entries = {{"FLOOR", static_cast<uint32_t>(tree.floorColor)},
                   {"BLOCK", static_cast<uint32_t>(tree.blockColor)}};
  floor.data.assign(64 * 48, 0);
  for (int32_t x = 0; x < 56; ++x) {
    floor.data[24 * 64 + x] = 1;
  }
  return floor;
}

// The input as a path file: what it read, written as text and read again,
// gives the same text; walks are then routed through its nodes.
void FuzzPath(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv();
  const std::string path = env.Write("fuzz.pth", data, size);
  PathTree tree;
  const bool read = PathTreeRead("fuzz.pth", tree);
  PlatformDeleteFile(path);
  if (!read) {
    return;
  }
  const std::string text = PathTreeText(tree);
  const std::string again =
      env.Write("again.pth", reinterpret_cast<const uint8_t*>(text.data()), text.size());
  PathTree reread;
  FuzzCheck(PathTreeRead("again.pth", reread), "a written path file reads");
  PlatformDeleteFile(again);
  FuzzCheck(PathTreeText(reread) == text, "a path file written again reads back the same");
  const Mat floor = FloorFor(tree);
  PathWalker walker;
  walker.position = {3, 3};
  PathWalkRequest(floor, tree, walker, {60, 44});
  std::vector<PathWaypoint> waypoints;
  PathFind(floor, tree, {60, 44}, {-5, 100}, waypoints);
}

}  // namespace

const std::vector<FuzzTarget>& FuzzTargets() {
  static const std::vector<FuzzTarget> targets = [] {
    std::vector<FuzzTarget> all = {
        {"archive", FuzzArchive},
        {"settings", FuzzSettings},
        {"state", FuzzStateSave},
        {"mat", FuzzMat},
        {"tga", FuzzImageOf<kTga, Written::kWhole>},
        {"bmp", FuzzImageOf<kBmp, Written::kColours>},
        {"pcx", FuzzImageOf<kPcx, Written::kNo>},
        {"ico", FuzzImageOf<kIco, Written::kColours>},
        {"ani", FuzzImageOf<kAni, Written::kNo>},
        {"gif", FuzzImageOf<kGif, Written::kColours>},
        {"jpeg", FuzzImageOf<kJpg, Written::kNo>},
        {"ms3d", FuzzModelOf<kMs3d>},
        {"mpj", FuzzModelOf<kMpj>},
        {"ltb", FuzzModelOf<kLtb>},
        {"man", FuzzAnimation},
        {"wav", FuzzSoundOf<kWav>},
        {"ogg", FuzzSoundOf<kOgg>},
        {"path", FuzzPath},
        {"font", FuzzFont},
        {"sheet", FuzzSheet},
    };
    for (const FuzzTarget& target : FuzzGameTargets()) {
      all.push_back(target);
    }
    return all;
  }();
  return targets;
}

FuzzEntry FuzzFind(const std::string& name) {
  for (const FuzzTarget& target : FuzzTargets()) {
    if (target.name == name) {
      return target.entry;
    }
  }
  return nullptr;
}

void FuzzRun(FuzzEntry entry, const uint8_t* data, size_t size) {
  FuzzEnv();
  const int32_t files = DataFileOpenCount();
  const int32_t copies = DataFileCacheCount();
  const int32_t direct = DataFileDirectOpenCount();
  entry(data, size);
  FuzzCheck(DataFileOpenCount() == files, "no content file is left open");
  FuzzCheck(DataFileCacheCount() == copies, "no memory copy is left held");
  FuzzCheck(DataFileDirectOpenCount() == direct, "no direct file is left open");
}
