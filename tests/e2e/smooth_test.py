#!/usr/bin/env python3
"""The player's settings in real windows under Xvfb: smooth pictures at the display's rate with
the tick still at 20 a second; a game played smooth, in the colour-blind palette and with keys
of the player's replays without a window to its every check value, recorded in the designed
keys; vsync asked of a driver that has it, with smooth pictures only; a turn shown sooner than
the designed frames would; the settings kept across a restart; a settings file that cannot be
read set aside with one line; the colour-blind palette's two bullets measured on a screenshot
under simulated protanopia, deuteranopia and tritanopia.

Usage: smooth_test.py VELMORA_BINARY SCREENSHOT_DIR TICK_LOG_SHIM
"""
import glob
import math
import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import latency  # noqa: E402
from xsession import (GREEN, Checks, Game, Xvfb, recorded_as_designed,  # noqa: E402
                      schedule_faults)

CHOSEN = ("velmora-settings 1\nframes smooth\npalette colour-blind\nvolume 40\nsound on\n"
          "key left j\nkey fire k Space\n")


def times_in(path):
    with open(path) as f:
        return [float(line.split()[0]) for line in f if line.strip()]


def pictures_between_ticks(check, swaps, ticks, what):
    """Ticks with pictures between them besides their own (the designed frames show one a
    tick), and every tick on its schedule: what holds on any machine."""
    shown, armed = times_in(swaps), times_in(ticks)[1:]
    between = sum(1 for a, b in zip(armed, armed[1:])
                  if sum(1 for t in shown if a < t < b) >= 2)
    stepped, faults = schedule_faults(ticks)
    check(f"{what}: pictures between the ticks, every tick on its schedule",
          between >= 10 and not faults,
          f"{len(shown)} pictures, {between} of {stepped} ticks with one between; {faults[:3]}")
    return len(shown)


def ciede2000(lab1, lab2):
    """The CIEDE2000 colour difference of two CIELab colours (Sharma, Wu and Dalal's form)."""
    (l1, a1, b1), (l2, a2, b2) = lab1, lab2
    c_bar = (math.hypot(a1, b1) + math.hypot(a2, b2)) / 2
    g = 0.5 * (1 - math.sqrt(c_bar ** 7 / (c_bar ** 7 + 25 ** 7)))
    a1p, a2p = a1 * (1 + g), a2 * (1 + g)
    c1p, c2p = math.hypot(a1p, b1), math.hypot(a2p, b2)
    h1p = math.degrees(math.atan2(b1, a1p)) % 360
    h2p = math.degrees(math.atan2(b2, a2p)) % 360
    dl, dc = l2 - l1, c2p - c1p
    dh = 0 if c1p * c2p == 0 else (h2p - h1p + 180) % 360 - 180
    dhh = 2 * math.sqrt(c1p * c2p) * math.sin(math.radians(dh) / 2)
    l_bar, cp_bar = (l1 + l2) / 2, (c1p + c2p) / 2
    if c1p * c2p == 0:
        h_bar = h1p + h2p
    elif abs(h1p - h2p) <= 180:
        h_bar = (h1p + h2p) / 2
    else:
        h_bar = (h1p + h2p + 360) / 2 if h1p + h2p < 360 else (h1p + h2p - 360) / 2
    t = (1 - 0.17 * math.cos(math.radians(h_bar - 30)) + 0.24 * math.cos(math.radians(2 * h_bar))
         + 0.32 * math.cos(math.radians(3 * h_bar + 6)) - 0.20 * math.cos(math.radians(4 * h_bar - 63)))
    sl = 1 + 0.015 * (l_bar - 50) ** 2 / math.sqrt(20 + (l_bar - 50) ** 2)
    sc, sh = 1 + 0.045 * cp_bar, 1 + 0.015 * cp_bar * t
    rt = (-2 * math.sqrt(cp_bar ** 7 / (cp_bar ** 7 + 25 ** 7)) *
          math.sin(math.radians(60 * math.exp(-((h_bar - 275) / 25) ** 2))))
    return math.sqrt((dl / sl) ** 2 + (dc / sc) ** 2 + (dhh / sh) ** 2 +
                     rt * (dc / sc) * (dhh / sh))


