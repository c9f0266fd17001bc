// vorly-mesh run on X files: Debian's cube in its three forms, small
// hand-written models in every form, damaged files, and every X file of
// Debian's assimp-testmodels package when it is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "support/XFileWriter.h"

namespace fs = std::filesystem;

namespace {
const std::string kTool = std::string(VORLY_BINARY_DIR) + "/tools/vorly-mesh";
const std::string kMeshes = std::string(VORLY_FIXTURES) + "/meshes/";
const fs::path kPackageModels = "/usr/share/assimp/models";

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun runTool(const TempRoot& root, const std::string& arguments) {
    const std::string err = (root.path() / "stderr.txt").string();
    CommandRun ran = runCommand(kTool + " " + arguments + " 2>" + err);
    return {ran.status, std::move(ran.out), root.readFile("stderr.txt")};
}

// The output after its "file FILE" line, which must name `path`.
std::string afterFileLine(const std::string& out, const std::string& path) {
    const std::string first = "file " + path + "\n";
    EXPECT_EQ(out.substr(0, first.size()), first);
    return out.substr(std::min(first.size(), out.size()));
}

// A dump read back: counts, table, vertices and faces.
struct Subset {
    unsigned attribute = 0, faceStart = 0, faceCount = 0, vertexStart = 0, vertexCount = 0;
};
struct Dump {
    unsigned vertices = 0, faces = 0, subsetCount = 0, materials = 0;
    std::vector<Subset> subsets;
    std::vector<std::vector<double>> v;  // x y z nx ny nz u v
    std::vector<std::vector<unsigned>> f;
    std::vector<std::string> textures;
};

Dump parseDump(const std::string& out) {
    Dump d;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::string word, skip;
        in >> word;
        if (word == "vertices") {
            in >> d.vertices >> skip >> d.faces >> skip >> d.subsetCount >> skip >> d.materials;
        } else if (word == "subset") {
            Subset s;
            in >> skip >> skip >> s.attribute >> skip >> s.faceStart >> s.faceCount >> skip >> s.vertexStart >>
                s.vertexCount;
            d.subsets.push_back(s);
        } else if (word == "material") {
            d.textures.push_back(line.substr(line.rfind(" texture ") + 9));
        } else if (word == "v") {
            std::vector<double> values(9);
            for (double& x : values) in >> x;
            d.v.push_back({values.begin() + 1, values.end()});
        } else if (word == "f") {
            unsigned index, a, b, c;
            in >> index >> a >> b >> c;
            d.f.push_back({a, b, c});
        }
    }
    return d;
}

// Each subset covers the faces and vertices after the one before it, its
// faces use exactly its vertex range, and attributes ascend.
void expectDenseSubsets(const Dump& d) {
    EXPECT_EQ(d.subsets.size(), d.subsetCount);
    EXPECT_EQ(d.v.size(), d.vertices);
    EXPECT_EQ(d.f.size(), d.faces);
    unsigned faces = 0, vertices = 0;
    for (std::size_t i = 0; i < d.subsets.size(); ++i) {
        const Subset& s = d.subsets[i];
        if (i > 0) {
            EXPECT_LT(d.subsets[i - 1].attribute, s.attribute);
        }
        EXPECT_LT(s.attribute, d.materials);
        EXPECT_EQ(s.faceStart, faces);
        EXPECT_EQ(s.vertexStart, vertices);
        EXPECT_GT(s.faceCount, 0u);
        std::vector<bool> used(s.vertexCount, false);
        for (unsigned f = s.faceStart; f < s.faceStart + s.faceCount && f < d.f.size(); ++f) {
            for (unsigned index : d.f[f]) {
                ASSERT_GE(index, s.vertexStart) << "face " << f;
                ASSERT_LT(index, s.vertexStart + s.vertexCount) << "face " << f;
                used[index - s.vertexStart] = true;
            }
        }
        EXPECT_EQ(std::count(used.begin(), used.end(), false), 0) << "subset " << i;
        faces += s.faceCount;
        vertices += s.vertexCount;
    }
    EXPECT_EQ(faces, d.faces);
    EXPECT_EQ(vertices, d.vertices);
}

// One triangle mesh object from positions and faces (each "n;i,j,k").
void triangleMesh(XTokens& m, const std::vector<double>& positions, const std::vector<std::uint32_t>& faces,
                  std::uint32_t faceCount) {
    m.ints({std::uint32_t(positions.size() / 3)}).floats(positions).ints({faceCount}).ints(faces);
}

