// Starting the game in a test as the shell does, in a program folder whose
// platform is already started.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/game.h"
#include "script/script.h"
#include "shell/modules.h"
#include "shell/shell.h"

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
