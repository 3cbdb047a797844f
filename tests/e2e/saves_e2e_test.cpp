// Saving and loading through the save list of the journal's options page in
// the real game under the test's X server: a case saved from the page in one
// process is loaded from the page, reached from the main menu, in another,
// which goes on in the shop with the saved variables. The saves are read
// back with the state module; the saves' pictures are read off the screen.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "framework/state/state.h"
#include "tests/e2e/game_screens.h"

namespace {

const std::string kConfigured = std::string(kSettings) + "[Controls]\r\nConfigured=Yes\r\n";

// The wall of clocks in the shop.
const Screen kShop = {"shop", {{{250, 140, 200, 110}, {"Rooms/Shop/Background/Shop.tga"}}}};

// The options page's "Saves", its difficulty "Super Sleuth", and on the saves
// panel "Save the case" and the second plate, the newest of the player's saves.
constexpr Point kSavesButton = {840, 556};
constexpr Point kSuperSleuth = {525, 632};
constexpr Point kSaveTheCase = {990, 82};
constexpr Point kNewestSave = {900, 188};
// The panel: the left ends of "Save the case" and "Back to options".
const Screen kSavesPanel = {
    "saves panel",
    {{{830, 56, 40, 52}, kButtons, 830, 56}, {{830, 606, 40, 52}, kButtons, 830, 606}}};
// "Super Sleuth" chosen: the left end of its plate.
const Screen kSuperSleuthChosen = {"Super Sleuth chosen",
                                   {{{450, 614, 10, 36}, {kCommon + "pick_on.tga"}, 450, 612}}};
// The newest save's picture in its plate's window, dark while it has none.
constexpr Area kNewestPicture = {654, 128, 192, 120};
constexpr uint32_t kEmptyWindow = 0x0A0C16;

// The mean difference per channel between two patches of the same size.
double Apart(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.empty() || a.size() != b.size()) {
    return 255;
  }
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (const int shift : {0, 8, 16}) {
      total += std::abs(Channel(a[i], shift) - Channel(b[i], shift));
    }
  }
  return total / (3.0 * static_cast<double>(a.size()));
}

int32_t ReadInt32(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  }
  return static_cast<int32_t>(value);
}

// The Game state's variables of a save file, each as its type and value
// ("b1", "i3", "sShop"); empty when the file has no readable "STA" chunk.
std::map<std::string, std::string> GameVariables(const std::string& save) {
  std::map<std::string, std::string> variables;
  // The format version, then chunks: a three-byte tag, a length, the body.
  for (size_t at = 4; at + 7 <= save.size();) {
    const std::string_view tag(save.data() + at, 3);
    const auto length = static_cast<size_t>(ReadInt32(save, at + 3));
    at += 7;
    if (length > save.size() - at) {
      break;
    }
    std::vector<StateSavedVariables> states;
    if (tag == "STA" && StateParseVariables(std::string_view(save).substr(at, length), states)) {
      for (const StateSavedVariables& state : states) {
        for (const StateVariable& v : state.variables) {
          variables[state.name + "/" + v.name] =
              v.type == kStateVariableBool  ? "b" + std::to_string(v.boolValue)
              : v.type == kStateVariableInt ? "i" + std::to_string(v.intValue)
                                            : "s" + v.stringValue;
        }
      }
    }
    at += length;
  }
  return variables;
}

class SavesE2E : public GameScreensTest {
 protected:
  // Clicks until the screen shows what the click does: under a heavy load a
  // press and release can fall between two frames of the game and be lost.
  void ClickFor(const Point& point, const Screen& screen) {
    for (int attempt = 0; attempt < 3 && !Shows(screen); ++attempt) {
      ASSERT_NO_FATAL_FAILURE(Click(point));
      WaitUntil([&] { return Shows(screen); }, std::chrono::seconds(8));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(screen));
  }

  // From the journal to the saves panel of its options page.
  void OpenTheSaves() {
    ASSERT_NO_FATAL_FAILURE(Click(kTabOptions));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournalOptions));
    ASSERT_NO_FATAL_FAILURE(Click(kSavesButton));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kSavesPanel));
  }

  // "Save the case" writes the next save file, whose picture then shows as
  // the newest save's.
  void SaveTheCase(const std::string& file) {
    ASSERT_NO_FATAL_FAILURE(Click(kSaveTheCase));
    ASSERT_TRUE(WaitUntil(
        [&] {
          const std::vector<uint32_t> shown = Mapping().Read(kNewestPicture);
          return std::filesystem::exists(program_.path() + file) &&
                 Apart(shown, std::vector<uint32_t>(shown.size(), kEmptyWindow)) > kMatch;
        },
        kPatience))
        << file << " not saved or its picture not shown\n"
        << game_->StandardError();
  }

  // Escape leaves the saves panel for the options, the options for the
  // journal, from which the game is quit: status 0 and no error logged.
  void QuitFromTheSaves() {
    ASSERT_NO_FATAL_FAILURE(Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournalOptions));
    ASSERT_NO_FATAL_FAILURE(Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(QuitFromTheJournal());
  }
};

TEST_F(SavesE2E, ACaseSavedOnTheJournalsPageIsLoadedFromTheMainMenuInANewProcess) {
  GiveContent();
  program_.write("settings.ini", kConfigured);

  // A new game, made a Super Sleuth's on the journal's options, saved from
  // the saves panel.
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuNewGame));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kShop));
  ASSERT_NO_FATAL_FAILURE(SitThroughTheOpening());
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  ASSERT_NO_FATAL_FAILURE(Click(kTabOptions));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournalOptions));
  ASSERT_NO_FATAL_FAILURE(ClickFor(kSuperSleuth, kSuperSleuthChosen));
  ASSERT_NO_FATAL_FAILURE(Click(kSavesButton));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kSavesPanel));
  ASSERT_NO_FATAL_FAILURE(SaveTheCase("savegame1.sav"));
  const std::vector<uint32_t> picture = Mapping().Read(kNewestPicture);
  ASSERT_NO_FATAL_FAILURE(QuitFromTheSaves());

  std::map<std::string, std::string> saved = GameVariables(program_.read("savegame1.sav"));
  EXPECT_EQ(saved["GAME/SCRIPT ROOM FILE"], "sShop");
  EXPECT_EQ(saved["GAME/DIFFICULTY"], "i3");

  // A new process lists the save with the same picture on the page reached
  // from the main menu, where no case is being played; a click on it goes
  // on in the shop, which is saved again from the page.
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuJournal));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  ASSERT_NO_FATAL_FAILURE(OpenTheSaves());
  EXPECT_LT(Apart(Mapping().Read(kNewestPicture), picture), 2.0)
      << "the listed save's picture is not the one saved";
  ASSERT_NO_FATAL_FAILURE(ClickFor(kNewestSave, kShop));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  ASSERT_NO_FATAL_FAILURE(OpenTheSaves());
  ASSERT_NO_FATAL_FAILURE(SaveTheCase("savegame2.sav"));
  ASSERT_NO_FATAL_FAILURE(QuitFromTheSaves());

  // The loaded game held every variable of the save: the menu had set the
  // difficulty back to Detective.
  EXPECT_EQ(GameVariables(program_.read("savegame2.sav")), saved);
}

}  // namespace
