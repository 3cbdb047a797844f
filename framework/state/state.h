// The application's state machine and its persistent memory. States are
// addressed by positive ids; at most one is current. Each state has up to
// three handlers, a millisecond clock that runs only while the state is
// current and not paused, an optional save name and named, typed variables.
// Saving writes the variables of every named state plus a block of
// application data into one file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// --- Types ------------------------------------------------------------------
using StateEnterHandler = std::function<void(int32_t previousId)>;
using StateProcessHandler = std::function<void()>;
using StateExitHandler = std::function<void(int32_t nextId)>;
// Called before every change; returning false refuses it.
using StateChangeHook = std::function<bool(int32_t oldId, int32_t newId)>;
// Writes or reads the application data of a save file through the direct-file
// functions, given the open file's id and the file's name.
using StateAppDataWriter = std::function<void(int32_t fileId, const std::string& fileName)>;
using StateAppDataReader = std::function<void(int32_t fileId, const std::string& fileName)>;

enum StateVariableType : uint8_t {
  kStateVariableEmpty = 0,
  kStateVariableBool = 1,
  kStateVariableInt = 2,
  kStateVariableString = 3,
};

// Only the member of the variable's type is meaningful.
struct StateVariable {
  std::string name;  // upper-cased
  uint8_t type = kStateVariableEmpty;
  bool boolValue = false;
  int32_t intValue = 0;
  std::string stringValue;
};

// One record of a save file's "STA" chunk: a state's name and variables.
struct StateSavedVariables {
  std::string name;
  std::vector<StateVariable> variables;
};

// --- Module lifecycle ---------------------------------------------------------
void StateStart();
void StateStop();  // releases every state

// --- States and handlers (the first registration creates the state) ----------
bool StateSetEnter(int32_t id, StateEnterHandler handler);  // false when already set
bool StateSetProcess(int32_t id, StateProcessHandler handler);
bool StateSetExit(int32_t id, StateExitHandler handler);
bool StateSetSaveName(int32_t id, const std::string& name);  // stored upper-cased
void StateSetChangeHook(StateChangeHook hook);

// --- Switching ----------------------------------------------------------------
int32_t StateGetCurrent();  // 0 when none
void StateSet(int32_t id);  // 0: no current state; deferred inside a process handler
void StateProcess();        // runs the current state's process handler

// --- Clocks (milliseconds of the tick clock) ----------------------------------
uint32_t StateGetTime(int32_t id);
bool StateIsPaused();            // the current state's flag
void StatePause();               // current state
void StateResume();              // current state
void StateResumeId(int32_t id);  // any state, current or not
void StateResetTime(int32_t id);
void StateSetTime(int32_t id, uint32_t milliseconds);

// --- Variables (names compare upper-cased) ------------------------------------
void StateVariableSetBool(int32_t id, const std::string& name, bool value);
void StateVariableSetInt(int32_t id, const std::string& name, int32_t value);
void StateVariableSetString(int32_t id, const std::string& name, const std::string& value);
StateVariable StateVariableGet(int32_t id, const std::string& name);  // type 0 when missing
// Whether the state has the variable; asking never logs.
bool StateVariableExists(int32_t id, const std::string& name);
bool StateVariableGetBool(int32_t id, const std::string& name);
int32_t StateVariableGetInt(int32_t id, const std::string& name);
std::string StateVariableGetString(int32_t id, const std::string& name);

// --- Save files ---------------------------------------------------------------
// False when the file cannot be created or any write fails; the file is then
// left as it was. A save replaces the old file only once it is complete.
bool StateSave(const std::string& fileName, const StateAppDataWriter& writer);
// False only when the file cannot be opened; a damaged file loads what it can.
bool StateLoad(const std::string& fileName, const StateAppDataReader& reader);
// Writes StateSave's layout (version, "STA", "APP") at the position of an
// open direct file, such as one in memory; false when a write failed.
bool StateWrite(int32_t file, const std::string& fileName, const StateAppDataWriter& writer);
// Reads the records of an "STA" chunk's bytes without applying them; false
// when a record, string or value runs past its record or the chunk, a type is
// unknown or a record has bytes left over. Allocates no more than the bytes hold.
bool StateParseVariables(std::string_view chunk, std::vector<StateSavedVariables>& states);
// Sets parsed variables on the states of those names; other names are dropped.
void StateApplyVariables(const std::vector<StateSavedVariables>& states);
