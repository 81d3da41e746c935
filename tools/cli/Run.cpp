#include "tools/cli/Run.h"

#include "tools/cli/CommandLine.h"
#include "tools/cli/Outputs.h"
#include "tools/cli/ScriptRun.h"
#include "tools/grammar/Controls.h"
#include "tools/grammar/Show.h"
#include "tools/protocol/Remote.h"
#include "tools/sandbox/Sandbox.h"
#include "tools/report/Gather.h"
#include "tools/report/Site.h"
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

// --report DIR: the folder checked before the run, the pairs' results kept as the run tells them, and the
// site written once the run is over. The run's own outputs and its exit status stay as they are, unless
// the site cannot be written.
class ReportOutput {
public:
    explicit ReportOutput(const CommandLine& c) : c_(c) {}

    // False (said on `err`) when DIR cannot take a report.
    bool prepare(std::ostream& err) const {
        std::string error;
        if (!c_.report || report::prepareSite(*c_.report, error)) return true;
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    scenario::ResultsReader reader() {
        if (!c_.report) return nullptr;
        return [this](scenario::RunResults&& r) { results_ = std::move(r); };
    }
    // The run's settings as the page lists them.
    std::vector<std::pair<std::string, std::string>> settings() const {
        std::vector<std::pair<std::string, std::string>> s;
        std::string operands;
        for (const std::string& o : c_.operands)
            operands += (operands.empty() ? "" : " ") + o;
        s.emplace_back(c_.grade ? "--grade" : "--suite", operands);
        if (c_.controller) s.emplace_back("--controller", *c_.controller);
        if (c_.controllers) {
            std::string files;
            for (const std::string& f : *c_.controllers)
                files += (files.empty() ? "" : " ") + f;
            s.emplace_back("--controllers", files);
        }
        if (c_.compare) s.emplace_back("--compare", "yes");
        for (const auto& [name, value] : {std::pair{"--jobs", &c_.jobs}, {"--timeout", &c_.timeout},
                                          {"--check", &c_.rules}, {"--junit", &c_.junit}, {"--grades", &c_.grades}})
            if (*value) s.emplace_back(name, **value);
        return s;
    }
    int finish(int status, report::Request request, std::ostream& out, std::ostream& err) {
        if (!results_) return status;
        // A plain suite's one row: the controller it ran, the terminal's own when unnamed.
        if (results_->rows.size() == 1 && results_->rows.front().empty() && c_.controller)
            results_->rows.front() = c_.controller->substr(c_.controller->rfind('/') + 1);
        if (request.rerun.jobs == 0) request.rerun.jobs = coreCount();
        request.settings = settings();
        report::Model model = report::gather(std::move(*results_), request, out);
        std::string error;
        if (!report::writeSite(model, *c_.report, error)) {
            err << "borne-scenario: --report: " << error << '\n';
            return 2;
        }
        return status;
    }

private:
    const CommandLine& c_;
    std::optional<scenario::RunResults> results_;
};

int runGradeFrom(const CommandLine& c, std::ostream& out, std::ostream& err) {
    if (c.operands.size() != 2) return usage(err, "--grade needs LAB and SUBMISSIONS");
    GradeSettings g;
    g.lab = c.operands[0];
    g.submissions = c.operands[1];
    if (!jobsFrom(c.jobs, g.jobs)) return badJobs(c, err);
    if (c.junit) g.junitPath = *c.junit;
    if (c.grades) g.gradesPath = *c.grades;
    if (c.gradebook) g.gradebookPath = *c.gradebook;
    if (c.gradescope) g.gradescopePath = *c.gradescope;
    g.requireExpect = c.requireExpect;
    if (c.shard && !parseShard(*c.shard, g.shard, g.shards))
        return usage(err, "bad --shard " + scenario::quoted(*c.shard) + " (K/N with 1 <= K <= N)");
    if (c.timeout) g.wallLimit = *seconds(*c.timeout);
    search::RuleSet rules;
    if (!rulesFor(c, g.wallLimit, rules, g.rules, g.rulesName, err)) return 2;
    ReportOutput report(c);
    if (!report.prepare(err)) return 2;
    g.results = report.reader();
    const int status = runGrade(g, out, err);
    // Only the terminal's own runs the answers: nothing of a student's but the scripts, which are data.
    report::Request request{"grade", "student", "exercise", {}, {}, false};
    request.rerun.jobs = g.jobs;
    request.rerun.wallLimit = g.wallLimit;
    request.rerun.rules = g.rules;
    request.rerun.rulesName = g.rulesName;
    return finish(report.finish(status, std::move(request), out, err), out, err);
}

int runBlessFrom(const CommandLine& c, std::ostream& out, std::ostream& err) {
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
    ReportOutput report(c);
    if (!report.prepare(err)) return 2;
    s.results = report.reader();
    s.countCoverage = static_cast<bool>(s.results);
    s.reportFolder = c.report.value_or("");
    const bool ofClass = !controllers.empty();
    // Kept to the end: the report runs some pairs again on these controllers.
    const ClassSettings ofControllers{s, std::move(controllers), c.grades.value_or(""), c.gradebook.value_or(""),
                                      c.gradescope.value_or(""), !c.noSandbox};
    int status = ofClass ? runControllers(ofControllers, out, err) : runSuite(s, out, err);
    // Stopped by a signal: what could be said was said as it went.
    if (suiteInterruption() != 0) return status;
    report::Request request{c.compare ? "compare" : ofClass ? "controllers" : "suite",
                            ofClass ? "controller" : "controller run", "folder", {}, s,
                            // A class's controllers run sandboxed unless --no-sandbox; --controller's with
                            // --sandbox.
                            ofClass ? !c.noSandbox : c.sandbox};
    status = report.finish(status, std::move(request), out, err);
    return finish(status, out, err);
}

// How a controller out of process is run: silent no longer than --timeout, or the default.
protocol::Settings outsideSettings(const CommandLine& c) {
    protocol::Settings s;
    if (c.timeout) {
        if (const auto limit = seconds(*c.timeout)) s.silence = *limit;
    }
    return s;
}

// --controller's controller, when there is one: a plug-in in process, an executable in a process of its
// own; with --sandbox either one out of process in a sandbox. False (said on `err`) when it will not load
// or the machine cannot sandbox it.
bool loadController(const CommandLine& c, std::optional<TypeControleur>& controller, std::ostream& err) {
    if (!c.controller) return true;
    protocol::Settings settings = outsideSettings(c);
    if (c.sandbox) {
        if (const auto why = sandbox::unavailable()) {
            err << "borne-scenario: --sandbox: cannot make a sandbox here: " << *why << '\n';
            return false;
        }
        settings.outOfProcess = settings.sandboxed = true;
    }
    std::string why;
    controller = protocol::loadController(*c.controller, settings, why);
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
    if (const std::string collision = collidingOutputs(c); !collision.empty()) {
        err << "borne-scenario: " << collision << '\n';
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

// A class's controllers are refused before anything runs when one of them will not do, and live as long
// as the process; they are named from -C's folder, as the other names. (--controller's is loaded before
// -C.) Returns 0 when they are loaded, else the exit status, said on `err`.
int loadControllersOf(const CommandLine& c, std::vector<NamedController>& classControllers, std::ostream& err) {
    if (c.controllers) {
        std::string why;
        // A class's code is not trusted: always sandboxed, unless the person says otherwise knowingly.
        protocol::Settings settings = outsideSettings(c);
        if (const auto cannot = sandbox::unavailable(); cannot && !c.noSandbox) {
            err << "borne-scenario: --controllers: cannot make a sandbox here: " << *cannot
                << " (--no-sandbox runs the class without one, with your rights)\n";
            return 2;
        }
        settings.sandboxed = !c.noSandbox;
        // One that cannot even start is that controller's ERROR in every folder; the class goes on.
        settings.failEachRun = true;
        if (!loadControllers(*c.controllers, classControllers, why, settings)) {
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
    // Every option in its place, as the option table says, before anything else is looked at.
    if (const std::string misplaced = misplacedOption(c); !misplaced.empty()) return usage(err, misplaced);
    if (c.controls) {
        printControls(panneau(), out);
        return finish(0, out, err);
    }
    if (c.timeout && !seconds(*c.timeout))
        return usage(err, "bad --timeout " + scenario::quoted(*c.timeout) +
                              " (seconds above 0, up to 86400, to the millisecond: 0.001 at least)");
    // The controller is a file of the person's, found from where the command was typed, -C or not.
    std::optional<TypeControleur> controller;
    if (!loadController(c, controller, err)) return 2;
    // As make -C: every other name on the command line is then taken from DIR.
    if (c.directory && ::chdir(c.directory->c_str()) != 0) {
        err << "borne-scenario: cannot enter " << *c.directory << ": " << std::strerror(errno) << '\n';
        return 2;
    }
    if (const std::string collision = collidingOutputs(c); !collision.empty()) {
        err << "borne-scenario: " << collision << '\n';
        return 2;
    }
    std::vector<NamedController> classControllers;
    if (const int refused = loadControllersOf(c, classControllers, err); refused != 0)
        return refused;
    if (c.tidy) {
        if (c.operands.size() != 1) return usage(err, "--tidy takes one recorded SCRIPT");
        return finish(tidy(c.operands.front(), out, err), out, err);
    }
    if (c.grade) return runGradeFrom(c, out, err);
    if (c.bless) return runBlessFrom(c, out, err);
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
