// The world: level set-up, firing, the step's schedules, collisions, splitting, scores and
// lives, and the drawing that retires bullets.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "gl_recorder.h"
#include "math/random.h"
#include "world_builder.h"

namespace {

constexpr float kTol = 1e-5f;

class World : public ::testing::Test {
  protected:
    // The world seeds rand() from the clock; reseed so everything after is known.
    World() { vmath::srand(4242); }

    std::list<std::unique_ptr<Asteroid>>& rocks() { return WorldProbe::asteroids(world); }
    BulletList& bullets() { return WorldProbe::bullets(world); }
    std::list<std::unique_ptr<Invader>>& invaders() { return WorldProbe::invaders(world); }

    UniverseG world;
};

// A seed after which the split drawn first gives the ratio wanted (0.5 or 0.6).
unsigned seed_for_ratio(int tenths) {
    for (unsigned seed = 1;; ++seed) {
        vmath::srand(seed);
        if (vmath::rand() % 2 + 5 == tenths) {
            return seed;
        }
    }
}

// A horizontal bullet through the rock's first outline corner, which it touches.
Vector first_corner(const Asteroid& rock) {
    return rock.get_points_transf().at(0);
}

// --- Set-up and commands ---------------------------------------------------------------------

TEST_F(World, FreshWorldIsLevelZero) {
    UniverseG fresh;
    const std::list<Asteroid*> rocks = fresh.get_asteroids();
    ASSERT_EQ(rocks.size(), 2u);
    EXPECT_FLOAT_EQ(rocks.front()->get_position().x, -0.7f);
    EXPECT_FLOAT_EQ(rocks.front()->get_position().y, 0.2f);
    EXPECT_FLOAT_EQ(rocks.back()->get_position().x, -0.49f);
    for (const Asteroid* rock : rocks) {
        EXPECT_EQ(rock->get_diameter(), 0.2f);
        EXPECT_EQ(rock->get_score(), 1);
    }
    EXPECT_EQ(WorldProbe::particles(fresh).size(), 200u);
    EXPECT_TRUE(WorldProbe::bullets(fresh).empty());
    EXPECT_TRUE(WorldProbe::invaders(fresh).empty());
    EXPECT_EQ(fresh.get_ship()->get_position().x, 0);
    EXPECT_EQ(fresh.get_ship()->get_position().y, 0);
    EXPECT_EQ(fresh.get_ship()->get_state(), 1);
    EXPECT_EQ(fresh.get_total_score(), 0);
    EXPECT_EQ(fresh.get_lifes(), 3);
}

TEST_F(World, RestartLaysRowsOfNineAndKeepsScoreLivesShipAndTimers) {
    world.ship_shot();
    add_invader(world, 0, 0);
    WorldProbe::total_score(world) = 17;
    WorldProbe::lifes(world) = 2;
    WorldProbe::plain_timer(world) = 123;
    WorldProbe::aimed_timer(world) = 45;
    Ship* ship = world.get_ship();
    place(*ship, 0.3f, -0.2f);
    ship->set_velocity(0.01f, 0.02f);
    ship->set_state(0);
    rocks().clear();

    world.restart(9);

    const std::list<Asteroid*> laid = world.get_asteroids();
    ASSERT_EQ(laid.size(), 11u);
    const float row_x[] = {-0.7f, -0.49f, -0.28f, -0.07f, 0.14f, 0.35f, 0.56f, 0.77f, 0.98f};
    auto it = laid.begin();
    for (int i = 0; i < 11; ++i, ++it) {
        EXPECT_NEAR((*it)->get_position().x, row_x[i % 9], kTol) << i;
        EXPECT_NEAR((*it)->get_position().y, i < 9 ? 0.2f : 0.4f, kTol) << i;
    }
    EXPECT_TRUE(bullets().empty());
    EXPECT_TRUE(invaders().empty());
    EXPECT_EQ(WorldProbe::particles(world).size(), 200u);
    EXPECT_EQ(world.get_total_score(), 17);
    EXPECT_EQ(world.get_lifes(), 2);
    EXPECT_EQ(WorldProbe::plain_timer(world), 123);
    EXPECT_EQ(WorldProbe::aimed_timer(world), 45);
    EXPECT_FLOAT_EQ(ship->get_position().x, 0.3f);
    EXPECT_FLOAT_EQ(ship->get_velocity().y, 0.02f);
    EXPECT_EQ(ship->get_state(), 1);
}

TEST_F(World, RestartDrawsRandInLayoutOrder) {
    // Each asteroid: one value for its push, then 13 for its outline; then two per particle.
    rocks().clear();
    vmath::srand(99);
    int values[2 * 14 + 2];
    for (int& v : values) {
        v = vmath::rand();
    }
    vmath::srand(99);
    world.restart(0);
    world.update();  // the pushes act in the first step

    const std::list<Asteroid*> laid = world.get_asteroids();
    ASSERT_EQ(laid.size(), 2u);
    auto it = laid.begin();
    for (int i = 0; i < 2; ++i, ++it) {
        const float t = (values[14 * i] % 101) / 100.0f;
        const float a = t * 180 * 0.0174532925;
        const float s = t * a + 150;
        EXPECT_NEAR((*it)->get_velocity().x, s * std::cos(a) / 10000, 1e-7f) << i;
        EXPECT_NEAR((*it)->get_velocity().y, s * std::sin(a) / 10000, 1e-7f) << i;
        EXPECT_GE((*it)->get_velocity().y, 0);  // never heading downward
    }
    // The first particle's home, seen through its first draw before it can drift far.
    ASSERT_FALSE(WorldProbe::particles(world).empty());
    const Particle& star = *WorldProbe::particles(world).front();
    const float px = (values[28] % 101) / 100.0f * 2 - 1;
    const float py = (values[29] % 101) / 100.0f * 2 - 1;
    EXPECT_NEAR(star.get_position().x, px, 1e-4f);
    EXPECT_NEAR(star.get_position().y, py, 1e-4f);
}

TEST_F(World, ShipShotFiresLightRedFromTheShipWithItsVelocity) {
    empty_world(world);
    Ship* ship = world.get_ship();
    place(*ship, 0.2f, 0.1f);
    ship->set_velocity(0.01f, 0);
    ship->left();
    world.ship_shot();  // state 1 fires like state 0
    ASSERT_EQ(bullets().size(), 1u);
    Bullet& b = *bullets().front();
    EXPECT_EQ(b.get_origin(), 0);
    EXPECT_FLOAT_EQ(b.get_position().x, 0.2f);
    EXPECT_FLOAT_EQ(b.get_velocity().x, 0.01f);
    EXPECT_FLOAT_EQ(b.get_body_angle(), 0.1f);
    b.update();
    EXPECT_NEAR(b.get_velocity().x, 0.01f + 0.05f * std::cos(0.1f), 1e-7f);
    EXPECT_NEAR(b.get_velocity().y, 0.05f * std::sin(0.1f), 1e-7f);
    gl::reset();
    b.draw();
    const gl::Color c = gl::recording().primitives.at(0).color;
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 0.3f);
    EXPECT_EQ(c.b, 0.3f);

