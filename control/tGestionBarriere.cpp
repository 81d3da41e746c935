#include "control/tGestionBarriere.h"

#include "control/Attente.h"
#include "control/Codes.h"
#include "panel/Texte.h"

#include <cstring>
#include <string>

using borne::copierBorne;
using borne::texteDe;

namespace {

// The display's texts, character for character.
constexpr const char* BONJOUR = "-      Bonjour!      -";
constexpr const char* BONJOUR_LOCAL = "-      Bonjour!      L";
constexpr const char* ETOILES = "-     **********     -";
constexpr const char* COMPLET = "  --- COMPLET !!!---  ";
constexpr const char* CODE_NON_VALIDE = "-  code non valide   -";
constexpr const char* ACCES_AUTORISE = "-  acces autorise    -";
constexpr const char* ENTREZ = "-  entrez...         -";
constexpr const char* RETIRER_CARTE = "-  retirer carte     -";
constexpr const char* ACCES_REFUSE = "-  Acces refuse !    -";
constexpr const char* TROIS_ESSAIS_MAX = "- 3 Essais max -";
constexpr const char* HORS_SERVICE = "     HORS SERVICE     ";
constexpr const char* POINTILLES = "  ..................  ";
constexpr const char* MODE_TEST_TEXTE = "-     Mode Test      -";
constexpr const char* CODE_PREFIXE = "Code : ";
constexpr const char* CARTE_OUBLIEE = "carte oubli\xE9"
                                      "e";

} // namespace

tGestionBarriere::tGestionBarriere() {
    debug = std::make_unique<tDebug>("Log.txt");
    configuration = std::make_unique<tConfiguration>("Config.cfg", "CHIP.INI");
    systeme = std::make_unique<tSystemeBarriere>();

    // A lane whose configuration cannot say how it works must never let cars in: no readable mode, or
    // one outside the five, starts it out of service.
    const auto modeLu = configuration->LireMode();
    mode = modeLu && *modeLu >= MODE_SUPERVISE && *modeLu <= MODE_LOCAL ? *modeLu : MODE_HORS_SERVICE;

    configuration->LireIPSuperviseur(ipSuperviseur);
    configuration->LirePortSuperviseur(portSuperviseur);
    configuration->LireAdresse(adresse);
    configuration->LirePortServeur(portServeur);
    configuration->LireNomAcces(nomAcces);
    numeroAcces = configuration->LireNumeroAcces().value_or(0);

    // The start picture: supervision link first, then the display, then the devices.
    if (mode == MODE_LOCAL) {
        configuration->LireCode(codeLocal);
    } else {
        supervision = std::make_unique<tSupervision>(adresse, portServeur, nomAcces, numeroAcces,
                                                     ipSuperviseur, portSuperviseur, mode);
    }
    switch (mode) {
    case MODE_SUPERVISE:
        systeme->Afficher(BONJOUR, ETOILES);
        systeme->FermerBarriere();
        systeme->EteindreAfficheur();
        etat = ETAT_VEHICULE_ABSENT;
        break;
    case MODE_HORS_SERVICE:
        systeme->Afficher(HORS_SERVICE, POINTILLES);
        etat = ETAT_HORS_SERVICE;
        break;
    case MODE_HORS_SERVICE_OUVERT:
        systeme->Afficher(HORS_SERVICE, POINTILLES);
        systeme->OuvrirBarriere();
        etat = ETAT_HORS_SERVICE_OUVERT;
        break;
    case MODE_TEST:
        systeme->Afficher(HORS_SERVICE, MODE_TEST_TEXTE);
        systeme->AllumerEclairage();
        etat = ETAT_MODE_TEST;
        break;
    case MODE_LOCAL:
        systeme->Afficher(BONJOUR_LOCAL, ETOILES);
        systeme->FermerBarriere();
        systeme->EteindreAfficheur();
        etat = ETAT_VEHICULE_ABSENT;
        break;
    }

    codeSaisi[0] = '\0';
    codeMasque[0] = '\0';
    nbEssais = 1;
    carteRefusee = 0;
    codeRefuse = 0;
}

tGestionBarriere::~tGestionBarriere() {
    supervision.reset();
    systeme.reset();
    configuration.reset();
    debug.reset();
}

