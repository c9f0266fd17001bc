// Runs the script dump tool (vorly-scriptdump of the build tree) as a program
// on one file and captures what it prints.
#pragma once
#include <filesystem>
#include <string>

struct ScriptDumpRun {
    int status = -1;  // the exit status; -1 when the tool did not exit normally
    std::string output;
};

// What becomes of the tool's standard error: captured after its output as
// the terminal would show it, or dropped (to compare the output alone).
enum class DumpErrors { Captured, Dropped };

ScriptDumpRun runScriptDump(const std::filesystem::path& file, DumpErrors errors);
