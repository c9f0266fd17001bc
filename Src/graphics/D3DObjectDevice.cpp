// Device creation, the initial device states, reset and the screen-mode
// switch.
#include <string>

#include "graphics/D3DObject.h"
#include "graphics/MeshManager.h"
#include "graphics/ParticleManager.h"
#include "graphics/SpriteManagerManager.h"
#include "platform/Window.h"
#include "platform/gfx/GfxDevice.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace {
constexpr const char* kSource = "D3DObject";

bool isThirtyTwoBit(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

void logLabelled(std::string_view label, const std::string& value) {
    if (!g_debugInfo) return;
    g_debugInfo->write(label);
    g_debugInfo->writeLine(value);
}

// Shows or hides the cursor. The cursor keeps a display counter; a reset
// happens on every focus and size event, so showing it once per reset would
// pile up counts and leave it visible in full screen. The counter is moved
// only as far as the visibility asked for.
void setCursorVisible(bool show) {
    Window* window = Window::instance();
    if (!window) return;
    if (show) {
        while (window->cursorCounter() < 0) window->showCursor(true);
    } else {
        while (window->cursorCounter() >= 0) window->showCursor(false);
    }
}
}  // namespace

bool D3DObject::retraceGives60Hz() const {
    // The device knows once it exists; before that the retrace is taken to
    // give 60 frames a second.
    GfxDevice* device = g_d3dDevice;
    return device == nullptr || device->presentsAt60Hz();
}

std::uint32_t D3DObject::presentInterval() const {
    if (!vsync_) return D3DPRESENT_INTERVAL_IMMEDIATE;
    // With force60fps the frame counter paces and Present does not wait.
    if (g_systemInfo && g_systemInfo->isForce60fps()) return D3DPRESENT_INTERVAL_IMMEDIATE;
    return D3DPRESENT_INTERVAL_DEFAULT;
}

D3DPRESENT_PARAMETERS D3DObject::presentParameters(const FormatD3D& formats, const CombinationRecord& record) {
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = backBufferWidth_;
    parameters.BackBufferHeight = backBufferHeight_;
    parameters.BackBufferFormat = formats.pairs[record.backBufferFormat].backBuffer;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = static_cast<std::int32_t>(windowed_);
    parameters.EnableAutoDepthStencil = static_cast<std::int32_t>(useDepthStencil_);
    parameters.AutoDepthStencilFormat = formats.depths[record.depthFormat].format;
    parameters.Flags = 0;
    // The focus window serves as the device window.
    parameters.hDeviceWindow = nullptr;
    parameters.FullScreen_RefreshRateInHz = windowed_ ? 0 : refreshRate_;
    parameters.PresentationInterval = presentInterval();
    chosenBackBufferFormat_ = parameters.BackBufferFormat;
    chosenDepthFormat_ = parameters.AutoDepthStencilFormat;
    return parameters;
}

void D3DObject::chooseMultiSampling(D3DPRESENT_PARAMETERS& parameters, bool logUnused) {
    std::uint32_t quality = 0;
    HRESULT result = direct3D_->checkDeviceMultiSampleType(D3DADAPTER_DEFAULT, deviceType_, parameters.BackBufferFormat,
                                                           static_cast<std::int32_t>(windowed_),
                                                           D3DMULTISAMPLE_NONMASKABLE, &quality);
    bool usable = multisample_ != 0 && SUCCEEDED(result);
    if (usable && useDepthStencil_) {
        std::uint32_t depthQuality = 0;
        usable = SUCCEEDED(direct3D_->checkDeviceMultiSampleType(
            D3DADAPTER_DEFAULT, deviceType_, parameters.AutoDepthStencilFormat, static_cast<std::int32_t>(windowed_),
            D3DMULTISAMPLE_NONMASKABLE, &depthQuality));
    }
    if (usable && quality > 1) {
        logLine(std::to_string(quality) + " レベルのフルシーンマルチサンプリングを利用します");
        parameters.MultiSampleType = D3DMULTISAMPLE_NONMASKABLE;
        parameters.MultiSampleQuality = quality - 1;
    } else {
        if (logUnused) logLine("フルシーンマルチサンプリングを利用しません");
        parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
        parameters.MultiSampleQuality = 0;
    }
}