def differences_under_cvd(rgb1, rgb2):
    """CIEDE2000 between two sRGB colours as each of the three full colour blindnesses sees them."""
    from colorspacious import cspace_convert
    out = {}
    for kind in ("protanomaly", "deuteranomaly", "tritanomaly"):
        space = {"name": "sRGB1+CVD", "cvd_type": kind, "severity": 100}
        labs = [cspace_convert(cspace_convert([c / 255 for c in rgb], space, "sRGB1").clip(0, 1),
                               "sRGB1", "CIELab") for rgb in (rgb1, rgb2)]
        out[kind] = ciede2000(*labs)
    return out


def mean_near(shot, reference, reach=40):
    """The mean colour of the screenshot's pixels within `reach` of `reference`, or None."""
    near = [shot.px(x, y) for x, y in shot.points(
        lambda p: all(abs(a - b) <= reach for a, b in zip(p, reference)))]
    return tuple(sum(c[i] for c in near) / len(near) for i in range(3)) if near else None


def settings_dir(x):
    return os.path.join(x.env["XDG_CONFIG_HOME"], "velmora")


def smooth_and_chosen(check, x, binary, out_dir, shim, tmp):
    os.makedirs(settings_dir(x), exist_ok=True)
    with open(os.path.join(settings_dir(x), "settings"), "w") as f:
        f.write(CHOSEN)
    path = os.path.join(tmp, "smooth.replay")
    swaps, ticks = os.path.join(tmp, "swaps"), os.path.join(tmp, "ticks")
    game = Game(x, binary, ["--frames=smooth", "--seed", "21", "--record", path],
                env={"LD_PRELOAD": shim, "VELMORA_SWAP_LOG": swaps, "VELMORA_TICK_LOG": ticks})
    try:
        game.wait_until(1.0)
        game.keys("j", "k", "w", "w", "k", "Left", "space", "d", "k")
        game.wait_until(5.0)
        shot = game.shot("smooth-colour-blind", out_dir)
        pictures_between_ticks(check, swaps, ticks, "smooth")
        check("the field is drawn (asteroids' white outlines)",
              shot.count(lambda p: p == (255, 255, 255)) > 100)
        both = game.first_shot_where(
            lambda s: mean_near(s, (230, 159, 0)) and mean_near(s, (86, 180, 233)), 20)
        if both:
            ours, theirs = mean_near(both, (230, 159, 0)), mean_near(both, (86, 180, 233))
            seen = differences_under_cvd(ours, theirs)
            check.save(both, "colour-blind-bullets")
            check("the two sides' bullets stay at least 20 apart (CIEDE2000) under protanopia, "
                  "deuteranopia and tritanopia", min(seen.values()) >= 20,
                  ", ".join(f"{k} {v:.1f}" for k, v in seen.items()))
        else:
            check("both sides' bullets shown in the colour-blind palette", False)
        game.keys("Escape")
        check("the game quits with 0", game.exit_code() == 0)
    finally:
        game.stop()
    with open(path) as f:
        recorded_as_designed(check, f.read(), binary)


