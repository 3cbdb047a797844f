// Where a content name is found: patch sets, archives, the disk, and the
// order among them.
#include <cstdio>

#include "tests/framework/datafile/datafile_fixture.h"

namespace {

using DataFileLookupTest = DataFileTest;

// --- Archives against the disk ----------------------------------------------

TEST_F(DataFileLookupTest, ArchiveCopyIsReadBeforeALooseDiskFile) {
  WriteArchive("data.qma", {{"Bin\\Fonts\\Cubes.fot", "from archive"}});
  folder_.write("Bin/Fonts/Cubes.fot", "from disk");
  Start();
  EXPECT_EQ(ReadAll("Bin\\Fonts\\Cubes.fot"), "from archive");
}

TEST_F(DataFileLookupTest, DiskFilesResolveWithBackslashesAndAnyCase) {
  folder_.write("Bin/Rooms/Hall.txt", "hall");
  Start();
  EXPECT_EQ(ReadAll("bin\\ROOMS\\hall.TXT"), "hall");
  EXPECT_TRUE(DataFileExists("BIN\\rooms\\Hall.txt"));
  EXPECT_FALSE(DataFileExists("Bin\\Rooms\\Kitchen.txt"));
  EXPECT_FALSE(DataFileExists("Bin\\Rooms"));
  EXPECT_EQ(DataFileOpen("Bin\\Rooms\\Kitchen.txt"), 0);
}

TEST_F(DataFileLookupTest, AbsoluteNamesAreNotPutBelowTheProgramFolder) {
  TempFolder elsewhere;
  const std::string path = elsewhere.write("outside.txt", "outside");
  folder_.write(path.substr(1), "below the program folder");
  Start();
  EXPECT_EQ(ReadAll(path), "outside");
}

TEST_F(DataFileLookupTest, ArchiveEntryNamesIgnoreCaseAndSeparatorKind) {
  WriteArchive("data.qma", {{"Bin\\Rooms\\Hall.vmc", "hall"}});
  Start();
  for (const char* name : {"Bin\\Rooms\\Hall.vmc", "BIN\\ROOMS\\HALL.VMC", "bin\\rooms\\hall.vmc",
                           "bin/rooms/Hall.vmc"}) {
    EXPECT_EQ(ReadAll(name), "hall") << name;
    EXPECT_TRUE(DataFileExists(name)) << name;
  }
}

TEST_F(DataFileLookupTest, ArchiveWhoseNameSortsFirstWinsRegardlessOfCase) {
  // In plain byte order "B.qma" would come before "a.qma"; upper-cased it
  // comes after.
  WriteArchive("B.qma", {{"Bin\\x.txt", "from B"}, {"Bin\\only_b.txt", "only B"}});
  WriteArchive("a.qma", {{"Bin\\x.txt", "from a"}});
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "from a");
  EXPECT_EQ(ReadAll("Bin\\only_b.txt"), "only B");
}

TEST_F(DataFileLookupTest, ArchiveNamesDifferingOnlyInCaseAreBothRead) {
  WriteArchive("x.qma", {{"lower", "lower"}});
  WriteArchive("X.qma", {{"upper", "upper"}});
  Start();
  EXPECT_EQ(ReadAll("lower"), "lower");
  EXPECT_EQ(ReadAll("upper"), "upper");
}

TEST_F(DataFileLookupTest, ArchivesAddedAfterStartAreNotSeen) {
  Start();
  WriteArchive("late.qma", {{"Bin\\late.txt", "late"}});
  EXPECT_FALSE(DataFileExists("Bin\\late.txt"));
}

class DataFileVersionTest : public DataFileTest,
                            public ::testing::WithParamInterface<std::pair<uint16_t, bool>> {};

TEST_P(DataFileVersionTest, VersionsUpTo511AreAccepted) {
  const auto [version, accepted] = GetParam();
  WriteArchive("data.qma", {{"Bin\\x.txt", "x"}}, version);
  Start();
  EXPECT_EQ(DataFileExists("Bin\\x.txt"), accepted);
}

INSTANTIATE_TEST_SUITE_P(Versions, DataFileVersionTest,
                         ::testing::Values(std::pair<uint16_t, bool>{0, true},
                                           std::pair<uint16_t, bool>{1, true},
                                           std::pair<uint16_t, bool>{511, true},
                                           std::pair<uint16_t, bool>{512, false},
                                           std::pair<uint16_t, bool>{0xFFFF, false}));

TEST_F(DataFileLookupTest, ArchiveThatCannotBeOpenedFallsBackToTheDisk) {
  WriteArchive("data.qma", {{"Bin\\x.txt", "from archive"}});
  folder_.write("Bin/x.txt", "from disk");
  Start();
  std::remove((folder_.path() + "data.qma").c_str());
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "from disk");
}

TEST_F(DataFileLookupTest, ArchiveFileStaysOpenExactlyWhileEntriesAreOpen) {
  WriteArchive("data.qma", {{"a", "first"}, {"b", "second"}});
  Start();
  const int32_t a = DataFileOpen("a");
  const int32_t b = DataFileOpen("b");
  DataFileClose(a);
  std::remove((folder_.path() + "data.qma").c_str());
  char text[6] = {};
  EXPECT_EQ(DataFileRead(b, text, 6), 6);
  EXPECT_EQ(std::string(text, 6), "second");
  DataFileClose(b);
  // Closed with its last entry: the removed file cannot be opened again.
  EXPECT_EQ(DataFileOpen("a"), 0);
}

