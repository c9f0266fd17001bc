// The frame-capture switches of the environment: the frame list's values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/FrameCaptureSettings.h"

TEST(FrameCaptureSettings, FrameListsKeepTheNumbersAndNameTheRest) {
    struct Case {
        const char* text;
        std::vector<std::uint32_t> frames;
        std::vector<std::string> bad;
    } cases[] = {
        {"60", {60}, {}},
        {"60,120,1", {60, 120, 1}, {}},
        {"0", {}, {"0"}},
        {"x,7", {7}, {"x"}},
        {"60,,7", {60, 7}, {""}},
        {"4294967295,4294967296", {4294967295u}, {"4294967296"}},
        {" 5,6 ,-1,+2", {}, {" 5", "6 ", "-1", "+2"}},
        {"", {}, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> bad;
        EXPECT_EQ(parseCaptureFrames(c.text, bad), c.frames);
        EXPECT_EQ(bad, c.bad);
    }
}
