#!/usr/bin/env python3
"""Plays Velmora in real X windows, as a player would, and checks what the windows show.

Three games run side by side on a private Xvfb, each from a seed whose course is known, so
nothing here depends on luck (the seeds were picked by playing every seed up to a few thousand
without keys, with frames randomly dropped and doubled, and keeping those whose course held):
  A, seed 58: the plain invader crosses the whole field, the aimed invader enters at tick 301
     and lives on, and nothing touches the ship before tick 344. Read for the picture, the
     invaders, the tick rate, then pause, resize, full screen and Esc.
  B, seed 7: without keys the game is over at tick 344, every time. Then Enter.
  C, seed 58 again, recorded: the same starting layout as A; keys a, q and Q, then Esc; its
     recording replays without a window to the same summary.
  D, seed 58, recorded and killed after a few seconds: its file replays to its last tick,
     without a window and then in one.

Usage: window_test.py VELMORA_BINARY SCREENSHOT_DIR TICK_LOG_SHIM
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import (BLACK, GREEN, RED, SIZE, WHITE, YELLOW, Checks, Game, Xvfb,  # noqa: E402
                      field_to_pixel, layout, light_red_bullets, near_match, plain_invader_x,
                      same_tick, schedule_faults, ship_drawn_at_angle)

# Head-up text boxes in the 500 by 500 field: labels, and the numbers beside them.
LABELS = {"Level": (250, 410, 320, 430), "Score": (250, 435, 320, 455),
          "Lifes": (150, 435, 210, 455), "Speed": (150, 460, 210, 480)}
NUMBERS = {"Level": (322, 410, 380, 430), "Score": (322, 435, 380, 455),
           "Lifes": (210, 435, 240, 455)}
PAUSED_BOX = (210, 208, 290, 230)
GAME_OVER_BOX = (175, 225, 300, 262)
AIMED_ROW = int(field_to_pixel(0, 0.5)[1])


def green_in(s, box):
    return s.points(GREEN, *box)


def game_over_shown(s):
    return s.count(RED, *GAME_OVER_BOX) > 20


def command_line(check, binary):
    """Bad arguments fail before any display is opened; --help and --version answer."""
    env = dict(os.environ, DISPLAY="")
    for args, problem in ((["--bogus"], "unrecognized option '--bogus'"),
                          (["--seed"], "requires an argument"),
                          (["--seed", "12x"], "invalid seed '12x'"),
                          (["--seed", "4294967296"], "invalid seed"),
                          (["--seed", "1", "more"], "unexpected argument 'more'")):
        run = subprocess.run([binary, *args], env=env, capture_output=True, text=True)
        lines = run.stderr.splitlines()
        check(f"velmora {' '.join(args)}: exit 2, the problem, and where to look",
              run.returncode == 2 and len(lines) == 2 and problem in lines[0] and
              lines[1] == "Try 'velmora --help'.", f"{run.returncode}: {run.stderr!r}")
    run = subprocess.run([binary, "--help"], env=env, capture_output=True, text=True)
    check("--help lists the options and keys", run.returncode == 0 and
          all(w in run.stdout for w in ("--seed", "Esc", "F11", "Enter")))
    run = subprocess.run([binary, "--version"], env=env, capture_output=True, text=True)
    check("--version names the version", run.returncode == 0 and
          re.fullmatch(r"velmora \d+\.\d+\.\d+\n", run.stdout) is not None, run.stdout.strip())
    run = subprocess.run([binary], env=env, capture_output=True, text=True)
    check("no display: a message and exit 1", run.returncode == 1 and "display" in run.stderr,
          run.stderr.strip())


def first_picture(check, a, s):
    check("the window is 500 by 500 from the start", a.first_size == (SIZE, SIZE),
          f"{a.first_size}")
    black = s.count(BLACK)
    check("background is black", black > 0.9 * SIZE * SIZE, f"{black} pixels black")
    for label, box in LABELS.items():
        check(f"green head-up text on the {label} row", s.count(GREEN, *box) > 40)
    check("no GAME OVER while playing", not game_over_shown(s))
    x = plain_invader_x(s)
    check("plain invader, a filled white hexagon, at the left on the row of y = -0.5",
          x is not None and x < 150, f"centre x {x}")
    return s


def plain_invader_moves(check, a, first):
    a.wait_until(3.0)
    later = a.shot("invader_later", check.out_dir)
    x0, x1 = plain_invader_x(first), plain_invader_x(later)
    # 0.01 a tick is 2.5 pixels: it has moved some whole number of ticks, never more than the
    # schedule has let run since (a busy machine may run fewer).
    ticks = (x1 - x0) / 2.5 if x0 is not None and x1 is not None else -1
    check("plain invader moves right at 0.01 a tick, no faster than the schedule",
          ticks > 0 and abs(ticks - round(ticks)) < 0.5 and
          ticks <= (later.when - first.when) * 20 + 2, f"{x0} -> {x1}")


def ship_and_aimed_invader(check, a):
    seen = a.first_shot_where(lambda s: ship_drawn_at_angle(s, 0.0), 10.0)
    check("ship drawn at the centre after its start blink", seen is not None)
    check.save(seen, "ship")

    # The aimed invader is made in tick 301, 15 s in, at the right on the row of y = 0.5.
    a.wait_until(15.0)
    found = a.first_shot_where(lambda s: s.count(YELLOW, 0, AIMED_ROW - 10, SIZE,
                                                 AIMED_ROW + 10) > 20, 15)
    run = found.widest_run(YELLOW, AIMED_ROW) if found else None
    check("yellow aimed invader enters from the right on the row of y = 0.5",
          run is not None and run[0] > SIZE / 2, f"at {found.when:.1f} s, x {run}" if found
          else "not seen")
    check.save(found, "aimed_invader")
    if found:
        time.sleep(0.5)
        later = a.shot()
        check("aimed invader moves left", later.widest_run(YELLOW, AIMED_ROW)[0] < run[0])


def game_over_and_enter(check, b, start):
    over = b.first_shot_where(game_over_shown, max(1.0, 60 - b.seconds()))
    check("seed 7 ends in GAME OVER at tick 344, not before its time",
          over is not None and over.when > 344 / 20 - 1, f"at {over.when:.1f} s" if over
          else "not seen")
    check.save(over, "game_over")
    if over is None:
        return
    check("the lives then read differently from the start",
          green_in(over, NUMBERS["Lifes"]) != green_in(start, NUMBERS["Lifes"]))
    # The first game on an empty table enters it: Enter keeps the name, the next starts anew.
    entry = lambda shot: shot.count(YELLOW, 0, 270, SIZE, 295)  # noqa: E731 (its row, marked)
    b.keys("Return")
    table = b.first_shot_where(lambda s: entry(s) > 20, 10) or b.shot()
    check.save(table, "score_table")
    check("Enter keeps the name offered; the table shows under GAME OVER, the entry in yellow",
          game_over_shown(table) and entry(over) == 0 and entry(table) > 20,
          f"{entry(over)} then {entry(table)} yellow pixels")
    b.keys("Return")
    again = b.first_shot_where(lambda s: not game_over_shown(s), 10) or b.shot()
    check.save(again, "new_game")
    check("Enter then: a new game reading Level 0, Score 0, Lifes 3",
          not game_over_shown(again) and
          all(green_in(again, box) == green_in(start, box) for box in NUMBERS.values()))
    # Closed while held stopped past a tick's time, so that the close and a due tick fall in
    # the same pass of the toolkit's loop.
    b.proc.send_signal(signal.SIGSTOP)
    b.close_window()
    time.sleep(0.12)
    b.proc.send_signal(signal.SIGCONT)
    code = b.exit_code()
    output = b.proc.stdout.read().decode(errors="replace").strip() if code is not None else ""
    check("closing the window ends the game with 0, even with a tick due", code == 0,
          f"exit status {code}{': ' + output if output else ''}")


def pause_resize_full_screen(check, a):
    a.keys("p")
    still = a.first_shot_where(lambda s: s.count(GREEN, *PAUSED_BOX) > 40, 10) or a.shot()
    check.save(still, "paused")
    time.sleep(1.0)
    check("p freezes the picture", a.shot().data == still.data)
    check("PAUSED shows in green", still.count(GREEN, *PAUSED_BOX) > 40)

    # Wider than tall, while paused: the same picture, centred between black bars (a star's
    # end pixel may round the other way after the shift).
    a.resize(700, SIZE)
    barred = lambda s: (s.width == 700 and s.count(BLACK, 0, 0, 100, SIZE) + s.count(  # noqa
        BLACK, 600, 0, 700, SIZE) == 2 * 100 * SIZE and s.count(GREEN, 100, 0, 600, SIZE) > 100)
    wide = a.first_shot_where(barred, 10) or a.shot()
    check.save(wide, "resized")
    bars = wide.count(BLACK, 0, 0, 100, SIZE) + wide.count(BLACK, 600, 0, 700, SIZE)
    middle = wide.crop(100, 0, 600, SIZE) if wide.width == 700 else still
    moved = sum(middle.px(x, y) != still.px(x, y) for y in range(SIZE) for x in range(SIZE))
    check("a resized window keeps the field square, centred, with black bars",
          (wide.width, wide.height) == (700, SIZE) and bars == 2 * 100 * SIZE and moved < 20,
          f"{wide.width}x{wide.height}, {moved} pixels differ from the 500 by 500 picture")
    a.keys("F11")
    full = a.first_shot_where(lambda s: s.width == 1600 and s.count(BLACK, 0, 0, 200, 1200) ==
                              200 * 1200 and s.count(WHITE, 200, 0, 1400, 1200) > 100, 10) \
        or a.shot()
    check.save(full, "full_screen")
    side = min(full.width, full.height)
    margin = (full.width - side) // 2
    check("F11: full screen, the field square in the middle",
          (full.width, full.height) == (1600, 1200) and
          full.count(BLACK, 0, 0, margin, full.height) == margin * full.height and
          full.count(WHITE, margin, 0, margin + side, side) > 100, f"{full.width}x{full.height}")
    a.keys("F11")
    a.resize(SIZE, SIZE)
    a.keys("p")
    check("p again resumes", a.first_shot_where(lambda s: s.data != still.data, 10) is not None)


def keys(check, c):
    c.wait_until(6.0)
    seen = c.first_shot_where(lambda s: ship_drawn_at_angle(s, 0.0), 10.0)
    check("(second game) ship at the centre, pointing right", seen is not None)
    c.keys(*["a"] * 16)
    turned = c.first_shot_where(lambda s: ship_drawn_at_angle(s, 1.6) and
                                not ship_drawn_at_angle(s, 0.0), 10.0)
    check("a turns the ship counter-clockwise", turned is not None)
    check.save(turned, "ship_turned")
    c.keys("q", "q", "q")
    fired = c.first_shot_where(lambda s: light_red_bullets(s) > 0, 10)
    check("q fires light-red bullets", fired is not None)
    check.save(fired, "bullets")
    # Upper case is lower case: once those bullets are gone (50 frames), Q fires anew.
    quiet = c.first_shot_where(lambda s: light_red_bullets(s) == 0, 20) or c.shot()
    c.keys("Q", "Q", "Q")
    fired = c.first_shot_where(lambda s: light_red_bullets(s) > 0, 10)
    check("Q fires as q does", light_red_bullets(quiet) == 0 and fired is not None)
    c.keys("Escape")
    check("Esc ends the game with exit status 0", c.exit_code() == 0)


def replays(check, x, binary, c_file, d_file):
    """C's recording gives its summary back; D's, cut short by a kill, replays to its last
    tick, headless and then in a window at the game's pace."""
    def headless(path):
        return subprocess.run([binary, "--play", path, "--headless"], capture_output=True,
                              text=True, env=dict(os.environ, DISPLAY=""), timeout=60)

    with open(c_file) as f:
        end = f.read().rstrip("\n").rsplit("\n", 1)[-1]
    run = headless(c_file)
    check("a recorded game replays without a window to its summary",
          run.returncode == 0 and end.startswith("end ") and
          run.stdout.startswith(end[len("end "):] + " ticks_per_second="),
          f"{end!r}; {run.stdout.strip()}")

    with open(d_file) as f:
        ticks = sum(line.startswith("t ") for line in f)
    run = headless(d_file)
    check("a recording killed mid-game replays to its last tick",
          run.returncode == 0 and f"ticks={ticks} " in run.stdout and "no summary" in run.stderr,
          f"{ticks} ticks recorded; {run.stdout.strip()}")
    began = time.time()
    replay = subprocess.run([binary, "--play", d_file], capture_output=True, text=True,
                            env=x.env, timeout=60)
    took = time.time() - began
    check("the same file replays in a window at the game's pace, not faster",
          replay.returncode == 0 and f"ticks={ticks} " in replay.stdout and
          took >= ticks / 20 - 0.1, f"{took:.1f} s for {ticks} ticks")


