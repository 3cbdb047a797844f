// The bundled case's rooms in the real game under the test's X server: New
// game from the menu, the exits from room to room, the journal and the pause
// overlay over a room, the notepad in the workshop rubbed by dragging over
// it with the charcoal from the stove in hand, and the detective walked about the shop by clicks,
// talking to the clockmaker and asking him a question from the dialog options. Rooms are known by
// patches of their pictures, people and bubbles by where they change them.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/game_screens.h"

namespace {

namespace fs = std::filesystem;

const std::string kRooms = "Rooms/";
const std::vector<std::string> kShopPicture = {kRooms + "Shop/Background/Shop.tga"};
const std::vector<std::string> kWorkshopPicture = {kRooms + "Workshop/Background/Workshop.tga"};
const std::vector<std::string> kYardPicture = {kRooms + "Yard/Background/Yard.tga"};
// The notepad's blank page, which the fog of war lays over the rubbed sheet
// of the workshop's picture.
const std::vector<std::string> kNotepadPage = {kRooms + "Workshop/Fog/NOTEPAD.tga"};
constexpr int kNotepadLeft = 520;
constexpr int kNotepadTop = 120;

// The wall of clocks, the workshop's pegboard, the yard's gate.
const Screen kShop = {"shop", {{{250, 140, 200, 110}, kShopPicture}}};
const Screen kWorkshop = {"workshop", {{{250, 80, 200, 200}, kWorkshopPicture}}};
const Screen kYard = {"yard", {{{612, 256, 170, 190}, kYardPicture}}};

// The charcoal's first stroke runs along this row of the notepad; the band
// around it shows the rubbed sheet afterwards, the page's foot stays blank.
constexpr int kStrokeRow = 220;
constexpr Area kStrokeBand = {580, kStrokeRow - 8, 180, 16};
constexpr Area kPageFoot = {560, 290, 200, 24};
const Screen kNotepadBlank = {"blank notepad",
                              {{kStrokeBand, kNotepadPage, kNotepadLeft, kNotepadTop},
                               {kPageFoot, kNotepadPage, kNotepadLeft, kNotepadTop}}};
const Screen kNotepadStroked = {
    "notepad with one stroke",
    {{kStrokeBand, kWorkshopPicture}, {kPageFoot, kNotepadPage, kNotepadLeft, kNotepadTop}}};
const Screen kNotepadRubbed = {"rubbed notepad",
                               {{kStrokeBand, kWorkshopPicture}, {kPageFoot, kWorkshopPicture}}};

// The stove in the workshop, whose charcoal goes to the inventory bar's
// second place beside the lens, known there by the paper wrapped round it
// (the rest of its picture is as dark as the floor); a click there takes it
// in hand.
constexpr Point kStove = {1036, 420};
constexpr Point kSecondPlace = {211, 675};
const std::vector<std::string> kCharcoalPicture = {kRooms + "Common/Pictures/Charcoal.tga"};
const Screen kCharcoalInTheBar = {"the charcoal in the inventory bar",
                                  {{{187, 682, 10, 8}, kCharcoalPicture, 161, 640}}};
// The highlight's rim left of that place, shown while its item is in hand.
constexpr Area kSecondPlaceRim = {162, 660, 2, 30};
constexpr uint32_t kRim = 0xFFF0B0;

// The exits, each over its doorway.
constexpr Point kShopToWorkshop = {940, 320};
constexpr Point kWorkshopToYard = {1160, 300};
constexpr Point kYardToWorkshop = {125, 340};

// The newest note of a journal page.
constexpr Area kFirstNote = {700, 160, 500, 64};

// A new game opens with the detective walking in from the street up to the
// clockmaker, who stands at (760, 590), to (640, 610), where they talk; once
// that is over a click on the floor ahead walks the detective to (420, 680),
// and a click on the clockmaker walks it back up to him.
constexpr Point kFloorAhead = {420, 680};
constexpr Area kAhead = {395, 590, 50, 80};
constexpr Point kClockmaker = {760, 530};
constexpr Area kTalkSpot = {615, 520, 50, 80};
constexpr Point kFloorRight = {900, 680};
constexpr Area kRight = {875, 590, 50, 80};
// Paper left of the words of the detective's first line, in the bubble over
// its head.
constexpr Area kSpeech = {600, 410, 36, 14};
// The options stand in one column left of the detective's head, 38 pixels
// tall with 10 between them, centred on row 464 and ending at column 610:
// the second of three is on row 464, the second of two on row 488. Patches
// of paper right of their words tell them.
constexpr Area kSecondOfThree = {588, 458, 12, 12};
constexpr Point kAskForTheKey = {560, 464};
constexpr Area kSecondOfTwo = {588, 482, 12, 12};
constexpr Point kAskNoMore = {560, 488};
constexpr uint32_t kPaper = 0xF4ECD8;
// The second place of the inventory bar, where the key goes beside the lens.
const std::vector<std::string> kKeyPicture = {kRooms + "Common/Pictures/Key.tga"};
const Screen kKeyInTheBar = {"the key in the inventory bar",
                             {{{170, 648, 80, 54}, kKeyPicture, 161, 640}}};
const Screen kNoKeyInTheBar = {"no key in the inventory bar", {{{170, 648, 80, 54}, kShopPicture}}};

const std::string kConfigured = std::string(kSettings) + "[Controls]\r\nConfigured=Yes\r\n";

class RoomsE2E : public GameScreensTest {
 protected:
  // Drags the pointer with the left button held from one logical point to
  // another in small steps, so that the game sees it move on every frame.
  void Drag(const Point& from, const Point& to) {
    const ScreenMapping screen = Mapping();
    Xdotool("mousemove --sync " + screen.Point(from.x, from.y) + " sleep 0.2 mousedown 1 sleep " +
            kHold);
    constexpr int kSteps = 12;
    for (int step = 1; step <= kSteps; ++step) {
      const int x = from.x + (to.x - from.x) * step / kSteps;
      const int y = from.y + (to.y - from.y) * step / kSteps;
      Xdotool("mousemove " + screen.Point(x, y) + " sleep 0.05");
    }
    Xdotool("sleep " + std::string(kHold) + " mouseup 1");
  }

