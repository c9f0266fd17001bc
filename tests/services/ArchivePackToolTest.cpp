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

// Runs the tool with its standard output (or standard error) captured in a file.
ToolRun runTool(const std::string& arguments, const fs::path& outFile, bool captureErrors = false) {
    std::string command = "'" + kTool + "' " + arguments + (captureErrors ? " 2> '" : " > '") + outFile.string() +
                          (captureErrors ? "' >/dev/null" : "' 2>/dev/null");
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

// A name the archive cannot hold as it is fails the whole folder before
// anything is written, with one line per offending file saying why.
TEST(ArchivePackTool, RefusesNamesTheArchiveCannotStore) {
    const std::string x31(31, 'x');
    struct Case {
        const char* what;
        std::vector<std::string> files;     // UTF-8 names on disk
        std::vector<std::string> messages;  // expected on standard error, in order
    };
    const Case cases[] = {
        {"a character cp932 lacks", {"caf\xC3\xA9.txt", "ok.x"},
         {"mesh/caf\xC3\xA9.txt: the name has a character that cp932 cannot represent"}},
        {"equal after cutting to 31 bytes", {x31 + "1.txt", x31 + "2.txt"},
         {"mesh/" + x31 + "1.txt: the same name as " + x31 + "2.txt once both are cut to the 31 bytes an entry holds",
          "mesh/" + x31 + "2.txt: the same name as " + x31 + "1.txt once both are cut to the 31 bytes an entry holds"}},
        {"too long on its own", {x31 + "z.x", "b.x"},
         {"mesh/" + x31 + "z.x: the name is 34 bytes in cp932, longer than the 31 bytes an entry holds"}},
        {"equal ignoring case", {"Box.x", "box.X", "\xE3\x81\x82.x"},
         {"mesh/Box.x: the same name as box.X when case is ignored",
          "mesh/box.X: the same name as Box.x when case is ignored"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempRoot root;
        for (const std::string& name : c.files) root.writeFile("mesh/" + name, "data");
        fs::path errors = root.path() / "errors.txt";
        EXPECT_EQ(runTool("build " + quoted(root.path() / "mesh"), errors, true).status, 1);
        std::istringstream lines(root.readFile("errors.txt"));
        std::vector<std::string> said;
        for (std::string line; std::getline(lines, line);) said.push_back(line);
        ASSERT_EQ(said.size(), c.messages.size() + 1);
        for (std::size_t i = 0; i < c.messages.size(); ++i) EXPECT_EQ(said[i], "vorly-pack: " + c.messages[i]);
        EXPECT_NE(said.back().find("mesh not packed"), std::string::npos) << said.back();
        EXPECT_FALSE(root.exists("mesh/arc.dat"));
        EXPECT_FALSE(root.exists("mesh/idx.dat"));
        EXPECT_FALSE(root.exists("mesh/arc.dat.tmp"));
    }
    // A texture folder leaves "Thumbs.db" out, so its name clashes with nothing.
    TempRoot root;
    root.writeFile("texture/Thumbs.db", "t");
    root.writeFile("texture/thumbs.DB", "t");
    fs::path out = root.path() / "out.bin";
    EXPECT_EQ(runTool("build " + quoted(root.path() / "texture"), out).status, 0);
}
