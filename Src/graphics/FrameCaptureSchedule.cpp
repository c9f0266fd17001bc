#include "graphics/FrameCaptureSchedule.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "graphics/D3DDevice.h"
#include "graphics/FrameCapture.h"
#include "platform/gfx/PngWriter.h"

namespace {
FrameCaptureRequest g_request;
std::size_t g_next = 0;  // the first frame of the request not saved yet

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

void saveFrame(std::uint32_t number, const FramePicture& picture, const std::vector<std::uint8_t>& png) {
    const std::string name = "frame-" + std::to_string(number) + ".png";
    if (png.empty()) {
        std::fprintf(stderr, "cannot capture %s\n", name.c_str());
    } else if (!writeFile(g_request.folder / name, png)) {
        std::fprintf(stderr, "cannot write %s\n", (g_request.folder / name).string().c_str());
    } else {
        std::fprintf(stderr, "saved %s %ux%u\n", name.c_str(), picture.width, picture.height);
    }
}
}  // namespace

void setFrameCaptureRequest(FrameCaptureRequest request) {
    std::sort(request.frames.begin(), request.frames.end());
    request.frames.erase(std::unique(request.frames.begin(), request.frames.end()), request.frames.end());
    g_request = std::move(request);
    g_next = 0;
}

void captureDueFrames(std::uint32_t frameNumber, bool skipped) {
    if (g_next >= g_request.frames.size() || g_request.frames[g_next] > frameNumber || skipped) return;
    FramePicture picture;
    std::vector<std::uint8_t> png;
    if (SUCCEEDED(captureFrame(g_d3dDevice, picture))) encodePngRgb(picture.width, picture.height,
                                                                    picture.argb.data(), png);
    // Every number asked for up to this frame gets this picture (the ones
    // before it were skipped frames).
    while (g_next < g_request.frames.size() && g_request.frames[g_next] <= frameNumber)
        saveFrame(g_request.frames[g_next++], picture, png);
    if (g_next == g_request.frames.size() && g_request.afterLast) g_request.afterLast();
}
