// "data\\textread.dat": the text blocks read in any play.
//
//   offset  size  content
//   0       4     CRC-32 of the first n BYTES of the id array (not 4n: stored
//                 files carry this checksum, so it stays)
//   4       4     n, the number of ids
//   8       4n    the ids in ascending order
#pragma once
#include <cstdint>
#include <set>

inline constexpr const char* kTextReadFilePath = "data\\textread.dat";

using ReadTextIds = std::set<std::uint32_t>;

// 0 on success (the set replaced by the file's ids); 1 when the file is
// missing, or its count, length or checksum is wrong (one log line, the set
// unchanged).
int readTextReadFile(ReadTextIds& ids);
// 0, or 1 (logged) when the file cannot be replaced.
int writeTextReadFile(const ReadTextIds& ids);
