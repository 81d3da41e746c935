#include "app/Programme.h"

#include "app/IHM.h"
#include "app/MonThread.h"
#include "control/Attente.h"
#include "panel/view/Vue.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>

#include <cstdio>
#include <exception>
#include <memory>

namespace borne {

namespace {

// Shows an error that escapes an event handler and carries on, as the message loop of the form's
// toolkit does.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* o, QEvent* e) override {
        try {
            return QApplication::notify(o, e);
        } catch (const std::exception& erreur) {
            montrerErreur(erreur.what());
        } catch (...) {
            montrerErreur("");
        }
        return false;
    }
};

} // namespace

void montrerErreur(const char* message) {
    QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(message));
}

int lancerProgramme(int& argc, char** argv, const Demarrage& d) {
    // Without any display the toolkit would abort; say so plainly and end as every run ends.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "borne: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are empty);\n"
                     "run it in a desktop session, through ssh -X, or with xvfb-run.\n");
        return 0;
    }
    Application application(argc, argv);
    QApplication::setApplicationName("borne");
    QApplication::setWindowIcon(borne::vue::icone());
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    HorlogeReelle horloge;
    const HorlogeInstallee installation(horloge);
    std::unique_ptr<TForm1> fenetre;
    try {
        if (d.avantFenetre) d.avantFenetre();
        fenetre = std::make_unique<TForm1>(nullptr);
        fenetre->show();
        if (d.fenetreMontree) d.fenetreMontree(*fenetre);
        QApplication::exec();
    } catch (const std::exception& erreur) {
        montrerErreur(erreur.what());
    } catch (...) {
        montrerErreur("");
    }
    // The worker is stopped before the window and the panel go; it never waits for this thread.
    if (threadBarriere != nullptr) {
        threadBarriere->Arreter();
        threadBarriere->AttendreFin();
    }
    fenetre.reset();
    return 0;
}

} // namespace borne