    ship->set_state(2);
    world.ship_shot();
    EXPECT_EQ(bullets().size(), 1u);
}

// --- Schedules and particles -----------------------------------------------------------------

TEST_F(World, PlainInvaderInStepOneAimedInStep301) {
    rocks().clear();  // nothing for the invaders to touch
    world.update();
    ASSERT_EQ(invaders().size(), 1u);
    const Invader& plain = *invaders().front();
    EXPECT_EQ(plain.target, nullptr);
    EXPECT_FLOAT_EQ(plain.get_position().x, -0.99f);  // made at -1, then stepped once
    EXPECT_FLOAT_EQ(plain.get_position().y, -0.5f);
    EXPECT_FLOAT_EQ(plain.get_velocity().x, 0.01f);
    EXPECT_EQ(plain.get_score(), 100);

    for (int step = 2; step <= 300; ++step) {
        world.update();
    }
    EXPECT_TRUE(invaders().empty());  // the plain one left by the right edge
    world.update();                   // step 301
    ASSERT_EQ(invaders().size(), 1u);
    Invader& aimed = *invaders().front();
    EXPECT_EQ(aimed.target, world.get_ship());
    EXPECT_FLOAT_EQ(aimed.get_position().x, 0.99f);
    EXPECT_FLOAT_EQ(aimed.get_position().y, 0.5f);
    gl::reset();
    aimed.draw();
    const gl::Primitive& hexagon = gl::recording().primitives.at(0);
    EXPECT_EQ(hexagon.color.r, 1);
    EXPECT_EQ(hexagon.color.g, 1);
    EXPECT_EQ(hexagon.color.b, 0);
    EXPECT_NEAR(hexagon.vertices[0].x - aimed.get_position().x, 0.03f, kTol);

    for (int step = 302; step <= 501; ++step) {
        world.update();
    }
    EXPECT_EQ(invaders().size(), 1u);
    world.update();  // step 502: the next plain invader, 501 steps after the first
    ASSERT_EQ(invaders().size(), 2u);
    EXPECT_EQ(invaders().back()->target, nullptr);
}

