// Save files: the exact bytes, round trips, and damaged files.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "tests/framework/state/state_fixture.h"
#include "tests/support/allocation_probe.h"

namespace {

using namespace std::string_view_literals;

constexpr int32_t kGame = 3;
constexpr int32_t kJournal = 5;
constexpr int32_t kMenu = 1;  // never named, so never saved

// Little-endian fields for hand-made save files.
struct Bytes {
  std::string data;
  Bytes& Byte(uint8_t value) {
    data += static_cast<char>(value);
    return *this;
  }
  Bytes& Int32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      Byte(static_cast<uint8_t>(value >> shift));
    }
    return *this;
  }
  Bytes& Text(std::string_view text) {
    data += text;
    return *this;
  }
  Bytes& String(std::string_view text) {
    return Int32(static_cast<uint32_t>(text.size())).Text(text);
  }
  // A length field, then the bytes it counts.
  Bytes& Counted(const Bytes& body) { return String(body.data); }
};

// A file of version 1 with one chunk.
std::string OneChunkFile(std::string_view tag, const Bytes& body) {
  return Bytes{}.Int32(1).Text(tag).Counted(body).data;
}

class StateSaveTest : public StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    RegisterStates();
  }
  // The game registers its states at every start; a fresh run has them
  // without variables.
  void RegisterStates() {
    for (int32_t id : {kMenu, kGame, kJournal}) {
      StateSetProcess(id, [] {});
    }
    StateSetSaveName(kGame, "Game");
    StateSetSaveName(kJournal, "journal");
  }
  void FreshRun() {
    StateStop();
    StateStart();
    RegisterStates();
  }

  StateAppDataReader Reader() {
    return [this](int32_t file, const std::string& fileName) {
      ++readerCalls_;
      readerFileName_ = fileName;
      std::string data(2, '\0');
      readerData_ = DataFileDirectRead(file, data.data(), 2) ? data : "<short>";
    };
  }
  bool Load(const std::string& contents) {
    WriteWholeFile(path_, contents);
    readerCalls_ = 0;
    readerData_.clear();
    return StateLoad(path_, Reader());
  }
  // Saves GAME (three variables), JOURNAL (two) and the menu's variable, and
  // returns the file's bytes.
  std::string SaveSample() {
    StateVariableSetBool(kGame, "b", true);
    StateVariableSetInt(kGame, "n", -2);
    StateVariableSetString(kGame, "s", "hi");
    StateVariableSetInt(kMenu, "menu", 9);
    StateVariableSetString(kJournal, "page", "clues");
    StateVariableSetInt(kJournal, "count", 70000);
    EXPECT_TRUE(StateSave(path_, [](int32_t file, const std::string&) {
      EXPECT_TRUE(DataFileDirectWrite(file, "xy", 2));
    }));
    return ReadWholeFile(path_);
  }
  bool Restored(int32_t id, const std::string& name) {
    return StateVariableGet(id, name).type != kStateVariableEmpty;
  }

  std::string path_ = folder_.path() + "test.sav";
  int readerCalls_ = 0;
  std::string readerFileName_;
  std::string readerData_;
};

// --- Writing ------------------------------------------------------------------

