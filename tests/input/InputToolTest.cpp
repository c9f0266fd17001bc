#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/TestSupport.h"

namespace {
CommandRun runTool(const std::string& arguments) {
    return runCommand(std::string(VORLY_BINARY_DIR) + "/tools/vorly-input " + arguments + " 2>/dev/null");
}
}  // namespace

TEST(InputTool, KeysPrintsTheWholeTable) {
    const CommandRun run = runTool("keys");
    EXPECT_EQ(run.status, 0);
    for (const char* line : {"40\t28\tReturn\n", "88\t156\tKeypad Enter\n", "228\t157\tRight Ctrl\n",
                             "92\t75\tKeypad 4\n", "225\t42\tLeft Shift\n", "4\t30\tA\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 139);
}

TEST(InputTool, KeyFilesOfAnySize) {
    TempRoot root;
    std::string full(260, '\0');
    full.replace(0, 4, "Pad1");
    full += std::string("\x64\x65\x66\x67\x07\x01\x02\x03\x04\x05\x06\x07\x00\x00\xFF\x00", 16) + std::string("\x10\x27\0\0", 4);
    root.writeFile("full.dat", full);
    root.writeFile("short.dat", full.substr(0, 100));
    root.writeFile("nonul.dat", std::string(260, 'Q') + full.substr(260));
    root.writeFile("keys3.dat", std::string("\x39\x1c\x01", 3));
    const std::string dir = root.path().string() + "/";
    struct Case {
        std::string arguments;
        std::string out;
        int status;
    } cases[] = {
        {"keyconfig " + dir + "full.dat", "name Pad1\nmap 100 101 102 103 7 1 2 3 4 5 6 7 0 0 255 0\nthreshold 10000\n", 0},
        {"keyconfig " + dir + "short.dat",
         "log: data\\keyconfig.dat が短すぎます (100 バイト)\nname Pad1\nmap 100 101 102 103 0 1 2 3 4 5 6 7 0 0 0 0\n"
         "threshold 500\n",
         0},
        {"keyconfig " + dir + "nonul.dat",
         "name " + std::string(260, 'Q') + "\nmap 100 101 102 103 7 1 2 3 4 5 6 7 0 0 255 0\nthreshold 10000\n", 0},
        {"keyboardconfig " + dir + "keys3.dat",
         "log: data\\keyboardconfig.dat が短すぎます (3 バイト)\nmap 57 28 1 205 44 45 46 29 47 1 0 0 0 0 0 0\n", 0},
        {"keyconfig " + dir + "missing.dat", "", 1},
        {"keyboardconfig " + dir, "", 1},
        {"keyconfig", "", 2},
        {"other x", "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CommandRun run = runTool(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
    }
}
