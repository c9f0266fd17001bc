#include "shell/FrameCaptureSettings.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "graphics/FrameCaptureSchedule.h"
#include "platform/Path.h"
#include "platform/Window.h"

std::vector<std::uint32_t> parseCaptureFrames(const std::string& text, std::vector<std::string>& bad) {
    std::vector<std::uint32_t> frames;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string token = text.substr(start, end - start);
        std::uint32_t value = 0;
        const auto [rest, error] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (token.empty() || error != std::errc() || rest != token.data() + token.size() || value == 0) {
            bad.push_back(token);
        } else {
            frames.push_back(value);
        }
        start = end + 1;
    }
    return frames;
}

void installFrameCaptureFromEnvironment() {
    const char* frames = std::getenv("VORLY_CAPTURE");
    if (!frames) return;
    FrameCaptureRequest request;
    std::vector<std::string> bad;
    request.frames = parseCaptureFrames(frames, bad);
    for (const std::string& value : bad)
        std::fprintf(stderr, "VORLY_CAPTURE: \"%s\" is not a frame number (1 and above); ignored\n", value.c_str());
    const char* folder = std::getenv("VORLY_CAPTURE_DIR");
    request.folder = folder && *folder ? std::filesystem::path(folder) : Path::root();
    if (const char* exit = std::getenv("VORLY_CAPTURE_EXIT"); exit && *exit) {
        const std::string value = exit;
        if (value == "1") {
            // Closed as a user closes it: the release path, then exit 0.
            request.afterLast = [] {
                if (Window* window = Window::instance()) window->postMessage(WM_CLOSE);
            };
        } else if (value != "0") {
            std::fprintf(stderr, "VORLY_CAPTURE_EXIT: \"%s\" is neither 0 nor 1; ignored\n", exit);
        }
    }
    if (request.frames.empty()) return;
    setFrameCaptureRequest(std::move(request));
}
