#include "control/tGestionBarriere.h"

#include "control/Attente.h"
#include "control/TableEtats.h"
#include "base/Texte.h"

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
    mode = modeLu && *modeLu >= MODE_SUPERVISE && *modeLu <= MODE_LOCAL ? static_cast<Mode>(*modeLu)
                                                                        : MODE_HORS_SERVICE;

    configuration->LireIPSuperviseur(ipSuperviseur);
    configuration->LirePortSuperviseur(portSuperviseur);
    configuration->LireAdresse(adresse);
    configuration->LirePortServeur(portServeur);
    configuration->LireNomAcces(nomAcces);
    numeroAcces = configuration->LireNumeroAcces().value_or(0);

    // The start picture: supervision link first, then the display, then the devices. In the
    // out-of-service mode with the boom raised, the raise blocks for 2000 ms.
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

bool tGestionBarriere::installerValeurs(const ValeursTravail& v) {
    // A count of 4 or more would let the next digit land past the code's field.
    if (v.nbChiffres < 0 || v.nbChiffres > 3) return false;
    if (v.codeSaisi.size() >= sizeof codeSaisi || v.codeMasque.size() >= sizeof codeMasque) return false;
    etat = v.etat;
    nbEssais = v.nbEssais;
    carteRefusee = v.carteRefusee ? 1 : 0;
    codeRefuse = v.codeRefuse ? 1 : 0;
    nbChiffres = v.nbChiffres;
    copierBorne(codeSaisi, v.codeSaisi);
    copierBorne(codeMasque, v.codeMasque);
    if (supervision != nullptr) supervision->installerNbVehicules(v.nbVehicules);
    return true;
}

ValeursTravail tGestionBarriere::valeurs() const {
    ValeursTravail v;
    v.etat = etat;
    v.nbEssais = nbEssais;
    v.carteRefusee = carteRefusee != 0;
    v.codeRefuse = codeRefuse != 0;
    v.nbChiffres = nbChiffres;
    v.codeSaisi = texteDe(codeSaisi);
    v.codeMasque = texteDe(codeMasque);
    v.nbVehicules = supervision != nullptr ? supervision->nbVehiculesCourant() : 0;
    return v;
}

void tGestionBarriere::Executer() {
    for (;;)
        Tour();
}

void tGestionBarriere::Tour() {
    if (observateur_ != nullptr) observateur_->debutTour(etat);

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

    // 6: the row of the state held now; a state chosen here acts from the next turn. A state off the
    // table cannot be reached by the cycle; should one be held, the lane goes out of service.
    if (!EtapeTable()) etat = ETAT_HORS_SERVICE;
    if (observateur_ != nullptr) observateur_->finDecision(etat);

    // 7-9. The pause blocks for 500 ms and is where a stop usually ends the cycle.
    borne::attendre(DUREE_PAUSE_MS);
    debug->NoterEtat(static_cast<unsigned>(etat));
    debug->Ecrire();
}

bool tGestionBarriere::EtapeTable() {
    switch (etat) {
    case ETAT_VEHICULE_ABSENT: EtatVehiculeAbsent(); return true;
    case ETAT_ATTENTE_AUTORISATION: EtatAttenteAutorisation(); return true;
    case ETAT_VERIFIER_CODECLAVIER: EtatVerifierCodeClavier(); return true;
    case ETAT_VERIFIER_CARTE: EtatVerifierCarte(); return true;
    case ETAT_APPEL_GARDIEN: EtatAppelGardien(); return true;
    case ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT: EtatVehiculeSurBoucleAmontEntrant(); return true;
    case ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT: EtatVehiculeSurBoucleAmontSortant(); return true;
    case ETAT_VEHICULE_AU_MILIEU_ENTRANT: EtatVehiculeAuMilieuEntrant(); return true;
    case ETAT_VEHICULE_AU_MILIEU_SORTANT: EtatVehiculeAuMilieuSortant(); return true;
    case ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT: EtatVehiculeSurBoucleAvalEntrant(); return true;
    case ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT: EtatVehiculeSurBoucleAvalSortant(); return true;
    case ETAT_ALARME: EtatAlarme(); return true;
    case ETAT_VEHICULE_ENTRE: EtatVehiculeEntre(); return true;
    case ETAT_VEHICULE_SORT: EtatVehiculeSort(); return true;
    case ETAT_DEFAUT: EtatDefaut(); return true;
    case ETAT_HORS_SERVICE:
    case ETAT_HORS_SERVICE_OUVERT:
    case ETAT_MODE_TEST: return true; // no row: only an alarm leaves these
    }
    return false;
}

