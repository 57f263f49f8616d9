#!/usr/bin/env python3
"""Records the golden replays in tests/replays by playing the real game in a window under Xvfb.

  levels.replay           seed 32, spinning and firing (a and q) until two levels are cleared
  game-over.replay        seed 7, no keys: the rocks and the aimed invader's shots end the game
  key-before-frame.replay seed 58: shots sent to the unmapped (minimised) window just as it is
                          mapped again, so some reach the game after a tick and before that
                          tick's frame is drawn (an unmapped window pauses the game: p, sent
                          to it at once, lets the ticks go on undrawn)

Each is played until its file shows what it is kept for, then ended with Esc. Run it again only
when a change to the game is meant to change how it plays: the replays then fail until it is.

Usage: record_replays.py VELMORA_BINARY OUT_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Game, Xvfb  # noqa: E402


def records(path):
    with open(path) as f:
        return [line.split() for line in f if line.strip()]


def summary(path):
    last = records(path)[-1]
    return dict(word.split("=") for word in last[1:]) if last[0] == "end" else None


def key_before_frame(path):
    """Whether some key came after a tick and before that tick's frame."""
    kinds = [r[0] for r in records(path)]
    for i, kind in enumerate(kinds):
        if kind == "t":
            j = i + 1
            while j < len(kinds) and kinds[j] == "k":
                j += 1
            if j > i + 1 and j < len(kinds) and kinds[j] == "d":
                return True
    return False


def record(x, binary, path, seed, play):
    game = Game(x, binary, ["--record", path, "--seed", str(seed)])
    try:
        play(game)
        game.keys("Escape")
        if game.exit_code() != 0:
            raise RuntimeError(f"{path}: the game did not end with 0")
    finally:
        game.stop()


def spin_and_fire(game):
    """Turns and fires for 45 s: from seed 32 that clears several levels, played without a
    window with any spacing of the keys."""
    game.wait_until(6.0)  # the start blink is over
    while game.seconds() < 45:
        game.keys(*["a", "q"] * 20)


def until_game_over(path):
    def play(game):
        while not any(r[0] == "over" for r in records(path)):
            if game.seconds() > 40:
                raise RuntimeError("seed 7 did not end in GAME OVER")
            time.sleep(0.5)
        time.sleep(1.0)
    return play


def keys_while_unmapped(game):
    """Turns and fires; now and then the window is unmapped (which pauses the game; p resumes
    it), ticks go on undrawn, and a shot is sent just as the window is mapped again: the shot
    follows a tick, the frame it."""
    game.wait_until(2.0)
    for i in range(12):
        game.keys("a", "q", "a")
        game.x.run("xdotool", "windowunmap", "--sync", game.window)
        time.sleep(0.05)
        game.x.run("xdotool", "key", "--window", game.window, "p")
        time.sleep(0.1 + 0.013 * i)
        game.x.run("xdotool", "key", "--window", game.window, "q", "windowmap", game.window)
        game.x.run("xdotool", "windowmove", game.window, "0", "0")
        time.sleep(0.3)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    binary, out = os.path.abspath(sys.argv[1]), sys.argv[2]
    os.makedirs(out, exist_ok=True)
    with Xvfb(1024, 768) as x:
        levels = os.path.join(out, "levels.replay")
        for _ in range(3):
            record(x, binary, levels, 32, spin_and_fire)
            if int(summary(levels)["level"]) >= 2:
                break
        print("levels.replay:", summary(levels))

        over = os.path.join(out, "game-over.replay")
        record(x, binary, over, 7, until_game_over(over))
        print("game-over.replay:", summary(over))

        mixed = os.path.join(out, "key-before-frame.replay")
        for _ in range(5):
            record(x, binary, mixed, 58, keys_while_unmapped)
            if key_before_frame(mixed):
                break
        print("key-before-frame.replay:", summary(mixed), "key before a frame:",
              key_before_frame(mixed))


if __name__ == "__main__":
    main()
