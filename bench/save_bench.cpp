// Save games, mid-case: 60 Game variables, three characters carrying nine
// things, two 1280 x 720 fog layers partly wiped, a 192 x 120 thumbnail.
//
// Ours: SaveFileWrite, which serialises the game into one buffer (state
// store, descriptor, thumbnail, agents, fog mats, CRC) and writes it beside
// the file, fsyncs and renames it. The peer writes the same bytes with one
// write, fsync and rename. Also the thumbnail (the Game frame drawn and read
// back, scaled), the load (the whole file read and checked; then applied
// after the game's reset) and the file's size. Medians of wall time.
//
// Prints "save: ours X ms, write Y ms, ratio R", then the thumbnail, load and
// size lines. Needs an X server (the thumbnail draws the Game state).
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "framework/datafile/datafile.h"
#include "framework/image/image.h"
#include "framework/mat/mat.h"
#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tools/vmc/vmcwriter.h"
#include "tools/vmcc/vmcc.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kRuns = 60;

std::string folder;

void WriteFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path path = folder + name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

bool WriteScript(const std::string& file, const std::string& source) {
  VmccResult compiled;
  std::string error;
  std::filesystem::create_directories(std::filesystem::path(folder + file).parent_path());
  if (!VmccCompile(source, "bench.vms", {}, compiled) ||
      !VmcWriterSave(compiled.script, folder + file, error)) {
    std::fprintf(stderr, "save: %s does not compile\n", file.c_str());
    return false;
  }
  return true;
}

// A fog mat of the room's size, covered; the game's strokes wipe it.
void WriteFogMat(const std::string& name) {
  std::filesystem::create_directories(folder + "Bin/Fog");
  Mat mat;
  mat.entries = {{"COVER", 0x4040FF}, {"CLEAR", 0x203000}};
  mat.width = kWidth;
  mat.height = kHeight;
  mat.data.assign(static_cast<size_t>(kWidth * kHeight), 0);
  const int32_t file = DataFileDirectCreate(folder + "Bin/Fog/" + name + ".mat");
  MatDirectSave(file, mat);
  DataFileDirectClose(file);
}

void WriteImage(const std::string& name, int32_t width, int32_t height, uint32_t colour) {
  std::filesystem::create_directories(std::filesystem::path(folder + name).parent_path());
  ImageFrame* image = nullptr;
  ImageFrame* frame = ImageFrameNew(image);
  frame->width = width;
  frame->height = height;
  frame->pixels.assign(static_cast<size_t>(width * height), 0xFF000000u | colour);
  ImageSave(folder + name, image);
  ImageFree(image);
}

const char* const kItems[] = {"Lens",  "Pipe", "Letter", "Key", "Oil can",
                              "Cloth", "Cog",  "Map",    "Note"};

