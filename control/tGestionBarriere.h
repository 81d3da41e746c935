// The terminal's controller: owns the journal, the configuration reader, the field devices and (but in
// the standalone mode) the supervision link; starts the terminal in its configured mode and runs the
// access cycle.
#pragma once

#include "config/tConfiguration.h"
#include "control/Codes.h"
#include "control/Controleur.h"
#include "control/ObservateurTour.h"
#include "control/tSupervision.h"
#include "control/tSystemeBarriere.h"
#include "journal/tDebug.h"

#include <memory>
#include <string>
#include <string_view>

class tGestionBarriere {
public:
    // Reads Config.cfg and CHIP.INI from the working directory and puts the panel into the start picture
    // of the mode. In the out-of-service mode with the boom raised this includes a 2000 ms raise.
    tGestionBarriere();
    ~tGestionBarriere();
    tGestionBarriere(const tGestionBarriere&) = delete;
    tGestionBarriere& operator=(const tGestionBarriere&) = delete;

    // The access cycle: one turn after another, for ever. Only a stopped clock's wait ends it (by the
    // exception the clock throws).
    [[noreturn]] void Executer();
    // One whole turn: read the inputs, act for the current state, pause 500 ms, journal. Blocks for the
    // pause and for every boom movement (2000 ms each); ends by ArretDemande out of any of these waits.
    void Tour();

    // Tells `o` which rows of the table each turn reaches (nullptr: no one). Installed before the cycle
    // runs or from the worker's own thread; the observer must outlive its installation.
    void observer(borne::ObservateurTour* o) noexcept { observateur_ = o; }

    // Starts the next turn from these values instead of the ones the cycle reached. Refuses (false,
    // nothing changed) a digit count outside 0..3 or a text longer than its field. A state off the
    // table is taken as it is, so that its fallback can be seen: the next turn puts the lane out of
    // service (ETAT_HORS_SERVICE) and reaches no row.
    bool installerValeurs(const ValeursTravail& v);
    ValeursTravail valeurs() const;

    // What the controller holds, for the scenario runner and the tests; nothing here changes it.
    Etat etatCourant() const noexcept { return etat; }
    Mode modeCourant() const noexcept { return mode; }
    int nbEssaisCourant() const noexcept { return nbEssais; }
    int nbChiffresCourant() const noexcept { return nbChiffres; }
    bool carteRefuseeCourante() const noexcept { return carteRefusee != 0; }
    bool codeRefuseCourant() const noexcept { return codeRefuse != 0; }
    bool aUneSupervision() const noexcept { return supervision != nullptr; }
    std::string_view codeSaisiCourant() const noexcept;
    std::string_view codeMasqueCourant() const noexcept;
    std::string_view codeLocalCourant() const noexcept;
    std::string_view nomAccesCourant() const noexcept;
    int numeroAccesCourant() const noexcept { return numeroAcces; }

private:
    // The table's step for the state held now; false for a state off the table.
    bool EtapeTable();
    // One function per state of the table.
    void EtatVehiculeAbsent();
    void EtatAttenteAutorisation();
    void EtatVerifierCodeClavier();
    void EtatVerifierCarte();
    void EtatAppelGardien();
    void EtatVehiculeSurBoucleAmontEntrant();
    void EtatVehiculeSurBoucleAmontSortant();
    void EtatVehiculeAuMilieuEntrant();
    void EtatVehiculeAuMilieuSortant();
    void EtatVehiculeSurBoucleAvalEntrant();
    void EtatVehiculeSurBoucleAvalSortant();
    void EtatAlarme();
    void EtatVehiculeEntre();
    void EtatVehiculeSort();
    void EtatDefaut();
    void SaisirChiffre();
    void AfficherAttente(const char* ligne1);

    // Row K of state S is reached: the tag at the head of each row's branch, checked against the state
    // table when compiled (defined beside the state functions, the only ones that use it).
    template <Etat S, int K> void ligne() const noexcept;

    std::unique_ptr<tDebug> debug;
    std::unique_ptr<tSystemeBarriere> systeme;
    std::unique_ptr<tConfiguration> configuration;
    std::unique_ptr<tSupervision> supervision; // none in the standalone mode
    char ipSuperviseur[50] = {};
    char portSuperviseur[10] = {};
    char adresse[50] = {};
    char portServeur[10] = {};
    char nomAcces[50] = {};
    int numeroAcces = 0;
    Mode mode = MODE_SUPERVISE;
    char codeLocal[10] = {};
    unsigned char carteRefusee = 0;
    unsigned char codeRefuse = 0;
    Etat etat = ETAT_VEHICULE_ABSENT;
    int positionVehicule = 0;
    int nbEssais = 1;
    char codeSaisi[5] = {};
    char codeMasque[5] = {};

    // Working values of the cycle, kept from one turn to the next.
    int nbChiffres = 0;
    char messageSuperviseur[16] = {};
    char codeCarte[12] = {};
    char ligneCode[20] = {};
    unsigned char autorisation = 0;

    // Inputs read once per turn.
    int position = 0;
    int carte = 0;
    int touche = 0;
    int alarme = 0;
    int message = 0;
    int eclairage = 0;
    int etatParking = 0;

    borne::ObservateurTour* observateur_ = nullptr;
};
