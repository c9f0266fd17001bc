// "data\\cache.dat": the cached online ranking tables under a CRC-32.
//
//   offset  size    content
//   0       4       CRC-32 of the body
//   4       100800  cache tables d = 0..2, order 3d + t, ranks 0..99
//   100804  33600   cache tables d = 3, t = 0..2 (missing in the older form)
#pragma once
#include <cstddef>

class OnlineTables;

inline constexpr const char* kCacheFilePath = "data\\cache.dat";

// 0 on success; 1 when the file is missing, or its length or checksum is wrong
// (one log line, the tables unchanged). A file of the older form fills the
// nine tables of d = 0..2 only.
int readCacheFile(OnlineTables& tables);
// Writes the long form: 0, or 1 (logged) when the file cannot be replaced.
int writeCacheFile(const OnlineTables& tables);