  // Presses and lets go at a logical point, without waiting for the point
  // to light up (the floor and the people do not), nor for the pointer to
  // move (it may be there already).
  // The room's picture at the area, within the match, or not: someone stands
  // there or not.
  bool ShowsRoom(const Area& area, const std::vector<std::string>& picture) {
    return Shows({"room", {{area, picture}}});
  }
  void ExpectSomeoneAt(const Area& area, const char* what) {
    if (!WaitUntil([&] { return !ShowsRoom(area, kShopPicture); }, kPatience)) {
      FAIL() << what << " not seen\n" << game_->StandardError();
    }
  }
  void ExpectNoOneAt(const Area& area, const char* what) {
    if (!WaitUntil([&] { return ShowsRoom(area, kShopPicture); }, kPatience)) {
      FAIL() << what << " still seen\n" << game_->StandardError();
    }
  }

  // The mean difference per channel between the area and a flat colour.
  double FromColour(const Area& area, uint32_t colour) {
    const std::vector<uint32_t> seen = Mapping().Read(area);
    if (seen.empty()) {
      return 255;
    }
    double total = 0;
    for (const uint32_t pixel : seen) {
      for (const int shift : {0, 8, 16}) {
        total += std::abs(Channel(pixel, shift) - Channel(colour, shift));
      }
    }
    return total / (3.0 * static_cast<double>(seen.size()));
  }
  // The opening of a new game begins with the detective's words.
  void SitThroughTheOpening() {
    ASSERT_NO_FATAL_FAILURE(ExpectPaperAt(kSpeech, "the detective's first words"));
    ASSERT_NO_FATAL_FAILURE(GameScreensTest::SitThroughTheOpening());
  }

  bool PaperAt(const Area& area) { return FromColour(area, kPaper) < kMatch; }
  void ExpectPaperAt(const Area& area, const char* what) {
    if (!WaitUntil([&] { return PaperAt(area); }, kPatience)) {
      FAIL() << what << " not shown; mean difference " << FromColour(area, kPaper) << "\n"
             << game_->StandardError();
    }
  }

