// The code generator: compiles the checked program to byte code with the
// stack layout described in docs/script-language.md (globals at the bottom
// of the event thread's stack, parameters below the frame base, locals and
// temporaries above it).
#include "tools/vmcc/vmcc_gen.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr size_t kMaxLiteral = 65535;

// An item attribute's name in the attribute table.
std::string ItemAttributeName(const std::string& name) {
  if (name == "text")
    return "itemTexts";
  if (name == "frame")
    return "itemFrames";
  if (name == "value")
    return "itemValues";
  return "";
}

}  // namespace

VmcOperand Literal(const Value& value) {
  switch (value.type) {
    case Type::kInt:
      return VmcInt(value.number);
    case Type::kBool:
      return VmcBool(value.number != 0);
    default:
      return VmcString(value.text);
  }
}

// --- Constants --------------------------------------------------------------------------------

bool Generator::ConstEval(const Expr& expr, Value& value) {
  switch (expr.kind) {
    case ExprKind::kInt:
      if (expr.number > INT32_MAX || expr.number < INT32_MIN) {
        Error(expr.pos, "integer literal out of range");
        return false;
      }
      value = IntValue(static_cast<int32_t>(expr.number));
      return true;
    case ExprKind::kBool:
      value = BoolValue(expr.number != 0);
      return true;
    case ExprKind::kString:
      if (expr.text.size() > kMaxLiteral) {
        Error(expr.pos, "string literal longer than 65,535 bytes");
        return false;
      }
      value = StringValue(expr.text);
      return true;
    case ExprKind::kName: {
      auto found = consts_.find(expr.text);
      if (found == consts_.end()) {
        Error(expr.pos, "'" + expr.text + "' is not a constant");
        return false;
      }
      value = found->second;
      return true;
    }
    case ExprKind::kUnary: {
      Value operand;
      if (!ConstEval(*expr.args[0], operand)) {
        return false;
      }
      value = expr.op == "not"
                  ? Not(operand)
                  : IntValue(static_cast<int32_t>(0u - static_cast<uint32_t>(ToInt(operand))));
      return true;
    }
    case ExprKind::kBinary: {
      Value left;
      Value right;
      if (!ConstEval(*expr.args[0], left) || !ConstEval(*expr.args[1], right)) {
        return false;
      }
      value = IsComparison(expr.op)
                  ? BoolValue(JumpTaken(CompareOpcode(expr.op), Compare(left, right)))
                  : Arithmetic(ArithmeticOpcode(expr.op), left, right);
      if (value.text.size() > kMaxLiteral) {
        Error(expr.pos, "string constant longer than 65,535 bytes");
        return false;
      }
      return true;
    }
    default:
      Error(expr.pos, "expected a constant value");
      return false;
  }
}

// Whether the expression's value is known to the compiler: literals,
// constants and operators on them.
bool Generator::Constant(const Expr& expr) const {
  switch (expr.kind) {
    case ExprKind::kInt:
    case ExprKind::kBool:
    case ExprKind::kString:
      return true;
    case ExprKind::kName:
      return consts_.count(expr.text) != 0 && FindVar(expr.text) == nullptr;
    case ExprKind::kUnary:
      return Constant(*expr.args[0]);
    case ExprKind::kBinary:
      return Constant(*expr.args[0]) && Constant(*expr.args[1]);
    default:
      return false;
  }
}

// --- Names ------------------------------------------------------------------------------------

void Generator::CheckShadow(const Pos& pos, const std::string& name) {
  if (objects_.count(VmcUpper(name)) != 0) {
    Warn(pos, "'" + name + "' shadows the object '" + objects_[VmcUpper(name)].name + "'");
  }
}

Var* Generator::FindVar(const std::string& name) {
  return const_cast<Var*>(std::as_const(*this).FindVar(name));
}

const Var* Generator::FindVar(const std::string& name) const {
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    for (auto var = scope->rbegin(); var != scope->rend(); ++var) {
      if (var->visible && var->name == name) {
        return &*var;
      }
    }
  }
  for (const Var& var : globals_) {
    if (var.visible && var.name == name) {
      return &var;
    }
  }
  return nullptr;
}

