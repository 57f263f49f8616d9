// Shape: the rigid polygon body every game object is made of. It owns its outline, its forces
// and resistances; it advances one physics step per tick and draws itself as one GL primitive.
// Drawing also rebuilds the world outline, which is all the collision tests ever look at.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "geometry/segment_probe.h"
#include "geometry/vector.h"

// A body's colour, components 0 to 1.
struct Color {
    float r, g, b;
};

class Shape {
  public:
    // White, at rest, unrotated, with no points and no forces. Position, mass and draw mode are
    // left for the subclass constructor to set.
    Shape();

    // Appends a model point (shape frame). The world outline catches up at the next draw.
    void add_point(float x, float y);
    // Records a copy of *force: kind 1 acts on the next step only, kind 0 on every step; any
    // other kind is ignored.
    void add_force(Vector* force, int kind);
    // Adds a resistance: the sum of all of them, over the mass, is a drag of constant size.
    void add_force_res(float r);

    // One physics step: acceleration, then velocity (with drag), then position.
    void update();
    void calculate_aceleration();
    void calculate_velocity();
    void calculate_position();

    // Not const: besides sending the vertices it rebuilds the world outline.
    void draw();
    // What draw changes, with nothing sent to GL: the world outline rebuilt. What a game without
    // a window (a replay checked headless) does for a frame.
    void frame_unseen();
    // Sends the world outline of the last draw again, as it was drawn; nothing if never drawn.
    void show_again() const;

    // The world outline as of the last draw; empty if the shape was never drawn.
    std::vector<Vector> get_points_transf() const;
    // A picture of the body between two frames reads these, changing nothing: the outline of
    // the last draw (empty before the first), the model it is made from, and how it is drawn.
    const std::vector<Vector>& outline() const { return points_transf; }
    const std::vector<Vector>& model() const { return points; }
    Color color() const { return Color{r, g, b}; }
    int primitive() const { return draw_mode; }
    Vector get_position() const { return position; }
    float get_body_angle() const { return body_angle; }
    float get_mass() const { return mass; }
    void set_mass(float m) { mass = m; }
    Vector get_aceleration() const { return aceleration; }
    Vector get_velocity() const { return velocity; }
    void set_velocity(float vx, float vy) { velocity = Vector{vx, vy}; }
    void set_RGB(float red, float green, float blue);

    // Does segment a-b cross or touch an edge of this shape's world outline?
    bool intersection_seg(Vector a, Vector b) const { return intersection_seg(SegmentProbe(a, b)); }
    // The same, for a segment tested against many shapes. Inline, so that the common answer
    // (the outline lies clear of the segment's line) costs no call.
    bool intersection_seg(const SegmentProbe& seg) const {
        return !points_transf.empty() && !outline_beside_line(seg) && edge_crosses(seg);
    }
    // Does an edge of other's world outline cross or touch an edge of this one's?
    // Outlines lying wholly inside each other do not count: only edges are tested.
    bool intersection_sh(const Shape* other) const;

    // Hands `sink` every value of the body that a later tick can depend on, in a fixed order:
    // where it is and how it moves, its mass, the forces and resistances on it, and the world
    // outline of its last draw, which the next tick's collisions test. Changes nothing; the
    // recordings' check value is made this way. sink.add takes floats and ints.
    template <typename Sink>
    void visit_state(Sink& sink) const;
    // Position and velocity alone: all a body that never collides carries into later ticks.
    template <typename Sink>
    void visit_motion(Sink& sink) const {
        sink.add(position.x);
        sink.add(position.y);
        sink.add(velocity.x);
        sink.add(velocity.y);
    }

