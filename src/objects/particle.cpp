#include "objects/particle.h"

Particle::Particle(float x, float y, float mass_, float size) : home_x(x), home_y(y) {
    position = Vector{x, y};
    mass = mass_;
    draw_mode = 1;  // GL_LINES: two diagonals and the middle line
    const float h = size / 2;
    add_point(-h, h);
    add_point(h, -h);
    add_point(h, h);
    add_point(-h, -h);
    add_point(-h, 0);
    add_point(h, 0);
}

void Particle::update() {
    Shape::update();
    if (position.y > 1 || position.y < -1 || position.x > 1 || position.x < -1) {
        position = Vector{home_x, home_y};
    }
}
