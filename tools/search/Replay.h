// The real controller driven from start-up, in virtual time and in a private working folder, so that a
// search can replay any journey as often as it likes without touching the user's folder or journal.
// A situation once reached can also be saved and brought back directly, without a replay: the
// controller's working values and every property of the panel are all a turn starts from.
#pragma once

#include "control/Attente.h"
#include "control/Controleur.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"
#include "tools/search/Alphabet.h"
#include "tools/rules/Rules.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace borne::search {

class Replay {
public:
    // Copies Config.cfg and CHIP.INI from `settings` (those that exist) into a fresh private folder and
    // makes it the working folder until destruction; the journal goes nowhere meanwhile (its open fails
    // at once, as on a folder, for every journal of the process).
    // With `journal`, Log.txt is written in the private folder (see journal()), as the runner would.
    // `type`: the controller to drive (nullptr: the terminal's own); it must describe its working values.
    explicit Replay(const std::filesystem::path& settings, bool journal = false,
                    const TypeControleur* type = nullptr);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    // The panel as built, virtual time 0, then a new controller (its start-up writes included).
    void restart();
    // Makes the action's writes as the user; returns them (none when the action changes nothing).
    std::vector<Press> act(Action action);
    void turn();

    Controleur& terminal() { return *terminal_; }
    const Controleur& terminal() const { return *terminal_; }
    std::int64_t now() const { return clock_ ? clock_->maintenant() : 0; }
    // The code the terminal accepts: the local code in the standalone mode, else the supervisor's.
    const std::string& acceptedCode() const { return code_; }
    // The local code the settings give in the standalone mode, as the terminal reads it; empty otherwise.
    const std::string& localCode() const { return localCode_; }

    // Everything that can change what happens next: the controller's working values, the occupancy the
    // supervision link counts, every check box, and the extra properties given (those rules read).
    std::string situation(const std::vector<PropertyRef>& extra) const;

    // A situation between two turns, as restore() needs it: the controller's working values and every
    // property of the panel (kept by the replay; `panel` says where).
    struct Saved {
        ValeursTravail values;
        int panel = -1;
    };
    Saved save();
    // Brings the controller and the panel back to a saved situation, the panel's writes made as the user
    // (observers follow them). False, with nothing of the controller changed, when the controller
    // refuses the values: the situation is then to be replayed.
    bool restore(const Saved& s);

    // The private folder's journal, and a way to start it afresh (with `journal` only).
    std::filesystem::path journal() const { return folder_ / "Log.txt"; }
    void clearJournal();

    // Called once the panel is back in its stored state, before the controller is built; and right
    // after each new controller is built (to install a turn observer).
    std::function<void()> onReset;
    std::function<void(Controleur&)> onBuilt;

    // The mode Config.cfg gives, or nothing when it gives none the terminal knows (the terminal then
    // starts out of service).
    std::optional<int> configuredMode() const { return configured_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path folder_;
    std::vector<const Controle*> boxes_;
    std::uint64_t boxBits() const;
    void follow(std::size_t control); // reads again the properties of a control written since
    // Every property of the panel, its values numbered as they are met. What the panel holds is known
    // for each control as of its write count `seen`: a saved panel is these numbers, and only the
    // controls written since, or that differ, are read or written again.
    struct Property {
        Controle* control;
        Propriete property;
        std::size_t index; // of the control
        std::vector<Valeur> values;
        std::uint16_t now = 0;
    };
    std::vector<Property> properties_;
    std::vector<std::uint64_t> seen_; // per control, the write count its properties' `now` is right at
    std::vector<std::vector<std::size_t>> ofControl_;
    std::vector<std::uint16_t> panels_; // saved panels, one after another
    std::unique_ptr<Controleur> terminal_;
    const TypeControleur* type_;
    std::string localCode_;
    std::optional<HorlogeInstallee> installed_;
    std::optional<HorlogeVirtuelle> clock_;
    std::string code_;
    std::optional<int> configured_;
    std::optional<FichierJournal::Appels> journalCalls_; // put back on destruction
};

} // namespace borne::search
