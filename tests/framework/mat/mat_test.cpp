// Mats: exact bytes and round trips through both readers, run-length decoding,
// the nearest-colour query, damaged and hostile files, and the writer's
// refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/utilities/utilities.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/content_modules.h"
#include "tests/support/testsupport.h"

namespace {

using namespace std::string_view_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A mat file made field by field. Each field remembers the message a reader
// gives when the file ends inside it.
struct MatBytes {
  struct Field {
    size_t end = 0;
    std::string message;
  };
  std::string data;
  std::vector<Field> fields;

  MatBytes& Raw(std::string_view bytes, const std::string& message) {
    data += bytes;
    fields.push_back({data.size(), message});
    return *this;
  }
  MatBytes& Int(uint32_t value, int bytes, const std::string& message) {
    std::string field;
    for (int i = 0; i < bytes; ++i) {
      field += static_cast<char>(value >> (8 * i));
    }
    return Raw(field, message);
  }
  MatBytes& Header(int32_t width, int32_t height, uint8_t count, uint8_t major = 1,
                   uint8_t minor = 0) {
    return Raw("MAT", "Unable to read mat header.")
        .Int(major, 1, "Unable to read mat major version.")
        .Int(minor, 1, "Unable to read mat minor version.")
        .Int(static_cast<uint32_t>(width), 4, "Unable to read mat width.")
        .Int(static_cast<uint32_t>(height), 4, "Unable to read mat height.")
        .Int(count, 1, "Unable to read mat entry count.");
  }
  MatBytes& Entry(int n, uint32_t color, const std::string& name) {
    const std::string entry = "entry \"" + std::to_string(n) + "\".";
    Int(color, 4, "Unable to read mat color for " + entry);
    Int(static_cast<uint32_t>(name.size()), 1, "Unable to read mat name length for " + entry);
    return name.empty() ? *this : Raw(name, "Unable to read mat name for " + entry);
  }
  MatBytes& Run(uint16_t length, uint8_t index) {
    return Int(length, 2, "Unable to read mat run length.")
        .Int(index, 1, "Unable to read mat run index.");
  }
};

Mat MakeMat(int32_t width, int32_t height, std::vector<MatEntry> entries,
            std::vector<uint8_t> data) {
  Mat mat;
  mat.entries = std::move(entries);
  mat.width = width;
  mat.height = height;
  mat.data = std::move(data);
  return mat;
}

void ExpectSameMat(const Mat& actual, const Mat& expected, const std::string& what) {
  ASSERT_EQ(actual.entries.size(), expected.entries.size()) << what;
  for (size_t i = 0; i < expected.entries.size(); ++i) {
    EXPECT_EQ(actual.entries[i].name, expected.entries[i].name) << what << " entry " << i;
    EXPECT_EQ(actual.entries[i].color, expected.entries[i].color) << what << " entry " << i;
  }
  EXPECT_EQ(actual.width, expected.width) << what;
  EXPECT_EQ(actual.height, expected.height) << what;
  EXPECT_TRUE(actual.data == expected.data) << what;
}

bool IsEmptyMat(const Mat& mat) {
  return mat.entries.empty() && mat.width == 0 && mat.height == 0 && mat.data.empty();
}

// A program in a temporary folder with the data-file, log, utilities and mat
// modules started and the log kept in that folder.
class MatTest : public ::testing::Test {
 protected:
  void SetUp() override { modules_ = std::make_unique<ContentModules>(folder_.path()); }
  void TearDown() override { modules_.reset(); }

  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> errors;
    for (const std::string& line : SplitLines(folder_.read("results.log"))) {
      if (line.starts_with("Error: ")) {
        errors.push_back(line.substr(7));
      }
    }
    return errors;
  }
  void ClearLog() const { WriteWholeFile(folder_.path() + "results.log", ""); }

  // Saves through a direct file; the result of MatDirectSave.
  int32_t Save(const Mat& mat, const std::string& relative = "out.mat") const {
    const int32_t file = DataFileDirectCreate(folder_.path() + relative);
    const int32_t result = MatDirectSave(file, mat);
    DataFileDirectClose(file);
    return result;
  }
  // Reads with MatDirectOpen from a direct file.
  Mat ReadDirect(const std::string& relative) const {
    Mat mat = MakeMat(1, 1, {{"stale", 1}}, {0});  // a failed read must empty it
    const int32_t file = DataFileDirectOpen(folder_.path() + relative);
    MatDirectOpen(file, mat);
    DataFileDirectClose(file);
    return mat;
  }
  // Reads with MatOpen, the content-file reader, by a content name.
  Mat ReadContent(const std::string& relative) const {
    Mat mat = MakeMat(1, 1, {{"stale", 1}}, {0});
    std::string name = relative;
    std::replace(name.begin(), name.end(), '/', '\\');
    MatOpen(name, mat);
    return mat;
  }

