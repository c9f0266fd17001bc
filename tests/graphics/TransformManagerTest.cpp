// The camera's moves and speeds frame by frame, projections, the world
// transform and the shadow matrix.
#include <algorithm>

#include "GfxTestSupport.h"
#include "graphics/ValueInterpolator.h"

namespace {
class CameraInterpolation : public GfxTest {};
class Transforms : public GfxTest {};

void expectVector(const D3DXVECTOR3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}
}  // namespace

TEST(CameraInterpolationValue, StepsAndEdgeCounts) {
    struct Case {
        float from, to;
        std::int32_t frames;
        std::vector<float> values;  // after each step
    } cases[] = {
        {0.0f, 4.0f, 4, {1.0f, 2.0f, 3.0f, 4.0f, 4.0f}},
        {2.0f, -1.0f, 1, {-1.0f, -1.0f}},
        // 0 or less frames: the next step lands on the target.
        {2.0f, 7.0f, 0, {7.0f, 7.0f}},
        {2.0f, 7.0f, -3, {7.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        ValueInterpolator value;
        value.set(c.from);
        value.change(c.to, c.frames);
        for (float expected : c.values) {
            value.step();
            EXPECT_FLOAT_EQ(value.value(), expected);
        }
        EXPECT_FALSE(value.active());
    }
}

TEST_F(CameraInterpolation, EyeMoveOverZeroFramesLandsAtTheNextFrame) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setProjectionMode(1);
    d3d.setEye(4.0f, 4.0f, 4.0f);
    d3d.changeEye(0.0f, 0.0f, 0.0f, 0);
    d3d.updateView();
    expectVector(d3d.getEye(), 0.0f, 0.0f, 0.0f);
}

TEST_F(CameraInterpolation, LookAtMovesATenthEachFrameWhateverTheEyeDoes) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setProjectionMode(1);
    d3d.setEye(0.0f, 10.0f, -10.0f);
    d3d.setLookAt(0.0f, 0.0f, 0.0f);
    d3d.changeLookAt(10.0f, -20.0f, 5.0f, 10);
    d3d.changeEye(0.0f, 0.0f, -30.0f, 3);
    for (int frame = 1; frame <= 10; ++frame) {
        SCOPED_TRACE(frame);
        d3d.updateView();
        expectVector(d3d.getLookAt(), static_cast<float>(frame), -2.0f * static_cast<float>(frame),
                     0.5f * static_cast<float>(frame));
    }
    expectVector(d3d.getEye(), 0.0f, 0.0f, -30.0f);
    d3d.updateView();
    expectVector(d3d.getLookAt(), 10.0f, -20.0f, 5.0f);
}

TEST_F(CameraInterpolation, SpeedsDriveTheVectorsAndChangeOverFrames) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setProjectionMode(1);
    d3d.setEye(0.0f, 0.0f, 0.0f);
    d3d.setEyeSpeed(0.0f, 0.0f, 1.0f);
    // The speed moves the eye one unit a frame.
    const float z[] = {1.0f, 2.0f, 3.0f};
    for (float expected : z) {
        d3d.updateView();
        EXPECT_FLOAT_EQ(d3d.getEye().z, expected);
    }
    // The speed itself goes to 4 over 3 frames: 2, 3, 4 are added.
    d3d.changeEyeSpeed(0.0f, 0.0f, 4.0f, 3);
    const float after[] = {5.0f, 8.0f, 12.0f, 16.0f};
    for (float expected : after) {
        d3d.updateView();
        EXPECT_FLOAT_EQ(d3d.getEye().z, expected);
    }
    // A move and a speed add up: the move steps first, then the speed.
    d3d.setUpVec(0.0f, 1.0f, 0.0f);
    d3d.setUpVecSpeed(1.0f, 0.0f, 0.0f);
    d3d.changeUpVec(0.0f, 3.0f, 0.0f, 2);
    d3d.updateView();
    // The move's step was computed from x = 0: x = 0 + 0 (step) + 1 (speed).
    expectVector(d3d.getUpVec(), 1.0f, 2.0f, 0.0f);
    d3d.updateView();
    expectVector(d3d.getUpVec(), 1.0f, 3.0f, 0.0f);  // the move lands on its target, then + speed
}

TEST_F(CameraInterpolation, ResetStopsMovesAndSpeedsButKeepsTheVectors) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setProjectionMode(1);
    d3d.setEye(1.0f, 2.0f, 3.0f);
    d3d.changeEye(10.0f, 20.0f, 30.0f, 10);
    d3d.setLookAtSpeed(1.0f, 1.0f, 1.0f);
    d3d.updateView();
    d3d.TransformManager::reset();
    const D3DXVECTOR3 eye = d3d.getEye();
    const D3DXVECTOR3 at = d3d.getLookAt();
    d3d.updateView();
    expectVector(d3d.getEye(), eye.x, eye.y, eye.z);
    expectVector(d3d.getLookAt(), at.x, at.y, at.z);

    // A negative count is kept: that move never moves and never ends.
    d3d.changeEye(100.0f, 100.0f, 100.0f, -2);
    for (int i = 0; i < 3; ++i) d3d.updateView();
    expectVector(d3d.getEye(), eye.x, eye.y, eye.z);
}

