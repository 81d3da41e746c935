#include "app/IHM.h"

#include "app/MonThread.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"
#include "panel/view/Disposition.h"
#include "panel/view/Vue.h"

#include <QCloseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

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

TForm1::TForm1(QWidget* Owner) : QWidget(Owner) {
    borne::vue::preparerImages(); // decoded while the window is built
    using borne::vue::fenetre;
    const auto& f = fenetre();
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(f.titre));
    setAttribute(Qt::WA_QuitOnClose);

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

    move(f.gauche, f.haut);
    resize(f.largeurClient, f.hauteurClient);

    Form1 = this;
    // The worker last: its controller writes the start picture into the panel the window now shows.
    travailleur_ = new MyThread(false);
    threadBarriere = travailleur_;
}

TForm1::~TForm1() {
    // Whatever way the window goes, the worker no longer touches the panel from here on.
    if (travailleur_ != nullptr) travailleur_->Arreter();
    if (Form1 == this) Form1 = nullptr;
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
