// The key configuration files: the first byte picks "keyconfig.dat" (read at
// start-up, then written back as "savekeyconfig" does, keeping its tail) or
// "keyboardconfig.dat" (read only); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "input/KeyConfigData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto& folder = fuzz::gameFolderWith({"data"});
    (void)folder;
    if (size < 1) return 0;
    if (data[0] % 2 == 0) {
        fuzz::writeFile(KeyConfigData::kPath, data + 1, size - 1);
        KeyConfigData config;
        if (LoadKeyConfig(config) != 0) std::abort();  // the file is there
        SaveKeyConfig(config);
        KeyConfigData again;
        LoadKeyConfig(again);
        // What was saved reads back the same.
        if (again.name != config.name.substr(0, KeyConfigData::kNameSize - 1) || again.threshold != config.threshold)
            std::abort();
    } else {
        fuzz::writeFile(KeyboardConfigBuffer::kPath, data + 1, size - 1);
        KeyboardConfigBuffer buffer;
        LoadKeyboardConfig(buffer);
    }
    return 0;
}
