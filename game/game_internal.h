// Shared between the files of the game module; not part of its API.
#pragma once

#include <cstdint>

// The application states.
enum : int32_t {
  kStateCredits = 1,
  kStateFatalError = 2,
  kStateGame = 3,
  kStateRoomLoad = 4,
  kStateJournal = 5,
  kStateJournalHints = 6,
  kStateJournalInvestigations = 7,
  kStateJournalOptions = 8,
  kStateJournalSpecial = 9,
  kStateJournalSuspects = 10,
  kStateMainInitial = 11,
  kStateMainMenu = 12,
  kStateMainOptions = 13,
  kStateMainSpecial = 14,
  kStatePaused = 15,
  kStateQuit = 16,
  kStateQuitConfirm = 17,
  kStateQuickLoad = 18,
  kStateCount = 18,
};

// Registers the eighteen states with the state store.
void GameRegisterStates();
// The id of the display "Primary", or -1.
int32_t GamePrimaryDisplay();
