// vorly-scriptdump as a program: golden output for the fixture scripts, and a
// clean exit (status 0, no sanitizer report) on malformed files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ScriptDumpRun.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(VORLY_FIXTURES) / "script";

ScriptDumpRun runDump(const fs::path& file) { return runScriptDump(file, DumpErrors::Dropped); }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScriptHandlerDump, FixturesMatchTheirGoldenOutput) {
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(kFixtures)) {
        if (entry.path().extension() != ".xml") continue;
        fs::path expected = entry.path();
        expected.replace_extension(".expected");
        ScriptDumpRun run = runDump(entry.path());
        EXPECT_EQ(run.status, 0) << entry.path();
        ASSERT_TRUE(fs::exists(expected)) << expected;
        EXPECT_EQ(run.output, readFile(expected)) << entry.path();
        ++compared;
    }
    EXPECT_GE(compared, 11);
}

TEST(ScriptHandlerDump, MalformedFilesExitCleanly) {
    TempRoot root;
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "<action>";
    const std::pair<const char*, std::string> inputs[] = {
        {"empty.xml", ""},
        {"deep.xml", "<exbulletml>" + deep},
        {"longname.xml", "<exbulletml><" + std::string(1 << 20, 'x') + ">1</y></exbulletml>"},
        {"longvalue.xml", "<exbulletml><action label=\"" + std::string(1 << 20, 'v') + "\"/></exbulletml>"},
        {"nul.xml", std::string("<exbulletml><wait>1</wait>\0<wait>2</wait></exbulletml>", 52)},
        {"open_comment.xml", "<!-- never closed <exbulletml/>"},
        {"lone_bracket.xml", "<"},
        {"unclosed_value.xml", "<exbulletml><action label=\"x></action></exbulletml>"},
        {"many_attributes.xml", "<exbulletml><action" + [] {
             std::string attributes;
             for (int i = 0; i < 20000; ++i) attributes += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
             return attributes;
         }() + "/></exbulletml>"},
    };
    for (const auto& [name, content] : inputs) {
        root.writeFile(name, content);
        ScriptDumpRun run = runDump(root.path() / name);
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_NE(run.output.find("0 none"), std::string::npos) << name;
    }
}

TEST(ScriptHandlerDump, MissingFileFails) {
    EXPECT_EQ(runDump(kFixtures / "no_such_file.xml").status, 1);
}

}  // namespace
