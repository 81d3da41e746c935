#!/usr/bin/env python3
"""A controller of one's own: the start-up and the access cycle of the lane, written on the terminal's
devices (tSystemeBarriere), its supervision link (tSupervision), its settings (tConfiguration) and its
journal (tDebug). borne builds it (its start-up, __init__), then calls Tour() again and again."""

from borne import *  # noqa: F403 - the terminal's classes, codes and attendre()

# The display's texts, character for character: the journeys compare them.
BONJOUR = "-      Bonjour!      -"
BONJOUR_LOCAL = "-      Bonjour!      L"
ETOILES = "-     **********     -"
COMPLET = "  --- COMPLET !!!---  "
CODE_NON_VALIDE = "-  code non valide   -"
HORS_SERVICE = "     HORS SERVICE     "
POINTILLES = "  ..................  "
MODE_TEST_TEXTE = "-     Mode Test      -"


class MonControleur:
    # The start-up: reads Config.cfg and CHIP.INI and shows the start picture of the mode.
    def __init__(self):
        self.observateur = None
        self.debug = tDebug("Log.txt")
        self.configuration = tConfiguration("Config.cfg", "CHIP.INI")
        self.systeme = tSystemeBarriere()

        # Settings that do not say a known mode never let cars in.
        mode = self.configuration.LireMode()
        self.mode = mode if mode is not None and MODE_SUPERVISE <= mode <= MODE_LOCAL else MODE_HORS_SERVICE

        # The supervision link first (none in the standalone mode: it has its local code instead), then
        # the display, then the devices.
        self.supervision = None
        self.codeLocal = ""
        if self.mode == MODE_LOCAL:
            self.codeLocal = self.configuration.LireCode()
        else:
            c = self.configuration
            ip, port, adresse, portServeur, nomAcces = (c.LireIPSuperviseur(), c.LirePortSuperviseur(),
                                                        c.LireAdresse(), c.LirePortServeur(), c.LireNomAcces())
            numeroAcces = c.LireNumeroAcces() or 0
            self.supervision = tSupervision(adresse, portServeur, nomAcces, numeroAcces, ip, port, self.mode)
        if self.mode in (MODE_SUPERVISE, MODE_LOCAL):
            self.systeme.Afficher(self.Bonjour(), ETOILES)
            self.systeme.FermerBarriere()
            self.systeme.EteindreAfficheur()
            self.etat = ETAT_VEHICULE_ABSENT
        elif self.mode == MODE_HORS_SERVICE:
            self.systeme.Afficher(HORS_SERVICE, POINTILLES)
            self.etat = ETAT_HORS_SERVICE
        elif self.mode == MODE_HORS_SERVICE_OUVERT:
            self.systeme.Afficher(HORS_SERVICE, POINTILLES)
            self.systeme.OuvrirBarriere()  # 2000 ms
            self.etat = ETAT_HORS_SERVICE_OUVERT
        else:
            self.systeme.Afficher(HORS_SERVICE, MODE_TEST_TEXTE)
            self.systeme.AllumerEclairage()
            self.etat = ETAT_MODE_TEST

        self.nbEssais = 1
        self.carteRefusee = False
        self.codeRefuse = False
        self.nbChiffres = 0
        self.codeSaisi = ""
        self.codeMasque = ""

    # What borne reads between two turns (the state for `expect etat`, coverage and rules).
    def etatCourant(self):
        return self.etat

    def modeCourant(self):
        return self.mode

    # Optional: with it, coverage counts the rows each turn reaches (the self.ligne(S, K) tags).
    def observer(self, o):
        self.observateur = o

    # One turn: read the inputs, act for the current state, pause 500 ms, journal.
    def Tour(self):
        if self.observateur is not None:
            self.observateur.debutTour(self.etat)

        # The lane, the card reader and the keypad.
        self.position = self.systeme.LirePositionVehicule()
        self.debug.NoterEvenement(self.position)
        self.carte, self.codeCarte = self.systeme.LireCarte()
        self.touche = self.systeme.LireClavier()

        # The supervisor's inputs; the standalone terminal has no link to ask.
        self.alarme = self.etatParking = self.autorisation = 0
        if self.mode != MODE_LOCAL:
            self.alarme = self.supervision.LireAlarme()
            if self.alarme == ALARME_ACTIVE:
                self.etat = ETAT_ALARME
                self.debug.NoterEvenement(ALARME_ACTIVE)
            message, self.messageSuperviseur = self.supervision.LireMessage()
            if message == MESSAGE_SUPERVISEUR:
                self.debug.NoterEvenement(MESSAGE_SUPERVISEUR)
            if self.supervision.LireEclairage() == LUMIERE_ACTIVE:
                self.systeme.AllumerAfficheur()
                self.debug.NoterEvenement(LUMIERE_ACTIVE)
            else:
                self.systeme.EteindreAfficheur()
            self.etatParking = self.supervision.LireEtatParking()
            self.autorisation = self.supervision.LireAutorisation()
            if self.touche == TOUCHE_APPEL_GARDIEN:
                self.supervision.AppelerGardien()

        # The rows of the state held now (borne's docs/state-table.md); a state chosen here acts from
        # the next turn.
        if self.etat == ETAT_VEHICULE_ABSENT:
            self.EtatVehiculeAbsent()
        elif self.etat == ETAT_ATTENTE_AUTORISATION:
            self.EtatAttenteAutorisation()
        elif self.etat in (ETAT_HORS_SERVICE, ETAT_HORS_SERVICE_OUVERT, ETAT_MODE_TEST):
            pass  # no row: only an alarm leaves these
        else:
            # Still to write, one method per state, its rows in the table's order. Until then the lane
            # goes out of service there: the boom is down in every one of them that the states above
            # lead to.
            #
            # ETAT_VERIFIER_CODECLAVIER: ask the link for codeSaisi (the standalone mode: compare it with
            #   codeLocal). Accepted: show "acces autorise" / "entrez", next 5. Refused: one more try,
            #   codeRefuse, back to 1. After three tries: 14, without asking. A card in the reader: 3.
            # ETAT_VERIFIER_CARTE: ask the link for codeCarte (standalone: codeLocal); "retirer carte"
            #   until the card is out, then 5 when accepted, back to 1 when refused (carteRefusee). The
            #   car gone: 14.
            # ETAT_APPEL_GARDIEN: the attendant let the car in: "entrez", next 5; the car gone: 0.
            # ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT: raise the
            #   boom first; then follow the car: gone back (0) or under the boom (7, 8).
            # ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT, ETAT_VEHICULE_AU_MILIEU_ENTRANT,
            # ETAT_VEHICULE_AU_MILIEU_SORTANT, ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT: follow the car from
            #   loop to loop, forwards and backing up; off the last loop: 12 or 13.
            # ETAT_VEHICULE_ENTRE, ETAT_VEHICULE_SORT: tell the link the passage (SignalerPassage; not
            #   standalone), then 0.
            # ETAT_ALARME: raise the boom; once the alarm is over, lower it and go back to 0 or 1 by the
            #   car's place.
            # ETAT_DEFAUT: "3 Essais max" while the car waits, the forgotten card told to the link when
            #   it leaves: 0.
            self.AEcrire()
        if self.observateur is not None:
            self.observateur.finDecision(self.etat)

        # The pause, through borne's one wait (so the window, the bench and the stop all work), then the
        # journal's line.
        attendre(DUREE_PAUSE_MS)
        self.debug.NoterEtat(self.etat)
        self.debug.Ecrire()

    # Row K of state S is reached.
    def ligne(self, etat, rang):
        if self.observateur is not None:
            self.observateur.ligne(etat, rang)

    def EtatVehiculeAbsent(self):
        self.ligne(ETAT_VEHICULE_ABSENT, 1)
        self.systeme.FermerBarriere()  # 2000 ms when the boom is up
        complet = self.etatParking == PARKING_PLEIN
        if self.position == VEHICULE_ABSENT and complet:
            self.ligne(ETAT_VEHICULE_ABSENT, 2)
            self.systeme.Afficher(COMPLET, ETOILES)
        elif self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_VEHICULE_ABSENT, 3)
            self.nbEssais = 1
            self.carteRefusee = self.codeRefuse = False
            if self.mode in (MODE_SUPERVISE, MODE_LOCAL):
                self.systeme.Afficher(self.Bonjour(), ETOILES)
        elif self.position == VEHICULE_SUR_BOUCLE_AMONT and complet:
            self.ligne(ETAT_VEHICULE_ABSENT, 4)  # the car waits
        elif self.position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_VEHICULE_ABSENT, 5)
            self.etat = ETAT_ATTENTE_AUTORISATION
        elif self.position == VEHICULE_AU_MILIEU:
            self.ligne(ETAT_VEHICULE_ABSENT, 6)
        elif self.position == VEHICULE_SUR_BOUCLE_AVAL:
            self.ligne(ETAT_VEHICULE_ABSENT, 7)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT  # an exit, even when the car park is full

    def EtatAttenteAutorisation(self):
        if self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_ATTENTE_AUTORISATION, 1)
            self.etat = ETAT_VEHICULE_ABSENT
        elif self.position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_ATTENTE_AUTORISATION, 2)
            self.SaisirChiffre()
            if self.nbChiffres == 4:
                self.nbChiffres = 0
                self.codeMasque = ""
                self.etat = ETAT_VERIFIER_CODECLAVIER
            if self.carte == 1:
                self.etat = ETAT_VERIFIER_CARTE
        elif self.position in (VEHICULE_AU_MILIEU, VEHICULE_SUR_BOUCLE_AVAL):
            self.ligne(ETAT_ATTENTE_AUTORISATION, 3)
        self.ligne(ETAT_ATTENTE_AUTORISATION, 4)
        if self.autorisation == 1:
            self.etat = ETAT_APPEL_GARDIEN  # over any choice above
        self.ligne(ETAT_ATTENTE_AUTORISATION, 5)
        if self.mode in (MODE_SUPERVISE, MODE_LOCAL):
            refus = self.carteRefusee or self.codeRefuse or self.nbEssais > 1
            self.systeme.Afficher(CODE_NON_VALIDE if refus else self.Bonjour(), "Code : " + self.codeMasque)

    def SaisirChiffre(self):
        if not 0 <= self.touche <= 9:
            return  # no key, or the attendant's
        # nbChiffres stays below 4 here (it goes back to 0 in the turn it reaches 4).
        self.codeSaisi = self.codeSaisi[:self.nbChiffres] + str(self.touche)
        self.codeMasque = self.codeMasque[:self.nbChiffres] + "*"
        self.nbChiffres += 1

    def AEcrire(self):
        """A state still to write."""
        self.systeme.Afficher(HORS_SERVICE, POINTILLES)
        self.etat = ETAT_HORS_SERVICE

    def Bonjour(self):
        return BONJOUR_LOCAL if self.mode == MODE_LOCAL else BONJOUR


if __name__ == "__main__":
    executer(MonControleur)
