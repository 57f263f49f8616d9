#!/usr/bin/env python3
"""Live games watched, against real velmora-servers: on SQLite, a game watched from its start
to its end (the watched recording replays on the desktop to every check value, the end is the
verified outcome), listed while it is played, a watcher joining mid-game given it all the same;
the desktop's velmora --live and velmora --watch in a real window (Xvfb);
a watcher that does not read dropped while the others go on; the watchers an address may hold.
Two servers on one PostgreSQL: a game played on the first is watched on the second; the first
killed with SIGKILL mid-game, its client carries the game on with the second, and the watcher
follows it to its end.

Usage: watch_test.py VELMORA_SERVER VELMORA VELMORA_TRACE
"""
import concurrent.futures
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live import crash_recording, deal, stream  # noqa: E402
from postgres import Postgres  # noqa: E402
from service import Server  # noqa: E402
from watch import Watch  # noqa: E402
from xsession import Checks, Xvfb, wait_for  # noqa: E402

SLACK = 2  # on a loaded machine


def replays(velmora, recording, path):
    with open(path, "wb") as f:
        f.write(recording)
    run = subprocess.run([velmora, "--play", path, "--headless"], capture_output=True,
                         text=True, env=dict(os.environ, DISPLAY=""))
    return run.returncode == 0, run.stderr


def start_to_end(check, s, velmora, trace, tmp):
    status, dealt = deal(s, name="Wes")
    recording = crash_recording(trace, dealt["seed"], tmp)
    first = Watch(s, dealt["attempt"])
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        game = pool.submit(stream, [s], dealt["attempt"], dealt["token"], recording)
        time.sleep(5)
        late = Watch(s, dealt["attempt"])
        _, live = s.json("GET", "/api/v1/live?board=open")
        listed = [g for g in live["games"] if g["attempt"] == dealt["attempt"]]
        check("a game played is listed live, with its watchers",
              len(listed) == 1 and listed[0]["name"] == "Wes" and listed[0]["ticks"] > 0 and
              listed[0]["watchers"] >= 1, str(live))
        status, body = game.result()
    for who, w in (("from its start", first), ("joining mid-game", late)):
        end = w.wait_end(10 * SLACK)
        ok, why = replays(velmora, w.recording(), os.path.join(tmp, f"watched-{who}.replay"))
        check(f"a game watched {who}: its recording whole, replaying to every check value, "
              "and its verified end",
              w.status() == 200 and w.recording() == recording and ok and end is not None and
              end["state"] == "ranked" and end["score"] == body["score"] and
              end["rank"] == body["rank"], f"{status} {body} {end} {why}")
        w.close()
    _, live = s.json("GET", "/api/v1/live?board=open")
    check("a game ended is no longer listed",
          all(g["attempt"] != dealt["attempt"] for g in live["games"]), str(live))


def desktop(check, s, velmora, trace, tmp):
    """velmora --live lists a game being played, velmora --watch follows it in a window."""
    _, dealt = deal(s, name="Dex")
    recording = crash_recording(trace, dealt["seed"], tmp)
    url = f"http://127.0.0.1:{s.port}"
    with concurrent.futures.ThreadPoolExecutor(1) as pool, Xvfb(1024, 768) as x:
        game = pool.submit(stream, [s], dealt["attempt"], dealt["token"], recording)
        time.sleep(3)
        listed = subprocess.run([velmora, "--live", "--server", url], capture_output=True,
                                text=True)
        check("velmora --live lists the game being played, with its attempt",
              listed.returncode == 0 and any(
                  line.split()[:2] == [str(dealt["attempt"]), "Dex"]
                  for line in listed.stdout.splitlines()), listed.stdout + listed.stderr)
        watched = subprocess.run([velmora, "--watch", str(dealt["attempt"]), "--server", url,
                                  "--mute"], capture_output=True, text=True, timeout=120 * SLACK,
                                 env=dict(x.env, HOME=tmp))
        status, body = game.result()
    said = watched.stdout.splitlines()
    check("velmora --watch follows it in a window from its start to its end, matching it tick "
          "by tick, and prints its verified outcome",
          watched.returncode == 0 and status == 200 and len(said) == 2 and
          said[0].startswith(f"watched: RANKED: rank {body['rank']} on the open board") and
          said[1] == f"ticks={body['ticks']} level={body['level']} score={body['score']} lives=0",
          f"{watched.returncode} {said} {watched.stderr} {body}")
    gone = subprocess.run([velmora, "--watch", "99999", "--server", url], capture_output=True,
                          text=True)
    check("velmora --watch of an attempt nobody was dealt says so, with status 1",
          gone.returncode == 1 and "no such attempt" in gone.stderr, gone.stderr)


