#include "objects/bullet.h"

Bullet::Bullet(float x, float y, Vector* force, int origin_)
    : size(0.05f), age(0), origin(origin_) {
    position = Vector{x, y};
    mass = 10.0f;
    draw_mode = 1;  // GL_LINES
    // angle() ignores the quadrant; the segment is symmetric, so it still lies along the flight.
    body_angle = angle(*force);
    add_point(size / 2, 0);
    add_point(-size / 2, 0);
    add_force(force, 1);
}

void Bullet::update() {
    Shape::update();
    wrap_edges();
}

bool Bullet::draw() {
    Shape::draw();
    ++age;
    return age == 50;
}

bool Bullet::frame_unseen() {
    Shape::frame_unseen();
    ++age;
    return age == 50;
}
