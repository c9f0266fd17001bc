// Frames asked for by number, saved from the back buffer as
// "frame-N.png" (8-bit RGB, back-buffer size) into a folder as presentFrame
// reaches them: after the pacing wait, before Present. A frame whose drawing
// is skipped is saved at the next presented frame under the number asked
// for. One stderr line per file; the debug log is not touched. When the last
// frame is saved, an optional callback runs (the shell closes its window).
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

struct FrameCaptureRequest {
    std::vector<std::uint32_t> frames;  // frame numbers, 1 and above
    std::filesystem::path folder;
    std::function<void()> afterLast;
};

// Replaces the request (an empty frame list switches capturing off).
void setFrameCaptureRequest(FrameCaptureRequest request);
// Called by presentFrame with the frame counter's number; saves what is due
// unless drawing is skipped on this frame.
void captureDueFrames(std::uint32_t frameNumber, bool skipped);
