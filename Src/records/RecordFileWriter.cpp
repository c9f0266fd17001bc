#include "records/RecordFileWriter.h"

#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "platform/File.h"
#include "platform/Path.h"
#include "services/DebugInfo.h"

namespace {
// Numbered names for damaged files after the first ".bad". Once all are taken
// the save goes over the damaged file: the player's new records matter more
// than one more unreadable copy.
constexpr int kLastBadNumber = 99;

std::mutex g_damagedLock;
// Damaged files by their full path, so the same Windows path under another
// game folder is another file.
std::set<std::filesystem::path> g_damaged;

std::optional<std::filesystem::path> fullPath(std::string_view windowsPath) { return Path::resolve(windowsPath); }

std::string keptCopyPath(std::string_view windowsPath) { return std::string(windowsPath) + ".old"; }

// Readers tell what they found: a file that failed its checksum (or its
// length) is damaged; one read whole, or a missing one, is not.
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

// The first free name for a damaged file, none when all are taken.
std::optional<std::string> freeBadPath(std::string_view windowsPath) {
    std::string base = std::string(windowsPath) + ".bad";
    if (!File::exists(base)) return base;
    for (int number = 2; number <= kLastBadNumber; ++number) {
        std::string numbered = base + std::to_string(number);
        if (!File::exists(numbered)) return numbered;
    }
    return std::nullopt;
}

// Moves a file its reader found damaged aside before the first save over it.
// False when it stays where it is and must not be written over.
bool setAsideIfDamaged(std::string_view windowsPath) {
    std::optional<std::filesystem::path> path = fullPath(windowsPath);
    if (!path) return true;
    std::lock_guard<std::mutex> lock(g_damagedLock);
    auto it = g_damaged.find(*path);
    if (it == g_damaged.end()) return true;
    if (!File::exists(windowsPath)) {
        g_damaged.erase(it);  // gone since it was read: nothing to keep
        return true;
    }
    std::optional<std::string> aside = freeBadPath(windowsPath);
    if (!aside) {
        logLine("破損した " + std::string(windowsPath) + " を残す名前が残っていないため、上書きします");
        g_damaged.erase(it);
        return true;
    }
    if (File::rename(windowsPath, *aside)) {
        logLine("破損した " + std::string(windowsPath) + " を " + *aside + " として残しました");
        g_damaged.erase(it);
        return true;
    }
    logFailure("RecordFileWriter", __LINE__, E_FAIL, *aside);
    return false;
}

// Keeps the whole file about to be replaced as "<name>.old". A failure is
// logged and the save goes on: the new records matter more than the old.
void keepCopy(std::string_view windowsPath, const std::vector<std::uint8_t>& bytes) {
    std::string kept = keptCopyPath(windowsPath);
    if (!setAsideIfDamaged(kept)) return;
    if (!File::writeReplacing(kept, bytes.data(), bytes.size())) logFailure("RecordFileWriter", __LINE__, E_FAIL, kept);
}
}  // namespace

RecordRead readRecordFile(std::string_view windowsPath, std::string_view mismatchLine,
                          const RecordCopyReader& readCopy) {
    RecordRead result = readCopy(windowsPath);
    noteRecordFileRead(windowsPath, result == RecordRead::Damaged);
    if (result != RecordRead::Damaged) return result;
    logLine(mismatchLine);

    std::string kept = keptCopyPath(windowsPath);
    RecordRead keptResult = readCopy(kept);
    noteRecordFileRead(kept, keptResult == RecordRead::Damaged);
    if (keptResult == RecordRead::Whole) {
        logLine(std::string(windowsPath) + " の代わりに " + kept + " を読み込みました");
        return RecordRead::Whole;
    }
    if (keptResult == RecordRead::Damaged) logLine(kept + " も壊れているため、既定値を使います");
    return RecordRead::Damaged;
}

int writeRecordFile(std::string_view windowsPath, const void* data, std::size_t size, std::string_view failureLine,
                    const RecordCopyReader& checkCopy) {
    if (!setAsideIfDamaged(windowsPath)) return 1;
    if (checkCopy(windowsPath) == RecordRead::Whole) {
        // The same bytes again (the machine-id stamp after the score save,
        // records unchanged since the last run) leave the kept copy as it
        // is: it stays the records before the last change.
        // A file that read whole is one of ours, far below this bound.
        constexpr std::uint64_t kLargestRecordFile = 16u << 20;
        std::optional<std::vector<std::uint8_t>> current = File::readAll(windowsPath, kLargestRecordFile);
        if (current && (current->size() != size || std::memcmp(current->data(), data, size) != 0))
            keepCopy(windowsPath, *current);
    }
    if (File::writeReplacing(windowsPath, data, size)) return 0;
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    std::error_code error;
    if (path && std::filesystem::is_directory(path->parent_path(), error)) logLine(failureLine);
    return 1;
}
