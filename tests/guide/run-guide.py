#!/usr/bin/env python3
"""Runs the examples of the user's guide (docs/guide/*.md), so that the guide cannot drift from the code.

The fenced blocks of a page, by the tag that opens them (the first word after the fence):

  ```clp       a complete rule-language program, run as `rulecraft [ARGS] example.clp`
  ```cpp       a complete C++ host program (with main), built against the library by tests/guide/
               CMakeLists.txt and run
  ```session   text typed into the program: `rulecraft [ARGS]` runs with the block as its standard input
               (piped input is read as typed, with no prompt printed)
  ```output    the exact standard output of the program block before it
  ```stderr    (optional, right after the output block) the exact standard error; without it, the
               standard error must be empty

Blocks tagged anything else (```text, ```sh, ```cmake ...) are not run. Each program block must be followed
by its output block, with nothing but blank lines between them; an output or stderr block that follows no
program block is an error too. The opening fence of a program block may carry settings after the tag, written
as shell words:

  ```clp args="-q --watch rules" status=1

  args    arguments given to the program before the file (clp, session) or to the host (cpp)
  status  the exit status expected (0 without it)

Every program runs in a scratch directory of its own (also its HOME), with a timeout of 60 seconds. An
output block holds whole lines: the program's output must be empty or end with a line end.

  run-guide.py extract DIR PAGE...      writes each ```cpp block of the pages as DIR/<page>-<n>.cpp (n counts
                                        the page's cpp blocks from 1) and prints the names, one a line
  run-guide.py run RULECRAFT DIR PAGE   runs every example of PAGE, the hosts taken from DIR/<page>-<n>
  run-guide.py self-test RULECRAFT      checks that the harness finds what is wrong with small pages
"""
import difflib
import os
import re
import shlex
import subprocess
import sys
import tempfile

PROGRAM_TAGS = ("clp", "cpp", "session")
SETTINGS = ("args", "status")
TIMEOUT = 60

# A fence at any indentation, so that a block inside a list item is found too.
FENCE = re.compile(r"^( *)(`{3,}|~{3,})(.*)$")


class GuideError(Exception):
    """A page that breaks the conventions above: its file, the line of the block and what is wrong."""


class Block:
    def __init__(self, line, tag, settings, text, end_line, blank_before):
        self.line = line  # of the opening fence, counting from 1
        self.tag = tag
        self.settings = settings
        self.text = text
        self.end_line = end_line  # of the closing fence
        self.blank_before = blank_before  # only blank lines since the previous block


def read_blocks(path):
    """The fenced blocks of a page, in order."""
    with open(path, encoding="utf-8") as page:
        lines = page.read().split("\n")
    blocks = []
    i = 0
    last_end = -1
    while i < len(lines):
        opening = FENCE.match(lines[i])
        if not opening:
            i += 1
            continue
        indent, fence, info = len(opening.group(1)), opening.group(2), opening.group(3).strip()
        if fence[0] == "`" and "`" in info:
            i += 1  # not a fence: inline code at the start of a line
            continue
        start = i
        body = []
        i += 1
        while i < len(lines):
            closing = FENCE.match(lines[i])
            if closing and closing.group(2)[0] == fence[0] and len(closing.group(2)) >= len(fence) \
                    and not closing.group(3).strip():
                break
            line = lines[i]
            # Content lines lose up to the opening fence's indentation.
            strip = len(line) - len(line.lstrip(" "))
            body.append(line[min(strip, indent):])
            i += 1
        if i == len(lines):
            raise GuideError(f"{path}:{start + 1}: the block opened here is never closed")
        try:
            words = shlex.split(info)
        except ValueError as error:
            raise GuideError(f"{path}:{start + 1}: cannot read the block's settings: {error}")
        tag = words[0] if words else ""
        settings = {}
        for word in words[1:]:
            key, equals, value = word.partition("=")
            settings[key] = value if equals else None
        blank_before = all(not line.strip() for line in lines[last_end + 1:start])
        blocks.append(Block(start + 1, tag, settings, "\n".join(body) + "\n" if body else "", i + 1, blank_before))
        last_end = i
        i += 1
    return blocks


class Example:
    def __init__(self, program, output, stderr):
        self.program = program
        self.output = output
        self.stderr = stderr


