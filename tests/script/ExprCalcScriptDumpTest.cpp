// The script dump tool on scripts whose numbers go through the expression
// calculator.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ScriptDumpRun.h"

namespace {

ScriptDumpRun dumpExpressions(const std::string& fixture) {
    return runScriptDump(std::filesystem::path(VORLY_FIXTURES) / "expressions" / fixture, DumpErrors::Captured);
}

TEST(ExprCalcScriptDump, NumbersOfAScriptShowTheirKinds) {
    ScriptDumpRun run = dumpExpressions("expressions.xml");
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
    ScriptDumpRun run = dumpExpressions("invalid.xml");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("log: 不正な式が見つかりました speed*2\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("log: 開放処理が終了しました"), std::string::npos) << run.output;
}

}  // namespace
