// The commands that drive the shared 3-D scene behind the play field: the
// camera (eye, look-at point, up vector: at once, over frames, or by per-axis
// speeds), the shadow projection's point, the light, the fog and the
// background clear colour, and the colour and blending of a render target's
// picture on screen. They act on the device object; without one they do
// nothing. Every handler answers 0.
#include <algorithm>

#include "graphics/D3DObject.h"
#include "graphics/RenderTarget.h"
#include "graphics/Sprite.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

float floatChild(R& runtime, std::int32_t id) { return static_cast<float>(runtime.evalChild(id)); }
std::int32_t intChild(R& runtime, std::int32_t id) { return truncateToInt32(runtime.evalChild(id)); }
// A colour channel as the light and ambient calls take it: the integer value.
float channel(R& runtime, std::int32_t id) { return static_cast<float>(intChild(runtime, id)); }

// "worldx", "worldy", "worldz".
struct World {
    float x, y, z;
};
World worldOf(R& runtime) { return {floatChild(runtime, kWorldX), floatChild(runtime, kWorldY), floatChild(runtime, kWorldZ)}; }

using SetVector = void (TransformManager::*)(float, float, float);
using ChangeVector = void (TransformManager::*)(float, float, float, std::int32_t);

std::int32_t setCamera(R& runtime, SetVector set) {
    if (D3DObject* d3d = g_d3dObject) {
        const World w = worldOf(runtime);
        (d3d->*set)(w.x, w.y, w.z);
    }
    return R::kGoOn;
}

std::int32_t changeCamera(R& runtime, ChangeVector change) {
    if (D3DObject* d3d = g_d3dObject) {
        const World w = worldOf(runtime);
        (d3d->*change)(w.x, w.y, w.z, intChild(runtime, kTerm));
    }
    return R::kGoOn;
}

// The setters that answer the vector set are called for their effect.
void setEye(TransformManager& t, float x, float y, float z) { t.setEye(x, y, z); }
void setLookAt(TransformManager& t, float x, float y, float z) { t.setLookAt(x, y, z); }
void setUpVec(TransformManager& t, float x, float y, float z) { t.setUpVec(x, y, z); }

std::int32_t setCameraVector(R& runtime, void (*set)(TransformManager&, float, float, float)) {
    if (D3DObject* d3d = g_d3dObject) {
        const World w = worldOf(runtime);
        set(*d3d, w.x, w.y, w.z);
    }
    return R::kGoOn;
}

// Fog from "worldminz" to "worldmaxz" in 0xFFRRGGBB from "red", "green",
// "blue", each masked to 8 bits.
struct Fog {
    float start, end;
    D3DCOLOR colour;
};
Fog fogOf(R& runtime) {
    const auto byte = [&runtime](std::int32_t id) { return static_cast<std::uint32_t>(intChild(runtime, id)) & 0xFF; };
    Fog fog{floatChild(runtime, kWorldMinZ), floatChild(runtime, kWorldMaxZ), 0};
    const std::uint32_t red = byte(kRed), green = byte(kGreen), blue = byte(kBlue);
    fog.colour = 0xFF000000u | red << 16 | green << 8 | blue;
    return fog;
}
// A colour channel clamped to 0..255.
std::uint32_t clampedChannel(R& runtime, std::int32_t id) {
    return static_cast<std::uint32_t>(std::clamp(intChild(runtime, id), 0, 255));
}

// The blend group a render target's picture is drawn with, from the
// command's type.
std::uint8_t targetBlendOfType(std::int32_t type) {
    switch (type) {
        case kTypeAdd: return 2;
        case kTypeMaskAdd: return 5;
        case kTypeNoAlpha: return 6;
        default: return 3;
    }
}
}  // namespace

