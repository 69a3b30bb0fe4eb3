#!/usr/bin/env python3
"""Runs the rule-language benchmark programs of bench/programs through the rulecraft program.

Usage: run-programs.py RULECRAFT [--timeout SECONDS] [NAME-PART ...]

Each program runs once, with the statistics watch on, from bench/programs. The table shows its wall
time, the rules it fired (the sum of the "N rules fired." statistics lines), its peak resident memory
and whether its "result: " line is the expected one, so a wrong answer shows up as well as a slow
one. With NAME-PART arguments only the programs whose names contain one of them run. The exit status
is 1 when a program failed, timed out or printed a wrong result.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = os.path.join(HERE, "programs")
RUN_ARGS = ["-e", "(reset)", "-e", "(run)"]


def manners(guests):
    return (f"manners-{guests}", ["manners.clp", f"manners-guests-{guests}.clp"] + RUN_ARGS,
            f"result: manners {guests} guests, {guests} seated, {guests} neighbour pairs of opposite sex "
            "sharing a hobby")


# (name, arguments after the options, expected result line)
BENCHMARKS = [
    manners(16),
    manners(32),
    manners(64),
    manners(128),
    ("closure-300", ["closure.clp"], "result: closure of 300 nodes, 44850 paths"),
    ("churn-200k", ["churn.clp"], "result: churn counter 200000, 200000 items asserted and retracted"),
    ("functions", ["functions.clp"],
     "result: functions fib(23) = 28657, 5133 primes up to 50000, sum of squares to 1500 = 1126125250"),
    ("strings", ["strings.clp"],
     "result: strings 778000 letters, index sum 977970, last window w888-w895-W902-w909-w916-W923-"
     "w930-w937-W944-w951-w958-W965-w972-w979-W986-w993-"),
]

FIRED = re.compile(r"^(\d+) rules fired\.", re.MULTILINE)
# GNU time prints its own line last on standard error; the program's errors come before it.
TIME_LINE = "@@peak-rss-kb "


def run_one(rulecraft, args, timeout):
    """Runs one program; answers (status, stdout, stderr, wall seconds, peak RSS in KiB or None)."""
    command = [rulecraft, "--watch", "statistics"] + args
    gnu_time = shutil.which("time", path="/usr/bin")
    if gnu_time:
        command = [gnu_time, "-f", TIME_LINE + "%M"] + command
    else:
        # Measure in a child of our own, so that its children's peak is this program's alone.
        probe = ("import resource, subprocess, sys\n"
                 "status = subprocess.call(sys.argv[1:])\n"
                 f"sys.stderr.write('{TIME_LINE}%d\\n' % "
                 "resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n"
                 "sys.exit(status)\n")
        command = [sys.executable, "-c", probe] + command
    start = time.monotonic()
    try:
        done = subprocess.run(command, cwd=PROGRAMS, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, "", "", time.monotonic() - start, None
    wall = time.monotonic() - start
    stderr, rss = [], None
    for line in done.stderr.splitlines():
        if line.startswith(TIME_LINE):
            rss = int(line[len(TIME_LINE):])
        else:
            stderr.append(line)
    return done.returncode, done.stdout, "\n".join(stderr), wall, rss


def main():
    parser = argparse.ArgumentParser(description=__doc__.strip().splitlines()[0])
    parser.add_argument("rulecraft")
    parser.add_argument("--timeout", type=float, default=600)
    parser.add_argument("names", nargs="*")
    options = parser.parse_args()
    rulecraft = os.path.abspath(options.rulecraft)
    if not os.access(rulecraft, os.X_OK):
        print(f"{options.rulecraft} is not an executable program", file=sys.stderr)
        return 2

    rows, failed = [], 0
    print(f"{'program':<14} {'time (s)':>9} {'rules fired':>12} {'peak RSS (MiB)':>15}  result")
    for name, args, expected in BENCHMARKS:
        if options.names and not any(part in name for part in options.names):
            continue
        status, out, err, wall, rss = run_one(rulecraft, args, options.timeout)
        fired = sum(int(n) for n in FIRED.findall(out))
        results = [line for line in out.splitlines() if line.startswith("result: ")]
        if status is None:
            verdict = f"TIMED OUT after {options.timeout:g} s"
        elif status != 0:
            verdict = f"FAILED with exit status {status}: {err.strip()[:200]}"
        elif results != [expected]:
            verdict = "WRONG: " + (" | ".join(results) if results else "no result line")
        else:
            verdict = "ok"
        if verdict != "ok":
            failed += 1
        rss_text = f"{rss / 1024:.1f}" if rss is not None else "?"
        print(f"{name:<14} {wall:>9.3f} {fired:>12} {rss_text:>15}  {verdict}", flush=True)
        rows.append(name)
    if not rows:
        print("no program matches " + " ".join(options.names), file=sys.stderr)
        return 2
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
