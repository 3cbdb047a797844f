// The front end of the compiler: source checks, the lexer and the parser
// that builds the syntax tree of a program and its imports.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "tools/vmcc/vmcc_internal.h"

namespace {

constexpr size_t kMaxDiagnostics = 50;

// The position of the first byte that is not part of valid UTF-8, or npos.
size_t InvalidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    uint32_t lowest = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if ((c & 0xE0) == 0xC0) {
      extra = 1;
      lowest = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      lowest = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      lowest = 0x10000;
    } else {
      return i;
    }
    if (i + extra >= text.size()) {
      return i;
    }
    uint32_t code = c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return i;
      }
      code = (code << 6) | (next & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return i;
    }
    i += extra + 1;
  }
  return std::string::npos;
}

bool IsIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

}  // namespace

// --- Diagnostics ------------------------------------------------------------------------------

void Diagnostics::Report(const Pos& pos, const char* kind, const std::string& message) {
  if (std::string(kind) == "error") {
    ++errors;
  }
  if (entries.size() <= kMaxDiagnostics) {
    entries.emplace_back(pos, pos.file + ":" + std::to_string(pos.line) + ":" +
                                  std::to_string(pos.col) + ": " + kind + ": " + message);
  }
}

std::vector<std::string> Diagnostics::Lines() const {
  std::vector<std::string> files;
  auto fileIndex = [&files](const std::string& file) {
    auto found = std::find(files.begin(), files.end(), file);
    if (found == files.end()) {
      files.push_back(file);
      return files.size() - 1;
    }
    return static_cast<size_t>(found - files.begin());
  };
  std::vector<std::tuple<size_t, int, int, size_t>> order;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Pos& pos = entries[i].first;
    order.emplace_back(fileIndex(pos.file), pos.line, pos.col, i);
  }
  std::sort(order.begin(), order.end());
  std::vector<std::string> lines;
  for (const auto& key : order) {
    lines.push_back(entries[std::get<3>(key)].second);
  }
  if (lines.size() > kMaxDiagnostics) {
    lines.resize(kMaxDiagnostics);
    lines.push_back("vmcc: note: too many diagnostics; the rest are not shown");
  }
  return lines;
}

// --- Lexer ------------------------------------------------------------------------------------

Lexer::Lexer(const std::string& text, const std::string& file, Diagnostics& diag)
    : text_(text), diag_(diag) {
  pos_.file = file;
  const size_t bad = InvalidUtf8(text);
  if (bad != std::string::npos) {
    Pos at = pos_;
    for (size_t i = 0; i < bad; ++i) {
      Advance(at, text[i]);
    }
    diag_.Report(at, "error", "invalid UTF-8 in the source");
    text_ = std::string_view(text).substr(0, 0);
  }
}

void Lexer::Advance(Pos& pos, char c) {
  if (c == '\n') {
    ++pos.line;
    pos.col = 1;
  } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
    ++pos.col;
  }
}

char Lexer::Peek(size_t ahead) const {
  return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
}

void Lexer::Skip() {
  Advance(pos_, text_[at_]);
  ++at_;
}

void Lexer::SkipSpace() {
  while (at_ < text_.size()) {
    const char c = text_[at_];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      Skip();
    } else if (c == '/' && Peek(1) == '/') {
      while (at_ < text_.size() && text_[at_] != '\n') {
        Skip();
      }
    } else if (c == '/' && Peek(1) == '*') {
      const Pos start = pos_;
      Skip();
      Skip();
      while (at_ < text_.size() && !(text_[at_] == '*' && Peek(1) == '/')) {
        Skip();
      }
      if (at_ >= text_.size()) {
        diag_.Report(start, "error", "unterminated comment");
        return;
      }
      Skip();
      Skip();
    } else {
      return;
    }
  }
}

Token Lexer::Next() {
  SkipSpace();
  Token token;
  token.pos = pos_;
  if (at_ >= text_.size()) {
    token.kind = TokenKind::kEnd;
    return token;
  }
  const char c = text_[at_];
  if (IsIdentStart(c)) {
    token.kind = TokenKind::kIdent;
    while (at_ < text_.size() && IsIdentChar(text_[at_])) {
      token.text += text_[at_];
      Skip();
    }
    return token;
  }
  if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
    return Number(token);
  }
  if (c == '"') {
    return String(token);
  }
  static const char* const kPuncts[] = {"==", "!=", "<=", ">=", "+=", "-=", "*=", "/=", "%="};
  for (const char* p : kPuncts) {
    if (c == p[0] && Peek(1) == p[1]) {
      token.kind = TokenKind::kPunct;
      token.text = p;
      Skip();
      Skip();
      return token;
    }
  }
  if (std::string("{}()[];,.=<>+-*/%:").find(c) != std::string::npos) {
    token.kind = TokenKind::kPunct;
    token.text = std::string(1, c);
    Skip();
    return token;
  }
  diag_.Report(pos_, "error", std::string("unexpected character '") + c + "'");
  Skip();
  return Next();
}

