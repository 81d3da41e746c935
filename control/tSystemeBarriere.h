// The field devices: loops, boom with its motor, sensors and lamps, lighting, display, keypad, card.
// Every device is a control of the operator panel; the panel is the equipment's state.
#pragma once

#include "control/tClavier.h"

#include <cstddef>
#include <memory>

class tSystemeBarriere {
public:
    tSystemeBarriere();
    ~tSystemeBarriere();
    tSystemeBarriere(const tSystemeBarriere&) = delete;
    tSystemeBarriere& operator=(const tSystemeBarriere&) = delete;

    int LirePositionVehicule();
    void Afficher(const char* ligne1, const char* ligne2);
    void AllumerEclairage();
    void EteindreEclairage();
    // Each pass of the boom blocks the caller for 2000 ms (none when the boom is already there, another
    // if its sensor is ticked again meanwhile); a stop during a pass ends it by ArretDemande, the pass
    // left unfinished.
    void OuvrirBarriere();
    void FermerBarriere();
    void ArreterMoteur();
    void AllumerAfficheur();
    void EteindreAfficheur();
    int LireClavier();
    // Writes the card's code into the destination (cut to its capacity), then says whether a card is in.
    int LireCarte(char* codeCarte, std::size_t capacite);
    template <std::size_t N> int LireCarte(char (&codeCarte)[N]) { return LireCarte(codeCarte, N); }

private:
    std::unique_ptr<tClavier> clavier;
    int positionVehicule;
};
