// Shared by the compiler's front end and code generator: source positions,
// diagnostics, tokens, the syntax tree, and the constant values with the
// byte code's own arithmetic and conversions.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tools/vmcc/vmcc.h"

constexpr int kMaxNesting = 256;  // blocks, parentheses and unary operators

struct Pos {
  std::string file;
  int line = 1;
  int col = 1;
};

struct Diagnostics {
  void Report(const Pos& pos, const char* kind, const std::string& message);
  // The messages in source order (files in the order they were first
  // named), at most a fixed number of them.
  std::vector<std::string> Lines() const;
  std::vector<std::pair<Pos, std::string>> entries;
  int errors = 0;
};

// --- Values -----------------------------------------------------------------------------------

enum class Type { kInt = 0, kBool = 1, kString = 2 };

struct Value {
  Type type = Type::kInt;
  int32_t number = 0;  // integer, or boolean 0/1
  std::string text;
};

const char* TypeName(Type type);
Value IntValue(int32_t number);
Value BoolValue(bool value);
Value StringValue(std::string text);
Value DefaultValue(Type type);
int32_t ToInt(const Value& value);
bool ToBool(const Value& value);
std::string ToText(const Value& value);
Value Convert(const Value& value, Type type);
// The byte code's arithmetic: dest op src in the type of dest (opcodes 17-24).
Value Arithmetic(uint8_t opcode, const Value& dest, const Value& src);
// -1, 0 or 1 comparing a with b in the type of a.
int Compare(const Value& a, const Value& b);
// Whether a conditional jump of the opcode is taken for the comparison.
bool JumpTaken(uint8_t opcode, int order);
// The byte code's not.
Value Not(const Value& value);

// --- Operators (vmcc_values.cpp) ---------------------------------------------------------------
bool IsComparison(const std::string& op);  // == != < <= > >=
// The conditional jump that is taken when the comparison holds.
uint8_t CompareOpcode(const std::string& op);
// The arithmetic opcode of a binary or compound-assignment operator ("+" or
// "+=", ..., "and", "or"); move for anything else.
uint8_t ArithmeticOpcode(const std::string& op);

// --- Tokens -----------------------------------------------------------------------------------

enum class TokenKind { kIdent, kInt, kString, kPunct, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  int64_t number = 0;
  Pos pos;
  bool bad = false;  // the lexer reported a fault in it
};

class Lexer {
 public:
  Lexer(const std::string& text, const std::string& file, Diagnostics& diag);
  Token Next();

 private:
  static void Advance(Pos& pos, char c);
  char Peek(size_t ahead) const;
  void Skip();
  void SkipSpace();
  Token Number(Token& token);
  Token String(Token& token);

  std::string_view text_;
  size_t at_ = 0;
  Pos pos_;
  Diagnostics& diag_;
};

// --- Syntax tree ------------------------------------------------------------------------------

enum class ExprKind { kInt, kBool, kString, kName, kUnary, kBinary, kCall, kAttr, kOut };

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  ExprKind kind = ExprKind::kInt;
  Pos pos;
  int64_t number = 0;  // integer or boolean literal
  std::string text;    // string literal, or the name
  std::string op;
  std::vector<ExprPtr> args;  // operands, call arguments, or the item index
  std::string attr;           // attribute name
  Pos attrPos;
  bool item = false;  // Obj.item[index].attr
};

enum class StmtKind {
  kBlock,
  kVar,
  kAssign,
  kExpr,
  kIf,
  kWhile,
  kFor,
  kBreak,
  kContinue,
  kReturn,
  kYield,
  kFork
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct Stmt {
  StmtKind kind = StmtKind::kBlock;
  Pos pos;
  std::string name;  // variable name
  bool declared = false;
  Type type = Type::kInt;
  std::string op;  // assignment operator
  ExprPtr target;
  ExprPtr value;              // initializer, assigned value, condition, call or result
  std::vector<StmtPtr> body;  // block statements, or the branches of if/while/for/fork
  StmtPtr init;               // for
  StmtPtr step;               // for
};

struct Param {
  Pos pos;
  std::string name;
  Type type = Type::kInt;
};

struct FuncDecl {
  Pos pos;
  std::string name;
  std::vector<Param> params;
  bool hasResult = false;
  Type result = Type::kInt;
  StmtPtr body;
};

struct ListenerDecl {
  Pos pos;
  Param codeName;
  Param nameName;
  StmtPtr body;
};

struct ConstDecl {
  Pos pos;
  std::string name;
  ExprPtr value;
};

struct FrameDecl {
  Pos pos;
  std::vector<ExprPtr> images;
  ExprPtr mat;
};

struct ObjectItem {
  Pos pos;
  std::string name;
  std::vector<ExprPtr> values;
  bool isFrameSet = false;
  ExprPtr blend;
  ExprPtr memory;
  std::vector<FrameDecl> frames;
};

struct ObjectDecl {
  Pos pos;
  std::string typeName;
  std::string name;
  std::vector<ObjectItem> items;
};

struct RoutineDecl {
  Pos pos;
  std::string name;
};

struct Program {
  std::vector<ConstDecl> consts;
  std::vector<RoutineDecl> routines;
  std::vector<ObjectDecl> objects;
  std::vector<FuncDecl> funcs;
  std::unique_ptr<ListenerDecl> listener;
  std::vector<StmtPtr> initial;  // top-level statements in source order
};

class Parser {
 public:
  Parser(Program& program, Diagnostics& diag, const VmccOptions& options);
  void MarkMain(const std::string& path);
  void ParseFile(const std::string& text, const std::string& file);

 private:
  const Token& Cur() const;
  bool AtEnd() const;
  bool Is(const char* text) const;
  bool Accept(const char* text);
  bool Expect(const char* text);
  std::string Found() const;
  std::string Ident(const char* what);
  void Error(const Pos& pos, const std::string& message);
  void Recover();
  bool Enter(const Pos& pos);

  void ParseTopLevel();
  void ParseImport(const Pos& pos);
  void ParseObject();
  void ParseFrameSet(ObjectItem& item);
  Type ParseType();
  void ParseFunction();
  void ParseListener(const Pos& pos);
  StmtPtr ParseBlock();
  StmtPtr ParseStatement();
  StmtPtr ParseBlockOrStatement();
  void ParseFor(Stmt& stmt);
  void ParseSimple(Stmt& stmt);
  ExprPtr ParseExpr();
  ExprPtr ParseBinary(size_t level);
  ExprPtr ParseUnary();
  ExprPtr ParsePrimary();
  ExprPtr ParsePostfix();

  Program& program_;
  Diagnostics& diag_;
  const VmccOptions& options_;
  std::vector<Token> tokens_;
  size_t at_ = 0;
  bool panic_ = false;
  int nesting_ = 0;
  std::vector<std::string> importStack_;
  std::set<std::string> imported_;
};

bool VmccParse(const std::string& source, const std::string& fileName, const VmccOptions& options,
               Program& program, Diagnostics& diag);
// Checks and compiles the parsed program into result.
void VmccGenerate(const Program& program, Diagnostics& diag, VmccResult& result);
