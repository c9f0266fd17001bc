#include "platform/TempFolder.h"

#include <stdlib.h>

#include <fstream>
#include <string>

TempFolder::TempFolder(std::string_view prefix) {
    std::error_code failure;
    const std::filesystem::path base = std::filesystem::temp_directory_path(failure);
    if (failure) return;
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() { remove(); }

void TempFolder::remove() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    path_.clear();
}

void TempFolder::echoLines(const char* file, std::FILE* out, std::string_view prefix) const {
    if (path_.empty()) return;
    std::ifstream in(path_ / file, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        std::fprintf(out, "%.*s%s\n", static_cast<int>(prefix.size()), prefix.data(), line.c_str());
    std::fflush(out);
}
