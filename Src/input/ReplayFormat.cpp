#include "input/ReplayFormat.h"

#include <cmath>
#include <cstring>
#include "platform/Clock.h"
#include "records/GameInfo.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"

ReplayData::ReplayData() {
    if (g_systemInfo) version = g_systemInfo->getVersionMajor() * 256 + g_systemInfo->getVersionMinor();
}

void ReplayData::clear() {
    stages.clear();
    modeFlags = 0;
    score = 0;
    stageMask = 0;
    flagByte = 0;
}

void WriteU32BE(std::uint8_t* destination, std::uint32_t value) {
    destination[0] = static_cast<std::uint8_t>(value >> 24);
    destination[1] = static_cast<std::uint8_t>(value >> 16);
    destination[2] = static_cast<std::uint8_t>(value >> 8);
    destination[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t ReadU32BE(const std::uint8_t* source) {
    if (!source) {
        logLine("リプレイデータが不正です");
        return 0;
    }
    return (std::uint32_t{source[0]} << 24) | (std::uint32_t{source[1]} << 16) | (std::uint32_t{source[2]} << 8) |
           std::uint32_t{source[3]};
}

std::vector<std::uint8_t> CompressInputWords(const std::uint8_t* bytes, size_t length, size_t& codedLength) {
    codedLength = 0;
    std::vector<std::uint8_t> out;
    if (!bytes || length == 0) return out;
    const size_t words = length / 2;
    out.resize(4);
    WriteU32BE(out.data(), static_cast<std::uint32_t>(words * 2));
    if (words == 0) {
        codedLength = out.size();
        return out;
    }
    out.reserve(4 + 3 * words);
    auto emit = [&out](unsigned count, std::uint16_t word) {
        out.push_back(static_cast<std::uint8_t>(count));
        out.push_back(static_cast<std::uint8_t>(word >> 8));
        out.push_back(static_cast<std::uint8_t>(word));
    };
    auto wordAt = [bytes](size_t i) { return static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]); };
    std::uint16_t current = wordAt(0);
    unsigned count = 0;
    for (size_t i = 1; i < words; ++i) {
        const std::uint16_t word = wordAt(i);
        if (word == current) {
            if (++count == 254) {
                emit(254, current);
                count = 0;
            }
        } else {
            emit(count + 1, current);
            current = word;
            count = 0;
        }
    }
    emit(count + 1, current);
    codedLength = out.size();
    return out;
}

namespace {

// Expands into `out` (already sized); answers how many bytes the runs filled.
size_t expandRuns(const std::uint8_t* coded, size_t codedLength, std::uint8_t* out, size_t outLength) {
    if (codedLength < 4) return 0;
    const size_t limit = std::min<size_t>(outLength, ReadU32BE(coded));
    size_t filled = 0;
    for (size_t at = 4; at + 3 <= codedLength && filled < limit; at += 3) {
        for (unsigned n = coded[at]; n > 0 && filled + 2 <= limit; --n) {
            out[filled] = coded[at + 1];
            out[filled + 1] = coded[at + 2];
            filled += 2;
        }
    }
    return filled;
}

}  // namespace

std::vector<std::uint8_t> ExpandInputWords(const std::uint8_t* coded, size_t codedLength, size_t expandedLength) {
    std::vector<std::uint8_t> out;
    if (!coded || codedLength == 0) return out;
    out.assign(expandedLength, 0);
    if (codedLength < 5) return out;
    expandRuns(coded, codedLength, out.data(), out.size());
    return out;
}

std::uint32_t DifficultyCode(std::int32_t difficulty) {
    // Negative values are not a difficulty either: stored as 0 like those above 6.
    if (difficulty == 3) return 4;
    if (difficulty == 4) return 3;
    return difficulty >= 0 && difficulty <= 6 ? static_cast<std::uint32_t>(difficulty) : 0;
}

std::vector<int> StagesInMask(std::uint32_t stageMask) {
    std::vector<int> stages;
    for (int s = 1; s <= 9; ++s)
        if ((stageMask >> (2 * s - 2)) & 3) stages.push_back(s);
    return stages;
}

namespace {

std::int32_t wholeVar(const char* name) {
    if (!g_gameInfo) return 0;
    const double v = g_gameInfo->getVar(internName(name));
    if (!std::isfinite(v) || v >= 2147483648.0 || v < -2147483648.0) return 0;
    return static_cast<std::int32_t>(v);
}

std::string dateString(int year, int month, int day, int hour, int minute) {
    return std::to_string(year) + "/" + std::to_string(month) + "/" + std::to_string(day) + " " +
           std::to_string(hour) + ":" + std::to_string(minute);
}

}  // namespace

