// vorly-pack: builds, lists and reads the per-folder data archives
// ("arc.dat" + "idx.dat") with the engine's own archive code.
//
//   vorly-pack build <folder>        pack the folder's loose files
//   vorly-pack list <folder>         each entry's name, offset and stored size
//   vorly-pack cat <folder> <name>   the entry's contents, as the engine reads them
//
// A build refuses a folder holding a file whose name the archive cannot store
// as it is (see ArchiveNames.h), naming each such file, and writes nothing.
//
// The stored form follows the folder's name as the engine reads it: "texture"
// run-length coded, "script" Huffman coded and scrambled, any other unchanged.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/Path.h"
#include "platform/Text.h"
#include "services/ArchiveBuilder.h"
#include "services/ArchiveIndex.h"
#include "services/ArchiveManager.h"
#include "services/ArchiveNames.h"
#include "services/DebugInfo.h"

namespace fs = std::filesystem;

namespace {
int usage() {
    std::fprintf(stderr,
                 "usage: vorly-pack build <folder>\n"
                 "       vorly-pack list <folder>\n"
                 "       vorly-pack cat <folder> <name>\n");
    return 2;
}

// The engine's log lines, collected in a temporary folder and shown on
// standard error when a command fails.
class ToolLog {
public:
    ToolLog() {
        std::string pattern = (fs::temp_directory_path() / "vorly-pack-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        fs::path previousRoot = Path::root();
        Path::setRoot(folder_);
        g_debugInfo = new DebugInfo("pack.log");
        Path::setRoot(previousRoot);
    }
    ~ToolLog() {
        delete g_debugInfo;
        g_debugInfo = nullptr;
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }
    void showOnError() const {
        if (folder_.empty()) return;
        std::ifstream in(folder_ / "pack.log");
        std::string line;
        while (std::getline(in, line)) std::cerr << "vorly-pack: " << line << '\n';
    }

private:
    fs::path folder_;
};

// Makes the folder's parent the path root, as the game folder is for the
// engine, and returns the folder's name (cp932) under it.
std::optional<std::string> enterFolder(const char* argument) {
    std::error_code ec;
    fs::path folder = fs::absolute(argument, ec).lexically_normal();
    if (ec) return std::nullopt;
    if (!folder.has_filename()) folder = folder.parent_path();
    if (!fs::is_directory(folder, ec)) return std::nullopt;
    Path::setRoot(folder.parent_path());
    return text::utf8ToCp932(folder.filename().string());
}

int build(const std::string& folder, ToolLog& log) {
    ArchiveForm form = archive_builder::formForFolder(folder);
    // A name the archive cannot hold as it is would be lost or shadow
    // another: refuse the folder before writing anything, naming every such file.
    std::vector<ArchiveNameIssue> issues = archive_builder::checkNames(folder, form);
    if (!issues.empty()) {
        for (const ArchiveNameIssue& issue : issues)
            std::fprintf(stderr, "vorly-pack: %s\n", archive_builder::describe(folder, issue).c_str());
        std::fprintf(stderr, "vorly-pack: %s not packed: %zu file name%s cannot be stored in its archive\n",
                     text::cp932ToUtf8(folder).c_str(), issues.size(), issues.size() == 1 ? "" : "s");
        return 1;
    }
    if (FAILED(archive_builder::build(folder, form))) {
        log.showOnError();
        std::fprintf(stderr, "vorly-pack: building the archive of %s failed\n", text::cp932ToUtf8(folder).c_str());
        return 1;
    }
    return 0;
}

int list(const std::string& folder, ToolLog& log) {
    std::optional<std::vector<ArchiveIndexRecord>> records = archive_index::readIndexFile(folder);
    if (!records) {
        log.showOnError();
        return 1;
    }
    for (const ArchiveIndexRecord& record : *records) {
        std::printf("%s\t%u\t%u\n", text::cp932ToUtf8(record.name).c_str(), record.entry.offset,
                    record.entry.size);
    }
    return 0;
}

int cat(const std::string& folder, const std::string& name, ToolLog& log) {
    ArchiveManager archive;
    // An empty file is stored with size 0: the engine counts such an entry as
    // missing, but its contents are known (none), so the tool writes nothing.
    std::optional<ArchiveBytes> bytes =
        archive.tryRead(folder, name, archive_builder::formForFolder(folder), /*allowEmpty=*/true);
    if (!bytes) {
        log.showOnError();
        std::fprintf(stderr, "vorly-pack: %s cannot be read from %s\n", text::cp932ToUtf8(name).c_str(),
                     text::cp932ToUtf8(folder).c_str());
        return 1;
    }
    if (!bytes->empty() && std::fwrite(bytes->data(), 1, bytes->size(), stdout) != bytes->size()) return 1;
    return std::fflush(stdout) == 0 ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string command = argv[1];
    int expected = command == "cat" ? 4 : 3;
    if ((command != "build" && command != "list" && command != "cat") || argc != expected) return usage();

    std::optional<std::string> folder = enterFolder(argv[2]);
    if (!folder) {
        std::fprintf(stderr, "vorly-pack: %s is not a folder\n", argv[2]);
        return 1;
    }
    ToolLog log;
    if (command == "build") return build(*folder, log);
    if (command == "list") return list(*folder, log);
    return cat(*folder, text::utf8ToCp932(argv[3]), log);
}