def read_examples(path):
    """The page's examples: each program block with its output block and optional stderr block."""
    blocks = read_blocks(path)
    examples = []
    i = 0
    while i < len(blocks):
        block = blocks[i]
        if block.tag in ("output", "stderr"):
            raise GuideError(f"{path}:{block.line}: an {block.tag} block that follows no program block "
                             "(```clp, ```cpp or ```session)")
        if block.tag not in PROGRAM_TAGS:
            i += 1
            continue
        for key, value in block.settings.items():
            if key not in SETTINGS:
                raise GuideError(f"{path}:{block.line}: unknown setting '{key}' (known: {', '.join(SETTINGS)})")
            if value is None:
                raise GuideError(f"{path}:{block.line}: the setting '{key}' needs a value ({key}=...)")
        if "status" in block.settings and not re.fullmatch(r"\d{1,3}", block.settings["status"]):
            raise GuideError(f"{path}:{block.line}: status must be a number, not '{block.settings['status']}'")
        if i + 1 == len(blocks) or blocks[i + 1].tag != "output" or not blocks[i + 1].blank_before:
            raise GuideError(f"{path}:{block.line}: the {block.tag} block is not followed by its output "
                             "block (```output, with only blank lines between them)")
        output = blocks[i + 1]
        stderr = None
        i += 2
        if i < len(blocks) and blocks[i].tag == "stderr" and blocks[i].blank_before:
            stderr = blocks[i]
            i += 1
        examples.append(Example(block, output, stderr))
    return examples


def page_name(path):
    return os.path.splitext(os.path.basename(path))[0]


def extract(directory, pages):
    """Writes each cpp block as a source file whose #line directives point back into the page; files are
    rewritten only when their text changed, so that an unchanged example is not rebuilt."""
    os.makedirs(directory, exist_ok=True)
    names = []
    for path in pages:
        count = 0
        try:
            blocks = read_blocks(path)
        except GuideError:
            continue  # the page's test reports it
        for block in blocks:
            if block.tag != "cpp":
                continue
            count += 1
            name = f"{page_name(path)}-{count}"
            text = f'#line {block.line + 1} "{os.path.abspath(path)}"\n' + block.text
            source = os.path.join(directory, name + ".cpp")
            old = None
            if os.path.exists(source):
                with open(source, encoding="utf-8") as existing:
                    old = existing.read()
            if old != text:
                with open(source, "w", encoding="utf-8") as new:
                    new.write(text)
            names.append(name)
    for stale in os.listdir(directory):
        if stale.endswith(".cpp") and stale[:-4] not in names:
            os.remove(os.path.join(directory, stale))
    print("\n".join(names))


def differences(expected, actual, what):
    lines = difflib.unified_diff(expected.splitlines(keepends=True), actual.splitlines(keepends=True),
                                 f"expected {what}", f"actual {what}")
    return "".join(line if line.endswith("\n") else line + "\n\\ no line end\n" for line in lines)