std::string_view tGestionBarriere::codeSaisiCourant() const noexcept {
    return texteDe(codeSaisi);
}
std::string_view tGestionBarriere::codeMasqueCourant() const noexcept {
    return texteDe(codeMasque);
}
std::string_view tGestionBarriere::codeLocalCourant() const noexcept {
    return texteDe(codeLocal);
}
std::string_view tGestionBarriere::nomAccesCourant() const noexcept {
    return texteDe(nomAcces);
}

void tGestionBarriere::Executer() {
    for (;;)
        Tour();
}

void tGestionBarriere::Tour() {
    // 1-4: the lane, the card and the keypad.
    position = systeme->LirePositionVehicule();
    positionVehicule = position;
    debug->NoterEvenement(static_cast<unsigned>(position));
    carte = systeme->LireCarte(codeCarte);
    touche = systeme->LireClavier();

    // 5: the supervisor's inputs; the standalone terminal has no link to ask.
    if (mode == MODE_LOCAL) {
        alarme = 0;
        message = 0;
        eclairage = 0;
        etatParking = 0;
    } else {
        alarme = supervision->LireAlarme();
        if (alarme == ALARME_ACTIVE) {
            etat = ETAT_ALARME;
            debug->NoterEvenement(ALARME_ACTIVE);
        }
        message = supervision->LireMessage(messageSuperviseur);
        if (message == MESSAGE_SUPERVISEUR) debug->NoterEvenement(MESSAGE_SUPERVISEUR);
        eclairage = supervision->LireEclairage();
        if (eclairage == LUMIERE_ACTIVE) {
            systeme->AllumerAfficheur();
            debug->NoterEvenement(LUMIERE_ACTIVE);
        } else {
            systeme->EteindreAfficheur();
        }
        etatParking = supervision->LireEtatParking();
        autorisation = supervision->LireAutorisation();
        if (touche == TOUCHE_APPEL_GARDIEN) supervision->AppelerGardien();
    }

    // 6: the row of the state held now; a state chosen here acts from the next turn.
    switch (etat) {
    case ETAT_VEHICULE_ABSENT: EtatVehiculeAbsent(); break;
    case ETAT_ATTENTE_AUTORISATION: EtatAttenteAutorisation(); break;
    case ETAT_VERIFIER_CODECLAVIER: EtatVerifierCodeClavier(); break;
    case ETAT_VERIFIER_CARTE: EtatVerifierCarte(); break;
    case ETAT_APPEL_GARDIEN: EtatAppelGardien(); break;
    case ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT: EtatVehiculeSurBoucleAmontEntrant(); break;
    case ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT: EtatVehiculeSurBoucleAmontSortant(); break;
    case ETAT_VEHICULE_AU_MILIEU_ENTRANT: EtatVehiculeAuMilieuEntrant(); break;
    case ETAT_VEHICULE_AU_MILIEU_SORTANT: EtatVehiculeAuMilieuSortant(); break;
    case ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT: EtatVehiculeSurBoucleAvalEntrant(); break;
    case ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT: EtatVehiculeSurBoucleAvalSortant(); break;
    case ETAT_ALARME: EtatAlarme(); break;
    case ETAT_VEHICULE_ENTRE: EtatVehiculeEntre(); break;
    case ETAT_VEHICULE_SORT: EtatVehiculeSort(); break;
    case ETAT_DEFAUT: EtatDefaut(); break;
    case ETAT_HORS_SERVICE:
    case ETAT_HORS_SERVICE_OUVERT:
    case ETAT_MODE_TEST: break;               // no row: only an alarm leaves these
    default: etat = ETAT_HORS_SERVICE; break; // never reached; a state off the table stops the lane
    }

    // 7-9.
    borne::attendre(DUREE_PAUSE_MS);
    debug->NoterEtat(static_cast<unsigned>(etat));
    debug->Ecrire();
}

const char* tGestionBarriere::LigneBonjour() const {
    return mode == MODE_LOCAL ? BONJOUR_LOCAL : BONJOUR;
}

// ---- The state table, one function per state, rows in order ----

