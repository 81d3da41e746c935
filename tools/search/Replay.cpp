#include "tools/search/Replay.h"

#include "config/tConfiguration.h"
#include "control/Codes.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
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

int noJournal(const char*, int, mode_t) {
    errno = EISDIR;
    return -1;
}

} // namespace

Replay::Replay(const std::filesystem::path& settings, bool journal, const TypeControleur* type)
    : type_(type != nullptr ? type : &controleurInterne()) {
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
    // Thousands of replays would otherwise grow a journal nobody reads: its open fails at once, which
    // the terminal takes in its stride, and without asking the system (a folder in its place, besides).
    if (!journal) {
        fs::create_directory(folder_ / "Log.txt");
        const FichierJournal::Appels current =
            FichierJournal::remplacerAppels({noJournal, FichierJournal::appelsSysteme().ecrire});
        FichierJournal::remplacerAppels({noJournal, current.ecrire});
        journalCalls_ = current;
    }
    fs::current_path(folder_);

    for (Controle* c : panneau().controles()) {
        if (c->genre() == Genre::CaseACocher) boxes_.push_back(c);
        ofControl_.emplace_back();
        for (const Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p)) {
                ofControl_.back().push_back(properties_.size());
                properties_.push_back({c, p, ofControl_.size() - 1, {}, 0});
            }
    }
    seen_.assign(ofControl_.size(), ~std::uint64_t{0});
    tConfiguration settingsHere("Config.cfg", "CHIP.INI");
    const auto mode = settingsHere.LireMode();
    if (mode && *mode >= MODE_SUPERVISE && *mode <= MODE_LOCAL) configured_ = *mode;
    restart();
    if (terminal_->modeCourant() == MODE_LOCAL) {
        char code[10] = {}; // the terminal's own field
        settingsHere.LireCode(code);
        localCode_ = code;
    }
    code_ = terminal_->modeCourant() == MODE_LOCAL ? localCode_ : std::string(CODE_CARTE);
}

Replay::~Replay() {
    terminal_.reset();
    installed_.reset();
    if (journalCalls_) FichierJournal::remplacerAppels(*journalCalls_);
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
    terminal_ = type_->creer();
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

void Replay::follow(std::size_t control) {
    const std::uint64_t version = properties_[ofControl_[control].front()].control->version();
    if (version == seen_[control]) return;
    for (const std::size_t i : ofControl_[control]) {
        Property& p = properties_[i];
        Valeur v = p.control->lire(p.property);
        const auto known = std::find(p.values.begin(), p.values.end(), v);
        p.now = static_cast<std::uint16_t>(known - p.values.begin());
        if (known != p.values.end()) continue;
        if (p.values.size() > 0xFFFF)
            throw std::length_error("more values of one property than a saved panel can tell apart");
        p.values.push_back(std::move(v));
    }
    seen_[control] = version;
}

Replay::Saved Replay::save() {
    const int at = static_cast<int>(panels_.size());
    for (std::size_t k = 0; k < ofControl_.size(); ++k)
        follow(k);
    for (const Property& p : properties_)
        panels_.push_back(p.now);
    return {terminal_->valeurs(), at};
}

bool Replay::restore(const Saved& s) {
    if (s.panel < 0 || !terminal_->installerValeurs(s.values)) return false;
    const std::uint16_t* wanted = panels_.data() + s.panel;
    for (std::size_t k = 0; k < ofControl_.size(); ++k) {
        const Controle* c = properties_[ofControl_[k].front()].control;
        const bool known = c->version() == seen_[k];
        for (const std::size_t i : ofControl_[k]) {
            Property& p = properties_[i];
            if (known && p.now == wanted[i]) continue;
            p.control->ecrire(p.property, p.values[wanted[i]], Auteur::Utilisateur);
            p.now = wanted[i];
        }
        seen_[k] = c->version();
    }
    return true;
}

std::uint64_t Replay::boxBits() const {
    std::uint64_t bits = 0; // the panel has 20 check boxes
    for (std::size_t i = 0; i < boxes_.size() && i < 64; ++i)
        if (std::get<bool>(boxes_[i]->lire(Propriete::Checked))) bits |= std::uint64_t{1} << i;
    return bits;
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
    const std::uint64_t bits = boxBits();
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
