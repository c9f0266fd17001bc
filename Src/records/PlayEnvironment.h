// What the game records read of their neighbours: the engine configuration
// record and the replay manager, each reached through its process-wide
// pointer. A neighbour that does not exist answers with its defaults (the
// configuration record's defaults; no replay manager, nothing played back).
#pragma once
#include <cstdint>

namespace playenv {

// Whether the configuration record exists.
bool configurationExists();
// The configuration's system type (0..4); 3 plays without continue counts.
std::int32_t systemType();
// The "allstage" switch: every stage counts as reached, every ending as seen.
bool allStage();
// The configured number of continues, and its write-back at shut-down.
std::int32_t maxContinue();
void storeMaxContinue(std::int32_t count);
// The configuration's replay slot setting (above 0: a slot is in use).
std::int32_t replaySlot();
// The engine version as one word: major << 8 plus minor (read as nibbles);
// 2.0, the version the program entry sets, without a configuration record.
std::uint32_t versionWord();

// The replay manager: whether it exists, whether it plays a replay back, and
// whether a replay stage is running (its replay-started flag). Defined by the
// shell, which knows the replay manager, so the records include nothing of
// the input subsystem.
bool replayManagerExists();
bool replayPlayingBack();
bool replayStarted();

}  // namespace playenv
