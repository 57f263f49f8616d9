#!/usr/bin/env python3
"""Every honest game verifies in the page too, however slow its machine: five games in headless
Chromium with the page's main thread throttled sixfold (the DevTools protocol's CPU throttling)
and held up by a busy script now and then, keys pressed throughout; each saved with "Save
replay" replays on the desktop (velmora --play FILE --headless) with exit 0 and is accepted by
the velmora-server that served the page.

Usage: browser_timing_test.py WEB_DIR VELMORA VELMORA_SERVER
"""
import os
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chromium import browser  # noqa: E402
from service import Server  # noqa: E402
from xsession import Checks, play_headless, wait_for  # noqa: E402

# A long task on the page's thread every so often, as a busy tab has: frames and ticks queue up
# behind it and then come back to back.
BUSY = """
setInterval(function () {
  var end = performance.now() + 90 + Math.random() * 250;
  while (performance.now() < end) {}
}, 700);
"""
KEYS = ["aaq", "wq", "ddq", "q", "aaaq", "wwq", " ", "dq"]


def one_game(check, url, binary, server, downloads, n):
    driver = browser(downloads=downloads, before_load=BUSY)
    try:
        driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": 6})
        driver.get(url + f"index.html?seed={300 + n}")
        if not wait_for(lambda: driver.execute_script("return window.Module && "
                                                      "Module.firstFrameAt"), 60, 0.2):
            check(f"game {n}: the page draws, throttled", False)
            return
        canvas = driver.find_element("id", "canvas")
        for keys in KEYS[n:] + KEYS[:n]:
            canvas.send_keys(keys)
            time.sleep(0.5)
        canvas.send_keys("p")
        save = driver.find_element("id", "save")
        wait_for(save.is_displayed, 10)
        save.click()
        files = wait_for(lambda: [f for f in os.listdir(downloads)
                                  if f.startswith(f"velmora-{300 + n}-") and
                                  f.endswith(".replay")], 20)
        if not files:
            check(f"game {n}: 'Save replay' saves the game", False)
            return
        path = os.path.join(downloads, files[0])
        with open(path, "rb") as f:
            data = f.read()
        run = play_headless(binary, path)
        status, body = server.json("POST", "/api/v1/games?" + urllib.parse.urlencode(
            {"name": f"Slow {n}"}), data)
        ticks, keys, frames = (data.count(w) for w in (b"\nt ", b"\nk ", b"\nd\n"))
        check(f"game {n} ({ticks} ticks, {keys} keys, {frames} frames): replays on the desktop "
              "with exit 0 and the server accepts it", run.returncode == 0 and status == 201 and
              keys >= 10, f"exit {run.returncode} {run.stderr.strip()[:160]}; {status} {body}")
    finally:
        driver.quit()


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    web_dir, binary, server_binary = (os.path.abspath(a) for a in sys.argv[1:])
    check = Checks(None)
    with check.scenario(), tempfile.TemporaryDirectory() as tmp:
        with Server(server_binary, "--db", "sqlite:" + os.path.join(tmp, "slow.db"), "--web",
                    web_dir) as server:
            for n in range(5):
                one_game(check, f"http://127.0.0.1:{server.port}/", binary, server, tmp, n)
    check.finish()


if __name__ == "__main__":
    main()
