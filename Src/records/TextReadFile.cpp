#include "records/TextReadFile.h"

#include <vector>

#include "platform/File.h"
#include "records/Crc32.h"
#include "records/LittleEndianWords.h"
#include "records/RecordFileWriter.h"
#include "services/DebugInfo.h"

namespace {
constexpr std::size_t kHeaderSize = 8;
}

int readTextReadFile(ReadTextIds& ids) {
    File file = File::openExisting(kTextReadFilePath);
    if (!file) {
        noteRecordFileRead(kTextReadFilePath, false);
        return 1;
    }

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
    if (!complete || crc32(idBytes.data(), static_cast<std::size_t>(count)) != loadWordLE(header)) {
        logLine("既読データのチェックサムが一致しません");
        noteRecordFileRead(kTextReadFilePath, true);
        return 1;
    }
    noteRecordFileRead(kTextReadFilePath, false);
    ids.clear();
    for (std::size_t i = 0; i < count; ++i) ids.insert(loadWordLE(idBytes.data() + 4 * i));
    return 0;
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
    return writeRecordFile(kTextReadFilePath, bytes.data(), bytes.size(), "既読データの保存に失敗しました");
}
