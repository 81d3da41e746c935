// borne-scenario's one command line: the runner's options and the search's are read together, and what
// is refused is said with the same words whichever command the line asks for, before anything runs.
#include "tests/support/Sandbox.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/Run.h"
#include "tools/rules/Target.h"

#include <filesystem>
#include <sstream>

using namespace borne;

namespace {

struct Case {
    std::vector<std::string> arguments;
    std::string firstLine; // of standard error
    char usage;            // what follows: '-' nothing, 'a' the whole usage, 's' the searches' part
};

class CommandLine : public test::Sandbox {};

} // namespace

TEST_F(CommandLine, RefusalsNameTheirFirstProblemWhicheverCommandIsAsked) {
    const std::string forms = search::kTargetForms;
    const std::vector<Case> cases = {
        // A search option without its value, or --within out of range: refused whatever else is asked.
        {{"--suite", "j", "--within", "0"}, "--within needs a number of turns from 1 to 9999", '-'},
        {{"--bogus", "--within", "10000"}, "--within needs a number of turns from 1 to 9999", '-'},
        {{"--help", "--reach"}, "--reach needs a TARGET: " + forms, '-'},
        {{"--suite", "--generate"}, "--generate needs a folder", '-'},
        {{"a.scn", "--controller"}, "--controller needs a value", '-'},
        {{"--check", "r", "--explore", "--save"}, "--save needs a folder", '-'},
        // Search options without a search are unknown to the runner, in their place on the line.
        {{"--within", "3", "--bogus"}, "unknown option \"--within\"", 'a'},
        {{"--bogus", "--save", "x"}, "unknown option \"--bogus\"", 'a'},
        {{"--check"}, "--check needs a value", 'a'},
        // A search takes no runner option, script or folder: the first one is named.
        {{"--reach", "S3", "--timeout", "5"}, "unexpected --timeout (a search takes no script)", 's'},
        {{"-C", ".", "--reach", "S3"}, "unexpected -C (a search takes no script)", 's'},
        {{"--reach", "S3", "a.scn", "--help"}, "unexpected a.scn (a search takes no script)", 's'},
        {{"--reach", "S3", "--generate", "g"},
         "one search at a time (--check RULES goes with --explore, or with a script)",
         's'},
        {{"--reach", "S3", "--check", "r"},
         "one search at a time (--check RULES goes with --explore, or with a script)",
         's'},
        {{"--explore"}, "--explore goes with --check RULES", 's'},
        {{"--reach", "S3", "--save", "x"}, "--save goes with --check RULES --explore", 's'},
        {{"--explore", "--check"}, "--check needs a RULES file", '-'},
        // A report is of a run of many folders.
        {{"a.scn", "--report", "r"},
         "--report does not go with a script (it goes with --suite, --suite --controllers or --grade)",
         'a'},
        {{"--bless", "x", "--report", "r"},
         "--report does not go with --bless (it goes with --suite, --suite --controllers or --grade)",
         'a'},
        {{"--tidy", "a.scn", "--report", "r"},
         "--report does not go with --tidy (it goes with --suite, --suite --controllers or --grade)",
         'a'},
        {{"--suite", "x", "--report"}, "--report needs a value", 'a'},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "borne-scenario");
        std::istringstream in;
        std::ostringstream out, err;
        const std::string line = c.arguments.front() + " ... " + c.arguments.back();
        EXPECT_EQ(cli::run(arguments, in, out, err), 2) << line;
        const std::string said = err.str();
        EXPECT_EQ(said.substr(0, said.find('\n')), "borne-scenario: " + c.firstLine) << line;
        // A refused search repeats the searches' part of the usage, a refused run all of it.
        const std::string rest = said.substr(said.find('\n') + 1);
        const std::string expected = c.usage == 'a'   ? std::string(cli::kUsage)
                                     : c.usage == 's' ? "usage:\n" + std::string(cli::kSearchUsage)
                                                      : "";
        EXPECT_EQ(rest, expected) << line;
        EXPECT_EQ(out.str(), "") << line;
        EXPECT_FALSE(std::filesystem::exists("Log.txt")) << line;
    }
}
