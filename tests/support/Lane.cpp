#include "tests/support/Lane.h"

#include "tests/support/Common.h"
#include "tests/support/JournalCheck.h"

#include <fstream>
#include <sstream>

namespace borne::test {

void Lane::configure(const std::string& config, const std::string& chip) {
    std::ofstream(folder() / "Config.cfg", std::ios::binary) << config;
    std::ofstream(folder() / "CHIP.INI", std::ios::binary) << chip;
}

void Lane::start(int mode, const std::string& extra) {
    configure("mode=" + std::to_string(mode) +
              "\nIPsuperviseur=192.0.2.10\nPORTsuperviseur=4000\nportserver=4001\nnomacces=Entree Nord\n"
              "numeroacces=2\n" +
              extra);
    build();
}

void Lane::build() {
    terminal = std::make_unique<tGestionBarriere>();
}

void Lane::loops(bool a, bool b) {
    panel.CheckBox1.setChecked(a, Auteur::Utilisateur);
    panel.CheckBox2.setChecked(b, Auteur::Utilisateur);
}

void Lane::pressKey(int digit) {
    panel.trouver(keyOf(digit))->ecrire(Propriete::Checked, true, Auteur::Utilisateur);
}

void Lane::typeCode(const std::string& digits) {
    for (char c : digits) {
        pressKey(c - '0');
        turn();
    }
}

void Lane::driveThrough() {
    middle();
    turn();
    downstream();
    turn();
    emptyLane();
    turn(3);
}

void Lane::entryByCode(const std::string& digits) {
    upstream();
    turn();
    typeCode(digits);
    turn(2);
    driveThrough();
}

void Lane::entryByAttendant(bool afterARefusedCode) {
    upstream();
    turn();
    if (afterARefusedCode) {
        typeCode("1111");
        turn();
    }
    authorise(); // a grant read in any other state than 1 is lost
    turn(3);
    driveThrough();
}

void Lane::turn(int n) {
    for (int i = 0; i < n; ++i)
        terminal->Tour();
}

std::vector<std::string> Lane::journalEntries() const {
    std::vector<std::string> entries;
    std::istringstream in(readFile(folder() / "Log.txt"));
    std::string line;
    while (std::getline(in, line)) {
        const auto names = splitJournalLine(line);
        entries.push_back(names ? std::string(names->first) + " " + std::string(names->second)
                                : "MALFORMED " + line);
    }
    return entries;
}

} // namespace borne::test
