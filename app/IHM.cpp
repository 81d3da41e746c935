#include "app/IHM.h"

#include "app/BenchWindow.h"
#include "app/MonThread.h"
#include "app/Placement.h"
#include "control/Attente.h"
#include "control/Controleur.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"
#include "panel/view/Disposition.h"
#include "panel/view/Vue.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDir>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>

TForm1* Form1 = nullptr;

namespace {

// The vertical scroll bar of the form: 17 pixels wide, whatever the style's own width.
class BarreDefilement : public QScrollBar {
public:
    BarreDefilement() : QScrollBar(Qt::Vertical) {}
    QSize sizeHint() const override {
        return {borne::vue::fenetre().largeurBarreDefilement, QScrollBar::sizeHint().height()};
    }
};

} // namespace

struct TForm1::Relais {
    borne::Verrou verrou;
    TForm1* fenetre GUARDED_BY(verrou) = nullptr; // cleared when the window goes
};

// The panel in a scroll area, and under it the status bar, in view whatever the scroll position.
void TForm1::construirePanneau() {
    auto* disposition = new QVBoxLayout(this);
    disposition->setContentsMargins(0, 0, 0, 0);
    disposition->setSpacing(0);
    zone_ = new QScrollArea(this);
    zone_->setFrameShape(QFrame::NoFrame);
    zone_->setVerticalScrollBar(new BarreDefilement);
    zone_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the panel is exactly as wide as the area
    zone_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    disposition->addWidget(zone_);

    auto* contenu = new QWidget;
    contenu->setObjectName("Panneau");
    vue_ = std::make_unique<borne::vue::Vue>(contenu, borne::panneau(),
                                             [this] { Button13Click(controle("Button13")); });
    zone_->setWidget(contenu);
    setWindowIcon(borne::vue::icone()); // decoded with the pictures, which the panel has waited for
    zone_->setPalette(contenu->palette());
    zone_->viewport()->setAutoFillBackground(true);
    zone_->viewport()->setPalette(contenu->palette());
    // The status bar at the foot of the window, outside what scrolls: in view whatever the scroll
    // position and the window's size.
    QWidget* barre = controle("StatusBar1");
    barre->setFixedHeight(borne::vue::placement("StatusBar1")->hauteur);
    disposition->addWidget(barre);
}

// On a paced clock: the title follows the pause and the speed, which start as the options ask.
void TForm1::suivreCadence(const borne::Options& options) {
    cadence_ = dynamic_cast<borne::HorlogeCadencee*>(&borne::horlogeInstallee());
    if (cadence_ != nullptr) {
        {
            const borne::VerrouPris pris(relais_->verrou);
            relais_->fenetre = this;
        }
        // Told on the worker's thread when a one-turn run ends in its pause: the title follows later, on
        // this thread.
        cadence_->surChangement([relais = relais_] {
            const borne::VerrouPris pris(relais->verrou);
            if (TForm1* f = relais->fenetre)
                QMetaObject::invokeMethod(
                    f, [f] { f->majTitre(); }, Qt::QueuedConnection);
        });
        cadence_->changerVitesse(options.vitesse);
        if (options.enPause) cadence_->mettreEnPause();
    }
}

TForm1::TForm1(QWidget* Owner, const borne::Options& options, const borne::TypeControleur* controleur)
    : QWidget(Owner), relais_(std::make_shared<Relais>()) {
    if (controleur != nullptr && controleur != &borne::controleurInterne())
        nomControleur_ = QString::fromStdString(controleur->nom);
    borne::vue::preparerImages(); // decoded while the window is built
    setObjectName("Form1");
    setAttribute(Qt::WA_QuitOnClose);

    construirePanneau();
    placer(); // at its stored place when that is on the screen

    Form1 = this;
    suivreCadence(options);
    installerRaccourcis();
    majTitre();
    surveillerJournal();
    // The worker last: its controller writes the start picture into the panel the window now shows.
    travailleur_ = new MyThread(false, controleur);
    threadBarriere = travailleur_;
    if (options.banc) banc();
}

TForm1::~TForm1() {
    // Whatever way the window goes, the worker no longer touches the panel from here on.
    if (travailleur_ != nullptr) travailleur_->Arreter();
    {
        const borne::VerrouPris pris(relais_->verrou);
        relais_->fenetre = nullptr;
    }
    banc_.reset();
    if (Form1 == this) Form1 = nullptr;
}

namespace {

// A window's client area where it goes, moved by its frame's corner as a stored place is (the bench
// not yet framed will have the main window's frame).
void poser(QWidget& w, QRect client, QMargins cadre) {
    w.resize(client.size());
    w.move(client.topLeft() - QPoint(cadre.left(), cadre.top()));
}

} // namespace

void TForm1::placer() {
    const std::vector<QRect> ecrans = borne::placement::screensNow();
    borne::placement::Request demande{
        .screens = ecrans, .panel = geometry(), .frame = borne::placement::frameOf(*this)};
    demande.zoom = devicePixelRatioF();
    if (!dejaMontree_) {
        const auto& f = borne::vue::fenetre();
        demande.panel = QRect(f.gauche, f.haut, f.largeurClient, f.hauteurClient);
    }
    if (banc_) {
        demande.bench = QSize(borne::bench::BenchWindow::kWidth, borne::bench::BenchWindow::kHeight);
        demande.remembered = borne::bench::BenchWindow::remembered();
    }
    const borne::placement::Places places = borne::placement::place(demande);
    // The panel is exactly as wide as the area, unless a small screen at a large zoom narrows the window.
    zone_->setHorizontalScrollBarPolicy(places.panel.width() < borne::vue::fenetre().largeurClient
                                            ? Qt::ScrollBarAsNeeded
                                            : Qt::ScrollBarAlwaysOff);
    poser(*this, places.panel, demande.frame);
    if (banc_ && places.bench) poser(*banc_, *places.bench, demande.frame);
}

