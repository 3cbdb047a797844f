// Save games on the headless platform with real compiled scripts: a case
// saved mid-way and loaded back, the save list and its texts, damaged and
// hostile files refused with the game untouched, and the previous save kept
// through a killed process or a full disk.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "framework/state/state.h"
#include "game/agents.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "tests/game/game_start.h"
#include "tests/game/room_files.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/testsupport.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// The start script makes the three characters, as the bundled one does.
constexpr const char* kGameStart = R"(
  routine AppAgentAdd;
  stateSetString(3, "Script Room File", "Shop");
  stateSetInt(3, "difficulty", 2);
  stateSetBool(3, "clue found", false);
  stateSetString(3, "suspect", "nobody");
  AppAgentAdd("Detective");
  AppAgentAdd("Clockmaker");
  AppAgentAdd("Apprentice");
)";

// The room saves, loads and lists through the routines; "ARG" carries the
// argument, since event names arrive upper-cased.
constexpr const char* kShop = R"(
  routine REPORT, AppSaveGame, AppSaveGameAuto, AppLoadGame, AppSaveCount, AppSaveGameExists,
          AppSaveGetDesc, AppSaveGetFileName;
  on event(code, name) {
    var argument = stateGetString(3, "ARG");
    if (name == "SAVE") { AppSaveGame(argument, "Mid case", 40, "In the shop"); }
    if (name == "AUTO") { AppSaveGameAuto(55); }
    if (name == "LOAD") { AppLoadGame(stateGetInt(3, "ARG")); }
    if (name == "LIST") {
      var count = 7;
      var exists = false;
      AppSaveCount(out count);
      AppSaveGameExists(out exists);
      REPORT("count " + count + " exists " + exists);
      for (var slot = -1; slot <= count + 1; slot = slot + 1) {
        var description = "x";
        var information = "x";
        var extra = "x";
        var file = "x";
        AppSaveGetDesc(slot, out description, out information, out extra);
        AppSaveGetFileName(slot, out file);
        REPORT(description + "|" + information + "|" + extra + "|" + file);
      }
    }
  }
)";

constexpr int32_t kFogWidth = 64;
constexpr int32_t kFogHeight = 48;

Mat FogMat() {
  Mat mat;
  mat.entries = {{"COVER", 0x4040FF}, {"CLEAR", 0x203000}};
  mat.width = kFogWidth;
  mat.height = kFogHeight;
  mat.data.assign(static_cast<size_t>(kFogWidth * kFogHeight), 0);
  return mat;
}

std::string Int32Bytes(int32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) {
    bytes += static_cast<char>(static_cast<uint32_t>(value) >> shift);
  }
  return bytes;
}

int32_t Int32At(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  }
  return static_cast<int32_t>(value);
}

// Where the fields of a save file without its CRC chunk lie.
struct SaveOffsets {
  size_t app = 0;  // the application version
  size_t thumbnail = 0;
  size_t agentCount = 0;
  size_t firstItemCount = 0;
  size_t fogCount = 0;
};

SaveOffsets FindOffsets(const std::string& bytes) {
  SaveOffsets at;
  size_t chunk = 4;
  while (bytes.compare(chunk, 3, "APP") != 0) {
    chunk += 7 + static_cast<size_t>(Int32At(bytes, chunk + 3));
  }
  at.app = chunk + 7;
  size_t p = at.app + 4;
  const auto skipString = [&] { p += 4 + static_cast<size_t>(Int32At(bytes, p)); };
  skipString();
  p += 8 + 12;
  skipString();
  at.thumbnail = p;
  p += 8 + static_cast<size_t>(Int32At(bytes, p)) * static_cast<size_t>(Int32At(bytes, p + 4)) * 4;
  at.agentCount = p;
  const int32_t agents = Int32At(bytes, p);
  p += 4;
  for (int32_t n = 0; n < agents; ++n) {
    skipString();
    p += 12;
    if (n == 0) {
      at.firstItemCount = p;
    }
    const int32_t items = Int32At(bytes, p);
    p += 4;
    for (int32_t k = 0; k < 2 * items; ++k) {
      skipString();
    }
  }
  at.fogCount = p;
  return at;
}

class SavesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteScript(program_, "Bin/gameStart.vmc", kGameStart);
    WriteScript(program_, "Bin/Rooms/Shop/Scripts/Shop.vmc", kShop);
    program_.write("Bin/Fog/Notepad.mat", MatFileBytes(FogMat()));
    program_.write("settings.ini", "[Video]\nFullscreen=No\n[Controls]\nConfigured=Yes\n");
    platform_ = std::make_unique<HeadlessPlatform>(program_.path(),
                                                   std::vector<std::string>{"-userdatainapp"});
    ASSERT_NO_FATAL_FAILURE(StartGameForTest(&reports_));
    ASSERT_NO_FATAL_FAILURE(StartCase());
  }
  void TearDown() override {
    ModulesStop();
    platform_.reset();
  }

  // A new game played to the middle of the case: the start script's
  // variables changed, the three characters placed and carrying things,
  // part of the notepad's fog wiped away, 3 725 000 ms on the clock.
  void StartCase() {
    ASSERT_TRUE(FileGameStateInit());
    ASSERT_NO_FATAL_FAILURE(EnterRoomForTest("Shop"));
    StateVariableSetBool(kStateGame, "clue found", true);
    StateVariableSetString(kStateGame, "suspect", "Clockmaker");
    const std::vector<std::vector<std::string>> items = {
        {"Lens", "Pipe", "Letter"}, {"Key"}, {"Oil can", "Cloth"}};
    for (int32_t id = 0; id < 3; ++id) {
      Agent* agent = AgentGet(id);
      ASSERT_NE(agent, nullptr);
      AgentMove(id, 100 + 200 * id, 500 + 10 * id);
      agent->facing = id;
      for (const std::string& item : items[static_cast<size_t>(id)]) {
        AgentInventoryAdd(agent->name, item, "Bin\\Items\\" + item + ".tga");
      }
    }
    FogOfWarAdd("Notepad", "Bin\\Fog\\");
    FogOfWarUncover("Notepad", 10, 10, 40, 30, 6);
    PlatformClockAdvance(3725000);
  }

  // Everything a save keeps, as text, but the clock (each frame moves it).
  static std::string Snapshot() {
    std::string text;
    for (const char* name : {"Script Room File", "difficulty", "clue found", "suspect"}) {
      text += std::string(name) + "=" + StateVariableGetString(kStateGame, name) + "; ";
    }
    for (int32_t id = 0; id < AgentCount(); ++id) {
      const Agent& agent = *AgentGet(id);
      text += agent.name + " facing " + std::to_string(agent.facing) + " at " +
              std::to_string(agent.x) + "," + std::to_string(agent.y) + ":";
      for (const InventoryItem& item : agent.inventory) {
        text += " " + item.name + "=" + item.imageFile;
      }
      text += "; ";
    }
    const auto [covered, uncovered] = FogOfWarCoverage("Notepad");
    return text + "fog " + std::to_string(covered) + "/" + std::to_string(uncovered);
  }

  // Changes everything a save keeps.
  static void PlayOn() {
    StateVariableSetBool(kStateGame, "clue found", false);
    StateVariableSetString(kStateGame, "suspect", "Constable");
    StateVariableSetString(kStateGame, "Script Room File", "Yard");
    AgentMove(0, 33, -44);
    AgentGet(1)->facing = 3;
    AgentInventoryRemove("Detective", "Pipe");
    AgentInventoryAdd("Apprentice", "Hammer", "Bin\\Items\\Hammer.tga");
    AgentAdd("Constable");
    FogOfWarUncover("Notepad", 50, 40, 60, 40, 5);
    PlatformClockAdvance(1000);
  }

  static void Tell(const std::string& event, const std::string& argument = "") {
    StateVariableSetString(kStateGame, "ARG", argument);
    ScriptEventSend(RoomScriptId(), 2, event);
  }
  std::vector<std::string> TakeReports() { return std::exchange(reports_, {}); }
  std::string Log() const { return program_.read("results.log"); }
  std::string SavePath(const std::string& name) const { return program_.path() + name; }

  TempFolder program_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::vector<std::string> reports_;
};

