// Helpers of the archive suites: a logged temporary game folder with an
// ArchiveManager, and writers of index and data files made record by record
// (for damaged archives the builder would never write).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Thread.h"
#include "services/ArchiveIndex.h"
#include "services/ArchiveManager.h"
#include "support/TestSupport.h"

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Deterministic pseudo-random bytes (a simple LCG), so failures reproduce.
inline Bytes randomBytes(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

// Bytes with long runs of repeated 4-byte units (texture-like).
inline Bytes runnyBytes(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    Bytes noise = randomBytes((size / 256 + 2) * 4, seed);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = noise[(i / 4 / 97 * 4) % noise.size() + i % 4];
    return bytes;
}

class ArchiveTest : public ::testing::Test, public LoggedTest {
protected:
    ArchiveTest() { markMainThread(); }

    void writeFile(const std::string& relative, const Bytes& bytes) const { root().writeFile(relative, bytes); }
    Bytes readFile(const std::string& relative) const { return bytesOf(root().readFile(relative)); }

    // An index file of the given records, written as the builder writes them.
    void writeIndex(const std::string& folder, const std::vector<ArchiveIndexRecord>& records,
                    const Bytes& tail = {}) const {
        Bytes bytes;
        for (const ArchiveIndexRecord& record : records) {
            archive_index::RecordBytes encoded = archive_index::encodeRecord(record.name, record.entry);
            bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        }
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        writeFile(folder + "/idx.dat", bytes);
    }

    std::unique_ptr<ArchiveManager> archive = std::make_unique<ArchiveManager>();
};
