// The one line a game command writes when a manager it calls is not there:
// "<element> <text> : <manager> がありません", once per run for each element,
// text and manager, so a menu that polls a command every frame fills no log.
#pragma once
#include <cstdint>
#include <string_view>

// The manager names, as their release lines name them.
inline constexpr std::string_view kSoundManagerName = "DirectSound Manager";
inline constexpr std::string_view kInputManagerName = "DirectInput Manager";
inline constexpr std::string_view kNetworkManagerName = "Network Manager";
inline constexpr std::string_view kTextureManagerName = "Texture Manager";
inline constexpr std::string_view kSpriteManagerName = "Sprite Manager";
inline constexpr std::string_view kMeshManagerName = "Mesh Manager";
inline constexpr std::string_view kReplayManagerName = "Replay Manager";

// `text` must outlive the run (a command table's entry): it is remembered by
// its address, so the check allocates nothing after the first line.
void noteAbsentManager(std::int32_t element, std::string_view text, std::string_view manager);
// Forgets what was written (tests).
void forgetAbsentManagerNotes();
