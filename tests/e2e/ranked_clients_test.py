#!/usr/bin/env python3
"""Ranked games from the two clients, against a real velmora-server that also serves the page:

- the desktop, in a real window under Xvfb: `velmora --ranked` plays the seed it was dealt, flown
  into the rocks with keys to GAME OVER, says RANKED at the top of the field (and on the pause
  screen how long it may stay paused), and prints its rank; with no server it says so in one
  line and plays unranked; given two servers of one board, it carries its game on with the
  second when the first is killed mid-game;
- the page, in headless Chromium: "Daily challenge" plays the day's seed to GAME OVER, ranks,
  and the Leaderboard shows it on the daily board, with Watch;
- watching: a page 1,200 by 900 lists a game `velmora --ranked` is playing under "Live now"
  (its side panel's headings on one line, the field grown beyond 500 pixels beside it); Watch
  plays it from its start, follows it to its end, matching it tick by tick, and ends with the
  verified outcome.

Usage: ranked_clients_test.py VELMORA VELMORA_SERVER WEB_DIR SCREENSHOT_DIR
"""
import os
import signal
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chromium import browser, console_errors  # noqa: E402
from service import Server  # noqa: E402
from xsession import YELLOW, Checks, Game, Xvfb, wait_for  # noqa: E402


def banner(shot):
    """Yellow text on the field's top rows."""
    return shot.count(YELLOW, 0, 0, 500, 60) > 40


def desktop(check, x, binary, server, out_dir, tmp):
    path = os.path.join(tmp, "ranked.replay")
    home = {"HOME": tmp, "XDG_DATA_HOME": os.path.join(tmp, "data")}
    game = Game(x, binary, ["--ranked", "--server", f"http://127.0.0.1:{server.port}", "--name",
                            "Desk", "--record", path, "--mute"], env=home)
    try:
        shown = game.first_shot_where(banner, 10)
        check.save(shown, "ranked-desktop")
        check("the desktop's ranked game says RANKED at the top of the field", shown is not None)
        game.keys("p")
        paused = game.first_shot_where(banner, 5)
        check.save(paused, "ranked-paused")
        game.keys("p")
        check("paused, it says how long it may stay paused (the banner's second line)",
              paused is not None and paused.count(YELLOW, 0, 30, 500, 60) > 40)
        # Thrust and turn until the rocks have taken the three lives.
        over = wait_for(lambda: (game.keys("w", "w", "a"), "\nover " in open(path).read())[1],
                        90, 0.05)
        check("flown into the rocks, it reaches GAME OVER", bool(over))
        ranked = game.first_shot_where(banner, 10)
        check.save(ranked, "ranked-over")
        time.sleep(1.5)
        game.keys("Escape")
        code = game.exit_code()
        out = game.proc.stdout.read().decode()
    finally:
        game.stop()
    line = next((l for l in out.splitlines() if "ranked" in l), "")
    check("it prints the rank the server verified", code == 0 and line.startswith(
        "ranked: rank ") and "on the open board" in line, out)
    _, board = server.json("GET", "/api/v1/scores?board=open")
    check("the open board lists it", any(r["name"] == "Desk" for r in board["scores"]), str(board))

    alone = Game(x, binary, ["--ranked", "--server", "http://127.0.0.1:9", "--mute"], env=home)
    try:
        time.sleep(1.5)
        alone.keys("Escape")
        code = alone.exit_code()
        said = [l for l in alone.proc.stdout.read().decode().splitlines() if "ranked" in l]
    finally:
        alone.stop()
    check("with no server: one line, and the game plays unranked", code == 0 and len(said) == 1
          and "cannot be reached" in said[0] and "not ranked" in said[0], str(said))


def failover(check, x, binary, server_binary, tmp):
    """--server A,B on one database: A killed with SIGKILL mid-game, the game goes on with B."""
    db = "sqlite:" + os.path.join(tmp, "two.db")
    a, b = Server(server_binary, "--db", db), Server(server_binary, "--db", db)
    path = os.path.join(tmp, "failover.replay")
    servers = f"http://127.0.0.1:{a.port},http://127.0.0.1:{b.port}"
    game = Game(x, binary, ["--ranked", "--server", servers, "--name", "Fay", "--record", path,
                            "--mute"], env={"HOME": tmp, "XDG_DATA_HOME": os.path.join(tmp, "d3")})
    try:
        game.first_shot_where(banner, 10)
        time.sleep(3)
        a.proc.send_signal(signal.SIGKILL)
        a.proc.wait()
        over = wait_for(lambda: (game.keys("w", "w", "a"), "\nover " in open(path).read())[1],
                        90, 0.05)
        time.sleep(2)
        game.keys("Escape")
        code = game.exit_code()
        out = game.proc.stdout.read().decode()
        _, board = b.json("GET", "/api/v1/scores?board=open")
    finally:
        game.stop()
        b.stop()
    line = next((l for l in out.splitlines() if "ranked" in l), "")
    check("--server A,B: A killed mid-game, the desktop's game goes on with B and ranks there",
          over and code == 0 and line.startswith("ranked: rank ") and f":{b.port}" in line and
          any(r["name"] == "Fay" for r in board["scores"]), f"{out} {board}")


