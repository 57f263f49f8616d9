#!/usr/bin/env python3
"""A hostile client against a real velmora-server (SQLite in a temporary folder), each attack
refused or bounded: bounded by what the server holds (its resident memory), what it spends (its
CPU time), how many slow checks it agreed to make, never by how fast this machine answers.

- forged games: GAME OVER said where the game is not over; lines after it; frames rationed (an
  upload or a live game with fewer frames than the game draws); slow motion made up by playing
  fast; another player's game sent again under other frames or cut after its GAME OVER; a
  look-alike name in another alphabet;
- costs: live batches without a tick; junk paths and a forged sample in /metrics; wrong keys
  for a held name; bodies on every path, half sent, and one trickled a byte at a time;
- secrets and logs: the database and its backup private to their user; a line break in a path;
  a hidden game's address;
- behind a proxy, the client it names; an attempt asked for as text/plain;
- a game's GAME OVER sent while every verifier is busy, and sent again: it ranks, and the retry
  says so (on SQLite and on a real PostgreSQL).

Usage: hostile_test.py VELMORA_SERVER VELMORA_TRACE REPLAYS_DIR
"""
import concurrent.futures
import json
import os
import socket
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from live import crash_recording, deal, send, stream  # noqa: E402
from postgres import Postgres  # noqa: E402
from service import Server  # noqa: E402
from xsession import Checks  # noqa: E402

KEY_A, KEY_B = "a" * 64, "b" * 64


