// The debug log "debug.txt" and the replay trace channel.
//
// Every line is flushed at once so the file is complete up to the last line
// even when the program ends abruptly. The file is UTF-8 with LF line ends;
// the engine's own messages are UTF-8 literals, text that comes from game data
// (cp932) is converted by the wide writers or by the caller (text::cp932ToUtf8).
// Loader and network threads write too, so every call is locked.
//
// A script that overruns a pool every frame would repeat one line without
// end: after the same line (or failure line pair) has been written
// kRepeatLimit times in a row, further copies are left out until a different
// line comes or the log closes, and then one line says how many were left out.
#pragma once
#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/HResult.h"

class DebugInfo {
public:
    static constexpr std::uint32_t kRepeatLimit = 100;

    // Opens the log, replacing any earlier content. A file that cannot be
    // opened leaves every write a silent no-op.
    explicit DebugInfo(std::string_view windowsPath = "debug.txt");
    virtual ~DebugInfo();

    void writeLine(std::string_view text);
    void write(std::string_view text);
    void writeNumber(std::int32_t number);
    // Wide text (one unit per cp932 byte), cut to 255 bytes, then converted.
    // writeWide does not flush; the next flushing call does.
    void writeWide(std::u16string_view text);
    void writeWideLine(std::u16string_view text);
    void writeHresult(HRESULT code);
    // A failure line and the line naming its code, under one hold of the lock
    // so that no other thread's line comes between them.
    void writeFailure(std::string_view line, HRESULT code);

    bool isOpen() const { return out_.is_open(); }

    // The trace word the scripts switch ("traceon", "traceoff"); kept for
    // whoever reads it, nothing does yet.
    void setTrace(std::int32_t trace) { trace_ = trace; }
    std::int32_t getTrace() const { return trace_; }

private:
    // Writes `text`: a piece of a line, or the end of one when it ends with a
    // line feed.
    void put(std::string_view text, bool flush);
    // Writes the line that counts the copies left out, if any were.
    void writeLeftOutCount();
    std::mutex lock_;
    std::ofstream out_;
    std::int32_t trace_ = 0;
    // The line being built from pieces, and whether its pieces are held back
    // (they are while copies are being left out: the line may be another).
    std::string building_;
    bool holding_ = false;
    // The last whole line written, how many times in a row, and how many
    // further copies were left out.
    std::string last_;
    std::uint32_t repeats_ = 0;
    std::uint64_t leftOut_ = 0;
};

class ReplayDebugInfo {
public:
    // Where trace lines go: a plain function and its context, so a frame's
    // line costs no allocation.
    using Sink = void (*)(void* context, std::string_view line);

    virtual ~ReplayDebugInfo() = default;
    // Replay trace lines are discarded unless a sink is installed (the
    // replay tool and the tests install one).
    void writeLine(std::string_view line) {
        if (sink_) sink_(sinkContext_, line);
    }
    void setSink(Sink sink, void* context) {
        sink_ = sink;
        sinkContext_ = context;
    }
    bool hasSink() const { return sink_ != nullptr; }

private:
    Sink sink_ = nullptr;
    void* sinkContext_ = nullptr;
};

extern DebugInfo* g_debugInfo;
extern ReplayDebugInfo* g_replayDebugInfo;

// The row widths that frame groups of informational lines.
inline constexpr std::string_view kAsterisks79 =
    "*******************************************************************************";
inline constexpr std::string_view kAsterisks58 = "**********************************************************";
inline constexpr std::string_view kAsterisks53 = "*****************************************************";

// Writers that do nothing while the log does not exist.
void logLine(std::string_view text);
void logWideLine(std::u16string_view text);
void logHresult(HRESULT code);

// The failure line form: ".\\Src\\<source>:<line>[  Arg:<arg>]<tail>". The Arg piece
// is written whenever an argument is given, even an empty one (a default
// std::string_view gives none).
std::string failureLine(std::string_view source, int line, std::string_view arg = {},
                        std::string_view tail = "  FAILED");
// The failure line followed by the line naming the failing code.
void logFailure(std::string_view source, int line, HRESULT code, std::string_view arg = {});
// The runtime's warning form: the failure line with "  Null Pointer Warning".
void logNullPointerWarning(std::string_view source, int line, std::string_view arg = {});
