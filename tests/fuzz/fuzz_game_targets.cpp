// The fuzz targets of the script engine and the game: save games (the save
// list's scan, then the checked load), compiled scripts, and byte code run
// as the code of a fixed script. Scripts run under the tests' instruction
// budget, so a loop in the input ends its thread instead of the run.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game_internal.h"
#include "game/saves.h"
#include "platform/platform.h"
#include "script/script.h"
#include "script/script_internal.h"
#include "tests/fuzz/fuzz_environment.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tools/vmc/vmcwriter.h"

namespace {

// The size of the program's log: a failure the loaders report adds a line.
uintmax_t LogBytes(const FuzzEnvironment& env) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(env.folder() + "results.log", error);
  return error ? 0 : size;
}

// --- Save games ------------------------------------------------------------------

// The game as a save file would hold it now, with a fixed descriptor and no
// thumbnail: the variables, the characters and the fog layers.
std::string GameBytes(const std::string& file) {
  SaveDescriptor descriptor;
  descriptor.description = "Fuzz";
  descriptor.savedAt = 45000.5;
  return SaveFileBytes(file, descriptor, SaveThumbnail{});
}

// Lists the saves of the user data folder again.
void ScanSaves() {
  SavesListClear();
  SavesListBuild();
}

// The input as the autosave and as a manual save: the scan lists both or
// neither, exactly when the checked load (without the thumbnail's pixels)
// accepts the file. Then the autosave slot is listed with a sound save and
// the input put in its place: the quick load applies it, or refuses it with
// a log line and leaves the game as it was.
void FuzzSave(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv(FuzzModules::kGame);
  const std::string autosave = env.folder() + "autosave.sav";
  const std::string manual = env.Write("savegame1.sav", data, size);
  env.Write("autosave.sav", data, size);
  ScanSaves();
  const bool listed = SavesListEntry(0)->file == autosave;
  FuzzCheck(SavesListSize() == (listed ? 2 : 1), "a save lists under either name alike");
  for (int32_t slot = 0; slot < SavesListSize(); ++slot) {
    SaveInformationText(*SavesListEntry(slot));
  }
  SaveContents contents;
  const bool loads = SaveFileRead(autosave, contents, false) == SaveFileStatus::kLoaded;
  FuzzCheck(listed == loads, "the scan lists the saves the checked load accepts");
  PlatformDeleteFile(manual);

  const std::string before = GameBytes(autosave);
  env.Write("autosave.sav", reinterpret_cast<const uint8_t*>(before.data()), before.size());
  ScanSaves();
  FuzzCheck(SavesListEntry(0)->file == autosave, "a sound save is listed");
  env.Write("autosave.sav", data, size);
  StateSet(kStateQuickLoad);
  const uintmax_t logged = LogBytes(env);
  SaveQuickLoad(kStateQuickLoad);
  const bool loaded = StateGetCurrent() == kStateRoomLoad;
  FuzzCheck(loaded == loads, "the quick load applies exactly the saves the check accepts");
  FuzzCheck(loaded || LogBytes(env) > logged, "a refused save is logged");
  if (loaded) {
    SaveContents again;
    FuzzCheck(SaveFileParse(GameBytes(autosave), again, true) == SaveFileStatus::kLoaded,
              "a loaded game saves again and that save loads");
  } else {
    FuzzCheck(GameBytes(autosave) == before, "a refused save leaves the game as it was");
  }
  SavesListClear();
  PlatformDeleteFile(autosave);
}

// --- Scripts ---------------------------------------------------------------------

// Instructions each step of a fuzzed script may run, as the engine's thread
// tests allow. A fork copies its thread's stack, so the work of a step
// grows with the square of the budget.
constexpr int64_t kInstructionBudget = 1000;
constexpr int32_t kFrames = 4;
// How deep the routines below reach back into the engine.
constexpr int32_t kRoutineDepth = 3;

int32_t routineDepth = 0;

// A routine that reaches back into the engine while its script runs; only a
// few levels deep.
template <typename Work>
ScriptAppRoutine Reentrant(Work work) {
  return [work](int32_t script, int32_t thread) {
    if (routineDepth < kRoutineDepth) {
      ++routineDepth;
      work(script, thread);
      --routineDepth;
    }
    return 1;
  };
}

