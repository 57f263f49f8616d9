#!/usr/bin/env python3
"""make mutate: the project's own fault campaign.

Each fault in the table (tests/mutants.txt) is one small edit a maintainer could make by
mistake. Applied one at a time to a scratch copy of the tree (build-mutate/tree; the working tree
is never touched), it is built (only what it touches) and the quick tests are run: the unit tests
and the end-to-end tests that need no window and no browser. A fault is

  killed            a test failed on an assertion
  survived          every test passed: a fault no test sees
  crashed           a test died (a signal, or it hung) instead of failing an assertion
  no longer applies its text is not in the file exactly once any more, or it does not build

and the run ends with "mutants: K of M killed", M counting every fault not marked equivalent.

Usage: mutate.py [--table FILE] [--only N[,N...]] [--list]
"""
import argparse
import filecmp
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build-mutate")
TREE = os.path.join(WORK, "tree")
BUILD = os.path.join(WORK, "build")
TEST_TIMEOUT = 120  # seconds a test command may take before the fault counts as a hang


class Mutant:
    def __init__(self, number, line):
        self.number, self.line = number, line
        self.file = self.find = self.into = self.means = None
        self.equivalent = None

    def check(self):
        missing = [k for k in ("file", "find", "into", "means") if getattr(self, k) is None]
        if missing:
            sys.exit(f"mutants table, line {self.line}: missing {', '.join(missing)}")
        if self.find == self.into:
            sys.exit(f"mutants table, line {self.line}: the replacement changes nothing")


def unescape(text):
    """\\n is a line break, \\t a tab, \\\\ a backslash."""
    return re.sub(r"\\([nt\\])", lambda m: {"n": "\n", "t": "\t", "\\": "\\"}[m.group(1)], text)


def read_table(path):
    """Blocks of 'key: value' lines, a blank line between faults; '#' starts a comment line.
    Values start in the eighth column ("file:  ", "find:  ", "into:  ", "means: ")."""
    mutants, current = [], None
    with open(path, encoding="utf-8") as f:
        for n, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                current = None
                continue
            key, sep, value = line.partition(":")
            if not sep or key not in ("file", "find", "into", "means", "equivalent"):
                sys.exit(f"{path}:{n}: expected 'file:', 'find:', 'into:', 'means:' or "
                         f"'equivalent:', found {line[:40]!r}")
            if current is None:
                current = Mutant(len(mutants) + 1, n)
                mutants.append(current)
            # The value starts where the keys' colons leave it: "find:  ", "means: ",
            # "equivalent: ", so indentation in the exact text stays as it is.
            value = line[max(len(key) + 2, 7):]
            setattr(current, key, unescape(value) if key in ("find", "into") else value)
    for m in mutants:
        m.check()
    return mutants


