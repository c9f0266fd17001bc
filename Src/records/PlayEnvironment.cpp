#include "records/PlayEnvironment.h"

#include "input/ReplayManager.h"
#include "shell/Managers.h"

// The configuration record is not part of this build yet: its answers are the
// record's defaults, with the version the program entry sets (2.0).

namespace playenv {

std::int32_t systemType() { return 0; }

bool allStage() { return false; }

std::int32_t maxContinue() { return 3; }

void storeMaxContinue(std::int32_t) {}

std::int32_t replaySlot() { return 0; }

std::uint32_t versionWord() { return (2u << 8) | 0u; }

bool replayManagerExists() { return g_replayManager != nullptr; }

bool replayPlayingBack() {
    return g_replayManager != nullptr && g_replayManager->getMode() == ReplayManager::kPlayBack;
}

bool replayStarted() { return g_replayManager != nullptr && g_replayManager->isReplayStarted() != 0; }

}  // namespace playenv
