// The script tools: files made by the writer come back byte for byte through
// the disassembler and the assembler (every object type and field at every
// version, every instruction, junk bytes in the code), the text form and the
// emitter agree on every instruction, truncated files are refused, and the
// programs report faults as file:line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"
#include "tools/vmc/vmctext.h"
#include "tools/vmc/vmctext_internal.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Every field of the object gets its own value, so a field read into the
// wrong place or skipped shows up.
void FillObject(VmcObject& object, int32_t& counter) {
  for (const VmcField& field : VmcFieldsOf(object.type)) {
    const VmcFieldRef ref = field.at(object);
    ++counter;
    const std::string text = "T" + std::to_string(counter) + (counter % 3 == 0 ? "\\\"\n\x7F" : "");
    switch (field.kind) {
      case VmcFieldKind::kInt:
        *std::get<int32_t*>(ref) = counter * (counter % 2 ? -1 : 1);
        break;
      case VmcFieldKind::kFlag:
        *std::get<uint8_t*>(ref) = static_cast<uint8_t>(counter % 3);
        break;
      case VmcFieldKind::kByte:
        *std::get<uint8_t*>(ref) = static_cast<uint8_t>(counter);
        break;
      case VmcFieldKind::kText:
        *std::get<std::string*>(ref) = text;
        break;
      case VmcFieldKind::kFrames: {
        VmcFrameSet& set = *std::get<VmcFrameSet*>(ref);
        set.blend = static_cast<uint8_t>(counter % 2);
        set.memory = static_cast<uint8_t>((counter + 1) % 2);
        set.frames = {{"M" + text, {"A" + text, "B"}}, {"", {}}, {"", {"C"}}};
        break;
      }
      case VmcFieldKind::kTriangles:
        for (int32_t t = 0; t < 2; ++t) {
          VmcTriangle triangle;
          for (int32_t& value : triangle) {
            value = ++counter;
          }
          std::get<std::vector<VmcTriangle>*>(ref)->push_back(triangle);
        }
        break;
      case VmcFieldKind::kNames:
        *std::get<std::vector<std::string>*>(ref) = {"N" + std::to_string(counter), "two words"};
        break;
    }
  }
}

// One object of every type and one of an unknown type, all fields set.
VmcScript AllObjects(int32_t version) {
  VmcScript script;
  script.version = version;
  script.routines = {"AppAgentWalkTo", "with space", "appagentwalkto"};
  int32_t counter = 0;
  for (int32_t type = 0; type <= kVmcTypeCount; ++type) {
    VmcObject object = VmcObjectNew(type, "OBJ" + std::to_string(type));
    object.display = static_cast<uint8_t>(type + 1);
    object.order = 100 - type;
    FillObject(object, counter);
    script.objects.push_back(object);
  }
  script.objects.push_back(VmcObjectNew(kVmcList, "obj5"));  // found by name as object 5
  return script;
}