  TempFolder folder_;
  std::unique_ptr<ContentModules> modules_;
};

// --- Writing and reading back ---------------------------------------------------

TEST_F(MatTest, SavedBytesAreExactAndBothReadersGiveTheMatBack) {
  // The first row ends and the second begins with index 1: one run across the
  // row end. The top byte of a colour is kept; an empty name has no bytes.
  const Mat small = MakeMat(4, 2, {{"Walk", 0x00FF0000}, {"", 0x120000FF}},
                            {0, 0, 1, 1,  //
                             1, 0, 0, 0});
  ASSERT_EQ(Save(small), 3);
  EXPECT_EQ(folder_.read("out.mat"),
            "MAT\x01\x00"
            "\x04\x00\x00\x00"
            "\x02\x00\x00\x00"
            "\x02"
            "\x00\x00\xFF\x00\x04Walk"
            "\xFF\x00\x00\x12\x00"
            "\x02\x00\x00"
            "\x03\x00\x01"
            "\x03\x00\x00"sv);

  // One colour over 300 x 300 pixels: runs of 65535 and 24465.
  const Mat plain = MakeMat(300, 300, {{"Floor", 0x808080}}, std::vector<uint8_t>(90000, 0));
  ASSERT_EQ(Save(plain, "plain.mat"), 3);
  EXPECT_EQ(folder_.read("plain.mat").substr(24), "\xFF\xFF\x00\x91\x5F\x00"sv);

  // A mat with long stretches, short ones and 255 entries, through both readers
  // and written again: the same mat and the same bytes.
  std::vector<MatEntry> entries;
  for (int i = 0; i < 255; ++i) {
    entries.push_back({std::string(static_cast<size_t>(i), static_cast<char>('a' + i % 26)),
                       static_cast<uint32_t>(i) * 0x010203});
  }
  std::vector<uint8_t> data(640 * 200);
  for (size_t i = 0; i < data.size(); ++i) {
    data[i] = static_cast<uint8_t>(i < 70000 ? 7 : (i * 2654435761u >> 13) % 255);
  }
  const Mat big = MakeMat(640, 200, entries, data);
  ASSERT_EQ(Save(big, "big.mat"), 3);
  for (const auto& [what, read] :
       {std::pair{"direct", ReadDirect("big.mat")}, std::pair{"content", ReadContent("big.mat")}}) {
    ExpectSameMat(read, big, what);
    ASSERT_EQ(Save(read, "again.mat"), 3);
    EXPECT_TRUE(folder_.read("again.mat") == folder_.read("big.mat")) << what;
  }
  EXPECT_THAT(ErrorLines(), IsEmpty());
}

TEST_F(MatTest, ReadersFindAMatInsideALargerFileAndStopAfterItsLastRun) {
  // A 3 x 3 mat whose runs cross both row ends, include a run of 0 pixels and
  // overshoot the last pixel by two; the bytes after it (a run that no mat
  // could hold) are not read.
  const std::string mat = MatBytes{}
                              .Header(3, 3, 3)
                              .Entry(1, 0x000000, "Wall")
                              .Entry(2, 0xFFFFFF, "Floor")
                              .Entry(3, 0x00FF00, "Door")
                              .Run(4, 1)
                              .Run(0, 2)
                              .Run(2, 0)
                              .Run(5, 1)
                              .data;
  const std::string file = "head" + mat + "\x01\x00\x09tail";
  folder_.write("embedded.bin", file);

  const int32_t content = DataFileOpen("embedded.bin");
  ASSERT_TRUE(DataFileSeek(content, 4));
  MatRaw raw;
  MatOpenRawEmbedded(content, raw);
  EXPECT_EQ(DataFileTell(content), static_cast<int32_t>(4 + mat.size()));
  DataFileClose(content);
  ASSERT_EQ(raw.runs.size(), 4u);
  EXPECT_EQ(raw.runs[1].length, 0);

  Mat fromRaw;
  MatDecode(raw, fromRaw);
  const int32_t direct = DataFileDirectOpen(folder_.path() + "embedded.bin");
  ASSERT_TRUE(DataFileDirectSeek(direct, 4));
  Mat fromDirect;
  MatDirectOpen(direct, fromDirect);
  EXPECT_EQ(DataFileDirectTell(direct), static_cast<int32_t>(4 + mat.size()));
  DataFileDirectClose(direct);
  for (const Mat* decoded : {&fromRaw, &fromDirect}) {
    EXPECT_THAT(decoded->data, ElementsAre(1, 1, 1,  //
                                           1, 0, 0,  //
                                           1, 1, 1));
  }

  // Runs that fall short leave the rest at index 0; decoding again into the
  // same mat writes every pixel anew.
  raw.runs = {{5, 2}};
  MatDecode(raw, fromRaw);
  EXPECT_THAT(fromRaw.data, ElementsAre(2, 2, 2, 2, 2, 0, 0, 0, 0));
  EXPECT_THAT(ErrorLines(), IsEmpty());
}