TEST_F(SavesTest, AMidCaseSaveLoadsBackEqualAndListsItsDescriptor) {
  const std::string saved = Snapshot();
  const uint32_t savedClock = StateGetTime(kStateGame);
  Tell("SAVE");
  ASSERT_TRUE(program_.exists("savegame1.sav"));
  EXPECT_FALSE(program_.exists("savegame1.sav.tmp"));
  PlayOn();
  ASSERT_NE(Snapshot(), saved);

  Tell("LOAD", "1");
  EXPECT_EQ(StateGetCurrent(), kStateRoomLoad);
  EXPECT_EQ(StateGetTime(kStateGame), savedClock);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateGame);
  EXPECT_EQ(Snapshot(), saved);
  // The start script made the characters again; the save placed them. The
  // one met after saving is gone with the reset.
  EXPECT_EQ(AgentFind("Constable"), -1);

  // The list read back from the folder, as the next start sees it.
  SavesListClear();
  SavesListBuild();
  ASSERT_EQ(SavesListSize(), 2);
  const SaveDescriptor& entry = *SavesListEntry(1);
  EXPECT_EQ(entry.description, "Mid case");
  EXPECT_EQ(entry.playTime, static_cast<int32_t>(savedClock));
  EXPECT_EQ(entry.completion, 40);
  EXPECT_EQ(entry.difficulty, 2);
  EXPECT_EQ(entry.extraText, "In the shop");
  EXPECT_EQ(entry.file, SavePath("savegame1.sav"));
  EXPECT_GT(entry.savedAt, 45000.0);  // after 2023
  EXPECT_THAT(SaveInformationText(entry),
              HasSubstr("\rPlay Time: 1H 02M 05S\r40% Complete\rDetective"));
  EXPECT_THAT(Log(), Not(HasSubstr("Error: AppSaveGame")));
}

TEST_F(SavesTest, TheInformationTextShowsTheDateOnATwelveHourClockPlayTimeAndDifficulty) {
  // Day 45000 is 15 March 2023.
  SaveDescriptor save;
  save.savedAt = 45000 + 5.0 / 1440;
  save.playTime = 3725000;
  save.completion = 40;
  save.difficulty = 1;
  EXPECT_EQ(SaveInformationText(save),
            "2023-Mar-15  12:05:00AM\rPlay Time: 1H 02M 05S\r40% Complete\rGumshoe");
  save.savedAt = 45000 + (13 * 3600 + 7 * 60 + 9) / 86400.0;
  save.playTime = 0;
  save.completion = 100;
  save.difficulty = 3;
  EXPECT_EQ(SaveInformationText(save),
            "2023-Mar-15  1:07:09PM\rPlay Time: 0H 00M 00S\r100% Complete\rSuper Sleuth");
  // Noon, the last second of a day, and values no game writes.
  save.savedAt = 45000.5;
  save.difficulty = 4;
  EXPECT_EQ(SaveInformationText(save).substr(0, 23), "2023-Mar-15  12:00:00PM");
  EXPECT_THAT(SaveInformationText(save), testing::EndsWith("Complete\r"));
  save.savedAt = 45000 + 86399.0 / 86400;
  EXPECT_EQ(SaveInformationText(save).substr(0, 23), "2023-Mar-15  11:59:59PM");
  save.savedAt = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(SaveInformationText(save).substr(0, 23), "1899-Dec-30  12:00:00AM");

  // Through the routines, for each slot of the list and beyond it.
  Tell("SAVE");
  Tell("LIST");
  const std::vector<std::string> reports = TakeReports();
  ASSERT_EQ(reports.size(), 5u);
  EXPECT_EQ(reports[0], "count 1 exists true");
  EXPECT_EQ(reports[1], "|||");
  EXPECT_EQ(reports[2], "|||");  // no autosave
  EXPECT_THAT(reports[3], testing::StartsWith("Mid case|20"));
  EXPECT_THAT(reports[3], testing::EndsWith("\r40% Complete\rDetective|In the shop|" +
                                            SavePath("savegame1.sav")));
  EXPECT_EQ(reports[4], "|||");
}

