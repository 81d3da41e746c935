#include "scenario/Scenario.h"

#include "control/Attente.h"
#include "control/Codes.h"
#include "control/tGestionBarriere.h"
#include "panel/Texte.h"
#include "search/Commands.h"

#include <array>
#include <cstdio>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

namespace borne::scenario {

namespace {

const std::string kUsage =
    std::string("usage: borne-scenario [--trace] SCRIPT   (SCRIPT '-' reads standard input)\n") +
    search::kSearchUsage;

constexpr std::array<Propriete, 7> kProprietes = {
    Propriete::Checked, Propriete::Caption,    Propriete::Text,      Propriete::Color,
    Propriete::Visible, Propriete::BrushColor, Propriete::SimpleText};

const char* nomGenre(Genre g) {
    switch (g) {
    case Genre::CaseACocher: return "a check box";
    case Genre::Edition: return "an edit";
    case Genre::EditionEtiquetee: return "a labelled edit";
    case Genre::Etiquette: return "a label";
    case Genre::BoiteGroupe: return "a group box";
    case Genre::Forme: return "a shape";
    case Genre::Image: return "a picture";
    case Genre::BarreEtat: return "a status bar";
    case Genre::Bouton: return "a button";
    }
    return "a control";
}

// A piece of the script quoted in a message: control bytes escaped so the message stays one line,
// and cut short so that a huge line cannot flood the terminal.
std::string montrer(std::string_view s) {
    constexpr std::size_t kMax = 60;
    std::string r = "\"";
    const std::size_t n = s.size() < kMax ? s.size() : kMax;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            r += hex;
        } else {
            if (c == '"' || c == '\\') r += '\\';
            r += static_cast<char>(c);
        }
    }
    if (s.size() > kMax) r += "...";
    r += '"';
    return r;
}