// Every instruction with every operand form, labels forward and back.
std::string AllInstructions(int32_t version) {
  VmcCode code(version);
  code.Label("top");
  code.Return();
  code.Call("sub");
  code.Not(VmcLocal(1));
  code.Not(VmcInt(5));  // an unflagged destination is encoded as written
  code.Jump("top");
  const uint8_t compares[] = {kVmcJumpNotEqual, kVmcJumpEqual,   kVmcJumpGreaterEqual,
                              kVmcJumpLess,     kVmcJumpGreater, kVmcJumpLessEqual};
  for (uint8_t op : compares) {
    code.JumpIf(op, VmcParam(2), VmcString("9"), "sub");
  }
  code.JumpIf(kVmcJumpLess, VmcBool(true), VmcVariable(9, -3), 123456);
  for (uint8_t op = kVmcMove; op <= kVmcRemainder; ++op) {
    code.Arithmetic(op, VmcInt(-7), VmcSlot(op));
  }
  code.Move(VmcString("a\"b\\c\n\x01\xFF"), VmcVariable(3, 7));
  code.Push(VmcBool(false));
  code.Push(VmcString(""));
  code.Pop();
  code.CallApp(0);
  code.CallApp(1);
  code.CallApp(2);  // same name as routine 0 in another case: written by number
  code.CallApp(9);
  code.CallBuiltin(42);
  code.CallBuiltin(65535);
  code.SetAttribute(0, 5, VmcString("hi"));          // Button text
  code.GetAttribute(0, 8);                           // Button text
  code.SetAttribute(5, 5, VmcLocal(0), VmcInt(3));   // List itemTexts[3]
  code.SetAttribute(5, 15, VmcInt(1), VmcParam(1));  // List itemFrames[param(1)]
  code.GetAttribute(5, 21, VmcVariable(7, 2));       // List itemValues, a faulting mode
  code.GetAttribute(5, 24);                          // List itemCount
  code.SetAttribute(14, 9, VmcInt(0));               // Model set 9 has no name
  code.GetAttribute(15, 3);                          // unknown type: numbers only
  code.SetAttribute(3, kVmcAttributeOrder, VmcInt(-1));
  code.GetAttribute(16, 5, VmcInt(0));  // the list named obj5
  code.GetAttribute(300, 2);            // no such object
  code.Nop();
  code.Yield();
  code.Label("sub");
  code.Fork("top");
  code.Fork(-1);
  code.Return();
  std::string bytes;
  std::string error;
  EXPECT_TRUE(code.Finish(bytes, error)) << error;
  return bytes;
}

// Bytes -> text -> bytes; also checks that the text does not depend on
// anything the reader got wrong (the text of the writer's own records
// must be the same).
void ExpectRoundTrip(const VmcScript& original, const std::string& what) {
  std::string bytes;
  std::string error;
  ASSERT_TRUE(VmcWriterBytes(original, bytes, error)) << what << ": " << error;
  VmcScript read;
  ASSERT_TRUE(VmcRead(bytes, read, error)) << what << ": " << error;
  const std::string text = VmcDisassemble(read);
  ASSERT_EQ(text, VmcDisassemble(original)) << what;
  VmcScript assembled;
  ASSERT_TRUE(VmcAssemble(text, "dis.vmca", assembled, error)) << what << ": " << error << "\n"
                                                               << text;
  std::string again;
  ASSERT_TRUE(VmcWriterBytes(assembled, again, error)) << what << ": " << error;
  ASSERT_EQ(again, bytes) << what << "\n" << text;
}

TEST(VmcasmTest, EveryObjectAndInstructionRoundTripsAtEveryVersion) {
  for (int32_t version = -1; version <= 22; ++version) {
    VmcScript script = AllObjects(version);
    script.code = AllInstructions(version);
    script.listener = 1;
    script.listenerAddress = 1;
    ExpectRoundTrip(script, "version " + std::to_string(version));
  }
  // A listener flag other than 1, an address inside an instruction, bytes
  // after the code.
  VmcScript odd = AllObjects(20);
  odd.code = AllInstructions(20);
  odd.listener = 7;
  odd.listenerAddress = 2;
  odd.trailing = std::string("\0\xFFtail", 6);
  ExpectRoundTrip(odd, "odd listener");
}

