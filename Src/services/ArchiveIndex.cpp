#include "services/ArchiveIndex.h"

#include <cstring>

#include "platform/File.h"
#include "platform/HResult.h"
#include "platform/Text.h"
#include "services/ArchiveScrambler.h"
#include "services/ArchiveSwitch.h"
#include "services/DebugInfo.h"

namespace archive_index {
namespace {
// Archive failures are all reported under the archive reader's source path.
constexpr std::string_view kSource = "ArchiveManager";

void putWord(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getWord(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
           static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}
}  // namespace

std::string indexPath(std::string_view folder) { return std::string(folder) + "\\idx.dat"; }

std::string dataPath(std::string_view folder) { return std::string(folder) + "\\arc.dat"; }

RecordBytes encodeRecord(std::string_view name, ArchiveEntry entry) {
    RecordBytes record{};
    std::size_t length = name.size() < kMaxNameLength ? name.size() : kMaxNameLength;
    std::memcpy(record.data(), name.data(), length);
    archive_scrambler::scramble(record.data(), kNameFieldSize);
    putWord(record.data() + 32, entry.offset ^ archive_scrambler::kOffsetMask);
    putWord(record.data() + 36, entry.size ^ archive_scrambler::kSizeMask);
    return record;
}

std::optional<ArchiveIndexRecord> decodeRecord(const std::uint8_t* record) {
    std::uint8_t field[kNameFieldSize];
    std::memcpy(field, record, kNameFieldSize);
    archive_scrambler::scramble(field, kNameFieldSize);
    const void* nul = std::memchr(field, 0, kNameFieldSize);
    if (!nul) return std::nullopt;
    ArchiveIndexRecord result;
    result.name.assign(reinterpret_cast<const char*>(field),
                       static_cast<const std::uint8_t*>(nul) - field);
    result.entry.offset = getWord(record + 32) ^ archive_scrambler::kOffsetMask;
    result.entry.size = getWord(record + 36) ^ archive_scrambler::kSizeMask;
    return result;
}

std::optional<std::vector<ArchiveIndexRecord>> readIndexFile(std::string_view folder) {
    std::string path = indexPath(folder);
    // The log is UTF-8; folder names are cp932 like every file name.
    std::string logPath = text::cp932ToUtf8(path);
    // A pair switch left half done is finished first: the index read is
    // then the one of the data beside it.
    std::optional<std::vector<std::uint8_t>> bytes;
    if (archive_switch::finishPending(folder)) bytes = File::readAll(path, kMaxIndexBytes);
    if (!bytes) {
        logFailure(kSource, __LINE__, E_FAIL, logPath);
        return std::nullopt;
    }
    std::vector<ArchiveIndexRecord> records;
    records.reserve(bytes->size() / kRecordSize);
    std::size_t position = 0;
    for (; position + kRecordSize <= bytes->size(); position += kRecordSize) {
        if (std::optional<ArchiveIndexRecord> record = decodeRecord(bytes->data() + position)) {
            records.push_back(std::move(*record));
        } else {
            logFailure(kSource, __LINE__, E_FAIL, logPath);
        }
    }
    if (position != bytes->size()) logFailure(kSource, __LINE__, E_FAIL, logPath);
    return records;
}

}  // namespace archive_index
