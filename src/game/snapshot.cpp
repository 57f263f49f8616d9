#include "game/snapshot.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "math/random.h"

namespace {

constexpr uint32_t kMagic = 0x31736c76;  // "vls1"
// More points, forces or bodies than a list may hold: no game has a millionth of that.
constexpr uint32_t kMaxItems = 1 << 20;

class Writer {
  public:
    template <typename T>
    void field(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    template <typename T>
    void field(const std::vector<T>& list) {
        field(static_cast<uint32_t>(list.size()));
        bytes.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(T));
    }
    // A model outline, or a mark when it is the last one's (two hundred stars share one).
    void model(const std::vector<Vector>& points) {
        const bool same =
            last != nullptr && last->size() == points.size() &&
            std::memcmp(last->data(), points.data(), points.size() * sizeof(Vector)) == 0;
        field(static_cast<uint8_t>(same));
        if (!same) {
            field(points);
        }
        last = &points;
    }
    std::string bytes;

  private:
    const std::vector<Vector>* last = nullptr;
};

class Reader {
  public:
    explicit Reader(const std::string& from) : bytes(from) {}

    template <typename T>
    void field(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        take(&value, sizeof value);
    }
    template <typename T>
    void field(std::vector<T>& list) {
        const uint32_t n = count();
        list.resize(n);
        if (n > 0) {
            take(list.data(), n * sizeof(T));
        }
    }
    void model(std::vector<Vector>& points) {
        uint8_t same = 0;
        field(same);
        if (same != 0 && good) {
            points = last;
        } else {
            field(points);
        }
        last = points;
    }
    // A list's length, 0 once anything is wrong.
    uint32_t count() {
        uint32_t n = 0;
        field(n);
        if (n > kMaxItems) {
            good = false;
        }
        return good ? n : 0;
    }
    bool whole() const { return good && at == bytes.size(); }
    bool good = true;

  private:
    void take(void* to, size_t n) {
        if (!good || bytes.size() - at < n) {
            good = false;
            std::memset(to, 0, n);
            return;
        }
        std::memcpy(to, bytes.data() + at, n);
        at += n;
    }

    const std::string& bytes;
    size_t at = 0;
    std::vector<Vector> last;
};

}  // namespace

// Each class's fields, in declaration order, for writing (S const) and reading alike. A body's
// collision box and its angle's cosine and sine are left out: they are only what the next draw
// works out again, and until then a body with no box is tested edge by edge, to the same answer.
struct GameSnapshot::Fields {
    template <typename IO, typename S>
    static void shape(IO& io, S& s) {
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
    }
    template <typename IO, typename S>
    static void ship(IO& io, S& s) {
        shape(io, s);
        io.field(s.size);
        io.field(s.thrust);
        io.field(s.state);
        io.field(s.blink_count);
    }
    template <typename IO, typename S>
    static void bullet(IO& io, S& s) {
        shape(io, s);
        io.field(s.size);
        io.field(s.age);
        io.field(s.origin);
    }
    template <typename IO, typename S>
    static void asteroid(IO& io, S& s) {
        shape(io, s);
        io.field(s.score);
        io.field(s.diameter);
    }
    // All but the two pointers, which the world sets: its bullet list, and its ship or none.
    template <typename IO, typename S>
    static void invader(IO& io, S& s) {
        shape(io, s);
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
    template <typename IO, typename S>
    static void particle(IO& io, S& s) {
        shape(io, s);
        io.field(s.home_x);
        io.field(s.home_y);
    }
    // The tuning values and counters; the lists go their own way. The event log is not the
    // game's state: nothing in the game reads it.
    template <typename IO, typename W>
    static void world(IO& io, W& w) {
        io.field(w.ship_resistance);
        io.field(w.ship_shot_force);
        io.field(w.asteroid_diameter);
        io.field(w.asteroid_score);
        io.field(w.min_split_diameter);
        io.field(w.total_score);
        io.field(w.lifes);
        io.field(w.base_asteroids);
        io.field(w.particle_count);
        io.field(w.particle_mass);
        io.field(w.pull_left);
        io.field(w.pull_right);
        io.field(w.pull_top);
        io.field(w.pull_bottom);
        io.field(w.plain_period);
        io.field(w.plain_timer);
        io.field(w.plain_speed);
        io.field(w.plain_score);
        io.field(w.aimed_period);
        io.field(w.aimed_timer);
        io.field(w.aimed_speed);
        io.field(w.aimed_score);
    }
};

std::string GameSnapshot::save(const Game& game) {
    Writer out;
    out.field(kMagic);
    out.field(vmath::random_sequence());
    out.field(game.game_over);
    out.field(game.level);
    const UniverseG& w = game.world;
    Fields::world(out, w);
    Fields::ship(out, *w.ship);
    out.field(static_cast<uint32_t>(w.asteroids.size()));
    for (const auto& rock : w.asteroids) {
        Fields::asteroid(out, *rock);
    }
    out.field(static_cast<uint32_t>(w.bullets.size()));
    for (const auto& bullet : w.bullets) {
        Fields::bullet(out, *bullet);
    }
    out.field(static_cast<uint32_t>(w.invaders.size()));
    for (const auto& invader : w.invaders) {
        out.field(static_cast<uint8_t>(invader->target != nullptr));
        Fields::invader(out, *invader);
    }
    out.field(static_cast<uint32_t>(w.particles.size()));
    for (const auto& particle : w.particles) {
        Fields::particle(out, *particle);
    }
    out.bytes.shrink_to_fit();
    return std::move(out.bytes);
}

bool GameSnapshot::restore(Game& game, const std::string& bytes) {
    Reader in(bytes);
    uint32_t magic = 0;
    in.field(magic);
    GlibcRandom sequence;
    in.field(sequence);
    in.field(game.game_over);
    in.field(game.level);
    UniverseG& w = game.world;
    Fields::world(in, w);
    Fields::ship(in, *w.ship);
    // Every body is made anew and then given its saved fields; an asteroid's constructor draws
    // from the random sequence, which is set where it stood once they all are made.
    Vector no_push{0, 0};
    w.invaders.clear();
    w.asteroids.clear();
    for (uint32_t n = in.count(); n > 0; --n) {
        auto rock = std::make_unique<Asteroid>(0.0f, 0.0f, 0.0f, &no_push);
        Fields::asteroid(in, *rock);
        w.asteroids.push_back(std::move(rock));
    }
    w.bullets.clear();
    for (uint32_t n = in.count(); n > 0; --n) {
        auto bullet = std::make_unique<Bullet>(0.0f, 0.0f, &no_push, Bullet::kFromShip);
        Fields::bullet(in, *bullet);
        w.bullets.push_back(std::move(bullet));
    }
    for (uint32_t n = in.count(); n > 0; --n) {
        uint8_t aims = 0;
        in.field(aims);
        auto invader = std::make_unique<Invader>(0.0f, 0.0f, &w.bullets, 0.0f);
        invader->target = aims != 0 ? w.ship.get() : nullptr;
        Fields::invader(in, *invader);
        w.invaders.push_back(std::move(invader));
    }
    w.particles.clear();
    for (uint32_t n = in.count(); n > 0; --n) {
        auto particle = std::make_unique<Particle>(0.0f, 0.0f, 1.0f, 0.0f);
        Fields::particle(in, *particle);
        w.particles.push_back(std::move(particle));
    }
    vmath::set_random_sequence(sequence);
    return magic == kMagic && in.whole();
}
