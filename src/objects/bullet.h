// Bullet: a short segment lying along its line of flight. It remembers who fired it, wraps at
// the edges and counts its draws so the world can drop it after the 50th.
#pragma once

#include <list>
#include <memory>

#include "geometry/shape.h"

class Bullet : public Shape {
  public:
    // Who fired a bullet: the ship's hit invaders, the invaders' hit the ship; both hit asteroids.
    static constexpr int kFromShip = 0;
    static constexpr int kFromInvader = 1;

    // A bullet centred on (x, y), turned along *force and pushed by it for one tick.
    // Only reads *force; the caller keeps it.
    Bullet(float x, float y, Vector* force, int origin);

    int get_origin() const { return origin; }
    // Draws so far: the 50th is its last.
    int get_age() const { return age; }
    // Physics step, then the edge wrap.
    void update();
    // Draws the segment and ages the bullet by one draw; true on the 50th draw.
    bool draw();
    // The same with nothing drawn.
    bool frame_unseen();

    // The body, its age and who fired it (see Shape::visit_state).
    template <typename Sink>
    void visit_state(Sink& sink) const {
        Shape::visit_state(sink);
        sink.add(age);
        sink.add(origin);
    }

    // Every field, the body's first (Shape::fields), in one order both ways.
    template <typename Self, typename IO>
    static void fields(Self& s, IO& io) {
        Shape::fields(s, io);
        io.field(s.size);
        io.field(s.age);
        io.field(s.origin);
    }

  private:
    float size;
    int age;  // draws so far: a bullet's lifetime is counted in frames, not ticks
    int origin;
};

// The world's bullet list: the ship and every invader fire into it; it owns its bullets.
using BulletList = std::list<std::unique_ptr<Bullet>>;
