// The search's command line. Each command has a file of its own (Reach.cpp, Generate.cpp, Explore.cpp),
// and what they share is in Common.cpp.
#include "tools/search/Commands.h"

#include "control/Controleur.h"
#include "tools/rules/Target.h"

#include <optional>
#include <ostream>
#include <string>

namespace borne::search {

int searchMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
               bool& handled) {
    handled = false;
    std::string reachTarget, generateDir, rulesFile;
    bool wantReach = false, wantGenerate = false, wantExplore = false, wantCheck = false;
    Options o;
    std::optional<std::string> controllerFile;
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        if (a == "--reach") {
            wantReach = true;
            if (!value(reachTarget)) {
                handled = true;
                err << "borne-scenario: --reach needs a TARGET: " << kTargetForms << "\n";
                return 2;
            }
        } else if (a == "--generate") {
            wantGenerate = true;
            if (!value(generateDir)) {
                handled = true;
                err << "borne-scenario: --generate needs a folder\n";
                return 2;
            }
        } else if (a == "--check") {
            wantCheck = true;
            if (!value(rulesFile)) rulesFile.clear();
        } else if (a == "--explore") {
            wantExplore = true;
        } else if (a == "--controller") {
            std::string file;
            if (!value(file)) {
                handled = true;
                err << "borne-scenario: --controller needs a value\n";
                return 2;
            }
            controllerFile = file;
        } else if (a == "--save") {
            std::string dir;
            if (!value(dir)) {
                handled = true;
                err << "borne-scenario: --save needs a folder\n";
                return 2;
            }
            o.save = dir;
        } else if (a == "--within") {
            std::string n;
            const bool ok = value(n) && !n.empty() && n.size() <= 4 &&
                            n.find_first_not_of("0123456789") == std::string::npos && std::stoi(n) >= 1;
            if (!ok) {
                handled = true;
                err << "borne-scenario: --within needs a number of turns from 1 to 9999\n";
                return 2;
            }
            o.maxTurns = std::stoi(n);
        } else {
            rest.push_back(a);
        }
    }
    if (!wantReach && !wantGenerate && !wantExplore) return 0;
    handled = true;
    const int commands = wantReach + wantGenerate + wantExplore;
    std::string problem;
    if (commands > 1 || (wantCheck && !wantExplore))
        problem = "one search at a time (--check RULES goes with --explore, or with a script)";
    else if (wantExplore && !wantCheck)
        problem = "--explore goes with --check RULES";
    else if (!o.save.empty() && !wantExplore)
        problem = "--save goes with --check RULES --explore";
    else if (!rest.empty())
        problem = "unexpected " + rest.front() + " (a search takes no script)";
    if (!problem.empty()) {
        err << "borne-scenario: " << problem << "\nusage:\n" << kSearchUsage;
        return 2;
    }
    if (wantExplore && rulesFile.empty()) {
        err << "borne-scenario: --check needs a RULES file\n";
        return 2;
    }
    // A search tells situations apart by the controller's working values: one that does not describe
    // them cannot be searched.
    std::optional<TypeControleur> controller;
    if (controllerFile) {
        std::string why;
        controller = chargerControleur(*controllerFile, why);
        if (!controller) {
            err << "borne-scenario: --controller " << why << '\n';
            return 2;
        }
        if (!controller->decritValeurs) {
            err << "borne-scenario: --controller " << *controllerFile
                << ": the controller does not describe its working values (valeurs() and "
                   "installerValeurs()), "
                   "so a search cannot tell its situations apart\n";
            return 2;
        }
        if (wantGenerate && !controller->ditLignes) {
            err << "borne-scenario: --controller " << *controllerFile
                << ": the controller does not tell its rows to a turn observer (observer()), so --generate "
                   "cannot see which rows its journeys reach\n";
            return 2;
        }
        o.controller = &*controller;
    }
    if (wantReach) return reach(o, reachTarget, out, err);
    if (wantGenerate) return generate(o, generateDir, out, err);
    return explore(o, rulesFile, out, err);
}

} // namespace borne::search
