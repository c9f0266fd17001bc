#include "records/ScoreFile.h"

#include <array>
#include <mutex>
#include <string_view>
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

RecordRead readScoreFileCopy(std::string_view windowsPath, ScoreFileFields* fields) {
    File file = File::openExisting(windowsPath);
    if (!file) return RecordRead::Missing;

    std::uint8_t header[kScoreFileHeaderSize] = {};
    // Not even a header: no identity to take from the file.
    if (file.readAt(0, header, sizeof header) != sizeof header) return RecordRead::Damaged;
    // The identity is taken from the header before the body is checked.
    if (fields) {
        fields->machineId[0] = loadWordLE(header + 4);
        fields->machineId[1] = loadWordLE(header + 8);
    }

    std::vector<std::uint8_t> body(kScoreFileBodySize);
    bool complete = file.readAt(kScoreFileHeaderSize, body.data(), body.size()) == body.size();
    file.close();
    if (!complete || crc32(body.data(), body.size()) != loadWordLE(header)) return RecordRead::Damaged;
    if (fields) {
        std::lock_guard<std::mutex> lock(fields->tables.mutex());
        walkBody(body.data(), *fields, BodyReader{});
    }
    return RecordRead::Whole;
}

int readScoreFile(ScoreFileFields& fields) {
    RecordRead result = readRecordFile(kScoreFilePath, kMismatchLine, [&fields](std::string_view path) {
        std::array<std::uint32_t, 2> identity{fields.machineId[0], fields.machineId[1]};
        RecordRead copy = readScoreFileCopy(path, &fields);
        // The kept copy gives the identity only when it is read whole; else
        // the damaged file's header keeps it.
        if (copy != RecordRead::Whole && path != kScoreFilePath) {
            fields.machineId[0] = identity[0];
            fields.machineId[1] = identity[1];
        }
        return copy;
    });
    if (result == RecordRead::Missing || (fields.machineId[0] == 0 && fields.machineId[1] == 0))
        readMachineId(fields.machineId);
    return result == RecordRead::Whole ? 0 : 1;
}

int writeScoreFileContents(const ScoreFileFields& fields) {
    std::vector<std::uint8_t> bytes(kScoreFileHeaderSize + kScoreFileBodySize, 0);
    std::uint8_t* body = bytes.data() + kScoreFileHeaderSize;
    walkBody(body, fields, BodyWriter{});
    storeWordLE(bytes.data(), crc32(body, kScoreFileBodySize));
    storeWordLE(bytes.data() + 4, fields.machineId[0]);
    storeWordLE(bytes.data() + 8, fields.machineId[1]);
    return writeScoreFileBytes(bytes);
}

int writeScoreFileBytes(const std::vector<std::uint8_t>& bytes) {
    return writeRecordFile(kScoreFilePath, bytes.data(), bytes.size(), "スコアデータの保存に失敗しました",
                           [](std::string_view path) { return readScoreFileCopy(path, nullptr); });
}