def sync_tree():
    """The scratch tree as the working tree is now; unchanged files keep their times, so the
    scratch build only rebuilds what changed since the last campaign."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], cwd=ROOT, check=True,
                            capture_output=True).stdout.decode().split("\0")
    for name in filter(None, listed):
        source, target = os.path.join(ROOT, name), os.path.join(TREE, name)
        if not os.path.isfile(source):
            continue
        if os.path.exists(target) and filecmp.cmp(source, target, shallow=False):
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)
        os.utime(target)  # newer than anything built from the old copy


# The quick tests, by where a fault lies: the server's code is checked by the server's tests,
# everything else by the game's. Each step's commands run side by side (a unit test program in
# as many shards as there are cores), and a step runs only if the one before it passed.
def gtest(program, *args):
    shards = os.cpu_count() or 2
    return [(program.rsplit("/", 1)[-1], [program, *args],
             {"GTEST_TOTAL_SHARDS": str(shards), "GTEST_SHARD_INDEX": str(i)})
            for i in range(shards)]


def suites(path):
    tests = os.path.join(TREE, "tests")
    bins = os.path.join(BUILD, "tests")
    if path.startswith("src/server/"):
        return (["velmora_service_tests", "velmora_store_tests", "velmora-server", "velmora",
                 "velmora_trace"],
                [gtest(os.path.join(bins, "velmora_service_tests")) +
                 [("store on SQLite", [os.path.join(bins, "velmora_store_tests"),
                                       "--gtest_filter=*sqlite*"], {})],
                 [("server end to end", [sys.executable, os.path.join(tests, "e2e/server_test.py"),
                                         os.path.join(BUILD, "velmora-server"),
                                         os.path.join(BUILD, "velmora"),
                                         os.path.join(bins, "velmora_trace"),
                                         os.path.join(tests, "replays")], {})]])
    return (["velmora_tests", "velmora"],
            [gtest(os.path.join(bins, "velmora_tests")),
             [("refused recordings", [sys.executable,
                                      os.path.join(tests, "e2e/replay_files_test.py"),
                                      os.path.join(BUILD, "velmora"),
                                      os.path.join(tests, "replays/levels.replay")], {})]])


def build(targets):
    result = subprocess.run(["cmake", "--build", BUILD, "-j", str(os.cpu_count() or 2),
                             "--target", *targets], capture_output=True, text=True)
    return result.returncode == 0, result.stdout[-3000:] + result.stderr[-3000:]


def failed_tests(output):
    names = [line.split("]", 1)[1].split()[0] for line in output.splitlines()
             if line.startswith("[  FAILED  ]") and "," not in line and "listed" not in line]
    checks = [line.strip()[5:65] for line in output.splitlines() if line.startswith("FAIL ")]
    return ", ".join(dict.fromkeys(names + checks)) or "?"


def run_tests(steps):
    """'passed', or ('killed' | 'crashed', what). A crash anywhere outweighs a failed
    assertion elsewhere: the tests must fail on what they check, never by dying."""
    for step in steps:
        running = []
        for title, command, extra in step:
            env = dict(os.environ, DISPLAY="", GTEST_BRIEF="1", **extra)
            running.append((title, subprocess.Popen(command, stdout=subprocess.PIPE,
                                                    stderr=subprocess.STDOUT,
                                                    encoding="utf-8", errors="replace",
                                                    env=env, cwd=BUILD)))
        deadline = time.monotonic() + TEST_TIMEOUT
        crashed, killed = [], []
        for title, proc in running:
            try:
                output, _ = proc.communicate(timeout=max(1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.communicate()
                crashed.append(f"{title}: hung for {TEST_TIMEOUT} s")
                continue
            if proc.returncode < 0 or proc.returncode > 128:
                crashed.append(f"{title}: died (status {proc.returncode})")
            elif proc.returncode != 0:
                killed.append(f"{title}: {failed_tests(output)}")
        if crashed:
            return "crashed", "; ".join(crashed)
        if killed:
            return "killed", "; ".join(killed)
    return "passed", ""


def try_fault(m, originals):
    """Writes fault `m` into its file (restoring any other file a fault is in first: faults
    of one file follow each other, so each costs one build) and puts it to the tests."""
    path = os.path.join(TREE, m.file)
    for other in [p for p in originals if p != path]:
        with open(other, "w", encoding="utf-8") as f:
            f.write(originals.pop(other))
    if path not in originals:
        originals[path] = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
    original = originals[path]
    if original.count(m.find) != 1:
        return "no longer applies", f"the text is in the file {original.count(m.find)} times"
    with open(path, "w", encoding="utf-8") as f:
        f.write(original.replace(m.find, m.into))
    targets, steps = suites(m.file)
    built, _ = build(targets)
    if not built:
        return "no longer applies", "it does not build"
    status, what = run_tests(steps)
    return ("survived" if status == "passed" else status), what


def configure():
    # Lightly optimized, no debug information: each fault builds in a few seconds and the
    # golden replays still run fast. lld, where it is installed, links the test programs sooner.
    flags = ["-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g0", "-DBUILD_TESTING=ON",
             "-DVELMORA_BUILD_SERVER=ON"]
    if shutil.which("ld.lld"):
        flags.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
    subprocess.run(["cmake", "-S", TREE, "-B", BUILD, *flags], check=True, capture_output=True)


def main():
    parser = argparse.ArgumentParser(description="The project's own fault campaign.")
    parser.add_argument("--table", default=os.path.join(ROOT, "tests", "mutants.txt"))
    parser.add_argument("--only", help="the faults to try, by number (1,4,7)")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    args = parser.parse_args()
    sys.stdout.reconfigure(line_buffering=True)  # a line a fault as it is decided, in a log too
    mutants = read_table(args.table)
    if args.list:
        for m in mutants:
            print(f"{m.number:3}  {m.file}: {m.means}" +
                  (f"  [equivalent: {m.equivalent}]" if m.equivalent else ""))
        return 0
    chosen = ({int(n) for n in args.only.split(",")} if args.only else None)
    began = time.monotonic()
    os.makedirs(TREE, exist_ok=True)
    sync_tree()
    configure()

    # The tests must pass on the tree as it is, or no fault's result means anything.
    every_target = sorted({t for m in mutants for t in suites(m.file)[0]})
    built, log = build(every_target)
    if not built:
        sys.exit("mutate: the tree does not build as it is:\n" + log)
    for where in sorted({suites(m.file)[0][0] for m in mutants}):
        path = "src/server/" if where == "velmora_service_tests" else "src/"
        status, what = run_tests(suites(path)[1])
        if status != "passed":
            sys.exit(f"mutate: the tests fail without any fault ({what})")
    print(f"mutate: the tree builds and its quick tests pass ({time.monotonic() - began:.0f} s)")

    counts = {"killed": 0, "survived": 0, "crashed": 0, "no longer applies": 0}
    originals = {}  # the files a fault was written into, as they were
    try:
        for m in mutants:
            if chosen is not None and m.number not in chosen:
                continue
            if m.equivalent:
                print(f"{m.number:3} equivalent        {m.file}: {m.means} ({m.equivalent})")
                continue
            status, what = try_fault(m, originals)
            counts[status] += 1
            print(f"{m.number:3} {status:17} {m.file}: {m.means}" +
                  (f"  [{what}]" if what else ""), flush=True)
    finally:
        for path, text in originals.items():
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)

    tried = sum(counts.values())
    print(f"mutate: {counts['survived']} survived, {counts['crashed']} crashed, "
          f"{counts['no longer applies']} no longer apply; "
          f"{time.monotonic() - began:.0f} s")
    print(f"mutants: {counts['killed']} of {tried} killed")
    return 0 if counts["killed"] == tried else 1


if __name__ == "__main__":
    sys.exit(main())