namespace handlers {

std::int32_t execSetEye(R& runtime, std::int32_t) { return setCameraVector(runtime, &setEye); }
std::int32_t execSetLookAt(R& runtime, std::int32_t) { return setCameraVector(runtime, &setLookAt); }
std::int32_t execSetUpVec(R& runtime, std::int32_t) { return setCameraVector(runtime, &setUpVec); }
std::int32_t execChangeEye(R& runtime, std::int32_t) { return changeCamera(runtime, &TransformManager::changeEye); }
std::int32_t execChangeLookAt(R& runtime, std::int32_t) {
    return changeCamera(runtime, &TransformManager::changeLookAt);
}
std::int32_t execChangeUpVec(R& runtime, std::int32_t) {
    return changeCamera(runtime, &TransformManager::changeUpVec);
}
std::int32_t execSetEyeSpeed(R& runtime, std::int32_t) { return setCamera(runtime, &TransformManager::setEyeSpeed); }
std::int32_t execSetLookAtSpeed(R& runtime, std::int32_t) {
    return setCamera(runtime, &TransformManager::setLookAtSpeed);
}
std::int32_t execSetUpVecSpeed(R& runtime, std::int32_t) {
    return setCamera(runtime, &TransformManager::setUpVecSpeed);
}
std::int32_t execChangeEyeSpeed(R& runtime, std::int32_t) {
    return changeCamera(runtime, &TransformManager::changeEyeSpeed);
}
std::int32_t execChangeLookAtSpeed(R& runtime, std::int32_t) {
    return changeCamera(runtime, &TransformManager::changeLookAtSpeed);
}
std::int32_t execChangeUpVecSpeed(R& runtime, std::int32_t) {
    return changeCamera(runtime, &TransformManager::changeUpVecSpeed);
}
std::int32_t execPlainShadowPoint(R& runtime, std::int32_t) {
    return setCamera(runtime, &TransformManager::setShadowPoint);
}

std::int32_t execSetLight(R& runtime, std::int32_t) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return R::kGoOn;
    // Declarations run in order: the children are evaluated a, r, g, b.
    const float a = channel(runtime, kAlpha), r = channel(runtime, kRed);
    const float g = channel(runtime, kGreen), b = channel(runtime, kBlue);
    if (runtime.getCurrentNode()->getChildType(kSetLight) == kTypeDirectional) {
        const float x = floatChild(runtime, kX), y = floatChild(runtime, kY), z = floatChild(runtime, kZ);
        d3d->setLight(0, a, r, g, b, x, y, z);
    } else {
        d3d->setAmbient(a, r, g, b, intChild(runtime, kFlag));
    }
    return R::kGoOn;
}

std::int32_t execChangeLight(R& runtime, std::int32_t) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return R::kGoOn;
    const float a = channel(runtime, kAlpha), r = channel(runtime, kRed);
    const float g = channel(runtime, kGreen), b = channel(runtime, kBlue);
    const std::int32_t term = intChild(runtime, kTerm);
    if (runtime.getCurrentNode()->getChildType(kChangeLight) == kTypeDirectional) {
        const std::int32_t num = intChild(runtime, kNum);
        const float x = floatChild(runtime, kX), y = floatChild(runtime, kY), z = floatChild(runtime, kZ);
        d3d->changeLightDirection(num, a, r, g, b, x, y, z, term);
    } else {
        d3d->changeLight(a, r, g, b, term, intChild(runtime, kFlag));
    }
    return R::kGoOn;
}

std::int32_t execSetFog(R& runtime, std::int32_t) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return R::kGoOn;
    const Fog fog = fogOf(runtime);
    d3d->setFog(fog.start, fog.end, fog.colour);
    return R::kGoOn;
}

std::int32_t execChangeFog(R& runtime, std::int32_t) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return R::kGoOn;
    const Fog fog = fogOf(runtime);
    d3d->changeFog(fog.start, fog.end, fog.colour, intChild(runtime, kTerm));
    return R::kGoOn;
}

std::int32_t execSetBgColor(R& runtime, std::int32_t) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return R::kGoOn;
    const std::uint32_t red = clampedChannel(runtime, kRed), green = clampedChannel(runtime, kGreen);
    const std::uint32_t blue = clampedChannel(runtime, kBlue);
    d3d->setClearColor(red, green, blue);
    return R::kGoOn;
}

std::int32_t execSetRenderTargetColor(R& runtime, std::int32_t) {
    D3DObject* d3d = g_d3dObject;
    if (!d3d) return R::kGoOn;
    const std::uint32_t a = clampedChannel(runtime, kAlpha), r = clampedChannel(runtime, kRed);
    const std::uint32_t g = clampedChannel(runtime, kGreen), b = clampedChannel(runtime, kBlue);
    RenderTarget* target = d3d->findRenderTarget(static_cast<std::uint32_t>(intChild(runtime, kNum)));
    Sprite* sprite = target ? target->getSprite() : nullptr;
    if (!sprite) return R::kGoOn;
    // The sprite shows the colour now; the target keeps it for the sprite
    // it makes again after a device reset. The blend group likewise.
    sprite->setColor(static_cast<float>(a), static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
    target->setColor(a, r, g, b);
    const std::uint8_t group = targetBlendOfType(runtime.getCurrentNode()->getChildType(kSetRenderTargetColor));
    target->setColorMode(group);
    sprite->setBlend(group);
    return R::kGoOn;
}

}  // namespace handlers
