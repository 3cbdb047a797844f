// Statements, bodies, the whole program, and the final encoding with its
// table of source positions.
#include <climits>

#include "tools/vmcc/vmcc_gen.h"

namespace {

bool IsSimple(const Expr& expr) {
  return expr.kind == ExprKind::kInt || expr.kind == ExprKind::kBool ||
         expr.kind == ExprKind::kString || expr.kind == ExprKind::kName;
}

}  // namespace

// --- Conditions ---------------------------------------------------------------------------------

bool Generator::SimpleCondition(const Expr& expr) const {
  if (IsSimple(expr)) {
    return true;
  }
  if (expr.kind == ExprKind::kBinary && IsComparison(expr.op)) {
    return IsSimple(*expr.args[0]) && IsSimple(*expr.args[1]);
  }
  return false;
}

bool Generator::NeedsScratch(const Stmt& stmt) const {
  const bool conditional =
      stmt.kind == StmtKind::kIf || stmt.kind == StmtKind::kWhile || stmt.kind == StmtKind::kFor;
  if (conditional && stmt.value && !SimpleCondition(*stmt.value) && !Constant(*stmt.value)) {
    return true;
  }
  for (const StmtPtr& child : stmt.body) {
    if (child && NeedsScratch(*child)) {
      return true;
    }
  }
  return (stmt.init && NeedsScratch(*stmt.init)) || (stmt.step && NeedsScratch(*stmt.step));
}

// Jumps to the label when the condition, converted to a boolean, equals
// whenTrue. A comparison of two plain values is one conditional jump.
void Generator::CondJump(const Expr& cond, bool whenTrue, const std::string& label) {
  if (Constant(cond)) {
    Value value;
    if (ConstEval(cond, value) && ToBool(value) == whenTrue) {
      Emit(kVmcJump, cond.pos).target = label;
    }
    return;
  }
  if (cond.kind == ExprKind::kBinary && IsComparison(cond.op) && IsSimple(*cond.args[0]) &&
      IsSimple(*cond.args[1])) {
    const Operand a = Eval(*cond.args[0]);
    const Operand b = Eval(*cond.args[1]);
    const uint8_t opcode = CompareOpcode(cond.op);
    Ins& jump = Emit(whenTrue ? opcode : InverseJump(opcode), cond.pos);
    jump.a = Ref(a);
    jump.b = Ref(b);
    jump.target = label;
    return;
  }
  Operand value = Eval(cond);
  VmcOperand tested = Ref(value);
  if (!IsSimple(cond)) {
    const VmcOperand scratch = VmcVariable(kVmcSlotAbove, scratch_);
    Ins& move = Emit(kVmcMove, cond.pos);
    move.a = tested;
    move.b = scratch;
    Release(value, cond.pos);
    tested = scratch;
  }
  // Compared as booleans: the literal is operand A, so B is converted.
  Ins& jump = Emit(whenTrue ? kVmcJumpNotEqual : kVmcJumpEqual, cond.pos);
  jump.a = VmcBool(false);
  jump.b = tested;
  jump.target = label;
}

// --- Statements -------------------------------------------------------------------------------

bool Generator::Scoped(const Stmt* stmt) {
  if (stmt == nullptr) {
    return true;
  }
  OpenScope();
  const int depth = depth_;
  const bool reachable = Statement(*stmt);
  if (reachable) {
    Pop(stmt->pos, depth_ - depth);
  }
  depth_ = depth;
  CloseScope();
  return reachable;
}

bool Generator::Block(const std::vector<StmtPtr>& body) {
  bool reachable = true;
  bool warned = false;
  for (const StmtPtr& stmt : body) {
    if (!stmt) {
      continue;
    }
    if (!reachable && !warned) {
      Warn(stmt->pos, "unreachable code");
      warned = true;
    }
    reachable = Statement(*stmt) && reachable;
  }
  return reachable;
}

