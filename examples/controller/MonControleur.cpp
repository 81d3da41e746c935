#include "MonControleur.h"

#include "control/Attente.h"
#include "control/TableEtats.h"

#include <string>

namespace {

// The display's texts, character for character: the journeys compare them.
constexpr const char* BONJOUR = "-      Bonjour!      -";
constexpr const char* BONJOUR_LOCAL = "-      Bonjour!      L";
constexpr const char* ETOILES = "-     **********     -";
constexpr const char* COMPLET = "  --- COMPLET !!!---  ";
constexpr const char* CODE_NON_VALIDE = "-  code non valide   -";
constexpr const char* HORS_SERVICE = "     HORS SERVICE     ";
constexpr const char* POINTILLES = "  ..................  ";
constexpr const char* MODE_TEST_TEXTE = "-     Mode Test      -";

} // namespace

MonControleur::MonControleur() {
    debug = std::make_unique<tDebug>("Log.txt");
    configuration = std::make_unique<tConfiguration>("Config.cfg", "CHIP.INI");
    systeme = std::make_unique<tSystemeBarriere>();

    // Settings that do not say a known mode never let cars in.
    const auto modeLu = configuration->LireMode();
    mode = modeLu && *modeLu >= MODE_SUPERVISE && *modeLu <= MODE_LOCAL ? static_cast<Mode>(*modeLu)
                                                                        : MODE_HORS_SERVICE;

    // The supervision link first (none in the standalone mode: it has its local code instead), then
    // the display, then the devices.
    if (mode == MODE_LOCAL) {
        configuration->LireCode(codeLocal);
    } else {
        char ipSuperviseur[50] = {}, portSuperviseur[10] = {}, adresse[50] = {}, portServeur[10] = {};
        char nomAcces[50] = {};
        configuration->LireIPSuperviseur(ipSuperviseur);
        configuration->LirePortSuperviseur(portSuperviseur);
        configuration->LireAdresse(adresse);
        configuration->LirePortServeur(portServeur);
        configuration->LireNomAcces(nomAcces);
        const int numeroAcces = configuration->LireNumeroAcces().value_or(0);
        supervision = std::make_unique<tSupervision>(adresse, portServeur, nomAcces, numeroAcces,
                                                     ipSuperviseur, portSuperviseur, mode);
    }
    switch (mode) {
    case MODE_SUPERVISE:
    case MODE_LOCAL:
        systeme->Afficher(Bonjour(), ETOILES);
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
        systeme->OuvrirBarriere(); // 2000 ms
        etat = ETAT_HORS_SERVICE_OUVERT;
        break;
    case MODE_TEST:
        systeme->Afficher(HORS_SERVICE, MODE_TEST_TEXTE);
        systeme->AllumerEclairage();
        etat = ETAT_MODE_TEST;
        break;
    }
}

void MonControleur::Tour() {
    if (observateur != nullptr) observateur->debutTour(etat);

    // The lane, the card reader and the keypad.
    position = systeme->LirePositionVehicule();
    debug->NoterEvenement(static_cast<unsigned>(position));
    carte = systeme->LireCarte(codeCarte);
    touche = systeme->LireClavier();

    // The supervisor's inputs; the standalone terminal has no link to ask.
    alarme = etatParking = autorisation = 0;
    if (mode != MODE_LOCAL) {
        alarme = supervision->LireAlarme();
        if (alarme == ALARME_ACTIVE) {
            etat = ETAT_ALARME;
            debug->NoterEvenement(ALARME_ACTIVE);
        }
        if (supervision->LireMessage(messageSuperviseur) == MESSAGE_SUPERVISEUR)
            debug->NoterEvenement(MESSAGE_SUPERVISEUR);
        if (supervision->LireEclairage() == LUMIERE_ACTIVE) {
            systeme->AllumerAfficheur();
            debug->NoterEvenement(LUMIERE_ACTIVE);
        } else {
            systeme->EteindreAfficheur();
        }
        etatParking = supervision->LireEtatParking();
        autorisation = supervision->LireAutorisation();
        if (touche == TOUCHE_APPEL_GARDIEN) supervision->AppelerGardien();
    }

    // The rows of the state held now (docs/state-table.md); a state chosen here acts from the next turn.
    switch (etat) {
    case ETAT_VEHICULE_ABSENT: EtatVehiculeAbsent(); break;
    case ETAT_ATTENTE_AUTORISATION: EtatAttenteAutorisation(); break;

    // Still to write, one function per state, its rows in the table's order. Until then the lane goes
    // out of service there: the boom is down in every one of them that the states above lead to.
    case ETAT_VERIFIER_CODECLAVIER:
        // Ask the link for codeSaisi (the standalone mode: compare it with codeLocal). Accepted: show
        // "acces autorise" / "entrez", next 5. Refused: one more try, codeRefuse, back to 1. After
        // three tries: 14, without asking. A card in the reader: 3.
    case ETAT_VERIFIER_CARTE:
        // Ask the link for codeCarte (standalone: codeLocal); "retirer carte" until the card is out,
        // then 5 when accepted, back to 1 when refused (carteRefusee). The car gone: 14.
    case ETAT_APPEL_GARDIEN:
        // The attendant let the car in: "entrez", next 5; the car gone: 0.
    case ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT:
    case ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT:
        // Raise the boom first; then follow the car: gone back (0) or under the boom (7, 8).
    case ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT:
    case ETAT_VEHICULE_AU_MILIEU_ENTRANT:
    case ETAT_VEHICULE_AU_MILIEU_SORTANT:
    case ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT:
        // Follow the car from loop to loop, forwards and backing up; off the last loop: 12 or 13.
    case ETAT_VEHICULE_ENTRE:
    case ETAT_VEHICULE_SORT:
        // Tell the link the passage (SignalerPassage; not standalone), then 0.
    case ETAT_ALARME:
        // Raise the boom; once the alarm is over, lower it and go back to 0 or 1 by the car's place.
    case ETAT_DEFAUT:
        // "3 Essais max" while the car waits, the forgotten card told to the link when it leaves: 0.
        AEcrire();
        break;
    case ETAT_HORS_SERVICE:
    case ETAT_HORS_SERVICE_OUVERT:
    case ETAT_MODE_TEST: break; // no row: only an alarm leaves these
    }
    if (observateur != nullptr) observateur->finDecision(etat);

    // The pause, through borne's one wait (so the window, the bench and the stop all work), then the
    // journal's line.
    borne::attendre(DUREE_PAUSE_MS);
    debug->NoterEtat(static_cast<unsigned>(etat));
    debug->Ecrire();
}

