#include "geometry/vector.h"

#include <cmath>

void Vector::init() {
    x = 0;
    y = 0;
}

Vector& Vector::operator+=(Vector v) {
    x += v.x;
    y += v.y;
    return *this;
}

Vector& Vector::operator/=(float k) {
    x /= k;
    y /= k;
    return *this;
}

Vector operator-(Vector a, Vector b) {
    return Vector{a.x - b.x, a.y - b.y};
}

Vector operator*(float k, Vector v) {
    return Vector{v.x * k, v.y * k};
}

float operator*(Vector a, Vector b) {
    return a.x * b.x + a.y * b.y;
}

float mod(Vector v) {
    return std::sqrt(v.x * v.x + v.y * v.y);
}

float angle(Vector v) {
    if (v.x == 0) {
        if (v.y > 0) {
            return 1.5707964f;
        }
        if (v.y < 0) {
            return 4.712389f;
        }
        return 0;
    }
    // No quadrant correction: callers only need the line of v (a bullet is symmetric, the drag
    // uses the magnitudes of the cosine and sine).
    return std::atan(v.y / v.x);
}

namespace {

bool fraction_on_segment(float f) {
    return f >= 0 && f <= 1;
}

}  // namespace

bool intersection_segments(Vector a, Vector b, Vector c, Vector d) {
    const Vector dAB = b - a;
    const Vector dCD = d - c;
    // Each direction turned a quarter turn clockwise.
    const Vector nAB{dAB.y, -dAB.x};
    const Vector nCD{dCD.y, -dCD.x};

    // Where the line of a-b cuts c-d, as a fraction from c to d. Tested first: in the game most
    // pairs of edges are far apart and fail here, so the other two quotients are rarely needed.
    const float t = ((a - c) * nAB) / ((d - c) * nAB);
    if (!fraction_on_segment(t)) {
        return false;
    }
    // Parallel lines. A 0/0 quotient is NaN, equal to nothing; such pairs fail the fraction tests.
    if (nCD.x / nAB.x == nCD.y / nAB.y) {
        return false;
    }
    // Where the line of c-d cuts a-b, as a fraction from a to b.
    const float s = ((c - a) * nCD) / ((b - a) * nCD);
    return fraction_on_segment(s);
}
