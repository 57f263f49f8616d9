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
Vector operator-(Vector a, Vector b);
// v scaled by k.
Vector operator*(float k, Vector v);
// Dot product.
float operator*(Vector a, Vector b);

// Length of v.
float mod(Vector v);

// Direction angle of v in radians, without quadrant correction: for x != 0 it is the angle of
// the line through the origin and v, in (-pi/2, pi/2); for x == 0 it is pi/2 (up), 3pi/2 (down)
// or 0 (the zero vector).
float angle(Vector v);

// Whether segment a-b and segment c-d cross or touch. Parallel and collinear pairs (even when
// overlapping) and zero-length segments never count.
bool intersection_segments(Vector a, Vector b, Vector c, Vector d);