void tGestionBarriere::EtatVehiculeAbsent() {
    systeme->FermerBarriere(); // always, first
    if (position == VEHICULE_ABSENT && etatParking == PARKING_PLEIN) {
        systeme->Afficher(COMPLET, ETOILES);
    } else if (position == VEHICULE_ABSENT) {
        nbEssais = 1;
        carteRefusee = 0;
        codeRefuse = 0;
        if (mode == MODE_SUPERVISE || mode == MODE_LOCAL) systeme->Afficher(LigneBonjour(), ETOILES);
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && etatParking != PARKING_PLEIN) {
        etat = ETAT_ATTENTE_AUTORISATION;
    } else if (position == VEHICULE_SUR_BOUCLE_AVAL) {
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT; // an exit is let out even when the car park is full
    }
    // pos 1 with the car park full, and pos 2: stay.
}

void tGestionBarriere::EtatAttenteAutorisation() {
    if (position == VEHICULE_ABSENT) {
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        SaisirChiffre();
        if (nbChiffres == 4) {
            nbChiffres = 0;
            codeMasque[0] = '\0';
            etat = ETAT_VERIFIER_CODECLAVIER;
        }
        if (carte == 1) etat = ETAT_VERIFIER_CARTE;
    }
    // pos 2 or 3: stay.
    if (autorisation == 1) etat = ETAT_APPEL_GARDIEN; // overrides any choice above
    if (mode == MODE_SUPERVISE || mode == MODE_LOCAL) {
        copierBorne(ligneCode, std::string(CODE_PREFIXE) + std::string(texteDe(codeMasque)));
        const bool refus = carteRefusee == 1 || codeRefuse == 1 || nbEssais > 1;
        systeme->Afficher(refus ? CODE_NON_VALIDE : LigneBonjour(), ligneCode);
    }
}

void tGestionBarriere::SaisirChiffre() {
    if (touche == TOUCHE_AUCUNE || touche == TOUCHE_APPEL_GARDIEN || touche < 0 || touche > 9) return;
    // nbChiffres is below 4 here: it is reset in the turn it reaches 4, so index 4 is the terminator.
    codeSaisi[nbChiffres] = static_cast<char>('0' + touche);
    codeMasque[nbChiffres] = '*';
    ++nbChiffres;
    codeSaisi[nbChiffres] = '\0';
    codeMasque[nbChiffres] = '\0';
}

void tGestionBarriere::EtatVerifierCodeClavier() {
    if (position == VEHICULE_ABSENT) {
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && nbEssais >= 3) {
        codeRefuse = 0; // no verification, no card test
        etat = ETAT_DEFAUT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        const bool accepte = mode != MODE_LOCAL
                                 ? supervision->VerifierCode(CODECLAVIER, codeSaisi) == AUTORISATION_OK
                                 : std::strcmp(codeSaisi, codeLocal) == 0;
        if (accepte) {
            if (mode != MODE_LOCAL) debug->NoterEvenement(AUTORISATION_OK);
            systeme->Afficher(ACCES_AUTORISE, ENTREZ);
            if (mode != MODE_LOCAL) nbEssais = 0; // the standalone terminal leaves the tries alone
            codeRefuse = 0;
            etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
        } else {
            ++nbEssais;
            codeRefuse = 1;
            codeSaisi[0] = '\0';
            etat = ETAT_ATTENTE_AUTORISATION;
        }
        if (carte == 1) etat = ETAT_VERIFIER_CARTE; // overrides 5 and 1
    }
    // pos 2 or 3: stay.
}

void tGestionBarriere::EtatVerifierCarte() {
    if (position == VEHICULE_ABSENT) {
        etat = ETAT_DEFAUT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        systeme->LireCarte(codeCarte); // read again; `carte` keeps the value of this turn's first reading
        const bool accepte = mode != MODE_LOCAL
                                 ? supervision->VerifierCode(CODECARTE, codeCarte) == AUTORISATION_OK
                                 : std::strcmp(codeCarte, codeLocal) == 0;
        if (accepte) {
            debug->NoterEvenement(AUTORISATION_OK);
            systeme->Afficher(ACCES_AUTORISE, RETIRER_CARTE);
            if (carte == 0) {
                etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
                systeme->Afficher(ACCES_AUTORISE, ENTREZ);
            }
            if (mode != MODE_LOCAL) carteRefusee = 0; // the standalone terminal keeps the flag
        } else {
            carteRefusee = 1;
            systeme->Afficher(ACCES_REFUSE, RETIRER_CARTE);
            if (carte == 0) etat = ETAT_ATTENTE_AUTORISATION;
        }
    }
    // pos 2 or 3: stay.
}

