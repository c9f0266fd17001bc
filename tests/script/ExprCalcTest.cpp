#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <string>
#include <vector>

#include "platform/Thread.h"
#include "records/GameInfo.h"
#include "script/BuiltinVariableTable.h"
#include "script/BulletML_Node_Number.h"
#include "script/BulletML_Node_Number_Manager.h"
#include "script/CalcTokenList.h"
#include "script/StringCalc.h"
#include "script/VecParam.h"
#include "support/TestSupport.h"

namespace {

// Two built-in variables stand for the engine's table.
std::uint32_t fakeBuiltinId(std::string_view name) {
    if (name == "_score") return 34;
    if (name == "_framenum") return 3;
    return 0;
}
double fakeBuiltinValue(std::uint32_t id) {
    if (id == 34) return 1234.5;
    if (id == 3) return 60.0;
    return 0.0;
}
const BuiltinVariableTable kFakeBuiltins{fakeBuiltinId, fakeBuiltinValue};

using Kind = BulletML_Node_Number::Kind;

class ExprCalc : public ::testing::Test {
protected:
    void SetUp() override {
        setBuiltinVariableTable(&kFakeBuiltins);
        g_gameInfo = &records;
        for (int i = 0; i < VecParam::kCapacity; ++i) parameters.values[i] = 10.0f * static_cast<float>(i + 1);
        parameters.count = VecParam::kCapacity;
        objectVariables[internName("hp")] = 7.5f;
        records.setGlobalVar(internName("g"), 3.0f);
        dynamicSix.setText("2*3");
        records.setDynamicVar(internName("d"), &dynamicSix);
    }
    void TearDown() override {
        g_gameInfo = nullptr;
        setBuiltinVariableTable(nullptr);
    }

