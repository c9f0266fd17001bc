// The one object that owns Direct3D for the whole program: it creates the
// adapter interface, surveys adapter 0 (identifier, capabilities, texture
// formats, and every usable combination of display, back-buffer and depth
// format and display size, for window and full-screen mode), logs what it
// finds, creates the device from the configuration and keeps it through
// resets and screen-mode switches. It also converts between the 640 x 480
// virtual screen and device pixels, sets viewports and clears, owns the debug
// font, and switches between fixed sets of render states (state modes).
//
// Bases: RenderManager (render states, fog, light, render targets), then
// TransformManager (camera and transforms).
#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string_view>

#include "graphics/D3DDevice.h"
#include "graphics/DebugFont.h"
#include "graphics/FormatD3D.h"
#include "graphics/RenderManager.h"
#include "graphics/TransformManager.h"
#include "platform/HResult.h"
#include "platform/gfx/GfxAdapter.h"

class D3DObject : public RenderManager, public TransformManager {
public:
    // Capability keys of isCapabilityAvailable.
    static constexpr std::uint32_t kCapVertexFog = 0;
    static constexpr std::uint32_t kCapBumpMapping = 1;
    static constexpr std::uint32_t kCapDxt1 = 2;

    D3DObject();
    ~D3DObject() override;
    D3DObject(const D3DObject&) = delete;
    D3DObject& operator=(const D3DObject&) = delete;

    // Start-up survey.
    HRESULT initDirect3D();
    HRESULT checkDeviceCaps();
    void checkTextureFormats();
    HRESULT checkTextureFormat(D3DFORMAT format);
    HRESULT surveyFormats(std::uint32_t windowed);

    // Device creation.
    HRESULT initDevice(std::uint32_t width, std::uint32_t height, std::uint32_t refreshRate, std::uint32_t windowed,
                       std::uint32_t multisample, std::uint32_t use16Bit, std::uint32_t vsync);
    HRESULT createDevice(std::uint32_t useDepthStencil);

    // Reset and screen-mode switch.
    HRESULT resetDevice(std::uint32_t restoreRect);
    HRESULT toggleFullScreen();
    // True from a failed reset until one succeeds: the default-pool objects
    // are released, so frames draw nothing and Present is not called.
    bool areDeviceObjectsReleased() const { return objectsReleased_; }

    std::uint32_t isCapabilityAvailable(std::uint32_t key) const;
    std::uint32_t isTextureFormatSupported(std::int32_t format) const;
    std::uint32_t getVsync() const { return vsync_; }
    std::uint32_t isWindowed() const { return windowed_; }
    // True when Present on the retrace paces the game at 60 frames a second;
    // otherwise the frame counter paces.
    bool retraceGives60Hz() const;

    // Virtual screen.
    void setVirtualScreenSize(std::int32_t width, std::int32_t height);
    // True while virtual and device units are the same (the back buffer has
    // the virtual size): every conversion is then exactly the identity.
    bool isIdentityScale() const {
        return static_cast<float>(backBufferWidth_) == virtualWidth_ &&
               static_cast<float>(backBufferHeight_) == virtualHeight_;
    }
    float toDeviceX(float x) const;
    float toDeviceY(float y) const;
    float toVirtualX(float x) const;
    float toVirtualY(float y) const;
    struct FloatRect {
        float x, y, width, height;
    };
    FloatRect toDeviceRect(float x, float y, float width, float height) const;

