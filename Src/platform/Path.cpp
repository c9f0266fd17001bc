#include "platform/Path.h"

#include <algorithm>
#include <system_error>

#include "platform/Text.h"

namespace fs = std::filesystem;

namespace {
fs::path& rootPath() {
    static fs::path root = ".";
    return root;
}

// The entry of `folder` whose name equals `name` ignoring ASCII case, if any.
// Where several differ only in case, the byte-wise smallest wins, so the
// answer does not depend on the order the folder lists them in.
std::optional<std::string> findIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return std::nullopt;
    std::optional<std::string> found;
    for (const fs::directory_entry& entry : it) {
        std::string candidate = entry.path().filename().string();
        if (text::equalsIgnoreAsciiCase(candidate, name) && (!found || candidate < *found))
            found = std::move(candidate);
    }
    return found;
}
}  // namespace

void Path::setRoot(const fs::path& root) { rootPath() = root; }

const fs::path& Path::root() { return rootPath(); }

std::optional<fs::path> Path::resolve(std::string_view windowsPath) {
    // The file calls take C strings: a name ends at its first NUL.
    windowsPath = windowsPath.substr(0, windowsPath.find('\0'));
    // Convert before splitting: the second byte of a cp932 character may be
    // 0x5C ("表" is 0x95 0x5C), which is not a separator; no UTF-8 sequence
    // holds '\\' or '/'.
    const std::string utf8 = text::cp932ToUtf8(windowsPath);
    const std::string_view path = utf8;
    if (path.empty()) return std::nullopt;
    if (path.front() == '\\' || path.front() == '/') return std::nullopt;
    if (path.size() >= 2 && path[1] == ':') return std::nullopt;

    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") components.emplace_back(part);
        start = end + 1;
    }
    if (components.empty()) return std::nullopt;

    fs::path result = rootPath();
    bool parentExists = true;
    for (const std::string& component : components) {
        std::error_code ec;
        if (parentExists && !fs::exists(result / component, ec)) {
            if (std::optional<std::string> match = findIgnoringCase(result, component)) {
                result /= *match;
                continue;
            }
            parentExists = false;
        }
        result /= component;
    }
    return result;
}

std::vector<std::string> Path::listFiles(std::string_view windowsFolder) {
    std::vector<std::string> names;
    std::optional<fs::path> folder = resolve(windowsFolder);
    if (!folder) return names;
    std::error_code ec;
    fs::directory_iterator it(*folder, ec);
    if (ec) return names;
    for (const fs::directory_entry& entry : it) {
        if (!entry.is_regular_file(ec)) continue;
        names.push_back(text::utf8ToCp932(entry.path().filename().string()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Path::listDiskNames(std::string_view windowsFolder) {
    std::vector<std::string> names;
    std::optional<fs::path> folder = resolve(windowsFolder);
    if (!folder) return names;
    std::error_code ec;
    fs::directory_iterator it(*folder, ec);
    if (ec) return names;
    for (const fs::directory_entry& entry : it) {
        if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
    }
    return names;
}

bool Path::isFolder(std::string_view windowsFolder) {
    std::optional<fs::path> folder = resolve(windowsFolder);
    std::error_code ec;
    return folder && fs::is_directory(*folder, ec);
}
