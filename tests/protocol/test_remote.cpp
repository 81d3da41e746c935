// A controller in a process of its own, as the bench sees it: small shell controllers speak the protocol
// on descriptor 3, well or with one mistake each, and the runner's messages say what became of them.
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/cli/Run.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace borne;

namespace {

// Speaks first, takes the welcome and the start; then the body runs.
const char* kPrelude = "#!/bin/sh\n"
                       "printf 'hello\\t1\\tshell\\t\\n' >&3\n"
                       "read -r w <&3\nread -r s <&3\n";

// Ready at once, then the body on each turn.
std::string onTurn(const std::string& body) {
    return std::string(kPrelude) + "printf 'new\\t1\\ttSystemeBarriere\\nready\\t0\\t0\\n' >&3\n" +
           "while read -r c <&3; do\n  [ \"$c\" = turn ] || exit 0\n" + body + "\ndone\n";
}

struct Ran {
    int status;
    std::string out, err;
};

class Remote : public test::Sandbox {
protected:
    std::string controller(const std::string& text) {
        const fs::path path = folder() / "controller.sh";
        std::ofstream(path) << text;
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }
    Ran run(const std::string& text, const std::string& script = "turn 2\n") {
        std::ofstream("run.scn") << script;
        std::ofstream("Config.cfg") << "mode=0\n";
        return bench({"--timeout", "1", "--controller", controller(text), "run.scn"});
    }
    static Ran bench(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "borne-scenario");
        std::istringstream in;
        std::ostringstream out, err;
        const int status = cli::run(arguments, in, out, err);
        return {status, out.str(), err.str()};
    }
};

} // namespace