bool Generator::Statement(const Stmt& stmt) {
  switch (stmt.kind) {
    case StmtKind::kBlock: {
      OpenScope();
      const int depth = depth_;
      const bool reachable = Block(stmt.body);
      if (reachable) {
        Pop(stmt.pos, depth_ - depth);
      }
      depth_ = depth;
      CloseScope();
      return reachable;
    }
    case StmtKind::kVar:
      VarStatement(stmt);
      return true;
    case StmtKind::kAssign:
      Assign(stmt);
      return true;
    case StmtKind::kExpr:
      Release(EvalCall(*stmt.value, false), stmt.pos);
      return true;
    case StmtKind::kIf:
      return If(stmt);
    case StmtKind::kWhile:
      While(stmt);
      return true;
    case StmtKind::kFor:
      For(stmt);
      return true;
    case StmtKind::kBreak:
    case StmtKind::kContinue:
      LoopExit(stmt);
      return false;
    case StmtKind::kReturn:
      return Return(stmt);
    case StmtKind::kYield:
      Emit(kVmcYield, stmt.pos);
      return true;
    case StmtKind::kFork:
      Fork(stmt);
      return true;
  }
  return true;
}

void Generator::VarStatement(const Stmt& stmt) {
  if (kind_ == BodyKind::kInitial && scopes_.size() == 1 && !inFork_) {
    Var& global = globals_[nextGlobal_++];
    if (stmt.value && !Constant(*stmt.value)) {
      const Operand value = Eval(*stmt.value);
      Ins& move = Emit(kVmcMove, stmt.pos);
      move.a = Ref(value);
      move.b = VmcSlot(global.n);
      Release(value, stmt.pos);
    }
    global.visible = true;
    return;
  }
  Type type = stmt.type;
  if (!stmt.value) {
    Push(Literal(DefaultValue(type)), stmt.pos);
  } else if (stmt.declared) {
    EvalInto(*stmt.value, type);
  } else {
    const Operand value = EvalToTemp(*stmt.value);
    type = value.type;
  }
  Declare(stmt.pos, stmt.name, type, kVmcSlotAbove, depth_ - 1);
}

void Generator::Assign(const Stmt& stmt) {
  if (stmt.target->kind == ExprKind::kAttr) {
    AssignAttribute(stmt);
    return;
  }
  const std::string& name = stmt.target->text;
  Var* var = stmt.target->kind == ExprKind::kName ? FindVar(name) : nullptr;
  if (var == nullptr) {
    if (stmt.target->kind != ExprKind::kName) {
      Error(stmt.target->pos, "only variables and attributes can be assigned");
    } else if (consts_.count(name) != 0) {
      Error(stmt.target->pos, "cannot assign to the constant '" + name + "'");
    } else if (objects_.count(VmcUpper(name)) != 0) {
      Error(stmt.target->pos, "cannot assign to the object '" + name + "'; assign an attribute");
    } else {
      Error(stmt.target->pos, "unknown name '" + name + "'");
    }
    return;
  }
  AssignVar(stmt, *var);
}

// x = x op y and x = y op z (y of x's type) work on x directly when y and z
// are plain values: the result is the same as through a temporary.
void Generator::AssignVar(const Stmt& stmt, Var& var) {
  const VmcOperand dest = VmcVariable(var.mode, var.n);
  const Expr& value = *stmt.value;
  if (stmt.op != "=") {
    const Operand src = Eval(value);
    Ins& ins = Emit(ArithmeticOpcode(stmt.op), stmt.pos);
    ins.a = Ref(src);
    ins.b = dest;
    Release(src, stmt.pos);
    return;
  }
  if (value.kind == ExprKind::kName && value.text == var.name) {
    var.used = true;
    return;  // a move of a variable onto itself changes nothing
  }
  Type leftType = var.type;
  const bool direct = value.kind == ExprKind::kBinary && !IsComparison(value.op) &&
                      !Constant(value) && IsSimple(*value.args[0]) && IsSimple(*value.args[1]) &&
                      TypeOf(*value.args[0], leftType) && leftType == var.type &&
                      !(value.args[1]->kind == ExprKind::kName && value.args[1]->text == var.name);
  if (direct) {
    const bool self = value.args[0]->kind == ExprKind::kName && value.args[0]->text == var.name;
    if (self) {
      var.used = true;
    } else {
      Ins& move = Emit(kVmcMove, stmt.pos);
      move.a = Ref(Eval(*value.args[0]));
      move.b = dest;
    }
    Ins& ins = Emit(ArithmeticOpcode(value.op), value.pos);
    ins.a = Ref(Eval(*value.args[1]));
    ins.b = dest;
    return;
  }
  const Operand src = Eval(value);
  Ins& move = Emit(kVmcMove, stmt.pos);
  move.a = Ref(src);
  move.b = dest;
  Release(src, stmt.pos);
}

