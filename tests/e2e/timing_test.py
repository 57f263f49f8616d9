#!/usr/bin/env python3
"""Every honest game verifies, whatever the machine's timing: games in real windows under Xvfb,
each in a new, empty home (as a first run after installing), with frames held up by the stall
shim (every 37th by 120 ms and once by 400 ms, past the pacer's catch-up; a first frame 1.5 s
late; short stalls every few frames; long ones past the catch-up again and again), keys
pressed throughout. Every recording, the --record file and the table's, replays headless with
exit 0 and is accepted by a real velmora-server. One game plays to GAME OVER and, the first of
its home, enters the table; two more end at once in one new home and both land.

Usage: timing_test.py VELMORA STALL_SHIM VELMORA_SERVER
"""
import os
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from service import Server  # noqa: E402
from xsession import Checks, Game, Xvfb, wait_for  # noqa: E402

# Frames held up, one pattern a game: (every Nth swap, by ms, "K:MS,..." once).
STALLS = [(37, 120, "60:400"), (0, 0, "1:1500"), (3, 40, ""), (13, 260, ""), (7, 60, "90:700"),
          (2, 30, "30:400,31:400"), (37, 120, "60:400"), (5, 110, ""), (11, 300, "1:900"),
          (4, 80, "")]
# Seed 167, with a few keys early on, mostly loses its last life at tick 344 (always by tick
# 950 in a thousand games played headless with such keys): the game played to GAME OVER.
TO_GAME_OVER = 167
KEYS = ["q", "a", "w", "space", "Left", "q", "d", "Up", "q", "Right", "A", "q"]


def new_home(tmp, name):
    """Environment for a first run: a home with nothing in it, and the XDG folders in it."""
    home = os.path.join(tmp, name)
    os.makedirs(home)
    return home, {"HOME": home, "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
                  "XDG_CONFIG_HOME": os.path.join(home, ".config"),
                  "XDG_CACHE_HOME": os.path.join(home, ".cache")}


def text_of(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ""


class Player:
    """One game in its own window and home, recorded to home/game.replay."""

    def __init__(self, x, binary, shim, tmp, n, seed, home=None):
        if home is None:
            self.home, self.env = new_home(tmp, f"home{n}")
        else:
            self.home, self.env = home
        self.n = n
        every, ms, once = STALLS[n]
        self.env.update(LD_PRELOAD=shim, VELMORA_STALL_EVERY=str(every),
                        VELMORA_STALL_MS=str(ms), VELMORA_STALL_AT=once)
        self.path = os.path.join(self.home, f"game{n}.replay")
        self.game = Game(x, binary, ["--seed", str(seed), "--record", self.path, "-geometry",
                                     f"+{(n % 3) * 510}+{(n // 3 % 2) * 530}"], at=None,
                         env=self.env)

    def key(self, name):
        # Esc closes the window between the key's press and its release: xdotool then fails.
        self.game.x.run("xdotool", "key", "--window", self.game.window, name,
                        check=name != "Escape")

    def over(self):
        return "\nover " in text_of(self.path)


def play_wave(check, x, binary, shim, tmp, wave, first, over_in, shared_home=None):
    """Games `first`... of one wave; those in `over_in` play to GAME OVER and keep their name
    (Enter at the prompt, which offers the login name), the rest play on and quit."""
    players = []
    try:
        for n in range(first, first + 5):
            home = shared_home if (shared_home and n in over_in) else None
            players.append(Player(x, binary, shim, tmp, n,
                                  TO_GAME_OVER if n in over_in else 20 + n, home))
        # Keys for a few seconds, in turn, a key a game at a time; the games to end get theirs
        # early only (past tick 40, before 120).
        for k in range(24):
            for p in players:
                if p.n not in over_in or 6 <= k < 12:
                    p.key(KEYS[(k + p.n) % len(KEYS)])
            time.sleep(0.25)
        for p in players:
            if p.n not in over_in:
                p.key("Escape")
        ending = [p for p in players if p.n in over_in]
        ended = wait_for(lambda: all(p.over() for p in ending), timeout=90, step=0.2)
        check(f"wave {wave}: the games to end reached GAME OVER", bool(ended),
              str([p.over() for p in ending]))
        time.sleep(0.5)  # the name prompt is up: Enter keeps the name it offers
        for p in ending:
            p.key("Return")
        time.sleep(1.0)
        for p in ending:
            p.key("Escape")
        codes = [p.game.exit_code(timeout=20) for p in players]
        check(f"wave {wave}: every game quit with 0", codes == [0] * len(players), str(codes))
    finally:
        for p in players:
            p.game.stop()
    return players


def table_recordings(binary, env):
    """The recordings the table of a home lists (velmora --scores), with their names."""
    listed = subprocess.run([binary, "--scores"], capture_output=True, text=True, timeout=60,
                            env=dict(os.environ, DISPLAY="", **env)).stdout
    return [(line.split()[1], line.split()[-1]) for line in listed.splitlines()
            if line.strip()[:1].isdigit()]


def verified(binary, server, path):
    """(headless replay's exit status and stderr, the server's answer) for one recording."""
    run = subprocess.run([binary, "--play", path, "--headless"], capture_output=True,
                         text=True, timeout=120, env=dict(os.environ, DISPLAY=""))
    with open(path, "rb") as f:
        status, body = server.json("POST", "/api/v1/games?" + urllib.parse.urlencode(
            {"name": "Timing"}), f.read())
    return run.returncode, run.stderr.strip(), status, body


def run(check, binary, shim, server_binary, tmp):
    shared = new_home(tmp, "shared")
    with Xvfb(1600, 1100) as x:
        first = play_wave(check, x, binary, shim, tmp, 1, 0, {0})
        second = play_wave(check, x, binary, shim, tmp, 2, 5, {8, 9}, shared_home=shared)
    players = first + second
    recordings = [(f"game {n}'s --record file", p.path) for n, p in enumerate(players)]
    alone = table_recordings(binary, players[0].env)
    check("the first game of a new home enters its table", len(alone) == 1, str(alone))
    both = table_recordings(binary, shared[1])
    check("two games ending at once in one new home both land", len(both) == 2, str(both))
    recordings += [(f"the table's {name}", path) for name, path in alone + both]
    with Server(server_binary, "--db", "sqlite:" + os.path.join(tmp, "scores.db"),
                "--submit-rate", "1000") as server:
        for what, path in recordings:
            code, said, status, body = verified(binary, server, path)
            check(f"{what} replays headless with exit 0 and the server accepts it",
                  code == 0 and status in (200, 201), f"{code} {said[:160]} {status} {body}")
    ticks = [text_of(p.path).count("\nt ") for p in players]
    lost = sum(text.count("\nd\n") < text.count("\nt ") for text in map(text_of,
                                                                        (p.path for p in players)))
    print(f"ticks recorded: {ticks}; recordings with fewer frames than ticks: {lost}")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, shim, server_binary = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(tempfile.gettempdir())
    with tempfile.TemporaryDirectory() as tmp:
        with check.scenario():
            run(check, binary, shim, server_binary, tmp)
    check.finish()


if __name__ == "__main__":
    main()