// ---- The state table: one function per state, one branch per row in the table's order, each opened
// by its row's tag ligne<ETAT_X, K>(). Rows that only name a next state equal to the current one change
// nothing. Every boom movement (OuvrirBarriere, FermerBarriere) that moves the boom blocks for 2000 ms
// and can end the turn by ArretDemande. ----

template <Etat S, int K> void tGestionBarriere::ligne() const noexcept {
    static_assert(borne::indexLigne(S, K) >= 0, "no such row in the state table");
    if (observateur_ != nullptr) observateur_->ligne(S, K);
}

void tGestionBarriere::EtatVehiculeAbsent() {
    ligne<ETAT_VEHICULE_ABSENT, 1>(); // always, first
    systeme->FermerBarriere();        // blocks 2000 ms when the boom is up
    if (position == VEHICULE_ABSENT && etatParking == PARKING_PLEIN) {
        ligne<ETAT_VEHICULE_ABSENT, 2>();
        systeme->Afficher(COMPLET, ETOILES);
    } else if (position == VEHICULE_ABSENT && etatParking != PARKING_PLEIN) {
        ligne<ETAT_VEHICULE_ABSENT, 3>();
        nbEssais = 1;
        carteRefusee = 0;
        codeRefuse = 0;
        switch (mode) {
        case MODE_SUPERVISE: systeme->Afficher(BONJOUR, ETOILES); break;
        case MODE_LOCAL: systeme->Afficher(BONJOUR_LOCAL, ETOILES); break;
        case MODE_HORS_SERVICE:
        case MODE_HORS_SERVICE_OUVERT:
        case MODE_TEST: break; // nothing shown
        }
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && etatParking == PARKING_PLEIN) {
        ligne<ETAT_VEHICULE_ABSENT, 4>(); // the car waits: the car park is full
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && etatParking != PARKING_PLEIN) {
        ligne<ETAT_VEHICULE_ABSENT, 5>();
        etat = ETAT_ATTENTE_AUTORISATION;
    } else if (position == VEHICULE_AU_MILIEU) {
        ligne<ETAT_VEHICULE_ABSENT, 6>();
    } else if (position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_VEHICULE_ABSENT, 7>();
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT; // an exit is let out even when the car park is full
    }
}

void tGestionBarriere::EtatAttenteAutorisation() {
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_ATTENTE_AUTORISATION, 1>();
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_ATTENTE_AUTORISATION, 2>();
        SaisirChiffre();
        if (nbChiffres == 4) {
            nbChiffres = 0;
            codeMasque[0] = '\0';
            etat = ETAT_VERIFIER_CODECLAVIER;
        }
        if (carte == 1) etat = ETAT_VERIFIER_CARTE;
    } else if (position == VEHICULE_AU_MILIEU || position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_ATTENTE_AUTORISATION, 3>();
    }
    ligne<ETAT_ATTENTE_AUTORISATION, 4>();            // after the rows above, any position
    if (autorisation == 1) etat = ETAT_APPEL_GARDIEN; // overrides any choice above
    ligne<ETAT_ATTENTE_AUTORISATION, 5>();            // last, any position
    switch (mode) {
    case MODE_SUPERVISE: AfficherAttente(BONJOUR); break;
    case MODE_LOCAL: AfficherAttente(BONJOUR_LOCAL); break;
    case MODE_HORS_SERVICE:
    case MODE_HORS_SERVICE_OUVERT:
    case MODE_TEST: break; // nothing shown
    }
}

