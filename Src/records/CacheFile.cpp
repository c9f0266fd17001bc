#include "records/CacheFile.h"

#include <string_view>
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

namespace {
// Reads one copy; the tables (none: only checked) are filled from a whole one.
RecordRead readCacheFileCopy(std::string_view windowsPath, OnlineTables* tables) {
    File file = File::openExisting(windowsPath);
    if (!file) return RecordRead::Missing;

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
    if (!complete || crc32(body.data(), body.size()) != loadWordLE(header)) return RecordRead::Damaged;
    if (tables) tables->loadCache(body.data(), longForm ? OnlineTables::kRankingTables : 9);
    return RecordRead::Whole;
}
}  // namespace

int readCacheFile(OnlineTables& tables) {
    RecordRead result = readRecordFile(kCacheFilePath, "キャッシュデータのチェックサムが一致しません",
                                       [&tables](std::string_view path) { return readCacheFileCopy(path, &tables); });
    return result == RecordRead::Whole ? 0 : 1;
}

int writeCacheFile(const OnlineTables& tables) {
    std::vector<std::uint8_t> bytes(kHeaderSize + OnlineTables::kCacheBodySize);
    std::uint8_t* body = bytes.data() + kHeaderSize;
    tables.storeCache(body);
    storeWordLE(bytes.data(), crc32(body, OnlineTables::kCacheBodySize));
    return writeRecordFile(kCacheFilePath, bytes.data(), bytes.size(), "キャッシュデータの保存に失敗しました",
                           [](std::string_view path) { return readCacheFileCopy(path, nullptr); });
}
