#include "panel/view/Vue.h"

#include "base/Texte.h"
#include "panel/Roles.h"
#include "panel/view/Disposition.h"
#include "panel/view/Widgets.h"

#include "panel/images/Images.h"

#include <QCheckBox>
#include <QFont>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolTip>

#include <array>
#include <cstdint>
#include <future>
#include <stdexcept>
#include <string>

namespace borne::vue {

namespace {

QString enQString(std::string_view cp1252) {
    return QString::fromStdString(versUtf8(cp1252));
}

std::string depuisQString(const QString& s) {
    return depuisUtf8(s.toStdString());
}

QFont enQFont(const Police& police) {
    QFont f(QString::fromUtf8(fenetre().famillePolice));
    f.setPixelSize(police.hauteur);
    f.setBold(police.gras);
    return f;
}

// Colours of a widget: its background (role Window, or Base for an edit's inside) and its text.
void colorer(QWidget* w, Couleur fond, Couleur texte, bool edition = false) {
    QPalette pal = w->palette();
    const QColor t = enQColor(valeurReelle(texte));
    pal.setColor(QPalette::WindowText, t);
    pal.setColor(QPalette::Text, t);
    pal.setColor(QPalette::ButtonText, t);
    if (edition) {
        pal.setColor(QPalette::Base, enQColor(valeurReelle(fond)));
    } else {
        pal.setColor(QPalette::Window, enQColor(valeurReelle(fond)));
        pal.setColor(QPalette::Button, enQColor(valeurReelle(fond)));
        w->setAutoFillBackground(true);
    }
    w->setPalette(pal);
}

// The seven pictures, in the order Image1..Image7, decoded once for the process on a thread of their own
// and put straight into the screen's fast format (0xFFRRGGBB). The thread touches nothing of Qt, so the
// program may start its toolkit, or end, while it runs.
struct PixelsRgb32 {
    int largeur = 0;
    int hauteur = 0;
    std::vector<std::uint32_t> pixels;
};

std::shared_future<std::vector<PixelsRgb32>>& imagesEnCours() {
    static std::shared_future<std::vector<PixelsRgb32>> images =
        std::async(std::launch::async, [] {
            std::vector<PixelsRgb32> liste;
            for (const ImageRgb& rgb : decoderImagesIntegrees()) {
                PixelsRgb32 image{rgb.largeur, rgb.hauteur, {}};
                image.pixels.reserve(rgb.pixels.size() / 3);
                for (std::size_t i = 0; i + 2 < rgb.pixels.size(); i += 3)
                    image.pixels.push_back(0xFF000000u | std::uint32_t{rgb.pixels[i]} << 16 |
                                           std::uint32_t{rgb.pixels[i + 1]} << 8 | rgb.pixels[i + 2]);
                liste.push_back(std::move(image));
            }
            return liste;
        }).share();
    return images;
}

} // namespace

void preparerImages() {
    imagesEnCours();
}

QIcon icone() {
    static const QImage image = [] {
        const auto xpm = iconeXpm();
        QImage lue;
        lue.loadFromData(xpm.data(), static_cast<int>(xpm.size()), "XPM");
        return lue;
    }();
    return QIcon(QPixmap::fromImage(image));
}

QString bulle(std::string_view nom) {
    const RoleControle* r = roleDe(nom);
    return QString::fromUtf8(nom.data(), static_cast<qsizetype>(nom.size())) +
           (r != nullptr ? QStringLiteral(" - ") + QString::fromUtf8(r->role) : QString());
}

struct Vue::Relais {
    Verrou verrou;
    Vue* vue GUARDED_BY(verrou) = nullptr; // cleared when the view goes
};

Vue::Vue(QWidget* contenu, PanneauOperateur& p, std::function<void()> surClicQuitter)
    : contenu_(contenu), panneau_(p), surClicQuitter_(std::move(surClicQuitter)),
      relais_(std::make_shared<Relais>()) {
    construire(contenu);
    contenu->installEventFilter(this);
    {
        VerrouPris pris(relais_->verrou);
        relais_->vue = this;
    }
    cle_ = panneau_.ajouterObservateur([relais = relais_](const Ecriture& e) {
        VerrouPris pris(relais->verrou);
        if (relais->vue != nullptr) relais->vue->signaler(e.controle);
    });
    // Anything written between the build and the observer's arrival.
    for (auto& lien : liens_)
        rafraichir(*lien);
}

Vue::~Vue() {
    panneau_.retirerObservateur(cle_);
    VerrouPris pris(relais_->verrou);
    relais_->vue = nullptr;
}

QWidget* Vue::widget(std::string_view nom) const {
    for (const auto& lien : liens_)
        if (lien->controle->nom() == nom) return lien->widget;
    return nullptr;
}

QWidget* Vue::etiquette(std::string_view nom) const {
    for (const auto& lien : liens_)
        if (lien->controle->nom() == nom) return lien->etiquette;
    return nullptr;
}

bool Vue::eventFilter(QObject* objet, QEvent* evenement) {
    if (objet != contenu_ || evenement->type() != QEvent::ToolTip) return false;
    const auto* aide = static_cast<QHelpEvent*>(evenement);
    // Later pictures lie above earlier ones.
    for (auto it = liens_.rbegin(); it != liens_.rend(); ++it) {
        const QWidget* w = (*it)->widget;
        if ((*it)->controle->genre() != Genre::Image || w->isHidden() || !w->geometry().contains(aide->pos()))
            continue;
        QToolTip::showText(aide->globalPos(), w->toolTip(), contenu_);
        return true;
    }
    QToolTip::hideText();
    return true;
}

void Vue::construire(QWidget* contenu) {
    preparerImages(); // decoded while the other controls are built
    const Fenetre& f = fenetre();
    colorer(contenu, f.couleur, f.police.couleur);
    contenu->setFont(enQFont(f.police));
    contenu->setFixedSize(f.largeurContenu, f.hauteurContenu);

    // The stored places are those of the window scrolled by `defilement`: on the unscrolled panel a
    // control placed on the window sits that much lower.
    for (Controle* c : panneau_.controles()) {
        auto lien = std::make_unique<Lien>();
        lien->controle = c;
        QWidget* parent = c->parent().empty() ? contenu : widget(c->parent());
        if (parent == nullptr) throw std::logic_error("panel control placed before its group: " + c->nom());
        lien->widget = creer(*lien, parent);
        if (c->parent().empty()) lien->widget->move(lien->widget->x(), lien->widget->y() + f.defilement);
        parControle_[c] = lien.get();
        liens_.push_back(std::move(lien));
    }
    // Windowed controls above the pictures, shapes and labels of the same parent, in stored order;
    // among the others, stored order already puts later ones on top.
    for (auto& lien : liens_) {
        if (!estFenetre(lien->controle->genre())) continue;
        lien->widget->raise();
    }
    const std::vector<PixelsRgb32>& images = imagesEnCours().get();
    for (auto& lien : liens_) {
        if (lien->controle->genre() != Genre::Image) continue;
        const int indice = lien->controle->nom().back() - '1';
        if (indice < 0 || static_cast<std::size_t>(indice) >= images.size()) continue;
        const PixelsRgb32& i = images[static_cast<std::size_t>(indice)];
        // Shared, not copied: the pixels stay for the process.
        static_cast<ImageWidget*>(lien->widget)
            ->montrer(QImage(reinterpret_cast<const uchar*>(i.pixels.data()), i.largeur, i.hauteur,
                             i.largeur * 4, QImage::Format_RGB32));
    }
}

namespace {

// What a kind of control's widget is made from: the control, where it goes, the view (the owner of its
// connections) and what the quit button calls.
struct Fabrique {
    Controle& controle;
    QWidget* parent;
    QObject* vue;
    const std::function<void()>& surClicQuitter;
};

QWidget* fabriquerImage(const Fabrique& f) {
    auto* w = new ImageWidget(QImage(), f.parent); // its picture once decoded (construire)
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    return w;
}

QWidget* fabriquerBarreEtat(const Fabrique& f) {
    return new BarreEtatWidget(f.parent);
}

QWidget* fabriquerBoiteGroupe(const Fabrique& f) {
    return new BoiteGroupeWidget(f.parent);
}

QWidget* fabriquerForme(const Fabrique& f) {
    return new FormeWidget(static_cast<Forme&>(f.controle).contour(), f.parent);
}

QLabel* fabriquerLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget* fabriquerEtiquette(const Fabrique& f) {
    return fabriquerLabel(f.parent);
}

QWidget* fabriquerCase(const Fabrique& f) {
    auto* box = new QCheckBox(f.parent);
    Controle* modele = &f.controle;
    QObject::connect(box, &QCheckBox::clicked, f.vue, [modele](bool coche) {
        modele->ecrire(Propriete::Checked, Valeur{coche}, Auteur::Utilisateur);
    });
    return box;
}

QWidget* fabriquerEdition(const Fabrique& f) {
    auto* edit = new QLineEdit(f.parent);
    Controle* modele = &f.controle;
    QObject::connect(edit, &QLineEdit::textEdited, f.vue, [modele](const QString& texte) {
        modele->ecrire(Propriete::Text, Valeur{depuisQString(texte)}, Auteur::Utilisateur);
    });
    return edit;
}

QWidget* fabriquerBouton(const Fabrique& f) {
    auto* bouton = new QPushButton(f.parent);
    QObject::connect(bouton, &QPushButton::clicked, f.vue, [&quitter = f.surClicQuitter] {
        if (quitter) quitter();
    });
    return bouton;
}

// Each kind's widget brought to what its control holds.
void rafraichirCase(Controle& c, QWidget* w) {
    auto* box = static_cast<QCheckBox*>(w);
    auto& modele = static_cast<CaseACocher&>(c);
    box->setChecked(modele.Checked());
    const QString texte = enQString(modele.Caption());
    if (box->text() != texte) box->setText(texte);
}

void rafraichirEdition(Controle& c, QWidget* w) {
    auto* edit = static_cast<QLineEdit*>(w);
    const QString texte = enQString(std::get<std::string>(c.lire(Propriete::Text)));
    if (edit->text() != texte) {
        const int curseur = edit->cursorPosition();
        edit->setText(texte);
        if (edit->hasFocus()) edit->setCursorPosition(std::min(curseur, static_cast<int>(texte.size())));
    }
    if (c.genre() == Genre::Edition) {
        const QColor fond = enQColor(static_cast<Edition&>(c).Color());
        if (edit->palette().color(QPalette::Base) != fond) {
            QPalette pal = edit->palette();
            pal.setColor(QPalette::Base, fond);
            edit->setPalette(pal);
        }
    }
}

void rafraichirEtiquette(Controle& c, QWidget* w) {
    auto* label = static_cast<QLabel*>(w);
    const QString texte = enQString(static_cast<Etiquette&>(c).Caption());
    if (label->text() == texte) return;
    label->setText(texte);
    // As the form's labels do: the caption shows whole, the label growing to the right from its stored
    // left edge, never narrower than stored.
    const Placement* pl = placement(c.nom());
    label->resize(std::max(pl->largeur, label->sizeHint().width()), pl->hauteur);
}

void rafraichirBoiteGroupe(Controle& c, QWidget* w) {
    auto* boite = static_cast<QGroupBox*>(w);
    auto& modele = static_cast<BoiteGroupe&>(c);
    const QString texte = enQString(modele.Caption());
    if (boite->title() != texte) boite->setTitle(texte);
    boite->setHidden(!modele.Visible());
}

void rafraichirForme(Controle& c, QWidget* w) {
    static_cast<FormeWidget*>(w)->setCouleur(enQColor(static_cast<Forme&>(c).BrushColor()));
}

void rafraichirImage(Controle& c, QWidget* w) {
    w->setHidden(!static_cast<Image&>(c).Visible());
}

// Simple mode off: its text is kept by the model, not drawn.
void rafraichirBarreEtat(Controle&, QWidget*) {}

void rafraichirBouton(Controle& c, QWidget* w) {
    auto* bouton = static_cast<QPushButton*>(w);
    const QString texte = enQString(static_cast<Bouton&>(c).Caption());
    if (bouton->text() != texte) bouton->setText(texte);
}

// How a widget takes the control's colours: not at all (pictures and shapes draw their own), as a
// background, or as an edit's inside.
enum class Teinte { Aucune, Fond, Edition };

// Each kind of control on screen, in the order of Genre: its widget, how it follows its control, its
// colours, whether it takes the keyboard's focus, and whether a caption is drawn above it.
struct SorteVue {
    Genre genre;
    QWidget* (*fabriquer)(const Fabrique&);
    void (*rafraichir)(Controle&, QWidget*);
    Teinte teinte;
    bool focus;
    bool legende;
};

constexpr std::array<SorteVue, 9> SORTES_VUE = {{
    {Genre::CaseACocher, fabriquerCase, rafraichirCase, Teinte::Fond, true, false},
    {Genre::Edition, fabriquerEdition, rafraichirEdition, Teinte::Edition, true, false},
    {Genre::EditionEtiquetee, fabriquerEdition, rafraichirEdition, Teinte::Edition, true, true},
    {Genre::Etiquette, fabriquerEtiquette, rafraichirEtiquette, Teinte::Fond, false, false},
    {Genre::BoiteGroupe, fabriquerBoiteGroupe, rafraichirBoiteGroupe, Teinte::Fond, false, false},
    {Genre::Forme, fabriquerForme, rafraichirForme, Teinte::Aucune, false, false},
    {Genre::Image, fabriquerImage, rafraichirImage, Teinte::Aucune, false, false},
    {Genre::BarreEtat, fabriquerBarreEtat, rafraichirBarreEtat, Teinte::Fond, false, false},
    {Genre::Bouton, fabriquerBouton, rafraichirBouton, Teinte::Fond, true, false},
}};

constexpr bool sortesDansLOrdre() {
    for (std::size_t i = 0; i < SORTES_VUE.size(); ++i)
        if (static_cast<std::size_t>(SORTES_VUE[i].genre) != i) return false;
    return static_cast<std::size_t>(Genre::Bouton) + 1 == SORTES_VUE.size();
}
static_assert(sortesDansLOrdre(), "one entry per kind of control, in the order of Genre");

} // namespace

// The caption above a labelled edit, in the font and colour of the edit's parent.
QWidget* Vue::creerLegende(const Controle& c, const Placement& pl, QWidget* parent) {
    QLabel* label = fabriquerLabel(parent);
    label->setText(enQString(static_cast<const EditionEtiquetee&>(c).etiquette()));
    label->setObjectName(QString::fromStdString(c.nom() + "Etiquette"));
    const Couleur fondParent =
        c.parent().empty() ? fenetre().couleur : couleurEffective(panneau_, c.parent());
    const Police policeParent = c.parent().empty() ? fenetre().police : policeEffective(panneau_, c.parent());
    colorer(label, fondParent, policeParent.couleur);
    label->setFont(enQFont(policeParent));
    label->setGeometry(pl.gauche, pl.haut - pl.hauteurEtiquette - espaceEtiquette, pl.largeurEtiquette,
                       pl.hauteurEtiquette);
    label->setToolTip(bulle(c.nom()));
    return label;
}

QWidget* Vue::creer(Lien& lien, QWidget* parent) {
    Controle& c = *lien.controle;
    const Placement* pl = placement(c.nom());
    if (pl == nullptr) throw std::logic_error("no stored place for panel control " + c.nom());
    const SorteVue& sorte = SORTES_VUE[static_cast<std::size_t>(c.genre())];
    QWidget* w = sorte.fabriquer({c, parent, this, surClicQuitter_});
    if (sorte.legende) lien.etiquette = creerLegende(c, *pl, parent);

    const Police police = policeEffective(panneau_, c.nom());
    const Couleur fond = couleurEffective(panneau_, c.nom());
    w->setObjectName(QString::fromStdString(c.nom()));
    w->setToolTip(bulle(c.nom()));
    w->setGeometry(pl->gauche, pl->haut, pl->largeur, pl->hauteur);
    w->setFont(enQFont(police));
    if (sorte.teinte != Teinte::Aucune) colorer(w, fond, police.couleur, sorte.teinte == Teinte::Edition);
    w->setFocusPolicy(sorte.focus ? Qt::StrongFocus : Qt::NoFocus);
    return w;
}

void Vue::signaler(const Controle& c) {
    auto it = parControle_.find(&c);
    if (it == parControle_.end()) return;
    Lien* lien = it->second;
    if (lien->enAttente.exchange(true, std::memory_order_acq_rel)) return; // one refresh already on its way
    postes_.fetch_add(1, std::memory_order_relaxed);
    QMetaObject::invokeMethod(
        this,
        [this, lien] {
            // Cleared before reading, so a write that lands during the refresh posts another one.
            lien->enAttente.store(false, std::memory_order_release);
            rafraichir(*lien);
        },
        Qt::QueuedConnection);
}

void Vue::rafraichir(Lien& lien) {
    Controle& c = *lien.controle;
    const QSignalBlocker silence(lien.widget); // what the model says is not the user's doing
    SORTES_VUE[static_cast<std::size_t>(c.genre())].rafraichir(c, lien.widget);
}

} // namespace borne::vue
