#include "records/ScoreFile.h"

#include <mutex>
#include <vector>

#include "platform/File.h"
#include "records/Crc32.h"
#include "records/LittleEndianWords.h"
#include "records/LocalScoreTables.h"
#include "records/MachineId.h"
#include "records/RecordFileWriter.h"
#include "services/DebugInfo.h"

namespace {
constexpr std::size_t kFlagIds = 128;
constexpr const char* kMismatchLine = "スコアデータのチェックサムが一致しません";

// Walks the body in file order; the same walk reads and writes it.
class BodyCursor {
public:
    explicit BodyCursor(std::uint8_t* bytes) : at_(bytes) {}
    std::uint8_t* take(std::size_t size) {
        std::uint8_t* here = at_;
        at_ += size;
        return here;
    }

private:
    std::uint8_t* at_;
};

template <typename Visit>
void walkBody(std::uint8_t* body, const ScoreFileFields& fields, Visit&& visit) {
    BodyCursor cursor(body);
    LocalScoreTables& tables = fields.tables;
    auto entries = [&](ScoreTable& table, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) visit.entry(table[i], cursor.take(ScoreEntry::kByteSize));
    };
    for (int d = 0; d < 3; ++d)
        for (int t = 0; t < 3; ++t) entries(tables.ranking(d, t), ScoreTable::kRanks);
    for (int d = 0; d < 3; ++d)
        for (int t = 0; t < 3; ++t) entries(tables.route(d, t), LocalScoreTables::kRouteEntries);
    for (int t = 0; t < 3; ++t) entries(tables.ranking(3, t), ScoreTable::kRanks);
    visit.words(cursor.take(8), fields.playerName);
    visit.words(cursor.take(36), fields.reachStage);
    visit.words(cursor.take(32), fields.endingBits);
    for (SavedFlagMap* flags : fields.savedFlags) visit.flags(cursor.take(kFlagIds * 4), flags);
}

struct BodyReader {
    void entry(ScoreEntry& entry, const std::uint8_t* bytes) { entry = ScoreEntry::load(bytes); }
    void words(const std::uint8_t* bytes, std::span<std::uint32_t> target) {
        for (std::size_t i = 0; i < target.size(); ++i) target[i] = loadWordLE(bytes + 4 * i);
    }
    void flags(const std::uint8_t* bytes, SavedFlagMap* flags) {
        if (!flags) return;
        for (std::size_t id = 0; id < kFlagIds; ++id)
            (*flags)[static_cast<std::int32_t>(id)] = static_cast<std::int32_t>(loadWordLE(bytes + 4 * id));
    }
};

struct BodyWriter {
    void entry(const ScoreEntry& entry, std::uint8_t* bytes) { entry.store(bytes); }
    void words(std::uint8_t* bytes, std::span<const std::uint32_t> source) {
        for (std::size_t i = 0; i < source.size(); ++i) storeWordLE(bytes + 4 * i, source[i]);
    }
    // A missing id is written as 0.
    void flags(std::uint8_t* bytes, const SavedFlagMap* flags) {
        for (std::size_t id = 0; id < kFlagIds; ++id) {
            std::int32_t value = 0;
            if (flags) {
                auto it = flags->find(static_cast<std::int32_t>(id));
                if (it != flags->end()) value = it->second;
            }
            storeWordLE(bytes + 4 * id, static_cast<std::uint32_t>(value));
        }
    }
};
}  // namespace

int readScoreFile(ScoreFileFields& fields) {
    File file = File::openExisting(kScoreFilePath);
    if (!file) {
        noteRecordFileRead(kScoreFilePath, false);
        readMachineId(fields.machineId);
        return 1;
    }

    std::uint8_t header[kScoreFileHeaderSize] = {};
    if (file.readAt(0, header, sizeof header) != sizeof header) {
        // Not even a header: no identity to take from the file.
        logLine(kMismatchLine);
        noteRecordFileRead(kScoreFilePath, true);
        if (fields.machineId[0] == 0 && fields.machineId[1] == 0) readMachineId(fields.machineId);
        return 1;
    }
    // The identity is taken from the header before the body is checked.
    fields.machineId[0] = loadWordLE(header + 4);
    fields.machineId[1] = loadWordLE(header + 8);
    if (fields.machineId[0] == 0 && fields.machineId[1] == 0) readMachineId(fields.machineId);

    std::vector<std::uint8_t> body(kScoreFileBodySize);
    bool complete = file.readAt(kScoreFileHeaderSize, body.data(), body.size()) == body.size();
    file.close();
    if (!complete || crc32(body.data(), body.size()) != loadWordLE(header)) {
        logLine(kMismatchLine);
        noteRecordFileRead(kScoreFilePath, true);
        return 1;
    }
    noteRecordFileRead(kScoreFilePath, false);

    std::lock_guard<std::mutex> lock(fields.tables.mutex());
    walkBody(body.data(), fields, BodyReader{});
    return 0;
}

int writeScoreFileContents(const ScoreFileFields& fields) {
    std::vector<std::uint8_t> bytes(kScoreFileHeaderSize + kScoreFileBodySize, 0);
    std::uint8_t* body = bytes.data() + kScoreFileHeaderSize;
    walkBody(body, fields, BodyWriter{});
    storeWordLE(bytes.data(), crc32(body, kScoreFileBodySize));
    storeWordLE(bytes.data() + 4, fields.machineId[0]);
    storeWordLE(bytes.data() + 8, fields.machineId[1]);
    return writeRecordFile(kScoreFilePath, bytes.data(), bytes.size(), "スコアデータの保存に失敗しました");
}