// --- Queries --------------------------------------------------------------------

TEST_F(MatTest, NearestEntryTakesTheFirstOfEquallyNearOnesAndIgnoresTheTopByte) {
  const Mat mat = MakeMat(2, 1,
                          {{"dark", 0xFF101010},  // distance 3 x 0x10 from 0x202020
                           {"light", 0x00303030},
                           {"red", 0x00FF0000}},
                          {2, 1});
  EXPECT_EQ(MatNearestEntryName(mat, 0x00202020), "dark");
  EXPECT_EQ(MatNearestEntryName(mat, 0x00212121), "light");
  EXPECT_EQ(MatNearestEntryName(mat, 0xAAF00000), "red");
  EXPECT_EQ(MatNearestEntryName(mat, 0x00FFFFFF), "red");  // 510 beats 3 x 0xCF
  EXPECT_EQ(MatNearestEntryName(Mat{}, 0x00202020), "");

  EXPECT_EQ(MatEntryAt(mat, 0, 0), 2);
  EXPECT_EQ(MatEntryAt(mat, 1, 0), 1);
  for (const auto& [x, y] :
       {std::pair{-1, 0}, std::pair{2, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
    EXPECT_EQ(MatEntryAt(mat, x, y), -1) << x << "," << y;
  }
  EXPECT_EQ(MatEntryAt(MakeMat(2, 1, {{"only", 0}}, {0, 1}), 1, 0), -1);
}

// --- Damaged and hostile files ---------------------------------------------------

TEST_F(MatTest, EveryCutOfAFileNamesTheFieldItEndsIn) {
  const MatBytes whole =
      MatBytes{}.Header(2, 2, 2).Entry(1, 0x123456, "Zone").Entry(2, 0, "").Run(3, 1).Run(1, 0);
  folder_.write("whole.mat", whole.data);
  ExpectSameMat(ReadDirect("whole.mat"), MakeMat(2, 2, {{"Zone", 0x123456}, {"", 0}}, {1, 1, 1, 0}),
                "whole");
  size_t field = 0;
  for (size_t size = 0; size < whole.data.size(); ++size) {
    while (whole.fields[field].end <= size) {
      ++field;
    }
    folder_.write("cut.mat", whole.data.substr(0, size));
    ClearLog();
    EXPECT_TRUE(IsEmptyMat(ReadDirect("cut.mat"))) << size;
    EXPECT_TRUE(IsEmptyMat(ReadContent("cut.mat"))) << size;
    const std::string& message = whole.fields[field].message;
    EXPECT_THAT(ErrorLines(),
                ElementsAre("MatDirectOpen - " + message, "MatOpenRawEmbedded - " + message))
        << size;
  }
}

TEST_F(MatTest, DamagedAndHostileFilesGiveAnEmptyMatWithoutLargeAllocations) {
  const auto withRuns = [](int32_t width, int32_t height, int runs, uint16_t length) {
    MatBytes bytes = MatBytes{}.Header(width, height, 1).Entry(1, 0, "x");
    for (int i = 0; i < runs; ++i) {
      bytes.Run(length, 0);
    }
    return bytes.data;
  };
  struct Case {
    std::string what;
    std::string file;
    std::string message;
    size_t allocationBound = 64 * 1024;
  };
  const std::vector<Case> cases = {
      {"lower-case id", "mat" + withRuns(1, 1, 1, 1).substr(3), "Unrecognized mat header."},
      {"major version 2", MatBytes{}.Header(1, 1, 1, 2).data,
       "Unsupported mat major version \"2\"."},
      {"minor version 1", MatBytes{}.Header(1, 1, 1, 1, 1).data,
       "Unsupported mat minor version \"1\"."},
      {"width 0", MatBytes{}.Header(0, 1, 1).data, "No mat width."},
      {"negative width", MatBytes{}.Header(-3, 1, 1).data, "No mat width."},
      {"height 0", MatBytes{}.Header(1, 0, 1).data, "No mat height."},
      {"negative height", MatBytes{}.Header(5, INT32_MIN, 1).data, "No mat height."},
      {"no entries", MatBytes{}.Header(1, 1, 0).Run(1, 0).data, "No mat entries."},
      {"run index equal to the entry count",
       MatBytes{}.Header(2, 1, 2).Entry(1, 0, "a").Entry(2, 0, "b").Run(1, 0).Run(1, 2).data,
       "Invalid mat run index \"2\"."},
      // 460 KB of the longest runs would cover 10 G pixels of a mat this size.
      {"beyond the size limit", withRuns(8192, 8193, 153000, 65535),
       "Mat of 8192 x 8193 pixels exceeds the limit of 67108864 pixels."},
      {"largest size, runs end early", withRuns(8192, 8192, 1000, 65535),
       "Unable to read mat run length."},
      // Runs are kept as they are read, 4 bytes each, until the file ends.
      {"largest size, runs of 0 pixels", withRuns(8192, 8192, 30000, 0),
       "Unable to read mat run length.", 256 * 1024},
  };
  for (const Case& c : cases) {
    folder_.write("bad.mat", c.file);
    ClearLog();
    AllocationProbeReset();
    const Mat direct = ReadDirect("bad.mat");
    const Mat content = ReadContent("bad.mat");
    MatRaw raw{{{"stale", 1}}, 1, 1, {{1, 0}}};
    MatOpenRaw("bad.mat", raw);
    EXPECT_LT(AllocationProbeLargest(), c.allocationBound) << c.what;
    EXPECT_TRUE(IsEmptyMat(direct)) << c.what;
    EXPECT_TRUE(IsEmptyMat(content)) << c.what;
    EXPECT_TRUE(raw.entries.empty() && raw.width == 0 && raw.height == 0 && raw.runs.empty())
        << c.what;
    EXPECT_THAT(ErrorLines(),
                ElementsAre("MatDirectOpen - " + c.message, "MatOpenRawEmbedded - " + c.message,
                            "MatOpenRawEmbedded - " + c.message))
        << c.what;
  }

  ClearLog();
  MatRaw raw;
  MatOpenRaw("Bin\\missing.mat", raw);
  EXPECT_FALSE(MatRawIsValid(raw));
  EXPECT_THAT(ErrorLines(), ElementsAre("MatOpenRaw - Unable to open \"Bin\\missing.mat\"."));
}

// --- Writer refusals ------------------------------------------------------------

TEST_F(MatTest, TheWriterRefusesMatsNoReaderCouldTakeBackAndReportsFailedWrites) {
  std::vector<MatEntry> tooMany(256, MatEntry{"e", 0});
  struct Case {
    std::string what;
    Mat mat;
    std::vector<std::string> errors;
  };
  const std::vector<Case> cases = {
      {"empty", Mat{}, {}},
      {"no entries", MakeMat(1, 1, {}, {0}), {}},
      {"pixels missing", MakeMat(2, 2, {{"a", 0}}, {0, 0, 0}), {}},
      {"negative size", MakeMat(-1, -1, {{"a", 0}}, {0}), {}},
      {"256 entries",
       MakeMat(1, 1, tooMany, {0}),
       {"MatDirectSave - Unable to save a mat of \"256\" entries; a mat holds at most 255."}},
      {"name of 256 bytes",
       MakeMat(1, 1, {{"a", 0}, {std::string(256, 'n'), 0}}, {0}),
       {"MatDirectSave - Name of entry \"2\" is longer than 255 bytes."}},
      {"pixel without entry",
       MakeMat(2, 1, {{"a", 0}, {"b", 0}}, {1, 2}),
       {"MatDirectSave - Pixel index \"2\" names no entry."}},
  };
  for (const Case& c : cases) {
    ClearLog();
    folder_.write("refused.mat", "old");
    const int32_t file = DataFileDirectOpen(folder_.path() + "refused.mat");
    EXPECT_EQ(MatDirectSave(file, c.mat), 1) << c.what;
    DataFileDirectClose(file);
    EXPECT_EQ(folder_.read("refused.mat"), "old") << c.what;
    EXPECT_EQ(ErrorLines(), c.errors) << c.what;
  }

  ClearLog();
  const int32_t full = DataFileDirectCreate("/dev/full");
  ASSERT_NE(full, 0);
  EXPECT_EQ(MatDirectSave(full, MakeMat(1, 1, {{"a", 0}}, {0})), 2);
  DataFileDirectClose(full);
  EXPECT_THAT(ErrorLines(), ElementsAre("MatDirectSave - Unable to write MAT ID."));
}

TEST_F(MatTest, TheVersionLineIsLoggedOncePerStart) {
  TearDown();
  modules_ = std::make_unique<ContentModules>(folder_.path(), ContentModules::kWithMats,
                                              std::vector<std::string>{"-userdatainapp", "-ver"});
  MatStart();
  const std::vector<std::string> lines = SplitLines(folder_.read("results.log"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "    qmrMat - Version 1.0"), 1);
}

}  // namespace
