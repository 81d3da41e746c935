// The terminal's classes as their headers declare them, for a plug-in hosted out of process: each call
// becomes the request that has the bench make it on its own panel, journal and link. A field the header
// declares and these leave unused is the layout a plug-in was compiled against, kept as it is.
#include "base/Codes.h"
#include "base/Texte.h"
#include "config/tConfiguration.h"
#include "control/Attente.h"
#include "control/tClavier.h"
#include "control/tSupervision.h"
#include "control/tSystemeBarriere.h"
#include "journal/tDebug.h"
#include "tools/host/Link.h"

using namespace borne::host;

namespace {

std::string object(const void* self) {
    return std::to_string(numberOf(self));
}

std::string call(const void* self, const char* operation) {
    return "call\t" + object(self) + "\t" + operation;
}

int asked(const void* self, const char* operation) {
    const auto r = ask(call(self, operation));
    return r.size() == 1 ? integer(r[0]) : 0;
}

} // namespace

void borne::attendre(int ms) {
    waited(ms);
}

// ---- tSystemeBarriere

tSystemeBarriere::tSystemeBarriere() : positionVehicule(VEHICULE_ABSENT) {
    send("new\t" + std::to_string(created(this)) + "\ttSystemeBarriere");
}

tSystemeBarriere::~tSystemeBarriere() {
    send("delete\t" + object(this));
    destroyed(this);
}

int tSystemeBarriere::LirePositionVehicule() {
    positionVehicule = asked(this, "LirePositionVehicule");
    return positionVehicule;
}

void tSystemeBarriere::Afficher(const char* ligne1, const char* ligne2) {
    send(call(this, "Afficher") + "\t" + field(ligne1) + "\t" + field(ligne2));
}

void tSystemeBarriere::AllumerEclairage() { send(call(this, "AllumerEclairage")); }
void tSystemeBarriere::EteindreEclairage() { send(call(this, "EteindreEclairage")); }
void tSystemeBarriere::OuvrirBarriere() { send(call(this, "OuvrirBarriere")); }
void tSystemeBarriere::FermerBarriere() { send(call(this, "FermerBarriere")); }
void tSystemeBarriere::ArreterMoteur() { send(call(this, "ArreterMoteur")); }
void tSystemeBarriere::AllumerAfficheur() { send(call(this, "AllumerAfficheur")); }
void tSystemeBarriere::EteindreAfficheur() { send(call(this, "EteindreAfficheur")); }

int tSystemeBarriere::LireClavier() {
    return asked(this, "LireClavier");
}

int tSystemeBarriere::LireCarte(char* codeCarte, std::size_t capacite) {
    const auto r = ask(call(this, "LireCarte"));
    if (r.size() != 2) return 0;
    borne::copierBorne(codeCarte, capacite, terminal(r[1]));
    return integer(r[0]);
}

// ---- tClavier

int tClavier::LireTouche() {
    // A reader of its own has no constructor to forward: its object on the bench is made at its first read.
    if (numberOf(this) == 0) send("new\t" + std::to_string(created(this)) + "\ttClavier");
    return asked(this, "LireTouche");
}

// ---- tSupervision

tSupervision::tSupervision(const char* adresse_, const char* portServeur_, const char* nomAcces_, int numeroAcces_,
                           const char* ipSuperviseur_, const char* portSuperviseur_, int mode_)
    : adresse{}, portServeur{}, nomAcces{}, ipSuperviseur{}, portSuperviseur{}, numeroAcces(numeroAcces_),
      mode(mode_), autorisation(0), nbVehicules(0) {
    borne::copierBorne(adresse, adresse_ != nullptr ? adresse_ : "");
    borne::copierBorne(portServeur, portServeur_ != nullptr ? portServeur_ : "");
    borne::copierBorne(nomAcces, nomAcces_ != nullptr ? nomAcces_ : "");
    borne::copierBorne(ipSuperviseur, ipSuperviseur_ != nullptr ? ipSuperviseur_ : "");
    borne::copierBorne(portSuperviseur, portSuperviseur_ != nullptr ? portSuperviseur_ : "");
    send("new\t" + std::to_string(created(this)) + "\ttSupervision\t" + field(adresse_) + "\t" + field(portServeur_) +
         "\t" + field(nomAcces_) + "\t" + std::to_string(numeroAcces_) + "\t" + field(ipSuperviseur_) + "\t" +
         field(portSuperviseur_) + "\t" + std::to_string(mode_));
}

