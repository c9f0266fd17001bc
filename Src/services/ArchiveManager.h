// The data archive: per data folder, "arc.dat" holds the stored files back to
// back and "idx.dat" one record per file (ArchiveIndex). Entries are found by
// folder and name (byte for byte, case-sensitive) and read whole, expanded
// (textures) or decoded (scripts) as the folder's kind asks.
//
// The main thread (textures, meshes, sounds) and the script loader threads
// read at once, so the entry map and the read buffers are locked, and every
// read hands the caller its own copy of the bytes.
//
// A file the archive cannot deliver ends the program: the line
// "<name> が見つかりません", then the one fatal exit (on a worker thread, the
// main thread is asked to end it). Every failure before that (a missing or damaged index, a
// short "arc.dat", a coded form that does not hold what it claims) is logged.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/File.h"
#include "platform/HResult.h"
#include "services/ArchiveBuilder.h"
#include "services/ArchiveIndex.h"
#include "services/CHC_Mem_ii.h"
#include "services/NamePool.h"

// Bytes read from the archive, owned by the caller.
using ArchiveBytes = std::vector<std::uint8_t>;

class ArchiveManager {
public:
    static constexpr std::uint32_t kBufferSize = archive_builder::kReadBufferSize;

    ArchiveManager();
    virtual ~ArchiveManager();
    ArchiveManager(const ArchiveManager&) = delete;
    ArchiveManager& operator=(const ArchiveManager&) = delete;

    // Rebuild a folder's archive from its loose files: run-length coded, or
    // unchanged / scrambled. 0 or E_FAIL. A rebuilt folder's entries are
    // looked up afresh.
    HRESULT buildTextureArchive(std::string_view folder);
    HRESULT buildArchive(std::string_view folder, bool scramble = false);

    // Reads every record of the folder's index into the map (a later record
    // of a name replaces an earlier one). A missing index is logged; returns 0.
    HRESULT loadIndex(std::string_view folder);

    // The entry's stored size, from the map or by scanning the index file on a
    // miss (the first record of the name wins). A missing entry ends the
    // program; an entry stored with size 0 gives 0 (and its read ends it).
    std::uint32_t getEntrySize(std::string_view folder, std::string_view name);

    // The reads: the entry found again and read whole, a missing or unreadable
    // entry ending the program. The callers pass on the stored size they had
    // from getEntrySize; the entry's own size is what is read.
    // The entry's bytes as stored (meshes).
    ArchiveBytes readRaw(std::string_view folder, std::string_view name);
    // The entry run-length expanded (textures).
    ArchiveBytes readExpanded(std::string_view folder, std::string_view name, std::uint32_t storedSize);
    // The entry unscrambled and Huffman decoded (scripts).
    ArchiveBytes readDecoded(std::string_view folder, std::string_view name, std::uint32_t storedSize);

    // The data file opened and positioned at the entry's first byte, with the
    // entry's offset and size; the caller reads and closes it. A closed File
    // when the entry (or an entry of size 0) or the data file is missing.
    File openStream(std::string_view folder, std::string_view name, std::uint32_t& offset,
                    std::uint32_t& size);

    // The size of the last expanded or decoded data (of whichever thread read
    // last; the size of the bytes a read returned is theirs).
    std::uint32_t getOutputSize() const { return outputSize_.load(); }

    // The run-length codec on the manager's output buffer: code or expand and
    // set the output size. An absent input or length 0 gives output size 0;
    // a coded form that would not fit, or a coded string that does not hold
    // what it claims, gives nullptr and output size 0. The buffer is shared:
    // for single-threaded use (tools, tests); reads never expose it.
    const std::uint8_t* encodeRunLength(const std::uint8_t* input, std::uint32_t length);
    const std::uint8_t* expandRunLength(const std::uint8_t* coded, std::uint32_t length);

    // The same operations under the names the graphics and sound code use.
    std::uint32_t lookupEntry(std::string_view folder, std::string_view name) {
        return getEntrySize(folder, name);
    }
    ArchiveBytes readEntry(std::string_view folder, std::string_view name) { return readRaw(folder, name); }
    ArchiveBytes readRle32Entry(std::string_view folder, std::string_view name, std::uint32_t storedSize) {
        return readExpanded(folder, name, storedSize);
    }
    std::uint32_t getLastReadSize() const { return getOutputSize(); }

    // The reads without the fatal end: the entry (nothing when not found, the
    // failure logged), and its data in the given stored form (nothing when it
    // cannot be read, expanded or decoded, the failure logged; an entry of size
    // 0 counts as missing unless `allowEmpty`).
    std::optional<ArchiveEntry> findEntry(std::string_view folder, std::string_view name);
    std::optional<ArchiveBytes> tryRead(std::string_view folder, std::string_view name, ArchiveForm form,
                                        bool allowEmpty = false);

private:
    NameHandle entryKey(std::string_view folder, std::string_view name) const;
    std::optional<ArchiveEntry> findEntryLocked(std::string_view folder, std::string_view name);
    bool readStoredLocked(std::string_view folder, std::string_view name, const ArchiveEntry& entry);
    void forgetFolder(std::string_view folder);
    [[noreturn]] void notFound(std::string_view name);

    std::mutex lock_;
    std::map<NameHandle, ArchiveEntry> entries_;
    std::unique_ptr<std::uint8_t[]> readBuffer_;
    std::unique_ptr<std::uint8_t[]> outputBuffer_;
    std::atomic<std::uint32_t> outputSize_{0};
    CHC_Mem_ii decoder_;
};
