"""The terminal's classes for a controller written in Python, spoken to borne over its controller protocol.

A controller is a class: its __init__ is the start-up (it builds the terminal's objects, reads the
settings, shows the start picture), Tour() is one turn, etatCourant() and modeCourant() say the state and
the mode. Optional: observer(o), to tell o the rows each turn reaches (o.debutTour, o.ligne,
o.finDecision); valeurs() and installerValeurs(v), to give and take the working values (ValeursTravail).
The script ends with executer(MaClasse). borne runs it (`borne --controller FILE`, `borne-scenario
--controller FILE ...`) with the channel on descriptor 3: standard output and error stay the controller's
own, print there freely.

Standard library only, Python 3.11.
"""

from __future__ import annotations

import dataclasses
import os
import sys
import traceback

VERSION_PROTOCOLE = 1

# ---- The codes the terminal's parts exchange ----

# States of the access cycle.
ETAT_VEHICULE_ABSENT = 0
ETAT_ATTENTE_AUTORISATION = 1
ETAT_VERIFIER_CODECLAVIER = 2
ETAT_VERIFIER_CARTE = 3
ETAT_APPEL_GARDIEN = 4
ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT = 5
ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT = 6
ETAT_VEHICULE_AU_MILIEU_ENTRANT = 7
ETAT_VEHICULE_AU_MILIEU_SORTANT = 8
ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT = 9
ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT = 10
ETAT_ALARME = 11
ETAT_VEHICULE_ENTRE = 12
ETAT_VEHICULE_SORT = 13
ETAT_DEFAUT = 14
ETAT_HORS_SERVICE = 15
ETAT_HORS_SERVICE_OUVERT = 16
ETAT_MODE_TEST = 17
NB_ETATS = 18

# Events; 0 to 3 are also the vehicle positions, 4 to 12 the supervision link's results and kinds.
VEHICULE_ABSENT = 0
VEHICULE_SUR_BOUCLE_AMONT = 1
VEHICULE_AU_MILIEU = 2
VEHICULE_SUR_BOUCLE_AVAL = 3
PARKING_PLEIN = 4
CODECLAVIER = 5
CODECARTE = 6
ALARME_ACTIVE = 7
MESSAGE_SUPERVISEUR = 8
LUMIERE_ACTIVE = 9
ENTREE_VEHICULE = 10
SORTIE_VEHICULE = 11
AUTORISATION_OK = 12
NB_EVENEMENTS = 13

# Keypad results besides the digits 0 to 9.
TOUCHE_APPEL_GARDIEN = 12
TOUCHE_AUCUNE = 255

# Operating modes.
MODE_SUPERVISE = 0
MODE_HORS_SERVICE = 1
MODE_HORS_SERVICE_OUVERT = 2
MODE_TEST = 3
MODE_LOCAL = 4
NB_MODES = 5

# The turn's pause and one boom pass, in milliseconds.
DUREE_PAUSE_MS = 500
DUREE_MOUVEMENT_MS = 2000

# The code every card carries.
CODE_CARTE = "6082"

# The supervision link's car park holds this many cars.
CAPACITE_PARKING = 2

_NOMS_ETATS = ["ETAT_VEHICULE_ABSENT", "ETAT_ATTENTE_AUTORISATION", "ETAT_VERIFIER_CODECLAVIER",
               "ETAT_VERIFIER_CARTE", "ETAT_APPEL_GARDIEN", "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT",
               "ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT", "ETAT_VEHICULE_AU_MILIEU_ENTRANT",
               "ETAT_VEHICULE_AU_MILIEU_SORTANT", "ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT",
               "ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT", "ETAT_ALARME", "ETAT_VEHICULE_ENTRE",
               "ETAT_VEHICULE_SORT", "ETAT_DEFAUT", "ETAT_HORS_SERVICE", "ETAT_HORS_SERVICE_OUVERT",
               "ETAT_MODE_TEST"]
