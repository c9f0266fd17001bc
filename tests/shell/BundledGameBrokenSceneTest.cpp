// A broken copy of the bundled game's stage: a reference to a label that
// no element has, or an expression with nothing a number can be read from.
// Either ends the program through the fatal path: the complaint in
// debug.txt, the whole release block after it, exit status 1. Nothing of
// the broken scene keeps running on half a document.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/TempFolder.h"
#include "shell/HeadlessRun.h"

namespace {

const std::filesystem::path kGame = std::filesystem::path(VORLY_FIXTURES) / ".." / ".." / "game";

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Replaces the one occurrence of `from` in the file; false when it is not
// there exactly once (the game changed and the case must follow it).
bool replaceOnce(const std::filesystem::path& path, const std::string& from, const std::string& to) {
    std::string text = readText(path);
    const std::size_t at = text.find(from);
    if (at == std::string::npos || text.find(from, at + 1) != std::string::npos) return false;
    text.replace(at, from.size(), to);
    writeText(path, text);
    return true;
}

struct BrokenStage {
    const char* what;
    const char* from;  // a text of stage1.xml...
    const char* to;    // ...and what the broken copy has instead
    const char* fatalLine;
};

const BrokenStage kBrokenStages[] = {
    {"an object reference without its object", "<objectref label=\"graze_glow\"/>",
     "<objectref label=\"graze_glo\"/>", "ノード graze_glo が見つかりません"},
    {"an enemy reference without its enemy", "<enemyref label=\"dart\"><param>120+$_rand*80</param>",
     "<enemyref label=\"darts\"><param>120+$_rand*80</param>", "ノード darts が見つかりません"},
    {"a value with no number in it", "<sysvar name=\"playerspeed\">4</sysvar>",
     "<sysvar name=\"playerspeed\">fast</sysvar>", "不正な式が見つかりました fast"},
};

TEST(BundledGameBrokenScene, AMissingLabelOrABadExpressionEndsTheProgramWithStatus1AndTheFatalLine) {
    GTEST_FLAG_SET(death_test_style, "fast");
    for (const BrokenStage& broken : kBrokenStages) {
        SCOPED_TRACE(broken.what);
        TempFolder copy("sorvanthe-broken");
        ASSERT_TRUE(copy.ok());
        std::filesystem::copy(kGame, copy.path(), std::filesystem::copy_options::recursive);
        // The stage first, with its scenery, as the title's START loads them.
        ASSERT_TRUE(replaceOnce(copy.path() / "script/init.xml", "<exefile>title.xml</exefile>",
                                "<exefile>stage1.xml</exefile><exefile>background.xml</exefile>"));
        ASSERT_TRUE(replaceOnce(copy.path() / "script/stage1.xml", broken.from, broken.to));

        HeadlessRun run(copy.path());
        ASSERT_TRUE(run.ok()) << run.error();
        EXPECT_EXIT(run.run(InputScript(), 0, 300), ::testing::ExitedWithCode(1), "");

        const std::string log = readText(run.folder() / "debug.txt");
        const std::size_t fatal = log.find(broken.fatalLine);
        ASSERT_NE(fatal, std::string::npos) << log;
        // After the complaint the managers are released in full, and that
        // is the end of the log.
        const std::size_t release = log.find("全てのマネージャー及びオブジェクトの開放を行います...", fatal);
        EXPECT_NE(release, std::string::npos) << log;
        const std::string last = "開放処理が終了しました\n";
        ASSERT_GE(log.size(), last.size());
        EXPECT_EQ(log.substr(log.size() - last.size()), last) << log;
    }
}

}  // namespace