// Routines as the game's are: they read and write their parameters, send
// events, process and close the script that called them, or end the thread.
// A script loaded here sees these alone.
void RegisterRoutines() {
  ScriptAppRoutineRegister("Report", [](int32_t script, int32_t thread) {
    ScriptParamGetString(script, thread, 1);
    ScriptParamGetInt(script, thread, 2);
    ScriptParamGetBool(script, thread, 3);
    return 1;
  });
  ScriptAppRoutineRegister("Answer", [](int32_t script, int32_t thread) {
    ScriptParamSetString(script, thread, 1, "answer");
    ScriptParamSetInt(script, thread, 2, -7);
    ScriptParamSetBool(script, thread, 3, true);
    return 1;
  });
  ScriptAppRoutineRegister("Signal", Reentrant([](int32_t script, int32_t thread) {
                             ScriptEventSend(script, ScriptParamGetInt(script, thread, 1),
                                             ScriptParamGetString(script, thread, 2));
                           }));
  ScriptAppRoutineRegister("Process",
                           Reentrant([](int32_t script, int32_t) { ScriptProcess(script); }));
  ScriptAppRoutineRegister("Close", [](int32_t script, int32_t) {
    ScriptClose(script);
    return 1;
  });
  ScriptAppRoutineRegister("Zero", [](int32_t, int32_t) { return 0; });
}

// Loads the content file under the instruction budget (its initial code
// runs), then runs frames with events; a failed load is logged and leaves no
// script, and afterwards none of the script's is left. Whether it loaded.
bool LoadAndRun(const FuzzEnvironment& env, const std::string& contentName) {
  RegisterRoutines();
  const size_t scriptsBefore = ScriptTable().size();
  const uintmax_t logged = LogBytes(env);
  ScriptInstructionBudgetSet(kInstructionBudget);
  const int32_t id = ScriptLoad(contentName);
  FuzzCheck(id != 0 || ScriptTable().size() == scriptsBefore, "a failed load leaves no script");
  FuzzCheck(id != 0 || LogBytes(env) > logged, "a failed load is logged");
  for (int32_t frame = 0; frame < kFrames && ScriptExists(id); ++frame) {
    ScriptInstructionBudgetSet(kInstructionBudget);
    PlatformClockAdvance(34);
    ScriptProcess(id);
    ScriptEventSend(id, frame, "frame");
    ScriptEventSendExact(id, -frame, "Typed");
  }
  ScriptClose(id);
  ScriptInstructionBudgetSet(-1);
  FuzzCheck(ScriptTable().size() == scriptsBefore, "a closed script leaves none behind");
  return id != 0;
}

// The input as a compiled script.
void FuzzScript(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv(FuzzModules::kScripts);
  const std::string path = env.Write("Bin/fuzz.vmc", data, size);
  LoadAndRun(env, "Bin\\fuzz.vmc");
  PlatformDeleteFile(path);
}

// The script the byte code runs in: the routines above and one that is not
// registered, and objects of the types that need no files.
VmcScript ByteCodeScript() {
  VmcScript script;
  script.routines = {"REPORT", "ANSWER", "SIGNAL", "PROCESS", "CLOSE", "ZERO", "NOBODY"};
  VmcObject camera = VmcObjectNew(kVmcCamera, "view");
  camera.camera.members = {"thing", "box"};
  script.objects = {VmcObjectNew(kVmcDisplay, "screen"), VmcObjectNew(kVmcList, "list"),
                    VmcObjectNew(kVmcAppObj, "thing"),   VmcObjectNew(kVmcColor, "box"),
                    VmcObjectNew(kVmcSlider, "slider"),  camera};
  script.listener = 1;
  return script;
}

// The input's first four bytes as the listener's address (little-endian),
// the rest as the code of the fixed script.
void FuzzByteCode(const uint8_t* data, size_t size) {
  FuzzEnvironment& env = FuzzEnv(FuzzModules::kScripts);
  VmcScript script = ByteCodeScript();
  if (size >= 4) {
    script.listenerAddress =
        static_cast<int32_t>(uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
                             uint32_t{data[3]} << 24);
    script.code = FuzzBytes(data + 4, size - 4);
  }
  std::string bytes;
  std::string error;
  FuzzCheck(VmcWriterBytes(script, bytes, error), "the fixed script is written");
  const std::string path =
      env.Write("Bin/bytecode.vmc", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  FuzzCheck(LoadAndRun(env, "Bin\\bytecode.vmc") || size >= 4,
            "the fixed script loads without code");
  PlatformDeleteFile(path);
}

}  // namespace

std::vector<FuzzTarget> FuzzGameTargets() {
  return {
      {"save", FuzzSave},
      {"script", FuzzScript},
      {"bytecode", FuzzByteCode},
  };
}