_NOMS_EVENEMENTS = ["VEHICULE_ABSENT", "VEHICULE_SUR_BOUCLE_AMONT", "VEHICULE_AU_MILIEU",
                    "VEHICULE_SUR_BOUCLE_AVAL", "PARKING_PLEIN", "CODECLAVIER", "CODECARTE",
                    "ALARME_ACTIVE", "MESSAGE_SUPERVISEUR", "LUMIERE_ACTIVE", "ENTREE_VEHICULE",
                    "SORTIE_VEHICULE", "AUTORISATION_OK"]
_NOMS_MODES = ["MODE_SUPERVISE", "MODE_HORS_SERVICE", "MODE_HORS_SERVICE_OUVERT", "MODE_TEST", "MODE_LOCAL"]


def nomEtat(etat: int) -> str | None:
    """A state's name, 0 to 17; None otherwise."""
    return _NOMS_ETATS[etat] if 0 <= etat < NB_ETATS else None


def nomEvenement(evenement: int) -> str | None:
    return _NOMS_EVENEMENTS[evenement] if 0 <= evenement < NB_EVENEMENTS else None


def nomMode(mode: int) -> str | None:
    return _NOMS_MODES[mode] if 0 <= mode < NB_MODES else None


# ---- The session ----

class ArretDemande(BaseException):
    """The host is stopping (the window's "Quitter", the end of a script): raised out of a wait. It is a
    BaseException so that `except Exception` in a controller lets it pass; never catch it."""


class ErreurProtocole(BaseException):
    """The bench said something this module cannot follow, or the controller asked for something the
    protocol cannot carry: the session cannot go on. A BaseException, as ArretDemande."""


class _CanalFerme(BaseException):
    """The bench closed the channel: the session is over."""


_LONGUEUR_MAX = 4096  # bytes of a line, its LF included
_ECHAPPEMENTS = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})
_SENS = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}


def _lire_champ(champ: str) -> str:
    if "\\" not in champ:
        return champ
    sortie, i = [], 0
    while i < len(champ):
        c = champ[i]
        if c == "\\":
            suite = champ[i + 1:i + 2]
            if suite not in _SENS:
                raise ErreurProtocole(f"an unknown escape in {champ!r}")
            c = _SENS[suite]
            i += 1
        sortie.append(c)
        i += 1
    return "".join(sortie)


