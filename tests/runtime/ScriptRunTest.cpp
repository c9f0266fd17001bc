// The script runner tool: its trace, its exit statuses, runaway scripts.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;  // standard output, then standard error
    double seconds = 0.0;
};

ToolRun runTool(const std::string& arguments, bool withErrors = true) {
    const std::string command = std::string("'") + VORLY_BINARY_DIR + "/tools/vorly-scriptrun' " + arguments +
                                (withErrors ? " 2>&1" : " 2>/dev/null");
    auto start = std::chrono::steady_clock::now();
    CommandRun ran = runCommand(command);
    ToolRun run{ran.status, std::move(ran.out)};
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

std::string fixture(const char* name) { return std::string(VORLY_FIXTURES) + "/runtime/" + name; }

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string lastLine(const std::string& text) {
    std::size_t end = text.find_last_not_of('\n');
    std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

TEST(ScriptRun, TraceOfARepeatedWaitMatchesItsGoldenOutput) {
    ToolRun run = runTool("'" + fixture("repeat_wait.xml") + "' --frames 10 --trace", false);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, readText(fixture("repeat_wait.trace")));
}

// Every live bullet of every frame, against the golden output of each
// pattern: each direction and speed type, held-back shots that still turn a
// "sequence", a firer outside the field, a child link, "bulletref" with its
// offset and parameters, and a mixed volley.
TEST(ScriptRun, BulletPatternsMatchTheirGoldenOutputs) {
    struct Case {
        const char* name;
        const char* arguments;
    } cases[] = {
        {"bullets_bullet_types", "--frames 3"},
        {"bullets_quiet_sequence", "--frames 5 --var deathnobulletframe=2 --since-miss 0"},
        {"bullets_outside_field", "--frames 3"},
        {"bullets_child_link", "--frames 3"},
        {"bullets_bulletref", "--frames 3"},
        {"bullets_fire_mix", "--frames 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string base = fixture(c.name);
        ToolRun run = runTool("'" + base + ".xml' " + c.arguments, false);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, readText(base + ".out"));
    }
}

TEST(ScriptRun, FireMixPrintsFiveBulletsOnTheFirstFrameAndTheAimedOneMovesDown) {
    ToolRun run = runTool("'" + fixture("bullets_fire_mix.xml") + "' --frames 2", false);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("b 1 1 320.3473 98.03039 10 2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("b 1 3 321 98.26795 30 2\n"), std::string::npos);
    EXPECT_NE(run.out.find("b 1 4 320 103 180 3\n"), std::string::npos);
    EXPECT_NE(run.out.find(" 0.45043945 1\n"), std::string::npos);
    EXPECT_NE(run.out.find("b 2 4 320 106 180 3\n"), std::string::npos);
    // Output repeats byte for byte.
    EXPECT_EQ(runTool("'" + fixture("bullets_fire_mix.xml") + "' --frames 2", false).out, run.out);
}

TEST(ScriptRun, AReferenceToAMissingLabelEndsWithStatusOne) {
    TempRoot root;
    root.writeFile("s.xml", R"(<exbulletml><action label="top"><bulletref label="nosuch"/></action></exbulletml>)");
    ToolRun run = runTool("'" + (root.path() / "s.xml").string() + "' --frames 2");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("log: ノード nosuch が見つかりません"), std::string::npos) << run.out;
}

TEST(ScriptRun, WaitSixtyVanishesOnFrameSixtyOne) {
    TempRoot root;
    root.writeFile("s.xml", R"(<exbulletml><action label="top"><wait>60</wait><vanish/></action></exbulletml>)");
    ToolRun run = runTool("'" + (root.path() / "s.xml").string() + "' --frames 70 --trace", false);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(lastLine(run.out), "t 61 vanish 2");
}

TEST(ScriptRun, RunawayScriptsEndTheirFramesWithALogLine) {
    const char* scripts[] = {
        R"(<exbulletml><action label="top"><actionref label="top"/></action></exbulletml>)",
        R"(<exbulletml><action label="top"><repeat><times>-1</times><action/></repeat></action></exbulletml>)",
    };
    TempRoot root;
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        root.writeFile("s.xml", script);
        ToolRun run = runTool("'" + (root.path() / "s.xml").string() + "' --frames 5");
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("log: "), std::string::npos) << run.out;
        // The plain build takes about 0.2 s; sanitizer builds under a loaded
        // test run are many times slower, so the bound here only catches a
        // script that never gives its frame back.
        EXPECT_LT(run.seconds, 60.0);
    }
}

TEST(ScriptRun, ExitStatuses) {
    TempRoot root;
    root.writeFile("s.xml", R"(<exbulletml><action label="top"><wait>1</wait></action></exbulletml>)");
    const std::string file = "'" + (root.path() / "s.xml").string() + "'";
    struct Case {
        std::string arguments;
        int status;
        const char* says;
    } cases[] = {
        {file + " --frames 3 --label top --at 10,20 --player 30,40", 0, ""},
        {file + " --label nothere", 1, "nothere"},
        {"'" + (root.path() / "missing.xml").string() + "'", 1, "cannot read"},
        {file + " --frames", 2, "usage"},
        {file + " --at 10", 2, "usage"},
        {file + " --var deathnobulletframe", 2, "usage"},
        {file + " --var =3", 2, "usage"},
        {file + " --since-miss -1", 2, "usage"},
        {file + " --frames 2 --var grank=2 --var __grank=2 --since-miss 5", 0, ""},
        {"", 2, "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ToolRun run = runTool(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }
}

}  // namespace