void Generator::AssignAttribute(const Stmt& stmt) {
  const Expr& target = *stmt.target;
  const ObjectInfo* object = nullptr;
  int32_t id = 0;
  if (!AttributeOf(target, true, object, id)) {
    return;
  }
  Operand value;
  if (stmt.op == "=") {
    value = Eval(*stmt.value);
  } else {
    value = EvalAttribute(target);
    const Operand src = Eval(*stmt.value);
    Ins& ins = Emit(ArithmeticOpcode(stmt.op), stmt.pos);
    ins.a = Ref(src);
    ins.b = Ref(value);
    Release(src, stmt.pos);
  }
  Operand index;
  const std::optional<VmcOperand> item = ItemIndex(target, index);
  Ins& set = Emit(kVmcSetAttribute, stmt.pos);
  set.index = object->index;
  set.attr = static_cast<uint8_t>(id);
  set.a = Ref(value);
  set.item = item;
  Release(index, stmt.pos);
  Release(value, stmt.pos);
}

bool Generator::If(const Stmt& stmt) {
  const std::string otherwise = NewLabel();
  CondJump(*stmt.value, false, otherwise);
  const bool thenReach = Scoped(stmt.body[0].get());
  if (stmt.body.size() < 2) {
    Label(otherwise);
    return true;
  }
  const std::string end = NewLabel();
  if (thenReach) {
    Emit(kVmcJump, stmt.pos).target = end;
  }
  Label(otherwise);
  const bool elseReach = Scoped(stmt.body[1].get());
  Label(end);
  return thenReach || elseReach;
}

// The condition is tested at the bottom, so one jump per round is saved.
void Generator::While(const Stmt& stmt) {
  const std::string top = NewLabel();
  const std::string test = NewLabel();
  const std::string exit = NewLabel();
  Emit(kVmcJump, stmt.pos).target = test;
  Label(top);
  loops_.push_back({exit, test, depth_});
  Scoped(stmt.body[0].get());
  loops_.pop_back();
  Label(test);
  CondJump(*stmt.value, true, top);
  Label(exit);
}

void Generator::For(const Stmt& stmt) {
  OpenScope();
  const int depth = depth_;
  if (stmt.init) {
    Statement(*stmt.init);
  }
  const std::string top = NewLabel();
  const std::string next = NewLabel();
  const std::string test = NewLabel();
  const std::string exit = NewLabel();
  Emit(kVmcJump, stmt.pos).target = test;
  Label(top);
  loops_.push_back({exit, next, depth_});
  Scoped(stmt.body[0].get());
  loops_.pop_back();
  Label(next);
  if (stmt.step) {
    Scoped(stmt.step.get());
  }
  Label(test);
  if (stmt.value) {
    CondJump(*stmt.value, true, top);
  } else {
    Emit(kVmcJump, stmt.pos).target = top;
  }
  Label(exit);
  Pop(stmt.pos, depth_ - depth);
  CloseScope();
}

void Generator::LoopExit(const Stmt& stmt) {
  const bool isBreak = stmt.kind == StmtKind::kBreak;
  if (loops_.empty()) {
    Error(stmt.pos, std::string(isBreak ? "break" : "continue") + " outside a loop");
    return;
  }
  const Loop& loop = loops_.back();
  for (int i = loop.depth; i < depth_; ++i) {
    Emit(kVmcPop, stmt.pos);
  }
  Emit(kVmcJump, stmt.pos).target = isBreak ? loop.breakLabel : loop.continueLabel;
}

bool Generator::Return(const Stmt& stmt) {
  if (kind_ == BodyKind::kFunction && !inFork_) {
    if (func_->hasResult && !stmt.value) {
      Error(stmt.pos,
            "the function '" + func_->name + "' must return a " + TypeName(func_->result));
    } else if (!func_->hasResult && stmt.value) {
      Error(stmt.pos, "the function '" + func_->name + "' gives no value");
    } else if (stmt.value) {
      const Operand value = Eval(*stmt.value);
      Ins& move = Emit(kVmcMove, stmt.pos);
      move.a = Ref(value);
      move.b = VmcParam(static_cast<int32_t>(func_->params.size()) + 1);
      Release(value, stmt.pos);
    }
  } else if (stmt.value) {
    Error(stmt.pos, "only functions return a value");
  }
  if (!inFork_) {
    for (int i = baseDepth_; i < depth_; ++i) {
      Emit(kVmcPop, stmt.pos);
    }
  }
  Emit(kVmcReturn, stmt.pos);
  return false;
}

