#include "objects/asteroid.h"

#include "math/random.h"
#include "math/trig.h"

Asteroid::Asteroid(float x, float y, float diameter_, Vector* force)
    : score(0), diameter(diameter_) {
    position = Vector{x, y};
    mass = 10000.0f;
    draw_mode = 2;  // GL_LINE_LOOP
    const float r = diameter / 2;
    // 0, 30, ..., 360 degrees: thirteen points, the last one beside the first with a dent of
    // its own.
    for (float a = 0; a <= 360; a += 30) {
        // The dent moves the point diagonally toward -x and -y; it does not shorten the radius.
        const float dent = (vmath::rand() % 11) / 10.0 * r / 2;
        // Double precision here, with pi as written, as the outline has always been computed.
        const double theta = a / 180.0 * 3.14159265;
        add_point(r * vmath::cos(theta) - dent, r * vmath::sin(theta) - dent);
    }
    add_force(force, 1);
}

void Asteroid::update() {
    Shape::update();
    wrap_edges();
}