TEST(VmcasmTest, JunkInTheCodeRoundTrips) {
  // Byte runs that look like instructions but are not: a boolean literal
  // of 2, a literal of type 3, flags on return and on callapp, a string
  // running past the end, an unknown opcode, a cut-off jump.
  const std::string tricky[] = {
      std::string("\x19\x01\x02", 3),
      std::string("\x19\x03\x00\x00\x00\x00", 6),
      std::string("\x40", 1),
      std::string("\x9F\x00\x00", 3),
      std::string("\x19\x02\x09\x00"
                  "ab",
                  6),
      std::string("\x02", 1),
      std::string("\x0A\x01\x00", 3),
  };
  std::mt19937 random(20240611);
  VmcScript script;
  script.objects = {VmcObjectNew(kVmcButton, "B"), VmcObjectNew(kVmcList, "L")};
  for (int round = 0; round < 400; ++round) {
    script.version = round % 2 == 0 ? 8 : 20;
    VmcCode code(script.version);
    const int pieces = static_cast<int>(random() % 12);
    for (int piece = 0; piece < pieces; ++piece) {
      const auto pick = random() % 6;
      if (pick == 0) {
        code.JumpIf(static_cast<uint8_t>(11 + random() % 6), VmcVariable(random() % 4, -2),
                    VmcString(std::string(random() % 3, 'x')),
                    static_cast<int32_t>(random() % 40) - 2);
      } else if (pick == 1) {
        code.GetAttribute(static_cast<uint16_t>(random() % 3), static_cast<uint8_t>(random() % 25),
                          VmcInt(1));
      } else if (pick == 2) {
        code.Fork(static_cast<int32_t>(random() % 40));
      } else if (pick == 3) {
        code.Raw(tricky[random() % std::size(tricky)]);
      } else {
        // Header bytes with stray flags, cut-off operands, bad literal types.
        for (auto count = random() % 5; count > 0; --count) {
          code.RawByte(static_cast<uint8_t>(random()));
        }
      }
    }
    std::string error;
    ASSERT_TRUE(code.Finish(script.code, error)) << error;
    script.listener = static_cast<uint8_t>(random() % 3);
    script.listenerAddress = static_cast<int32_t>(random() % 50);
    ExpectRoundTrip(script, "round " + std::to_string(round));
  }
}

TEST(VmcasmTest, TextAndEmitterGiveTheSameCode) {
  const std::string source = R"(.version 8
.routine Walk
.object List MENU
.end
.object Label title
.end
start: return
    call sub
    not local(1)
    jump start
    jne 1, param(2), sub
    jeq "a", slot(0), sub
    jge true, var(5, -1), sub
    jlt local(0), false, 77
    jgt 0x7FFFFFFF, -2147483648, sub
    jle 0xFFFFFFFF, 0, sub
    move 'C:\x\y', slot(1)
    add 1, slot(1)
    sub "\x41\t\"", slot(1)
    and 3, slot(1)
    or 3, slot(1)
    mul 3, slot(1)
    div 3, slot(1)
    rem 3, slot(1)
    push "text"
    pop
    callapp WALK
    builtin 25
    set Menu.itemTexts[2], "x"
    set MENU.itemFrames[0], 1
    set MENU.itemValues[slot(2)], false
    get MENU.itemTexts[-1]
    get MENU.itemFrames[var(4, 4)]
    get menu.itemValues[local(3)]
    set TITLE.text, param(1)
    get 1.textHeight
    set 1.ORDER, 4
    nop
    yield
sub: fork start
    .byte 255, -1, "ok"
)";
  VmcCode code(8);
  code.Label("start");
  code.Return();
  code.Call("sub");
  code.Not(VmcLocal(1));
  code.Jump("start");
  code.JumpIf(kVmcJumpNotEqual, VmcInt(1), VmcParam(2), "sub");
  code.JumpIf(kVmcJumpEqual, VmcString("a"), VmcSlot(0), "sub");
  code.JumpIf(kVmcJumpGreaterEqual, VmcBool(true), VmcVariable(5, -1), "sub");
  code.JumpIf(kVmcJumpLess, VmcLocal(0), VmcBool(false), 77);
  code.JumpIf(kVmcJumpGreater, VmcInt(0x7FFFFFFF), VmcInt(-2147483647 - 1), "sub");
  code.JumpIf(kVmcJumpLessEqual, VmcInt(-1), VmcInt(0), "sub");
  code.Move(VmcString("C:\\x\\y"), VmcSlot(1));
  code.Arithmetic(kVmcAdd, VmcInt(1), VmcSlot(1));
  code.Arithmetic(kVmcSubtract, VmcString("A\t\""), VmcSlot(1));
  for (uint8_t op = kVmcAnd; op <= kVmcRemainder; ++op) {
    code.Arithmetic(op, VmcInt(3), VmcSlot(1));
  }
  code.Push(VmcString("text"));
  code.Pop();
  code.CallApp(0);
  code.CallBuiltin(25);
  code.SetAttribute(0, 5, VmcString("x"), VmcInt(2));
  code.SetAttribute(0, 15, VmcInt(1), VmcInt(0));
  code.SetAttribute(0, 16, VmcBool(false), VmcSlot(2));
  code.GetAttribute(0, 5, VmcInt(-1));
  code.GetAttribute(0, 20, VmcVariable(4, 4));
  code.GetAttribute(0, 21, VmcLocal(3));
  code.SetAttribute(1, 3, VmcParam(1));
  code.GetAttribute(1, 11);
  code.SetAttribute(1, 255, VmcInt(4));
  code.Nop();
  code.Yield();
  code.Label("sub");
  code.Fork("start");
  code.Raw("\xFF\xFFok");
  std::string expected;
  std::string error;
  ASSERT_TRUE(code.Finish(expected, error)) << error;

  VmcScript script;
  ASSERT_TRUE(VmcAssemble(source, "t.vmca", script, error)) << error;
  EXPECT_EQ(script.version, 8);
  EXPECT_EQ(script.code, expected);
}

