#include "RealFrameCapture.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "input/ReplayManager.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/Managers.h"
#include "shell/HeadlessRun.h"

namespace realframes {
namespace {

constexpr std::uint32_t kMaxFrames = 12000;

std::uint64_t verticesDrawn(const RecordingBackend& gfx) {
    std::uint64_t vertices = 0;
    for (const GfxDrawRecord& draw : gfx.draws())
        if (draw.stride) vertices += draw.vertices.size() / draw.stride;
    return vertices;
}

// The frames of a play in which a stage is being recorded.
struct Play {
    std::vector<std::uint64_t> density;  // per frame
    std::uint32_t stageFirst = 0, stageLast = 0;
    bool stage = false;
};

// The densest frame in [first, last), or `first` when the range is empty.
std::uint32_t densest(const Play& play, std::uint32_t first, std::uint32_t last) {
    std::uint32_t best = first;
    for (std::uint32_t f = first; f < last && f < play.density.size(); ++f)
        if (play.density[f] > play.density[best]) best = f;
    return best;
}

// Copies the level bytes of a texture of the recording device (readable
// only while that device lives).
TextureCopy copyTexture(GfxTexture* texture) {
    TextureCopy copy;
    D3DSURFACE_DESC desc;
    texture->getLevelDesc(0, &desc);
    copy.width = desc.Width;
    copy.height = desc.Height;
    copy.format = desc.Format;
    copy.usage = desc.Usage;
    const std::uint32_t levels = texture->getLevelCount();
    for (std::uint32_t level = 0; level < levels; ++level) {
        D3DSURFACE_DESC levelDesc;
        D3DLOCKED_RECT locked;
        texture->getLevelDesc(level, &levelDesc);
        std::vector<std::uint8_t> bytes;
        if (!copy.renderTarget() && texture->lockRect(level, &locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            const std::size_t row = std::size_t(levelDesc.Width) * 4;
            for (std::uint32_t y = 0; y < levelDesc.Height; ++y) {
                const auto* from = static_cast<const std::uint8_t*>(locked.pBits) + std::size_t(y) * locked.Pitch;
                bytes.insert(bytes.end(), from, from + std::min<std::size_t>(row, std::size_t(locked.Pitch)));
            }
            texture->unlockRect(level);
        }
        copy.levels.push_back(std::move(bytes));
    }
    return copy;
}

// Where a surface's pixels are: a texture level shares its texture's
// storage, so the surface and the texture it belongs to lock the same bytes.
const void* pixelsOf(GfxSurface* surface) {
    D3DLOCKED_RECT locked;
    if (surface->lockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return nullptr;
    surface->unlockRect();
    return locked.pBits;
}

// The frame's steps with their resources replaced by the frame's own copies.
Frame keepFrame(std::string name, std::uint32_t number, std::uint64_t density, RecordingBackend& gfx) {
    Frame frame;
    frame.name = std::move(name);
    frame.number = number;
    frame.density = density;
    RecordingDevice* device = gfx.device();
    const D3DPRESENT_PARAMETERS& p = device->presentParameters();
    frame.backBufferWidth = p.BackBufferWidth;
    frame.backBufferHeight = p.BackBufferHeight;
    frame.backBufferFormat = p.BackBufferFormat;
    GfxRef<GfxSurface> backBuffer;
    device->getBackBuffer(backBuffer.put());
    const void* backPixels = pixelsOf(backBuffer.get());

    std::vector<GfxTexture*> textures;
    std::vector<const void*> texturePixels;  // level 0 of each
    std::vector<GfxSurface*> depths;
    auto textureIndex = [&](GfxTexture* texture) {
        const auto at = std::find(textures.begin(), textures.end(), texture);
        if (at != textures.end()) return int(at - textures.begin());
        textures.push_back(texture);
        GfxRef<GfxSurface> level;
        texture->getSurfaceLevel(0, level.put());
        texturePixels.push_back(level ? pixelsOf(level.get()) : nullptr);
        frame.textures.push_back(copyTexture(texture));
        return int(textures.size() - 1);
    };
    std::vector<GfxFrameStep> recordedSteps = gfx.takeFrameSteps();
    // The textures first: a frame draws into a target texture before it reads it.
    for (const GfxFrameStep& recorded : recordedSteps)
        if (recorded.state->textures[0]) textureIndex(recorded.state->textures[0].get());
    for (GfxFrameStep& recorded : recordedSteps) {
        Step step;
        DeviceState& s = step.state;
        s = *recorded.state;
        if (s.textures[0]) step.texture = textureIndex(s.textures[0].get());
        if (s.depthStencil) {
            const auto at = std::find(depths.begin(), depths.end(), s.depthStencil.get());
            step.depth = int(at - depths.begin());
            if (at == depths.end()) {
                depths.push_back(s.depthStencil.get());
                D3DSURFACE_DESC desc;
                s.depthStencil->getDesc(&desc);
                frame.depths.push_back({desc.Width, desc.Height, desc.Format});
            }
        }
        if (s.renderTarget) {
            const void* pixels = pixelsOf(s.renderTarget.get());
            const auto at = std::find(texturePixels.begin(), texturePixels.end(), pixels);
            if (pixels == backPixels) {
                step.target = -1;
            } else if (at != texturePixels.end()) {
                step.target = int(at - texturePixels.begin());
            } else {
                // A target the frame never reads: a texture of its own.
                D3DSURFACE_DESC desc;
                s.renderTarget->getDesc(&desc);
                TextureCopy target;
                target.width = desc.Width;
                target.height = desc.Height;
                target.format = desc.Format;
                target.usage = D3DUSAGE_RENDERTARGET;
                target.levels.emplace_back();
                frame.textures.push_back(std::move(target));
                textures.push_back(nullptr);
                texturePixels.push_back(pixels);
                step.target = int(textures.size() - 1);
            }
        }
        // Every resource is named by index now; the recording device's
        // objects go with it.
        s.textures = {};
        s.streamBuffer.reset();
        s.indices.reset();
        s.renderTarget.reset();
        s.depthStencil.reset();
        recorded.state.reset();
        step.call = std::move(recorded);
        frame.steps.push_back(std::move(step));
    }
    return frame;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::vector<Frame> captureFrames(const std::filesystem::path& game, const std::filesystem::path& input,
                                 const AdapterSurvey& survey, std::string& error) {
    InputScript keys;
    if (!keys.parse(readText(input), error)) return {};
    HeadlessRun run(game);
    if (!run.ok()) {
        error = run.error();
        return {};
    }
    run.setSurvey(survey);

    // First play: how much each frame draws, and where the stage is.
    Play play;
    run.setFrameObserver([&play](std::uint32_t frame, RecordingBackend& gfx) {
        play.density.push_back(verticesDrawn(gfx));
        if (g_replayManager && g_replayManager->isActive()) {
            if (!play.stage) play.stageFirst = frame;
            play.stage = true;
            play.stageLast = frame;
        }
        gfx.clearCalls();
    });
    run.run(keys, 0, kMaxFrames);
    if (!play.stage || play.stageLast - play.stageFirst < 100) {
        error = "the play-through recorded no stage";
        return {};
    }
    const std::uint32_t length = play.stageLast - play.stageFirst;
    struct Wanted {
        const char* name;
        std::uint32_t frame;
    };
    const Wanted wanted[] = {
        {"title", densest(play, 1, play.stageFirst)},
        {"midstage", densest(play, play.stageFirst + length * 2 / 5, play.stageFirst + length * 3 / 5)},
        {"boss", densest(play, play.stageFirst + length * 4 / 5, play.stageLast)},
    };

    // Second play, the same frame for frame (the run starts as a new
    // process would): the chosen frames kept.
    std::vector<Frame> frames;
    run.setFrameObserver([&](std::uint32_t frame, RecordingBackend& gfx) {
        for (const Wanted& w : wanted)
            if (w.frame == frame && frames.size() < std::size(wanted))
                frames.push_back(keepFrame(w.name, frame, play.density[frame], gfx));
        gfx.clearCalls();
        gfx.keepFrameSteps = true;
    });
    run.run(keys, 0, wanted[2].frame + 1);
    if (frames.size() != std::size(wanted)) {
        error = "the second play did not reach the chosen frames";
        return {};
    }
    std::sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.number < b.number; });
    return frames;
}

}  // namespace realframes