TEST_F(World, ParticlesArePulledTowardTheNearerEdges) {
    empty_world(world);
    WorldProbe::particles(world).push_back(std::make_unique<Particle>(0.5f, -0.5f, 1000, 0.005f));
    world.update();
    const Particle& p = *WorldProbe::particles(world).front();
    // (0.005 / 1.5^2 - 0.005 / 2.5^2) / 1000 along x, the mirror image along y.
    const float pull = (0.005f / 2.25f - 0.005f / 6.25f) / 1000;
    EXPECT_NEAR(p.get_velocity().x, pull, 1e-10f);
    EXPECT_NEAR(p.get_velocity().y, -pull, 1e-10f);
}

// --- The bullet pass -------------------------------------------------------------------------

TEST_F(World, BulletCrossingTwoAsteroidsDestroysOnlyTheFirst) {
    empty_world(world);
    // Same seed, same place: identical outlines, one over the other.
    Asteroid* first = add_rock(world, 0.3f, 0.3f, 0.08f, 1, 7);
    Asteroid* second = add_rock(world, 0.3f, 0.3f, 0.08f, 5, 7);
    const Vector at = first_corner(*first);
    add_bullet(world, at.x, at.y, {0.5f, 0}, 0);
    world.update();
    const std::list<Asteroid*> left = world.get_asteroids();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.front(), second);
    EXPECT_EQ(world.get_total_score(), 1);
    EXPECT_TRUE(bullets().empty());  // spent
}

TEST_F(World, SplitHalvesAreAppendedWithScoresMassesAndOppositeVelocities) {
    struct Case {
        int tenths;
        int score;
        int first_score, second_score;
    };
    for (const Case c : {Case{6, 1, 1, 2}, Case{5, 1, 2, 2}, Case{6, 2, 3, 5}}) {
        UniverseG w;
        empty_world(w);
        Asteroid* hit = add_rock(w, -0.4f, 0.1f, 0.2f, c.score, 3);
        hit->set_velocity(0.01f, 0.002f);
        Asteroid* bystander = add_rock(w, 0.6f, 0.6f, 0.2f, 1, 4);
        const Vector at = first_corner(*hit);
        add_bullet(w, at.x, at.y, {0.5f, 0}, 0);
        vmath::srand(seed_for_ratio(c.tenths));
        w.update();

        const std::list<Asteroid*> now = w.get_asteroids();
        ASSERT_EQ(now.size(), 3u) << c.tenths << " " << c.score;
        auto it = now.begin();
        EXPECT_EQ(*it++, bystander);
        const Asteroid& a = **it++;
        const Asteroid& b = **it;
        const float r = c.tenths / 10.0;
        EXPECT_EQ(w.get_total_score(), c.score);
        EXPECT_EQ(a.get_score(), c.first_score);
        EXPECT_EQ(b.get_score(), c.second_score);
        EXPECT_FLOAT_EQ(a.get_diameter(), 0.2f * r);
        EXPECT_FLOAT_EQ(b.get_diameter(), 0.2f * (1 - r));
        EXPECT_FLOAT_EQ(a.get_mass(), 10010 * r);
        EXPECT_FLOAT_EQ(b.get_mass(), 10010 * (1 - r));
        // The rock's velocity plus the bullet's after its first step (0.05 to the right).
        EXPECT_NEAR(a.get_velocity().x, 0.06f * r, 1e-7f);
        EXPECT_NEAR(a.get_velocity().y, 0.002f * r, 1e-7f);
        EXPECT_NEAR(b.get_velocity().x, -0.06f * (1 - r), 1e-7f);
        EXPECT_NEAR(b.get_velocity().y, -0.002f * (1 - r), 1e-7f);
        EXPECT_FLOAT_EQ(a.get_position().x, -0.39f);  // where the rock was after its step
        EXPECT_TRUE(a.get_points_transf().empty());   // not yet drawn: hit by nothing yet
        EXPECT_TRUE(WorldProbe::bullets(w).empty());
    }
}

