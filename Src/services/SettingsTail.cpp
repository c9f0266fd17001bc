#include "services/SettingsTail.h"

#include <string>

#include "platform/File.h"
#include "services/DebugInfo.h"

std::optional<std::vector<std::uint8_t>> readSettingsTail(std::string_view windowsPath, std::size_t recordBytes) {
    if (!File::exists(windowsPath)) return std::vector<std::uint8_t>{};
    std::optional<std::vector<std::uint8_t>> head = File::readHead(windowsPath, recordBytes + kKeptSettingsTailBytes);
    if (!head) return std::nullopt;
    const std::int64_t size = File::sizeOf(windowsPath);
    if (size > static_cast<std::int64_t>(recordBytes + kKeptSettingsTailBytes)) {
        logLine(std::string(windowsPath) + " の末尾は大きすぎるため、先頭 " + std::to_string(kKeptSettingsTailBytes) +
                " バイトだけを残します  Size:" + std::to_string(size));
    }
    if (head->size() <= recordBytes) return std::vector<std::uint8_t>{};
    head->erase(head->begin(), head->begin() + static_cast<std::ptrdiff_t>(recordBytes));
    return head;
}