bool chiffres(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A whole number made of digits only, or nothing when it is not one or exceeds `max`.
std::optional<std::int64_t> entier(std::string_view s, std::int64_t max) {
    if (!chiffres(s)) return std::nullopt;
    std::int64_t n = 0;
    for (char c : s) {
        n = n * 10 + (c - '0');
        if (n > max) return std::nullopt;
    }
    return n;
}

std::optional<Propriete> propriete(std::string_view nom) {
    for (Propriete p : kProprietes)
        if (nom == nomPropriete(p)) return p;
    return std::nullopt;
}

std::optional<int> etatDepuis(std::string_view valeur) {
    if (chiffres(valeur)) {
        const auto n = entier(valeur, NB_ETATS - 1);
        if (n) return static_cast<int>(*n);
        return std::nullopt;
    }
    for (int i = 0; i < NB_ETATS; ++i)
        if (valeur == nomEtatCode(i)) return i;
    return std::nullopt;
}

std::optional<Couleur> couleur(std::string_view s) {
    if (s.size() != 8 || s[0] != '0' || s[1] != 'x') return std::nullopt;
    Couleur c = 0;
    for (char h : s.substr(2)) {
        unsigned v;
        if (h >= '0' && h <= '9')
            v = static_cast<unsigned>(h - '0');
        else if (h >= 'a' && h <= 'f')
            v = static_cast<unsigned>(h - 'a' + 10);
        else if (h >= 'A' && h <= 'F')
            v = static_cast<unsigned>(h - 'A' + 10);
        else
            return std::nullopt;
        c = c << 4 | v;
    }
    return c;
}

// Splits at the first space: the word before, and whether a space was there with what follows it.
struct Coupe {
    std::string_view mot;
    bool suite;
    std::string_view reste;
};
Coupe couper(std::string_view s) {
    const auto espace = s.find(' ');
    if (espace == std::string_view::npos) return {s, false, {}};
    return {s.substr(0, espace), true, s.substr(espace + 1)};
}

class Analyseur {
public:
    explicit Analyseur(const PanneauOperateur& p) : panneau_(p) {}

    Script script;

    void ligne(std::size_t numero, std::string_view texte) {
        numero_ = numero;
        while (!texte.empty() && (texte.front() == ' ' || texte.front() == '\t'))
            texte.remove_prefix(1);
        if (texte.empty() || texte.front() == '#') return;

        const Coupe c = couper(texte);
        if (c.mot == "tick" || c.mot == "untick")
            cocher(c.mot == "tick", c);
        else if (c.mot == "type")
            taper(c);
        else if (c.mot == "turn")
            tourner(c);
        else if (c.mot == "expect")
            verifier(c);
        else
            erreur("unknown command " + montrer(c.mot) + " (tick, untick, type, turn, expect)");
    }

private:
    void erreur(std::string message) { script.erreurs.push_back({numero_, std::move(message)}); }

    Commande commande(Verbe v) const {
        Commande c;
        c.ligne = numero_;
        c.verbe = v;
        return c;
    }

    // The control named, if it exists; otherwise the error is reported.
    const Controle* controle(std::string_view nom, std::string_view verbe) {
        if (nom.empty()) {
            erreur(std::string(verbe) + ": missing control name");
            return nullptr;
        }
        const Controle* c = panneau_.trouver(nom);
        if (c == nullptr) erreur("unknown control " + montrer(nom));
        return c;
    }

    void cocher(bool coche, const Coupe& c) {
        const char* verbe = coche ? "tick" : "untick";
        if (!c.suite) return erreur(std::string(verbe) + ": missing control name");
        const Coupe nom = couper(c.reste);
        const Controle* ctl = controle(nom.mot, verbe);
        if (ctl == nullptr) return;
        if (nom.suite) return erreur(std::string(verbe) + ": unexpected text after " + ctl->nom());
        if (ctl->genre() != Genre::CaseACocher)
            return erreur(std::string(verbe) + " takes a check box; " + ctl->nom() + " is " +
                          nomGenre(ctl->genre()));
        Commande cmd = commande(coche ? Verbe::Cocher : Verbe::Decocher);
        cmd.controle = ctl->nom();
        script.commandes.push_back(std::move(cmd));
    }

    void taper(const Coupe& c) {
        if (!c.suite) return erreur("type: missing control name");
        const Coupe nom = couper(c.reste);
        const Controle* ctl = controle(nom.mot, "type");
        if (ctl == nullptr) return;
        if (ctl->genre() != Genre::Edition && ctl->genre() != Genre::EditionEtiquetee)
            return erreur("type takes an edit or a labelled edit; " + ctl->nom() + " is " +
                          nomGenre(ctl->genre()));
        Commande cmd = commande(Verbe::Taper);
        cmd.controle = ctl->nom();
        // What the panel would store: each character that Windows-1252 cannot hold becomes one '?'.
        cmd.texte = depuisUtf8(nom.reste);
        script.commandes.push_back(std::move(cmd));
    }

    void tourner(const Coupe& c) {
        Commande cmd = commande(Verbe::Tourner);
        if (c.suite) {
            const auto n = entier(c.reste, TOURS_MAX);
            if (!n || *n < 1)
                return erreur("malformed count " + montrer(c.reste) + " (a whole number from 1 to " +
                              std::to_string(TOURS_MAX) + ")");
            cmd.tours = *n;
        }
        script.commandes.push_back(std::move(cmd));
    }

    void verifier(const Coupe& c) {
        if (!c.suite) return erreur("expect: missing NAME.PROPERTY or etat");
        const Coupe cible = couper(c.reste);
        const std::string_view valeur = cible.reste; // empty when absent

        if (cible.mot == "etat") {
            const auto e = etatDepuis(valeur);
            if (!e)
                return erreur("malformed state " + montrer(valeur) +
                              " (0 to 17 or ETAT_VEHICULE_ABSENT ... ETAT_MODE_TEST)");
            Commande cmd = commande(Verbe::VerifierEtat);
            cmd.etat = *e;
            cmd.texte = std::string(valeur);
            script.commandes.push_back(std::move(cmd));
            return;
        }

        const auto point = cible.mot.find('.');
        if (point == std::string_view::npos)
            return erreur("expect: " + montrer(cible.mot) + " is neither NAME.PROPERTY nor etat");
        const Controle* ctl = controle(cible.mot.substr(0, point), "expect");
        if (ctl == nullptr) return;
        const std::string_view nomProp = cible.mot.substr(point + 1);
        const auto prop = propriete(nomProp);
        if (!prop) return erreur("unknown property " + montrer(nomProp));
        if (!proprieteDe(ctl->genre(), *prop))
            return erreur(ctl->nom() + " is " + nomGenre(ctl->genre()) + ", which has no property " +
                          nomPropriete(*prop));

        Commande cmd = commande(Verbe::Verifier);
        cmd.controle = ctl->nom();
        cmd.propriete = *prop;
        cmd.texte = std::string(valeur);
        switch (*prop) {
        case Propriete::Checked:
        case Propriete::Visible:
            if (valeur != "0" && valeur != "1")
                return erreur("malformed value " + montrer(valeur) + " for " + ctl->nom() + "." +
                              nomPropriete(*prop) + " (0 or 1)");
            cmd.attendu = valeur == "1";
            break;
        case Propriete::Color:
        case Propriete::BrushColor: {
            const auto coul = couleur(valeur);
            if (!coul)
                return erreur("malformed value " + montrer(valeur) + " for " + ctl->nom() + "." +
                              nomPropriete(*prop) + " (0x and six hex digits, 0xBBGGRR)");
            cmd.attendu = *coul;
            break;
        }
        case Propriete::Caption:
        case Propriete::Text:
        case Propriete::SimpleText: cmd.attendu = std::string(valeur); break;
        }
        script.commandes.push_back(std::move(cmd));
    }

    const PanneauOperateur& panneau_;
    std::size_t numero_ = 0;
};

bool egal(const Valeur& attendu, const Valeur& lu) {
    // Texts are compared as the trace shows them, in UTF-8, so a script can only match what it could
    // have read in a trace.
    if (const auto* texte = std::get_if<std::string>(&attendu)) return valeurEnTexte(lu) == *texte;
    return attendu == lu;
}

// Removes the trace's observer however the run ends.
class Observation {
public:
    Observation(PanneauOperateur& p, PanneauOperateur::Observateur o) : panneau_(p) {
        cle_ = panneau_.ajouterObservateur(std::move(o));
    }
    ~Observation() { panneau_.retirerObservateur(cle_); }
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;

private:
    PanneauOperateur& panneau_;
    int cle_;
};

bool lireFichier(const std::string& nom, std::string& contenu) {
    std::FILE* f = std::fopen(nom.c_str(), "rb");
    if (f == nullptr) return false;
    char tampon[1 << 16];
    std::size_t n;
    while ((n = std::fread(tampon, 1, sizeof tampon, f)) > 0)
        contenu.append(tampon, n);
    const bool ok = std::ferror(f) == 0; // a folder opens but fails here
    std::fclose(f);
    return ok;
}

} // namespace

