// Direct files, read and written by their own paths, and the library search.
#include <cstdlib>

#include "tests/framework/datafile/datafile_fixture.h"

namespace {

using DataFileDirectTest = DataFileTest;

std::string Numbers(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(i % 253);
  }
  return bytes;
}

TEST_F(DataFileDirectTest, ReadPastTheEndCopiesWhatRemainsAndFails) {
  const std::string path = folder_.write("save.sav", "0123456789ABCD");
  Start();
  const int32_t id = DataFileDirectOpen(path);
  ASSERT_GT(id, 0);
  char bytes[10];
  ASSERT_TRUE(DataFileDirectRead(id, bytes, 10));
  std::fill(std::begin(bytes), std::end(bytes), '.');
  EXPECT_FALSE(DataFileDirectRead(id, bytes, 10));
  EXPECT_EQ(std::string(bytes, 10), "ABCD......");
  EXPECT_TRUE(DataFileDirectEOF(id));
  EXPECT_TRUE(DataFileDirectRead(id, bytes, 0));
}

TEST_F(DataFileDirectTest, ReadsOfAnySizeDeliverTheFile) {
  const std::string content = Numbers(20000);
  const std::string path = folder_.write("big.bin", content);
  Start();
  const int32_t id = DataFileDirectOpen(path);
  std::string got;
  for (int32_t count : {3, 5000, 1, 4096, 10900}) {
    std::string piece(count, '\0');
    ASSERT_TRUE(DataFileDirectRead(id, piece.data(), count));
    got += piece;
    EXPECT_EQ(DataFileDirectTell(id), static_cast<int32_t>(got.size()));
  }
  EXPECT_EQ(got, content.substr(0, got.size()));
  EXPECT_EQ(DataFileDirectSize(id), 20000);
}

TEST_F(DataFileDirectTest, EndOfFileWaitsForTheBufferedBytes) {
  const std::string path = folder_.write("small.bin", Numbers(100));
  Start();
  const int32_t id = DataFileDirectOpen(path);
  char bytes[100];
  ASSERT_TRUE(DataFileDirectRead(id, bytes, 50));  // the whole file is now buffered
  EXPECT_FALSE(DataFileDirectEOF(id));
  EXPECT_EQ(DataFileDirectTell(id), 50);
  ASSERT_TRUE(DataFileDirectRead(id, bytes, 50));
  EXPECT_TRUE(DataFileDirectEOF(id));
}

TEST_F(DataFileDirectTest, SeekDropsTheBufferedBytes) {
  const std::string content = Numbers(10000);
  const std::string path = folder_.write("seek.bin", content);
  Start();
  const int32_t id = DataFileDirectOpen(path);
  char bytes[8];
  ASSERT_TRUE(DataFileDirectRead(id, bytes, 8));
  ASSERT_TRUE(DataFileDirectSeek(id, 7000));
  EXPECT_EQ(DataFileDirectTell(id), 7000);
  ASSERT_TRUE(DataFileDirectRead(id, bytes, 8));
  EXPECT_EQ(std::string(bytes, 8), content.substr(7000, 8));
  EXPECT_FALSE(DataFileDirectSeek(id, -1));
}

TEST_F(DataFileDirectTest, WritesReachTheDiskAtOnce) {
  const std::string path = folder_.write("out.sav", "old contents that are longer");
  Start();
  const int32_t id = DataFileDirectCreate(path);
  ASSERT_GT(id, 0);
  ASSERT_TRUE(DataFileDirectWrite(id, "new", 3));
  EXPECT_EQ(ReadWholeFile(path), "new");
  const std::string big = Numbers(9000);
  ASSERT_TRUE(DataFileDirectWrite(id, big.data(), static_cast<int32_t>(big.size())));
  EXPECT_TRUE(DataFileDirectWrite(id, "", 0));
  EXPECT_EQ(DataFileDirectSize(id), 9003);
  EXPECT_EQ(DataFileDirectTell(id), 9003);
  DataFileDirectClose(id);
  EXPECT_EQ(ReadWholeFile(path), "new" + big);
}

