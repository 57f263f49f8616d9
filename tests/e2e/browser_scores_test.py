#!/usr/bin/env python3
"""Scores in the page, in headless Chromium against a real velmora-server (on a free port, SQLite
in a temporary folder) that serves the page itself: a seeded game played to GAME OVER, a name
typed (its keys go to the field, not the game) and the game submitted; the Leaderboard table
shows it with the score the server verified; "Watch" plays it in the canvas, to a match; the
page's own table keeps the game across a reload. Served without the server, the page hides the
leaderboard.

Usage: browser_scores_test.py WEB_DIR VELMORA_SERVER
"""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Checks, wait_for  # noqa: E402

from chromium import browser, console_errors, serve  # noqa: E402
from service import Server  # noqa: E402


def rows(driver, table):
    return driver.execute_script(
        "return Array.from(document.querySelectorAll('#' + arguments[0] + ' tbody tr'))"
        ".map(function (r) { return Array.from(r.cells).map(function (c) {"
        " return c.textContent; }); });", table)


def loaded(driver, url):
    driver.get(url)
    return wait_for(lambda: driver.execute_script("return window.Module && Module.firstFrameAt"),
                    10)


def with_server(check, web_dir, binary, tmp):
    with Server(binary, "--db", "sqlite:" + os.path.join(tmp, "page.db"), "--web",
                web_dir) as s:
        url = f"http://127.0.0.1:{s.port}/"
        driver = browser()
        try:
            check("the page comes from velmora-server", loaded(driver, url + "index.html?seed=7"))
            board = driver.find_element("id", "leaderboard")
            check("served by the server, the page shows its Leaderboard",
                  wait_for(board.is_displayed, 5) and
                  board.find_element("tag name", "caption").text.startswith("Leaderboard: "))
            # Seed 7 with no keys loses its last life at tick 344, about 17 s in.
            over = wait_for(lambda: driver.execute_script("return Velmora.status().over"), 30,
                            0.2)
            name = driver.find_element("id", "name")
            submit = driver.find_element("id", "submit")
            check("after GAME OVER it offers to send the game: Name and Submit score",
                  over and name.is_displayed() and name.accessible_name == "Name" and
                  submit.accessible_name == "Submit score")
            ticks = driver.execute_script("return Velmora.recording().split('\\nk ').length")
            name.clear()
            name.send_keys("Pilot qwdap")  # keys the game knows: they must not reach it
            still = driver.execute_script("return Velmora.recording().split('\\nk ').length")
            paused = driver.execute_script("return Velmora.status().paused")
            check("keys typed in the name go to the field, not the game",
                  name.get_attribute("value") == "Pilot qwdap" and still == ticks and not paused)
            submit.click()
            answer = driver.find_element("id", "submitted")
            shown = wait_for(lambda: answer.text if "rank" in answer.text else None, 15)
            check("the answer's rank shows on the page", shown is not None and
                  shown.startswith("Verified: rank 1"), str(shown))
            table = wait_for(lambda: rows(driver, "leaderboard"), 5)
            caption = driver.find_element("css selector", "#leaderboard caption").text
            check("the Leaderboard's uploaded board lists it with the verified score",
                  table and table[0][:4] == ["1", "Pilot qwdap", "1", "0"] and
                  caption == "Leaderboard: uploaded games", f"{caption} {table}")
            status, body = s.json("GET", "/api/v1/scores?board=uploaded")
            check("as the server keeps it", body["scores"][0]["name"] == "Pilot qwdap" and
                  body["scores"][0]["score"] == 1, str(body))
            submit = driver.find_element("id", "submit")
            wait_for(lambda: not submit.get_attribute("disabled") or True, 1)
            driver.execute_script("document.getElementById('submit').disabled = false")
            submit.click()
            again = wait_for(lambda: answer.text if answer.text.startswith("Already") else None,
                             15)
            check("sent twice, the server says it has it", again is not None, answer.text)

            watch = driver.find_element("css selector", "#leaderboard tbody button")
            check("each row has a Watch button", watch.text == "Watch")
            watch.click()
            outcome = driver.find_element("id", "outcome")
            watched = wait_for(lambda: outcome.text or None, 30, 0.5)
            check("Watch plays the game in the canvas, to a match",
                  watched == "ticks=344 level=0 score=1 lives=0: the replay matched its "
                             "recording", str(watched))
            local = rows(driver, "local-scores")
            driver.refresh()
            wait_for(lambda: driver.execute_script("return window.Module && "
                                                   "Module.firstFrameAt"), 10)
            kept = rows(driver, "local-scores")
            check("the page's own table keeps the game across a reload",
                  kept and kept == local and kept[0][2] == "1", f"{local} then {kept}")
            errors = console_errors(driver)
            check("no errors on the console", not errors, "; ".join(errors))
            driver.save_screenshot(os.path.join(tmp, "scores.png"))
        finally:
            driver.quit()


def without_server(check, web_dir):
    server, url = serve(web_dir)
    driver = browser()
    try:
        loaded(driver, url + "index.html")
        time.sleep(1.0)
        check("served without the server, the page hides the leaderboard",
              not driver.find_element("id", "leaderboard").is_displayed())
    finally:
        driver.quit()
        server.shutdown()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    web_dir, binary = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    check = Checks(None)
    with tempfile.TemporaryDirectory() as tmp:
        with check.scenario():
            with_server(check, web_dir, binary, tmp)
            without_server(check, web_dir)
    check.finish()


if __name__ == "__main__":
    main()