unsigned char tSupervision::LireAutorisation() { return static_cast<unsigned char>(asked(this, "LireAutorisation")); }
int tSupervision::LireEclairage() { return asked(this, "LireEclairage"); }
int tSupervision::LireAlarme() { return asked(this, "LireAlarme"); }
int tSupervision::LireEtatParking() { return asked(this, "LireEtatParking"); }

int tSupervision::LireMessage(char* message, std::size_t capacite) {
    const auto r = ask(call(this, "LireMessage"));
    if (r.size() != 2) return 0;
    const int resultat = integer(r[0]);
    if (resultat != 0) borne::copierBorne(message, capacite, terminal(r[1]));
    return resultat;
}

void tSupervision::SignalerPassage(int type) {
    send(call(this, "SignalerPassage") + "\t" + std::to_string(type));
}

int tSupervision::VerifierCode(int type, const char* code) {
    const auto r = ask(call(this, "VerifierCode") + "\t" + std::to_string(type) + "\t" + field(code));
    return r.size() == 1 ? integer(r[0]) : 0;
}

void tSupervision::AfficherDefaut(const char* texte) {
    send(call(this, "AfficherDefaut") + "\t" + field(texte));
}

void tSupervision::AppelerGardien() { send(call(this, "AppelerGardien")); }

// ---- tConfiguration

tConfiguration::tConfiguration(const char* config, const char* chip) : nomFichierConfig{}, nomFichierChip{} {
    borne::copierBorne(nomFichierConfig, config != nullptr ? config : "");
    borne::copierBorne(nomFichierChip, chip != nullptr ? chip : "");
    send("new\t" + std::to_string(created(this)) + "\ttConfiguration\t" + field(config) + "\t" + field(chip));
}

namespace {

void texteLu(const void* self, const char* operation, char* dest, std::size_t capacite) {
    const auto r = ask(call(self, operation));
    if (r.size() == 1) borne::copierBorne(dest, capacite, terminal(r[0]));
}

std::optional<std::int32_t> nombreLu(const void* self, const char* operation) {
    const auto r = ask(call(self, operation));
    if (r.size() != 1) return std::nullopt;
    return integer(r[0]);
}

} // namespace

void tConfiguration::LireIPSuperviseur(char* d, std::size_t c) { texteLu(this, "LireIPSuperviseur", d, c); }
void tConfiguration::LirePortSuperviseur(char* d, std::size_t c) { texteLu(this, "LirePortSuperviseur", d, c); }
void tConfiguration::LireAdresse(char* d, std::size_t c) { texteLu(this, "LireAdresse", d, c); }
void tConfiguration::LirePortServeur(char* d, std::size_t c) { texteLu(this, "LirePortServeur", d, c); }
void tConfiguration::LireNomAcces(char* d, std::size_t c) { texteLu(this, "LireNomAcces", d, c); }
void tConfiguration::LireCode(char* d, std::size_t c) { texteLu(this, "LireCode", d, c); }
std::optional<std::int32_t> tConfiguration::LireMode() { return nombreLu(this, "LireMode"); }
std::optional<std::int32_t> tConfiguration::LireNumeroAcces() { return nombreLu(this, "LireNumeroAcces"); }

// ---- tDebug

tDebug::tDebug(const char* fichier) : nomFichier{}, nomEtat{}, nomEvenement{}, etatPrecedent{}, evenementPrecedent{} {
    borne::copierBorne(nomFichier, fichier != nullptr ? fichier : "");
    send("new\t" + std::to_string(created(this)) + "\ttDebug\t" + field(fichier));
}

void tDebug::NoterEtat(unsigned int code) {
    send(call(this, "NoterEtat") + "\t" + std::to_string(code));
}

void tDebug::NoterEvenement(unsigned int code) {
    send(call(this, "NoterEvenement") + "\t" + std::to_string(code));
}

bool tDebug::Ecrire() {
    send(call(this, "Ecrire"));
    return true; // the journal's own failure is the bench's to report
}

const char* tDebug::NomEtat(unsigned int code) {
    return code <= ETAT_DEFAUT ? nomEtatCode(static_cast<int>(code)) : nullptr;
}

const char* tDebug::NomEvenement(unsigned int code) {
    return code < NB_EVENEMENTS ? nomEvenementCode(static_cast<int>(code)) : nullptr;
}
