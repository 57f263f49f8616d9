#!/usr/bin/env python3
"""Ranked games played live, against real velmora-servers (lag bound 3 s) on SQLite in a
temporary folder and on a real PostgreSQL: a game streamed at real time ranks, and its recording
replays on the desktop; the same kind of game streamed 4x too fast, 2x too slow or with a silence
past the bound is refused with the reason; a forged token, an unknown attempt, a batch out of
order are refused and a retried batch is taken once; on the daily board one ranked attempt a
day a player (a second plays unranked, a past day too, a day to come is not dealt); two servers
on one database take the batches of one attempt in turn; a server killed with SIGKILL mid-game
leaves its attempts to the other, and every game it acknowledged as ranked stays ranked.

Usage: ranked_test.py VELMORA_SERVER VELMORA VELMORA_TRACE
"""
import concurrent.futures
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live import crash_recording, deal, send, stream  # noqa: E402
from postgres import Postgres  # noqa: E402
from service import Server  # noqa: E402
from xsession import Checks  # noqa: E402

BOUND = ["--lag-bound", "3"]


def played(trace, tmp, server, board="open", name="Ana", **how):
    """An attempt dealt by `server` and its crash recording streamed: (deal, last answer)."""
    servers = how.pop("servers", [server])
    status, dealt = deal(server, board, name)
    if status != 201:
        return dealt, (status, dealt)
    recording = crash_recording(trace, dealt["seed"], tmp)
    return dealt, stream(servers, dealt["attempt"], dealt["token"], recording, **how)


def speeds_and_tokens(check, label, s, trace, velmora, tmp):
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        real = pool.submit(played, trace, tmp, s)
        fast = pool.submit(played, trace, tmp, s, speed=4)
        slow = pool.submit(played, trace, tmp, s, speed=0.5)
        gap = pool.submit(played, trace, tmp, s, silence=(1.5, 4.5))
        dealt, (status, body) = real.result()
        check(f"{label}: a game streamed at real time ranks on the open board",
              status == 200 and body["state"] == "ranked" and body["rank"] >= 1 and
              body["board"] == "open", f"{status} {body}")
        _, scores = s.json("GET", "/api/v1/scores?board=open")
        check(f"{label}: the open board lists it; the uploaded board does not",
              any(r["id"] == body.get("game") for r in scores["scores"]) and
              s.json("GET", "/api/v1/scores?board=uploaded")[1]["total"] == 0, str(scores))
        _, _, kept = s.request("GET", f"/api/v1/games/{body.get('game')}/replay")
        path = os.path.join(tmp, f"ranked-{label}.replay")
        with open(path, "wb") as f:
            f.write(kept)
        run = subprocess.run([velmora, "--play", path, "--headless"], capture_output=True,
                             text=True, env=dict(os.environ, DISPLAY=""))
        check(f"{label}: its recording, made of its batches, replays on the desktop",
              run.returncode == 0 and kept == crash_recording(trace, dealt["seed"], tmp),
              run.stderr)
        for what, future, words in (("4x too fast", fast, "faster than real time"),
                                    ("2x too slow", slow, "fell behind real time"),
                                    ("with a silence past the bound", gap, "nothing came for")):
            dealt, (status, body) = future.result()
            _, shown = s.json("GET", f"/api/v1/attempts/{dealt['attempt']}")
            check(f"{label}: a game streamed {what} is refused, and says why",
                  status == 422 and words in body["reason"] and shown["state"] == "refused" and
                  words in shown["reason"], f"{status} {body} {shown}")
    status, dealt = deal(s)
    check(f"{label}: a forged token is refused",
          send(s, dealt["attempt"], "0" * 64, 0, b"")[0] == 401)
    check(f"{label}: an attempt nobody was dealt is not there",
          send(s, dealt["attempt"] + 100, dealt["token"], 0, b"")[0] == 404)
    head = crash_recording(trace, dealt["seed"], tmp).split(b"\nt ")[0] + b"\n"
    check(f"{label}: a batch out of order is refused with the one expected",
          send(s, dealt["attempt"], dealt["token"], 1, head) == (409, send(
              s, dealt["attempt"], dealt["token"], 1, head)[1]) and
          send(s, dealt["attempt"], dealt["token"], 1, head)[1]["expected"] == 0)
    first = send(s, dealt["attempt"], dealt["token"], 0, head)
    again = send(s, dealt["attempt"], dealt["token"], 0, head)
    _, shown = s.json("GET", f"/api/v1/attempts/{dealt['attempt']}")
    check(f"{label}: a batch sent twice (a retry) is taken once",
          first[0] == again[0] == 200 and shown["batches"] == 1, f"{first} {again} {shown}")


