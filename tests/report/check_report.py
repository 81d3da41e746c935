"""The report pages of a small class, opened from disk in a real headless browser: a lab graded (three
students, one with a hostile name, one whose name holds a quote, a control byte and bytes that are not
UTF-8, two exercises) and a class's controllers compared with the terminal's own.

  check_report.py BORNE_SCENARIO GRADING_FOLDER CONTROLLERS_FOLDER CLASS_LAB
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402

HOSTILE = "<img src=x onerror=alert(1)>"
ODD = b'carol "q" \x01\xff'
ODD_SHOWN = 'carol "q" \u2401\ufffd'

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def run(arguments, cwd):
    r = subprocess.run(arguments, cwd=cwd, capture_output=True)
    return r.returncode, r.stdout, r.stderr


def same_outputs(scenario, arguments, cwd, report, extra):
    """The run with --report says, writes and exits as the run without it."""
    plain = run([scenario] + arguments + extra("plain"), cwd)
    reported = run([scenario] + arguments + extra("reported") + ["--report", report], cwd)
    check(plain[0] == reported[0] and plain[1] == reported[1], "stdout and status unchanged by --report")
    check(reported[2] == b"", "nothing on stderr: %r" % reported[2])
    for kind in ("csv", "xml"):
        a = open(os.path.join(cwd, "plain." + kind), "rb").read()
        b = open(os.path.join(cwd, "reported." + kind), "rb").read()
        strip = (lambda t: re.sub(rb' time="[0-9.]*"', b"", t))
        check(strip(a) == strip(b), kind + " unchanged by --report")
    return reported


def grid(page):
    return page.js("[...document.querySelectorAll('#grid tbody tr')].filter(tr => !tr.hidden).map(tr => "
                   "[tr.cells[0].textContent, ...[...tr.cells].slice(1, -1).map(td => td.dataset.verdict)])")


def opened_cleanly(page, folder, what):
    check(page.errors == [], what + ": no console error: %r" % page.errors)
    inside = "file://" + os.path.realpath(folder) + "/"
    outside = [u for u in page.requests if not (u.startswith(inside) or u.startswith("data:"))]
    check(outside == [], what + ": no request outside the folder: %r" % outside)
    check(page.dialogs == [], what + ": no script of a submission ran: %r" % page.dialogs)


def lab_report(page, scenario, grading, work):
    submissions = os.path.join(work, "submissions")
    os.mkdir(submissions)
    for source, name in (("alice", b"alice"), ("bob", HOSTILE.encode()), ("carol", ODD)):
        shutil.copytree(os.path.join(grading, "submissions", source),
                        os.path.join(submissions, os.fsdecode(name)))
    report = os.path.join(work, "lab-report")
    code, out, _ = same_outputs(scenario, ["--grade", os.path.join(grading, "lab"), "submissions"], work, report,
                                lambda n: ["--grades", n + ".csv", "--junit", n + ".xml"])
    check(code == 1, "the lab's status is 1")
    page.open("file://" + report + "/index.html")
    opened_cleanly(page, report, "the lab's page")
    expected = [[HOSTILE, "FAIL", "ERROR"], ["alice", "PASS", "PASS"], [ODD_SHOWN, "FAIL", "MISSING"]]
    check(grid(page) == expected, "the lab's grid: %r" % grid(page))
    check(page.js("document.querySelectorAll('img, iframe, object').length") == 0, "a name made no element")
    check("sandboxed: no" in page.js("document.querySelector('#facts').textContent"),
          "a lab's answers run on the terminal's own, unsandboxed")
    check(page.js("document.querySelector('#tally').textContent").endswith(
        "Most often not passed: 1-entry-by-code (2 of 3)."), "the exercise most failed is named")
    check(page.js("[...document.querySelectorAll('#grid tfoot td')].map(td => td.textContent)") ==
          ["passed", "1 of 3", "1 of 3", "2 of 6"], "the columns' totals")

    # Sorting by a column puts the worst verdict first, then the other way round; by name, by bytes.
    names = lambda: [row[0] for row in grid(page)]
    page.js("document.querySelector('#grid th[data-key=\"1\"]').click()")
    check(names() == [HOSTILE, ODD_SHOWN, "alice"], "sorted by 2-exit: %r" % names())
    page.js("document.querySelector('#grid th[data-key=\"1\"]').click()")
    check(names() == ["alice", ODD_SHOWN, HOSTILE], "sorted by 2-exit, the other way: %r" % names())
    page.js("document.querySelector('#grid th[data-key=\"total\"]').click()")
    check(names()[-1] == "alice", "sorted by passed: %r" % names())

    # The filter: typed into the name box, then a verdict chosen.
    page.js("document.querySelector('#filter-name').focus()")
    page.type("car")
    check(names() == [ODD_SHOWN], "filtered by a name: %r" % names())
    page.js("{ const f = document.querySelector('#filter-name'); f.value = ''; f.dispatchEvent(new Event('input')) }")
    for verdict, shown in (("MISSING", [ODD_SHOWN]), ("PASS", ["alice"]), ("ERROR", [HOSTILE]), ("", None)):
        page.js("{ const s = document.querySelector('#filter-verdict'); s.value = '%s'; "
                "s.dispatchEvent(new Event('change')) }" % verdict)
        check(shown is None and len(names()) == 3 or names() == shown, "filtered by %s: %r" % (verdict, names()))

    # The diagram: every state, coloured by what the class covered.
    check(page.js("document.querySelectorAll('#diagram g.node').length") == 18, "the diagram's 18 states")
    check(page.js("document.querySelectorAll('#diagram g.node[data-taken=\"1\"]').length") > 0,
          "states the class took are coloured")
    taken = lambda: page.js("document.querySelectorAll('#table-rows .taken').length")
    everyone = taken()
    page.js("{ const s = document.querySelector('#diagram-of'); s.value = '2'; s.dispatchEvent(new Event('change')) }")
    check(0 < taken() < everyone, "one student's rows are fewer than the class's: %d of %d" % (taken(), everyone))

    # The hostile student's failed exercise: its summary as the terminal printed it, its script's line.
    page.js("document.querySelector('#grid tbody tr[data-row=\"0\"] td[data-verdict=\"FAIL\"] a').click()")
    page.wait("document.querySelector('#pair-view h2') !== null")
    printed = re.search(rb"^FAIL .*1-entry-by-code: (.*)$", out, re.M).group(1).decode()
    check(page.js("document.querySelector('#first-difference').textContent") == printed,
          "the pair's page shows the failure as printed: " + printed)
    check(page.js("document.querySelector('.listing tr.marked td:nth-child(2)').textContent")
          == "expect Moteur.Text ON", "the failing line of the script is marked")
    check(page.js("document.querySelector('#pair-view h2').textContent").startswith(HOSTILE + " / "),
          "the hostile name as text on its page")
    # The third student's journal stops short of the expected one: the lines that differ are marked.
    page.js("location.hash = '#'; document.querySelector('#grid tbody tr[data-row=\"2\"] td[data-verdict=\"FAIL\"] a').click()")
    page.wait("document.querySelector('#pair-view h2') !== null && "
              "document.querySelector('#pair-view h2').textContent.startsWith('carol')")
    check(page.js("document.querySelectorAll('.journals tr.differs').length") == 3, "the journals' differing lines")
    opened_cleanly(page, report, "the lab's pages")


def comparison_report(page, scenario, controllers, lab, work):
    report = os.path.join(work, "compare-report")
    arguments = ["--suite", lab, "--compare", "--controllers", os.path.join(controllers, "reference.so"),
                 os.path.join(controllers, "faulty", "wrong-display-text.so")]
    code, out, _ = same_outputs(scenario, arguments, work, report,
                                lambda n: ["--grades", n + ".csv", "--junit", n + ".xml"])
    check(code == 1, "the comparison's status is 1")
    page.open("file://" + report + "/index.html")
    opened_cleanly(page, report, "the comparison's page")
    check(grid(page) == [["reference.so", "PASS", "PASS", "PASS"], ["wrong-display-text.so", "FAIL", "FAIL", "PASS"]],
          "the comparison's grid: %r" % grid(page))
    facts = page.js("document.querySelector('#facts').textContent")
    check("sandboxed: yes" in facts, "a class's controllers run sandboxed: " + facts)
    page.js("document.querySelector('#grid tbody tr[data-row=\"1\"] td[data-verdict=\"FAIL\"] a').click()")
    page.wait("document.querySelector('#timelines') !== null")
    printed = re.search(rb"^FAIL entry-by-code: (.*)$", out, re.M).group(1).decode()
    check(page.js("document.querySelector('#first-difference').textContent") == printed,
          "the first difference as printed: " + printed)
    at = int(re.search(r"at (\d+) ms", printed).group(1))
    timelines = page.js("[...document.querySelectorAll('#timelines svg')].map(s => ({"
                        "labels: [...s.querySelectorAll('text.label')].map(t => t.textContent),"
                        "mark: s.querySelector('line.difference') && s.querySelector('line.difference').getAttribute('x1'),"
                        "said: [...s.querySelectorAll('text')].some(t => t.textContent === 'first difference, %d ms')}))" % at)
    check(len(timelines) == 2, "two timelines, the terminal's and the controller's")
    for t in timelines:
        check(t["labels"] == ["Edit1.Text", "Edit2.Text", "CheckBox4.Checked", "CheckBox5.Checked",
                              "Shape1.Brush.Color", "Shape2.Brush.Color", "Shape3.Brush.Color",
                              "CheckBox1.Checked", "CheckBox2.Checked", "etat"], "a timeline's signals: %r" % t)
        check(t["mark"] is not None and t["mark"] == timelines[0]["mark"] and t["said"],
              "the first difference marked at the same instant on both")
    check(page.js("document.querySelectorAll('.journals tr').length") > 1, "the journals side by side")
    turn = re.search(r"turn (\d+) at", printed).group(1)
    check(page.js("document.querySelectorAll('.listing tr.marked')[1].cells[1].textContent") == turn,
          "the turn log marks the turn of the difference")
    check(page.js("document.querySelector('.listing tr.marked td:nth-child(2)').textContent").startswith("turn"),
          "the script marks the turn command that ran it")
    opened_cleanly(page, report, "the comparison's pages")


def bad_folders(scenario, grading, lab, work):
    open(os.path.join(work, "a-file"), "w").close()
    code, out, err = run([scenario, "--grade", os.path.join(grading, "lab"), "submissions", "--report", "a-file"], work)
    check(code == 2 and out == b"" and b"--report: " in err and b"is not a folder" in err,
          "a report over a file is refused before the run: %r" % err)
    shutil.copytree(lab, os.path.join(work, "lab"))
    code, out, err = run([scenario, "--suite", "lab", "--report", "lab/wrong-code/report"], work)
    check(code == 2 and out == b"" and b"--report lab/wrong-code/report would write" in err
          and not os.path.exists(os.path.join(work, "lab", "wrong-code", "report")),
          "a report into a scenario folder is refused, nothing made: %r" % err)


def main():
    scenario, grading, controllers, lab = map(os.path.abspath, sys.argv[1:5])
    work = tempfile.mkdtemp(prefix="borne-report-test-")
    try:
        with cdp.Page() as page:
            lab_report(page, scenario, grading, work)
        with cdp.Page() as page:
            comparison_report(page, scenario, controllers, lab, work)
        bad_folders(scenario, grading, lab, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
