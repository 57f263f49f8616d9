#!/usr/bin/env python3
"""Names that belong to their players and what an operator does, against real velmora-servers
on SQLite and on a real PostgreSQL, with the real desktop client and the page in headless
Chromium:

- a name held by one key is refused to another key, to none, in another case and with a
  look-alike letter of another script; the key exported from one home (velmora --export-key)
  and imported into another (--import-key) sends under the name; the page reads the desktop's
  code, and the desktop the page's;
- admin: hide, unhide, ban and release act on the boards and land in the log, from the command
  line and over HTTP; the admin paths are 404 without a token and 403 with a wrong one;
- GET /metrics, read by Prometheus's own text parser (python3-prometheus-client);
- velmora-server backup copies a database in use; a version-1 database migrates on start.

Usage: board_test.py VELMORA_SERVER VELMORA VELMORA_TRACE WEB_DIR
"""
import json
import os
import sqlite3
import subprocess
import sys
import tempfile
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from postgres import Postgres  # noqa: E402
from service import Server, recording  # noqa: E402
from xsession import Checks, wait_for  # noqa: E402

KEY_A, KEY_B = "a" * 64, "b" * 64
TOKEN = "operator-token-0123456789"


def submit(s, name, body, key=None):
    headers = {"X-Velmora-Key": key} if key else {}
    status, _, data = s.request("POST", "/api/v1/games?" + urllib.parse.urlencode(
        {"name": name}), body=body, headers=headers)
    return status, json.loads(data)


def admin(s, method, path, token=TOKEN, body=None):
    headers = {"Authorization": "Bearer " + token} if token else {}
    status, _, data = s.request(method, "/api/v1/admin/" + path, body=body, headers=headers)
    return status, json.loads(data) if data else None


