// Suites of scenario folders: one line per folder in path order, bad folders failed without stopping the
// suite, folders never written, shards that add up to the whole, one waveform per scenario, the bench's
// own failures told apart.
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/cli/Run.h"

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

using namespace borne;
namespace fs = std::filesystem;

namespace {

constexpr char kLine[] = "EtatCourant = \0ETAT_VEHICULE_ABSENT;      Evenement = \0VEHICULE_ABSENT;\n";
const std::string kOneTurnJournal(kLine, sizeof kLine - 1);

class Suite : public test::Sandbox {
protected:
    void writeFile(const fs::path& f, const std::string& content) {
        fs::create_directories(f.parent_path());
        std::ofstream(f, std::ios::binary) << content;
    }
    void scenario(const fs::path& d, const std::string& script, const std::string* journal = nullptr) {
        writeFile(d / "scenario.scn", script);
        writeFile(d / "Config.cfg", "mode=0\nnomacces=Entree Nord\nnumeroacces=2\n");
        writeFile(d / "CHIP.INI", "ADDRESS=12\n");
        if (journal != nullptr) writeFile(d / "expected" / "Log.txt", *journal);
    }
    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"borne-scenario", "--suite"});
        std::istringstream input;
        out.str("");
        errors.str("");
        return cli::run(arguments, input, out, errors);
    }
    // Every file under a folder with its bytes: what a run must leave untouched.
    static std::map<std::string, std::string> filesUnder(const fs::path& d) {
        std::map<std::string, std::string> r;
        for (const auto& e : fs::recursive_directory_iterator(d)) {
            r[e.path().string()] = e.is_regular_file() ? test::readFile(e.path()) : std::string();
        }
        return r;
    }
    std::ostringstream out, errors;
};

} // namespace

TEST_F(Suite, BadFoldersFailOneByOneAndTheSuiteGoesOn) {
    const std::string wrong("EtatCourant = \0ETAT_DEFAUT;\n", 28);
    scenario("s/a-good", "turn\n", &kOneTurnJournal);
    scenario("s/b-journal-differs", "turn\n", &wrong);
    scenario("s/c-no-expected-file", "turn\n");
    fs::create_directories("s/c-no-expected-file/expected");
    fs::create_directories("s/d-script-is-a-folder/scenario.scn");
    scenario("s/e-settings-are-a-pipe", "turn\n");
    fs::remove("s/e-settings-are-a-pipe/Config.cfg");
    ASSERT_EQ(::mkfifo("s/e-settings-are-a-pipe/Config.cfg", 0644), 0);
    scenario("s/f-faulty-script", "turn\njump\n");
    scenario("s/g-runaway", "turn 100000000\n");
    scenario("s/h-failed-expectations", "expect etat 3\nturn\nexpect CheckBox5.Checked 0\n");
    scenario("s/nested/deeper/i-earlier-journal", "turn\n", &kOneTurnJournal);
    writeFile("s/nested/deeper/i-earlier-journal/Log.txt", ""); // the run appends to what it finds
    writeFile("s/nested/not-a-scenario.txt", "x");
    const auto before = filesUnder("s");

    EXPECT_EQ(run({"--timeout", "0.3", "s"}), 1);
    const std::string expected =
        "PASS a-good\n"
        "FAIL b-journal-differs: Log.txt line 1 differs\n"
        "    expected: EtatCourant = \\x00ETAT_DEFAUT;\n"
        "    actual:   EtatCourant = \\x00ETAT_VEHICULE_ABSENT;      Evenement = \\x00VEHICULE_ABSENT;\n"
        "FAIL c-no-expected-file: cannot read " +
        fs::canonical("s/c-no-expected-file").string() + "/expected/Log.txt" +
        ": No such file or directory\n"
        "FAIL d-script-is-a-folder: cannot read " +
        fs::canonical("s/d-script-is-a-folder").string() + "/scenario.scn" +
        ": not a regular file\n"
        "FAIL e-settings-are-a-pipe: cannot read " +
        fs::canonical("s/e-settings-are-a-pipe").string() + "/Config.cfg" +
        ": not a regular file\n"
        "FAIL f-faulty-script: scenario.scn:2: unknown command \"jump\" (tick, untick, type, turn, wait, "
        "expect, until, force, release)\n"
        "FAIL g-runaway: scenario.scn:1: stopped: the run took longer than its limit of 300 ms\n"
        "FAIL h-failed-expectations: scenario.scn:1: expected etat = \"3\", got \"ETAT_VEHICULE_ABSENT\" "
        "(and 1 "
        "more)\n"
        "    scenario.scn:1: expected etat = \"3\", got \"ETAT_VEHICULE_ABSENT\"\n"
        "    scenario.scn:3: expected CheckBox5.Checked = \"0\", got \"1\"\n"
        "PASS nested/deeper/i-earlier-journal\n"
        "scenarios: 2 passed, 7 failed\n";
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(errors.str(), "");
    EXPECT_EQ(filesUnder("s"), before);
    EXPECT_FALSE(fs::exists("Log.txt"));
}

