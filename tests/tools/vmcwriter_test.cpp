// The script file writer: a small file byte for byte against a hand-made
// expectation, and the refusals of what a file cannot hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tools/vmc/vmcwriter.h"

namespace {

using ::testing::HasSubstr;

// Bytes from numbers and characters, so the expectation reads field by field.
std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) {
    bytes += static_cast<char>(value);
  }
  return bytes;
}

TEST(VmcWriterTest, SmallVersion9FileMatchesTheHandMadeBytes) {
  VmcCode code(9);
  code.Push(VmcString("hi"));
  code.Jump("end");  // forward reference
  code.Label("listen");
  code.Move(VmcInt(7), VmcParam(1));
  code.Label("end");
  code.Return();

  VmcScript script;
  script.version = 9;
  script.routines = {"Walk"};
  VmcObject title = VmcObjectNew(kVmcLabel, "TITLE");
  title.display = 1;
  title.order = 2;
  title.label.left = 10;
  title.label.top = 20;
  title.label.font = "a.fot";
  title.label.color = 0xFF0000;
  title.label.alpha = 0x50;
  title.label.text = "Hi";
  title.label.wrapWidth = 100;
  title.label.wrapHeight = 99;  // stored from version 10 on: left out
  title.label.wrapLineOffset = 3;
  title.label.firstLine = 4;  // version 10 on
  title.label.align = 1;      // version 14 on
  script.objects.push_back(title);
  script.listener = 1;
  std::string error;
  ASSERT_TRUE(code.Finish(script.code, error)) << error;
  script.listenerAddress = code.LabelOffset("listen");

  std::string bytes;
  ASSERT_TRUE(VmcWriterBytes(script, bytes, error)) << error;
  const std::string expected =
      Bytes({9, 0, 0, 0}) +                                       // version
      Bytes({1, 0, 0, 0, 4, 'W', 'a', 'l', 'k'}) +                // routine names
      Bytes({1, 0, 0, 0}) +                                       // object count
      Bytes({4, 0, 0, 0, 5, 'T', 'I', 'T', 'L', 'E', 1}) +        // type, name, display
      Bytes({2, 0, 0, 0}) +                                       // order
      Bytes({10, 0, 0, 0, 20, 0, 0, 0}) +                         // left, top
      Bytes({5, 'a', '.', 'f', 'o', 't', 0, 0, 0xFF, 0, 0x50}) +  // font, color, alpha
      Bytes({2, 'H', 'i', 1}) +                                   // text, visible
      Bytes({100, 0, 0, 0, 3, 0, 0, 0}) +                         // wrapWidth, wrapLineOffset
      Bytes({1, 11, 0, 0, 0, 23, 0, 0, 0}) +                      // listener, address, code count
      Bytes({25, 2, 2, 0, 'h', 'i'}) +                            // push "hi" (two length bytes)
      Bytes({10, 22, 0, 0, 0}) +                                  // jump end
      Bytes({17 | 0x80, 0, 7, 0, 0, 0, 1, 1, 0, 0, 0}) +          // move 7 to parameter 1
      Bytes({0});                                                 // return
  EXPECT_EQ(bytes, expected);

  // Below version 9 a string literal has one length byte.
  VmcCode old(8);
  old.Push(VmcString("hi"));
  ASSERT_TRUE(old.Finish(script.code, error)) << error;
  EXPECT_EQ(script.code, Bytes({25, 2, 2, 'h', 'i'}));
}

TEST(VmcWriterTest, ListAttributesWithItemIndexesAndFlags) {
  VmcCode code;
  code.SetAttribute(3, 5, VmcLocal(2), VmcInt(4));
  code.GetAttribute(0x102, 21, VmcParam(1));
  code.JumpIf(kVmcJumpLess, VmcSlot(0), VmcBool(true), 0x01020304);
  std::string bytes;
  std::string error;
  ASSERT_TRUE(code.Finish(bytes, error)) << error;
  EXPECT_EQ(bytes, Bytes({33 | 0x40, 3, 0, 5, 3, 4, 0, 0, 0, 2, 2, 0, 0, 0}) +
                       Bytes({34, 2, 1, 21, 1, 1, 0, 0, 0}) +
                       Bytes({14 | 0x40, 0, 0, 0, 0, 0, 1, 1, 4, 3, 2, 1}));
}

TEST(VmcWriterTest, RefusesWhatTheFileCannotHold) {
  std::string bytes;
  std::string error;

  VmcCode undefined;
  undefined.Fork("nowhere");
  EXPECT_FALSE(undefined.Finish(bytes, error));
  EXPECT_THAT(error, HasSubstr("label \"nowhere\" is used but never placed"));

  VmcCode twice;
  twice.Label("here");
  twice.Nop();
  twice.Label("here");
  EXPECT_FALSE(twice.Finish(bytes, error));
  EXPECT_THAT(error, HasSubstr("label \"here\" is placed twice"));

  VmcCode textItem;
  textItem.GetAttribute(0, 5, VmcString("1"));
  EXPECT_FALSE(textItem.Finish(bytes, error));
  EXPECT_THAT(error, HasSubstr("item index"));

  const std::string longText(256, 'x');
  VmcCode version8(8);
  version8.Push(VmcString(longText));
  EXPECT_FALSE(version8.Finish(bytes, error));
  EXPECT_THAT(error, HasSubstr("does not fit version 8"));
  VmcCode version9(9);
  version9.Push(VmcString(longText));
  EXPECT_TRUE(version9.Finish(bytes, error));
  EXPECT_EQ(bytes.size(), 1u + 1u + 2u + 256u);

  VmcScript script;
  script.objects.push_back(VmcObjectNew(kVmcButton, "OK"));
  script.objects[0].button.frames.frames.push_back(VmcFrame{"", {longText}});
  EXPECT_FALSE(VmcWriterBytes(script, bytes, error));
  EXPECT_EQ(error, "object 0 \"OK\": an image name is longer than 255 bytes");
}

}  // namespace
