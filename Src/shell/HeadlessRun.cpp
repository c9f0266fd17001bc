#include "shell/HeadlessRun.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "input/ReplayManager.h"
#include "platform/Clock.h"
#include "platform/Glyph.h"
#include "platform/Input.h"
#include "platform/Path.h"
#include "platform/Window.h"
#include "platform/gfx/RecordingDevice.h"
#include "platform/Audio.h"
#include "runtime/ExBulletML_Runtime.h"
#include "services/ArchiveBuilder.h"
#include "services/DebugInfo.h"
#include "services/Fnv1a.h"
#include "services/Managers.h"
#include "shell/MainLoop.h"
#include "shell/ReleaseAll.h"
#include "shell/WinMain.h"

namespace fs = std::filesystem;

namespace {
// The data folders read through an archive, packed in the copy as the build
// packs the bundled game.
constexpr const char* kArchiveFolders[] = {"texture", "mesh", "script", "raw"};
bool isFrameLine(const std::string& line) {
    // "<stage> <frame> <16 hex digits>"
    std::size_t i = 0;
    auto digits = [&](bool hex) {
        const std::size_t start = i;
        if (i < line.size() && line[i] == '-' && !hex) ++i;
        while (i < line.size() && (hex ? std::isxdigit(static_cast<unsigned char>(line[i]))
                                        : std::isdigit(static_cast<unsigned char>(line[i]))))
            ++i;
        return i - start;
    };
    if (digits(false) == 0 || i >= line.size() || line[i++] != ' ') return false;
    if (digits(false) == 0 || i >= line.size() || line[i++] != ' ') return false;
    return digits(true) == 16 && i == line.size();
}

// Virtual time. Sleeps move it on without waiting. Loops that poll the
// timer without sleeping (the start-up's one-second measuring loop, the last
// millisecond of the frame pacing) must see it move too: a read that follows
// more than a few reads without a sleep moves it on by 1 ms.
class HeadlessClock : public FakeClock {
public:
    std::uint32_t timeGetTime() override {
        if (++readsWithoutSleep_ > kReadsPerMillisecond) advance(1);
        return FakeClock::timeGetTime();
    }
    std::uint32_t getTickCount() override { return timeGetTime(); }
    void sleep(std::uint32_t milliseconds) override {
        readsWithoutSleep_ = 0;
        FakeClock::sleep(milliseconds);
    }

private:
    static constexpr std::uint32_t kReadsPerMillisecond = 8;
    std::atomic<std::uint32_t> readsWithoutSleep_{0};
};

struct TraceSink {
    HeadlessRun::Result* result;
    void add(std::string_view line) {
        result->trace.emplace_back(line);
        result->traceFrames.push_back(result->frames);
    }
};

void collectLine(void* context, std::string_view line) { static_cast<TraceSink*>(context)->add(line); }

// The replay files ("*.rpy") in a folder.
std::size_t replayFileCount(const fs::path& folder) {
    std::size_t count = 0;
    std::error_code failure;
    for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure))
        if (it->path().extension() == ".rpy") ++count;
    return count;
}
}  // namespace

bool InputScript::parse(const std::string& text, std::string& error) {
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<long> values;
        for (std::string word; words >> word;) {
            char* end = nullptr;
            const long value = std::strtol(word.c_str(), &end, 0);
            // Frame numbers and key codes are 32-bit: a larger number would wrap.
            if (end == word.c_str() || *end != '\0' || value < 0 || value > 0xFFFFFFFFL) {
                error = "line " + std::to_string(number) + ": not a number: " + word;
                return false;
            }
            values.push_back(value);
        }
        if (values.empty()) continue;
        if (values.size() < 3) {
            error = "line " + std::to_string(number) + ": needs <first> <last> <key>...";
            return false;
        }
        Span span;
        span.first = static_cast<std::uint32_t>(values[0]);
        span.last = static_cast<std::uint32_t>(values[1]);
        if (span.last < span.first) {
            error = "line " + std::to_string(number) + ": last frame before first";
            return false;
        }
        for (std::size_t k = 2; k < values.size(); ++k) {
            if (values[k] > 255) {
                error = "line " + std::to_string(number) + ": key code above 255";
                return false;
            }
            span.keys.push_back(static_cast<int>(values[k]));
        }
        spans_.push_back(std::move(span));
    }
    return true;
}

bool InputScript::held(std::uint32_t frame, int key) const {
    for (const Span& span : spans_) {
        if (frame < span.first || frame > span.last) continue;
        for (int k : span.keys)
            if (k == key) return true;
    }
    return false;
}

HeadlessRun::HeadlessRun(const fs::path& game) : folder_("vorly-run") {
    if (!folder_.ok()) {
        error_ = "cannot make a temporary folder";
        return;
    }
    std::error_code failure;
    fs::copy(game, folder_.path(), fs::copy_options::recursive, failure);
    if (failure) {
        error_ = "cannot copy " + game.string() + ": " + failure.message();
        return;
    }
    const fs::path previousRoot = Path::root();
    Path::setRoot(folder_.path());
    for (const char* name : kArchiveFolders) {
        if (!fs::is_directory(folder_.path() / name)) continue;
        if (FAILED(archive_builder::build(name, archive_builder::formForFolder(name)))) {
            error_ = std::string("cannot pack the folder ") + name;
            break;
        }
    }
    Path::setRoot(previousRoot);
}

