#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "InputTestSupport.h"
#include "input/KeyConfigData.h"
#include "services/GameConfigFile.h"
#include "services/SystemInfo.h"

namespace {
std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A 280-byte key file: name, map, threshold as little-endian bytes.
std::vector<std::uint8_t> keyFile(const std::string& name, const std::vector<std::uint8_t>& map,
                                  const std::vector<std::uint8_t>& threshold) {
    std::vector<std::uint8_t> file(280, 0);
    std::copy(name.begin(), name.end(), file.begin());
    std::copy(map.begin(), map.end(), file.begin() + 260);
    std::copy(threshold.begin(), threshold.end(), file.begin() + 276);
    return file;
}
}  // namespace

using KeyConfigFiles = InputTest;

TEST_F(KeyConfigFiles, SaveWithoutAFileWritesTheDefaultsAndTheAssignments) {
    writeData("placeholder", {});  // the "data" folder
    DInputObject& input_ = start();
    input_.setKeyAssign(0, 7);
    input_.setKeyAssign(11, 0x1FF);  // the low byte is stored
    ASSERT_EQ(input_.saveKeyConfig(), 0);
    const std::vector<std::uint8_t> expected = keyFile(
        "none", {100, 101, 102, 103, 7, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xFF}, {0xF4, 0x01, 0x00, 0x00});
    EXPECT_EQ(bytesOf(readData("keyconfig.dat")), expected);
    EXPECT_FALSE(log.root().exists("data/keyconfig.dat.tmp"));
}

TEST_F(KeyConfigFiles, AssignThenClearThenSaveWritesTheMapAsItWas) {
    const std::vector<std::uint8_t> stored =
        keyFile("keyboard", {100, 101, 102, 103, 3, 2, 1, 0, 0xC8, 5, 6, 7, 0, 0, 0, 0}, {0x10, 0x27, 0, 0});
    writeData("keyconfig.dat", stored);
    DInputObject& input_ = start();
    EXPECT_EQ(input_.getChosenJoystick(), 0);
    EXPECT_EQ(input_.getKeyAssign(4), 0xC8);  // map bytes are unsigned
    input_.setKeyAssign(0, 9);
    input_.clearKeyConfig();
    ASSERT_EQ(input_.saveKeyConfig(), 0);
    EXPECT_EQ(bytesOf(readData("keyconfig.dat")), stored);
    EXPECT_EQ(input_.getKeyConfig()->threshold, 10000);
}

TEST_F(KeyConfigFiles, NamesOfFullLengthAndWithoutNul) {
    const std::string name259(259, 'P');
    writeData("keyconfig.dat", keyFile(name259, {100, 101, 102, 103}, {0xF4, 0x01, 0, 0}));
    {
        DInputObject& input_ = start();
        EXPECT_EQ(input_.getKeyConfig()->name, name259);
        ASSERT_EQ(input_.saveKeyConfig(), 0);
        EXPECT_EQ(readData("keyconfig.dat").substr(0, 260), name259 + std::string(1, '\0'));
    }
    // A field without NUL is a name of 260 characters, not a read past it.
    std::vector<std::uint8_t> noNul = keyFile("", {1, 2, 3}, {1, 0, 0, 0});
    std::fill(noNul.begin(), noNul.begin() + 260, 'Q');
    writeData("keyconfig.dat", noNul);
    DInputObject& input_ = start();
    EXPECT_EQ(input_.getKeyConfig()->name, std::string(260, 'Q'));
    EXPECT_EQ(input_.getKeyConfig()->map[0], 1);
    EXPECT_EQ(input_.getKeyConfig()->threshold, 1);
}

