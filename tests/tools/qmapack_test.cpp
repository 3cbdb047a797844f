// The qmapack tool: pack, list and extract round trips, patch sets that the
// data-file module then reads, and refusals of bad arguments and archives.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "framework/datafile/datafile.h"
#include "tests/support/testsupport.h"
#include "tools/qmapack/qmawriter.h"

namespace {

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class QmapackTest : public ::testing::Test {
 protected:
  // Runs the tool with the arguments (paths here hold no quotes).
  ToolRun Run(const std::vector<std::string>& args) const {
    std::string command = QMAPACK_BINARY;
    for (const std::string& arg : args) {
      command += " '" + arg + "'";
    }
    command += " >'" + work_.path() + "out.txt' 2>'" + work_.path() + "err.txt'";
    const int status = std::system(command.c_str());
    return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, work_.read("out.txt"),
                   work_.read("err.txt")};
  }

  // A content tree with nested folders, binary bytes and an empty file.
  void WriteTree() const {
    std::string binary;
    for (int i = 0; i < 70000; ++i) {
      binary += static_cast<char>(i * 31);
    }
    source_.write("Bin/Rooms/Hall.vmc", binary);
    source_.write("Bin/Common/Fonts/Cubes.fot", "font");
    source_.write("Bin/empty.txt", "");
    source_.write("readme.txt", "top level");
  }

  TempFolder work_;
  TempFolder source_;
};

