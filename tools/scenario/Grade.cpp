#include "tools/scenario/Grade.h"
#include "tools/files/Files.h"

#include "tools/grammar/Grammar.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Junit.h"
#include "tools/scenario/RuleObserver.h"
#include "tools/scenario/Suite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <map>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace borne::scenario {

namespace {

enum class Result { Pass, Fail, Error, Missing };

const char* word(Result r) {
    switch (r) {
    case Result::Pass: return "PASS";
    case Result::Fail: return "FAIL";
    case Result::Error: return "ERROR";
    case Result::Missing: return "MISSING";
    }
    return "?";
}

struct Student {
    std::string name;
    std::vector<std::string> ignored; // relative to the student's folder
};

struct Pair {
    std::size_t student = 0;
    std::size_t exercise = 0;
    Result result = Result::Missing;
    int expectations = 0;           // written in the script
    std::optional<std::size_t> run; // its place in the runs, when it runs
    bool reported = false;
    ScenarioOutcome outcome; // summary and details of anything but a pass
};

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The names in a folder in byte order, without "." and ".."; false with a message when it cannot be read.
bool listFolder(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) {
        error = "cannot read folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    errno = 0;
    while (const dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    const int failure = errno;
    ::closedir(d);
    if (failure != 0) {
        error = "cannot read folder " + folder + ": " + std::strerror(failure);
        return false;
    }
    std::sort(names.begin(), names.end());
    return true;
}

// The subfolders of a lab or of the submissions, hidden ones (.git...) left out; the other entries go to
// `others`.
bool subfolders(const std::string& root, std::vector<std::string>& folders, std::vector<std::string>* others,
                std::string& error) {
    std::vector<std::string> names;
    if (!listFolder(root, names, error)) return false;
    for (const std::string& n : names) {
        if (n.front() == '.') continue;
        if (isFolder(root + "/" + n))
            folders.push_back(n);
        else if (others != nullptr)
            others->push_back(n);
    }
    return true;
}

std::string absolute(const std::string& path) {
    std::string real = files::realPath(path);
    return real.empty() ? path : real;
}

bool checksSomething(Verb v) {
    return v == Verb::Expect || v == Verb::ExpectState || v == Verb::Until || v == Verb::UntilState;
}

// Reads and checks a student's script before anything runs: a refused one is an error, and one that checks
// nothing where the exercise has no expected journal either is a failure.
void prepare(Pair& pair, const std::string& script, bool expectedJournal) {
    const std::string name = script.substr(script.rfind('/') + 1);
    std::string text, error;
    if (!readRegularFile(script, text, error)) {
        pair.result = Result::Error;
        pair.outcome.summary = error;
        return;
    }
    LineReader lines(text);
    std::string_view line;
    std::size_t number;
    while (lines.next(line, number)) {
        const ParsedLine parsed = parseLine(line, number, panneau());
        if (const auto* c = std::get_if<Command>(&parsed); c != nullptr && checksSomething(c->verb))
            ++pair.expectations;
    }
    const Script checked = check(text, panneau());
    if (checked.errorCount > 0) {
        pair.result = Result::Error;
        std::string& details = pair.outcome.details;
        for (const ParseError& e : checked.errors)
            details += name + ":" + std::to_string(e.line) + ": " + e.message + "\n";
        if (checked.errorCount > checked.errors.size())
            details += std::to_string(checked.errorCount - checked.errors.size()) + " more errors\n";
        pair.outcome.summary = details.substr(0, details.find('\n'));
        return;
    }
    if (pair.expectations == 0 && !expectedJournal) {
        pair.result = Result::Fail;
        pair.outcome.summary =
            "checks nothing (no expect, no until, and no expected/Log.txt in the exercise)";
        return;
    }
    pair.result = Result::Pass; // for now: it runs
}

std::string shown(const std::string& name) {
    return visible(name);
}

// What a grading works on: the lab's exercises, the students, one pair per (student, exercise) in that
// order, and the pairs that run.
struct Roll {
    std::vector<std::string> exercises;
    std::map<std::string, std::size_t> exerciseIndex;
    std::vector<Student> students;
    std::vector<Pair> pairs;
    std::vector<FoundScenario> runs;
    std::vector<std::size_t> pairOfRun; // the pair of each run
};

// Both folders must exist and hold a subfolder each; false with a message otherwise.
bool listLab(const GradeSettings& settings, std::vector<std::string>& exercises,
             std::vector<std::string>& studentNames, std::vector<std::string>& strays, std::ostream& err) {
    std::string error;
    if (!isFolder(settings.lab)) {
        err << "borne-scenario: " << settings.lab << " is not a folder (the lab: one folder per exercise)\n";
        return false;
    }
    if (!isFolder(settings.submissions)) {
        err << "borne-scenario: " << settings.submissions
            << " is not a folder (the submissions: one folder per student)\n";
        return false;
    }
    if (!subfolders(settings.lab, exercises, nullptr, error) ||
        !subfolders(settings.submissions, studentNames, &strays, error)) {
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    if (exercises.empty()) {
        err << "borne-scenario: no exercise folder in " << settings.lab << '\n';
        return false;
    }
    if (studentNames.empty()) {
        err << "borne-scenario: no student folder in " << settings.submissions << '\n';
        return false;
    }
    return true;
}

// The reports are opened before anything runs, so a path that cannot be written stops the grading at once.
bool openReports(const GradeSettings& settings, JunitWriter& junit, std::FILE*& grades, std::ostream& err) {
    std::string error;
    if (!settings.junitPath.empty() && !junit.open(settings.junitPath, error)) {
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    if (!settings.gradesPath.empty() && (grades = std::fopen(settings.gradesPath.c_str(), "wb")) == nullptr) {
        err << "borne-scenario: cannot write " << settings.gradesPath << ": " << std::strerror(errno) << '\n';
        return false;
    }
    return true;
}

// Each exercise's answers as found in a student's folder (E.scn and E/scenario.scn); everything else is
// noted as ignored. `unreadable` is set when the folder cannot be listed.
std::vector<std::vector<std::string>> findAnswers(const Roll& roll, const std::string& folder,
                                                  Student& student, std::string& unreadable) {
    std::vector<std::vector<std::string>> answers(roll.exercises.size());
    std::vector<std::string> names;
    if (!listFolder(folder, names, unreadable)) names.clear();
    for (const std::string& n : names) {
        const std::string path = folder + "/" + n;
        const auto asFile = n.size() > 4 && n.ends_with(".scn")
                                ? roll.exerciseIndex.find(n.substr(0, n.size() - 4))
                                : roll.exerciseIndex.end();
        const auto asFolder = roll.exerciseIndex.find(n);
        if (asFile != roll.exerciseIndex.end()) {
            answers[asFile->second].push_back(n);
        } else if (asFolder != roll.exerciseIndex.end() && isFolder(path)) {
            // Only the script counts: the exercise's settings and journal are the teacher's.
            std::vector<std::string> inside;
            std::string ignored;
            listFolder(path, inside, ignored);
            for (const std::string& m : inside)
                if (m == kScriptFile)
                    answers[asFolder->second].push_back(n + "/" + m);
                else
                    student.ignored.push_back(n + "/" + m + (isFolder(path + "/" + m) ? "/" : ""));
        } else {
            student.ignored.push_back(n + (isFolder(path) ? "/" : ""));
        }
    }
    return answers;
}

// One pair per exercise for student `s`: its verdict when it cannot run, its run when it can. The workers
// move from folder to folder, so runs get whole paths; messages name what was given.
void addPairs(Roll& roll, const GradeSettings& settings, std::size_t s, const std::string& lab,
              const std::string& submissions) {
    const std::string& student = roll.students[s].name;
    const std::string folder = settings.submissions + "/" + student;
    std::string unreadable;
    const std::vector<std::vector<std::string>> answers =
        findAnswers(roll, folder, roll.students[s], unreadable);
    for (std::size_t e = 0; e < roll.exercises.size(); ++e) {
        Pair& pair = roll.pairs.emplace_back();
        pair.student = s;
        pair.exercise = e;
        const std::string& ex = roll.exercises[e];
        if (!unreadable.empty()) {
            pair.result = Result::Error;
            pair.outcome.summary = unreadable;
        } else if (answers[e].empty()) {
            pair.result = Result::Missing;
            pair.outcome.summary = "no " + ex + ".scn or " + ex + "/" + kScriptFile;
        } else if (answers[e].size() > 1) {
            pair.result = Result::Error;
            pair.outcome.summary = "two answers: " + answers[e][0] + " and " + answers[e][1];
        } else {
            const std::string journal = settings.lab + "/" + ex + "/" + kExpectedFolder + "/" + kJournalFile;
            prepare(pair, folder + "/" + answers[e][0], exists(journal));
            if (pair.result == Result::Pass) {
                pair.run = roll.runs.size();
                roll.pairOfRun.push_back(roll.pairs.size() - 1);
                roll.runs.push_back({lab + "/" + ex,
                                     student + "/" + ex,
                                     {},
                                     submissions + "/" + student + "/" + answers[e][0]});
            }
        }
    }
}

// Runs the pairs that can run and prints every pair's line in (student, exercise) order as soon as it and
// all before it are known. False with a message when the runs cannot start.
bool runPairs(Roll& roll, const GradeSettings& settings, std::ostream& out, std::string& error) {
    std::size_t printed = 0;
    const auto printReady = [&] {
        while (printed < roll.pairs.size() && (!roll.pairs[printed].run || roll.pairs[printed].reported)) {
            const Pair& p = roll.pairs[printed++];
            const std::string name = shown(roll.students[p.student].name + "/" + roll.exercises[p.exercise]);
            if (p.result == Result::Pass)
                out << "PASS " << name << '\n';
            else
                printOutcome(out, word(p.result), name, p.outcome);
        }
    };
    SuiteSettings suite;
    suite.jobs = settings.jobs;
    suite.wallLimit = settings.wallLimit;
    suite.rules = settings.rules;
    suite.rulesName = settings.rulesName;
    std::vector<ScenarioOutcome> outcomes;
    const auto read = [&](std::size_t i, const ScenarioOutcome& o) {
        Pair& p = roll.pairs[roll.pairOfRun[i]];
        p.outcome = o;
        p.result = o.passed ? Result::Pass : Result::Fail;
        p.reported = true;
        printReady();
    };
    if (!roll.runs.empty() && !runIsolated(roll.runs, suite, out, read, outcomes, error)) return false;
    printReady();
    return true;
}

// One line per student, one CSV row per pair, and the student's JUnit suite; true when every pair passed.
bool tally(const Roll& roll, std::FILE* grades, std::vector<SuiteReport>& reports, double& seconds,
           std::ostream& out) {
    bool allPassed = true;
    if (grades != nullptr)
        std::fputs("student,exercise,result,expectations passed,expectations failed,first failure\r\n",
                   grades);
    for (std::size_t s = 0; s < roll.students.size(); ++s) {
        const Student& student = roll.students[s];
        SuiteReport& report = reports.emplace_back();
        report.name = student.name;
        int exercisesPassed = 0, met = 0, written = 0;
        for (const Pair& p : roll.pairs) {
            if (p.student != s) continue;
            const int passed = p.run ? std::min(p.outcome.expectationsPassed, p.expectations) : 0;
            written += p.expectations;
            met += passed;
            if (p.result == Result::Pass)
                ++exercisesPassed;
            else
                allPassed = false;
            const std::string& exercise = roll.exercises[p.exercise];
            const bool refused = p.result == Result::Error || p.result == Result::Missing;
            report.cases.push_back({exercise, p.outcome.seconds, p.result == Result::Pass, p.outcome.summary,
                                    p.outcome.details, refused});
            report.seconds += p.outcome.seconds;
            if (grades != nullptr)
                std::fprintf(grades, "%s,%s,%s,%d,%d,%s\r\n", csvField(student.name).c_str(),
                             csvField(exercise).c_str(), word(p.result), passed, p.expectations - passed,
                             csvField(p.result == Result::Pass ? std::string() : p.outcome.summary).c_str());
        }
        seconds += report.seconds;
        out << shown(student.name) << ": " << exercisesPassed << " of " << roll.exercises.size()
            << " exercises, " << met << " of " << written << " expectations";
        for (std::size_t i = 0; i < student.ignored.size(); ++i)
            out << (i == 0 ? "; ignored: " : ", ") << shown(student.ignored[i]);
        out << '\n';
    }
    return allPassed;
}

} // namespace

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string r = "\"";
    for (char c : text) {
        if (c == '"') r += '"';
        r += c;
    }
    return r + "\"";
}

int runGrade(const GradeSettings& settings, std::ostream& out, std::ostream& err) {
    Roll roll;
    std::vector<std::string> studentNames, strays;
    if (!listLab(settings, roll.exercises, studentNames, strays, err)) return 2;
    JunitWriter junit;
    std::FILE* grades = nullptr;
    if (!openReports(settings, junit, grades, err)) return 2;

    const std::string lab = absolute(settings.lab);
    const std::string submissions = absolute(settings.submissions);
    for (std::size_t e = 0; e < roll.exercises.size(); ++e)
        roll.exerciseIndex[roll.exercises[e]] = e;
    for (std::size_t s = 0; s < studentNames.size(); ++s) {
        roll.students.emplace_back().name = studentNames[s];
        addPairs(roll, settings, s, lab, submissions);
    }

    for (const std::string& n : strays)
        out << "ignored: " << shown(settings.submissions + "/" + n) << " (not a student's folder)\n";
    std::string error;
    if (!runPairs(roll, settings, out, error)) {
        err << "borne-scenario: " << error << '\n';
        if (grades != nullptr) std::fclose(grades);
        return 2;
    }

    std::vector<SuiteReport> reports;
    double seconds = 0;
    const bool allPassed = tally(roll, grades, reports, seconds, out);
    if (grades != nullptr) {
        const bool ok = std::ferror(grades) == 0;
        if (std::fclose(grades) != 0 || !ok) {
            err << "borne-scenario: cannot write " << settings.gradesPath << '\n';
            return 2;
        }
    }
    if (!settings.junitPath.empty() && !junit.write(reports, seconds, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    return allPassed ? 0 : 1;
}

} // namespace borne::scenario
