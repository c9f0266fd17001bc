// The one table from SDL scancodes to DirectInput keyboard scan codes (DIK).
// Keypad keys are the physical keys, whatever NumLock says, as DirectInput's
// are. Scancodes not in the table have no code and never read as down.
#pragma once
#include <cstdint>
#include <span>

struct InputKeyMapping {
    std::int32_t scancode;  // SDL_Scancode
    std::uint8_t dik;
};

// Every mapped scancode, in ascending scancode order.
std::span<const InputKeyMapping> inputKeyTable();
// The DIK code of an SDL scancode; 0 for none.
std::uint8_t dikOfScancode(std::int32_t scancode);
// Whether a DIK code is one the keyboard can report (some scancode maps to it).
bool isKeyboardDik(std::uint8_t dik);