TEST_F(SavesTest, NewSavesTakeTheSmallestFreeNumberAndTheTopOfTheList) {
  Tell("SAVE");
  const std::string first = program_.read("savegame1.sav");
  program_.write("savegame3.sav", first);
  // Temporaries of killed saves, whole ones too, are never listed and go
  // with the next scan.
  program_.write("savegame4.sav.tmp", first);
  program_.write("autosave.sav.tmp", first);
  SavesListClear();
  SavesListBuild();
  ASSERT_EQ(SavesListSize(), 3);
  EXPECT_TRUE(SavesListEntry(0)->file.empty());
  EXPECT_FALSE(program_.exists("savegame4.sav.tmp") || program_.exists("autosave.sav.tmp"));

  PlatformClockAdvance(5000);
  Tell("SAVE");
  ASSERT_TRUE(program_.exists("savegame2.sav"));
  EXPECT_EQ(SavesListEntry(1)->file, SavePath("savegame2.sav"));
  EXPECT_EQ(SavesListEntry(1)->playTime, SavesListEntry(2)->playTime + 5000);
  EXPECT_EQ(SavesListSize(), 4);
  // Saving over a listed file moves it to the top instead of adding it.
  Tell("SAVE", SavePath("savegame3.sav"));
  EXPECT_EQ(SavesListSize(), 4);
  EXPECT_EQ(SavesListEntry(1)->file, SavePath("savegame3.sav"));
  EXPECT_EQ(SavesListEntry(2)->file, SavePath("savegame2.sav"));

  // No autosave during a cutscene; slot 0 loads the newest manual save.
  GameCutsceneSet(true);
  Tell("AUTO");
  GameCutsceneSet(false);
  EXPECT_FALSE(program_.exists("autosave.sav"));
  EXPECT_TRUE(SavesListEntry(0)->file.empty());
  const std::string saved = Snapshot();
  PlayOn();
  for (const char* bad : {"-1", "4", "2147483647"}) {
    Tell("LOAD", bad);
    EXPECT_EQ(StateGetCurrent(), kStateGame) << bad;
  }
  Tell("LOAD", "0");
  ASSERT_EQ(StateGetCurrent(), kStateRoomLoad);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(Snapshot(), saved);

  // The autosave takes slot 0, with its own description.
  Tell("AUTO");
  EXPECT_EQ(SavesListEntry(0)->file, SavePath("autosave.sav"));
  EXPECT_EQ(SavesListEntry(0)->description, "< Autosave >");
  EXPECT_EQ(SavesListEntry(0)->completion, 55);
  EXPECT_EQ(SavesListSize(), 4);
}

