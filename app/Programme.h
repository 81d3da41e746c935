// The program entry's body, shared by `borne` and the tools and tests that run the whole program.
#pragma once

#include <functional>
#include <optional>
#include <string>

class TForm1;

namespace borne {

// What the command line may ask for: the pace of the terminal's time, the bench window, a larger window.
struct Options {
    double vitesse = 1;   // --speed F, 0.1 to 10
    bool enPause = false; // --paused
    bool banc = false;    // --bench
    double zoom = 1;      // --zoom F, 1 to 4
    // --controller FILE: a controller built apart runs in place of the terminal's own. Unset: the
    // BORNE_CONTROLLER variable decides; set, it wins over the variable.
    std::optional<std::string> controleur = std::nullopt;
    // --sandbox: that controller runs out of process, sandboxed, even when it is a plug-in.
    bool isole = false;
};

// Reads --speed F, --paused, --bench, --zoom F, --controller FILE and --sandbox (also as --speed=F) out of the
// arguments, leaving the others to Qt. Returns what is wrong for the user to read, or "" when all is well.
std::string lireOptions(int& argc, char** argv, Options& o);
inline constexpr const char* USAGE_OPTIONS =
    "usage: borne [--speed F] [--paused] [--bench] [--zoom F]\n"
    "             [--controller FILE]   (or BORNE_CONTROLLER=FILE: a controller plug-in or program runs instead)\n"
    "             [--sandbox]           (that controller runs out of process, in a sandbox)";

struct Demarrage {
    Options options;
    // Run just before the window is built (the tests use it to make start-up fail).
    std::function<void()> avantFenetre;
    // Run once the window is shown, before the message loop.
    std::function<void(TForm1&)> fenetreMontree;
};

// Starts the application, the window and the worker, runs the message loop until the window closes and
// returns 0, whatever happened: an error that escapes start-up or the loop is shown in the standard
// error dialog. The real clock is installed for the whole run. The one exception: a controller asked
// for (--controller, BORNE_CONTROLLER) that does not load is shown in that dialog and the program
// returns 2, before the window and any turn.
int lancerProgramme(int& argc, char** argv, const Demarrage& d = {});

// The standard error display, with the error's message ("" for an error that carries none).
void montrerErreur(const char* message);

} // namespace borne
