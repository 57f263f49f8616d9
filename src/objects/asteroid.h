// Asteroid: a heavy drifting rock with a ragged thirteen-point outline, a nominal diameter and
// the score it is worth when destroyed. It wraps at the edges and never turns.
#pragma once

#include "geometry/shape.h"

class Asteroid : public Shape {
  public:
    // Builds the random outline (13 rand() calls, one per point) and queues *force as a
    // one-tick push. Only reads *force. The creator sets the score right after.
    Asteroid(float x, float y, float diameter, Vector* force);

    void set_score(int s) { score = s; }
    int get_score() const { return score; }
    float get_diameter() const { return diameter; }
    // Physics step, then the edge wrap.
    void update();

    // The body, its score and its diameter (see Shape::visit_state).
    template <typename Sink>
    void visit_state(Sink& sink) const {
        Shape::visit_state(sink);
        sink.add(score);
        sink.add(diameter);
    }

    // Every field, the body's first (Shape::fields), in one order both ways.
    template <typename Self, typename IO>
    static void fields(Self& s, IO& io) {
        Shape::fields(s, io);
        io.field(s.score);
        io.field(s.diameter);
    }

  private:
    int score;
    float diameter;
};