const char* const kWhite = "material 0 diffuse 1 1 1 1 power 0 emissive 0 0 0 texture -\n";
}  // namespace

TEST(MeshTool, DebianCubeReadsAlikeInItsThreeForms) {
    TempRoot root;
    const std::string text = kMeshes + "test_cube_text.x";
    const ToolRun info = runTool(root, "info " + text);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(afterFileLine(info.out, text),
              "vertices 24 faces 12 subsets 1 materials 1\n"
              "subset 0 attribute 0 faces 0 12 vertices 0 24\n"
              "material 0 diffuse 0.639216 0.639216 0.639216 1 power 96.0784 emissive 0 0 0 texture -\n");
    EXPECT_EQ(info.err, "");

    const ToolRun textDump = runTool(root, "dump " + text);
    ASSERT_EQ(textDump.status, 0) << textDump.err;
    const std::string expected = afterFileLine(textDump.out, text);
    const Dump cube = parseDump(expected);
    expectDenseSubsets(cube);
    // A cube of side 2 around the origin, each side its own four vertices
    // with the side's unit, axis-aligned normal.
    for (const std::vector<double>& v : cube.v) {
        for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(std::abs(v[axis]), 1.0, 1e-5);
        EXPECT_NEAR(std::abs(v[3]) + std::abs(v[4]) + std::abs(v[5]), 1.0, 1e-5);
    }
    for (const char* other : {"test_cube_binary.x", "test_cube_compressed.x"}) {
        SCOPED_TRACE(other);
        const ToolRun dump = runTool(root, "dump " + kMeshes + other);
        EXPECT_EQ(dump.status, 0) << dump.err;
        EXPECT_EQ(afterFileLine(dump.out, kMeshes + other), expected);
    }
}