def daily(check, label, s, trace, tmp):
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        first = pool.submit(played, trace, tmp, s, "daily", "Bea")
        time.sleep(0.3)
        second = pool.submit(played, trace, tmp, s, "daily", "BEA")
        (dealt1, (status1, body1)), (dealt2, (status2, body2)) = first.result(), second.result()
    check(f"{label}: the daily board deals one seed to all, and ranks the first attempt",
          dealt1["seed"] == dealt2["seed"] and dealt1["ranked"] and status1 == 200 and
          body1["state"] == "ranked" and body1["board"] == "daily", f"{dealt1} {body1}")
    check(f"{label}: the player's second attempt of the day plays unranked",
          not dealt2["ranked"] and "already" in dealt2["reason"] and status2 == 200 and
          body2["state"] == "played", f"{dealt2} {body2}")
    _, board = s.json("GET", "/api/v1/scores?board=daily")
    check(f"{label}: the day's board lists the ranked one alone",
          board["total"] == 1 and board["scores"][0]["id"] == body1["game"], str(board))
    _, past = deal(s, "daily", "Cy", day="2026-01-02")
    status, future = deal(s, "daily", "Cy", day="2999-01-01")
    check(f"{label}: a past day plays unranked with its own seed; a day to come is not dealt",
          not past["ranked"] and past["seed"] != dealt1["seed"] and status == 422,
          f"{past} {status} {future}")


def two_servers(check, label, a, b, trace, tmp):
    _, (status, body) = played(trace, tmp, a, name="Dee", servers=[a, b])
    check(f"{label}: two servers on one database take one attempt's batches in turn",
          status == 200 and body["state"] == "ranked", f"{status} {body}")


def killed(check, label, binary, db, trace, tmp):
    """Six games on server A, killed (SIGKILL) three seconds in; their clients go on with B."""
    a = Server(binary, "--db", db, *BOUND)
    b = Server(binary, "--db", db, *BOUND)
    try:
        with concurrent.futures.ThreadPoolExecutor(6) as pool:
            games = [pool.submit(played, trace, tmp, a, name=f"Kay {i}", servers=[a, b],
                                 failover=True) for i in range(6)]
            time.sleep(3)
            a.proc.send_signal(signal.SIGKILL)
            a.proc.wait()
            answers = [g.result()[1] for g in games]
        ranked = [body["game"] for status, body in answers if body.get("state") == "ranked"]
        _, board = b.json("GET", "/api/v1/scores?board=open&limit=100")
        check(f"{label}: a server killed mid-game: the other finishes its six games, ranked",
              len(ranked) == 6 and {r["id"] for r in board["scores"]} >= set(ranked),
              str(answers))
    finally:
        for s in (a, b):
            if s.proc.poll() is None:
                s.stop()


def engine(check, label, binary, velmora, trace, db, tmp):
    with Server(binary, "--db", db, *BOUND) as a, Server(binary, "--db", db, *BOUND) as b:
        with concurrent.futures.ThreadPoolExecutor(3) as pool:
            jobs = [pool.submit(speeds_and_tokens, check, label, a, trace, velmora, tmp),
                    pool.submit(daily, check, label, b, trace, tmp),
                    pool.submit(two_servers, check, label, a, b, trace, tmp)]
            for job in jobs:
                job.result()
    killed(check, label, binary, db, trace, tmp)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, velmora, trace = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(None)
    with check.scenario(), tempfile.TemporaryDirectory() as tmp:
        engine(check, "SQLite", binary, velmora, trace, "sqlite:" + os.path.join(tmp, "r.db"),
               tmp)
        with Postgres() as pg:
            engine(check, "PostgreSQL", binary, velmora, trace, pg.url, tmp)
    check.finish()


if __name__ == "__main__":
    main()