TEST_F(Transforms, ProjectionModesAndTheirFailureLines) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    // Before any mode is set the view update reports every frame.
    d3d.updateView();
    d3d.updateView();
    std::vector<std::string> lines = log.logLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ".\\Src\\TransformManager:324  FAILED"), 2);
    EXPECT_TRUE(gfx.callsOf("SetTransform").empty());

    EXPECT_EQ(d3d.setProjectionMode(1), -1);
    EXPECT_EQ(gfx.callsOf("SetTransform").size(), 2u);  // projection and view
    gfx.clearCalls();
    EXPECT_EQ(d3d.setProjectionMode(1), 1);
    EXPECT_TRUE(calls().empty());

    // Perspective goes to the device at once; orthographic waits.
    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovLH(&expected, 0.785398f, 4.0f / 3.0f, 1.0f, 300.0f);
    EXPECT_EQ(d3d.setProjection(0.785398f, 4.0f / 3.0f, 1.0f, 300.0f), expected);
    D3DMATRIX onDevice;
    device().getTransform(D3DTS_PROJECTION, &onDevice);
    EXPECT_EQ(D3DXMATRIX(onDevice), expected);
    d3d.setProjectionMode(0);
    gfx.clearCalls();
    D3DXMATRIX ortho;
    D3DXMatrixOrthoLH(&ortho, 640.0f, 480.0f, 1.0f, 100.0f);
    EXPECT_EQ(d3d.setProjection(640.0f, 480.0f, 1.0f, 100.0f), ortho);
    EXPECT_TRUE(calls().empty());

    // An invalid mode is stored all the same.
    EXPECT_EQ(d3d.setProjectionMode(5), 0);
    EXPECT_TRUE(log.logContains(".\\Src\\TransformManager:40  FAILED"));
    EXPECT_EQ(d3d.getProjectionMode(), 5);
    gfx.clearCalls();
    d3d.updateView();
    EXPECT_TRUE(calls().empty());
}

TEST_F(Transforms, WorldIsIdentityWhileDrawingAndTheTranslationAfterAReset) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setupDevice();
    d3d.setTranslation(5.0f, 0.0f, 0.0f);
    d3d.applyWorld();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    D3DMATRIX world;
    device().getTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(D3DXMATRIX(world), identity);

    gfx.clearCalls();
    EXPECT_EQ(d3d.restoreTransforms(), S_OK);
    device().getTransform(D3DTS_WORLD, &world);
    D3DXMATRIX translated;
    D3DXMatrixTranslation(&translated, 5.0f, 0.0f, 0.0f);
    EXPECT_EQ(D3DXMATRIX(world), translated);
    std::vector<std::string> sets = gfx.callsOf("SetTransform");
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].rfind("SetTransform(D3DTS_WORLD", 0), 0u);
    EXPECT_EQ(sets[1].rfind("SetTransform(D3DTS_PROJECTION", 0), 0u);
    EXPECT_EQ(sets[2].rfind("SetTransform(D3DTS_VIEW", 0), 0u);

    // The start-up camera's view.
    D3DXMATRIX view;
    D3DXVECTOR3 eye(0.0f, 10.0f, -10.0f), at(0.0f, 0.0f, -1.0f), up(0.0f, 0.0f, 1.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    EXPECT_EQ(d3d.getViewMatrix(), view);

    gfx.faults.failNext("SetTransform", D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d.restoreTransforms(), D3DERR_INVALIDCALL);
    EXPECT_TRUE(log.logContains(".\\Src\\TransformManager:454  FAILED"));
}

TEST_F(Transforms, ShadowMatrixFlattensOntoThePlaneAlongTheLight) {
    gfx.survey = minimalAdapter();
    D3DObject& d3d = created();
    d3d.setLight(0, 255.0f, 255.0f, 255.0f, 255.0f, 0.0f, -1.0f, 0.0f);
    d3d.computeShadowMatrix();
    // The default shadow plane: y = -24.99, light straight down.
    D3DXVECTOR3 point(3.0f, 10.0f, -2.0f);
    D3DXVECTOR3 flat;
    const D3DXMATRIX shadow = d3d.getShadowMatrix();
    D3DXVec3TransformCoord(&flat, &point, &shadow);
    EXPECT_NEAR(flat.x, 3.0f, 1e-4);
    EXPECT_NEAR(flat.y, -24.99f, 1e-4);
    EXPECT_NEAR(flat.z, -2.0f, 1e-4);

    d3d.setShadowPoint(0.0f, 0.0f, 0.0f);
    d3d.setLight(0, 255.0f, 255.0f, 255.0f, 255.0f, 1.0f, -1.0f, 0.0f);
    d3d.computeShadowMatrix();
    const D3DXMATRIX slanted = d3d.getShadowMatrix();
    D3DXVec3TransformCoord(&flat, &point, &slanted);
    // Along (1, -1, 0) from (3, 10) down to y = 0 lands at x = 13.
    EXPECT_NEAR(flat.x, 13.0f, 1e-4);
    EXPECT_NEAR(flat.y, 0.0f, 1e-4);
    gfx.clearCalls();
    d3d.applyShadowMatrix();
    EXPECT_EQ(gfx.callsOf("SetTransform").size(), 1u);
}