// --- Patch sets ---------------------------------------------------------------

TEST_F(DataFileLookupTest, HighestPatchFolderThatCarriesTheFileWins) {
  WriteArchive("data.qma", {{"Bin\\x.txt", "archive"}, {"Bin\\y.txt", "archive y"}});
  folder_.write("Patch000001/Bin/x.txt", "patch 1");
  folder_.write("Patch000001/Bin/y.txt", "patch 1 y");
  folder_.write("Patch000002/Bin/x.txt", "patch 2");
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "patch 2");
  EXPECT_EQ(ReadAll("Bin\\y.txt"), "patch 1 y");
}

TEST_F(DataFileLookupTest, PatchFoldersWithNumberZeroOrFiveDigitsAreIgnored) {
  folder_.write("Bin/x.txt", "unpatched");
  folder_.write("Patch000000/Bin/x.txt", "patch 0");
  folder_.write("Patch00001/Bin/x.txt", "five digits");
  folder_.write("Patch0000001/Bin/x.txt", "seven digits");
  folder_.write("Patch00000a/Bin/x.txt", "letter");
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "unpatched");
  EXPECT_FALSE(DataFileExists("Bin\\only_patch.txt"));
}

TEST_F(DataFileLookupTest, PatchFolderNamesIgnoreCase) {
  folder_.write("Bin/x.txt", "unpatched");
  folder_.write("PATCH000004/bin/X.TXT", "patch 4");
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "patch 4");
}

TEST_F(DataFileLookupTest, PatchSetInsideAnArchiveWinsOverLowerPatchFolders) {
  folder_.write("Patch000001/Bin/x.txt", "patch 1");
  folder_.write("Patch000002/Bin/x.txt", "patch 2");
  WriteArchive("data.qma", {{"Bin\\x.txt", "archive"}});
  WriteArchive("patch.qma", {{"Bin\\x.txt", "patch 3"}}, 1, 3);
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "patch 3");
  EXPECT_EQ(ReadAll("bin\\X.txt"), "patch 3");
}

TEST_F(DataFileLookupTest, PatchFolderAboveAnArchivePatchSetWins) {
  WriteArchive("patch.qma", {{"Bin\\x.txt", "archive patch 3"}}, 1, 3);
  folder_.write("Patch000009/Bin/x.txt", "folder patch 9");
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "folder patch 9");
}

TEST_F(DataFileLookupTest, ArchivePatchSetsNeedSixDigitsAboveZeroAndASeparator) {
  WriteArchive("data.qma", {{"Bin\\x.txt", "unpatched"},
                            {"PATCH000000\\Bin\\x.txt", "patch 0"},
                            {"PATCH00001\\Bin\\x.txt", "five digits"},
                            {"PATCH000005Bin\\x.txt", "no separator"},
                            {"PATCH000007/Bin\\y.txt", "slash separator"}});
  Start();
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "unpatched");
  EXPECT_EQ(ReadAll("Bin\\y.txt"), "slash separator");
}

TEST_F(DataFileLookupTest, FilesOnlyInAPatchSetExist) {
  folder_.write("Patch000001/Bin/new.txt", "new in patch");
  Start();
  EXPECT_TRUE(DataFileExists("Bin\\new.txt"));
  EXPECT_EQ(ReadAll("Bin\\new.txt"), "new in patch");
}

// --- Log lines ----------------------------------------------------------------

TEST_F(DataFileLookupTest, LogLowReportsFilesReadFromDiskOnly) {
  WriteArchive("data.qma", {{"Bin\\packed.txt", "packed"}});
  folder_.write("Bin/loose.txt", "loose");
  folder_.write("Patch000001/Bin/patched.txt", "patched");
  Start({"-LOGLOW"});
  ReadAll("Bin\\packed.txt");
  ReadAll("Bin\\loose.txt");
  ReadAll("Bin\\patched.txt");
  std::vector<std::string> fileLines;
  for (const std::string& line : LogLines()) {
    if (!line.starts_with("Application ") && !line.starts_with(" ") && line != "Parameters:") {
      fileLines.push_back(line);
    }
  }
  EXPECT_EQ(fileLines, (std::vector<std::string>{
                           "File \"Bin\\loose.txt\" read from disk.",
                           "File \"PATCH000001\\Bin\\patched.txt\" read from disk.",
                       }));
}

TEST_F(DataFileLookupTest, WithoutLogLowDiskReadsLogNothing) {
  folder_.write("Bin/loose.txt", "loose");
  Start();
  ReadAll("Bin\\loose.txt");
  EXPECT_FALSE(folder_.exists("results.log"));
}

TEST_F(DataFileLookupTest, VersionLineGoesToTheLogWithVer) {
  Start({"-ver"});
  DataFileStart();  // again, now that the log runs
  const auto lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "    qmrDataFile - Version 1.0");
}

}  // namespace
