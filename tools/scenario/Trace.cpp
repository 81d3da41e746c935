#include "tools/scenario/Trace.h"
#include "tools/grammar/Grammar.h"

#include <array>
#include <ostream>

namespace borne::scenario {

void TraceWriter::starting(Engine&) {
    if (!changesOnly_) return;
    // The panel is in its stored state: the values the first writes are compared with.
    held_.clear();
    for (const Controle* c : panneau().controles())
        for (Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p)) held_[{c, p}] = c->lire(p);
}

void TraceWriter::wrote(const Ecriture& e, std::int64_t at) {
    if (changesOnly_) {
        Valeur& before = held_[{&e.controle, e.propriete}];
        if (before == e.valeur) return;
        before = e.valeur;
    }
    if (e.auteur != Auteur::Terminal) return;
    line_ = std::to_string(at);
    line_ += ' ';
    line_ += e.controle.nom();
    line_ += '.';
    line_ += nomPropriete(e.propriete);
    line_ += " = ";
    line_ += propertyText(e.valeur);
    line_ += '\n';
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    if (!out_) engine_.stop();
}

} // namespace borne::scenario
