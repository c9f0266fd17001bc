// The replay trace: one hash of the play per frame, so a recorded stage and
// its play back can be compared frame by frame. Written while a stage is
// recorded or played, once per unpaused frame after the object step.
#pragma once
#include <cstdint>

class BulletObjectManager;
class GameInfo;
class ReplayManager;

// Every object of every list in list order (kind, state, x, y, speed,
// direction, as raw bits), the player's centre, score, graze, prate, spirit,
// rank, mpoint, item counts and the script random generator's state. Sound
// objects stay out: their end follows the clock.
std::uint64_t hashPlayState(BulletObjectManager& objects, GameInfo& game);

// Writes "<stage> <frame> <hash>" (hash as 16 hex digits) to the replay trace
// channel when it has a sink and the object manager and game records exist.
void tracePlayState(std::int32_t stage, std::uint32_t frame);

// The frame's line, when the replay manager says a trace is due.
void traceReplayFrame(const ReplayManager& replays);