TEST_F(SavesTest, EveryTruncationAndEveryFlippedByteIsRefusedWithTheGameUnchanged) {
  Tell("SAVE");
  const std::string bytes = program_.read("savegame1.sav");
  const std::string path = SavePath("savegame1.sav");
  PlayOn();
  const std::string playing = Snapshot();
  // The thumbnail's pixels, 92 160 of the bytes, are data like any other
  // to the checks: within them every 97th byte is tried.
  const SaveOffsets at = FindOffsets(bytes);
  const auto tried = [&at](size_t offset, size_t stride) {
    return offset <= at.thumbnail + 8 || offset >= at.agentCount || offset % stride == 0;
  };
  SaveContents contents;
  // The last chunk is the CRC's: 11 bytes. Cut there, the file is whole as
  // writers without the chunk leave it, and loads.
  const size_t withoutCrc = bytes.size() - 11;
  for (size_t size = 0; size < bytes.size(); ++size) {
    if (size != withoutCrc && tried(size, 97)) {
      EXPECT_EQ(SaveFileParse(std::string_view(bytes).substr(0, size), contents, true),
                SaveFileStatus::kDamaged)
          << "cut to " << size;
    }
  }
  EXPECT_EQ(SaveFileParse(std::string_view(bytes).substr(0, withoutCrc), contents, true),
            SaveFileStatus::kLoaded);
  // A flip in the CRC chunk's tag leaves an unknown chunk, which the chunk
  // walk skips over, after complete and intact data: that file loads.
  for (size_t offset = 0; offset < bytes.size(); ++offset) {
    if ((offset >= withoutCrc && offset < withoutCrc + 3) || !tried(offset, 97)) {
      continue;
    }
    std::string flipped = bytes;
    flipped[offset] = static_cast<char>(flipped[offset] ^ (1 << (offset % 8)));
    EXPECT_EQ(SaveFileParse(flipped, contents, true), SaveFileStatus::kDamaged)
        << "flipped at " << offset;
  }

  // Through the routine, from the file: every 7th truncation outside the
  // pixels and the last 16 bytes. Nothing of the game changes, and the
  // player is told.
  for (size_t size = 0; size < bytes.size(); ++size) {
    if (size == withoutCrc || !(tried(size, 4999) && (size % 7 == 0 || size + 16 > bytes.size()))) {
      continue;
    }
    WriteWholeFile(path, bytes.substr(0, size));
    Tell("LOAD", "1");
    ASSERT_EQ(StateGetCurrent(), kStateGame) << size;
    ASSERT_EQ(Snapshot(), playing) << size;
  }
  EXPECT_THAT(Log(), HasSubstr("Error: AppLoadGame - Save game \"" + path +
                               "\" is damaged and was not loaded.\r\n"));
  // The list leaves a damaged file out, with a line in the log.
  WriteWholeFile(path, bytes.substr(0, 100));
  SavesListClear();
  SavesListBuild();
  EXPECT_EQ(SavesListSize(), 1);
  EXPECT_THAT(Log(), HasSubstr("Error: SavesListBuild - Save game \"" + path +
                               "\" is damaged and is not listed.\r\n"));
}

TEST_F(SavesTest, HostileCountsAndVersionsAreRefusedWithoutAllocating) {
  Tell("SAVE");
  const std::string real = program_.read("savegame1.sav");
  const std::string bytes = real.substr(0, real.size() - 11);  // no CRC: only the layout checks
  const SaveOffsets at = FindOffsets(bytes);
  ASSERT_EQ(bytes.substr(4, 3) + bytes.substr(19, 4), "STAGAME");
  const std::string path = SavePath("savegame1.sav");
  PlayOn();
  const std::string playing = Snapshot();
  const auto patched = [&bytes](size_t offset, int32_t value) {
    std::string copy = bytes;
    copy.replace(offset, 4, Int32Bytes(value));
    return copy;
  };
  struct Case {
    std::string what;
    std::string file;
    std::string message;
  };
  const std::string damaged =
      "AppLoadGame - Save game \"" + path + "\" is damaged and was not loaded.";
  const std::vector<Case> cases = {
      {"version 0", patched(at.app, 0), damaged},
      {"version -1", patched(at.app, -1), damaged},
      {"version 4", patched(at.app, 4),
       "FileLoadGameAppData -  Unsupported file version \"4\" in save game \"" + path + "\"."},
      // The STA chunk's first record: its length at 11, then "GAME", then
      // the variable count.
      {"STA record", patched(11, INT32_MAX), damaged},
      {"variables", patched(23, INT32_MAX), damaged},
      {"agents", patched(at.agentCount, INT32_MAX), damaged},
      {"items", patched(at.firstItemCount, INT32_MAX), damaged},
      {"fog layers", patched(at.fogCount, INT32_MAX), damaged},
      {"description", patched(at.app + 4, INT32_MAX), damaged},
      {"thumbnail", patched(at.thumbnail, 46341).replace(at.thumbnail + 4, 4, Int32Bytes(46341)),
       damaged},
      {"thumbnail bytes past 2^63",
       patched(at.thumbnail, INT32_MAX).replace(at.thumbnail + 4, 4, Int32Bytes(INT32_MAX)),
       damaged},
      {"thumbnail width", patched(at.thumbnail, -1), damaged},
      {"APP length", patched(at.app - 4, INT32_MAX), damaged},
      {"a byte after the fog",
       bytes.substr(0, at.app - 4) + Int32Bytes(Int32At(bytes, at.app - 4) + 1) +
           bytes.substr(at.app) + "!",
       damaged},
  };
  for (const Case& c : cases) {
    WriteWholeFile(path, c.file);
    AllocationProbeReset();
    Tell("LOAD", "1");
    // The counts ask for gigabytes; no block is larger than the file.
    EXPECT_LE(AllocationProbeLargest(), real.size()) << c.what;
    EXPECT_EQ(StateGetCurrent(), kStateGame) << c.what;
    EXPECT_EQ(Snapshot(), playing) << c.what;
    EXPECT_THAT(Log(), HasSubstr("Error: " + c.message + "\r\n")) << c.what;
  }
  // Version 4 is a later game's save: left out of the list without a word.
  WriteWholeFile(path, patched(at.app, 4));
  const size_t logged = Log().size();
  SavesListClear();
  SavesListBuild();
  EXPECT_EQ(SavesListSize(), 1);
  EXPECT_EQ(Log().size(), logged);
}

