// The window as laid out: every named control's place, size and caption, held against the stored form
// as typed here (not the layout data the window is built from), on the real widgets.
#include "tests/window/WindowSandbox.h"

#include "panel/view/Disposition.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <map>

namespace borne::test {
namespace {

struct Attendu {
    const char* nom;
    const char* parent; // "" for the scrolled panel, "Form1" for the window itself
    int gauche, haut, largeur, hauteur;
    const char* texte; // UTF-8; nullptr when the terminal writes it at start-up
};

// Places relative to the parent's client area, as stored (the window scrolled down by 20 pixels).
const Attendu formulaire[] = {
    {"Image1", "", 8, -20, 297, 465, nullptr},
    {"Image2", "", 312, -20, 241, 281, nullptr},
    {"Image3", "", 312, -20, 241, 281, nullptr},
    {"Image7", "", 312, -20, 241, 281, nullptr},
    {"Image6", "", 312, -20, 241, 281, nullptr},
    {"Image4", "", 296, 260, 257, 153, nullptr},
    {"Image5", "", 296, 256, 257, 161, nullptr},
    {"StatusBar1", "Form1", 0, 717, 571, 19, nullptr}, // the window's foot, outside what scrolls
    {"GroupBox9", "", 0, 556, 553, 161, "Superviseur"},
    {"GroupBox13", "", 0, 444, 305, 113, "Debug"},
    {"Clavier", "", 136, 228, 121, 129, "Clavier"},
    {"CheckBox10", "", 88, 124, 177, 17, ""},
    {"Edit1", "", 56, 28, 185, 28, nullptr},
    {"Edit2", "", 56, 52, 185, 28, nullptr},
    {"GroupBox2", "", 304, 412, 137, 145, "Actionneurs"},
    {"GroupBox4", "", 440, 412, 113, 73, "EclairageBarriere"},
    {"Button13", "", 136, 372, 121, 25, "Quitter"},
    {"GroupBox6", "", 440, 484, 113, 73, "CapteursLisse"},
    {"CheckBox2", "", 400, 364, 17, 17, ""},
    {"CheckBox1", "", 448, 364, 17, 17, ""},
    {"CheckBox6", "", 152, 168, 17, 17, "CheckBox6"},
    {"GroupBox5", "GroupBox9", 8, 24, 233, 121, "Gardien"},
    {"GroupBox8", "GroupBox9", 392, 24, 153, 121, "Parking"},
    {"GroupBox14", "GroupBox9", 256, 40, 121, 89, nullptr},
    {"Label3", "GroupBox5", 8, 24, 39, 13, nullptr},
    {"CheckBox3", "GroupBox5", 8, 48, 129, 17, "Autorisez Acces"},
    {"MessageGardien", "GroupBox5", 8, 88, 121, 21, ""},
    {"CheckBox7", "GroupBox5", 144, 48, 73, 17, "Eclairage"},
    {"CheckBox8", "GroupBox5", 144, 72, 65, 17, "Alarme"},
    {"CheckBox9", "GroupBox5", 144, 96, 73, 17, "Afficher"},
    {"Shape4", "GroupBox8", 16, 24, 41, 41, nullptr},
    {"Label4", "GroupBox8", 64, 40, 55, 20, nullptr},
    {"PlaceRestantes", "GroupBox8", 16, 88, 121, 21, nullptr},
    {"Label5", "GroupBox14", 16, 24, 39, 13, nullptr},
    {"Default", "GroupBox14", 16, 56, 97, 21, nullptr},
    {"EtatCourant", "GroupBox13", 16, 32, 281, 21, nullptr},
    {"Evenement", "GroupBox13", 16, 72, 281, 21, nullptr},
    {"CheckBox12", "Clavier", 16, 32, 33, 17, "1"},
    {"CheckBox13", "Clavier", 48, 32, 33, 17, "2"},
    {"CheckBox14", "Clavier", 80, 32, 33, 17, "3"},
    {"CheckBox15", "Clavier", 16, 56, 33, 17, "4"},
    {"CheckBox16", "Clavier", 16, 80, 33, 17, "7"},
    {"CheckBox17", "Clavier", 48, 56, 41, 17, "5"},
    {"CheckBox18", "Clavier", 80, 56, 33, 17, "6"},
    {"CheckBox19", "Clavier", 48, 80, 33, 17, "8"},
    {"CheckBox20", "Clavier", 80, 80, 33, 17, "9"},
    {"CheckBox21", "Clavier", 48, 104, 33, 17, "0"},
    {"Shape1", "GroupBox2", 8, 24, 17, 17, nullptr},
    {"Shape2", "GroupBox2", 8, 56, 17, 17, nullptr},
    {"Label1", "GroupBox2", 40, 24, 40, 13, "Monter"},
    {"Label2", "GroupBox2", 40, 56, 56, 13, "Decendre"},
    {"Moteur", "GroupBox2", 8, 104, 121, 21, nullptr},
    {"Shape3", "GroupBox4", 32, 16, 41, 41, nullptr},
    {"CheckBox4", "GroupBox6", 16, 24, 81, 17, "EtatHaut"},
    {"CheckBox5", "GroupBox6", 16, 48, 73, 17, "EtatBas"},
};

// The captions above the labelled edits: text, width, height (13 each), 3 pixels above the edit.
struct Legende {
    const char* edit;
    const char* texte;
    int largeur;
};
const Legende legendes[] = {
    {"MessageGardien", "MessageGardien", 95},
    {"PlaceRestantes", "PlaceRestantes", 90},
    {"Default", "Default", 42},
    {"EtatCourant", "EtatCourant", 68},
    {"Evenement", "Evènement", 64},
    {"Moteur", "Moteur", 40},
};

QString texteVu(QWidget* w) {
    if (auto* b = qobject_cast<QCheckBox*>(w)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* p = qobject_cast<QPushButton*>(w)) return p->text();
    return {};
}

// Where a stored control ends up in the window's client area: its parents' places added up.
QPoint placeDansLaFenetre(const std::string& nom) {
    QPoint p;
    for (std::string n = nom; !n.empty() && n != "Form1";) {
        auto it = std::find_if(std::begin(formulaire), std::end(formulaire),
                               [&](const Attendu& a) { return n == a.nom; });
        if (it == std::end(formulaire)) return {-9999, -9999};
        p += QPoint(it->gauche, it->haut);
        n = it->parent;
    }
    return p;
}

class Disposition : public WindowSandbox {};

TEST_F(Disposition, WindowOpensAt543_20ScrolledBy20WithA571By736ClientArea) {
    EXPECT_EQ(fenetre->windowTitle(), "Velmora");
    EXPECT_TRUE(fenetre->windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(fenetre->pos(), QPoint(543, 20));
    EXPECT_EQ(fenetre->size(), QSize(571, 736));
    QScrollArea* zone = fenetre->zoneDefilement();
    EXPECT_EQ(zone->geometry(), QRect(0, 0, 571, 717)) << "no menu bar, no frame; the status bar below";
    EXPECT_EQ(zone->verticalScrollBar()->value(), 20);
    EXPECT_EQ(zone->verticalScrollBar()->maximum(), 20) << "737 rows of panel, 717 visible";
    EXPECT_TRUE(zone->verticalScrollBar()->isVisible());
    EXPECT_EQ(zone->verticalScrollBar()->width(), 17);
    EXPECT_EQ(zone->viewport()->size(), QSize(554, 717));
    EXPECT_FALSE(zone->horizontalScrollBar()->isVisible());
}

TEST_F(Disposition, TheStatusBarStaysAtTheFootWhenThePanelScrollsOrTheWindowGrows) {
    QWidget* barre = fenetre->controle("StatusBar1");
    fenetre->zoneDefilement()->verticalScrollBar()->setValue(0);
    EXPECT_EQ(barre->geometry(), QRect(0, 717, 571, 19));
    fenetre->resize(700, 900);
    ASSERT_TRUE(waitUntil([&] { return barre->geometry() == QRect(0, 881, 700, 19); })) << barre->y();
}

TEST_F(Disposition, EveryNamedControlSitsAtItsStoredPlaceWithItsStoredSizeAndCaption) {
    ASSERT_EQ(std::size(formulaire), panneau().controles().size()) << "one row per named control";
    for (const Attendu& a : formulaire) {
        SCOPED_TRACE(a.nom);
        QWidget* w = fenetre->controle(a.nom);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->objectName(), a.nom);
        EXPECT_EQ(w->mapTo(fenetre.get(), QPoint(0, 0)), placeDansLaFenetre(a.nom));
        EXPECT_EQ(w->size(), QSize(a.largeur, a.hauteur));
        if (a.texte != nullptr) {
            EXPECT_EQ(texteVu(w), QString::fromUtf8(a.texte));
        }
        QWidget* parent = std::string_view(a.parent) == "Form1" ? fenetre.get()
                          : *a.parent                           ? fenetre->controle(a.parent)
                                                                : fenetre->zoneDefilement()->widget();
        EXPECT_EQ(w->parentWidget(), parent);
    }
}

TEST_F(Disposition, LabelledEditCaptionsSit3PixelsAboveTheirEditInTheParentsFont) {
    for (const Legende& e : legendes) {
        SCOPED_TRACE(e.edit);
        QWidget* edit = fenetre->controle(e.edit);
        QWidget* label = fenetre->etiquetteDe(e.edit);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(texteVu(label), QString::fromUtf8(e.texte));
        EXPECT_EQ(label->size(), QSize(e.largeur, 13));
        EXPECT_EQ(label->mapTo(fenetre.get(), QPoint(0, 0)), edit->mapTo(fenetre.get(), QPoint(0, -16)));
        EXPECT_EQ(label->font(), edit->parentWidget()->font());
    }
    // The debug edits have their own colour, their captions the group's.
    EXPECT_EQ(fenetre->controle("EtatCourant")->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(fenetre->controle("Evenement")->palette().color(QPalette::Text), QColor(0, 128, 128));
    EXPECT_EQ(fenetre->etiquetteDe("EtatCourant")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST_F(Disposition, FontsAndColoursFollowTheStoredFormAndTheirParents) {
    struct Rang {
        const char* nom;
        int pixels;
        bool gras;
        QColor texte;
    };
    const Rang rangs[] = {
        {"GroupBox9", 11, true, QColor(128, 0, 0)},  {"CheckBox3", 11, true, QColor(128, 0, 0)},
        {"GroupBox13", 11, true, QColor(0, 0, 255)}, {"Edit1", 16, true, QColor(0, 0, 0)},
        {"Label4", 16, true, QColor(0, 0, 0)},       {"CheckBox1", 11, false, QColor(0, 0, 0)},
        {"Button13", 11, true, QColor(0, 0, 0)},     {"CheckBox4", 11, true, QColor(0, 0, 255)},
    };
    for (const Rang& r : rangs) {
        SCOPED_TRACE(r.nom);
        QWidget* w = fenetre->controle(r.nom);
        EXPECT_EQ(w->font().pixelSize(), r.pixels);
        EXPECT_EQ(w->font().bold(), r.gras);
        EXPECT_EQ(w->font().family(), "Liberation Sans");
        EXPECT_EQ(w->palette().color(qobject_cast<QLineEdit*>(w) ? QPalette::Text : QPalette::WindowText),
                  r.texte);
    }
    // Backgrounds, 0xBBGGRR in the form: silver groups, the light keypad, the blue card bar, the teal desktop
    // behind the loop boxes that take their window's colour.
    EXPECT_EQ(fenetre->controle("GroupBox8")->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(fenetre->controle("CheckBox13")->palette().color(QPalette::Window),
              fenetre->controle("Clavier")->palette().color(QPalette::Window));
    EXPECT_EQ(fenetre->controle("CheckBox10")->palette().color(QPalette::Window).blue() > 200, true);
    EXPECT_EQ(fenetre->controle("CheckBox1")->palette().color(QPalette::Window), QColor(0, 128, 128));
    EXPECT_EQ(fenetre->controle("Edit2")->palette().color(QPalette::Base).rgb() & 0xFFFFFF,
              0xC0DCC0u & 0xFFFFFF)
        << "clMoneyGreen is 0xC0DCC0 as BBGGRR: the same bytes, read as RGB";
}

TEST_F(Disposition, WindowedControlsLieAbovePicturesAndLaterPicturesAboveEarlierOnes) {
    // What a click at a point of the window reaches is the topmost widget there.
    auto dessus = [&](const char* nom, QPoint dedans) {
        QWidget* w = fenetre->controle(nom);
        return fenetre->childAt(w->mapTo(fenetre.get(), dedans));
    };
    for (const char* nom : {"Edit1", "CheckBox10", "CheckBox6", "Button13", "CheckBox1", "CheckBox2"})
        EXPECT_EQ(dessus(nom, QPoint(8, 8)), fenetre->controle(nom)) << nom;
    // Edit2 overlaps the last 4 rows of Edit1 and, stored later, covers them.
    EXPECT_EQ(fenetre->childAt(QPoint(100, 54)), fenetre->controle("Edit2"));
    // Pictures let the mouse through; stacked in stored order Image2 < Image3 < Image7 < Image6.
    const QObjectList& freres = fenetre->controle("Image2")->parentWidget()->children();
    auto position = [&](const char* nom) { return freres.indexOf(fenetre->controle(nom)); };
    EXPECT_LT(position("Image2"), position("Image3"));
    EXPECT_LT(position("Image3"), position("Image7"));
    EXPECT_LT(position("Image7"), position("Image6"));
    EXPECT_LT(position("Image4"), position("Image5"));
    EXPECT_LT(position("Image6"), position("GroupBox9"));
    EXPECT_LT(position("Image4"), position("CheckBox1"));
}

TEST_F(Disposition, TabOrderFollowsTheStoredOrderAmongTheWindowsControls) {
    // Focusable controls met by Tab, in order, starting from the first key of the supervision group.
    const char* ordre[] = {"CheckBox3",      "MessageGardien", "CheckBox7",   "CheckBox8",  "CheckBox9",
                           "PlaceRestantes", "Default",        "EtatCourant", "Evenement",  "CheckBox12",
                           "CheckBox13",     "CheckBox14",     "CheckBox15",  "CheckBox16", "CheckBox17",
                           "CheckBox18",     "CheckBox19",     "CheckBox20",  "CheckBox21", "CheckBox10",
                           "Edit1",          "Edit2",          "Moteur",      "Button13",   "CheckBox4",
                           "CheckBox5",      "CheckBox2",      "CheckBox1",   "CheckBox6"};
    std::vector<QWidget*> chaine;
    QWidget* w = fenetre->controle(ordre[0]);
    for (std::size_t i = 0; i < std::size(ordre) * 3 && chaine.size() < std::size(ordre);
         ++i, w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) chaine.push_back(w);
    ASSERT_EQ(chaine.size(), std::size(ordre));
    for (std::size_t i = 0; i < std::size(ordre); ++i)
        EXPECT_EQ(chaine[i]->objectName(), ordre[i]) << "position " << i;
}

} // namespace
} // namespace borne::test