Token Lexer::Number(Token& token) {
  token.kind = TokenKind::kInt;
  int base = 10;
  if (text_[at_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
    base = 16;
    Skip();
    Skip();
  }
  bool any = false;
  bool overflow = false;
  while (at_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_])) != 0) {
    const char d = text_[at_];
    const int digit = std::isdigit(static_cast<unsigned char>(d)) != 0
                          ? d - '0'
                          : std::tolower(static_cast<unsigned char>(d)) - 'a' + 10;
    if (digit >= base) {
      break;
    }
    token.number = token.number * base + digit;
    overflow = overflow || token.number > 0xFFFFFFFFLL;
    any = true;
    Skip();
  }
  if (!any || (at_ < text_.size() && IsIdentChar(text_[at_]))) {
    diag_.Report(token.pos, "error", "malformed number");
    while (at_ < text_.size() && IsIdentChar(text_[at_])) {
      Skip();
    }
  }
  if (overflow) {
    diag_.Report(token.pos, "error", "integer literal out of range");
    token.number = 0;
  } else if (base == 16) {
    token.number = static_cast<int32_t>(static_cast<uint32_t>(token.number));
  }
  return token;
}

Token Lexer::String(Token& token) {
  token.kind = TokenKind::kString;
  Skip();
  while (true) {
    if (at_ >= text_.size() || text_[at_] == '\n') {
      diag_.Report(token.pos, "error", "unterminated string");
      token.bad = true;
      return token;
    }
    const char c = text_[at_];
    if (c == '"') {
      Skip();
      return token;
    }
    if (c == '\\') {
      const Pos escape = pos_;
      Skip();
      const char e = at_ < text_.size() ? text_[at_] : '\0';
      if (e == 'n') {
        token.text += '\n';
      } else if (e == 't') {
        token.text += '\t';
      } else if (e == '\\' || e == '"') {
        token.text += e;
      } else {
        diag_.Report(escape, "error", "unknown escape in string (use \\\\, \\\", \\n or \\t)");
        continue;
      }
      Skip();
      continue;
    }
    token.text += c;
    Skip();
  }
}

// --- Parser -----------------------------------------------------------------------------------

Parser::Parser(Program& program, Diagnostics& diag, const VmccOptions& options)
    : program_(program), diag_(diag), options_(options) {}

void Parser::ParseFile(const std::string& text, const std::string& file) {
  Lexer lexer(text, file, diag_);
  std::vector<Token> saved = std::move(tokens_);
  size_t savedAt = at_;
  tokens_.clear();
  at_ = 0;
  do {
    tokens_.push_back(lexer.Next());
  } while (tokens_.back().kind != TokenKind::kEnd);
  while (!AtEnd()) {
    const size_t before = at_;
    ParseTopLevel();
    if (at_ == before) {
      ++at_;
    }
  }
  tokens_ = std::move(saved);
  at_ = savedAt;
}

const Token& Parser::Cur() const {
  return tokens_[std::min(at_, tokens_.size() - 1)];
}

bool Parser::AtEnd() const {
  return Cur().kind == TokenKind::kEnd;
}

bool Parser::Is(const char* text) const {
  return (Cur().kind == TokenKind::kPunct || Cur().kind == TokenKind::kIdent) && Cur().text == text;
}

bool Parser::Accept(const char* text) {
  if (Is(text)) {
    ++at_;
    return true;
  }
  return false;
}

bool Parser::Expect(const char* text) {
  if (Accept(text)) {
    return true;
  }
  Error(Cur().pos, std::string("expected '") + text + "'" + Found());
  return false;
}

std::string Parser::Found() const {
  switch (Cur().kind) {
    case TokenKind::kEnd:
      return " at the end of the file";
    case TokenKind::kString:
      return " before a string";
    case TokenKind::kInt:
      return " before a number";
    default:
      return " before '" + Cur().text + "'";
  }
}