    GameInfo records;
    VecParam parameters;
    ObjectVariableMap objectVariables;
    BulletML_Node_Number dynamicSix;
};

enum class Context { kRunning, kNone };

struct Case {
    const char* text;
    Context context;
    Kind kind;
    double value;
};

TEST_F(ExprCalc, TextContextToKindAndValue) {
    const Case cases[] = {
        // Literals: digits and "." with an optional leading "-".
        {"10", Context::kRunning, Kind::kLiteral, 10.0},
        {"1.5", Context::kRunning, Kind::kLiteral, 1.5},
        {"-2", Context::kRunning, Kind::kLiteral, -2.0},
        {"0.1", Context::kRunning, Kind::kLiteral, 0.1f},
        {"1.2.3", Context::kRunning, Kind::kLiteral, 1.2f},
        // Texts that only look like numbers are compiled.
        {"1e3", Context::kRunning, Kind::kCompiled, 1000.0},
        {"+1", Context::kRunning, Kind::kCompiled, 1.0},
        {"(1)", Context::kRunning, Kind::kCompiled, 1.0},
        // Precedence and associativity.
        {"1+2*3", Context::kRunning, Kind::kCompiled, 7.0},
        {"(1+2)*3", Context::kRunning, Kind::kCompiled, 9.0},
        {"8/2/2", Context::kRunning, Kind::kCompiled, 2.0},
        {"1-2-3", Context::kRunning, Kind::kCompiled, -4.0},
        {"2*3+4*5", Context::kRunning, Kind::kCompiled, 26.0},
        {"2*3%4", Context::kRunning, Kind::kCompiled, 2.0},
        {"-(2)", Context::kRunning, Kind::kCompiled, -2.0},
        {"--1", Context::kRunning, Kind::kCompiled, 1.0},
        {"-(-(2))", Context::kRunning, Kind::kCompiled, 2.0},
        {"1--2", Context::kRunning, Kind::kCompiled, 3.0},
        // Comparisons bind loosest, at most one.
        {"2*3-eq6", Context::kRunning, Kind::kCompiled, 1.0},
        {"10-2*3-eq4", Context::kRunning, Kind::kCompiled, 1.0},
        {"1+1-gt1", Context::kRunning, Kind::kCompiled, 1.0},
        {"1-gt2", Context::kRunning, Kind::kCompiled, 0.0},
        {"1-lt2", Context::kRunning, Kind::kCompiled, 1.0},
        {"2-lt1", Context::kRunning, Kind::kCompiled, 0.0},
        {"0.1-eq0.1", Context::kRunning, Kind::kCompiled, 1.0},
        {"1+2-eq3-eq0", Context::kRunning, Kind::kCompiled, 1.0},
        // Only a prefix has to match; the rest is ignored.
        {"1+2 x", Context::kRunning, Kind::kCompiled, 3.0},
        {"1 +2", Context::kRunning, Kind::kCompiled, 1.0},
        // A blank before a comparison ends the text there too.
        {"3 -gt1", Context::kRunning, Kind::kCompiled, 3.0},
        {"1+2)", Context::kRunning, Kind::kCompiled, 3.0},
        {"3*(1+2", Context::kRunning, Kind::kCompiled, 3.0},
        {"1+2*(3-4", Context::kRunning, Kind::kCompiled, 3.0},
        {"1-(2", Context::kRunning, Kind::kCompiled, 1.0},
        {"2@d", Context::kRunning, Kind::kCompiled, 2.0},
        // A text that fails as a whole reads as the last operand it completed.
        {"(1+2", Context::kRunning, Kind::kCompiled, 3.0},
        {"($1*2", Context::kRunning, Kind::kCompiled, 20.0},
        {"(1+(2", Context::kRunning, Kind::kCompiled, 2.0},
        {"(9-(1+2*3", Context::kRunning, Kind::kCompiled, 7.0},
        // A trailing dot ends a number without ending the expression.
        {"1.+2", Context::kRunning, Kind::kCompiled, 3.0},
        {"2.*$1", Context::kRunning, Kind::kCompiled, 20.0},
        {"1.e2", Context::kRunning, Kind::kCompiled, 100.0},
        {"3.-eq3", Context::kRunning, Kind::kCompiled, 1.0},
        {"1.+2 x", Context::kRunning, Kind::kCompiled, 3.0},
        // Each operation's result is rounded to float: 2^24 + 1 is not a float.
        {"16777216+1+1", Context::kRunning, Kind::kCompiled, 16777216.0},
        {"0.1+0.2", Context::kRunning, Kind::kCompiled, static_cast<float>(double(0.1f) + double(0.2f))},
        {"1/3", Context::kRunning, Kind::kCompiled, static_cast<float>(1.0 / 3.0)},
        {"1/0", Context::kRunning, Kind::kCompiled, INFINITY},
        // % on 32-bit integers truncated toward zero.
        {"7%3", Context::kRunning, Kind::kCompiled, 1.0},
        {"7.9%3.9", Context::kRunning, Kind::kCompiled, 1.0},
        {"-7%3", Context::kRunning, Kind::kCompiled, -1.0},
        {"7%0", Context::kRunning, Kind::kCompiled, 0.0},
        {"7%0.5", Context::kRunning, Kind::kCompiled, 0.0},
        {"-2147483648%-1", Context::kRunning, Kind::kCompiled, 0.0},
        {"1e10%7", Context::kRunning, Kind::kCompiled, -2.0},  // out of range: INT_MIN % 7
        // Parameters "$1".."$15"; outside the vector they read 0.
        {"$1", Context::kRunning, Kind::kParameter, 10.0},
        {"$15", Context::kRunning, Kind::kParameter, 150.0},
        {"$0", Context::kRunning, Kind::kParameter, 0.0},
        {"$16", Context::kRunning, Kind::kParameter, 0.0},
        {"$99999999999", Context::kRunning, Kind::kParameter, 0.0},
        {"$1+$2", Context::kRunning, Kind::kCompiled, 30.0},
        {"$0+1", Context::kRunning, Kind::kCompiled, 1.0},
        {"$16*2+$15", Context::kRunning, Kind::kCompiled, 150.0},
        {"-$1", Context::kRunning, Kind::kCompiled, -10.0},
        {"$1", Context::kNone, Kind::kParameter, 0.0},
        {"$1*2+1", Context::kNone, Kind::kCompiled, 1.0},
        // Object variables.
        {"$hp", Context::kRunning, Kind::kObjectVariable, 7.5},
        {"$hp*2", Context::kRunning, Kind::kCompiled, 15.0},
        {"$missing", Context::kRunning, Kind::kObjectVariable, 0.0},
        {"$1a", Context::kRunning, Kind::kObjectVariable, 0.0},
        {"$1a+0", Context::kRunning, Kind::kCompiled, 10.0},  // a leading digit makes a parameter
        {"$hp", Context::kNone, Kind::kObjectVariable, 0.0},
        {"$hp+1", Context::kNone, Kind::kCompiled, 1.0},
        // Built-in variables, the underscore part of the name.
        {"$_score", Context::kRunning, Kind::kBuiltinVariable, 1234.5},
        {"$_score+1", Context::kRunning, Kind::kCompiled, 1235.5},
        {"$_framenum", Context::kNone, Kind::kBuiltinVariable, 60.0},
        {"$_nosuch", Context::kRunning, Kind::kBuiltinVariable, 0.0},
        {"$_nosuch+1", Context::kRunning, Kind::kCompiled, 1.0},
        // Global variables: two underscores and a name.
        {"$__g", Context::kRunning, Kind::kGlobalVariable, 3.0},
        {"$__g*2", Context::kNone, Kind::kCompiled, 6.0},
        {"$__", Context::kRunning, Kind::kBuiltinVariable, 0.0},
        {"$__none", Context::kRunning, Kind::kGlobalVariable, 0.0},
        // Dynamic variables: a whole "@" text only.
        {"@d", Context::kRunning, Kind::kDynamicVariable, 6.0},
        {"@nobody", Context::kRunning, Kind::kDynamicVariable, 0.0},
    };
    for (const Case& c : cases) {
        BulletML_Node_Number number;
        number.setText(c.text);
        EXPECT_EQ(number.getKind(), c.kind) << c.text;
        const VecParam* params = c.context == Context::kRunning ? &parameters : nullptr;
        ObjectVariableMap* variables = c.context == Context::kRunning ? &objectVariables : nullptr;
        EXPECT_EQ(number.evaluate(params, variables), c.value) << c.text;
    }
}

TEST_F(ExprCalc, LiteralsPastTheRangeOfADouble) {
    const std::pair<std::string, double> cases[] = {
        {std::string(400, '9'), INFINITY},
        {"-" + std::string(400, '9') + ".5", -INFINITY},
        {"0." + std::string(400, '0') + "1", 0.0},
        {"-0." + std::string(400, '0') + "1", 0.0},
    };
    for (const auto& [text, value] : cases) {
        BulletML_Node_Number number;
        number.setText(text);
        EXPECT_EQ(number.getKind(), Kind::kLiteral);
        EXPECT_EQ(number.evaluate(nullptr, nullptr), value) << text.substr(0, 12);
    }
}

TEST_F(ExprCalc, DivisionOfZeroByZeroIsNotANumber) {
    BulletML_Node_Number number;
    number.setText("0/0");
    EXPECT_TRUE(std::isnan(number.evaluate(&parameters, &objectVariables)));
}

TEST_F(ExprCalc, ObjectVariablesReadThroughAnExpressionAreCreated) {
    BulletML_Node_Number number;
    number.setText("$fresh+1");
    EXPECT_EQ(number.evaluate(&parameters, &objectVariables), 1.0);
    EXPECT_EQ(objectVariables.count(internName("fresh")), 1u);
}

TEST_F(ExprCalc, WithoutGameRecordsGlobalAndDynamicVariablesReadZero) {
    g_gameInfo = nullptr;
    const std::pair<const char*, double> cases[] = {{"$__g", 0.0}, {"@d", 0.0}, {"$__g+1", 1.0}};
    for (auto [text, value] : cases) {
        BulletML_Node_Number number;
        number.setText(text);
        EXPECT_EQ(number.evaluate(&parameters, &objectVariables), value) << text;
    }
}

TEST_F(ExprCalc, TokenListIsPostfixWithTheRootLast) {
    std::vector<CalcToken> tokens = StringCalc::parse("1+2*3");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[4].type, CalcTokenType::kAdd);
    EXPECT_EQ(tokens[4].left, 0u);
    EXPECT_EQ(tokens[4].right, 3u);
    EXPECT_EQ(tokens[3].type, CalcTokenType::kMultiply);
    EXPECT_EQ(tokens[3].left, 1u);
    EXPECT_EQ(tokens[3].right, 2u);
    // Negation multiplies by a number token of -1.
    tokens = StringCalc::parse("-$1");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].type, CalcTokenType::kParameter);
    EXPECT_EQ(tokens[1].value, -1.0f);
    EXPECT_EQ(tokens[2].type, CalcTokenType::kMultiply);
    // "@" has no place in a compiled expression.
    EXPECT_TRUE(StringCalc::parse("@d").empty());
    EXPECT_TRUE(StringCalc::parse("abc").empty());
}

