// A folder of one's own under the system's temporary folder, removed with all
// it holds when the object goes. The tools keep their debug log in one, and the
// in-process game runs work on a copy of a game folder in one.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string_view>

class TempFolder {
public:
    // "<temporary folder>/<prefix>-XXXXXX"; ok() is false when it could not be made.
    explicit TempFolder(std::string_view prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    // Writes each line of a text file in the folder to `out` behind `prefix`
    // (nothing when the file does not exist).
    void echoLines(const char* file, std::FILE* out, std::string_view prefix) const;
    // Removes the folder now (also done by the destructor).
    void remove();

private:
    std::filesystem::path path_;
};