// The new thread runs the statement and ends; this thread goes on after it.
void Generator::Fork(const Stmt& stmt) {
  if (kind_ == BodyKind::kFunction) {
    Error(stmt.pos,
          "fork is not allowed in a function (the new thread would return into the caller); "
          "fork in the initial code or the listener");
    return;
  }
  const std::string after = NewLabel();
  Emit(kVmcFork, stmt.pos).target = after;
  const std::vector<Loop> loops = std::move(loops_);
  loops_.clear();
  const bool wasInFork = inFork_;
  inFork_ = true;
  const int depth = depth_;
  OpenScope();
  if (stmt.body[0] && Statement(*stmt.body[0])) {
    Emit(kVmcReturn, stmt.pos);
  }
  CloseScope();
  depth_ = depth;
  inFork_ = wasInFork;
  loops_ = loops;
  Label(after);
}

// --- Bodies -------------------------------------------------------------------------------------

void Generator::StartBody(BodyKind kind, const FuncDecl* func, bool scratch, const Pos& pos) {
  kind_ = kind;
  func_ = func;
  depth_ = kind == BodyKind::kInitial ? static_cast<int>(globals_.size()) : 0;
  baseDepth_ = depth_;
  scratch_ = -1;
  if (scratch) {
    scratch_ = depth_;
    Push(VmcBool(false), pos);
  }
  if (kind != BodyKind::kInitial) {
    baseDepth_ = 0;
  }
}

void Generator::EndBody(bool reachable, const Pos& pos) {
  if (reachable) {
    Pop(pos, depth_ - baseDepth_);
    Emit(kVmcReturn, pos);
  }
}

void Generator::Initial(const Program& program) {
  // Globals: every top-level variable has a fixed slot at the bottom of the
  // event thread's stack, pushed before the first statement runs.
  OpenScope();
  const Pos start = program.initial.empty() ? Pos{} : program.initial.front()->pos;
  for (const StmtPtr& stmt : program.initial) {
    if (!stmt || stmt->kind != StmtKind::kVar) {
      continue;
    }
    Type type = stmt->type;
    if (!stmt->declared && !TypeOf(*stmt->value, type)) {
      type = Type::kInt;  // the initializer reports its own error
    }
    for (const Var& other : globals_) {
      if (other.name == stmt->name) {
        Error(stmt->pos, "'" + stmt->name + "' is already declared");
      }
    }
    CheckShadow(stmt->pos, stmt->name);
    Var var;
    var.name = stmt->name;
    var.type = type;
    var.mode = kVmcSlotAbsolute;
    var.n = static_cast<int32_t>(globals_.size());
    var.pos = stmt->pos;
    var.visible = false;
    globals_.push_back(var);
    // A constant initializer is the slot's first value, so no move is needed.
    Value first = DefaultValue(type);
    if (stmt->value && Constant(*stmt->value) && ConstEval(*stmt->value, first)) {
      first = Convert(first, type);
    }
    Push(Literal(first), stmt->pos);
  }
  bool scratch = false;
  for (const StmtPtr& stmt : program.initial) {
    scratch = scratch || (stmt && NeedsScratch(*stmt));
  }
  StartBody(BodyKind::kInitial, nullptr, scratch, start);
  const bool reachable = Block(program.initial);
  EndBody(reachable, start);
  CloseScope();
  for (Var& var : globals_) {
    var.visible = true;
  }
}

void Generator::Listener(const ListenerDecl& listener) {
  Label("on_event");
  result_.script.listener = 1;
  OpenScope();
  Var& code = Declare(listener.codeName.pos, listener.codeName.name, Type::kInt, kVmcSlotBelow, 1);
  code.used = true;
  Var& name =
      Declare(listener.nameName.pos, listener.nameName.name, Type::kString, kVmcSlotBelow, 2);
  name.used = true;
  StartBody(BodyKind::kListener, nullptr, NeedsScratch(*listener.body), listener.pos);
  EndBody(Statement(*listener.body), listener.pos);
  CloseScope();
}

void Generator::Function(const FuncDecl& func) {
  Label("f_" + func.name);
  OpenScope();
  const auto count = static_cast<int32_t>(func.params.size());
  for (int32_t i = 0; i < count; ++i) {
    const Param& param = func.params[static_cast<size_t>(i)];
    Declare(param.pos, param.name, param.type, kVmcSlotBelow, count - i).used = true;
  }
  StartBody(BodyKind::kFunction, &func, NeedsScratch(*func.body), func.pos);
  EndBody(Statement(*func.body), func.pos);
  CloseScope();
}

