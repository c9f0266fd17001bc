// RIFF files read chunk by chunk, in the shape of the multimedia file calls
// (open for reading, descend into a chunk, ascend out of it, read, seek).
// Chunk data is padded to an even size; sizes are checked against the file
// and the enclosing chunk, so a damaged file ends a search instead of
// leading it outside the file.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/File.h"

constexpr std::uint32_t makeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24);
}

// One chunk: its id, its data size, the form type of a "RIFF" or "LIST"
// chunk, and the file offset of its data (for "RIFF", of the form type).
struct RiffChunk {
    std::uint32_t ckid = 0;
    std::uint32_t cksize = 0;
    std::uint32_t fccType = 0;
    std::uint32_t dwDataOffset = 0;
};

class RiffFile {
public:
    static constexpr std::uint32_t kFindChunk = 0x10;  // a chunk of the given id
    static constexpr std::uint32_t kFindRiff = 0x20;   // a "RIFF" chunk of the given form type

    // mmioOpen for reading; false when the file cannot be opened.
    bool open(std::string_view windowsPath);
    bool isOpen() const { return file_.isOpen(); }
    void close() { file_.close(); }

    // Searches from the current position (inside `parent` when given) for
    // the chunk `chunk` names, and leaves the position at its data. Without
    // a search flag the chunk at the position is taken. False when none.
    bool descend(RiffChunk& chunk, const RiffChunk* parent, std::uint32_t flags);
    // Moves past the end of the chunk's (padded) data.
    bool ascend(const RiffChunk& chunk);
    // Bytes read; 0 at the end of the file; -1 on an error.
    std::int32_t read(void* buffer, std::int32_t count);
    // To an absolute offset; the new position or -1.
    std::int64_t seek(std::int64_t offset);
    std::int64_t size() const { return file_.size(); }

private:
    File file_;
};
