// Windows-style paths ("data\\score.dat") mapped under the game's root folder.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Path {
public:
    // The folder every relative path lives under (the game folder). Set once at
    // start-up, before any other thread runs; the default is the current folder.
    static void setRoot(const std::filesystem::path& root);
    static const std::filesystem::path& root();

    // Maps a path given in the game's text (cp932; '\\' and '/' both separate)
    // to a file-system path under the root. Each component is matched exactly
    // first, then ignoring ASCII case against what the folder holds; components
    // that do not exist yet are kept as given. Refuses (nullopt) "..", absolute
    // paths, drive letters ("C:") and empty paths.
    static std::optional<std::filesystem::path> resolve(std::string_view windowsPath);

    // The names (cp932) of the regular files directly inside a folder, sorted
    // byte-wise; empty when the folder does not exist.
    static std::vector<std::string> listFiles(std::string_view windowsFolder);
    // The same files' names as they stand on disk (UTF-8), in no fixed order:
    // what listFiles gives is their conversion, where a character cp932 lacks
    // has become '?'.
    static std::vector<std::string> listDiskNames(std::string_view windowsFolder);
    // True when the path names an existing folder (listFiles cannot tell an
    // empty folder from a missing one).
    static bool isFolder(std::string_view windowsFolder);
};