TEST(VmcasmTest, FaultsNameTheLineAndWhatWasExpected) {
  const struct {
    const char* source;
    const char* message;
  } cases[] = {
      {".object Widget W\n.end\n",
       "t.vmca:1: expected an object type (Button, Color, Display, Image, Label, List, Pointer, "
       "Slider, Mat, Render, Atex, AppObj, Camera, Scene, Model) or its number, found \"Widget\""},
      {"\n  jump nowhere\n  return\n",
       "t.vmca:2: expected a label that is placed somewhere, found \"nowhere\""},
      {"a: nop\nb: nop\na: nop\n",
       "t.vmca:3: expected a new label; \"a\" is already placed on line 1"},
      {".version 8\n.object Label L\n  text \"x\"\n  firstLine 2\n.end\n",
       "t.vmca:4: expected something a version 8 script stores; firstLine is stored from version "
       "10 on"},
      {".object Label L\n  colour 3\n.end\n",
       "t.vmca:2: expected an attribute of Label (display, order, left, top, font, color, alpha, "
       "text, visible, wrapWidth, wrapHeight, wrapLineOffset, firstLine, align) or .end, found "
       "\"colour\""},
      {".object List L\n.end\n  get L.itemTexts\n",
       "t.vmca:3: expected an item index in brackets after the attribute"},
      {".object List L\n.end\n  get L.left[1]\n",
       "t.vmca:3: expected no item index: this attribute has none"},
      {".object Button B\n.end\n  set B.height, 3\n",
       "t.vmca:3: expected an attribute that set knows for Button, found \"height\""},
      {"  push \"a\\qb\"\n",
       "t.vmca:1: expected an escape \\\\, \\\", \\', \\n, \\t, \\r, \\0 or \\x and two hex "
       "digits"},
      {"  push \"open\n", "t.vmca:1: expected a closing '\"' before the end of the line"},
      {"  move 1 slot(0)\n", "t.vmca:1: expected ',' and a second operand, found \"slot\""},
      {"  push 4294967296\n", "t.vmca:1: expected a number that fits 32 bits"},
      {"  push 3000000000\n", "t.vmca:1: expected a number that fits 32 bits"},
      {"  callapp Walk\n",
       "t.vmca:1: expected a routine named by an earlier .routine, found "
       "\"Walk\""},
      {"  pop 1\n", "t.vmca:1: expected the end of the line, found 1"},
      {"  frob\n", "t.vmca:1: expected an instruction, a label, or a directive, found \"frob\""},
      {"  nop\n.version 9\n", "t.vmca:2: expected .version before everything else"},
      {".object Image I\n  frames.frame \"a\" mat\n.end\n",
       "t.vmca:2: expected a string, found "
       "the end of the line"},
      {".object Button B\n  left 1\n", "t.vmca:1: expected .end to close the object \"B\""},
  };
  for (const auto& entry : cases) {
    VmcScript script;
    std::string error;
    EXPECT_FALSE(VmcAssemble(entry.source, "t.vmca", script, error)) << entry.source;
    EXPECT_EQ(error, entry.message) << entry.source;
  }

  // A string literal longer than one length byte needs version 9.
  const std::string longPush = "  push \"" + std::string(256, 'x') + "\"\n";
  VmcScript script;
  std::string error;
  EXPECT_TRUE(VmcAssemble(longPush, "t.vmca", script, error)) << error;
  EXPECT_FALSE(VmcAssemble(".version 8\n" + longPush, "t.vmca", script, error));
  EXPECT_EQ(error, "t.vmca:2: expected a string of at most 255 bytes in a version 8 script");
}

