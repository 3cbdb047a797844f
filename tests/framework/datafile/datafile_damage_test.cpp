// Damaged archives: every truncation, absurd counts and lengths. The module
// must offer the entries read before the damage and never crash or allocate
// what the file cannot hold (the sanitizers watch the latter).
#include "tests/framework/datafile/datafile_fixture.h"

namespace {

struct Expected {
  std::string name;
  std::string data;
  size_t recordEnd = 0;  // where the entry's directory record ends
  size_t dataOffset = 0;
};

constexpr uint8_t kExtraBytes = 3;

class DataFileDamageTest : public DataFileTest {
 protected:
  // A valid archive whose entries carry extra fixed-part bytes; returns its
  // bytes and where each entry lies.
  std::string ValidArchive(std::vector<Expected>& expected) {
    expected = {{"Bin\\one.txt", "first entry"}, {"Bin\\Two.txt", "second"}, {"three", "3"}};
    QmaWriter writer;
    writer.extraBytes = kExtraBytes;
    size_t recordEnd = 11;
    for (Expected& entry : expected) {
      QmaWriterAddMemory(writer, entry.name, entry.data);
      recordEnd += 11 + kExtraBytes + entry.name.size();
      entry.recordEnd = recordEnd;
    }
    size_t dataOffset = recordEnd;
    for (Expected& entry : expected) {
      entry.dataOffset = dataOffset;
      dataOffset += entry.data.size();
    }
    std::string error;
    EXPECT_TRUE(QmaWriterSave(writer, folder_.path() + "valid.qma", error)) << error;
    return folder_.read("valid.qma");
  }

  // Starts over a program folder holding only the given archive bytes.
  void StartWith(const std::string& bytes) {
    std::remove((folder_.path() + "valid.qma").c_str());
    folder_.write("data.qma", bytes);
    Start();
  }

  static void PutU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
  }
};

TEST_F(DataFileDamageTest, EveryTruncationOffersTheEntriesReadBeforeTheCut) {
  std::vector<Expected> expected;
  const std::string archive = ValidArchive(expected);
  for (size_t length = 0; length < archive.size(); ++length) {
    StartWith(archive.substr(0, length));
    for (const Expected& entry : expected) {
      if (length < entry.recordEnd) {
        EXPECT_EQ(ReadAll(entry.name), std::nullopt) << entry.name << " at length " << length;
        continue;
      }
      // The entry's data is cut where the file ends.
      const size_t end = std::min(entry.dataOffset + entry.data.size(), length);
      const std::string present =
          entry.dataOffset < end ? archive.substr(entry.dataOffset, end - entry.dataOffset) : "";
      EXPECT_EQ(ReadAll(entry.name), present) << entry.name << " at length " << length;
      const int32_t id = DataFileOpen(entry.name);
      EXPECT_EQ(DataFileSize(id), static_cast<int32_t>(present.size()));
      DataFileClose(id);
    }
    Stop();
  }
}

TEST_F(DataFileDamageTest, HugeEntryCountEndsWithTheFile) {
  std::vector<Expected> expected;
  std::string archive = ValidArchive(expected);
  PutU32(archive, 7, 0x7FFFFFFF);
  StartWith(archive);
  for (const Expected& entry : expected) {
    EXPECT_EQ(ReadAll(entry.name), entry.data);
  }
}

TEST_F(DataFileDamageTest, NegativeEntryCountOffersNothing) {
  std::vector<Expected> expected;
  std::string archive = ValidArchive(expected);
  PutU32(archive, 7, 0x80000000);
  StartWith(archive);
  EXPECT_FALSE(DataFileExists(expected[0].name));
}

TEST_F(DataFileDamageTest, NameLengthPastTheEndKeepsTheEntriesBefore) {
  std::vector<Expected> expected;
  std::string archive = ValidArchive(expected);
  // The second record's name length field: after its L, offset and size.
  const size_t nameLengthAt = expected[0].recordEnd + 9;
  archive[nameLengthAt] = static_cast<char>(0xFF);
  archive[nameLengthAt + 1] = static_cast<char>(0xFF);
  StartWith(archive);
  EXPECT_EQ(ReadAll(expected[0].name), expected[0].data);
  EXPECT_FALSE(DataFileExists(expected[1].name));
  EXPECT_FALSE(DataFileExists(expected[2].name));
}

TEST_F(DataFileDamageTest, EntryClaimingBytesPastTheFileOffersWhatExists) {
  std::vector<Expected> expected;
  std::string archive = ValidArchive(expected);
  PutU32(archive, expected[1].recordEnd - expected[1].name.size() - kExtraBytes - 6, 0xFFFFFFFF);
  PutU32(archive, expected[2].recordEnd - expected[2].name.size() - kExtraBytes - 10, 0xFFFFFFF0);
  StartWith(archive);
  EXPECT_EQ(ReadAll(expected[1].name), archive.substr(expected[1].dataOffset));
  EXPECT_TRUE(DataFileCacheLoad(expected[1].name));
  EXPECT_EQ(ReadAll(expected[2].name), "");
}

TEST_F(DataFileDamageTest, WrongMagicOffersNothing) {
  std::vector<Expected> expected;
  std::string archive = ValidArchive(expected);
  archive[4] = 'X';
  StartWith(archive);
  EXPECT_FALSE(DataFileExists(expected[0].name));
}

// --- Reading a directory for tools -------------------------------------------

TEST_F(DataFileDamageTest, DirectoryListsStoredNamesAndWhereTheirDataLies) {
  std::vector<Expected> expected;
  const std::string archive = ValidArchive(expected);
  DataFileArchiveDirectory directory;
  ASSERT_TRUE(DataFileArchiveRead(folder_.path() + "valid.qma", directory));
  EXPECT_EQ(directory.version, 1);
  EXPECT_EQ(directory.declaredCount, 3);
  EXPECT_TRUE(directory.complete);
  ASSERT_EQ(directory.entries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const DataFileArchiveEntry& entry = directory.entries[i];
    EXPECT_EQ(entry.name, expected[i].name);
    EXPECT_EQ(archive.substr(entry.offset, entry.size), expected[i].data);
  }
}

TEST_F(DataFileDamageTest, DirectoryOfADamagedArchiveIsIncomplete) {
  std::vector<Expected> expected;
  const std::string archive = ValidArchive(expected);
  DataFileArchiveDirectory directory;
  folder_.write("cut.qma", archive.substr(0, expected[1].recordEnd));
  ASSERT_TRUE(DataFileArchiveRead(folder_.path() + "cut.qma", directory));
  EXPECT_EQ(directory.entries.size(), 2u);
  EXPECT_FALSE(directory.complete);
  folder_.write("short.qma", archive.substr(0, archive.size() - 1));
  ASSERT_TRUE(DataFileArchiveRead(folder_.path() + "short.qma", directory));
  EXPECT_EQ(directory.entries.size(), 3u);
  EXPECT_FALSE(directory.complete);
  folder_.write("header.qma", archive.substr(0, 10));
  EXPECT_FALSE(DataFileArchiveRead(folder_.path() + "header.qma", directory));
  EXPECT_FALSE(DataFileArchiveRead(folder_.path() + "missing.qma", directory));
}

}  // namespace