def run(check, binary, shim):
    command_line(check, binary)
    log = tempfile.NamedTemporaryFile(prefix="velmora-ticks-", delete=False).name
    c_file = tempfile.NamedTemporaryFile(prefix="velmora-c-", delete=False).name
    d_file = tempfile.NamedTemporaryFile(prefix="velmora-d-", delete=False).name
    with Xvfb() as x:
        games = []
        try:
            a = Game(x, binary, ["--seed", "58"], at=(0, 0),
                     env={"LD_PRELOAD": shim, "VELMORA_TICK_LOG": log})
            b = Game(x, binary, ["--seed", "7"], at=(510, 0))
            c = Game(x, binary, ["--seed", "58", "--record", c_file], at=(1020, 0))
            d = Game(x, binary, ["--record", d_file, "--seed", "58"], at=(0, 600))
            games = [a, b, c, d]
            # The pictures first, then the checks. A and C are compared at the same tick: the
            # plain invader moves exactly 2.5 pixels a tick, so it serves as the clock. C was
            # started after A and trails it: a few pictures of A, then a run of C's that passes
            # through the ticks they show (or the next, 2 pixels more reach for a rock a tick).
            a.wait_until(1.0)
            start_a = a.shot("start", check.out_dir)
            start_b = b.shot("start_seed_7", check.out_dir)
            ours = [start_a] + [a.shot() for _ in range(3)]
            theirs = []
            c.wait_until(1.0)
            while c.seconds() < 10 and not same_tick(ours, theirs):
                theirs.append(c.shot())
            first_picture(check, a, start_a)
            pair = same_tick(ours, theirs, 1)
            check.save(pair and pair[1], "start_same_seed")
            ticks_apart = abs(plain_invader_x(pair[0]) - plain_invader_x(pair[1])) / 2.5 if pair else 0
            reach = 2 + 2 * round(ticks_apart)
            same = near_match(layout(pair[0]), layout(pair[1]), reach) if pair else 0
            other = near_match(layout(start_a), layout(start_b), reach)
            check(f"--seed 58 twice: the same layout (white pixels within {reach} px, "
                  f"{ticks_apart:.0f} ticks apart)", same > 0.97 and other < 0.9,
                  f"{same:.3f} matched; seed 7: {other:.3f}")

            plain_invader_moves(check, a, start_a)
            d.wait_until(2.0)
            d.proc.send_signal(signal.SIGKILL)
            d.exit_code()
            keys(check, c)
            ship_and_aimed_invader(check, a)
            game_over_and_enter(check, b, start_b)
            pause_resize_full_screen(check, a)
            a.keys("Escape")
            check("Esc ends the first game with 0 too", a.exit_code() == 0)
            replays(check, x, binary, c_file, d_file)
            ticks, faults = schedule_faults(log)
            check("every tick on the schedule: none early, each due 50 ms after the last",
                  ticks > 300 and not faults, f"{ticks} ticks; {faults[:3]}")
        finally:
            for g in games:
                g.stop()
            for path in (log, c_file, d_file):
                os.unlink(path)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, out_dir, shim = (os.path.abspath(sys.argv[1]), sys.argv[2],
                             os.path.abspath(sys.argv[3]))
    os.makedirs(out_dir, exist_ok=True)
    check = Checks(out_dir)
    with check.scenario():
        run(check, binary, shim)
    print(f"screenshots in {os.path.abspath(out_dir)}")
    check.finish()


if __name__ == "__main__":
    main()
