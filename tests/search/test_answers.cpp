// The search's answers stay what they were when every situation was replayed from start-up: answers.txt
// holds, for each example's settings, the exit status and a digest of everything --check --explore,
// --generate and --reach print or write (journeys, counts, scenario folders), within 16 turns.
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/search/Commands.h"
#include "tools/search/Explorer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace borne;
namespace fs = std::filesystem;

namespace {

constexpr int kWithin = 16;

std::uint64_t digest(std::string_view bytes, std::uint64_t h = 0xcbf29ce484222325u) {
    for (const char c : bytes)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return h;
}

class Answers : public test::Sandbox, public ::testing::WithParamInterface<const char*> {};

TEST_P(Answers, AreTheRecordedOnes) {
    const fs::path examples = BORNE_EXAMPLES;
    for (const auto& f : fs::directory_iterator(examples / GetParam()))
        fs::copy_file(f.path(), f.path().filename());
    fs::copy_file(examples / "safety.rules", "safety.rules");
    std::ifstream recorded(fs::path(BORNE_ANSWERS));
    ASSERT_TRUE(recorded) << BORNE_ANSWERS;
    search::SearchSettings o;
    o.maxTurns = kWithin;
    int cases = 0;
    for (std::string folder, command, argument, status, hash;
         recorded >> folder >> command >> argument >> status >> hash;) {
        if (folder != GetParam()) continue;
        ++cases;
        std::ostringstream out, err;
        int got = 2;
        if (command == "explore") got = search::explore(o, argument, out, err);
        if (command == "generate") got = search::generate(o, argument, out, err);
        if (command == "reach") got = search::reach(o, argument, out, err);
        std::uint64_t h = digest(out.str() + '\0' + err.str());
        if (command == "generate") {
            std::vector<std::string> files;
            for (const auto& e : fs::recursive_directory_iterator(argument))
                if (e.is_regular_file()) files.push_back(fs::relative(e.path(), argument).generic_string());
            std::sort(files.begin(), files.end());
            for (const std::string& name : files)
                h = digest(name + "\n" + test::readFile(fs::path(argument) / name), h);
        }
        char line[32];
        std::snprintf(line, sizeof line, "%016" PRIx64, h);
        EXPECT_EQ(std::to_string(got) + " " + line, status + " " + hash)
            << command << " " << argument << " in " << GetParam() << ":\n"
            << out.str() << err.str();
    }
    EXPECT_GT(cases, 50) << "answers.txt has lost this example's answers";
}

INSTANTIATE_TEST_SUITE_P(Examples, Answers,
                         ::testing::Values("supervised", "standalone", "out-of-service",
                                           "out-of-service-raised", "test-mode"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

// The replay that stays for a controller whose values cannot be restored learns the same graph.
TEST_F(Answers, ReplayingEverySituationFindsWhatRestoringFinds) {
    for (const auto& f : fs::directory_iterator(fs::path(BORNE_EXAMPLES) / "supervised"))
        fs::copy_file(f.path(), f.path().filename());
    std::vector<search::Journey> journeys[2];
    for (const bool restoring : {false, true}) {
        search::Replay replay(".");
        search::Explorer ex(replay, {}, false);
        ex.restoring = restoring;
        ex.run(9, 9);
        EXPECT_EQ(ex.restores() > 0, restoring);
        for (int n = 0; n < ex.situations(); ++n)
            journeys[restoring].push_back(ex.journeyTo(n));
    }
    EXPECT_EQ(journeys[0], journeys[1]);
}

} // namespace