TEST_F(KeyConfigFiles, ShortAndLongFiles) {
    struct Case {
        const char* name;
        std::size_t size;
        std::string expectedName;
        std::uint8_t map0, map15;
        std::int32_t threshold;
        bool logged;
    } cases[] = {
        {"100 bytes: the name, defaults after it", 100, std::string(99, 'N'), 100, 0, 500, true},
        {"empty: every default", 0, "none", 100, 0, 500, true},
        {"268 bytes: half the map", 268, std::string(99, 'N'), 9, 0, 500, true},
        {"278 bytes: the threshold's low half", 278, std::string(99, 'N'), 9, 9, 0x0188, true},
        {"300 bytes: the first 280 count", 300, std::string(99, 'N'), 9, 9, 0x00020188, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> file = keyFile(std::string(99, 'N'), std::vector<std::uint8_t>(16, 9),
                                                 {0x88, 0x01, 0x02, 0x00});
        file.resize(c.size, 0x77);
        KeyConfigData config;
        config.threshold = 500;
        writeData("keyconfig.dat", file);
        ASSERT_EQ(LoadKeyConfig(config), 0);
        EXPECT_EQ(config.name, c.expectedName);
        EXPECT_EQ(config.map[0], c.map0);
        EXPECT_EQ(config.map[15], c.map15);
        EXPECT_EQ(config.threshold, c.threshold);
        EXPECT_EQ(log.logContains("data\\keyconfig.dat が短すぎます (" + std::to_string(c.size) + " バイト)"),
                  c.logged);
    }
    // Saving over the 300-byte file keeps its tail.
    KeyConfigData config;
    ASSERT_EQ(SaveKeyConfig(config), 0);
    const std::string saved = readData("keyconfig.dat");
    ASSERT_EQ(saved.size(), 300u);
    EXPECT_EQ(saved.substr(280), std::string(20, '\x77'));
    EXPECT_EQ(saved.substr(0, 5), std::string("none\0", 5));
}

TEST_F(KeyConfigFiles, MissingFilesAndAMissingDataFolder) {
    KeyConfigData config;
    config.name = "kept";
    EXPECT_EQ(LoadKeyConfig(config), 1);
    EXPECT_EQ(config.name, "kept");
    KeyboardConfigBuffer buffer;
    EXPECT_EQ(LoadKeyboardConfig(buffer), 1);

    DInputObject& input_ = start();
    EXPECT_EQ(input_.hasKeyboardMap(), 0);
    input_.setKeyAssign(0, 4);
    EXPECT_EQ(input_.saveKeyConfig(), 1);
    const std::vector<std::string> lines = log.logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], ".\\Src\\KeyConfigData:58  Arg:data\\keyconfig.dat  FAILED");
    EXPECT_NE(lines.back().find("E_FAIL"), std::string::npos);
    EXPECT_FALSE(log.root().exists("data"));
    // The assignment still stands for this run.
    EXPECT_EQ(input_.getKeyAssign(0), 4);
}

TEST_F(KeyConfigFiles, MapIndexOutsideTheMapAddressesEntryZero) {
    KeyConfigData config;
    for (std::int32_t index : {-1, 16, 17, -100000}) {
        config.setMap(index, static_cast<std::uint8_t>(index & 0x7F));
        EXPECT_EQ(config.map[0], static_cast<std::uint8_t>(index & 0x7F)) << index;
        EXPECT_EQ(config.getMap(index), config.map[0]);
    }
    EXPECT_EQ(config.map[15], 0);
    config.setMap(15, 3);
    EXPECT_EQ(config.getMap(15), 3);
}

TEST_F(KeyConfigFiles, KeyboardFileShorterThanSixteenBytesKeepsThePreset) {
    writeData("keyboardconfig.dat", {57, 28, 1});
    KeyboardConfigBuffer buffer;
    ASSERT_EQ(LoadKeyboardConfig(buffer), 0);
    const std::uint8_t expected[16] = {57, 28, 1, 205, 44, 45, 46, 29, 47, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.keys, buffer.keys + 16),
              std::vector<std::uint8_t>(expected, expected + 16));
    EXPECT_TRUE(log.logContains("data\\keyboardconfig.dat が短すぎます (3 バイト)"));
    EXPECT_EQ(readData("keyboardconfig.dat"), std::string("\x39\x1c\x01", 3));
}

