#include "graphics/D3DObject.h"

#include <string>

#include "platform/Window.h"
#include "platform/gfx/GfxDevice.h"
#include "services/DebugInfo.h"

GfxDevice* g_d3dDevice = nullptr;

namespace {
// Direct3DCreate9's SDK version.
constexpr std::uint32_t kSdkVersion = 31;

// A label and a value on one line, the label followed by a blank.
void logLabelled(std::string_view label, const std::string& value) {
    if (!g_debugInfo) return;
    g_debugInfo->write(label);
    g_debugInfo->writeLine(value);
}

const D3DFORMAT kSurveyedTextureFormats[] = {
    D3DFMT_R8G8B8,   D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5,
    D3DFMT_A4R4G4B4, D3DFMT_DXT1,     D3DFMT_DXT2,     D3DFMT_DXT3,   D3DFMT_DXT4,     D3DFMT_DXT5,
};
}  // namespace

D3DObject::D3DObject() = default;

D3DObject::~D3DObject() {
    destroyRenderTargets();
    font_.reset();
    if (g_d3dDevice) {
        g_d3dDevice->release();
        g_d3dDevice = nullptr;
    }
    direct3D_.reset();
}

RenderTargetDevice D3DObject::renderTargetDevice() const {
    RenderTargetDevice device;
    device.backBufferWidth = backBufferWidth_;
    device.backBufferHeight = backBufferHeight_;
    device.backBufferFormat = chosenBackBufferFormat_;
    device.depthFormat = chosenDepthFormat_;
    device.useDepthStencil = useDepthStencil_ != 0;
    device.virtualWidth = virtualWidth_;
    device.virtualHeight = virtualHeight_;
    return device;
}

std::uint32_t D3DObject::isCapabilityAvailable(std::uint32_t key) const {
    auto it = capabilities_.find(key);
    return it != capabilities_.end() && it->second != 0 ? 1 : 0;
}

std::uint32_t D3DObject::isTextureFormatSupported(std::int32_t format) const {
    auto it = textureFormats_.find(static_cast<D3DFORMAT>(format));
    return it != textureFormats_.end() && it->second != 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Start-up survey

HRESULT D3DObject::initDirect3D() {
    direct3D_ = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(kSdkVersion));
    if (!direct3D_) {
        if (Window* window = Window::instance()) {
            window->messageBox("Direct3D オブジェクトの作成に失敗しました\r\nDirectX9 がインストールされていない可能性があります",
                               "Direct3D 初期化エラー");
        }
        logLine("Direct3D オブジェクトの作成に失敗しました");
        logLine("DirectX9 がインストールされていない可能性があります");
        return E_FAIL;
    }
    if (FAILED(checkDeviceCaps())) return E_FAIL;
    windowed_ = 1;
    if (FAILED(surveyFormats(1))) return E_FAIL;
    windowed_ = 0;
    if (FAILED(surveyFormats(0))) return E_FAIL;
    if (fullScreenCombinations_.empty()) {
        // No full-screen mode at the wanted rate: accept any rate.
        refreshRate_ = 0;
        if (FAILED(surveyFormats(0))) return E_FAIL;
    }
    return S_OK;
}

