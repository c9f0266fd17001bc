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
std::optional<std::string> findIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return std::nullopt;
    for (const fs::directory_entry& entry : it) {
        std::string candidate = entry.path().filename().string();
        if (text::equalsIgnoreAsciiCase(candidate, name)) return candidate;
    }
    return std::nullopt;
}
}  // namespace

void Path::setRoot(const fs::path& root) { rootPath() = root; }

const fs::path& Path::root() { return rootPath(); }

std::optional<fs::path> Path::resolve(std::string_view windowsPath) {
    if (windowsPath.empty()) return std::nullopt;
    if (windowsPath.front() == '\\' || windowsPath.front() == '/') return std::nullopt;
    if (windowsPath.size() >= 2 && windowsPath[1] == ':') return std::nullopt;

    std::vector<std::string> components;
    size_t start = 0;
    while (start <= windowsPath.size()) {
        size_t end = windowsPath.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = windowsPath.size();
        std::string_view part = windowsPath.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") components.push_back(text::cp932ToUtf8(part));
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

bool Path::isFolder(std::string_view windowsFolder) {
    std::optional<fs::path> folder = resolve(windowsFolder);
    std::error_code ec;
    return folder && fs::is_directory(*folder, ec);
}