Var& Generator::Declare(const Pos& pos, const std::string& name, Type type, uint8_t mode,
                        int32_t n) {
  CheckShadow(pos, name);
  for (const Var& var : scopes_.back()) {
    if (var.name == name) {
      Error(pos, "'" + name + "' is already declared in this block");
    }
  }
  if (consts_.count(name) != 0) {
    Warn(pos, "'" + name + "' hides the constant of that name");
  }
  Var var;
  var.name = name;
  var.type = type;
  var.mode = mode;
  var.n = n;
  var.pos = pos;
  scopes_.back().push_back(var);
  return scopes_.back().back();
}

void Generator::OpenScope() {
  scopes_.emplace_back();
}

// Unused variables are reported only for programs without errors, where a
// faulty use cannot be the reason.
void Generator::CloseScope() {
  for (const Var& var : scopes_.back()) {
    if (!var.used && diag_.errors == 0) {
      Warn(var.pos, "unused variable '" + var.name + "'");
    }
  }
  scopes_.pop_back();
}

const ObjectInfo* Generator::FindObject(const Expr& expr) {
  auto found = objects_.find(VmcUpper(expr.text));
  if (found == objects_.end()) {
    Error(expr.pos, "unknown object '" + expr.text + "'");
    return nullptr;
  }
  return &found->second;
}

bool Generator::AttributeOf(const Expr& expr, bool set, const ObjectInfo*& object, int32_t& id) {
  object = FindObject(expr);
  if (object == nullptr) {
    return false;
  }
  const std::string typeName = VmcTypeName(object->type);
  std::string name = expr.attr;
  if (expr.item) {
    name = ItemAttributeName(expr.attr);
    if (object->type != kVmcList || name.empty()) {
      Error(expr.attrPos, object->type != kVmcList ? "only List objects have items"
                                                   : "unknown item attribute '" + expr.attr +
                                                         "' (text, frame or value)");
      return false;
    }
  }
  id = VmcAttributeFind(object->type, set, name);
  if (id < 0 || (!expr.item && VmcAttributeHasItem(object->type, set, id))) {
    if (id >= 0) {
      Error(expr.attrPos, "'" + expr.attr + "' needs an item: " + expr.text + ".item[i]." +
                              (name == "itemTexts"    ? "text"
                               : name == "itemFrames" ? "frame"
                                                      : "value"));
    } else if (VmcAttributeFind(object->type, !set, name) >= 0) {
      Error(expr.attrPos, "the " + typeName + " attribute '" + expr.attr + "' cannot be " +
                              (set ? "set" : "read"));
    } else {
      Error(expr.attrPos, "unknown attribute '" + expr.attr + "' for a " + typeName + " object");
    }
    return false;
  }
  return true;
}

bool Generator::TypeOf(const Expr& expr, Type& type) {
  switch (expr.kind) {
    case ExprKind::kInt:
      type = Type::kInt;
      return true;
    case ExprKind::kBool:
      type = Type::kBool;
      return true;
    case ExprKind::kString:
      type = Type::kString;
      return true;
    case ExprKind::kName: {
      if (const Var* var = FindVar(expr.text)) {
        type = var->type;
        return true;
      }
      auto found = consts_.find(expr.text);
      if (found != consts_.end()) {
        type = found->second.type;
        return true;
      }
      return false;
    }
    case ExprKind::kUnary:
      if (expr.op == "-") {
        type = Type::kInt;
        return true;
      }
      return TypeOf(*expr.args[0], type);
    case ExprKind::kBinary:
      if (IsComparison(expr.op)) {
        type = Type::kBool;
        return true;
      }
      return TypeOf(*expr.args[0], type);
    case ExprKind::kCall: {
      if (const Builtin* builtin = FindBuiltin(expr.text)) {
        type = builtin->result;
        return builtin->outputs == 1;
      }
      auto func = funcs_.find(expr.text);
      if (func != funcs_.end() && func->second->hasResult) {
        type = func->second->result;
        return true;
      }
      return false;
    }
    case ExprKind::kAttr: {
      auto found = objects_.find(VmcUpper(expr.text));
      if (found == objects_.end()) {
        return false;
      }
      type =
          AttributeType(found->second.type, expr.item ? ItemAttributeName(expr.attr) : expr.attr);
      return true;
    }
    default:
      return false;
  }
}

// --- Instructions -------------------------------------------------------------------------------