TEST_F(World, SmallestPiecesAreNotSplit) {
    empty_world(world);
    Asteroid* at_limit = add_rock(world, -0.5f, -0.5f, 0.08f, 4, 5);
    Asteroid* above = add_rock(world, 0.5f, 0.5f, 0.1f, 1, 6);
    const Vector c1 = first_corner(*at_limit);
    const Vector c2 = first_corner(*above);
    add_bullet(world, c1.x, c1.y, {0.5f, 0}, 0);
    add_bullet(world, c2.x, c2.y, {0.5f, 0}, 0);
    world.update();
    const std::list<Asteroid*> now = world.get_asteroids();
    ASSERT_EQ(now.size(), 2u);  // 0.08 destroyed whole, 0.1 split in two
    for (const Asteroid* piece : now) {
        EXPECT_LT(piece->get_diameter(), 0.07f);
    }
    EXPECT_EQ(world.get_total_score(), 5);
}

TEST_F(World, ShipBulletDestroysAnInvaderAndFliesOn) {
    empty_world(world);
    add_invader(world, 0.5f, 0.5f, 100);
    Invader* second = add_invader(world, 0.5f, 0.5f, 100);
    // Through the hexagon's left edges, well inside its left corner at x = 0.45.
    Bullet* b = add_bullet(world, 0.45f, 0.51f, {0.5f, 0}, 0);
    world.update();
    ASSERT_EQ(invaders().size(), 1u);  // only the first it crossed
    EXPECT_EQ(invaders().front().get(), second);
    EXPECT_EQ(world.get_total_score(), 100);
    ASSERT_EQ(bullets().size(), 1u);
    EXPECT_EQ(bullets().front().get(), b);
}

TEST_F(World, InvaderBulletDoesNotHurtInvaders) {
    empty_world(world);
    add_invader(world, 0.5f, 0.5f);
    add_bullet(world, 0.45f, 0.51f, {0.5f, 0}, 1);
    world.update();
    EXPECT_EQ(invaders().size(), 1u);
    EXPECT_EQ(world.get_total_score(), 0);
}

TEST_F(World, InvaderBulletCostsALifeOnlyInStateZeroAndIsNotSpent) {
    empty_world(world);
    Ship* ship = ship_in_play_at(world, 0, 0);
    // Crosses the ship's upper edge, from the nose (0.05, 0) to (-0.05, 0.05), at x = 0.03.
    add_bullet(world, 0.03f, 0.01f, {0.5f, 0}, 1);
    world.update();
    EXPECT_EQ(world.get_lifes(), 2);
    EXPECT_EQ(ship->get_state(), 1);
    EXPECT_EQ(bullets().size(), 1u);

    // Blinking: the same bullet, still where it was drawn, costs nothing.
    world.update();
    EXPECT_EQ(world.get_lifes(), 2);
    ship->set_state(2);
    world.update();
    EXPECT_EQ(world.get_lifes(), 2);

    // A ship's own bullet never costs a life.
    UniverseG other;
    empty_world(other);
    ship_in_play_at(other, 0, 0);
    add_bullet(other, 0.03f, 0.01f, {0.5f, 0}, 0);
    other.update();
    EXPECT_EQ(other.get_lifes(), 3);
}

TEST_F(World, NeverDrawnBulletSitsOutThePassButStillMoves) {
    empty_world(world);
    ship_in_play_at(world, 0, 0);
    // A rock around the ship's muzzle; the shot has no outline until drawn.
    add_rock(world, 0.1f, 0.0f, 0.08f, 1, 2);
    world.ship_shot();
    world.get_ship()->set_state(1);  // keep the ship out of the contact pass
    world.update();
    ASSERT_EQ(bullets().size(), 1u);
    EXPECT_EQ(world.get_asteroids().size(), 1u);
    EXPECT_FLOAT_EQ(bullets().front()->get_position().x, 0.05f);
}

// --- Ship and invader passes -----------------------------------------------------------------

TEST_F(World, ShipContactCostsOneLifeEvenAgainstTwoRocks) {
    empty_world(world);
    Ship* ship = ship_in_play_at(world, 0, 0);
    Asteroid* a = add_rock(world, 0.05f, 0.0f, 0.08f, 1, 8);
    Asteroid* b = add_rock(world, 0.05f, 0.0f, 0.08f, 1, 9);
    ASSERT_TRUE(a->intersection_sh(ship));
    ASSERT_TRUE(b->intersection_sh(ship));
    world.update();
    EXPECT_EQ(world.get_lifes(), 2);
    EXPECT_EQ(ship->get_state(), 1);
    EXPECT_EQ(world.get_asteroids().size(), 2u);  // rocks untouched, no score
    EXPECT_EQ(world.get_total_score(), 0);
    world.update();  // blinking now: no further loss
    EXPECT_EQ(world.get_lifes(), 2);
}