TEST_F(DataFileDirectTest, OpenNeedsAnExistingFileAndCreateAnExistingFolder) {
  folder_.write("Saves/Slot.sav", "slot");
  Start();
  EXPECT_EQ(DataFileDirectOpen(folder_.path() + "missing.sav"), 0);
  EXPECT_EQ(DataFileDirectOpen(folder_.path() + "Saves"), 0);
  EXPECT_EQ(DataFileDirectCreate(folder_.path() + "nowhere/new.sav"), 0);
  // Backslashes and another case find the file, as for content names.
  const int32_t id = DataFileDirectOpen(folder_.path() + "saves\\SLOT.sav");
  ASSERT_GT(id, 0);
  char bytes[4];
  EXPECT_TRUE(DataFileDirectRead(id, bytes, 4));
}

TEST_F(DataFileDirectTest, BadOrClosedIdsGiveNeutralResults) {
  const std::string path = folder_.write("x.bin", "x");
  Start();
  const int32_t closed = DataFileDirectOpen(path);
  DataFileDirectClose(closed);
  for (int32_t id : {closed, 0, -3, 77}) {
    char byte = 0;
    EXPECT_FALSE(DataFileDirectRead(id, &byte, 1));
    EXPECT_FALSE(DataFileDirectWrite(id, &byte, 1));
    EXPECT_FALSE(DataFileDirectSeek(id, 0));
    EXPECT_EQ(DataFileDirectTell(id), -1);
    EXPECT_EQ(DataFileDirectSize(id), 0);
    EXPECT_TRUE(DataFileDirectEOF(id));
    DataFileDirectClose(id);
  }
}

TEST_F(DataFileDirectTest, DirectAndContentFilesCountIdsApart) {
  const std::string path = folder_.write("Bin/x.txt", "x");
  Start();
  EXPECT_EQ(DataFileOpen("Bin\\x.txt"), 1);
  EXPECT_EQ(DataFileDirectOpen(path), 1);
  EXPECT_EQ(DataFileDirectOpen(path), 2);
  DataFileDirectCloseAll();
  EXPECT_EQ(DataFileDirectTell(1), -1);
  EXPECT_EQ(DataFileTell(1), 0);
}

// --- Library search ---------------------------------------------------------------

class DataFileSearchTest : public DataFileTest {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath_ = path == nullptr ? "" : path;
  }
  void TearDown() override {
    setenv("PATH", savedPath_.c_str(), 1);
    DataFileTest::TearDown();
  }
  std::string savedPath_;
};

TEST_F(DataFileSearchTest, FindsFilesAsGivenInTheProgramFolderAndOnThePath) {
  TempFolder onPath;
  TempFolder elsewhere;
  folder_.write("libbeside.so.1", "");
  onPath.write("libonpath.so.1", "");
  const std::string given = elsewhere.write("libgiven.so.1", "");
  setenv("PATH", ("/nonexistent::" + onPath.path()).c_str(), 1);
  Start();
  EXPECT_TRUE(DataFileSearchPath(given));
  EXPECT_TRUE(DataFileSearchPath("libbeside.so.1"));
  EXPECT_TRUE(DataFileSearchPath("libonpath.so.1"));
  EXPECT_FALSE(DataFileSearchPath("libnowhere.so.1"));
}

TEST_F(DataFileSearchTest, FindsFilesInTheLinkersLibraryFolders) {
  TempFolder libraries;
  libraries.write("libfromlinker.so.1", "");
  const char* saved = std::getenv("LD_LIBRARY_PATH");
  const std::optional<std::string> savedLibraryPath =
      saved == nullptr ? std::nullopt : std::optional<std::string>(saved);
  setenv("LD_LIBRARY_PATH", libraries.path().c_str(), 1);
  Start();
  const bool found = DataFileSearchPath("libfromlinker.so.1");
  if (savedLibraryPath) {
    setenv("LD_LIBRARY_PATH", savedLibraryPath->c_str(), 1);
  } else {
    unsetenv("LD_LIBRARY_PATH");
  }
  EXPECT_TRUE(found);
}

}  // namespace