TEST_F(Remote, AShellControllerActsOnTheBenchsPanelAndJournal) {
    const Ran r = run(std::string(kPrelude) +
                          "printf 'new\\t1\\ttSystemeBarriere\\nnew\\t2\\ttDebug\\tLog.txt\\nready\\t0\\t0\\n' >&3\n"
                          "while read -r c <&3; do\n  [ \"$c\" = turn ] || exit 0\n"
                          "  printf 'call\\t1\\tAfficher\\tcaf\\303\\251\\tx\\ncall\\t1\\tLirePositionVehicule\\n' >&3\n"
                          "  read -r p <&3\n"
                          "  printf 'call\\t2\\tNoterEtat\\t1\\ncall\\t2\\tNoterEvenement\\t2\\ncall\\t2\\tEcrire\\n' >&3\n"
                          "  printf 'wait\\t500\\n' >&3\n  read -r w <&3\n  printf 'done\\t1\\t0\\n' >&3\ndone\n",
                      "tick CheckBox1\nturn\nexpect Edit1.Text caf\xC3\xA9\nexpect etat 1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(test::readFile("Log.txt").find("ETAT_ATTENTE_AUTORISATION"), std::string::npos)
        << test::readFile("Log.txt");
}

// Each mistake ends the session, said once on the script's line with the controller's name and the turn.
TEST_F(Remote, EachMistakeIsTheControllersFaultInOneLine) {
    const struct {
        const char* mistake;
        std::string text;
        const char* said;
    } cases[] = {
        {"unknown request", onTurn("printf 'bogus\\n' >&3; sleep 5"),
         "broke the protocol at line 4 of its session: unknown request \"bogus\" in turn 1"},
        {"wait out of range", onTurn("printf 'wait\\t70000\\n' >&3; sleep 5"), "70000 is out of range (0 to 60000)"},
        {"file name with a folder", onTurn("printf 'new\\t2\\ttDebug\\t../Log.txt\\n' >&3; sleep 5"),
         "\"../Log.txt\" is not a plain file name"},
        {"hidden file name", onTurn("printf 'new\\t2\\ttConfiguration\\t.x\\tCHIP.INI\\n' >&3; sleep 5"),
         "\".x\" is not a plain file name"},
        {"no such object", onTurn("printf 'call\\t9\\tAfficher\\ta\\tb\\n' >&3; sleep 5"), "no object 9"},
        {"no such operation", onTurn("printf 'call\\t1\\tVoler\\n' >&3; sleep 5"),
         "tSystemeBarriere has no operation \"Voler\""},
        {"wrong arguments", onTurn("printf 'call\\t1\\tAfficher\\tseul\\n' >&3; sleep 5"), "Afficher takes 2 arguments"},
        {"invalid UTF-8", onTurn("printf 'call\\t1\\tAfficher\\t\\351\\tx\\n' >&3; sleep 5"), "invalid UTF-8"},
        {"a line too long", onTurn("head -c 5000 /dev/zero | tr '\\0' x >&3; sleep 5"),
         "a line longer than 4096 bytes"},
        {"rows without the feature", onTurn("printf 'row\\t0\\t1\\n' >&3; sleep 5"), "row without the rows feature"},
        {"an answer nobody asked", onTurn("printf 'ready\\t0\\t0\\n' >&3; sleep 5"), "unknown request \"ready\""},
        {"its own error", onTurn("printf 'error\\tdivided by zero\\n' >&3; sleep 5"), "failed: divided by zero in turn 1"},
        {"exit in a turn", onTurn("exit 3"), "ended the process (exit status 3) in turn 1"},
        {"crash in a turn", onTurn("echo about to fail; kill -SEGV $$"), "crashed with SIGSEGV: about to fail in turn 1"},
        {"silence", onTurn("sleep 30"), "did not end its turn within the limit of 1 s in turn 1"},
        {"a drip", onTurn("while :; do printf 'call\\t1\\tArreterMoteur\\n' >&3; sleep 0.2; done"),
         "did not end its turn within the limit of 1 s in turn 1"},
        {"endless requests", onTurn("while :; do printf 'call\\t1\\tArreterMoteur\\n'; done >&3"),
         "made more than 100000 requests in one turn"},
        {"no ready", std::string(kPrelude) + "printf 'done\\t0\\t0\\n' >&3; sleep 5", "during start-up"},
        {"an answer taken that was not given ahead", onTurn("printf 'took\\t1\\tLireClavier\\n' >&3; sleep 5"),
         "took an answer the bench did not give ahead in turn 1"},
        // Given ahead the key ticked, it reads the keypad itself (which unticks the key), then takes it.
        {"an answer ahead taken after it changed",
         "#!/bin/sh\nprintf 'hello\\t1\\tshell\\tahead\\n' >&3\nread -r w <&3\nread -r s <&3\n"
         "printf 'new\\t1\\ttSystemeBarriere\\nready\\t0\\t0\\n' >&3\n"
         "while read -r c <&3; do case \"$c\" in ahead*) ;; turn) printf 'call\\t1\\tLireClavier\\n' >&3; "
         "read -r a <&3; printf 'took\\t1\\tLireClavier\\n' >&3; sleep 5;; *) exit 0;; esac; done\n",
         "took the answer given ahead for LireClavier after it changed (now \"255\") in turn 1"},
    };
    for (const auto& c : cases) {
        const Ran r = run(c.text, "tick CheckBox18\nturn 2\n");
        EXPECT_EQ(r.status, 1) << c.mistake << '\n' << r.err;
        EXPECT_NE(r.err.find("the controller controller.sh "), std::string::npos) << c.mistake << '\n' << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.mistake << '\n' << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.mistake << '\n' << r.err;
    }
}

// Before it has said hello, a controller is refused as it loads: nothing has run.
TEST_F(Remote, AControllerThatCannotSayHelloIsRefusedAtLoad) {
    const struct {
        const char* mistake;
        std::string text;
        const char* said;
    } cases[] = {
        {"another version", "#!/bin/sh\nprintf 'hello\\t2\\tx\\t\\n' >&3; sleep 5",
         "speaks version 2 of the protocol; the bench speaks 1"},
        {"an unknown feature", "#!/bin/sh\nprintf 'hello\\t1\\tx\\tteleport\\n' >&3; sleep 5",
         "unknown feature \"teleport\""},
        {"something else first", "#!/bin/sh\nprintf 'turn\\n' >&3; sleep 5", "the first line must be hello"},
        {"exit at once", "#!/bin/sh\nexit 4", "ended the process (exit status 4)"},
        {"its own error", "#!/bin/sh\nprintf 'error\\tno module named borne\\n' >&3", "failed: no module named borne"},
    };
    for (const auto& c : cases) {
        const Ran r = run(c.text);
        EXPECT_EQ(r.status, 2) << c.mistake << '\n' << r.err;
        EXPECT_NE(r.err.find("borne-scenario: --controller "), std::string::npos) << c.mistake << '\n' << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.mistake << '\n' << r.err;
    }
}

// A class's controller runs in a fresh process for every folder: one that counts its start-ups in a static
// passes every journey, with the same report whatever --jobs is (in one process it fails from its second
// folder on).
TEST_F(Remote, AClassControllerStartsAfreshForEveryFolder) {
    std::string first;
    for (const char* jobs : {"1", "2", "4"}) {
        const Ran r = bench({"--suite", "--jobs", jobs, BORNE_SCENARIOS "/journeys", "--controllers", BORNE_COUNTING});
        EXPECT_EQ(r.status, 0) << jobs << '\n' << r.out << r.err;
        if (first.empty())
            first = r.out;
        else
            EXPECT_EQ(r.out, first) << jobs;
    }
    EXPECT_NE(first.find("22 passed, 0 failed"), std::string::npos) << first;
}

// A plug-in built against other headers is refused naming both fingerprints, in process and hosted.
TEST_F(Remote, APlugInBuiltAgainstOtherHeadersIsRefused) {
    std::ofstream("run.scn") << "turn\n";
    const Ran inProcess = bench({"--controller", BORNE_STALE, "run.scn"});
    std::filesystem::create_directory("one");
    std::ofstream("one/scenario.scn") << "turn\n";
    const Ran hosted = bench({"--suite", "one", "--controllers", BORNE_STALE});
    // Refused before anything runs for one's own; in a class, that controller's pairs fail and it goes on.
    EXPECT_EQ(inProcess.status, 2) << inProcess.err;
    EXPECT_EQ(hosted.status, 1) << hosted.err;
    for (const std::string& said : {inProcess.err, hosted.out})
        EXPECT_NE(said.find("built against the controller interface 0123456789ab; this borne's is "),
                  std::string::npos)
            << said;
}

// borne-host gives a plug-in the terminal's classes and nothing else: one that reaches the panel itself
// does not load, and the symbol it lacks is named.
TEST_F(Remote, AHostedPlugInThatReachesThePanelDoesNotLoad) {
    std::filesystem::create_directory("one");
    std::ofstream("one/scenario.scn") << "turn\n";
    const Ran r = bench({"--suite", "one", "--controllers", BORNE_PANEL});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("panel.so failed: does not load: "), std::string::npos) << r.out;
    // The loader names the first panel symbol it misses: the panel itself, or one of its controls' writes
    // (which one depends on the build's binding order).
    const bool named = r.out.find("undefined symbol: borne::panneau()") != std::string::npos ||
                       r.out.find("undefined symbol: borne::Edition::") != std::string::npos;
    EXPECT_TRUE(named) << r.out;
}

// A class's plug-in is never loaded into the bench: one that ends the process loading it ends only
// borne-host's, and fails its pairs by name (loaded in the bench, it would end the run silently, exit 0).
TEST_F(Remote, AClassPlugInIsNeverLoadedIntoTheBench) {
    std::filesystem::create_directory("one");
    std::ofstream("one/scenario.scn") << "turn\n";
    const Ran r = bench({"--suite", "one", "--controllers", BORNE_EXITING});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("exiting.so ended the process (exit status 0)"), std::string::npos) << r.out;
}
