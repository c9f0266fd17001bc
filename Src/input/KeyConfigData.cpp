#include "input/KeyConfigData.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/File.h"
#include "services/DebugInfo.h"
#include "services/SettingsTail.h"

namespace {
// The line number the failure line of a save names.
constexpr int kSaveLine = 58;

void logShortFile(const char* path, std::size_t size) {
    // The Windows path as the log shows it: one backslash.
    logLine(std::string(path) + " が短すぎます (" + std::to_string(size) + " バイト)");
}

// Reads up to `count` bytes from an open file; the number actually read.
std::size_t readUpTo(File& file, std::uint8_t* bytes, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        const std::size_t got = file.read(bytes + total, count - total);
        if (got == 0) break;
        total += got;
    }
    return total;
}
}  // namespace

std::int32_t LoadKeyConfig(KeyConfigData& config) {
    File file = File::openExisting(KeyConfigData::kPath, File::Access::ReadWrite);
    if (!file) return 1;
    std::uint8_t bytes[KeyConfigData::kFileSize] = {};
    const std::size_t got = readUpTo(file, bytes, sizeof bytes);
    file.close();
    if (got < KeyConfigData::kFileSize) logShortFile(KeyConfigData::kPath, got);

    // The name ends at the first NUL, or at the field's end when it holds none.
    if (got > 0) {
        const std::size_t field = std::min(got, KeyConfigData::kNameSize);
        const auto* end = std::find(bytes, bytes + field, std::uint8_t{0});
        config.name.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(end - bytes));
    }
    for (std::size_t i = 0; i < KeyConfigData::kMapSize; ++i) {
        if (KeyConfigData::kNameSize + i < got) config.map[i] = bytes[KeyConfigData::kNameSize + i];
    }
    // Little-endian: the bytes that were read replace the low bytes first.
    std::uint32_t threshold = static_cast<std::uint32_t>(config.threshold);
    for (std::size_t i = 0; i < 4; ++i) {
        if (KeyConfigData::kThresholdOffset + i >= got) break;
        threshold = (threshold & ~(0xFFu << (8 * i))) |
                    std::uint32_t{bytes[KeyConfigData::kThresholdOffset + i]} << (8 * i);
    }
    config.threshold = static_cast<std::int32_t>(threshold);
    return 0;
}

std::int32_t SaveKeyConfig(const KeyConfigData& config) {
    std::vector<std::uint8_t> bytes(KeyConfigData::kFileSize, 0);
    // The field stays NUL-terminated: a longer name keeps its first 259 bytes.
    const std::size_t nameLength = std::min(config.name.size(), KeyConfigData::kNameSize - 1);
    std::memcpy(bytes.data(), config.name.data(), nameLength);
    std::memcpy(bytes.data() + KeyConfigData::kNameSize, config.map, KeyConfigData::kMapSize);
    const std::uint32_t threshold = static_cast<std::uint32_t>(config.threshold);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[KeyConfigData::kThresholdOffset + i] = static_cast<std::uint8_t>(threshold >> (8 * i));
    }

    // Only the first 280 bytes are ours: whatever follows them is kept,
    // and a file we cannot read is not replaced.
    std::optional<std::vector<std::uint8_t>> tail = readSettingsTail(KeyConfigData::kPath, bytes.size());
    bool ok = tail.has_value();
    if (ok) bytes.insert(bytes.end(), tail->begin(), tail->end());
    if (ok) ok = File::writeReplacing(KeyConfigData::kPath, bytes.data(), bytes.size());
    if (!ok) {
        logFailure("KeyConfigData", kSaveLine, E_FAIL, KeyConfigData::kPath);
        return 1;
    }
    return 0;
}

std::int32_t LoadKeyboardConfig(KeyboardConfigBuffer& buffer) {
    File file = File::openExisting(KeyboardConfigBuffer::kPath, File::Access::ReadWrite);
    if (!file) return 1;
    const std::size_t got = readUpTo(file, buffer.keys, KeyboardConfigBuffer::kSize);
    file.close();
    if (got < KeyboardConfigBuffer::kSize) logShortFile(KeyboardConfigBuffer::kPath, got);
    return 0;
}
