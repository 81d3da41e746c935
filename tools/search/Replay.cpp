#include "search/Replay.h"

#include "config/tConfiguration.h"
#include "control/tGestionBarriere.h"

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace borne::search {

namespace {

std::atomic<int> g_count{0};

void appendInt(std::string& out, int v) {
    char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    out.append(bytes, sizeof v);
}

void appendText(std::string& out, std::string_view text) {
    appendInt(out, static_cast<int>(text.size()));
    out.append(text);
}

} // namespace

Replay::Replay(const std::filesystem::path& settings, bool journal) {
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    folder_ = fs::temp_directory_path() /
              ("borne-search-" + std::to_string(::getpid()) + "-" + std::to_string(g_count++));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    for (const char* name : {"Config.cfg", "CHIP.INI"}) {
        std::error_code ec;
        if (fs::is_regular_file(settings / name, ec)) fs::copy_file(settings / name, folder_ / name);
    }
    // Thousands of replays would otherwise grow a journal nobody reads; a folder in its place makes the
    // journal's open fail at once, which the terminal takes in its stride.
    if (!journal) fs::create_directory(folder_ / "Log.txt");
    fs::current_path(folder_);

    for (const Controle* c : panneau().controles())
        if (c->genre() == Genre::CaseACocher) boxes_.push_back(c);
    tConfiguration settingsHere("Config.cfg", "CHIP.INI");
    const auto mode = settingsHere.LireMode();
    if (mode && *mode >= MODE_SUPERVISE && *mode <= MODE_LOCAL) configured_ = *mode;
    restart();
    code_ = terminal_->aUneSupervision() ? "6082" : std::string(terminal_->codeLocalCourant());
}

Replay::~Replay() {
    terminal_.reset();
    installed_.reset();
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(folder_, ec);
}

void Replay::clearJournal() {
    std::error_code ec;
    std::filesystem::remove(journal(), ec);
}

void Replay::restart() {
    terminal_.reset();
    installed_.reset();
    clock_.emplace();
    installed_.emplace(*clock_);
    panneau().reinitialiser();
    if (onReset) onReset();
    terminal_ = std::make_unique<tGestionBarriere>();
    if (onBuilt) onBuilt(*terminal_);
}

std::vector<Press> Replay::act(Action action) {
    PanneauOperateur& p = panneau();
    const std::vector<Press> presses = pressesFor(action, p, *terminal_, code_);
    for (const Press& press : presses)
        p.trouver(press.control)->ecrire(Propriete::Checked, Valeur(press.checked), Auteur::Utilisateur);
    return presses;
}

void Replay::turn() {
    terminal_->Tour();
}

std::string Replay::situation(const std::vector<PropertyRef>& extra) const {
    const ValeursTravail v = terminal_->valeurs();
    std::string key;
    key.reserve(64);
    appendInt(key, v.etat);
    appendInt(key, v.nbEssais);
    appendInt(key, v.nbChiffres);
    // The typed digits count by their number and by whether they still begin the accepted code: the
    // terminal compares whole codes, so two entries that both went wrong have the same future (and the
    // search's wrong digit is any digit that is not the right one).
    appendInt(key, static_cast<int>(v.codeSaisi.size()));
    key += static_cast<char>(code_.compare(0, v.codeSaisi.size(), v.codeSaisi) == 0);
    appendText(key, v.codeMasque);
    key += static_cast<char>(v.carteRefusee);
    key += static_cast<char>(v.codeRefuse);
    appendInt(key, v.nbVehicules);
    std::uint64_t bits = 0; // the panel has 20 check boxes
    for (std::size_t i = 0; i < boxes_.size() && i < 64; ++i)
        if (std::get<bool>(boxes_[i]->lire(Propriete::Checked))) bits |= std::uint64_t{1} << i;
    key.append(reinterpret_cast<const char*>(&bits), sizeof bits);
    for (const PropertyRef& r : extra) {
        const Valeur v = r.control->lire(r.property);
        if (const bool* b = std::get_if<bool>(&v))
            key += *b ? '1' : '0';
        else if (const Couleur* c = std::get_if<Couleur>(&v))
            appendInt(key, static_cast<int>(*c));
        else
            appendText(key, std::get<std::string>(v));
    }
    return key;
}

} // namespace borne::search
