#include "Outils.h"

#include "journal/tDebug.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace borne::stress {

namespace {

const std::string kTete("EtatCourant = \0", 15);
const std::string kMilieu(";      Evenement = \0", 20);

bool nomConnu(std::string_view nom, const char* (*table)(unsigned)) {
    for (unsigned code = 0;; ++code) {
        const char* connu = table(code);
        if (connu == nullptr) return false;
        if (nom == connu) return true;
    }
}

std::string afficher(std::string_view ligne) {
    std::string r;
    for (char c : ligne.substr(0, 120))
        r += (c == '\0') ? std::string("\\0") : std::string(1, c);
    return r;
}

} // namespace

std::size_t longueurLigne(std::string_view etat, std::string_view evenement) {
    return kTete.size() + etat.size() + kMilieu.size() + evenement.size() + 2;
}

std::string verifierJournal(std::string_view contenu, std::size_t* nbLignes) {
    std::size_t numero = 0;
    while (!contenu.empty()) {
        ++numero;
        const std::size_t fin = contenu.find('\n');
        if (fin == std::string_view::npos)
            return "line " + std::to_string(numero) + " is cut short (no line end): " + afficher(contenu);
        const std::string_view ligne = contenu.substr(0, fin);
        contenu.remove_prefix(fin + 1);
        const std::size_t milieu = ligne.find(kMilieu);
        if (ligne.substr(0, kTete.size()) != kTete || milieu == std::string_view::npos || ligne.back() != ';')
            return "line " + std::to_string(numero) + " is malformed: " + afficher(ligne);
        const std::string_view etat = ligne.substr(kTete.size(), milieu - kTete.size());
        const std::string_view evenement =
            ligne.substr(milieu + kMilieu.size(), ligne.size() - 1 - milieu - kMilieu.size());
        if (!nomConnu(etat, tDebug::NomEtat))
            return "line " + std::to_string(numero) + " names an unknown state: " + afficher(ligne);
        if (!nomConnu(evenement, tDebug::NomEvenement))
            return "line " + std::to_string(numero) + " names an unknown event: " + afficher(ligne);
    }
    if (nbLignes != nullptr) *nbLignes = numero;
    return "";
}

std::string contenuDe(const std::string& fichier) {
    std::ifstream f(fichier, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::map<std::string, Valeur> etatDuPanneau() {
    std::map<std::string, Valeur> etat;
    for (const Controle* c : panneau().controles())
        for (Propriete pr : {Propriete::Checked, Propriete::Caption, Propriete::Text, Propriete::Color,
                             Propriete::Visible, Propriete::BrushColor, Propriete::SimpleText})
            if (proprieteDe(c->genre(), pr)) etat[c->nom() + "." + nomPropriete(pr)] = c->lire(pr);
    return etat;
}

std::uint64_t graine() {
    if (const char* g = std::getenv("BORNE_GRAINE"); g != nullptr && *g != '\0')
        return std::strtoull(g, nullptr, 10);
    return std::random_device{}() ^
           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace borne::stress
