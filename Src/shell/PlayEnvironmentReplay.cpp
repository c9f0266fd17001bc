// The game records' questions about the replay manager, answered through its
// process-wide pointer; without a replay manager nothing is played back.
#include "input/ReplayManager.h"
#include "records/PlayEnvironment.h"
#include "services/Managers.h"

namespace playenv {

bool replayManagerExists() { return g_replayManager != nullptr; }

bool replayPlayingBack() {
    return g_replayManager != nullptr && g_replayManager->getMode() == ReplayManager::kPlayBack;
}

bool replayStarted() { return g_replayManager != nullptr && g_replayManager->isReplayStarted() != 0; }

}  // namespace playenv
