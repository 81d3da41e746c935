// What the host (the window's worker, the scenario runner, the search) needs of a controller, and how a
// controller built apart (a plug-in) says what it is. The host owns the cycle: it builds the controller
// (its start-up), then calls Tour() again and again on one thread; the controller pauses inside its turn
// through attendre(), so time, the stop, observation and recording stay the host's whatever the
// controller. A controller reaches the panel only through the terminal's own classes.
#pragma once

#include "control/ObservateurTour.h"
#include "base/Codes.h"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

// What the access cycle carries from one turn to the next, besides the settings: enough to start a turn
// in any situation of the table. The terminal never installs any; tests and the search do.
struct ValeursTravail {
    Etat etat = ETAT_VEHICULE_ABSENT;
    int nbEssais = 1;
    bool carteRefusee = false;
    bool codeRefuse = false;
    int nbChiffres = 0;     // digits of the entry under way, 0..3 between turns
    std::string codeSaisi;  // at most 4 digits
    std::string codeMasque; // at most 4 characters
    int nbVehicules = 0;    // cars inside, as the supervision link counts them (none standalone)
};

namespace borne {

// The interface's version. A plug-in carries the one it was built for and the host refuses any other:
// raise it whenever this header's classes change in a way a built plug-in would notice.
inline constexpr int VERSION_CONTROLEUR = 2;

// A controller that runs apart failed in a way its host saw (it broke the protocol, ended, fell silent):
// what() completes "the controller NAME ..." as the host says it, without "threw".
struct EchecControleur : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Controleur {
public:
    virtual ~Controleur() = default;

    // One whole turn, as the terminal's own Tour(): may end by ArretDemande out of a wait.
    virtual void Tour() = 0;
    virtual Etat etatCourant() const noexcept = 0;
    virtual Mode modeCourant() const noexcept = 0;

    // Optional entries; a controller without them says so here.
    // Tells `o` the rows each turn reaches (nullptr: no one); false when the controller tells none.
    virtual bool observer(ObservateurTour* o) noexcept = 0;
    // Whether valeurs() and installerValeurs() describe the controller's working values; without them
    // a search cannot tell two situations apart.
    virtual bool decritValeurs() const noexcept = 0;
    virtual ValeursTravail valeurs() const = 0;
    virtual bool installerValeurs(const ValeursTravail& v) = 0;
};

// Any class with the terminal controller's shape as a Controleur: a constructor without arguments (the
// start-up), Tour(), etatCourant() and modeCourant(); observer() and valeurs()/installerValeurs() when it
// has them.
template <class C>
concept FormeControleur = std::default_initializable<C> && requires(C& c, const C& k) {
    c.Tour();
    { k.etatCourant() } -> std::convertible_to<Etat>;
    { k.modeCourant() } -> std::convertible_to<Mode>;
};

// `Lieu` sets where the wrapper's own code lives: a plug-in passes a type of its own, local to it, so that
// its wrapper (and the vtable that reaches the turn) is never the program's same-named one.
template <FormeControleur C, class Lieu = void> class ControleurDe final : public Controleur {
public:
    void Tour() override { c_.Tour(); }
    Etat etatCourant() const noexcept override { return c_.etatCourant(); }
    Mode modeCourant() const noexcept override { return c_.modeCourant(); }

    // What C offers besides the required members, known when compiled.
    static constexpr bool AVEC_LIGNES = requires(C & c, ObservateurTour* o) { c.observer(o); };
    static constexpr bool AVEC_VALEURS = requires(C & c, const C& k, const ValeursTravail& v) {
        { k.valeurs() } -> std::convertible_to<ValeursTravail>;
        { c.installerValeurs(v) } -> std::convertible_to<bool>;
    };

    bool observer(ObservateurTour* o) noexcept override {
        if constexpr (AVEC_LIGNES) {
            c_.observer(o);
            return true;
        } else {
            return false;
        }
    }
    bool decritValeurs() const noexcept override { return AVEC_VALEURS; }
    ValeursTravail valeurs() const override {
        if constexpr (AVEC_VALEURS)
            return c_.valeurs();
        else
            return {};
    }
    bool installerValeurs(const ValeursTravail& v) override {
        if constexpr (AVEC_VALEURS)
            return c_.installerValeurs(v);
        else
            return false;
    }

private:
    C c_;
};

// How a controller is built: its name (the class, or the plug-in's file) and its start-up. `creer` runs
// the start-up and gives the controller, or throws what the start-up throws.
struct TypeControleur {
    std::string nom;
    std::function<std::unique_ptr<Controleur>()> creer;
    bool ditLignes = false;     // it tells the turn observer its rows
    bool decritValeurs = false; // it describes its working values
};

// The terminal's own controller (tGestionBarriere) through the interface.
const TypeControleur& controleurInterne();

// The controller in a plug-in's file, loaded for the rest of the process (never unloaded: its code may
// still be on a stack that an exception unwinds). Nothing of it runs here but its entry point. Refused,
// with `erreur` naming the file and what is wrong: a path that does not exist or is not a shared
// library, a library the loader will not load (its own message), one without the entry point, one
// built for another version of this interface.
std::optional<TypeControleur> chargerControleur(const std::string& chemin, std::string& erreur);

// What a plug-in exports, under the C name borne_controleur: `version` comes first in every version, so
// a host reads it before anything else. `empreinte` is the fingerprint of the headers it was built
// against (borne_add_controller gives it, hashed from their contents when the build is configured).
struct EntreeControleur {
    int version;
    const char* classe;
    Controleur* (*creer)();
    bool ditLignes;
    bool decritValeurs;
    const char* empreinte;
};

// The fingerprint of the headers this borne was built with: a plug-in built against others is refused.
const char* empreinteInterface() noexcept;

} // namespace borne

// The plug-in's one exported symbol, and its generator: borne_add_controller writes one line,
// BORNE_CONTROLEUR(Classe), after the class's header.
inline constexpr const char* NOM_ENTREE_CONTROLEUR = "borne_controleur";
#ifndef BORNE_EMPREINTE_INTERFACE
#define BORNE_EMPREINTE_INTERFACE "unknown"
#endif
// The wrapper is instantiated for a type in an anonymous namespace: local to the plug-in, whereas the
// program exports its own ControleurDe<tGestionBarriere>, whose vtable would otherwise stand in for the
// plug-in's and run the program's turn on the plug-in's object.
#define BORNE_CONTROLEUR(Classe)                                                                             \
    namespace {                                                                                              \
    struct LieuGreffonBorne;                                                                                 \
    using ControleurGreffonBorne = borne::ControleurDe<Classe, LieuGreffonBorne>;                            \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) const borne::EntreeControleur* borne_controleur() {    \
        static const borne::EntreeControleur entree{                                                         \
            borne::VERSION_CONTROLEUR, #Classe,                                                              \
            []() -> borne::Controleur* { return new ControleurGreffonBorne(); },                             \
            ControleurGreffonBorne::AVEC_LIGNES, ControleurGreffonBorne::AVEC_VALEURS,                       \
            BORNE_EMPREINTE_INTERFACE};                                                                      \
        return &entree;                                                                                      \
    }
