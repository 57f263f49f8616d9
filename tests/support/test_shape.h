// A bare body for the tests: a Shape with the fields a game object's constructor would set.
#pragma once

#include <vector>

#include "geometry/shape.h"

struct TestShape : Shape {
    TestShape(float x, float y, float m = 1, int mode = 2) {
        position = Vector{x, y};
        mass = m;
        draw_mode = mode;
    }
    TestShape(float x, float y, std::vector<Vector> outline) : TestShape(x, y) {
        for (const Vector p : outline) {
            add_point(p.x, p.y);
        }
    }
    void turn_to(float a) { body_angle = a; }
    void move_to(float x, float y) { position = Vector{x, y}; }
};

// An axis-aligned square outline with its lower-left corner at (x, y), drawn so it has a
// world outline.
inline TestShape drawn_square(float x, float y, float side) {
    TestShape s(x, y, {{0, 0}, {side, 0}, {side, side}, {0, side}});
    s.draw();
    return s;
}
