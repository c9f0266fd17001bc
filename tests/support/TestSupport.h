// Shared test fixtures: a temporary game folder as the path root, and a debug
// log written into it whose lines the test can read back.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The smallest configuration document a program run needs.
inline constexpr std::string_view kMinimalInitXml = "<gml><title>TestGame</title></gml>";

// Makes a fresh temporary folder the root of every relative path for the
// life of the object, and restores the previous root afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file (creating folders) given a path relative to the root.
    void writeFile(const std::string& relative, std::string_view bytes) const;
    void writeFile(const std::string& relative, const std::vector<std::uint8_t>& bytes) const;
    std::string readFile(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    // Writes script files (name, text) into the root's "script" folder and
    // packs the folder into its archive, as the build packs the bundled game.
    void writeScripts(const std::vector<std::pair<std::string, std::string>>& files) const;

private:
    std::filesystem::path path_;
    std::filesystem::path previousRoot_;
};

// A TempRoot with g_debugInfo (and g_replayDebugInfo) open on its
// "debug.txt"; both are deleted at the end unless a release already did.
class LoggedTest {
public:
    LoggedTest();
    ~LoggedTest();
    const TempRoot& root() const { return root_; }
    // The log's lines so far (without line ends).
    std::vector<std::string> logLines() const;
    std::string logText() const;
    // True when some line of the log contains `needle`.
    bool logContains(std::string_view needle) const;

private:
    TempRoot root_;
};

// What a program run through the shell printed on standard output and how it
// ended: its exit status, 128 + the signal when a signal ended it, -1 when it
// could not be started.
struct CommandRun {
    int status = -1;
    std::string out;
};

// Runs `command` through the shell (redirections included) and captures its
// standard output.
CommandRun runCommand(const std::string& command);

// Whether the system offers large pages on advice, and whether the mapping
// that holds `address` carries that advice (the "hg" flag in
// /proc/self/smaps).
bool largePagesOnAdvice();
bool hasLargePageAdvice(const void* address);
