// The source line table writer: a small table byte for byte against a
// hand-made expectation, including the ordering rules, and its refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tools/vmc/vmclines.h"

namespace {

using ::testing::HasSubstr;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) {
    bytes += static_cast<char>(value);
  }
  return bytes;
}

TEST(VmcLinesTest, SmallTableMatchesTheHandMadeBytes) {
  const std::string code = "abc" + std::string(300, '\0');
  // Out of order; two entries at offset 5 (the last wins); offset 9 repeats
  // the position before it and is dropped.
  const std::vector<VmcLineEntry> entries = {
      {260, "lib.vms", 70000, 2}, {5, "a.vms", 1, 1}, {0, "a.vms", 3, 4},
      {5, "a.vms", 2, 9},         {9, "a.vms", 2, 9},
  };
  std::string bytes;
  std::string error;
  ASSERT_TRUE(VmcLinesBytes(code, entries, bytes, error)) << error;

  const uint32_t hash = VmcLinesCodeHash(code);
  const std::string expected =
      "VMCL" + Bytes({1, 0, 0, 0}) + Bytes({0x2F, 0x01, 0, 0}) +
      Bytes({static_cast<int>(hash & 0xFF), static_cast<int>((hash >> 8) & 0xFF),
             static_cast<int>((hash >> 16) & 0xFF), static_cast<int>(hash >> 24)}) +
      Bytes({2, 0}) + Bytes({5, 0}) + "a.vms" + Bytes({7, 0}) + "lib.vms" +  // files
      Bytes({3, 0, 0, 0}) +                                                  // entries
      Bytes({0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}) +
      Bytes({5, 0, 0, 0, 0, 0, 2, 0, 0, 0, 9, 0, 0, 0}) +
      Bytes({4, 1, 0, 0, 1, 0, 0x70, 0x11, 1, 0, 2, 0, 0, 0});
  EXPECT_EQ(bytes, expected);
  // The published FNV-1a value of "a", so readers elsewhere agree.
  EXPECT_EQ(VmcLinesCodeHash("a"), 0xE40C292Cu);
}

TEST(VmcLinesTest, RefusesWhatTheTableCannotHold) {
  std::string bytes;
  std::string error;
  EXPECT_FALSE(VmcLinesBytes("ab", {{3, "a.vms", 1, 1}}, bytes, error));
  EXPECT_THAT(error, HasSubstr("past the code"));
  EXPECT_FALSE(VmcLinesBytes("ab", {{0, std::string(65536, 'x'), 1, 1}}, bytes, error));
  EXPECT_THAT(error, HasSubstr("65535"));
  EXPECT_FALSE(VmcLinesSave("ab", {}, "/nonexistent-folder/x.vmc", error));
  EXPECT_THAT(error, HasSubstr("/nonexistent-folder/x.vmc.lines: cannot write"));
}

}  // namespace
