#!/usr/bin/env python3
"""One class of hostile controllers beside innocent copies of the terminal's own, sandboxed.

Each row of HOSTILE names a controller (a plug-in of plugins/, a faulty one, or a protocol script) and
what it must get in every folder. Whatever the hostile ones do, the innocent copies pass every folder, the
reports are whole and parse, no forged verdict shows, the lab and the controllers' files are unchanged,
no process of the run is left, and the bench ends within its limits. Then a controller that counts its
start-ups gets the same verdicts whatever --jobs is: every folder has a fresh process.
"""
import argparse
import csv
import hashlib
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

FOLDERS = ["entry-by-code", "entry-by-attendant", "three-tries"]
# A controller's own fault (a crash, an exit, a broken protocol) fails its pair; the bench's is an ERROR.
FAIL, PASS = {"FAIL", "ERROR"}, {"PASS"}
ANY = FAIL | PASS  # its own verdict is its business: the row checks what it does to the others
# Only the attendant's journey reaches the attendant's call.
AT_CALL = {"entry-by-code": PASS, "entry-by-attendant": FAIL, "three-tries": PASS}

# (file, where it is, what each of its folders must get (one set, or one per folder), a word its first
# failure must hold)
HOSTILE = [
    ("init-exit.so", "plugins", FAIL, None),
    ("init-crash.so", "plugins", FAIL, "SIGSEGV"),
    ("init-throw.so", "plugins", FAIL, None),
    ("init-sleep.so", "plugins", FAIL, None),
    ("atexit-grades.so", "plugins", PASS, None),
    ("double-fork.so", "plugins", PASS, None),
    ("static-counter.so", "plugins", PASS, None),
    ("garbage.so", "plugins", FAIL, None),
    ("read-answers.so", "plugins", PASS, None),
    ("write-files.so", "plugins", PASS, None),
    ("memory.so", "plugins", FAIL, None),
    ("fork-bomb.so", "plugins", PASS, None),
    ("network.so", "plugins", PASS, None),
    ("forge-record.so", "plugins", FAIL, None),
    ("fork-in-turn.so", "plugins", PASS, None),
    ("kill-group.so", "plugins", FAIL, None),
    ("kill-parent.so", "plugins", ANY, None),
    ("thread-after-turn.so", "plugins", ANY, None),
    # The faults of the faulty set, at the attendant's call or on their own.
    ("crash-at-attendant-call.so", "faulty", AT_CALL, "SIGSEGV"),
    ("throw-at-attendant-call.so", "faulty", AT_CALL, None),
    ("exit-at-attendant-call.so", "faulty", AT_CALL, None),
    ("endless-loop-at-attendant-call.so", "faulty", AT_CALL, None),
    ("recurses-forever-on-third-idle-turn.so", "faulty", FAIL, None),
    ("throw-at-start-up.so", "faulty", FAIL, None),
    ("pause-forgotten.so", "faulty", PASS, None),  # the journeys do not time the pause
    ("chatty.so", "faulty", PASS, None),
    # Programs that break the protocol itself.
    ("silent.sh", "scripts", FAIL, None),
    ("garbage.sh", "scripts", FAIL, None),
    ("oversized.sh", "scripts", FAIL, None),
    ("truncated.sh", "scripts", FAIL, None),
    ("wrong-version.sh", "scripts", FAIL, None),
    ("bad-utf8.sh", "scripts", FAIL, None),
    ("out-of-order.sh", "scripts", FAIL, None),
    ("unknown-object.sh", "scripts", FAIL, None),
    ("never-ready.sh", "scripts", FAIL, None),
]
INNOCENTS = ["alice.so", "bob.so"]
SURVIVOR = "borne-survivor"
LISTENER_PORT = 47823


def tree_digest(root):
    h = hashlib.sha256()
    for folder, dirs, files in sorted(os.walk(root)):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            h.update(os.path.relpath(path, root).encode())
            with open(path, "rb") as f:
                h.update(f.read())
    return h.hexdigest()


def processes_holding(text):
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read()
            with open(f"/proc/{pid}/comm", "rb") as f:
                comm = f.read().strip()
        except OSError:
            continue
        if text.encode() in cmdline or comm == SURVIVOR.encode():
            found.append(f"{pid} {comm.decode(errors='replace')}: {cmdline[:120]!r}")
    return found


