// A class at once: one suite run on every controller of a class (plug-ins), each (controller, folder)
// pair in its own worker of the suite's pool. Also what a suite is worth as a test: run on controllers
// that each hold one known mistake, it catches those on which at least one folder fails.
#pragma once

#include "control/Controleur.h"
#include "tools/protocol/Remote.h"
#include "tools/scenario/Suite.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace borne::scenario {

struct NamedController {
    std::string name; // the file's own name, with " (2)"... when two files share it
    borne::TypeControleur type;
};

// Every controller of `files`, loaded: a folder stands for the *.so files in it, in byte order of their
// names; a file given twice (even under two paths) is loaded once. Each runs out of process, a fresh
// process for every run, as `settings` say (a plug-in is never loaded into the bench). False, with a
// message naming the file, when one cannot be loaded or a folder holds none: nothing has run then.
bool loadControllers(const std::vector<std::string>& files, std::vector<NamedController>& into,
                     std::string& error, const protocol::Settings& settings);

struct ClassSettings {
    SuiteSettings suite; // its paths, jobs, limits, rules, JUnit path... for every controller alike
    std::vector<NamedController> controllers;
    std::string gradesPath; // empty: no CSV
};

// One block of lines per controller (headed "== NAME"), the folders skipped, one summary line per
// controller, then how many controllers the suite catches. Returns 0 when every pair passed, 1 when one
// failed, 2 when the bench failed, an output cannot be written or is among the inputs, or on a stop.
int runControllers(const ClassSettings& settings, std::ostream& out, std::ostream& err);

} // namespace borne::scenario
