// The simulated link to the supervision station, whose controls sit on the operator panel.
#pragma once

#include <cstddef>

class tSupervision {
public:
    static constexpr int CAPACITE_PARKING = 2;

    tSupervision(const char* adresse, const char* portServeur, const char* nomAcces, int numeroAcces,
                 const char* ipSuperviseur, const char* portSuperviseur, int mode);

    unsigned char LireAutorisation(); // 1 once per grant of the attendant, else 0
    int LireEclairage();              // 9 while the attendant asks for light, else 0
    int LireAlarme();                 // 7 while the alarm is on, else 0
    // 8 while the message is being sent, its text copied cut to the capacity; else 0, message untouched.
    int LireMessage(char* message, std::size_t capacite);
    template <std::size_t N> int LireMessage(char (&message)[N]) { return LireMessage(message, N); }
    int LireEtatParking();                        // 4 when full, else 0; shows the occupancy
    void SignalerPassage(int type);               // 10 an entry, 11 an exit
    int VerifierCode(int type, const char* code); // 12 accepted, 0 refused
    void AfficherDefaut(const char* texte);
    void AppelerGardien();

    // The count of cars inside, which decides "full"; set only by tests and the bench, to start a turn
    // with the car park in a given state.
    int nbVehiculesCourant() const noexcept { return nbVehicules; }
    void installerNbVehicules(int n) noexcept { nbVehicules = n; }

private:
    char adresse[16];
    char portServeur[5];
    char nomAcces[32];
    char ipSuperviseur[16];
    char portSuperviseur[7];
    int numeroAcces;
    int mode;
    unsigned char autorisation;
    int nbVehicules;
};
