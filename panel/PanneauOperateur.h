// The operator panel model: every named control of the terminal's window in its current state.
//
// Thread rule: each single read or write of one property of one control is atomic (one mutex per
// control, held only to copy the value in or out). Nothing larger is locked. Observers are told of every
// write after the control's lock has been released. The compiler checks the locking (panel/Verrou.h).
// A write while nothing observes the panel stores the value in place: no copy, no allocation once the
// property's text has had room for it, and no look at the observers beyond one flag.
#pragma once

#include "base/Verrou.h"
#include <array>
#include <atomic>
#include <cstdint>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace borne {

using Couleur = std::uint32_t; // 0xBBGGRR

// Colours as the panel's toolkit names them.
inline constexpr Couleur clMoneyGreen = 0xC0DCC0;
inline constexpr Couleur clLime = 0x00FF00;
inline constexpr Couleur clRed = 0x0000FF;
inline constexpr Couleur clGreen = 0x008000;
inline constexpr Couleur clYellow = 0x00FFFF;
inline constexpr Couleur clWhite = 0xFFFFFF;
inline constexpr Couleur clSilver = 0xC0C0C0;
inline constexpr Couleur clMaroon = 0x000080;
inline constexpr Couleur clBlue = 0xFF0000;
inline constexpr Couleur clTeal = 0x808000;

enum class Genre {
    CaseACocher,
    Edition,
    EditionEtiquetee,
    Etiquette,
    BoiteGroupe,
    Forme,
    Image,
    BarreEtat,
    Bouton
};
enum class Propriete { Checked, Caption, Text, Color, Visible, BrushColor, SimpleText };
// Every property, in the order above: what the traces, the recorder and the rules walk.
inline constexpr std::array<Propriete, 7> PROPRIETES = {
    Propriete::Checked, Propriete::Caption,    Propriete::Text,      Propriete::Color,
    Propriete::Visible, Propriete::BrushColor, Propriete::SimpleText};
// One entry per property, in the order of Propriete (SimpleText the last): a property added to the enum
// and not here would be missed by every walk, so the build stops.
template <std::size_t N> constexpr bool proprietesDansLOrdre(const std::array<Propriete, N>& liste) {
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(liste[i]) != i) return false;
    return static_cast<std::size_t>(Propriete::SimpleText) + 1 == N;
}
static_assert(proprietesDansLOrdre(PROPRIETES), "one entry per property, in the order of Propriete");
enum class Auteur { Terminal, Utilisateur };
enum class FormeContour { Cercle, Ellipse, RectangleArrondi };

// A property's value: Checked/Visible as bool, colours as Couleur, texts as Windows-1252 bytes.
using Valeur = std::variant<bool, Couleur, std::string>;

const char* nomPropriete(Propriete p) noexcept;  // "Checked", "Brush.Color", ...
bool proprieteDe(Genre g, Propriete p) noexcept; // does this kind of control have this property?

class Controle;
class PanneauOperateur;

struct Ecriture {
    const Controle& controle;
    Propriete propriete;
    Auteur auteur;
    const Valeur& valeur; // as the control holds it after the write
};

class Controle {
public:
    Controle(const Controle&) = delete;
    Controle& operator=(const Controle&) = delete;

    const std::string& nom() const noexcept { return nom_; }
    Genre genre() const noexcept { return genre_; }
    // Name of the group box that contains the control; empty for a control placed on the window.
    const std::string& parent() const noexcept { return parent_; }
    // Counts the writes the control has taken; a view may compare it to learn of changes.
    std::uint64_t version() const noexcept { return version_.load(std::memory_order_acquire); }

    Valeur lire(Propriete p) const EXCLUDES(verrou_);
    // Returns false (and changes nothing) for a property the control's kind does not have,
    // a value of the wrong type, or a terminal write once the panel is frozen.
    bool ecrire(Propriete p, const Valeur& v, Auteur a = Auteur::Terminal) EXCLUDES(verrou_);
    // Holds a property at a value: every later write of it, by anyone, stores the held value instead
    // and tells observers so. A bench's stuck sensor; the window holds nothing. False (and nothing
    // held) for a property the kind does not have or a value of the wrong type.
    bool tenir(Propriete p, const Valeur& v) EXCLUDES(verrou_);
    void relacher(Propriete p) EXCLUDES(verrou_); // the property keeps its value until the next write

protected:
    using Proprietes = std::vector<std::pair<Propriete, Valeur>>;
    // A value to write, its text borrowed from the caller.
    using ValeurEmpruntee = std::variant<bool, Couleur, std::string_view>;
    bool ecrireEmpruntee(Propriete p, const ValeurEmpruntee& v, Auteur a) EXCLUDES(verrou_);
    Controle(PanneauOperateur& panneau, std::string nom, Genre genre, std::string parent, Proprietes stocke,
             bool minuscules = false);
    ~Controle() = default;

