#include "services/ArchiveSwitch.h"

#include "platform/File.h"
#include "platform/Text.h"
#include "services/ArchiveIndex.h"
#include "services/DebugInfo.h"

namespace archive_switch {
namespace {
// Moves a pair file's temporary file over it when one is there.
bool movePending(const std::string& path) {
    const std::string pending = pendingPath(path);
    return !File::exists(pending) || File::rename(pending, path);
}

// The renames and the marker's removal, data first.
bool switchIn(std::string_view folder) {
    return movePending(archive_index::dataPath(folder)) && movePending(archive_index::indexPath(folder)) &&
           File::remove(markerPath(folder));
}
}  // namespace

std::string markerPath(std::string_view folder) { return std::string(folder) + "\\arc.switch"; }

std::string pendingPath(const std::string& path) { return path + ".tmp"; }

bool commit(std::string_view folder) {
    // The marker goes to the disk before the first rename: from then on the
    // temporary pair is the archive, whatever happens next.
    File marker = File::createAlways(markerPath(folder));
    if (!marker || !marker.sync()) {
        marker.close();
        File::remove(markerPath(folder));
        return false;
    }
    marker.close();
    return switchIn(folder);
}

bool finishPending(std::string_view folder) {
    if (!File::exists(markerPath(folder))) return true;
    if (switchIn(folder)) {
        logLine(text::cp932ToUtf8(std::string(folder)) + " のアーカイブの入れ替えを完了しました");
        return true;
    }
    logLine(text::cp932ToUtf8(std::string(folder)) + " のアーカイブの入れ替えを完了できません");
    return false;
}

}  // namespace archive_switch
