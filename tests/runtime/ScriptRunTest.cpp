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