void BuildReplayHeader(ReplayData& replay, std::uint8_t* buffer) {
    std::memset(buffer, 0, kReplayHeaderSize);
    std::memcpy(buffer, "RPL", 3);

    std::uint32_t mode = 0;
    const std::int32_t vorly = wholeVar("vorlytype");
    mode |= vorly == 2 ? 1u : vorly == 3 ? 2u : 0u;
    mode |= DifficultyCode(wholeVar("difficulty")) << 4;
    if (wholeVar("practice_mode") == 1) mode |= 0x100;
    if (wholeVar("extra_mode") == 1) mode |= 0x200;
    const std::int32_t weapon = wholeVar("weapontype");
    mode |= (weapon == 1 ? 1u : weapon == 2 ? 2u : 0u) << 12;
    replay.modeFlags = mode;

    std::uint32_t mask = 0;
    for (const auto& [s, stage] : replay.stages)
        if (s >= 1 && s <= 9) mask |= (stage->field(4) & 3u) << (2 * s - 2);
    replay.stageMask = mask;

    WriteU32BE(buffer + 4, replay.version);
    WriteU32BE(buffer + 8, replay.modeFlags);
    WriteU32BE(buffer + 12, replay.score);
    WriteU32BE(buffer + 16, replay.stageMask);

    replay.name.clear();
    for (int i = 0; i < 8; ++i) {
        const std::int32_t c = g_gameInfo ? g_gameInfo->getMyNameChar(i) : 32;
        replay.name.push_back(static_cast<char>(c));
        buffer[20 + i] = static_cast<std::uint8_t>(c);
    }

    const LocalTime now = Clock::instance().localTime();
    replay.year = now.year;
    replay.month = now.month;
    replay.day = now.day;
    replay.hour = now.hour;
    replay.minute = now.minute;
    replay.date = dateString(replay.year, replay.month, replay.day, replay.hour, replay.minute);
    WriteU32BE(buffer + 28, static_cast<std::uint32_t>(((replay.year - 1970) * 100 + replay.month) * 100 + replay.day));
    WriteU32BE(buffer + 32, static_cast<std::uint32_t>(replay.hour * 100 + replay.minute));
    if (g_gameInfo) {
        replay.machineId0 = g_gameInfo->getMachineId0();
        replay.machineId1 = g_gameInfo->getMachineId1();
    }
    WriteU32BE(buffer + 36, replay.machineId0);
    WriteU32BE(buffer + 40, replay.machineId1);

    for (int i = 0; i < 100; ++i) {
        replay.gameFlags[static_cast<size_t>(i)] =
            static_cast<std::uint8_t>(g_gameInfo ? g_gameInfo->getGameFlag(i) : 0);
        buffer[64 + i] = replay.gameFlags[static_cast<size_t>(i)];
    }

    const bool withTexts = g_systemInfo && g_systemInfo->getConfigWord9() != 0;
    replay.readTexts.clear();
    if (withTexts && g_gameInfo) replay.readTexts = g_gameInfo->getPlayReadTextSet();
    replay.readTextCount = static_cast<std::uint32_t>(replay.readTexts.size());
    WriteU32BE(buffer + 164, withTexts ? replay.readTextCount : 0);
    buffer[168] = replay.flagByte;
    std::memset(buffer + 172, buffer[64], kReplayHeaderSize - 172);
    // The ids go from offset 512 onwards; the caller sized the buffer for them.
    size_t at = kReplayHeaderSize;
    for (std::uint32_t id : replay.readTexts) {
        WriteU32BE(buffer + at, id);
        at += 4;
    }
}

void WriteStageRecord(const ReplayData& replay, int stage, std::uint8_t* position) {
    auto it = replay.stages.find(stage);
    if (it == replay.stages.end()) return;
    std::memset(position, 0, kStageRecordSize);
    for (int n = 1; n <= 22; ++n) WriteU32BE(position + 4 * (n - 1), it->second->field(n));
}

