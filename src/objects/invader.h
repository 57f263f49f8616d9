// Invader: a filled hexagon that crosses the field and fires every 26 ticks into the world's
// bullet list. Without a target its line of fire turns a sixth of a circle per shot; with one
// it fires along the line to the target (toward it when the target is to its left, away from
// it otherwise) and is pushed a little along that line.
#pragma once

#include "geometry/shape.h"
#include "objects/bullet.h"

class Invader : public Shape {
  public:
    // An invader at (x, y) whose shots go to *bullets (not owned; must outlive the invader).
    Invader(float x, float y, BulletList* bullets, float radius);

    // Physics step, then the fire timer.
    void update();
    // Fires one bullet into the bullet list; called by update.
    void shot();

    void set_score(int s) { score = s; }
    int get_score() const { return score; }
    // Stores the radius only: the outline keeps the points built at construction.
    void set_radius(float r) { radius = r; }

    // What the invader aims at, not owned; null for no aiming. Set directly by the creator.
    Shape* target;

    // The body, its fire timer and line of fire, whether it aims, its score and radius (see
    // Shape::visit_state).
    template <typename Sink>
    void visit_state(Sink& sink) const {
        Shape::visit_state(sink);
        sink.add(fire_count);
        sink.add(shot_angle);
        sink.add(target != nullptr ? 1 : 0);
        sink.add(score);
        sink.add(radius);
    }

    // Every field but the two pointers, which its world sets, the body's first
    // (Shape::fields), in one order both ways.
    template <typename Self, typename IO>
    static void fields(Self& s, IO& io) {
        Shape::fields(s, io);
        io.field(s.fire_period);
        io.field(s.fire_count);
        io.field(s.sides);
        io.field(s.radius);
        io.field(s.angle_step);
        io.field(s.shot_angle);
        io.field(s.shot_force);
        io.field(s.push_force);
        io.field(s.score);
    }

  private:
    int fire_period;
    int fire_count;  // ticks since the last shot
    int sides;
    float radius;
    float angle_step;
    float shot_angle;  // radians, counter-clockwise from +x
    float shot_force;
    float push_force;
    int score;
    BulletList* bullets;
};
