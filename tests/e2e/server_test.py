#!/usr/bin/env python3
"""velmora-server end to end, with a real HTTP client against the running server, on SQLite in a
temporary folder and on a real PostgreSQL started for the test: the golden recordings verified
and ranked, a tampered one refused with its tick, malformed, long and oversized bodies, names,
ordering and paging, the same recording twice, limits (rate, queue, slow clients), --web, a
clean stop; two servers on one PostgreSQL taking the same and different games at once; a server
killed with SIGKILL during submissions, restarted with nothing acknowledged lost.

Usage: server_test.py VELMORA_SERVER VELMORA VELMORA_TRACE REPLAY_DIR
"""
import concurrent.futures
import json
import os
import signal
import socket
import sys
import tempfile
import threading
import time
import subprocess
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from postgres import Postgres  # noqa: E402
from service import Server, recording  # noqa: E402
from xsession import Checks, wait_for  # noqa: E402

HEAD = b"velmora-replay 2\nrand 1804289383 846930886 1681692777\n"


def summary(data):
    """The outcome in a recording's last line: {"ticks", "level", "score", "lives"}."""
    last = data.decode().strip().splitlines()[-1].split()[1:]
    return {k: int(v) for k, v in (w.split("=") for w in last)}


def desktop_message(velmora, tmp, data):
    """What `velmora --play` says of a recording it refuses, without 'velmora: PATH:'."""
    path = os.path.join(tmp, "refused.replay")
    with open(path, "wb") as f:
        f.write(data)
    run = subprocess.run([velmora, "--play", path], capture_output=True, text=True,
                         env=dict(os.environ, DISPLAY=""))
    return run.stderr.strip()[len("velmora: " + path + ":"):]


def piloted(trace, seed, tmp):
    """A game framed as the game frames it, played by velmora_trace's aiming pilot."""
    path = os.path.join(tmp, f"pilot-{seed}.replay")
    subprocess.run([trace, path, "pilot", str(seed), "ticks", "1000"], check=True)
    return open(path, "rb").read()