HRESULT ParseReplayHeader(ReplayData& replay, const std::uint8_t* bytes, size_t size) {
    if (!bytes || size < kReplayHeaderSize || std::memcmp(bytes, "RPL", 3) != 0) return E_FAIL;
    replay.version = ReadU32BE(bytes + 4);
    replay.modeFlags = ReadU32BE(bytes + 8);
    replay.score = ReadU32BE(bytes + 12);
    replay.stageMask = ReadU32BE(bytes + 16);
    // The name ends at a control byte or 0x80, and after 8 bytes at most.
    replay.name.clear();
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t c = bytes[20 + i];
        if (c < 32 || c == 128) break;
        replay.name.push_back(static_cast<char>(c));
    }
    const std::uint32_t date = ReadU32BE(bytes + 28);
    const std::uint32_t time = ReadU32BE(bytes + 32);
    replay.year = static_cast<std::int32_t>(date / 10000 + 1970);
    replay.month = static_cast<std::int32_t>(date / 100 % 100);
    replay.day = static_cast<std::int32_t>(date % 100);
    replay.hour = static_cast<std::int32_t>(time / 100);
    replay.minute = static_cast<std::int32_t>(time % 100);
    replay.date = dateString(replay.year, replay.month, replay.day, replay.hour, replay.minute);
    replay.machineId0 = ReadU32BE(bytes + 36);
    replay.machineId1 = ReadU32BE(bytes + 40);
    std::memcpy(replay.gameFlags.data(), bytes + 64, 100);
    replay.readTextCount = ReadU32BE(bytes + 164);
    replay.flagByte = bytes[168];
    replay.readTexts.clear();
    const size_t available = (size - kReplayHeaderSize) / 4;
    const size_t count = std::min<size_t>(replay.readTextCount, available);
    for (size_t i = 0; i < count; ++i) replay.readTexts.insert(ReadU32BE(bytes + kReplayHeaderSize + 4 * i));
    return S_OK;
}

HRESULT ParseStageRecord(ReplayData& replay, int stage, const std::uint8_t* record, const std::uint8_t* fileBytes,
                         size_t fileSize) {
    if (!record) return E_FAIL;
    auto data = std::make_shared<StageReplayData>();
    for (int n = 1; n <= 22; ++n) data->field(n) = ReadU32BE(record + 4 * (n - 1));
    if (fileBytes) {
        const std::uint64_t offset = data->field(1), length = data->field(15);
        if (offset + length > fileSize) return E_FAIL;
        data->block.assign(fileBytes + offset, fileBytes + offset + length);
    }
    replay.stages[stage] = std::move(data);
    return S_OK;
}

bool CheckReplayBytes(const std::uint8_t* bytes, size_t size, std::string& problem) {
    auto fail = [&problem](std::string text) {
        problem = std::move(text);
        return false;
    };
    if (!bytes || size < kReplayHeaderSize) return fail("size " + std::to_string(size));
    if (size > kMaxReplayFileSize) return fail("size " + std::to_string(size));
    if (std::memcmp(bytes, "RPL", 3) != 0) return fail("magic");
    const std::uint64_t n = ReadU32BE(bytes + 164);
    const std::vector<int> stages = StagesInMask(ReadU32BE(bytes + 16));
    const std::uint64_t recordsAt = kReplayHeaderSize + 4 * n;
    const std::uint64_t recordsEnd = recordsAt + kStageRecordSize * stages.size();
    if (recordsEnd > size)
        return fail("n " + std::to_string(n) + " stage records end " + std::to_string(recordsEnd) + " size " +
                    std::to_string(size));
    for (size_t i = 0; i < stages.size(); ++i) {
        const std::uint8_t* record = bytes + recordsAt + kStageRecordSize * i;
        const int s = stages[i];
        auto stageName = [s] { return "stage " + std::to_string(s) + " "; };
        const std::uint64_t offset = ReadU32BE(record), expanded = ReadU32BE(record + 4),
                            coded = ReadU32BE(record + 56);
        if (expanded % 2 != 0 || expanded > kMaxExpandedInputBytes)
            return fail(stageName() + "field 2 " + std::to_string(expanded));
        if (offset + coded > size || (coded > 0 && coded < 4))
            return fail(stageName() + "field 1 " + std::to_string(offset) + " field 15 " + std::to_string(coded));
        if (coded == 0) {
            if (expanded != 0) return fail(stageName() + "field 15 0 field 2 " + std::to_string(expanded));
            continue;
        }
        const std::uint32_t lengthWord = ReadU32BE(bytes + offset);
        if (lengthWord != expanded)
            return fail(stageName() + "block length " + std::to_string(lengthWord) + " field 2 " + std::to_string(expanded));
        // The runs must fill the expanded length; runs past it are ignored.
        std::uint64_t filled = 0;
        for (std::uint64_t at = offset + 4; at + 3 <= offset + coded && filled < expanded; at += 3)
            filled += 2u * bytes[at];
        if (filled < expanded)
            return fail(stageName() + "runs " + std::to_string(filled) + " field 2 " + std::to_string(expanded));
    }
    return true;
}
