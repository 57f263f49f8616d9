// Vector: a point or a displacement in the field, in single precision.
// A plain value type; arithmetic and the plane geometry are free functions beside it.
#pragma once

struct Vector {
    float x;
    float y;

    // Sets both components to 0.
    void init();
    // Component-wise addition, in place.
    Vector& operator+=(Vector v);
    // Divides both components by k; k = 0 gives IEEE infinities or NaN, no trap.
    Vector& operator/=(float k);
};

// Component-wise difference a - b.
inline Vector operator-(Vector a, Vector b) {
    return Vector{a.x - b.x, a.y - b.y};
}
// v scaled by k.
inline Vector operator*(float k, Vector v) {
    return Vector{v.x * k, v.y * k};
}
// Dot product.
inline float operator*(Vector a, Vector b) {
    return a.x * b.x + a.y * b.y;
}

// Length of v.
float mod(Vector v);

// Direction angle of v in radians, without quadrant correction: for x != 0 it is the angle of
// the line through the origin and v, in (-pi/2, pi/2); for x == 0 it is pi/2 (up), 3pi/2 (down)
// or 0 (the zero vector).
float angle(Vector v);

// Whether segment a-b and segment c-d cross or touch. Parallel and collinear pairs (even when
// overlapping) and zero-length segments never count. Inline: every collision test of the game
// runs through it, once per pair of edges.
inline bool intersection_segments(Vector a, Vector b, Vector c, Vector d) {
    const Vector dAB = b - a;
    const Vector dCD = d - c;
    // Each direction turned a quarter turn clockwise.
    const Vector nAB{dAB.y, -dAB.x};
    const Vector nCD{dCD.y, -dCD.x};

    // Where the line of a-b cuts c-d, as a fraction from c to d. Tested first: most pairs of
    // edges in play are far apart and fail here. A quotient of size above 2 cannot round into
    // [0, 1], so those are turned away before dividing.
    const float t_num = (a - c) * nAB;
    const float t_den = (d - c) * nAB;
    if (__builtin_fabsf(t_num) > 2 * __builtin_fabsf(t_den)) {
        return false;
    }
    const float t = t_num / t_den;
    if (!(t >= 0 && t <= 1)) {
        return false;
    }
    // Parallel lines. A 0/0 quotient is NaN, equal to nothing; such pairs fail the fractions.
    if (nCD.x / nAB.x == nCD.y / nAB.y) {
        return false;
    }
    // Where the line of c-d cuts a-b, as a fraction from a to b.
    const float s = ((c - a) * nCD) / ((b - a) * nCD);
    return s >= 0 && s <= 1;
}
