#include "records/TextReadFile.h"

#include <string_view>
#include <vector>

#include "platform/File.h"
#include "records/Crc32.h"
#include "records/LittleEndianWords.h"
#include "records/RecordFileWriter.h"
#include "services/DebugInfo.h"

namespace {
constexpr std::size_t kHeaderSize = 8;
}

namespace {
// Reads one copy; the ids (none: only checked) are replaced from a whole one.
RecordRead readTextReadFileCopy(std::string_view windowsPath, ReadTextIds* ids) {
    File file = File::openExisting(windowsPath);
    if (!file) return RecordRead::Missing;

    std::uint8_t header[kHeaderSize] = {};
    bool complete = file.readAt(0, header, kHeaderSize) == kHeaderSize;
    std::uint64_t count = complete ? loadWordLE(header + 4) : 0;
    // The count comes from the file: its ids must all be there (computed in
    // 64 bits, so 4n cannot wrap). A longer file is fine: its tail is left
    // over from an earlier, longer set.
    std::int64_t fileSize = file.size();
    complete = complete && fileSize >= 0 && kHeaderSize + 4 * count <= static_cast<std::uint64_t>(fileSize);
    std::vector<std::uint8_t> idBytes(complete ? static_cast<std::size_t>(4 * count) : 0);
    complete = complete && file.readAt(kHeaderSize, idBytes.data(), idBytes.size()) == idBytes.size();
    file.close();
    if (!complete || crc32(idBytes.data(), static_cast<std::size_t>(count)) != loadWordLE(header))
        return RecordRead::Damaged;
    if (ids) {
        ids->clear();
        for (std::size_t i = 0; i < count; ++i) ids->insert(loadWordLE(idBytes.data() + 4 * i));
    }
    return RecordRead::Whole;
}
}  // namespace

int readTextReadFile(ReadTextIds& ids) {
    RecordRead result = readRecordFile(kTextReadFilePath, "既読データのチェックサムが一致しません",
                                       [&ids](std::string_view path) { return readTextReadFileCopy(path, &ids); });
    return result == RecordRead::Whole ? 0 : 1;
}

int writeTextReadFile(const ReadTextIds& ids) {
    std::vector<std::uint8_t> bytes(kHeaderSize + 4 * ids.size());
    std::size_t at = kHeaderSize;
    for (std::uint32_t id : ids) {  // a std::set walks in ascending order
        storeWordLE(bytes.data() + at, id);
        at += 4;
    }
    storeWordLE(bytes.data(), crc32(bytes.data() + kHeaderSize, ids.size()));
    storeWordLE(bytes.data() + 4, static_cast<std::uint32_t>(ids.size()));
    return writeRecordFile(kTextReadFilePath, bytes.data(), bytes.size(), "既読データの保存に失敗しました",
                           [](std::string_view path) { return readTextReadFileCopy(path, nullptr); });
}
