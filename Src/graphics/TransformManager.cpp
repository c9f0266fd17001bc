#include "graphics/TransformManager.h"

#include "graphics/D3DDevice.h"
#include "platform/gfx/GfxDevice.h"
#include "services/DebugInfo.h"

namespace {
constexpr const char* kSource = "TransformManager";

HRESULT setTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& matrix) {
    GfxDevice* device = g_d3dDevice;
    if (!device) return E_FAIL;
    return device->setTransform(state, &matrix);
}
}  // namespace

TransformManager::TransformManager() {
    D3DXMatrixIdentity(&projection_);
    D3DXMatrixIdentity(&view_);
    D3DXMatrixIdentity(&world_);
    D3DXMatrixIdentity(&shadow_);
}

void TransformManager::VectorMove::change(const D3DXVECTOR3& to, std::int32_t frames) {
    // A count of 0 ends the move at the next camera frame; a negative count is
    // kept, so that move never ends and never moves.
    if (frames == 0) frames = 1;
    framesLeft = frames;
    moving = 1;
    target = to;
    step = (target - current) / static_cast<float>(frames);
}

void TransformManager::VectorMove::advance() {
    if (!moving) return;
    --framesLeft;
    if (framesLeft < 0) return;
    if (framesLeft == 0) {
        current = target;
        moving = 0;
    } else {
        current += step;
    }
}

void TransformManager::setSpeeds(Speeds& speeds, float x, float y, float z) {
    speeds[0].set(x);
    speeds[1].set(y);
    speeds[2].set(z);
}

void TransformManager::changeSpeeds(Speeds& speeds, float x, float y, float z, std::int32_t frames) {
    speeds[0].change(x, frames);
    speeds[1].change(y, frames);
    speeds[2].change(z, frames);
}

void TransformManager::addSpeeds(D3DXVECTOR3& v, const Speeds& speeds) {
    v.x += speeds[0].value();
    v.y += speeds[1].value();
    v.z += speeds[2].value();
}

D3DXVECTOR3 TransformManager::setEye(float x, float y, float z) {
    viewEye_ = eye_.current = {x, y, z};
    return eye_.current;
}

D3DXVECTOR3 TransformManager::setLookAt(float x, float y, float z) {
    viewLookAt_ = lookAt_.current = {x, y, z};
    return lookAt_.current;
}

D3DXVECTOR3 TransformManager::setUpVec(float x, float y, float z) {
    viewUp_ = up_.current = {x, y, z};
    return up_.current;
}

void TransformManager::reset() {
    eye_.moving = 0;
    lookAt_.moving = 0;
    up_.moving = 0;
    setSpeeds(eyeSpeed_, 0.0f, 0.0f, 0.0f);
    setSpeeds(lookAtSpeed_, 0.0f, 0.0f, 0.0f);
    setSpeeds(upSpeed_, 0.0f, 0.0f, 0.0f);
}

D3DXMATRIX TransformManager::updateView() {
    for (Speeds* speeds : {&eyeSpeed_, &lookAtSpeed_, &upSpeed_}) {
        for (ValueInterpolator& speed : *speeds) speed.step();
    }
    eye_.advance();
    lookAt_.advance();
    up_.advance();
    addSpeeds(eye_.current, eyeSpeed_);
    addSpeeds(lookAt_.current, lookAtSpeed_);
    addSpeeds(up_.current, upSpeed_);
    viewEye_ = eye_.current;
    viewLookAt_ = lookAt_.current;
    viewUp_ = up_.current;
    // Compared as unsigned, so the initial -1 (no mode yet) fails too.
    if (static_cast<std::uint32_t>(projectionMode_) <= 1u) {
        D3DXMatrixLookAtLH(&view_, &viewEye_, &viewLookAt_, &viewUp_);
        setTransform(D3DTS_VIEW, view_);
    } else {
        logFailure(kSource, 324, E_FAIL);
    }
    return view_;
}

D3DXMATRIX TransformManager::setProjection(float fov, float aspect, float zNear, float zFar) {
    fov_ = fov;
    aspect_ = aspect;
    zNear_ = zNear;
    zFar_ = zFar;
    if (projectionMode_ == kPerspective) {
        D3DXMatrixPerspectiveFovLH(&projection_, fov, aspect, zNear, zFar);
        setTransform(D3DTS_PROJECTION, projection_);
    } else if (projectionMode_ == kOrthographic) {
        // Reaches the device at the next mode change or device reset.
        D3DXMatrixOrthoLH(&projection_, fov, aspect, zNear, zFar);
    }
    return projection_;
}

std::int32_t TransformManager::setProjectionMode(std::int32_t mode) {
    const std::int32_t previous = projectionMode_;
    if (mode == previous) return previous;
    // An invalid mode is stored all the same: every view update then reports
    // it until a valid one is set.
    projectionMode_ = mode;
    if (mode == kOrthographic || mode == kPerspective) {
        setTransform(D3DTS_PROJECTION, projection_);
        setTransform(D3DTS_VIEW, view_);
    } else {
        logFailure(kSource, 40, E_FAIL);
    }
    return previous;
}

void TransformManager::applyWorld() {
    D3DXMatrixIdentity(&world_);
    setTransform(D3DTS_WORLD, world_);
}

void TransformManager::applyShadowMatrix() { setTransform(D3DTS_WORLD, shadow_); }

HRESULT TransformManager::restoreTransforms() {
    D3DXMatrixTranslation(&world_, translation_.x, translation_.y, translation_.z);
    HRESULT result = setTransform(D3DTS_WORLD, world_);
    if (FAILED(result)) {
        logFailure(kSource, 454, result);
        return result;
    }
    // An orthographic camera is rebuilt as orthographic: its parameters are a
    // width and a height, which as a field of view and an aspect would make
    // no sensible perspective.
    if (projectionMode_ == kOrthographic) {
        D3DXMatrixOrthoLH(&projection_, fov_, aspect_, zNear_, zFar_);
    } else {
        D3DXMatrixPerspectiveFovLH(&projection_, fov_, aspect_, zNear_, zFar_);
    }
    result = setTransform(D3DTS_PROJECTION, projection_);
    if (FAILED(result)) {
        logFailure(kSource, 458, result);
        return result;
    }
    D3DXMatrixLookAtLH(&view_, &viewEye_, &viewLookAt_, &viewUp_);
    result = setTransform(D3DTS_VIEW, view_);
    if (FAILED(result)) logFailure(kSource, 462, result);
    return result;
}

void TransformManager::setupDevice() {
    setProjectionMode(kPerspective);
    setTranslation(0.0f, 0.0f, 0.0f);
    applyWorld();
    setEye(0.0f, 10.0f, -10.0f);
    setLookAt(0.0f, 0.0f, -1.0f);
    setUpVec(0.0f, 0.0f, 1.0f);
    updateView();
    setProjection(0.785398f, 4.0f / 3.0f, 1.0f, 300.0f);
}
