#!/usr/bin/env python3
"""The terminal's own controller, line for line in Python: the start-up of every mode, the whole state
table with each row's S.K tag told to the observer, and the working values. borne runs it with
`--controller tGestionBarriere.py`; it must behave as the terminal's built-in controller does."""

from borne import *  # noqa: F403 - the terminal's classes and codes

# The display's texts, character for character.
BONJOUR = "-      Bonjour!      -"
BONJOUR_LOCAL = "-      Bonjour!      L"
ETOILES = "-     **********     -"
COMPLET = "  --- COMPLET !!!---  "
CODE_NON_VALIDE = "-  code non valide   -"
ACCES_AUTORISE = "-  acces autorise    -"
ENTREZ = "-  entrez...         -"
RETIRER_CARTE = "-  retirer carte     -"
ACCES_REFUSE = "-  Acces refuse !    -"
TROIS_ESSAIS_MAX = "- 3 Essais max -"
HORS_SERVICE = "     HORS SERVICE     "
POINTILLES = "  ..................  "
MODE_TEST_TEXTE = "-     Mode Test      -"
CODE_PREFIXE = "Code : "
CARTE_OUBLIEE = "carte oubliée"


def coupe(texte, capacite):
    """What a field of `capacite` bytes keeps of a text: one byte per character in the terminal's
    encoding, the last byte for the terminating zero."""
    return texte[:capacite - 1]


class Champ:
    """A fixed-size text field written character by character, as the cycle types a code: a write past
    the text's end leaves what lies beyond the terminator as it was."""

    def __init__(self, capacite):
        self.octets = ["\0"] * capacite

    def copier(self, texte):
        n = min(len(texte), len(self.octets) - 1)
        self.octets[:n] = texte[:n]
        self.octets[n] = "\0"

    def __setitem__(self, i, c):
        self.octets[i] = c

    def texte(self):
        t = "".join(self.octets)
        fin = t.find("\0")
        return t if fin < 0 else t[:fin]


