#!/usr/bin/env python3
"""make bench-server: velmora-server under wrk on loopback (docs/performance.md has the results).

- Verification: five-minute games (6,000 ticks of play) submitted by 4 connections for 20 s;
  each is read, replayed and compared in full before the store sees it (the same recording is
  answered 200 after it), so the rate is that of verifying.
- GET /api/v1/scores with 100,000 games kept, on SQLite and on PostgreSQL: 16 connections, 10 s.
- The server's memory (resident set) idle, and its peak under the loads above.
- Ranked games played live: 2,000 attempts at once on today's daily board, each sending its
  batch a second over a connection of its own for 30 s (velmora_live_load): on SQLite with
  nobody watching (the server's memory a game), then with each game watched from its start on
  SQLite and on PostgreSQL (the time from a batch's answer to its event at the watcher, and the
  memory a watcher); the batches' answer times beside nginx's for a static file under the same
  load in the same run.

Usage: server_bench.py VELMORA_SERVER VELMORA_TRACE VELMORA_LIVE_LOAD
"""
import os
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from postgres import Postgres  # noqa: E402
from service import Server, recording  # noqa: E402

GAMES = 100000


def memory(pid):
    status = open(f"/proc/{pid}/status").read()
    value = lambda key: int(status.split(key + ":")[1].split()[0]) // 1024  # noqa: E731
    return value("VmRSS"), value("VmHWM")


def wrk(port, path, seconds, connections, script=None):
    args = ["wrk", "-t2", f"-c{connections}", f"-d{seconds}s", "--latency"]
    if script:
        args += ["-s", script]
    out = subprocess.run(args + [f"http://127.0.0.1:{port}{path}"], capture_output=True,
                         text=True, check=True).stdout
    rate = float(out.split("Requests/sec:")[1].split()[0])
    p99 = out.split(" 99%")[1].split()[0]
    non2xx = out.split("Non-2xx or 3xx responses:")[1].split()[0] if "Non-2xx" in out else "0"
    return rate, p99, non2xx


def fill_sqlite(path):
    db = sqlite3.connect(path)
    db.execute("BEGIN")
    db.executemany(
        "INSERT INTO games (content_hash, name, score, level, lives, ticks, submitted)"
        " VALUES (?, ?, ?, ?, ?, ?, ?)",
        ((f"bench{i}", f"Player {i % 977}", (i * 7919) % 5000, i % 10, 0, 500 + i % 9000,
          f"2026-12-07T{i % 24:02d}:00:00.{i:06d}Z") for i in range(GAMES)))
    db.execute("INSERT INTO recordings (game_id, body) SELECT id, 'velmora-replay 2' FROM games")
    db.execute("UPDATE board_totals SET total = (SELECT COUNT(*) FROM games)"
               " WHERE board = 'uploaded'")
    db.commit()
    db.close()


def fill_postgres(url):
    sql = (f"INSERT INTO games (content_hash, name, score, level, lives, ticks, submitted)"
           f" SELECT 'bench' || i, 'Player ' || (i % 977), (i * 7919) % 5000, i % 10, 0,"
           f" 500 + i % 9000, '2026-12-07T' || lpad((i % 24)::text, 2, '0') || ':00:00.' ||"
           f" lpad(i::text, 6, '0') || 'Z' FROM generate_series(0, {GAMES - 1}) AS i;"
           f" INSERT INTO recordings (game_id, body) SELECT id, 'velmora-replay 2' FROM games;"
           f" UPDATE board_totals SET total = (SELECT COUNT(*) FROM games)"
           f" WHERE board = 'uploaded'; ANALYZE;")
    subprocess.run(["psql", url, "-q", "-c", sql], check=True)


LIVE = 2000
LIVE_SECONDS = 30


def load(tool, port, mode, path="x", watchers=0):
    """velmora_live_load's answer line as a dict of its numbers."""
    out = subprocess.run([tool, str(port), str(LIVE), str(LIVE_SECONDS), mode, path,
                          str(watchers)], capture_output=True, text=True, check=True).stdout
    return {k: float(v) for k, v in (w.split("=") for w in out.split())}


def nginx(tmp):
    """nginx serving a 27-byte file from tmp/www on a free port: (process, port)."""
    os.makedirs(os.path.join(tmp, "www"), exist_ok=True)
    os.makedirs(os.path.join(tmp, "logs"), exist_ok=True)
    with open(os.path.join(tmp, "www", "index.html"), "w") as f:
        f.write("<!doctype html><p>static\n")
    port = 18000 + os.getpid() % 20000
    with open(os.path.join(tmp, "nginx.conf"), "w") as f:
        f.write(f"worker_processes 2; pid {tmp}/nginx.pid; error_log {tmp}/logs/error.log;"
                f" worker_rlimit_nofile 65536; events {{ worker_connections 8192; }}"
                f" http {{ access_log off; keepalive_requests 1000000; keepalive_timeout 120;"
                f" server {{ listen 127.0.0.1:{port}; root {tmp}/www; }} }}")
    proc = subprocess.Popen(["nginx", "-p", tmp, "-c", os.path.join(tmp, "nginx.conf"), "-g",
                             "daemon off;"])
    time.sleep(0.5)
    return proc, port