def cli(binary, db, *args):
    run = subprocess.run([binary, "admin", "--db", db, *args], capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


def names(check, label, s, trace, velmora, tmp):
    game = lambda n: recording(trace, n, 30, tmp)  # noqa: E731  a short game of seed n
    check(f"{label}: a key takes a name nobody holds", submit(s, "Ana", game(1), KEY_A)[0] == 201)
    for name, key, want, words in (("Ana", KEY_B, 403, "belongs to another player"),
                                   ("Ana", None, 403, "belongs to another player"),
                                   ("ANA", KEY_B, 403, "belongs to another player"),
                                   ("\u0410na", KEY_B, 400, "one script"),
                                   ("Ana", "xyz", 400, "64 hexadecimal")):
        status, body = submit(s, name, game(2), key)
        check(f"{label}: {name!r} with {'no key' if key is None else 'another key'}: {want}",
              status == want and words in body.get("error", ""), f"{status} {body}")
    status, body = submit(s, "ana", game(3), KEY_A)
    check(f"{label}: its own key sends under it, in any case", status == 201, f"{status} {body}")
    status, body = s.json("POST", "/api/v1/attempts",
                          json.dumps({"board": "open", "name": "Ana", "key": KEY_B}).encode())
    check(f"{label}: a ranked game under it is refused to another key", status == 403, str(body))

    # The desktop's own key, moved from one home to another.
    url = f"http://127.0.0.1:{s.port}"
    homes = [os.path.join(tmp, f"{label}-home{i}") for i in (1, 2)]
    env = [dict(os.environ, DISPLAY="", HOME=h, XDG_DATA_HOME=os.path.join(h, "data"))
           for h in homes]
    path = os.path.join(tmp, "mine.replay")
    with open(path, "wb") as f:
        f.write(game(4))
    run = lambda i, *a: subprocess.run([velmora, *a], capture_output=True,  # noqa: E731
                                       text=True, env=env[i])
    first = run(0, "--submit", path, "--name", "Bea", "--server", url)
    code = run(0, "--export-key").stdout.strip()
    other = run(1, "--submit", path, "--name", "Bea", "--server", url)
    check(f"{label}: the desktop's first game takes the name; another home's key is refused",
          first.returncode == 0 and other.returncode == 3 and "belongs to another player" in
          other.stderr, first.stdout + first.stderr + other.stderr)
    kept = run(1, "--import-key", code)
    again = run(1, "--submit", path, "--name", "Bea", "--server", url)
    check(f"{label}: the key exported and imported sends under it from the other home",
          code.startswith("VK1-") and kept.returncode == 0 and again.returncode == 0,
          code + " " + kept.stdout + kept.stderr + again.stdout + again.stderr)
    return code, env


def operators(check, label, s, binary, db, trace, tmp):
    status, _ = admin(s, "GET", "log", token=None)
    status_wrong, _ = admin(s, "GET", "log", token="x" * 30)
    check(f"{label}: admin paths want the operator's token: 403 without it or with another",
          status == 403 and status_wrong == 403, f"{status} {status_wrong}")
    _, cy = submit(s, "Cy", recording(trace, 5, 60, tmp), "c" * 64)
    board = lambda: {r["id"] for r in s.json(  # noqa: E731
        "GET", "/api/v1/scores?board=uploaded&limit=100")[1]["scores"]}
    status, _ = admin(s, "POST", f"games/{cy['id']}/hide", body=b'{"reason": "unfair"}')
    hidden = cy["id"] not in board()
    code, said = cli(binary, db, "unhide", str(cy["id"]), "--reason", "looked again")
    check(f"{label}: hide (HTTP) takes a game off its board; unhide (command line) puts it back",
          status == 200 and hidden and code == 0 and cy["id"] in board(), said)
    code, said = cli(binary, db, "ban", "Cy", "--reason", "abuse")
    refused = submit(s, "CY", recording(trace, 6, 30, tmp), "c" * 64)
    check(f"{label}: ban hides the name's games and refuses it new ones",
          code == 0 and cy["id"] not in board() and refused[0] == 403 and "banned" in
          refused[1]["error"], f"{said} {refused}")
    status, body = admin(s, "POST", "names/Ana/release", body=b'{"reason": "lost key"}')
    taken = submit(s, "Ana", recording(trace, 7, 30, tmp), KEY_B)
    check(f"{label}: release frees a name for a new key", status == 200 and taken[0] == 201,
          f"{status} {body} {taken}")
    code, listed = cli(binary, db, "list", "--name", "cy")
    check(f"{label}: list shows the hidden games too", code == 0 and "(hidden)" in listed, listed)
    code, log = cli(binary, db, "log")
    _, over_http = admin(s, "GET", "log")
    actions = [e["action"] for e in over_http["log"]]
    check(f"{label}: every act is in the log with who and why",
          code == 0 and actions[:4] == ["release", "ban", "unhide", "hide"] and
          "http:127.0.0.1" in log and "abuse" in log and "looked again" in log, log)


def metrics(check, label, s):
    from prometheus_client.parser import text_string_to_metric_families
    status, headers, body = s.request("GET", "/metrics")
    families = {f.name: f for f in text_string_to_metric_families(body.decode())}
    requests = families.get("velmora_http_requests")
    seen = {(x.labels.get("path"), x.labels.get("status")) for x in
            (requests.samples if requests else [])}
    check(f"{label}: /metrics reads as Prometheus's text format, requests by path and status",
          status == 200 and ("/api/v1/games", "201") in seen and
          "velmora_http_request_duration_seconds" in families and
          "velmora_live_attempts" in families and "velmora_refusals" in families, str(seen))


def page(check, s, desktop_code, env, velmora):
    from chromium import browser
    driver = browser()
    try:
        driver.get(f"http://127.0.0.1:{s.port}/index.html")
        wait_for(lambda: driver.execute_script("return window.Module && Module.firstFrameAt"), 20)
        got = driver.execute_script("return Velmora.readKeyCode(arguments[0])", desktop_code)
        mine = subprocess.run([velmora, "--export-key"], capture_output=True, text=True,
                              env=env[1]).stdout.strip()
        key_file = os.path.join(env[1]["XDG_DATA_HOME"], "velmora", "player-key")
        check("the page reads the desktop's code: the same key and name",
              got and got["name"] == "Bea" and got["key"] == open(key_file).read().strip() and
              mine == desktop_code, str(got))
        field = driver.find_element("id", "key-input")
        wait_for(field.is_displayed, 5)
        field.send_keys(desktop_code)
        driver.find_element("id", "use-key").click()
        page_code = wait_for(lambda: (driver.find_element("id", "show-key").click(),
                                      driver.find_element("id", "key-code").text)[1]
                             if driver.execute_script("return localStorage.getItem("
                                                      "'velmora-key')") else None, 5)
        check("'Use my key on this device' keeps it; 'My key' then shows the same code",
              page_code == desktop_code, f"{page_code} vs {desktop_code}")
    finally:
        driver.quit()


def migration(check, binary, trace, tmp):
    path = os.path.join(tmp, "v1.db")
    db = sqlite3.connect(path)
    db.executescript(
        "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version "
        "VALUES (1); CREATE TABLE games (id INTEGER PRIMARY KEY AUTOINCREMENT, content_hash "
        "TEXT NOT NULL UNIQUE, name TEXT NOT NULL, score INTEGER NOT NULL, level INTEGER NOT "
        "NULL, lives INTEGER NOT NULL, ticks BIGINT NOT NULL, submitted TEXT NOT NULL);"
        "CREATE INDEX games_by_rank ON games (score DESC, ticks, submitted, id);"
        "CREATE TABLE recordings (game_id BIGINT PRIMARY KEY REFERENCES games (id), body TEXT "
        "NOT NULL); CREATE TABLE stats (total BIGINT NOT NULL); INSERT INTO stats VALUES (1);"
        "INSERT INTO games VALUES (1, 'h', 'Old', 40, 2, 0, 900, '2026-12-01T10:00:00Z');"
        "INSERT INTO recordings VALUES (1, 'velmora-replay 2');")
    db.close()
    with Server(binary, "--db", "sqlite:" + path) as s:
        _, scores = s.json("GET", "/api/v1/scores?board=uploaded")
        version = sqlite3.connect(path).execute("SELECT MAX(version) FROM schema_version")
        check("a version-1 database migrates on start: its game on the uploaded board",
              scores["total"] == 1 and scores["scores"][0]["name"] == "Old" and
              version.fetchone()[0] == 5, str(scores))
        copy = os.path.join(tmp, "copy.db")
        submit(s, "New", recording(trace, 8, 30, tmp), "d" * 64)
        run = subprocess.run([binary, "backup", copy, "--db", "sqlite:" + path],
                             capture_output=True, text=True)
        rows = sqlite3.connect(copy).execute("SELECT COUNT(*) FROM games").fetchone()[0]
        check("velmora-server backup copies the database while the server runs",
              run.returncode == 0 and rows == 2, run.stdout + run.stderr)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    binary, velmora, trace, web = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(None)
    with check.scenario(), tempfile.TemporaryDirectory() as tmp:
        token = os.path.join(tmp, "token")
        with open(token, "w") as f:
            f.write(TOKEN + "\n")
        db = "sqlite:" + os.path.join(tmp, "b.db")
        with Server(binary, "--db", db, "--web", web, "--metrics", "--admin-token-file",
                    token) as s:
            code, env = names(check, "SQLite", s, trace, velmora, tmp)
            operators(check, "SQLite", s, binary, db, trace, tmp)
            metrics(check, "SQLite", s)
            page(check, s, code, env, velmora)
        with Server(binary, "--db", db) as bare:
            status, _ = admin(bare, "GET", "log")
            check("without --admin-token-file the admin paths are not there: 404",
                  status == 404 and bare.request("GET", "/metrics")[0] == 404)
        with Postgres() as pg, Server(binary, "--db", pg.url, "--metrics", "--admin-token-file",
                                      token) as s:
            names(check, "PostgreSQL", s, trace, velmora, tmp)
            operators(check, "PostgreSQL", s, binary, pg.url, trace, tmp)
        migration(check, binary, trace, tmp)
    check.finish()


if __name__ == "__main__":
    main()
