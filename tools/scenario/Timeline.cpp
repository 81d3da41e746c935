#include "tools/scenario/Timeline.h"

#include "control/Controleur.h"
#include "tools/grammar/Grammar.h"

#include <algorithm>
#include <iterator>
#include <ostream>

namespace borne::scenario {

namespace {

bool followed(const Controle& c, Propriete p) {
    const std::string name = c.nom() + '.' + nomPropriete(p);
    return std::any_of(std::begin(kTimelineSignals), std::end(kTimelineSignals),
                       [&](const char* signal) { return name == signal; });
}

// A line per change: a controller's text holding a line break or a tab shows it as '?'.
std::string oneLine(const Valeur& v) {
    std::string t = propertyText(v);
    for (char& ch : t)
        if (ch == '\n' || ch == '\r' || ch == '\t') ch = '?';
    return t;
}

} // namespace

void TimelineWriter::starting(Engine&) {
    // The panel's stored values: what the first writes are compared with, and the start of each line.
    held_.clear();
    for (const Controle* c : panneau().controles()) {
        for (Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p) && followed(*c, p)) {
                held_[{c, p}] = c->lire(p);
                out_ << "0\t" << c->nom() << '.' << nomPropriete(p) << '\t' << oneLine(c->lire(p)) << '\n';
            }
    }
}

void TimelineWriter::wrote(const Ecriture& e, std::int64_t at) {
    if (!followed(e.controle, e.propriete)) return;
    Valeur& before = held_[{&e.controle, e.propriete}];
    if (before == e.valeur) return;
    before = e.valeur;
    out_ << at << '\t' << e.controle.nom() << '.' << nomPropriete(e.propriete) << '\t' << oneLine(e.valeur)
         << '\n';
}

void TimelineWriter::stateChanged(int state, std::int64_t at) {
    const char* name = nomEtatCode(state);
    out_ << at << "\tetat\t" << (name != nullptr ? std::string(name) : std::to_string(state)) << '\n';
}

} // namespace borne::scenario
