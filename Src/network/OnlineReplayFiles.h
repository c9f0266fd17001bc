// Where the ranking client meets the replay files: the upload reads a slot's
// file whole, a download is written as the replay of the download slot. The
// replay manager provides these; until one is installed a request needing a
// replay file behaves as if there were no file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class OnlineReplayFiles {
public:
    virtual ~OnlineReplayFiles() = default;
    // Reads the file of a slot and nothing else (the network worker calls it);
    // false when it is missing or cannot be read.
    virtual bool readReplayFile(std::uint32_t slot, std::vector<std::uint8_t>& bytes) = 0;
    // Checks and writes a downloaded replay (main thread); false when refused.
    virtual bool writeReplayFile(const std::uint8_t* bytes, std::size_t size) = 0;
};

// The installed replay files, or null.
OnlineReplayFiles* onlineReplayFiles();
void setOnlineReplayFiles(OnlineReplayFiles* files);
