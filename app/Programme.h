// The program entry's body, shared by `borne` and the tools and tests that run the whole program.
#pragma once

#include <functional>

class TForm1;

namespace borne {

struct Demarrage {
    // Run just before the window is built (the tests use it to make start-up fail).
    std::function<void()> avantFenetre;
    // Run once the window is shown, before the message loop.
    std::function<void(TForm1&)> fenetreMontree;
};

// Starts the application, the window and the worker, runs the message loop until the window closes and
// returns 0, whatever happened: an error that escapes start-up or the loop is shown in the standard
// error dialog. The real clock is installed for the whole run.
int lancerProgramme(int& argc, char** argv, const Demarrage& d = {});

// The standard error display, with the error's message ("" for an error that carries none).
void montrerErreur(const char* message);

} // namespace borne
