// The view bound to the model, without a terminal behind it: stored states on screen, the model's writes
// from another thread shown by the window's thread, the user's actions written into the model, and no
// write echoed back.
#include "tests/window/WindowSandbox.h"

#include "panel/Roles.h"
#include "panel/images/Images.h"
#include "panel/view/Vue.h"
#include "panel/view/Widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

#include <thread>
#include <vector>

namespace borne::test {
namespace {

// Types text as a keyboard would, characters beyond ASCII included.
void typeCode(QWidget* w, const QString& texte) {
    for (QChar c : texte) {
        QKeyEvent appui(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &appui);
        QKeyEvent relache(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &relache);
    }
}

class ViewBinding : public Sandbox {
protected:
    ViewBinding() {
        contenu.setAttribute(Qt::WA_DontShowOnScreen);
        contenu.show();
        cle = panel.ajouterObservateur([this](const Ecriture& e) {
            if (e.auteur == Auteur::Utilisateur) ecritsParUtilisateur.push_back(e.controle.nom());
        });
    }
    ~ViewBinding() override { panel.retirerObservateur(cle); }

    template <class T> T* vu(const char* nom) { return static_cast<T*>(vue.widget(nom)); }

    QWidget contenu;
    vue::Vue vue{&contenu, panel, [this] { ++clicsQuitter; }};
    std::vector<std::string> ecritsParUtilisateur; // written on the window's thread only
    int clicsQuitter = 0;
    int cle = 0;
};

TEST_F(ViewBinding, ControlsShowTheirStoredStateBeforeTheTerminalWritesThem) {
    EXPECT_EQ(vu<QLineEdit>("Edit1")->text(), "Edit1");
    EXPECT_EQ(vu<QLineEdit>("Edit2")->text(), "edit2");
    EXPECT_EQ(vu<QLabel>("Label3")->text(), "Label3");
    EXPECT_EQ(vu<QLabel>("Label4")->text(), "Label4");
    EXPECT_EQ(vu<QLineEdit>("PlaceRestantes")->text(), "");
    EXPECT_TRUE(vu<QGroupBox>("GroupBox14")->isHidden());
    EXPECT_FALSE(vue.widget("Label5")->isVisible()) << "hidden with its group";
    for (const char* image : {"Image1", "Image2", "Image3", "Image4", "Image5", "Image6", "Image7"})
        EXPECT_FALSE(vue.widget(image)->isHidden()) << image;
    EXPECT_EQ(vu<vue::FormeWidget>("Shape4")->couleur(), QColor(0, 255, 0));
    EXPECT_EQ(vu<vue::FormeWidget>("Shape1")->couleur(), QColor(255, 255, 255));
}

TEST_F(ViewBinding, WritesFromAnotherThreadAppearOnScreenLastValueWinning) {
    std::thread terminal([&] {
        for (int i = 0; i < 5000; ++i) {
            panel.Label3.setCaption(i % 2 ? "x" : "Gardien appel\xE9");
            panel.Shape4.setBrushColor(i % 2 ? clLime : clRed);
            panel.Image6.setVisible(i % 2 != 0);
        }
        panel.Label3.setCaption("Gardien appel\xE9");
        panel.Shape4.setBrushColor(clRed);
        panel.Image6.setVisible(false);
    });
    terminal.join(); // the window's thread is not running its loop: every write so far is pending
    EXPECT_LE(vue.rafraichissementsPostes(), 3u) << "a flood of writes to one control costs one refresh";
    settle();
    EXPECT_EQ(vu<QLabel>("Label3")->text(), QString::fromUtf8("Gardien appelé"));
    EXPECT_TRUE(vue.widget("Image6")->isHidden());
    // What the user sees: the lamp's middle is red.
    const QImage lampe = vue.widget("Shape4")->grab().toImage();
    EXPECT_EQ(lampe.pixelColor(20, 20), QColor(255, 0, 0));
    EXPECT_TRUE(ecritsParUtilisateur.empty()) << "the terminal's writes are not echoed as the user's";
}

TEST_F(ViewBinding, TerminalWritesShowTextsColoursVisibilityAndTicks) {
    panel.Edit2.setText("-     Mode Test      -");
    panel.Edit1.setColor(clLime);
    panel.GroupBox14.setCaption("Entr\xE9"
                                "e Nord");
    panel.GroupBox14.setVisible(true);
    panel.CheckBox5.setChecked(true);
    panel.StatusBar1.setSimpleText("Vehicule au milieu");
    settle();
    EXPECT_TRUE(vu<QCheckBox>("CheckBox5")->isChecked());
    EXPECT_EQ(vu<QLineEdit>("Edit2")->text(), "-     mode test      -");
    EXPECT_EQ(vu<QLineEdit>("Edit1")->palette().color(QPalette::Base), QColor(0, 255, 0));
    EXPECT_EQ(vu<QGroupBox>("GroupBox14")->title(), QString::fromUtf8("Entrée Nord"));
    EXPECT_FALSE(vue.widget("GroupBox14")->isHidden());
    EXPECT_TRUE(vue.widget("Label5")->isVisible());
    EXPECT_TRUE(ecritsParUtilisateur.empty());
}

TEST_F(ViewBinding, AUsersTickAndUntickReachTheModelOnceEach) {
    for (const char* nom : {"CheckBox1", "CheckBox10", "CheckBox17", "CheckBox3"}) {
        SCOPED_TRACE(nom);
        ecritsParUtilisateur.clear();
        auto* box = vu<QCheckBox>(nom);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 8));
        EXPECT_TRUE(std::get<bool>(panel.trouver(nom)->lire(Propriete::Checked)));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 8));
        EXPECT_FALSE(std::get<bool>(panel.trouver(nom)->lire(Propriete::Checked)));
        settle(); // any echo would come through here
        EXPECT_EQ(ecritsParUtilisateur, (std::vector<std::string>{nom, nom}));
    }
}

