#include "records/PlayEnvironment.h"

#include "shell/Managers.h"
#include "shell/SystemInfo.h"

// The replay manager is not part of this build yet: no replay runs.

namespace playenv {

std::int32_t systemType() { return g_systemInfo ? static_cast<std::int32_t>(g_systemInfo->getSystemType()) : 0; }

bool allStage() { return g_systemInfo && g_systemInfo->getAllStage() != 0; }

std::int32_t maxContinue() { return g_systemInfo ? static_cast<std::int32_t>(g_systemInfo->getMaxContinue()) : 3; }

void storeMaxContinue(std::int32_t count) {
    if (g_systemInfo) g_systemInfo->setMaxContinue(static_cast<std::uint32_t>(count));
}

std::int32_t replaySlot() { return g_systemInfo ? g_systemInfo->getReplay() : 0; }

bool replayManagerExists() { return g_replayManager != nullptr; }

bool replayPlayingBack() { return false; }

bool replayStarted() { return false; }

}  // namespace playenv
