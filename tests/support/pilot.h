// A scripted pilot: turns toward the nearest asteroid, leading it by the bullet's flight time,
// and fires while lined up. It stays where it is and never thrusts.
#pragma once

#include <cmath>
#include <limits>

#include "game/game.h"

class Pilot {
  public:
    // Presses this tick's keys on `controls`: the game, or anything with its three commands.
    template <typename Controls>
    void act(Controls& controls, const UniverseG& world) {
        const Ship& ship = *world.get_ship();
        const Vector me = ship.get_position();
        float best = std::numeric_limits<float>::max();
        Vector aim{0, 0};
        for (const Asteroid* rock : world.get_asteroids()) {
            const Vector at = centre_of(*rock);
            const float d = std::hypot(at.x - me.x, at.y - me.y);
            if (d < best) {
                best = d;
                // Bullets fly at about 0.05 per tick.
                const float flight = d / 0.05f;
                aim = Vector{at.x + rock->get_velocity().x * flight,
                             at.y + rock->get_velocity().y * flight};
            }
        }
        if (best == std::numeric_limits<float>::max()) {
            return;
        }
        const float wanted = std::atan2(aim.y - me.y, aim.x - me.x);
        const float off = std::remainder(wanted - ship.get_body_angle(), 2 * 3.14159265f);
        if (off > 0.06f) {
            controls.ship_left();
        } else if (off < -0.06f) {
            controls.ship_right();
        } else {
            controls.ship_shot();
        }
    }

  private:
    // The centre of the drawn outline, which is where bullets hit it.
    static Vector centre_of(const Asteroid& rock) {
        const std::vector<Vector> pts = rock.get_points_transf();
        if (pts.empty()) {
            return rock.get_position();
        }
        Vector sum{0, 0};
        for (const Vector p : pts) {
            sum += p;
        }
        return Vector{sum.x / pts.size(), sum.y / pts.size()};
    }
};