TEST_F(Suite, ShardsAddUpToTheWholeInOrder) {
    for (const char* name : {"k", "b", "f", "a", "x/2", "x/1", "c"})
        scenario(fs::path("s") / name, std::string(name) == "f" ? "expect etat 1\n" : "turn\n");
    ASSERT_EQ(run({"--jobs", "3", "s"}), 1);
    const std::string whole = out.str();
    EXPECT_EQ(whole, "PASS a\nPASS b\nPASS c\nFAIL f: scenario.scn:1: expected etat = \"1\", got "
                     "\"ETAT_VEHICULE_ABSENT\"\nPASS k\nPASS x/1\nPASS x/2\nscenarios: 6 passed, 1 failed\n");
    std::string pieces;
    int total = 0;
    for (int k = 1; k <= 3; ++k) {
        run({"--shard", std::to_string(k) + "/3", "--jobs", "1", "s"});
        const std::string s = out.str();
        const auto tail = s.rfind("scenarios: ");
        pieces += s.substr(0, tail);
        int passed = 0, failed = 0;
        std::sscanf(s.c_str() + tail, "scenarios: %d passed, %d failed", &passed, &failed);
        EXPECT_GE(passed + failed, 2);
        total += passed + failed;
    }
    EXPECT_EQ(pieces, whole.substr(0, whole.rfind("scenarios: ")));
    EXPECT_EQ(total, 7);
    // More shards than scenarios: some slices are empty, none is lost.
    run({"--shard", "9/9", "s"});
    EXPECT_EQ(out.str(), "PASS x/2\nscenarios: 1 passed, 0 failed\n");
}

TEST_F(Suite, EachScenarioGetsItsWaveformNamedAfterItsPath) {
    scenario("s/one", "turn\n");
    scenario("s/two/three", "turn\n");
    EXPECT_EQ(run({"--vcd", "waves", "s", "s/one"}), 0) << errors.str();
    EXPECT_EQ(out.str(), "PASS one\nPASS two/three\nscenarios: 2 passed, 0 failed\n"); // s/one runs once
    EXPECT_TRUE(fs::is_regular_file("waves/one.vcd"));
    EXPECT_TRUE(fs::is_regular_file("waves/two/three.vcd"));
    // A scenario folder given itself is named after its folder.
    EXPECT_EQ(run({"s/two/three/"}), 0);
    EXPECT_EQ(out.str(), "PASS three\nscenarios: 1 passed, 0 failed\n");
    // Where nothing can be written, nothing runs.
    EXPECT_EQ(run({"--junit", "no/such/folder/report.xml", "s"}), 2);
    EXPECT_EQ(errors.str(),
              "borne-scenario: cannot write no/such/folder/report.xml: No such file or directory\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(Suite, FoldersWithFilesButNoScriptAreSaidNotFailed) {
    scenario("s/a", "turn\n");
    writeFile("s/kim/1-entry/scenario.scm", "turn\n");
    writeFile("s/kim/1-entry/Config.cfg", "mode=0\n");
    writeFile("s/only-hidden/.keep", "");
    writeFile("s/group/notes.txt", "x");
    scenario("s/group/b", "turn\n");
    EXPECT_EQ(run({"s"}), 0);
    EXPECT_EQ(out.str(), "PASS a\nPASS group/b\nskipped: s/kim/1-entry (no scenario.scn)\n"
                         "scenarios: 2 passed, 0 failed\n");
}

// A worker process that cannot be started is the bench's error, not the scenario's failure: fork is made
// to fail (EAGAIN, as at a process limit) by a seccomp filter in a child of the test.
TEST_F(Suite, AWorkerThatCannotBeStartedIsAnErrorOfTheBench) {
    scenario("s/a", "turn\n", &kOneTurnJournal);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sock_filter refuse[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAGAIN),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(refuse)), refuse};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(99);
        const int status = run({"s"});
        const std::string said = out.str() + errors.str();
        const bool sent = ::write(channel[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        ::_exit(sent ? status : 98);
    }
    ::close(channel[1]);
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 99) GTEST_SKIP() << "no seccomp filter can be set here to make fork fail";
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(said, "ERROR a: cannot start a worker process: Resource temporarily unavailable\n"
                    "scenarios: 0 passed, 0 failed, 1 error\n");
}

