#!/usr/bin/env python3
"""The rulecraft program's prompt on a pseudo-terminal: Tab completes function, construct and watch names,
an unfinished input continues on the next line, and the history is kept in ~/.rulecraft_history from one
session to the next.

Usage: prompt-test.py RULECRAFT. Exits 77 (skipped) when the line editor cannot be loaded."""
import ctypes.util
import os
import pty
import select
import sys
import tempfile
import time


def session(program, home, keys):
    """Runs the program on a terminal, typing each of KEYS once the output has settled; answers what the
    terminal showed."""
    env = dict(os.environ, HOME=home, TERM="xterm")
    env.pop("RULECRAFT_HISTORY", None)
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(program, [program], env)
    shown = b""

    def settle(limit=5.0):
        nonlocal shown
        end = time.time() + limit
        quiet_since = time.time()
        while time.time() < end and time.time() - quiet_since < 0.3:
            ready, _, _ = select.select([fd], [], [], 0.05)
            if ready:
                try:
                    data = os.read(fd, 4096)
                except OSError:
                    return False
                if not data:
                    return False
                shown += data
                quiet_since = time.time()
        return True

    settle()
    for key in keys:
        os.write(fd, key)
        if not settle():
            break
    os.waitpid(pid, 0)
    os.close(fd)
    return shown.decode(errors="replace")


def main():
    program = sys.argv[1]
    if not ctypes.util.find_library("edit"):
        print("libedit is not installed: the prompt reads plainly, nothing to test")
        return 77
    failures = []

    def expect(text, shown, what):
        if text not in shown:
            failures.append(f"{what}: {text!r} not shown in:\n{shown}")

    with tempfile.TemporaryDirectory() as home:
        shown = session(program, home, [
            b'(str-ca\t"a" "b")\r',                # a function name
            b"(deftemplate order (slot id))\r",
            b"(assert (ord\t(id 1)))\r",           # a template the session defined
            b"(watch stat\t)\r",                   # a watch name
            b"(+ 40\r", b"2)\r",                   # an input over two lines
            b"(exit)\r"])
        expect('"ab"', shown, "function completion")
        expect("<Fact-1>", shown, "construct completion")
        expect("...> ", shown, "continuation prompt")
        expect("42", shown, "two-line input")
        history = os.path.join(home, ".rulecraft_history")
        if not os.path.exists(history):
            failures.append("no history file was written")
        else:
            with open(history, encoding="utf-8", errors="replace") as kept:
                text = kept.read()
            expect("(watch\\040statistics\\040)", text, "watch completion, kept in the history")
            expect("(+\\04040\\0402)", text, "a two-line input kept as one entry")

        # The next session finds the inputs again: two steps back is the two-line input.
        shown = session(program, home, [b"\x1b[A\x1b[A\r", b"(exit)\r"])
        expect("42", shown, "history recalled")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
