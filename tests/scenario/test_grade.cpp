// Grading and blessing where the input is bad: nothing blocks, nothing is lost, each fault is said. The
// lab graded as a teacher does it is tests/grading/transcript.md.
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/cli/Run.h"
#include "tools/files/Csv.h"
#include "tools/scenario/Bless.h"
#include "tools/scenario/Grade.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace borne;
using namespace borne::scenario;
namespace fs = std::filesystem;

namespace {

class Lab : public test::Sandbox {
protected:
    static void write(const fs::path& file, const std::string& content) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "borne-scenario");
        std::istringstream in;
        out.str("");
        err.str("");
        return cli::run(arguments, in, out, err);
    }
    std::ostringstream out, err;
};

} // namespace

TEST(ChangedLines, EachLineChangedAddedOrRemovedCountsOnce) {
    const struct {
        const char* before;
        const char* after;
        std::size_t changed;
    } rows[] = {
        {"", "", 0},
        {"a\nb\n", "a\nb\n", 0},
        {"a\nb\nc\n", "a\nx\nc\n", 1},
        {"a\nc\n", "a\nb\nc\n", 1},
        {"a\nb\nc\n", "a\nc\n", 1},
        {"a\nb\nc\nd\ne\n", "x\nb\nc\nd\ny\n", 2},
        {"", "a\nb\nc\n", 3},
        {"a\nb", "a\nb\n", 1}, // the last line gains its end of line
        {"a\nb\na\nb\n", "b\na\nb\na\n", 1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(changedLines(r.before, r.after), r.changed) << r.before << "->" << r.after;
}

TEST(CsvCell, QuotedWhenItHoldsACommaAQuoteOrALineBreakAndNeverAFormula) {
    const struct {
        const char* text;
        const char* cell;
    } rows[] = {
        {"", ""},
        {"Log.txt line 4 differs", "Log.txt line 4 differs"},
        {"a,b", "\"a,b\""},
        {"got \"OFF\"", "\"got \"\"OFF\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        // What a spreadsheet would run is kept as text; the same bytes further in are left alone.
        {"=1+2", "'=1+2"},
        {"+1", "'+1"},
        {"-x", "'-x"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"=HYPERLINK(\"a\",\"b\")", "\"'=HYPERLINK(\"\"a\"\",\"\"b\"\")\""},
        {"1=1-1", "1=1-1"},
        {"'=x", "'=x"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(files::csvCell(r.text), r.cell) << r.text;
}

TEST_F(Lab, GradingRefusesWhatItCannotUseAndNeverBlocksOnAStudentsFile) {
    write("lab/1-entry/Config.cfg", "mode=0\n");
    write("lab/1-entry/scenario.scn", "turn\n"); // the teacher's: it makes the folder an exercise
    write("lab/2-exit/Config.cfg", "mode=0\n");
    write("lab/2-exit/scenario.scn", "turn\n");
    write("subs/ann/1-entry.scn", "turn\nexpect etat 0\n");
    ASSERT_EQ(::mkfifo("subs/ann/2-exit.scn", 0644), 0); // a pipe nobody writes to
    EXPECT_EQ(run({"--grade", "lab", "subs"}), 1);
    EXPECT_EQ(out.str(), "PASS ann/1-entry\n"
                         "ERROR ann/2-exit: cannot read subs/ann/2-exit.scn: not a regular file\n"
                         "ann: 1 of 2 exercises, 1 of 1 expectations\n");

    fs::create_directories("empty");
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } refusals[] = {
        {{"--grade", "lab", "nowhere"},
         "borne-scenario: nowhere is not a folder (the submissions: one folder per student)\n"},
        {{"--grade", "subs/ann/1-entry.scn", "subs"},
         "borne-scenario: subs/ann/1-entry.scn is not a folder (the lab: one folder per exercise)\n"},
        {{"--grade", "empty", "subs"}, "borne-scenario: no exercise folder in empty\n"},
        {{"--grade", "lab", "empty"}, "borne-scenario: no student folder in empty\n"},
        {{"--grade", "lab", "subs", "--grades", "no/such/grades.csv"},
         "borne-scenario: cannot write no/such/grades.csv: No such file or directory\n"},
    };
    for (const auto& r : refusals) {
        EXPECT_EQ(run(r.arguments), 2) << r.error;
        EXPECT_EQ(err.str(), r.error);
        EXPECT_EQ(out.str(), "");
    }
    for (const std::vector<std::string>& usage :
         {std::vector<std::string>{"--grade", "lab"},
          {"--grade", "lab", "subs", "--vcd", "w"},
          {"--suite", "--grades", "g.csv", "lab"},
          {"--suite", "--gradebook", "g.csv", "lab"},
          {"--bless", "--require-expect", "lab"},
          {"--grade", "lab", "subs", "--shard", "3/2"},
          {"--grade", "lab", "subs", "--shard", "1/2", "--gradescope", "r"},
          {"--grade", "--bless", "lab", "subs"}}) {
        EXPECT_EQ(run(usage), 2);
        EXPECT_NE(err.str().find("usage: borne-scenario"), std::string::npos) << err.str();
    }
}

TEST_F(Lab, BlessingAFolderItCannotWriteLeavesItAsItWas) {
    write("s/expected-is-a-file/scenario.scn", "turn\n");
    write("s/expected-is-a-file/expected", "kept\n");
    write("s/journal-is-a-folder/scenario.scn", "turn\n");
    fs::create_directories("s/journal-is-a-folder/expected/Log.txt");
    write("s/runs/scenario.scn", "turn\n");
    write("s/runs/Config.cfg", "mode=0\n");
    EXPECT_EQ(run({"--bless", "s"}), 1);
    const std::string root = fs::canonical("s").string();
    EXPECT_EQ(out.str(), "expected-is-a-file: not blessed: cannot write " + root +
                             "/expected-is-a-file/expected/Log.txt: Not a directory\n"
                             "journal-is-a-folder: not blessed: cannot read " +
                             root +
                             "/journal-is-a-folder/expected/Log.txt: not a regular file\n"
                             "runs: new\n"
                             "blessed: 1 new, 0 changed, 0 same; 2 not blessed\n");
    EXPECT_EQ(test::readFile("s/expected-is-a-file/expected"), "kept\n");
    EXPECT_TRUE(fs::is_directory("s/journal-is-a-folder/expected/Log.txt"));
    const char line[] = "EtatCourant = \0ETAT_VEHICULE_ABSENT;      Evenement = \0VEHICULE_ABSENT;\n";
    EXPECT_EQ(test::readFile("s/runs/expected/Log.txt"), std::string(line, sizeof line - 1));
}