def api(check, binary, velmora, trace, replays, tmp):
    # Two games the pilot clears levels in (seed 32: 217 points, seed 58: 173), and the golden
    # game-over one (seed 7, 1 point); the board ranks them in that order.
    golden = {"levels": piloted(trace, 32, tmp), "cleared": piloted(trace, 58, tmp),
              "game-over": open(os.path.join(replays, "game-over.replay"), "rb").read()}
    web = os.path.join(tmp, "web")
    os.makedirs(web)
    with open(os.path.join(web, "index.html"), "w") as f:
        f.write("<!doctype html><title>Velmora</title>")
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "scores.db"), "--web", web) as s:
        ids = {}
        for name, data in golden.items():
            status, body = s.submit("Ana " + name, data)
            want = summary(data)
            ok = status == 201 and all(body[k] == want[k] for k in ("score", "level", "lives"))
            check(f"the golden '{name}' is verified and kept: 201, its outcome", ok,
                  f"{status} {body}")
            ids[name] = body.get("id")
        status, scores = s.json("GET", "/api/v1/scores?board=uploaded")
        check("ranked best first", status == 200 and scores["total"] == 3 and
              [r["id"] for r in scores["scores"]] ==
              [ids["levels"], ids["cleared"], ids["game-over"]] and
              [r["rank"] for r in scores["scores"]] == [1, 2, 3], json.dumps(scores))
        status, again = s.submit("Somebody Else", golden["levels"])
        check("the same recording again: 200, the entry kept first",
              status == 200 and again["id"] == ids["levels"] and again["name"] == "Ana levels",
              f"{status} {again}")
        status, entry = s.json("GET", f"/api/v1/games/{ids['levels']}")
        check("GET /api/v1/games/ID: the entry, its rank and when it came",
              status == 200 and entry["rank"] == 1 and entry["submitted"].endswith("Z"),
              str(entry))
        status, headers, body = s.request("GET", f"/api/v1/games/{ids['levels']}/replay")
        check("its recording comes back byte for byte, as an attachment",
              status == 200 and body == golden["levels"] and
              headers["content-type"] == "text/plain; charset=utf-8" and
              headers.get("content-disposition", "").startswith("attachment"), str(headers))

        # The same game again, under other frames or cut after its GAME OVER: refused to
        # another name, the kept one to its own.
        game_over = golden["game-over"]
        over = game_over.index(b"\nover ") + 1
        line_end = game_over.index(b"\n", over) + 1
        cut = game_over[:line_end] + b"end" + game_over[over + 4:line_end]
        status, body = s.submit("Copycat", cut)
        check("another player's game cut after its GAME OVER: 422, a copy of the kept one",
              status == 422 and "holds this game already" in body["error"], f"{status} {body}")
        status, body = s.submit("Ana game-over", cut)
        check("its own player's: 200, the game kept",
              status == 200 and body["id"] == ids["game-over"], f"{status} {body}")
        tampered = golden["game-over"].replace(b"score=1 lives=0",
                                               b"score=9001 lives=0")
        status, body = s.submit("Cheat", tampered)
        check("a tampered recording: 422 with the tick and both outcomes",
              status == 422 and body["tick"] == 344 and body["recorded"]["score"] == 9001 and
              body["replayed"]["score"] == 1, f"{status} {body}")
        cases = [("not a recording", b"hello\n"),
                 ("an unknown key", HEAD + b"seed 5 00000000\nk x\n"),
                 ("a truncated line", HEAD + b"seed 5 00000000\nt 1 0000")]
        for what, data in cases:
            status, body = s.submit("Ana", data)
            want = desktop_message(velmora, tmp, data)
            check(f"{what}: 400 with the desktop's own message",
                  status == 400 and body["error"] == want, f"{status} {body} / {want!r}")
        status, body = s.submit("Ana", HEAD + b"seed 5 00000000\nd\n")
        check("a recording with no tick: 400", status == 400, f"{status} {body}")
        long = HEAD + b"seed 5 00000000\n" + b"".join(
            b"t %d 00000000\n" % t for t in range(1, 72002))
        status, body = s.submit("Ana", long)
        check("more than 72,000 ticks: 422", status == 422 and "72000" in body["error"],
              f"{status} {body}")
        # Announced too large by a client that asks first, it is refused before a byte of it is
        # sent; sent whole without asking (as urllib does), or in chunks, which announce no
        # length, it is read, dropped and refused, and the client reads why.
        announced = socket.create_connection(("127.0.0.1", s.port))
        announced.sendall(b"POST /api/v1/games?name=Ana HTTP/1.1\r\nHost: x\r\n"
                          b"Content-Length: 5000000\r\nExpect: 100-continue\r\n\r\n")
        answer = announced.recv(200)
        announced.close()
        check("a body announced over 4 MiB, asked first: 413 before it is sent",
              answer.startswith(b"HTTP/1.1 413"), str(answer[:40]))
        try:
            urllib.request.urlopen(urllib.request.Request(
                f"http://127.0.0.1:{s.port}/api/v1/games?name=Ana", data=b"x" * (20 << 20)),
                timeout=60)
            unasked = "accepted"
        except urllib.error.HTTPError as error:
            unasked = f"{error.code} {error.read()[:60]!r}"
        except OSError as error:
            unasked = repr(error)
        check("20 MiB sent without asking: the client reads the 413", unasked.startswith("413 ")
              and "at most 4 MiB" in unasked, unasked)
        big = HEAD + b"seed 5 00000000\n" + b"d\n" * (2 * 1024 * 1024 + 1)
        status, _, body = s.request("POST", "/api/v1/games?name=Ana", body=iter([big]),
                                    chunked=True)
        check("a chunked body over 4 MiB: 413", status == 413, f"{status} {body[:80]}")

        names = [("Zoë", 201, "Zoë"), ("  Bo  ", 201, "Bo"), ("名前", 201, "名前"),
                 ("x" * 20, 201, "x" * 20), ("x" * 21, 400, None), ("   ", 400, None),
                 ("a<b", 400, None), ("tab\there", 400, None)]
        for i, (name, want, kept) in enumerate(names):
            status, body = s.submit(name, recording(trace, 100 + i, 40, tmp))
            check(f"name {name!r}: {want}", status == want and
                  (kept is None or body["name"] == kept), f"{status} {body}")
        status, _, body = s.request("POST", "/api/v1/games?name=%FF%FE", body=golden["levels"])
        check("a name not in UTF-8: 400", status == 400, f"{status} {body}")
        status, _, body = s.request("POST", "/api/v1/games", body=golden["levels"])
        check("no name: 400", status == 400, f"{status} {body}")

        status, page = s.json("GET", "/api/v1/scores?board=uploaded&limit=2&offset=1")
        check("paging: limit 2 from offset 1", status == 200 and
              [r["rank"] for r in page["scores"]] == [2, 3] and page["total"] == 7,
              json.dumps(page))
        for query in ("limit=0", "limit=101", "limit=x", "offset=-1", "board=all",
                      "board=daily&day=2026-13-01", "board=open&day=2026-12-01"):
            status, body = s.json("GET", "/api/v1/scores?" + query)
            check(f"/api/v1/scores?{query}: 400", status == 400 and "error" in body,
                  f"{status} {body}")
        for method, path, want in (("GET", "/nowhere", 404), ("GET", "/api/v1/games/999", 404),
                                   ("GET", "/api/v1/games/abc", 404),
                                   ("DELETE", "/api/v1/scores", 405),
                                   ("GET", "/api/v1/games", 405), ("GET", "/healthz", 200),
                                   ("HEAD", "/api/v1/scores", 200),
                                   ("GET", "/", 200), ("GET", "/../secret", 404)):
            status, headers, body = s.request(method, path)
            json_error = want == 200 or "error" in json.loads(body)
            check(f"{method} {path}: {want}, X-Content-Type-Options: nosniff",
                  status == want and headers.get("x-content-type-options") == "nosniff" and
                  json_error, f"{status} {body[:80]}")
        status, headers, _ = s.request("HEAD", "/")
        check("the page's files tell it a leaderboard is here (X-Velmora-Leaderboard)",
              status == 200 and headers.get("x-velmora-leaderboard") == "api/v1/", str(headers))
        time.sleep(0.2)
        lines = lambda: [line for line in s.log if " GET /healthz 200 " in line]  # noqa: E731
        before = len(lines())
        s.request("GET", "/healthz")
        time.sleep(0.2)
        check("one log line a request", len(lines()) == before + 1, str(s.log[-1:]))

        # An in-flight verification finishes before SIGTERM stops the server.
        slow = recording(trace, 7, 60000, tmp)
        result = {}
        sender = threading.Thread(target=lambda: result.update(r=s.submit("Late", slow)))
        sender.start()
        time.sleep(0.1)
        code = s.stop(signal.SIGTERM)
        sender.join()
        check("SIGTERM: the submission in flight is answered, then the server stops with 0",
              code == 0 and result["r"][0] == 201 and "stopped" in s.log[-1],
              f"exit {code}, {result}")


