// What a session shows: the frame a tick makes, the pictures between (picture.h) in the
// player's look, and over them the pause, the sound, the banner, the demo, the kept games and
// the settings.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include "app/session.h"
#include "game/hud.h"
#include "replay/replay.h"

void Session::show_as(bool smooth_, const Look& look_, std::function<long()> clock_) {
    smooth = smooth_ && clock_;
    look = look_;
    clock = std::move(clock_);
    pictured = smooth || look.colour_blind || look.line_px != 1;
}

void Session::frame_unseen() {
    picture.framing(game);
    game.frame_unseen();
    recorded.frame(game);
    picture.framed(game);
    --frames_owed;
}

void Session::picture_field(long now) {
    // The frame a tick makes, once, whatever number of pictures follow it: the game sees one
    // frame a tick, as in the designed game.
    if (frames_owed > 0) {
        frame_unseen();
        framed_at = now;
    } else {
        ++pictures_between;
    }
    const float since = smooth ? static_cast<float>(now - framed_at) / kTickMs : 0;
    game.show_text();
    picture.draw(game, since < 0 ? 0 : since > 1 ? 1 : since, look);
}

void Session::display() {
    ++pictures_shown;
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (watched || attract.running() || (is_paused && !pictured)) {
        // Drawing for real would age the bullets and count the blink: the still picture
        // leaves the game exactly where the pause found it.
        game.show_still();
    } else if (is_paused) {
        game.show_text();
        picture.draw(game, 0, look);
    } else if (pictured) {
        picture_field(clock ? clock() : 0);
    } else if (frames_owed > 0) {
        game.draw();
        recorded.frame(game);
        --frames_owed;
    } else {
        game.show_still();  // a picture beyond the designed frame: an expose, a resize
    }
    if (is_paused) {
        draw_paused();
    }
    if (is_muted) {
        draw_muted();
    }
    if (banner_text) {
        draw_banner(banner_text(), is_muted);
    }
    if (attract.running()) {
        draw_demo();
    } else if (keeper && keeper->showing()) {
        keeper->draw();
    }
    if (overlay_drawn) {
        overlay_drawn();
    }
    glutSwapBuffers();
}
