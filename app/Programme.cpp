#include "app/Programme.h"

#include "app/IHM.h"
#include "app/MonThread.h"
#include "app/Recorder.h"
#include "control/Attente.h"
#include "journal/FichierJournal.h"
#include "panel/view/Vue.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStyleFactory>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

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

// Qt ends the process (abort, status 134) when no platform can open its display. While the application
// object is built, that last message becomes the same plain message as when no display is set, and the
// program ends as every run ends.
QtMessageHandler g_messagesQt = nullptr;

const char* valeurDe(const char* variable) {
    const char* v = std::getenv(variable);
    return v != nullptr ? v : "";
}

void affichageMuet(QtMsgType type, const QMessageLogContext& contexte, const QString& message) {
    if (type != QtFatalMsg) {
        if (g_messagesQt != nullptr) g_messagesQt(type, contexte, message);
        return;
    }
    std::fprintf(
        stderr,
        "borne: the display does not answer (DISPLAY=%s, WAYLAND_DISPLAY=%s, QT_QPA_PLATFORM=%s), so "
        "the window cannot open;\nrun it in a desktop session, through ssh -X, or with xvfb-run.\n",
        valeurDe("DISPLAY"), valeurDe("WAYLAND_DISPLAY"), valeurDe("QT_QPA_PLATFORM"));
    std::fflush(stderr);
    std::_Exit(0);
}

// SIGTERM, SIGHUP and SIGINT (a session that ends, Ctrl+C) stop the terminal as the close box does. The
// handler only writes a byte into a pipe that the window's thread watches. The pipe and the handlers
// stay for the life of the process, so that a late signal finds them still there.
int g_signaux[2] = {-1, -1};

extern "C" void signalerArret(int) {
    const int erreur = errno;
    const char octet = 0;
    [[maybe_unused]] const ssize_t n = ::write(g_signaux[1], &octet, 1);
    errno = erreur;
}

void arreterSurSignal() {
    if (g_signaux[0] < 0) {
        if (::pipe2(g_signaux, O_CLOEXEC | O_NONBLOCK) != 0) return;
        struct sigaction action {};
        action.sa_handler = signalerArret;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int s : {SIGTERM, SIGHUP, SIGINT})
            ::sigaction(s, &action, nullptr);
    }
    auto* veille = new QSocketNotifier(g_signaux[0], QSocketNotifier::Read, qApp);
    QObject::connect(veille, &QSocketNotifier::activated, [] {
        char octets[64];
        while (::read(g_signaux[0], octets, sizeof octets) > 0) {
        }
        if (Form1 != nullptr) Form1->close(); // the close box's own stop
        QApplication::exit(0);                // also ends an error dialog's loop, should one be open
    });
}

} // namespace

void montrerErreur(const char* message) {
    QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(message));
}

int lancerProgramme(int& argc, char** argv, const Demarrage& d) {
    FichierJournal::ignorerSignaux(); // before the toolkit starts any thread
    vue::preparerImages();            // decoded while the toolkit starts
    // Without any display the toolkit would abort; say so plainly and end as every run ends.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "borne: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are empty);\n"
                     "run it in a desktop session, through ssh -X, or with xvfb-run.\n");
        return 0;
    }
    g_messagesQt = qInstallMessageHandler(affichageMuet);
    Application application(argc, argv);
    qInstallMessageHandler(g_messagesQt);
    arreterSurSignal();
    QApplication::setApplicationName("borne");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    HorlogeReelle horloge;
    const HorlogeInstallee installation(horloge);
    std::unique_ptr<recording::Recorder> enregistrement; // outlives the window, which stops its clock
    std::unique_ptr<TForm1> fenetre;
    try {
        if (d.avantFenetre) d.avantFenetre();
        // BORNE_RECORD is checked before the terminal starts: a folder that cannot take the recording
        // stops the start-up with the working folder untouched.
        enregistrement = recording::Recorder::fromEnvironment();
        fenetre = std::make_unique<TForm1>(nullptr);
        QApplication::setWindowIcon(borne::vue::icone());
        if (enregistrement) enregistrement->started(threadBarriere->gestion());
        fenetre->show();
        if (d.fenetreMontree) d.fenetreMontree(*fenetre);
        QApplication::exec();
    } catch (const std::exception& erreur) {
        montrerErreur(erreur.what());
    } catch (...) {
        montrerErreur("");
    }
    // The worker is stopped before the window and the panel go; it never waits for this thread. The window
    // is already closed: if a disk holds up the worker's journal line, the process ends when it answers.
    if (threadBarriere != nullptr) {
        threadBarriere->Arreter();
        threadBarriere->AttendreFin();
        if (enregistrement) enregistrement->finish(threadBarriere->gestion());
    }
    fenetre.reset();
    return 0;
}

} // namespace borne