def slow_watcher(check, s, trace, tmp):
    """A heavy game (twenty keys a tick); one watcher reads, one never does."""
    path = os.path.join(tmp, "busy.replay")
    for _ in range(5):  # a seed whose game lasts long enough to fill what the kernel buffers
        _, dealt = deal(s, name="Sid")
        subprocess.run([trace, path, "busy", str(dealt["seed"]), "ticks", "700"], check=True)
        recording = open(path, "rb").read()
        if recording.count(b"\nt ") >= 300:
            break
    keen = Watch(s, dealt["attempt"])
    slow = Watch(s, dealt["attempt"], reading=False)
    answer = stream([s], dealt["attempt"], dealt["token"], recording)
    slow.drain(seconds=15 * SLACK)
    keen.wait_end(10 * SLACK)
    check("a watcher that does not read is dropped, the others go on",
          slow.closed and slow.end() is None and len(slow.body()) < len(keen.body()) and
          keen.recording() == recording and keen.end() is not None,
          f"slow: {len(slow.body())} bytes, closed {slow.closed}; keen: {len(keen.body())} "
          f"bytes, closed {keen.closed}, recording {len(keen.recording())} of {len(recording)} "
          f"bytes, end {keen.end()}; {answer}")
    slow.close()
    keen.close()


def limits(check, s):
    _, dealt = deal(s, name="Lou")
    crowd = [Watch(s, dealt["attempt"], source="127.0.0.9") for _ in range(33)]
    wait_for(lambda: all(w.status() is not None for w in crowd), 10 * SLACK)
    statuses = sorted(w.status() or 0 for w in crowd)
    other = Watch(s, dealt["attempt"], source="127.0.0.10")
    wait_for(lambda: other.status() is not None, 10 * SLACK)
    check("an address holds 32 watchers, the 33rd is refused 429; another address is not",
          statuses == [200] * 32 + [429] and other.status() == 200,
          f"{statuses} {other.status()}")
    for w in crowd + [other]:
        w.close()
    status, _, _ = s.request("GET", "/api/v1/attempts/99999/watch")
    check("an attempt nobody was dealt cannot be watched", status == 404, str(status))


def two_servers(check, binary, trace, tmp, url):
    """Played on A (and its client fails over to B), watched on B; A killed mid-game."""
    a = Server(binary, "--db", url)
    b = Server(binary, "--db", url)
    try:
        _, dealt = deal(a, name="Kit")
        recording = crash_recording(trace, dealt["seed"], tmp)
        watcher = Watch(b, dealt["attempt"])
        with concurrent.futures.ThreadPoolExecutor(1) as pool:
            game = pool.submit(stream, [a, b], dealt["attempt"], dealt["token"], recording,
                               failover=True)
            time.sleep(4)
            seen = len(watcher.events())
            a.proc.send_signal(signal.SIGKILL)
            a.proc.wait()
            status, body = game.result()
        end = watcher.wait_end(10 * SLACK)
        check("PostgreSQL: a game played on one server is watched on another, and followed "
              "there once the first is killed mid-game",
              seen > 0 and status == 200 and body["state"] == "ranked" and end is not None and
              end["state"] == "ranked" and end["game"] == body["game"] and
              watcher.recording() == recording,
              f"{seen} events before the kill; {status} {body}; {end}")
        watcher.close()
    finally:
        for s in (a, b):
            if s.proc.poll() is None:
                s.stop()


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, velmora, trace = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(None)
    with check.scenario(), tempfile.TemporaryDirectory() as tmp:
        with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "w.db")) as s:
            with concurrent.futures.ThreadPoolExecutor(4) as pool:
                jobs = [pool.submit(start_to_end, check, s, velmora, trace, tmp),
                        pool.submit(desktop, check, s, velmora, trace, tmp),
                        pool.submit(slow_watcher, check, s, trace, tmp),
                        pool.submit(limits, check, s)]
                for job in jobs:
                    job.result()
        with Postgres() as pg:
            two_servers(check, binary, trace, tmp, pg.url)
    check.finish()


if __name__ == "__main__":
    main()