def resident_kb(proc):
    with open(f"/proc/{proc.pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def cpu_seconds(proc):
    with open(f"/proc/{proc.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def metrics(s):
    return s.request("GET", "/metrics")[2].decode()


def metric(s, name):
    for line in metrics(s).splitlines():
        if line.startswith(name + " "):
            return float(line.split()[1])
    return None


def upload(s, name, data, key=None):
    headers = {"Content-Type": "text/plain"}
    if key:
        headers["X-Velmora-Key"] = key
    status, _, body = s.request("POST", "/api/v1/games?name=" + name, data, headers)
    return status, json.loads(body) if body else None


def attempt(s, name="Ana", key=None, board="open", client=None):
    ask = {"board": board, "name": name}
    if key:
        ask["key"] = key
    headers = {"Content-Type": "application/json"}
    if client:
        headers["X-Forwarded-For"] = client
    status, _, body = s.request("POST", "/api/v1/attempts", json.dumps(ask).encode(), headers)
    return status, json.loads(body)


def batches_of(recording):
    """The recording's lines, a piece a tick (the first to its first tick)."""
    pieces, lines = [], []
    for line in recording.splitlines(keepends=True):
        lines.append(line)
        if line.startswith(b"d\n") and any(x.startswith(b"t ") for x in lines):
            pieces.append(b"".join(lines))
            lines = []
    return pieces + ([b"".join(lines)] if lines else [])


def forged_games(check, s, trace, replays, tmp):
    # GAME OVER said at tick 30 with the numbers the game has there, 30 ticks' time after.
    status, dealt = attempt(s)
    pieces = batches_of(crash_recording(trace, dealt["seed"], tmp))
    time.sleep(1.6)
    early = b"".join(pieces[:30]) + b"over ticks=30 level=0 score=0 lives=3\n"
    status, body = send(s, dealt["attempt"], dealt["token"], 0, early)
    check("'over' where the game is not over: refused", status == 422 and
          "not over" in body.get("reason", ""), f"{status} {body}")
    # Frames rationed: the golden game with none after its first ticks.
    golden = open(os.path.join(replays, "game-over.replay"), "rb").read()
    rationed = b"".join(line for i, line in enumerate(golden.splitlines(keepends=True))
                        if not (line == b"d\n" and i > 10))
    status, body = upload(s, "Rationer", rationed)
    check("an upload with fewer frames than the game draws: 422, and why",
          status == 422 and "frames" in body["error"], f"{status} {body}")
    status, kept = upload(s, "Ana", golden, KEY_A)
    check("the golden game uploads", status == 201, f"{status} {kept}")
    extra = golden.replace(b"t 100 ", b"d\nt 100 ", 1)
    status, body = upload(s, "Copycat", extra)
    check("the same game with one frame more, under another name: 422",
          status == 422 and "frames" in body["error"], f"{status} {body}")
    over = golden.index(b"\nover ") + 1
    line_end = golden.index(b"\n", over) + 1
    cut = golden[:line_end] + b"end" + golden[over + 4:line_end]
    status, body = upload(s, "Copycat", cut)
    check("the same game cut after its GAME OVER (another recording): 422, a copy",
          status == 422 and "holds this game already" in body["error"], f"{status} {body}")
    upload(s, "TOP", golden, KEY_A)
    status, body = attempt(s, "ТОР", KEY_B)
    check("a name in Cyrillic letters that look like a held Latin one: 403",
          status == 403 and "looks like TOP" in body["error"], f"{status} {body}")


def slow_motion(check, s, trace, tmp):
    """Half speed for 12 s (6 s behind), then four times as fast."""
    status, dealt = attempt(s, "Slowcoach")
    game = crash_recording(trace, dealt["seed"], tmp)
    pieces = batches_of(game)
    began, n, sent_to, answer = time.monotonic(), 0, 0, None
    while sent_to < len(pieces):
        time.sleep(1)
        now = time.monotonic() - began
        due = int(now * 10) if now < 12 else 120 + int((now - 12) * 80)
        chunk = b"".join(pieces[sent_to:due])
        sent_to = max(sent_to, due)
        answer = send(s, dealt["attempt"], dealt["token"], n, chunk)
        n += 1
        if answer[0] != 200 or answer[1].get("state") != "live":
            break
    status, body = answer
    check("slow motion made up by playing four times as fast: refused",
          status == 422 and "cannot be made up" in body.get("reason", ""), f"{status} {body}")


def costs(check, s, tmp):
    # Batches without a tick, as fast as one connection sends them.
    status, dealt = attempt(s, "Flooder")
    taken = 0
    for n in range(2000):
        status, body = send(s, dealt["attempt"], dealt["token"], n, b"")
        if status != 200 or body.get("state") != "live":
            break
        taken += 1
    check("batches without a tick: a few taken, then the attempt refused",
          taken < 100 and status == 422, f"{taken} taken, then {status} {body}")
    # Junk paths, one with a forged sample in it: the labels stay the routes'.
    before = resident_kb(s.proc)
    for i in range(2000):
        s.request("GET", f"/api/v1/junk{i}")
    s.request("GET", "/api/v1/x%22%7D%201%0Avelmora_forged%201")
    text = metrics(s)
    check("2,000 junk paths: /metrics stays small, no forged sample, memory holds",
          len(text) < 20000 and "velmora_forged" not in text and
          resident_kb(s.proc) - before < 10000, f"{len(text)} bytes, "
          f"{resident_kb(s.proc) - before} KB more")
    try:
        from prometheus_client.parser import text_string_to_metric_families
        families = [f.name for f in text_string_to_metric_families(text)]
        check("/metrics reads as Prometheus's text format", "velmora_http_requests" in families)
    except ImportError:
        pass
    # Wrong keys for a held name, from many clients at once: refused before any slow hash.
    cpu = cpu_seconds(s.proc)
    with concurrent.futures.ThreadPoolExecutor(16) as pool:
        answers = list(pool.map(lambda i: attempt(s, "Ana", f"{i:064x}")[0], range(160)))
    check("wrong keys for a held name: refused (403, then 429), no slow check made",
          set(answers) <= {403, 429} and 429 in answers and
          metric(s, "velmora_slow_key_checks_total") == 0,
          f"{sorted(set(answers))}, {cpu_seconds(s.proc) - cpu:.2f} s of CPU")
    # Bodies: none for a GET; half-sent ones held within a budget; one trickled is cut.
    status, _, _ = s.request("GET", "/api/v1/scores", body=b"x" * 1000)
    check("a GET with a body: 413", status == 413, str(status))
    before = resident_kb(s.proc)
    socks = []
    for i in range(32):
        c = socket.create_connection(("127.0.0.1", s.port))
        c.sendall(b"POST /api/v1/games?name=Big HTTP/1.1\r\nHost: x\r\nContent-Length: "
                  b"4194000\r\n\r\n")
        try:
            c.sendall(b"x" * 4000000)
        except OSError:
            pass
        socks.append(c)
    grew = resident_kb(s.proc) - before
    for c in socks:
        c.close()
    check("32 bodies of 4 MiB half sent: the server holds at most its budget of them",
          grew < 60000, f"{grew} KB more")


def trickle(check, binary, tmp):
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "trickle.db"),
                "--client-timeout", "2") as s:
        c = socket.create_connection(("127.0.0.1", s.port))
        c.sendall(b"POST /api/v1/games?name=Slow HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n")
        began, closed = time.monotonic(), False
        for _ in range(20):
            time.sleep(1)
            try:
                c.sendall(b"x")
                if c.recv(1, socket.MSG_DONTWAIT | socket.MSG_PEEK) == b"":
                    closed = True
                    break
            except BlockingIOError:
                continue
            except OSError:
                closed = True
                break
        check("a body trickled a byte a second is cut at its deadline (twice the timeout)",
              closed and time.monotonic() - began < 10, f"{time.monotonic() - began:.1f} s")