def limits(check, binary, trace, tmp):
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "rate.db"), "--submit-rate",
                "3") as s:
        answers = [s.submit("Ana", recording(trace, 200 + i, 40, tmp)) for i in range(4)]
        status, headers, _ = s.request("POST", "/api/v1/games?name=Ana",
                                       body=recording(trace, 299, 40, tmp))
        check("past --submit-rate: 429 with Retry-After",
              [a[0] for a in answers] == [201, 201, 201, 429] and status == 429 and
              int(headers.get("retry-after", "0")) > 0, f"{[a[0] for a in answers]} {status}")
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "queue.db"), "--workers", "1",
                "--client-timeout", "1") as s:
        slow = recording(trace, 7, 60000, tmp)
        with concurrent.futures.ThreadPoolExecutor(24) as pool:
            statuses = list(pool.map(
                lambda i: s.request("POST", f"/api/v1/games?name=P{i}", body=slow), range(24)))
        codes = sorted(st for st, _, _ in statuses)
        busy = [h for st, h, _ in statuses if st == 503]
        check("a full queue answers 503 with Retry-After, never waits without limit",
              busy and all("retry-after" in h for h in busy) and
              set(codes) <= {200, 201, 503} and codes.count(201) == 1,
              f"{codes.count(201)} 201, {codes.count(200)} 200, {codes.count(503)} 503")
        idle = socket.create_connection(("127.0.0.1", s.port))
        idle.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n")  # and then nothing
        idle.settimeout(5)
        began = time.time()
        try:
            cut = idle.recv(100) == b""
        except (ConnectionResetError, socket.timeout):
            cut = False
        check("an idle client is cut off after --client-timeout",
              cut and time.time() - began < 4, f"after {time.time() - began:.1f} s")
        idle.close()