template <Etat S, int K> void MonControleur::ligne() const noexcept {
    static_assert(borne::indexLigne(S, K) >= 0, "no such row in the state table");
    if (observateur != nullptr) observateur->ligne(S, K);
}

void MonControleur::EtatVehiculeAbsent() {
    ligne<ETAT_VEHICULE_ABSENT, 1>();
    systeme->FermerBarriere(); // 2000 ms when the boom is up
    const bool complet = etatParking == PARKING_PLEIN;
    if (position == VEHICULE_ABSENT && complet) {
        ligne<ETAT_VEHICULE_ABSENT, 2>();
        systeme->Afficher(COMPLET, ETOILES);
    } else if (position == VEHICULE_ABSENT) {
        ligne<ETAT_VEHICULE_ABSENT, 3>();
        nbEssais = 1;
        carteRefusee = codeRefuse = false;
        if (mode == MODE_SUPERVISE || mode == MODE_LOCAL) systeme->Afficher(Bonjour(), ETOILES);
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT && complet) {
        ligne<ETAT_VEHICULE_ABSENT, 4>(); // the car waits
    } else if (position == VEHICULE_SUR_BOUCLE_AMONT) {
        ligne<ETAT_VEHICULE_ABSENT, 5>();
        etat = ETAT_ATTENTE_AUTORISATION;
    } else if (position == VEHICULE_AU_MILIEU) {
        ligne<ETAT_VEHICULE_ABSENT, 6>();
    } else if (position == VEHICULE_SUR_BOUCLE_AVAL) {
        ligne<ETAT_VEHICULE_ABSENT, 7>();
        etat = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT; // an exit, even when the car park is full
    }
}

void MonControleur::EtatAttenteAutorisation() {
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
    ligne<ETAT_ATTENTE_AUTORISATION, 4>();
    if (autorisation == 1) etat = ETAT_APPEL_GARDIEN; // over any choice above
    ligne<ETAT_ATTENTE_AUTORISATION, 5>();
    if (mode == MODE_SUPERVISE || mode == MODE_LOCAL) {
        const bool refus = carteRefusee || codeRefuse || nbEssais > 1;
        systeme->Afficher(refus ? CODE_NON_VALIDE : Bonjour(), (std::string("Code : ") + codeMasque).c_str());
    }
}

void MonControleur::SaisirChiffre() {
    if (touche < 0 || touche > 9) return; // no key, or the attendant's
    // nbChiffres stays below 4 here (it goes back to 0 in the turn it reaches 4): index 4 is the end.
    codeSaisi[nbChiffres] = static_cast<char>('0' + touche);
    codeMasque[nbChiffres] = '*';
    ++nbChiffres;
    codeSaisi[nbChiffres] = codeMasque[nbChiffres] = '\0';
}

void MonControleur::AEcrire() {
    systeme->Afficher(HORS_SERVICE, POINTILLES);
    etat = ETAT_HORS_SERVICE;
}

const char* MonControleur::Bonjour() const {
    return mode == MODE_LOCAL ? BONJOUR_LOCAL : BONJOUR;
}
