// vorly-pack as the build runs it: build a folder of each stored form, then
// cat every entry back byte for byte; list shows the index.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ArchiveTestSupport.h"

namespace {
namespace fs = std::filesystem;

const std::string kTool = std::string(VORLY_BINARY_DIR) + "/tools/vorly-pack";

struct ToolRun {
    int status;
    std::string out;
};

// Runs the tool with its standard output captured in a file.
ToolRun runTool(const std::string& arguments, const fs::path& outFile) {
    std::string command = "'" + kTool + "' " + arguments + " > '" + outFile.string() + "' 2>/dev/null";
    int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, {}};
    std::ifstream in(outFile, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    run.out = text.str();
    return run;
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }
}  // namespace

TEST(ArchivePackTool, BuildThenCatReproducesEveryFileOfEachForm) {
    ASSERT_TRUE(fs::exists(kTool)) << kTool;
    TempRoot root;
    std::vector<std::pair<std::string, Bytes>> files;
    for (std::uint32_t n = 0; n <= 7; ++n) files.emplace_back("small" + std::to_string(n), randomBytes(n, n + 1));
    files.emplace_back("big-random.bin", randomBytes(1200 * 1024 + 3, 20));
    files.emplace_back("big-runs.bin", runnyBytes(1536 * 1024 + 1, 21));
    files.emplace_back("Thumbs.db", bytesOf("thumbnails"));
    for (const char* folder : {"texture", "script", "mesh", "raw"}) {
        SCOPED_TRACE(folder);
        for (const auto& [name, bytes] : files) root.writeFile(std::string(folder) + "/" + name, bytes);
        fs::path dir = root.path() / folder;
        fs::path out = root.path() / "out.bin";
        ASSERT_EQ(runTool("build " + quoted(dir), out).status, 0);
        ASSERT_TRUE(fs::exists(dir / "arc.dat"));

        ToolRun listing = runTool("list " + quoted(dir), out);
        ASSERT_EQ(listing.status, 0);
        // One line per stored file in name order, back to back from offset 0.
        bool texture = std::string(folder) == "texture";
        std::istringstream lines(listing.out);
        std::vector<std::string> names;
        std::uint64_t expectedOffset = 0;
        for (std::string name; std::getline(lines, name, '\t');) {
            std::uint64_t offset = 0, size = 0;
            lines >> offset >> size;
            lines.ignore(1);
            EXPECT_EQ(offset, expectedOffset) << name;
            expectedOffset += size;
            names.push_back(name);
        }
        EXPECT_EQ(expectedOffset, fs::file_size(dir / "arc.dat"));
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
        EXPECT_EQ(names.size(), texture ? files.size() - 1 : files.size());
        EXPECT_EQ(std::find(names.begin(), names.end(), "Thumbs.db") == names.end(), texture);

        for (const auto& [name, bytes] : files) {
            if (texture && name == "Thumbs.db") continue;
            SCOPED_TRACE(name);
            ToolRun cat = runTool("cat " + quoted(dir) + " " + name, out);
            ASSERT_EQ(cat.status, 0);
            EXPECT_TRUE(bytesOf(cat.out) == bytes);
        }
    }
}

TEST(ArchivePackTool, FailuresExitNonZero) {
    TempRoot root;
    root.writeFile("mesh/a.x", "mesh");
    fs::path dir = root.path() / "mesh";
    fs::path out = root.path() / "out.bin";
    EXPECT_NE(runTool("build " + quoted(root.path() / "missing"), out).status, 0);
    EXPECT_NE(runTool("list " + quoted(dir), out).status, 0);  // not built yet
    ASSERT_EQ(runTool("build " + quoted(dir), out).status, 0);
    EXPECT_NE(runTool("cat " + quoted(dir) + " b.x", out).status, 0);
    EXPECT_NE(runTool("pack " + quoted(dir), out).status, 0);
    EXPECT_NE(runTool("cat " + quoted(dir), out).status, 0);
    // A file too big for the reader's buffer is refused and the old archive stays.
    Bytes before = bytesOf(root.readFile("mesh/arc.dat"));
    root.writeFile("mesh/huge.x", Bytes(ArchiveManager::kBufferSize, 0));
    EXPECT_NE(runTool("build " + quoted(dir), out).status, 0);
    EXPECT_EQ(bytesOf(root.readFile("mesh/arc.dat")), before);
    EXPECT_EQ(runTool("cat " + quoted(dir) + " a.x", out).out, "mesh");
}