void tGestionBarriere::AfficherAttente(const char* ligne1) {
    copierBorne(ligneCode, std::string(CODE_PREFIXE) + std::string(texteDe(codeMasque)));
    const bool refus = carteRefusee == 1 || codeRefuse == 1 || nbEssais > 1;
    systeme->Afficher(refus ? CODE_NON_VALIDE : ligne1, ligneCode);
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
        ligne<ETAT_VERIFIER_CODECLAVIER, 1>();
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && nbEssais >= 3) {
        ligne<ETAT_VERIFIER_CODECLAVIER, 2>();
        codeRefuse = 0; // no verification, no card test
        etat = ETAT_DEFAUT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        // The link is asked only when there is one (every mode but the standalone one).
        if (mode != MODE_LOCAL && supervision->VerifierCode(CODECLAVIER, codeSaisi) == AUTORISATION_OK) {
            ligne<ETAT_VERIFIER_CODECLAVIER, 3>();
            debug->NoterEvenement(AUTORISATION_OK);
            systeme->Afficher(ACCES_AUTORISE, ENTREZ);
            nbEssais = 0;
            codeRefuse = 0;
            etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
        } else if (mode != MODE_LOCAL) { // refused by the link
            ligne<ETAT_VERIFIER_CODECLAVIER, 4>();
            ++nbEssais;
            codeRefuse = 1;
            codeSaisi[0] = '\0';
            etat = ETAT_ATTENTE_AUTORISATION;
        } else if (std::strcmp(codeSaisi, codeLocal) == 0) {
            ligne<ETAT_VERIFIER_CODECLAVIER, 5>(); // no event noted, the tries left alone
            systeme->Afficher(ACCES_AUTORISE, ENTREZ);
            codeRefuse = 0;
            etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
        } else { // standalone, different from the local code
            ligne<ETAT_VERIFIER_CODECLAVIER, 6>();
            ++nbEssais;
            codeRefuse = 1;
            codeSaisi[0] = '\0';
            etat = ETAT_ATTENTE_AUTORISATION;
        }
        ligne<ETAT_VERIFIER_CODECLAVIER, 7>();      // after the verification, both modes
        if (carte == 1) etat = ETAT_VERIFIER_CARTE; // overrides 5 and 1
    } else if (position == VEHICULE_AU_MILIEU || position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_VERIFIER_CODECLAVIER, 8>();
    }
}

void tGestionBarriere::EtatVerifierCarte() {
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_VERIFIER_CARTE, 1>();
        etat = ETAT_DEFAUT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_VERIFIER_CARTE, 2>();
        systeme->LireCarte(codeCarte); // read again; `carte` keeps the value of this turn's first reading
        if (mode != MODE_LOCAL && supervision->VerifierCode(CODECARTE, codeCarte) == AUTORISATION_OK) {
            ligne<ETAT_VERIFIER_CARTE, 3>();
            debug->NoterEvenement(AUTORISATION_OK);
            systeme->Afficher(ACCES_AUTORISE, RETIRER_CARTE);
            if (carte == 0) {
                etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
                systeme->Afficher(ACCES_AUTORISE, ENTREZ);
            }
            carteRefusee = 0;
        } else if (mode != MODE_LOCAL) { // refused by the link
            ligne<ETAT_VERIFIER_CARTE, 4>();
            carteRefusee = 1;
            systeme->Afficher(ACCES_REFUSE, RETIRER_CARTE);
            if (carte == 0) etat = ETAT_ATTENTE_AUTORISATION;
        } else if (std::strcmp(codeCarte, codeLocal) == 0) {
            ligne<ETAT_VERIFIER_CARTE, 5>(); // the flag of an earlier refusal stays
            debug->NoterEvenement(AUTORISATION_OK);
            systeme->Afficher(ACCES_AUTORISE, RETIRER_CARTE);
            if (carte == 0) {
                etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
                systeme->Afficher(ACCES_AUTORISE, ENTREZ);
            }
        } else { // standalone, different from the local code
            ligne<ETAT_VERIFIER_CARTE, 6>();
            carteRefusee = 1;
            systeme->Afficher(ACCES_REFUSE, RETIRER_CARTE);
            if (carte == 0) etat = ETAT_ATTENTE_AUTORISATION;
        }
    } else if (position == VEHICULE_AU_MILIEU || position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_VERIFIER_CARTE, 7>();
    }
}

void tGestionBarriere::EtatAppelGardien() {
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_APPEL_GARDIEN, 1>();
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_APPEL_GARDIEN, 2>();
        systeme->Afficher(ACCES_AUTORISE, ENTREZ);
        etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT;
    } else if (position == VEHICULE_AU_MILIEU || position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_APPEL_GARDIEN, 3>();
    }
}

// In states 5 to 10 a position the table does not list leaves the state as it is.

