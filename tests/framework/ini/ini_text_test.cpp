#include <gtest/gtest.h>

#include "framework/ini/ini_text.h"

namespace {

TEST(IniText, FindsValuesIgnoringCaseAndBlanks) {
  const std::string text =
      "; comment\r\n[Video]\r\n  Width = 1024 \r\nHEIGHT=768\r\nTitle=\"quoted value\"\r\n"
      "[audio]\r\nMaster Volume=80\r\n";
  EXPECT_EQ(IniTextFind(text, "video", "width"), "1024");
  EXPECT_EQ(IniTextFind(text, "VIDEO", "Height"), "768");
  EXPECT_EQ(IniTextFind(text, "Video", "Title"), "quoted value");
  EXPECT_EQ(IniTextFind(text, "Audio", "master volume"), "80");
  EXPECT_EQ(IniTextFind(text, "Audio", "Width"), std::nullopt);  // keys belong to their section
  EXPECT_EQ(IniTextFind(text, "Missing", "Width"), std::nullopt);
}

TEST(IniText, BrokenLinesAndDuplicatesReadSafely) {
  std::string text = "[A]\nno equals sign\nkey=first\nkey=second\n[a]\nkey=third\nother=x\n";
  text += std::string("\0\xff\xfe garbage\n", 12);
  text += "[B\nk=v\n";  // unclosed header still names a section
  EXPECT_EQ(IniTextFind(text, "A", "key"), "first");
  EXPECT_EQ(IniTextFind(text, "A", "no equals sign"), std::nullopt);
  EXPECT_EQ(IniTextFind(text, "A", "other"), std::nullopt);  // only the first [A] counts
  EXPECT_EQ(IniTextFind(text, "B", "k"), "v");
  EXPECT_EQ(IniTextFind("", "A", "key"), std::nullopt);
}

// A section's keys read in one pass give what reading each key gives.
TEST(IniText, ASectionsKeysAreThoseItsReadsFind) {
  std::string text = "[Other]\nx=0\n[List]\n Count = 3 \nno equals\n; k=comment\nItem1=\"a\"\n";
  text += "ITEM1=shadowed\nitem2 = b = c\n" + std::string("\0\xff=junk\n", 8);
  text += "[list]\nItem3=second section\n";
  const std::vector<IniKey> keys = IniTextKeys(text, "LIST");
  std::vector<IniKey> found;
  for (const IniKey& key : keys) {
    found.push_back({key.name, IniTextFind(text, "LIST", key.name).value_or("missing")});
  }
  EXPECT_EQ(keys, found);
  EXPECT_EQ(
      keys,
      (std::vector<IniKey>{
          {"Count", "3"}, {"Item1", "a"}, {"item2", "b = c"}, {std::string("\0\xff", 2), "junk"}}));
  EXPECT_TRUE(IniTextKeys(text, "Missing").empty());
  EXPECT_TRUE(IniTextKeys("", "List").empty());
}

TEST(IniText, VeryLongValuesAreKeptWhole) {
  const std::string value(100000, 'x');
  const std::string text = IniTextSet("", "S", "K", value);
  EXPECT_EQ(IniTextFind(text, "S", "K"), value);
}

TEST(IniText, SettingKeepsEveryOtherByte) {
  const std::string text = "[Video]\r\nWidth=1024\r\nHeight=768\r\n\r\n[Audio]\r\nMaster=80\r\n";
  EXPECT_EQ(IniTextSet(text, "video", "WIDTH", "800"),
            "[Video]\r\nWIDTH=800\r\nHeight=768\r\n\r\n[Audio]\r\nMaster=80\r\n");
  EXPECT_EQ(IniTextSet(text, "Video", "BPP", "32"),
            "[Video]\r\nWidth=1024\r\nHeight=768\r\nBPP=32\r\n\r\n[Audio]\r\nMaster=80\r\n");
  EXPECT_EQ(IniTextSet(text, "Controls", "Mode", "1"), text + "[Controls]\r\nMode=1\r\n");
}

TEST(IniText, SettingIntoFilesWithoutFinalLineEndOrWithLf) {
  EXPECT_EQ(IniTextSet("[A]\nx=1", "A", "y", "2"), "[A]\nx=1\ny=2\n");
  EXPECT_EQ(IniTextSet("[A]\nx=1", "B", "y", "2"), "[A]\nx=1\n[B]\ny=2\n");
  EXPECT_EQ(IniTextSet("", "A", "x", "1"), "[A]\r\nx=1\r\n");
}

}  // namespace
