// A controller of one's own: the start-up and the access cycle of the lane, written on the terminal's
// devices (tSystemeBarriere), its supervision link (tSupervision), its settings (tConfiguration) and its
// journal (tDebug). borne builds it (its start-up), then calls Tour() again and again.
#pragma once

#include "config/tConfiguration.h"
#include "control/Codes.h"
#include "control/ObservateurTour.h"
#include "control/tSupervision.h"
#include "control/tSystemeBarriere.h"
#include "journal/tDebug.h"

#include <memory>

class MonControleur {
public:
    // The start-up: reads Config.cfg and CHIP.INI and shows the start picture of the mode.
    MonControleur();

    // One turn: read the inputs, act for the current state, pause 500 ms, journal.
    void Tour();

    // What borne reads between two turns (the state for `expect etat`, coverage and rules).
    Etat etatCourant() const noexcept { return etat; }
    Mode modeCourant() const noexcept { return mode; }

    // Optional: with it, coverage counts the rows each turn reaches (the ligne<S, K>() tags).
    void observer(borne::ObservateurTour* o) noexcept { observateur = o; }

private:
    void EtatVehiculeAbsent();
    void EtatAttenteAutorisation();
    void AEcrire(); // a state still to write
    void SaisirChiffre();
    const char* Bonjour() const;

    // Row K of state S is reached (checked against the state table when compiled).
    template <Etat S, int K> void ligne() const noexcept;

    // In this order: the journal is the last to close.
    std::unique_ptr<tDebug> debug;
    std::unique_ptr<tConfiguration> configuration;
    std::unique_ptr<tSystemeBarriere> systeme;
    std::unique_ptr<tSupervision> supervision; // none in the standalone mode

    Mode mode = MODE_SUPERVISE;
    Etat etat = ETAT_VEHICULE_ABSENT;
    char codeLocal[10] = {};
    int nbEssais = 1;
    bool carteRefusee = false;
    bool codeRefuse = false;
    int nbChiffres = 0;
    char codeSaisi[5] = {};
    char codeMasque[5] = {};

    // The inputs of the turn.
    int position = 0;
    int carte = 0;
    int touche = 0;
    int alarme = 0;
    int etatParking = 0;
    int autorisation = 0;
    char codeCarte[12] = {};
    char messageSuperviseur[16] = {};

    borne::ObservateurTour* observateur = nullptr;
};
