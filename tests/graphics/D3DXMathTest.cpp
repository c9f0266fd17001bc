// The D3DX stand-ins: Direct3D's formulas and row-vector layout.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gfx/D3DXMath.h"

namespace {

D3DXVECTOR3 transformCoord(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

void expectNear(const D3DXVECTOR3& got, const D3DXVECTOR3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(got.x, expected.x, tolerance);
    EXPECT_NEAR(got.y, expected.y, tolerance);
    EXPECT_NEAR(got.z, expected.z, tolerance);
}

}  // namespace

TEST(D3DXMathProjection, EngineCameraProjectionHasD3DXValues) {
    // The camera's projection: pi/4, 4/3, near 1, far 300.
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovLH(&m, 0.785398f, 4.0f / 3.0f, 1.0f, 300.0f);
    EXPECT_NEAR(m._11, 1.8106601f, 1e-5f);
    EXPECT_NEAR(m._22, 2.4142137f, 1e-5f);
    EXPECT_NEAR(m._33, 300.0f / 299.0f, 1e-6f);
    EXPECT_EQ(m._34, 1.0f);
    EXPECT_NEAR(m._43, -300.0f / 299.0f, 1e-6f);
    EXPECT_EQ(m._44, 0.0f);
    // Depth: the near plane maps to 0, the far plane to 1.
    expectNear(transformCoord({0, 0, 1}, m), {0, 0, 0});
    expectNear(transformCoord({0, 0, 300}, m), {0, 0, 1});

    // The depth offset is one quotient, -zn * zf / (zf - zn); taken as -zn
    // times _33 it would round to another float with these planes.
    D3DXMATRIX near;
    const float zn = 0.1f, zf = 17.3f;
    D3DXMatrixPerspectiveFovLH(&near, 0.785398f, 4.0f / 3.0f, zn, zf);
    EXPECT_EQ(near._43, -0.100581393f);
    EXPECT_NE(near._43, -zn * near._33);

    D3DXMATRIX o;
    D3DXMatrixOrthoLH(&o, 640.0f, 480.0f, 1.0f, 11.0f);
    expectNear(transformCoord({320, -240, 1}, o), {1, -1, 0});
    expectNear(transformCoord({-320, 240, 11}, o), {-1, 1, 1});
}

TEST(D3DXMathView, LookAtPutsTheEyeAtTheOriginLookingDownZ) {
    // The scene set-up's camera: eye (0, 10, -10), look-at (0, 0, -1), up (0, 0, 1).
    D3DXVECTOR3 eye(0, 10, -10), at(0, 0, -1), up(0, 0, 1);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    expectNear(transformCoord(eye, view), {0, 0, 0});
    const float distance = std::sqrt(100.0f + 81.0f);
    expectNear(transformCoord(at, view), {0, 0, distance}, 1e-4f);
    // Left-handed: +x of the world stays to the right.
    EXPECT_GT(transformCoord({1, 0, -1}, view).x, 0.0f);
}

TEST(D3DXMathTransforms, RotationsTranslationsAndRowVectorOrder) {
    const float quarter = float(M_PI / 2);
    D3DXMATRIX rx, ry, rz, t;
    D3DXMatrixRotationX(&rx, quarter);
    D3DXMatrixRotationY(&ry, quarter);
    D3DXMatrixRotationZ(&rz, quarter);
    D3DXMatrixTranslation(&t, 5, 6, 7);
    struct Case {
        const D3DXMATRIX* m;
        D3DXVECTOR3 in, out;
    } cases[] = {
        {&rx, {0, 1, 0}, {0, 0, 1}},
        {&ry, {0, 0, 1}, {1, 0, 0}},
        {&rz, {1, 0, 0}, {0, 1, 0}},
        {&t, {1, 1, 1}, {6, 7, 8}},
    };
    for (const auto& c : cases) expectNear(transformCoord(c.in, *c.m), c.out);
    // M1 * M2 applies M1 first: rotate about z, then translate.
    expectNear(transformCoord({1, 0, 0}, rz * t), {5, 7, 7});
    expectNear(transformCoord({1, 0, 0}, t * rz), {-6, 6, 7});
    // Directions ignore the translation; Transform keeps w.
    D3DXVECTOR3 direction, v(1, 2, 3);
    D3DXVec3TransformNormal(&direction, &v, &t);
    expectNear(direction, {1, 2, 3});
    D3DXVECTOR4 w;
    D3DXVec3Transform(&w, &v, &t);
    EXPECT_EQ(w, D3DXVECTOR4(6, 8, 10, 1));
}

TEST(D3DXMathShadow, ShadowMatrixFlattensOntoTheGroundAlongTheLight) {
    // The engine's ground: the point (0, -24.99, 0) with normal (0, 1, 0).
    D3DXVECTOR3 point(0, -24.99f, 0), normal(0, 1, 0);
    D3DXPLANE plane;
    D3DXPlaneFromPointNormal(&plane, &point, &normal);
    EXPECT_FLOAT_EQ(plane.d, 24.99f);
    // A directional light shining along (1, -1, 0): the shadow matrix takes
    // the negated direction with w = 0.
    D3DXVECTOR4 light(-1, 1, 0, 0);
    D3DXMATRIX shadow;
    D3DXMatrixShadow(&shadow, &light, &plane);
    const D3DXVECTOR3 cases[][2] = {
        {{0, 0, 0}, {24.99f, -24.99f, 0}},
        {{3, 5, 2}, {32.99f, -24.99f, 2}},
        {{1, -24.99f, 1}, {1, -24.99f, 1}},  // on the plane already
    };
    for (const auto& c : cases) {
        expectNear(transformCoord(c[0], shadow), c[1], 1e-4f);
        // d I - P L, as the library computes it: w stays positive, so the
        // flattened mesh is not clipped away behind the camera.
        D3DXVECTOR4 homogeneous;
        D3DXVec3Transform(&homogeneous, &c[0], &shadow);
        EXPECT_FLOAT_EQ(homogeneous.w, 1.0f);
    }
    // The plane is normalised first: a longer normal gives the same matrix.
    D3DXPLANE scaled(0, 3, 0, 3 * 24.99f);
    D3DXMATRIX same;
    D3DXMatrixShadow(&same, &light, &scaled);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(same.m[r][c], shadow.m[r][c], 1e-5f);
}

TEST(D3DXMathVectors, NormaliseCrossAndDot) {
    D3DXVECTOR3 v(3, 0, 4), unit;
    D3DXVec3Normalize(&unit, &v);
    expectNear(unit, {0.6f, 0, 0.8f});
    D3DXVECTOR3 zero(0, 0, 0);
    D3DXVec3Normalize(&unit, &zero);
    EXPECT_EQ(unit, D3DXVECTOR3(0, 0, 0));
    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), z;
    D3DXVec3Cross(&z, &x, &y);
    EXPECT_EQ(z, D3DXVECTOR3(0, 0, 1));
    EXPECT_EQ(D3DXVec3Dot(&v, &v), 25.0f);
    EXPECT_EQ(D3DXVec3Length(&v), 5.0f);
}
