#include "panel/PanneauOperateur.h"

#include "base/Texte.h"

#include <algorithm>
#include <cstdio>

namespace borne {

const char* nomPropriete(Propriete p) noexcept {
    switch (p) {
    case Propriete::Checked: return "Checked";
    case Propriete::Caption: return "Caption";
    case Propriete::Text: return "Text";
    case Propriete::Color: return "Color";
    case Propriete::Visible: return "Visible";
    case Propriete::BrushColor: return "Brush.Color";
    case Propriete::SimpleText: return "SimpleText";
    }
    return "?";
}

bool proprieteDe(Genre g, Propriete p) noexcept {
    switch (g) {
    case Genre::CaseACocher: return p == Propriete::Checked || p == Propriete::Caption;
    case Genre::Edition: return p == Propriete::Text || p == Propriete::Color;
    case Genre::EditionEtiquetee: return p == Propriete::Text;
    case Genre::Etiquette: return p == Propriete::Caption;
    case Genre::BoiteGroupe: return p == Propriete::Caption || p == Propriete::Visible;
    case Genre::Forme: return p == Propriete::BrushColor;
    case Genre::Image: return p == Propriete::Visible;
    case Genre::BarreEtat: return p == Propriete::SimpleText;
    case Genre::Bouton: return p == Propriete::Caption;
    }
    return false;
}

// ---- Controle ----

Controle::Controle(PanneauOperateur& panneau, std::string nom, Genre genre, std::string parent,
                   Proprietes stocke, bool minuscules)
    : minuscules_(minuscules), panneau_(panneau), nom_(std::move(nom)), genre_(genre),
      parent_(std::move(parent)), stocke_(std::move(stocke)), valeurs_(stocke_) {
    panneau_.inscrire(this);
}

Valeur* Controle::champ(Propriete p) {
    for (auto& [propriete, valeur] : valeurs_)
        if (propriete == p) return &valeur;
    return nullptr;
}

Valeur Controle::lire(Propriete p) const {
    VerrouPris verrou(verrou_);
    for (const auto& [propriete, valeur] : valeurs_)
        if (propriete == p) return valeur;
    return Valeur{};
}

bool Controle::ecrire(Propriete p, const Valeur& v, Auteur a) {
    if (const auto* texte = std::get_if<std::string>(&v))
        return ecrireEmpruntee(p, std::string_view(*texte), a);
    if (const auto* b = std::get_if<bool>(&v)) return ecrireEmpruntee(p, *b, a);
    return ecrireEmpruntee(p, std::get<Couleur>(v), a);
}

bool Controle::ecrireEmpruntee(Propriete p, const ValeurEmpruntee& v, Auteur a) {
    std::optional<Valeur> copie; // for the observers only, taken while the lock is held
    {
        VerrouPris verrou(verrou_);
        Valeur* cible = champ(p);
        if (cible == nullptr || cible->index() != v.index()) return false;
        // Checked under the control's lock: figer() takes every lock once after raising the flag.
        if (a == Auteur::Terminal && panneau_.fige()) return false;
        const Valeur* tenue = nullptr;
        for (const auto& [propriete, valeur] : tenues_)
            if (propriete == p) tenue = &valeur;
        if (tenue != nullptr) {
            *cible = *tenue; // held values were lower-cased when held
        } else if (const auto* texte = std::get_if<std::string_view>(&v)) {
            std::string& stocke = std::get<std::string>(*cible);
            stocke.assign(texte->data(), texte->size()); // reuses the room the text had
            if (minuscules_ && p == Propriete::Text)
                for (char& c : stocke)
                    c = minusculeCp1252(c);
        } else if (const auto* b = std::get_if<bool>(&v)) {
            *cible = *b;
        } else {
            *cible = std::get<Couleur>(v);
        }
        version_.fetch_add(1, std::memory_order_acq_rel);
        if (panneau_.observe_.load(std::memory_order_acquire)) copie = *cible;
    }
    if (copie) panneau_.notifier(Ecriture{*this, p, a, *copie});
    return true;
}

bool Controle::tenir(Propriete p, const Valeur& v) {
    Valeur tenue = v;
    if (minuscules_ && p == Propriete::Text)
        if (auto* texte = std::get_if<std::string>(&tenue)) *texte = enMinusculesCp1252(*texte);
    VerrouPris verrou(verrou_);
    const Valeur* actuelle = champ(p);
    if (actuelle == nullptr || actuelle->index() != tenue.index()) return false;
    relacherSousVerrou(p);
    tenues_.emplace_back(p, std::move(tenue));
    return true;
}

void Controle::relacher(Propriete p) {
    VerrouPris verrou(verrou_);
    relacherSousVerrou(p);
}

void Controle::relacherSousVerrou(Propriete p) {
    std::erase_if(tenues_, [p](const auto& t) { return t.first == p; });
}

bool Controle::lireBool(Propriete p) const {
    const Valeur v = lire(p);
    const bool* b = std::get_if<bool>(&v);
    return b != nullptr && *b;
}

Couleur Controle::lireCouleur(Propriete p) const {
    const Valeur v = lire(p);
    const Couleur* c = std::get_if<Couleur>(&v);
    return c != nullptr ? *c : 0;
}

std::string Controle::lireTexte(Propriete p) const {
    Valeur v = lire(p);
    std::string* t = std::get_if<std::string>(&v);
    return t != nullptr ? std::move(*t) : std::string();
}

void Controle::restaurer() {
    VerrouPris verrou(verrou_);
    valeurs_ = stocke_;
    tenues_.clear();
    version_.fetch_add(1, std::memory_order_acq_rel);
}

// ---- The kinds ----

CaseACocher::CaseACocher(PanneauOperateur& p, std::string nom, std::string caption, std::string parent)
    : Controle(p, std::move(nom), Genre::CaseACocher, std::move(parent),
               {{Propriete::Checked, false}, {Propriete::Caption, std::move(caption)}}) {}
bool CaseACocher::Checked() const {
    return lireBool(Propriete::Checked);
}
void CaseACocher::setChecked(bool coche, Auteur a) {
    ecrire(Propriete::Checked, coche, a);
}
std::string CaseACocher::Caption() const {
    return lireTexte(Propriete::Caption);
}

Edition::Edition(PanneauOperateur& p, std::string nom, std::string texte, Couleur couleur, bool minuscules,
                 std::string parent)
    : Controle(p, std::move(nom), Genre::Edition, std::move(parent),
               {{Propriete::Text, std::move(texte)}, {Propriete::Color, couleur}}, minuscules) {}
std::string Edition::Text() const {
    return lireTexte(Propriete::Text);
}
void Edition::setText(std::string_view texte, Auteur a) {
    ecrireEmpruntee(Propriete::Text, texte, a);
}
Couleur Edition::Color() const {
    return lireCouleur(Propriete::Color);
}
void Edition::setColor(Couleur c, Auteur a) {
    ecrire(Propriete::Color, c, a);
}

EditionEtiquetee::EditionEtiquetee(PanneauOperateur& p, std::string nom, std::string etiquette,
                                   std::string parent)
    : Controle(p, std::move(nom), Genre::EditionEtiquetee, std::move(parent),
               {{Propriete::Text, std::string()}}),
      etiquette_(std::move(etiquette)) {}
std::string EditionEtiquetee::Text() const {
    return lireTexte(Propriete::Text);
}
void EditionEtiquetee::setText(std::string_view texte, Auteur a) {
    ecrireEmpruntee(Propriete::Text, texte, a);
}

Etiquette::Etiquette(PanneauOperateur& p, std::string nom, std::string caption, std::string parent)
    : Controle(p, std::move(nom), Genre::Etiquette, std::move(parent),
               {{Propriete::Caption, std::move(caption)}}) {}
std::string Etiquette::Caption() const {
    return lireTexte(Propriete::Caption);
}
void Etiquette::setCaption(std::string_view texte, Auteur a) {
    ecrireEmpruntee(Propriete::Caption, texte, a);
}

BoiteGroupe::BoiteGroupe(PanneauOperateur& p, std::string nom, std::string caption, bool visible,
                         std::string parent)
    : Controle(p, std::move(nom), Genre::BoiteGroupe, std::move(parent),
               {{Propriete::Caption, std::move(caption)}, {Propriete::Visible, visible}}) {}
std::string BoiteGroupe::Caption() const {
    return lireTexte(Propriete::Caption);
}
void BoiteGroupe::setCaption(std::string_view texte, Auteur a) {
    ecrireEmpruntee(Propriete::Caption, texte, a);
}
bool BoiteGroupe::Visible() const {
    return lireBool(Propriete::Visible);
}
void BoiteGroupe::setVisible(bool visible, Auteur a) {
    ecrire(Propriete::Visible, visible, a);
}

Forme::Forme(PanneauOperateur& p, std::string nom, FormeContour contour, Couleur brosse, std::string parent)
    : Controle(p, std::move(nom), Genre::Forme, std::move(parent), {{Propriete::BrushColor, brosse}}),
      contour_(contour) {}
Couleur Forme::BrushColor() const {
    return lireCouleur(Propriete::BrushColor);
}
void Forme::setBrushColor(Couleur c, Auteur a) {
    ecrire(Propriete::BrushColor, c, a);
}

Image::Image(PanneauOperateur& p, std::string nom)
    : Controle(p, std::move(nom), Genre::Image, {}, {{Propriete::Visible, true}}) {}
bool Image::Visible() const {
    return lireBool(Propriete::Visible);
}
void Image::setVisible(bool visible, Auteur a) {
    ecrire(Propriete::Visible, visible, a);
}

BarreEtat::BarreEtat(PanneauOperateur& p, std::string nom)
    : Controle(p, std::move(nom), Genre::BarreEtat, {}, {{Propriete::SimpleText, std::string()}}) {}
std::string BarreEtat::SimpleText() const {
    return lireTexte(Propriete::SimpleText);
}
void BarreEtat::setSimpleText(std::string_view texte, Auteur a) {
    ecrireEmpruntee(Propriete::SimpleText, texte, a);
}

Bouton::Bouton(PanneauOperateur& p, std::string nom, std::string caption)
    : Controle(p, std::move(nom), Genre::Bouton, {}, {{Propriete::Caption, std::move(caption)}}) {}
std::string Bouton::Caption() const {
    return lireTexte(Propriete::Caption);
}

// ---- The panel ----

PanneauOperateur::PanneauOperateur()
    : Image1(*this, "Image1"), Image2(*this, "Image2"), Image3(*this, "Image3"), Image7(*this, "Image7"),
      Image6(*this, "Image6"), Image4(*this, "Image4"), Image5(*this, "Image5"),
      StatusBar1(*this, "StatusBar1"), GroupBox9(*this, "GroupBox9", "Superviseur", true),
      GroupBox5(*this, "GroupBox5", "Gardien", true, "GroupBox9"),
      Label3(*this, "Label3", "Label3", "GroupBox5"),
      CheckBox3(*this, "CheckBox3", "Autorisez Acces", "GroupBox5"),
      MessageGardien(*this, "MessageGardien", "MessageGardien", "GroupBox5"),
      CheckBox7(*this, "CheckBox7", "Eclairage", "GroupBox5"),
      CheckBox8(*this, "CheckBox8", "Alarme", "GroupBox5"),
      CheckBox9(*this, "CheckBox9", "Afficher", "GroupBox5"),
      GroupBox8(*this, "GroupBox8", "Parking", true, "GroupBox9"),
      Shape4(*this, "Shape4", FormeContour::RectangleArrondi, clLime, "GroupBox8"),
      Label4(*this, "Label4", "Label4", "GroupBox8"),
      PlaceRestantes(*this, "PlaceRestantes", "PlaceRestantes", "GroupBox8"),
      GroupBox14(*this, "GroupBox14", "GroupBox14", false, "GroupBox9"),
      Label5(*this, "Label5", "Label5", "GroupBox14"), Default(*this, "Default", "Default", "GroupBox14"),
      GroupBox13(*this, "GroupBox13", "Debug", true),
      EtatCourant(*this, "EtatCourant", "EtatCourant", "GroupBox13"),
      Evenement(*this, "Evenement", "Ev\xE8nement", "GroupBox13"), Clavier(*this, "Clavier", "Clavier", true),
      CheckBox12(*this, "CheckBox12", "1", "Clavier"), CheckBox13(*this, "CheckBox13", "2", "Clavier"),
      CheckBox14(*this, "CheckBox14", "3", "Clavier"), CheckBox15(*this, "CheckBox15", "4", "Clavier"),
      CheckBox16(*this, "CheckBox16", "7", "Clavier"), CheckBox17(*this, "CheckBox17", "5", "Clavier"),
      CheckBox18(*this, "CheckBox18", "6", "Clavier"), CheckBox19(*this, "CheckBox19", "8", "Clavier"),
      CheckBox20(*this, "CheckBox20", "9", "Clavier"), CheckBox21(*this, "CheckBox21", "0", "Clavier"),
      CheckBox10(*this, "CheckBox10", ""), Edit1(*this, "Edit1", "Edit1", clMoneyGreen, false),
      Edit2(*this, "Edit2", "edit2", clMoneyGreen, true), GroupBox2(*this, "GroupBox2", "Actionneurs", true),
      Shape1(*this, "Shape1", FormeContour::Cercle, clWhite, "GroupBox2"),
      Shape2(*this, "Shape2", FormeContour::Cercle, clWhite, "GroupBox2"),
      Label1(*this, "Label1", "Monter", "GroupBox2"), Label2(*this, "Label2", "Decendre", "GroupBox2"),
      Moteur(*this, "Moteur", "Moteur", "GroupBox2"),
      GroupBox4(*this, "GroupBox4", "EclairageBarriere", true),
      Shape3(*this, "Shape3", FormeContour::Ellipse, clWhite, "GroupBox4"),
      Button13(*this, "Button13", "Quitter"), GroupBox6(*this, "GroupBox6", "CapteursLisse", true),
      CheckBox4(*this, "CheckBox4", "EtatHaut", "GroupBox6"),
      CheckBox5(*this, "CheckBox5", "EtatBas", "GroupBox6"), CheckBox2(*this, "CheckBox2", ""),
      CheckBox1(*this, "CheckBox1", ""), CheckBox6(*this, "CheckBox6", "CheckBox6") {
    for (Controle* c : controles_) {
        if (c->parent() != Clavier.nom() || c->genre() != Genre::CaseACocher) continue;
        auto* touche = static_cast<CaseACocher*>(c);
        const std::string caption = touche->Caption();
        if (caption.size() == 1 && caption[0] >= '0' && caption[0] <= '9')
            touches_[static_cast<std::size_t>(caption[0] - '0')] = touche;
    }
}

CaseACocher* PanneauOperateur::touche(int chiffre) const noexcept {
    return chiffre >= 0 && chiffre <= 9 ? touches_[static_cast<std::size_t>(chiffre)] : nullptr;
}

void PanneauOperateur::inscrire(Controle* c) {
    controles_.push_back(c);
}

Controle* PanneauOperateur::trouver(std::string_view nom) const noexcept {
    auto it = std::find_if(controles_.begin(), controles_.end(),
                           [&](const Controle* c) { return c->nom() == nom; });
    return it == controles_.end() ? nullptr : *it;
}

int PanneauOperateur::ajouterObservateur(Observateur o) {
    VerrouPris verrou(verrouObservateurs_);
    auto liste = observateurs_ ? std::make_shared<Liste>(*observateurs_) : std::make_shared<Liste>();
    const int cle = prochaineCle_++;
    liste->emplace_back(cle, std::move(o));
    observateurs_ = std::move(liste);
    observe_.store(true, std::memory_order_release);
    return cle;
}

void PanneauOperateur::retirerObservateur(int cle) {
    VerrouPris verrou(verrouObservateurs_);
    if (!observateurs_) return;
    auto liste = std::make_shared<Liste>(*observateurs_);
    std::erase_if(*liste, [cle](const auto& e) { return e.first == cle; });
    observe_.store(!liste->empty(), std::memory_order_release);
    observateurs_ = std::move(liste);
}

void PanneauOperateur::notifier(const Ecriture& e) const {
    std::shared_ptr<const Liste> liste;
    {
        VerrouPris verrou(verrouObservateurs_);
        liste = observateurs_;
    }
    if (!liste) return;
    for (const auto& [cle, observateur] : *liste)
        observateur(e);
}

void PanneauOperateur::figer() {
    fige_.store(true, std::memory_order_release);
    // A terminal write that saw the panel thawed holds its control's lock until its value is stored.
    for (Controle* c : controles_)
        VerrouPris verrou(c->verrou_);
}

void PanneauOperateur::reinitialiser() {
    fige_.store(false, std::memory_order_release);
    for (Controle* c : controles_)
        c->restaurer();
}

PanneauOperateur& panneau() {
    static PanneauOperateur instance;
    return instance;
}

} // namespace borne