void Generator::Run(const Program& program) {
  for (const ConstDecl& decl : program.consts) {
    Value value;
    if (consts_.count(decl.name) != 0) {
      Error(decl.pos, "the constant '" + decl.name + "' is declared twice");
    } else if (ConstEval(*decl.value, value)) {
      consts_[decl.name] = value;
    }
  }
  for (const ObjectDecl& object : program.objects) {
    DeclareObject(object);
  }
  for (const ConstDecl& decl : program.consts) {
    CheckShadow(decl.pos, decl.name);
  }
  for (const RoutineDecl& routine : program.routines) {
    if (routines_.count(routine.name) != 0) {
      continue;  // declared again by another import
    }
    if (result_.script.routines.size() >= 65535) {
      Error(routine.pos, "more than 65,535 app routines");
      break;
    }
    routines_[routine.name] = static_cast<uint16_t>(result_.script.routines.size());
    result_.script.routines.push_back(routine.name);
  }
  for (const FuncDecl& func : program.funcs) {
    if (FindBuiltin(func.name) != nullptr || func.name == "wait") {
      Error(func.pos, "'" + func.name + "' is a built-in routine");
    } else if (funcs_.count(func.name) != 0 || routines_.count(func.name) != 0) {
      Error(func.pos, "'" + func.name + "' is declared twice");
    } else {
      funcs_[func.name] = &func;
    }
  }
  Initial(program);
  if (program.listener) {
    Listener(*program.listener);
  }
  for (const auto& [name, func] : funcs_) {
    Function(*func);
  }
  for (const Var& var : globals_) {
    if (!var.used && diag_.errors == 0) {
      Warn(var.pos, "unused variable '" + var.name + "'");
    }
  }
  if (diag_.errors == 0) {
    Encode();
  }
}

// --- Encoding -----------------------------------------------------------------------------------

void Generator::Encode() {
  Optimise(code_);
  VmcCode code;
  for (const Ins& ins : code_) {
    if (ins.isLabel) {
      code.Label(ins.target);
      continue;
    }
    result_.lines.push_back({static_cast<uint32_t>(code.Offset()), ins.pos.file,
                             static_cast<uint32_t>(ins.pos.line),
                             static_cast<uint32_t>(ins.pos.col)});
    switch (ins.op) {
      case kVmcReturn:
        code.Return();
        break;
      case kVmcCall:
        code.Call(ins.target);
        break;
      case kVmcNot:
        code.Not(ins.a);
        break;
      case kVmcJump:
        code.Jump(ins.target);
        break;
      case kVmcJumpNotEqual:
      case kVmcJumpEqual:
      case kVmcJumpGreaterEqual:
      case kVmcJumpLess:
      case kVmcJumpGreater:
      case kVmcJumpLessEqual:
        code.JumpIf(ins.op, ins.a, ins.b, ins.target);
        break;
      case kVmcPush:
        code.Push(ins.a);
        break;
      case kVmcPop:
        code.Pop();
        break;
      case kVmcCallApp:
        code.CallApp(ins.index);
        break;
      case kVmcCallBuiltin:
        code.CallBuiltin(ins.index);
        break;
      case kVmcSetAttribute:
        code.SetAttribute(ins.index, ins.attr, ins.a, ins.item);
        break;
      case kVmcGetAttribute:
        code.GetAttribute(ins.index, ins.attr, ins.item);
        break;
      case kVmcYield:
        code.Yield();
        break;
      case kVmcFork:
        code.Fork(ins.target);
        break;
      default:
        code.Arithmetic(ins.op, ins.a, ins.b);
        break;
    }
    if (code.Offset() < 0 || code.Offset() > INT32_MAX - 1024) {
      Error(ins.pos, "the program is too large for the byte code (past 2 GB of code)");
      return;
    }
  }
  std::string error;
  if (!code.Finish(result_.script.code, error)) {
    Pos pos;
    pos.file = "vmcc";
    Error(pos, error);
    return;
  }
  if (result_.script.listener != 0) {
    result_.script.listenerAddress = code.LabelOffset("on_event");
  }
}

void VmccGenerate(const Program& program, Diagnostics& diag, VmccResult& result) {
  Generator generator(diag, result);
  generator.Run(program);
}
