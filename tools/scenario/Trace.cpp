#include "scenario/Trace.h"

#include <ostream>

namespace borne::scenario {

void TraceWriter::wrote(const Ecriture& e, std::int64_t at) {
    if (e.auteur != Auteur::Terminal) return;
    line_ = std::to_string(at);
    line_ += ' ';
    line_ += e.controle.nom();
    line_ += '.';
    line_ += nomPropriete(e.propriete);
    line_ += " = ";
    line_ += valeurEnTexte(e.valeur);
    line_ += '\n';
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    if (!out_) engine_.stop();
}

} // namespace borne::scenario
