#include "records/RecordFileWriter.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "platform/File.h"
#include "platform/Path.h"
#include "services/DebugInfo.h"

namespace {
std::mutex g_damagedLock;
// Damaged files by their full path, so the same Windows path under another
// game folder is another file.
std::set<std::filesystem::path> g_damaged;

std::optional<std::filesystem::path> fullPath(std::string_view windowsPath) { return Path::resolve(windowsPath); }

// Moves a file its reader found damaged aside before the first save over it.
// False when it stays where it is and must not be written over.
bool setAsideIfDamaged(std::string_view windowsPath) {
    std::optional<std::filesystem::path> path = fullPath(windowsPath);
    if (!path) return true;
    std::lock_guard<std::mutex> lock(g_damagedLock);
    auto it = g_damaged.find(*path);
    if (it == g_damaged.end()) return true;
    std::string aside = std::string(windowsPath) + ".bad";
    if (!File::exists(windowsPath)) {
        g_damaged.erase(it);  // gone since it was read: nothing to keep
        return true;
    }
    if (File::rename(windowsPath, aside)) {
        logLine("破損した " + std::string(windowsPath) + " を " + aside + " として残しました");
        g_damaged.erase(it);
        return true;
    }
    logFailure("RecordFileWriter", __LINE__, E_FAIL, aside);
    return false;
}
}  // namespace

void noteRecordFileRead(std::string_view windowsPath, bool damaged) {
    std::optional<std::filesystem::path> path = fullPath(windowsPath);
    if (!path) return;
    std::lock_guard<std::mutex> lock(g_damagedLock);
    if (damaged) {
        g_damaged.insert(*path);
    } else {
        g_damaged.erase(*path);
    }
}

int writeRecordFile(std::string_view windowsPath, const void* data, std::size_t size, std::string_view failureLine) {
    if (!setAsideIfDamaged(windowsPath)) return 1;
    if (File::writeReplacing(windowsPath, data, size)) return 0;
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    std::error_code error;
    if (path && std::filesystem::is_directory(path->parent_path(), error)) logLine(failureLine);
    return 1;
}