std::string Parser::Ident(const char* what) {
  static const std::set<std::string> kReserved = {
      "import", "const", "routine", "object", "func",     "on",     "var",   "if",
      "else",   "while", "for",     "break",  "continue", "return", "yield", "fork",
      "true",   "false", "and",     "or",     "not",      "out"};
  if (Cur().kind == TokenKind::kIdent && kReserved.count(Cur().text) != 0) {
    Error(Cur().pos, "'" + Cur().text + "' is a reserved word");
    return "";
  }
  if (Cur().kind == TokenKind::kIdent) {
    return tokens_[at_++].text;
  }
  Error(Cur().pos, std::string("expected ") + what + Found());
  return "";
}

// A fault next to a token the lexer already reported is not reported again.
void Parser::Error(const Pos& pos, const std::string& message) {
  const bool afterBad = Cur().bad || (at_ > 0 && tokens_[at_ - 1].bad);
  if (!panic_ && !afterBad) {
    diag_.Report(pos, "error", message);
  }
  panic_ = true;
}

// Skips to the end of the statement or block so that one fault gives one
// message.
void Parser::Recover() {
  if (!panic_) {
    return;
  }
  int depth = 0;
  while (!AtEnd()) {
    if (Is("{")) {
      ++depth;
    } else if (Is("}")) {
      if (depth == 0) {
        break;
      }
      if (--depth == 0) {
        ++at_;
        break;
      }
    } else if (Is(";") && depth == 0) {
      ++at_;
      break;
    }
    ++at_;
  }
  panic_ = false;
}

bool Parser::Enter(const Pos& pos) {
  if (++nesting_ > kMaxNesting) {
    Error(pos, "nesting deeper than " + std::to_string(kMaxNesting) + " levels");
    return false;
  }
  return true;
}

void Parser::ParseTopLevel() {
  const Pos pos = Cur().pos;
  if (Accept("import")) {
    ParseImport(pos);
  } else if (Accept("const")) {
    ConstDecl decl;
    decl.pos = Cur().pos;
    decl.name = Ident("a constant name");
    Expect("=");
    decl.value = ParseExpr();
    Expect(";");
    program_.consts.push_back(std::move(decl));
  } else if (Accept("routine")) {
    do {
      program_.routines.push_back({Cur().pos, Ident("a routine name")});
    } while (Accept(","));
    Expect(";");
  } else if (Accept("object")) {
    ParseObject();
  } else if (Accept("func")) {
    ParseFunction();
  } else if (Accept("on")) {
    ParseListener(pos);
  } else {
    StmtPtr stmt = ParseStatement();
    if (stmt) {
      program_.initial.push_back(std::move(stmt));
    }
  }
  Recover();
}

