// The code generator's state: names in scope, the stack layout of the body
// being compiled, and the instruction list that the optimiser rewrites
// before it is encoded.
#pragma once

#include <map>
#include <optional>

#include "tools/vmc/vmctext_internal.h"
#include "tools/vmcc/vmcc_internal.h"

struct Builtin {
  const char* name;
  uint16_t index;
  int inputs;
  int outputs;  // 0 or 1
  Type result;
};

// The literal operand of a constant.
VmcOperand Literal(const Value& value);
// The built-in routine with that name, or nullptr.
const Builtin* FindBuiltin(const std::string& name);
// The type an attribute read pushes.
Type AttributeType(int32_t type, const std::string& name);

// One instruction or label of the code before encoding.
struct Ins {
  bool isLabel = false;
  uint8_t op = kVmcNop;
  std::string target;  // label name, or the jump/call/fork target
  VmcOperand a;
  VmcOperand b;
  uint16_t index = 0;  // routine, built-in or object index
  uint8_t attr = 0;
  std::optional<VmcOperand> item;
  Pos pos;
};

// Rewrites the instruction list without changing what it does: jumps to
// jumps are threaded, jumps to the next instruction and code that cannot be
// reached are dropped, and a conditional jump over a jump is inverted.
void Optimise(std::vector<Ins>& code);
// The conditional jump taken exactly when the given one is not.
uint8_t InverseJump(uint8_t opcode);

// Where a value is while an expression is compiled.
struct Operand {
  enum Kind { kConst, kVar, kTemp } kind = kConst;
  Value value;  // kConst
  Type type = Type::kInt;
  uint8_t mode = kVmcSlotAbove;
  int32_t n = 0;
};

struct Var {
  std::string name;
  Type type = Type::kInt;
  uint8_t mode = kVmcSlotAbove;
  int32_t n = 0;
  Pos pos;
  bool used = false;
  bool visible = true;
};

enum class BodyKind { kInitial, kFunction, kListener };

struct Loop {
  std::string breakLabel;
  std::string continueLabel;
  int depth = 0;
};

struct ObjectInfo {
  uint16_t index = 0;
  int32_t type = 0;
  std::string name;  // as declared
};

class Generator {
 public:
  Generator(Diagnostics& diag, VmccResult& result) : diag_(diag), result_(result) {}
  void Run(const Program& program);

  // Object declarations (vmcc_objects.cpp).
  void DeclareObject(const ObjectDecl& decl);

 private:
  void Error(const Pos& pos, const std::string& message) { diag_.Report(pos, "error", message); }
  void Warn(const Pos& pos, const std::string& message) { diag_.Report(pos, "warning", message); }

  // Constants and object values.
  bool ConstEval(const Expr& expr, Value& value);
  bool Constant(const Expr& expr) const;
  bool ObjectValue(const Expr& expr, Type type, Value& value);
  void ObjectFrames(const ObjectItem& item, VmcFrameSet& frames);
  void ObjectNames(const ObjectItem& item, std::vector<std::string>& names);
  void ObjectItemValue(const ObjectItem& item, const VmcField& field, VmcObject& object);
  void CheckShadow(const Pos& pos, const std::string& name);

  // Names.
  Var* FindVar(const std::string& name);
  const Var* FindVar(const std::string& name) const;
  Var& Declare(const Pos& pos, const std::string& name, Type type, uint8_t mode, int32_t n);
  void OpenScope();
  void CloseScope();
  const ObjectInfo* FindObject(const Expr& expr);
  bool TypeOf(const Expr& expr, Type& type);
  bool AttributeOf(const Expr& expr, bool set, const ObjectInfo*& object, int32_t& id);

  // Instructions.
  Ins& Emit(uint8_t op, const Pos& pos);
  void Label(const std::string& name);
  std::string NewLabel();
  void Push(const VmcOperand& value, const Pos& pos);
  void Pop(const Pos& pos, int count = 1);
  VmcOperand Ref(const Operand& operand) const;
  VmcOperand TopSlot() const;

  // Expressions.
  Operand Eval(const Expr& expr);
  Operand EvalToTemp(const Expr& expr);
  void EvalInto(const Expr& expr, Type type);
  void Release(const Operand& operand, const Pos& pos);
  Operand Temp(Type type) const;
  Operand EvalBinary(const Expr& expr);
  Operand EvalCompare(const Expr& expr, uint8_t opcode);
  Operand EvalUnary(const Expr& expr);
  Operand EvalName(const Expr& expr);
  Operand EvalCall(const Expr& expr, bool wantValue);
  Operand EvalBuiltin(const Expr& expr, const Builtin& builtin, bool wantValue);
  Operand EvalFunction(const Expr& expr, const FuncDecl& func, bool wantValue);
  void CallRoutine(const Expr& expr, uint16_t routine);
  void Wait(const Expr& expr);
  Operand EvalAttribute(const Expr& expr);
  std::optional<VmcOperand> ItemIndex(const Expr& expr, Operand& index);
  Operand Fail();

  // Statements.
  bool Statement(const Stmt& stmt);  // false when control cannot pass it
  bool Block(const std::vector<StmtPtr>& body);
  void VarStatement(const Stmt& stmt);
  void Assign(const Stmt& stmt);
  void AssignVar(const Stmt& stmt, Var& var);
  void AssignAttribute(const Stmt& stmt);
  void CondJump(const Expr& cond, bool whenTrue, const std::string& label);
  bool Scoped(const Stmt* stmt);
  bool If(const Stmt& stmt);
  void While(const Stmt& stmt);
  void For(const Stmt& stmt);
  bool Return(const Stmt& stmt);
  void Fork(const Stmt& stmt);
  void LoopExit(const Stmt& stmt);
  bool NeedsScratch(const Stmt& stmt) const;
  bool SimpleCondition(const Expr& expr) const;

  void StartBody(BodyKind kind, const FuncDecl* func, bool scratch, const Pos& pos);
  void EndBody(bool reachable, const Pos& pos);
  void Initial(const Program& program);
  void Listener(const ListenerDecl& listener);
  void Function(const FuncDecl& func);
  void Encode();

  Diagnostics& diag_;
  VmccResult& result_;
  std::map<std::string, Value> consts_;
  std::map<std::string, ObjectInfo> objects_;  // by upper-cased name
  std::map<std::string, uint16_t> routines_;
  std::map<std::string, const FuncDecl*> funcs_;
  std::vector<Var> globals_;
  size_t nextGlobal_ = 0;
  std::vector<std::vector<Var>> scopes_;
  std::vector<Ins> code_;
  int labels_ = 0;

  // The body being compiled.
  BodyKind kind_ = BodyKind::kInitial;
  const FuncDecl* func_ = nullptr;
  int depth_ = 0;      // slots above the frame base: locals and temporaries
  int baseDepth_ = 0;  // slots a return leaves in place
  int scratch_ = -1;   // the slot conditions are converted in, or -1
  bool inFork_ = false;
  std::vector<Loop> loops_;
};
