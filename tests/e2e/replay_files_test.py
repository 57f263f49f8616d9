#!/usr/bin/env python3
"""Recordings that cannot be replayed are input like any other: each bad file gets one line on
stderr naming the file, the line and the problem, and exit status 2, without a display. A file
whose summary was altered replays, and exits 3 naming where it went another way.

Usage: replay_files_test.py VELMORA_BINARY GOOD_RECORDING
"""
import os
import subprocess
import sys
import tempfile

HEAD = "velmora-replay 1\nrand 1804289383 846930886 1681692777\n"
GAME = HEAD + "seed 5 0000abcd\nd\n"

# (what is wrong, file content or None for no file at all, the line named, words of the problem)
CASES = [
    ("missing file", None, None, "cannot open: No such file or directory"),
    ("a directory", "DIR", 1, "cannot read: Is a directory"),
    ("empty file", "", 1, "empty file"),
    ("wrong first line", "hello\n", 1, "not a Velmora recording"),
    ("unknown version", "velmora-replay 7\n", 1, "unknown version '7'"),
    ("no rand line", "velmora-replay 1\nseed 1 00000000\n", 2, "expected 'rand A B C'"),
    ("another rand()", "velmora-replay 1\nrand 1 2 3\n", 2, "another rand() sequence"),
    ("record before the game", HEAD + "d\n", 3, "expected the first game's 'seed' record"),
    ("malformed tick", GAME + "t 1\n", 5, "expected 't N H'"),
    ("bad check value", GAME + "t 1 xyz\n", 5, "check value of eight hex digits"),
    ("tick out of order", GAME + "t 2 00000000\n", 5, "tick 2 out of order"),
    ("unknown key", GAME + "k x\n", 5, "unknown key 'x'"),
    ("unknown record", GAME + "jump 3\n", 5, "unknown record 'jump 3'"),
    ("truncated last line", GAME + "t 1 0000", 5, "truncated last line"),
    ("tick too large", GAME + "t 99999999999 00000000\n", 5, "number too large for a tick"),
    ("seed too large", HEAD + "seed 4294967296 00000000\n", 3, "number too large for a seed"),
    ("summary out of order", GAME + "end ticks=4 level=0 score=0 lives=3\n", 5,
     "end at tick 4 out of order"),
    ("score too large", GAME + "end ticks=0 level=0 score=2147483648 lives=3\n", 5,
     "number too large for score"),
    ("record after the end", GAME + "end ticks=0 level=0 score=0 lives=3\nd\n", 6,
     "nothing may follow"),
    ("line too long", GAME + "k " + "q" * 5000 + "\n", 5, "line too long"),
]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    binary, good = os.path.abspath(sys.argv[1]), sys.argv[2]
    env = dict(os.environ, DISPLAY="")
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        def play(path, *more):
            return subprocess.run([binary, "--play", path, *more], env=env,
                                  capture_output=True, text=True, timeout=60)

        for name, content, line, problem in CASES:
            path = os.path.join(tmp, name.replace(" ", "-") + ".replay")
            if content == "DIR":
                os.mkdir(path)
            elif content is not None:
                with open(path, "w") as f:
                    f.write(content)
            run = play(path)
            where = f"{path}:{line}: " if line else f"{path}: "
            ok = (run.returncode == 2 and run.stderr.count("\n") == 1 and
                  run.stderr.startswith("velmora: " + where) and problem in run.stderr)
            failures += not ok
            print(("PASS " if ok else "FAIL ") + f"{name}: exit {run.returncode}: "
                  f"{run.stderr.strip()}", flush=True)

        with open(good) as f:
            text = f.read()
        end = text.rindex("end ticks=")
        altered = text[:end] + text[end:].replace("score=", "score=1", 1)
        path = os.path.join(tmp, "altered.replay")
        with open(path, "w") as f:
            f.write(altered)
        run = play(path, "--headless")
        ok = run.returncode == 3 and "diverged from the recording at tick" in run.stderr
        failures += not ok
        print(("PASS " if ok else "FAIL ") + f"altered summary: exit {run.returncode}: "
              f"{run.stderr.strip()}", flush=True)
    print(f"{len(CASES) + 1 - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
