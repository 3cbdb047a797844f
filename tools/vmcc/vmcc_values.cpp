// Constant values with exactly the conversions and arithmetic of the byte
// code, so that folding a constant gives what the instruction would.
#include <algorithm>

#include "tools/vmcc/vmcc_internal.h"

const char* TypeName(Type type) {
  switch (type) {
    case Type::kInt:
      return "int";
    case Type::kBool:
      return "bool";
    default:
      return "string";
  }
}

Value IntValue(int32_t number) {
  return Value{Type::kInt, number, ""};
}

Value BoolValue(bool value) {
  return Value{Type::kBool, value ? 1 : 0, ""};
}

Value StringValue(std::string text) {
  return Value{Type::kString, 0, std::move(text)};
}

Value DefaultValue(Type type) {
  return Value{type, 0, ""};
}

namespace {

// An optional minus and at least one digit; longer numbers keep their low
// 32 bits.
int32_t TextToInt(const std::string& text) {
  const size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() <= first ||
      !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(first), text.end(),
                   [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  uint32_t magnitude = 0;
  for (size_t i = first; i < text.size(); ++i) {
    magnitude = magnitude * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  return static_cast<int32_t>(first == 1 ? 0u - magnitude : magnitude);
}

bool TextToBool(const std::string& text) {
  return text.size() == 4 && (text[0] | 0x20) == 't' && (text[1] | 0x20) == 'r' &&
         (text[2] | 0x20) == 'u' && (text[3] | 0x20) == 'e';
}

int32_t IntArithmetic(uint8_t opcode, int32_t dest, int32_t src) {
  const auto d = static_cast<uint32_t>(dest);
  const auto s = static_cast<uint32_t>(src);
  switch (opcode) {
    case kVmcAdd:
      return static_cast<int32_t>(d + s);
    case kVmcSubtract:
      return static_cast<int32_t>(d - s);
    case kVmcAnd:
      return dest & src;
    case kVmcOr:
      return dest | src;
    case kVmcMultiply:
      return static_cast<int32_t>(d * s);
    case kVmcDivide:
      if (src == 0) {
        return 0;
      }
      return src == -1 ? static_cast<int32_t>(0u - d) : dest / src;
    default:
      return src == 0 || src == -1 ? 0 : dest % src;
  }
}

bool BoolArithmetic(uint8_t opcode, bool dest, const Value& src) {
  switch (opcode) {
    case kVmcAdd:
      return int64_t{dest} + ToInt(src) != 0;
    case kVmcSubtract:
      return int32_t{dest} != ToInt(src);
    case kVmcAnd:
      return dest && ToBool(src);
    case kVmcOr:
      return dest || ToBool(src);
    default:  // multiply, divide, remainder
      return dest && ToInt(src) != 0;
  }
}

std::string StringSubtract(std::string dest, const Value& src) {
  if (src.type == Type::kInt) {
    if (src.number > 0) {
      dest.erase(dest.size() - std::min(dest.size(), static_cast<size_t>(src.number)));
    }
    return dest;
  }
  const std::string text = ToText(src);
  const size_t found = text.empty() ? std::string::npos : dest.find(text);
  if (found != std::string::npos && found + text.size() == dest.size()) {
    dest.erase(found);
  }
  return dest;
}

std::string StringArithmetic(uint8_t opcode, const std::string& dest, const Value& src) {
  switch (opcode) {
    case kVmcAdd:
      return dest + ToText(src);
    case kVmcSubtract:
      return StringSubtract(dest, src);
    case kVmcAnd:
      return TextToBool(dest) && ToBool(src) ? "TRUE" : "FALSE";
    case kVmcOr:
      return TextToBool(dest) || ToBool(src) ? "TRUE" : "FALSE";
    default:
      return "";
  }
}

}  // namespace

int32_t ToInt(const Value& value) {
  return value.type == Type::kString ? TextToInt(value.text) : value.number;
}

bool ToBool(const Value& value) {
  return value.type == Type::kString ? TextToBool(value.text) : value.number != 0;
}

std::string ToText(const Value& value) {
  switch (value.type) {
    case Type::kInt:
      return std::to_string(value.number);
    case Type::kBool:
      return value.number != 0 ? "true" : "false";
    default:
      return value.text;
  }
}

Value Convert(const Value& value, Type type) {
  if (value.type == type) {
    return value;
  }
  switch (type) {
    case Type::kInt:
      return IntValue(ToInt(value));
    case Type::kBool:
      return BoolValue(ToBool(value));
    default:
      return StringValue(ToText(value));
  }
}

Value Arithmetic(uint8_t opcode, const Value& dest, const Value& src) {
  if (opcode == kVmcMove) {
    return Convert(src, dest.type);
  }
  switch (dest.type) {
    case Type::kInt:
      return IntValue(IntArithmetic(opcode, dest.number, ToInt(src)));
    case Type::kBool:
      return BoolValue(BoolArithmetic(opcode, dest.number != 0, src));
    default:
      return StringValue(StringArithmetic(opcode, dest.text, src));
  }
}

int Compare(const Value& a, const Value& b) {
  if (a.type == Type::kString) {
    const int order = a.text.compare(ToText(b));
    return (order > 0) - (order < 0);
  }
  const int32_t x = a.number;
  const int32_t y = a.type == Type::kInt ? ToInt(b) : (ToBool(b) ? 1 : 0);
  return (x > y) - (x < y);
}

bool JumpTaken(uint8_t opcode, int order) {
  switch (opcode) {
    case kVmcJumpNotEqual:
      return order != 0;
    case kVmcJumpEqual:
      return order == 0;
    case kVmcJumpGreaterEqual:
      return order >= 0;
    case kVmcJumpLess:
      return order < 0;
    case kVmcJumpGreater:
      return order > 0;
    default:
      return order <= 0;
  }
}

Value Not(const Value& value) {
  switch (value.type) {
    case Type::kInt:
      return IntValue(~value.number);
    case Type::kBool:
      return BoolValue(value.number == 0);
    default:
      return StringValue(TextToBool(value.text) ? "FALSE" : "TRUE");
  }
}

// --- Operators ------------------------------------------------------------------------------

bool IsComparison(const std::string& op) {
  return op == "==" || op == "!=" || op == "<" || op == "<=" || op == ">" || op == ">=";
}

uint8_t CompareOpcode(const std::string& op) {
  if (op == "==")
    return kVmcJumpEqual;
  if (op == "!=")
    return kVmcJumpNotEqual;
  if (op == "<")
    return kVmcJumpLess;
  if (op == "<=")
    return kVmcJumpLessEqual;
  if (op == ">")
    return kVmcJumpGreater;
  return kVmcJumpGreaterEqual;
}

uint8_t ArithmeticOpcode(const std::string& op) {
  if (op == "+" || op == "+=")
    return kVmcAdd;
  if (op == "-" || op == "-=")
    return kVmcSubtract;
  if (op == "*" || op == "*=")
    return kVmcMultiply;
  if (op == "/" || op == "/=")
    return kVmcDivide;
  if (op == "%" || op == "%=")
    return kVmcRemainder;
  if (op == "and")
    return kVmcAnd;
  if (op == "or")
    return kVmcOr;
  return kVmcMove;
}
