#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Plants each bug of tests/mutations/*.txt in turn and checks that a test catches it.

Usage: tests/mutations/run.py BUILD_DIR [NAME...]

A bug file reads:
    # what the bug is
    file: src/... (the file to change)
    tests: test_link test_emulator (the test programs expected to catch it)
    --- find
    text that occurs exactly once in the file
    --- replace
    the text that takes its place

For each bug the runner plants it, builds only the named test programs in
BUILD_DIR, runs them, and puts the file back at once, also on Ctrl-C or a
failed build. A bug counts as caught when at least one program fails. The source
is restored by undoing the replacement only, so that edits others made to the
same file meanwhile survive. Exit status 0 when every bug was caught.
"""

import atexit
import os
import pathlib
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
KIT = pathlib.Path(__file__).resolve().parent
RUN_TIMEOUT = 180


class Bug:
    def __init__(self, path):
        self.name = path.stem
        header, rest = path.read_text().split("--- find\n", 1)
        self.find, self.replace = (part.removesuffix("\n") for part in rest.split("--- replace\n", 1))
        fields = dict((part.strip() for part in line.split(":", 1))
                      for line in header.splitlines() if ":" in line and not line.startswith("#"))
        self.file = ROOT / fields["file"]
        self.tests = fields["tests"].split()


def build(build_dir, targets, tries=1):
    """Builds the targets; with more tries, waits for others who may be in the middle of an edit."""
    for attempt in range(tries):
        result = subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", *targets],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if result.returncode == 0 or attempt + 1 == tries:
            return result.returncode == 0, result.stdout
        print("the unchanged tree does not build; trying again in 60 s", flush=True)
        time.sleep(60)


def run_test(build_dir, name, fail_fast=False, skipped=()):
    """The test program's failed tests, or None when it passed; one that runs out of
    time has failed, as under CTest. `skipped` are tests left out of the run."""
    command = [str(pathlib.Path(build_dir) / name)] + (["--gtest_filter=-" + ":".join(skipped)] if skipped else [])
    if name == "test_umockdev":
        command.insert(0, "umockdev-wrapper")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", **({"GTEST_FAIL_FAST": "1"} if fail_fast else {}))
    try:
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                errors="replace", env=env, timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        return ["(time limit)"]
    if result.returncode == 0:
        return None
    failed = {line.split()[3].rstrip(",") for line in result.stdout.splitlines()
              if line.startswith("[  FAILED  ] ") and len(line.split()) > 3 and "." in line.split()[3]}
    return sorted(failed) or ["(crashed)"]


def undo(bug, original, planted):
    """Puts the found text back in place of the planted one, keeping others' edits."""
    text = bug.file.read_text()
    if text == planted:
        bug.file.write_text(original)
    elif text.count(bug.replace) == 1:
        bug.file.write_text(text.replace(bug.replace, bug.find))
    elif text != original:
        print(f"!! {bug.file} changed meanwhile; restore it by hand: {bug.name}", file=sys.stderr)


def try_bug(bug, build_dir, broken, skips, retries=3):
    text = bug.file.read_text()
    if text.count(bug.find) != 1:
        return "stale (text not found once)", []
    planted = text.replace(bug.find, bug.replace)
    if planted.count(bug.replace) != 1:
        return "ambiguous (replacement not unique)", []
    bug.file.write_text(planted)
    try:
        built = build(build_dir, bug.tests)[0]
        if built:
            failed = [f"{t} ({' '.join(cases)})" for t in bug.tests
                      if t not in broken and (cases := run_test(build_dir, t, True, skips.get(t, ()))) is not None]
    finally:
        undo(bug, text, planted)
    if built:
        return ("caught" if failed else "MISSED"), failed
    # The planted text may not compile, or someone else's half-done edit broke the build.
    if retries > 0 and build(build_dir, bug.tests, 10)[0]:
        return try_bug(bug, build_dir, broken, skips, retries - 1)
    return "build failed", []


def start_pg_server(build_dir):
    """The tests of the production store need a PostgreSQL server at QBR_PG_URL, as
    CTest's fixture pg_server gives them; without one, a throwaway server of the
    kit's own runs while the kit does."""
    if os.environ.get("QBR_PG_URL"):
        return
    script = ROOT / "tests" / "support" / "pg-cluster.sh"
    pg_dir = pathlib.Path(build_dir).resolve() / "pg-kit"
    if subprocess.run(["bash", str(script), "start", str(pg_dir)], stdout=subprocess.DEVNULL).returncode == 0:
        os.environ["QBR_PG_URL"] = (pg_dir / "url").read_text().strip()
        atexit.register(subprocess.run, ["bash", str(script), "stop", str(pg_dir)])


def put_back_left_bugs(bugs):
    """A run that was killed outright may have left its bug in place."""
    for bug in bugs:
        text = bug.file.read_text()
        if text.count(bug.find) or text.count(bug.replace) != 1:
            continue
        # A replacement that only removes text can't be told from an edit by someone else.
        if bug.replace in bug.find:
            print(f"!! {bug.file}: the text of {bug.name} is gone; check the file by hand", flush=True)
        else:
            bug.file.write_text(text.replace(bug.replace, bug.find))
            print(f"put back what a killed run left planted: {bug.name}", flush=True)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build_dir, wanted = sys.argv[1], set(sys.argv[2:])
    bugs = [Bug(p) for p in sorted(KIT.glob("*.txt")) if not wanted or p.stem in wanted]
    # SIGTERM ends the run the way Ctrl-C does, so the finally blocks restore the source.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    put_back_left_bugs(bugs)
    targets = sorted({t for bug in bugs for t in bug.tests})
    start_pg_server(build_dir)
    built, log = build(build_dir, targets, 10)
    if not built:
        sys.exit(log[-3000:] + "\nthe unchanged tree does not build")
    # Tests that fail already (others may be half-way through a change) can't tell a
    # planted bug; they are left out, and a program that still fails without them too.
    broken, skips = set(), {}
    for t in targets:
        start = time.monotonic()
        failing = run_test(build_dir, t)
        if failing:
            skips[t] = failing
            if run_test(build_dir, t, skipped=failing) is not None:
                broken.add(t)
        state = "fails" if t in broken else "passes" + (f" without {' '.join(failing)}" if failing else "")
        print(f"unchanged tree: {t} {state} in {time.monotonic() - start:.1f}s", flush=True)

    rows = []
    for bug in bugs:
        start = time.monotonic()
        verdict, failed = try_bug(bug, build_dir, broken, skips)
        rows.append((bug.name, verdict, " ".join(failed), f"{time.monotonic() - start:.0f}s"))
        print(f"{bug.name:36} {verdict:10} {' '.join(failed)}", flush=True)
    # Rebuild the restored tree so no program in BUILD_DIR keeps a planted bug.
    build(build_dir, targets)

    print("\n| bug | result | caught by | time |\n|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    missed = [r for r in rows if r[1] != "caught"]
    print(f"\n{len(rows) - len(missed)} of {len(rows)} caught")
    sys.exit(1 if missed else 0)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit("stopped; every planted bug has been taken out again")
