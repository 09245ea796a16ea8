#!/usr/bin/env python3
"""Mutation testing: how many realistic faults in lib/ does the test suite catch?

Each fault in the list (scripts/mutants.txt) names a file, an exact piece of
text that occurs once in it and its replacement. One at a time the fault is
applied, the project rebuilt incrementally (ccache, few jobs), the suite run
under a timeout and the file restored. A fault is "killed" when the build
succeeds and some test fails, "survived" when every test passes, "build-fail"
when it does not compile, "missing" when its text is not found (the code
moved or changed: update the list). Faults marked `equivalent = <why>` do not
change behaviour and are not counted.

Usage: scripts/mutate.py [--build DIR] [--list FILE] [--only ID,ID] [--all] [--jobs N]
"""
import argparse
import configparser
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def load_mutants(path):
    cp = configparser.ConfigParser(delimiters=("=",), interpolation=None,
                                   comment_prefixes=("#",), empty_lines_in_values=False)
    cp.optionxform = str
    with open(path, encoding="utf-8") as f:
        cp.read_file(f)
    out = []
    for mid in cp.sections():
        s = cp[mid]
        unescape = lambda t: t.replace("\\n", "\n").replace("\\t", "\t")
        out.append({"id": mid, "file": s["file"], "find": unescape(s["find"]),
                    "repl": unescape(s.get("repl", "")), "equivalent": s.get("equivalent"),
                    "extra": s.get("extra") == "1"})
    return out


def locate(rel):
    """The file at its listed path, or the only file under lib/ with its name."""
    p = os.path.join(ROOT, rel)
    if os.path.isfile(p):
        return p
    name = os.path.basename(rel)
    hits = [os.path.join(d, name) for d, _, files in os.walk(os.path.join(ROOT, "lib")) if name in files]
    return hits[0] if len(hits) == 1 else None


CHILD = []  # the running build or test process group, ended with us


def run(cmd, timeout, log):
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    CHILD[:] = [proc]
    try:
        out, _ = proc.communicate(timeout=timeout)
        log.write(out.decode(errors="replace"))
        return proc.returncode
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        log.write("\n[timeout]\n")
        return -1
    finally:
        CHILD.clear()


def stop_child():
    for proc in CHILD:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build-mutate"))
    ap.add_argument("--list", default=os.path.join(ROOT, "scripts", "mutants.txt"))
    ap.add_argument("--only", default="")
    ap.add_argument("--all", action="store_true", help="also the faults marked extra")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--test-timeout", type=int, default=60, help="seconds per test")
    args = ap.parse_args()

    mutants = [m for m in load_mutants(args.list) if args.all or not m["extra"]]
    if args.only:
        keep = set(args.only.split(","))
        mutants = [m for m in mutants if m["id"] in keep]
    build = os.path.abspath(args.build)
    log = open(os.path.join(build if os.path.isdir(build) else ROOT, "mutate.log"), "w")

    if not os.path.isfile(os.path.join(build, "CMakeCache.txt")):
        gen = ["-G", "Ninja"] if subprocess.run(["which", "ninja"], capture_output=True).returncode == 0 else []
        # -O1: the faults change no optimisation question, and -O1 builds
        # several times faster than -O3.
        if run(["cmake", "-S", ROOT, "-B", build, *gen, "-DCMAKE_BUILD_TYPE=None",
                "-DCMAKE_C_FLAGS=-O1 -DNDEBUG", "-DCMAKE_CXX_FLAGS=-O1 -DNDEBUG",
                "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"], 600, log):
            sys.exit("configure failed, see mutate.log")
    build_cmd = ["cmake", "--build", build, f"-j{args.jobs}"]
    test_cmd = ["ctest", "--test-dir", build, f"-j{args.jobs}", "--stop-on-failure",
                "--timeout", str(args.test_timeout)]
    if run(build_cmd, 3600, log) or run(test_cmd, 1800, log):
        sys.exit("the unmutated tree does not build or pass its tests; see mutate.log")

    current = {}  # path -> original text, restored on any exit

    def restore(*_):
        for path, text in current.items():
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        current.clear()

    def on_signal(*_):
        stop_child()
        restore()
        os._exit(1)

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    results = []
    try:
        for m in mutants:
            t0 = time.time()
            path = locate(m["file"])
            status = None
            if m["equivalent"]:
                status = "equivalent"
            elif not path:
                status = "missing"
            else:
                text = open(path, encoding="utf-8").read()
                if text.count(m["find"]) != 1:
                    status = "missing"
            if status is None:
                current[path] = text
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text.replace(m["find"], m["repl"], 1))
                log.write(f"\n===== {m['id']}\n")
                if run(build_cmd, 900, log):
                    status = "build-fail"
                else:
                    status = "survived" if run(test_cmd, 20 * args.test_timeout, log) == 0 else "killed"
                restore()
            results.append((m["id"], status))
            print(f"{m['id']:32s} {status:10s} {time.time() - t0:5.1f}s", flush=True)
    finally:
        stop_child()
        restore()
        run(build_cmd, 3600, log)  # leave the build matching the sources

    count = lambda s: sum(1 for _, st in results if st == s)
    live = count("killed") + count("survived")
    print(f"\nkilled {count('killed')}  survived {count('survived')}  build-fail {count('build-fail')}  "
          f"equivalent {count('equivalent')}  missing {count('missing')}")
    if live:
        print(f"score: {count('killed')}/{live} = {100.0 * count('killed') / live:.1f}% of behaviour-changing faults killed")
    survivors = [i for i, st in results if st == "survived"]
    if survivors:
        print("survivors: " + " ".join(survivors))
    missing = [i for i, st in results if st == "missing"]
    if missing:
        print("missing (update the list): " + " ".join(missing))


if __name__ == "__main__":
    main()
