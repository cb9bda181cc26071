#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs the command examples of the documents, so that a changed option or command
breaks the build rather than the reader.

An example is a line of a ```sh block (README.md), of a .nf/.fi block (the man
pages) or of a <pre> block (the window's manuals). A comment in the document's
source says how to run it, for the block it precedes or, inside a roff or HTML
block, for the next line:

    <!-- doc-test: emulate -->           .\\" doc-test: emulate
        add --emulate after the program's name (the text says to, for trying the
        example without a programmer)
    <!-- doc-test: run -->               run it as written
    <!-- doc-test: skip (REASON) -->     don't run it, and say why

An example without a comment is run as written when it needs no programmer (chips,
chip, chip-sum, production, the database tool) or names the emulator or a replay
itself; any other is an error, so that no example goes untested unnoticed. The
exit status an example must end with is 0, unless its shell comment promises
another ("exit status 1").

Each block runs in a temporary directory of its own, its lines in turn, with
build/ and data/ linking to the build and the sources, the programs on the PATH
and HOME inside it; an input file a line names that no line before made is made
as a blank image (or a recorded trace for --replay).

Usage: doc_examples.py BUILD_DIR SOURCE_DIR [--no-window]
(--no-window: the build has no window, whose examples are then listed as not run)
"""

import collections
import html
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

DOCUMENTS = ["README.md", "data/qbr5150-cli.1", "data/qbr5150.1", "data/manual_en.html", "data/manual_zh.html"]
PROGRAMS = {"qbr5150-cli", "qbr5150", "qbr5150-chipdb"}
NO_PROGRAMMER_COMMANDS = {"chips", "chip", "chip-sum", "production"}
COMMANDS = NO_PROGRAMMER_COMMANDS | {"detect", "read", "write", "verify", "erase", "auto", "version", "serial",
                                     "selftest", "update-firmware", "link", "doctor", "programmers", "blank-check"}
IMAGE_INPUT_COMMANDS = {"write", "verify", "auto", "chip-sum", "update-firmware"}
DIRECTIVE = re.compile(r"doc-test:\s*(emulate|run|skip\s*\(([^)]+)\))")
PROMISED_EXIT = re.compile(r"exit status (\d+)")
EXAMPLE_TIMEOUT = 60


# An example's place is "document:line".
Example = collections.namedtuple("Example", "where text directive")


def directive_in(text):
    match = DIRECTIVE.search(text)
    if not match:
        return None
    return ("skip", match.group(2).strip()) if match.group(2) else (match.group(1), None)


BLOCK = {".md": re.compile(r"^[ \t]*```sh\n(.*?)^[ \t]*```", re.S | re.M),
         ".1": re.compile(r"^\.nf\n(.*?)^\.fi", re.S | re.M),
         ".html": re.compile(r"<pre>(.*?)</pre>", re.S)}


def example_text(kind, raw):
    """The command a line of a block holds, or '' for none (a roff request, a comment)."""
    if kind == ".1":
        text = "" if raw.startswith(".") else raw.replace("\\-", "-").replace("\\e", "\\").replace("\\&", "")
    else:
        text = html.unescape(re.sub(r"<[^>]*>", "", raw)) if kind == ".html" else raw
    return "" if text.lstrip().startswith("#") else text.strip()


def directive_before(document, text, start, stop):
    """The directive on the last line with text between start and stop, where a block
    opens; one on any other line there has no example block right after it."""
    lines = text[start:stop].rstrip().splitlines()
    for index, line in enumerate(lines[:-1] if stop < len(text) else lines):
        if directive_in(line):
            number = text.count("\n", 0, start) + index + 1
            raise ValueError(f"{document}:{number}: a doc-test comment with no example block right after it")
    return directive_in(lines[-1]) if lines else None


def examples_of(document, text):
    """The example blocks of a document, each a list of Examples."""
    kind = pathlib.Path(document).suffix
    for number, line in enumerate(text.splitlines(), 1):
        if "doc-test" in line and not directive_in(line):
            raise ValueError(f"{document}:{number}: a doc-test comment that is none of emulate, run, skip (REASON)")
    blocks, end = [], 0
    for match in BLOCK[kind].finditer(text):
        directive, own = directive_before(document, text, end, match.start()), None
        blocks.append([])
        for number, raw in enumerate(match.group(1).split("\n"), text.count("\n", 0, match.start(1)) + 1):
            if directive_in(raw):
                own = directive_in(raw)
            elif example_text(kind, raw):
                blocks[-1].append(Example(f"{document}:{number}", example_text(kind, raw), own or directive))
                own = None
        end = match.end()
    directive_before(document, text, end, len(text))
    return blocks


def words_of(text):
    """The words of the line's first command: a pipe or a list ends it."""
    try:
        lexer = shlex.shlex(text, posix=True, punctuation_chars=True)
        lexer.whitespace_split = True
        words = list(lexer)
    except ValueError:
        return []
    ends = [i for i, word in enumerate(words) if word in ("|", "||", "&&", ";", "&", "|&")]
    return words[:ends[0]] if ends else words


def program_index(words):
    """Where the program's name stands, after any VARIABLE=value; None for another program."""
    index = 0
    while index < len(words) and re.fullmatch(r"[A-Z_]+=\S*", words[index]):
        index += 1
    return index if index < len(words) and pathlib.Path(words[index]).name in PROGRAMS else None


def classify(example):
    """'run', 'emulate', ('skip', reason), or an error text."""
    if example.directive and example.directive[0] == "skip":
        return example.directive
    words = words_of(example.text)
    index = program_index(words)
    if index is None:
        return "not a command of this project's programs; mark it skip with the reason"
    program = pathlib.Path(words[index]).name
    if program == "qbr5150" and NO_WINDOW:
        return ("skip", "the window is not built")
    if not (BUILD / program).exists():
        return f"{program} is not built"
    if example.directive:
        return example.directive[0]
    if program == "qbr5150" and "--screenshot" not in words:
        return "opens the window and waits for its user; mark it skip with the reason"
    command = next((w for w in words[index + 1:] if w in COMMANDS), None)
    emulated = any(w.startswith(("--emulate", "--replay")) for w in words)
    if program == "qbr5150-chipdb" or emulated or command in NO_PROGRAMMER_COMMANDS:
        return "run"
    return "needs a programmer: mark it emulate (the text says to add --emulate) or skip with the reason"


def with_emulator(text):
    if re.search(r"\s--(emulate|replay)", text):
        return text
    return re.sub(r"(^|\s)((?:build/)?qbr5150(?:-cli)?)(?=\s|$)", r"\1\2 --emulate", text, count=1)


def make_blank_input(path):
    if path.suffix.lower() == ".jsonl":
        shutil.copy(SOURCE / "tests/traces/read-at24c02.jsonl", path)
    elif path.suffix.lower().endswith("hex"):
        path.write_text(":020000040000FA\n:10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\n:00000001FF\n")
    else:
        path.write_bytes(b"\xff" * 16)


def make_inputs(words, directory):
    """Makes the input files `words` name and no earlier line made: a replayed trace,
    the image a command reads, the image the window loads."""
    names = [after for word, after in zip(words, words[1:]) if word == "--replay"]
    command_at = next((i for i, w in enumerate(words) if w in IMAGE_INPUT_COMMANDS), None)
    if command_at is not None:
        names += [w for w in words[command_at + 1:] if not w.startswith(("-", ">"))][-1:]
    index = program_index(words)
    if index is not None and pathlib.Path(words[index]).name == "qbr5150":
        names += [w for w in words if re.search(r"\.(hex|bin)$", w)]
    for name in names:
        if not (directory / name).exists() and not name.startswith(("/", "-")):
            make_blank_input(directory / name)


def prepare(directory):
    (directory / "build").symlink_to(BUILD)
    (directory / "data").symlink_to(SOURCE / "data")
    (directory / "home").mkdir()
    (directory / "bin").mkdir()
    for program in PROGRAMS:
        (directory / "bin" / program).symlink_to(BUILD / program)


def run(example, how, directory):
    text = with_emulator(example.text) if how == "emulate" else example.text
    make_inputs(words_of(text), directory)
    comment = text.split(" #", 1)[1] if " #" in text else ""
    promised = int(m.group(1)) if (m := PROMISED_EXIT.search(comment)) else 0
    environment = dict(os.environ, HOME=str(directory / "home"), PATH=f"{directory / 'bin'}:{os.environ['PATH']}")
    try:
        done = subprocess.run(["bash", "-o", "pipefail", "-c", text], cwd=directory, env=environment, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=EXAMPLE_TIMEOUT)
    except subprocess.TimeoutExpired:
        return f"did not end within {EXAMPLE_TIMEOUT} s: {text}"
    if done.returncode != promised:
        tail = (done.stderr + done.stdout).decode(errors="replace").strip().splitlines()[-6:]
        return f"exit status {done.returncode}, the text promises {promised}: {text}\n      " + "\n      ".join(tail)
    return None


def main():
    failures, counts = [], {"ran": 0, "skipped": 0}
    for document in DOCUMENTS:
        try:
            blocks = examples_of(document, (SOURCE / document).read_text(encoding="utf-8"))
        except ValueError as error:
            failures.append(str(error))
            continue
        if not any(blocks):
            failures.append(f"{document}: no examples found (is the extraction broken?)")
        for block in blocks:
            with tempfile.TemporaryDirectory(prefix="qbr5150-doc-") as name:
                directory = pathlib.Path(name)
                prepare(directory)
                for example in block:
                    how = classify(example)
                    if isinstance(how, tuple):
                        counts["skipped"] += 1
                        print(f"skip {example.where}: {how[1]}: {example.text}")
                    elif how not in ("run", "emulate"):
                        failures.append(f"{example.where}: {how}: {example.text}")
                    else:
                        counts["ran"] += 1
                        failure = run(example, how, directory)
                        print(f"{'FAIL' if failure else 'ok  '} {example.where}: {example.text}")
                        if failure:
                            failures.append(f"{example.where}: {failure}")
    print(f"{counts['ran']} examples run, {counts['skipped']} marked as not runnable here")
    for failure in failures:
        print("FAILED", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4) or sys.argv[3:] not in ([], ["--no-window"]):
        sys.exit(__doc__)
    BUILD, SOURCE = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve()
    NO_WINDOW = sys.argv[3:] == ["--no-window"]
    sys.exit(main())
