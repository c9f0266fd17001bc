#include "records/PlayEnvironment.h"

#include "services/Managers.h"
#include "services/SystemInfo.h"

// The replay manager holds only its mode and replay-started flag so far.

namespace playenv {

bool configurationExists() { return g_systemInfo != nullptr; }

std::int32_t systemType() { return g_systemInfo ? static_cast<std::int32_t>(g_systemInfo->getSystemType()) : 0; }

bool allStage() { return g_systemInfo && g_systemInfo->getAllStage() != 0; }

std::int32_t maxContinue() { return g_systemInfo ? static_cast<std::int32_t>(g_systemInfo->getMaxContinue()) : 3; }

void storeMaxContinue(std::int32_t count) {
    if (g_systemInfo) g_systemInfo->setMaxContinue(static_cast<std::uint32_t>(count));
}

std::int32_t replaySlot() { return g_systemInfo ? g_systemInfo->getReplay() : 0; }

std::uint32_t versionWord() {
    if (!g_systemInfo) return (2u << 8) | 0u;
    return (g_systemInfo->getVersionMajor() << 8) + g_systemInfo->getVersionMinor();
}

}  // namespace playenv
