#include "objects/invader.h"

#include <cmath>
#include <memory>

#include "math/trig.h"

Invader::Invader(float x, float y, BulletList* bullets_, float radius_)
    : target(nullptr),
      fire_period(25),
      fire_count(0),
      sides(6),
      radius(radius_),
      shot_angle(0),
      shot_force(0.5f),
      push_force(0.2f),
      score(0),
      bullets(bullets_) {
    position = Vector{x, y};
    mass = 1000.0f;
    angle_step = 6.2831853 / sides;
    draw_mode = 9;  // GL_POLYGON: the only filled outline of the game
    // Seven points: the single-precision sum reaches 6.283185, which is still within the bound,
    // so the last point lies on the first.
    for (float a = 0; a <= 6.2831853f; a += angle_step) {
        add_point(radius * vmath::cos(a), radius * vmath::sin(a));
    }
}

void Invader::update() {
    Shape::update();
    if (fire_count == fire_period) {
        shot();
        fire_count = 0;
    } else {
        ++fire_count;
    }
}

void Invader::shot() {
    if (target == nullptr) {
        shot_angle += angle_step;
        // Compared in double: the sixth sum, 6.283185, is not past the bound, so a cycle is
        // seven shots, 60 degrees through 360 and then 0.
        if (shot_angle > 6.2831853) {
            shot_angle = 0;
        }
    } else {
        const Vector to = target->get_position();
        const float dy = to.y - position.y;
        const float dx = to.x - position.x;
        // One-argument arctangent plus pi: at the target when it lies to the left, straight
        // away from it when it lies to the right. A target exactly on the invader gives 0/0;
        // the invader then keeps its last line of fire.
        const float aimed = vmath::atan(dy / dx) + 3.14159265;
        if (!std::isnan(aimed)) {
            shot_angle = aimed;
        }
        Vector push{push_force * vmath::cos(shot_angle), push_force * vmath::sin(shot_angle)};
        add_force(&push, 1);
    }
    Vector force{shot_force * vmath::cos(shot_angle), shot_force * vmath::sin(shot_angle)};
    auto bullet = std::make_unique<Bullet>(position.x, position.y, &force, Bullet::kFromInvader);
    bullet->set_RGB(0, 1, 0);
    bullets->push_back(std::move(bullet));
}
