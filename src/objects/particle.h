// Particle: a tiny star of the backdrop. It drifts under the world's edge pull and jumps back
// to where it was made whenever it leaves the field.
#pragma once

#include "geometry/shape.h"

class Particle : public Shape {
  public:
    // A star of side `size` at (x, y), which is also its home.
    Particle(float x, float y, float mass, float size);

    // Physics step; then, if strictly outside the field, back home with the velocity kept.
    void update();

    // A star collides with nothing: where it is and how it drifts is all a later tick reads of
    // it (its home is where it was made).
    template <typename Sink>
    void visit_state(Sink& sink) const {
        visit_motion(sink);
    }

    // Every field, the body's first (Shape::fields), in one order both ways.
    template <typename Self, typename IO>
    static void fields(Self& s, IO& io) {
        Shape::fields(s, io);
        io.field(s.home_x);
        io.field(s.home_y);
    }

  private:
    float home_x;
    float home_y;
};