TEST_F(KeyConfigFiles, InitChoosesTheJoystick) {
    struct Case {
        const char* name;
        std::vector<std::string> pads;
        const char* storedName;  // null: no file
        std::int32_t chosen;
        std::int32_t storedEntry12;  // 12 from the constructor, else the record's map
        bool loggedMissing;
    } cases[] = {
        {"no file, keyboard alone", {}, nullptr, 0, 8, false},
        {"no file, two pads: the last", {"Pad A", "Pad B"}, nullptr, 2, 0, false},
        {"name none, two pads: the last", {"Pad A", "Pad B"}, "none", 2, 0x42, false},
        {"name none, keyboard alone: nothing changes", {}, "none", 0, 8, false},
        {"name found", {"Pad A", "Pad B", "Pad C"}, "Pad B", 2, 0x42, false},
        {"first of two equal names", {"Twin", "Twin"}, "Twin", 1, 0x42, false},
        {"name not found, two pads: the last", {"Pad A", "Pad B"}, "Pad Z", 2, 0x42, true},
        {"name not found, keyboard alone", {}, "Pad Z", 0, 0x42, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoggedTest caseLog;
        ScriptedInput scripted;
        for (std::size_t i = 0; i < c.pads.size(); ++i) scripted.addController(c.pads[i], "id-" + std::to_string(i));
        Input::setInstance(&scripted);
        if (c.storedName) {
            std::vector<std::uint8_t> map(16, 0x42);
            map[0] = 100;
            caseLog.root().writeFile("data/keyconfig.dat", keyFile(c.storedName, map, {0xF4, 1, 0, 0}));
        }
        DInputObject& input_ = start();
        EXPECT_EQ(input_.getDeviceCount(), static_cast<std::int32_t>(c.pads.size() + 1));
        EXPECT_EQ(input_.getChosenJoystick(), c.chosen);
        EXPECT_EQ(input_.getStoredMap(12), c.storedEntry12);
        EXPECT_EQ(input_.getKeyAssign(8), c.storedEntry12);
        EXPECT_EQ(input_.getLockMask(), DInputObject::kLockInitialised);
        EXPECT_EQ(caseLog.logContains("「Pad Z」が見つかりません"), c.loggedMissing);
        manager.reset();
    }
    Input::setInstance(&input);
}

TEST_F(KeyConfigFiles, AFailedControllerStartLeavesTheKeyboard) {
    input.addController("Pad A", "id-0");
    input.failStart();
    DInputObject& input_ = start();
    EXPECT_EQ(input_.getDeviceCount(), 1);
    EXPECT_EQ(input_.getChosenJoystick(), 0);
    EXPECT_TRUE(log.logContains("ジョイスティックの初期化に失敗しました"));
    input.setKey(57, true);
    input_.update();
    EXPECT_EQ(input_.getButton(0), 1);
}

// The settings files read at start-up and rewritten later: a FIFO in place of
// one is refused without waiting (the defaults stay), and a huge file keeps
// only a bounded tail beyond its records when it is rewritten.
TEST_F(KeyConfigFiles, SettingsFilesThatAreFifosOrHuge) {
    struct Case {
        const char* file;
        std::size_t recordBytes;
        std::function<void()> load, save;
    };
    SystemInfo info;
    KeyConfigData keys;
    const Case cases[] = {
        {"keyconfig.dat", KeyConfigData::kFileSize, [&] { EXPECT_EQ(LoadKeyConfig(keys), 1); },
         [&] { EXPECT_EQ(SaveKeyConfig(keys), 0); }},
        {"gameconfig.dat", GameConfigFile::kByteCount, [&] { loadGameConfig(info); }, [&] { saveGameConfig(info); }},
    };
    const std::filesystem::path data = log.root().path() / "data";
    std::filesystem::create_directories(data);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::filesystem::path path = data / c.file;
        std::filesystem::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        c.load();
        EXPECT_TRUE(log.logContains(std::string("data\\") + c.file + " は通常のファイルではないため開きません"));
        c.save();
        EXPECT_TRUE(std::filesystem::is_regular_file(path));
        EXPECT_EQ(std::filesystem::file_size(path), c.recordBytes);

        // 1 GiB, sparse: the records, 64 KiB of tail, and a line.
        std::filesystem::resize_file(path, 1ull << 30);
        c.save();
        EXPECT_EQ(std::filesystem::file_size(path), c.recordBytes + 65536);
        EXPECT_TRUE(log.logContains(std::string("data\\") + c.file + " の末尾は大きすぎるため、先頭 65536 バイトだけを残します  Size:1073741824"));
    }
}