HRESULT D3DObject::checkDeviceCaps() {
    if (!direct3D_) return E_FAIL;
    logLine("");
    logLine(kAsterisks79);
    logLine("グラフィックボードの能力を調査中");
    logLine("");

    D3DADAPTER_IDENTIFIER9 identifier;
    HRESULT result = direct3D_->getAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
    if (FAILED(result)) {
        logLine("D3DObject::checkDeviceCaps() GetAdapterIdentifier()");
        logHresult(result);
        return result;
    }
    const auto version = static_cast<std::uint64_t>(identifier.DriverVersion);
    logLine("Description       " + identifier.Description);
    logLine("Driver            " + identifier.Driver);
    logLine("DeviceName        " + identifier.DeviceName);
    logLine("DriverVersion     " + std::to_string(static_cast<std::int32_t>(version >> 32)) + " " +
            std::to_string(static_cast<std::uint32_t>(version & 0xFFFFFFFFu)));
    logLine("DeviceID          " + std::to_string(identifier.DeviceId));
    logLine("Revision          " + std::to_string(identifier.Revision));
    logLine("");

    result = direct3D_->getDeviceCaps(D3DADAPTER_DEFAULT, deviceType_, &caps_);
    if (FAILED(result)) {
        logLine("GetDeviceCaps()");
        logHresult(result);
        return result;
    }
    logLine("MaxStreams          = " + std::to_string(caps_.MaxStreams));
    logLine("MaxPrimitiveCount   = " + std::to_string(caps_.MaxPrimitiveCount));
    logLine("MaxVertexIndex      = " + std::to_string(caps_.MaxVertexIndex));
    logLine("");

    if (caps_.MaxStreams == 0) {
        // A driver from before DirectX 9.
        logLine("*** 注意 : ディスプレイドライバが DirectX9 に対応していません        ***");
        logLine("ソフトウェア頂点処理でデバイスの作成を試みます");
        logLine("");
        vertexProcessing_ = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    }

    if (caps_.VertexShaderVersion >= D3DVS_VERSION(2, 0)) {
        logLine("VertexShader 2.0 が利用可能");
    } else if (caps_.VertexShaderVersion >= D3DVS_VERSION(1, 1)) {
        logLine("VertexShader 1.1 が利用可能");
    } else {
        logLine("VertexShader は利用不可");
    }
    if (caps_.PixelShaderVersion >= D3DPS_VERSION(2, 0)) {
        logLine("PixelShader  2.0 が利用可能");
    } else if (caps_.PixelShaderVersion >= D3DPS_VERSION(1, 1)) {
        logLine("PixelShader  1.1 が利用可能");
    } else {
        logLine("PixelShader  は利用不可");
    }

    if (caps_.RasterCaps & D3DPRASTERCAPS_FOGVERTEX) {
        capabilities_[kCapVertexFog] = 1;
        logLine("頂点フォグが利用可能");
    } else {
        capabilities_[kCapVertexFog] = 0;
        logLine("頂点フォグは利用不可能");
    }

    if (!(caps_.TextureOpCaps & (D3DTEXOPCAPS_BUMPENVMAP | D3DTEXOPCAPS_BUMPENVMAPLUMINANCE))) {
        capabilities_[kCapBumpMapping] = 0;
        logLine("バンプマッピングは利用不可能");
    } else if (caps_.MaxTextureBlendStages >= 3) {
        capabilities_[kCapBumpMapping] = 1;
        logLine("バンプマッピングが利用可能");
    }

    checkTextureFormats();
    capabilities_[kCapDxt1] = textureFormats_[D3DFMT_DXT1];
    logLine(capabilities_[kCapDxt1] ? "圧縮テクスチャ DXT1 が利用可能" : "圧縮テクスチャ DXT1 は利用不可能");

    textureBlendStages_ = caps_.MaxTextureBlendStages;
    logLabelled("最大テクスチャブレンドステージ数は", std::to_string(textureBlendStages_));

    logLine((caps_.DevCaps & D3DDEVCAPS_TEXTUREVIDEOMEMORY) ? "ビデオメモリ上にテクスチャメモリを確保可能"
                                                            : "ビデオメモリ上にテクスチャメモリを確保できません");
    return S_OK;
}

void D3DObject::checkTextureFormats() {
    for (D3DFORMAT format : kSurveyedTextureFormats) checkTextureFormat(format);
}

HRESULT D3DObject::checkTextureFormat(D3DFORMAT format) {
    if (!direct3D_) return E_FAIL;
    HRESULT result = direct3D_->checkDeviceFormat(D3DADAPTER_DEFAULT, deviceType_, D3DFMT_X8R8G8B8, 0,
                                                  D3DRTYPE_TEXTURE, format);
    if (SUCCEEDED(result)) {
        result = direct3D_->checkDeviceFormat(D3DADAPTER_DEFAULT, deviceType_, D3DFMT_R5G6B5, 0, D3DRTYPE_TEXTURE,
                                              format);
    }
    textureFormats_[format] = SUCCEEDED(result) ? 1 : 0;
    return result;
}