def vsync_where_the_driver_has_it(check, x, binary, shim, tmp):
    """The shim plays a driver with swap control at 60 Hz: asked for with smooth pictures, whose
    rate its wait then paces, and never with the designed frames."""
    asked = {}
    for frames in ("smooth", "designed"):
        logs = {name: os.path.join(tmp, f"{name}-{frames}") for name in ("swaps", "ticks", "vsync")}
        game = Game(x, binary, [f"--frames={frames}", "--seed", "21"],
                    env={"LD_PRELOAD": shim, "VELMORA_FAKE_VSYNC": "60",
                         "VELMORA_SWAP_LOG": logs["swaps"], "VELMORA_TICK_LOG": logs["ticks"],
                         "VELMORA_VSYNC_LOG": logs["vsync"]})
        try:
            game.wait_until(4.0)
            game.keys("Escape")
            game.exit_code()
            lasted = game.seconds()
        finally:
            game.stop()
        asked[frames] = [line.split()[1] for line in open(logs["vsync"])] \
            if os.path.exists(logs["vsync"]) else []
        if frames == "smooth":
            # Each swap waits for a refresh: never more pictures than the display shows.
            pictures = pictures_between_ticks(check, logs["swaps"], logs["ticks"], "with vsync")
            check("with vsync: no more pictures than refreshes", pictures <= 60 * lasted + 2,
                  f"{pictures} pictures in {lasted:.1f} s")
    check("vsync asked for with smooth pictures only", asked == {"smooth": ["1"], "designed": []},
          str(asked))


def keys_shown_sooner(check, x, binary, shim, tmp):
    for name in glob.glob(os.path.join(settings_dir(x), "*")):
        os.remove(name)  # the designed keys: a and d turn
    # The same keys in both, in the same run: a turn shows at the next refresh in smooth
    # motion, at the next tick in the designed frames, whatever the machine's speed.
    waits = {frames: latency.measure(x, binary, shim, frames, 12, tmp)
             for frames in ("designed", "smooth")}
    medians = {frames: statistics.median(got) if got else None
               for frames, (got, _) in waits.items()}
    check("smooth pictures show a turn no later than the designed frames",
          all(len(got) == sent for got, sent in waits.values()) and
          medians["smooth"] <= medians["designed"],
          ", ".join(f"{frames}: {len(got)} of {sent} seen, median {medians[frames]} ms"
                    for frames, (got, sent) in waits.items()))


def kept_across_a_restart(check, x, binary, out_dir):
    for name in glob.glob(os.path.join(settings_dir(x), "*")):
        os.remove(name)
    game = Game(x, binary, ["--seed", "4"])
    try:
        game.wait_until(0.5)
        game.keys("m", "Escape")
        game.exit_code()
    finally:
        game.stop()
    kept = open(os.path.join(settings_dir(x), "settings")).read()
    check("m turned the sound off, and the settings file says so", "\nsound off\n" in kept, kept)
    game = Game(x, binary, ["--seed", "4"])
    try:
        shot = game.first_shot_where(lambda s: s.count(GREEN, 0, 0, 80, 30) > 20, 10)
        check.save(shot, "restarted-muted")
        check("started again, the game is still MUTED", shot is not None)
    finally:
        game.stop()


def corrupt_file_set_aside(check, x, binary):
    with open(os.path.join(settings_dir(x), "settings"), "w") as f:
        f.write("velmora-settings 1\nvolume very loud\n")
    game = Game(x, binary, ["--seed", "4"])
    try:
        game.wait_until(0.5)
        game.keys("Escape")
        game.exit_code()
        said = game.proc.stdout.read().decode()
    finally:
        game.stop()
    lines = [line for line in said.splitlines() if "settings" in line]
    aside = glob.glob(os.path.join(settings_dir(x), "settings.bad-*"))
    check("a settings file that cannot be read is set aside with one line",
          len(lines) == 1 and len(aside) == 1, f"{lines} {aside}")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, out_dir, shim = (os.path.abspath(a) for a in sys.argv[1:])
    os.makedirs(out_dir, exist_ok=True)
    check = Checks(out_dir)
    with Xvfb() as x, tempfile.TemporaryDirectory() as tmp:
        for scenario in (lambda: smooth_and_chosen(check, x, binary, out_dir, shim, tmp),
                         lambda: vsync_where_the_driver_has_it(check, x, binary, shim, tmp),
                         lambda: keys_shown_sooner(check, x, binary, shim, tmp),
                         lambda: kept_across_a_restart(check, x, binary, out_dir),
                         lambda: corrupt_file_set_aside(check, x, binary)):
            with check.scenario():
                scenario()
    check.finish()


if __name__ == "__main__":
    main()
