#!/usr/bin/env python3
"""The Python client's side of a session, against a scripted bench: each case is a controller and a
transcript, `>` a line the controller must send, `<` a line the bench sends, fields separated by ` | `
(a TAB on the wire). Run: client_test.py (PYTHONPATH holds borne.py)."""

import os
import socket
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.path.join(HERE, "tGestionBarriere.py")


class Bench:
    """Starts a controller with the channel on a descriptor of its own, then plays a transcript."""

    def __init__(self, script):
        self.ours, theirs = socket.socketpair()
        self.process = subprocess.Popen(
            [sys.executable, script], pass_fds=(theirs.fileno(),), stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=dict(os.environ, BORNE_PROTOCOL_FD=str(theirs.fileno())))
        theirs.close()
        self.lines = self.ours.makefile("rb")

    def play(self, test, transcript):
        for number, line in enumerate(textwrap.dedent(transcript).strip().splitlines(), 1):
            direction, text = line[0], line[2:].replace(" | ", "\t")
            if direction == "<":
                self.ours.sendall(text.encode() + b"\n")
            else:
                test.assertEqual(self.lines.readline().decode(), text + "\n", f"transcript line {number}")

    def finish(self):
        self.ours.shutdown(socket.SHUT_WR)
        rest = self.lines.read().decode()
        out, err = self.process.communicate(timeout=10)
        return self.process.returncode, rest, out.decode(), err.decode()

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()
        self.lines.close()
        self.ours.close()


def controller(source):
    """A controller's script from a class's source."""
    f = tempfile.NamedTemporaryFile("w", suffix=".py", delete=False)
    f.write("from borne import *\n" + textwrap.dedent(source))
    f.close()
    return f.name


# Start-up and first turn of the terminal's own controller, supervised, a car arriving: the requests in
# the order the terminal makes them, rows told, the French text in UTF-8.
SUPERVISED = """
    > hello | 1 | tGestionBarriere | rows,values,ahead
    < welcome | 1
    < start
    > new | 1 | tDebug | Log.txt
    > new | 2 | tConfiguration | Config.cfg | CHIP.INI
    > new | 3 | tSystemeBarriere
    > call | 2 | LireMode
    < = | 0
    > call | 2 | LireIPSuperviseur
    < = | 127.0.0.1
    > call | 2 | LirePortSuperviseur
    < = | 5000
    > call | 2 | LireAdresse
    < = | 192.168.0.2
    > call | 2 | LirePortServeur
    < = | 4000
    > call | 2 | LireNomAcces
    < = | Entrée nord
    > call | 2 | LireNumeroAcces
    < =
    > new | 4 | tSupervision | 192.168.0.2 | 4000 | Entrée nord | 0 | 127.0.0.1 | 5000 | 0
    > call | 3 | Afficher | -      Bonjour!      - | -     **********     -
    > call | 3 | FermerBarriere
    > call | 3 | EteindreAfficheur
    > ready | 0 | 0
    < ahead | 3 | LirePositionVehicule | 1
    < ahead | 3 | LireCarte | 0 | 6082
    < ahead | 3 | LireClavier | 255
    < ahead | 4 | LireMessage | 0 | a\\tb
    < ahead | 4 | LireEclairage | 0
    < turn
    > begin | 0
    > took | 3 | LirePositionVehicule
    > call | 1 | NoterEvenement | 1
    > took | 3 | LireCarte
    > took | 3 | LireClavier
    > call | 4 | LireAlarme
    < = | 0
    > call | 4 | LireMessage
    < = | 0 | a\\tb
    > call | 4 | LireEclairage
    < = | 0
    > call | 3 | EteindreAfficheur
    > call | 4 | LireEtatParking
    < = | 0
    > call | 4 | LireAutorisation
    < = | 0
    > row | 0 | 1
    > call | 3 | FermerBarriere
    > row | 0 | 5
    > state | 1 | 0
    > decided | 1
    > wait | 500
    > call | 1 | NoterEtat | 1
    > call | 1 | Ecrire
    > done | 1 | 0
    < resume
    < values
    > values | 1 | 1 | 0 | 0 | 0 |  |  | 0
    < install | 2 | 2 | 1 | 0 | 3 | 123\\t4 | **\\\\ | 1
    > installed | 0
    < install | 2 | 2 | 1 | 0 | 3 | 123 | *** | 1
    > installed | 1
    < values
    > values | 2 | 2 | 1 | 0 | 3 | 123 | *** | 0
    < end
"""