HRESULT D3DObject::surveyFormats(std::uint32_t windowed) {
    if (!direct3D_) return E_FAIL;
    FormatD3D& formats = windowed ? windowFormats_ : fullScreenFormats_;
    std::list<CombinationRecord>& list = windowed ? windowCombinations_ : fullScreenCombinations_;
    // 0 accepts any rate (always so in a window).
    const std::uint32_t wantedRate = windowed ? 0 : refreshRate_;

    logLine("");
    logLine(kAsterisks79);
    logLine(windowed ? "ウィンドウモードのフォーマットを調査中" : "フルスクリーンモードのフォーマットを調査中");

    logLine("");
    logLine("利用可能なディスプレイフォーマット、バックバッファフォーマットを調査中");
    for (FormatPairEntry& pair : formats.pairs) {
        HRESULT result = direct3D_->checkDeviceType(D3DADAPTER_DEFAULT, deviceType_, pair.display, pair.backBuffer,
                                                    static_cast<std::int32_t>(windowed));
        pair.supported = SUCCEEDED(result) ? 1 : 0;
        if (pair.supported) logLine(pair.name);
    }

    logLine("");
    logLine("利用可能な深度バッファフォーマットを調査中");
    for (const FormatPairEntry& pair : formats.pairs) {
        for (DepthFormatEntry& depth : formats.depths) {
            HRESULT result = direct3D_->checkDeviceFormat(D3DADAPTER_DEFAULT, deviceType_, pair.display,
                                                          D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, depth.format);
            if (SUCCEEDED(result)) {
                logLine(depth.name);
                depth.supported = 1;
            }
        }
    }

    logLine("");
    logLine("利用可能なディスプレイモードを調査中");
    for (FormatPairEntry& pair : formats.pairs) {
        if (!pair.supported) continue;
        pair.supported = 0;
        const std::uint32_t count = direct3D_->getAdapterModeCount(D3DADAPTER_DEFAULT, pair.display);
        for (std::uint32_t i = 0; i < count; ++i) {
            D3DDISPLAYMODE mode;
            HRESULT result = direct3D_->enumAdapterModes(D3DADAPTER_DEFAULT, pair.display, i, &mode);
            if (FAILED(result)) {
                logLine("Direct3D アダプタの列挙失敗");
                logHresult(result);
                logLine("");
                continue;
            }
            for (DisplaySizeEntry& size : formats.sizes) {
                if (size.width != mode.Width || size.height != mode.Height) continue;
                if (wantedRate != 0 && mode.RefreshRate != wantedRate) continue;
                pair.supported = 1;
                size.supported = 1;
                logLine(std::string(pair.name) + size.name + " RefreshRate = " + std::to_string(mode.RefreshRate));
                break;
            }
        }
    }

    logLine("");
    logLine("利用可能なバッファフォーマットの組み合わせは以下の通り");
    for (std::uint32_t p = 0; p < formats.pairs.size(); ++p) {
        const FormatPairEntry& pair = formats.pairs[p];
        if (!pair.supported || !pair.allowed) continue;
        for (std::uint32_t d = 0; d < formats.depths.size(); ++d) {
            const DepthFormatEntry& depth = formats.depths[d];
            if (!depth.supported || !depth.allowed) continue;
            if (FAILED(direct3D_->checkDepthStencilMatch(D3DADAPTER_DEFAULT, deviceType_, pair.display,
                                                         pair.backBuffer, depth.format))) {
                continue;
            }
            const std::uint32_t count = direct3D_->getAdapterModeCount(D3DADAPTER_DEFAULT, pair.display);
            for (std::uint32_t i = 0; i < count; ++i) {
                D3DDISPLAYMODE mode;
                if (FAILED(direct3D_->enumAdapterModes(D3DADAPTER_DEFAULT, pair.display, i, &mode))) continue;
                for (std::uint32_t s = 0; s < formats.sizes.size(); ++s) {
                    const DisplaySizeEntry& size = formats.sizes[s];
                    if (!size.supported || !size.allowed) continue;
                    if (size.width != mode.Width || size.height != mode.Height) continue;
                    // One record per matching display mode: several refresh
                    // rates give several equal records.
                    list.push_back({p, p, d, s});
                }
            }
        }
    }

    const FormatD3D& shownFormats = windowed_ ? windowFormats_ : fullScreenFormats_;
    for (const CombinationRecord& record : windowed_ ? windowCombinations_ : fullScreenCombinations_) {
        logCombination(shownFormats, record);
    }
    return S_OK;
}

void D3DObject::logCombination(const FormatD3D& formats, const CombinationRecord& record) const {
    logLine(std::string(formats.pairs[record.backBufferFormat].name) + formats.depths[record.depthFormat].name +
            formats.sizes[record.displaySize].name);
}

void D3DObject::computeShadowMatrix() {
    D3DXPLANE plane;
    D3DXPlaneFromPointNormal(&plane, &shadowPoint_, &shadowNormal_);
    const D3DVECTOR& direction = light().Direction;
    // A directional light: w = 0.
    D3DXVECTOR4 lightVector(-direction.x, -direction.y, -direction.z, 0.0f);
    D3DXMatrixShadow(&shadow_, &lightVector, &plane);
}
