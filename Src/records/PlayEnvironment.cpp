#include "records/PlayEnvironment.h"

#include "shell/Managers.h"

// The configuration record and the replay manager are not part of this build
// yet: every answer is the one their absence gives.

namespace playenv {

std::int32_t systemType() { return 0; }

bool allStage() { return false; }

std::int32_t maxContinue() { return 3; }

void storeMaxContinue(std::int32_t) {}

std::int32_t replaySlot() { return 0; }

bool replayManagerExists() { return g_replayManager != nullptr; }

bool replayPlayingBack() { return false; }

bool replayStarted() { return false; }

}  // namespace playenv
