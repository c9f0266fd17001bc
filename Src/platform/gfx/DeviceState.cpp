#include "platform/gfx/DeviceState.h"

#include "platform/gfx/AdapterSurvey.h"
#include "platform/gfx/GfxFormat.h"

D3DMATRIX identityMatrix() {
    D3DMATRIX m{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = r == c ? 1.0f : 0.0f;
    return m;
}

D3DLIGHT9 DeviceState::defaultLight() {
    D3DLIGHT9 light;
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    return light;
}

void DeviceState::setDefaults(bool autoDepthStencil) {
    renderStates.fill(0);
    auto rs = [&](D3DRENDERSTATETYPE state, std::uint32_t value) { renderStates[state] = value; };
    rs(D3DRS_ZENABLE, autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE);
    rs(D3DRS_FILLMODE, D3DFILL_SOLID);
    rs(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    rs(D3DRS_ZWRITEENABLE, 1);
    rs(D3DRS_ALPHATESTENABLE, 0);
    rs(D3DRS_LASTPIXEL, 1);
    rs(D3DRS_SRCBLEND, D3DBLEND_ONE);
    rs(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    rs(D3DRS_CULLMODE, D3DCULL_CCW);
    rs(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    rs(D3DRS_ALPHAREF, 0);
    rs(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_FOGCOLOR, 0);
    rs(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
    rs(D3DRS_FOGSTART, floatBits(0.0f));
    rs(D3DRS_FOGEND, floatBits(1.0f));
    rs(D3DRS_FOGDENSITY, floatBits(1.0f));
    rs(D3DRS_STENCILFAIL, 1);
    rs(D3DRS_STENCILZFAIL, 1);
    rs(D3DRS_STENCILPASS, 1);
    rs(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_STENCILMASK, 0xFFFFFFFF);
    rs(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    rs(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    rs(D3DRS_CLIPPING, 1);
    rs(D3DRS_LIGHTING, 1);
    rs(D3DRS_AMBIENT, 0);
    rs(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    rs(D3DRS_COLORVERTEX, 1);
    rs(D3DRS_LOCALVIEWER, 1);
    rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    rs(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
    rs(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    rs(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    rs(D3DRS_POINTSIZE, floatBits(1.0f));
    rs(D3DRS_POINTSIZE_MIN, floatBits(1.0f));
    rs(D3DRS_POINTSIZE_MAX, floatBits(64.0f));
    rs(D3DRS_MULTISAMPLEANTIALIAS, 1);
    rs(D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF);
    rs(D3DRS_COLORWRITEENABLE, 0xF);
    rs(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    rs(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    rs(D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO);
    rs(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);

    for (std::uint32_t stage = 0; stage < kTextureStageCount; ++stage) {
        auto& s = stageStates[stage];
        s.fill(0);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
        s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    for (auto& s : samplerStates) {
        s.fill(0);
        s[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        s[D3DSAMP_MAXANISOTROPY] = 1;
    }
    world = view = projection = identityMatrix();
    textureTransforms.fill(identityMatrix());
    lights.fill(D3DLIGHT9{});
    lightSet.fill(false);
    lightEnabled.fill(false);
    material = D3DMATERIAL9{};
    fvf = 0;
}

D3DMATRIX* DeviceState::transform(std::uint32_t state) {
    switch (state) {
    case D3DTS_WORLD:
        return &world;
    case D3DTS_VIEW:
        return &view;
    case D3DTS_PROJECTION:
        return &projection;
    default:
        if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kTextureStageCount)
            return &textureTransforms[state - D3DTS_TEXTURE0];
        return nullptr;
    }
}

const D3DMATRIX* DeviceState::transform(std::uint32_t state) const {
    return const_cast<DeviceState*>(this)->transform(state);
}

HRESULT DeviceState::setRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) {
    if (!validRenderState(state)) return D3DERR_INVALIDCALL;
    renderStates[state] = value;
    return D3D_OK;
}

HRESULT DeviceState::getRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) const {
    if (!value || !validRenderState(state)) return D3DERR_INVALIDCALL;
    *value = renderStates[state];
    return D3D_OK;
}

HRESULT DeviceState::setTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) {
    if (!validStage(stage, type)) return D3DERR_INVALIDCALL;
    stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT DeviceState::getTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                          std::uint32_t* value) const {
    if (!value || !validStage(stage, type)) return D3DERR_INVALIDCALL;
    *value = stageStates[stage][type];
    return D3D_OK;
}

HRESULT DeviceState::setSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t value) {
    if (!validSampler(sampler, type)) return D3DERR_INVALIDCALL;
    samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT DeviceState::getSamplerState(std::uint32_t sampler, D3DSAMPLERSTATETYPE type, std::uint32_t* value) const {
    if (!value || !validSampler(sampler, type)) return D3DERR_INVALIDCALL;
    *value = samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT DeviceState::setTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    D3DMATRIX* slot = transform(state);
    if (!slot || !matrix) return D3DERR_INVALIDCALL;
    *slot = *matrix;
    return D3D_OK;
}

HRESULT DeviceState::getTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) const {
    const D3DMATRIX* slot = transform(state);
    if (!slot || !matrix) return D3DERR_INVALIDCALL;
    *matrix = *slot;
    return D3D_OK;
}

HRESULT DeviceState::setLight(std::uint32_t index, const D3DLIGHT9* light) {
    if (!light || index >= kLightCount) return D3DERR_INVALIDCALL;
    lights[index] = *light;
    lightSet[index] = true;
    return D3D_OK;
}

HRESULT DeviceState::getLight(std::uint32_t index, D3DLIGHT9* light) const {
    if (!light || index >= kLightCount || !lightSet[index]) return D3DERR_INVALIDCALL;
    *light = lights[index];
    return D3D_OK;
}

HRESULT DeviceState::lightEnable(std::uint32_t index, std::int32_t enable) {
    if (index >= kLightCount) return D3DERR_INVALIDCALL;
    if (!lightSet[index]) {
        lights[index] = defaultLight();
        lightSet[index] = true;
    }
    lightEnabled[index] = enable != 0;
    return D3D_OK;
}

HRESULT DeviceState::getLightEnable(std::uint32_t index, std::int32_t* enable) const {
    if (!enable || index >= kLightCount || !lightSet[index]) return D3DERR_INVALIDCALL;
    *enable = lightEnabled[index] ? 1 : 0;
    return D3D_OK;
}

HRESULT DeviceState::setMaterial(const D3DMATERIAL9* value) {
    if (!value) return D3DERR_INVALIDCALL;
    material = *value;
    return D3D_OK;
}

HRESULT DeviceState::getMaterial(D3DMATERIAL9* value) const {
    if (!value) return D3DERR_INVALIDCALL;
    *value = material;
    return D3D_OK;
}

HRESULT DeviceState::setTexture(std::uint32_t stage, GfxTexture* texture) {
    if (stage >= kTextureStageCount) return D3DERR_INVALIDCALL;
    textures[stage] = GfxRef<GfxTexture>(texture);
    return D3D_OK;
}

HRESULT DeviceState::getFVF(std::uint32_t* value) const {
    if (!value) return D3DERR_INVALIDCALL;
    *value = fvf;
    return D3D_OK;
}

HRESULT DeviceState::setViewport(const D3DVIEWPORT9* value) {
    if (!value) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT9& v = *value;
    D3DSURFACE_DESC desc;
    renderTarget->getDesc(&desc);
    if (std::uint64_t(v.X) + v.Width > desc.Width || std::uint64_t(v.Y) + v.Height > desc.Height || v.Width == 0 ||
        v.Height == 0)
        return D3DERR_INVALIDCALL;
    viewport = v;
    return D3D_OK;
}

HRESULT DeviceState::getViewport(D3DVIEWPORT9* value) const {
    if (!value) return D3DERR_INVALIDCALL;
    *value = viewport;
    return D3D_OK;
}

HRESULT DeviceState::setStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t offset,
                                     std::uint32_t stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    streamBuffer = GfxRef<GfxVertexBuffer>(buffer);
    streamOffset = offset;
    streamStride = stride;
    return D3D_OK;
}

std::uint64_t DeviceState::streamCapacity(std::uint64_t bufferBytes) const {
    if (streamStride == 0 || bufferBytes <= streamOffset) return 0;
    return (bufferBytes - streamOffset) / streamStride;
}

bool DeviceState::streamHolds(std::uint64_t bufferBytes, std::uint32_t startVertex, std::uint64_t vertexCount) const {
    if (streamOffset > bufferBytes) return false;
    if (streamStride == 0) return true;
    // Divided rather than multiplied: a stride and count near 32 bits each
    // would wrap a 64-bit product round to a small size.
    return std::uint64_t(startVertex) + vertexCount <= (bufferBytes - streamOffset) / streamStride;
}

bool indexedDrawInBounds(const std::uint8_t* indexData, std::uint64_t indexBytes, bool index32,
                         std::uint32_t startIndex, std::uint64_t indexCount, std::int32_t baseVertex,
                         std::uint64_t vertexCapacity) {
    const std::uint64_t indexSize = index32 ? 4 : 2;
    if ((std::uint64_t(startIndex) + indexCount) * indexSize > indexBytes) return false;
    for (std::uint64_t i = 0; i < indexCount; ++i) {
        const std::uint8_t* p = indexData + (std::uint64_t(startIndex) + i) * indexSize;
        std::uint32_t index = index32 ? std::uint32_t(p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24))
                                      : std::uint32_t(p[0] | (p[1] << 8));
        std::int64_t vertex = std::int64_t(index) + baseVertex;
        if (vertex < 0 || std::uint64_t(vertex) >= vertexCapacity) return false;
    }
    return true;
}

D3DVERTEXBUFFER_DESC vertexBufferDesc(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool) {
    D3DVERTEXBUFFER_DESC desc;
    desc.Usage = usage;
    desc.Pool = pool;
    desc.Size = length;
    desc.FVF = fvf;
    return desc;
}

D3DINDEXBUFFER_DESC indexBufferDesc(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool) {
    D3DINDEXBUFFER_DESC desc;
    desc.Format = format;
    desc.Usage = usage;
    desc.Pool = pool;
    desc.Size = length;
    return desc;
}

D3DSURFACE_DESC depthStencilDesc(std::uint32_t width, std::uint32_t height, D3DFORMAT format) {
    D3DSURFACE_DESC desc;
    desc.Format = format;
    desc.Usage = D3DUSAGE_DEPTHSTENCIL;
    desc.Pool = D3DPOOL_DEFAULT;
    desc.Width = width;
    desc.Height = height;
    return desc;
}

HRESULT checkBufferCreation(const D3DVERTEXBUFFER_DESC& desc) {
    return desc.Size == 0 ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT checkBufferCreation(const D3DINDEXBUFFER_DESC& desc) {
    if (desc.Size == 0 || (desc.Format != D3DFMT_INDEX16 && desc.Format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

bool bufferLockRange(std::uint32_t offset, std::uint32_t& size, std::size_t length) {
    if (offset > length) return false;
    if (size == 0) size = std::uint32_t(length) - offset;
    return std::uint64_t(offset) + size <= length;
}

HRESULT checkTextureCreation(const AdapterSurvey& survey, std::uint32_t width, std::uint32_t height,
                             std::uint32_t& levels, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                             std::uint64_t& bytes) {
    const bool renderTarget = usage & D3DUSAGE_RENDERTARGET;
    const bool formatOk =
        renderTarget ? survey.renderTargetFormats.count(format) > 0 : survey.textureFormats.count(format) > 0;
    if (width == 0 || height == 0 || width > survey.caps.MaxTextureWidth || height > survey.caps.MaxTextureHeight ||
        !formatOk || !isKnownPixelFormat(format) || (renderTarget && pool != D3DPOOL_DEFAULT) ||
        (usage & D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    const std::uint32_t full = fullMipCount(width, height);
    if (levels == 0 || levels > full) levels = full;
    if (renderTarget) levels = 1;
    bytes = 0;
    for (std::uint32_t level = 0; level < levels; ++level)
        bytes += levelBytes(format, levelExtent(width, level), levelExtent(height, level));
    return D3D_OK;
}