// Two PATHs holding the same relative path give two results, two JUnit cases and two waveforms; a name
// holding a line end cannot forge a result line.
TEST_F(Suite, ResultsFromSeveralPathsAreNamedFromEachPathAndNeverCollide) {
    scenario("x/s", "turn\n");
    scenario("y/s", "turn\n");
    scenario("z/s", "turn\n");
    scenario("y/a\nPASS forged", "expect etat 14\n");
    EXPECT_EQ(run({"--vcd", "waves", "--junit", "r.xml", "x", "y"}), 1) << errors.str();
    EXPECT_EQ(out.str(), "PASS x/s\nFAIL y/a\\x0APASS forged: scenario.scn:1: expected etat = \"14\", got "
                         "\"ETAT_VEHICULE_ABSENT\"\nPASS y/s\nscenarios: 2 passed, 1 failed\n");
    EXPECT_TRUE(fs::is_regular_file("waves/x/s.vcd"));
    EXPECT_TRUE(fs::is_regular_file("waves/y/s.vcd"));
    // Scenario folders given themselves, with the same own name: a number tells them apart.
    EXPECT_EQ(run({"--vcd", "waves2", "x/s", "z/s"}), 0) << errors.str();
    EXPECT_EQ(out.str(), "PASS s\nPASS s (2)\nscenarios: 2 passed, 0 failed\n");
    EXPECT_TRUE(fs::is_regular_file("waves2/s.vcd"));
    EXPECT_TRUE(fs::is_regular_file("waves2/s (2).vcd"));
}

namespace {
// Runs `f` as an unprivileged user when the tests run as root (who enters every folder), in a child
// whose standard output comes back as text; as anyone else, in a child all the same.
std::string asUnprivileged(const std::function<int()>& f, int& status) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        ::setenv("TMPDIR", "/tmp", 1); // scratch copies where anyone may write
        ::dup2(pipeEnds[1], 1);
        ::_exit(f());
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return text;
}
} // namespace

// A folder that can be listed but not entered, and a scenario folder deeper than the system's longest
// path, are reported by name and fail the suite: nothing is skipped without a word.
TEST_F(Suite, FoldersThatCannotBeSearchedAreReportedAndFailTheSuite) {
    scenario("s/a", "turn\n");
    scenario("s/locked/b", "turn\n");
    fs::permissions("s/locked", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder(), fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    int status = 0;
    const std::string text = asUnprivileged(
        [&] {
            const int r = run({"s"});
            std::cout << out.str() << std::flush;
            return r;
        },
        status);
    fs::permissions("s/locked", fs::perms::owner_all);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text.substr(0, text.find("\nscenarios")),
              "PASS a\nFAIL locked: cannot be searched (Permission denied): s/locked");

    // A chain of folders longer than PATH_MAX, made and then removed a step at a time.
    fs::remove_all("s/locked");
    const std::string step(200, 'd');
    fs::current_path("s");
    for (int i = 0; i < 25; ++i) {
        fs::create_directory(step);
        fs::current_path(step);
    }
    scenario(".", "turn\n");
    for (int i = 0; i < 25; ++i)
        fs::current_path("..");
    fs::current_path(folder());
    EXPECT_EQ(run({"s"}), 1);
    EXPECT_NE(out.str().find(": cannot be searched (File name too long): s/"), std::string::npos);
    EXPECT_EQ(out.str().substr(out.str().size() - 30), "scenarios: 1 passed, 1 failed\n");
    fs::current_path("s");
    for (int i = 0; i < 25; ++i)
        fs::current_path(step);
    for (const char* f : {"scenario.scn", "Config.cfg", "CHIP.INI"})
        fs::remove(f);
    for (int i = 0; i < 25; ++i) {
        fs::current_path("..");
        fs::remove(step);
    }
    fs::current_path(folder());
}