Script analyser(std::string_view texte) {
    return analyser(texte, panneau());
}

Script analyser(std::string_view texte, const PanneauOperateur& panneau) {
    Analyseur a(panneau);
    std::size_t numero = 0;
    while (!texte.empty()) {
        ++numero;
        const auto fin = texte.find('\n');
        std::string_view ligne = texte.substr(0, fin);
        if (fin == std::string_view::npos) {
            texte = {};
        } else {
            texte.remove_prefix(fin + 1);
            if (!ligne.empty() && ligne.back() == '\r') ligne.remove_suffix(1); // CR LF
        }
        a.ligne(numero, ligne);
    }
    return std::move(a.script);
}

Bilan executer(const std::vector<Commande>& commandes, std::string_view nomScript, bool trace,
               std::ostream& sortie, std::ostream& erreurs) {
    PanneauOperateur& p = panneau();
    p.reinitialiser(); // a freshly built window

    HorlogeVirtuelle horloge;
    HorlogeInstallee installee(horloge);

    std::string ligne; // reused: the trace can run to millions of lines
    std::optional<Observation> observation;
    if (trace)
        observation.emplace(p, [&](const Ecriture& e) {
            if (e.auteur != Auteur::Terminal) return;
            ligne = std::to_string(horloge.maintenant());
            ligne += ' ';
            ligne += e.controle.nom();
            ligne += '.';
            ligne += nomPropriete(e.propriete);
            ligne += " = ";
            ligne += valeurEnTexte(e.valeur);
            ligne += '\n';
            sortie.write(ligne.data(), static_cast<std::streamsize>(ligne.size()));
        });

    tGestionBarriere gestion;

    Bilan bilan;
    auto echec = [&](const Commande& c, std::string_view quoi, std::string_view lu) {
        ++bilan.echouees;
        if (trace) sortie.flush(); // so that a merged output keeps the order of events
        erreurs << nomScript << ':' << c.ligne << ": expected " << quoi << " = \"" << c.texte << "\", got \""
                << lu << "\"\n";
        erreurs.flush();
    };

    for (const Commande& c : commandes) {
        switch (c.verbe) {
        case Verbe::Cocher:
        case Verbe::Decocher:
            p.trouver(c.controle)
                ->ecrire(Propriete::Checked, Valeur(c.verbe == Verbe::Cocher), Auteur::Utilisateur);
            break;
        case Verbe::Taper:
            p.trouver(c.controle)->ecrire(Propriete::Text, Valeur(c.texte), Auteur::Utilisateur);
            break;
        case Verbe::Tourner:
            for (std::int64_t i = 0; i < c.tours; ++i)
                gestion.Tour();
            break;
        case Verbe::Verifier: {
            const Valeur lu = p.trouver(c.controle)->lire(c.propriete);
            if (egal(c.attendu, lu))
                ++bilan.reussies;
            else
                echec(c, c.controle + "." + nomPropriete(c.propriete), valeurEnTexte(lu));
            break;
        }
        case Verbe::VerifierEtat: {
            const int etat = gestion.etatCourant();
            if (etat == c.etat) {
                ++bilan.reussies;
            } else {
                const char* nom = nomEtatCode(etat);
                echec(c, "etat", nom != nullptr ? nom : std::to_string(etat));
            }
            break;
        }
        }
    }
    sortie.flush();
    return bilan;
}