borne::bench::BenchWindow& TForm1::banc() {
    if (!banc_) {
        banc_ = std::make_unique<borne::bench::BenchWindow>(*travailleur_);
        placer();
    }
    banc_->show();
    banc_->raise();
    return *banc_;
}

void TForm1::majTitre() {
    QString titre = QString::fromUtf8(borne::vue::fenetre().titre);
    if (!nomControleur_.isEmpty()) titre += QStringLiteral(" \u2014 ") + nomControleur_;
    if (cadence_ != nullptr) {
        QStringList tient;
        if (cadence_->vitesse() != 1) tient << QStringLiteral("x%1").arg(cadence_->vitesse());
        if (cadence_->enPause()) tient << QStringLiteral("paused");
        if (!tient.isEmpty()) titre += QStringLiteral(" - ") + tient.join(QStringLiteral(", "));
    }
    if (windowTitle() != titre) setWindowTitle(titre);
    if (banc_) banc_->timeChanged();
}

void TForm1::surveillerJournal() {
    borne::FichierJournal::oublierEchec(); // this terminal's journal, not an earlier one's
    auto* guet = new QTimer(this);
    QObject::connect(guet, &QTimer::timeout, this, [this, guet] {
        const int erreur = borne::FichierJournal::premierEchec();
        if (erreur == 0) return;
        guet->stop();
        const QString message =
            QStringLiteral(
                "The journal is not being written: cannot write %1: %2.\nThe terminal goes on without it.")
                .arg(QDir::current().absoluteFilePath(QStringLiteral("Log.txt")),
                     QString::fromLocal8Bit(std::strerror(erreur)));
        std::fprintf(stderr, "borne: %s\n", qPrintable(message.section(QLatin1Char('\n'), 0, 0)));
        auto* avis = new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
        avis->setObjectName(QStringLiteral("JournalNonEcrit"));
        avis->setAttribute(Qt::WA_DeleteOnClose);
        avis->setModal(false);
        avis->show();
    });
    guet->start(500);
}

void TForm1::installerRaccourcis() {
    auto raccourci = [this](QKeySequence touches, auto action) {
        auto* r = new QShortcut(touches, this);
        r->setContext(Qt::WindowShortcut);
        QObject::connect(r, &QShortcut::activated, this, action);
    };
    raccourci(QKeySequence(Qt::Key_F2), [this] { banc(); });
    if (cadence_ != nullptr) {
        auto* c = cadence_;
        raccourci(QKeySequence(Qt::Key_Space), [this, c] {
            c->enPause() ? c->reprendre() : c->mettreEnPause();
            majTitre();
        });
        raccourci(QKeySequence(Qt::Key_N), [this, c] {
            c->unTour();
            majTitre();
        });
        // + with or without Shift (= shares its key on many layouts), and both on the numeric pad.
        for (const QKeyCombination touche : {QKeyCombination(Qt::Key_Plus), QKeyCombination(Qt::Key_Equal),
                                             Qt::KeypadModifier | Qt::Key_Plus})
            raccourci(QKeySequence(touche), [this, c] {
                c->changerVitesse(borne::HorlogeCadencee::vitessePlus(c->vitesse()));
                majTitre();
            });
        for (const QKeyCombination touche :
             {QKeyCombination(Qt::Key_Minus), Qt::KeypadModifier | Qt::Key_Minus})
            raccourci(QKeySequence(touche), [this, c] {
                c->changerVitesse(borne::HorlogeCadencee::vitesseMoins(c->vitesse()));
                majTitre();
            });
    }
    // The digits, on the main row and the numeric pad, tick the keypad's key as a click does.
    for (int chiffre = 0; chiffre <= 9; ++chiffre) {
        const borne::CaseACocher* cle = borne::panneau().touche(chiffre);
        auto* touche = cle == nullptr ? nullptr : qobject_cast<QAbstractButton*>(controle(cle->nom()));
        if (touche == nullptr) continue;
        const auto clavier = static_cast<Qt::Key>(Qt::Key_0 + chiffre);
        raccourci(QKeySequence(clavier), [touche] { touche->click(); });
        raccourci(QKeySequence(Qt::KeypadModifier | clavier), [touche] { touche->click(); });
        touche->setToolTip(touche->toolTip() +
                           QStringLiteral(" (or the %1 key on the keyboard)").arg(chiffre));
    }
}

QWidget* TForm1::controle(std::string_view nom) const {
    return vue_ ? vue_->widget(nom) : nullptr;
}

QWidget* TForm1::etiquetteDe(std::string_view nom) const {
    return vue_ ? vue_->etiquette(nom) : nullptr;
}

void TForm1::Button13Click(QObject* /*Sender*/) {
    if (threadBarriere != nullptr) threadBarriere->Arreter();
    close();
}

void TForm1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (dejaMontree_) return;
    dejaMontree_ = true;
    if (banc_) banc_->raise(); // opened with the window (--bench): over the panel when they overlap
    // The form was stored scrolled down.
    zone_->verticalScrollBar()->setValue(borne::vue::fenetre().defilement);
}

void TForm1::closeEvent(QCloseEvent* e) {
    // The close box ends the program as "Quitter" does: the worker is stopped before anything goes.
    if (travailleur_ != nullptr) {
        travailleur_->Arreter();
        // Cannot take long: the stopped clock ends its wait at once and it never waits for this thread.
        // A journal line that the disk holds up is the exception: the worker then ends when the disk lets
        // it, and the program waits for it only once the window is gone.
        if (!borne::FichierJournal::occupe()) travailleur_->AttendreFin();
    }
    e->accept();
}