    // Every field of a body, in one order both ways: `io` writes them out of a const one, or
    // reads them into another (a saved game: game/snapshot.h, whose `IO` does the bytes); each
    // object lists its own after these. Its collision box and its angle's cosine and sine are
    // left out: they are what the next draw works out again, and until then a body read back
    // has no box and is tested edge by edge, to the same answer.
    template <typename Self, typename IO>
    static void fields(Self& s, IO& io) {
        io.model(s.points);
        io.field(s.points_transf);
        io.field(s.forces_inst);
        io.field(s.forces_res);
        io.field(s.forces_perm);
        io.field(s.position);
        io.field(s.body_angle);
        io.field(s.mass);
        io.field(s.aceleration);
        io.field(s.velocity);
        io.field(s.r);
        io.field(s.g);
        io.field(s.b);
        io.field(s.draw_mode);
        if constexpr (!std::is_const_v<Self>) {
            s.box_valid = false;
            s.turned_angle_bits = 0x7fc00000u;
        }
    }

  private:
    // The world outline and its box rebuilt, and its vertices sent to GL when kSend.
    template <bool kSend>
    void build_outline();

    // Whether the world outline lies wholly and clearly on one side of the segment's line, so
    // that no edge can cross it. A shortcut only: it answers yes only where the crossing test of
    // every edge would answer no.
    bool outline_beside_line(const SegmentProbe& seg) const;
    // The crossing test, edge by edge, closing edge included; on a non-empty outline.
    bool edge_crosses(const SegmentProbe& seg) const;

    // Bounding box of the world outline, kept by draw for the shortcut above; not valid while
    // the outline is empty or holds a non-finite point.
    Vector box_centre{0, 0};
    Vector box_half{0, 0};  // half the width and half the height
    float box_reach = 0;    // the largest coordinate, in size, of the box
    bool box_valid = false;

    // The cosine and sine of the body angle they were last worked out for (by its bits): most
    // bodies never turn, so draw works them out once, not every frame.
    uint32_t turned_angle_bits = 0x7fc00000u;  // a NaN: no angle yet
    float turned_cos = 1;
    float turned_sin = 0;

  protected:
    // Edge wrap of the ship, bullets and asteroids: y then x, strictly past an edge goes to
    // exactly the opposite edge, dropping the overshoot and keeping the velocity.
    void wrap_edges();

    std::vector<Vector> points;         // model outline, in add_point order
    std::vector<Vector> points_transf;  // world outline of the last draw
    std::vector<Vector> forces_inst;    // one-tick forces, emptied by every step
    std::vector<float> forces_res;      // resistances, never emptied
    std::vector<Vector> forces_perm;    // standing forces, summed by every step
    Vector position;
    float body_angle;  // radians, counter-clockwise from +x
    float mass;
    Vector aceleration;
    Vector velocity;  // field units per tick
    float r, g, b;
    int draw_mode;  // GL primitive passed to glBegin
};

template <typename Sink>
void Shape::visit_state(Sink& sink) const {
    visit_motion(sink);
    sink.add(body_angle);
    sink.add(mass);
    const auto add_all = [&sink](const std::vector<Vector>& list) {
        sink.add(static_cast<int>(list.size()));
        for (const Vector v : list) {
            sink.add(v.x);
            sink.add(v.y);
        }
    };
    add_all(forces_inst);
    add_all(forces_perm);
    sink.add(static_cast<int>(forces_res.size()));
    for (const float res : forces_res) {
        sink.add(res);
    }
    add_all(points_transf);
}

inline bool Shape::outline_beside_line(const SegmentProbe& seg) const {
    if (!box_valid) {
        return false;
    }
    // The side of a point is affine in the point: over the box it ranges over the side of the
    // centre, give or take the spread of the half extents along the normal. No branches: this
    // runs for every bullet against every rock.
    const Vector n = seg.normal;
    const float centre_side = seg.base - (box_centre.x * n.x + box_centre.y * n.y);
    const float spread = box_half.x * std::fabs(n.x) + box_half.y * std::fabs(n.y);
    // Every corner must clear the line by far more than rounding: then each edge has both ends
    // on the same side in the crossing test too, and no edge can cross.
    return std::fabs(centre_side) > spread + seg.margin(box_reach);
}