TEST_F(World, InvadersLeaveOnlyByTheRightEdge) {
    empty_world(world);
    Invader* on_edge = add_invader(world, 1.0f, 0.0f);
    Invader* past = add_invader(world, 1.0f, 0.3f);
    past->set_velocity(1e-4f, 0);
    Invader* out_left = add_invader(world, -1.2f, 0.0f);
    Invader* out_top = add_invader(world, 0.0f, 1.3f);
    world.update();
    std::list<Invader*> now;
    for (const auto& inv : invaders()) {
        now.push_back(inv.get());
    }
    EXPECT_EQ(now, (std::list<Invader*>{on_edge, out_left, out_top}));
}

TEST_F(World, InvaderTouchingARockIsRemovedAndThePassGoesOn) {
    empty_world(world);
    Asteroid* rock = add_rock(world, -0.3f, -0.3f, 0.2f, 1, 11);
    const Vector corner = first_corner(*rock);
    Invader* before = add_invader(world, 0.5f, 0.5f);
    add_invader(world, corner.x, corner.y);  // its hexagon crosses the rock's outline
    Invader* after = add_invader(world, 0.7f, 0.7f);
    after->set_velocity(0.01f, 0);
    world.update();
    ASSERT_EQ(invaders().size(), 2u);
    EXPECT_EQ(invaders().front().get(), before);
    EXPECT_EQ(invaders().back().get(), after);
    EXPECT_FLOAT_EQ(after->get_position().x, 0.71f);  // stepped exactly once
    EXPECT_EQ(world.get_asteroids().size(), 1u);
    EXPECT_EQ(world.get_total_score(), 0);
}

TEST_F(World, InvaderShotJoinsTheBulletListAndFliesNextStep) {
    empty_world(world);
    Invader* inv = add_invader(world, 0.0f, -0.5f);
    for (int i = 0; i < 26; ++i) {
        world.update();
    }
    ASSERT_EQ(bullets().size(), 1u);
    EXPECT_EQ(bullets().front()->get_origin(), 1);
    EXPECT_FLOAT_EQ(bullets().front()->get_position().x, inv->get_position().x);
}

TEST_F(World, LastAsteroidShotLeavesAnEmptyList) {
    empty_world(world);
    Asteroid* rock = add_rock(world, 0.0f, 0.5f, 0.08f, 1, 12);
    const Vector c = first_corner(*rock);
    add_bullet(world, c.x, c.y, {0.5f, 0}, 0);
    world.update();
    EXPECT_TRUE(world.get_asteroids().empty());
}

// --- Drawing ---------------------------------------------------------------------------------

bool is_ship_bullet(const gl::Primitive& p) {
    return p.mode == GL_LINES && p.color.r == 1.0f && p.color.g == 0.3f;
}

int ship_bullets_drawn() {
    int n = 0;
    for (const gl::Primitive& p : gl::recording().primitives) {
        n += is_ship_bullet(p) ? 1 : 0;
    }
    return n;
}

TEST_F(World, DrawsInLayerOrderWithTheShipLast) {
    empty_world(world);
    WorldProbe::particles(world).push_back(std::make_unique<Particle>(0, 0, 1000, 0.005f));
    add_invader(world, 0.5f, 0.5f);
    add_rock(world, -0.5f, 0.5f, 0.2f, 1);
    world.get_ship()->set_state(0);
    world.ship_shot();
    gl::reset();
    world.draw();
    const std::vector<gl::Primitive>& p = gl::recording().primitives;
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0].vertices.size(), 6u);  // particle
    EXPECT_TRUE(is_ship_bullet(p[1]));
    EXPECT_EQ(p[2].vertices.size(), 13u);  // asteroid
    EXPECT_EQ(p[3].mode, GL_POLYGON);
    EXPECT_EQ(p[4].vertices.size(), 3u);  // the ship
}

TEST_F(World, EmptyWorldDrawsOnlyTheShip) {
    empty_world(world);
    world.get_ship()->set_state(0);
    gl::reset();
    world.draw();
    EXPECT_EQ(gl::recording().primitives.size(), 1u);
    world.get_ship()->set_state(2);
    gl::reset();
    world.draw();
    EXPECT_TRUE(gl::recording().primitives.empty());
}

