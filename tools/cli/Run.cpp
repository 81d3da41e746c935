#include "tools/cli/Run.h"

#include "tools/cli/CommandLine.h"
#include "tools/cli/ScriptRun.h"
#include "tools/grammar/Controls.h"
#include "tools/grammar/Show.h"
#include "tools/rules/Rules.h"
#include "tools/scenario/Bless.h"
#include "tools/scenario/Controllers.h"
#include "tools/scenario/Grade.h"
#include "tools/scenario/Suite.h"
#include "tools/scenario/Tidy.h"
#include "tools/search/Commands.h"
#include "tools/version/Version.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <ostream>

namespace borne::cli {

using namespace borne::scenario;

namespace {

int badJobs(const CommandLine& c, std::ostream& err) {
    return usage(err, "bad --jobs " + scenario::quoted(*c.jobs) + " (a whole number from 1 to 1024)");
}

// The --check rules of a run of many folders, read before anything runs: a named pipe with no writer holds
// it no longer than one scenario's limit. False (said on `err`) when they cannot be read or are faulty.
bool rulesFor(const CommandLine& c, std::chrono::milliseconds wallLimit, search::RuleSet& rules,
              const search::RuleSet*& into, std::string& name, std::ostream& err) {
    if (!c.rules) return true;
    std::string error;
    if (!search::loadRules(*c.rules, rules, error, std::chrono::steady_clock::now() + wallLimit)) {
        err << error;
        return false;
    }
    into = &rules;
    name = *c.rules;
    return true;
}

int runGradeFrom(const CommandLine& c, std::ostream& out, std::ostream& err) {
    if (c.suite || c.bless) return usage(err, "--grade, --suite or --bless, one of them");
    if (c.trace || c.traceChanges || c.turns || c.vcd || c.coverage || c.shard)
        return usage(err, "--grade takes --jobs, --junit, --grades, --timeout and --check only");
    if (c.operands.size() != 2) return usage(err, "--grade needs LAB and SUBMISSIONS");
    GradeSettings g;
    g.lab = c.operands[0];
    g.submissions = c.operands[1];
    if (!jobsFrom(c.jobs, g.jobs)) return badJobs(c, err);
    if (c.junit) g.junitPath = *c.junit;
    if (c.grades) g.gradesPath = *c.grades;
    if (c.timeout) g.wallLimit = *seconds(*c.timeout);
    search::RuleSet rules;
    if (!rulesFor(c, g.wallLimit, rules, g.rules, g.rulesName, err)) return 2;
    return finish(runGrade(g, out, err), out, err);
}

int runBlessFrom(const CommandLine& c, std::ostream& out, std::ostream& err) {
    if (c.suite) return usage(err, "--suite or --bless, not both");
    if (c.trace || c.traceChanges || c.turns || c.vcd || c.coverage || c.shard || c.junit)
        return usage(err, "--bless takes --jobs, --timeout and --check only");
    if (c.operands.empty()) return usage(err, "--bless needs at least one PATH");
    SuiteSettings s;
    s.paths = c.operands;
    if (!jobsFrom(c.jobs, s.jobs)) return badJobs(c, err);
    if (c.timeout) s.wallLimit = *seconds(*c.timeout);
    search::RuleSet rules;
    if (!rulesFor(c, s.wallLimit, rules, s.rules, s.rulesName, err)) return 2;
    return finish(runBless(s, out, err), out, err);
}

// A plain suite, or with controllers the same suite on each of them.
int runSuiteFrom(const CommandLine& c, const TypeControleur* controller,
                 std::vector<NamedController> controllers, std::ostream& out, std::ostream& err) {
    if (c.trace || c.traceChanges || c.turns)
        return usage(err, "--trace, --trace-changes and --turns are for one script, not a suite");
    if (c.operands.empty()) return usage(err, "--suite needs at least one PATH");
    SuiteSettings s;
    s.paths = c.operands;
    if (!jobsFrom(c.jobs, s.jobs)) return badJobs(c, err);
    if (c.shard && !parseShard(*c.shard, s.shard, s.shards))
        return usage(err, "bad --shard " + scenario::quoted(*c.shard) + " (K/N with 1 <= K <= N)");
    if (c.junit) s.junitPath = *c.junit;
    if (c.vcd) s.vcdFolder = *c.vcd;
    if (c.timeout) s.wallLimit = *seconds(*c.timeout);
    if (c.coverage) s.coverageFolder = *c.coverage;
    s.controller = controller;
    s.compare = c.compare;
    search::RuleSet rules;
    if (!rulesFor(c, s.wallLimit, rules, s.rules, s.rulesName, err)) return 2;
    const int status = controllers.empty()
                           ? runSuite(s, out, err)
                           : runControllers({s, std::move(controllers), c.grades.value_or("")}, out, err);
    // Stopped by a signal: what could be said was said as it went.
    return suiteInterruption() != 0 ? status : finish(status, out, err);
}

// --controller's plug-in, when there is one; false (said on `err`) when it will not load.
bool loadController(const CommandLine& c, std::optional<TypeControleur>& controller, std::ostream& err) {
    if (!c.controller) return true;
    std::string why;
    controller = chargerControleur(*c.controller, why);
    if (!controller) err << "borne-scenario: --controller " << why << '\n';
    return controller.has_value();
}

// What makes a search's command line wrong, or "" when it is right.
std::string searchProblem(const CommandLine& c) {
    const int commands = c.reach + c.generate + c.explore;
    if (commands > 1 || (c.rules && !c.explore))
        return "one search at a time (--check RULES goes with --explore, or with a script)";
    if (c.explore && !c.rules) return "--explore goes with --check RULES";
    if (!c.save.empty() && !c.explore) return "--save goes with --check RULES --explore";
    if (!c.notForSearch.empty()) {
        std::string problem = "unexpected ";
        problem += c.notForSearch.front();
        problem += " (a search takes no script)";
        return problem;
    }
    return {};
}

// A search tells situations apart by the controller's working values: one that does not describe them
// cannot be searched. False (said on `err`) when the controller cannot be searched.
bool searchable(const CommandLine& c, const TypeControleur& controller, std::ostream& err) {
    if (!controller.decritValeurs) {
        err << "borne-scenario: --controller " << *c.controller
            << ": the controller does not describe its working values (valeurs() and installerValeurs()), "
               "so a search cannot tell its situations apart\n";
        return false;
    }
    if (c.generate && !controller.ditLignes) {
        err << "borne-scenario: --controller " << *c.controller
            << ": the controller does not tell its rows to a turn observer (observer()), so --generate "
               "cannot see which rows its journeys reach\n";
        return false;
    }
    return true;
}

int runSearch(const CommandLine& c, std::ostream& out, std::ostream& err) {
    if (const std::string problem = searchProblem(c); !problem.empty()) {
        err << "borne-scenario: " << problem << "\nusage:\n" << kSearchUsage;
        return 2;
    }
    if (c.explore && c.rules->empty()) {
        err << "borne-scenario: --check needs a RULES file\n";
        return 2;
    }
    search::SearchSettings settings;
    settings.maxTurns = c.within;
    settings.save = c.save;
    std::optional<TypeControleur> controller;
    if (!loadController(c, controller, err)) return 2;
    if (controller) {
        if (!searchable(c, *controller, err)) return 2;
        settings.controller = &*controller;
    }
    if (c.reach) return search::reach(settings, c.reachTarget, out, err);
    if (c.generate) return search::generate(settings, c.generateFolder, out, err);
    return search::explore(settings, *c.rules, out, err);
}

// A controller that will not load is refused before anything runs; it is loaded after -C, as the other
// names, and lives as long as the process. So are a class's controllers, all of them. Returns 0 when
// they are loaded, else the exit status, said on `err`.
int loadControllersOf(const CommandLine& c, std::optional<TypeControleur>& controller,
                      std::vector<NamedController>& classControllers, std::ostream& err) {
    if (c.controller && c.controllers) return usage(err, "--controller or --controllers, not both");
    if (!loadController(c, controller, err)) return 2;
    if (controller && (c.tidy || c.grade || c.bless))
        return usage(err, "--controller goes with a script or --suite");
    if (c.controllers) {
        if (!c.suite || c.tidy || c.grade || c.bless) return usage(err, "--controllers goes with --suite");
        if (c.vcd || c.coverage || c.shard)
            return usage(err,
                         "--suite with --controllers takes --jobs, --junit, --grades, --timeout and --check");
        std::string why;
        if (!loadControllers(*c.controllers, classControllers, why)) {
            err << "borne-scenario: --controllers " << why << '\n';
            return 2;
        }
    }
    return 0;
}

// The runner's commands: a script, a suite, a lab's grades, blessing, tidying, the list of controls.
int runRunner(const CommandLine& c, std::istream& in, std::ostream& out, std::ostream& err) {
    if (c.stop == CommandLine::Stop::help) {
        out << kUsage << '\n' << kHelp;
        return finish(0, out, err);
    }
    if (c.stop == CommandLine::Stop::version) {
        out << versionText("borne-scenario");
        return finish(0, out, err);
    }
    if (c.stop == CommandLine::Stop::refusal) return usage(err, c.stopMessage);
    if (c.controls) {
        printControls(panneau(), out);
        return finish(0, out, err);
    }
    if (c.timeout && !seconds(*c.timeout))
        return usage(err, "bad --timeout " + scenario::quoted(*c.timeout) +
                              " (seconds above 0, up to 86400, to the millisecond: 0.001 at least)");
    // As make -C: every other name on the command line is then taken from DIR.
    if (c.directory && ::chdir(c.directory->c_str()) != 0) {
        err << "borne-scenario: cannot enter " << *c.directory << ": " << std::strerror(errno) << '\n';
        return 2;
    }
    std::optional<TypeControleur> controller;
    std::vector<NamedController> classControllers;
    if (const int refused = loadControllersOf(c, controller, classControllers, err); refused != 0)
        return refused;
    if (c.compare && !c.controller && !c.controllers)
        return usage(err, "--compare needs --controller FILE (or --controllers), the controller compared");
    if (c.compare && (c.tidy || c.grade || c.bless))
        return usage(err, "--compare goes with a script or --suite");
    if (c.tidy) {
        if (c.suite || c.grade || c.bless || c.operands.size() != 1)
            return usage(err, "--tidy takes one recorded SCRIPT");
        return finish(tidy(c.operands.front(), out, err), out, err);
    }
    if (c.grade) return runGradeFrom(c, out, err);
    if (c.bless) return runBlessFrom(c, out, err);
    if (c.grades && !c.controllers) return usage(err, "--grades goes with --grade or --controllers");
    const TypeControleur* type = controller ? &*controller : nullptr;
    return c.suite ? runSuiteFrom(c, type, std::move(classControllers), out, err)
                   : runScript(c, type, in, out, err);
}

} // namespace

int usage(std::ostream& err, const std::string& problem) {
    err << "borne-scenario: " << problem << '\n' << kUsage;
    return 2;
}

int finish(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (!out) {
        err << "borne-scenario: cannot write standard output\n";
        return 2;
    }
    return status;
}

int run(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err) {
    const CommandLine c = readCommandLine(arguments);
    // A search option without its value is refused first, whatever else the line asks for.
    if (c.searchRefusal) {
        err << "borne-scenario: " << *c.searchRefusal << '\n';
        return 2;
    }
    return c.search() ? runSearch(c, out, err) : runRunner(c, in, out, err);
}

} // namespace borne::cli
