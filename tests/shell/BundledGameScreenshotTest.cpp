// The whole program run headless on a copy of the bundled game whose first
// scene is stage 1 (with its scenery file): frame 120 is saved under the
// build folder ("screenshots/frame-120.png", kept for people to look at) and
// shows the ship at its starting place, the first wave's bullets, the score
// and the board of the background.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/PngPicture.h"
#include "support/TestSupport.h"

namespace {
namespace fs = std::filesystem;
const std::string kProgram = std::string(VORLY_BINARY_DIR) + "/sorvanthe";
const std::string kPack = std::string(VORLY_BINARY_DIR) + "/tools/vorly-pack";
const fs::path kShots = fs::path(VORLY_BINARY_DIR) / "screenshots";
const fs::path kGame = fs::path(VORLY_FIXTURES) / ".." / ".." / "game";

struct Rgb {
    int r, g, b;
};
// Colours the game's images are drawn with (tools/assets/make_images.py).
constexpr Rgb kShipBlue{60, 200, 255};
constexpr Rgb kBulletRims[] = {{240, 40, 60}, {50, 110, 255}, {40, 220, 90}, {250, 210, 40}};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBoardNight{6, 8, 20};
// The board's tile and its lit rim (tools/assets/make_mesh.py), unfogged near
// the camera.
constexpr Rgb kBoardTile{14, 20, 44};
constexpr Rgb kBoardRim{50, 90, 160};

bool near(std::uint32_t argb, Rgb c) {
    const int r = int((argb >> 16) & 0xFF), g = int((argb >> 8) & 0xFF), b = int(argb & 0xFF);
    return std::abs(r - c.r) <= 12 && std::abs(g - c.g) <= 12 && std::abs(b - c.b) <= 12;
}

template <typename Test>
int countIn(const PngPicture& p, int x0, int y0, int x1, int y1, Test test) {
    int count = 0;
    for (int y = y0; y < y1 && y < int(p.height); ++y)
        for (int x = x0; x < x1 && x < int(p.width); ++x) count += test(p.argb[std::size_t(y) * p.width + x]);
    return count;
}

TEST(BundledGameScreenshot, StageOneAtFrame120ShowsTheShipBulletsAndTheScore) {
    TempRoot root;
    const fs::path game = root.path() / "game";
    fs::copy(kGame, game, fs::copy_options::recursive);
    fs::remove(game / "debug.txt");
    std::string init = root.readFile("game/script/init.xml");
    const std::string first = "<exefile>title.xml</exefile>";
    ASSERT_NE(init.find(first), std::string::npos);
    init.replace(init.find(first), first.size(), "<exefile>stage1.xml</exefile><exefile>background.xml</exefile>");
    root.writeFile("game/script/init.xml", init);
    ASSERT_EQ(runCommand(kPack + " build " + (game / "script").string() + " >/dev/null 2>&1").status, 0);

    fs::create_directories(kShots);
    fs::remove(kShots / "frame-120.png");
    const CommandRun ran = runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LP_NUM_THREADS=0 "
                                      "VORLY_CAPTURE=120 VORLY_CAPTURE_EXIT=1 VORLY_CAPTURE_DIR=" +
                                      kShots.string() + " timeout 120 " + kProgram + " " + game.string() +
                                      " 2>/dev/null");
    EXPECT_EQ(ran.status, 0);
    const std::string log = root.readFile("game/debug.txt");
    EXPECT_EQ(log.find("不正"), std::string::npos) << log;
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;

    const PngPicture shot = readPngPicture(kShots / "frame-120.png");
    ASSERT_EQ(shot.width, 640u);
    ASSERT_EQ(shot.height, 480u);
    // The ship, 32 x 32, centred on (320, 420) where the stage puts it.
    EXPECT_GT(countIn(shot, 300, 400, 340, 440, [](std::uint32_t c) { return near(c, kShipBlue); }), 120);
    EXPECT_EQ(countIn(shot, 0, 0, 640, 380, [](std::uint32_t c) { return near(c, kShipBlue); }), 0);
    // Bullets: their coloured rims and white cores in the field above the ship.
    const int rims = countIn(shot, 0, 40, 640, 380, [](std::uint32_t c) {
        for (Rgb rim : kBulletRims)
            if (near(c, rim)) return true;
        return false;
    });
    EXPECT_GT(rims, 300);
    EXPECT_GT(countIn(shot, 0, 40, 640, 380, [](std::uint32_t c) { return near(c, kWhite); }), 60);
    // The score caption and its digits in the top left corner.
    EXPECT_GT(countIn(shot, 0, 0, 160, 32, [](std::uint32_t c) { return near(c, kWhite); }), 150);
    // The background: the night colour clears the far top and the sides;
    // the near rows are the board's tiles and rims, nothing is left black.
    EXPECT_GT(countIn(shot, 200, 40, 440, 60, [](std::uint32_t c) { return near(c, kBoardNight); }), 2000);
    EXPECT_GT(countIn(shot, 0, 420, 640, 480, [](std::uint32_t c) { return near(c, kBoardTile); }), 15000);
    EXPECT_GT(countIn(shot, 0, 420, 640, 480, [](std::uint32_t c) { return near(c, kBoardRim); }), 500);
    EXPECT_EQ(countIn(shot, 0, 440, 640, 480, [](std::uint32_t c) { return (c & 0xFFFFFF) == 0; }), 0);
}

}  // namespace
