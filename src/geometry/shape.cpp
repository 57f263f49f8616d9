#include "geometry/shape.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "math/trig.h"

Shape::Shape() : body_angle(0), r(1), g(1), b(1) {
    aceleration.init();
    velocity.init();
}

void Shape::add_point(float x, float y) {
    points.push_back(Vector{x, y});
}

void Shape::add_force(Vector* force, int kind) {
    if (kind == 0) {
        forces_perm.push_back(*force);
    } else if (kind == 1) {
        forces_inst.push_back(*force);
    }
}

void Shape::add_force_res(float res) {
    forces_res.push_back(res);
}

void Shape::update() {
    calculate_aceleration();
    calculate_velocity();
    calculate_position();
}

void Shape::calculate_aceleration() {
    aceleration.init();
    for (const Vector f : forces_perm) {
        aceleration += f;
    }
    for (const Vector f : forces_inst) {
        aceleration += f;
    }
    forces_inst.clear();
    aceleration /= mass;
}

namespace {

// Moves v toward zero by drag, or stops it dead when it is no larger than the drag.
float slow_down(float v, float drag) {
    if (std::fabs(v) > drag) {
        return v > 0 ? v - drag : v + drag;
    }
    return 0;
}

}  // namespace

void Shape::calculate_velocity() {
    velocity += aceleration;
    float k = 0;
    for (const float res : forces_res) {
        k += res;
    }
    // Without resistance (everything but the ship) the drag k c / mass is exactly zero, whatever
    // the angle, unless the angle or the mass makes it NaN: the three trigonometric calls are
    // skipped then, which changes no bit of the result and most of a tick's cost.
    const bool angle_is_nan = velocity.x != 0 && std::isnan(velocity.y / velocity.x);
    if (k == 0 && mass == mass && mass != 0 && !angle_is_nan) {
        velocity.x = slow_down(velocity.x, 0);
        velocity.y = slow_down(velocity.y, 0);
        return;
    }
    // Only |cos| and |sin| matter below, so angle()'s missing quadrant correction is harmless:
    // the drag has constant size k / mass and always opposes the motion.
    const float phi = angle(velocity);
    const float c = vmath::cos(phi);
    const float s = vmath::sin(phi);
    const Vector drag{k * c / mass, k * s / mass};
    velocity.x = slow_down(velocity.x, std::fabs(drag.x));
    velocity.y = slow_down(velocity.y, std::fabs(drag.y));
}

void Shape::calculate_position() {
    position += velocity;
}

void Shape::draw() {
    glColor3f(r, g, b);
    glBegin(draw_mode);
    build_outline<true>();
    glEnd();
}

void Shape::frame_unseen() {
    build_outline<false>();
}

template <bool kSend>
void Shape::build_outline() {
    uint32_t angle_bits;
    std::memcpy(&angle_bits, &body_angle, sizeof angle_bits);
    if (angle_bits != turned_angle_bits) {
        turned_angle_bits = angle_bits;
        turned_cos = vmath::cos(body_angle);
        turned_sin = vmath::sin(body_angle);
    }
    const float c = turned_cos;
    const float s = turned_sin;
    // One pass builds the outline and its box. `poison` turns NaN as soon as a coordinate is
    // infinite or NaN (which anything times 0 then is): the box is kept only for finite ones.
    const size_t n = points.size();
    points_transf.resize(n);
    Vector lo{0, 0};
    Vector hi{0, 0};
    float poison = 0;
    for (size_t i = 0; i < n; ++i) {
        const Vector p = points[i];
        const Vector q{p.x * c - p.y * s + position.x, p.x * s + p.y * c + position.y};
        points_transf[i] = q;
        if (kSend) {
            glVertex2f(q.x, q.y);
        }
        poison += q.x * 0 + q.y * 0;
        if (i == 0) {
            lo = hi = q;
        }
        lo = Vector{q.x < lo.x ? q.x : lo.x, q.y < lo.y ? q.y : lo.y};
        hi = Vector{q.x > hi.x ? q.x : hi.x, q.y > hi.y ? q.y : hi.y};
    }
    box_valid = n > 0 && poison == 0;
    if (box_valid) {
        box_centre = Vector{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2};
        box_half = Vector{(hi.x - lo.x) / 2, (hi.y - lo.y) / 2};
        box_reach = std::max(std::max(std::fabs(lo.x), std::fabs(hi.x)),
                             std::max(std::fabs(lo.y), std::fabs(hi.y)));
    }
}

void Shape::show_again() const {
    if (points_transf.empty()) {
        return;
    }
    glColor3f(r, g, b);
    glBegin(draw_mode);
    for (const Vector q : points_transf) {
        glVertex2f(q.x, q.y);
    }
    glEnd();
}

std::vector<Vector> Shape::get_points_transf() const {
    return points_transf;
}

void Shape::set_RGB(float red, float green, float blue) {
    r = red;
    g = green;
    b = blue;
}

bool Shape::edge_crosses(const SegmentProbe& seg) const {
    const size_t n = points_transf.size();
    // A non-finite point (no shortcuts then) or an outline too long for the bit sets below:
    // every edge is tested. The game's outlines have at most 13 points.
    if (!box_valid || n > 31) {
        for (size_t i = 0; i < n; ++i) {
            if (intersection_segments(seg.a, seg.b, points_transf[i], points_transf[(i + 1) % n])) {
                return true;
            }
        }
        return false;
    }
    // Shortcut for the edges that do not reach the line of a-b: the side of each corner is the
    // very numerator the crossing test computes first, and an edge whose two ends stand clearly
    // on the same side (see outline_beside_line for the margin) fails that test. The corners
    // are sorted into bit sets without a branch, since the sides change sign at random.
    const float margin = seg.margin(box_reach);
    uint32_t above = 0;
    uint32_t below = 0;
    for (size_t i = 0; i < n; ++i) {
        const float side = (seg.a - points_transf[i]) * seg.normal;
        above |= uint32_t{side > margin} << i;
        below |= uint32_t{side < -margin} << i;
    }
    // Bit i of the turned set is corner i + 1's, the closing edge's end being corner 0.
    const auto turned = [n](uint32_t set) { return (set >> 1) | ((set & 1u) << (n - 1)); };
    const uint32_t clear = (above & turned(above)) | (below & turned(below));
    for (uint32_t near = ~clear & ((1u << n) - 1); near != 0; near &= near - 1) {
        const size_t i = static_cast<size_t>(__builtin_ctz(near));
        if (intersection_segments(seg.a, seg.b, points_transf[i],
                                  points_transf[i + 1 < n ? i + 1 : 0])) {
            return true;
        }
    }
    return false;
}

bool Shape::intersection_sh(const Shape* other) const {
    const std::vector<Vector>& theirs = other->points_transf;
    const size_t n = theirs.size();
    for (size_t j = 0; j < n; ++j) {
        if (intersection_seg(theirs[j], theirs[j + 1 < n ? j + 1 : 0])) {
            return true;
        }
    }
    return false;
}

void Shape::wrap_edges() {
    if (position.y > 1) {
        position.y = -1;
    }
    if (position.y < -1) {
        position.y = 1;
    }
    if (position.x > 1) {
        position.x = -1;
    }
    if (position.x < -1) {
        position.x = 1;
    }
}
