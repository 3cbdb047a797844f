// The fotmake tool run as authors run it: a font that Debian ships becomes a
// ".fot" that the font module reads back with the advances FreeType gives;
// bad arguments and unreadable fonts are refused.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "tests/support/testsupport.h"

namespace {

ToolRun RunTool(const TempFolder& work, const std::vector<std::string>& args) {
  return ::RunTool(FOTMAKE_BINARY, work, args);
}

// The advance of each character in whole pixels, as FreeType hints it.
std::vector<int32_t> FreeTypeAdvances(int32_t size, int32_t first, int32_t last,
                                      std::string& family) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::vector<int32_t> advances;
  if (FT_Init_FreeType(&library) == 0 && FT_New_Face(library, DEJAVU_SANS, 0, &face) == 0 &&
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) == 0) {
    family = face->family_name;
    for (int32_t c = first; c <= last; ++c) {
      FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_DEFAULT);
      advances.push_back(static_cast<int32_t>((face->glyph->advance.x + 32) >> 6));
    }
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return advances;
}

TEST(FotmakeTest, TheFontModuleReadsBackTheAdvancesFreeTypeGives) {
  TempFolder folder;
  const ToolRun run =
      RunTool(folder, {DEJAVU_SANS, folder.path() + "Sans.fot", "--size", "13", "--last", "126"});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  HeadlessPlatform platform(folder.path(), {"-userdatainapp"});
  DataFileStart();
  LogStart();
  FontStart();
  ModelStart();
  ModelDisplayAdd(1);
  FontDisplayAdd(1);
  const int32_t font = FontOpen(1, "Sans.fot");
  ASSERT_GT(font, 0) << folder.read("results.log");

  std::string family;
  const std::vector<int32_t> advances = FreeTypeAdvances(13, 32, 126, family);
  ASSERT_EQ(advances.size(), 95u);
  for (int32_t c = 32; c <= 126; ++c) {
    EXPECT_EQ(FontTextWidth(font, std::string(1, static_cast<char>(c))), advances[c - 32])
        << "character " << c;
  }
  EXPECT_EQ(FontTextWidth(font, "\x1F\x7F\xE9"), 0);  // outside the set
  EXPECT_EQ(FontFindByName(1, family), font);
  EXPECT_GE(FontGetHeight(font), 14);
  ModelStop();
  FontStop();
  LogStop();
  DataFileStop();
}

TEST(FotmakeTest, HelpPrintsTheUsage) {
  TempFolder folder;
  const ToolRun run = RunTool(folder, {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("usage: fotmake", 0), 0u) << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(FotmakeTest, BadArgumentsAndFilesAreRefused) {
  TempFolder folder;
  const std::string out = folder.path() + "x.fot";
  const std::string text = folder.write("text.ttf", "not a font");
  const std::vector<std::vector<std::string>> usage = {
      {},
      {DEJAVU_SANS, out},
      {DEJAVU_SANS, out, "--size", "0"},
      {DEJAVU_SANS, out, "--size", "12", "--first", "200", "--last", "100"},
      {DEJAVU_SANS, out, "--size", "12", "--colour", "1"},
      {DEJAVU_SANS, "--size", "12"},
  };
  for (const auto& args : usage) {
    const ToolRun run = RunTool(folder, args);
    EXPECT_EQ(run.exitCode, 2) << args.size();
    EXPECT_EQ(run.err.rfind("fotmake: ", 0), 0u) << run.err;
  }
  ToolRun run = RunTool(folder, {text, out, "--size", "12"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, text + ": not a font FreeType can read, or no face 0\n");
  run = RunTool(folder, {DEJAVU_SANS, folder.path() + "no/such/folder.fot", "--size", "12"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, folder.path() + "no/such/folder.fot: cannot be written\n");
  EXPECT_FALSE(folder.exists("x.fot"));
}

}  // namespace