void Parser::ParseImport(const Pos& pos) {
  if (Cur().kind != TokenKind::kString) {
    Error(Cur().pos, "expected a file name string after 'import'" + Found());
    return;
  }
  const std::string name = tokens_[at_++].text;
  Expect(";");
  namespace fs = std::filesystem;
  std::vector<fs::path> candidates = {fs::path(pos.file).parent_path() / name};
  for (const std::string& dir : options_.includeDirs) {
    candidates.push_back(fs::path(dir) / name);
  }
  for (const fs::path& candidate : candidates) {
    std::error_code ec;
    if (!fs::is_regular_file(candidate, ec)) {
      continue;
    }
    const std::string key = fs::weakly_canonical(candidate, ec).string();
    for (const std::string& open : importStack_) {
      if (open == key) {
        Error(pos, "import of \"" + name + "\" is recursive");
        return;
      }
    }
    if (!imported_.insert(key).second) {
      return;  // already imported: its declarations are known
    }
    std::ifstream in(candidate, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    importStack_.push_back(key);
    ParseFile(text.str(), candidate.string());
    importStack_.pop_back();
    return;
  }
  Error(pos, "cannot find the imported file \"" + name + "\"");
}

void Parser::MarkMain(const std::string& path) {
  std::error_code ec;
  const std::string key = std::filesystem::weakly_canonical(path, ec).string();
  importStack_.push_back(key);
  imported_.insert(key);
}

void Parser::ParseObject() {
  ObjectDecl decl;
  decl.pos = Cur().pos;
  decl.typeName = Ident("an object type");
  decl.name = Ident("an object name");
  if (!Expect("{")) {
    return;
  }
  while (!AtEnd() && !Is("}")) {
    ObjectItem item;
    item.pos = Cur().pos;
    // Attribute names are the file format's, and one of them is a reserved
    // word of the language (a Render object's "routine").
    item.name = Cur().kind == TokenKind::kIdent ? tokens_[at_++].text : Ident("an attribute name");
    if (panic_) {
      Recover();
      continue;
    }
    if (Accept("{")) {
      ParseFrameSet(item);
    } else if (Expect("=")) {
      do {
        item.values.push_back(ParseExpr());
      } while (Accept(","));
      Expect(";");
    }
    decl.items.push_back(std::move(item));
    Recover();
  }
  Expect("}");
  program_.objects.push_back(std::move(decl));
}

// "name { blend = true; memory = false; frame "a.tga", "b.tga" mat "a.mat"; }"
void Parser::ParseFrameSet(ObjectItem& item) {
  item.isFrameSet = true;
  while (!AtEnd() && !Is("}")) {
    const Pos pos = Cur().pos;
    const std::string word = Ident("'blend', 'memory' or 'frame'");
    if (word == "frame") {
      FrameDecl frame;
      frame.pos = pos;
      if (!Is(";") && !Is("mat")) {
        do {
          frame.images.push_back(ParseExpr());
        } while (Accept(","));
      }
      if (Accept("mat")) {
        frame.mat = ParseExpr();
      }
      item.frames.push_back(std::move(frame));
    } else if (word == "blend" || word == "memory") {
      Expect("=");
      (word == "blend" ? item.blend : item.memory) = ParseExpr();
    } else if (!word.empty()) {
      Error(pos, "unknown frame set entry '" + word + "' (expected blend, memory or frame)");
    }
    Expect(";");
    Recover();
  }
  Expect("}");
}

Type Parser::ParseType() {
  const Pos pos = Cur().pos;
  const std::string name = Ident("a type (int, bool or string)");
  if (name == "int") {
    return Type::kInt;
  }
  if (name == "bool") {
    return Type::kBool;
  }
  if (name == "string") {
    return Type::kString;
  }
  if (!name.empty()) {
    Error(pos, "unknown type '" + name + "' (expected int, bool or string)");
  }
  return Type::kInt;
}

void Parser::ParseFunction() {
  FuncDecl func;
  func.pos = Cur().pos;
  func.name = Ident("a function name");
  Expect("(");
  if (!Is(")")) {
    do {
      Param param;
      param.pos = Cur().pos;
      param.name = Ident("a parameter name");
      Expect(":");
      param.type = ParseType();
      func.params.push_back(param);
    } while (Accept(","));
  }
  Expect(")");
  if (Accept(":")) {
    func.hasResult = true;
    func.result = ParseType();
  }
  if (panic_) {
    return;
  }
  func.body = ParseBlock();
  program_.funcs.push_back(std::move(func));
}

void Parser::ParseListener(const Pos& pos) {
  if (!(Accept("event") && Expect("("))) {
    Error(Cur().pos, "expected 'event(' after 'on'");
    return;
  }
  ListenerDecl listener;
  listener.pos = pos;
  listener.codeName = {Cur().pos, Ident("the event code's name"), Type::kInt};
  Expect(",");
  listener.nameName = {Cur().pos, Ident("the event name's name"), Type::kString};
  Expect(")");
  if (panic_) {
    return;
  }
  listener.body = ParseBlock();
  if (program_.listener) {
    diag_.Report(pos, "error", "a script has only one event listener");
    return;
  }
  program_.listener = std::make_unique<ListenerDecl>(std::move(listener));
}

StmtPtr Parser::ParseBlock() {
  auto block = std::make_unique<Stmt>();
  block->kind = StmtKind::kBlock;
  block->pos = Cur().pos;
  if (!Expect("{")) {
    return block;
  }
  if (!Enter(block->pos)) {
    --nesting_;
    return block;
  }
  while (!AtEnd() && !Is("}")) {
    const size_t before = at_;
    StmtPtr stmt = ParseStatement();
    if (stmt) {
      block->body.push_back(std::move(stmt));
    }
    if (panic_ && nesting_ > kMaxNesting) {
      break;
    }
    Recover();
    if (at_ == before) {
      ++at_;
    }
  }
  --nesting_;
  Expect("}");
  return block;
}

StmtPtr Parser::ParseStatement() {
  auto stmt = std::make_unique<Stmt>();
  stmt->pos = Cur().pos;
  if (Is("{")) {
    return ParseBlock();
  }
  for (const char* word : {"func", "object", "const", "routine", "import", "on"}) {
    if (Is(word)) {
      Error(stmt->pos, std::string("'") + word + "' is only allowed at the top level of a file");
      return nullptr;
    }
  }
  if (Accept("var")) {
    stmt->kind = StmtKind::kVar;
    stmt->name = Ident("a variable name");
    if (Accept(":")) {
      stmt->declared = true;
      stmt->type = ParseType();
    }
    if (Accept("=")) {
      stmt->value = ParseExpr();
    } else if (!stmt->declared) {
      Error(Cur().pos, "a variable needs a type or a value");
    }
    Expect(";");
  } else if (Accept("if")) {
    stmt->kind = StmtKind::kIf;
    Expect("(");
    stmt->value = ParseExpr();
    Expect(")");
    stmt->body.push_back(ParseBlockOrStatement());
    if (Accept("else")) {
      stmt->body.push_back(ParseBlockOrStatement());
    }
  } else if (Accept("while")) {
    stmt->kind = StmtKind::kWhile;
    Expect("(");
    stmt->value = ParseExpr();
    Expect(")");
    stmt->body.push_back(ParseBlockOrStatement());
  } else if (Accept("for")) {
    ParseFor(*stmt);
  } else if (Accept("break") || Accept("continue")) {
    stmt->kind = tokens_[at_ - 1].text == "break" ? StmtKind::kBreak : StmtKind::kContinue;
    Expect(";");
  } else if (Accept("return")) {
    stmt->kind = StmtKind::kReturn;
    if (!Is(";")) {
      stmt->value = ParseExpr();
    }
    Expect(";");
  } else if (Accept("yield")) {
    stmt->kind = StmtKind::kYield;
    Expect(";");
  } else if (Accept("fork")) {
    stmt->kind = StmtKind::kFork;
    stmt->body.push_back(ParseBlockOrStatement());
  } else {
    ParseSimple(*stmt);
    Expect(";");
  }
  return stmt;
}

StmtPtr Parser::ParseBlockOrStatement() {
  if (!Enter(Cur().pos)) {
    --nesting_;
    return nullptr;
  }
  StmtPtr stmt = ParseStatement();
  --nesting_;
  return stmt;
}

void Parser::ParseFor(Stmt& stmt) {
  stmt.kind = StmtKind::kFor;
  Expect("(");
  if (!Is(";")) {
    stmt.init = Is("var") ? ParseStatement() : nullptr;
    if (!stmt.init) {
      stmt.init = std::make_unique<Stmt>();
      stmt.init->pos = Cur().pos;
      ParseSimple(*stmt.init);
      Expect(";");
    }
  } else {
    Expect(";");
  }
  if (!Is(";")) {
    stmt.value = ParseExpr();
  }
  Expect(";");
  if (!Is(")")) {
    stmt.step = std::make_unique<Stmt>();
    stmt.step->pos = Cur().pos;
    ParseSimple(*stmt.step);
  }
  Expect(")");
  stmt.body.push_back(ParseBlockOrStatement());
}

// An assignment, a compound assignment, a call or wait(ms).
void Parser::ParseSimple(Stmt& stmt) {
  ExprPtr target = ParsePostfix();
  if (!target) {
    return;
  }
  static const char* const kAssign[] = {"=", "+=", "-=", "*=", "/=", "%="};
  for (const char* op : kAssign) {
    if (Is(op)) {
      stmt.pos = Cur().pos;
      ++at_;
      stmt.kind = StmtKind::kAssign;
      stmt.op = op;
      stmt.target = std::move(target);
      stmt.value = ParseExpr();
      return;
    }
  }
  if (target->kind != ExprKind::kCall) {
    Error(Cur().pos, "expected an assignment or a call" + Found());
    return;
  }
  stmt.kind = StmtKind::kExpr;
  stmt.value = std::move(target);
}

ExprPtr Parser::ParseExpr() {
  return ParseBinary(0);
}

namespace {

// Binary operators by precedence level, loosest first.
const std::vector<std::vector<const char*>> kLevels = {
    {"or"}, {"and"}, {"==", "!=", "<", "<=", ">", ">="}, {"+", "-"}, {"*", "/", "%"}};

}  // namespace

ExprPtr Parser::ParseBinary(size_t level) {
  if (level == kLevels.size()) {
    return ParseUnary();
  }
  ExprPtr left = ParseBinary(level + 1);
  // Each operator of a chain deepens the tree by one, like a parenthesis.
  int chain = 0;
  while (left) {
    const char* matched = nullptr;
    for (const char* op : kLevels[level]) {
      if (Is(op)) {
        matched = op;
      }
    }
    if (matched == nullptr) {
      break;
    }
    ++chain;
    if (!Enter(Cur().pos)) {
      left = nullptr;
      break;
    }
    auto expr = std::make_unique<Expr>();
    expr->kind = ExprKind::kBinary;
    expr->pos = Cur().pos;
    expr->op = matched;
    ++at_;
    expr->args.push_back(std::move(left));
    ExprPtr right = ParseBinary(level + 1);
    if (!right) {
      left = nullptr;
      break;
    }
    expr->args.push_back(std::move(right));
    left = std::move(expr);
  }
  nesting_ -= chain;
  return left;
}

ExprPtr Parser::ParseUnary() {
  const Pos pos = Cur().pos;
  if (Is("-") || Is("not")) {
    if (!Enter(pos)) {
      --nesting_;
      return nullptr;
    }
    auto expr = std::make_unique<Expr>();
    expr->kind = ExprKind::kUnary;
    expr->pos = pos;
    expr->op = tokens_[at_++].text;
    ExprPtr operand = ParseUnary();
    --nesting_;
    if (!operand) {
      return nullptr;
    }
    if (expr->op == "-" && operand->kind == ExprKind::kInt) {
      operand->number = -operand->number;
      operand->pos = pos;
      return operand;
    }
    expr->args.push_back(std::move(operand));
    return expr;
  }
  return ParsePostfix();
}

ExprPtr Parser::ParsePrimary() {
  auto expr = std::make_unique<Expr>();
  expr->pos = Cur().pos;
  const Token& token = Cur();
  if (token.kind == TokenKind::kInt) {
    expr->kind = ExprKind::kInt;
    expr->number = token.number;
    ++at_;
  } else if (token.kind == TokenKind::kString) {
    expr->kind = ExprKind::kString;
    expr->text = token.text;
    ++at_;
  } else if (Is("true") || Is("false")) {
    expr->kind = ExprKind::kBool;
    expr->number = token.text == "true" ? 1 : 0;
    ++at_;
  } else if (Is("(")) {
    if (!Enter(expr->pos)) {
      --nesting_;
      return nullptr;
    }
    ++at_;
    ExprPtr inner = ParseExpr();
    --nesting_;
    Expect(")");
    return inner;
  } else if (token.kind == TokenKind::kIdent) {
    expr->kind = ExprKind::kName;
    expr->text = token.text;
    ++at_;
  } else {
    Error(token.pos, "expected a value" + Found());
    return nullptr;
  }
  return expr;
}

// Calls, attributes and list items: f(a), out x, Obj.attr, Obj.item[i].attr.
ExprPtr Parser::ParsePostfix() {
  ExprPtr expr = ParsePrimary();
  if (!expr || expr->kind != ExprKind::kName) {
    return expr;
  }
  if (Accept("(")) {
    expr->kind = ExprKind::kCall;
    if (!Is(")")) {
      do {
        const Pos pos = Cur().pos;
        const bool out = Accept("out");
        ExprPtr arg = out ? ParsePrimary() : ParseExpr();
        if (!arg) {
          return nullptr;
        }
        if (out) {
          auto wrap = std::make_unique<Expr>();
          wrap->kind = ExprKind::kOut;
          wrap->pos = pos;
          wrap->args.push_back(std::move(arg));
          arg = std::move(wrap);
        }
        expr->args.push_back(std::move(arg));
      } while (Accept(","));
    }
    Expect(")");
    return expr;
  }
  if (!Accept(".")) {
    return expr;
  }
  expr->kind = ExprKind::kAttr;
  expr->attrPos = Cur().pos;
  expr->attr = Ident("an attribute name");
  if (expr->attr == "item" && Accept("[")) {
    expr->args.push_back(ParseExpr());
    Expect("]");
    Expect(".");
    expr->attrPos = Cur().pos;
    expr->attr = Ident("an item attribute (text, frame or value)");
    expr->item = true;
  }
  return expr;
}

// --- Whole programs -------------------------------------------------------------------------

bool VmccParse(const std::string& source, const std::string& fileName, const VmccOptions& options,
               Program& program, Diagnostics& diag) {
  Parser parser(program, diag, options);
  parser.MarkMain(fileName);
  parser.ParseFile(source, fileName);
  return diag.errors == 0;
}
