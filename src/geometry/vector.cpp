#include "geometry/vector.h"

#include <cmath>

#include "math/trig.h"

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
    return vmath::atan(v.y / v.x);
}
