#!/usr/bin/env python3
"""One game on every platform: the same games played by the desktop's build (x86-64, the system's
C library) and by the browser's (wasm, run under node) give the same check value at every tick.
The games: the golden replays, and seeded games of scripted keys (velmora_trace's own generator).

Usage: determinism_test.py NATIVE_TRACE WASM_TRACE_JS GAMES TICKS REPLAY...
"""
import os
import subprocess
import sys
import tempfile
import time


def trace(command, out, args):
    run = subprocess.run(command + [out] + args, capture_output=True, text=True, timeout=600)
    if run.returncode != 0:
        raise RuntimeError(f"{' '.join(command)} {' '.join(args)}: exit {run.returncode}: "
                           f"{run.stderr.strip()}")
    with open(out) as f:
        return f.read().splitlines()


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return f"line {i + 1}: desktop '{x}', wasm '{y}'"
    if len(a) != len(b):
        return f"desktop {len(a)} lines, wasm {len(b)}"
    return None


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    native, wasm_js, games, ticks = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    replays = sys.argv[5:]
    node = ["node", wasm_js]
    cases = [["seed", str(1000 + 37 * i), "ticks", ticks] for i in range(games)]
    cases += [["replay", os.path.abspath(r)] for r in replays]
    failures = 0
    compared = 0
    began = time.time()
    with tempfile.TemporaryDirectory() as tmp:
        for args in cases:
            desktop = trace([native], os.path.join(tmp, "native"), args)
            browser = trace(node, os.path.join(tmp, "wasm"), args)
            problem = first_difference(desktop, browser)
            name = " ".join(args[:2]) if args[0] == "seed" else os.path.basename(args[1])
            if args[0] == "replay" and not desktop[-1].endswith("matched"):
                problem = problem or f"the desktop's replay did not match: {desktop[-1]}"
            failures += problem is not None
            compared += len(desktop)
            print(("FAIL " if problem else "PASS ") + f"{name}: {len(desktop)} ticks" +
                  (f": {problem}" if problem else ""), flush=True)
    print(f"{len(cases) - failures} of {len(cases)} games the same, {compared} ticks compared, "
          f"{time.time() - began:.1f} s")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
