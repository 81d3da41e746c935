// Counts that travel between processes, and the coverage folder: what is written, where, and what a
// missing or broken Graphviz does to it.
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/cli/Run.h"
#include "tools/coverage/Report.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace borne::coverage;
namespace fs = std::filesystem;

namespace {

// A run of mode 0: one turn from 0 to 1, one stopped inside its step, and mode 3 built but never
// turned; and a report that names no row.
Coverage sample() {
    Coverage c;
    c.setMode(3);
    c.setMode(MODE_SUPERVISE);
    c.debutTour(ETAT_VEHICULE_ABSENT);
    c.ligne(0, 1);
    c.ligne(0, 5);
    c.ligne(0, 8);
    c.finDecision(ETAT_ATTENTE_AUTORISATION);
    c.debutTour(ETAT_ATTENTE_AUTORISATION);
    c.ligne(1, 2); // the run ends here, inside the turn
    return c;
}

std::size_t count(const std::string& in, const std::string& what) {
    std::size_t n = 0;
    for (auto i = in.find(what); i != std::string::npos; i = in.find(what, i + 1))
        ++n;
    return n;
}

std::set<std::string> entries(const fs::path& dir) {
    std::set<std::string> r;
    for (const auto& e : fs::directory_iterator(dir))
        r.insert(e.path().filename().string());
    return r;
}

// PATH set for one test and put back after it.
class Path {
public:
    explicit Path(const std::string& value) : old_(std::getenv("PATH") ? std::getenv("PATH") : "") {
        setenv("PATH", value.c_str(), 1);
    }
    ~Path() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

} // namespace

TEST(Counts, SerialisedCountsMergeAsIfCountedInOneProcess) {
    const Coverage a = sample();
    EXPECT_EQ(a.ignored(), 1u);
    std::string error;
    auto parsed = Coverage::parse(a.serialise(), error);
    ASSERT_TRUE(parsed) << error;
    parsed->merge(a);
    EXPECT_TRUE(parsed->ran(3));
    EXPECT_FALSE(parsed->ran(1));
    EXPECT_EQ(parsed->counts(MODE_SUPERVISE).transitions[0][1], 2u);
    EXPECT_EQ(parsed->counts(MODE_SUPERVISE).rows[*rowIndex(1, 2)], 2u);
    EXPECT_EQ(parsed->total().states[1], 2u);
    EXPECT_EQ(parsed->total().rowsCovered(), 3);
    EXPECT_EQ(parsed->ignored(), 2u);
}

TEST(Counts, AnythingButARecordIsRefusedWithItsLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "line 0: empty coverage record"},
        {"borne-coverage 2\n", "line 1: not a coverage record"},
        {"borne-coverage 1\nstate 0 1\n", "line 2: a count before any mode"},
        {"borne-coverage 1\nmode 5\n", "line 2: unreadable line"},
        {"borne-coverage 1\nmode 0\nrow 2.9 1\n", "line 3: unreadable line"},
        {"borne-coverage 1\nmode 0\ntransition 0 18 1\n", "line 3: unreadable line"},
        {"borne-coverage 1\nmode 0\nstate 0 99999999999999999999\n", "line 3: unreadable line"},
        {"borne-coverage 1\nmode 0\nrow 2.3 1", "line 3: unterminated line"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Coverage::parse(c.text, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

using Folder = borne::test::Sandbox;

// Every state and row of each mode that ran, even at 0; the graph renders with one node per state and
// one edge per allowed transition, all dashed but the one taken.
TEST_F(Folder, TheFilesListEveryRowAndStateAndTheGraphRenders) {
    std::ostringstream messages;
    ASSERT_TRUE(writeReport(folder().string(), sample(), messages)) << messages.str();
    const std::string json = borne::test::readFile("coverage.json");
    EXPECT_EQ(count(json, "\"14.3\": 0"), 3u); // modes 0 and 3, and the total
    EXPECT_EQ(count(json, "\"ETAT_MODE_TEST\": 0"), 3u);
    EXPECT_EQ(count(json, "\"0.5\": 1"), 2u);
    EXPECT_EQ(count(json, "\"ETAT_VEHICULE_ABSENT -> ETAT_ATTENTE_AUTORISATION\": 1"), 2u);
    EXPECT_EQ(count(json, "\"ETAT_MODE_TEST -> ETAT_ALARME\": 0"), 3u);
    EXPECT_EQ(json.find("\"1\": {"), std::string::npos); // mode 1 never ran

    const std::string text = borne::test::readFile("coverage.txt");
    const auto row02 = text.find("   0.2   pos 0, car park full  ");
    ASSERT_NE(row02, std::string::npos);
    EXPECT_EQ(text.substr(text.find('\n', row02) - 17, 17), "0  <- not covered");
    EXPECT_NE(text.find("rows: 3 of 53\ntransitions: 1 of 66 that the table allows\nstates: 2 of 18\n"),
              std::string::npos);
    // Each allowed transition is labelled with the rows that take it, its count after them when taken.
    const std::string dot = borne::test::readFile("states.dot");
    for (const char* edge :
         {"  s0 -> s1 [label=\"0.5\\n1\"];\n", "  s1 -> s1 [label=\"1.2 1.3\", style=dashed",
          "  s5 -> s5 [label=\"otherwise\", style=dashed", "  s15 -> s11 [label=\"alarm\", style=dashed"})
        EXPECT_NE(dot.find(edge), std::string::npos) << edge;

    if (std::system("command -v dot >/dev/null 2>&1") != 0) GTEST_SKIP() << "Graphviz's dot is not installed";
    EXPECT_EQ(messages.str(), "");
    const std::string svg = borne::test::readFile("states.svg");
    EXPECT_EQ(count(svg, "class=\"node\""), static_cast<std::size_t>(NB_ETATS));
    EXPECT_EQ(count(svg, "class=\"edge\""), static_cast<std::size_t>(allowedCount()));
    EXPECT_EQ(count(svg, "stroke-dasharray"), static_cast<std::size_t>(allowedCount() - 1));
}

// Without a working dot the text files are complete, no picture is left, and the message says why.
TEST_F(Folder, AMissingOrFailingDotIsToldAndLeavesNoPicture) {
    fs::create_directory("broken");
    std::ofstream("broken/dot") << "#!/bin/sh\necho 'syntax error in line 3' >&2\nexit 3\n";
    fs::permissions("broken/dot", fs::perms::owner_all);
    const struct {
        const char* path;
        const char* said;
    } cases[] = {{"nothing", "(on Debian: apt-get install graphviz)"},
                 {"broken", "failed with exit status 3; the other files are complete\n"
                            "dot said: syntax error in line 3\n"}};
    for (const auto& c : cases) {
        const Path path((folder() / c.path).string());
        const std::string dir = "cov-" + std::string(c.path);
        fs::create_directory(dir);
        std::ostringstream messages;
        EXPECT_TRUE(writeReport(dir, sample(), messages));
        EXPECT_EQ(count(messages.str(), c.said), 1u) << messages.str();
        EXPECT_EQ(entries(dir), (std::set<std::string>{"coverage.json", "coverage.txt", "states.dot"}));
    }
}

// borne-scenario --coverage on one script: the counts of the run in the folder and a summary after it;
// a folder that cannot take them is refused before the terminal starts. The script ends while the boom
// rises for an exit: that last turn counts its state and the row reached, not a transition.
TEST_F(Folder, TheRunnerWritesTheRunsCoverageOrRefusesABadFolder) {
    std::ofstream("Config.cfg") << "mode=0\n";
    std::ofstream("CHIP.INI") << "ADDRESS=12\n";
    std::ofstream("scenario.scn") << "tick CheckBox2\nturn\nwait 1000\n"; // the folder is a scenario too
    std::ofstream("file") << "x";
    auto run = [](std::vector<std::string> arguments, std::string& out, std::string& err) {
        arguments.insert(arguments.begin(), "borne-scenario");
        std::istringstream in;
        std::ostringstream o, e;
        const int rc = borne::cli::run(arguments, in, o, e);
        out = o.str();
        err = e.str();
        return rc;
    };
    std::string out, err;
    const struct {
        std::vector<std::string> arguments;
        const char* said;
    } refused[] = {
        {{"--coverage", "file/cov", "scenario.scn"}, "cannot create file/cov: Not a directory"},
        {{"--coverage", "missing/cov", "scenario.scn"},
         "cannot create missing/cov: No such file or directory"},
        {{"--suite", "--coverage", "file", "."}, "file exists and is not a folder"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(run(r.arguments, out, err), 2);
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "borne-scenario: --coverage: " + std::string(r.said) + "\n");
        EXPECT_FALSE(fs::exists("Log.txt"));
    }

    EXPECT_EQ(run({"--coverage", "cov", "scenario.scn"}, out, err), 0) << err;
    EXPECT_EQ(out, "coverage in cov:\n"
                   "  mode 0 (MODE_SUPERVISE): rows 3 of 53, transitions 1 of 66, states 2 of 18\n"
                   "  total: rows 3 of 53, transitions 1 of 66, states 2 of 18\n"
                   "expectations: 0 passed, 0 failed\n");
    const std::string json = borne::test::readFile("cov/coverage.json");
    EXPECT_EQ(count(json, "\"10.1\": 1"), 2u);
    EXPECT_EQ(count(json, "\"ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT\": 1"), 2u);
    EXPECT_EQ(count(json, "\"ETAT_VEHICULE_ABSENT -> ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT\": 1"), 2u);
    EXPECT_EQ(entries(folder()),
              (std::set<std::string>{"CHIP.INI", "Config.cfg", "Log.txt", "cov", "scenario.scn", "file"}));
}
