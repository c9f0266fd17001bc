// The in-process run's input script and trace helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/HeadlessRun.h"

TEST(ReplayInputScript, ParsesSpansAndRefusesBadLines) {
    InputScript script;
    std::string error;
    ASSERT_TRUE(script.parse("# comment\n\n0 9 0xCB 44   # Left and Z\n20 20 200\n", error)) << error;
    EXPECT_TRUE(script.held(0, 0xCB));
    EXPECT_TRUE(script.held(9, 44));
    EXPECT_FALSE(script.held(10, 0xCB));
    EXPECT_TRUE(script.held(20, 200));
    EXPECT_FALSE(script.held(19, 200));
    EXPECT_FALSE(script.held(5, 200));

    const struct {
        const char* text;
        const char* message;
    } bad[] = {
        {"0 9\n", "line 1: needs"},
        {"\n5 4 1\n", "line 2: last frame before first"},
        {"0 1 x\n", "line 1: not a number: x"},
        {"0 1 -3\n", "line 1: not a number: -3"},
        {"0 4294967296 1\n", "line 1: not a number: 4294967296"},
        {"0 1 256\n", "line 1: key code above 255"},
    };
    for (const auto& c : bad) {
        InputScript refused;
        std::string message;
        EXPECT_FALSE(refused.parse(c.text, message)) << c.text;
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    }
}

// Only "<stage> <frame> <16 hex digits>" lines make up a trace's hash.
TEST(ReplayTraceLines, OnlyFrameLinesCount) {
    const std::vector<std::string> trace = {"startReplay", "1 0 00000000000000ff", "1 1 0123456789abcdef",
                                            "1 2 123", "x 1 0123456789abcdef"};
    EXPECT_EQ(frameLines(trace), (std::vector<std::string>{"1 0 00000000000000ff", "1 1 0123456789abcdef"}));
    EXPECT_EQ(hashTrace(trace), hashTrace({"1 0 00000000000000ff", "1 1 0123456789abcdef"}));
    EXPECT_NE(hashTrace(trace), hashTrace({"1 0 00000000000000ff", "1 1 0123456789abcdee"}));
}
