"""Texts a controller writes stay data in every output borne-scenario writes.

The separator-texts controller writes a tab, a line end, a space, a double quote, '<', '&', a backslash
and a byte above 0x7F into Evenement and the display at every turn. Each output is read back by its own
standard reader: the turn log split on tabs (escapes undone), the waveform by a small grammar, the JUnit
report by an XML parser, the grades by a CSV reader, coverage.json by a JSON parser.

A class's controllers run out of the bench's process and reach the display through the terminal's
classes only: the class is run on the controller built so (HOSTED_SO), which writes the display.

usage: separator_texts.py BORNE_SCENARIO CONTROLLER_SO WORK SETTINGS_FOLDER HOSTED_SO
"""
import csv
import json
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

program, plugin, work, settings = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3]), Path(sys.argv[4])
hosted = Path(sys.argv[5])
TEXT = "a\tb\nc \"d<e&f\\g\u00e9"  # as the controller writes it, in UTF-8
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*arguments, status):
    done = subprocess.run([program, *arguments], cwd=work, capture_output=True)
    check(done.returncode == status, f"{' '.join(arguments)}: exit {done.returncode}, {done.stderr!r}")
    return done


def unescape_events(field):
    # The turn log's escapes: \\ \t \n \r \s, events separated by single spaces.
    if field == "":
        return []
    names = {"t": "\t", "n": "\n", "r": "\r", "s": " "}
    events, current, i = [], "", 0
    while i < len(field):
        c = field[i]
        if c == " ":
            events.append(current)
            current = ""
        elif c == "\\" and i + 1 < len(field):
            i += 1
            current += names.get(field[i], field[i])
        else:
            current += c
        i += 1
    return events + [current]


def check_vcd(text):
    # Header sections end with $end; then #TIME lines and value changes, every token free of whitespace
    # (an empty string is written "s ID").
    header, _, body = text.partition("$enddefinitions $end\n")
    check(body != "" or header.endswith("$end\n"), "vcd: no end of definitions")
    ids = set(re.findall(r"\$var \S+ \d+ (\S+) \S+ \$end", header))
    check(len(ids) > 0, "vcd: no variable")
    for line in body.splitlines():
        if line in ("$dumpvars", "$end") or re.fullmatch(r"#\d+", line):
            continue
        m = re.fullmatch(r"(?:[01]|b[01]+ |s\S* )(\S+)", line)
        check(m is not None and m.group(1) in ids, f"vcd: line {line!r} breaks the grammar")


shutil.rmtree(work, ignore_errors=True)
work.mkdir(parents=True)
for name in ("Config.cfg", "CHIP.INI"):
    shutil.copy(settings / name, work / name)
(work / "s.scn").write_text("turn 2\nexpect Edit1.Text x\n")

# One script: the turn log and the waveform.
run("--controller", str(plugin), "--turns", "t.tsv", "--vcd", "w.vcd", "--coverage", "cov", "s.scn", status=1)
lines = (work / "t.tsv").read_bytes().decode("utf-8").split("\n")
check(lines[-1] == "", "turn log: no final line end")
rows = [line.split("\t") for line in lines[:-1]]
check(rows[0] == ["turn", "start_ms", "start_state", "events", "end_state", "rows", "status"], "turn log: header")
check(len(rows) == 3, f"turn log: {len(rows) - 1} turns for 2")
for row in rows[1:]:
    check(len(row) == 7, f"turn log: {len(row)} fields in {row!r}")
    check(len(row) > 3 and unescape_events(row[3])[:1] == [TEXT], f"turn log: events {row[3:4]!r}")
check_vcd((work / "w.vcd").read_text("utf-8"))
coverage = json.loads((work / "cov" / "coverage.json").read_text("utf-8"))
check(set(coverage) == {"modes", "total"}, "coverage.json: its keys")

# A class: the JUnit report and the grades, one controller named as a formula.
lab = work / "lab" / "one"
lab.mkdir(parents=True)
for name in ("Config.cfg", "CHIP.INI"):
    shutil.copy(settings / name, lab / name)
(lab / "scenario.scn").write_text("turn 2\nexpect Edit1.Text x\n")
shutil.copy(hosted, work / "=1+1.so")
run("--suite", "lab", "--controllers", "=1+1.so", "--junit", "j.xml", "--grades", "g.csv", status=1)
cases = ET.parse(work / "j.xml").getroot().iter("failure")
messages = " ".join((f.get("message") or "") + (f.text or "") for f in cases)
check('"d<e&f' in messages and "\u00e9" in messages, f"junit: the text is not read back: {messages!r}")
with open(work / "g.csv", newline="", encoding="utf-8") as f:
    grades = list(csv.reader(f))
check(grades[0] == ["controller", "folder", "result", "first failure"], f"grades: header {grades[0]!r}")
check(len(grades) == 2 and all(len(r) == 4 for r in grades), f"grades: {grades!r}")
check(grades[1][0] == "'=1+1.so", f"grades: a formula cell {grades[1][0]!r}")
check('"d<e&f' in grades[1][3], f"grades: the failure {grades[1][3]!r}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
