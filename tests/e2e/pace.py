#!/usr/bin/env python3
"""Measures the game's tick pace in a real window: runs it under Xvfb for SECONDS with BUSY
busy-loop processes beside it, times every tick through the tick_log shim, and prints the rate
and the spread of the gaps between ticks.

Usage: pace.py VELMORA_BINARY TICK_LOG_SHIM [SECONDS [BUSY]]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Game, Xvfb, measuring_args, tick_rate  # noqa: E402


def main():
    binary, shim, seconds, busy = measuring_args(__doc__, 30.0, 2)
    log = tempfile.NamedTemporaryFile(prefix="velmora-pace-", delete=False).name
    loops = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(busy)]
    try:
        with Xvfb(1024, 768) as x:
            game = Game(x, binary, ["--seed", "58"],
                        env={"LD_PRELOAD": shim, "VELMORA_TICK_LOG": log})
            time.sleep(seconds)
            game.keys("Escape")
            game.exit_code()
            game.stop()
    finally:
        for loop in loops:
            loop.kill()
            loop.wait()
    rate, gaps = tick_rate(log)
    os.unlink(log)
    cuts = statistics.quantiles(gaps, n=100)
    print(f"{len(gaps) + 1} ticks in {sum(gaps) / 1000:.1f} s beside {busy} busy loops: "
          f"{rate:.3f} ticks/s ({(rate / 20 - 1) * 100:+.3f}% from 20)")
    print(f"gaps: mean {statistics.mean(gaps):.2f} ms, sd {statistics.pstdev(gaps):.2f} ms, "
          f"1st percentile {cuts[0]:.1f}, 99th {cuts[-1]:.1f}, min {min(gaps):.1f}, "
          f"max {max(gaps):.1f} ms")


if __name__ == "__main__":
    main()
