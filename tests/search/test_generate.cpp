// --generate: the suite it writes passes as a suite, and its scenarios together reach every row that the
// generator did not list as unreachable in the mode.
#include "tests/search/Through.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/scenario/Suite.h"
#include "tools/search/Commands.h"
#include "tools/search/Journeys.h"

#include "control/TableEtats.h"

#include <fstream>

using namespace borne;
namespace fs = std::filesystem;

namespace {

class Generate : public test::Sandbox {
protected:
    int generate(const std::string& dir) {
        search::SearchSettings o;
        out.str("");
        err.str("");
        return search::generate(o, dir, out, err);
    }
    std::ostringstream out, err;
};

} // namespace

TEST_F(Generate, TheSuiteCoversEveryRowItDoesNotListAsUnreachable) {
    std::ofstream("Config.cfg") << "mode=4\ncode=6082\n";
    ASSERT_EQ(generate("suite"), 0) << err.str();

    // The rows listed as unreachable, each with its reason in the standalone mode.
    std::set<std::string> unreachable;
    std::istringstream report(out.str());
    for (std::string line; std::getline(report, line);)
        if (line.rfind("  ", 0) == 0) unreachable.insert(line.substr(2, line.find(' ', 2) - 2));
    EXPECT_TRUE(unreachable.count("4.2") && unreachable.count("11.1") && unreachable.count("3.6"))
        << out.str();
    EXPECT_NE(out.str().find("  0.2  the standalone terminal never sees the car park full"),
              std::string::npos);

    std::set<std::string> reached;
    for (const auto& entry : fs::directory_iterator("suite")) {
        ASSERT_TRUE(fs::exists(entry.path() / "expected" / "Log.txt"));
        const test::Through run(test::readFile(entry.path() / "scenario.scn"));
        EXPECT_TRUE(run.result.ok()) << entry.path() << run.messages.str();
        for (const auto& [state, rank] : run.rows)
            reached.insert(std::to_string(state) + "." + std::to_string(rank));
    }
    for (int r = 0; r < NB_LIGNES_TABLE; ++r) {
        const std::string row = search::rowName(r);
        EXPECT_NE(reached.count(row), unreachable.count(row)) << row;
    }

    // As a suite: each scenario in its own folder, its journal byte for byte.
    scenario::SuiteSettings s;
    s.paths = {"suite"};
    s.jobs = 1;
    std::ostringstream suiteOut, suiteErr;
    EXPECT_EQ(scenario::runSuite(s, suiteOut, suiteErr), 0) << suiteOut.str() << suiteErr.str();
}

TEST_F(Generate, AFolderThatCannotTakeTheSuiteIsRefusedBeforeTheSearch) {
    std::ofstream("Config.cfg") << "mode=4\n";
    std::ofstream("file") << "x";
    EXPECT_EQ(generate("file"), 2);
    EXPECT_NE(err.str().find("file exists and is not an empty folder"), std::string::npos) << err.str();
    fs::create_directory("full");
    std::ofstream("full/other") << "x";
    EXPECT_EQ(generate("full"), 2);
    EXPECT_EQ(generate("file/sub"), 2);
    EXPECT_NE(err.str().find("cannot write into file/sub"), std::string::npos) << err.str();
}