TEST_F(StateSaveTest, ASmallSaveHasExactlyTheseBytes) {
  StateVariableSetBool(kGame, "B", true);
  StateVariableSetInt(kGame, "N", -2);
  StateVariableSetString(kGame, "S", "hi");
  StateVariableSetInt(kMenu, "unsaved", 1);
  StateSetSaveName(kJournal, "");
  std::string writerFileName;
  ASSERT_TRUE(StateSave(path_, [&writerFileName](int32_t file, const std::string& fileName) {
    writerFileName = fileName;
    DataFileDirectWrite(file, "xy", 2);
  }));
  // Version 1; "STA" chunk of 45 bytes holding one record of 41 bytes: the
  // name, three variables (bool B true, int N -2, string S "hi"); "APP" chunk.
  const std::string_view expected =
      "\x01\x00\x00\x00"
      "STA\x2D\x00\x00\x00"
      "\x29\x00\x00\x00"
      "\x04\x00\x00\x00GAME"
      "\x03\x00\x00\x00"
      "\x01\x00\x00\x00"
      "B\x01\x01"
      "\x01\x00\x00\x00"
      "N\x02\xFE\xFF\xFF\xFF"
      "\x01\x00\x00\x00"
      "S\x03\x02\x00\x00\x00"
      "hi"
      "APP\x02\x00\x00\x00"
      "xy"sv;
  EXPECT_EQ(ReadWholeFile(path_), expected);
  EXPECT_EQ(writerFileName, path_);
}

TEST_F(StateSaveTest, WithoutNamedStatesOrWriterBothChunksAreEmpty) {
  StateSetSaveName(kGame, "");
  StateSetSaveName(kJournal, "");
  ASSERT_TRUE(StateSave(path_, nullptr));
  EXPECT_EQ(ReadWholeFile(path_),
            "\x01\x00\x00\x00STA\x00\x00\x00\x00"
            "APP\x00\x00\x00\x00"sv);
}

