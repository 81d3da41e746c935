// A lane under test: writes the settings, builds the controller in virtual time and drives it the way
// a user drives the panel.
#pragma once

#include "control/Codes.h"
#include "control/tGestionBarriere.h"
#include "tests/support/Sandbox.h"

#include <memory>
#include <string>
#include <vector>

namespace borne::test {

class Lane : public Sandbox {
protected:
    // Writes Config.cfg (and a CHIP.INI) into the test's folder.
    void configure(const std::string& config, const std::string& chip = "ADDRESS=12\n");
    // Settings of the given mode with the usual identity, then the controller.
    void start(int mode, const std::string& extra = "");
    void build(); // the controller, from whatever settings are in the folder

    // The user's hands.
    void emptyLane() { loops(false, false); }
    void upstream() { loops(true, false); }
    void middle() { loops(true, true); }
    void downstream() { loops(false, true); }
    void loops(bool onUpstream, bool onDownstream);
    void pressKey(int digit); // ticks the key of that digit
    void callAttendant() { panel.CheckBox6.setChecked(true, Auteur::Utilisateur); }
    void card(bool inserted) { panel.CheckBox10.setChecked(inserted, Auteur::Utilisateur); }
    void authorise() { panel.CheckBox3.setChecked(true, Auteur::Utilisateur); }
    void alarm(bool active) { panel.CheckBox8.setChecked(active, Auteur::Utilisateur); }
    // Types a whole code, one key and one turn per digit, with the car on the upstream loop.
    void typeCode(const std::string& digits);

    // A whole entry by keypad code, from arrival to the boom down again.
    void entryByCode(const std::string& digits);
    // From the upstream loop with the boom up: across both loops, off the lane, and three more turns
    // (the passage reported, the boom down again).
    void driveThrough();
    // A whole entry granted by the attendant, from arrival to the boom down again; optionally after a
    // refused keypad code.
    void entryByAttendant(bool afterARefusedCode = false);

    void turn(int n = 1);
    int state() const { return terminal->etatCourant(); }
    std::string line1() const { return panel.Edit1.Text(); }
    std::string line2() const { return panel.Edit2.Text(); }
    bool boomUp() const { return panel.CheckBox4.Checked() && !panel.CheckBox5.Checked(); }   // boom up
    bool boomDown() const { return panel.CheckBox5.Checked() && !panel.CheckBox4.Checked(); } // boom down

    // Log.txt, one entry per line as "STATE EVENT" ("MALFORMED ..." for a line without its fixed parts).
    std::vector<std::string> journalEntries() const;

    std::unique_ptr<tGestionBarriere> terminal; // the controller under test
};

} // namespace borne::test