Ins& Generator::Emit(uint8_t op, const Pos& pos) {
  Ins ins;
  ins.op = op;
  ins.pos = pos;
  code_.push_back(std::move(ins));
  return code_.back();
}

void Generator::Label(const std::string& name) {
  Ins ins;
  ins.isLabel = true;
  ins.target = name;
  code_.push_back(std::move(ins));
}

std::string Generator::NewLabel() {
  return "L" + std::to_string(++labels_);
}

void Generator::Push(const VmcOperand& value, const Pos& pos) {
  Emit(kVmcPush, pos).a = value;
  ++depth_;
}

void Generator::Pop(const Pos& pos, int count) {
  for (int i = 0; i < count; ++i) {
    Emit(kVmcPop, pos);
  }
  depth_ -= count;
}

VmcOperand Generator::Ref(const Operand& operand) const {
  return operand.kind == Operand::kConst ? Literal(operand.value)
                                         : VmcVariable(operand.mode, operand.n);
}

VmcOperand Generator::TopSlot() const {
  return VmcLocal(depth_ - 1);
}

// --- Expressions --------------------------------------------------------------------------------

Operand Generator::Fail() {
  Operand operand;
  operand.value = IntValue(0);
  return operand;
}

Operand Generator::Temp(Type type) const {
  Operand operand;
  operand.kind = Operand::kTemp;
  operand.type = type;
  operand.mode = kVmcSlotAbove;
  operand.n = depth_ - 1;
  return operand;
}

void Generator::Release(const Operand& operand, const Pos& pos) {
  if (operand.kind == Operand::kTemp) {
    Pop(pos);
  }
}

Operand Generator::Eval(const Expr& expr) {
  if (Constant(expr)) {
    Operand operand;
    if (!ConstEval(expr, operand.value)) {
      return Fail();
    }
    operand.type = operand.value.type;
    return operand;
  }
  switch (expr.kind) {
    case ExprKind::kName:
      return EvalName(expr);
    case ExprKind::kUnary:
      return EvalUnary(expr);
    case ExprKind::kBinary:
      return IsComparison(expr.op) ? EvalCompare(expr, CompareOpcode(expr.op)) : EvalBinary(expr);
    case ExprKind::kCall:
      return EvalCall(expr, true);
    case ExprKind::kAttr:
      return EvalAttribute(expr);
    case ExprKind::kOut:
      Error(expr.pos, "'out' is only for arguments of app routines");
      return Fail();
    default:
      return Fail();
  }
}

Operand Generator::EvalToTemp(const Expr& expr) {
  const Operand operand = Eval(expr);
  if (operand.kind == Operand::kTemp) {
    return operand;
  }
  Push(Ref(operand), expr.pos);
  return Temp(operand.type);
}

// A new slot of the type holding the expression's value, converted the way
// a move converts.
void Generator::EvalInto(const Expr& expr, Type type) {
  Type natural = type;
  if (TypeOf(expr, natural) && natural == type) {
    EvalToTemp(expr);
    return;
  }
  Push(Literal(DefaultValue(type)), expr.pos);
  const VmcOperand slot = TopSlot();
  const Operand value = Eval(expr);
  Emit(kVmcMove, expr.pos).a = Ref(value);
  code_.back().b = slot;
  Release(value, expr.pos);
}

Operand Generator::EvalName(const Expr& expr) {
  Var* var = FindVar(expr.text);
  if (var == nullptr) {
    if (objects_.count(VmcUpper(expr.text)) != 0) {
      Error(expr.pos, "the object '" + expr.text + "' is not a value (read an attribute, " +
                          expr.text + ".name)");
    } else {
      Error(expr.pos, "unknown name '" + expr.text + "'");
    }
    return Fail();
  }
  var->used = true;
  Operand operand;
  operand.kind = Operand::kVar;
  operand.type = var->type;
  operand.mode = var->mode;
  operand.n = var->n;
  return operand;
}

Operand Generator::EvalBinary(const Expr& expr) {
  const Operand left = EvalToTemp(*expr.args[0]);
  const Operand right = Eval(*expr.args[1]);
  Ins& ins = Emit(ArithmeticOpcode(expr.op), expr.pos);
  ins.a = Ref(right);
  ins.b = Ref(left);
  Release(right, expr.pos);
  return left;
}

