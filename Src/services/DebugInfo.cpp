#include "services/DebugInfo.h"

#include <filesystem>
#include <optional>

#include "platform/File.h"
#include "platform/Path.h"
#include "platform/Text.h"

DebugInfo* g_debugInfo = nullptr;
ReplayDebugInfo* g_replayDebugInfo = nullptr;

DebugInfo::DebugInfo(std::string_view windowsPath) {
    if (std::optional<std::filesystem::path> path = Path::resolve(windowsPath)) {
        out_.open(*path, std::ios::out | std::ios::trunc | std::ios::binary);
    }
}

DebugInfo::~DebugInfo() {
    std::lock_guard<std::mutex> lock(lock_);
    if (out_.is_open()) {
        writeLeftOutCount();
        if (holding_) out_ << building_;
    }
    out_.flush();
}

void DebugInfo::writeLeftOutCount() {
    if (leftOut_ == 0) return;
    out_ << "直前と同じ行を " << leftOut_ << " 回省略しました\n";
    leftOut_ = 0;
}

void DebugInfo::put(std::string_view text, bool flush) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!out_.is_open()) return;
    // The first piece of a line decides whether its pieces are held back.
    if (building_.empty()) holding_ = repeats_ >= kRepeatLimit;
    building_ += text;
    const bool lineEnds = !text.empty() && text.back() == '\n';
    if (!lineEnds) {
        if (!holding_) {
            out_.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (flush) out_.flush();
        }
        return;
    }
    if (building_ == last_) {
        if (repeats_ >= kRepeatLimit) {
            ++leftOut_;
            building_.clear();
            return;
        }
        ++repeats_;
    } else {
        writeLeftOutCount();
        last_ = building_;
        repeats_ = 1;
    }
    // Held pieces go out with the line end; written ones are not written again.
    if (holding_) {
        out_ << building_;
    } else {
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    out_.flush();
    building_.clear();
}

void DebugInfo::writeLine(std::string_view text) {
    std::string line(text);
    line.push_back('\n');
    put(line, true);
}

void DebugInfo::write(std::string_view text) {
    std::string piece(text);
    piece.push_back(' ');
    put(piece, true);
}

void DebugInfo::writeNumber(std::int32_t number) { write(std::to_string(number)); }

namespace {
std::string wideForLog(std::u16string_view text) {
    std::string bytes = text::narrow(text);
    if (bytes.size() > 255) bytes.resize(255);
    return text::cp932ToUtf8(bytes);
}
}  // namespace

void DebugInfo::writeWide(std::u16string_view text) { put(wideForLog(text) + " ", false); }

void DebugInfo::writeWideLine(std::u16string_view text) { put(wideForLog(text) + "\n", true); }

void DebugInfo::writeHresult(HRESULT code) { writeLine(hresultName(code)); }

void DebugInfo::writeFailure(std::string_view line, HRESULT code) {
    std::string lines(line);
    lines.push_back('\n');
    lines += hresultName(code);
    lines.push_back('\n');
    put(lines, true);
}

void logLine(std::string_view text) {
    if (g_debugInfo) g_debugInfo->writeLine(text);
}

void logWideLine(std::u16string_view text) {
    if (g_debugInfo) g_debugInfo->writeWideLine(text);
}

void logHresult(HRESULT code) {
    if (g_debugInfo) g_debugInfo->writeHresult(code);
}

std::string failureLine(std::string_view source, int line, std::string_view arg, std::string_view tail) {
    std::string text = ".\\Src\\";
    text += source;
    text += ':';
    text += std::to_string(line);
    if (arg.data() != nullptr) {
        text += "  Arg:";
        text += arg;
    }
    text += tail;
    return text;
}

void logFailure(std::string_view source, int line, HRESULT code, std::string_view arg) {
    if (g_debugInfo) g_debugInfo->writeFailure(failureLine(source, line, arg), code);
}

void logNullPointerWarning(std::string_view source, int line, std::string_view arg) {
    logLine(failureLine(source, line, arg, "  Null Pointer Warning"));
}

namespace {
// The file layer's refusals (a FIFO in place of a data file, for one) go to
// this log; set up before any file is opened.
const bool kFileNoticesLogged = (File::setNoticeSink([](std::string_view text) { logLine(text); }), true);
}  // namespace