def shared_postgres(check, binary, trace, tmp, pg):
    with Server(binary, "--db", pg.url) as a, Server(binary, "--db", pg.url) as b:
        same = recording(trace, 11, 600, tmp)
        with concurrent.futures.ThreadPoolExecutor(8) as pool:
            answers = list(pool.map(lambda i: (a if i % 2 else b).submit(f"R{i}", same),
                                    range(8)))
        codes = sorted(st for st, _ in answers)
        check("one recording sent to two servers at once: one 201, the rest 200, one id",
              codes == [200] * 7 + [201] and len({body["id"] for _, body in answers}) == 1,
              str(codes))
        games = [recording(trace, 400 + i, 300, tmp) for i in range(12)]
        with concurrent.futures.ThreadPoolExecutor(8) as pool:
            answers = list(pool.map(lambda i: (a if i % 2 else b).submit(f"G{i}", games[i]),
                                    range(12)))
        _, from_a = a.json("GET", "/api/v1/scores?board=uploaded&limit=100")
        _, from_b = b.json("GET", "/api/v1/scores?board=uploaded&limit=100")
        check("different games to both at once: all kept, both servers show the same table",
              [st for st, _ in answers] == [201] * 12 and from_a == from_b and
              from_a["total"] == 13, f"{[st for st, _ in answers]} total {from_a['total']}")


def killed(check, binary, trace, tmp, db, label):
    games = [recording(trace, 500 + i, 200, tmp) for i in range(40)]
    acknowledged = {}
    with Server(binary, "--db", db) as s:
        def send(i):
            try:
                status, body = s.submit(f"K{i}", games[i])
                if status in (200, 201):
                    acknowledged[i] = body["id"]
            except (OSError, http_errors()):
                pass
        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            futures = [pool.submit(send, i) for i in range(40)]
            wait_for(lambda: len(acknowledged) >= 10, 30, 0.005)
            s.proc.kill()  # SIGKILL, in the middle of it
            for f in futures:
                f.result()
    with Server(binary, "--db", db) as s:
        _, table = s.json("GET", "/api/v1/scores?board=uploaded&limit=100")
        listed = {r["id"] for r in table["scores"]}
        whole = all(s.request("GET", f"/api/v1/games/{i}/replay")[0] == 200 for i in listed)
        check(f"{label}: killed with SIGKILL mid-load, no acknowledged game lost",
              set(acknowledged.values()) <= listed and len(acknowledged) >= 10,
              f"{len(acknowledged)} acknowledged, {len(listed)} kept")
        check(f"{label}: and no half row: every game with its recording, the count right",
              whole and table["total"] == len(listed), f"total {table['total']}")


def http_errors():
    import http.client
    return http.client.HTTPException


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    binary, velmora, trace, replays = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(None)
    began = time.time()
    with tempfile.TemporaryDirectory() as tmp:
        with check.scenario():
            api(check, binary, velmora, trace, replays, tmp)
            limits(check, binary, trace, tmp)
            killed(check, binary, trace, tmp, "sqlite:" + os.path.join(tmp, "kill.db"),
                   "SQLite")
            with Postgres() as pg:
                shared_postgres(check, binary, trace, tmp, pg)
                killed(check, binary, trace, tmp, pg.url, "PostgreSQL")
    check.finish(f", {time.time() - began:.1f} s")


if __name__ == "__main__":
    main()
