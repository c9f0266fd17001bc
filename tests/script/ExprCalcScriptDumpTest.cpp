// The script dump tool on scripts whose numbers go through the expression
// calculator.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct ToolRun {
    std::string output;
    int status = -1;
};

ToolRun runScriptDump(const std::string& fixture) {
    std::string command = std::string(VORLY_BINARY_DIR) + "/tools/vorly-scriptdump " + VORLY_FIXTURES +
                          "/expressions/" + fixture + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ExprCalcScriptDump, NumbersOfAScriptShowTheirKinds) {
    ToolRun run = runScriptDump("expressions.xml");
    ASSERT_EQ(run.status, 0) << run.output;
    const char* expected[] = {
        "repeatcount=\"$1*2+1\"/compiled",
        "speed=\"1.5\"/literal",
        "direction=\"$angle*90-45\"/compiled",
        "params[\"$2\"/param, \"@spin\"/dynamic, \"$__stage-eq1\"/compiled, \"$_framenum\"/builtin, \"-(3)\"/compiled]",
        "repeatcount=\"$_framenum%4+1\"/compiled",
        "eval=\"($angle+1)*2\"/compiled",
        "global=\"$__stage+1\"/compiled",
        "speed=\"$1/2\"/compiled",
        "own=\"$2\"/param",
    };
    for (const char* piece : expected) EXPECT_NE(run.output.find(piece), std::string::npos) << piece << "\n" << run.output;
    EXPECT_EQ(run.output.find("不正な式"), std::string::npos);
}

TEST(ExprCalcScriptDump, AnExpressionWithoutTokensEndsTheLoad) {
    ToolRun run = runScriptDump("invalid.xml");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("log: 不正な式が見つかりました speed*2\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("log: 開放処理が終了しました"), std::string::npos) << run.output;
}

}  // namespace