TEST_F(ExprCalc, ListsLongerThan256TokensKeepTheirStructure) {
    std::string text = "1";
    for (int i = 0; i < 199; ++i) text += (i % 2 == 0) ? "+2*1" : "-1";
    // 1 + 100 x 2 - 99 x 1
    BulletML_Node_Number number;
    number.setText(text);
    EXPECT_GT(StringCalc::parse(text).size(), 256u);
    EXPECT_EQ(number.evaluate(&parameters, &objectVariables), 102.0);

    std::string nested = "1";
    for (int i = 0; i < 150; ++i) nested = "(2-" + nested + ")";
    BulletML_Node_Number deep;
    deep.setText(nested);
    EXPECT_EQ(deep.evaluate(&parameters, &objectVariables), 1.0);  // 150 even: back to 1
}

TEST_F(ExprCalc, TextsAreCompiledOncePerDistinctText) {
    auto& registry = BulletML_Node_Number_Manager::instance();
    BulletML_Node_Number* first = registry.get("$__g*4");
    BulletML_Node_Number* again = registry.get("$__g*4");
    EXPECT_EQ(first, again);
    ASSERT_NE(first->getCompiled(), nullptr);
    EXPECT_EQ(first->evaluate(nullptr, nullptr), 12.0);
}

TEST_F(ExprCalc, DynamicVariablesChainAndCyclesReadZeroLoggedOnce) {
    LoggedTest logged;
    BulletML_Node_Number toB, toA, toSelf, chained;
    toB.setText("@cycleb");
    toA.setText("@cyclea");
    toSelf.setText("@selfbound");
    chained.setText("@d");
    records.setDynamicVar(internName("cyclea"), &toB);
    records.setDynamicVar(internName("cycleb"), &toA);
    records.setDynamicVar(internName("selfbound"), &toSelf);
    records.setDynamicVar(internName("chain"), &chained);

    EXPECT_EQ(records.resolveVar(internName("chain")), 6.0);
    EXPECT_EQ(records.resolveVar(internName("cyclea")), 0.0);
    EXPECT_EQ(records.resolveVar(internName("cyclea")), 0.0);
    EXPECT_EQ(records.resolveVar(internName("selfbound")), 0.0);
    int cycleLines = 0;
    for (const std::string& line : logged.logLines()) {
        if (line.find("@cycle") != std::string::npos) ++cycleLines;
    }
    EXPECT_EQ(cycleLines, 1);
    EXPECT_TRUE(logged.logContains("動的変数 @selfbound の参照が循環しているか深すぎるため、0 として読みます"));
    // A bound expression reads its parameters and object variables as 0.
    BulletML_Node_Number usesContext;
    usesContext.setText("$1+$hp+1");
    records.setDynamicVar(internName("ctx"), &usesContext);
    EXPECT_EQ(records.resolveVar(internName("ctx")), 1.0);
}

