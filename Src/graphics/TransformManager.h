// The camera of the 3-D background and the device transforms: an eye, a
// look-at point and an up vector that can be set at once, moved to a target
// over frames, or driven by per-axis speeds that can themselves change over
// frames; the view matrix rebuilt every camera frame; a perspective or
// orthographic projection; an identity world transform while drawing (the
// vertices carry world positions) with a stored translation that a device
// reset restores; and the shadow matrix of the shadow meshes.
//
// The second base of the device object (D3DObject).
#pragma once
#include <array>
#include <cstdint>

#include "graphics/ValueInterpolator.h"
#include "platform/HResult.h"
#include "platform/gfx/D3DXMath.h"

class TransformManager {
public:
    static constexpr std::int32_t kOrthographic = 0;
    static constexpr std::int32_t kPerspective = 1;

    TransformManager();
    virtual ~TransformManager() = default;

    D3DXVECTOR3 setEye(float x, float y, float z);
    D3DXVECTOR3 setLookAt(float x, float y, float z);
    D3DXVECTOR3 setUpVec(float x, float y, float z);
    void changeEye(float x, float y, float z, std::int32_t frames) { eye_.change({x, y, z}, frames); }
    void changeLookAt(float x, float y, float z, std::int32_t frames) { lookAt_.change({x, y, z}, frames); }
    void changeUpVec(float x, float y, float z, std::int32_t frames) { up_.change({x, y, z}, frames); }
    void setEyeSpeed(float x, float y, float z) { setSpeeds(eyeSpeed_, x, y, z); }
    void setLookAtSpeed(float x, float y, float z) { setSpeeds(lookAtSpeed_, x, y, z); }
    void setUpVecSpeed(float x, float y, float z) { setSpeeds(upSpeed_, x, y, z); }
    void changeEyeSpeed(float x, float y, float z, std::int32_t frames) { changeSpeeds(eyeSpeed_, x, y, z, frames); }
    void changeLookAtSpeed(float x, float y, float z, std::int32_t frames) {
        changeSpeeds(lookAtSpeed_, x, y, z, frames);
    }
    void changeUpVecSpeed(float x, float y, float z, std::int32_t frames) {
        changeSpeeds(upSpeed_, x, y, z, frames);
    }
    void setShadowPoint(float x, float y, float z) { shadowPoint_ = {x, y, z}; }

    // The scene reset: the three moves stop and every speed is 0; the
    // vectors stay where they are.
    void reset();
    // One camera frame; returns the view matrix.
    D3DXMATRIX updateView();

    D3DXMATRIX setProjection(float fov, float aspect, float zNear, float zFar);
    // Returns the previous mode.
    std::int32_t setProjectionMode(std::int32_t mode);

    void setTranslation(float x, float y, float z) { translation_ = {x, y, z}; }
    void applyWorld();
    void applyShadowMatrix();
    // Sets world, projection and view on the device again after a reset.
    HRESULT restoreTransforms();
    // The start-up camera: perspective, no translation, eye (0, 10, -10)
    // looking at (0, 0, -1) with up (0, 0, 1), a 45-degree 4:3 projection
    // from 1 to 300.
    void setupDevice();

    // What tests and the frame read.
    std::int32_t getProjectionMode() const { return projectionMode_; }
    const D3DXVECTOR3& getEye() const { return eye_.current; }
    const D3DXVECTOR3& getLookAt() const { return lookAt_.current; }
    const D3DXVECTOR3& getUpVec() const { return up_.current; }
    const D3DXMATRIX& getViewMatrix() const { return view_; }
    const D3DXMATRIX& getProjectionMatrix() const { return projection_; }
    const D3DXMATRIX& getWorldMatrix() const { return world_; }
    const D3DXMATRIX& getShadowMatrix() const { return shadow_; }

protected:
    D3DXMATRIX shadow_;
    D3DXVECTOR3 shadowPoint_{0.0f, -24.99f, 0.0f};
    D3DXVECTOR3 shadowNormal_{0.0f, 1.0f, 0.0f};

private:
    // A vector moved to a target over a number of frames.
    struct VectorMove {
        D3DXVECTOR3 current;
        D3DXVECTOR3 step;
        D3DXVECTOR3 target;
        std::int32_t framesLeft = 0;
        std::uint32_t moving = 0;
        void change(const D3DXVECTOR3& to, std::int32_t frames);
        void advance();
    };
    using Speeds = std::array<ValueInterpolator, 3>;
    static void setSpeeds(Speeds& speeds, float x, float y, float z);
    static void changeSpeeds(Speeds& speeds, float x, float y, float z, std::int32_t frames);
    static void addSpeeds(D3DXVECTOR3& v, const Speeds& speeds);

    std::int32_t projectionMode_ = -1;
    D3DXMATRIX projection_;
    D3DXMATRIX view_;
    D3DXMATRIX world_;
    D3DXVECTOR3 viewEye_;
    D3DXVECTOR3 viewLookAt_;
    D3DXVECTOR3 viewUp_;
    VectorMove eye_;
    VectorMove lookAt_;
    VectorMove up_;
    Speeds eyeSpeed_;
    Speeds lookAtSpeed_;
    Speeds upSpeed_;
    // Field of view (orthographic: width), aspect (orthographic: height),
    // near and far.
    float fov_ = 0.0f, aspect_ = 0.0f, zNear_ = 0.0f, zFar_ = 0.0f;
    D3DXVECTOR3 translation_;
};
