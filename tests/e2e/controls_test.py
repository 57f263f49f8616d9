#!/usr/bin/env python3
"""Every usual way of playing is the designed key exactly, in real windows under Xvfb: three
games from seed 58, recorded, side by side, take the same keys at the same ticks, one with a, d,
w, q, one with the arrows and Space, one with Caps Lock on; their pictures at the same tick are
the same to the pixel and their recordings the same to the byte, frames included (the game is
framed as designed, whatever the toolkit shows); each recording replays to its check values. A
fourth game is iconified (unmapped, as a window manager does it): it pauses, and only p resumes
it.

Each game is held (by the tick_log shim) right after each tick a key is meant to follow, and the
key sent then, so it reaches the game between that tick and the next, whatever the machine's
timing.

Usage: controls_test.py VELMORA_BINARY SCREENSHOT_DIR TICK_LOG_SHIM
"""
import os
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import GREEN, Checks, Game, Xvfb, wait_for  # noqa: E402

# (tick, key): after which tick each key is pressed, in the letters the design knows. The first
# comes once all three windows are up.
PLAN = [(60, "a"), (62, "a"), (65, "q"), (70, "w"), (72, "w"), (80, "d"), (85, "q"),
        (90, "q"), (100, "a"), (105, "w"), (110, "q"), (120, "d"), (125, "q"), (140, "w"),
        (150, "q"), (170, "p")]
ARROWS = {"a": "Left", "d": "Right", "w": "Up", "q": "space", "p": "P"}


def ticks_in(path):
    with open(path) as f:
        return f.read().count("\nt ")


def wait_for_tick(path, tick, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if ticks_in(path) >= tick:
            return ticks_in(path) == tick
        time.sleep(0.002)
    raise RuntimeError(f"{path}: no tick {tick} in {timeout} s")


def play(game, path, held, send, late):
    """Sends each key of the plan while the game is held right after its tick, then lets it go
    on; notes any that did not come right after its tick."""
    for tick, key in PLAN:
        if not wait_for(lambda: os.path.exists(os.path.join(held, f"held-{tick}")), 30, 0.002):
            raise RuntimeError(f"{path}: not held after tick {tick}")
        if ticks_in(path) != tick:
            late.append((path, tick))
        send(game, key)
        time.sleep(0.05)  # the key on its way into the game's connection before it goes on
        open(os.path.join(held, f"go-{tick}"), "w").close()


def with_letters(game, key):
    game.x.run("xdotool", "key", "--window", game.window, key)


def with_arrows(game, key):
    game.x.run("xdotool", "key", "--window", game.window, ARROWS[key])


def with_caps_lock(game, key):
    # The real keyboard (XTest) into the focused window, the server's Caps Lock on.
    game.x.run("xdotool", "key", key)


def paused_picture(shot):
    """Green "PAUSED" a line above the middle: pixels in its row."""
    return shot.count(GREEN, 190, 215, 310, 240) > 30


def run(check, x, binary, shim, out_dir, tmp):
    paths = [os.path.join(tmp, name + ".replay") for name in ("letters", "arrows", "caps")]
    holds = [os.path.join(tmp, name + "-held") for name in ("letters", "arrows", "caps")]
    games = []
    try:
        for i, (path, held) in enumerate(zip(paths, holds)):
            os.makedirs(held)
            games.append(Game(x, binary, ["--seed", "58", "--record", path,
                                          "-geometry", f"+{510 * i}+0"], at=None,
                              env={"LD_PRELOAD": shim, "VELMORA_HOLD_DIR": held,
                                   "VELMORA_HOLD_TICKS": " ".join(str(t) for t, _ in PLAN)}))
        caps = games[2]
        x.run("xdotool", "mousemove", "--window", caps.window, "250", "150")
        x.run("xdotool", "windowfocus", "--sync", caps.window)
        x.run("xdotool", "key", "Caps_Lock")
        late = []
        players = [threading.Thread(target=play, args=(g, p, h, send, late))
                   for g, p, h, send in zip(games, paths, holds, (with_letters, with_arrows,
                                                                  with_caps_lock))]
        for t in players:
            t.start()
        for t in players:
            t.join()
        x.run("xdotool", "key", "Caps_Lock")
        check("every key reached its game right after its tick", not late, str(late))
        shots = [g.first_shot_where(paused_picture, 10) or g.shot() for g in games]
        for shot, name in zip(shots, ("letters", "arrows", "caps")):
            check.save(shot, name)
        check("all three paused at the same tick (P with Caps Lock or Shift pauses)",
              all(paused_picture(s) for s in shots) and
              len({ticks_in(p) for p in paths}) == 1, str([ticks_in(p) for p in paths]))
        check("arrows and Space give the very picture of a, d, w, q",
              shots[0].data == shots[1].data)
        check("Caps Lock letters give the very picture of a, d, w, q",
              shots[0].data == shots[2].data)
        for g in games:
            g.keys("Escape")
        codes = [g.exit_code() for g in games]
        check("the three games quit with 0", codes == [0, 0, 0], str(codes))
        texts = []
        for p in paths:
            with open(p) as f:
                texts.append(f.read())
        check("the recordings are the same to the byte, frames too, with the designed key names", texts[0] == texts[1] == texts[2] and "\nk q\n" in texts[0] and
              texts[0].count("\nk ") == len(PLAN) - 1,
              f"{[len(t) for t in texts]} bytes, {texts[0].count(chr(10) + 'k ')} keys")
        replayed = [subprocess.run([binary, "--play", p, "--headless"],
                                   capture_output=True).returncode for p in paths]
        check("and each replays to its check values", replayed == [0, 0, 0], str(replayed))
    finally:
        for g in games:
            g.stop()


def iconified(check, x, binary, out_dir, tmp):
    path = os.path.join(tmp, "iconified.replay")
    game = Game(x, binary, ["--seed", "7", "--record", path])
    try:
        wait_for_tick(path, 20)
        x.run("xdotool", "windowunmap", "--sync", game.window)

        def stopped():
            before = ticks_in(path)
            time.sleep(0.3)
            return ticks_in(path) == before
        wait_for(stopped, 10)
        at = ticks_in(path)
        time.sleep(1.0)
        check("an iconified window pauses the game", ticks_in(path) == at,
              f"{ticks_in(path) - at} ticks while hidden")
        x.run("xdotool", "windowmap", "--sync", game.window)
        x.run("xdotool", "windowmove", game.window, "0", "0")
        shot = game.first_shot_where(paused_picture, 10)
        check.save(shot, "iconified")
        check("brought back, it is still paused under PAUSED",
              ticks_in(path) == at and shot is not None)
        game.keys("p")
        check("p resumes it", wait_for(lambda: ticks_in(path) > at + 3, 10))
        game.keys("Escape")
        check("and it quits with 0", game.exit_code() == 0)
    finally:
        game.stop()


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, out_dir, shim = os.path.abspath(sys.argv[1]), sys.argv[2], os.path.abspath(sys.argv[3])
    os.makedirs(out_dir, exist_ok=True)
    check = Checks(out_dir)
    with Xvfb(1600, 600) as x, tempfile.TemporaryDirectory() as tmp:
        with check.scenario():
            run(check, x, binary, shim, out_dir, tmp)
            iconified(check, x, binary, out_dir, tmp)
    check.finish()


if __name__ == "__main__":
    main()