def run_example(path, example, rulecraft, hosts, cpp_number):
    """Runs one example; answers the list of what went wrong (empty when it passed)."""
    program = example.program
    args = shlex.split(program.settings.get("args", ""))
    with tempfile.TemporaryDirectory(prefix="guide-") as work:
        stdin, given = subprocess.DEVNULL, None
        if program.tag == "clp":
            with open(os.path.join(work, "example.clp"), "w", encoding="utf-8") as source:
                source.write(program.text)
            command = [rulecraft] + args + ["example.clp"]
        elif program.tag == "session":
            stdin, given = None, program.text.encode()
            command = [rulecraft] + args
        else:
            host = os.path.join(hosts, f"{page_name(path)}-{cpp_number}")
            if not os.path.exists(host):
                return [f"the host program {host} was not built (build the project first)"]
            command = [host] + args
        env = dict(os.environ, HOME=work, RULECRAFT_HISTORY="")
        try:
            done = subprocess.run(command, cwd=work, env=env, stdin=stdin, input=given, capture_output=True,
                                  timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            return [f"timed out after {TIMEOUT} s"]
    problems = []
    out = done.stdout.decode("utf-8", "replace")
    err = done.stderr.decode("utf-8", "replace")
    status = int(program.settings.get("status", "0"))
    if done.returncode != status:
        problems.append(f"exit status {done.returncode}, expected {status}")
    if out != example.output.text:
        problems.append(f"standard output differs (output block at line {example.output.line}):\n" +
                        differences(example.output.text, out, "output"))
    expected_err = example.stderr.text if example.stderr else ""
    if err != expected_err:
        where = f"stderr block at line {example.stderr.line}" if example.stderr else "no stderr block"
        problems.append(f"standard error differs ({where}):\n" + differences(expected_err, err, "stderr"))
    return problems


def run(rulecraft, hosts, path, report=print):
    """Runs every example of the page; answers 1 when one failed or the page breaks the conventions."""
    try:
        examples = read_examples(path)
    except GuideError as error:
        report(str(error))
        return 1
    failed = 0
    cpp_number = 0
    for example in examples:
        if example.program.tag == "cpp":
            cpp_number += 1
        problems = run_example(path, example, rulecraft, hosts, cpp_number)
        if problems:
            failed += 1
            for problem in problems:
                report(f"{path}:{example.program.line}: {example.program.tag} example: {problem}")
    report(f"{page_name(path)}: {len(examples) - failed} passed, {failed} failed")
    return 1 if failed else 0


# The harness checks itself on small pages: each case is a page, the status run() must answer and texts its
# report must hold. A harness that silently skipped examples would otherwise pass every page.
SELF_TEST_CASES = [
    ("passes", "# A page\n\n```clp\n(+ 1 2)\n```\n\n```output\n3\n```\n\n```text\nnot run\n```\n\n"
     "```clp args=\"-q\" status=1\n(printout werror \"oops\" crlf)\n(+ 1 two)\n```\n```output\n```\n"
     "```stderr\noops\nNot a numeric type.  Value (two) is a dtAtom type\n```\n\n"
     "```session\n(+ 1\n 2)\n```\n```output\n3\n```\n", 0, ["passes: 3 passed, 0 failed"]),
    ("output", "text\n```clp\n(+ 1 2)\n```\n```output\n4\n```\n", 1,
     ["output.md:2: clp example: standard output differs (output block at line 5)", "-4", "+3"]),
    ("status", "```clp\n(+ 1 two)\n```\n```output\n```\n", 1,
     ["status.md:1: clp example: exit status 1, expected 0", "standard error differs (no stderr block)"]),
    ("indented", "- a list item:\n\n  ```clp\n  (+ 1 2)\n  ```\n\n  ```output\n  5\n  ```\n", 1,
     ["indented.md:3: clp example: standard output differs"]),
    ("missing", "```clp\n(+ 1 2)\n```\n\nwords between\n\n```output\n3\n```\n", 1,
     ["missing.md:1: the clp block is not followed by its output block"]),
    ("stray", "```output\n3\n```\n", 1, ["stray.md:1: an output block that follows no program block"]),
    ("setting", "```clp arguments=-q\n(+ 1 2)\n```\n```output\n3\n```\n", 1,
     ["setting.md:1: unknown setting 'arguments'"]),
    ("unclosed", "```clp\n(+ 1 2)\n", 1, ["unclosed.md:1: the block opened here is never closed"]),
    ("host", "```cpp\nint main() {}\n```\n```output\n```\n", 1, ["host.md:1: cpp example: the host program"]),
]


def self_test(rulecraft):
    failures = 0
    with tempfile.TemporaryDirectory(prefix="guide-self-test-") as work:
        for name, text, status, expected in SELF_TEST_CASES:
            path = os.path.join(work, name + ".md")
            with open(path, "w", encoding="utf-8") as page:
                page.write(text)
            lines = []
            answer = run(rulecraft, work, path, lines.append)
            report = "\n".join(lines).replace(work + os.sep, "")
            missing = [text for text in expected if text not in report]
            if answer != status or missing:
                failures += 1
                print(f"self-test {name}: status {answer} (expected {status}), missing {missing}, report:\n{report}")
    print(f"{len(SELF_TEST_CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


def main(argv):
    if len(argv) >= 3 and argv[1] == "extract":
        try:
            extract(argv[2], argv[3:])
        except GuideError as error:
            print(error, file=sys.stderr)
            return 1
        return 0
    if len(argv) == 5 and argv[1] == "run":
        return run(argv[2], argv[3], argv[4])
    if len(argv) == 3 and argv[1] == "self-test":
        return self_test(argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