bool WriteContent() {
  for (const char* item : kItems) {
    WriteImage(std::string("Bin/Items/") + item + ".tga", 96, 96, 0x806040);
  }
  WriteImage("Bin/Fog/NOTEPAD.tga", kWidth, kHeight, 0xE0E0D0);
  WriteImage("Bin/Fog/MAP.tga", kWidth, kHeight, 0xC0D0E0);
  const char* screen = "object Display Screen { display = 1; width = 1280; height = 720; }\n";
  WriteFile("settings.ini",
            "[Video]\nWidth=1280\nHeight=720\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
  std::string start = "routine AppAgentAdd;\n";
  for (int32_t n = 0; n < 20; ++n) {
    const std::string k = std::to_string(n);
    start += "stateSetBool(3, \"clue " + k + "\", false);\n";
    start += "stateSetInt(3, \"count " + k + "\", " + k + ");\n";
    start += "stateSetString(3, \"note " + k + "\", \"nothing found yet in place " + k + "\");\n";
  }
  start +=
      "stateSetString(3, \"Script Room File\", \"Shop\");\nstateSetInt(3, \"difficulty\", 2);\n";
  start +=
      "AppAgentAdd(\"Detective\");\nAppAgentAdd(\"Clockmaker\");\nAppAgentAdd(\"Apprentice\");\n";
  return WriteScript("Bin/gameStart.vmc", start) &&
         WriteScript("Bin/Interface/Main/Scripts/background.vmc", screen) &&
         WriteScript("Bin/Interface/Main/Scripts/mainmenu.vmc", screen) &&
         WriteScript("Bin/Rooms/Shop/Scripts/Shop.vmc",
                     std::string(screen) + "on event(code, name) { }\n");
}

bool StartGame() {
  if (!PlatformStart(PlatformBackend::Sdl)) {
    std::fprintf(stderr, "save: no display: %s\n", PlatformLastErrorText().c_str());
    return false;
  }
  PlatformSetProgramPath(folder + "game");
  PlatformSetParameters({"-userdatainapp", "-novsync"});
  ModulesStart();
  WriteFogMat("Notepad");
  WriteFogMat("Map");
  MainForm().MainFormCreate();
  if (!GameInitDisplay() || !GameInit() || !FileGameStateInit()) {
    return false;
  }
  StateSet(kStateRoomLoad);
  if (!GameFrame() || StateGetCurrent() != kStateGame) {
    std::fprintf(stderr, "save: the room did not load (see results.log)\n");
    return false;
  }
  return true;
}

// The middle of the case: half the clues found, the characters placed and
// carrying things, strokes across both fog layers.
void PlayToMidCase() {
  for (int32_t n = 0; n < 20; n += 2) {
    StateVariableSetBool(kStateGame, "clue " + std::to_string(n), true);
  }
  for (int32_t id = 0; id < AgentCount(); ++id) {
    AgentMove(id, 200 + 300 * id, 560);
    for (int32_t k = 0; k < 3; ++k) {
      const std::string item = kItems[id * 3 + k];
      AgentInventoryAdd(AgentGet(id)->name, item, "Bin\\Items\\" + item + ".tga");
    }
  }
  for (const char* layer : {"Notepad", "Map"}) {
    FogOfWarAdd(layer, "Bin\\Fog\\");
    for (int32_t k = 0; k < 12; ++k) {
      FogOfWarUncover(layer, 100 + 90 * k, 100 + 40 * k, 180 + 90 * k, 300 + 20 * k, 30);
    }
  }
}

template <typename Body>
double MedianMs(Body body, int32_t runs = kRuns) {
  std::vector<double> times;
  for (int32_t run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  return Median(times);
}

// The peer: one write, fsync and rename of the same bytes.
bool PeerWrite(const std::string& file, const std::string& bytes) {
  const std::string temporary = file + ".tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const bool written =
      fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  const bool synced = written && fsync(fd) == 0;
  const bool closed = fd >= 0 && close(fd) == 0;
  return synced && closed && rename(temporary.c_str(), file.c_str()) == 0;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/save_bench_XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    return 1;
  }
  folder = std::string(pattern) + "/";
  if (!WriteContent() || !StartGame()) {
    std::fprintf(stderr, "save: the files are kept in %s\n", folder.c_str());
    return 1;
  }
  PlayToMidCase();

  SaveDescriptor descriptor;
  descriptor.description = "Mid case";
  descriptor.playTime = 900000;
  descriptor.completion = 50;
  descriptor.difficulty = 2;
  descriptor.extraText = "In the shop";
  SaveThumbnail thumbnail;
  const double thumbnailMs = MedianMs([&] { thumbnail = SaveThumbnailCapture(); });
  const std::string ours = folder + "savegame1.sav";
  const std::string peer = folder + "peer.sav";
  const std::string bytes = SaveFileBytes(ours, descriptor, thumbnail);
  // Turn about, each first in every other pair (a sync also flushes what
  // the one before it left), so both meet the disk in the same state.
  bool saved = true;
  std::vector<double> oursTimes;
  std::vector<double> peerTimes;
  const auto oursRun = [&] {
    oursTimes.push_back(
        MedianMs([&] { saved = SaveFileWrite(ours, descriptor, thumbnail) && saved; }, 1));
  };
  const auto peerRun = [&] {
    peerTimes.push_back(MedianMs([&] { saved = PeerWrite(peer, bytes) && saved; }, 1));
  };
  for (int32_t run = 0; run < 2 * kRuns; ++run) {
    if (run % 2 == 0) {
      oursRun();
      peerRun();
    } else {
      peerRun();
      oursRun();
    }
  }
  const double oursMs = Median(oursTimes);
  const double peerMs = Median(peerTimes);

  // Serialising alone, with the fog layers (a load below replaces them).
  const double serialiseMs =
      MedianMs([&] { saved = !SaveFileBytes(ours, descriptor, thumbnail).empty() && saved; });

  SaveContents contents;
  bool checked = true;
  const double checkMs = MedianMs(
      [&] { checked = SaveFileRead(ours, contents, false) == SaveFileStatus::kLoaded && checked; });
  const double resetMs = MedianMs([&] { checked = FileGameStateInit() && checked; });
  const double applyMs = MedianMs([&] {
                           checked = FileGameStateInit() && checked;
                           StateApplyVariables(contents.states);
                           SaveFileApply(contents);
                         }) -
                         resetMs;
  SaveContents withoutFog = contents;
  withoutFog.fogLayers.clear();
  const double agentsMs = MedianMs([&] {
                            checked = FileGameStateInit() && checked;
                            SaveFileApply(withoutFog);
                          }) -
                          resetMs;

  if (!saved || !checked) {
    std::fprintf(stderr, "save: a save or load failed (see %sresults.log)\n", folder.c_str());
    return 1;
  }
  std::printf("save: ours %.2f ms, write %.2f ms, ratio %.2f\n", oursMs, peerMs, oursMs / peerMs);
  std::printf("save thumbnail: %.2f ms (%d x %d)\n", thumbnailMs, thumbnail.width,
              thumbnail.height);
  std::printf("save serialising: %.2f ms\n", serialiseMs);
  std::printf("save apply: agents %.2f ms, fog layers %.2f ms\n", agentsMs, applyMs - agentsMs);
  std::printf(
      "save load: check %.2f ms, apply %.2f ms, total %.2f ms (the game's reset before it %.2f "
      "ms)\n",
      checkMs, applyMs, checkMs + applyMs, resetMs);
  std::printf("save file: %zu bytes\n", bytes.size());
  ModulesStop();
  PlatformStop();
  std::filesystem::remove_all(folder);
  return 0;
}