TEST(VmcasmTest, ReaderRefusesEveryTruncationAndOversizedCounts) {
  VmcScript full = AllObjects(20);
  full.code = AllInstructions(20);
  std::string bytes;
  std::string error;
  ASSERT_TRUE(VmcWriterBytes(full, bytes, error)) << error;
  VmcScript read;
  for (size_t length = 0; length < bytes.size(); ++length) {
    ASSERT_FALSE(VmcRead(bytes.substr(0, length), read, error)) << length;
    ASSERT_THAT(error, StartsWith("byte ")) << length;
  }
  EXPECT_TRUE(VmcRead(bytes, read, error)) << error;

  // Routine count 2,147,483,647 with nothing after it.
  EXPECT_FALSE(VmcRead(std::string("\x14\0\0\0\xFF\xFF\xFF\x7F", 8), read, error));
  EXPECT_EQ(error, "byte 4: routine count 2147483647 does not fit the 0 bytes that follow");
}

// --- The programs -----------------------------------------------------------------------------

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class VmcToolsTest : public ::testing::Test {
 protected:
  ToolRun Run(const std::string& program, const std::vector<std::string>& args) const {
    std::string command = program;
    for (const std::string& arg : args) {
      command += " '" + arg + "'";
    }
    command += " >'" + work_.path() + "out.txt' 2>'" + work_.path() + "err.txt'";
    const int status = std::system(command.c_str());
    return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, work_.read("out.txt"),
                   work_.read("err.txt")};
  }

  TempFolder work_;
};

// The complete example of the assembler's documentation: it assembles, and
// the programs take it round through vmcdis to the same file.
TEST_F(VmcToolsTest, DocumentedExampleAssemblesAndRoundTripsThroughThePrograms) {
  const std::string doc = ReadWholeFile(std::string(SOURCE_DIR) + "/docs/tools/vmcasm.md");
  const std::string marker = "```vmca\n";
  const size_t start = doc.find(marker, doc.find("## A complete example"));
  ASSERT_NE(start, std::string::npos);
  const size_t end = doc.find("```", start + marker.size());
  const std::string source =
      work_.write("menu.vmca", doc.substr(start + marker.size(), end - start - marker.size()));

  ToolRun run = Run(VMCASM_BINARY, {source});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  run = Run(VMCDIS_BINARY, {work_.path() + "menu.vmc", "-o", work_.path() + "again.vmca"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  run = Run(VMCASM_BINARY, {work_.path() + "again.vmca", "-o", work_.path() + "again.vmc"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string bytes = work_.read("menu.vmc");
  EXPECT_EQ(work_.read("again.vmc"), bytes);

  // The listing names objects, attributes, routines and the listener.
  run = Run(VMCDIS_BINARY, {work_.path() + "menu.vmc"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("\n.listener listener\n"));
  EXPECT_THAT(run.out, HasSubstr("\n    set TITLE.text, "));
  EXPECT_THAT(run.out, HasSubstr("\n    callapp "));

  // A cut file is refused by name and byte.
  work_.write("cut.vmc", bytes.substr(0, 30));
  run = Run(VMCDIS_BINARY, {work_.path() + "cut.vmc"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, StartsWith(work_.path() + "cut.vmc: byte "));
}

TEST_F(VmcToolsTest, HelpAndFaultsFromThePrograms) {
  ToolRun run = Run(VMCASM_BINARY, {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.out, HasSubstr("usage: vmcasm"));
  run = Run(VMCDIS_BINARY, {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.out, HasSubstr("usage: vmcdis"));

  const std::string source = work_.write("bad.vmca", "; fine\n  nop\n  jump\n");
  run = Run(VMCASM_BINARY, {source});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, source + ":3: expected a label or a code offset, found the end of the line\n");
  EXPECT_FALSE(work_.exists("bad.vmc"));

  run = Run(VMCASM_BINARY, {});
  EXPECT_EQ(run.exitCode, 2);
}

}  // namespace