HRESULT D3DObject::initDevice(std::uint32_t width, std::uint32_t height, std::uint32_t refreshRate,
                              std::uint32_t windowed, std::uint32_t multisample, std::uint32_t use16Bit,
                              std::uint32_t vsync) {
    backBufferWidth_ = width;
    backBufferHeight_ = height;
    // When the survey found no full-screen mode at the wanted rate it fell
    // back to any rate (0); the full-screen combinations it found are only
    // usable at any rate, so that choice stands.
    if (refreshRate_ != 0) refreshRate_ = refreshRate;
    windowed_ = windowed;
    multisample_ = multisample;
    use16Bit_ = use16Bit;
    vsync_ = vsync;
    if (!direct3D_) return E_FAIL;

    HRESULT result = createDevice(1);
    if (FAILED(result) && windowed_) {
        windowed_ = 0;
        result = createDevice(1);
        if (FAILED(result)) windowed_ = 1;
    }
    if (FAILED(result) && vertexProcessing_ == D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        logLine(kAsterisks79);
        logLine("デバイスの作成に失敗しました。");
        logLine("ソフトウェア頂点処理で初期化を試みます。");
        vertexProcessing_ = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        result = createDevice(1);
        if (FAILED(result) && windowed_) {
            windowed_ = 0;
            result = createDevice(1);
        }
    }
    if (FAILED(result)) return result;

    setCursorVisible(windowed_ != 0);
    applyInitialStates(false);
    setViewport();
    textureMemoryAtStart_ = g_d3dDevice->getAvailableTextureMem();
    return result;
}

HRESULT D3DObject::createDevice(std::uint32_t useDepthStencil) {
    HRESULT result = E_FAIL;
    const FormatD3D& formats = windowed_ ? windowFormats_ : fullScreenFormats_;
    const std::list<CombinationRecord>& list = windowed_ ? windowCombinations_ : fullScreenCombinations_;
    useDepthStencil_ = useDepthStencil;

    logLine("");
    logLine(kAsterisks79);
    logLine(windowed_ ? "ウィンドウモードで Direct3D デバイスを作成中 " : "フルスクリーンモードで Direct3D デバイスを作成中");
    if (!useDepthStencil_) logLine("深度・ステンシルバッファは使用しません");

    const std::uint32_t refresh = windowed_ ? 0 : refreshRate_;
    logLine("Width = " + std::to_string(backBufferWidth_) + " Height = " + std::to_string(backBufferHeight_) +
            " RefreshRate = " + (refresh == 0 ? std::string("Default") : std::to_string(refresh)));

    for (const CombinationRecord& record : list) {
        const DisplaySizeEntry& size = formats.sizes[record.displaySize];
        if (size.width != backBufferWidth_ || size.height != backBufferHeight_) continue;
        if (use16Bit_ && isThirtyTwoBit(formats.pairs[record.backBufferFormat].backBuffer)) continue;

        D3DPRESENT_PARAMETERS parameters = presentParameters(formats, record);
        chooseMultiSampling(parameters, true);
        logCombination(formats, record);

        Window* focus = Window::instance();
        const std::uint32_t behaviour = vertexProcessing_ | D3DCREATE_FPU_PRESERVE;
        GfxDevice* device = nullptr;
        HRESULT first = direct3D_->createDevice(D3DADAPTER_DEFAULT, deviceType_, focus, behaviour, &parameters,
                                                &device);
        HRESULT second = first;
        if (FAILED(first)) {
            second = direct3D_->createDevice(D3DADAPTER_DEFAULT, deviceType_, focus, behaviour, &parameters, &device);
        }
        if (FAILED(second)) {
            logLine("Direct3D デバイス作成失敗");
            logHresult(second);
            logLine("");
            result = first;
            continue;
        }
        // A device made earlier (a repeated creation) is let go, not leaked.
        if (g_d3dDevice) g_d3dDevice->release();
        g_d3dDevice = device;
        logLine("Direct3D デバイス作成成功");
        logLine("");
        logLine("利用可能なテクスチャメモリ (AGP 含む) は " + std::to_string(device->getAvailableTextureMem() >> 20) +
                " MBytes");
        if (FAILED(first)) logLine("");
        result = second;
        break;
    }
    setBlendMode(0);
    return result;
}

