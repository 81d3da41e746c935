#include "app/Programme.h"

#include "app/IHM.h"
#include "app/MonThread.h"
#include "app/Recorder.h"
#include "control/Attente.h"
#include "control/Controleur.h"
#include "journal/FichierJournal.h"
#include "panel/view/Vue.h"
#include "tools/protocol/Remote.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStyleFactory>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string_view>
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

// A number written whole, within [bas, haut].
bool lireNombre(std::string_view texte, double bas, double haut, double& valeur) {
    double v = 0;
    const auto [fin, erreur] = std::from_chars(texte.data(), texte.data() + texte.size(), v);
    if (erreur != std::errc{} || fin != texte.data() + texte.size() || !std::isfinite(v) || v < bas ||
        v > haut)
        return false;
    valeur = v;
    return true;
}

} // namespace

std::string lireOptions(int& argc, char** argv, Options& o) {
    int garde = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--paused") {
            o.enPause = true;
            continue;
        }
        if (a == "--bench") {
            o.banc = true;
            continue;
        }
        if (a == "--sandbox") {
            o.isole = true;
            continue;
        }
        if (a == "-h" || a == "--help" || a == "--version") {
            (a == "--version" ? o.version : o.aide) = true;
            continue;
        }
        const bool vitesse = a == "--speed" || a.starts_with("--speed=");
        const bool zoom = a == "--zoom" || a.starts_with("--zoom=");
        if (a == "--controller" || a.starts_with("--controller=")) {
            std::string_view fichier;
            if (a.size() > 12) {
                fichier = a.substr(13);
            } else if (i + 1 < argc) {
                fichier = argv[++i];
            }
            if (fichier.empty()) return "--controller needs a file (a controller plug-in, NAME.so)";
            o.controleur = std::string(fichier);
            continue;
        }
        if (!vitesse && !zoom) {
            argv[garde++] = argv[i]; // Qt's, or the program's own
            continue;
        }
        const std::string_view nom = vitesse ? "--speed" : "--zoom";
        std::string_view valeur;
        if (a.size() > nom.size()) {
            valeur = a.substr(nom.size() + 1);
        } else if (i + 1 < argc) {
            valeur = argv[++i];
        } else {
            return std::string(nom) + " needs a number";
        }
        const bool bon = vitesse ? lireNombre(valeur, 0.1, 10, o.vitesse) : lireNombre(valeur, 1, 4, o.zoom);
        if (!bon)
            return std::string(nom) + " takes a number from " + (vitesse ? "0.1 to 10" : "1 to 4") +
                   ", not '" + std::string(valeur) + "'";
    }
    argc = garde;
    argv[garde] = nullptr;
    return {};
}

void montrerErreur(const char* message) {
    QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(message));
}

namespace {

// Without any display the toolkit would abort: true after saying so plainly.
bool sansAffichage() {
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    std::fprintf(stderr, "borne: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are empty);\n"
                         "run it in a desktop session, through ssh -X, or with xvfb-run.\n");
    return true;
}

// The controller that --controller or BORNE_CONTROLLER names, if any (an empty variable asks for none);
// false after saying why it does not load.
bool chargerGreffon(const Options& options, std::optional<TypeControleur>& greffon) {
    const std::string variable = valeurDe("BORNE_CONTROLLER");
    if (!options.controleur && variable.empty()) return true;
    const std::string fichier = options.controleur ? *options.controleur : variable;
    std::string pourquoi;
    // A plug-in runs in the window's process unless --sandbox, an executable in a process of its own.
    protocol::Settings reglages;
    reglages.outOfProcess = options.isole;
    reglages.sandboxed = options.isole;
    greffon = protocol::loadController(fichier, reglages, pourquoi);
    if (greffon) return true;
    const std::string message = (options.controleur ? "--controller " : "BORNE_CONTROLLER: ") + pourquoi;
    // Said on standard error too: a start from a script or the menu shows no dialog anyone reads.
    std::fprintf(stderr, "borne: %s\n", message.c_str());
    std::fflush(stderr);
    montrerErreur(message.c_str());
    return false;
}

} // namespace

int lancerProgramme(int& argc, char** argv, const Demarrage& d) {
    FichierJournal::ignorerSignaux(); // before the toolkit starts any thread
    vue::preparerImages();            // decoded while the toolkit starts
    if (sansAffichage()) return 0;
    // Qt's own scaling: every size, font and picture of both windows, for a projector.
    if (d.options.zoom != 1) qputenv("QT_SCALE_FACTOR", QByteArray::number(d.options.zoom));
    g_messagesQt = qInstallMessageHandler(affichageMuet);
    Application application(argc, argv);
    qInstallMessageHandler(g_messagesQt);
    arreterSurSignal();
    QApplication::setApplicationName("borne");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    // The controller first: one that does not load stops the program before the recording's folder,
    // the window and any turn.
    std::optional<TypeControleur> greffon;
    if (!chargerGreffon(d.options, greffon)) return 2;
    HorlogeCadencee horloge;
    const HorlogeInstallee installation(horloge);
    std::unique_ptr<recording::Recorder> enregistrement; // outlives the window, which stops its clock
    bool enregistre = false;
    std::unique_ptr<TForm1> fenetre;
    try {
        if (d.avantFenetre) d.avantFenetre();
        // BORNE_RECORD is checked before the terminal starts: a folder that cannot take the recording
        // stops the start-up with the working folder untouched.
        enregistrement = recording::Recorder::fromEnvironment();
        fenetre = std::make_unique<TForm1>(nullptr, d.options, greffon ? &*greffon : nullptr);
        QApplication::setWindowIcon(borne::vue::icone());
        // A controller whose start-up failed has nothing to record: the folder keeps only the settings.
        if (enregistrement && threadBarriere->controleur() != nullptr) {
            enregistrement->started(threadBarriere->gestion());
            enregistre = true;
        }
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
        if (enregistre) enregistrement->finish(threadBarriere->gestion());
    }
    fenetre.reset();
    return 0;
}

} // namespace borne
