// What the fuzz targets share: a temporary game folder as the path root for
// the whole run, and the fatal path taken the way a worker thread takes it.
#pragma once
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Thread.h"

namespace fuzz {

// A fresh temporary folder, made the root of every relative path, once per
// process (removed at exit). It lies in memory where the system offers a
// memory file system, so the synced writes of the savers cost no disk flush
// per input.
inline const std::filesystem::path& gameFolder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string pattern = (base / "vorly-fuzz-XXXXXX").string();
        std::filesystem::path made = mkdtemp(pattern.data()) ? std::filesystem::path(pattern)
                                                             : std::filesystem::temp_directory_path();
        Path::setRoot(made);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Path::root(), ec);
        });
        return made;
    }();
    return folder;
}

// The game folder with these sub-folders made in it (once per process and
// folder list: call it from a static initialiser).
inline const std::filesystem::path& gameFolderWith(std::initializer_list<const char*> folders) {
    const std::filesystem::path& root = gameFolder();
    for (const char* folder : folders) std::filesystem::create_directories(root / folder);
    return root;
}

inline void writeFile(std::string_view windowsPath, const std::uint8_t* data, std::size_t size) {
    File file = File::createAlways(windowsPath);
    if (size) file.write(data, size);
}

// Runs `work` as a worker thread's step: the thread that runs a fuzz target
// is not the program's main thread, so a fatal error (a script that does not
// compile, an archive entry that cannot be read) requests the exit and ends
// the step, which is the designed behaviour and no finding.
template <typename Work>
void asWorker(Work&& work) {
    try {
        work();
    } catch (const ThreadEndRequest&) {
    }
}

}  // namespace fuzz
