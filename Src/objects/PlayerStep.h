// The per-frame player and menu input step: turns the virtual buttons into
// the player's movement, shots, slow mode, magic, bombs and the switch of
// player type, keeps the per-frame gauges of the game records, handles the
// pause key, the replay speed keys and the keys of on-screen menus. The frame
// step calls updatePlayerFrame once a frame before the objects run.
#pragma once
#include <cstdint>

#include "platform/HResult.h"

// E_FAIL when the device object, the input manager or the device is missing;
// S_OK otherwise.
HRESULT updatePlayerFrame();

// For the command that waits for a key under a drawn string: 0 unless the
// game's paused state equals `paused`; then button 0's live history while
// paused, its play history otherwise.
std::int32_t queryInputForMode(std::int32_t paused);

// Frames for which button 0 has been held (the "_slowmode" variable); a
// replay stage's start clears it.
std::int32_t getSlowCounter();
void resetSlowCounter();
