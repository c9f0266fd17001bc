// The decoders against their sources: WAV files with their raw cache, raw
// entries of the archive, Ogg Vorbis against a plain libvorbisfile decode;
// looping across the end; the failure lines of broken sources.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "services/ArchiveBuilder.h"
#include "services/ArchiveManager.h"
#include "services/Managers.h"
#include "sound/OggDecoder.h"
#include "sound/RawWavDecoder.h"
#include "sound/SoundFixtures.h"
#include "sound/WavDecoder.h"
#include "support/TestSupport.h"

namespace {

Bytes formatBytes(const WAVEFORMATEX& format) {
    Bytes bytes(18);
    writeWaveFormat(format, bytes.data());
    return bytes;
}

// Reads `count` bytes in one read into a buffer pre-filled with 0xEE, so
// bytes the decoder does not write show.
Bytes readOnce(SoundDecoder& decoder, std::uint32_t count, HRESULT expected = S_OK) {
    Bytes out(count, 0xEE);
    EXPECT_EQ(decoder.read(out.data(), count), expected);
    return out;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + from, bytes.begin() + from + count);
}

class SoundDecoders : public ::testing::Test, public LoggedTest {};

TEST_F(SoundDecoders, WavFilesDecodeTheirDataChunkAndWriteTheRawCache) {
    struct Case {
        const char* name;
        WAVEFORMATEX format;
        std::uint32_t fmtSize;
        std::size_t dataBytes;
        Bytes trailing;
        Bytes expectedFormat;  // the cache's first 18 bytes
    } cases[] = {
        {"a.wav", pcmFormat(11025, 1, 8), 16, 1103, {},
         {0x01, 0x00, 0x01, 0x00, 0x11, 0x2B, 0x00, 0x00, 0x11, 0x2B, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 0x00, 0x00}},
        // A LIST chunk after the data is no sound.
        {"b.wav", pcmFormat(44100, 2, 16), 18, 4000, riffChunk("LIST", patternBytes(64, 9)),
         {0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x00, 0x00}},
        // A format chunk over 18 bytes: 18 read, the rest skipped; the
        // extra size is written as 0.
        {"c.wav", [] { auto f = pcmFormat(22050, 2, 8); f.cbSize = 2; return f; }(), 20, 800, {},
         {0x01, 0x00, 0x02, 0x00, 0x22, 0x56, 0x00, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x02, 0x00, 0x08, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        const Bytes data = patternBytes(c.dataBytes, static_cast<std::uint32_t>(c.dataBytes));
        root().writeFile(std::string("sound/") + c.name, wavFile(c.format, data, c.fmtSize, c.trailing));
        WavDecoder decoder;
        WAVEFORMATEX format;
        const std::string name = std::string("sound\\") + c.name;
        ASSERT_EQ(decoder.open(name, &format), S_OK) << c.name;
        EXPECT_EQ(formatBytes(format), c.expectedFormat) << c.name;
        EXPECT_EQ(decoder.getDataSize(), c.dataBytes);
        EXPECT_DOUBLE_EQ(decoder.getTotalTime(), static_cast<double>(c.dataBytes) / format.nAvgBytesPerSec);

        // Everything in one read that asks for more: the data, nothing after it.
        Bytes all = readOnce(decoder, static_cast<std::uint32_t>(c.dataBytes + 100));
        EXPECT_EQ(slice(all, 0, c.dataBytes), data) << c.name;
        EXPECT_EQ(slice(all, c.dataBytes, 100), Bytes(100, 0xEE)) << c.name;
        EXPECT_EQ(decoder.isEnded(), 0u);  // a WAV decoder never says so

        Bytes cache = c.expectedFormat;
        cache.insert(cache.end(), data.begin(), data.end());
        EXPECT_EQ(root().readFile(std::string("sound/") + c.name + ".raw"),
                  std::string(cache.begin(), cache.end())) << c.name;
        const std::string n = std::to_string(c.dataBytes);
        EXPECT_TRUE(logContains(name + ".raw wfex = 18 data = " + n + " sum = " + std::to_string(c.dataBytes + 18)))
            << logText();
    }
}

TEST_F(SoundDecoders, WavLoopsFromTheLoopStartWithinOneRead) {
    const Bytes data = patternBytes(1000, 3);
    root().writeFile("loop.wav", wavFile(pcmFormat(44100, 2, 16), data));
    WavDecoder decoder;
    WAVEFORMATEX format;
    ASSERT_EQ(decoder.open("loop.wav", &format), S_OK);
    decoder.setLoop(1);
    decoder.setLoopStart(200);
    Bytes first = readOnce(decoder, 600);
    EXPECT_EQ(first, slice(data, 0, 600));
    Bytes across = readOnce(decoder, 700);
    Bytes expected = slice(data, 600, 400);
    Bytes fromLoop = slice(data, 200, 300);
    expected.insert(expected.end(), fromLoop.begin(), fromLoop.end());
    EXPECT_EQ(across, expected);
    EXPECT_DOUBLE_EQ(decoder.tellTime(), 500.0 / 176400);
    // A loop start past the end gives nothing more.
    decoder.setLoopStart(5000);
    readOnce(decoder, 500);
    EXPECT_EQ(readOnce(decoder, 10), Bytes(10, 0xEE));
    ASSERT_EQ(decoder.rewind(), S_OK);
    EXPECT_EQ(readOnce(decoder, 10), slice(data, 0, 10));
}

TEST_F(SoundDecoders, TheRawCacheReplacesAnOlderOneAndAFailedWriteIsLogged) {
    const Bytes data = patternBytes(100, 5);
    root().writeFile("s.wav", wavFile(pcmFormat(8000, 1, 16), data));
    root().writeFile("s.wav.raw", patternBytes(5000, 1));  // an older, longer cache
    WavDecoder decoder;
    ASSERT_EQ(decoder.open("s.wav", nullptr), S_OK);
    EXPECT_EQ(root().readFile("s.wav.raw").size(), 118u);

    // A folder in the cache's place: the failure is logged, the sound plays.
    root().writeFile("t.wav", wavFile(pcmFormat(8000, 1, 16), data));
    std::filesystem::create_directories(root().path() / "t.wav.raw");
    WavDecoder blocked;
    ASSERT_EQ(blocked.open("t.wav", nullptr), S_OK);
    EXPECT_TRUE(logContains(".\\Src\\WavDecoder:105  Arg:t.wav.raw  FAILED")) << logText();
    EXPECT_FALSE(logContains("t.wav.raw wfex"));
    EXPECT_EQ(readOnce(blocked, 100), data);
}

TEST_F(SoundDecoders, BrokenWavFilesGiveTheirFailureLines) {
    const Bytes data = patternBytes(64, 2);
    const WAVEFORMATEX format = pcmFormat(44100, 2, 16);
    Bytes formatRecord(18);
    writeWaveFormat(format, formatRecord.data());
    auto riffWave = [](const Bytes& chunks) {
        Bytes body = {'W', 'A', 'V', 'E'};
        body.insert(body.end(), chunks.begin(), chunks.end());
        return riffChunk("RIFF", body);
    };
    Bytes tooLong = wavFile(format, data);
    tooLong[tooLong.size() - 64 - 4] = 0xFF;  // the data chunk's size claims 255 bytes more
    struct Case {
        const char* what;
        Bytes file;  // empty: no file
        std::string line;
    } cases[] = {
        {"missing", {}, ".\\Src\\WavDecoder:34  Arg:x.wav  FAILED"},
        {"not RIFF WAVE", riffChunk("RIFX", data), ".\\Src\\WavDecoder:46  FAILED"},
        {"no format", riffWave(riffChunk("data", data)), ".\\Src\\WavDecoder:56  FAILED"},
        {"short format", riffWave(riffChunk("fmt ", slice(formatRecord, 0, 14))), ".\\Src\\WavDecoder:65  FAILED"},
        {"no data", riffWave(riffChunk("fmt ", formatRecord)), ".\\Src\\WavDecoder:80  FAILED"},
        {"data past the end", tooLong, ".\\Src\\WavDecoder:80  FAILED"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(root().path() / "x.wav");
        if (!c.file.empty()) root().writeFile("x.wav", c.file);
        WavDecoder decoder;
        WAVEFORMATEX out{};
        EXPECT_EQ(decoder.open("x.wav", &out), E_FAIL) << c.what;
        std::vector<std::string> lines = logLines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], c.line) << c.what;
        EXPECT_EQ(lines.back(), "E_FAIL") << c.what;
        Bytes buffer(8);
        EXPECT_EQ(decoder.read(buffer.data(), 8), E_FAIL) << c.what;
        EXPECT_FALSE(root().exists("x.wav.raw")) << c.what;
    }
}

class RawDecoders : public SoundDecoders {
protected:
    void SetUp() override {
        format_ = pcmFormat(22050, 2, 16);
        data_ = patternBytes(1000, 4);
        Bytes entry = formatBytes(format_);
        entry.insert(entry.end(), data_.begin(), data_.end());
        root().writeFile("raw/a.wav.raw", entry);
        root().writeFile("raw/b.wav.raw", patternBytes(300, 8));  // the next entry
        root().writeFile("raw/short.wav.raw", patternBytes(10, 8));
        ASSERT_EQ(archive_builder::build("raw", ArchiveForm::Unchanged), S_OK);
        g_archiveManager = new ArchiveManager();
    }
    void TearDown() override {
        delete g_archiveManager;
        g_archiveManager = nullptr;
    }
    WAVEFORMATEX format_;
    Bytes data_;
};

TEST_F(RawDecoders, EntriesReadToTheirEndAndLoopWithinOneRead) {
    RawWavDecoder decoder;
    WAVEFORMATEX format;
    ASSERT_EQ(decoder.open("a.wav.raw", &format), S_OK);
    EXPECT_EQ(formatBytes(format), formatBytes(format_));
    EXPECT_DOUBLE_EQ(decoder.getTotalTime(), 1000.0 / 88200);
    // Not looping: the data, then nothing of the next entry; the end flag.
    Bytes all = readOnce(decoder, 1200);
    EXPECT_EQ(slice(all, 0, 1000), data_);
    EXPECT_EQ(slice(all, 1000, 200), Bytes(200, 0xEE));
    EXPECT_EQ(decoder.isEnded(), 1u);

    ASSERT_EQ(decoder.rewind(), S_OK);
    EXPECT_EQ(decoder.isEnded(), 0u);
    decoder.setLoop(1);
    decoder.setLoopStart(900);
    readOnce(decoder, 800);
    // 200 bytes of tail, then the loop's 100 bytes (all there is), and no
    // byte of the next entry.
    Bytes across = readOnce(decoder, 400);
    Bytes expected = slice(data_, 800, 200);
    Bytes fromLoop = slice(data_, 900, 100);
    expected.insert(expected.end(), fromLoop.begin(), fromLoop.end());
    EXPECT_EQ(slice(across, 0, 300), expected);
    EXPECT_EQ(slice(across, 300, 100), Bytes(100, 0xEE));

    // A loop start at or past the end gives no bytes, never a huge read.
    decoder.setLoopStart(1000);
    readOnce(decoder, 1000);
    EXPECT_EQ(readOnce(decoder, 64), Bytes(64, 0xEE));
    decoder.setLoopStart(0xFFFFFFF0u);
    decoder.rewind();
    readOnce(decoder, 1000);
    EXPECT_EQ(readOnce(decoder, 64), Bytes(64, 0xEE));
}

TEST_F(RawDecoders, MissingAndShortEntriesAreRefused) {
    for (const char* name : {"none.wav.raw", "short.wav.raw"}) {
        RawWavDecoder decoder;
        WAVEFORMATEX format{};
        EXPECT_EQ(decoder.open(name, &format), E_FAIL) << name;
        std::vector<std::string> lines = logLines();
        EXPECT_EQ(lines[lines.size() - 2], std::string(".\\Src\\RawWavDecoder:25  Arg:") + name + "  FAILED");
        EXPECT_EQ(lines.back(), "E_FAIL");
        EXPECT_EQ(format.nAvgBytesPerSec, 0u);
        Bytes buffer(8);
        EXPECT_EQ(decoder.read(buffer.data(), 8), E_FAIL);
        EXPECT_EQ(decoder.close(), E_FAIL);
    }
}

class OggDecoders : public SoundDecoders {
protected:
    // Writes a tone and returns what plain libvorbisfile decodes of it.
    Bytes writeTone(const std::string& name, std::uint32_t rate, int channels, double seconds) {
        root().writeFile(name, oggTone(rate, channels, seconds));
        return plainOggDecode((root().path() / name).string());
    }
};

TEST_F(OggDecoders, DecodeAsLibvorbisfileDoesAndLoop) {
    struct Case {
        std::uint32_t rate;
        int channels;
    } cases[] = {{44100, 2}, {22050, 1}};
    for (const Case& c : cases) {
        const std::string name = "tone" + std::to_string(c.channels) + ".ogg";
        const Bytes reference = writeTone("sound/" + name, c.rate, c.channels, 0.5);
        ASSERT_FALSE(reference.empty());
        OggDecoder decoder;
        WAVEFORMATEX format;
        ASSERT_EQ(decoder.open("sound\\" + name, &format), S_OK);
        EXPECT_EQ(formatBytes(format), formatBytes(pcmFormat(c.rate, static_cast<std::uint16_t>(c.channels), 16)));
        EXPECT_NEAR(decoder.getTotalTime(), 0.5, 0.001);
        // In segment-sized reads; the last one is short and sets the end flag.
        Bytes decoded;
        while (!decoder.isEnded()) {
            Bytes piece = readOnce(decoder, 17640);
            decoded.insert(decoded.end(), piece.begin(), piece.end());
            ASSERT_LT(decoded.size(), reference.size() + 17640 * 2);
        }
        ASSERT_GE(decoded.size(), reference.size());
        EXPECT_EQ(slice(decoded, 0, reference.size()), reference);
        EXPECT_EQ(slice(decoded, reference.size(), decoded.size() - reference.size()),
                  Bytes(decoded.size() - reference.size(), 0xEE));

        // Looping: the loop start counts four bytes a sample whatever the
        // channel count, and the read goes on from there.
        ASSERT_EQ(decoder.rewind(), S_OK);
        decoder.setLoop(1);
        decoder.setLoopStart(4000);  // sample 1000
        const std::size_t frame = static_cast<std::size_t>(c.channels) * 2;
        const std::uint32_t tail = 4000;
        readOnce(decoder, static_cast<std::uint32_t>(reference.size() - tail));
        Bytes across = readOnce(decoder, tail + 800);
        EXPECT_EQ(slice(across, 0, tail), slice(reference, reference.size() - tail, tail));
        EXPECT_EQ(slice(across, tail, 800), slice(reference, 1000 * frame, 800)) << c.channels;
        EXPECT_EQ(decoder.isEnded(), 0u);
    }
}

TEST_F(OggDecoders, MissingAndForeignFilesAndNullDestinations) {
    root().writeFile("sound/fake.ogg", patternBytes(5000, 7));
    for (const char* name : {"sound\\none.ogg", "sound\\fake.ogg"}) {
        OggDecoder decoder;
        WAVEFORMATEX format{};
        EXPECT_EQ(decoder.open(name, &format), E_FAIL);
        std::vector<std::string> lines = logLines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[lines.size() - 4], std::string(name) + " Not Found");
        EXPECT_EQ(lines[lines.size() - 2], ".\\Src\\OggDecoder:38  FAILED");
        EXPECT_EQ(lines.back(), "E_FAIL");
        if (std::string(name) == "sound\\none.ogg") {
            EXPECT_EQ(lines[lines.size() - 3], "2");  // ENOENT
        }
        EXPECT_EQ(format.nAvgBytesPerSec, 0u);
        Bytes buffer(8);
        EXPECT_EQ(decoder.read(buffer.data(), 8), E_FAIL);
    }
    writeTone("sound/t.ogg", 44100, 2, 0.1);
    OggDecoder decoder;
    ASSERT_EQ(decoder.open("sound\\t.ogg", nullptr), S_OK);
    EXPECT_EQ(decoder.read(nullptr, 100), S_OK);
    EXPECT_EQ(logLines().back(), ".\\Src\\OggDecoder:87  Null Pointer Warning");
}

}  // namespace