class ExprCalcFatal : public ExprCalc {
protected:
    void SetUp() override {
        ExprCalc::SetUp();
        // The fatal path releases every manager: the records here are not the
        // program's.
        g_gameInfo = nullptr;
        GTEST_FLAG_SET(death_test_style, "fast");
    }
};

TEST_F(ExprCalcFatal, TextWithoutTokensIsLoggedAndEndsTheProgram) {
    const std::string texts[] = {"abc", " 1", "@d+1", "$", "(", std::string(100000, '(') + "1"};
    for (const std::string& text : texts) {
        LoggedTest logged;
        EXPECT_EXIT(
            {
                markMainThread();
                BulletML_Node_Number number;
                number.setText(text);
            },
            ::testing::ExitedWithCode(1), "")
            << text.substr(0, 10);
        std::vector<std::string> lines = logged.logLines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[0], "");
        EXPECT_EQ(lines[1], "*****************************************************");
        EXPECT_EQ(lines[2], "不正な式が見つかりました " + text);
        EXPECT_EQ(lines[3], "");
        EXPECT_TRUE(logged.logContains("開放処理が終了しました"));
    }
}

// Loader threads compile while the main thread evaluates what was compiled.
TEST(ExprCalcThreads, CompilingOnTwoThreadsWhileAThirdEvaluates) {
    BulletML_Node_Number shared;
    shared.setText("($1+1)*2-eq4");
    VecParam parameters;
    parameters.values[0] = 1.0f;
    auto compileMany = [](int base, int* wrong) {
        for (int i = 0; i < 200; ++i) {
            std::string text = std::to_string(base + i) + "*2+(1-$3)";
            BulletML_Node_Number number;
            number.setText(text);
            if (number.evaluate(nullptr, nullptr) != (base + i) * 2 + 1) ++*wrong;
        }
    };
    int wrongA = 0, wrongB = 0, wrongMain = 0;
    std::thread a(compileMany, 1000, &wrongA);
    std::thread b(compileMany, 5000, &wrongB);
    for (int i = 0; i < 2000; ++i) {
        if (shared.evaluate(&parameters, nullptr) != 1.0) ++wrongMain;
    }
    a.join();
    b.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
    EXPECT_EQ(wrongMain, 0);
}

}  // namespace
