#include "services/SettingsTail.h"

#include <string>

#include "platform/File.h"
#include "services/DebugInfo.h"

std::optional<std::vector<std::uint8_t>> readSettingsKept(std::string_view windowsPath, std::size_t recordBytes) {
    if (!File::exists(windowsPath)) return std::vector<std::uint8_t>{};
    std::optional<std::vector<std::uint8_t>> head = File::readHead(windowsPath, recordBytes + kKeptSettingsTailBytes);
    if (!head) return std::nullopt;
    const std::int64_t size = File::sizeOf(windowsPath);
    if (size > static_cast<std::int64_t>(recordBytes + kKeptSettingsTailBytes)) {
        logLine(std::string(windowsPath) + " の末尾は大きすぎるため、先頭 " + std::to_string(kKeptSettingsTailBytes) +
                " バイトだけを残します  Size:" + std::to_string(size));
    }
    return head;
}

std::optional<std::vector<std::uint8_t>> readSettingsTail(std::string_view windowsPath, std::size_t recordBytes) {
    std::optional<std::vector<std::uint8_t>> kept = readSettingsKept(windowsPath, recordBytes);
    if (!kept) return std::nullopt;
    if (kept->size() <= recordBytes) return std::vector<std::uint8_t>{};
    kept->erase(kept->begin(), kept->begin() + static_cast<std::ptrdiff_t>(recordBytes));
    return kept;
}
