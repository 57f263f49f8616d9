#!/usr/bin/env python3
"""Measures the page's pictures a second in headless Chromium (SwiftShader, the software
renderer), smooth motion, with the field at 500, 900 and 1,400 CSS pixels: first with the canvas
held at the screen's own pixels, then as the page sets it (lower while the pictures fall behind
the display, quality.js), after it has had time to settle. A benchmark, not a test: the figures
are this machine's (docs/performance.md).

Usage: page_bench.py WEB_DIR [SECONDS]
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chromium import browser, serve  # noqa: E402
from xsession import wait_for  # noqa: E402

SIDES = (500, 900, 1400)
SETTLE = 10  # seconds the page has to find its resolution


def status(driver):
    return driver.execute_script("return JSON.parse(Module.UTF8ToString(Module._velmora_status()))")


def rate(driver, seconds):
    a, t0 = status(driver), time.time()
    time.sleep(seconds)
    b, t1 = status(driver), time.time()
    return (b["pictures"] - a["pictures"]) / (t1 - t0), (b["ticks"] - a["ticks"]) / (t1 - t0)


def measure(url, side, seconds):
    driver = browser(width=side + 60, height=side + 60, frames="smooth")
    try:
        driver.get(url + "index.html?seed=58")
        if not wait_for(lambda: driver.execute_script(
                "return !!(window.Module && Module.firstFrameAt)"), 30):
            raise RuntimeError("the page drew nothing")
        # The field at `side` CSS pixels, whatever room the page would give it.
        driver.execute_script(
            "document.documentElement.style.setProperty('--side', arguments[0] + 'px');"
            "Velmora.quality.hold(true);"
            "Module.setCanvasSize(Velmora.canvasPixels(arguments[0]),"
            " Velmora.canvasPixels(arguments[0]));", side)
        time.sleep(2)
        full = rate(driver, seconds)
        driver.execute_script("Velmora.quality.hold(false)")
        time.sleep(SETTLE)
        adapted = rate(driver, seconds)
        scale = driver.execute_script("return Velmora.quality.scale()")
        pixels = driver.execute_script("return Velmora.canvas.width")
        return full, adapted, scale, pixels
    finally:
        driver.quit()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 6.0
    server, url = serve(sys.argv[1])
    print(f"headless Chromium, SwiftShader, smooth motion, {seconds:.0f} s a figure")
    for side in SIDES:
        full, adapted, scale, pixels = measure(url, side, seconds)
        print(f"field {side} CSS px: at the screen's pixels {full[0]:.1f} pictures/s "
              f"({full[1]:.2f} ticks/s); as the page sets it {adapted[0]:.1f} pictures/s "
              f"({adapted[1]:.2f} ticks/s), canvas {pixels} px ({scale:.2f} of the screen's)")
    server.shutdown()


if __name__ == "__main__":
    main()
