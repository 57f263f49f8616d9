// Ship: the player's triangle. It turns, thrusts, wraps at the edges and, after a hit or at
// the start of a level, blinks while immune. State 2 puts it out of play for good.
#pragma once

#include "geometry/shape.h"

class Ship : public Shape {
  public:
    // The ship's states, set and tested by value by the world and the game.
    static constexpr int kInPlay = 0;     // vulnerable, drawn every frame
    static constexpr int kBlinking = 1;   // immune, drawn every fifth frame
    static constexpr int kOutOfPlay = 2;  // game lost: ignores commands, neither moves nor draws

    Ship(float x, float y);

    // Turn 0.1 radian counter-clockwise / clockwise; the angle accumulates without wrapping.
    void left();
    void right();
    // Queues a one-tick force of size thrust along the nose.
    void up();

    // Stores the state only; a blink already running keeps its count.
    void set_state(int state);
    int get_state() const { return state; }

    // Physics step and edge wrap, unless out of play.
    void update();
    // Draws by state; counts the blink in draws, so not const.
    void draw();
    // The same with nothing drawn: the blink counted, the outline rebuilt when draw would show.
    void frame_unseen();
    // The outline again where the last draw left it, if that draw showed the ship.
    void show_again() const;
    // Whether the last draw showed the ship (a blink hides it on four draws of five).
    bool shown() const;

    // The body, the state and the blink's count (see Shape::visit_state).
    template <typename Sink>
    void visit_state(Sink& sink) const {
        Shape::visit_state(sink);
        sink.add(state);
        sink.add(blink_count);
    }

    // Every field, the body's first (Shape::fields), in one order both ways.
    template <typename Self, typename IO>
    static void fields(Self& s, IO& io) {
        Shape::fields(s, io);
        io.field(s.size);
        io.field(s.thrust);
        io.field(s.state);
        io.field(s.blink_count);
    }

  private:
    // The blink's count and state for one draw; whether the ship shows in it.
    bool shows_in_this_draw();

    float size;
    float thrust;
    int state;
    int blink_count;  // draws counted in state 1, 0 to 100
};