def secrets_and_logs(check, s, binary, path, admin):
    for f in (path, path + "-wal", path + "-shm"):
        if os.path.exists(f):
            check(f"{os.path.basename(f)} is its user's alone",
                  stat.S_IMODE(os.stat(f).st_mode) & 0o077 == 0, oct(os.stat(f).st_mode))
    copy = path + ".backup"
    subprocess.run([binary, "backup", copy, "--db", "sqlite:" + path], check=True,
                   capture_output=True)
    check("a backup is its user's alone", stat.S_IMODE(os.stat(copy).st_mode) & 0o077 == 0,
          oct(os.stat(copy).st_mode))
    s.request("GET", "/api/v1/nothing%0A2026-01-01T00:00:00Z%20forged%20line")
    time.sleep(0.3)
    check("a line break in a path writes no line of its own",
          not any("forged line" in line and not line.split()[2:3] == ["GET"]
                  for line in s.log) and
          not any(line.startswith("2026-01-01T00:00:00Z forged") for line in s.log))
    _, scores = s.json("GET", "/api/v1/scores?board=uploaded")
    game = scores["scores"][0]["id"]
    s.request("POST", f"/api/v1/admin/games/{game}/hide", b"{}",
              {"Authorization": "Bearer " + admin, "Content-Type": "application/json"})
    check("a hidden game is no game of the public API",
          s.request("GET", f"/api/v1/games/{game}")[0] == 404 and
          s.request("GET", f"/api/v1/games/{game}/replay")[0] == 404)
    status, _, _ = s.request("POST", "/api/v1/attempts", b'{"board": "open", "name": "Form"}',
                             {"Content-Type": "text/plain"})
    check("an attempt asked for as text/plain (as any page may send): 415", status == 415)


def behind_a_proxy(check, binary, tmp):
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "proxy.db"),
                "--trusted-proxy", "127.0.0.1") as s:
        answers = [attempt(s, f"P{i}", client="10.0.0.1")[0] for i in range(17)]
        other = attempt(s, "Q", client="10.0.0.2")[0]
        check("behind a trusted proxy: the live attempts counted by the client it names",
              answers[:16] == [201] * 16 and answers[16] == 429 and other == 201,
              f"{answers} {other}")
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "direct.db")) as s:
        answers = [attempt(s, f"P{i}", client=f"10.0.0.{i}")[0] for i in range(17)]
        check("with no proxy trusted, X-Forwarded-For names nobody",
              answers[16] == 429, str(answers))


def settled_under_load(check, label, binary, trace, replays, tmp, db):
    """A game's end sent while every verifier is busy with uploads: it settles; sent again, the
    answer says how it ended."""
    golden = open(os.path.join(replays, "game-over.replay"), "rb").read()
    with Server(binary, "--db", db, "--workers", "1", "--submit-rate", "100000") as s:
        status, dealt = attempt(s, "Finisher")
        game = crash_recording(trace, dealt["seed"], tmp)
        pieces = batches_of(game)
        head, last = b"".join(pieces[:-1]), pieces[-1]
        status, body = stream([s], dealt["attempt"], dealt["token"], head)
        sent = body["batches"] if status == 200 else -1
        with concurrent.futures.ThreadPoolExecutor(24) as pool:
            flood = [pool.submit(upload, s, f"Flood{i}", golden) for i in range(48)]
            time.sleep(0.2)
            end = send(s, dealt["attempt"], dealt["token"], sent, last)
            again = send(s, dealt["attempt"], dealt["token"], sent, last)
            busy = sum(f.result()[0] == 503 for f in flood)
        check(f"{label}: the GAME OVER batch settles while every verifier is busy",
              end[0] == 200 and end[1].get("state") == "ranked", f"{end} ({busy} uploads 503)")
        check(f"{label}: sent again, it says how the game ended, its rank too",
              again[0] == 200 and again[1].get("state") == "ranked" and
              again[1].get("rank") == end[1].get("rank"), str(again))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, trace, replays = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(None)
    with tempfile.TemporaryDirectory() as tmp:
        token_file = os.path.join(tmp, "admin-token")
        admin = "operator-token-0123456789"
        with open(token_file, "w") as f:
            f.write(admin + "\n")
        path = os.path.join(tmp, "hostile.db")
        with check.scenario(), Server(binary, "--db", "sqlite:" + path, "--metrics",
                                      "--admin-token-file", token_file) as s:
            forged_games(check, s, trace, replays, tmp)
            costs(check, s, tmp)
            secrets_and_logs(check, s, binary, path, admin)
        with check.scenario():
            slow_motion_server(check, binary, trace, tmp)
        with check.scenario():
            trickle(check, binary, tmp)
        with check.scenario():
            behind_a_proxy(check, binary, tmp)
        with check.scenario():
            settled_under_load(check, "SQLite", binary, trace, replays, tmp,
                               "sqlite:" + os.path.join(tmp, "load.db"))
        with check.scenario(), Postgres() as pg:
            settled_under_load(check, "PostgreSQL", binary, trace, replays, tmp, pg.url)
    check.finish()


def slow_motion_server(check, binary, trace, tmp):
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "slow.db")) as s:
        slow_motion(check, s, trace, tmp)


if __name__ == "__main__":
    main()
