// The bundled game's own frames, kept for the real-frame benchmark: stage 1
// played in-process from the play-through's input file on the recording
// device, and the clears and draws of a few chosen frames with every state
// they saw and copies of the textures they read, so that any device can make
// those frames again after the run.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/DeviceState.h"
#include "platform/gfx/RecordingDevice.h"

namespace realframes {

// A texture a kept frame reads or draws into: its description and the
// bytes of every level (empty for a render target, which the frame fills).
struct TextureCopy {
    std::uint32_t width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::uint32_t usage = 0;
    std::vector<std::vector<std::uint8_t>> levels;
    bool renderTarget() const { return (usage & D3DUSAGE_RENDERTARGET) != 0; }
};

// A depth surface a kept frame draws with.
struct DepthCopy {
    std::uint32_t width = 0, height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
};

// One clear or draw as the recording device kept it (`call`, without its
// state), and its state with the resource references dropped: these indices
// name the frame's own copies instead.
struct Step {
    GfxFrameStep call;
    DeviceState state;
    int texture = -1;  // into Frame::textures, -1 none
    int target = -1;   // into Frame::textures (level 0), -1 the back buffer
    int depth = -1;    // into Frame::depths, -1 none
};

struct Frame {
    std::string name;
    std::uint32_t number = 0;    // frame step, 0 based
    std::uint64_t density = 0;   // vertices drawn
    std::uint32_t backBufferWidth = 0, backBufferHeight = 0;
    D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
    std::vector<Step> steps;
    std::vector<TextureCopy> textures;
    std::vector<DepthCopy> depths;
};

// The kept frames, in order: "title" (the densest frame before the stage),
// "midstage" (the densest of the middle fifth of the stage) and "boss" (the
// densest of its last fifth). Frames are chosen by what they draw, not by
// number, so a change of the scripts moves them with the play. The
// recording device reports `survey`, so the game sets the states it would
// set on the adapter the frames are drawn on (its texture filters follow
// the adapter's anisotropy). Empty with the reason in `error` when the game
// could not be played.
std::vector<Frame> captureFrames(const std::filesystem::path& game, const std::filesystem::path& input,
                                 const AdapterSurvey& survey, std::string& error);

}  // namespace realframes
