#!/usr/bin/env python3
"""The desktop's high-score table in real windows under Xvfb, and the leaderboard from the command
line against a real velmora-server.

- Seed 7 with no keys loses its last life at tick 344: the name prompt appears; a typed name is
  kept; --scores lists it with its recording, which replays headless with exit 0.
- A corrupt table is set aside (one line on stderr) and the games still play; two games ending
  at once both land in the table.
- --submit and --leaderboard against the server, and against no server; the file sent is left
  as it was.

Usage: scores_test.py VELMORA VELMORA_SERVER SCREENSHOT_DIR REPLAY_DIR
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from service import Server  # noqa: E402
from xsession import GREEN, YELLOW, Checks, Game, Xvfb  # noqa: E402


def velmora(binary, *args, data=None, env=None):
    return subprocess.run([binary, *args], capture_output=True, text=True, timeout=120,
                          env=dict(os.environ, DISPLAY="", **({"XDG_DATA_HOME": data}
                                                               if data else {}), **(env or {})))


def prompting(shot):
    """The prompt: green text on the rows under GAME OVER."""
    return shot.count(GREEN, 120, 255, 400, 300) > 200


def table_marked(shot):
    """The table, the new entry in yellow."""
    return shot.count(YELLOW, 100, 265, 420, 420) > 40


def desktop(check, x, binary, out_dir, tmp):
    alone = os.path.join(tmp, "alone")
    shared = os.path.join(tmp, "shared")
    os.makedirs(os.path.join(shared, "velmora"))
    os.makedirs(os.path.join(alone, "velmora"))
    with open(os.path.join(alone, "velmora", "scores"), "w") as f:
        f.write("velmora-scores 1\n" + "".join(
            f"entry {score} {level} {ticks} 2026-12-0{i + 1}T10:00:00Z {i} earlier-{i}.replay "
            f"{name}\n" for i, (score, level, ticks, name) in enumerate(
                ((1204, 5, 5100, "Maud"), (615, 3, 2900, "Tomas"), (230, 1, 1400, "Ines"),
                 (12, 0, 700, "Oskar")))))
    with open(os.path.join(shared, "velmora", "scores"), "w") as f:
        f.write("velmora-scores 1\nentry nonsense\n")
    games = [Game(x, binary, ["--seed", "7", "-geometry", f"+{510 * i}+0"], at=None,
                  env={"XDG_DATA_HOME": folder})
             for i, folder in enumerate((alone, shared, shared))]
    try:
        # Seed 7 ends at tick 344, some 17 s in: each shows its prompt.
        shots = [g.first_shot_where(prompting, 30) for g in games]
        check("seed 7, no keys: GAME OVER asks each game's name on the field",
              all(s is not None for s in shots))
        if shots[0] is not None:
            shots[0].save_png(os.path.join(out_dir, "name_prompt.png"))
        games[0].keys(*["BackSpace"] * 12, "A", "n", "a", "space", "K", "minus", "1")
        games[0].keys("Return")
        marked = games[0].first_shot_where(table_marked, 5)
        check("Enter keeps the name: the table shows under GAME OVER, the new entry marked",
              marked is not None)
        if marked is not None:
            marked.save_png(os.path.join(out_dir, "high_scores.png"))
        # The two on one folder: names typed, then Enter in both at once.
        for g, name in zip(games[1:], ("Bo", "Cy")):
            g.keys(*["BackSpace"] * 12, *name)
        for g in games[1:]:
            x.run("xdotool", "key", "--window", g.window, "Return")
        time.sleep(1.0)
        for g in games:
            g.keys("Escape")
        codes = [g.exit_code() for g in games]
        errors = [g.proc.stdout.read().decode() for g in games]
        check("the games quit with 0", codes == [0, 0, 0], str(codes))
        aside = [f for f in os.listdir(os.path.join(shared, "velmora"))
                 if f.startswith("scores.bad-")]
        said = sum(e.count("set aside as") for e in errors[1:])
        check("a corrupt table is set aside, with one line on stderr, and the games play on",
              len(aside) == 1 and said == 1, f"{aside}, {errors[1:]}")
    finally:
        for g in games:
            g.stop()

    listed = velmora(binary, "--scores", data=alone)
    line = next((l for l in listed.stdout.splitlines() if "Ana K-1" in l), "")
    check("--scores lists the name, the score and the recording's path",
          listed.returncode == 0 and line.split()[:4] == ["5", "Ana", "K-1", "1"] and
          line.endswith(".replay"), listed.stdout)
    if line:
        replay = velmora(binary, "--play", line.split()[-1], "--headless")
        check("that recording replays headless with exit 0",
              replay.returncode == 0 and replay.stdout.startswith("ticks=344 level=0 score=1"),
              replay.stdout + replay.stderr)
    both = velmora(binary, "--scores", data=shared).stdout
    check("two games ending at once both land in the table", " Bo " in both and " Cy " in both,
          both)
    files = os.listdir(os.path.join(alone, "velmora"))
    check("only the kept game's recording stays",
          len([f for f in files if f.endswith(".replay")]) == 1, str(files))


def command_line(check, binary, server_binary, replays, tmp):
    levels = os.path.join(replays, "game-over.replay")
    before = open(levels, "rb").read()
    tampered = os.path.join(tmp, "tampered.replay")
    with open(tampered, "wb") as f:
        f.write(before.replace(b"score=1 lives", b"score=9001 lives"))
    with Server(server_binary, "--db", "sqlite:" + os.path.join(tmp, "cli.db")) as s:
        url = f"http://127.0.0.1:{s.port}"
        sent = velmora(binary, "--submit", levels, "--name", "Ana", "--server", url)
        check("--submit prints the verified rank", sent.returncode == 0 and
              sent.stdout.startswith("verified: rank 1 on " + url), sent.stdout + sent.stderr)
        again = velmora(binary, "--submit", levels, "--name", "Ana", env={"VELMORA_SERVER": url})
        check("VELMORA_SERVER names the server; the same game again is already there",
              again.returncode == 0 and again.stdout.startswith("already there: rank 1"),
              again.stdout + again.stderr)
        refused = velmora(binary, "--submit", tampered, "--name", "Ana", "--server", url)
        check("a refused game: exit 3, one line with the server's words",
              refused.returncode == 3 and refused.stderr.count("\n") == 1 and
              "refused the recording: the replay went another way" in refused.stderr,
              refused.stderr)
        board = velmora(binary, "--leaderboard", "--board", "uploaded", "--server", url)
        check("--leaderboard --board uploaded prints its top ten", board.returncode == 0 and
              "   1  Ana " in board.stdout and "uploaded games, 1 games" in board.stdout,
              board.stdout)
        port = s.port
    gone = velmora(binary, "--submit", levels, "--name", "Ana", "--server",
                   f"http://127.0.0.1:{port}")
    check("no server: exit 1, one line naming the server and why",
          gone.returncode == 1 and gone.stderr.count("\n") == 1 and
          f"127.0.0.1:{port} cannot be reached" in gone.stderr, gone.stderr)
    board = velmora(binary, "--leaderboard", "--server", f"http://127.0.0.1:{port}")
    check("--leaderboard with no server: exit 1", board.returncode == 1, board.stderr)
    check("the file sent is untouched", open(levels, "rb").read() == before)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    binary, server_binary = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    out_dir, replays = sys.argv[3], os.path.abspath(sys.argv[4])
    os.makedirs(out_dir, exist_ok=True)
    check = Checks(out_dir)
    with tempfile.TemporaryDirectory() as tmp:
        with check.scenario():
            command_line(check, binary, server_binary, replays, tmp)
            with Xvfb(1600, 600) as x:
                desktop(check, x, binary, out_dir, tmp)
    check.finish()


if __name__ == "__main__":
    main()
