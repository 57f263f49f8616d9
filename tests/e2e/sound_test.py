#!/usr/bin/env python3
"""The game's sound from a real window under Xvfb, on a machine without a sound card: OpenAL
Soft's wave writer (ALSOFT_CONF selecting drivers=wave) records what a real game plays, in real
time; the ship's shot is in the file after q is pressed and not before, and m silences the rest.
With ALSOFT_DRIVERS=null the game runs and says nothing of sound; with no device at all it says
so in one line and plays on.

Usage: sound_test.py VELMORA_BINARY
"""
import math
import os
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Checks, Game, Xvfb  # noqa: E402

RATE = 44100


def fire_sound():
    """The ship's shot as the game synthesizes it (src/audio/sounds.cpp): a square wave sliding
    from 1200 to 600 Hz over 0.1 s, fading to nothing."""
    samples, phase = [], 0.0
    for i in range(int(0.1 * RATE)):
        t = i / RATE
        phase += (1200 - 600 * t / 0.1) / RATE
        samples.append((1 if phase % 1 < 0.5 else -1) * (1 - t / 0.1))
    return samples


def wave_samples(path):
    """The 16-bit mono samples of a WAVE file (the writer's is WAVE_FORMAT_EXTENSIBLE, which
    Python's wave module refuses: the chunks are read by hand)."""
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if kind == b"data":
            body = data[at + 8:at + 8 + size]
            return list(struct.unpack(f"<{len(body) // 2}h", body[:len(body) // 2 * 2]))
        at += 8 + size + (size & 1)
    raise RuntimeError(f"{path}: no data chunk")


def shots_at(samples, reference, step=64):
    """Sample positions where `reference` starts, by normalised correlation above 0.6."""
    ref_energy = math.sqrt(sum(r * r for r in reference))
    found, n, at = [], len(reference), 0
    while at + n < len(samples):
        window = samples[at:at + n]
        energy = math.sqrt(sum(s * s for s in window))
        if energy > 0:
            # Coarse steps, then the exact start around a promising one.
            c = sum(s * r for s, r in zip(window, reference)) / (energy * ref_energy)
            if c > 0.3:
                best = max(range(max(0, at - step), at + step),
                           key=lambda k: correlation(samples, reference, k, ref_energy))
                if correlation(samples, reference, best, ref_energy) > 0.6:
                    found.append(best)
                    at = best + n
                    continue
        at += step
    return found


def correlation(samples, reference, at, ref_energy):
    window = samples[at:at + len(reference)]
    energy = math.sqrt(sum(s * s for s in window))
    return sum(s * r for s, r in zip(window, reference)) / (energy * ref_energy) if energy else 0


def wave_writer(check, x, binary, tmp):
    out = os.path.join(tmp, "sound.wav")
    conf = os.path.join(tmp, "alsoft.conf")
    with open(conf, "w") as f:
        f.write("[general]\ndrivers=wave\nchannels=mono\nfrequency=44100\nsample-type=int16\n"
                f"[wave]\nfile={out}\n")
    game = Game(x, binary, ["--seed", "58"], env={"ALSOFT_CONF": conf})
    try:
        game.wait_until(3.0)
        game.keys("q")
        fired = time.time()
        game.wait_until(4.5)
        game.keys("m")
        muted = time.time()
        game.wait_until(6.0)
        game.keys("Escape")
        ended = time.time()
        check("the game with the wave writer quits with 0", game.exit_code() == 0)
    finally:
        game.stop()
    samples = wave_samples(out)
    seconds = len(samples) / RATE
    check("the wave writer recorded the game's sound in real time", 5.0 < seconds < 8.0,
          f"{seconds:.2f} s")
    # Seconds before the end of the file. The writer mixes in real time as far as the machine
    # lets it, so the file's clock is only as good as the machine's: the shot is heard once,
    # after the game's first second (q came 3 s in) and before m's silence.
    shots = [(len(samples) - s) / RATE for s in shots_at(samples, fire_sound())]
    check("the shot is heard once, after q was pressed and before m",
          len(shots) == 1 and ended - muted - 0.2 < shots[0] < seconds - 1.0,
          f"q {ended - fired:.2f} s and m {ended - muted:.2f} s before the end, heard at "
          f"{[round(s, 2) for s in shots]}")
    quiet = samples[-int((ended - muted - 0.2) * RATE):]
    loudest = max(abs(s) for s in quiet)
    check("after m, silence to the end", loudest <= 2, f"loudest sample {loudest}")
    before = samples[int(0.5 * RATE):len(samples) - int((ended - muted + 0.1) * RATE)]
    check("before it, the game sounded", max(abs(s) for s in before) > 1000)


def other_drivers(check, x, binary):
    for name, env, says in (("null driver", {"ALSOFT_DRIVERS": "null"}, ""),
                            ("no audio device", {"ALSOFT_DRIVERS": "none-such"},
                             "velmora: no sound: no audio device could be opened; the game "
                             "plays silently\n")):
        began = time.time()
        game = Game(x, binary, ["--seed", "58"], env=env)
        try:
            opened = time.time() - began
            game.wait_until(1.0)
            game.keys("q", "Escape")
            code = game.exit_code()
            stderr = game.proc.stdout.read().decode(errors="replace")
        finally:
            game.stop()
        check(f"{name}: the game runs, quits with 0 and says {says.strip() or 'nothing'}",
              code == 0 and stderr == says, f"exit {code}, {stderr!r}")
        # A hang, not a speed: a sound system that keeps the game waiting for a device.
        check(f"{name}: the window opens without waiting for a device", opened < 15.0,
              f"{opened:.2f} s")



def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    binary = os.path.abspath(sys.argv[1])
    check = Checks(None)
    with Xvfb(1024, 768) as x, tempfile.TemporaryDirectory() as tmp:
        with check.scenario():
            wave_writer(check, x, binary, tmp)
            other_drivers(check, x, binary)
    check.finish()


if __name__ == "__main__":
    main()
