// The archive's index file "idx.dat": no header and no count, a sequence of
// 40-byte records up to the end of the file. A record holds the entry's name
// (scrambled, NUL-terminated, at most 31 bytes in a 32-byte field), then the
// offset and the size of its data in "arc.dat" as little-endian words, each
// combined with its mask.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where an entry's stored data lies in "arc.dat".
struct ArchiveEntry {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

struct ArchiveIndexRecord {
    std::string name;
    ArchiveEntry entry;
};

namespace archive_index {

inline constexpr std::size_t kRecordSize = 40;
// An index larger than this (over 400,000 entries) is refused unread.
inline constexpr std::size_t kMaxIndexBytes = 16u << 20;
inline constexpr std::size_t kNameFieldSize = 32;
inline constexpr std::size_t kMaxNameLength = 31;

using RecordBytes = std::array<std::uint8_t, kRecordSize>;

// The folder's two archive paths: the folder name followed by "\\idx.dat" or "\\arc.dat".
std::string indexPath(std::string_view folder);
std::string dataPath(std::string_view folder);

// A record as written: the name cut to 31 bytes in a zero-filled field.
RecordBytes encodeRecord(std::string_view name, ArchiveEntry entry);
// The record read back; nothing when the name field holds no NUL (a damaged
// record: taking 32 bytes as the name would read past the field).
std::optional<ArchiveIndexRecord> decodeRecord(const std::uint8_t* record);

// Every whole, undamaged record of the folder's index file, in file order. A missing
// file gives nothing (logged); a damaged record is logged and skipped; a
// partial record at the end is logged and ignored.
std::optional<std::vector<ArchiveIndexRecord>> readIndexFile(std::string_view folder);

}  // namespace archive_index