TEST_F(ViewBinding, TheTerminalUntickingALatchShowsAtOnceAndTheUserCanTickItAgain) {
    auto* touche = vu<QCheckBox>("CheckBox12");
    QTest::mouseClick(touche, Qt::LeftButton, {}, QPoint(6, 8));
    std::thread([&] { panel.CheckBox12.setChecked(false); }).join(); // the keypad reader takes the press
    settle();
    EXPECT_FALSE(touche->isChecked());
    QTest::mouseClick(touche, Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_TRUE(panel.CheckBox12.Checked());
}

TEST_F(ViewBinding, TypingGoesIntoTheModelAsWindows1252AndEdit2StaysLowerCase) {
    auto* message = vu<QLineEdit>("MessageGardien");
    message->setFocus();
    typeCode(message, QString::fromUtf8("Sortie fermée"));
    EXPECT_EQ(panel.MessageGardien.Text(), "Sortie ferm\xE9"
                                           "e");

    auto* ligne2 = vu<QLineEdit>("Edit2");
    ligne2->clear();
    typeCode(ligne2, QString::fromUtf8("ÉTÉ"));
    EXPECT_EQ(panel.Edit2.Text(), "\xE9t\xE9");
    settle();
    EXPECT_EQ(ligne2->text(), QString::fromUtf8("été"));
}

QColor pixel(const ImageRgb& image, int x, int y) {
    const unsigned char* p = &image.pixels[static_cast<std::size_t>((y * image.largeur + x) * 3)];
    return QColor(p[0], p[1], p[2]);
}

TEST_F(ViewBinding, PicturesAreDrawnAtTheirOwnSizeFromTheBoxCornerAndLaterOnesCoverEarlierOnes) {
    const std::vector<ImageRgb> images = decoderImagesIntegrees();
    // The panel unscrolled: a control stored at top T on the window is drawn at T + 20.
    const QImage ecran = contenu.grab().toImage();
    auto vu = [&](int x, int y) { return ecran.pixelColor(x, y + 20); };
    // Image1 alone at (8, -20): its first row is on screen row -20 + 20 = 0 of the unscrolled panel.
    EXPECT_EQ(vu(8 + 3, -20 + 1), pixel(images[0], 3, 1));
    EXPECT_EQ(vu(8 + 40, -20 + 400), pixel(images[0], 40, 400));
    // The barrier view shows the top of its stack, Image6 (nothing hid it here).
    EXPECT_EQ(vu(312 + 100, -20 + 100), pixel(images[5], 100, 100));
    // The lane plan shows Image5, 4 rows higher than Image4; below its 153 rows, Image4's last rows.
    EXPECT_EQ(vu(296 + 30, 256 + 50), pixel(images[4], 30, 50));
    EXPECT_EQ(vu(296 + 30, 256 + 155), pixel(images[3], 30, 151));
    // Hiding the upper pictures lets the lower ones show.
    panel.Image6.setVisible(false);
    panel.Image7.setVisible(false);
    panel.Image5.setVisible(false);
    settle();
    const QImage apres = contenu.grab().toImage();
    EXPECT_EQ(apres.pixelColor(312 + 100, 100 - 20 + 20), pixel(images[2], 100, 100));
    EXPECT_EQ(apres.pixelColor(296 + 30, 260 + 50 + 20), pixel(images[3], 30, 50));
}

// Captions longer than the placeholders they replace show whole: the label grows to the right of its
// stored left edge ("COMPLET", not "COMPL"; "Gardien appelé", not "Gardier").
TEST_F(ViewBinding, LabelsGrowToShowTheirWholeCaption) {
    struct Cas {
        const char* nom;
        const char* texte; // Windows-1252
        QPoint place;      // stored
    };
    for (const Cas& c : {Cas{"Label4", "COMPLET", {64, 40}}, Cas{"Label3", "Gardien appel\xE9", {8, 24}}}) {
        SCOPED_TRACE(c.nom);
        panel.trouver(c.nom)->ecrire(Propriete::Caption, std::string(c.texte));
        settle();
        auto* label = vu<QLabel>(c.nom);
        EXPECT_EQ(label->pos(), c.place);
        // Ink in the columns of the last letter, as the user sees the label.
        const QFontMetrics fm(label->font());
        const QString texte = label->text();
        const QImage vu = label->grab().toImage();
        bool encre = false;
        for (int x = fm.horizontalAdvance(texte.chopped(1));
             x < std::min(vu.width(), fm.horizontalAdvance(texte)); ++x)
            for (int y = 0; y < vu.height(); ++y)
                encre |= qGray(vu.pixel(x, y)) < 96;
        EXPECT_TRUE(encre) << "the last letter of \"" << texte.toStdString() << "\" is cut off";
    }
    panel.Label4.setCaption("Libre");
    settle();
    EXPECT_EQ(vue.widget("Label4")->width(), 55) << "never narrower than stored";
}

// Every control tells what it is: its designer name and its role. The pictures let the mouse through,
// so the panel shows the tooltip of the picture on top at that point.
TEST_F(ViewBinding, EveryControlHasATooltipNamingItAndItsRole) {
    for (const Controle* c : panel.controles()) {
        const QString attendu =
            QString::fromStdString(c->nom()) + " - " + QString::fromUtf8(roleDe(c->nom())->role);
        EXPECT_EQ(vue.widget(c->nom())->toolTip(), attendu);
        if (QWidget* etiquette = vue.etiquette(c->nom())) {
            EXPECT_EQ(etiquette->toolTip(), attendu);
        }
    }
    EXPECT_EQ(vue.widget("CheckBox18")->toolTip(), "CheckBox18 - key 6");

    auto bulleSur = [&](QPoint ici) {
        QHelpEvent aide(QEvent::ToolTip, ici, contenu.mapToGlobal(ici));
        QApplication::sendEvent(&contenu, &aide);
        return QToolTip::text();
    };
    EXPECT_EQ(bulleSur({20, 420}), "Image1 - front of the terminal");
    EXPECT_TRUE(bulleSur({412, 100}).startsWith("Image6 - ")) << "the top of the barrier view's stack";
    panel.Image6.setVisible(false);
    panel.Image7.setVisible(false);
    settle();
    EXPECT_TRUE(bulleSur({412, 100}).startsWith("Image3 - "));
}

TEST_F(ViewBinding, QuitterHandsItsClickToTheShell) {
    QTest::mouseClick(vue.widget("Button13"), Qt::LeftButton);
    EXPECT_EQ(clicsQuitter, 1);
}

} // namespace
} // namespace borne::test
