// The journal: names the current state and event, shows them in the panel's debug group and appends a
// line to its file whenever both have changed since the previous turn.
#pragma once

class tDebug {
public:
    explicit tDebug(const char* nomFichier); // opens nothing: the file is created by the first Ecrire
    void NoterEtat(unsigned int code);       // 0..14; any other code is ignored
    void NoterEvenement(unsigned int code);  // 0..12; any other code is ignored
    // Appends the line when both names changed; true only when the whole line reached the file. The
    // names become the previous names whatever happened to the file.
    bool Ecrire();

    // The names the journal writes, from the one table of names (states 0..14 only).
    static const char* NomEtat(unsigned int code);      // 0..14, nullptr otherwise
    static const char* NomEvenement(unsigned int code); // 0..12, nullptr otherwise

private:
    char nomFichier[50];
    char nomEtat[50];
    char nomEvenement[50];
    char etatPrecedent[50];
    char evenementPrecedent[50];
};