// Saves in a child process whose files cannot grow past `limit` bytes, as on
// a full disk (with the signal that would end it ignored). The child's exit
// status: 0 when the save reported success, 1 when it reported failure.
int SaveInAChildWithFileSizeLimit(const std::string& path, rlim_t limit,
                                  const StateAppDataWriter& writer) {
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit bytes{limit, limit};
    setrlimit(RLIMIT_FSIZE, &bytes);
    _exit(StateSave(path, writer) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(StateSaveTest, AFailedSaveKeepsThePreviousSaveAndLeavesNoTemporary) {
  const std::string previous = SaveSample();
  const std::string temporary = DataFileDirectTemporaryPath(path_);
  const std::string big(64 * 1024, 'x');
  const StateAppDataWriter writeBig = [&big](int32_t file, const std::string&) {
    DataFileDirectWrite(file, big.data(), static_cast<int32_t>(big.size()));
  };
  // Once the state variables, once the application data overflow the disk.
  for (const bool inApplicationData : {false, true}) {
    WriteWholeFile(temporary, "left by a save that was killed");
    EXPECT_EQ(PlatformListFolder(folder_.path(), "*.sav"), std::vector<std::string>{"test.sav"});
    StateVariableSetString(kJournal, "page", inApplicationData ? "clues" : big);
    EXPECT_EQ(SaveInAChildWithFileSizeLimit(path_, 4096,
                                            inApplicationData ? writeBig : StateAppDataWriter()),
              1);
    EXPECT_TRUE(ReadWholeFile(path_) == previous) << "previous save changed " << inApplicationData;
    EXPECT_FALSE(PlatformFileExists(temporary)) << inApplicationData;
  }
  // A stale temporary does not stop the next save either.
  WriteWholeFile(temporary, "left by a save that was killed");
  EXPECT_EQ(SaveSample(), previous);
  EXPECT_FALSE(PlatformFileExists(temporary));
}

TEST_F(StateSaveTest, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
  bool writerCalled = false;
  EXPECT_FALSE(StateSave(folder_.path() + "missing/test.sav",
                         [&writerCalled](int32_t, const std::string&) { writerCalled = true; }));
  EXPECT_FALSE(writerCalled);
  EXPECT_FALSE(folder_.exists("missing"));
}

// --- Loading ------------------------------------------------------------------

TEST_F(StateSaveTest, ARoundTripRestoresEveryNamedStateIntoAFreshRun) {
  SaveSample();
  FreshRun();
  StateVariableSetInt(kGame, "n", 100);
  StateVariableSetInt(kGame, "kept", 4);
  ASSERT_TRUE(StateLoad(path_, Reader()));
  EXPECT_TRUE(StateVariableGetBool(kGame, "B"));
  EXPECT_EQ(StateVariableGet(kGame, "N").type, kStateVariableInt);
  EXPECT_EQ(StateVariableGetInt(kGame, "N"), -2);
  EXPECT_EQ(StateVariableGetString(kGame, "S"), "hi");
  EXPECT_EQ(StateVariableGetString(kJournal, "PAGE"), "clues");
  EXPECT_EQ(StateVariableGetInt(kJournal, "COUNT"), 70000);
  EXPECT_EQ(StateVariableGetInt(kGame, "kept"), 4);
  EXPECT_FALSE(Restored(kMenu, "menu"));
  EXPECT_EQ(readerCalls_, 1);
  EXPECT_EQ(readerData_, "xy");
  EXPECT_EQ(readerFileName_, path_);
}

TEST_F(StateSaveTest, RecordsOfUnknownNamesAreDroppedAndNamesIgnoreCase) {
  const Bytes lost = Bytes{}.String("lost").Int32(1).String("a").Byte(2).Int32(1);
  const Bytes unnamed = Bytes{}.String("").Int32(1).String("c").Byte(2).Int32(1);
  const Bytes journal = Bytes{}.String("jOuRnAl").Int32(1).String("b").Byte(1).Byte(1);
  StateSetSaveName(kGame, "");
  ASSERT_TRUE(Load(OneChunkFile("STA", Bytes{}.Counted(lost).Counted(unnamed).Counted(journal))));
  EXPECT_TRUE(StateVariableGetBool(kJournal, "B"));
  EXPECT_FALSE(Restored(kGame, "A"));
  EXPECT_FALSE(Restored(kMenu, "A"));
  EXPECT_FALSE(Restored(kGame, "C"));
  EXPECT_FALSE(Restored(kMenu, "C"));
}

TEST_F(StateSaveTest, UnknownChunksAreSkippedInAnyOrder) {
  const Bytes game = Bytes{}.String("GAME").Int32(1).String("x").Byte(2).Int32(5);
  const std::string file = Bytes{}
                               .Int32(7)
                               .Text("APP")
                               .String("xy")
                               .Text("XYZ")
                               .String("abc")
                               .Text("STA")
                               .Counted(Bytes{}.Counted(game))
                               .data;
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(readerCalls_, 1);
  EXPECT_EQ(readerData_, "xy");
  EXPECT_EQ(StateVariableGetInt(kGame, "X"), 5);
}

TEST_F(StateSaveTest, AMissingFileLoadsNothing) {
  EXPECT_FALSE(StateLoad(folder_.path() + "none.sav", Reader()));
  EXPECT_EQ(readerCalls_, 0);
}

// --- Damaged files ------------------------------------------------------------

TEST_F(StateSaveTest, EveryTruncationLoadsWhatItCanWithoutHarm) {
  const std::string full = SaveSample();
  const std::vector<std::pair<int32_t, std::string>> names = {
      {kGame, "B"}, {kGame, "N"}, {kGame, "S"}, {kJournal, "PAGE"}, {kJournal, "COUNT"}};
  size_t previous = 0;
  for (size_t size = 0; size <= full.size(); ++size) {
    FreshRun();
    AllocationProbeReset();
    ASSERT_TRUE(Load(full.substr(0, size)));
    EXPECT_LT(AllocationProbeLargest(), 64u * 1024u) << size;
    size_t restored = 0;
    while (restored < names.size() && Restored(names[restored].first, names[restored].second)) {
      ++restored;
    }
    EXPECT_GE(restored, previous) << size;
    previous = restored;
    for (size_t i = restored; i < names.size(); ++i) {
      EXPECT_FALSE(Restored(names[i].first, names[i].second)) << size << " " << names[i].second;
    }
    if (restored > 0) {
      EXPECT_TRUE(StateVariableGetBool(kGame, "B")) << size;
    }
    if (restored > 1) {
      EXPECT_EQ(StateVariableGetInt(kGame, "N"), -2) << size;
    }
    if (restored > 2) {
      EXPECT_EQ(StateVariableGetString(kGame, "S"), "hi") << size;
    }
    if (restored > 3) {
      EXPECT_EQ(StateVariableGetString(kJournal, "PAGE"), "clues") << size;
    }
    EXPECT_EQ(readerCalls_, size >= full.size() - 2 ? 1 : 0) << size;
  }
  EXPECT_EQ(previous, names.size());
  EXPECT_EQ(readerData_, "xy");
  // The first variable ends at byte 34: version 4, chunk head 7, record
  // length 4, name 8, count 4, variable 7.
  FreshRun();
  Load(full.substr(0, 33));
  EXPECT_FALSE(Restored(kGame, "B"));
  Load(full.substr(0, 34));
  EXPECT_TRUE(StateVariableGetBool(kGame, "B"));
  EXPECT_FALSE(Restored(kGame, "N"));
}

// A GAME record with the variables N = 7 and S = "hi", then an "APP" chunk
// holding "xy"; any field may be replaced by a damaged value.
struct Damage {
  const char* what;
  std::optional<uint32_t> chunkLength, recordLength, stateNameLength, variableCount,
      secondNameLength, secondValueLength;
  uint8_t firstType = 2;
  bool secondInChunk = true;  // false: the chunk ends after N, S stays outside
  // What a sound load gives.
  bool restoresN, restoresS, readsApp;
};

std::string DamagedFile(const Damage& damage) {
  const Bytes first = Bytes{}.String("N").Byte(damage.firstType).Int32(7);
  const Bytes second = Bytes{}
                           .Int32(damage.secondNameLength.value_or(1))
                           .Text("S")
                           .Byte(3)
                           .Int32(damage.secondValueLength.value_or(2))
                           .Text("hi");
  const Bytes record = Bytes{}
                           .Int32(damage.stateNameLength.value_or(4))
                           .Text("GAME")
                           .Int32(damage.variableCount.value_or(2))
                           .Text(first.data)
                           .Text(damage.secondInChunk ? second.data : "");
  const uint32_t recordLength =
      damage.recordLength.value_or(static_cast<uint32_t>(record.data.size()));
  const Bytes chunk = Bytes{}.Int32(recordLength).Text(record.data);
  return Bytes{}
      .Int32(1)
      .Text("STA")
      .Int32(damage.chunkLength.value_or(static_cast<uint32_t>(chunk.data.size())))
      .Text(chunk.data)
      .Text("APP")
      .String("xy")
      .data;
}

TEST_F(StateSaveTest, HugeOrWrongLengthsNeitherCrashNorAllocateNorReadPastTheirBounds) {
  constexpr uint32_t kHuge = 2147483647;
  const Damage cases[] = {
      {"intact", {}, {}, {}, {}, {}, {}, 2, true, true, true, true},
      {"chunk length past the end", kHuge, {}, {}, {}, {}, {}, 2, true, true, true, false},
      {"negative chunk length", 0xFFFFFFF9u, {}, {}, {}, {}, {}, 2, true, false, false, false},
      {"record length huge", {}, kHuge, {}, {}, {}, {}, 2, true, true, true, true},
      {"record length negative", {}, 0xFFFFFFFFu, {}, {}, {}, {}, 2, true, false, false, true},
      {"state name length huge", {}, {}, kHuge, {}, {}, {}, 2, true, false, false, true},
      {"variable count huge", {}, {}, {}, kHuge, {}, {}, 2, true, true, true, true},
      {"variable name length huge", {}, {}, {}, {}, kHuge, {}, 2, true, true, false, true},
      {"string length huge", {}, {}, {}, {}, {}, kHuge, 2, true, true, false, true},
      {"string length negative", {}, {}, {}, {}, {}, 0x80000000u, 2, true, true, false, true},
      {"unknown variable type", {}, {}, {}, {}, {}, {}, 9, true, false, false, true},
      {"chunk ends inside its record", {}, {}, {}, {}, {}, {}, 2, false, true, false, true},
  };
  for (const Damage& damage : cases) {
    FreshRun();
    AllocationProbeReset();
    EXPECT_TRUE(Load(DamagedFile(damage))) << damage.what;
    EXPECT_LT(AllocationProbeLargest(), 64u * 1024u) << damage.what;
    EXPECT_EQ(Restored(kGame, "N"), damage.restoresN) << damage.what;
    EXPECT_EQ(Restored(kGame, "S"), damage.restoresS) << damage.what;
    EXPECT_EQ(readerCalls_, damage.readsApp ? 1 : 0) << damage.what;
    if (damage.restoresN) {
      EXPECT_EQ(StateVariableGetInt(kGame, "N"), 7) << damage.what;
    }
    if (damage.readsApp) {
      EXPECT_EQ(readerData_, "xy") << damage.what;
    }
  }
}

TEST_F(StateSaveTest, TheVariablesOfAChunkEndWithTheChunk) {
  // The record claims two variables and more bytes than its chunk holds; the
  // next chunk's header and body happen to read as the variable S = "hi".
  const Bytes record = Bytes{}.String("GAME").Int32(2).String("N").Byte(2).Int32(7);
  const std::string file = Bytes{}
                               .Int32(1)
                               .Text("STA")
                               .Counted(Bytes{}.Int32(2147483647).Text(record.data))
                               .Text("\x01\x00\x00"sv)   // tag
                               .Text("\x00S\x03\x02"sv)  // length, past the end
                               .Text("\x00\x00\x00hi"sv)
                               .data;
  ASSERT_TRUE(Load(file));
  EXPECT_EQ(StateVariableGetInt(kGame, "N"), 7);
  EXPECT_FALSE(Restored(kGame, "S"));
}

TEST_F(StateSaveTest, AWriterKilledAtAnyMomentLeavesAWholeVersionAndTheNextSaveNoTemporary) {
  // Version k's variables; the notes change the file's size.
  const auto setVersion = [](int32_t k) {
    StateVariableSetInt(kGame, "version", k);
    StateVariableSetString(kJournal, "notes",
                           std::string(static_cast<size_t>(k * 7919 % 3000), 'n'));
  };
  const auto version = [&](int32_t k) {
    setVersion(k);
    const int32_t memory = DataFileDirectCreateMemory();
    std::string bytes;
    EXPECT_TRUE(StateWrite(memory, path_, {}) && DataFileDirectMemoryTake(memory, bytes));
    return bytes;
  };
  setVersion(0);
  ASSERT_TRUE(StateSave(path_, {}));
  ASSERT_TRUE(ReadWholeFile(path_) == version(0));
  const std::string temporary = DataFileDirectTemporaryPath(path_);
  int32_t temporariesLeft = 0;
  int32_t newest = 0;
  const int32_t wrote = KillWriterTrials(
      500, 0,
      [&](int32_t k) {
        setVersion(k);
        StateSave(path_, {});
      },
      [&](int32_t last) {
        const std::string file = ReadWholeFile(path_);
        EXPECT_TRUE(file == version(last) || file == version(last + 1))
            << "not version " << last << " or the next";
        temporariesLeft += PlatformFileExists(temporary) ? 1 : 0;
        newest = last + 1;
      });
  EXPECT_GT(wrote, 0);
  std::cout << "state writer killed 500 times: " << wrote << " after a finished write, "
            << temporariesLeft << " leaving a temporary\n";
  // The next save takes over what the last kill left.
  setVersion(newest + 1);
  ASSERT_TRUE(StateSave(path_, {}));
  EXPECT_TRUE(ReadWholeFile(path_) == version(newest + 1));
  EXPECT_FALSE(PlatformFileExists(temporary));
}

}  // namespace
