// Finding and reading entries: keys by folder and name, the index records as
// stored, duplicates, the size limits, and archives damaged in every field a
// reader trusts.
#include <gtest/gtest.h>

#include <string>

#include "ArchiveTestSupport.h"
#include "services/ArchiveScrambler.h"
#include "services/HuffmanEncoder.h"

namespace {
using ArchiveIndex = ArchiveTest;

Bytes scrambled(Bytes bytes) {
    archive_scrambler::scramble(bytes.data(), bytes.size());
    return bytes;
}
}  // namespace

TEST_F(ArchiveIndex, ReadsEachStoredFormBack) {
    Bytes texture = runnyBytes(70001, 1);
    Bytes script = bytesOf("<exbulletml>\n  <action label=\"top\"><wait>1</wait></action>\n</exbulletml>\n");
    Bytes mesh = randomBytes(5003, 2);
    writeFile("texture/ship.bmp", texture);
    writeFile("script/stage1.xml", script);
    writeFile("mesh/stage.x", mesh);
    writeFile("secret/data.bin", mesh);
    ASSERT_EQ(archive_builder::build("texture", ArchiveForm::RunLength), S_OK);
    ASSERT_EQ(archive_builder::build("script", ArchiveForm::HuffmanScrambled), S_OK);
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    ASSERT_EQ(archive->buildArchive("secret", true), S_OK);
    // The scrambled form really is scrambled on disk.
    EXPECT_NE(readFile("secret/arc.dat"), mesh);
    EXPECT_EQ(readFile("mesh/arc.dat"), mesh);

    ASSERT_EQ(archive->loadIndex("texture"), S_OK);
    std::uint32_t stored = archive->getEntrySize("texture", "ship.bmp");
    EXPECT_LT(stored, texture.size());
    EXPECT_EQ(archive->readExpanded("texture", "ship.bmp", stored), texture);
    EXPECT_EQ(archive->getOutputSize(), texture.size());
    // The same reads under the names the graphics code calls them by.
    EXPECT_EQ(archive->readRle32Entry("texture", "ship.bmp", archive->lookupEntry("texture", "ship.bmp")), texture);
    EXPECT_EQ(archive->getLastReadSize(), texture.size());

    stored = archive->getEntrySize("script", "stage1.xml");
    EXPECT_EQ(archive->readDecoded("script", "stage1.xml", stored), script);
    EXPECT_EQ(archive->getOutputSize(), script.size());

    EXPECT_EQ(archive->getEntrySize("mesh", "stage.x"), mesh.size());
    EXPECT_EQ(archive->readRaw("mesh", "stage.x"), mesh);
    EXPECT_EQ(archive->readEntry("mesh", "stage.x"), mesh);
    EXPECT_EQ(archive->tryRead("secret", "data.bin", ArchiveForm::Scrambled), mesh);
}

