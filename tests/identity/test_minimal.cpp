// A controller with the required members only (minimal.so: no turn observer, no working values): its
// coverage counts states and transitions as the terminal's own and says that rows are not told; the
// searches refuse it, saying why.
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/cli/Run.h"

#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using namespace borne;

namespace {

const fs::path kJourneys = fs::path(BORNE_SCENARIOS) / "journeys";

struct Ran {
    int status;
    std::string out, err;
};

Ran program(std::vector<std::string> arguments, const char* controller) {
    if (controller != nullptr) arguments.insert(arguments.begin(), {"--controller", controller});
    arguments.insert(arguments.begin(), "borne-scenario");
    std::istringstream in;
    std::ostringstream out, err;
    const int status = cli::run(arguments, in, out, err);
    return {status, out.str(), err.str()};
}

// The row counts of a summary, as a controller that tells none has them.
std::string withoutRows(const std::string& summary) {
    return std::regex_replace(summary, std::regex("rows [0-9]+ of [0-9]+"),
                              "rows not told by this controller");
}

// A section of coverage.json ("states", "transitions") as written for mode `mode`.
std::string section(const std::string& json, const std::string& name) {
    const auto start = json.find("\"" + name + "\": {");
    return start == std::string::npos ? "" : json.substr(start, json.find('}', start) - start);
}

class Minimal : public test::Sandbox {
protected:
    void SetUp() override {
        for (const char* name : {"Config.cfg", "CHIP.INI"})
            fs::copy_file(kJourneys / "entry-by-code" / name, name);
    }
};

} // namespace

TEST_F(Minimal, CoverageCountsStatesAndTransitionsAndSaysRowsAreNotTold) {
    const std::string script = (kJourneys / "entry-by-code/scenario.scn").string();
    const Ran terminal = program({"--coverage", "terminal", script}, nullptr);
    const Ran minimal = program({"--coverage", "minimal", script}, BORNE_MINIMAL);
    ASSERT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_EQ(minimal.status, 0) << minimal.err;
    EXPECT_EQ(minimal.out, std::regex_replace(withoutRows(terminal.out), std::regex("terminal"), "minimal"));

    const std::string text = test::readFile("minimal/coverage.txt");
    EXPECT_NE(text.find("Rows are not told by this controller"), std::string::npos);
    EXPECT_NE(text.find("\nrows: not told by this controller\n"), std::string::npos);
    EXPECT_EQ(text.find("not covered"), std::string::npos) << "no row is listed as if it had been counted";
    EXPECT_NE(text.find("-> 1 ETAT_ATTENTE_AUTORISATION"), std::string::npos);

    const std::string json = test::readFile("minimal/coverage.json");
    const std::string theirs = test::readFile("terminal/coverage.json");
    EXPECT_NE(json.find("\"rows\": \"not told by this controller\""), std::string::npos);
    EXPECT_EQ(json.find("\"1.1\""), std::string::npos);
    for (const char* name : {"states", "transitions"}) {
        EXPECT_NE(section(json, name), "");
        EXPECT_EQ(section(json, name), section(theirs, name)) << name;
    }
}

// The counts travel from the suite's workers to its report with the note.
TEST_F(Minimal, TheSuitesCoverageSaysRowsAreNotTold) {
    const std::vector<std::string> suite{"--suite", "--coverage", "cov", (kJourneys / "exit").string(),
                                         (kJourneys / "standalone").string()};
    const Ran terminal = program(suite, nullptr);
    const Ran minimal = program(suite, BORNE_MINIMAL);
    ASSERT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_EQ(minimal.status, 0) << minimal.err;
    const auto summary = [](const std::string& out) { return out.substr(out.find("coverage in")); };
    EXPECT_EQ(summary(minimal.out), withoutRows(summary(terminal.out)));
    EXPECT_NE(test::readFile("cov/coverage.txt").find("Rows are not told"), std::string::npos);
}

TEST_F(Minimal, EverySearchRefusesItAndSaysWhy) {
    const std::vector<std::vector<std::string>> searches{
        {"--reach", "ETAT_ALARME", "--within", "6"},
        {"--generate", "generated", "--within", "6"},
        {"--check", (fs::path(BORNE_EXAMPLES) / "keeps.rules").string(), "--explore", "--within", "6"}};
    for (const auto& search : searches) {
        const Ran r = program(search, BORNE_MINIMAL);
        EXPECT_EQ(r.status, 2) << search.front();
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("minimal.so: the controller does not describe its working values"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists("generated"));
        // The same search on the reference plug-in runs.
        EXPECT_NE(program(search, BORNE_REFERENCE).status, 2) << search.front();
        fs::remove_all("generated");
    }
}

// With its working values described but no rows told: a state is searched; a row, a transition and
// --generate, which aim at rows, are refused.
TEST_F(Minimal, WithoutRowsASearchReachesStatesOnly) {
    EXPECT_EQ(program({"--reach", "ETAT_ATTENTE_AUTORISATION", "--within", "4"}, BORNE_UNOBSERVED).status, 0);
    for (const std::vector<std::string>& search : std::vector<std::vector<std::string>>{
             {"--reach", "1.2"}, {"--reach", "0->1"}, {"--generate", "generated"}}) {
        const Ran r = program(search, BORNE_UNOBSERVED);
        EXPECT_EQ(r.status, 2) << search[1];
        EXPECT_NE(r.err.find("unobserved.so: the controller does not tell its rows"), std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists("generated"));
    }
}
