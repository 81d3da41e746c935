#include "journal/tDebug.h"

#include "journal/FichierJournal.h"
#include "base/Codes.h"
#include "panel/PanneauOperateur.h"
#include "base/Texte.h"

#include <string>
#include <string_view>

using borne::panneau;

namespace {

// Each label goes out with its terminating zero byte; the six spaces do not.
constexpr std::string_view kEtiquetteEtat("EtatCourant = ", 15);
constexpr std::string_view kEtiquetteEvenement("Evenement = ", 13);
constexpr std::string_view kSeparateur("      ");

std::string ligneJournal(std::string_view etat, std::string_view evenement) {
    std::string ligne;
    ligne.reserve(kEtiquetteEtat.size() + etat.size() + 1 + kSeparateur.size() + kEtiquetteEvenement.size() +
                  evenement.size() + 2);
    ligne.append(kEtiquetteEtat).append(etat).append(";");
    ligne.append(kSeparateur);
    ligne.append(kEtiquetteEvenement).append(evenement).append(";");
    ligne.push_back('\n');
    return ligne;
}

} // namespace

// States 15 to 17 have no journal name: the journal keeps the last name it had.
const char* tDebug::NomEtat(unsigned int code) {
    return code <= ETAT_DEFAUT ? nomEtatCode(static_cast<int>(code)) : nullptr;
}

const char* tDebug::NomEvenement(unsigned int code) {
    return code < NB_EVENEMENTS ? nomEvenementCode(static_cast<int>(code)) : nullptr;
}

tDebug::tDebug(const char* nomFichier) {
    borne::copierBorne(this->nomFichier, nomFichier != nullptr ? nomFichier : "");
    nomEtat[0] = '\0';
    nomEvenement[0] = '\0';
    etatPrecedent[0] = '\0';
    evenementPrecedent[0] = '\0';
}

void tDebug::NoterEtat(unsigned int code) {
    const char* nom = NomEtat(code);
    if (nom == nullptr) return;
    borne::copierBorne(nomEtat, nom);
    panneau().EtatCourant.setText(nom);
}

void tDebug::NoterEvenement(unsigned int code) {
    const char* nom = NomEvenement(code);
    if (nom == nullptr) return;
    panneau().Evenement.setText(nom);
    borne::copierBorne(nomEvenement, nom);
}

bool tDebug::Ecrire() {
    const std::string_view etat = borne::texteDe(nomEtat);
    const std::string_view evenement = borne::texteDe(nomEvenement);
    // A line only when both names moved since the previous turn.
    const bool change =
        etat != borne::texteDe(etatPrecedent) && evenement != borne::texteDe(evenementPrecedent);
    const std::string ligne = change ? ligneJournal(etat, evenement) : std::string();

    // Opened at every turn, even with nothing to write, so that a missing journal is created.
    const bool ecrit = borne::FichierJournal::ajouter(nomFichier, ligne);

    // This turn's names become the previous ones whatever happened to the file, so a change that
    // could not be written is not written later either.
    borne::copierBorne(etatPrecedent, etat);
    borne::copierBorne(evenementPrecedent, evenement);
    return ecrit;
}
