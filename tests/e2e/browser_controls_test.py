#!/usr/bin/env python3
"""The page on a phone, in headless Chromium with touch emulation at 390 by 844 CSS pixels (three
device pixels to one): the on-screen buttons show, large enough for a thumb, and the field fits
beside them, square and drawn at the screen's own pixels; a tap on "Fire" fires once, holding
"Turn left" turns step after step, two buttons held together both act, and touches never scroll
the page. A gamepad (stubbed through navigator.getGamepads) fires and turns. A hidden tab pauses
the game, and only Pause resumes it. Keys are read from the game's own recording.

Usage: browser_controls_test.py WEB_DIR SCREENSHOT_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import wait_for  # noqa: E402

from chromium import browser, console_errors, run_page_test  # noqa: E402

WIDTH, HEIGHT, SCALE = 390, 844, 3
BUTTONS = ["Turn left", "Turn right", "Thrust", "Fire", "Pause"]

# A gamepad the test holds: window.pad.buttons[i] and window.pad.axes[i] as it likes.
GAMEPAD = """
window.pad = { connected: false, buttons: new Array(17).fill(0), axes: [0, 0, 0, 0] };
navigator.getGamepads = function () {
  if (!window.pad.connected) { return [null, null, null, null]; }
  return [{ id: 'test pad', index: 0, connected: true, mapping: 'standard',
            axes: window.pad.axes.slice(),
            buttons: window.pad.buttons.map(function (v) {
              return { pressed: v > 0.5, touched: v > 0, value: v }; }) },
          null, null, null];
};
"""


def keys(driver, key):
    """How many times `key` reached the game, by its recording."""
    text = driver.execute_script("return Velmora.recording()")
    return sum(1 for line in text.splitlines() if line == "k " + key)


def touch(driver, kind, points):
    driver.execute_cdp_cmd("Input.dispatchTouchEvent", {
        "type": kind, "touchPoints": [{"x": x, "y": y, "id": i} for i, (x, y) in points]})


def centre(driver, label):
    rect = driver.execute_script(
        "var r = document.querySelector('[aria-label=\"' + arguments[0] + '\"]')"
        ".getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2];", label)
    return rect[0], rect[1]


def hold(driver, labels, seconds):
    points = list(enumerate(centre(driver, label) for label in labels))
    touch(driver, "touchStart", points)
    time.sleep(seconds)
    touch(driver, "touchEnd", [])




def run(check, url, out_dir):
    driver = browser(width=WIDTH, height=HEIGHT, mobile=True, scale=SCALE, touch=True,
                     before_load=GAMEPAD)
    try:
        driver.get(url + "index.html?seed=58")
        check("the page draws",
              wait_for(lambda: driver.execute_script("return !!(window.Module && "
                                                     "Module.firstFrameAt)"), 30))
        time.sleep(0.5)
        for label in BUTTONS:
            button = driver.find_element("css selector", f'[aria-label="{label}"]')
            r = button.rect
            check(f"'{label}' is a button in view, at least 48 CSS pixels",
                  button.tag_name == "button" and button.is_displayed() and
                  button.accessible_name == label and r["width"] >= 48 and r["height"] >= 48
                  and r["x"] >= 0 and r["x"] + r["width"] <= WIDTH
                  and r["y"] + r["height"] <= HEIGHT, str(r))
        canvas = driver.execute_script(
            "var c = document.getElementById('canvas'), r = c.getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height, c.width, c.height];")
        left, top, w, h, pixels_w, pixels_h = canvas
        check("the field fits the screen, square", w == h and left >= 0 and left + w <= WIDTH
              and top >= 0 and top + h <= HEIGHT and w >= 300, str(canvas))
        check("and is drawn at the screen's own pixels",
              pixels_w == pixels_h == round(w * SCALE), str(canvas))

        before = keys(driver, "q")
        hold(driver, ["Fire"], 0.15)
        check("a tap on 'Fire' fires once", wait_for(lambda: keys(driver, "q") == before + 1),
              f"{keys(driver, 'q') - before} shots")
        before = keys(driver, "a")
        held = time.time()
        hold(driver, ["Turn left"], 1.2)
        held = time.time() - held
        turns = keys(driver, "a") - before
        check("holding 'Turn left' turns step after step, never more than 25 a second after "
              "the first 0.4 s", 3 <= turns <= 2 + 25 * max(0.0, held - 0.4),
              f"{turns} turns in {held:.2f} s")
        before_d, before_q = keys(driver, "d"), keys(driver, "q")
        hold(driver, ["Turn right", "Fire"], 0.8)
        check("two buttons held together both act",
              keys(driver, "d") - before_d >= 5 and keys(driver, "q") - before_q >= 5,
              f"{keys(driver, 'd') - before_d} turns, {keys(driver, 'q') - before_q} shots")
        x, y = centre(driver, "Thrust")
        touch(driver, "touchStart", [(0, (x, y))])
        for step in range(1, 6):
            touch(driver, "touchMove", [(0, (x, y - 60 * step))])
        touch(driver, "touchEnd", [])
        scroll = driver.execute_script("return [window.scrollX, window.scrollY, "
                                       "window.visualViewport.scale]")
        check("a finger dragged from a button scrolls and zooms nothing", scroll == [0, 0, 1],
              str(scroll))

        driver.execute_script("window.pad.connected = true")
        before = keys(driver, "q")
        driver.execute_script("window.pad.buttons[1] = 1")
        time.sleep(0.2)
        driver.execute_script("window.pad.buttons[1] = 0")
        check("a gamepad's B fires", wait_for(lambda: keys(driver, "q") == before + 1),
              f"{keys(driver, 'q') - before} shots")
        before = keys(driver, "a")
        driver.execute_script("window.pad.axes[0] = -1")
        time.sleep(0.8)
        driver.execute_script("window.pad.axes[0] = 0; window.pad.connected = false")
        turns = keys(driver, "a") - before
        check("its left stick turns, held", turns >= 5, f"{turns} turns")

        driver.save_screenshot(os.path.join(out_dir, "phone.png"))
        playing = driver.current_window_handle
        driver.switch_to.new_window("tab")
        time.sleep(0.5)
        driver.close()
        driver.switch_to.window(playing)
        paused = driver.execute_script("return Velmora.status().paused")
        ticks = driver.execute_script("return Velmora.recording().split('\\nt ').length")
        time.sleep(0.5)
        still = driver.execute_script("return Velmora.recording().split('\\nt ').length")
        check("a hidden tab pauses the game", paused is True and still == ticks)
        hold(driver, ["Pause"], 0.6)
        check("'Pause' resumes it, once however long it is held",
              wait_for(lambda: driver.execute_script("return Velmora.status().paused") is False))
        errors = console_errors(driver)
        check("no errors on the console", not errors, "; ".join(errors))
    finally:
        driver.quit()


if __name__ == "__main__":
    run_page_test(__doc__, run)
