// "idx.dat" and "arc.dat" bytes -> the index and every read. The input is a
// 16-bit little-endian length, that many bytes of index, and the data file.
// The same two files serve a texture, a script and a plain folder, so every
// stored form is read from them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "services/ArchiveBuilder.h"
#include "services/ArchiveIndex.h"
#include "services/ArchiveManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto& folder = fuzz::gameFolderWith({"texture", "script", "mesh"});
    (void)folder;
    if (size < 2) return 0;
    std::size_t indexSize = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
    const std::uint8_t* index = data + 2;
    const std::uint8_t* stored = index + indexSize;
    std::size_t storedSize = size - 2 - indexSize;
    const char* folders[] = {"texture", "script", "mesh"};
    for (const char* folder : folders) {
        fuzz::writeFile(std::string(folder) + "\\idx.dat", index, indexSize);
        fuzz::writeFile(std::string(folder) + "\\arc.dat", stored, storedSize);
    }
    // One manager for the run: its two 8 MiB buffers are made once, as in the game.
    static ArchiveManager* archive = new ArchiveManager();
    std::optional<std::vector<ArchiveIndexRecord>> records = archive_index::readIndexFile("mesh");
    if (!records) return 0;
    for (const char* folder : folders) {
        fuzz::asWorker([&] { archive->loadIndex(folder); });
        for (const ArchiveIndexRecord& record : *records) {
            archive->tryRead(folder, record.name, archive_builder::formForFolder(folder));
        }
    }
    // The reads that end the program on a missing or bad entry.
    if (!records->empty()) {
        const std::string& name = records->front().name;
        fuzz::asWorker([&] { archive->readRaw("mesh", name); });
        fuzz::asWorker([&] { archive->readExpanded("texture", name, archive->getEntrySize("texture", name)); });
        fuzz::asWorker([&] { archive->readDecoded("script", name, archive->getEntrySize("script", name)); });
    }
    return 0;
}