  // The newest note on the journal's investigations page, opened from the
  // journal and left again for it.
  std::vector<uint32_t> NewestInvestigation() {
    Click(kTabInvestigations);
    ExpectScreen(kJournalPage);
    std::vector<uint32_t> note = Mapping().Read(kFirstNote);
    Key("Escape");
    ExpectScreen(kJournal);
    return note;
  }
  // Escape opens the journal, from which the game is quit.
  void QuitFromTheRoom() {
    ASSERT_NO_FATAL_FAILURE(Key("Escape"));
    ASSERT_NO_FATAL_FAILURE(QuitFromTheJournal());
  }
};

TEST_F(RoomsE2E, NewGameEntersTheShopAndTheRoomsTheJournalPauseAndNotepadWork) {
  GiveContent();
  program_.write("settings.ini", kConfigured);
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  // Before the case the investigations page has no notes.
  ASSERT_NO_FATAL_FAILURE(Click(kMenuJournal));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  std::vector<uint32_t> noNotes;
  ASSERT_NO_FATAL_FAILURE(noNotes = NewestInvestigation());
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));

  ASSERT_NO_FATAL_FAILURE(Click(kMenuNewGame));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kShop));
  ASSERT_NO_FATAL_FAILURE(SitThroughTheOpening());
  ASSERT_NO_FATAL_FAILURE(Click(kShopToWorkshop));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kWorkshop));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kNotepadBlank));

  // Without the charcoal in hand a drag over the page rubs nothing. The
  // stove gives the charcoal, and a click on its place in the bar takes it
  // in hand.
  const std::vector<uint32_t> band = Mapping().Read(kStrokeBand);
  ASSERT_NO_FATAL_FAILURE(Drag({540, kStrokeRow}, {800, kStrokeRow}));
  // Each click is put again until it shows (see the report of the talk
  // test below: a first click is now and then not taken).
  bool taken = false;
  for (int attempt = 0; attempt < 3 && !taken; ++attempt) {
    ASSERT_NO_FATAL_FAILURE(ClickAt(kStove));
    taken = WaitUntil([&] { return Shows(kCharcoalInTheBar); }, kPatience);
  }
  ASSERT_TRUE(taken) << "the charcoal is not in the bar\n" << game_->StandardError();
  EXPECT_EQ(Mapping().Read(kStrokeBand), band) << "the page was rubbed without the charcoal";
  bool inHand = false;
  for (int attempt = 0; attempt < 4 && !inHand; ++attempt) {
    ASSERT_NO_FATAL_FAILURE(ClickAt(kSecondPlace));
    inHand = WaitUntil([&] { return FromColour(kSecondPlaceRim, kRim) < kMatch; },
                       std::chrono::seconds(4));
  }
  ASSERT_TRUE(inHand) << "the charcoal is not taken in hand";

  // One stroke of charcoal across the page shows the sheet under it, only
  // there.
  ASSERT_NO_FATAL_FAILURE(Drag({540, kStrokeRow}, {800, kStrokeRow}));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kNotepadStroked));
  EXPECT_NE(Mapping().Read(kStrokeBand), band);

  // Escape opens the journal over the room, and closing it returns to the
  // room as it was.
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  ASSERT_NO_FATAL_FAILURE(Click(kJournalClose));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kWorkshop));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kNotepadStroked));

  // Rubbing the rest of the page brings up the writing, which the journal
  // notes.
  for (const int row : {138, 172, 250, 282, 308}) {
    ASSERT_NO_FATAL_FAILURE(Drag({524, row}, {816, row}));
  }
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kNotepadRubbed));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kJournal));
  std::vector<uint32_t> note;
  ASSERT_NO_FATAL_FAILURE(note = NewestInvestigation());
  EXPECT_NE(note, noNotes) << "the notepad's writing is not in the journal";
  ASSERT_NO_FATAL_FAILURE(Click(kJournalClose));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kWorkshop));

  // Out to the yard, where Pause opens the overlay and Escape leaves it; back
  // in the workshop the notepad stays rubbed.
  ASSERT_NO_FATAL_FAILURE(Click(kWorkshopToYard));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kYard));
  ASSERT_NO_FATAL_FAILURE(Key("Pause"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kPause));
  ASSERT_NO_FATAL_FAILURE(Key("Escape"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kYard));
  ASSERT_NO_FATAL_FAILURE(Click(kYardToWorkshop));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kWorkshop));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kNotepadRubbed));

  QuitFromTheRoom();
}

