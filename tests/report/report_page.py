#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""`production report` on a SQLite store filled by hand: its text, its JSON
document, its refusals, and its HTML page parsed as XML (so an unescaped value or
an unclosed element fails), or with --browser rendered by headless Chromium and
the screenshot checked for the chart's colours.

Usage: test_report_page [--browser]   (the tool is looked for beside this script)
"""

import datetime
import json
import os
import pathlib
import sqlite3
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CLI = pathlib.Path(__file__).resolve().parent / "qbr5150-cli"
ODD_STATION = "<b>Tom & \"Jerry's\"</b>"
SINCE = "2026-12-08T09:00+01:00"
ZONE = datetime.timezone(datetime.timedelta(hours=1))

# station, programmer, counter, hour, then the chips of that hour: ok, failed, interrupted, in work
FIXTURE = [
    ("line-1", "emulated-1", "board", 8, 2, 0, 0, 0),  # before SINCE
    ("line-1", "emulated-1", "board", 9, 5, 1, 0, 0),
    ("line-1", "emulated-2", "board", 9, 4, 0, 1, 0),
    ("line-1", "emulated-1", "board", 10, 6, 0, 0, 0),
    ("line-1", "emulated-2", "board", 10, 5, 1, 0, 1),
    (ODD_STATION, "emulated-1", "default", 9, 3, 0, 0, 0),
    (ODD_STATION, "emulated-1", "default", 11, 4, 2, 1, 0),
]
RESULTS = ("ok", "failed", "interrupted", "taken")
COUNTERS = [("board", 200, 1000, "0x100,dec,8"), ("default", 100, None, ""), ("last", 50, 50, ""),
            ("spare", 51, 50, "")]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def run(*arguments, lang="en"):
    result = subprocess.run([str(CLI), "--lang", lang, "production", "report", *arguments],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    return result.returncode, result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")


def make_store(path):
    """The store made by the tool itself in an empty file, then filled as stations would.
    Returns the numbers of the interrupted and failed chips of the period."""
    path.touch()
    code, _, err = run(str(path))
    check(code == 0, f"an empty store: exit {code}: {err}")
    numbers = {"interrupted": [], "failed": []}
    serial = {"board": 100, "default": 1}
    with sqlite3.connect(path) as db:
        db.executemany("INSERT INTO counters (name, next_number, last_number, format) VALUES (?, ?, ?, ?)", COUNTERS)
        for station, programmer, counter, hour, *counts in FIXTURE:
            minute = 0
            for result, count in zip(RESULTS, counts):
                for _ in range(count):
                    at = datetime.datetime(2026, 12, 8, hour, minute, 30, tzinfo=ZONE)
                    minute += 1
                    db.execute("INSERT INTO chips (at, at_ms, station, programmer, chip, command, counter, serial, "
                               "result, version, owner) VALUES (?, ?, ?, ?, 'W25Q32', 'auto', ?, ?, ?, '0.1.0', 'x')",
                               (at.strftime("%Y-%m-%dT%H:%M:%S%z"), int(at.timestamp() * 1000), station, programmer,
                                counter, serial[counter], result))
                    if result in numbers and hour >= 9:
                        numbers[result].append((at, counter, serial[counter]))
                    serial[counter] += 1
    return {result: [number for _, *number in sorted(chips)] for result, chips in numbers.items()}


def cells(row):
    return ["".join(cell.itertext()).strip() for cell in row]


def station_table(page, name):
    for table in page.iter("table"):
        caption = table.find("caption")
        if table.get("class") == "station" and caption is not None and caption.text == name:
            return table
    raise Failure(f"no table for station {name!r}")


def check_page(source, numbers):
    # Parsed as XML: stricter than a browser, so a stray '<' or '&' from the store fails here.
    check("<b>Tom" not in source, "the odd station's name is not escaped")
    page = ET.fromstring(source.split("\n", 1)[1])  # after <!DOCTYPE html>
    check(not any(page.iter("script")), "a script")
    check(all(not e.get("href") and not e.get("src") for e in page.iter()), "a link to another resource")

    line1 = station_table(page, "line-1")
    rows = [cells(r) for r in line1.find("tbody")] + [cells(r) for r in line1.find("tfoot")]
    check(rows == [["emulated-1", "11", "1", "0", "0", "91.7 %"], ["emulated-2", "9", "1", "1", "1", "81.8 %"],
                   ["all", "20", "2", "1", "1", "87.0 %"]], f"line-1's table: {rows}")
    odd = [cells(r) for r in station_table(page, ODD_STATION).find("tfoot")]
    check(odd == [["all", "7", "2", "1", "0", "70.0 %"]], f"the odd station's table: {odd}")

    svg = page.find(".//{http://www.w3.org/2000/svg}svg")
    check(svg is not None, "no chart")
    bars = [r.get("class") for r in svg.iter("{http://www.w3.org/2000/svg}rect") if "bar" in r.get("class", "")]
    # 09: ok, failed, interrupted; 10: ok, failed, in work; 11: ok, failed, interrupted
    check(sorted(bars) == sorted(["bar ok"] * 3 + ["bar failed"] * 3 + ["bar interrupted"] * 2 + ["bar work"]),
          f"the chart's bars: {bars}")

    for kind in ("interrupted", "failed"):
        table = next((t for t in page.iter("table") if t.get("class") == "chips " + kind), None)
        check(table is not None, f"no table of {kind} chips")
        listed = [[c[0], int(c[1])] for c in map(cells, table.find("tbody"))]
        check(listed == numbers[kind], f"{kind} chips: {listed}, not {numbers[kind]}")
    counters = [cells(r)[:4] for r in next(t for t in page.iter("table") if t.get("class") == "counters").find("tbody")]
    check(counters == [["board", "200", "1000", "801"], ["default", "100", "\u2014", "no limit"],
                       ["last", "50", "50", "1"], ["spare", "51", "50", "0"]], f"counters: {counters}")


def check_text_and_json(store):
    code, out, err = run(str(store), "--since", SINCE)
    check(code == 0, f"text: exit {code}: {err}")
    check("Yield: 81.8 % (27 ok of 33 finished)" in out, f"the text's yield: {out}")
    check(any(line.split() == ["line-1", "all", "20", "2", "1", "1", "87.0", "%"] for line in out.splitlines()),
          f"the text's station line: {out}")

    code, out, err = run(str(store), "--json")
    document = json.loads(out)
    check(code == 0 and document["ok"], f"json: exit {code}: {err}")
    chips = document["chips"]
    check((chips["ok"], chips["failed"], chips["interrupted"], chips["in_work"]) == (29, 4, 2, 1),
          f"every record's counts: {chips}")
    check([s["station"] for s in document["stations"]] == [ODD_STATION, "line-1"], "stations by name")


def check_refusals(directory, store):
    cases = [
        (["--since", "2026-12-08T25:00"], 2, "usage"),
        (["--html", "-"], 2, "usage"),  # with --json: both on standard output
        (["--html", str(directory)], 4, "not-a-regular-file"),
        (["--html", str(store)], 2, "usage"),  # the page would replace the records
    ]
    for arguments, expected, error in cases:
        code, out, _ = run(str(store), *arguments, "--json")
        check(code == expected and json.loads(out)["error"]["code"] == error, f"{arguments}: exit {code}, {out}")
    check(run(str(store))[0] == 0, "the store is gone after the refusals")
    missing = directory / "no-such.db"
    for name, expected in ((missing, 4), (directory, 4)):
        code, out, _ = run(str(name), "--json")
        check(code == expected and json.loads(out)["error"]["code"] == "store-error", f"store {name}: {code} {out}")
    check(not missing.exists(), "a report made a store of a mistyped name")


def check_browser(page, directory):
    shot = directory / "page.png"
    command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
               f"--screenshot={shot}", "--window-size=1200,900", page.as_uri()]
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=100,
                            env=dict(os.environ, HOME=str(directory)))
    check(shot.exists(), f"no screenshot: {result.stdout.decode(errors='replace')[-2000:]}")
    from PIL import Image  # Debian's python3-pil; only the browser's check needs it

    with Image.open(shot) as image:
        pixels = list(image.convert("RGB").getdata())
    ink = sum(1 for p in pixels if min(p) < 230)
    check(ink > len(pixels) // 20, f"the page looks blank: {ink} of {len(pixels)} pixels not white")
    # The chart's bars, in the colours of ok and failed.
    for name, colour in (("ok", (0x2F, 0x9E, 0x5A)), ("failed", (0xD6, 0x45, 0x45))):
        count = sum(1 for p in pixels if all(abs(a - b) < 8 for a, b in zip(p, colour)))
        check(count > 500, f"hardly any {name} colour on the screenshot: {count} pixels")


def main():
    with tempfile.TemporaryDirectory(prefix="qbr5150-report-") as temporary:
        directory = pathlib.Path(temporary)
        store, page = directory / "line.db", directory / "report.html"
        try:
            numbers = make_store(store)
            code, _, err = run(str(store), "--since", SINCE, "--html", str(page))
            check(code == 0, f"page: exit {code}: {err}")
            if "--browser" in sys.argv:
                check_browser(page, directory)
            else:
                check_page(page.read_text(encoding="utf-8"), numbers)
                check_text_and_json(store)
                check_refusals(directory, store)
                code, out, err = run(str(store), "--html", "-", lang="zh")
                check(code == 0 and '<html lang="zh-CN">' in out and "良率" in out, f"the Chinese page: {err}")
        except Failure as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