TEST(MeshTool, HandWrittenModelsDumpAlikeInEveryForm) {
    struct Case {
        const char* name;
        std::function<void(XTokens&)> write;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"nested frames: p . scale 2 . translate (1, 2, 3)",
         [](XTokens& x) {
             x.object("Frame", "Outer", [](XTokens& outer) {
                 outer.object("FrameTransformMatrix", "relative",
                              [](XTokens& m) { m.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}); });
                 outer.object("Frame", "Inner", [](XTokens& inner) {
                     inner.object("FrameTransformMatrix", "",
                                  [](XTokens& m) { m.floats({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}); });
                     inner.object("Mesh", "", [](XTokens& m) {
                         triangleMesh(m, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {3, 0, 1, 2}, 1);
                     });
                 });
             });
         },
         std::string("vertices 3 faces 1 subsets 1 materials 1\n"
                     "subset 0 attribute 0 faces 0 1 vertices 0 3\n") +
             kWhite +
             "v 0 1 2 3 0 0 1 0 0\n"
             "v 1 3 2 3 0 0 1 0 0\n"
             "v 2 1 4 3 0 0 1 0 0\n"
             "f 0 0 1 2\n"},
        {"a pentagon fans into three faces",
         [](XTokens& x) {
             x.object("Mesh", "Pentagon", [](XTokens& m) {
                 triangleMesh(m, {0, 0, 0, 2, 0, 0, 3, 2, 0, 1, 3, 0, -1, 2, 0}, {5, 0, 1, 2, 3, 4}, 1);
                 m.object("MeshTextureCoords", "", [](XTokens& t) {
                     t.ints({5}).floats({0, 0, 1, 0, 1, 1, 0.5, 1, 0, 0.5});
                 });
             });
         },
         std::string("vertices 5 faces 3 subsets 1 materials 1\n"
                     "subset 0 attribute 0 faces 0 3 vertices 0 5\n") +
             kWhite +
             "v 0 0 0 0 0 0 1 0 0\n"
             "v 1 2 0 0 0 0 1 1 0\n"
             "v 2 3 2 0 0 0 1 1 1\n"
             "v 3 1 3 0 0 0 1 0.5 1\n"
             "v 4 -1 2 0 0 0 1 0 0.5\n"
             "f 0 0 1 2\n"
             "f 1 0 2 3\n"
             "f 2 0 3 4\n"},
        {"normal indices split the shared corners",
         // Two faces at a right angle share positions 0 and 2; their own
         // normal indices keep a vertex each, so neither normal is bent.
         [](XTokens& x) {
             x.object("Mesh", "", [](XTokens& m) {
                 triangleMesh(m, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {3, 0, 1, 2, 3, 0, 2, 3}, 2);
                 m.object("MeshNormals", "", [](XTokens& n) {
                     n.ints({2}).floats({0, 0, 1, 1, 0, 0});
                     n.ints({2}).ints({3, 0, 0, 0, 3, 1, 1, 1});
                 });
             });
         },
         std::string("vertices 6 faces 2 subsets 1 materials 1\n"
                     "subset 0 attribute 0 faces 0 2 vertices 0 6\n") +
             kWhite +
             "v 0 0 0 0 0 0 1 0 0\n"
             "v 1 1 0 0 0 0 1 0 0\n"
             "v 2 0 1 0 0 0 1 0 0\n"
             "v 3 0 0 0 1 0 0 0 0\n"
             "v 4 0 1 0 1 0 0 0 0\n"
             "v 5 0 0 1 1 0 0 0 0\n"
             "f 0 0 1 2\n"
             "f 1 3 4 5\n"},
        {"a cp932 texture name; one face index stands for both faces",
         [](XTokens& x) {
             x.object("Mesh", "", [](XTokens& m) {
                 triangleMesh(m, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {3, 0, 1, 2, 3, 0, 2, 3}, 2);
                 m.object("MeshMaterialList", "", [](XTokens& l) {
                     l.ints({2, 1, 1});
                     l.object("Material", "", [](XTokens& mat) {
                         mat.floats({0.5, 0.25, 0.125, 1}).floats({5}).floats({0, 0, 0}).floats({0.1, 0.2, 0.3});
                     });
                     l.object("Material", "", [](XTokens& mat) {
                         mat.floats({1, 1, 1, 0.5}).floats({0}).floats({0, 0, 0}).floats({0, 0, 0});
                         // "テスト.bmp" as the game's data stores it.
                         mat.object("TextureFilename", "",
                                    [](XTokens& t) { t.string("\x83\x65\x83\x58\x83\x67.bmp"); });
                     });
                 });
             });
         },
         "vertices 4 faces 2 subsets 1 materials 2\n"
         "subset 0 attribute 1 faces 0 2 vertices 0 4\n"
         "material 0 diffuse 0.5 0.25 0.125 1 power 5 emissive 0.1 0.2 0.3 texture -\n"
         "material 1 diffuse 1 1 1 0.5 power 0 emissive 0 0 0 texture テスト.bmp\n"
         "v 0 0 0 0 0 0 1 0 0\n"
         "v 1 1 0 0 0 0 1 0 0\n"
         "v 2 1 1 0 0 0 1 0 0\n"
         "v 3 0 1 0 0 0 1 0 0\n"
         "f 0 0 1 2\n"
         "f 1 0 2 3\n"},
    };
    TempRoot root;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XTokens x;
        c.write(x);
        const std::vector<std::uint8_t> text = writeXText(x);
        // Blocks of 48 bytes: every compressed form spans several blocks,
        // each inflated against the one before.
        const std::vector<std::uint8_t> zipped = compressMszip(text, 48);
        ASSERT_GT(text.size() - 16, 2 * 48u);
        const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> forms = {
            {"text.x", text},
            {"binary32.x", writeXBinary(x)},
            {"binary64.x", writeXBinary(x, true)},
            {"textzip.x", zipped},
            {"binary64zip.x", compressMszip(writeXBinary(x, true), 48)},
        };
        for (const auto& [file, bytes] : forms) {
            SCOPED_TRACE(file);
            root.writeFile(file, bytes);
            const std::string path = (root.path() / file).string();
            const ToolRun run = runTool(root, "dump " + path);
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(afterFileLine(run.out, path), c.expected);
        }
    }
}

