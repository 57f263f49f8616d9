#!/usr/bin/env python3
"""The page's sound, in headless Chromium, watched through hooks on its AudioContext and buffer
sources put in before the page loads: nothing plays before the player's first key (browsers
hold audio until then, and would play all that was queued at once); after it the context runs,
the ship's shot starts its buffer when q fires, and "Mute" stops what sounds and starts nothing
more.

Usage: browser_sound_test.py WEB_DIR
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Checks  # noqa: E402

from chromium import browser, console_errors, serve  # noqa: E402

HOOKS = """
window.heard = { starts: [], stops: 0, contexts: [] };
(function () {
  var start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function () {
    window.heard.starts.push(this.buffer ? Math.round(this.buffer.duration * 1000) : 0);
    return start.apply(this, arguments);
  };
  var stop = AudioBufferSourceNode.prototype.stop;
  AudioBufferSourceNode.prototype.stop = function () {
    window.heard.stops++;
    return stop.apply(this, arguments);
  };
  var Context = window.AudioContext;
  window.AudioContext = function (options) {
    var context = new Context(options);
    window.heard.contexts.push(context);
    return context;
  };
  window.AudioContext.prototype = Context.prototype;
})();
"""
SHOT_MS = 100  # the ship's shot is the one sound 0.1 s long (src/audio/sounds.cpp)


def shots(driver):
    return driver.execute_script("return heard.starts").count(SHOT_MS)


def run(check, url):
    driver = browser(before_load=HOOKS)
    try:
        driver.get(url + "index.html?seed=58")
        deadline = time.time() + 10
        while not driver.execute_script("return !!(window.Module && Module.firstFrameAt)"):
            if time.time() > deadline:
                raise RuntimeError("the page drew nothing in 10 s")
            time.sleep(0.05)
        time.sleep(2.0)  # the plain invader is on the field, and would hum
        check("the page made an AudioContext for the game",
              driver.execute_script("return heard.contexts.length") == 1)
        check("nothing sounds before the first key",
              driver.execute_script("return heard.starts.length") == 0)
        canvas = driver.find_element("id", "canvas")
        canvas.send_keys("a")
        time.sleep(0.5)
        state = driver.execute_script("return heard.contexts[0].state")
        check("after a key the context runs and the invader hums", state == "running" and
              driver.execute_script("return heard.starts.length") > 0, state)
        for n in range(1, 4):
            canvas.send_keys("q")
            time.sleep(0.3)
            check(f"q number {n} starts the shot's buffer", shots(driver) == n,
                  f"{shots(driver)} shots heard")
        stops = driver.execute_script("return heard.stops")
        mute = driver.find_element("id", "mute")
        check("the mute button is named 'Mute'", mute.accessible_name == "Mute",
              mute.accessible_name)
        mute.click()
        time.sleep(0.3)
        check("'Mute' stops what sounds", driver.execute_script("return heard.stops") > stops)
        check("and shows it is pressed", mute.get_attribute("aria-pressed") == "true")
        starts = driver.execute_script("return heard.starts.length")
        canvas.send_keys("qqq")
        time.sleep(1.0)
        check("muted, nothing starts, shots included",
              driver.execute_script("return heard.starts.length") == starts)
        mute.click()
        canvas.send_keys("q")
        time.sleep(0.3)
        check("unmuted, the shot sounds again", shots(driver) == 4, f"{shots(driver)} shots")
        errors = console_errors(driver)
        check("no errors on the console", not errors, "; ".join(errors))
    finally:
        driver.quit()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server, url = serve(sys.argv[1])
    check = Checks(None)
    with check.scenario():
        run(check, url)
    server.shutdown()
    check.finish()


if __name__ == "__main__":
    main()