class _Session:
    def __init__(self, fd: int):
        self._fd = fd
        self._entree = os.fdopen(fd, "rb", buffering=1 << 16, closefd=False)
        self._sortie = bytearray()
        self.active = False  # inside start or turn: the only time requests may be sent
        self.controleur = None  # once built: its state is told before each request that follows a change
        self.dit: tuple[int, int] | None = None  # the state and mode the bench was last told
        # What the bench said ahead that reads answer, (object, operation) -> fields: those that hold now,
        # and those given since the last `turn` or `resume`, which hold from the next one on.
        self.ahead: dict[tuple[int, str], list[str]] = {}
        self._a_venir: dict[tuple[int, str], list[str]] = {}
        self._attentes = 0  # waits sent whose `resume` is still to read
        self._prochain = 1
        self._libres: list[int] = []
        self._a_supprimer: list[int] = []

    # Writes that need no answer wait in _sortie until something is read.
    def envoyer(self, *champs) -> None:
        self._ligne(champs)

    def _ligne(self, champs) -> None:
        try:
            ligne = ("\t".join([c.translate(_ECHAPPEMENTS) if isinstance(c, str) else str(c) for c in champs])
                     + "\n").encode()
        except UnicodeEncodeError as e:
            raise ErreurProtocole(f"{champs[0]}: a text that is not valid Unicode ({e.reason})") from None
        if len(ligne) > _LONGUEUR_MAX:
            raise ErreurProtocole(f"{' '.join(str(c) for c in champs[:3])}: a line of {len(ligne)} bytes, "
                                  f"over {_LONGUEUR_MAX}")
        self._sortie += ligne

    def vider(self) -> None:
        vue = memoryview(self._sortie)
        try:
            while vue:
                vue = vue[os.write(self._fd, vue):]
        except (BrokenPipeError, ConnectionResetError):
            raise _CanalFerme() from None
        finally:
            vue.release()
            self._sortie.clear()

    def lire(self) -> list[str]:
        """The bench's next line but the answers given ahead and the `resume` of a wait gone past."""
        while True:
            champs = self._ligne_lue()
            if champs in (["resume"], ["turn"]):
                self.ahead, self._a_venir = self._a_venir, {}
            if champs == ["resume"] and self._attentes > 0:
                self._attentes -= 1
                continue
            if champs == ["stop"]:
                raise ArretDemande()
            if champs[0] != "ahead":
                return champs
            if len(champs) < 4:
                raise ErreurProtocole(f"an ahead line without a result: {' '.join(champs)!r}")
            self._a_venir[(_entier(champs[1]), champs[2])] = champs[3:]

    def _ligne_lue(self) -> list[str]:
        self.vider()
        try:
            ligne = self._entree.readline(_LONGUEUR_MAX + 1)
        except ConnectionResetError:
            raise _CanalFerme() from None
        if not ligne:
            raise _CanalFerme()
        if not ligne.endswith(b"\n"):
            raise ErreurProtocole("a line from the bench without its end" if len(ligne) <= _LONGUEUR_MAX
                                  else f"a line from the bench over {_LONGUEUR_MAX} bytes")
        try:
            texte = ligne[:-1].decode()
        except UnicodeDecodeError:
            raise ErreurProtocole("a line from the bench that is not UTF-8") from None
        return [_lire_champ(c) for c in texte.split("\t")]

    def demander(self, *champs) -> list[str]:
        self.avant_requete(_quoi(champs))
        if champs[0] == "call" and len(champs) == 3:
            cle = (champs[1], champs[2])
            donne = self.ahead.pop(cle, None)
            if donne is not None:
                # Taken from what the bench gave ahead: it still makes the call, and checks the answer.
                if cle[1] in _LECTURES_CLAVIER:
                    self.ahead = {c: v for c, v in self.ahead.items() if c[1] not in _LECTURES_CLAVIER}
                self.envoyer("took", *cle)
                return donne
        self.ahead.clear()
        self.envoyer(*champs)
        reponse = self.lire()
        self.ahead.clear()  # given before this call was made, which may change them
        if reponse[0] != "=":
            raise ErreurProtocole(f"{' '.join(str(c) for c in champs[:3])}: the bench answered "
                                  f"{' '.join(reponse)!r}")
        return reponse[1:]

    def requete(self, *champs) -> None:
        self.avant_requete(_quoi(champs))
        if champs[0] == "wait" or champs[0] == "call" and champs[2] not in _SANS_EFFET:
            self.ahead.clear()
        self.envoyer(*champs)

    def avant_requete(self, quoi: str) -> None:
        if not self.active:
            raise RuntimeError(f"{quoi}: the terminal's objects act only during the start-up and the turns, "
                               "not in valeurs() or installerValeurs()")
        if self._a_supprimer:
            a_supprimer, self._a_supprimer = self._a_supprimer, []
            self.ahead.clear()
            for obj in a_supprimer:
                self.envoyer("delete", obj)
                self._libres.append(obj)
        # The bench sees the state as of each request, as the terminal's own shows it at any instant.
        if self.controleur is not None:
            etat, mode = _nombre(self.controleur.etatCourant()), _nombre(self.controleur.modeCourant())
            if (etat, mode) != self.dit:
                self.dit = (etat, mode)
                self.envoyer("state", etat, mode)

    def etat_dit(self, verbe: str) -> None:
        """Sends `ready` or `done`, which tell the state and the mode."""
        self.dit = (_nombre(self.controleur.etatCourant()), _nombre(self.controleur.modeCourant()))
        self.envoyer(verbe, *self.dit)

    def nouvel_objet(self) -> int:
        if self._libres:
            return self._libres.pop()
        if self._prochain > 1000000:
            raise RuntimeError("more than 1000000 of the terminal's objects alive at once")
        self._prochain += 1
        return self._prochain - 1

    def liberer(self, obj: int) -> None:
        self._a_supprimer.append(obj)


