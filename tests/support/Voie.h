// A lane under test: writes the settings, builds the controller in virtual time and drives it the way
// a user drives the panel.
#pragma once

#include "control/Codes.h"
#include "control/tGestionBarriere.h"
#include "support/Banc.h"

#include <memory>
#include <string>
#include <vector>

namespace borne::test {

class Voie : public Banc {
protected:
    // Writes Config.cfg (and a CHIP.INI) into the test's folder.
    void configurer(const std::string& config, const std::string& chip = "ADDRESS=12\n");
    // Settings of the given mode with the usual identity, then the controller.
    void demarrer(int mode, const std::string& extra = "");
    void construire(); // the controller, from whatever settings are in the folder

    // The user's hands.
    void vide() { boucles(false, false); }
    void amont() { boucles(true, false); }
    void milieu() { boucles(true, true); }
    void aval() { boucles(false, true); }
    void boucles(bool amont, bool aval);
    void touche(int chiffre); // ticks the key of that digit
    void appel() { p.CheckBox6.setChecked(true, Auteur::Utilisateur); }
    void carte(bool dedans) { p.CheckBox10.setChecked(dedans, Auteur::Utilisateur); }
    void autoriser() { p.CheckBox3.setChecked(true, Auteur::Utilisateur); }
    void alarme(bool active) { p.CheckBox8.setChecked(active, Auteur::Utilisateur); }
    // Types a whole code, one key and one turn per digit, with the car on the upstream loop.
    void taper(const std::string& chiffres);

    // A whole entry granted by the attendant, from arrival to the boom down again; optionally after a
    // refused keypad code.
    void entrerParGardien(bool apresUnCodeRefuse = false);

    void tour(int n = 1);
    int etat() const { return g->etatCourant(); }
    std::string ligne1() const { return p.Edit1.Text(); }
    std::string ligne2() const { return p.Edit2.Text(); }
    bool flecheHaute() const { return p.CheckBox4.Checked() && !p.CheckBox5.Checked(); } // boom up
    bool flecheBasse() const { return p.CheckBox5.Checked() && !p.CheckBox4.Checked(); } // boom down

    // Log.txt, one entry per line as "STATE EVENT" (the line's fixed parts checked on the way).
    std::vector<std::string> journal() const;

    std::unique_ptr<tGestionBarriere> g;
};

} // namespace borne::test