def run_class(runner, scratch, controllers, jobs, failures):
    started = time.monotonic()
    result = subprocess.run(
        [runner, "--suite", "lab", "--controllers", *controllers, "--grades", "grades.csv",
         "--junit", "grades.xml", "--jobs", str(jobs), "--timeout", "5"],
        cwd=scratch, capture_output=True, timeout=500)
    took = time.monotonic() - started
    with open(os.path.join(scratch, "grades.csv"), newline="", encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    ET.parse(os.path.join(scratch, "grades.xml"))  # whole, and well-formed
    verdicts = {}
    for row in rows:
        verdicts.setdefault(row["controller"], {})[row["folder"]] = (row["result"], row["first failure"])
    return result, verdicts, took


def main():
    parser = argparse.ArgumentParser()
    for option in ("runner", "plugins", "scripts", "faulty", "reference", "lab"):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    where = {"plugins": args.plugins, "faulty": args.faulty, "scripts": args.scripts}
    failures = []

    scratch = tempfile.mkdtemp(prefix="borne-hostile-")
    os.chmod(scratch, 0o755)
    try:
        for folder in FOLDERS:
            shutil.copytree(os.path.join(args.lab, folder), os.path.join(scratch, "lab", folder))
        own = os.path.join(scratch, "class")
        os.mkdir(own)
        for name in INNOCENTS:
            shutil.copy(args.reference, os.path.join(own, name))
        controllers = [os.path.join(own, INNOCENTS[0])]
        for name, kind, _, _ in HOSTILE:
            path = os.path.join(own, name)
            shutil.copy(os.path.join(where[kind], name), path)
            os.chmod(path, 0o755)
            controllers.append(path)
        controllers.append(os.path.join(own, INNOCENTS[1]))
        before = (tree_digest(os.path.join(scratch, "lab")), tree_digest(own))

        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            listener.bind(("127.0.0.1", LISTENER_PORT))
            listener.listen()
        except OSError:
            pass  # the port is taken: a controller that reaches it fails all the same

        result, verdicts, took = run_class(args.runner, scratch, controllers, 2, failures)
        listener.close()
        out = result.stdout.decode("utf-8", errors="replace")

        if result.returncode != 1:
            failures.append(f"exit status {result.returncode}, not 1\n{result.stderr.decode(errors='replace')}")
        for name in INNOCENTS:
            got = verdicts.get(name, {})
            for folder in FOLDERS:
                if got.get(folder, ("missing",))[0] != "PASS":
                    failures.append(f"innocent {name} {folder}: {got.get(folder)}")
        for name, _, expected, word in HOSTILE:
            got = verdicts.get(name, {})
            for folder in FOLDERS:
                verdict, why = got.get(folder, ("missing", ""))
                wanted = expected[folder] if isinstance(expected, dict) else expected
                if verdict not in wanted:
                    failures.append(f"{name} {folder}: {verdict} ({why}), expected {'/'.join(sorted(wanted))}")
                elif word and verdict != "PASS" and word not in why:
                    failures.append(f"{name} {folder}: {why!r} does not say {word}")
        if "EVERYONE" in out or "EVERYONE" in open(os.path.join(scratch, "grades.csv")).read():
            failures.append("a forged verdict reached the reports")
        for name in [os.path.basename(c) for c in controllers]:
            if f"== {name}" not in out:
                failures.append(f"stdout has no section for {name}")
        after = (tree_digest(os.path.join(scratch, "lab")), tree_digest(own))
        if after != before:
            failures.append("the lab or the class's files changed")
        for folder in ("/tmp", scratch, "/dev/shm"):
            for base, _, files in os.walk(folder):
                if "borne-hostile-was-here" in files:
                    failures.append(f"a controller wrote in {base}")
        time.sleep(0.5)
        left = processes_holding(scratch)
        if left:
            failures.append("processes left after the run:\n  " + "\n  ".join(left))
        print(f"the class of {len(controllers)} controllers took {took:.1f} s")

        # A fresh process for every folder: the same verdicts whatever --jobs is.
        counter = [os.path.join(own, "static-counter.so"), os.path.join(own, INNOCENTS[0])]
        seen = []
        for jobs in (1, 4):
            shutil.rmtree(os.path.join(scratch, "grades.csv"), ignore_errors=True)
            _, v, _ = run_class(args.runner, scratch, counter, jobs, failures)
            seen.append(v)
        if seen[0] != seen[1] or any(r[0] != "PASS" for r in seen[0].get("static-counter.so", {}).values()):
            failures.append(f"verdicts depend on --jobs: {seen}")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    for f in failures:
        print("FAILED:", f)
    print(f"hostile controllers: {0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
