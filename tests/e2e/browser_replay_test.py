#!/usr/bin/env python3
"""Recordings across the desktop and the page, in headless Chromium: a game played with keys in
the page and saved with "Save replay" replays on the desktop (velmora --play FILE --headless)
with exit 0 and the same outcome; a golden replay recorded on the desktop, watched in the page
through ?replay=URL and through the "Watch replay" picker, matches; recordings that cannot be
replayed get the desktop's one-line message on the page.

Usage: browser_replay_test.py WEB_DIR VELMORA_BINARY REPLAY_DIR
"""
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Checks, play_headless, wait_for  # noqa: E402

from chromium import browser, console_errors, serve  # noqa: E402




def loaded(driver, url):
    driver.get(url)
    return wait_for(lambda: driver.execute_script("return window.Module && Module.firstFrameAt"))


def text_of(driver, element):
    return driver.find_element("id", element).text


def saved_in_page(check, url, binary, downloads):
    """Plays seed 58 with keys, pauses, saves; the desktop replays the file."""
    driver = browser(downloads=downloads)
    try:
        check("the page draws", loaded(driver, url + "index.html?seed=58"))
        canvas = driver.find_element("id", "canvas")
        save = driver.find_element("id", "save")
        check("no 'Save replay' while the game runs", not save.is_displayed())
        for keys in ("aaq", "wq", "ddq", "q", "aaaq", "wwq"):
            canvas.send_keys(keys)
            time.sleep(0.4)
        canvas.send_keys("p")
        check("'Save replay' is offered on the pause screen",
              wait_for(save.is_displayed, 3) and save.accessible_name == "Save replay")
        save.click()
        files = wait_for(lambda: [f for f in os.listdir(downloads) if f.endswith(".replay")])
        check("the page saves velmora-<seed>-<score>.replay",
              files and re.fullmatch(r"velmora-58-[0-9]+\.replay", files[0]), str(files))
        if not files:
            return
        path = os.path.join(downloads, files[0])
        with open(path) as f:
            text = f.read()
        end = text.strip().splitlines()[-1]
        run = play_headless(binary, path)
        outcome = run.stdout.split(" ticks_per_second=")[0]
        check("the page's recording replays on the desktop with exit 0", run.returncode == 0,
              f"exit {run.returncode}: {run.stderr.strip()}")
        check("with the outcome the page recorded", end == "end " + outcome,
              f"page '{end}', desktop '{outcome}'")
        check("the game in the page had keys and ticks",
              text.count("\nk ") >= 10 and text.count("\nt ") >= 40)
        check("no errors on the console", not console_errors(driver),
              "; ".join(console_errors(driver)))
    finally:
        driver.quit()


def watched_in_page(check, url, replays):
    """The golden game-over replay through ?replay=URL, key-before-frame through the picker."""
    driver = browser()
    try:
        with open(os.path.join(replays, "game-over.replay")) as f:
            want = f.read().strip().splitlines()[-1][len("end "):]
        check("the page draws",
              loaded(driver, url + "index.html?replay=replays/game-over.replay"))
        shown = wait_for(lambda: text_of(driver, "outcome"), 40, 0.5)
        check("?replay=URL plays a desktop recording to its end, and it matches",
              shown == want + ": the replay matched its recording", str(shown))

        picker = driver.find_element("id", "watch")
        check("the picker is labelled 'Watch replay'", picker.accessible_name == "Watch replay",
              picker.accessible_name)
        picker.send_keys(os.path.join(replays, "key-before-frame.replay"))
        with open(os.path.join(replays, "key-before-frame.replay")) as f:
            want = f.read().strip().splitlines()[-1][len("end "):]
        shown = wait_for(lambda: text_of(driver, "outcome") if text_of(driver, "outcome")
                         .startswith(want) else None, 40, 0.5)
        check("a file picked with 'Watch replay' plays and matches",
              shown == want + ": the replay matched its recording", str(shown))
    finally:
        driver.quit()


def refused_in_page(check, url, binary, scratch):
    """Bad files: the page's message line says what the desktop says."""
    head = "velmora-replay 2\nrand 1804289383 846930886 1681692777\n"
    bad = {"unknown-key.replay": head + "seed 5 0000abcd\nk x\n",
           "version.replay": "velmora-replay 9\n",
           "empty.replay": ""}
    driver = browser()
    try:
        loaded(driver, url + "index.html")
        picker = driver.find_element("id", "watch")
        for name, content in bad.items():
            path = os.path.join(scratch, name)
            with open(path, "w") as f:
                f.write(content)
            desktop = desktop_play_windowless(binary, path).replace(path, name)
            picker.send_keys(path)
            shown = wait_for(lambda: text_of(driver, "message") or None, 5)
            check(f"{name}: the page says what the desktop says", shown == desktop,
                  f"page '{shown}', desktop '{desktop}'")
    finally:
        driver.quit()


def desktop_play_windowless(binary, path):
    run = subprocess.run([binary, "--play", path], capture_output=True, text=True, timeout=60,
                         env=dict(os.environ, DISPLAY=""))
    return run.stderr.strip()[len("velmora: "):]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    web_dir, binary = sys.argv[1], os.path.abspath(sys.argv[2])
    replays = os.path.abspath(sys.argv[3])
    server, url = serve(web_dir, {"/replays/": replays})
    check = Checks(None)
    with check.scenario():
        with tempfile.TemporaryDirectory() as downloads:
            saved_in_page(check, url, binary, downloads)
            refused_in_page(check, url, binary, downloads)
        watched_in_page(check, url, replays)
    server.shutdown()
    check.finish()


if __name__ == "__main__":
    main()
