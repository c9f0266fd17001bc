// Building a folder's archive: the order and layout of what is stored, the
// limits of the stored forms, and a failed build leaving the old archive.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "ArchiveTestSupport.h"
#include "services/ArchiveScrambler.h"
#include "services/CHC_Mem_ii.h"

namespace {
using ArchiveBuild = ArchiveTest;
constexpr std::uint32_t kMiB = 1024 * 1024;
}  // namespace

TEST_F(ArchiveBuild, StoresFilesInByteWiseNameOrderBackToBack) {
    writeFile("mesh/b.x", bytesOf("bbbb"));
    writeFile("mesh/A.x", bytesOf("A"));
    writeFile("mesh/a.x", bytesOf("aa"));
    writeFile("mesh/\xE3\x81\x82.x", bytesOf("kana"));  // "あ.x": cp932 0x82 0xA0 sorts last
    writeFile("mesh/sub/inner.x", bytesOf("not stored"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);

    std::optional<std::vector<ArchiveIndexRecord>> records = archive_index::readIndexFile("mesh");
    ASSERT_TRUE(records);
    struct Expected {
        std::string name;
        std::uint32_t offset, size;
    };
    const Expected expected[] = {{"A.x", 0, 1}, {"a.x", 1, 2}, {"b.x", 3, 4}, {"\x82\xA0.x", 7, 4}};
    ASSERT_EQ(records->size(), std::size(expected));
    for (std::size_t i = 0; i < records->size(); ++i) {
        EXPECT_EQ((*records)[i].name, expected[i].name);
        EXPECT_EQ((*records)[i].entry.offset, expected[i].offset);
        EXPECT_EQ((*records)[i].entry.size, expected[i].size);
    }
    EXPECT_EQ(readFile("mesh/arc.dat"), bytesOf("Aaabbbbkana"));
    EXPECT_EQ(readFile("mesh/idx.dat").size(), 4 * archive_index::kRecordSize);
    // The archive's own files are not stored by a rebuild.
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    EXPECT_EQ(archive_index::readIndexFile("mesh")->size(), 4u);
}

// Archives built once are read by later builds, so the record layout and the
// scrambling are pinned byte for byte here, worked out from their formulas.
TEST_F(ArchiveBuild, IndexRecordsAndScrambledDataAsStoredBytes) {
    auto mask = [](std::size_t i) {
        return static_cast<std::uint8_t>(3 * i + archive_scrambler::kKey[i % 5] + archive_scrambler::kFixed);
    };
    auto littleEndian = [](Bytes& out, std::uint32_t value) {
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
    };
    Bytes first = randomBytes(300, 9);  // long enough for the byte mask to wrap
    Bytes second = bytesOf("xyz");
    writeFile("secret/a.bin", first);
    writeFile("secret/b.bin", second);
    ASSERT_EQ(archive->buildArchive("secret", true), S_OK);

    Bytes expectedIndex;
    std::uint32_t offset = 0;
    for (const auto& [name, data] : {std::pair<std::string, Bytes>{"a.bin", first}, {"b.bin", second}}) {
        // The whole 32-byte field is scrambled, the NUL and padding included.
        for (std::size_t i = 0; i < 32; ++i) {
            std::uint8_t plain = i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0;
            expectedIndex.push_back(plain ^ mask(i));
        }
        littleEndian(expectedIndex, offset ^ archive_scrambler::kOffsetMask);
        littleEndian(expectedIndex, static_cast<std::uint32_t>(data.size()) ^ archive_scrambler::kSizeMask);
        offset += static_cast<std::uint32_t>(data.size());
    }
    EXPECT_EQ(readFile("secret/idx.dat"), expectedIndex);

    // Each entry's data is scrambled from its own first byte.
    Bytes expectedData;
    for (const Bytes* data : {&first, &second})
        for (std::size_t i = 0; i < data->size(); ++i) expectedData.push_back((*data)[i] ^ mask(i));
    EXPECT_EQ(readFile("secret/arc.dat"), expectedData);
}

TEST_F(ArchiveBuild, AFailedBuildKeepsThePreviousArchive) {
    writeFile("mesh/a.x", bytesOf("first build"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    Bytes index = readFile("mesh/idx.dat");
    Bytes data = readFile("mesh/arc.dat");

    writeFile("mesh/b.x", bytesOf("would be stored"));
    writeFile("mesh/c.x", Bytes(ArchiveManager::kBufferSize, 1));  // too big to read back
    EXPECT_EQ(archive->buildArchive("mesh"), E_FAIL);
    EXPECT_TRUE(logContains("  Arg:mesh\\c.x  FAILED"));
    EXPECT_EQ(readFile("mesh/idx.dat"), index);
    EXPECT_EQ(readFile("mesh/arc.dat"), data);
    EXPECT_FALSE(root().exists("mesh/idx.dat.tmp"));
    EXPECT_FALSE(root().exists("mesh/arc.dat.tmp"));
    EXPECT_EQ(archive->readRaw("mesh", "a.x"), bytesOf("first build"));
}

TEST_F(ArchiveBuild, RefusesFilesWhoseStoredFormWouldNotFit) {
    struct Case {
        const char* what;
        ArchiveForm form;
        std::function<Bytes()> file;
        bool stored;
    };
    const Case cases[] = {
        {"unchanged, one byte under 8 MiB", ArchiveForm::Unchanged, [] { return randomBytes(8 * kMiB - 1, 1); }, true},
        {"unchanged, 8 MiB", ArchiveForm::Unchanged, [] { return randomBytes(8 * kMiB, 2); }, false},
        {"run-length, 8 MiB expanding to the full buffer", ArchiveForm::RunLength,
         [] { return runnyBytes(8 * kMiB, 3); }, true},
        {"run-length, over 8 MiB expanded", ArchiveForm::RunLength, [] { return runnyBytes(8 * kMiB + 1, 4); }, false},
        {"run-length, coded form of 8 MiB and more", ArchiveForm::RunLength, [] { return randomBytes(7 * kMiB, 5); },
         false},
        {"Huffman, 2 MiB decoded", ArchiveForm::HuffmanScrambled,
         [] { return randomBytes(CHC_Mem_ii::kOutputCapacity, 6); }, true},
        {"Huffman, over 2 MiB decoded", ArchiveForm::HuffmanScrambled,
         [] { return Bytes(CHC_Mem_ii::kOutputCapacity + 1, 'x'); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoggedTest fresh;
        Bytes file = c.file();
        fresh.root().writeFile("folder/big.bin", file);
        ASSERT_EQ(archive_builder::build("folder", c.form), c.stored ? S_OK : E_FAIL);
        if (c.stored) {
            ArchiveManager reader;
            std::optional<ArchiveBytes> read = reader.tryRead("folder", "big.bin", c.form);
            ASSERT_TRUE(read) << fresh.logText();
            EXPECT_TRUE(*read == file);
        } else {
            EXPECT_TRUE(fresh.logContains("  Arg:folder\\big.bin  FAILED"));
            EXPECT_FALSE(fresh.root().exists("folder/idx.dat"));
        }
    }
}

TEST_F(ArchiveBuild, AMissingFolderIsLoggedWithItsPattern) {
    EXPECT_EQ(archive->buildTextureArchive("texture"), E_FAIL);
    EXPECT_TRUE(logContains("  Arg:texture\\*.*  FAILED"));
    EXPECT_FALSE(root().exists("texture"));
}

TEST_F(ArchiveBuild, AnEmptyFolderGivesAnEmptyArchive) {
    std::filesystem::create_directories(root().path() / "mesh");
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    EXPECT_TRUE(root().exists("mesh/idx.dat"));
    EXPECT_TRUE(root().exists("mesh/arc.dat"));
    EXPECT_TRUE(readFile("mesh/idx.dat").empty());
}

TEST(ArchiveBuildForm, FollowsTheFolderName) {
    EXPECT_EQ(archive_builder::formForFolder("texture"), ArchiveForm::RunLength);
    EXPECT_EQ(archive_builder::formForFolder("Texture"), ArchiveForm::RunLength);
    EXPECT_EQ(archive_builder::formForFolder("script"), ArchiveForm::HuffmanScrambled);
    EXPECT_EQ(archive_builder::formForFolder("mesh"), ArchiveForm::Unchanged);
    EXPECT_EQ(archive_builder::formForFolder("raw"), ArchiveForm::Unchanged);
    EXPECT_EQ(archive_builder::formForFolder("textures"), ArchiveForm::Unchanged);
}

// Archives packed by earlier builds stay readable only while the scrambling
// key, fixed byte and masks, the record layout and both codecs stay as they
// were. tests/fixtures/archive holds three tiny folders with the "idx.dat" and
// "arc.dat" packed from them once (vorly-pack build): packing the loose files again must give
// the same bytes, and the committed archives must read back as the files.
TEST_F(ArchiveBuild, GoldenArchivesOfEachFormPackAndReadByteForByte) {
    namespace fs = std::filesystem;
    const fs::path fixtures = fs::path(VORLY_FIXTURES) / "archive";
    struct Case {
        const char* folder;
        std::vector<const char*> entries;
    };
    const Case cases[] = {
        {"texture", {"dot.bmp", "pad.dds"}},     // run-length coded
        {"script", {"init.xml", "stage.xml"}},   // Huffman coded and scrambled
        {"mesh", {"Thumbs.db", "box.x"}},        // unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        fs::copy(fixtures / c.folder, root().path() / c.folder);
        auto golden = [&](const char* file) { return bytesOf(root().readFile(std::string(c.folder) + "/" + file)); };
        const Bytes goldenIndex = golden("idx.dat");
        const Bytes goldenData = golden("arc.dat");
        ASSERT_FALSE(goldenIndex.empty());

        // The committed archive reads back as the loose files.
        ArchiveForm form = archive_builder::formForFolder(c.folder);
        ArchiveManager reader;
        for (const char* name : c.entries) {
            std::optional<ArchiveBytes> read = reader.tryRead(c.folder, name, form);
            ASSERT_TRUE(read) << name << "\n" << logText();
            EXPECT_TRUE(*read == golden(name)) << name;
        }

        // Packing the same files again gives the same bytes.
        ASSERT_EQ(archive_builder::build(c.folder, form), S_OK) << logText();
        EXPECT_EQ(golden("idx.dat"), goldenIndex);
        EXPECT_EQ(golden("arc.dat"), goldenData);
    }
}

// The engine's own rebuild keeps storing what it can, but says why a name
// will not read back as the file was called.
TEST_F(ArchiveBuild, NamesItCannotStoreAsTheyAreAreLoggedWithTheReason) {
    const std::string x31(31, 'x');
    writeFile("mesh/" + x31 + "1.txt", bytesOf("first"));
    writeFile("mesh/" + x31 + "2.txt", bytesOf("second"));
    writeFile("mesh/Box.x", bytesOf("box"));
    writeFile("mesh/box.X", bytesOf("BOX"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    EXPECT_TRUE(logContains("mesh\\" + x31 + "1.txt は 31 バイトに切り詰めると " + x31 + "2.txt と同じ名前になります"));
    EXPECT_TRUE(logContains("mesh\\" + x31 + "2.txt は 31 バイトに切り詰めると " + x31 + "1.txt と同じ名前になります"));
    EXPECT_TRUE(logContains("mesh\\Box.x は大文字と小文字を区別しないと box.X と同じ名前になります"));
    // Stored under the cut name; of names that cut or fold alike, the first
    // one found is the one kept.
    EXPECT_EQ(archive->readRaw("mesh", x31), bytesOf("first"));
    EXPECT_EQ(archive->readRaw("mesh", "box.X"), bytesOf("BOX"));

    // A name cp932 lacks fails the build after its reason.
    LoggedTest fresh;
    fresh.root().writeFile("mesh/caf\xC3\xA9.txt", "data");
    EXPECT_EQ(archive_builder::build("mesh", ArchiveForm::Unchanged), E_FAIL);
    std::vector<std::string> lines = fresh.logLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "mesh\\caf\xC3\xA9.txt は cp932 で表せない文字を含むため、アーカイブから読み出せません");
    EXPECT_NE(lines[1].find("  Arg:mesh\\caf?.txt  FAILED"), std::string::npos) << lines[1];
}

// A pair switch cut short at each of its steps reads as the whole old pair
// (before its marker was written) or the whole new one (after).
TEST_F(ArchiveBuild, APairSwitchCutShortAtAnyStepReadsAsAWholePair) {
    writeFile("mesh/a.x", bytesOf("old a"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    const Bytes oldIndex = readFile("mesh/idx.dat"), oldData = readFile("mesh/arc.dat");
    writeFile("mesh/0.x", bytesOf("new first entry"));
    writeFile("mesh/a.x", bytesOf("new a, longer"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    const Bytes newIndex = readFile("mesh/idx.dat"), newData = readFile("mesh/arc.dat");
    ASSERT_NE(oldIndex, newIndex);
    const Bytes none;
    struct Case {
        const char* step;
        bool marker;
        const Bytes &index, &data, &pendingIndex, &pendingData;
        bool readsNew;
    };
    const Bytes halfIndex(newIndex.begin(), newIndex.begin() + 20), halfData(newData.begin(), newData.begin() + 4);
    const Case cases[] = {
        {"temporary files half written", false, oldIndex, oldData, halfIndex, halfData, false},
        {"temporary pair synced", false, oldIndex, oldData, newIndex, newData, false},
        {"marker written", true, oldIndex, oldData, newIndex, newData, true},
        {"data renamed", true, oldIndex, newData, newIndex, none, true},
        {"index renamed", true, newIndex, newData, none, none, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        for (const char* name : {"idx.dat", "arc.dat", "idx.dat.tmp", "arc.dat.tmp", "arc.switch"})
            std::filesystem::remove(root().path() / "mesh" / name);
        writeFile("mesh/idx.dat", c.index);
        writeFile("mesh/arc.dat", c.data);
        if (&c.pendingIndex != &none) writeFile("mesh/idx.dat.tmp", c.pendingIndex);
        if (&c.pendingData != &none) writeFile("mesh/arc.dat.tmp", c.pendingData);
        if (c.marker) writeFile("mesh/arc.switch", none);

        ArchiveManager reader;
        ASSERT_EQ(reader.loadIndex("mesh"), S_OK);
        EXPECT_EQ(reader.tryRead("mesh", "a.x", ArchiveForm::Unchanged),
                  std::optional<ArchiveBytes>(c.readsNew ? bytesOf("new a, longer") : bytesOf("old a")));
        EXPECT_EQ(reader.tryRead("mesh", "0.x", ArchiveForm::Unchanged).has_value(), c.readsNew);
        EXPECT_EQ(readFile("mesh/idx.dat"), c.readsNew ? newIndex : oldIndex);
        EXPECT_EQ(readFile("mesh/arc.dat"), c.readsNew ? newData : oldData);
        EXPECT_FALSE(root().exists("mesh/arc.switch"));
        // A build from here replaces whichever pair stands.
        EXPECT_EQ(archive->buildArchive("mesh"), S_OK);
        EXPECT_EQ(readFile("mesh/idx.dat"), newIndex);
        EXPECT_FALSE(root().exists("mesh/idx.dat.tmp"));
    }
}
