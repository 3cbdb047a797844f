// Shared by the state module's source files only: the state records and how
// the variable and save-file code finds them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/state/state.h"

struct StateRecord {
  int32_t id = 0;
  std::string saveName;  // empty, or upper-cased and unique among states
  bool paused = false;
  uint32_t elapsed = 0;    // clock value at the last freeze
  uint32_t startTick = 0;  // tick count when the clock last started
  StateEnterHandler enter;
  StateProcessHandler process;
  StateExitHandler exit;
  std::vector<StateVariable> variables;
};

// The state with this id, or nullptr.
StateRecord* StateFind(int32_t id);
// The state whose save name equals the name without regard to case; an empty
// name matches no state.
StateRecord* StateFindBySaveName(const std::string& name);
// Every state in creation order.
const std::vector<std::unique_ptr<StateRecord>>& StateRecords();
