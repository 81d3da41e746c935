#include "tools/grammar/Controls.h"

#include "panel/Roles.h"
#include "base/Texte.h"
#include "tools/grammar/Show.h"

#include <algorithm>
#include <ostream>

namespace borne::scenario {

namespace {

// The caption the window shows on or above the control, in UTF-8; empty for kinds that have none.
std::string caption(const Controle& c) {
    if (c.genre() == Genre::EditionEtiquetee)
        return versUtf8(static_cast<const EditionEtiquetee&>(c).etiquette());
    if (!proprieteDe(c.genre(), Propriete::Caption)) return {};
    const Valeur v = c.lire(Propriete::Caption);
    const auto* text = std::get_if<std::string>(&v);
    return text != nullptr ? versUtf8(*text) : std::string();
}

// A Markdown cell: a bar would end it early.
std::string cell(std::string_view s) {
    std::string out;
    for (char ch : s) {
        if (ch == '|') out += '\\';
        out += ch;
    }
    return out;
}

char lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Side by side on a keyboard's row, or the same letter in another case: the slips people make.
bool nearKeys(char a, char b) noexcept {
    a = lower(a);
    b = lower(b);
    if (a == b) return true;
    for (std::string_view row : {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"}) {
        const auto i = row.find(a);
        if (i != std::string_view::npos &&
            ((i > 0 && row[i - 1] == b) || (i + 1 < row.size() && row[i + 1] == b)))
            return true;
    }
    return false;
}

// Edits to turn `a` into `b`: a character added, dropped, swapped with its neighbour or typed on a
// neighbouring key counts 1, any other character typed instead counts 2.
std::size_t distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : nearKeys(a[i - 1], b[j - 1]) ? 1 : 2;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

} // namespace

const char* kindName(Genre g) noexcept {
    switch (g) {
    case Genre::CaseACocher: return "check box";
    case Genre::Edition: return "edit";
    case Genre::EditionEtiquetee: return "labelled edit";
    case Genre::Etiquette: return "label";
    case Genre::BoiteGroupe: return "group box";
    case Genre::Forme: return "shape";
    case Genre::Image: return "picture";
    case Genre::BarreEtat: return "status bar";
    case Genre::Bouton: return "button";
    }
    return "control";
}

void printControls(const PanneauOperateur& panel, std::ostream& out) {
    out << "| name | kind | caption | stands for | written by |\n|---|---|---|---|---|\n";
    for (const Controle* c : panel.controles()) {
        const RoleControle* role = roleDe(c->nom());
        out << "| `" << c->nom() << "` | " << kindName(c->genre()) << " | " << cell(caption(*c)) << " | "
            << (role != nullptr ? cell(role->role) : "") << " | "
            << (role != nullptr ? nomEcritPar(role->ecritPar) : "") << " |\n";
    }
}

std::vector<std::string> nearestNames(std::string_view name, const PanneauOperateur& panel) {
    std::vector<std::string> names;
    for (const Controle* c : panel.controles())
        names.push_back(c->nom());
    return nearestNames(name, names);
}

std::vector<std::string> nearestNames(std::string_view name, const std::vector<std::string>& candidates) {
    // About one slip in four characters; beyond, a suggestion is a guess.
    const std::size_t limit = std::max<std::size_t>(1, (name.size() + 3) / 4);
    std::size_t best = limit + 1;
    std::vector<std::string> nearest;
    for (const std::string& candidate : candidates) {
        // The distance is at least the difference in length: a long word costs nothing to rule out.
        const std::size_t gap =
            name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (gap > std::min(limit, best)) continue;
        const std::size_t d = distance(name, candidate);
        if (d > best || d > limit) continue;
        if (d < best) nearest.clear();
        best = d;
        nearest.push_back(candidate);
    }
    std::sort(nearest.begin(), nearest.end());
    if (nearest.size() > 3) nearest.resize(3);
    return nearest;
}

std::string unknownControl(std::string_view name, const PanneauOperateur& panel) {
    std::string m = "unknown control " + quoted(name) + " (";
    const std::vector<std::string> near = nearestNames(name, panel);
    if (!near.empty()) {
        m += "did you mean ";
        for (std::size_t i = 0; i < near.size(); ++i)
            m += (i > 0 ? ", " : "") + near[i];
        m += "? ";
    }
    return m + "borne-scenario --controls lists them)";
}

} // namespace borne::scenario
