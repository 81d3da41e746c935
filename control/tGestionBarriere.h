// The terminal's controller: owns the journal, the configuration reader, the field devices and (but in
// the standalone mode) the supervision link; starts the terminal in its configured mode and runs the
// access cycle.
#pragma once

#include "config/tConfiguration.h"
#include "control/tSupervision.h"
#include "control/tSystemeBarriere.h"
#include "journal/tDebug.h"

#include <memory>
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
    // One whole turn: read the inputs, act for the current state, pause 500 ms, journal.
    void Tour();

    // What the controller holds, for the scenario runner and the tests; nothing here changes it.
    int etatCourant() const noexcept { return etat; }
    int modeCourant() const noexcept { return mode; }
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
    const char* LigneBonjour() const;

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
    int mode = 0;
    char codeLocal[10] = {};
    unsigned char carteRefusee = 0;
    unsigned char codeRefuse = 0;
    int etat = 0;
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
};