_session: _Session | None = None

# Reads the bench may answer ahead; those that take the keypad's keys, so that taking one changes the
# others; and the calls that change nothing a read answers, which keep what was given ahead.
_LECTURES = frozenset({"LirePositionVehicule", "LireClavier", "LireCarte", "LireTouche", "LireAutorisation",
                       "LireEclairage", "LireAlarme", "LireMessage", "LireEtatParking"})
_LECTURES_CLAVIER = frozenset({"LireClavier", "LireTouche"})
_SANS_EFFET = _LECTURES | {"Afficher", "AllumerEclairage", "EteindreEclairage", "ArreterMoteur",
                           "AllumerAfficheur", "EteindreAfficheur", "NoterEtat", "NoterEvenement", "Ecrire"}


def _quoi(champs) -> str:
    """A request as an error names it: its verb and, for a call, the operation."""
    return f"{champs[0]} {champs[2]}" if champs[0] in ("call", "new") else str(champs[0])


def _la_session() -> _Session:
    if _session is None:
        raise RuntimeError("the terminal's classes work only in a controller run by executer(), "
                           "itself run by borne (borne --controller FILE)")
    return _session


def _nombre(valeur) -> int:
    if not isinstance(valeur, int):
        raise TypeError(f"a number was expected, not {type(valeur).__name__} {valeur!r}")
    return int(valeur)


def _texte(valeur) -> str:
    if not isinstance(valeur, str):
        raise TypeError(f"a text (str) was expected, not {type(valeur).__name__} {valeur!r}")
    return valeur


def _entier(champ: str) -> int:
    try:
        return int(champ)
    except ValueError:
        raise ErreurProtocole(f"a number was expected from the bench, not {champ!r}") from None


def attendre(ms: int) -> None:
    """The turn waits `ms` milliseconds (0 to 60000) of the host's clock. The bench makes nothing the
    controller asks after it until the wait is over, so the controller goes on without waiting for it;
    when the host is stopping, the next read raises ArretDemande and nothing asked since is made."""
    ms = _nombre(ms)
    if not 0 <= ms <= 60000:
        raise ValueError(f"attendre({ms}): from 0 to 60000 ms")
    s = _la_session()
    s.requete("wait", ms)
    s._attentes += 1


# ---- The terminal's classes ----

class _Objet:
    _classe = ""

    def __init__(self, *arguments):
        s = _la_session()
        s.avant_requete(f"new {self._classe}")
        self._id = s.nouvel_objet()
        s.ahead.clear()
        s.envoyer("new", self._id, self._classe, *arguments)

    def __del__(self):
        # Told the bench with the next request of a turn, so that no line goes out between turns.
        if _session is not None and hasattr(self, "_id"):
            _session.liberer(self._id)

    def _appeler(self, operation: str, *arguments) -> None:
        _la_session().requete("call", self._id, operation, *arguments)

    def _demander(self, operation: str, *arguments) -> list[str]:
        reponse = _la_session().demander("call", self._id, operation, *arguments)
        return reponse


def _un_nombre(reponse: list[str], operation: str) -> int:
    if len(reponse) != 1:
        raise ErreurProtocole(f"{operation}: one number expected, the bench gave {reponse!r}")
    return _entier(reponse[0])