class tGestionBarriere:
    def __init__(self):
        self.observateur = None
        self.debug = tDebug("Log.txt")
        self.configuration = tConfiguration("Config.cfg", "CHIP.INI")
        self.systeme = tSystemeBarriere()

        # A lane whose configuration cannot say how it works must never let cars in.
        mode_lu = self.configuration.LireMode()
        self.mode = mode_lu if mode_lu is not None and MODE_SUPERVISE <= mode_lu <= MODE_LOCAL else MODE_HORS_SERVICE

        self.ipSuperviseur = coupe(self.configuration.LireIPSuperviseur(), 50)
        self.portSuperviseur = coupe(self.configuration.LirePortSuperviseur(), 10)
        self.adresse = coupe(self.configuration.LireAdresse(), 50)
        self.portServeur = coupe(self.configuration.LirePortServeur(), 10)
        self.nomAcces = coupe(self.configuration.LireNomAcces(), 50)
        numero = self.configuration.LireNumeroAcces()
        self.numeroAcces = numero if numero is not None else 0

        self.codeLocal = ""
        self.supervision = None  # none in the standalone mode
        if self.mode == MODE_LOCAL:
            self.codeLocal = coupe(self.configuration.LireCode(), 10)
        else:
            self.supervision = tSupervision(self.adresse, self.portServeur, self.nomAcces, self.numeroAcces,
                                            self.ipSuperviseur, self.portSuperviseur, self.mode)
        s = self.systeme
        if self.mode == MODE_SUPERVISE:
            s.Afficher(BONJOUR, ETOILES)
            s.FermerBarriere()
            s.EteindreAfficheur()
            self.etat = ETAT_VEHICULE_ABSENT
        elif self.mode == MODE_HORS_SERVICE:
            s.Afficher(HORS_SERVICE, POINTILLES)
            self.etat = ETAT_HORS_SERVICE
        elif self.mode == MODE_HORS_SERVICE_OUVERT:
            s.Afficher(HORS_SERVICE, POINTILLES)
            s.OuvrirBarriere()
            self.etat = ETAT_HORS_SERVICE_OUVERT
        elif self.mode == MODE_TEST:
            s.Afficher(HORS_SERVICE, MODE_TEST_TEXTE)
            s.AllumerEclairage()
            self.etat = ETAT_MODE_TEST
        else:
            s.Afficher(BONJOUR_LOCAL, ETOILES)
            s.FermerBarriere()
            s.EteindreAfficheur()
            self.etat = ETAT_VEHICULE_ABSENT

        self.codeSaisi = Champ(5)
        self.codeMasque = Champ(5)
        self.nbEssais = 1
        self.carteRefusee = 0
        self.codeRefuse = 0
        self.nbChiffres = 0
        self.messageSuperviseur = ""
        self.codeCarte = ""
        self.autorisation = 0
        self.position = self.carte = self.touche = 0
        self.alarme = self.message = self.eclairage = self.etatParking = 0

    def etatCourant(self):
        return self.etat

    def modeCourant(self):
        return self.mode

    def observer(self, o):
        self.observateur = o

    def valeurs(self):
        # The cars inside are counted by the supervision link, which is the bench's.
        return ValeursTravail(self.etat, self.nbEssais, self.carteRefusee != 0, self.codeRefuse != 0,
                              self.nbChiffres, self.codeSaisi.texte(), self.codeMasque.texte(), 0)

    def installerValeurs(self, v):
        # A count of 4 or more would let the next digit land past the code's field.
        if not 0 <= v.nbChiffres <= 3 or len(v.codeSaisi) >= 5 or len(v.codeMasque) >= 5:
            return False
        self.etat = v.etat
        self.nbEssais = v.nbEssais
        self.carteRefusee = 1 if v.carteRefusee else 0
        self.codeRefuse = 1 if v.codeRefuse else 0
        self.nbChiffres = v.nbChiffres
        self.codeSaisi.copier(v.codeSaisi)
        self.codeMasque.copier(v.codeMasque)
        return True

    def ligne(self, etat, rang):
        if self.observateur is not None:
            self.observateur.ligne(etat, rang)

    def Tour(self):
        if self.observateur is not None:
            self.observateur.debutTour(self.etat)

        # 1-4: the lane, the card and the keypad.
        self.position = self.systeme.LirePositionVehicule()
        self.debug.NoterEvenement(self.position)
        self.carte, code = self.systeme.LireCarte()
        self.codeCarte = coupe(code, 12)
        self.touche = self.systeme.LireClavier()

        # 5: the supervisor's inputs; the standalone terminal has no link to ask.
        if self.mode == MODE_LOCAL:
            self.alarme = self.message = self.eclairage = self.etatParking = 0
        else:
            sup = self.supervision
            self.alarme = sup.LireAlarme()
            if self.alarme == ALARME_ACTIVE:
                self.etat = ETAT_ALARME
                self.debug.NoterEvenement(ALARME_ACTIVE)
            self.message, texte = sup.LireMessage()
            if self.message == MESSAGE_SUPERVISEUR:
                self.messageSuperviseur = coupe(texte, 16)
                self.debug.NoterEvenement(MESSAGE_SUPERVISEUR)
            self.eclairage = sup.LireEclairage()
            if self.eclairage == LUMIERE_ACTIVE:
                self.systeme.AllumerAfficheur()
                self.debug.NoterEvenement(LUMIERE_ACTIVE)
            else:
                self.systeme.EteindreAfficheur()
            self.etatParking = sup.LireEtatParking()
            self.autorisation = sup.LireAutorisation()
            if self.touche == TOUCHE_APPEL_GARDIEN:
                sup.AppelerGardien()

        # 6: the row of the state held now; a state off the table puts the lane out of service.
        etape = self.ETAPES.get(self.etat)
        if etape is None:
            self.etat = ETAT_HORS_SERVICE
        else:
            etape(self)
        if self.observateur is not None:
            self.observateur.finDecision(self.etat)

        # 7-9.
        attendre(DUREE_PAUSE_MS)
        self.debug.NoterEtat(self.etat)
        self.debug.Ecrire()

    # ---- The state table: one method per state, one branch per row in the table's order, each opened
    # by its row's tag. ----

    def EtatVehiculeAbsent(self):
        self.ligne(ETAT_VEHICULE_ABSENT, 1)
        self.systeme.FermerBarriere()
        position, plein = self.position, self.etatParking == PARKING_PLEIN
        if position == VEHICULE_ABSENT and plein:
            self.ligne(ETAT_VEHICULE_ABSENT, 2)
            self.systeme.Afficher(COMPLET, ETOILES)
        elif position == VEHICULE_ABSENT:
            self.ligne(ETAT_VEHICULE_ABSENT, 3)
            self.nbEssais = 1
            self.carteRefusee = 0
            self.codeRefuse = 0
            if self.mode == MODE_SUPERVISE:
                self.systeme.Afficher(BONJOUR, ETOILES)
            elif self.mode == MODE_LOCAL:
                self.systeme.Afficher(BONJOUR_LOCAL, ETOILES)
        elif position == VEHICULE_SUR_BOUCLE_AMONT and plein:
            self.ligne(ETAT_VEHICULE_ABSENT, 4)
        elif position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_VEHICULE_ABSENT, 5)
            self.etat = ETAT_ATTENTE_AUTORISATION
        elif position == VEHICULE_AU_MILIEU:
            self.ligne(ETAT_VEHICULE_ABSENT, 6)
        elif position == VEHICULE_SUR_BOUCLE_AVAL:
            self.ligne(ETAT_VEHICULE_ABSENT, 7)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT

    def EtatAttenteAutorisation(self):
        position = self.position
        if position == VEHICULE_ABSENT:
            self.ligne(ETAT_ATTENTE_AUTORISATION, 1)
            self.etat = ETAT_VEHICULE_ABSENT
        elif position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_ATTENTE_AUTORISATION, 2)
            self.SaisirChiffre()
            if self.nbChiffres == 4:
                self.nbChiffres = 0
                self.codeMasque[0] = "\0"
                self.etat = ETAT_VERIFIER_CODECLAVIER
            if self.carte == 1:
                self.etat = ETAT_VERIFIER_CARTE
        elif position in (VEHICULE_AU_MILIEU, VEHICULE_SUR_BOUCLE_AVAL):
            self.ligne(ETAT_ATTENTE_AUTORISATION, 3)
        self.ligne(ETAT_ATTENTE_AUTORISATION, 4)
        if self.autorisation == 1:
            self.etat = ETAT_APPEL_GARDIEN
        self.ligne(ETAT_ATTENTE_AUTORISATION, 5)
        if self.mode == MODE_SUPERVISE:
            self.AfficherAttente(BONJOUR)
        elif self.mode == MODE_LOCAL:
            self.AfficherAttente(BONJOUR_LOCAL)

    def AfficherAttente(self, ligne1):
        ligneCode = coupe(CODE_PREFIXE + self.codeMasque.texte(), 20)
        refus = self.carteRefusee == 1 or self.codeRefuse == 1 or self.nbEssais > 1
        self.systeme.Afficher(CODE_NON_VALIDE if refus else ligne1, ligneCode)

    def SaisirChiffre(self):
        if not 0 <= self.touche <= 9:
            return
        # nbChiffres is below 4 here: it is reset in the turn it reaches 4.
        self.codeSaisi[self.nbChiffres] = str(self.touche)
        self.codeMasque[self.nbChiffres] = "*"
        self.nbChiffres += 1
        self.codeSaisi[self.nbChiffres] = "\0"
        self.codeMasque[self.nbChiffres] = "\0"

    def EtatVerifierCodeClavier(self):
        position, local = self.position, self.mode == MODE_LOCAL
        if position == VEHICULE_ABSENT:
            self.ligne(ETAT_VERIFIER_CODECLAVIER, 1)
            self.etat = ETAT_VEHICULE_ABSENT
        elif position == VEHICULE_SUR_BOUCLE_AMONT and self.nbEssais >= 3:
            self.ligne(ETAT_VERIFIER_CODECLAVIER, 2)
            self.codeRefuse = 0
            self.etat = ETAT_DEFAUT
        elif position == VEHICULE_SUR_BOUCLE_AMONT:
            # The link is asked only when there is one.
            if not local and self.supervision.VerifierCode(CODECLAVIER, self.codeSaisi.texte()) == AUTORISATION_OK:
                self.ligne(ETAT_VERIFIER_CODECLAVIER, 3)
                self.debug.NoterEvenement(AUTORISATION_OK)
                self.systeme.Afficher(ACCES_AUTORISE, ENTREZ)
                self.nbEssais = 0
                self.codeRefuse = 0
                self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
            elif not local:
                self.ligne(ETAT_VERIFIER_CODECLAVIER, 4)
                self.nbEssais += 1
                self.codeRefuse = 1
                self.codeSaisi[0] = "\0"
                self.etat = ETAT_ATTENTE_AUTORISATION
            elif self.codeSaisi.texte() == self.codeLocal:
                self.ligne(ETAT_VERIFIER_CODECLAVIER, 5)
                self.systeme.Afficher(ACCES_AUTORISE, ENTREZ)
                self.codeRefuse = 0
                self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
            else:
                self.ligne(ETAT_VERIFIER_CODECLAVIER, 6)
                self.nbEssais += 1
                self.codeRefuse = 1
                self.codeSaisi[0] = "\0"
                self.etat = ETAT_ATTENTE_AUTORISATION
            self.ligne(ETAT_VERIFIER_CODECLAVIER, 7)
            if self.carte == 1:
                self.etat = ETAT_VERIFIER_CARTE
        elif position in (VEHICULE_AU_MILIEU, VEHICULE_SUR_BOUCLE_AVAL):
            self.ligne(ETAT_VERIFIER_CODECLAVIER, 8)

    def EtatVerifierCarte(self):
        position, local = self.position, self.mode == MODE_LOCAL
        if position == VEHICULE_ABSENT:
            self.ligne(ETAT_VERIFIER_CARTE, 1)
            self.etat = ETAT_DEFAUT
        elif position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_VERIFIER_CARTE, 2)
            _, code = self.systeme.LireCarte()  # read again; `carte` keeps this turn's first reading
            self.codeCarte = coupe(code, 12)
            if not local and self.supervision.VerifierCode(CODECARTE, self.codeCarte) == AUTORISATION_OK:
                self.ligne(ETAT_VERIFIER_CARTE, 3)
                self.debug.NoterEvenement(AUTORISATION_OK)
                self.systeme.Afficher(ACCES_AUTORISE, RETIRER_CARTE)
                if self.carte == 0:
                    self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
                    self.systeme.Afficher(ACCES_AUTORISE, ENTREZ)
                self.carteRefusee = 0
            elif not local:
                self.ligne(ETAT_VERIFIER_CARTE, 4)
                self.carteRefusee = 1
                self.systeme.Afficher(ACCES_REFUSE, RETIRER_CARTE)
                if self.carte == 0:
                    self.etat = ETAT_ATTENTE_AUTORISATION
            elif self.codeCarte == self.codeLocal:
                self.ligne(ETAT_VERIFIER_CARTE, 5)
                self.debug.NoterEvenement(AUTORISATION_OK)
                self.systeme.Afficher(ACCES_AUTORISE, RETIRER_CARTE)
                if self.carte == 0:
                    self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
                    self.systeme.Afficher(ACCES_AUTORISE, ENTREZ)
            else:
                self.ligne(ETAT_VERIFIER_CARTE, 6)
                self.carteRefusee = 1
                self.systeme.Afficher(ACCES_REFUSE, RETIRER_CARTE)
                if self.carte == 0:
                    self.etat = ETAT_ATTENTE_AUTORISATION
        elif position in (VEHICULE_AU_MILIEU, VEHICULE_SUR_BOUCLE_AVAL):
            self.ligne(ETAT_VERIFIER_CARTE, 7)

    def EtatAppelGardien(self):
        position = self.position
        if position == VEHICULE_ABSENT:
            self.ligne(ETAT_APPEL_GARDIEN, 1)
            self.etat = ETAT_VEHICULE_ABSENT
        elif position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_APPEL_GARDIEN, 2)
            self.systeme.Afficher(ACCES_AUTORISE, ENTREZ)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
        elif position in (VEHICULE_AU_MILIEU, VEHICULE_SUR_BOUCLE_AVAL):
            self.ligne(ETAT_APPEL_GARDIEN, 3)

    # In states 5 to 10 a position the table does not list leaves the state as it is.

    def EtatVehiculeSurBoucleAmontEntrant(self):
        self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, 1)
        self.systeme.OuvrirBarriere()
        if self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, 2)
            self.etat = ETAT_VEHICULE_ABSENT
        elif self.position == VEHICULE_AU_MILIEU:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, 3)
            self.etat = ETAT_VEHICULE_AU_MILIEU_ENTRANT

    def EtatVehiculeSurBoucleAmontSortant(self):
        if self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT, 1)
            self.etat = ETAT_VEHICULE_SORT
        elif self.position == VEHICULE_AU_MILIEU:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT, 2)
            self.etat = ETAT_VEHICULE_AU_MILIEU_SORTANT

    def EtatVehiculeAuMilieuEntrant(self):
        if self.position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_VEHICULE_AU_MILIEU_ENTRANT, 1)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
        elif self.position == VEHICULE_SUR_BOUCLE_AVAL:
            self.ligne(ETAT_VEHICULE_AU_MILIEU_ENTRANT, 2)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT

    def EtatVehiculeAuMilieuSortant(self):
        if self.position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_VEHICULE_AU_MILIEU_SORTANT, 1)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT
        elif self.position == VEHICULE_SUR_BOUCLE_AVAL:
            self.ligne(ETAT_VEHICULE_AU_MILIEU_SORTANT, 2)
            self.etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT

    def EtatVehiculeSurBoucleAvalEntrant(self):
        if self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT, 1)
            self.etat = ETAT_VEHICULE_ENTRE
        elif self.position == VEHICULE_AU_MILIEU:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT, 2)
            self.etat = ETAT_VEHICULE_AU_MILIEU_ENTRANT

    def EtatVehiculeSurBoucleAvalSortant(self):
        self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, 1)
        self.systeme.OuvrirBarriere()
        if self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, 2)
            self.etat = ETAT_VEHICULE_ABSENT
        elif self.position == VEHICULE_AU_MILIEU:
            self.ligne(ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, 3)
            self.etat = ETAT_VEHICULE_AU_MILIEU_SORTANT

    def EtatAlarme(self):
        self.ligne(ETAT_ALARME, 1)
        self.systeme.OuvrirBarriere()
        if self.position == VEHICULE_ABSENT and self.alarme != ALARME_ACTIVE:
            self.ligne(ETAT_ALARME, 2)
            self.etat = ETAT_VEHICULE_ABSENT
            self.systeme.FermerBarriere()
        elif self.position == VEHICULE_SUR_BOUCLE_AMONT and self.alarme != ALARME_ACTIVE:
            self.ligne(ETAT_ALARME, 3)
            self.etat = ETAT_ATTENTE_AUTORISATION
            self.systeme.FermerBarriere()
        else:
            self.ligne(ETAT_ALARME, 4)

    def EtatVehiculeEntre(self):
        self.ligne(ETAT_VEHICULE_ENTRE, 1)
        if self.mode != MODE_LOCAL:
            self.supervision.SignalerPassage(ENTREE_VEHICULE)
        self.etat = ETAT_VEHICULE_ABSENT

    def EtatVehiculeSort(self):
        self.ligne(ETAT_VEHICULE_SORT, 1)
        if self.mode != MODE_LOCAL:
            self.supervision.SignalerPassage(SORTIE_VEHICULE)
        self.etat = ETAT_VEHICULE_ABSENT

    def EtatDefaut(self):
        if self.position == VEHICULE_ABSENT:
            self.ligne(ETAT_DEFAUT, 1)
            if self.mode != MODE_LOCAL:
                self.supervision.AfficherDefaut(CARTE_OUBLIEE)
            self.etat = ETAT_VEHICULE_ABSENT
        elif self.position == VEHICULE_SUR_BOUCLE_AMONT:
            self.ligne(ETAT_DEFAUT, 2)
            self.systeme.Afficher(ACCES_REFUSE, TROIS_ESSAIS_MAX)
            if self.mode != MODE_LOCAL:
                self.supervision.AfficherDefaut(TROIS_ESSAIS_MAX)
        elif self.position in (VEHICULE_AU_MILIEU, VEHICULE_SUR_BOUCLE_AVAL):
            self.ligne(ETAT_DEFAUT, 3)

    def SansLigne(self):
        pass  # no row: only an alarm leaves these

    ETAPES = {
        ETAT_VEHICULE_ABSENT: EtatVehiculeAbsent,
        ETAT_ATTENTE_AUTORISATION: EtatAttenteAutorisation,
        ETAT_VERIFIER_CODECLAVIER: EtatVerifierCodeClavier,
        ETAT_VERIFIER_CARTE: EtatVerifierCarte,
        ETAT_APPEL_GARDIEN: EtatAppelGardien,
        ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT: EtatVehiculeSurBoucleAmontEntrant,
        ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT: EtatVehiculeSurBoucleAmontSortant,
        ETAT_VEHICULE_AU_MILIEU_ENTRANT: EtatVehiculeAuMilieuEntrant,
        ETAT_VEHICULE_AU_MILIEU_SORTANT: EtatVehiculeAuMilieuSortant,
        ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT: EtatVehiculeSurBoucleAvalEntrant,
        ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT: EtatVehiculeSurBoucleAvalSortant,
        ETAT_ALARME: EtatAlarme,
        ETAT_VEHICULE_ENTRE: EtatVehiculeEntre,
        ETAT_VEHICULE_SORT: EtatVehiculeSort,
        ETAT_DEFAUT: EtatDefaut,
        ETAT_HORS_SERVICE: SansLigne,
        ETAT_HORS_SERVICE_OUVERT: SansLigne,
        ETAT_MODE_TEST: SansLigne,
    }


if __name__ == "__main__":
    executer(tGestionBarriere)
