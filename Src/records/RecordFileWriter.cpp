#include "records/RecordFileWriter.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/File.h"
#include "platform/Path.h"
#include "services/DebugInfo.h"

int writeRecordFile(std::string_view windowsPath, const void* data, std::size_t size, std::string_view failureLine) {
    if (File::writeReplacing(windowsPath, data, size)) return 0;
    std::optional<std::filesystem::path> path = Path::resolve(windowsPath);
    std::error_code error;
    if (path && std::filesystem::is_directory(path->parent_path(), error)) logLine(failureLine);
    return 1;
}