class tSystemeBarriere(_Objet):
    """The field devices: loops, boom, lighting, display, keypad, card reader."""
    _classe = "tSystemeBarriere"

    def LirePositionVehicule(self) -> int:
        return _un_nombre(self._demander("LirePositionVehicule"), "LirePositionVehicule")

    def Afficher(self, ligne1: str, ligne2: str) -> None:
        self._appeler("Afficher", _texte(ligne1), _texte(ligne2))

    def AllumerEclairage(self) -> None:
        self._appeler("AllumerEclairage")

    def EteindreEclairage(self) -> None:
        self._appeler("EteindreEclairage")

    # Each pass of the boom lasts 2000 ms of the host's clock.
    def OuvrirBarriere(self) -> None:
        self._appeler("OuvrirBarriere")

    def FermerBarriere(self) -> None:
        self._appeler("FermerBarriere")

    def ArreterMoteur(self) -> None:
        self._appeler("ArreterMoteur")

    def AllumerAfficheur(self) -> None:
        self._appeler("AllumerAfficheur")

    def EteindreAfficheur(self) -> None:
        self._appeler("EteindreAfficheur")

    def LireClavier(self) -> int:
        return _un_nombre(self._demander("LireClavier"), "LireClavier")

    def LireCarte(self) -> tuple[int, str]:
        """(1 when a card is in the reader, else 0; the card's code)."""
        reponse = self._demander("LireCarte")
        if len(reponse) != 2:
            raise ErreurProtocole(f"LireCarte: two fields expected, the bench gave {reponse!r}")
        return _entier(reponse[0]), reponse[1]


class tClavier(_Objet):
    _classe = "tClavier"

    def LireTouche(self) -> int:
        return _un_nombre(self._demander("LireTouche"), "LireTouche")


class tSupervision(_Objet):
    """The link to the supervision station (none in the standalone mode)."""
    _classe = "tSupervision"

    def __init__(self, adresse: str, portServeur: str, nomAcces: str, numeroAcces: int, ipSuperviseur: str,
                 portSuperviseur: str, mode: int):
        super().__init__(_texte(adresse), _texte(portServeur), _texte(nomAcces), _nombre(numeroAcces),
                         _texte(ipSuperviseur), _texte(portSuperviseur), _nombre(mode))

    def LireAutorisation(self) -> int:
        return _un_nombre(self._demander("LireAutorisation"), "LireAutorisation")

    def LireEclairage(self) -> int:
        return _un_nombre(self._demander("LireEclairage"), "LireEclairage")

    def LireAlarme(self) -> int:
        return _un_nombre(self._demander("LireAlarme"), "LireAlarme")

    def LireEtatParking(self) -> int:
        return _un_nombre(self._demander("LireEtatParking"), "LireEtatParking")

    def LireMessage(self) -> tuple[int, str]:
        """(8 while the attendant's message is being sent, else 0; the message)."""
        reponse = self._demander("LireMessage")
        if len(reponse) != 2:
            raise ErreurProtocole(f"LireMessage: two fields expected, the bench gave {reponse!r}")
        return _entier(reponse[0]), reponse[1]

    def SignalerPassage(self, type: int) -> None:
        self._appeler("SignalerPassage", _nombre(type))

    def VerifierCode(self, type: int, code: str) -> int:
        return _un_nombre(self._demander("VerifierCode", _nombre(type), _texte(code)), "VerifierCode")

    def AfficherDefaut(self, texte: str) -> None:
        self._appeler("AfficherDefaut", _texte(texte))

    def AppelerGardien(self) -> None:
        self._appeler("AppelerGardien")


