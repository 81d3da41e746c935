#include "tools/scenario/Grade.h"
#include "tools/files/Csv.h"
#include "tools/files/Files.h"

#include "tools/grammar/Grammar.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Gradebook.h"
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
#include <unistd.h>

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
    std::string answer;      // the one answer's script, when there is one
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
// nothing where the exercise has no expected journal either is a failure; so is one without expect or
// until where `requiredBy` (the option or the lab's settings) asks for them beside the journal.
void prepare(Pair& pair, const std::string& script, bool expectedJournal, const std::string& requiredBy) {
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
    if (pair.expectations == 0 && !requiredBy.empty()) {
        pair.result = Result::Fail;
        pair.outcome.summary =
            "no expect and no until, which " + requiredBy + " asks for beside the expected journal";
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
    std::vector<std::string> exerciseReal; // each exercise folder's real path
    std::map<std::string, std::size_t> exerciseIndex;
    std::vector<Student> students;
    std::vector<Pair> pairs;
    std::vector<FoundScenario> runs;
    std::vector<std::size_t> pairOfRun; // the pair of each run
};

// Both folders must exist, the lab hold an exercise (a folder with its scenario.scn) and the submissions a
// folder; false with a message otherwise. The lab's other folders go to `notExercises`.
bool listLab(const GradeSettings& settings, std::vector<std::string>& exercises,
             std::vector<std::string>& notExercises, std::vector<std::string>& studentNames,
             std::vector<std::string>& strays, std::ostream& err) {
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
    std::vector<std::string> folders;
    if (!subfolders(settings.lab, folders, nullptr, error) ||
        !subfolders(settings.submissions, studentNames, &strays, error)) {
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    for (const std::string& f : folders)
        (exists(settings.lab + "/" + f + "/" + kScriptFile) ? exercises : notExercises).push_back(f);
    if (exercises.empty()) {
        err << "borne-scenario: no exercise folder in " << settings.lab
            << (notExercises.empty() ? "" : std::string(" (none holds ") + kScriptFile + ")") << '\n';
        return false;
    }
    if (studentNames.empty()) {
        err << "borne-scenario: no student folder in " << settings.submissions << '\n';
        return false;
    }
    return true;
}

// The lab's grading.cfg, when there is one: a line is a setting (require-expect), a blank line or a
// "#" comment. False with a message when it cannot be read or holds another line.
bool readLabSettings(const GradeSettings& settings, std::string& requiredBy, std::ostream& err) {
    const std::string path = settings.lab + "/" + kLabSettingsFile;
    if (!exists(path)) return true;
    std::string text, error;
    if (!files::readWhole(path, text, error, {64 * 1024, "the lab's settings", true, std::nullopt})) {
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    LineReader lines(text);
    std::string_view line;
    std::size_t number;
    while (lines.next(line, number)) {
        const std::string setting(trim(line));
        if (setting.empty() || setting.front() == '#') continue;
        if (setting != "require-expect") {
            err << "borne-scenario: " << path << ":" << number << ": unknown setting " << quoted(setting)
                << " (require-expect, or a # comment)\n";
            return false;
        }
        if (requiredBy.empty()) requiredBy = path;
    }
    return true;
}

bool within(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.starts_with(folder) && path.size() > folder.size() && path[folder.size()] == '/');
}

// Why an answer (relative to the student's folder) is not the student's own file: a link out of the
// folder, or a file of the lab's exercises reached through a folder linked into the lab. Empty when it
// is the student's own, or when there is nothing there to read (the read says so).
std::string notOwn(const Roll& roll, const std::string& folder, const std::string& answer) {
    const std::string real = files::realPath(folder + "/" + answer);
    if (real.empty()) return {};
    const std::string own = files::realPath(folder);
    if (!within(real, own)) {
        // The link named as the student wrote it: E.scn, E/ or E/scenario.scn.
        for (std::size_t end = answer.find('/');; end = answer.find('/', end + 1)) {
            const std::string part = answer.substr(0, end);
            std::string target(4096, '\0');
            const ssize_t n = ::readlink((folder + "/" + part).c_str(), target.data(), target.size());
            if (n > 0) {
                target.resize(static_cast<std::size_t>(n));
                return part + (end == std::string::npos ? "" : "/") +
                       " is a link out of the student's folder (to " + target + ")";
            }
            if (end == std::string::npos) break;
        }
        return answer + " is out of the student's folder";
    }
    for (const std::string& exercise : roll.exerciseReal)
        if (!exercise.empty() && within(real, exercise))
            return answer + " is the lab's own file (the student's folder leads into the lab)";
    return {};
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
    for (const std::string* path : {&settings.gradebookPath, &settings.gradescopePath}) {
        std::FILE* f = path->empty() ? nullptr : std::fopen(path->c_str(), "wb");
        if (!path->empty() && f == nullptr) {
            err << "borne-scenario: cannot write " << *path << ": " << std::strerror(errno) << '\n';
            if (grades != nullptr) std::fclose(grades);
            return false;
        }
        if (f != nullptr) std::fclose(f);
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
              const std::string& submissions, const std::string& requiredBy) {
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
        } else if (const std::string why = notOwn(roll, folder, answers[e][0]); !why.empty()) {
            pair.result = Result::Error;
            pair.outcome.summary = why;
        } else {
            const std::string journal = settings.lab + "/" + ex + "/" + kExpectedFolder + "/" + kJournalFile;
            pair.answer = submissions + "/" + student + "/" + answers[e][0];
            prepare(pair, folder + "/" + answers[e][0], exists(journal), requiredBy);
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
    suite.countCoverage = static_cast<bool>(settings.results);
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
bool tally(const Roll& roll, std::FILE* grades, std::vector<SuiteReport>& reports, Gradebook& book,
           double& seconds, std::ostream& out) {
    bool allPassed = true;
    if (grades != nullptr)
        std::fputs("student,exercise,result,expectations passed,expectations failed,first failure\r\n",
                   grades);
    for (std::size_t s = 0; s < roll.students.size(); ++s) {
        const Student& student = roll.students[s];
        SuiteReport& report = reports.emplace_back();
        report.name = student.name;
        Gradebook::Row& row = book.rows.emplace_back();
        row.name = student.name;
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
            row.cells.push_back({p.result == Result::Pass, word(p.result),
                                 p.result == Result::Pass
                                     ? std::string()
                                     : cellOutput(p.outcome.summary, p.outcome.details)});
            if (grades != nullptr)
                std::fprintf(
                    grades, "%s,%s,%s,%d,%d,%s\r\n", files::csvCell(student.name).c_str(),
                    files::csvCell(exercise).c_str(), word(p.result), passed, p.expectations - passed,
                    files::csvCell(p.result == Result::Pass ? std::string() : p.outcome.summary).c_str());
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

int runGrade(const GradeSettings& settings, std::ostream& out, std::ostream& err) {
    Roll roll;
    std::vector<std::string> notExercises, studentNames, strays;
    if (!listLab(settings, roll.exercises, notExercises, studentNames, strays, err)) return 2;
    std::string requiredBy = settings.requireExpect ? "--require-expect" : "";
    if (!readLabSettings(settings, requiredBy, err)) return 2;
    if (!settings.gradescopePath.empty() && studentNames.size() != 1) {
        err << "borne-scenario: --gradescope writes one submission's results, and " << settings.submissions
            << " holds " << studentNames.size() << " student folders (";
        for (std::size_t i = 0; i < studentNames.size() && i < 3; ++i)
            err << (i == 0 ? "" : ", ") << shown(studentNames[i]);
        err << (studentNames.size() > 3 ? ", ...)\n" : ")\n");
        return 2;
    }
    JunitWriter junit;
    std::FILE* grades = nullptr;
    if (!openReports(settings, junit, grades, err)) return 2;

    const std::string lab = absolute(settings.lab);
    const std::string submissions = absolute(settings.submissions);
    for (std::size_t e = 0; e < roll.exercises.size(); ++e) {
        roll.exerciseIndex[roll.exercises[e]] = e;
        roll.exerciseReal.push_back(files::realPath(settings.lab + "/" + roll.exercises[e]));
    }
    // The K-th of N slices of the students, as --suite slices its folders.
    const std::size_t from = studentNames.size() * (settings.shard - 1) / settings.shards;
    const std::size_t to = studentNames.size() * settings.shard / settings.shards;
    for (std::size_t s = from; s < to; ++s) {
        roll.students.emplace_back().name = studentNames[s];
        addPairs(roll, settings, s - from, lab, submissions, requiredBy);
    }

    // Said once, by the first slice.
    if (settings.shard == 1) {
        for (const std::string& n : notExercises)
            out << "ignored: " << shown(settings.lab + "/" + n) << " (no " << kScriptFile
                << ": not an exercise)\n";
        for (const std::string& n : strays)
            out << "ignored: " << shown(settings.submissions + "/" + n) << " (not a student's folder)\n";
    }
    std::string error;
    if (!runPairs(roll, settings, out, error)) {
        err << "borne-scenario: " << error << '\n';
        if (grades != nullptr) std::fclose(grades);
        return 2;
    }

    std::vector<SuiteReport> reports;
    Gradebook book{"student", roll.exercises, {}};
    double seconds = 0;
    const bool allPassed = tally(roll, grades, reports, book, seconds, out);
    if (settings.results) {
        RunResults results;
        results.seconds = seconds;
        results.columns = roll.exercises;
        for (const Student& s : roll.students)
            results.rows.push_back(s.name);
        for (const Pair& p : roll.pairs)
            results.pairs.push_back({p.student, p.exercise, word(p.result), p.run.has_value(),
                                     FoundScenario{lab + "/" + roll.exercises[p.exercise],
                                                   roll.students[p.student].name + "/" + roll.exercises[p.exercise],
                                                   {}, p.answer},
                                     nullptr, p.outcome});
        settings.results(std::move(results));
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
    if (!settings.gradebookPath.empty() &&
        !files::writeWhole(settings.gradebookPath, gradebookCsv(book), error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    if (!settings.gradescopePath.empty() && !book.rows.empty() &&
        !files::writeWhole(settings.gradescopePath, gradescopeJson(book, book.rows.front()), error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    return allPassed ? 0 : 1;
}

} // namespace borne::scenario
