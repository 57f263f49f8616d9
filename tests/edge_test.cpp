// The field's edges: the ship, bullets and asteroids wrap to exactly the opposite edge, stars go
// home; a coordinate of exactly 1 or -1 is still inside, on all four edges.
#include <gtest/gtest.h>

#include "objects/asteroid.h"
#include "objects/bullet.h"
#include "objects/particle.h"
#include "objects/ship.h"
#include "probes.h"

namespace {

// Where a body is after one step from `at` at velocity v (no force acts on a bare body).
template <typename Body>
Vector after_step(Body&& body, Vector at, Vector v) {
    place(body, at.x, at.y);
    body.set_velocity(v.x, v.y);
    body.update();
    return body.get_position();
}

TEST(EdgeWrap, ExactEdgesStayOnAllFourAndOvershootsWrapExactlyOrGoHome) {
    const Vector home{0.3f, 0.3f};  // where every star here was made
    struct Case {
        const char* edge;
        Vector at, v;
        Vector wrapped;  // for the ship, bullets and asteroids
        bool star_home;  // a star that leaves goes home; one on the edge stays
    };
    const Case cases[] = {
        {"top, on it", {0.3f, 1}, {0, 0}, {0.3f, 1}, false},
        {"bottom, on it", {0.3f, -1}, {0, 0}, {0.3f, -1}, false},
        {"right, on it", {1, 0.3f}, {0, 0}, {1, 0.3f}, false},
        {"left, on it", {-1, 0.3f}, {0, 0}, {-1, 0.3f}, false},
        {"corner, on it", {1, -1}, {0, 0}, {1, -1}, false},
        {"top, past", {0.3f, 1}, {0, 0.01f}, {0.3f, -1}, true},
        {"bottom, past", {0.3f, -1}, {0, -0.01f}, {0.3f, 1}, true},
        {"right, past", {1, 0.3f}, {0.01f, 0}, {-1, 0.3f}, true},
        {"left, past", {-1, 0.3f}, {-0.01f, 0}, {1, 0.3f}, true},
    };
    Vector no_push{0, 0};
    for (const Case& c : cases) {
        const Vector positions[] = {
            after_step(Ship(0, 0), c.at, c.v),
            after_step(Bullet(0, 0, &no_push, Bullet::kFromShip), c.at, c.v),
            after_step(Asteroid(0, 0, 0.2f, &no_push), c.at, c.v),
        };
        for (const Vector p : positions) {
            EXPECT_EQ(p.x, c.wrapped.x) << c.edge;
            EXPECT_EQ(p.y, c.wrapped.y) << c.edge;
        }
        const Vector star = after_step(Particle(home.x, home.y, 1000, 0.005f), c.at, c.v);
        EXPECT_EQ(star.x, c.star_home ? home.x : c.at.x) << "star, " << c.edge;
        EXPECT_EQ(star.y, c.star_home ? home.y : c.at.y) << "star, " << c.edge;
    }
}

}  // namespace
