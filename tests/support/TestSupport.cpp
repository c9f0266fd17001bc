#include "support/TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Path.h"
#include "services/ArchiveBuilder.h"
#include "services/DebugInfo.h"

namespace fs = std::filesystem;

TempRoot::TempRoot() : previousRoot_(Path::root()) {
    std::string pattern = (fs::temp_directory_path() / "vorly-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    Path::setRoot(path_);
}

TempRoot::~TempRoot() {
    Path::setRoot(previousRoot_);
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void TempRoot::writeFile(const std::string& relative, std::string_view bytes) const {
    fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TempRoot::writeFile(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
    writeFile(relative, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string TempRoot::readFile(const std::string& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void TempRoot::writeScripts(const std::vector<std::pair<std::string, std::string>>& files) const {
    for (const auto& [name, text] : files) writeFile("script/" + name, text);
    if (FAILED(archive_builder::build("script", ArchiveForm::HuffmanScrambled))) {
        throw std::runtime_error("packing the script folder failed");
    }
}

bool TempRoot::exists(const std::string& relative) const { return fs::exists(path_ / relative); }

LoggedTest::LoggedTest() {
    delete g_debugInfo;
    delete g_replayDebugInfo;
    g_debugInfo = new DebugInfo("debug.txt");
    g_replayDebugInfo = new ReplayDebugInfo();
}

LoggedTest::~LoggedTest() {
    delete g_debugInfo;
    delete g_replayDebugInfo;
    g_debugInfo = nullptr;
    g_replayDebugInfo = nullptr;
}

std::string LoggedTest::logText() const { return root_.readFile("debug.txt"); }

std::vector<std::string> LoggedTest::logLines() const {
    std::vector<std::string> lines;
    std::istringstream in(logText());
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool LoggedTest::logContains(std::string_view needle) const {
    return logText().find(needle) != std::string::npos;
}

CommandRun runCommand(const std::string& command) {
    CommandRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return run;
}

bool largePagesOnAdvice() {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    std::getline(setting, text);
    return text.find("[always]") != std::string::npos || text.find("[madvise]") != std::string::npos;
}

bool hasLargePageAdvice(const void* address) {
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(maps, line)) {
        // A mapping's first line: "start-end perms ...", in hexadecimal.
        std::uintptr_t start = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> start >> dash >> end && dash == '-') {
            inside = start <= wanted && wanted < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0) {
            std::istringstream flags(line.substr(8));
            std::string flag;
            while (flags >> flag) {
                if (flag == "hg") return true;
            }
            return false;
        }
    }
    return false;
}
