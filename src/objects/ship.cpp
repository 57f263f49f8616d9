#include "objects/ship.h"

#include "math/trig.h"

Ship::Ship(float x, float y) : size(0.1f), thrust(5.0f), state(kInPlay), blink_count(0) {
    position = Vector{x, y};
    mass = 1000.0f;
    draw_mode = 2;  // GL_LINE_LOOP
    add_point(-size / 2, -size / 2);
    add_point(size / 2, 0);  // the nose, along body_angle
    add_point(-size / 2, size / 2);
}

void Ship::left() {
    if (state != kOutOfPlay) {
        body_angle += 0.1f;
    }
}

void Ship::right() {
    if (state != kOutOfPlay) {
        body_angle -= 0.1f;
    }
}

void Ship::up() {
    if (state != kOutOfPlay) {
        Vector force{thrust * vmath::cos(body_angle), thrust * vmath::sin(body_angle)};
        add_force(&force, 1);
    }
}

void Ship::set_state(int new_state) {
    state = new_state;
}

void Ship::update() {
    if (state != kOutOfPlay) {
        Shape::update();
        wrap_edges();
    }
}

void Ship::draw() {
    if (shows_in_this_draw()) {
        Shape::draw();
    }
}

void Ship::frame_unseen() {
    if (shows_in_this_draw()) {
        Shape::frame_unseen();
    }
}

bool Ship::shows_in_this_draw() {
    switch (state) {
        case kInPlay:
            return true;
        case kBlinking:
            if (blink_count > 99) {
                blink_count = 0;
                state = kInPlay;
                return true;
            }
            ++blink_count;
            // Seen on one frame in five: the 5th, 10th, ... 100th draw of the blink.
            return blink_count % 5 == 0;
        default:  // out of play, or a state the game never sets
            return false;
    }
}

void Ship::show_again() const {
    if (shown()) {
        Shape::show_again();
    }
}

bool Ship::shown() const {
    // A blink shows the ship on the draws that leave a count divisible by 5; a blink that has
    // not drawn yet (count 0) follows a draw in play.
    return state == kInPlay || (state == kBlinking && blink_count % 5 == 0);
}
