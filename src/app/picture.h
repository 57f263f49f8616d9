// The field as the player sees it between two of the game's frames, drawn from a read-only
// view of the game: each body's outline as its last frame left it, carried forward by its
// velocity for the time since (the ship turned too, by what it turned since), so that the
// picture moves at the display's rate with no added latency. At a tick (fraction 0) it is the
// frame the design draws; a body is seen from its first frame to its last, and one carried
// past an edge leaves it there until the next frame brings it in at the other (no streak). It
// changes nothing in the game: the frames themselves are made unseen (Game::frame_unseen).
//
// Its look may be the player's: outlines wider than a pixel, as quads (WebGL draws one-pixel
// lines only), and a palette whose two sides' bullets differ in shape (the invaders' a small
// diamond) and in colours that stay apart under any colour blindness (Okabe and Ito's orange
// and sky blue).
#pragma once

#include <vector>

#include "game/game.h"

struct Look {
    bool colour_blind = false;
    float line_px = 1;  // outline width, in pixels of a viewport of side_px
    int side_px = 500;
};

class Picture {
  public:
    // The game's frame of a tick is about to be made: the bullets it draws for the last time
    // (and drops) are kept, so that the pictures show them in that frame as it does.
    void framing(const Game& game);
    // The frame has just been made: what the next pictures start from.
    void framed(const Game& game);
    // The field, without the head-up text, `fraction` of a tick (0 to 1) after that frame.
    void draw(const Game& game, float fraction, const Look& look) const;

    // The palette's colours of the ship's and the invaders' bullets.
    static constexpr Color kShipShot{230 / 255.0f, 159 / 255.0f, 0};
    static constexpr Color kInvaderShot{86 / 255.0f, 180 / 255.0f, 233 / 255.0f};

  private:
    float drawn_angle = 0;           // the ship's, at the frame
    Vector drawn_at{0, 0};           // and where it was
    std::vector<Bullet> last_drawn;  // copies of the bullets the frame dropped, drawn as it did
};
