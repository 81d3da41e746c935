#include "tests/support/Soak.h"

#include "control/Codes.h"
#include "control/tGestionBarriere.h"
#include "panel/PanneauOperateur.h"
#include "tests/support/Common.h"
#include "tests/support/JournalCheck.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

namespace borne::test {

namespace {

constexpr std::string_view kBonCode = "6082"; // accepted by the link; the local code of the soak too

std::uintmax_t taille(const char* fichier) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(fichier, ec);
    return ec ? 0 : n;
}

// The invariants of one finished turn; "" when they hold.
std::string verifierTour(const tGestionBarriere& g, const PanneauOperateur& p) {
    if (g.etatCourant() < 0 || g.etatCourant() >= NB_ETATS) return "state out of range";
    const auto saisi = g.codeSaisiCourant();
    const auto masque = g.codeMasqueCourant();
    if (saisi.size() > 4 || masque.size() > 4) return "typed code or mask longer than four characters";
    if (saisi.find_first_not_of("0123456789") != std::string_view::npos)
        return "typed code holds a non-digit";
    if (masque.find_first_not_of('*') != std::string_view::npos) return "mask holds something else than '*'";
    const bool haut = p.CheckBox4.Checked();
    if (haut == p.CheckBox5.Checked()) return "the boom's sensors say neither up nor down, or both";
    if (p.Image3.Visible() != haut || p.Image5.Visible() != haut || p.Image2.Visible() == haut)
        return "the barrier pictures disagree with the sensors";
    if (p.Moteur.Text() == "ON" || p.Shape1.BrushColor() != clWhite || p.Shape2.BrushColor() != clWhite)
        return "the motor still runs between two turns";
    return "";
}

// Checks Log.txt a piece at a time, so that a journal of tens of megabytes does not need reading whole.
std::string verifierFichier(const char* fichier, long& lignes) {
    std::ifstream f(fichier, std::ios::binary);
    std::string reste;
    std::vector<char> bloc(1 << 20);
    lignes = 0;
    while (f) {
        f.read(bloc.data(), static_cast<std::streamsize>(bloc.size()));
        reste.append(bloc.data(), static_cast<std::size_t>(f.gcount()));
        const std::size_t fin = reste.rfind('\n');
        if (fin == std::string::npos) continue;
        std::size_t n = 0;
        const std::string faute = checkJournal(std::string_view(reste).substr(0, fin + 1), &n);
        if (!faute.empty()) return "after " + std::to_string(lignes) + " lines: " + faute;
        lignes += static_cast<long>(n);
        reste.erase(0, fin + 1);
    }
    if (!reste.empty()) return "the last line is cut short";
    return "";
}

} // namespace

RandomUser::RandomUser(std::uint64_t seed) : random_(seed) {}

bool RandomUser::chance(unsigned percent) {
    return random_() % 100 < percent;
}

void RandomUser::act(PanneauOperateur& p) {
    constexpr Auteur U = Auteur::Utilisateur;
    static constexpr int kEntree[4] = {1, 2, 3, 0};
    static constexpr int kSortie[4] = {3, 2, 1, 0};
    if (journey_ == nullptr && chance(20)) {
        journey_ = chance(70) ? kEntree : kSortie;
        step_ = 0;
    }
    if (journey_ != nullptr && chance(35)) {
        if (++step_ >= 4) journey_ = nullptr;
    }
    int position = journey_ != nullptr ? journey_[step_] : 0;
    if (chance(3)) position = static_cast<int>(random_() % 4); // a car that backs up or jumps
    p.CheckBox1.setChecked(position == 1 || position == 2, U);
    p.CheckBox2.setChecked(position == 2 || position == 3, U);

    if (position == 1 && chance(40)) {
        const int chiffre = chance(60) ? kBonCode[digit_++ % 4] - '0' : static_cast<int>(random_() % 10);
        p.trouver(keyOf(chiffre))->ecrire(Propriete::Checked, true, U);
    } else if (chance(5)) {
        p.trouver(keyOf(static_cast<int>(random_() % 10)))->ecrire(Propriete::Checked, true, U);
    }
    if (!p.CheckBox10.Checked() ? chance(position == 1 ? 8 : 1) : chance(30))
        p.CheckBox10.setChecked(!p.CheckBox10.Checked(), U);
    if (chance(3)) p.CheckBox3.setChecked(true, U);
    if (chance(2)) p.CheckBox6.setChecked(true, U);
    if (p.CheckBox8.Checked() ? chance(25) : chance(1)) p.CheckBox8.setChecked(!p.CheckBox8.Checked(), U);
    if (chance(2)) p.CheckBox7.setChecked(!p.CheckBox7.Checked(), U);
    if (chance(2)) {
        p.CheckBox9.setChecked(!p.CheckBox9.Checked(), U);
        p.MessageGardien.setText(std::string(random_() % 40, 'm'), U);
    }
}

SoakReport soak(int mode, long turns, std::uint64_t seed, const std::function<void(long)>& milestone,
                long every, ObservateurTour* observer) {
    SoakReport bilan;
    auto& p = panneau();
    p.reinitialiser();
    std::filesystem::remove("Log.txt");
    std::ofstream("Config.cfg") << "mode=" << mode
                                << "\nIPsuperviseur=192.0.2.10\nPORTsuperviseur=4000\nportserver=4001\n"
                                   "nomacces=Entree Nord\nnumeroacces=2\ncode="
                                << kBonCode << "\n";
    std::ofstream("CHIP.INI") << "ADDRESS=12\n";
    auto g = std::make_unique<tGestionBarriere>();
    g->observer(observer);
    RandomUser utilisateur(seed);

    auto faute = [&](const std::string& quoi) {
        if (bilan.violations++ == 0)
            bilan.first =
                "mode " + std::to_string(mode) + ", turn " + std::to_string(bilan.turns) + ": " + quoi;
    };

    // The journal's previous names start empty, whatever the panel shows.
    std::string etatPrecedent, evenementPrecedent;
    std::uintmax_t avant = taille("Log.txt");
    for (long n = 1; n <= turns; ++n) {
        utilisateur.act(p);
        g->Tour();
        bilan.turns = n;
        const std::string etat = p.EtatCourant.Text();
        const std::string evenement = p.Evenement.Text();
        const bool ligneDue = etat != etatPrecedent && evenement != evenementPrecedent;
        const std::uintmax_t apres = taille("Log.txt");
        const std::uintmax_t attendu = ligneDue ? journalLineLength(etat, evenement) : 0;
        if (apres - avant != attendu)
            faute("Log.txt grew by " + std::to_string(apres - avant) + " bytes, " + std::to_string(attendu) +
                  " expected");
        bilan.lines += ligneDue ? 1 : 0;
        avant = apres;
        etatPrecedent = etat;
        evenementPrecedent = evenement;
        if (const std::string f = verifierTour(*g, p); !f.empty()) faute(f);
        const int e = g->etatCourant();
        if (e >= 0 && e < NB_ETATS) ++bilan.visits[static_cast<std::size_t>(e)];
        if (milestone && every > 0 && n % every == 0) milestone(n);
    }

    long lignesLues = 0;
    if (const std::string f = verifierFichier("Log.txt", lignesLues); !f.empty()) faute("Log.txt " + f);
    if (lignesLues != bilan.lines)
        faute("Log.txt holds " + std::to_string(lignesLues) + " lines, " + std::to_string(bilan.lines) +
              " were due");
    std::filesystem::remove("Log.txt");
    return bilan;
}

} // namespace borne::test
