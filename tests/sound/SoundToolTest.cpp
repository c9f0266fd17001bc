// vorly-sound on files of each kind: the CRC-32 of what the engine decodes
// against the samples themselves, the raw cache it writes, the mix of a
// rendered WAV against its samples, and the exit status of a missing file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "records/Crc32.h"
#include "sound/SoundFixtures.h"
#include "support/TestSupport.h"

namespace {
const std::string kTool = std::string(VORLY_BINARY_DIR) + "/tools/vorly-sound";

struct ToolRun {
    int status;
    std::string out;
};

ToolRun runTool(const std::string& arguments, const TempRoot& root) {
    const std::string outFile = (root.path() / "tool.out").string();
    const std::string command = kTool + " " + arguments + " > " + outFile + " 2>&1";
    const int raw = std::system(command.c_str());
    std::ifstream in(outFile);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

std::string hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

TEST(SoundTool, InfoDecodesEachKindAndRenderPlaysAsTheEngineDoes) {
    TempRoot root;
    const Bytes mono = patternBytes(11025, 1);
    const Bytes stereo = patternBytes(44100 * 4 * 4, 2);  // 4 s
    root.writeFile("mono.wav", wavFile(pcmFormat(11025, 1, 8), mono));
    root.writeFile("music.wav", wavFile(pcmFormat(44100, 2, 16), stereo, 16, riffChunk("LIST", patternBytes(30, 3))));
    root.writeFile("tone.ogg", oggTone(22050, 2, 1.0));
    const Bytes tone = plainOggDecode((root.path() / "tone.ogg").string());
    struct Case {
        std::string file;
        std::string format;
        const Bytes& pcm;
    } cases[] = {
        {"mono.wav", "format 1 1 11025 8", mono},
        {"music.wav", "format 1 2 44100 16", stereo},
        {"tone.ogg", "format 1 2 22050 16", tone},
    };
    for (const Case& c : cases) {
        ToolRun run = runTool("info " + (root.path() / c.file).string(), root);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find(c.format + "\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("bytes " + std::to_string(c.pcm.size()) + "\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("crc32 " + hex8(crc32(c.pcm.data(), c.pcm.size())) + "\n"), std::string::npos)
            << run.out;
    }
    // Inspecting writes nothing beside the file; playing it as the engine
    // does writes the raw cache.
    EXPECT_FALSE(root.exists("music.wav.raw"));
    EXPECT_FALSE(root.exists("mono.wav.raw"));

    // Rendered at volume 0, the mix is the file's samples.
    const std::string pcm = (root.path() / "mix.pcm").string();
    ToolRun run = runTool("render " + (root.path() / "music.wav").string() + " --seconds 3 --out " + pcm, root);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(root.readFile("music.wav.raw").size(), 18u + stereo.size());
    EXPECT_NE(run.out.find("log: music.wav.raw wfex = 18 data = 705600 sum = 705618\n"), std::string::npos);
    const std::string mix = root.readFile("mix.pcm");
    ASSERT_EQ(mix.size(), 3u * 176400);
    EXPECT_EQ(Bytes(mix.begin(), mix.end()), Bytes(stereo.begin(), stereo.begin() + 3 * 176400));
    run = runTool("render " + (root.path() / "music.wav").string() + " --volume -10000", root);
    EXPECT_NE(run.out.find("peak 0\n"), std::string::npos) << run.out;

    for (const char* missing : {"info", "render"}) {
        run = runTool(std::string(missing) + " " + (root.path() / "none.ogg").string(), root);
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find("log: none.ogg Not Found\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("log: .\\Src\\DSoundTrack:224  Arg:none.ogg  FAILED\n"), std::string::npos)
            << run.out;
    }
}

// Files that decode but that no track can play: both commands refuse them,
// with the line that names the file, and inspecting leaves nothing beside it.
TEST(SoundTool, FormatsATrackCannotPlayAreRefusedByBothCommands) {
    TempRoot root;
    auto extensible = [] {
        WAVEFORMATEX f = pcmFormat(44100, 2, 16);
        f.wFormatTag = 0xFFFE;
        return f;
    };
    const struct {
        const char* file;
        WAVEFORMATEX format;
    } cases[] = {
        {"bits24.wav", pcmFormat(44100, 2, 24)},
        {"bits32.wav", pcmFormat(44100, 2, 32)},
        {"extensible.wav", extensible()},
        {"rate0.wav", pcmFormat(0, 2, 16)},
        {"rate1.wav", pcmFormat(1, 1, 16)},
        {"channels0.wav", pcmFormat(44100, 0, 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        root.writeFile(c.file, wavFile(c.format, patternBytes(4800, 5)));
        for (const char* command : {"info", "render"}) {
            ToolRun run = runTool(std::string(command) + " " + (root.path() / c.file).string(), root);
            EXPECT_EQ(run.status, 1) << command << "\n" << run.out;
            EXPECT_NE(run.out.find("log: .\\Src\\DSoundTrack:224  Arg:" + std::string(c.file) +
                                   "  FAILED\nlog: DSERR_BADFORMAT\n"),
                      std::string::npos)
                << command << "\n" << run.out;
            EXPECT_EQ(run.out.find("peak"), std::string::npos) << command;
            if (std::string(command) == "info") EXPECT_FALSE(root.exists(std::string(c.file) + ".raw"));
        }
    }
}

}  // namespace
