// Starting the game in a test as the shell does, in a program folder whose
// platform is already started.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/state/state.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"
#include "tests/support/testsupport.h"

// Every module, the main form, the primary display and GameInit. With
// `reports`, the scripts' routine "REPORT" appends its text there.
inline void StartGameForTest(std::vector<std::string>* reports = nullptr) {
  ModulesStart();
  MainForm().MainFormCreate();
  if (reports != nullptr) {
    ScriptAppRoutineRegister("REPORT", [reports](int32_t script, int32_t thread) {
      reports->push_back(ScriptParamGetString(script, thread, 1));
      return 1;
    });
  }
  ASSERT_TRUE(GameInitDisplay());
  ASSERT_TRUE(GameInit());
}

// The SDL platform, posing as the program "<folder>/game" with the user data
// kept in its folder: for the tests that draw into a real window.
inline void StartWindowedPlatformForTest(const TempFolder& program) {
  ASSERT_TRUE(PlatformStart(PlatformBackend::Sdl)) << PlatformLastErrorText();
  PlatformSetProgramPath(program.path() + "game");
  PlatformSetParameters({"-userdatainapp"});
}

// Stops what StartWindowedPlatformForTest and StartGameForTest started.
inline void StopWindowedGameForTest() {
  KeepOpenGLDriversLoaded();
  ModulesStop();
  PlatformStop();
}

// Loads the room through the room-load state and enters the Game state.
inline void EnterRoomForTest(const std::string& room) {
  StateVariableSetString(kStateGame, "Script Room File", room);
  StateSet(kStateRoomLoad);
  ASSERT_TRUE(GameFrame());
  ASSERT_EQ(StateGetCurrent(), kStateGame);
}

// The error lines the log of the program folder gained since line `seen`
// (moved on to its end), each from its function's name on, without the
// frames' own (the headless platform draws nothing).
inline std::vector<std::string> ErrorsLoggedSince(const TempFolder& program, size_t& seen) {
  std::vector<std::string> errors;
  const std::vector<std::string> lines = SplitLines(program.read("results.log"));
  for (size_t i = seen; i < lines.size(); ++i) {
    const size_t at = lines[i].find("Error: ");
    if (at != std::string::npos && lines[i].find("Error: Graphics") == std::string::npos) {
      errors.push_back(lines[i].substr(at + 7));
    }
  }
  seen = lines.size();
  return errors;
}