class Session(unittest.TestCase):
    def run_session(self, script, transcript):
        bench = Bench(script)
        self.addCleanup(bench.close)
        bench.play(self, transcript)
        return bench.finish()

    def test_reference_start_up_turn_and_values(self):
        status, rest, out, err = self.run_session(REFERENCE, SUPERVISED)
        self.assertEqual((status, rest, err), (0, "", ""))

    def test_failures_become_one_error_line(self):
        cases = [
            # An exception of the controller: what it sent before goes first (texts escaped), then its last line.
            ("""
             class C:
                 def __init__(self): self.s = tSystemeBarriere()
                 def Tour(self):
                     print("mine")
                     self.s.Afficher("a\\tb\\\\", "é\\n")
                     1 / 0
                 def etatCourant(self): return 0
                 def modeCourant(self): return 0
             executer(C)
             """, """
             > hello | 1 | C | ahead
             < welcome | 1
             < start
             > new | 1 | tSystemeBarriere
             > ready | 0 | 0
             < turn
             > call | 1 | Afficher | a\\tb\\\\ | é\\n
             > error | ZeroDivisionError: division by zero
             """, 1, "mine\n"),
            # The bench's own mistakes: a command the session does not know, a version it does not speak.
            ("""
             class C:
                 def Tour(self): pass
                 def etatCourant(self): return 0
                 def modeCourant(self): return 0
                 def observer(self, o): pass
             executer(C)
             """, """
             > hello | 1 | C | rows,ahead
             < welcome | 1
             < start
             > ready | 0 | 0
             < values
             > error | borne.ErreurProtocole: an unexpected command from the bench: 'values'
             """, 1, ""),
            ("""
             class C:
                 def Tour(self): pass
                 def etatCourant(self): return 0
                 def modeCourant(self): return 0
             executer(C)
             """, """
             > hello | 1 | C | ahead
             < refused | version 2 only
             > error | borne.ErreurProtocole: the bench refused the session: version 2 only
             """, 1, ""),
            # A text the wire cannot carry, and a device used between turns.
            ("""
             class C:
                 def __init__(self): tSystemeBarriere().Afficher("x" * 5000, "")
                 def Tour(self): pass
                 def etatCourant(self): return 0
                 def modeCourant(self): return 0
             executer(C)
             """, """
             > hello | 1 | C | ahead
             < welcome | 1
             < start
             > new | 1 | tSystemeBarriere
             > error | borne.ErreurProtocole: call 1 Afficher: a line of 5018 bytes, over 4096
             """, 1, ""),
            ("""
             class C:
                 def __init__(self): self.s = tSystemeBarriere()
                 def Tour(self): pass
                 def etatCourant(self): return 0
                 def modeCourant(self): return 0
                 def valeurs(self): return ValeursTravail(nbVehicules=self.s.LireClavier())
                 def installerValeurs(self, v): return False
             executer(C)
             """, """
             > hello | 1 | C | values,ahead
             < welcome | 1
             < start
             > new | 1 | tSystemeBarriere
             > ready | 0 | 0
             < values
             > error | RuntimeError: call LireClavier: the terminal's objects act only during the start-up and the turns, not in valeurs() or installerValeurs()
             """, 1, ""),
        ]
        for source, transcript, want_status, want_out in cases:
            with self.subTest(transcript.split("\n")[-2].strip()):
                status, rest, out, err = self.run_session(controller(source), transcript)
                self.assertEqual((status, rest, out), (want_status, "", want_out))
                self.assertIn("Traceback", err)

    def test_sessions_that_never_start(self):
        # A class without the controller's shape says so instead of hello; a bench that only wanted the
        # features ends the session after welcome.
        lacking = "executer(C): a controller's class needs etatCourant(), modeCourant()"
        status, rest, out, err = self.run_session(controller("""
            class C:
                def Tour(self): pass
            executer(C)
            """), "")
        self.assertEqual((status, rest, err), (1, f"error\t{lacking}\n", lacking + "\n"))
        status, rest, out, err = self.run_session(REFERENCE, """
            > hello | 1 | tGestionBarriere | rows,values,ahead
            < welcome | 1
            < end
            """)
        self.assertEqual((status, rest, err), (0, "", ""))

    def test_stop_ends_quietly(self):
        # The host stops during a wait gone past: the next read ends the session, and nothing more is
        # sent, even by a controller catching Exception.
        source = """
            class C:
                def __init__(self): self.d = tDebug("Log.txt")
                def Tour(self):
                    attendre(500)
                    try:
                        self.d.NoterEtat(1)
                        tClavier().LireTouche()
                    except Exception:
                        self.d.Ecrire()
                def etatCourant(self): return 0
                def modeCourant(self): return 0
            executer(C)
            """
        status, rest, out, err = self.run_session(controller(source), """
            > hello | 1 | C | ahead
            < welcome | 1
            < start
            > new | 1 | tDebug | Log.txt
            > ready | 0 | 0
            < turn
            > wait | 500
            > call | 1 | NoterEtat | 1
            > new | 2 | tClavier
            > call | 2 | LireTouche
            < stop
            """)
        self.assertEqual((status, rest, err), (0, "", ""))

    def test_objects_deleted_and_their_numbers_taken_again(self):
        source = """
            class C:
                def __init__(self): pass
                def Tour(self): tClavier().LireTouche()
                def etatCourant(self): return 0
                def modeCourant(self): return 0
            executer(C)
            """
        status, rest, out, err = self.run_session(controller(source), """
            > hello | 1 | C | ahead
            < welcome | 1
            < start
            > ready | 0 | 0
            < turn
            > new | 1 | tClavier
            > call | 1 | LireTouche
            < = | 255
            > done | 0 | 0
            < turn
            > delete | 1
            > new | 1 | tClavier
            > call | 1 | LireTouche
            < = | 3
            > done | 0 | 0
            < end
            """)
        self.assertEqual((status, rest, err), (0, "", ""))


if __name__ == "__main__":
    unittest.main()
