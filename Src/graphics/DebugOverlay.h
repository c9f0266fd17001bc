// The debug display: a column of red text over the finished frame with the
// player's position, the frame rate, object, sprite and sound counts, the
// profiler sections' average times, texture memory and the managers' sizes.
// Drawn last inside the frame's scene, only with a player object and the
// configuration's debug display on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DebugOverlayLine {
    std::int32_t x = 0, y = 0;
    std::string text;
    bool operator==(const DebugOverlayLine&) const = default;
};

// The lines as they would be drawn now; empty when the overlay is off.
std::vector<DebugOverlayLine> debugOverlayLines();
// Draws each line with D3DObject::drawText.
void drawDebugOverlay();
