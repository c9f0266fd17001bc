// The whole program run headless on the mesh scene fixture game, frame 60
// saved: its script sets the camera, the background colour and an ambient
// light, places a textured square mesh, one particle and an image object.
// Each must be at the place the camera's projection gives it, in its own
// colours, with the background colour around it; once with the 3-D picture
// over the whole screen and once over the play field only (a narrower
// viewport with a narrower aspect: the same scale, so the same places).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "support/PngPicture.h"
#include "support/TestSupport.h"

namespace {
namespace fs = std::filesystem;
const std::string kProgram = std::string(VORLY_BINARY_DIR) + "/sorvanthe";
const std::string kPack = std::string(VORLY_BINARY_DIR) + "/tools/vorly-pack";

constexpr std::uint32_t kBackground = 0x000060;  // setbgcolor 0, 0, 96
constexpr std::uint32_t kQuadLeft = 0xE02020;    // quad.bmp's left half
constexpr std::uint32_t kQuadRight = 0x20E020;   // and its right half
constexpr std::uint32_t kMark = 0xFF00FF;        // mark.bmp
// spark.bmp (255, 224, 0) added onto the effect picture, which is cleared to
// the background colour with alpha 0 and then added onto the frame where the
// particle left alpha: spark + 2 x background, clamped.
constexpr std::uint32_t kParticle = 0xFFE0C0;

// Where a world point with z = 0 lands on the 640 x 480 screen, for the
// script's camera (eye 10 units before the origin, looking along +z, y up)
// and the engine's projection (field of view pi/4, the aspect of the mode)
// in a viewport of the given left edge and width.
struct Projection {
    double left, width, aspect;
    double x(double worldX) const {
        const double ndc = worldX / (10.0 * std::tan(M_PI / 8) * aspect);
        return left + (ndc + 1.0) / 2.0 * width;
    }
    double y(double worldY) const {
        const double ndc = worldY / (10.0 * std::tan(M_PI / 8));
        return (1.0 - ndc) / 2.0 * 480.0;
    }
};

struct Box {
    double left, top, right, bottom;
};

// A world rectangle in the z = 0 plane, projected.
Box project(const Projection& p, double x0, double y0, double x1, double y1) {
    return {p.x(x0), p.y(y1), p.x(x1), p.y(y0)};
}

std::string hex(std::uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", rgb);
    return text;
}

// The colour fills the box 3 pixels in from its edges (nine points); 3 pixels
// out from each edge's middle lie the neighbours' colours (left, right, top,
// bottom), the background unless given.
struct Around {
    std::uint32_t left = kBackground, right = kBackground, top = kBackground, bottom = kBackground;
};
void expectBox(const PngPicture& picture, const Box& box, std::uint32_t colour, const char* what,
               Around around = {}) {
    SCOPED_TRACE(what);
    const double inset = 3.0;
    const double xs[] = {box.left + inset, (box.left + box.right) / 2, box.right - inset};
    const double ys[] = {box.top + inset, (box.top + box.bottom) / 2, box.bottom - inset};
    for (double x : xs)
        for (double y : ys)
            EXPECT_EQ(hex(picture.rgb(std::uint32_t(x), std::uint32_t(y))), hex(colour)) << x << "," << y;
    const double midX = (box.left + box.right) / 2, midY = (box.top + box.bottom) / 2;
    const struct {
        double x, y;
        std::uint32_t colour;
    } outside[] = {{box.left - inset, midY, around.left},
                   {box.right + inset, midY, around.right},
                   {midX, box.top - inset, around.top},
                   {midX, box.bottom + inset, around.bottom}};
    for (const auto& [x, y, expected] : outside)
        EXPECT_EQ(hex(picture.rgb(std::uint32_t(x), std::uint32_t(y))), hex(expected)) << x << "," << y;
}

class MeshSceneCapture : public ::testing::Test {
protected:
    // The fixture game with its full-draw command as given, its folders
    // packed as the build packs a game.
    void makeGame(const std::string& fullDraw) {
        fs::remove_all(game());
        fs::copy(fs::path(VORLY_FIXTURES) / "meshscene" / "game", game(), fs::copy_options::recursive);
        std::string scene = root.readFile("game/script/scene.xml");
        const std::string at = "fulldrawon";
        scene.replace(scene.find(at), at.size(), fullDraw);
        root.writeFile("game/script/scene.xml", scene);
        for (const char* folder : {"texture", "mesh", "script"})
            ASSERT_EQ(runCommand(kPack + " build " + (game() / folder).string() + " >/dev/null 2>&1").status, 0)
                << folder;
    }
    CommandRun run() {
        const std::string base = root.path().string();
        return runCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LP_NUM_THREADS=0 VORLY_CAPTURE=60 "
                          "VORLY_CAPTURE_EXIT=1 VORLY_CAPTURE_DIR=" + base + " timeout 60 " + kProgram + " " +
                          game().string() + " 2>" + base + "/stderr.txt");
    }
    fs::path game() const { return root.path() / "game"; }

    TempRoot root;
};
}  // namespace

TEST_F(MeshSceneCapture, MeshParticleAndImageAtTheirProjectedPlaces) {
    struct Row {
        const char* command;
        Projection projection;
    };
    const Row rows[] = {
        {"fulldrawon", {0.0, 640.0, 4.0 / 3.0}},
        {"fulldrawoff", {140.0, 360.0, 0.75}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        makeGame(row.command);
        fs::remove(root.path() / "frame-60.png");
        ASSERT_EQ(run().status, 0) << root.readFile("game/debug.txt");
        EXPECT_EQ(root.readFile("stderr.txt"), "saved frame-60.png 640x480\n");
        const std::string log = root.readFile("game/debug.txt");
        // The mesh loaded and every pass drew without a failure line.
        EXPECT_EQ(log.find("MeshManager"), std::string::npos) << log;
        EXPECT_EQ(log.find("ParticleManager"), std::string::npos) << log;
        const PngPicture picture = readPngPicture(root.path() / "frame-60.png");
        ASSERT_EQ(picture.width, 640u);
        ASSERT_EQ(picture.height, 480u);

        const Projection& p = row.projection;
        // The square: vertices -1..1 moved to (-1.5, 1.5, 0); u runs left to
        // right, so its left half is red and its right half green.
        expectBox(picture, project(p, -2.5, 0.5, -1.5, 2.5), kQuadLeft, "mesh, left half",
                  {.right = kQuadRight});
        expectBox(picture, project(p, -1.5, 0.5, -0.5, 2.5), kQuadRight, "mesh, right half",
                  {.left = kQuadLeft});
        // The particle: a 1 x 1 quad in the x/y plane from its point
        // (1, -0.5, 0) to the right and down.
        expectBox(picture, project(p, 1.0, -1.5, 2.0, -0.5), kParticle, "particle");
        // The image: 16 x 16 around the object's place (320, 400).
        expectBox(picture, {312, 392, 328, 408}, kMark, "image");
        // Background between them.
        for (const auto& [x, y] : {std::pair{320u, 150u}, {450u, 100u}, {200u, 350u}, {420u, 440u}})
            EXPECT_EQ(hex(picture.rgb(x, y)), hex(kBackground)) << x << "," << y;
    }
}
