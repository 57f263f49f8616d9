// A segment a-b together with what the collision shortcuts need to know about its line, worked
// out once: a bullet is tested against every rock and invader in play each tick.
#pragma once

#include <cmath>

#include "geometry/vector.h"

struct SegmentProbe {
    SegmentProbe(Vector from, Vector to)
        : a(from),
          b(to),
          normal{to.y - from.y, from.x - to.x},
          base(from.x * normal.x + from.y * normal.y),
          normal_size(std::fabs(normal.x) + std::fabs(normal.y)),
          a_size(std::fabs(from.x) + std::fabs(from.y)) {}

    // How far a point within `reach` of the origin (in each coordinate) must stand from the
    // line, measured as the crossing test measures it, for rounding not to put it on the other
    // side: rounding there stays below a millionth of this scale.
    float margin(float reach) const { return 1e-5f * (normal_size * (a_size + reach + 1)); }

    Vector a, b;
    // The normal the crossing test uses for a-b: the side of a point p is (a - p) . normal.
    Vector normal;
    float base;         // a . normal
    float normal_size;  // |normal.x| + |normal.y|
    float a_size;       // |a.x| + |a.y|
};
