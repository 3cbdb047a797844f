// The assembler: the text form, line by line, into a script. Objects and
// routine names fill the records directly; instructions go through the
// byte-code emitter, which resolves labels at the end.
#include <cctype>
#include <map>
#include <optional>

#include "tools/vmc/vmctext.h"
#include "tools/vmc/vmctext_internal.h"

namespace {

constexpr int64_t kLowestInt32 = -2147483648LL;
constexpr int64_t kHighestBits32 = 0xFFFFFFFFLL;  // hex numbers may give all 32 bits

enum class TokenKind { kEnd, kWord, kDirective, kNumber, kText, kPunct };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;    // word, directive (without the dot), text, or the punctuation
  int64_t number = 0;  // number
};

// Thrown inside the assembler only, caught in VmcAssemble: the message
// after "file:line: ".
struct Fault {
  std::string message;
};

[[noreturn]] void Expected(const std::string& what, const Token& found) {
  std::string seen;
  switch (found.kind) {
    case TokenKind::kEnd:
      seen = "the end of the line";
      break;
    case TokenKind::kNumber:
      seen = std::to_string(found.number);
      break;
    case TokenKind::kText:
      seen = "a string";
      break;
    case TokenKind::kDirective:
      seen = "\"." + found.text + "\"";
      break;
    default:
      seen = "\"" + found.text + "\"";
      break;
  }
  throw Fault{"expected " + what + ", found " + seen};
}

// Splits one line into tokens; a ';' outside a string starts a comment.
class Lexer {
 public:
  explicit Lexer(const std::string& line) : line_(line) {}

  std::vector<Token> Tokens() {
    std::vector<Token> tokens;
    while (true) {
      while (position_ < line_.size() &&
             std::isspace(static_cast<unsigned char>(line_[position_]))) {
        ++position_;
      }
      if (position_ >= line_.size() || line_[position_] == ';') {
        break;
      }
      tokens.push_back(Next(tokens.empty()));
    }
    tokens.push_back(Token{});
    return tokens;
  }

 private:
  static bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  Token Next(bool first) {
    const char c = line_[position_];
    if (first && c == '.' && position_ + 1 < line_.size() && WordChar(line_[position_ + 1])) {
      ++position_;
      return Token{TokenKind::kDirective, Word(), 0};
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '-' && position_ + 1 < line_.size() &&
         std::isdigit(static_cast<unsigned char>(line_[position_ + 1])))) {
      return Number();
    }
    if (WordChar(c)) {
      return Token{TokenKind::kWord, Word(), 0};
    }
    if (c == '"') {
      return Quoted();
    }
    if (c == '\'') {
      return Raw();
    }
    ++position_;
    return Token{TokenKind::kPunct, std::string(1, c), 0};
  }

  std::string Word() {
    const size_t start = position_;
    while (position_ < line_.size() && WordChar(line_[position_])) {
      ++position_;
    }
    return line_.substr(start, position_ - start);
  }

  Token Number() {
    const bool negative = line_[position_] == '-';
    position_ += negative ? 1 : 0;
    int base = 10;
    if (line_.compare(position_, 2, "0x") == 0 || line_.compare(position_, 2, "0X") == 0) {
      base = 16;
      position_ += 2;
    }
    const std::string digits = Word();
    int64_t value = 0;
    for (char d : digits) {
      const int digit = std::isdigit(static_cast<unsigned char>(d)) ? d - '0'
                        : std::isxdigit(static_cast<unsigned char>(d))
                            ? std::toupper(static_cast<unsigned char>(d)) - 'A' + 10
                            : base;
      if (digit >= base) {
        throw Fault{"expected a number, found \"" + digits + "\""};
      }
      value = value * base + digit;
      if (value > kHighestBits32 + 1) {
        throw Fault{"expected a number that fits 32 bits"};
      }
    }
    if (digits.empty()) {
      throw Fault{"expected hexadecimal digits after 0x"};
    }
    value = negative ? -value : value;
    if (value < kLowestInt32 || value > kHighestBits32 ||
        (base == 10 && value > kHighestBits32 / 2)) {
      throw Fault{"expected a number that fits 32 bits"};
    }
    return Token{TokenKind::kNumber, "", value};
  }

  // A double-quoted string with escapes \\ \" \n \t \r \0 and \xHH.
  Token Quoted() {
    std::string text;
    ++position_;
    while (true) {
      if (position_ >= line_.size()) {
        throw Fault{"expected a closing '\"' before the end of the line"};
      }
      const char c = line_[position_++];
      if (c == '"') {
        return Token{TokenKind::kText, text, 0};
      }
      text += c == '\\' ? Escape() : c;
    }
  }

  char Escape() {
    const char c = position_ < line_.size() ? line_[position_++] : '\0';
    switch (c) {
      case '\\':
        return '\\';
      case '"':
        return '"';
      case '\'':
        return '\'';
      case 'n':
        return '\n';
      case 't':
        return '\t';
      case 'r':
        return '\r';
      case '0':
        return '\0';
      case 'x':
        if (position_ + 2 <= line_.size() &&
            std::isxdigit(static_cast<unsigned char>(line_[position_])) &&
            std::isxdigit(static_cast<unsigned char>(line_[position_ + 1]))) {
          position_ += 2;
          return static_cast<char>(std::stoi(line_.substr(position_ - 2, 2), nullptr, 16));
        }
        break;
      default:
        break;
    }
    throw Fault{"expected an escape \\\\, \\\", \\', \\n, \\t, \\r, \\0 or \\x and two hex digits"};
  }

  // A single-quoted string, taken as it stands (content names with '\').
  Token Raw() {
    const size_t end = line_.find('\'', position_ + 1);
    if (end == std::string::npos) {
      throw Fault{"expected a closing \"'\" before the end of the line"};
    }
    Token token{TokenKind::kText, line_.substr(position_ + 1, end - position_ - 1), 0};
    position_ = end + 1;
    return token;
  }

  const std::string& line_;
  size_t position_ = 0;
};

