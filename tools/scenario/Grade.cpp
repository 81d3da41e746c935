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
    std::string error;
    std::vector<std::string> exercises, studentNames, strays;
    if (!isFolder(settings.lab)) {
        err << "borne-scenario: " << settings.lab << " is not a folder (the lab: one folder per exercise)\n";
        return 2;
    }
    if (!isFolder(settings.submissions)) {
        err << "borne-scenario: " << settings.submissions
            << " is not a folder (the submissions: one folder per student)\n";
        return 2;
    }
    if (!subfolders(settings.lab, exercises, nullptr, error) ||
        !subfolders(settings.submissions, studentNames, &strays, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    if (exercises.empty()) {
        err << "borne-scenario: no exercise folder in " << settings.lab << '\n';
        return 2;
    }
    if (studentNames.empty()) {
        err << "borne-scenario: no student folder in " << settings.submissions << '\n';
        return 2;
    }

    JunitWriter junit;
    if (!settings.junitPath.empty() && !junit.open(settings.junitPath, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    std::FILE* grades = nullptr;
    if (!settings.gradesPath.empty() && (grades = std::fopen(settings.gradesPath.c_str(), "wb")) == nullptr) {
        err << "borne-scenario: cannot write " << settings.gradesPath << ": " << std::strerror(errno) << '\n';
        return 2;
    }

    // The workers move from folder to folder: they get whole paths. Messages name what was given.
    const std::string lab = absolute(settings.lab);
    const std::string submissions = absolute(settings.submissions);
    std::map<std::string, std::size_t> exerciseIndex;
    for (std::size_t e = 0; e < exercises.size(); ++e)
        exerciseIndex[exercises[e]] = e;

    std::vector<Student> students;
    std::vector<Pair> pairs;
    std::vector<FoundScenario> runs;
    std::vector<std::size_t> pairOfRun;
    for (std::size_t s = 0; s < studentNames.size(); ++s) {
        Student& student = students.emplace_back();
        student.name = studentNames[s];
        const std::string folder = settings.submissions + "/" + student.name;
        // Each exercise's answers as found: E.scn and E/scenario.scn.
        std::vector<std::vector<std::string>> answers(exercises.size());
        std::vector<std::string> names;
        std::string unreadable;
        if (!listFolder(folder, names, unreadable)) names.clear();
        for (const std::string& n : names) {
            const std::string path = folder + "/" + n;
            const auto asFile = n.size() > 4 && n.ends_with(".scn")
                                    ? exerciseIndex.find(n.substr(0, n.size() - 4))
                                    : exerciseIndex.end();
            const auto asFolder = exerciseIndex.find(n);
            if (asFile != exerciseIndex.end()) {
                answers[asFile->second].push_back(n);
            } else if (asFolder != exerciseIndex.end() && isFolder(path)) {
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
        for (std::size_t e = 0; e < exercises.size(); ++e) {
            Pair& pair = pairs.emplace_back();
            pair.student = s;
            pair.exercise = e;
            const std::string& ex = exercises[e];
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
                const std::string journal =
                    settings.lab + "/" + ex + "/" + kExpectedFolder + "/" + kJournalFile;
                prepare(pair, folder + "/" + answers[e][0], exists(journal));
                if (pair.result == Result::Pass) {
                    pair.run = runs.size();
                    pairOfRun.push_back(pairs.size() - 1);
                    runs.push_back({lab + "/" + ex,
                                    student.name + "/" + ex,
                                    {},
                                    submissions + "/" + student.name + "/" + answers[e][0]});
                }
            }
        }
    }

    for (const std::string& n : strays)
        out << "ignored: " << shown(settings.submissions + "/" + n) << " (not a student's folder)\n";
    std::size_t printed = 0;
    const auto printReady = [&] {
        while (printed < pairs.size() && (!pairs[printed].run || pairs[printed].reported)) {
            const Pair& p = pairs[printed++];
            const std::string name = shown(students[p.student].name + "/" + exercises[p.exercise]);
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
        Pair& p = pairs[pairOfRun[i]];
        p.outcome = o;
        p.result = o.passed ? Result::Pass : Result::Fail;
        p.reported = true;
        printReady();
    };
    if (!runs.empty() && !runIsolated(runs, suite, out, read, outcomes, error)) {
        err << "borne-scenario: " << error << '\n';
        if (grades != nullptr) std::fclose(grades);
        return 2;
    }
    printReady();

    // Per student, and the reports.
    bool allPassed = true;
    std::vector<SuiteReport> reports;
    double seconds = 0;
    if (grades != nullptr)
        std::fputs("student,exercise,result,expectations passed,expectations failed,first failure\r\n",
                   grades);
    for (std::size_t s = 0; s < students.size(); ++s) {
        SuiteReport& report = reports.emplace_back();
        report.name = students[s].name;
        int exercisesPassed = 0, met = 0, written = 0;
        for (const Pair& p : pairs) {
            if (p.student != s) continue;
            const int passed = p.run ? std::min(p.outcome.expectationsPassed, p.expectations) : 0;
            written += p.expectations;
            met += passed;
            if (p.result == Result::Pass)
                ++exercisesPassed;
            else
                allPassed = false;
            const bool refused = p.result == Result::Error || p.result == Result::Missing;
            report.cases.push_back({exercises[p.exercise], p.outcome.seconds, p.result == Result::Pass,
                                    p.outcome.summary, p.outcome.details, refused});
            report.seconds += p.outcome.seconds;
            if (grades != nullptr)
                std::fprintf(grades, "%s,%s,%s,%d,%d,%s\r\n", csvField(students[s].name).c_str(),
                             csvField(exercises[p.exercise]).c_str(), word(p.result), passed,
                             p.expectations - passed,
                             csvField(p.result == Result::Pass ? std::string() : p.outcome.summary).c_str());
        }
        seconds += report.seconds;
        out << shown(students[s].name) << ": " << exercisesPassed << " of " << exercises.size()
            << " exercises, " << met << " of " << written << " expectations";
        for (std::size_t i = 0; i < students[s].ignored.size(); ++i)
            out << (i == 0 ? "; ignored: " : ", ") << shown(students[s].ignored[i]);
        out << '\n';
    }
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
