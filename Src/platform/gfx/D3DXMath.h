// The D3DX matrix and vector helpers the engine uses, with D3DX's names,
// formulas and row-vector layout (a point is a row vector on the left:
// p' = p * M; M1 * M2 applies M1 first). Single-precision arithmetic, as D3DX.
// Each function writes its result through the first pointer and returns it.
#pragma once
#include "platform/gfx/GfxTypes.h"

struct D3DXVECTOR3 : D3DVECTOR {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(float x_, float y_, float z_) {
        x = x_;
        y = y_;
        z = z_;
    }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    D3DXVECTOR3 operator*(float s) const { return {x * s, y * s, z * s}; }
    D3DXVECTOR3 operator/(float s) const { return {x / s, y / s, z / s}; }
    D3DXVECTOR3& operator+=(const D3DXVECTOR3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    bool operator==(const D3DXVECTOR3& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct D3DXVECTOR4 {
    float x = 0, y = 0, z = 0, w = 0;
    D3DXVECTOR4() = default;
    D3DXVECTOR4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    bool operator==(const D3DXVECTOR4& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
};

// A plane a*x + b*y + c*z + d = 0.
struct D3DXPLANE {
    float a = 0, b = 0, c = 0, d = 0;
    D3DXPLANE() = default;
    D3DXPLANE(float a_, float b_, float c_, float d_) : a(a_), b(b_), c(c_), d(d_) {}
};

struct D3DXMATRIX : D3DMATRIX {
    D3DXMATRIX() {
        for (auto& row : m)
            for (float& v : row) v = 0.0f;
    }
    D3DXMATRIX(const D3DMATRIX& other) : D3DMATRIX(other) {}
    D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24, float m31,
               float m32, float m33, float m34, float m41, float m42, float m43, float m44);
    float& operator()(int row, int column) { return m[row][column]; }
    float operator()(int row, int column) const { return m[row][column]; }
    D3DXMATRIX operator*(const D3DXMATRIX& other) const;
    bool operator==(const D3DXMATRIX& other) const;
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
// Rotations by an angle in radians, clockwise when looking along the axis
// towards the origin (Direct3D's left-handed sense).
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
// Left-handed perspective: fovy is the vertical field of view in radians,
// aspect width over height; depth zn..zf maps to 0..1.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);
// Left-handed orthographic projection of a w x h view volume.
D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf);
// Left-handed view matrix from the eye, the point looked at and the up vector.
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
// Flattens geometry onto the plane as lit by the light (w = 0: a directional
// light shining along -(x, y, z); w = 1: a point light at (x, y, z)).
D3DXMATRIX* D3DXMatrixShadow(D3DXMATRIX* out, const D3DXVECTOR4* light, const D3DXPLANE* plane);

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal);
D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* plane);
float D3DXPlaneDot(const D3DXPLANE* plane, const D3DXVECTOR4* v);

float D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
float D3DXVec3Length(const D3DXVECTOR3* v);
// The unit vector of v; the zero vector stays zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// (x, y, z, 1) * M.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 1) * M divided by its w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 0) * M: a direction, without the translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
