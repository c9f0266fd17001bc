#include "records/MachineId.h"

#include <optional>
#include <vector>

#include "platform/File.h"
#include "platform/Machine.h"
#include "records/LittleEndianWords.h"
#include "records/ScoreFile.h"

void readMachineId(std::span<std::uint32_t, 2> machineId) {
    std::optional<HardwareAddress> address = Machine::instance().firstAdapterAddress();
    if (!address) return;
    for (std::size_t i = 0; i < address->size() && i < 8; ++i) {
        machineId[i / 4] |= static_cast<std::uint32_t>((*address)[i]) << (8 * (i % 4));
    }
}

// The words go into the existing file through a replacing write, so a failed
// write leaves the old file whole. With no score file there is nothing to
// stamp: a stub of header words alone would fail its checksum at the next
// start, and the next start reads the same identity from the adapter anyway.
int writeMachineIdWords(std::span<const std::uint32_t, 2> machineId) {
    std::optional<std::vector<std::uint8_t>> bytes = File::readAll(kScoreFilePath, kScoreFileHeaderSize + kScoreFileBodySize);
    if (!bytes) return 1;
    if (bytes->size() < 12) bytes->resize(12, 0);
    storeWordLE(bytes->data() + 4, machineId[0]);
    storeWordLE(bytes->data() + 8, machineId[1]);
    return writeScoreFileBytes(*bytes);
}
