#include "app/picture.h"

#include <GL/gl.h>

#include <cmath>
#include <type_traits>

namespace {

// Half the side of an invader's bullet's diamond in the colour-blind palette: six pixels
// across at 500 (a ship's bullet is twelve long).
constexpr float kDiamond = 0.012f;

// Sends one body's outline, moved by `shift`, in the look's line width.
class Pen {
  public:
    explicit Pen(const Look& look)
        : half(look.line_px / static_cast<float>(look.side_px)), wide(look.line_px > 1.25f) {}

    void outline(const std::vector<Vector>& points, Vector shift, int mode, Color c) const {
        glColor3f(c.r, c.g, c.b);
        if (mode == GL_POLYGON || !wide) {
            glBegin(mode);
            for (const Vector p : points) {
                glVertex2f(p.x + shift.x, p.y + shift.y);
            }
            glEnd();
            return;
        }
        // Wide lines as quads, each segment's ends carried on by half the width so that the
        // corners of a loop close.
        glBegin(GL_TRIANGLES);
        const size_t n = points.size();
        const bool loop = mode == GL_LINE_LOOP;
        for (size_t i = 0; i + 1 < n || (loop && i < n && n > 1); i += loop ? 1 : 2) {
            segment(points[i], points[(i + 1) % n], shift);
        }
        glEnd();
    }

    void diamond(Vector at, Color c) const {
        glColor3f(c.r, c.g, c.b);
        glBegin(GL_POLYGON);
        glVertex2f(at.x + kDiamond, at.y);
        glVertex2f(at.x, at.y + kDiamond);
        glVertex2f(at.x - kDiamond, at.y);
        glVertex2f(at.x, at.y - kDiamond);
        glEnd();
    }

  private:
    void segment(Vector a, Vector b, Vector shift) const {
        const float dx = b.x - a.x;
        const float dy = b.y - a.y;
        const float length = std::sqrt(dx * dx + dy * dy);
        const Vector d =
            length > 0 ? Vector{dx / length * half, dy / length * half} : Vector{half, 0};
        const Vector n{-d.y, d.x};
        const Vector from{a.x + shift.x - d.x, a.y + shift.y - d.y};
        const Vector to{b.x + shift.x + d.x, b.y + shift.y + d.y};
        const Vector corners[6] = {{from.x + n.x, from.y + n.y}, {from.x - n.x, from.y - n.y},
                                   {to.x - n.x, to.y - n.y},     {from.x + n.x, from.y + n.y},
                                   {to.x - n.x, to.y - n.y},     {to.x + n.x, to.y + n.y}};
        for (const Vector v : corners) {
            glVertex2f(v.x, v.y);
        }
    }

    float half;  // in field units: the field's 2 units span side_px pixels
    bool wide;
};

Vector carried(const Shape& body, float fraction) {
    const Vector v = body.get_velocity();
    return Vector{v.x * fraction, v.y * fraction};
}

}  // namespace

void Picture::framing(const Game& game) {
    last_drawn.clear();
    game.get_world().visit_bodies([this](const auto& body) {
        if constexpr (std::is_same_v<std::decay_t<decltype(body)>, Bullet>) {
            if (body.get_age() == 49) {
                last_drawn.push_back(body);
            }
        }
    });
}

void Picture::framed(const Game& game) {
    // A copy's outline comes from the same code as the world's, so it is the frame's exactly.
    for (Bullet& copy : last_drawn) {
        copy.frame_unseen();
    }
    const Ship& ship = *game.get_world().get_ship();
    drawn_angle = ship.get_body_angle();
    drawn_at = ship.get_position();
}

void Picture::draw(const Game& game, float fraction, const Look& look) const {
    const Pen pen(look);
    struct Bodies {
        const Picture& picture;
        const Pen& pen;
        const Look& look;
        float f;
        mutable bool kept_drawn = false;

        // The bullets the frame dropped were the oldest, at the head of the list: drawn after
        // the stars and before the rest, where the frame drew them.
        void after_the_stars() const {
            if (!kept_drawn) {
                kept_drawn = true;
                for (const Bullet& copy : picture.last_drawn) {
                    shown(copy);
                }
            }
        }

        // A frame made unseen leaves the stars' outlines as they were: theirs come from where
        // they are (a star never turns).
        void operator()(const Particle& star) const {
            std::vector<Vector> at;
            const Vector p = star.get_position();
            for (const Vector m : star.model()) {
                at.push_back(Vector{m.x + p.x, m.y + p.y});
            }
            pen.outline(at, carried(star, f), star.primitive(), star.color());
        }
        void operator()(const Bullet& bullet) const {
            after_the_stars();
            shown(bullet);
        }
        void shown(const Bullet& bullet) const {
            const std::vector<Vector>& o = bullet.outline();
            if (o.size() < 2) {
                return;  // born since the frame: it shows from the next
            }
            const Vector shift = carried(bullet, f);
            if (!look.colour_blind) {
                pen.outline(o, shift, bullet.primitive(), bullet.color());
            } else if (bullet.get_origin() == Bullet::kFromShip) {
                pen.outline(o, shift, bullet.primitive(), kShipShot);
            } else {
                pen.diamond(
                    Vector{(o[0].x + o[1].x) / 2 + shift.x, (o[0].y + o[1].y) / 2 + shift.y},
                    kInvaderShot);
            }
        }
        void operator()(const Asteroid& rock) const {
            after_the_stars();
            pen.outline(rock.outline(), carried(rock, f), rock.primitive(), rock.color());
        }
        void operator()(const Invader& invader) const {
            after_the_stars();
            pen.outline(invader.outline(), carried(invader, f), invader.primitive(),
                        invader.color());
        }
        // The ship turned since the frame is turned about where it was drawn.
        void operator()(const Ship& ship) const {
            after_the_stars();
            if (!ship.shown() || ship.outline().empty()) {
                return;
            }
            const float turn = ship.get_body_angle() - picture.drawn_angle;
            std::vector<Vector> o = ship.outline();
            if (turn != 0) {
                const float c = std::cos(turn);
                const float s = std::sin(turn);
                const Vector at = picture.drawn_at;
                for (Vector& q : o) {
                    const float x = q.x - at.x;
                    const float y = q.y - at.y;
                    q = Vector{x * c - y * s + at.x, x * s + y * c + at.y};
                }
            }
            pen.outline(o, carried(ship, f), ship.primitive(), ship.color());
        }
    };
    game.get_world().visit_bodies(Bodies{*this, pen, look, fraction});
}