class Assembler {
 public:
  bool Run(const std::string& source, const std::string& sourceName, VmcScript& script,
           std::string& error) {
    try {
      for (size_t start = 0; start <= source.size();) {
        size_t end = source.find('\n', start);
        end = end == std::string::npos ? source.size() : end;
        std::string line = source.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
          line.pop_back();
        }
        Line(line);
        start = end + 1;
      }
      Finish();
    } catch (const Fault& fault) {
      error = sourceName + ":" + std::to_string(lineNumber_) + ": " + fault.message;
      return false;
    }
    script = std::move(script_);
    return true;
  }

 private:
  // --- Lines ----------------------------------------------------------------------------------
  void Line(const std::string& line) {
    ++lineNumber_;
    tokens_ = Lexer(line).Tokens();
    next_ = 0;
    if (Peek().kind == TokenKind::kEnd) {
      return;
    }
    if (object_ >= 0) {
      return ObjectLine();
    }
    if (Peek().kind == TokenKind::kDirective) {
      return Directive();
    }
    if (Peek().kind == TokenKind::kWord && tokens_[next_ + 1].kind == TokenKind::kPunct &&
        tokens_[next_ + 1].text == ":") {
      PlaceLabel(Take().text);
      Take();
      if (Peek().kind == TokenKind::kEnd) {
        return;
      }
    }
    Instruction();
  }

  void Directive() {
    const Token directive = Take();
    const std::string name = VmcUpper(directive.text);
    if (name == "VERSION") {
      if (started_) {
        throw Fault{"expected .version before everything else"};
      }
      script_.version = Int32();
    } else if (name == "ROUTINE") {
      Start();
      script_.routines.push_back(ShortText(NameToken("a routine name")));
    } else if (name == "OBJECT") {
      Start();
      ObjectHeader();
    } else if (name == "LISTENER") {
      Start();
      listener_ = Target();
      listenerLine_ = lineNumber_;
      script_.listener = 1;
      if (IsPunct(",")) {
        Take();
        script_.listener = Byte("a listener flag 0-255");
      }
    } else if (name == "BYTE") {
      Code().Raw(ByteList());
    } else if (name == "TRAILING") {
      Start();
      script_.trailing += ByteList();
    } else {
      Expected(".version, .routine, .object, .listener, .byte or .trailing", directive);
    }
    EndOfLine();
  }

  // --- Objects ----------------------------------------------------------------------------------
  void ObjectHeader() {
    int32_t type = -1;
    const Token typeToken = Peek();
    if (typeToken.kind == TokenKind::kNumber) {
      type = Int32();
    } else if (typeToken.kind == TokenKind::kWord && VmcTypeFind(typeToken.text) >= 0) {
      type = VmcTypeFind(Take().text);
    } else {
      Expected(
          "an object type (Button, Color, Display, Image, Label, List, Pointer, Slider, "
          "Mat, Render, Atex, AppObj, Camera, Scene, Model) or its number",
          typeToken);
    }
    script_.objects.push_back(VmcObjectNew(type, ShortText(NameToken("an object name"))));
    object_ = static_cast<int32_t>(script_.objects.size()) - 1;
    objectLine_ = lineNumber_;
  }

  void ObjectLine() {
    VmcObject& object = script_.objects[object_];
    if (Peek().kind == TokenKind::kDirective && VmcUpper(Peek().text) == "END") {
      Take();
      object_ = -1;
      return EndOfLine();
    }
    const Token word = Peek();
    if (word.kind != TokenKind::kWord) {
      Expected("an attribute of the object or .end", word);
    }
    Take();
    const std::string name = VmcUpper(word.text);
    if (name == "DISPLAY") {
      object.display = Byte("a display id 0-255");
    } else if (name == "ORDER") {
      Since(4, "order");
      object.order = Int32();
    } else {
      Field(object, word);
    }
    EndOfLine();
  }

  void Field(VmcObject& object, const Token& word) {
    const std::vector<VmcField>& fields = VmcFieldsOf(object.type);
    for (const VmcField& field : fields) {
      if (VmcUpper(field.name) != VmcUpper(word.text)) {
        continue;
      }
      Since(field.since, field.name);
      const VmcFieldRef ref = field.at(object);
      switch (field.kind) {
        case VmcFieldKind::kInt:
          *std::get<int32_t*>(ref) = Int32();
          return;
        case VmcFieldKind::kFlag:
          *std::get<uint8_t*>(ref) = Flag();
          return;
        case VmcFieldKind::kByte:
          *std::get<uint8_t*>(ref) = Byte("a number 0-255");
          return;
        case VmcFieldKind::kText:
          *std::get<std::string*>(ref) = ShortText(TextToken());
          return;
        case VmcFieldKind::kFrames:
          return FrameSetLine(*std::get<VmcFrameSet*>(ref));
        case VmcFieldKind::kTriangles:
          return Triangle(*std::get<std::vector<VmcTriangle>*>(ref));
        case VmcFieldKind::kNames:
          std::get<std::vector<std::string>*>(ref)->push_back(
              ShortText(NameToken("an object name")));
          return;
      }
    }
    std::string names = "display";
    names += script_.version >= 4 ? ", order" : "";
    for (const VmcField& field : fields) {
      names += std::string(", ") + field.name;
    }
    Expected("an attribute of " +
                 (VmcTypeName(object.type).empty() ? "this object" : VmcTypeName(object.type)) +
                 " (" + names + ") or .end",
             word);
  }

  // "<set>.blend", "<set>.memory" or "<set>.frame [images] [mat name]".
  void FrameSetLine(VmcFrameSet& set) {
    Punct(".", "'.' and blend, memory or frame after the frame set's name");
    const Token part = Take();
    const std::string name = VmcUpper(part.text);
    if (part.kind == TokenKind::kWord && name == "BLEND") {
      Since(2, "blend");
      set.blend = Flag();
    } else if (part.kind == TokenKind::kWord && name == "MEMORY") {
      Since(3, "memory");
      set.memory = Flag();
    } else if (part.kind == TokenKind::kWord && name == "FRAME") {
      set.frames.push_back(Frame());
    } else {
      Expected("blend, memory or frame", part);
    }
  }

  VmcFrame Frame() {
    VmcFrame frame;
    if (Peek().kind == TokenKind::kText) {
      frame.images.push_back(ShortText(Take().text));
      while (IsPunct(",")) {
        Take();
        frame.images.push_back(ShortText(TextToken()));
      }
    }
    if (Peek().kind == TokenKind::kWord && VmcUpper(Peek().text) == "MAT") {
      Take();
      Since(8, "a frame's mat");
      frame.mat = ShortText(TextToken());
    }
    return frame;
  }

  void Triangle(std::vector<VmcTriangle>& triangles) {
    VmcTriangle triangle{};
    for (size_t i = 0; i < triangle.size(); ++i) {
      if (i > 0) {
        Punct(",", "',' and twelve numbers x1, y1, u1, v1, x2 ... v3");
      }
      triangle[i] = Int32();
    }
    triangles.push_back(triangle);
  }

  // --- Code --------------------------------------------------------------------------------------
  void Instruction() {
    const Token word = Take();
    const VmcInstruction* instruction =
        word.kind == TokenKind::kWord ? VmcInstructionFind(word.text) : nullptr;
    if (instruction == nullptr) {
      Expected("an instruction, a label, or a directive", word);
    }
    VmcCode& code = Code();
    const uint8_t op = instruction->opcode;
    switch (instruction->shape) {
      case VmcShape::kNone:
        Header(code, op);
        break;
      case VmcShape::kTarget:
        TargetInstruction(code, op, Target());
        break;
      case VmcShape::kA: {
        const VmcOperand a = Value();
        if (op == kVmcPush) {
          code.Push(a);
        } else {
          code.Not(a);
        }
        break;
      }
      case VmcShape::kAB: {
        const VmcOperand a = Value();
        Punct(",", "',' and a second operand");
        code.Arithmetic(op, a, Value());
        break;
      }
      case VmcShape::kABTarget: {
        const VmcOperand a = Value();
        Punct(",", "',' and a second operand");
        const VmcOperand b = Value();
        Punct(",", "',' and a jump target");
        code.JumpIf(op, a, b, Target());
        break;
      }
      case VmcShape::kRoutine:
        code.CallApp(RoutineIndex());
        break;
      case VmcShape::kBuiltin:
        code.CallBuiltin(U16("a built-in number 0-65535"));
        break;
      case VmcShape::kSet:
        SetOrGet(code, true);
        break;
      case VmcShape::kGet:
        SetOrGet(code, false);
        break;
    }
    EndOfLine();
  }

  static void Header(VmcCode& code, uint8_t opcode) {
    switch (opcode) {
      case kVmcReturn:
        return code.Return();
      case kVmcPop:
        return code.Pop();
      case kVmcNop:
        return code.Nop();
      default:
        return code.Yield();
    }
  }

  static void TargetInstruction(VmcCode& code, uint8_t opcode, const VmcTarget& target) {
    switch (opcode) {
      case kVmcCall:
        return code.Call(target);
      case kVmcJump:
        return code.Jump(target);
      default:
        return code.Fork(target);
    }
  }

  // "object.attribute[item]" and, for set, ", value".
  void SetOrGet(VmcCode& code, bool set) {
    const uint16_t object = ObjectIndex();
    const int32_t type = object < script_.objects.size() ? script_.objects[object].type : -1;
    Punct(".", "'.' and an attribute after the object");
    const Token attributeToken = Peek();
    int32_t attribute = -1;
    if (attributeToken.kind == TokenKind::kNumber) {
      attribute = Byte("an attribute number 0-255");
    } else if (attributeToken.kind == TokenKind::kWord) {
      attribute = VmcAttributeFind(type, set, Take().text);
    }
    if (attribute < 0) {
      Expected(std::string("an attribute that ") + (set ? "set" : "get") + " knows for " +
                   (type < 0 ? "this object" : VmcTypeName(type)),
               attributeToken);
    }
    std::optional<VmcOperand> item;
    if (IsPunct("[")) {
      Take();
      item = ItemOperand();
      Punct("]", "']' after the item index");
    }
    if (type >= 0 && item.has_value() != VmcAttributeHasItem(type, set, attribute)) {
      throw Fault{item ? "expected no item index: this attribute has none"
                       : "expected an item index in brackets after the attribute"};
    }
    if (set) {
      Punct(",", "',' and the value to set");
      code.SetAttribute(object, static_cast<uint8_t>(attribute), Value(), item);
    } else {
      code.GetAttribute(object, static_cast<uint8_t>(attribute), item);
    }
  }

  VmcOperand ItemOperand() {
    if (Peek().kind == TokenKind::kNumber) {
      return VmcInt(Int32());
    }
    const Token token = Peek();
    if (token.kind != TokenKind::kWord || !IsVariableWord(token.text)) {
      Expected("an item index: a number, slot(n), param(n), local(n) or var(mode, n)", token);
    }
    return Variable();
  }

  // A literal or a variable reference.
  VmcOperand Value() {
    const Token token = Peek();
    if (token.kind == TokenKind::kNumber) {
      return VmcInt(Int32());
    }
    if (token.kind == TokenKind::kText) {
      Take();
      const size_t limit = script_.version >= 9 ? 65535 : 255;
      if (token.text.size() > limit) {
        throw Fault{"expected a string of at most " + std::to_string(limit) +
                    " bytes in a version " + std::to_string(script_.version) + " script"};
      }
      return VmcString(token.text);
    }
    if (token.kind == TokenKind::kWord &&
        (VmcUpper(token.text) == "TRUE" || VmcUpper(token.text) == "FALSE")) {
      Take();
      return VmcBool(VmcUpper(token.text) == "TRUE");
    }
    if (token.kind != TokenKind::kWord || !IsVariableWord(token.text)) {
      Expected(
          "a value: a number, a string, true, false, slot(n), param(n), local(n) or "
          "var(mode, n)",
          token);
    }
    return Variable();
  }

  static bool IsVariableWord(const std::string& word) {
    const std::string upper = VmcUpper(word);
    return upper == "SLOT" || upper == "PARAM" || upper == "LOCAL" || upper == "VAR";
  }

  VmcOperand Variable() {
    const std::string word = VmcUpper(Take().text);
    Punct("(", "'(' after " + word);
    uint8_t mode = word == "SLOT"    ? kVmcSlotAbsolute
                   : word == "PARAM" ? kVmcSlotBelow
                                     : kVmcSlotAbove;
    if (word == "VAR") {
      mode = Byte("a mode 0-255");
      Punct(",", "',' and a slot number");
    }
    const int32_t n = Int32();
    Punct(")", "')'");
    return VmcVariable(mode, n);
  }

  VmcTarget Target() {
    const Token token = Peek();
    if (token.kind == TokenKind::kNumber) {
      return VmcTarget(Int32());
    }
    if (token.kind != TokenKind::kWord) {
      Expected("a label or a code offset", token);
    }
    Take();
    labelUses_.emplace(token.text, lineNumber_);
    return VmcTarget(token.text);
  }

  uint16_t RoutineIndex() {
    if (Peek().kind == TokenKind::kNumber) {
      return U16("a routine number 0-65535");
    }
    const Token token = Peek();
    const int32_t index = FindByName(script_.routines, NameToken("a routine name or number"),
                                     [](const std::string& routine) { return routine; });
    if (index < 0) {
      Expected("a routine named by an earlier .routine", token);
    }
    return static_cast<uint16_t>(index);
  }

  uint16_t ObjectIndex() {
    if (Peek().kind == TokenKind::kNumber) {
      return U16("an object number 0-65535");
    }
    const Token token = Peek();
    const int32_t index = FindByName(script_.objects, NameToken("an object name or number"),
                                     [](const VmcObject& object) { return object.name; });
    if (index < 0) {
      Expected("an object declared by an earlier .object", token);
    }
    return static_cast<uint16_t>(index);
  }

  // The first entry (within the reach of a u16) whose name equals the name
  // without regard to case, as the game compares them; -1 when none.
  template <typename Entry, typename NameOf>
  static int32_t FindByName(const std::vector<Entry>& entries, const std::string& name,
                            NameOf nameOf) {
    const std::string upper = VmcUpper(name);
    for (size_t index = 0; index < entries.size() && index <= 0xFFFF; ++index) {
      if (VmcUpper(nameOf(entries[index])) == upper) {
        return static_cast<int32_t>(index);
      }
    }
    return -1;
  }

  void PlaceLabel(const std::string& name) {
    const auto [place, added] = labelLines_.emplace(name, lineNumber_);
    if (!added) {
      throw Fault{"expected a new label; \"" + name + "\" is already placed on line " +
                  std::to_string(place->second)};
    }
    Code().Label(name);
  }

  // Numbers -128 to 255 and strings, separated by commas.
  std::string ByteList() {
    std::string bytes;
    while (true) {
      const Token token = Peek();
      if (token.kind == TokenKind::kText) {
        bytes += Take().text;
      } else {
        const int32_t value =
            static_cast<int32_t>(Number(-128, 255, "a byte -128 to 255 or a string"));
        bytes += static_cast<char>(value);
      }
      if (!IsPunct(",")) {
        return bytes;
      }
      Take();
    }
  }

  // --- Finishing ------------------------------------------------------------------------------
  void Finish() {
    if (object_ >= 0) {
      lineNumber_ = objectLine_;
      throw Fault{"expected .end to close the object \"" + script_.objects[object_].name + "\""};
    }
    for (const auto& [label, line] : labelUses_) {
      if (labelLines_.count(label) == 0) {
        lineNumber_ = line;
        throw Fault{"expected a label that is placed somewhere, found \"" + label + "\""};
      }
    }
    std::string error;
    if (!Code().Finish(script_.code, error)) {
      throw Fault{error};
    }
    if (listener_) {
      lineNumber_ = listenerLine_;
      script_.listenerAddress =
          listener_->label.empty() ? listener_->offset : Code().LabelOffset(listener_->label);
    }
  }

  // --- Tokens ---------------------------------------------------------------------------------
  const Token& Peek() const { return tokens_[next_]; }
  bool IsPunct(const char* punct) const {
    return Peek().kind == TokenKind::kPunct && Peek().text == punct;
  }
  Token Take() {
    const Token token = tokens_[next_];
    if (token.kind != TokenKind::kEnd) {
      ++next_;
    }
    return token;
  }

  void EndOfLine() {
    if (Peek().kind != TokenKind::kEnd) {
      Expected("the end of the line", Peek());
    }
  }

  void Punct(const char* punct, const std::string& what) {
    if (Peek().kind != TokenKind::kPunct || Peek().text != punct) {
      Expected(what, Peek());
    }
    Take();
  }

  int64_t Number(int64_t low, int64_t high, const std::string& what) {
    const Token token = Peek();
    if (token.kind != TokenKind::kNumber || token.number < low || token.number > high) {
      Expected(what, token);
    }
    Take();
    return token.number;
  }

  int32_t Int32() {
    return static_cast<int32_t>(
        static_cast<uint32_t>(Number(kLowestInt32, kHighestBits32, "a number")));
  }
  uint8_t Byte(const std::string& what) { return static_cast<uint8_t>(Number(0, 255, what)); }
  uint16_t U16(const std::string& what) { return static_cast<uint16_t>(Number(0, 65535, what)); }

  uint8_t Flag() {
    const Token token = Peek();
    if (token.kind == TokenKind::kWord &&
        (VmcUpper(token.text) == "TRUE" || VmcUpper(token.text) == "FALSE")) {
      Take();
      return VmcUpper(token.text) == "TRUE" ? 1 : 0;
    }
    return Byte("true, false or a number 0-255");
  }

  std::string TextToken() {
    if (Peek().kind != TokenKind::kText) {
      Expected("a string", Peek());
    }
    return Take().text;
  }

  // A plain word or a string.
  std::string NameToken(const std::string& what) {
    if (Peek().kind != TokenKind::kText && Peek().kind != TokenKind::kWord) {
      Expected(what, Peek());
    }
    return Take().text;
  }

  static std::string ShortText(const std::string& text) {
    if (text.size() > 255) {
      throw Fault{"expected a text of at most 255 bytes"};
    }
    return text;
  }

  void Since(int32_t since, const std::string& what) {
    if (!VmcStores(script_.version, since)) {
      throw Fault{"expected something a version " + std::to_string(script_.version) +
                  " script stores; " + what + " is stored from version " + std::to_string(since) +
                  " on"};
    }
  }

  // Everything but .version fixes the version.
  void Start() { started_ = true; }

  VmcCode& Code() {
    Start();
    if (!code_) {
      code_.emplace(script_.version);
    }
    return *code_;
  }

  VmcScript script_;
  std::optional<VmcCode> code_;
  std::vector<Token> tokens_;
  size_t next_ = 0;
  int32_t lineNumber_ = 0;
  int32_t object_ = -1;  // the object being declared
  int32_t objectLine_ = 0;
  bool started_ = false;
  std::map<std::string, int32_t> labelUses_;   // label, first line that uses it
  std::map<std::string, int32_t> labelLines_;  // label, line that places it
  std::optional<VmcTarget> listener_;
  int32_t listenerLine_ = 0;
};

}  // namespace

bool VmcAssemble(const std::string& source, const std::string& sourceName, VmcScript& script,
                 std::string& error) {
  return Assembler().Run(source, sourceName, script, error);
}