def live_run(binary, tool, db, watchers):
    """The live load on a server of its own: (figures, MiB idle, MiB at the end, peak MiB)."""
    with Server(binary, "--db", db, "--client-timeout", "60") as s:
        time.sleep(0.5)
        idle = memory(s.proc.pid)[0]
        got = load(tool, s.port, "live", watchers=watchers)
        held, peak = memory(s.proc.pid)
    return got, idle, held, peak


def live(binary, tool, tmp):
    static, port = nginx(tmp)
    try:
        base = load(tool, port, "static", "/index.html")
        _, busy_p99, _ = wrk(port, "/index.html", 10, 16)  # as the machine's notes measure it
    finally:
        static.terminate()
        static.wait()
    print(f"nginx, a static file, {LIVE} connections a request a second each: p50 "
          f"{base['p50_ms']:.2f} ms, p99 {base['p99_ms']:.2f} ms, max {base['max_ms']:.1f} ms;"
          f" under wrk -t2 -c16 (as fast as it goes): p99 {busy_p99}")
    alone, idle, held, _ = live_run(binary, tool, "sqlite:" + os.path.join(tmp, "a.db"), 0)
    game_kib = (held - idle) * 1024 / LIVE
    say_live("SQLite, nobody watching", alone, base)
    print(f"  memory {idle} MiB idle, {held} MiB with the games: {game_kib:.0f} KiB a game")
    for name, db in (("SQLite", "sqlite:" + os.path.join(tmp, "w.db")), ("PostgreSQL", None)):
        if db is None:
            with Postgres() as pg:
                got, idle, held, peak = live_run(binary, tool, pg.url, LIVE)
        else:
            got, idle, held, peak = live_run(binary, tool, db, LIVE)
        say_live(f"{name}, {LIVE} watchers", got, base)
        print(f"  memory {idle} MiB idle, {held} MiB with games and watchers (peak {peak}): "
              f"{((held - idle) * 1024 / LIVE - game_kib):.0f} KiB a watcher beside its game")


def say_live(what, got, base):
    print(f"live games, {LIVE} at once, a batch a second each, {what}: {got['answers']:.0f} "
          f"batches, p50 {got['p50_ms']:.2f} ms, p99 {got['p99_ms']:.2f} ms "
          f"({got['p99_ms'] / base['p99_ms']:.2f}x nginx's), max {got['max_ms']:.1f} ms, "
          f"{got['refused']:.0f} refused, {got['failed']:.0f} failed, "
          f"{got['games_ranked']:.0f} games ranked")
    if got["events"]:
        print(f"  {got['events']:.0f} batches watched: from answer to watcher p50 "
              f"{got['delivered_p50_ms']:.2f} ms, p99 {got['delivered_p99_ms']:.2f} ms, max "
              f"{got['delivered_max_ms']:.1f} ms; {got['streams_lost']:.0f} streams lost")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    binary, trace, tool = (os.path.abspath(a) for a in sys.argv[1:])
    with tempfile.TemporaryDirectory() as tmp:
        live(binary, tool, tmp)
    with tempfile.TemporaryDirectory() as tmp:
        game = recording(trace, 5, 6000, tmp)
        post = os.path.join(tmp, "post.lua")
        with open(post, "w") as f:
            f.write('wrk.method = "POST"\nwrk.headers["Content-Type"] = "text/plain"\n'
                    f'wrk.body = io.open("{os.path.join(tmp, "play-5-6000.replay")}"):read("*a")\n')
        with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "v.db"), "--submit-rate",
                    "100000", "--workers", "2") as s:
            time.sleep(0.5)
            idle = memory(s.proc.pid)[0]
            s.submit("Bench", game)
            rate, p99, bad = wrk(s.port, "/api/v1/games?name=Bench", 20, 4, post)
            peak = memory(s.proc.pid)[1]
            print(f"verification: {rate:.1f} five-minute games a second (p99 {p99}, {bad} not "
                  f"2xx), {rate * 6000:.0f} ticks a second in the server; memory idle "
                  f"{idle} MiB, peak {peak} MiB")
        db = os.path.join(tmp, "scores.db")
        Server(binary, "--db", "sqlite:" + db).stop()  # makes the schema
        fill_sqlite(db)
        with Server(binary, "--db", "sqlite:" + db) as s:
            wrk(s.port, "/api/v1/scores?board=uploaded", 2, 16)  # warm
            rate, p99, bad = wrk(s.port, "/api/v1/scores?board=uploaded", 10, 16)
            print(f"GET /api/v1/scores, SQLite, {GAMES} games: {rate:.0f} a second, p99 {p99}, "
                  f"{bad} not 2xx; peak memory {memory(s.proc.pid)[1]} MiB")
        with Postgres() as pg:
            Server(binary, "--db", pg.url).stop()
            fill_postgres(pg.url)
            with Server(binary, "--db", pg.url) as s:
                wrk(s.port, "/api/v1/scores?board=uploaded", 2, 16)
                rate, p99, bad = wrk(s.port, "/api/v1/scores?board=uploaded", 10, 16)
                print(f"GET /api/v1/scores, PostgreSQL, {GAMES} games: {rate:.0f} a second, "
                      f"p99 {p99}, {bad} not 2xx; peak memory {memory(s.proc.pid)[1]} MiB")


if __name__ == "__main__":
    main()