void D3DObject::applyInitialStates(bool afterReset) {
    GfxDevice* device = g_d3dDevice;
    if (!device) return;
    device->setRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->setTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->setRenderState(D3DRS_MULTISAMPLEANTIALIAS, 0);
    device->setSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);

    const bool anisotropic = caps_.MaxAnisotropy >= 2;
    if ((caps_.TextureFilterCaps & D3DPTFILTERCAPS_MAGFANISOTROPIC) && anisotropic) {
        device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
        device->setSamplerState(0, D3DSAMP_MAXANISOTROPY, caps_.MaxAnisotropy);
        logLabelled(afterReset ? "拡大時異方性テクスチャフィルタリングを有効にします : "
                               : "拡大時異方性テクスチャフィルタリングを有効にします MAX : ",
                    "Level = " + std::to_string(caps_.MaxAnisotropy));
    } else if (caps_.TextureFilterCaps & D3DPTFILTERCAPS_MAGFLINEAR) {
        device->setSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }
    if ((caps_.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC) && anisotropic) {
        device->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
        device->setSamplerState(0, D3DSAMP_MAXANISOTROPY, caps_.MaxAnisotropy);
        logLabelled("縮小時異方性テクスチャフィルタリングを有効にします MIN: ",
                    "Level = " + std::to_string(caps_.MaxAnisotropy));
    } else if (caps_.TextureFilterCaps & D3DPTFILTERCAPS_MINFLINEAR) {
        // As for magnification: linear only where the adapter offers it.
        device->setSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    }

    device->setSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->setSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->setSamplerState(0, D3DSAMP_BORDERCOLOR, 0);
    device->setRenderState(D3DRS_STENCILENABLE, 0);
    device->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

HRESULT D3DObject::resetDevice(std::uint32_t restoreRect) {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    const FormatD3D& formats = windowed_ ? windowFormats_ : fullScreenFormats_;
    const std::list<CombinationRecord>& list = windowed_ ? windowCombinations_ : fullScreenCombinations_;

    // Default-pool objects go before the reset.
    if (g_meshManager) g_meshManager->releaseDeviceObjects();
    if (g_particleManager) g_particleManager->releaseBuffers();
    releaseRenderTargets();
    if (g_spriteManagerManager) g_spriteManagerManager->releaseBuffers();
    if (font_) font_->onLostDevice();
    objectsReleased_ = true;

    // The desktop's other windows are not ours to move on this platform, so
    // their placements are neither recorded nor put back.
    Window* window = Window::instance();
    if (windowed_) {
        if (window) {
            window->setStyle(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
            if (restoreRect) {
                const ScreenRect& r = g_mainWindowRect;
                window->setPlacement(r.left, r.top, r.right - r.left, r.bottom - r.top);
            }
        }
        setCursorVisible(true);
    } else {
        if (window) window->setStyle(WS_POPUP | WS_VISIBLE);
        setCursorVisible(false);
    }

    HRESULT result = E_FAIL;
    for (const CombinationRecord& record : list) {
        // The record's display size is not compared: the back buffer keeps
        // the configured size.
        if (use16Bit_ && isThirtyTwoBit(formats.pairs[record.backBufferFormat].backBuffer)) continue;
        D3DPRESENT_PARAMETERS parameters = presentParameters(formats, record);
        chooseMultiSampling(parameters, false);
        result = device->reset(&parameters);
        if (FAILED(result)) continue;
        logLine("Reset 成功");
        logLine(std::string(formats.pairs[record.backBufferFormat].name) + formats.depths[record.depthFormat].name);
        break;
    }
    if (FAILED(result)) {
        logFailure(kSource, 1050, result, "Reset 失敗");
        return result;
    }

    objectsReleased_ = false;
    applyInitialStates(true);
    setViewport();
    if (g_meshManager) g_meshManager->createDeviceObjects();
    if (g_particleManager) g_particleManager->createBuffer();
    if (g_spriteManagerManager) g_spriteManagerManager->useVertexBuffer();
    if (font_) font_->onResetDevice();
    applyFog();
    restoreRenderTargets();
    setBlendMode(0);
    // Mode 2 first, so that every state of mode 1 is applied again.
    setRenderMode(2);
    setRenderMode(1);
    forgetBoundTexture();
    restoreTransforms();
    restoreLighting();
    return S_OK;
}

HRESULT D3DObject::toggleFullScreen() {
    if (!g_d3dDevice) return E_FAIL;
    windowed_ = windowed_ ? 0 : 1;
    return resetDevice(1);
}