TEST_F(QmapackTest, PackListExtractGiveBackTheSameFiles) {
  WriteTree();
  const std::string archive = work_.path() + "game.qma";
  ToolRun run = Run({"pack", source_.path(), archive});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  run = Run({"list", archive});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(SplitLines(run.out), (std::vector<std::string>{
                                     "version 1, 4 entries",
                                     "4\tBin\\Common\\Fonts\\Cubes.fot",
                                     "70000\tBin\\Rooms\\Hall.vmc",
                                     "0\tBin\\empty.txt",
                                     "9\treadme.txt",
                                 }));

  run = Run({"extract", archive, work_.path() + "out"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* file :
       {"Bin/Rooms/Hall.vmc", "Bin/Common/Fonts/Cubes.fot", "Bin/empty.txt", "readme.txt"}) {
    ASSERT_TRUE(work_.exists(std::string("out/") + file)) << file;
    EXPECT_EQ(work_.read(std::string("out/") + file), source_.read(file)) << file;
  }
}

TEST_F(QmapackTest, ArchiveInsideThePackedFolderIsNotPackedIntoItself) {
  WriteTree();
  const std::string archive = source_.path() + "self.qma";
  ASSERT_EQ(Run({"pack", source_.path(), archive}).exitCode, 0);
  ASSERT_EQ(Run({"pack", source_.path(), archive}).exitCode, 0);
  const ToolRun run = Run({"list", archive});
  EXPECT_EQ(run.out.find("self.qma"), std::string::npos) << run.out;
}

TEST_F(QmapackTest, PatchArchivesOverrideContentForTheGame) {
  TempFolder program;
  program.write("patch/Bin/x.txt", "patched");
  program.write("base/Bin/x.txt", "original");
  ASSERT_EQ(Run({"pack", program.path() + "base", program.path() + "base.qma"}).exitCode, 0);
  ToolRun run = Run({"pack", program.path() + "patch", program.path() + "zz.qma", "--patch", "12",
                     "--version", "511"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  run = Run({"list", program.path() + "zz.qma"});
  EXPECT_EQ(SplitLines(run.out),
            (std::vector<std::string>{"version 511, 1 entry", "7\tPATCH000012\\Bin\\x.txt"}));

  HeadlessPlatform platform(program.path());
  DataFileStart();
  const int32_t id = DataFileOpen("Bin\\x.txt");
  char text[8] = {};
  EXPECT_EQ(DataFileRead(id, text, 7), 7);
  EXPECT_STREQ(text, "patched");
  DataFileStop();
}

TEST_F(QmapackTest, HelpPrintsTheUsage) {
  const ToolRun run = Run({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("qmapack pack <folder> <archive.qma>"), std::string::npos);
  EXPECT_EQ(run.err, "");
}

TEST_F(QmapackTest, BadArgumentsAreRefused) {
  WriteTree();
  const std::string archive = work_.path() + "a.qma";
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"unpack", archive},
      {"pack", source_.path()},
      {"pack", source_.path(), archive, "--patch", "0"},
      {"pack", source_.path(), archive, "--patch", "1000000"},
      {"pack", source_.path(), archive, "--patch"},
      {"pack", source_.path(), archive, "--version", "512"},
      {"pack", source_.path(), archive, "--level", "9"},
      {"list"},
      {"list", archive, archive},
      {"extract", archive},
  };
  for (const auto& args : bad) {
    const ToolRun run = Run(args);
    EXPECT_NE(run.exitCode, 0) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("usage: qmapack"), std::string::npos) << testing::PrintToString(args);
  }
  EXPECT_FALSE(work_.exists("a.qma"));
}

TEST_F(QmapackTest, MissingFolderAndBadArchivesNameTheFile) {
  const std::string missing = work_.path() + "missing";
  ToolRun run = Run({"pack", missing, work_.path() + "a.qma"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(run.err.starts_with(missing + ": ")) << run.err;

  const std::string notArchive = work_.write("text.qma", "plain text, not an archive");
  for (const auto& args : {std::vector<std::string>{"list", notArchive},
                           std::vector<std::string>{"extract", notArchive, work_.path() + "out"}}) {
    run = Run(args);
    EXPECT_NE(run.exitCode, 0) << args[0];
    EXPECT_TRUE(run.err.starts_with(notArchive + ": ")) << run.err;
  }
}

TEST_F(QmapackTest, DamagedArchiveListsWhatIsReadableAndFails) {
  WriteTree();
  const std::string archive = work_.path() + "game.qma";
  ASSERT_EQ(Run({"pack", source_.path(), archive}).exitCode, 0);
  const std::string bytes = work_.read("game.qma");
  const std::string cut = work_.write("cut.qma", bytes.substr(0, bytes.size() - 100));
  const ToolRun run = Run({"list", cut});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_EQ(SplitLines(run.out).size(), 5u);
  EXPECT_TRUE(run.err.starts_with(cut + ": damaged")) << run.err;
}

TEST_F(QmapackTest, NamesThatDifferOnlyInCaseAreRefused) {
  WriteTree();
  source_.write("bin/rooms/HALL.vmc", "another hall");
  const ToolRun run = Run({"pack", source_.path(), work_.path() + "a.qma"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.starts_with(source_.path() + ": ")) << run.err;
  EXPECT_NE(
      run.err.find("\"Bin\\Rooms\\Hall.vmc\" and \"bin\\rooms\\HALL.vmc\" differ only in case"),
      std::string::npos)
      << run.err;
  EXPECT_FALSE(work_.exists("a.qma"));
}

TEST_F(QmapackTest, ExtractRefusesNamesThatLeaveTheFolder) {
  for (const char* name : {"..\\escape.txt", "Bin\\..\\..\\escape.txt", "\\abs.txt", "C:\\x.txt"}) {
    QmaWriter writer;
    QmaWriterAddMemory(writer, "Bin\\fine.txt", "fine");
    QmaWriterAddMemory(writer, name, "bad");
    std::string error;
    ASSERT_TRUE(QmaWriterSave(writer, work_.path() + "evil.qma", error)) << error;
    const ToolRun run = Run({"extract", work_.path() + "evil.qma", work_.path() + "out/inner"});
    EXPECT_NE(run.exitCode, 0) << name;
    EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
    EXPECT_FALSE(work_.exists("out/inner/Bin/fine.txt")) << name;
    EXPECT_FALSE(work_.exists("escape.txt")) << name;
    EXPECT_FALSE(work_.exists("out/escape.txt")) << name;
  }
}

}  // namespace
