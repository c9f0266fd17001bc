// Frame counter peers of a replay played at double speed: on an odd frame
// the drawing is skipped.
#pragma once
#include <optional>

#include "services/FrameCounter.h"

struct SkippingPeers : FrameCounterPeers {
    bool deviceVsync() override { return false; }
    bool retraceGives60Hz() override { return false; }
    std::optional<ReplayState> replay() override { return ReplayState{1, 2, true}; }
    bool gameInfoExists() override { return false; }
    float gameVariable(NameHandle) override { return 0.0f; }
    void countDroppedFrame() override {}
    bool gamePaused() override { return false; }
    std::optional<PlayerCentre> playerCentre() override { return std::nullopt; }
};
