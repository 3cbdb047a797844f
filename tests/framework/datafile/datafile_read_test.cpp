// Reading content files: the same behaviour whether the bytes come from an
// archive entry, a disk file or a memory copy.
#include <cstdio>

#include "tests/framework/datafile/datafile_fixture.h"

namespace {

enum class Source { Archive, Disk, MemoryCopy };

const char kName[] = "Bin\\data.bin";

// Bytes that differ from their neighbours, so a shifted read shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  }
  return bytes;
}

std::string Read(int32_t id, int32_t count) {
  std::string bytes(count, '\0');
  bytes.resize(DataFileRead(id, bytes.data(), count));
  return bytes;
}

class DataFileReadTest : public DataFileTest, public ::testing::WithParamInterface<Source> {
 protected:
  // Offers the content under kName from the source under test. An archive
  // holds it between two other entries, so bytes of a neighbour would show.
  int32_t OpenContent(const std::string& content) {
    switch (GetParam()) {
      case Source::Archive:
        WriteArchive("data.qma", {{"Bin\\before.bin", std::string(5000, 'A')},
                                  {kName, content},
                                  {"Bin\\after.bin", std::string(5000, 'Z')}});
        Start();
        break;
      case Source::Disk:
        folder_.write("Bin/data.bin", content);
        Start();
        break;
      case Source::MemoryCopy:
        folder_.write("Bin/data.bin", content);
        Start();
        EXPECT_TRUE(DataFileCacheLoad(kName));
        std::remove((folder_.path() + "Bin/data.bin").c_str());
        break;
    }
    const int32_t id = DataFileOpen(kName);
    EXPECT_GT(id, 0);
    return id;
  }
};

TEST_P(DataFileReadTest, ReadLineEndsAtCarriageReturnsAndDropsLineFeeds) {
  const int32_t id = OpenContent("ab\r\ncd");
  EXPECT_EQ(DataFileReadLine(id), "ab");
  EXPECT_EQ(DataFileReadLine(id), "cd");
  EXPECT_TRUE(DataFileEOF(id));
  EXPECT_EQ(DataFileReadLine(id), "");
}

// The second form tells an empty line from the end: a file cut after a
// line's CR LF ends there.
TEST_P(DataFileReadTest, ReadLineTellsAnEmptyLineFromTheEnd) {
  const int32_t id = OpenContent("a\r\r\n");
  std::string line;
  EXPECT_TRUE(DataFileReadLine(id, line));
  EXPECT_EQ(line, "a");
  EXPECT_TRUE(DataFileReadLine(id, line));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(DataFileReadLine(id, line));
}

TEST_P(DataFileReadTest, ReadLineDropsLineFeedsInsideALine) {
  const int32_t id = OpenContent("a\nb\r\r\nc");
  EXPECT_EQ(DataFileReadLine(id), "ab");
  EXPECT_EQ(DataFileReadLine(id), "");
  EXPECT_EQ(DataFileReadLine(id), "c");
}

TEST_P(DataFileReadTest, ReadsOfEverySizeDeliverTheBytesInOrder) {
  const std::string content = Pattern(30000);
  const int32_t id = OpenContent(content);
  std::string got;
  for (int32_t count : {1, 4095, 4097, 3, 2047, 2049, 8192, 4096, 5, 10000, 10000}) {
    got += Read(id, count);
    EXPECT_EQ(DataFileTell(id), static_cast<int32_t>(got.size()));
  }
  EXPECT_EQ(got, content);
  EXPECT_EQ(Read(id, 100), "");
  EXPECT_TRUE(DataFileEOF(id));
}

TEST_P(DataFileReadTest, ReadsStopAtTheEndOfTheContent) {
  const std::string content = Pattern(10000);
  const int32_t id = OpenContent(content);
  EXPECT_EQ(Read(id, 25000), content);
  char byte = 0;
  EXPECT_FALSE(DataFileReadExact(id, &byte, 1));
  EXPECT_TRUE(DataFileReadExact(id, &byte, 0));
}

TEST_P(DataFileReadTest, EndOfFileOnlyOnceTheLastByteIsTaken) {
  const int32_t id = OpenContent(Pattern(10000));
  EXPECT_EQ(DataFileSize(id), 10000);
  EXPECT_FALSE(DataFileEOF(id));
  Read(id, 9999);
  EXPECT_FALSE(DataFileEOF(id));
  Read(id, 1);
  EXPECT_TRUE(DataFileEOF(id));
}