TEST(MeshTool, DamagedFilesExitOneWithTheEnginesLines) {
    TempRoot root;
    std::ifstream in(kMeshes + "test_cube_text.x", std::ios::binary);
    const std::string cubeText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ifstream zin(kMeshes + "test_cube_compressed.x", std::ios::binary);
    std::string badBlock((std::istreambuf_iterator<char>(zin)), std::istreambuf_iterator<char>());
    ASSERT_GT(badBlock.size(), 26u);
    badBlock[25] = 'X';  // the first block's "CK"

    // A compressed file declaring 2 GB of contents over 6 KB of blocks.
    std::string declares2GB = std::string("xof 0303tzip0032") + std::string("\0\0\0\x80", 4) + std::string(6000, '\0');

    const char* const invalid = ".\\Src\\Mesh:63  FAILED\nD3DXERR_INVALIDDATA\n";
    struct Case {
        const char* file;
        std::string bytes;
        std::string err;
        std::string why;  // the tool's own line: the reason and its offset
    };
    const std::vector<Case> cases = {
        {"empty.x", "", invalid, "shorter than the header at offset 0"},
        {"truncated.x", cubeText.substr(0, cubeText.size() / 2), invalid, "contents at offset 2492"},
        {"frames-only.x", "xof 0303txt 0032 Frame Root { Frame { } }",
         ".\\Src\\Mesh:63  FAILED\nD3DXERR_LOADEDMESHASNODATA\n", "no mesh at offset 41"},
        {"index.x", "xof 0303txt 0032 Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }", invalid,
         "contents at offset 61"},
        {"two-corners.x", "xof 0303txt 0032 Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }", invalid,
         "contents at offset 55"},
        {"bad-block.x", badBlock, invalid, "compressed body (at most 33554432 bytes inflated) at offset 20"},
        {"declares-2gb.x", declares2GB, invalid, "compressed body (at most 33554432 bytes inflated) at offset 16"},
    };
    std::string arguments = "info";
    std::string expectedErr;
    for (const Case& c : cases) {
        root.writeFile(c.file, c.bytes);
        arguments += " " + (root.path() / c.file).string();
        const std::string err = c.err + "vorly-mesh: " + (root.path() / c.file).string() + ": " + c.why + "\n";
        expectedErr += err;
        // Each alone: status 1, no line but the file's, the engine's lines.
        SCOPED_TRACE(c.file);
        const ToolRun alone = runTool(root, "dump " + (root.path() / c.file).string());
        EXPECT_EQ(alone.status, 1);
        EXPECT_EQ(alone.out, "file " + (root.path() / c.file).string() + "\n");
        EXPECT_EQ(alone.err, err);
    }
    // With good files among them, the good ones still print and the status
    // stays 1; a missing file says so.
    const std::string good = kMeshes + "test_cube_binary.x";
    const std::string missing = (root.path() / "missing.x").string();
    const ToolRun all = runTool(root, arguments + " " + good + " " + missing);
    EXPECT_EQ(all.status, 1);
    EXPECT_NE(all.out.find("file " + good + "\nvertices 24 faces 12 subsets 1 materials 1\n"), std::string::npos);
    EXPECT_EQ(all.err, expectedErr + "vorly-mesh: cannot read " + missing + "\n");
}

TEST(MeshTool, EveryPackageModelLoadsDenseOrFailsCleanly) {
    if (!fs::is_directory(kPackageModels / "X")) GTEST_SKIP() << "assimp-testmodels is not installed";
    std::vector<fs::path> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(kPackageModels)) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (e.is_regular_file() && ext == ".x") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 4u);
    TempRoot root;
    int loaded = 0;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const ToolRun run = runTool(root, "dump " + file.string());
        ASSERT_TRUE(run.status == 0 || run.status == 1) << "status " << run.status << "\n" << run.err;
        if (run.status == 1) {
            EXPECT_EQ(run.err.rfind(".\\Src\\Mesh:63  FAILED\nD3DXERR_", 0), 0u) << run.err;
            continue;
        }
        ++loaded;
        expectDenseSubsets(parseDump(afterFileLine(run.out, file.string())));
    }
    EXPECT_GE(loaded, 4);

    // The exporter's cube: three materials over 2, 2 and 8 faces, texture
    // names as stored, and its frame lowers the 0 .. 0.984252 cube by
    // 0.492126.
    const fs::path kw = kPackageModels / "X" / "kwxport_test_cubewithvcolors.x";
    const ToolRun run = runTool(root, "dump " + kw.string());
    ASSERT_EQ(run.status, 0) << run.err;
    const Dump d = parseDump(run.out);
    ASSERT_EQ(d.subsets.size(), 3u);
    EXPECT_EQ(d.subsets[0].faceCount, 2u);
    EXPECT_EQ(d.subsets[1].faceCount, 2u);
    EXPECT_EQ(d.subsets[2].faceCount, 8u);
    const std::string folder = "C:\\\\code\\\\sourceforge\\\\kwxport\\\\trunkMerged\\\\test\\\\data\\\\";
    EXPECT_EQ(d.textures, (std::vector<std::string>{folder + "bottom.tga", folder + "top.tga", folder + "updown.tga"}));
    double low = 1e9, high = -1e9;
    for (const std::vector<double>& v : d.v) {
        low = std::min(low, v[1]);
        high = std::max(high, v[1]);
    }
    EXPECT_DOUBLE_EQ(low, -0.492126);
    EXPECT_DOUBLE_EQ(high, 0.492126);
}
