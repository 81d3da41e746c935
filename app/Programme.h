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
    bool aide = false;    // -h, --help: the help is printed, nothing starts
    bool version = false; // --version: the versions are printed, nothing starts
};

// Reads --speed F, --paused, --bench, --zoom F, --controller FILE and --sandbox (also as --speed=F), --help
// and --version out of the arguments, leaving the others to Qt. Returns what is wrong for the user to read,
// or "" when all is well.
std::string lireOptions(int& argc, char** argv, Options& o);
inline constexpr const char* USAGE_OPTIONS =
    "usage: borne [--speed F] [--paused] [--bench] [--zoom F]\n"
    "             [--controller FILE]   (or BORNE_CONTROLLER=FILE: a controller plug-in or program runs instead)\n"
    "             [--sandbox]           (that controller runs out of process, in a sandbox)";
// What --help prints: the usage, then each option.
inline constexpr const char* AIDE =
    "usage: borne [--speed F] [--paused] [--bench] [--zoom F] [--controller FILE [--sandbox]]\n"
    "The operator panel of a car-park access lane terminal. The terminal reads its settings (Config.cfg,\n"
    "CHIP.INI) in the current folder and appends its journal to Log.txt there; borne-start makes a\n"
    "working folder for a mode and runs it there.\n"
    "\n"
    "  --speed F          the pace of the terminal's time, from 0.1 to 10 (+ and - change it)\n"
    "  --paused           start paused (Space resumes, N runs one turn)\n"
    "  --bench            open the bench window beside the panel (F2 does too)\n"
    "  --zoom F           scale both windows by F, from 1 to 4, for a projector\n"
    "  --controller FILE  a controller runs instead of the terminal's own: a plug-in (NAME.so) or a\n"
    "                     program that speaks the controller protocol (a Python script, say)\n"
    "  --sandbox          that controller runs out of the window's process, in a sandbox\n"
    "  -h, --help         print this help and exit\n"
    "  --version          print the version and the controller interface and protocol versions, and exit\n"
    "\n"
    "Environment: BORNE_CONTROLLER=FILE as --controller; BORNE_RECORD=DIR records what is done in the\n"
    "window as a scenario folder DIR.\n";

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