TEST_P(DataFileReadTest, SeekMovesThePositionAndDropsBufferedBytes) {
  const std::string content = Pattern(10000);
  const int32_t id = OpenContent(content);
  Read(id, 100);
  EXPECT_TRUE(DataFileSeek(id, 5000));
  EXPECT_EQ(Read(id, 10), content.substr(5000, 10));
  EXPECT_EQ(DataFileTell(id), 5010);
  EXPECT_TRUE(DataFileSeek(id, 3));
  EXPECT_EQ(Read(id, 6000), content.substr(3, 6000));
}

TEST_P(DataFileReadTest, SeekBeforeTheStartIsRefused) {
  const std::string content = Pattern(10000);
  const int32_t id = OpenContent(content);
  Read(id, 10);
  EXPECT_FALSE(DataFileSeek(id, -1));
  EXPECT_FALSE(DataFileSeek(id, INT32_MIN));
  EXPECT_EQ(DataFileTell(id), 10);
  EXPECT_EQ(Read(id, 10), content.substr(10, 10));
}

TEST_P(DataFileReadTest, SeekPastTheEndReadsNothingUntilSeekingBack) {
  const std::string content = Pattern(10000);
  const int32_t id = OpenContent(content);
  for (int32_t position : {10000, 10001, 20000, INT32_MAX}) {
    EXPECT_TRUE(DataFileSeek(id, position));
    EXPECT_EQ(DataFileTell(id), position);
    EXPECT_EQ(Read(id, 5000), "");
    EXPECT_TRUE(DataFileEOF(id));
  }
  EXPECT_TRUE(DataFileSeek(id, 9996));
  EXPECT_EQ(Read(id, 5000), content.substr(9996));
}

TEST_P(DataFileReadTest, EmptyContentIsAtItsEnd) {
  const int32_t id = OpenContent("");
  EXPECT_EQ(DataFileSize(id), 0);
  EXPECT_TRUE(DataFileEOF(id));
  EXPECT_EQ(Read(id, 10), "");
  EXPECT_EQ(DataFileReadLine(id), "");
}

std::string SourceName(const ::testing::TestParamInfo<Source>& info) {
  switch (info.param) {
    case Source::Archive:
      return "Archive";
    case Source::Disk:
      return "Disk";
    case Source::MemoryCopy:
      return "MemoryCopy";
  }
  return "";
}

INSTANTIATE_TEST_SUITE_P(Sources, DataFileReadTest,
                         ::testing::Values(Source::Archive, Source::Disk, Source::MemoryCopy),
                         SourceName);

// --- Archive entries ------------------------------------------------------------

using DataFileArchiveReadTest = DataFileTest;

TEST_F(DataFileArchiveReadTest, EntriesOfOneArchiveReadInAnyOrder) {
  const std::string first = Pattern(20000);
  const std::string second(20000, 'x');
  WriteArchive("data.qma", {{"first", first}, {"second", second}});
  Start();
  const int32_t a = DataFileOpen("first");
  const int32_t b = DataFileOpen("second");
  std::string gotA, gotB;
  for (int32_t count = 1; gotA.size() < first.size() || gotB.size() < second.size(); count += 97) {
    gotA += Read(a, count);
    gotB += Read(b, count * 3);
  }
  EXPECT_EQ(gotA, first);
  EXPECT_EQ(gotB, second);
}

TEST_F(DataFileArchiveReadTest, ShortEntryBeforeAnotherStopsAtItsOwnEnd) {
  WriteArchive("data.qma", {{"short", "0123456789"}, {"next", "NEXT"}});
  Start();
  const int32_t id = DataFileOpen("short");
  EXPECT_EQ(Read(id, 7), "0123456");
  EXPECT_EQ(Read(id, 7), "789");
  EXPECT_TRUE(DataFileSeek(id, 12));
  EXPECT_EQ(Read(id, 7), "");
}

// --- Memory copies ----------------------------------------------------------------

using DataFileCopyTest = DataFileTest;

TEST_F(DataFileCopyTest, SecondLoadKeepsTheFirstCopy) {
  folder_.write("Bin/x.txt", "first");
  Start();
  EXPECT_TRUE(DataFileCacheLoad("Bin\\x.txt"));
  folder_.write("Bin/x.txt", "second");
  EXPECT_TRUE(DataFileCacheLoad("Bin\\x.txt"));
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "first");
}

TEST_F(DataFileCopyTest, FreeClosesEveryReaderOfTheCopy) {
  folder_.write("Bin/x.txt", "copy");
  Start();
  ASSERT_TRUE(DataFileCacheLoad("Bin\\x.txt"));
  const int32_t a = DataFileOpen("Bin\\x.txt");
  const int32_t b = DataFileOpen("Bin\\x.txt");
  folder_.write("Bin/x.txt", "disk");
  DataFileCacheFree("Bin\\x.txt");
  EXPECT_EQ(DataFileTell(a), -1);
  EXPECT_EQ(DataFileTell(b), -1);
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "disk");
}