    bool lireBool(Propriete p) const;
    Couleur lireCouleur(Propriete p) const;
    std::string lireTexte(Propriete p) const;

    const bool minuscules_; // an edit whose every text is stored in lower case

private:
    friend class PanneauOperateur;
    Valeur* champ(Propriete p) REQUIRES(verrou_);
    void restaurer() EXCLUDES(verrou_); // back to the stored state, without notification
    void relacherSousVerrou(Propriete p) REQUIRES(verrou_);

    PanneauOperateur& panneau_;
    const std::string nom_;
    const Genre genre_;
    const std::string parent_;
    const Proprietes stocke_;
    mutable Verrou verrou_;
    Proprietes valeurs_ GUARDED_BY(verrou_);
    Proprietes tenues_ GUARDED_BY(verrou_); // empty unless a bench holds something
    std::atomic<std::uint64_t> version_{0};
};

class CaseACocher : public Controle {
public:
    CaseACocher(PanneauOperateur& p, std::string nom, std::string caption, std::string parent = {});
    bool Checked() const;
    void setChecked(bool coche, Auteur a = Auteur::Terminal);
    std::string Caption() const;
};

class Edition : public Controle {
public:
    Edition(PanneauOperateur& p, std::string nom, std::string texte, Couleur couleur, bool minuscules,
            std::string parent = {});
    std::string Text() const;
    void setText(std::string_view texte, Auteur a = Auteur::Terminal); // lower-cased if the edit says so
    Couleur Color() const;
    void setColor(Couleur c, Auteur a = Auteur::Terminal);
    bool minuscules() const noexcept { return minuscules_; }
};

class EditionEtiquetee : public Controle {
public:
    EditionEtiquetee(PanneauOperateur& p, std::string nom, std::string etiquette, std::string parent);
    std::string Text() const;
    void setText(std::string_view texte, Auteur a = Auteur::Terminal);
    const std::string& etiquette() const noexcept { return etiquette_; } // the fixed caption above

private:
    std::string etiquette_;
};

class Etiquette : public Controle {
public:
    Etiquette(PanneauOperateur& p, std::string nom, std::string caption, std::string parent);
    std::string Caption() const;
    void setCaption(std::string_view texte, Auteur a = Auteur::Terminal);
};

class BoiteGroupe : public Controle {
public:
    BoiteGroupe(PanneauOperateur& p, std::string nom, std::string caption, bool visible,
                std::string parent = {});
    std::string Caption() const;
    void setCaption(std::string_view texte, Auteur a = Auteur::Terminal);
    bool Visible() const;
    void setVisible(bool visible, Auteur a = Auteur::Terminal);
};

class Forme : public Controle {
public:
    Forme(PanneauOperateur& p, std::string nom, FormeContour contour, Couleur brosse, std::string parent);
    Couleur BrushColor() const;
    void setBrushColor(Couleur c, Auteur a = Auteur::Terminal);
    FormeContour contour() const noexcept { return contour_; }

private:
    FormeContour contour_;
};

class Image : public Controle {
public:
    Image(PanneauOperateur& p, std::string nom);
    bool Visible() const;
    void setVisible(bool visible, Auteur a = Auteur::Terminal);
};

class BarreEtat : public Controle {
public:
    BarreEtat(PanneauOperateur& p, std::string nom);
    std::string SimpleText() const;
    void setSimpleText(std::string_view texte, Auteur a = Auteur::Terminal);
    bool SimplePanel() const noexcept { return false; } // stored off, and nothing switches it on
};

class Bouton : public Controle {
public:
    Bouton(PanneauOperateur& p, std::string nom, std::string caption);
    std::string Caption() const;
};

