#include "records/CacheFile.h"

#include <vector>

#include "platform/File.h"
#include "records/Crc32.h"
#include "records/LittleEndianWords.h"
#include "records/OnlineTables.h"
#include "records/RecordFileWriter.h"
#include "services/DebugInfo.h"

namespace {
constexpr std::size_t kHeaderSize = 4;
}

int readCacheFile(OnlineTables& tables) {
    File file = File::openExisting(kCacheFilePath);
    if (!file) {
        noteRecordFileRead(kCacheFilePath, false);
        return 1;
    }

    // A file longer than the older form is read as the long form; one whose
    // length fits neither form fails like a checksum mismatch.
    std::int64_t fileSize = file.size();
    bool longForm = fileSize > static_cast<std::int64_t>(kHeaderSize + OnlineTables::kOlderCacheBodySize);
    std::size_t bodySize = longForm ? OnlineTables::kCacheBodySize : OnlineTables::kOlderCacheBodySize;

    std::uint8_t header[kHeaderSize] = {};
    std::vector<std::uint8_t> body(bodySize);
    bool complete = file.readAt(0, header, kHeaderSize) == kHeaderSize &&
                    file.readAt(kHeaderSize, body.data(), body.size()) == body.size();
    file.close();
    if (!complete || crc32(body.data(), body.size()) != loadWordLE(header)) {
        logLine("キャッシュデータのチェックサムが一致しません");
        noteRecordFileRead(kCacheFilePath, true);
        return 1;
    }
    noteRecordFileRead(kCacheFilePath, false);
    tables.loadCache(body.data(), longForm ? OnlineTables::kRankingTables : 9);
    return 0;
}

int writeCacheFile(const OnlineTables& tables) {
    std::vector<std::uint8_t> bytes(kHeaderSize + OnlineTables::kCacheBodySize);
    std::uint8_t* body = bytes.data() + kHeaderSize;
    tables.storeCache(body);
    storeWordLE(bytes.data(), crc32(body, OnlineTables::kCacheBodySize));
    return writeRecordFile(kCacheFilePath, bytes.data(), bytes.size(), "キャッシュデータの保存に失敗しました");
}