HeadlessRun::~HeadlessRun() = default;

HeadlessRun::Result HeadlessRun::run(const InputScript& input, std::int32_t playSlot, std::uint32_t maxFrames,
                                     std::int32_t mode) {
    Result result;
    if (!ok()) return result;
    const fs::path previousRoot = Path::root();
    Path::setRoot(folder_.path());

    TestWindow window;
    ScriptedInput keys;
    HeadlessClock clock;
    RecordingBackend gfx(survey_);
    NullAudioBackend audio;
    BoxGlyphSystem glyphs;
    Window::setInstance(&window);
    Input::setInstance(&keys);
    Clock::setInstance(&clock);
    GlyphSystem::setInstance(&glyphs);
    // Each run starts as a new process would.
    ExBulletML_Runtime::reseed();

    // Start-up runs to the message loop, which ends at once on the quit
    // message posted here; the frames are then stepped one by one below.
    window.postQuitMessage(0);
    WinMain(1);

    TraceSink sink{&result};
    if (g_replayDebugInfo) g_replayDebugInfo->setSink(collectLine, &sink);
    if (playSlot > 0 && g_replayManager && SUCCEEDED(g_replayManager->selectReplay(playSlot)))
        g_replayManager->setMode(mode);

    std::vector<int> scriptKeys;
    for (const InputScript::Span& span : input.spans())
        for (int key : span.keys) scriptKeys.push_back(key);

    bool played = false;
    std::uint32_t idleFrames = 0;
    const fs::path replays = folder_.path() / "replay";
    const std::size_t savedBefore = stopWhenSaved_ ? replayFileCount(replays) : 0;
    while (result.frames < maxFrames) {
        for (int key : scriptKeys) keys.setKey(key, input.held(result.frames, key));
        WindowMessage message{};
        while (window.peekMessage(message)) {
            if (message.message == WM_QUIT) {
                result.quit = true;
                break;
            }
            window.dispatch(message);
        }
        if (result.quit) break;
        frameStep();
        if (observer_) observer_(result.frames, gfx);
        ++result.frames;
        // The play is over once no stage has been recorded or played for
        // two seconds after one was.
        if (g_replayManager && g_replayManager->isActive()) {
            played = true;
            idleFrames = 0;
        } else if (played && idleLimit_ > 0 && ++idleFrames >= idleLimit_) {
            break;
        }
        if (stopWhenSaved_ && replayFileCount(replays) > savedBefore) break;
    }

    if (g_replayDebugInfo) g_replayDebugInfo->setSink(nullptr, nullptr);
    releaseAll();
    GlyphSystem::setInstance(nullptr);
    Clock::setInstance(nullptr);
    Input::setInstance(nullptr);
    Window::setInstance(nullptr);
    Path::setRoot(previousRoot);
    return result;
}

bool HeadlessRun::setReplaySetting(std::int32_t slot) {
    if (!ok()) return false;
    const fs::path init = folder_.path() / "script" / "init.xml";
    std::string text;
    {
        std::ifstream in(init, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string setting = "<replay>" + std::to_string(slot) + "</replay>";
    const std::size_t open = text.find("<replay>");
    const std::size_t close = open == std::string::npos ? open : text.find("</replay>", open);
    if (close != std::string::npos) {
        text.replace(open, close + 9 - open, setting);
    } else if (const std::size_t section = text.find("<xbmlconfig>"); section != std::string::npos) {
        text.insert(section + 12, setting);
    } else {
        error_ = "no <xbmlconfig> in " + init.string();
        return false;
    }
    std::ofstream(init, std::ios::binary | std::ios::trunc) << text;
    const fs::path previousRoot = Path::root();
    Path::setRoot(folder_.path());
    const bool packed = SUCCEEDED(archive_builder::build("script", archive_builder::formForFolder("script")));
    Path::setRoot(previousRoot);
    if (!packed) error_ = "cannot pack the folder script";
    return packed;
}

std::vector<std::int32_t> HeadlessRun::replaySlots() const {
    std::vector<std::int32_t> slots;
    for (std::int32_t slot = 1; slot <= ReplayManager::kSlotCount; ++slot) {
        if (fs::exists(folder_.path() / "replay" / ("replay" + std::to_string(slot) + ".rpy"))) slots.push_back(slot);
    }
    return slots;
}

std::vector<std::string> frameLines(const std::vector<std::string>& trace) {
    std::vector<std::string> lines;
    for (const std::string& line : trace)
        if (isFrameLine(line)) lines.push_back(line);
    return lines;
}

std::uint64_t hashTrace(const std::vector<std::string>& trace) {
    Fnv1a hash;
    for (const std::string& line : frameLines(trace)) {
        hash.addBytes(line.data(), line.size());
        hash.addBytes("\n", 1);
    }
    return hash.value();
}
