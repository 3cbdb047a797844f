// Peephole rewriting of the instruction list. Every rewrite keeps what the
// code does: only jumps and instructions that cannot run are changed.
#include <map>
#include <set>

#include "tools/vmcc/vmcc_gen.h"

namespace {

bool IsConditional(uint8_t op) {
  return op >= kVmcJumpNotEqual && op <= kVmcJumpLessEqual;
}

bool HasTarget(const Ins& ins) {
  return !ins.isLabel &&
         (ins.op == kVmcJump || ins.op == kVmcCall || ins.op == kVmcFork || IsConditional(ins.op));
}

// Labels the program needs whether or not a jump names them.
bool IsEntry(const std::string& label) {
  return label == "on_event" || label.rfind("f_", 0) == 0;
}

// The index of the first instruction at or after i.
size_t NextInstruction(const std::vector<Ins>& code, size_t i) {
  while (i < code.size() && code[i].isLabel) {
    ++i;
  }
  return i;
}

// Whether the label is placed between i (inclusive) and the next
// instruction.
bool LabelFollows(const std::vector<Ins>& code, size_t i, const std::string& label) {
  for (; i < code.size() && code[i].isLabel; ++i) {
    if (code[i].target == label) {
      return true;
    }
  }
  return false;
}

bool ThreadJumps(std::vector<Ins>& code) {
  std::map<std::string, size_t> placed;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i].isLabel) {
      placed[code[i].target] = i;
    }
  }
  bool changed = false;
  for (Ins& ins : code) {
    if (!HasTarget(ins) || ins.op == kVmcCall) {
      continue;
    }
    std::string target = ins.target;
    for (int hops = 0; hops < 16; ++hops) {
      const size_t next = NextInstruction(code, placed[target]);
      if (next >= code.size() || code[next].op != kVmcJump || code[next].target == target) {
        break;
      }
      target = code[next].target;
    }
    if (target != ins.target) {
      ins.target = target;
      changed = true;
    }
  }
  return changed;
}

// Builds a new list, so that the pass stays linear in the code size.
bool DropUselessJumps(std::vector<Ins>& code) {
  bool changed = false;
  std::vector<Ins> kept;
  kept.reserve(code.size());
  for (size_t i = 0; i < code.size(); ++i) {
    Ins& ins = code[i];
    const bool jump = !ins.isLabel && (ins.op == kVmcJump || IsConditional(ins.op));
    if (jump && LabelFollows(code, i + 1, ins.target)) {
      changed = true;
      continue;
    }
    // jcc L1; jump L2; L1:  ->  j!cc L2; L1:
    if (jump && IsConditional(ins.op) && i + 1 < code.size() && !code[i + 1].isLabel &&
        code[i + 1].op == kVmcJump && LabelFollows(code, i + 2, ins.target)) {
      ins.op = InverseJump(ins.op);
      ins.target = code[i + 1].target;
      kept.push_back(std::move(ins));
      ++i;
      changed = true;
      continue;
    }
    kept.push_back(std::move(ins));
  }
  code = std::move(kept);
  return changed;
}

bool DropDeadCode(std::vector<Ins>& code) {
  std::set<std::string> used;
  for (const Ins& ins : code) {
    if (HasTarget(ins)) {
      used.insert(ins.target);
    }
  }
  bool changed = false;
  std::vector<Ins> kept;
  bool dead = false;
  for (Ins& ins : code) {
    if (ins.isLabel) {
      if (used.count(ins.target) == 0 && !IsEntry(ins.target)) {
        changed = true;
        continue;
      }
      dead = false;
    } else if (dead) {
      changed = true;
      continue;
    }
    if (!ins.isLabel && (ins.op == kVmcJump || ins.op == kVmcReturn)) {
      dead = true;
    }
    kept.push_back(std::move(ins));
  }
  code = std::move(kept);
  return changed;
}

}  // namespace

uint8_t InverseJump(uint8_t opcode) {
  switch (opcode) {
    case kVmcJumpNotEqual:
      return kVmcJumpEqual;
    case kVmcJumpEqual:
      return kVmcJumpNotEqual;
    case kVmcJumpGreaterEqual:
      return kVmcJumpLess;
    case kVmcJumpLess:
      return kVmcJumpGreaterEqual;
    case kVmcJumpGreater:
      return kVmcJumpLessEqual;
    default:
      return kVmcJumpGreater;
  }
}

void Optimise(std::vector<Ins>& code) {
  for (int pass = 0; pass < 8; ++pass) {
    bool changed = ThreadJumps(code);
    changed = DropUselessJumps(code) || changed;
    changed = DropDeadCode(code) || changed;
    if (!changed) {
      return;
    }
  }
}