class PanneauOperateur {
    // Declared first: every control registers itself here while it is built.
    std::vector<Controle*> controles_;

public:
    using Observateur = std::function<void(const Ecriture&)>;

    PanneauOperateur();
    PanneauOperateur(const PanneauOperateur&) = delete;
    PanneauOperateur& operator=(const PanneauOperateur&) = delete;

    // The controls, in the window's stored order; the group boxes come before what they contain.
    const std::vector<Controle*>& controles() const noexcept { return controles_; }
    Controle* trouver(std::string_view nom) const noexcept;
    // The keypad's key of a digit 0 to 9, the box of the keypad whose caption is that digit (the names
    // do not follow the digits: CheckBox16 is 7); nullptr for anything else.
    CaseACocher* touche(int chiffre) const noexcept;

    // Observers are told of every write, on the writing thread, after the control's lock is released.
    // They must not block. Returns a key for retirerObservateur.
    int ajouterObservateur(Observateur o) EXCLUDES(verrouObservateurs_);
    void retirerObservateur(int cle) EXCLUDES(verrouObservateurs_);

    // From now on the terminal's writes are ignored; the user's still count. Returns once any terminal
    // write already under way has been stored, so nothing the terminal does can show after the call.
    void figer();
    bool fige() const noexcept { return fige_.load(std::memory_order_acquire); }

    // Puts every control back into its stored state, holds nothing and thaws the panel; observers stay. For
    // tests and the scenario runner, which start each run from a freshly built window.
    void reinitialiser();

    // Every named control, declared (and so built and listed) in the window's stored order.
    Image Image1, Image2, Image3, Image7, Image6, Image4, Image5;
    BarreEtat StatusBar1;
    BoiteGroupe GroupBox9; // "Superviseur"
    BoiteGroupe GroupBox5; //   "Gardien"
    Etiquette Label3;
    CaseACocher CheckBox3;
    EditionEtiquetee MessageGardien;
    CaseACocher CheckBox7, CheckBox8, CheckBox9;
    BoiteGroupe GroupBox8; //   "Parking"
    Forme Shape4;
    Etiquette Label4;
    EditionEtiquetee PlaceRestantes;
    BoiteGroupe GroupBox14; //   the terminal's identity, hidden as stored
    Etiquette Label5;
    EditionEtiquetee Default;
    BoiteGroupe GroupBox13; // "Debug"
    EditionEtiquetee EtatCourant, Evenement;
    BoiteGroupe Clavier; // the keypad; the names do not follow the digits
    CaseACocher CheckBox12, CheckBox13, CheckBox14, CheckBox15, CheckBox16, CheckBox17, CheckBox18,
        CheckBox19, CheckBox20, CheckBox21;
    CaseACocher CheckBox10; // the card slot
    Edition Edit1, Edit2;   // the display's two lines
    BoiteGroupe GroupBox2;  // "Actionneurs"
    Forme Shape1, Shape2;
    Etiquette Label1, Label2;
    EditionEtiquetee Moteur;
    BoiteGroupe GroupBox4; // "EclairageBarriere"
    Forme Shape3;
    Bouton Button13;                  // "Quitter"
    BoiteGroupe GroupBox6;            // "CapteursLisse"
    CaseACocher CheckBox4, CheckBox5; // boom up / boom down sensors
    CaseACocher CheckBox2, CheckBox1; // downstream / upstream loops
    CaseACocher CheckBox6;            // attendant call

private:
    friend class Controle;
    void inscrire(Controle* c);
    void notifier(const Ecriture& e) const EXCLUDES(verrouObservateurs_);

    std::atomic<bool> fige_{false};
    std::array<CaseACocher*, 10> touches_{}; // set once by the constructor
    // Some observer is registered: read before a write looks at the list (set under the list's lock).
    std::atomic<bool> observe_{false};

    mutable Verrou verrouObservateurs_;
    using Liste = std::vector<std::pair<int, Observateur>>;
    std::shared_ptr<const Liste> observateurs_ GUARDED_BY(verrouObservateurs_); // copied out to notify
    int prochaineCle_ GUARDED_BY(verrouObservateurs_) = 1;
};

// The process-wide panel, built with every control in its stored state on first use.
PanneauOperateur& panneau();

} // namespace borne