void tGestionBarriere::EtatAppelGardien() {
    if (position == VEHICULE_ABSENT) {
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        systeme->Afficher(ACCES_AUTORISE, ENTREZ);
        etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
    }
    // pos 2 or 3: stay.
}

void tGestionBarriere::EtatVehiculeSurBoucleAmontEntrant() {
    systeme->OuvrirBarriere(); // always, first
    if (position == VEHICULE_ABSENT)
        etat = ETAT_VEHICULE_ABSENT; // left the lane: no passage
    else if (position == VEHICULE_AU_MILIEU)
        etat = ETAT_VEHICULE_AU_MILIEU_ENTRANT;
}

void tGestionBarriere::EtatVehiculeSurBoucleAmontSortant() {
    if (position == VEHICULE_ABSENT)
        etat = ETAT_VEHICULE_SORT;
    else if (position == VEHICULE_AU_MILIEU)
        etat = ETAT_VEHICULE_AU_MILIEU_SORTANT;
}

void tGestionBarriere::EtatVehiculeAuMilieuEntrant() {
    if (position == VEHICULE_SUR_BOUCLE_AMONT)
        etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT; // backing up
    else if (position == VEHICULE_SUR_BOUCLE_AVAL)
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT;
}

void tGestionBarriere::EtatVehiculeAuMilieuSortant() {
    if (position == VEHICULE_SUR_BOUCLE_AMONT)
        etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT;
    else if (position == VEHICULE_SUR_BOUCLE_AVAL)
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT; // backing up
}

void tGestionBarriere::EtatVehiculeSurBoucleAvalEntrant() {
    if (position == VEHICULE_ABSENT)
        etat = ETAT_VEHICULE_ENTRE;
    else if (position == VEHICULE_AU_MILIEU)
        etat = ETAT_VEHICULE_AU_MILIEU_ENTRANT; // backing up
}

void tGestionBarriere::EtatVehiculeSurBoucleAvalSortant() {
    systeme->OuvrirBarriere(); // always, first
    if (position == VEHICULE_ABSENT)
        etat = ETAT_VEHICULE_ABSENT; // left the lane: no passage
    else if (position == VEHICULE_AU_MILIEU)
        etat = ETAT_VEHICULE_AU_MILIEU_SORTANT;
}

void tGestionBarriere::EtatAlarme() {
    systeme->OuvrirBarriere(); // always, first
    if (position == VEHICULE_ABSENT && alarme != ALARME_ACTIVE) {
        etat = ETAT_VEHICULE_ABSENT;
        systeme->FermerBarriere();
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && alarme != ALARME_ACTIVE) {
        etat = ETAT_ATTENTE_AUTORISATION;
        systeme->FermerBarriere();
    }
    // otherwise the boom stays up.
}

void tGestionBarriere::EtatVehiculeEntre() {
    if (mode != MODE_LOCAL) supervision->SignalerPassage(ENTREE_VEHICULE);
    etat = ETAT_VEHICULE_ABSENT;
}

void tGestionBarriere::EtatVehiculeSort() {
    if (mode != MODE_LOCAL) supervision->SignalerPassage(SORTIE_VEHICULE);
    etat = ETAT_VEHICULE_ABSENT;
}

void tGestionBarriere::EtatDefaut() {
    if (position == VEHICULE_ABSENT) {
        if (mode != MODE_LOCAL) supervision->AfficherDefaut(CARTE_OUBLIEE);
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        systeme->Afficher(ACCES_REFUSE, TROIS_ESSAIS_MAX);
        if (mode != MODE_LOCAL) supervision->AfficherDefaut(TROIS_ESSAIS_MAX);
    }
    // pos 2 or 3: stay.
}
