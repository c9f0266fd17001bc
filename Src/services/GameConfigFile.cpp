#include "services/GameConfigFile.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Path.h"
#include "services/DebugInfo.h"
#include "services/SettingsTail.h"
#include "services/SystemInfo.h"

namespace {
std::uint32_t flag(bool on) { return on ? 1u : 0u; }

std::uint32_t readLittleEndian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

void writeLittleEndian(std::uint8_t* bytes, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

bool dataFolderExists() {
    std::optional<std::filesystem::path> folder = Path::resolve("data");
    std::error_code error;
    return folder && std::filesystem::is_directory(*folder, error);
}

void logWriteFailure() { logLine(std::string(GameConfigFile::kPath) + " の書き込みに失敗しました"); }
}  // namespace

std::array<std::uint32_t, GameConfigFile::kWordCount> GameConfigFile::wordsOf(const SystemInfo& info) {
    return {
        info.getVolume0(),
        info.getVolume1(),
        info.getVolume2(),
        info.getMaxContinue(),
        flag(info.isWindowed() != 0),
        flag(info.getBpp() != 32),
        flag(info.getForce60fps() != 0),
        flag(info.getDrawBg() == 0),
        flag(info.getOnline() == 0),
        flag(info.getReadSkipEnable() != 0),
        flag(info.isWideCompress() != 0),
    };
}

void GameConfigFile::applyWord(SystemInfo& info, std::size_t index, std::uint32_t word) {
    switch (index) {
        case 0: info.setVolume0(word); break;
        case 1: info.setVolume1(word); break;
        case 2: info.setVolume2(word); break;
        case 3: info.setMaxContinue(word); break;
        case 4: info.setWindowed(flag(word != 0)); break;
        case 5: info.setBpp(word != 0 ? 16 : 32); break;
        case 6: info.setForce60fps(flag(word != 0)); break;
        case 7: info.setDrawBg(flag(word == 0)); break;
        case 8: info.setOnline(flag(word == 0)); break;
        case 9: info.setReadSkipEnable(flag(word != 0)); break;
        case 10: info.setWideCompress(flag(word != 0)); break;
        default: break;
    }
}

bool GameConfigFile::sameSetting(std::size_t index, std::uint32_t a, std::uint32_t b) {
    return index < 4 ? a == b : (a != 0) == (b != 0);
}

void loadGameConfig(SystemInfo& info) {
    File file = File::openExisting(GameConfigFile::kPath, File::Access::Read);
    if (!file) return;
    for (std::size_t index = 0; index < GameConfigFile::kWordCount; ++index) {
        std::uint8_t bytes[4];
        // A short file ends here: the words it lacks keep their fields.
        if (file.read(bytes, sizeof bytes) != sizeof bytes) break;
        std::uint32_t word = readLittleEndian(bytes);
        if (word > GameConfigFile::kLargestWord[index]) {
            logLine(std::string(GameConfigFile::kPath) + " の " + std::to_string(index) + " 番目の値 " +
                    std::to_string(word) + " は範囲外のため、既定値 " +
                    std::to_string(GameConfigFile::kDefaultWord[index]) + " を使います");
            word = GameConfigFile::kDefaultWord[index];
        }
        GameConfigFile::applyWord(info, index, word);
    }
}

void saveGameConfig(const SystemInfo& info) {
    std::vector<std::uint8_t> bytes(GameConfigFile::kByteCount);
    std::array<std::uint32_t, GameConfigFile::kWordCount> words = GameConfigFile::wordsOf(info);
    for (std::size_t index = 0; index < words.size(); ++index) writeLittleEndian(&bytes[index * 4], words[index]);

    // Only the first 44 bytes are ours: whatever follows them is kept.
    std::optional<std::vector<std::uint8_t>> old = readSettingsKept(GameConfigFile::kPath, bytes.size());
    if (!old) {
        // Rewriting a file we cannot read would lose its tail.
        logWriteFailure();
        return;
    }
    for (std::size_t index = 0; index < words.size() && index * 4 + 4 <= old->size(); ++index) {
        std::uint32_t stored = readLittleEndian(&(*old)[index * 4]);
        if (GameConfigFile::sameSetting(index, stored, words[index])) writeLittleEndian(&bytes[index * 4], stored);
    }
    if (old->size() > bytes.size()) bytes.insert(bytes.end(), old->begin() + bytes.size(), old->end());
    if (!File::writeReplacing(GameConfigFile::kPath, bytes.data(), bytes.size()) && dataFolderExists()) {
        logWriteFailure();
    }
}