    // Viewports and clearing, in virtual units.
    HRESULT setViewport();
    HRESULT setVirtualViewport(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    HRESULT clearRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    HRESULT clearRectColor(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                           std::uint32_t red, std::uint32_t green, std::uint32_t blue);
    void setClearColor(std::uint32_t red, std::uint32_t green, std::uint32_t blue);
    // The clear colour as 0x00RRGGBB.
    std::uint32_t getClearColor() const { return clearRed_ << 16 | clearGreen_ << 8 | clearBlue_; }
    void setClearEnabled(std::uint32_t flag) { clearEnabled_ = flag; }
    std::uint32_t isClearEnabled() const { return clearEnabled_; }

    // Font and text.
    HRESULT createFont();
    // Draws in the font's own states; returns the height drawn (0 on
    // failure), or E_FAIL without a font.
    std::int32_t drawText(std::int32_t x, std::int32_t y, std::string_view text);

    // Texture memory.
    std::uint32_t getAvailableTextureMem() const;
    // Texture memory available at creation minus available now; negative
    // when the device reports more free memory than it did then.
    std::int64_t getTextureMemoryUsed() const;

    // State modes: 1 sprites (pre-transformed), 2 lit meshes, 3 unlit quads.
    void setRenderMode(std::int32_t mode);
    void setOpaqueMode(std::int32_t flag);

    void getCaps(D3DCAPS9* caps) const {
        if (caps) *caps = caps_;
    }
    std::uint32_t getUseDepthStencil() const { return useDepthStencil_; }
    D3DFORMAT getBackBufferFormat() const { return chosenBackBufferFormat_; }
    D3DFORMAT getDepthFormat() const { return chosenDepthFormat_; }
    std::uint32_t getMultiSampleLevel() const override { return multisample_; }
    std::uint32_t getBackBufferWidth() const { return backBufferWidth_; }
    std::uint32_t getBackBufferHeight() const { return backBufferHeight_; }

    // The shadow matrix from the shadow point and plane and light 0.
    void computeShadowMatrix();

    // What tests read.
    const std::list<CombinationRecord>& combinations(std::uint32_t windowed) const {
        return windowed ? windowCombinations_ : fullScreenCombinations_;
    }
    const FormatD3D& formats(std::uint32_t windowed) const { return windowed ? windowFormats_ : fullScreenFormats_; }
    std::uint32_t getVertexProcessing() const { return vertexProcessing_; }
    std::uint32_t getRefreshRate() const { return refreshRate_; }
    std::uint32_t presentInterval() const;

protected:
    const D3DCAPS9& adapterCaps() const override { return caps_; }
    RenderTargetDevice renderTargetDevice() const override;

private:
    // The present parameters of a combination record of the current mode.
    D3DPRESENT_PARAMETERS presentParameters(const FormatD3D& formats, const CombinationRecord& record);
    // Multisampling for the chosen formats; logs the level when used.
    void chooseMultiSampling(D3DPRESENT_PARAMETERS& parameters, bool logUnused);
    // The device states made at creation and again after a reset.
    void applyInitialStates(bool afterReset);
    void logCombination(const FormatD3D& formats, const CombinationRecord& record) const;
    HRESULT clearDeviceRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                            D3DCOLOR colour);

    GfxRef<GfxAdapter> direct3D_;
    D3DCAPS9 caps_;
    D3DDEVTYPE deviceType_ = D3DDEVTYPE_HAL;
    std::unique_ptr<DebugFont> font_;
    std::list<CombinationRecord> windowCombinations_;
    std::list<CombinationRecord> fullScreenCombinations_;
    std::map<std::uint32_t, std::uint32_t> capabilities_;
    std::map<D3DFORMAT, std::uint32_t> textureFormats_;
    std::uint32_t textureBlendStages_ = 1;
    std::uint32_t windowed_ = 0;
    std::uint32_t useDepthStencil_ = 1;
    std::uint32_t multisample_ = 0;
    std::uint32_t use16Bit_ = 0;
    std::uint32_t vsync_ = 1;
    std::uint32_t backBufferWidth_ = 640;
    std::uint32_t backBufferHeight_ = 480;
    std::uint32_t refreshRate_ = 60;
    FormatD3D windowFormats_;
    FormatD3D fullScreenFormats_;
    float virtualWidth_ = 640.0f;
    float virtualHeight_ = 480.0f;
    std::uint32_t vertexProcessing_ = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    std::uint32_t textureMemoryAtStart_ = 0;
    D3DFORMAT chosenBackBufferFormat_ = D3DFMT_UNKNOWN;
    D3DFORMAT chosenDepthFormat_ = D3DFMT_UNKNOWN;
    // Starts at a value no call passes, so the first call applies its states.
    std::int32_t alphaTestCache_ = -1;
    std::int32_t stateModeCache_ = 1;
    std::uint32_t clearRed_ = 0, clearGreen_ = 0, clearBlue_ = 0;
    std::uint32_t clearEnabled_ = 1;
    bool objectsReleased_ = false;
};