// The result slot starts false and becomes true unless the inverse jump
// skips the move.
Operand Generator::EvalCompare(const Expr& expr, uint8_t opcode) {
  Push(VmcBool(false), expr.pos);
  const Operand result = Temp(Type::kBool);
  const Operand a = Eval(*expr.args[0]);
  const Operand b = Eval(*expr.args[1]);
  const std::string skip = NewLabel();
  Ins& jump = Emit(InverseJump(opcode), expr.pos);
  jump.a = Ref(a);
  jump.b = Ref(b);
  jump.target = skip;
  Ins& move = Emit(kVmcMove, expr.pos);
  move.a = VmcBool(true);
  move.b = Ref(result);
  Label(skip);
  Release(b, expr.pos);
  Release(a, expr.pos);
  return result;
}

Operand Generator::EvalUnary(const Expr& expr) {
  if (expr.op == "not") {
    const Operand value = EvalToTemp(*expr.args[0]);
    Emit(kVmcNot, expr.pos).a = Ref(value);
    return value;
  }
  Push(VmcInt(0), expr.pos);
  const Operand result = Temp(Type::kInt);
  const Operand value = Eval(*expr.args[0]);
  Ins& ins = Emit(kVmcSubtract, expr.pos);
  ins.a = Ref(value);
  ins.b = Ref(result);
  Release(value, expr.pos);
  return result;
}

Operand Generator::EvalCall(const Expr& expr, bool wantValue) {
  if (expr.text == "wait") {
    if (wantValue) {
      Error(expr.pos, "wait gives no value");
    } else {
      Wait(expr);
    }
    return Fail();
  }
  if (const Builtin* builtin = FindBuiltin(expr.text)) {
    return EvalBuiltin(expr, *builtin, wantValue);
  }
  auto func = funcs_.find(expr.text);
  if (func != funcs_.end()) {
    return EvalFunction(expr, *func->second, wantValue);
  }
  auto routine = routines_.find(expr.text);
  if (routine != routines_.end()) {
    if (wantValue) {
      Error(expr.pos, "the app routine '" + expr.text +
                          "' gives no value; pass 'out' variables for its results");
    } else {
      CallRoutine(expr, routine->second);
    }
    return Fail();
  }
  Error(expr.pos, "unknown function '" + expr.text + "'");
  return Fail();
}

namespace {
std::string Arguments(int count) {
  return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}
}  // namespace

// The output slot is pushed first, then the inputs from last to first, so
// that input k is slot k and the output slot inputs + 1.
Operand Generator::EvalBuiltin(const Expr& expr, const Builtin& builtin, bool wantValue) {
  if (static_cast<int>(expr.args.size()) != builtin.inputs) {
    Error(expr.pos, std::string(builtin.name) + " takes " + Arguments(builtin.inputs) + ", found " +
                        std::to_string(expr.args.size()));
    return Fail();
  }
  if (wantValue && builtin.outputs == 0) {
    Error(expr.pos, std::string(builtin.name) + " gives no value");
    return Fail();
  }
  if (builtin.outputs == 1) {
    Push(Literal(DefaultValue(builtin.result)), expr.pos);
  }
  for (auto arg = expr.args.rbegin(); arg != expr.args.rend(); ++arg) {
    EvalToTemp(**arg);
  }
  Emit(kVmcCallBuiltin, expr.pos).index = builtin.index;
  Pop(expr.pos, builtin.inputs);
  return builtin.outputs == 1 ? Temp(builtin.result) : Fail();
}

Operand Generator::EvalFunction(const Expr& expr, const FuncDecl& func, bool wantValue) {
  if (expr.args.size() != func.params.size()) {
    Error(expr.pos, func.name + " takes " + Arguments(static_cast<int>(func.params.size())) +
                        ", found " + std::to_string(expr.args.size()));
    return Fail();
  }
  if (wantValue && !func.hasResult) {
    Error(expr.pos, "the function '" + func.name + "' gives no value");
    return Fail();
  }
  if (func.hasResult) {
    Push(Literal(DefaultValue(func.result)), expr.pos);
  }
  for (size_t i = 0; i < expr.args.size(); ++i) {
    EvalInto(*expr.args[i], func.params[i].type);
  }
  Emit(kVmcCall, expr.pos).target = "f_" + func.name;
  Pop(expr.pos, static_cast<int>(expr.args.size()));
  return func.hasResult ? Temp(func.result) : Fail();
}