TEST_F(DataFileCopyTest, FreeKeepsReadersOfOtherCopies) {
  folder_.write("Bin/x.txt", "xxxx");
  folder_.write("Bin/y.txt", "yyyyYYYY");
  Start();
  ASSERT_TRUE(DataFileCacheLoad("Bin\\x.txt"));
  ASSERT_TRUE(DataFileCacheLoad("Bin\\y.txt"));
  const int32_t id = DataFileOpen("Bin\\y.txt");
  EXPECT_EQ(Read(id, 4), "yyyy");
  DataFileCacheFree("Bin\\x.txt");
  EXPECT_EQ(Read(id, 10), "YYYY");
}

TEST_F(DataFileCopyTest, CopiesAreMadeOfThePatchedFile) {
  WriteArchive("data.qma", {{"Bin\\x.txt", "archive"}});
  WriteArchive("patch.qma", {{"Bin\\x.txt", "patched"}}, 1, 2);
  Start();
  ASSERT_TRUE(DataFileCacheLoad("Bin\\x.txt"));
  std::remove((folder_.path() + "patch.qma").c_str());
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "patched");
  DataFileCacheFree("Bin\\x.txt");
  EXPECT_EQ(ReadAll("Bin\\x.txt"), std::nullopt);  // the patched copy's archive is gone
}

TEST_F(DataFileCopyTest, CloseAllReleasesCopiesAndFiles) {
  folder_.write("Bin/x.txt", "copy");
  Start();
  ASSERT_TRUE(DataFileCacheLoad("Bin\\x.txt"));
  const int32_t id = DataFileOpen("Bin\\x.txt");
  const int32_t direct = DataFileDirectCreateMemory();
  EXPECT_EQ(DataFileOpenCount(), 1);
  EXPECT_EQ(DataFileCacheCount(), 1);
  EXPECT_EQ(DataFileDirectOpenCount(), 1);
  folder_.write("Bin/x.txt", "disk");
  DataFileCloseAll();
  EXPECT_EQ(DataFileTell(id), -1);
  EXPECT_EQ(DataFileOpenCount(), 0);
  EXPECT_EQ(DataFileCacheCount(), 0);
  DataFileDirectClose(direct);
  EXPECT_EQ(DataFileDirectOpenCount(), 0);
  EXPECT_EQ(ReadAll("Bin\\x.txt"), "disk");
}

TEST_F(DataFileCopyTest, MissingFilesMakeNoCopy) {
  Start();
  EXPECT_FALSE(DataFileCacheLoad("Bin\\missing.txt"));
  DataFileCacheFree("Bin\\missing.txt");
  EXPECT_EQ(DataFileOpen("Bin\\missing.txt"), 0);
}

// --- Ids ---------------------------------------------------------------------------

using DataFileIdTest = DataFileTest;

TEST_F(DataFileIdTest, BadOrClosedIdsGiveNeutralResults) {
  folder_.write("Bin/x.txt", "text");
  Start();
  const int32_t closed = DataFileOpen("Bin\\x.txt");
  DataFileClose(closed);
  for (int32_t id : {closed, 0, -1, 999}) {
    char byte = 0;
    EXPECT_EQ(DataFileRead(id, &byte, 1), 0);
    EXPECT_FALSE(DataFileReadExact(id, &byte, 1));
    EXPECT_EQ(DataFileReadLine(id), "");
    EXPECT_FALSE(DataFileSeek(id, 0));
    EXPECT_EQ(DataFileTell(id), -1);
    EXPECT_EQ(DataFileSize(id), 0);
    EXPECT_TRUE(DataFileEOF(id));
    DataFileClose(id);
  }
}

TEST_F(DataFileIdTest, IdsGrowAndStartAgainAfterARestart) {
  folder_.write("Bin/x.txt", "text");
  Start();
  const int32_t first = DataFileOpen("Bin\\x.txt");
  DataFileClose(first);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(DataFileOpen("Bin\\x.txt"), 2);
  Stop();
  Start();
  EXPECT_EQ(DataFileOpen("Bin\\x.txt"), 1);
}

TEST_F(DataFileIdTest, NegativeCountsReadNothing) {
  folder_.write("Bin/x.txt", "text");
  Start();
  const int32_t id = DataFileOpen("Bin\\x.txt");
  char bytes[4] = {};
  EXPECT_EQ(DataFileRead(id, bytes, -4), 0);
  EXPECT_FALSE(DataFileReadExact(id, bytes, -4));
  EXPECT_EQ(DataFileTell(id), 0);
}

}  // namespace
