#include "ScriptDumpRun.h"

#include "support/TestSupport.h"

ScriptDumpRun runScriptDump(const std::filesystem::path& file, DumpErrors errors) {
    const std::string command = std::string("'") + VORLY_BINARY_DIR + "/tools/vorly-scriptdump' '" + file.string() +
                                "'" + (errors == DumpErrors::Captured ? " 2>&1" : " 2>/dev/null");
    CommandRun run = runCommand(command);
    return ScriptDumpRun{run.status, std::move(run.out)};
}
