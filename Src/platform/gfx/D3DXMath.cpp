#include "platform/gfx/D3DXMath.h"

#include <cmath>

D3DXMATRIX::D3DXMATRIX(float m11, float m12, float m13, float m14, float m21, float m22, float m23, float m24,
                       float m31, float m32, float m33, float m34, float m41, float m42, float m43, float m44) {
    _11 = m11, _12 = m12, _13 = m13, _14 = m14;
    _21 = m21, _22 = m22, _23 = m23, _24 = m24;
    _31 = m31, _32 = m32, _33 = m33, _34 = m34;
    _41 = m41, _42 = m42, _43 = m43, _44 = m44;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const {
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, this, &other);
    return product;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != other.m[r][c]) return false;
    return true;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DXMATRIX product;  // out may be m1 or m2
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            product.m[r][c] = m1->m[r][0] * m2->m[0][c] + m1->m[r][1] * m2->m[1][c] + m1->m[r][2] * m2->m[2][c] +
                              m1->m[r][3] * m2->m[3][c];
    *out = product;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    D3DXMatrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
    *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle) {
    float s = std::sin(angle), c = std::cos(angle);
    *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    float s = std::sin(angle), c = std::cos(angle);
    *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle) {
    float s = std::sin(angle), c = std::cos(angle);
    *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf) {
    float yScale = 1.0f / std::tan(fovy / 2.0f);
    float xScale = yScale / aspect;
    // _43 is -zn * zf / (zf - zn) as one quotient, not -zn times _33: the
    // two round differently.
    *out = D3DXMATRIX(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, zn * zf / (zn - zf), 0);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float w, float h, float zn, float zf) {
    *out = D3DXMATRIX(2.0f / w, 0, 0, 0, 0, 2.0f / h, 0, 0, 0, 0, 1.0f / (zf - zn), 0, 0, 0, zn / (zn - zf), 1);
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DXVECTOR3 zaxis = *at - *eye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, up, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *out = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0, xaxis.y, yaxis.y, zaxis.y, 0, xaxis.z, yaxis.z, zaxis.z, 0,
                      -D3DXVec3Dot(&xaxis, eye), -D3DXVec3Dot(&yaxis, eye), -D3DXVec3Dot(&zaxis, eye), 1);
    return out;
}

D3DXMATRIX* D3DXMatrixShadow(D3DXMATRIX* out, const D3DXVECTOR4* light, const D3DXPLANE* plane) {
    // With the plane normalised and d = plane . light, a point p maps to
    // d * p - (plane . p) * light: points on the plane stay where they are
    // and every point moves along the light onto the plane.
    D3DXPLANE p;
    D3DXPlaneNormalize(&p, plane);
    float d = D3DXPlaneDot(&p, light);
    const float pv[4] = {p.a, p.b, p.c, p.d};
    const float lv[4] = {light->x, light->y, light->z, light->w};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out->m[r][c] = (r == c ? d : 0.0f) - pv[r] * lv[c];
    return out;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal) {
    *out = D3DXPLANE(normal->x, normal->y, normal->z, -D3DXVec3Dot(point, normal));
    return out;
}

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* plane) {
    float length = std::sqrt(plane->a * plane->a + plane->b * plane->b + plane->c * plane->c);
    if (length != 0.0f) {
        *out = D3DXPLANE(plane->a / length, plane->b / length, plane->c / length, plane->d / length);
    } else {
        *out = D3DXPLANE(0, 0, 0, 0);
    }
    return out;
}

float D3DXPlaneDot(const D3DXPLANE* plane, const D3DXVECTOR4* v) {
    return plane->a * v->x + plane->b * v->y + plane->c * v->z + plane->d * v->w;
}

float D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) { return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z; }

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    *out = D3DXVECTOR3(v1->y * v2->z - v1->z * v2->y, v1->z * v2->x - v1->x * v2->z, v1->x * v2->y - v1->y * v2->x);
    return out;
}

float D3DXVec3Length(const D3DXVECTOR3* v) { return std::sqrt(D3DXVec3Dot(v, v)); }

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    float length = D3DXVec3Length(v);
    if (length != 0.0f) {
        *out = D3DXVECTOR3(v->x / length, v->y / length, v->z / length);
    } else {
        *out = D3DXVECTOR3(0, 0, 0);
    }
    return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r(v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41,
                  v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42,
                  v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43,
                  v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44);
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, v, m);
    if (r.w != 0.0f) {
        *out = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    } else {
        *out = D3DXVECTOR3(0, 0, 0);
    }
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    D3DXVECTOR3 r(v->x * m->_11 + v->y * m->_21 + v->z * m->_31, v->x * m->_12 + v->y * m->_22 + v->z * m->_32,
                  v->x * m->_13 + v->y * m->_23 + v->z * m->_33);
    *out = r;
    return out;
}
