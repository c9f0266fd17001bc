// The whole program run headless on a copy of the replay fixture game (a
// script that makes a player object) with frame 60 asked for and the window
// closed after it: the picture, the debug display's red column, the release
// block and exit status 0; then the same in full screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/PngPicture.h"
#include "support/TestSupport.h"

namespace {
namespace fs = std::filesystem;
const std::string kProgram = std::string(VORLY_BINARY_DIR) + "/sorvanthe";
const std::string kPack = std::string(VORLY_BINARY_DIR) + "/tools/vorly-pack";
constexpr std::uint32_t kOverlayRed = 0xFFFF4040u;

using Picture = PngPicture;
Picture readPng(const fs::path& path) { return readPngPicture(path); }

class CaptureRun : public ::testing::Test {
protected:
    // The fixture game with the debug display switch as given, its scripts
    // packed as the build packs a game.
    void makeGame(bool debugDisplay) {
        fs::remove_all(game());
        fs::copy(fs::path(VORLY_FIXTURES) / "replay" / "game", game(), fs::copy_options::recursive);
        std::string init = root.readFile("game/script/init.xml");
        const std::string at = "<systype>vorly</systype>";
        init.insert(init.find(at) + at.size(),
                    std::string("\n    <debugdisplay>") + (debugDisplay ? "on" : "off") + "</debugdisplay>");
        root.writeFile("game/script/init.xml", init);
        ASSERT_EQ(runCommand(kPack + " build " + (game() / "script").string() + " >/dev/null 2>&1").status, 0);
    }
    // Settings file: word 4 is the window switch, word 10 wide compression.
    void settings(std::uint32_t window, std::uint32_t wide) {
        std::string words;
        for (std::uint32_t word : {5u, 5u, 5u, 3u, window, 0u, 0u, 0u, 0u, 1u, wide})
            for (int i = 0; i < 4; ++i) words += char((word >> (8 * i)) & 0xFF);
        root.writeFile("game/data/gameconfig.dat", words);
    }
    CommandRun run() {
        const std::string base = root.path().string();
        return runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LP_NUM_THREADS=0 VORLY_CAPTURE=60 "
                          "VORLY_CAPTURE_EXIT=1 VORLY_CAPTURE_DIR=" + base + " timeout 60 " + kProgram + " " +
                          game().string() + " 2>" + base + "/stderr.txt");
    }
    fs::path game() const { return root.path() / "game"; }
    // Overlay-red pixels within the rectangle.
    static int redIn(const Picture& p, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1) {
        int red = 0;
        for (std::uint32_t y = y0; y < y1 && y < p.height; ++y)
            for (std::uint32_t x = x0; x < x1 && x < p.width; ++x) red += p.argb[y * p.width + x] == kOverlayRed;
        return red;
    }

    TempRoot root;
};
}  // namespace

TEST_F(CaptureRun, FrameSixtyWithTheDebugDisplayAndTheWindowClosed) {
    std::vector<std::uint32_t> firstLines;
    for (bool display : {true, false}) {
        SCOPED_TRACE(display);
        makeGame(display);
        fs::remove(root.path() / "frame-60.png");
        const CommandRun ran = run();
        EXPECT_EQ(ran.status, 0);
        EXPECT_EQ(root.readFile("stderr.txt"), "saved frame-60.png 640x480\n");
        const std::string log = root.readFile("game/debug.txt");
        EXPECT_EQ(log.find("frame-60"), std::string::npos);
        EXPECT_NE(log.find("開放処理が終了しました"), std::string::npos);
        const Picture picture = readPng(root.path() / "frame-60.png");
        ASSERT_EQ(picture.width, 640u);
        ASSERT_EQ(picture.height, 480u);
        if (display) {
            EXPECT_GT(redIn(picture, 0, 0, 240, 460), 500);
            // The right column at x 240 from y 100.
            EXPECT_GT(redIn(picture, 240, 100, 400, 160), 50);
            EXPECT_EQ(redIn(picture, 400, 0, 640, 480), 0);
        } else {
            EXPECT_EQ(redIn(picture, 0, 0, 640, 480), 0);
        }
    }
}

// Word 4 = 0: the program switches to full screen at start and back at
// release, both resets succeed, and the overlay's first two lines (the
// player's place) are the same pixels as in a window.
TEST_F(CaptureRun, FullScreenFromTheSettingsFile) {
    makeGame(true);
    ASSERT_EQ(run().status, 0);
    const Picture windowed = readPng(root.path() / "frame-60.png");
    fs::remove(root.path() / "frame-60.png");
    makeGame(true);
    settings(0, 0);
    ASSERT_EQ(run().status, 0);
    const Picture full = readPng(root.path() / "frame-60.png");
    const std::string log = root.readFile("game/debug.txt");
    std::size_t successes = 0;
    for (std::size_t at = log.find("Reset 成功"); at != std::string::npos; at = log.find("Reset 成功", at + 1))
        ++successes;
    // The switch at start and the switch back at release (a focus event may
    // add one more).
    EXPECT_GE(successes, 2u);
    EXPECT_EQ(log.find("Reset 失敗"), std::string::npos);
    ASSERT_EQ(full.width, 640u);
    ASSERT_EQ(windowed.width, 640u);
    for (std::uint32_t y = 0; y < 40; ++y)
        for (std::uint32_t x = 0; x < 240; ++x)
            ASSERT_EQ(full.argb[y * 640 + x], windowed.argb[y * 640 + x]) << x << "," << y;
}

// With wide compression the frame is squeezed between black bands and the
// debug display is drawn after, over the left band.
TEST_F(CaptureRun, TheDebugDisplayLiesOverTheWideCompressionBands) {
    makeGame(true);
    settings(1, 1);
    ASSERT_EQ(run().status, 0);
    const Picture picture = readPng(root.path() / "frame-60.png");
    ASSERT_EQ(picture.width, 640u);
    EXPECT_GT(redIn(picture, 0, 0, 70, 460), 100);
    // Below the overlay's column the band stays black.
    for (std::uint32_t x : {0u, 69u, 600u, 639u}) EXPECT_EQ(picture.argb[470 * 640 + x] & 0xFFFFFF, 0u) << x;
}