// Arguments from last to first, so that argument k is slot k; an out
// argument's slot is moved back into its variable after the call.
void Generator::CallRoutine(const Expr& expr, uint16_t routine) {
  const int first = depth_;
  const int count = static_cast<int>(expr.args.size());
  for (auto arg = expr.args.rbegin(); arg != expr.args.rend(); ++arg) {
    if ((*arg)->kind == ExprKind::kOut) {
      const Expr& target = *(*arg)->args[0];
      Var* var = target.kind == ExprKind::kName ? FindVar(target.text) : nullptr;
      if (var == nullptr) {
        Error(target.pos, "'out' needs a variable");
        Push(VmcInt(0), target.pos);
        continue;
      }
      Push(VmcVariable(var->mode, var->n), target.pos);
      continue;
    }
    EvalToTemp(**arg);
  }
  Emit(kVmcCallApp, expr.pos).index = routine;
  for (int k = 0; k < count; ++k) {
    const Expr& arg = *expr.args[k];
    if (arg.kind != ExprKind::kOut) {
      continue;
    }
    Var* var = arg.args[0]->kind == ExprKind::kName ? FindVar(arg.args[0]->text) : nullptr;
    if (var != nullptr) {
      Ins& move = Emit(kVmcMove, arg.pos);
      move.a = VmcLocal(first + count - 1 - k);
      move.b = VmcVariable(var->mode, var->n);
    }
  }
  Pop(expr.pos, count);
}

// wait(ms): yields until built-in 1 (the running time) has advanced by at
// least ms since the call; it always yields at least once.
void Generator::Wait(const Expr& expr) {
  if (expr.args.size() != 1) {
    Error(expr.pos, "wait takes 1 argument, found " + std::to_string(expr.args.size()));
    return;
  }
  const Operand ms = Eval(*expr.args[0]);
  Push(VmcInt(0), expr.pos);
  const VmcOperand start = TopSlot();
  Emit(kVmcCallBuiltin, expr.pos).index = 1;
  const std::string again = NewLabel();
  const std::string done = NewLabel();
  Label(again);
  Emit(kVmcYield, expr.pos);
  Push(VmcInt(0), expr.pos);
  const VmcOperand now = TopSlot();
  Emit(kVmcCallBuiltin, expr.pos).index = 1;
  Ins& sub = Emit(kVmcSubtract, expr.pos);
  sub.a = start;
  sub.b = now;
  Ins& check = Emit(kVmcJumpGreaterEqual, expr.pos);
  check.a = now;
  check.b = Ref(ms);
  check.target = done;
  Emit(kVmcPop, expr.pos);
  Emit(kVmcJump, expr.pos).target = again;
  Label(done);
  Pop(expr.pos, 2);
  Release(ms, expr.pos);
}

std::optional<VmcOperand> Generator::ItemIndex(const Expr& expr, Operand& index) {
  if (!expr.item) {
    return std::nullopt;
  }
  index = Eval(*expr.args[0]);
  return index.kind == Operand::kConst ? VmcInt(ToInt(index.value)) : Ref(index);
}

// Item values keep the type they were set with, so a read of an item is
// moved into a slot of the attribute's type.
Operand Generator::EvalAttribute(const Expr& expr) {
  const ObjectInfo* object = nullptr;
  int32_t id = 0;
  if (!AttributeOf(expr, false, object, id)) {
    return Fail();
  }
  const Type type =
      AttributeType(object->type, expr.item ? ItemAttributeName(expr.attr) : expr.attr);
  if (expr.item) {
    Push(Literal(DefaultValue(type)), expr.pos);
  }
  Operand index;
  const std::optional<VmcOperand> item = ItemIndex(expr, index);
  Ins& get = Emit(kVmcGetAttribute, expr.pos);
  get.index = object->index;
  get.attr = static_cast<uint8_t>(id);
  get.item = item;
  ++depth_;
  if (!expr.item) {
    return Temp(type);
  }
  Ins& move = Emit(kVmcMove, expr.pos);
  move.a = TopSlot();
  move.b = VmcLocal(depth_ - 2 - (index.kind == Operand::kTemp ? 1 : 0));
  Pop(expr.pos);
  Release(index, expr.pos);
  return Temp(type);
}
