#!/usr/bin/env python3
"""Measures the time from a key reaching the game to the first picture that shows what it did,
in a real window under Xvfb, in the designed frames (one picture a tick) and in smooth motion,
alternately in the same X session: the ship at rest in the middle is turned by a and d, PRESSES
times in each once its first blink is over, at times that fall anywhere in a tick. The
tick_log shim notes each key as the game's keyboard callback gets it, and the ship's lit
pixels in every picture shown; a picture shows the key once the ship's outline (the lit pixels
left when a star's few are set aside) differs from the last one shown before it.

Usage: latency.py VELMORA_BINARY TICK_LOG_SHIM [PRESSES [ROUNDS]]
"""
import os
import random
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Game, Xvfb, measuring_args  # noqa: E402

BOX = 60  # pixels a side, about the ship in the middle of the 500 by 500 window
CORNER = 250 - BOX // 2


def lit_pixels(hexits):
    bits = "".join(f"{int(h, 16):04b}" for h in hexits)
    return {(i % BOX, i // BOX) for i, b in enumerate(bits[:BOX * BOX]) if b == "1"}


def outline(lit, least=12):
    """The lit pixels in groups (touching, diagonals too) of at least `least`: a star is 3."""
    kept, seen = set(), set()
    for start in lit:
        if start in seen:
            continue
        group, todo = [], [start]
        seen.add(start)
        while todo:
            x, y = todo.pop()
            group.append((x, y))
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    n = (x + dx, y + dy)
                    if n in lit and n not in seen:
                        seen.add(n)
                        todo.append(n)
        if len(group) >= least:
            kept.update(group)
    return frozenset(kept)


def latencies(key_log, swap_log, within=250):
    turns = ("97", "100")  # a and d: the game quits on Escape
    keys = [float(w[0]) for w in map(str.split, open(key_log)) if len(w) == 2 and w[1] in turns]
    swaps = []
    for line in open(swap_log):
        words = line.split()
        if len(words) == 2:
            swaps.append((float(words[0]), outline(lit_pixels(words[1]))))
    out = []
    for k in keys:
        before = [s for t, s in swaps if t <= k]
        after = [t for t, s in swaps if k < t <= k + within and before and s != before[-1]]
        if after:
            out.append(after[0] - k)
    return out, len(keys)


def measure(x, binary, shim, frames, presses, tmp):
    key_log, swap_log = os.path.join(tmp, f"keys-{frames}"), os.path.join(tmp, f"swaps-{frames}")
    game = Game(x, binary, [f"--frames={frames}", "--seed", "58"],
                env={"LD_PRELOAD": shim, "VELMORA_KEY_LOG": key_log,
                     "VELMORA_SWAP_LOG": swap_log,
                     "VELMORA_PICTURE_BOX": f"{CORNER} {CORNER} {BOX} {BOX}"})
    try:
        game.wait_until(6.0)  # a new game's ship blinks for its first 100 frames
        for i in range(presses):
            game.keys("a" if i % 2 == 0 else "d")
            time.sleep(random.uniform(0.2, 0.3))
        game.keys("Escape")
        game.exit_code()
    finally:
        game.stop()
    return latencies(key_log, swap_log)


def main():
    binary, shim, presses, rounds = measuring_args(__doc__, 30, 2)
    seen = {"designed": [], "smooth": []}
    keys = dict.fromkeys(seen, 0)
    with Xvfb(1024, 768) as x, tempfile.TemporaryDirectory() as tmp:
        for _ in range(rounds):
            for frames in seen:
                got, sent = measure(x, binary, shim, frames, presses, tmp)
                seen[frames] += got
                keys[frames] += sent
    for frames, ms in seen.items():
        if len(ms) < 2:
            print(f"{frames}: {len(ms)} of {keys[frames]} keys seen in a picture")
            continue
        cuts = statistics.quantiles(ms, n=10)
        print(f"{frames}: {len(ms)} of {keys[frames]} keys seen; key to first changed picture "
              f"median {statistics.median(ms):.1f} ms, mean {statistics.mean(ms):.1f}, "
              f"90th percentile {cuts[-1]:.1f}, min {min(ms):.1f}, max {max(ms):.1f}")


if __name__ == "__main__":
    main()