void tGestionBarriere::EtatVehiculeSurBoucleAmontEntrant() {
    ligne<ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, 1>(); // always, first
    systeme->OuvrirBarriere();                          // blocks 2000 ms when the boom is down
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, 2>();
        etat = ETAT_VEHICULE_ABSENT; // left the lane: no passage
    } else if (position == VEHICULE_AU_MILIEU) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, 3>();
        etat = ETAT_VEHICULE_AU_MILIEU_ENTRANT;
    }
}

void tGestionBarriere::EtatVehiculeSurBoucleAmontSortant() {
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT, 1>();
        etat = ETAT_VEHICULE_SORT;
    } else if (position == VEHICULE_AU_MILIEU) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT, 2>();
        etat = ETAT_VEHICULE_AU_MILIEU_SORTANT; // backing up
    }
}

void tGestionBarriere::EtatVehiculeAuMilieuEntrant() {
    if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_VEHICULE_AU_MILIEU_ENTRANT, 1>();
        etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT; // backing up
    } else if (position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_VEHICULE_AU_MILIEU_ENTRANT, 2>();
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT;
    }
}

void tGestionBarriere::EtatVehiculeAuMilieuSortant() {
    if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_VEHICULE_AU_MILIEU_SORTANT, 1>();
        etat = ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT;
    } else if (position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_VEHICULE_AU_MILIEU_SORTANT, 2>();
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT; // backing up
    }
}

void tGestionBarriere::EtatVehiculeSurBoucleAvalEntrant() {
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT, 1>();
        etat = ETAT_VEHICULE_ENTRE;
    } else if (position == VEHICULE_AU_MILIEU) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT, 2>();
        etat = ETAT_VEHICULE_AU_MILIEU_ENTRANT; // backing up
    }
}

void tGestionBarriere::EtatVehiculeSurBoucleAvalSortant() {
    ligne<ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, 1>(); // always, first
    systeme->OuvrirBarriere();                         // blocks 2000 ms when the boom is down
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, 2>();
        etat = ETAT_VEHICULE_ABSENT; // left the lane: no passage
    } else if (position == VEHICULE_AU_MILIEU) {
        ligne<ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, 3>();
        etat = ETAT_VEHICULE_AU_MILIEU_SORTANT;
    }
}

void tGestionBarriere::EtatAlarme() {
    ligne<ETAT_ALARME, 1>();   // always, first
    systeme->OuvrirBarriere(); // blocks 2000 ms when the boom is down
    if (position == VEHICULE_ABSENT && alarme != ALARME_ACTIVE) {
        ligne<ETAT_ALARME, 2>();
        etat = ETAT_VEHICULE_ABSENT;
        systeme->FermerBarriere(); // blocks 2000 ms
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && alarme != ALARME_ACTIVE) {
        ligne<ETAT_ALARME, 3>();
        etat = ETAT_ATTENTE_AUTORISATION;
        systeme->FermerBarriere(); // blocks 2000 ms
    } else {
        ligne<ETAT_ALARME, 4>(); // the boom stays up
    }
}

void tGestionBarriere::EtatVehiculeEntre() {
    ligne<ETAT_VEHICULE_ENTRE, 1>(); // always
    if (mode != MODE_LOCAL) supervision->SignalerPassage(ENTREE_VEHICULE);
    etat = ETAT_VEHICULE_ABSENT;
}

void tGestionBarriere::EtatVehiculeSort() {
    ligne<ETAT_VEHICULE_SORT, 1>(); // always
    if (mode != MODE_LOCAL) supervision->SignalerPassage(SORTIE_VEHICULE);
    etat = ETAT_VEHICULE_ABSENT;
}

void tGestionBarriere::EtatDefaut() {
    if (position == VEHICULE_ABSENT) {
        ligne<ETAT_DEFAUT, 1>();
        if (mode != MODE_LOCAL) supervision->AfficherDefaut(CARTE_OUBLIEE);
        etat = ETAT_VEHICULE_ABSENT;
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_DEFAUT, 2>();
        systeme->Afficher(ACCES_REFUSE, TROIS_ESSAIS_MAX);
        if (mode != MODE_LOCAL) supervision->AfficherDefaut(TROIS_ESSAIS_MAX);
    } else if (position == VEHICULE_AU_MILIEU || position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_DEFAUT, 3>();
    }
}
