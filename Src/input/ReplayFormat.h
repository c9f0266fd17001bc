// The replay file: a 512-byte header, the read-text ids, one 128-byte record
// per stage in the stage mask (ascending), then the stages' coded input blocks
// back to back. Every integer is 32-bit big-endian. Input words are coded as a
// 4-byte expanded length followed by (count, high, low) triples, count 1..254.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "input/ReplayData.h"
#include "platform/HResult.h"

inline constexpr size_t kReplayHeaderSize = 512;
inline constexpr size_t kStageRecordSize = 128;
inline constexpr size_t kMaxReplayFileSize = 64u << 20;
inline constexpr std::uint32_t kMaxExpandedInputBytes = 16u << 20;

void WriteU32BE(std::uint8_t* destination, std::uint32_t value);
// Logs "リプレイデータが不正です" and answers 0 for a null source.
std::uint32_t ReadU32BE(const std::uint8_t* source);

// Codes `length` bytes of big-endian words; an empty result is "no block".
std::vector<std::uint8_t> CompressInputWords(const std::uint8_t* bytes, size_t length, size_t& codedLength);
// Expands a coded block into a buffer of `expandedLength` bytes (zero-filled
// where the runs do not reach). Never reads past `codedLength` nor writes past
// the buffer or the block's own length word; a count of 0 writes nothing.
std::vector<std::uint8_t> ExpandInputWords(const std::uint8_t* coded, size_t codedLength, size_t expandedLength);

// The difficulty as stored in the mode flags: 3 and 4 swap, above 6 is 0.
std::uint32_t DifficultyCode(std::int32_t difficulty);

// Fills the 512-byte header from the game records and the configuration, and
// refills the replay's name, date, machine ids, game flags and read-text set.
void BuildReplayHeader(ReplayData& replay, std::uint8_t* buffer);
// Writes the 22 fields of a stage of the replay; a missing stage writes nothing.
void WriteStageRecord(const ReplayData& replay, int stage, std::uint8_t* position);
// E_FAIL without "RPL"; otherwise fills the replay's header facts and ids.
// `size` bounds the read of the ids.
HRESULT ParseReplayHeader(ReplayData& replay, const std::uint8_t* bytes, size_t size);
// Reads a 128-byte record into a new stage (replacing an older entry); with
// the file bytes given, copies the stage's coded block out of them.
HRESULT ParseStageRecord(ReplayData& replay, int stage, const std::uint8_t* record, const std::uint8_t* fileBytes,
                         size_t fileSize);

// The checks a file passes before it is parsed: sizes, id count, records and
// blocks inside the file, block length word equal to field 2, field 2 even and
// bounded, runs that fill it. On failure `problem` names the field and value.
bool CheckReplayBytes(const std::uint8_t* bytes, size_t size, std::string& problem);

// Stages 1..9 whose two mask bits are not 0, in ascending order.
std::vector<int> StagesInMask(std::uint32_t stageMask);