class tConfiguration(_Objet):
    """The settings: Config.cfg, and CHIP.INI for the address."""
    _classe = "tConfiguration"

    def __init__(self, nomFichierConfig: str, nomFichierChip: str):
        super().__init__(_texte(nomFichierConfig), _texte(nomFichierChip))

    def _lire_texte(self, operation: str) -> str:
        reponse = self._demander(operation)
        if len(reponse) != 1:
            raise ErreurProtocole(f"{operation}: one text expected, the bench gave {reponse!r}")
        return reponse[0]

    def _lire_nombre(self, operation: str) -> int | None:
        reponse = self._demander(operation)
        if reponse in ([], [""]):
            return None
        return _un_nombre(reponse, operation)

    def LireIPSuperviseur(self) -> str:
        return self._lire_texte("LireIPSuperviseur")

    def LirePortSuperviseur(self) -> str:
        return self._lire_texte("LirePortSuperviseur")

    def LireAdresse(self) -> str:
        return self._lire_texte("LireAdresse")

    def LirePortServeur(self) -> str:
        return self._lire_texte("LirePortServeur")

    def LireNomAcces(self) -> str:
        return self._lire_texte("LireNomAcces")

    def LireCode(self) -> str:
        return self._lire_texte("LireCode")

    def LireMode(self) -> int | None:
        """The mode setting; None when it is missing or unreadable."""
        return self._lire_nombre("LireMode")

    def LireNumeroAcces(self) -> int | None:
        return self._lire_nombre("LireNumeroAcces")


class tDebug(_Objet):
    """The journal (Log.txt): names the state and the event, appends a line when both have changed."""
    _classe = "tDebug"

    def __init__(self, nomFichier: str):
        super().__init__(_texte(nomFichier))

    def NoterEtat(self, code: int) -> None:
        self._appeler("NoterEtat", _nombre(code))

    def NoterEvenement(self, code: int) -> None:
        self._appeler("NoterEvenement", _nombre(code))

    def Ecrire(self) -> bool:
        self._appeler("Ecrire")
        return True

    @staticmethod
    def NomEtat(code: int) -> str | None:
        """The journal's names stop at ETAT_DEFAUT (14)."""
        return nomEtat(code) if 0 <= code <= ETAT_DEFAUT else None

    @staticmethod
    def NomEvenement(code: int) -> str | None:
        return nomEvenement(code)


@dataclasses.dataclass
class ValeursTravail:
    """What the access cycle carries from one turn to the next, besides the settings."""
    etat: int = ETAT_VEHICULE_ABSENT
    nbEssais: int = 1
    carteRefusee: bool = False
    codeRefuse: bool = False
    nbChiffres: int = 0  # digits of the entry under way, 0 to 3 between turns
    codeSaisi: str = ""
    codeMasque: str = ""
    nbVehicules: int = 0  # cars inside, as the supervision link counts them


class _Observateur:
    """Tells the bench the rows a turn reaches: begin, row, decided."""

    def debutTour(self, etat: int) -> None:
        _la_session().requete("begin", _nombre(etat))

    def ligne(self, etat: int, rang: int) -> None:
        _la_session().requete("row", _nombre(etat), _nombre(rang))

    def finDecision(self, etat: int) -> None:
        _la_session().requete("decided", _nombre(etat))


def _fonctions(classe) -> tuple[bool, bool]:
    lignes = callable(getattr(classe, "observer", None))
    valeurs = callable(getattr(classe, "valeurs", None)) and callable(getattr(classe, "installerValeurs", None))
    return lignes, valeurs


def _valeurs_lues(champs: list[str]) -> ValeursTravail:
    if len(champs) != 8:
        raise ErreurProtocole(f"install: eight fields expected, the bench gave {len(champs)}")
    return ValeursTravail(_entier(champs[0]), _entier(champs[1]), _entier(champs[2]) != 0,
                          _entier(champs[3]) != 0, _entier(champs[4]), champs[5], champs[6], _entier(champs[7]))