TEST_F(RoomsE2E, TheDetectiveWalksTalksToTheClockmakerAndIsGivenTheKey) {
  GiveContent();
  program_.write("settings.ini", kConfigured);
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuNewGame));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kShop));

  // After the opening a click on the floor walks the detective away from
  // the clockmaker to it.
  ASSERT_NO_FATAL_FAILURE(SitThroughTheOpening());
  ASSERT_NO_FATAL_FAILURE(ExpectSomeoneAt(kTalkSpot, "the detective beside the clockmaker"));
  ASSERT_NO_FATAL_FAILURE(ClickAt(kFloorAhead));
  ASSERT_NO_FATAL_FAILURE(ExpectSomeoneAt(kAhead, "the detective on the floor ahead"));
  ASSERT_NO_FATAL_FAILURE(ExpectNoOneAt(kTalkSpot, "the detective beside the clockmaker"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kNoKeyInTheBar));

  // A click on the clockmaker walks the detective up to him and they talk,
  // and the questions follow.
  ASSERT_NO_FATAL_FAILURE(ClickAt(kClockmaker));
  ASSERT_NO_FATAL_FAILURE(ExpectSomeoneAt(kTalkSpot, "the detective beside the clockmaker"));
  ASSERT_NO_FATAL_FAILURE(ExpectPaperAt(kSecondOfThree, "three questions"));
  ASSERT_NO_FATAL_FAILURE(Xdotool("sleep 1"));

  // Asked who has a key to the yard, he hands over his spare: the key
  // joins the lens in the bar, and that question is not put again.
  ASSERT_NO_FATAL_FAILURE(ClickAt(kAskForTheKey));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kKeyInTheBar));
  ASSERT_NO_FATAL_FAILURE(ExpectPaperAt(kSecondOfTwo, "two questions"));
  // The last question is put with one click: its options go.
  ASSERT_NO_FATAL_FAILURE(ClickAt(kAskNoMore));
  EXPECT_TRUE(WaitUntil([&] { return !PaperAt(kSecondOfTwo); }, kPatience))
      << "the last question is not taken\n"
      << game_->StandardError();

  // Once the talk is over a click on the floor walks the detective again
  // (until then a click ends the line being spoken).
  bool walked = false;
  for (int attempt = 0; attempt < 8 && !walked; ++attempt) {
    ASSERT_NO_FATAL_FAILURE(ClickAt(kFloorRight));
    walked = WaitUntil([&] { return !ShowsRoom(kRight, kShopPicture); }, std::chrono::seconds(4));
  }
  EXPECT_TRUE(walked) << "the detective does not walk after the talk";
  ASSERT_NO_FATAL_FAILURE(ExpectNoOneAt(kTalkSpot, "the detective beside the clockmaker"));
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kKeyInTheBar));

  QuitFromTheRoom();
}

TEST_F(RoomsE2E, WithoutTheFirstRoomsScriptNewGameEndsInTheFatalBox) {
  fs::copy(QMR_CONTENT_BIN, program_.path() + "Bin", fs::copy_options::recursive);
  ASSERT_TRUE(fs::remove(program_.path() + "Bin/Rooms/Shop/Scripts/Shop.vmc"));
  program_.write("settings.ini", kConfigured);
  ASSERT_NO_FATAL_FAILURE(StartGame());
  ASSERT_NO_FATAL_FAILURE(ExpectScreen(kMenu));
  ASSERT_NO_FATAL_FAILURE(Click(kMenuNewGame));
  EXPECT_EQ(game_->WaitForExit(kPatience), 1) << game_->StandardError();
  EXPECT_NE(program_.read("results.log")
                .find("Error: RoomLoad - Unable to load script "
                      "\"Bin\\Rooms\\Shop\\Scripts\\Shop.vmc\"."),
            std::string::npos)
      << program_.read("results.log");
}

}  // namespace
