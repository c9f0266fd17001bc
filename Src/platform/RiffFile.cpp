#include "platform/RiffFile.h"

namespace {
constexpr std::uint32_t kRiff = makeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = makeFourCC('L', 'I', 'S', 'T');

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

bool RiffFile::open(std::string_view windowsPath) {
    file_ = File::openExisting(windowsPath, File::Access::Read);
    return file_.isOpen();
}

bool RiffFile::descend(RiffChunk& chunk, const RiffChunk* parent, std::uint32_t flags) {
    if (!file_) return false;
    const std::int64_t fileEnd = file_.size();
    std::int64_t end = fileEnd;
    if (parent) {
        const std::int64_t parentEnd = static_cast<std::int64_t>(parent->dwDataOffset) + parent->cksize;
        if (parentEnd < end) end = parentEnd;
    }
    std::int64_t at = file_.tell();
    while (at + 8 <= end) {
        std::uint8_t header[12];
        if (file_.readAt(static_cast<std::uint64_t>(at), header, 8) != 8) return false;
        RiffChunk found;
        found.ckid = get32(header);
        found.cksize = get32(header + 4);
        found.dwDataOffset = static_cast<std::uint32_t>(at + 8);
        const bool hasForm = found.ckid == kRiff || found.ckid == kList;
        if (hasForm) {
            if (at + 12 > end || file_.readAt(static_cast<std::uint64_t>(at + 8), header + 8, 4) != 4) return false;
            found.fccType = get32(header + 8);
        }
        bool match = true;
        if (flags & kFindRiff) {
            match = found.ckid == kRiff && found.fccType == chunk.fccType;
        } else if (flags & kFindChunk) {
            match = found.ckid == chunk.ckid;
        }
        if (match) {
            chunk = found;
            file_.seek(at + 8 + (hasForm ? 4 : 0));
            return true;
        }
        // On to the next chunk: data padded to an even size.
        at += 8 + static_cast<std::int64_t>(found.cksize) + (found.cksize & 1);
    }
    return false;
}

bool RiffFile::ascend(const RiffChunk& chunk) {
    const std::int64_t end = static_cast<std::int64_t>(chunk.dwDataOffset) + chunk.cksize + (chunk.cksize & 1);
    return file_.seek(end);
}

std::int32_t RiffFile::read(void* buffer, std::int32_t count) {
    if (!file_ || count < 0) return -1;
    return static_cast<std::int32_t>(file_.read(buffer, static_cast<size_t>(count)));
}

std::int64_t RiffFile::seek(std::int64_t offset) {
    if (!file_ || offset < 0 || !file_.seek(offset)) return -1;
    return file_.tell();
}
