#include "ScriptDumpRun.h"

#include <sys/wait.h>

#include <cstdio>

ScriptDumpRun runScriptDump(const std::filesystem::path& file, DumpErrors errors) {
    const std::string command = std::string("'") + VORLY_BINARY_DIR + "/tools/vorly-scriptdump' '" + file.string() +
                                "'" + (errors == DumpErrors::Captured ? " 2>&1" : " 2>/dev/null");
    ScriptDumpRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