int principal(const std::vector<std::string>& arguments, std::istream& entree, std::ostream& sortie,
              std::ostream& erreurs) {
    bool recherche = false;
    const int code = search::searchMain(arguments, sortie, erreurs, recherche);
    if (recherche) return code;

    bool trace = false;
    std::optional<std::string> nom;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--trace") {
            trace = true;
        } else if (a == "-h" || a == "--help") {
            sortie << kUsage;
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            erreurs << "borne-scenario: unknown option " << montrer(a) << '\n' << kUsage;
            return 2;
        } else if (nom) {
            erreurs << "borne-scenario: one script only\n" << kUsage;
            return 2;
        } else {
            nom = a;
        }
    }
    if (!nom) {
        erreurs << "borne-scenario: no script given\n" << kUsage;
        return 2;
    }

    std::string texte;
    if (*nom == "-") {
        std::ostringstream tout;
        if (entree.peek() != std::istream::traits_type::eof()) tout << entree.rdbuf();
        if (entree.bad()) {
            erreurs << "borne-scenario: cannot read standard input\n" << kUsage;
            return 2;
        }
        texte = std::move(tout).str();
    } else if (!lireFichier(*nom, texte)) {
        erreurs << "borne-scenario: cannot read " << *nom << '\n' << kUsage;
        return 2;
    }

    const Script script = analyser(texte);
    if (!script.erreurs.empty()) {
        for (const Erreur& e : script.erreurs)
            erreurs << *nom << ':' << e.ligne << ": " << e.message << '\n';
        return 2;
    }

    const Bilan bilan = executer(script.commandes, *nom, trace, sortie, erreurs);
    sortie << "expectations: " << bilan.reussies << " passed, " << bilan.echouees << " failed\n";
    sortie.flush();
    return bilan.echouees == 0 ? 0 : 1;
}

} // namespace borne::scenario
