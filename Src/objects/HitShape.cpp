#include "objects/HitShape.h"

#include <algorithm>
#include <cmath>

#include "services/SineTable.h"

namespace hit_shape {

bool assign(HitShape& shape, std::int32_t type, float p1, float p2, float p3, float p4, bool hasImageAngle,
            float imageAngle) {
    switch (type) {
        case kShapeCircle:
            shape.offsetX = p1;
            shape.offsetY = p2;
            shape.radius = p3;
            shape.radiusSquared = p3 * p3;
            return true;
        case kShapeRect:
        case kShapeRotated:
        case kShapeRotatedEdge: {
            shape.rectLeft = p1;
            shape.rectTop = p2;
            shape.rectRight = p3;
            shape.rectBottom = p4;
            shape.offsetX = (p1 + p3) * 0.5f;
            shape.offsetY = (p2 + p4) * 0.5f;
            const float height = p4 - p2;
            const float width = p3 - p1;
            shape.radiusSquared = height * height + width * width;
            shape.radius = std::sqrt(shape.radiusSquared);
            // "sync" follows the image through the image-rotation rule; a
            // "syncedge" shape takes the image's angle now (without an image
            // it keeps the one it had).
            if (type == kShapeRotatedEdge && hasImageAngle) shape.angle = imageAngle;
            return true;
        }
        default:
            return false;
    }
}

namespace {
struct Point {
    float x;
    float y;
};
// An axis-aligned rectangle by its four edges, as stored (possibly reversed).
struct Edges {
    float left;
    float top;
    float right;
    float bottom;
};

Point hitCentre(const Placed& p) { return {p.centreX + p.shape->offsetX, p.centreY + p.shape->offsetY}; }

Edges rectangleOf(const Placed& p) {
    const HitShape& s = *p.shape;
    return {p.centreX + s.rectLeft, p.centreY + s.rectTop, p.centreX + s.rectRight, p.centreY + s.rectBottom};
}

bool between(float v, float a, float b) { return (a <= v && v <= b) || (b <= v && v <= a); }

// Test 2: a circle (centre, radius, stored radius squared) against an
// axis-aligned rectangle.
std::int32_t circleRect(Point centre, float r, float r2, const Edges& rect) {
    const float l = rect.left - centre.x;
    const float rt = rect.right - centre.x;
    const float t = rect.top - centre.y;
    const float b = rect.bottom - centre.y;
    // A NaN on one axis would leave the other axis's column or row test
    // true: a shape with NaN anywhere never hits.
    if (std::isnan(l + rt + t + b + r + r2)) return 0;
    if (l - r > 0.0f || rt + r < 0.0f || t - r > 0.0f || b + r < 0.0f) return 0;
    if ((l <= 0.0f && 0.0f < rt) || (t <= 0.0f && 0.0f < b)) return 1;
    // The corners compare with the stored square, not r * r.
    if (l * l + t * t < r2 || rt * rt + t * t < r2 || l * l + b * b < r2 || rt * rt + b * b < r2) return 1;
    return 0;
}

// Test 1: strict, touching circles miss.
std::int32_t circleCircle(const Placed& a, const Placed& b) {
    if (!(b.shape->radius > 0.0f)) return 0;
    const Point ha = hitCentre(a);
    const Point hb = hitCentre(b);
    const float dx = hb.x - ha.x;
    const float dy = hb.y - ha.y;
    const float sum = a.shape->radius + b.shape->radius;
    return sum * sum > dx * dx + dy * dy ? 1 : 0;
}

// Test 3: a circle against a rotated rectangle, the circle's centre turned
// into the rectangle's frame.
std::int32_t circleRotated(const Placed& circle, const Placed& rotated, std::int32_t stageNum) {
    const HitShape& c = *circle.shape;
    const HitShape& r = *rotated.shape;
    const float co = sine_table::cosDeg(-r.angle);
    const float si = sine_table::sinDeg(-r.angle);
    const Point hb = hitCentre(rotated);
    Point q;
    if (stageNum == kRotatedOffsetStage) {
        // The offset turns with the circle.
        const float dx = circle.centreX + c.offsetX - hb.x;
        const float dy = circle.centreY + c.offsetY - hb.y;
        q = {hb.x + (co * dx - si * dy), hb.y + (si * dx + co * dy)};
    } else {
        // The object's centre turns; the offset is added afterwards, unturned.
        const float dx = circle.centreX - hb.x;
        const float dy = circle.centreY - hb.y;
        q = {hb.x + (co * dx - si * dy) + c.offsetX, hb.y + (si * dx + co * dy) + c.offsetY};
    }
    // The rectangle around the hit centre, unrotated; "syncedge" starts at
    // the hit centre itself whatever its top value.
    const float top = rotated.type == kShapeRotatedEdge ? hb.y : hb.y + r.rectTop;
    const Edges rect{hb.x + r.rectLeft, top, hb.x + r.rectRight, hb.y + r.rectBottom};
    return circleRect(q, c.radius, c.radiusSquared, rect);
}

// The rough tests shared by tests 4 and 5: 0 (too far), 1 (near enough) or
// -1 (undecided).
std::int32_t roughRectangles(const Placed& a, const Placed& b) {
    const HitShape& sa = *a.shape;
    const HitShape& sb = *b.shape;
    const Point ha = hitCentre(a);
    const Point hb = hitCentre(b);
    const float dx = ha.x - hb.x;
    const float dy = ha.y - hb.y;
    const float d2 = dx * dx + dy * dy;
    const float sum = sa.radius + sb.radius;
    if (sum * sum < d2) return 0;
    const float m = 0.5f * std::min(sa.rectRight - sa.rectLeft, sa.rectBottom - sa.rectTop) +
                    0.5f * std::min(sb.rectRight - sb.rectLeft, sb.rectBottom - sb.rectTop);
    if (d2 < m * m) return 1;
    return -1;
}

// The corners of a rotated shape, in the order (left, top), (right, top),
// (right, bottom), (left, bottom), turned by its angle about its hit centre.
void rotatedCorners(const Placed& p, Point out[4]) {
    const HitShape& s = *p.shape;
    const float co = sine_table::cosDeg(s.angle);
    const float si = sine_table::sinDeg(s.angle);
    const Point h = hitCentre(p);
    const float us[4] = {s.rectLeft, s.rectRight, s.rectRight, s.rectLeft};
    const float vs[4] = {s.rectTop, s.rectTop, s.rectBottom, s.rectBottom};
    for (int i = 0; i < 4; ++i) out[i] = {co * us[i] - si * vs[i] + h.x, si * us[i] + co * vs[i] + h.y};
}

// One edge pair (c[i] -> c[i+1], c[j] -> c[j+1]) of slope sine / cosine
// against the rectangle's two vertical sides. A pair whose cosine is 0
// (vertical edges) never hits: there is no slope to follow.
bool edgePairHits(const Point c[4], int first, int second, float si, float co, const Edges& rect) {
    if (co == 0.0f) return false;
    const float slope = si / co;
    for (int e : {first, second}) {
        const Point p = c[e];
        const Point q = c[(e + 1) & 3];
        for (float x : {rect.left, rect.right}) {
            if (!between(x, p.x, q.x)) continue;
            const float y = p.y + slope * (x - p.x);
            if (between(y, rect.top, rect.bottom) && between(y, p.y, q.y)) return true;
        }
    }
    return false;
}

// Steps 4 to 6 of test 4: corners of the other shape (already in the
// rectangle's frame) and its edges, of angle `angle`, against the rectangle.
std::int32_t cornersAndEdges(const Point c[4], float angle, const Edges& rect) {
    for (int i = 0; i < 4; ++i) {
        if (rect.left <= c[i].x && c[i].x <= rect.right && rect.top <= c[i].y && c[i].y <= rect.bottom) return 1;
    }
    const float si = sine_table::sinDeg(angle);
    const float co = sine_table::cosDeg(angle);
    if (si == 0.0f || co == 0.0f) {
        // Axis-aligned: a rectangle given with reversed edges also counts.
        for (int i = 0; i < 4; ++i) {
            if (between(c[i].x, rect.left, rect.right) && between(c[i].y, rect.top, rect.bottom)) return 1;
        }
        return 0;
    }
    if (edgePairHits(c, 0, 2, si, co, rect)) return 1;
    const float si90 = sine_table::sinDeg(angle + 90.0f);
    const float co90 = sine_table::cosDeg(angle + 90.0f);
    return edgePairHits(c, 1, 3, si90, co90, rect) ? 1 : 0;
}

// Test 4: an axis-aligned rectangle (a) against a rotated one (b).
std::int32_t rectRotated(const Placed& a, const Placed& b) {
    const std::int32_t rough = roughRectangles(a, b);
    if (rough >= 0) return rough;
    Point c[4];
    rotatedCorners(b, c);
    return cornersAndEdges(c, b.shape->angle, rectangleOf(a));
}

// Test 5: a rotated rectangle (a) against another non-circle shape (b), in
// a's frame: about a's centre (without offset), turned back by a's angle.
std::int32_t rotatedRotated(const Placed& a, const Placed& b) {
    const std::int32_t rough = roughRectangles(a, b);
    if (rough >= 0) return rough;
    Point c[4];
    rotatedCorners(b, c);
    const float co = sine_table::cosDeg(-a.shape->angle);
    const float si = sine_table::sinDeg(-a.shape->angle);
    for (Point& p : c) {
        const float dx = p.x - a.centreX;
        const float dy = p.y - a.centreY;
        p = {co * dx - si * dy, si * dx + co * dy};
    }
    const HitShape& sa = *a.shape;
    const Edges rect{sa.rectLeft, sa.rectTop, sa.rectRight, sa.rectBottom};
    return cornersAndEdges(c, b.shape->angle - sa.angle, rect);
}

// Test 6: two axis-aligned rectangles; sharing an edge is a hit.
bool spansOverlap(float la, float ra, float lb, float rb) {
    return (la <= rb && rb < ra) || (la <= lb && lb < ra) || (lb <= ra && ra < rb) || (lb <= la && la < rb);
}
std::int32_t rectRect(const Placed& a, const Placed& b) {
    const Edges ea = rectangleOf(a);
    const Edges eb = rectangleOf(b);
    return spansOverlap(ea.left, ea.right, eb.left, eb.right) && spansOverlap(ea.top, ea.bottom, eb.top, eb.bottom)
               ? 1
               : 0;
}

bool isRotated(std::int32_t type) { return type == kShapeRotated || type == kShapeRotatedEdge; }

// Test 2 with the objects' own shapes: the circle's hit centre against the
// rectangle around the other object's centre.
std::int32_t circleRectShapes(const Placed& circle, const Placed& rect) {
    return circleRect(hitCentre(circle), circle.shape->radius, circle.shape->radiusSquared, rectangleOf(rect));
}
}  // namespace

std::int32_t overlap(const Placed& self, const Placed& other, std::int32_t stageNum) {
    const std::int32_t t1 = self.type;
    const std::int32_t t2 = other.type;
    if (isRotated(t1)) {
        if (t2 == kShapeCircle) {
            return other.shape->radius > 0.0f ? circleRotated(other, self, stageNum) : 0;
        }
        if (t2 == kShapeRect) return rectRotated(other, self);
        return rotatedRotated(self, other);
    }
    if (t1 == kShapeRect) {
        if (isRotated(t2)) return rectRotated(self, other);
        if (t2 == kShapeCircle) return other.shape->radius > 0.0f ? circleRectShapes(other, self) : 0;
        return rectRect(self, other);
    }
    // A circle, or a code not listed, which counts as a circle here.
    if (!(self.shape->radius > 0.0f)) return 0;
    if (isRotated(t2)) return circleRotated(self, other, stageNum);
    if (t2 == kShapeCircle) return circleCircle(self, other);
    // A code not listed counts as a rectangle on this side.
    return circleRectShapes(self, other);
}

}  // namespace hit_shape
