"""Helpers for tests that drive the page in headless Chromium through selenium: a local web
server for the browser build (and any other folders), and a browser with a private profile.

Run such tests with /usr/bin/python3: Debian's selenium is installed for it.
"""
import http.server
import os
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader",
                  "--enable-unsafe-swiftshader", "--no-first-run", "--disable-sync",
                  "--disable-background-networking", "--disable-component-update"]


def serve(directory, extra=None):
    """Serves `directory` on a free local port, and each folder of `extra` ({"/url/": dir})
    under its path; returns the server and its address."""
    extra = extra or {}

    class Quiet(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=directory, **kwargs)

        def translate_path(self, path):
            for prefix, folder in extra.items():
                if path.startswith(prefix):
                    return os.path.join(folder, path[len(prefix):].split("?")[0])
            return super().translate_path(path)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Quiet)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}/"


def browser(*extra, downloads=None, width=800, height=800, mobile=False, scale=1, touch=False,
            before_load=None, frames="designed"):
    """Headless Chromium on a page of exactly width by height CSS pixels (the canvas then sits
    on whole pixels), `scale` device pixels to a CSS pixel, a touch screen if `touch`; files it
    downloads go to `downloads`; the script `before_load` runs before each page's own. Each page
    of the game's is opened with ?frames=`frames` (None: as the player's settings have it)."""
    options = webdriver.ChromeOptions()
    for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + tempfile.mkdtemp()] + list(extra):
        options.add_argument(flag)
    options.binary_location = "/usr/bin/chromium"
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": scale,
                            "mobile": mobile})
    if touch:
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                               {"enabled": True, "maxTouchPoints": 5})
    if before_load:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": before_load})
    if downloads:
        driver.execute_cdp_cmd("Page.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": downloads})
    if frames:
        opened = driver.get

        def get(url):
            if "index.html" in url or url.endswith("/"):
                url += ("&" if "?" in url else "?") + "frames=" + frames
            opened(url)
        driver.get = get
    return driver


def console_errors(driver):
    return [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]


def run_page_test(doc, run, more=0):
    """A page test's main: WEB_DIR and SCREENSHOT_DIR from the command line, then `more`
    arguments (else `doc`), the page served from WEB_DIR, and run(check, url, out_dir, *more)
    as one scenario of named checks."""
    from xsession import Checks  # the same checks as the real-window tests
    if len(sys.argv) != 3 + more:
        sys.exit(doc)
    web_dir, out_dir = sys.argv[1:3]
    os.makedirs(out_dir, exist_ok=True)
    server, url = serve(web_dir)
    check = Checks(out_dir)
    with check.scenario():
        run(check, url, out_dir, *sys.argv[3:])
    server.shutdown()
    check.finish()