def _session_entiere(s: _Session, classe) -> None:
    lignes, valeurs = _fonctions(classe)
    fonctions = ",".join(f for f, oui in (("rows", lignes), ("values", valeurs), ("ahead", True)) if oui)
    s.envoyer("hello", VERSION_PROTOCOLE, classe.__name__, fonctions)
    reponse = s.lire()
    if reponse[0] == "refused":
        raise ErreurProtocole("the bench refused the session: " + " ".join(reponse[1:]))
    if reponse != ["welcome", str(VERSION_PROTOCOLE)]:
        raise ErreurProtocole(f"hello: the bench answered {' '.join(reponse)!r}")
    commande = s.lire()
    if commande == ["end"]:  # the bench only wanted the features
        return
    if commande != ["start"]:
        raise ErreurProtocole(f"the bench did not start the controller: {' '.join(commande)!r}")
    s.active = True
    controleur = classe()
    if lignes:
        controleur.observer(_Observateur())
    s.controleur = controleur
    s.etat_dit("ready")
    s.active = False
    while True:
        commande = s.lire()
        verbe = commande[0]
        if verbe == "turn" and len(commande) == 1:
            s.active = True
            controleur.Tour()
            s.etat_dit("done")
            s.active = False
        elif verbe == "values" and len(commande) == 1 and valeurs:
            v = controleur.valeurs()
            s.envoyer("values", _nombre(v.etat), _nombre(v.nbEssais), int(bool(v.carteRefusee)),
                      int(bool(v.codeRefuse)), _nombre(v.nbChiffres), _texte(v.codeSaisi), _texte(v.codeMasque),
                      _nombre(v.nbVehicules))
        elif verbe == "install" and valeurs:
            pris = controleur.installerValeurs(_valeurs_lues(commande[1:]))
            s.envoyer("installed", 1 if pris else 0)
            # The bench takes the state from the values it installed.
            s.dit = (_nombre(controleur.etatCourant()), _nombre(controleur.modeCourant()))
        elif verbe == "end" and len(commande) == 1:
            s.vider()
            return
        else:
            raise ErreurProtocole(f"an unexpected command from the bench: {' '.join(commande)!r}")


def executer(classe) -> None:
    """Runs the session of `classe` with the bench, then ends the process: status 0 when the bench ended
    it, 1 when the controller failed (its error told to the bench and written on standard error), 2 when
    not run by borne."""
    global _session
    fd = os.environ.get("BORNE_PROTOCOL_FD", "")
    if not fd.isdigit():
        print(f"{sys.argv[0]}: a controller for borne; run it with borne: borne --controller FILE, or "
              "borne-scenario --controller FILE SCRIPT", file=sys.stderr)
        raise SystemExit(2)
    s = _session = _Session(int(fd))
    manque = [m for m in ("Tour", "etatCourant", "modeCourant") if not callable(getattr(classe, m, None))]
    if manque:
        # Said instead of hello: the controller cannot start.
        texte = (f"executer({getattr(classe, '__name__', classe)}): a controller's class needs "
                 f"{', '.join(m + '()' for m in manque)}")
        print(texte, file=sys.stderr)
        try:
            s._ligne(("error", texte))
            s.vider()
        except (ErreurProtocole, _CanalFerme, OSError):
            pass
        raise SystemExit(1)
    try:
        _session_entiere(s, classe)
        statut = 0
    except (ArretDemande, _CanalFerme):
        statut = 0  # the host is stopping: nothing more is sent
    except BaseException as e:  # noqa: BLE001 - whatever the controller raised is its error, said once
        traceback.print_exc(file=sys.stderr)
        derniere = traceback.format_exception_only(type(e), e)[-1].strip()
        try:
            # What the controller did before failing goes first, as it would have happened.
            s._ligne(("error", derniere[:800]))
            s.vider()
        except (ErreurProtocole, _CanalFerme, OSError):
            pass
        statut = 1
    _session = None
    sys.stdout.flush()
    raise SystemExit(statut)


# What `from borne import *` gives: the terminal's classes, codes and functions, nothing of the modules
# this one uses.
__all__ = [n for n in dict(globals()) if not n.startswith("_")
           and n not in ("annotations", "dataclasses", "os", "sys", "traceback")]