TEST_F(World, BulletsAreRetiredAfterTheirFiftiethDrawAdjacentOnesIncluded) {
    empty_world(world);
    world.ship_shot();
    world.ship_shot();
    gl::reset();
    for (int i = 0; i < 49; ++i) {
        world.draw();
    }
    EXPECT_EQ(ship_bullets_drawn(), 2 * 49);
    world.ship_shot();
    gl::reset();
    world.draw();  // the 50th of the first two, the first of the third
    EXPECT_EQ(ship_bullets_drawn(), 3);
    EXPECT_EQ(bullets().size(), 1u);
    gl::reset();
    world.draw();
    EXPECT_EQ(ship_bullets_drawn(), 1);
}

TEST_F(World, ABulletSpentBeforeItsFirstDrawIsNeverDrawn) {
    empty_world(world);
    world.get_ship()->set_state(0);
    Asteroid* rock = add_rock(world, 0.2f, 0.2f, 0.08f, 1, 13);
    const Vector c = first_corner(*rock);
    add_bullet(world, c.x, c.y, {0.5f, 0}, 0);
    world.update();
    gl::reset();
    world.draw();
    EXPECT_EQ(ship_bullets_drawn(), 0);
}

// --- Events ------------------------------------------------------------------------------------

// The kinds (and sizes) of the events logged since `from`.
std::vector<std::pair<int, float>> events_since(const UniverseG& w, uint64_t from) {
    std::vector<std::pair<int, float>> out;
    w.get_events().since(from, [&out](const WorldEvent& e) { out.push_back({e.kind, e.size}); });
    return out;
}

TEST_F(World, EventsLogShotsThrustHitsAndRocksAsTheyHappen) {
    empty_world(world);
    ship_in_play_at(world, 0, 0);
    uint64_t from = world.get_events().next();
    world.ship_shot();
    world.ship_up();
    EXPECT_EQ(events_since(world, from),
              (std::vector<std::pair<int, float>>{{WorldEvent::kShipFired, 0},
                                                  {WorldEvent::kShipThrust, 0}}));

    // Bullets through a big rock (breaks) and a small one (destroyed), an invader's bullet
    // through the ship (a life), and an invader that fires in this step.
    empty_world(world);
    ship_in_play_at(world, 0, 0);
    const Asteroid* big = add_rock(world, 0.5f, 0.5f, 0.2f, 1);
    const Vector corner = first_corner(*big);
    add_bullet(world, corner.x, corner.y, {0.5f, 0}, Bullet::kFromShip);
    const Asteroid* small = add_rock(world, -0.5f, -0.5f, 0.06f, 1);
    const Vector small_corner = first_corner(*small);
    add_bullet(world, small_corner.x, small_corner.y, {0.5f, 0}, Bullet::kFromShip);
    add_bullet(world, 0.03f, 0.01f, {0.5f, 0}, Bullet::kFromInvader);
    Invader* shooter = add_invader(world, -0.5f, 0.8f);
    for (int i = 0; i < 25; ++i) {
        shooter->update();  // the next update fires
    }
    from = world.get_events().next();
    world.update();
    std::vector<std::pair<int, float>> happened = events_since(world, from);
    std::sort(happened.begin(), happened.end());
    EXPECT_EQ(happened, (std::vector<std::pair<int, float>>{{WorldEvent::kInvaderFired, 0},
                                                            {WorldEvent::kAsteroidBroke, 0.2f},
                                                            {WorldEvent::kAsteroidDestroyed, 0.06f},
                                                            {WorldEvent::kShipHit, 0}}));

    // Out of play the ship neither fires nor thrusts, and logs neither.
    world.get_ship()->set_state(Ship::kOutOfPlay);
    from = world.get_events().next();
    world.ship_shot();
    world.ship_up();
    EXPECT_TRUE(events_since(world, from).empty());
}

TEST(EventLog, KeepsTheLastOnesNumberedInOrder) {
    EventLog log;
    for (int i = 0; i < 300; ++i) {
        log.add(WorldEvent{WorldEvent::kShipFired, static_cast<float>(i), 0});
    }
    EXPECT_EQ(log.next(), 300u);
    std::vector<float> seen;
    log.since(0, [&seen](const WorldEvent& e) { seen.push_back(e.x); });
    ASSERT_EQ(seen.size(), EventLog::kKept);
    EXPECT_EQ(seen.front(), 300 - static_cast<float>(EventLog::kKept));
    EXPECT_EQ(seen.back(), 299);
    seen.clear();
    log.since(298, [&seen](const WorldEvent& e) { seen.push_back(e.x); });
    EXPECT_EQ(seen, (std::vector<float>{298, 299}));
}

}  // namespace
