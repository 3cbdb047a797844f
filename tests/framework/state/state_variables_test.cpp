// Typed variables, their conversions and messages, and save names.
#include <string>
#include <vector>

#include "tests/framework/state/state_fixture.h"

namespace {

constexpr int32_t kGame = 3;

class StateVariablesTest : public StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    StateSetProcess(kGame, [] {});
  }
};

using Lines = std::vector<std::string>;

// --- Setting and looking up ---------------------------------------------------

TEST_F(StateVariablesTest, NamesCompareUpperCasedAndAreStoredSo) {
  StateVariableSetInt(kGame, "Score", 5);
  StateVariableSetInt(kGame, "SCORE", 6);
  const StateVariable variable = StateVariableGet(kGame, "score");
  EXPECT_EQ(variable.name, "SCORE");
  EXPECT_EQ(variable.type, kStateVariableInt);
  EXPECT_EQ(variable.intValue, 6);
}

TEST_F(StateVariablesTest, AVariableMayChangeItsType) {
  StateVariableSetString(kGame, "door", "open");
  StateVariableSetBool(kGame, "Door", true);
  const StateVariable variable = StateVariableGet(kGame, "DOOR");
  EXPECT_EQ(variable.type, kStateVariableBool);
  EXPECT_TRUE(variable.boolValue);
}

TEST_F(StateVariablesTest, VariablesBelongToTheirState) {
  StateSetProcess(4, [] {});
  StateVariableSetInt(kGame, "x", 1);
  StateVariableSetInt(4, "x", 2);
  EXPECT_EQ(StateVariableGetInt(kGame, "x"), 1);
  EXPECT_EQ(StateVariableGetInt(4, "x"), 2);
}

TEST_F(StateVariablesTest, AnIdWithoutAStateStoresNothingAndReadsEmptySilently) {
  StateVariableSetInt(9, "x", 1);
  EXPECT_EQ(StateVariableGet(9, "x").type, kStateVariableEmpty);
  EXPECT_EQ(StateVariableGetString(9, "x"), "");
  StateSet(9);
  EXPECT_EQ(StateGetCurrent(), 0);
  EXPECT_TRUE(ErrorLines().empty());
}

TEST_F(StateVariablesTest, AMissingVariableLogsEachReadAndReadsEmpty) {
  StateVariableSetInt(kGame, "present", 1);
  EXPECT_EQ(StateVariableGet(kGame, "Missing").type, kStateVariableEmpty);
  EXPECT_FALSE(StateVariableGetBool(kGame, "Missing"));
  EXPECT_EQ(StateVariableGetInt(kGame, "Missing"), 0);
  EXPECT_EQ(StateVariableGetString(kGame, "Missing"), "");
  const std::string line =
      "Error: StateVariableGet - Variable \"Missing\" doesn't exist for state.";
  EXPECT_EQ(ErrorLines(), (Lines{line, line, line, line}));
}

// --- Conversions --------------------------------------------------------------

struct Conversion {
  const char* setAs;
  bool asBool;
  int32_t asInt;
  const char* asString;
};

void SetAs(const std::string& text) {
  if (text == "bool true") {
    StateVariableSetBool(kGame, "v", true);
  } else if (text == "bool false") {
    StateVariableSetBool(kGame, "v", false);
  } else if (text.starts_with("int ")) {
    StateVariableSetInt(kGame, "v", std::stoi(text.substr(4)));
  } else {
    StateVariableSetString(kGame, "v", text.substr(7));  // after "string "
  }
}

TEST_F(StateVariablesTest, EveryTypeReadsAsEveryOther) {
  const Conversion table[] = {
      {"bool true", true, 1, "true"},
      {"bool false", false, 0, "false"},
      {"int 0", false, 0, "0"},
      {"int -42", true, -42, "-42"},
      {"int 2147483647", true, 2147483647, "2147483647"},
      {"string true", true, 0, "true"},
      {"string TrUe", true, 0, "TrUe"},
      {"string yes", false, 0, "yes"},
      {"string 12", false, 12, "12"},
      {"string -7", false, -7, "-7"},
      {"string 12abc", false, 0, "12abc"},
      {"string  12", false, 0, " 12"},
      {"string -", false, 0, "-"},
      {"string 99999999999", false, 0, "99999999999"},
      {"string ", false, 0, ""},
  };
  for (const Conversion& row : table) {
    SetAs(row.setAs);
    EXPECT_EQ(StateVariableGetBool(kGame, "v"), row.asBool) << row.setAs;
    EXPECT_EQ(StateVariableGetInt(kGame, "v"), row.asInt) << row.setAs;
    EXPECT_EQ(StateVariableGetString(kGame, "v"), row.asString) << row.setAs;
  }
  EXPECT_TRUE(ErrorLines().empty());
}

// --- Save names ---------------------------------------------------------------

TEST_F(StateVariablesTest, SaveNameRefusalsAreLogged) {
  StateSetProcess(4, [] {});
  EXPECT_FALSE(StateSetSaveName(0, "A"));
  EXPECT_FALSE(StateSetSaveName(-2, "A"));
  EXPECT_FALSE(StateSetSaveName(8, "A"));
  EXPECT_TRUE(StateSetSaveName(kGame, "Game"));
  EXPECT_TRUE(StateSetSaveName(kGame, "gAmE"));
  EXPECT_FALSE(StateSetSaveName(4, "game"));
  EXPECT_EQ(ErrorLines(),
            (Lines{"Error: StateSetSaveName - stateId 0 is invalid.",
                   "Error: StateSetSaveName - stateId -2 is invalid.",
                   "Error: StateSetSaveName - State doesn't exist.",
                   "Error: StateSetSaveName - Another state already has the name \"GAME\"."}));
}

TEST_F(StateVariablesTest, ANameCanBeTakenOverAfterItsOwnerDropsIt) {
  StateSetProcess(4, [] {});
  StateSetProcess(5, [] {});
  EXPECT_TRUE(StateSetSaveName(kGame, "game"));
  EXPECT_TRUE(StateSetSaveName(kGame, ""));
  EXPECT_TRUE(StateSetSaveName(4, ""));
  EXPECT_TRUE(StateSetSaveName(5, "GAME"));
  EXPECT_TRUE(ErrorLines().empty());
}

}  // namespace
