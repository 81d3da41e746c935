#include "control/tSupervision.h"

#include "control/Codes.h"
#include "panel/PanneauOperateur.h"
#include "base/Texte.h"

#include <charconv>
#include <cstring>
#include <string_view>

using borne::panneau;

namespace {

// The one code the supervision station accepts, from the keypad and the card alike.
constexpr const char* kCodeAccepte = "6082";
// "Gardien appelé" in Windows-1252.
constexpr const char* kGardienAppele = "Gardien appel\xE9";

// A caller's text, a missing one read as empty.
std::string_view ouVide(const char* t) {
    return t != nullptr ? std::string_view(t) : std::string_view();
}

// Plain signed decimal form of n: no padding, a minus sign when negative.
class Decimal {
public:
    explicit Decimal(int n) {
        const auto res = std::to_chars(tampon_, tampon_ + sizeof tampon_, n);
        longueur_ = static_cast<std::size_t>(res.ptr - tampon_);
    }
    std::string_view vue() const { return std::string_view(tampon_, longueur_); }

private:
    char tampon_[16]; // "-2147483648" is 11 characters
    std::size_t longueur_;
};

} // namespace

tSupervision::tSupervision(const char* adresse, const char* portServeur, const char* nomAcces,
                           int numeroAcces, const char* ipSuperviseur, const char* portSuperviseur,
                           int mode) {
    // Each setting is cut to its field; the connection settings are kept though no link is opened.
    borne::copierBorne(this->adresse, ouVide(adresse));
    borne::copierBorne(this->portServeur, ouVide(portServeur));
    borne::copierBorne(this->nomAcces, ouVide(nomAcces));
    borne::copierBorne(this->ipSuperviseur, ouVide(ipSuperviseur));
    borne::copierBorne(this->portSuperviseur, ouVide(portSuperviseur));
    this->mode = mode;
    this->numeroAcces = numeroAcces;
    nbVehicules = 0;
    autorisation = 0;

    auto& p = panneau();
    p.GroupBox14.setVisible(true);
    p.GroupBox14.setCaption(borne::texteDe(this->nomAcces));
    p.Label5.setCaption(Decimal(this->numeroAcces).vue());
    p.Image6.setVisible(false);
    p.Image7.setVisible(false);
}

unsigned char tSupervision::LireAutorisation() {
    auto& p = panneau();
    autorisation = 0;
    // The box is a latch: taking the grant springs it back, so one tick is one authorisation.
    if (p.CheckBox3.Checked()) {
        autorisation = 1;
        p.Label3.setCaption("");
        p.CheckBox3.setChecked(false);
    }
    return autorisation;
}

int tSupervision::LireEclairage() {
    return panneau().CheckBox7.Checked() ? LUMIERE_ACTIVE : 0;
}

int tSupervision::LireAlarme() {
    return panneau().CheckBox8.Checked() ? ALARME_ACTIVE : 0;
}

int tSupervision::LireMessage(char* message, std::size_t capacite) {
    auto& p = panneau();
    int resultat = 0;
    const std::string texteGardien = p.MessageGardien.Text();
    if (p.CheckBox9.Checked()) {
        if (message != nullptr) borne::copierBorne(message, capacite, texteGardien);
        resultat = MESSAGE_SUPERVISEUR;
    }
    return resultat;
}

int tSupervision::LireEtatParking() {
    auto& p = panneau();
    int resultat = 0;
    if (nbVehicules == CAPACITE_PARKING) {
        resultat = PARKING_PLEIN;
        p.Shape4.setBrushColor(borne::clRed);
        p.Label4.setCaption("COMPLET");
    } else {
        // Any other count, a negative one after an unmatched exit included, reads as free.
        p.Shape4.setBrushColor(borne::clLime);
        p.Label4.setCaption("Libre");
    }
    p.PlaceRestantes.setText(Decimal(CAPACITE_PARKING - nbVehicules).vue());
    return resultat;
}

void tSupervision::SignalerPassage(int type) {
    auto& p = panneau();
    if (type == ENTREE_VEHICULE) {
        ++nbVehicules;
        p.Image6.setVisible(true);
    } else if (type == SORTIE_VEHICULE) {
        --nbVehicules;
        p.Image7.setVisible(true);
    }
}

int tSupervision::VerifierCode(int type, const char* code) {
    int resultat = 0;
    if (code == nullptr) return resultat;
    const bool accepte = std::strcmp(code, kCodeAccepte) == 0;
    if (type == CODECLAVIER && accepte) resultat = AUTORISATION_OK;
    if (type == CODECARTE && accepte) resultat = AUTORISATION_OK;
    return resultat;
}

void tSupervision::AfficherDefaut(const char* texte) {
    panneau().Default.setText(ouVide(texte));
}

void tSupervision::AppelerGardien() {
    auto& p = panneau();
    // A call made while a grant is already pending shows nothing: the grant answers it.
    if (p.CheckBox3.Checked())
        p.Label3.setCaption("");
    else
        p.Label3.setCaption(kGardienAppele);
}