// Runs `body` in a child process and returns its exit status.
template <typename Body>
int InChild(Body body) {
  const pid_t child = fork();
  if (child == 0) {
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SavesTest, AKilledSaveOrAFullDiskKeepsThePreviousFileWhole) {
  Tell("SAVE");
  const std::string previous = program_.read("savegame1.sav");
  const std::string path = SavePath("savegame1.sav");
  // A long variable makes the new save larger than a pipe's buffer and the
  // file size limit below, and smaller than the log.
  StateVariableSetString(kStateGame, "notes", std::string(200000, 'n'));

  // The temporary is a pipe, so the child stops in the middle of writing
  // it, where it is killed.
  ASSERT_EQ(mkfifo((path + ".tmp").c_str(), 0600), 0);
  const pid_t child = fork();
  if (child == 0) {
    Tell("SAVE", path);
    _exit(0);
  }
  // (The poll's limit only keeps a broken save from hanging the test.)
  const int pipe = open((path + ".tmp").c_str(), O_RDONLY | O_NONBLOCK);
  pollfd ready{pipe, POLLIN, 0};
  const bool writing = pipe >= 0 && poll(&ready, 1, 20000) == 1;
  char start[64];
  const bool started = writing && fcntl(pipe, F_SETFL, 0) == 0 &&
                       read(pipe, start, sizeof start) == static_cast<ssize_t>(sizeof start);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipe);
  EXPECT_TRUE(started) << "the save never wrote its temporary";
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(program_.read("savegame1.sav") == previous) << "the previous save changed";
  unlink((path + ".tmp").c_str());

  // A disk that fills up: the write fails, the save is refused, the old
  // file and the list stay, no temporary is left.
  const int32_t listed = SavesListEntry(1)->playTime;
  PlatformClockAdvance(1000);
  const int result = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    Tell("SAVE", path);
    const bool refused = SavesListSize() == 2 && SavesListEntry(1)->playTime == listed;
    return refused ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(program_.read("savegame1.sav") == previous) << "the previous save changed";
  EXPECT_FALSE(program_.exists("savegame1.sav.tmp"));
  EXPECT_THAT(Log(),
              HasSubstr("Error: AppSaveGame - Unable to write save game \"" + path + "\".\r\n"));
}

TEST_F(SavesTest, QuickLoadLoadsTheAutosaveAndReturnsWhenItIsDamaged) {
  Tell("AUTO");
  const std::string saved = Snapshot();
  PlayOn();
  StateSet(kStateQuickLoad);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateRoomLoad);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(Snapshot(), saved);

  PlayOn();
  const std::string playing = Snapshot();
  const std::string autosave = program_.read("autosave.sav");
  program_.write("autosave.sav", autosave.substr(0, autosave.size() / 2));
  StateSet(kStateQuickLoad);
  ASSERT_TRUE(GameFrame());
  EXPECT_EQ(StateGetCurrent(), kStateGame);
  EXPECT_EQ(Snapshot(), playing);
  EXPECT_THAT(Log(), HasSubstr("is damaged and was not loaded."));
}

}  // namespace