TEST_F(ArchiveIndex, KeysByFolderAndExactName) {
    writeFile("mesh/same.x", bytesOf("mesh's"));
    writeFile("raw/same.x", bytesOf("raw's"));
    std::string name31(31, 'n');
    std::string name40 = std::string(31, 'l') + "123456789";
    writeFile("mesh/" + name31, bytesOf("thirty-one"));
    writeFile("mesh/" + name40, bytesOf("forty"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    ASSERT_EQ(archive->buildArchive("raw"), S_OK);

    EXPECT_EQ(archive->readRaw("mesh", "same.x"), bytesOf("mesh's"));
    EXPECT_EQ(archive->readRaw("raw", "same.x"), bytesOf("raw's"));
    EXPECT_EQ(archive->readRaw("mesh", name31), bytesOf("thirty-one"));
    // A longer name is stored cut to 31 bytes and found only by the cut name.
    EXPECT_EQ(archive->readRaw("mesh", name40.substr(0, 31)), bytesOf("forty"));
    EXPECT_FALSE(archive->findEntry("mesh", name40));
    // Names compare byte for byte.
    EXPECT_FALSE(archive->findEntry("mesh", "SAME.X"));

    std::optional<std::vector<ArchiveIndexRecord>> records = archive_index::readIndexFile("mesh");
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 3u);
    EXPECT_EQ((*records)[0].name, name40.substr(0, 31));
    EXPECT_EQ((*records)[1].name, name31);
    EXPECT_EQ((*records)[2].name, "same.x");
}

TEST_F(ArchiveIndex, DuplicateRecordsLoadTheLaterAndScanToTheEarlier) {
    writeFile("mesh/arc.dat", bytesOf("firstsecond"));
    writeIndex("mesh", {{"dup.x", {0, 5}}, {"dup.x", {5, 6}}});
    ASSERT_EQ(archive->loadIndex("mesh"), S_OK);
    EXPECT_EQ(archive->readRaw("mesh", "dup.x"), bytesOf("second"));

    ArchiveManager scanning;
    EXPECT_EQ(scanning.readRaw("mesh", "dup.x"), bytesOf("first"));
}

TEST_F(ArchiveIndex, ThumbsDbIsLeftOutOfTexturesOnly) {
    writeFile("texture/Thumbs.db", bytesOf("thumbnail cache"));
    writeFile("texture/a.bmp", bytesOf("BMxx"));
    writeFile("mesh/Thumbs.db", bytesOf("thumbnail cache"));
    ASSERT_EQ(archive->buildTextureArchive("texture"), S_OK);
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    EXPECT_FALSE(archive->findEntry("texture", "Thumbs.db"));
    EXPECT_TRUE(archive->findEntry("texture", "a.bmp"));
    EXPECT_EQ(archive->readRaw("mesh", "Thumbs.db"), bytesOf("thumbnail cache"));
}

TEST_F(ArchiveIndex, EmptyIndexLoadsNothing) {
    writeFile("mesh/idx.dat", Bytes{});
    writeFile("mesh/arc.dat", Bytes{});
    EXPECT_EQ(archive->loadIndex("mesh"), S_OK);
    EXPECT_FALSE(archive->findEntry("mesh", "anything.x"));
    EXPECT_FALSE(logContains("FAILED"));
}

TEST_F(ArchiveIndex, MissingIndexIsLoggedAndIgnored) {
    EXPECT_EQ(archive->loadIndex("texture"), S_OK);
    EXPECT_TRUE(logContains(".\\Src\\ArchiveManager:"));
    EXPECT_TRUE(logContains("  Arg:texture\\idx.dat  FAILED"));
    EXPECT_TRUE(logContains("E_FAIL"));
    EXPECT_FALSE(archive->findEntry("texture", "a.bmp"));
    // A cp932 folder name reaches the UTF-8 log converted.
    EXPECT_EQ(archive->loadIndex("\x83\x65\x83\x4C"), S_OK);
    EXPECT_TRUE(logContains("  Arg:テキ\\idx.dat  FAILED"));
}

TEST_F(ArchiveIndex, SizeZeroEntriesCountAsMissing) {
    writeFile("mesh/empty.x", Bytes{});
    writeFile("mesh/full.x", bytesOf("x"));
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    EXPECT_EQ(archive->getEntrySize("mesh", "empty.x"), 0u);
    EXPECT_FALSE(archive->tryRead("mesh", "empty.x", ArchiveForm::Unchanged));
    std::uint32_t offset = 99, size = 99;
    EXPECT_FALSE(archive->openStream("mesh", "empty.x", offset, size));
    // Only the tool, which knows an empty file was stored, reads it as empty.
    EXPECT_EQ(archive->tryRead("mesh", "empty.x", ArchiveForm::Unchanged, true), Bytes{});
}

TEST_F(ArchiveIndex, ReadsStopAtTheEightMebibyteBuffer) {
    constexpr std::uint32_t kLimit = ArchiveManager::kBufferSize;
    Bytes data = randomBytes(kLimit, 5);
    writeFile("mesh/arc.dat", data);
    writeIndex("mesh", {{"fits.x", {1, kLimit - 1}}, {"limit.x", {0, kLimit}}});
    std::optional<ArchiveBytes> fits = archive->tryRead("mesh", "fits.x", ArchiveForm::Unchanged);
    ASSERT_TRUE(fits);
    EXPECT_EQ(*fits, Bytes(data.begin() + 1, data.end()));
    EXPECT_FALSE(logContains("FAILED"));
    EXPECT_FALSE(archive->tryRead("mesh", "limit.x", ArchiveForm::Unchanged));
    EXPECT_TRUE(logContains("  Arg:limit.x  FAILED"));
}

TEST_F(ArchiveIndex, OpenStreamIsPositionedAtTheEntry) {
    writeFile("raw/a.raw", bytesOf("first entry"));
    writeFile("raw/b.raw", bytesOf("second entry"));
    ASSERT_EQ(archive->buildArchive("raw"), S_OK);
    std::uint32_t offset = 0, size = 0;
    File stream = archive->openStream("raw", "b.raw", offset, size);
    ASSERT_TRUE(stream);
    EXPECT_EQ(offset, 11u);
    EXPECT_EQ(size, 12u);
    Bytes read(size);
    EXPECT_EQ(stream.read(read.data(), size), size);
    EXPECT_EQ(read, bytesOf("second entry"));

    EXPECT_FALSE(archive->openStream("raw", "c.raw", offset, size));
    EXPECT_FALSE(logContains("FAILED"));
    root().writeFile("raw/arc.dat", "");
    std::filesystem::remove(root().path() / "raw/arc.dat");
    EXPECT_FALSE(archive->openStream("raw", "a.raw", offset, size));
    EXPECT_TRUE(logContains("  Arg:raw\\arc.dat  FAILED"));
}

TEST_F(ArchiveIndex, ARebuildForgetsTheFoldersCachedEntries) {
    writeFile("texture/a.bmp", bytesOf("old picture"));
    writeFile("mesh/m.x", bytesOf("mesh"));
    ASSERT_EQ(archive->buildTextureArchive("texture"), S_OK);
    ASSERT_EQ(archive->buildArchive("mesh"), S_OK);
    archive->loadIndex("texture");
    EXPECT_EQ(archive->readRaw("mesh", "m.x"), bytesOf("mesh"));
    writeFile("texture/0.bmp", bytesOf("comes first now"));
    writeFile("texture/a.bmp", bytesOf("new picture, longer"));
    ASSERT_EQ(archive->buildTextureArchive("texture"), S_OK);
    EXPECT_EQ(archive->readExpanded("texture", "a.bmp", 0), bytesOf("new picture, longer"));
    EXPECT_EQ(archive->readRaw("mesh", "m.x"), bytesOf("mesh"));
}

// Each damaged archive fails the read with a log line; nothing is read out of
// bounds (the suite runs under AddressSanitizer).
TEST_F(ArchiveIndex, DamagedArchivesFailCleanly) {
    struct Case {
        const char* what;
        std::string folder;
        ArchiveForm form;
        std::vector<ArchiveIndexRecord> records;
        Bytes indexTail;  // raw bytes after the records
        std::optional<Bytes> data;  // "arc.dat" (nothing: missing)
        std::vector<std::string> logged;
        std::string lookup = "x.x";
        std::string stillFound = {};  // a sound record beside the damage
    };
    Bytes goodHuffman = huffman_encoder::encode(reinterpret_cast<const std::uint8_t*>("script"), 6);
    Bytes descending = goodHuffman;
    descending[4] = 9;  // first length 9, the rest 8 or more: out of order
    Bytes overFull = goodHuffman;
    for (int i = 0; i < 256; ++i) overFull[4 + 4 * i] = 7;  // 256 codes of 7 bits
    Bytes hugeN = goodHuffman;
    hugeN[3] = 0x01;  // N = 16 MiB and more
    Bytes nameWithoutNul(archive_index::kRecordSize, 'A');
    archive_scrambler::scramble(nameWithoutNul.data(), archive_index::kNameFieldSize);
    archive_index::RecordBytes y = archive_index::encodeRecord("y.x", {0, 2});
    Bytes partialRecord(y.begin(), y.begin() + 20);
    Bytes damagedThenSound = nameWithoutNul;
    damagedThenSound.insert(damagedThenSound.end(), y.begin(), y.end());
    const std::uint32_t headerSize = CHC_Mem_ii::kHeaderSize;

    const Case cases[] = {
        {"missing index", "mesh", ArchiveForm::Unchanged, {}, {}, bytesOf("data"), {"  Arg:mesh\\idx.dat  FAILED"}},
        {"index cut inside a record", "mesh", ArchiveForm::Unchanged, {{"x.x", {0, 4}}}, partialRecord,
         bytesOf("data"), {"  Arg:mesh\\idx.dat  FAILED"}, "y.x", "x.x"},
        {"name field without a NUL", "mesh", ArchiveForm::Unchanged, {{"x.x", {0, 4}}}, damagedThenSound,
         bytesOf("data"), {"  Arg:mesh\\idx.dat  FAILED"}, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "y.x"},
        {"missing arc.dat", "mesh", ArchiveForm::Unchanged, {{"x.x", {0, 4}}}, {}, std::nullopt,
         {"  Arg:mesh\\arc.dat  FAILED"}},
        {"arc.dat shorter than the entry", "mesh", ArchiveForm::Unchanged, {{"x.x", {0, 100}}}, {},
         bytesOf("only a few bytes"), {"  Arg:mesh\\arc.dat  FAILED"}},
        {"offset past the end of arc.dat", "mesh", ArchiveForm::Unchanged, {{"x.x", {0xFFFFFF00u, 4}}}, {},
         bytesOf("data"), {"  Arg:mesh\\arc.dat  FAILED"}},
        {"size of 8 MiB and more", "mesh", ArchiveForm::Unchanged, {{"x.x", {0, 0xFFFFFFFFu}}}, {},
         bytesOf("data"), {"  Arg:x.x  FAILED"}},
        {"run-length length beyond the buffer", "texture", ArchiveForm::RunLength, {{"x.x", {0, 9}}}, {},
         Bytes{0x01, 0, 0, 0, 1, 1, 2, 3, 4}, {"  Arg:x.x  FAILED", "run-length length exceeds the output buffer"}},
        {"run-length runs past the length", "texture", ArchiveForm::RunLength, {{"x.x", {0, 9}}}, {},
         Bytes{0, 0, 0, 8, 200, 1, 2, 3, 4}, {"  Arg:x.x  FAILED", "run-length records exceed the length"}},
        {"run-length record cut short", "texture", ArchiveForm::RunLength, {{"x.x", {0, 7}}}, {},
         Bytes{0, 0, 0, 8, 2, 1, 2}, {"  Arg:x.x  FAILED", "texture\\x.x を展開できません（run-length record cut short）"}},
        {"Huffman lengths out of order", "script", ArchiveForm::HuffmanScrambled,
         {{"x.x", {0, static_cast<std::uint32_t>(descending.size())}}}, {}, scrambled(descending),
         {"  Arg:x.x  FAILED", "Huffman code lengths out of order"}},
        {"Huffman lengths over-fill the code", "script", ArchiveForm::HuffmanScrambled,
         {{"x.x", {0, static_cast<std::uint32_t>(overFull.size())}}}, {}, scrambled(overFull),
         {"  Arg:x.x  FAILED", "script\\x.x を展開できません（start initialization error）"}},
        {"Huffman length beyond its buffer", "script", ArchiveForm::HuffmanScrambled,
         {{"x.x", {0, static_cast<std::uint32_t>(hugeN.size())}}}, {}, scrambled(hugeN),
         {"  Arg:x.x  FAILED", "Huffman decoded length exceeds the output buffer"}},
        {"Huffman header cut short", "script", ArchiveForm::HuffmanScrambled, {{"x.x", {0, headerSize - 4}}}, {},
         scrambled(Bytes(goodHuffman.begin(), goodHuffman.begin() + headerSize - 4)),
         {"  Arg:x.x  FAILED", "Huffman header cut short"}},
        {"Huffman entry without its code bits", "script", ArchiveForm::HuffmanScrambled,
         {{"x.x", {0, headerSize}}}, {}, scrambled(Bytes(goodHuffman.begin(), goodHuffman.begin() + headerSize)),
         {"  Arg:x.x  FAILED", "Huffman code bits run past the input"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoggedTest fresh;
        ArchiveManager manager;
        if (!c.records.empty() || !c.indexTail.empty()) {
            Bytes index;
            for (const ArchiveIndexRecord& record : c.records) {
                archive_index::RecordBytes encoded = archive_index::encodeRecord(record.name, record.entry);
                index.insert(index.end(), encoded.begin(), encoded.end());
            }
            index.insert(index.end(), c.indexTail.begin(), c.indexTail.end());
            fresh.root().writeFile(c.folder + "/idx.dat", index);
        }
        if (c.data) fresh.root().writeFile(c.folder + "/arc.dat", *c.data);
        EXPECT_FALSE(manager.tryRead(c.folder, c.lookup, c.form));
        for (const std::string& line : c.logged) EXPECT_TRUE(fresh.logContains(line)) << line << "\n" << fresh.logText();
        EXPECT_TRUE(fresh.logContains(".\\Src\\ArchiveManager:")) << fresh.logText();
        // A damaged record does not hide the sound ones around it.
        if (!c.stillFound.empty()) {
            EXPECT_TRUE(manager.tryRead(c.folder, c.stillFound, c.form));
        }
    }
}