def page(check, server, out_dir):
    driver = browser()
    try:
        driver.get(f"http://127.0.0.1:{server.port}/index.html")
        check("the page draws", wait_for(lambda: driver.execute_script(
            "return window.Module && Module.firstFrameAt"), 20))
        daily = driver.find_element("id", "play-daily")
        check("served by velmora-server it offers Play ranked and Daily challenge",
              wait_for(daily.is_displayed, 5) and
              driver.find_element("id", "play-ranked").is_displayed())
        driver.find_element("id", "name").clear()
        driver.find_element("id", "name").send_keys("Page")
        daily.click()
        canvas = driver.find_element("id", "canvas")
        status = lambda: driver.find_element("id", "ranked-status").text  # noqa: E731
        check("the daily challenge starts", bool(wait_for(
            lambda: status().startswith("RANKED daily challenge"), 10)), status())
        over = wait_for(lambda: (canvas.send_keys("wwa"),
                                 driver.execute_script("return Velmora.status().over"))[1], 90,
                        0.05)
        check("flown into the rocks, it reaches GAME OVER", bool(over))
        ranked = wait_for(lambda: status() if status().startswith(("RANKED: rank",
                                                                   "NOT RANKED")) else None, 10)
        check("it ranks on the daily board, and the page says so",
              ranked is not None and ranked.startswith("RANKED: rank") and
              "daily challenge" in ranked, str(ranked))
        rows = wait_for(lambda: driver.execute_script(
            "return Array.from(document.querySelectorAll('#leaderboard tbody tr'))"
            ".map(function (r) { return r.textContent; })"), 5)
        caption = driver.find_element("css selector", "#leaderboard caption").text
        check("the Leaderboard shows the daily board with the game, and Watch",
              caption.startswith("Leaderboard: daily challenge") and rows and
              any("Page" in r and "Watch" in r for r in rows), f"{caption} {rows}")
        driver.save_screenshot(os.path.join(out_dir, "ranked-page.png"))
        check("no errors on the console", not console_errors(driver),
              "; ".join(console_errors(driver)))
    finally:
        driver.quit()


def watched(check, x, binary, server, out_dir, tmp):
    path = os.path.join(tmp, "watched.replay")
    home = {"HOME": tmp, "XDG_DATA_HOME": os.path.join(tmp, "data2")}
    game = Game(x, binary, ["--ranked", "--server", f"http://127.0.0.1:{server.port}", "--name",
                            "Star", "--record", path, "--mute"], env=home)
    driver = browser(width=1200, height=900)
    flying = threading.Event()

    def fly():  # into the rocks, once watched, until the three lives are gone
        flying.wait(60)
        wait_for(lambda: (game.keys("w", "w", "a"), "\nover " in open(path).read())[1], 120,
                 0.05)

    pilot = threading.Thread(target=fly, daemon=True)
    pilot.start()
    try:
        driver.get(f"http://127.0.0.1:{server.port}/index.html")
        wait_for(lambda: driver.execute_script("return window.Module && Module.firstFrameAt"), 20)
        live = lambda: driver.execute_script(  # noqa: E731
            "return Array.from(document.querySelectorAll('#live-now tbody tr'))"
            ".map(function (r) { return r.textContent; })")
        listed = wait_for(lambda: any("Star" in r for r in live()), 20)
        heading = driver.execute_script(
            "return document.querySelector('#local-scores caption').getBoundingClientRect()"
            ".height")
        side = driver.execute_script("return Velmora.canvas.getBoundingClientRect().width")
        check("1,200 by 900: Live now lists the desktop's ranked game; the side panel's "
              "headings stay on one line and the field grows beside it",
              listed and heading <= 24 and side > 500, f"{live()} heading {heading} px, "
              f"field {side} px")
        driver.find_element("css selector", "#live-now tbody button").click()
        flying.set()
        outcome = driver.find_element("id", "outcome")
        said = wait_for(lambda: outcome.text if outcome.text.startswith("Star:") else None,
                        150, 0.5)
        status = driver.execute_script("return Velmora.status()")
        check("Watch follows it to its end, tick by tick as played, and says the verified "
              "outcome", said is not None and said.startswith("Star: RANKED: rank ") and
              status["watching"] and status["finished"] and status["matched"],
              f"{said} {status}")
        driver.save_screenshot(os.path.join(out_dir, "watched-page.png"))
        check("no errors on the console while watching", not console_errors(driver),
              "; ".join(console_errors(driver)))
    finally:
        flying.set()
        driver.quit()
        game.keys("Escape")
        game.stop()


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    binary, server_binary, web = (os.path.abspath(a) for a in sys.argv[1:4])
    out_dir = sys.argv[4]
    os.makedirs(out_dir, exist_ok=True)
    check = Checks(out_dir)
    with check.scenario(), tempfile.TemporaryDirectory() as tmp:
        with Server(server_binary, "--db", "sqlite:" + os.path.join(tmp, "r.db"), "--web",
                    web) as server:
            with Xvfb(1024, 768) as x:
                desktop(check, x, binary, server, out_dir, tmp)
                failover(check, x, binary, server_binary, tmp)
            page(check, server, out_dir)
            with Xvfb(1024, 768) as x:
                watched(check, x, binary, server, out_dir, tmp)
    check.finish()


if __name__ == "__main__":
    main()
