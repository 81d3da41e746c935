// The program in-process: usage, refusal of a faulty script before anything runs, the trace, the check
// of expectations against what the terminal shows, failure lines, and output that cannot be written.
#include "tests/support/Sandbox.h"
#include "tools/cli/Run.h"
#include "tools/files/Files.h"
#include "tools/files/TurnLogFormat.h"
#include "tools/grammar/Grammar.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace borne;
using namespace borne::scenario;

namespace {

class ScenarioProgram : public test::Sandbox {
protected:
    void writeSettings(int mode) {
        std::ofstream("Config.cfg") << "mode=" << mode
                                    << "\nnomacces=Entree Nord\nnumeroacces=7\ncode=1234\n";
        std::ofstream("CHIP.INI") << "ADDRESS=12\n";
    }
    void script(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }

    int run(std::vector<std::string> arguments, const std::string& stdin_ = "") {
        arguments.insert(arguments.begin(), "borne-scenario");
        std::istringstream input(stdin_);
        out.str("");
        errors.str("");
        return cli::run(arguments, input, out, errors);
    }

    std::ostringstream out, errors;
};

} // namespace

TEST_F(ScenarioProgram, BadUsageExitsTwoWithTheUsage) {
    EXPECT_EQ(run({}), 2);
    EXPECT_NE(errors.str().find("usage: borne-scenario [-C DIR] [--trace | --trace-changes] [--turns FILE]"),
              std::string::npos);
    EXPECT_NE(errors.str().find("borne-scenario [-C DIR] --suite [--jobs N] [--shard K/N]"),
              std::string::npos);
    EXPECT_EQ(run({"--verbose", "a.scn"}), 2);
    EXPECT_NE(errors.str().find("unknown option \"--verbose\""), std::string::npos);
    EXPECT_EQ(run({"a.scn", "b.scn"}), 2);
    EXPECT_EQ(run({"absent.scn"}), 2);
    EXPECT_NE(errors.str().find("cannot read absent.scn"), std::string::npos);
    std::filesystem::create_directory("folder.scn");
    EXPECT_EQ(run({"folder.scn"}), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

TEST_F(ScenarioProgram, AFaultyScriptRunsNothing) {
    writeSettings(0);
    script("s.scn", "turn\ntick CheckBox1\nturn 3\ntick Nope\n");
    EXPECT_EQ(run({"--trace", "s.scn"}), 2);
    EXPECT_EQ(errors.str(), "s.scn:4: unknown control \"Nope\" (borne-scenario --controls lists them)\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
    // The panel was not touched either: the controller was never built.
    EXPECT_FALSE(panel.CheckBox5.Checked());
}

TEST_F(ScenarioProgram, AnEmptyScriptBuildsTheTerminalAndPasses) {
    writeSettings(0);
    EXPECT_EQ(run({"-"}, ""), 0);
    EXPECT_EQ(out.str(), "expectations: 0 passed, 0 failed\n");
    EXPECT_TRUE(panel.CheckBox5.Checked());
}

TEST_F(ScenarioProgram, FailuresAreCountedAndTheRunGoesOn) {
    writeSettings(0);
    const std::string text =
        "expect etat 3\nexpect Edit1.Color 0xc0dcc0\nexpect Shape4.Brush.Color 0x0000FF\n"
        "turn\nexpect Shape4.Brush.Color 0x00FF00\nexpect CheckBox5.Checked 0\n";
    EXPECT_EQ(run({"-"}, text), 1);
    EXPECT_EQ(errors.str(), "-:1: expected etat = \"3\", got \"ETAT_VEHICULE_ABSENT\"\n"
                            "-:3: expected Shape4.Brush.Color = \"0x0000FF\", got \"0x00FF00\"\n"
                            "-:6: expected CheckBox5.Checked = \"0\", got \"1\"\n");
    EXPECT_EQ(out.str(), "expectations: 2 passed, 3 failed\n");
}

TEST_F(ScenarioProgram, StatesWithoutAJournalNameAreNamedInFailures) {
    writeSettings(1);
    EXPECT_EQ(run({"-"}, "expect etat 0\n"), 1);
    EXPECT_EQ(errors.str(), "-:1: expected etat = \"0\", got \"ETAT_HORS_SERVICE\"\n");
}

TEST_F(ScenarioProgram, TypingStoresLikeTheControlAndIsNotTraced) {
    writeSettings(0);
    const std::string text = "type Edit2 ABC É\nexpect Edit2.Text abc é\ntype MessageGardien Pont ā\n"
                             "expect MessageGardien.Text Pont ?\ntick CheckBox1\nuntick CheckBox1\n";
    EXPECT_EQ(run({"--trace", "-"}, text), 0) << errors.str();
    EXPECT_EQ(out.str().find("MessageGardien"), std::string::npos);
    EXPECT_EQ(out.str().find("CheckBox1"), std::string::npos);
    EXPECT_EQ(out.str().find("Edit2.Text = abc"), std::string::npos);
}

TEST_F(ScenarioProgram, TheTraceShowsVirtualTimeAndEveryWriteAsHeld) {
    writeSettings(2); // out of service with the boom raised: a 2000 ms raise while the controller is built
    EXPECT_EQ(run({"--trace", "-"}, "turn 2\n"), 0);
    const std::string t = out.str();
    EXPECT_EQ(t.rfind("0 CheckBox5.Checked = 1\n", 0), 0u) << t;
    EXPECT_NE(t.find("\n0 Edit2.Text =   ..................  \n"), std::string::npos);
    EXPECT_NE(t.find("\n0 Moteur.Text = ON\n"), std::string::npos);
    EXPECT_NE(t.find("\n2000 CheckBox4.Checked = 1\n"), std::string::npos);
    EXPECT_NE(t.find("\n2000 Moteur.Text = OFF\n"), std::string::npos);
    EXPECT_NE(t.find("\n2000 Shape1.Brush.Color = 0xFFFFFF\n"), std::string::npos);
    // Two turns of state 16: each ends after its 500 ms pause; the state has no journal name.
    EXPECT_NE(t.find("\n2500 StatusBar1.SimpleText = pas de Vehicule\n"), std::string::npos);
    EXPECT_EQ(t.find("EtatCourant"), std::string::npos);
    EXPECT_NE(t.find("\n2500 Evenement.Text = VEHICULE_ABSENT\n"), std::string::npos);
    EXPECT_EQ(t.substr(t.size() - 34), "\nexpectations: 0 passed, 0 failed\n");
}

// -C: the script, the settings and the journal are all in DIR. A folder without settings is said once,
// and the run goes on out of service.
TEST_F(ScenarioProgram, MinusCRunsInTheFolderGivenAndSaysWhenItHasNoSettings) {
    std::filesystem::create_directories("lab/empty");
    std::filesystem::current_path("lab");
    writeSettings(0);
    script("s.scn", "expect etat ETAT_VEHICULE_ABSENT\nturn\n");
    script("empty/s.scn", "expect etat ETAT_HORS_SERVICE\nturn 3\n");
    std::filesystem::current_path("..");
    EXPECT_EQ(run({"-C", "lab", "s.scn"}), 0) << errors.str();
    EXPECT_EQ(errors.str(), "");
    EXPECT_TRUE(std::filesystem::exists(folder() / "lab/Log.txt"));
    std::filesystem::current_path(folder());

    EXPECT_EQ(run({"-C", "lab/empty", "s.scn"}), 0);
    EXPECT_EQ(errors.str(), "borne-scenario: no readable Config.cfg in " + (folder() / "lab/empty").string() +
                                ": the terminal starts out of service\n");
    EXPECT_EQ(out.str(), "expectations: 1 passed, 0 failed\n");
    std::filesystem::current_path(folder());

    EXPECT_EQ(run({"-C", "absent", "s.scn"}), 2);
    EXPECT_EQ(errors.str(), "borne-scenario: cannot enter absent: No such file or directory\n");
    EXPECT_EQ(run({"-C"}), 2);
}

TEST_F(ScenarioProgram, EachRunStartsFromTheStoredPanel) {
    writeSettings(0);
    panel.Label4.setCaption("leftover");
    panel.CheckBox1.setChecked(true, Auteur::Utilisateur);
    EXPECT_EQ(run({"-"}, "expect Label4.Caption Label4\nturn\nexpect etat 0\n"), 0) << errors.str();
}

// Each refusal runs where the line would pass without it: a passing script, a passing scenario folder,
// a lab with a passing answer. Its first line is the refusal; nothing is written.
TEST_F(ScenarioProgram, OptionsThatDoNotFitAreRefused) {
    writeSettings(0);
    script("a.scn", "turn\n");
    for (const char* folder : {"lab/one", "subs/ann"})
        std::filesystem::create_directories(folder);
    std::filesystem::copy_file("Config.cfg", "lab/one/Config.cfg");
    std::filesystem::copy_file("CHIP.INI", "lab/one/CHIP.INI");
    script("lab/one/scenario.scn", "turn\n");
    script("subs/ann/one.scn", "expect etat ETAT_VEHICULE_ABSENT\nturn\n");
    std::filesystem::create_directory("empty");
    std::filesystem::create_symlink("x", "link-to-x");
    ASSERT_EQ(run({"a.scn"}), 0) << errors.str();
    ASSERT_EQ(run({"--suite", "lab"}), 0) << errors.str();
    ASSERT_EQ(run({"--grade", "lab", "subs"}), 0) << errors.str();
    std::filesystem::remove("Log.txt");
    const std::string jobsIn = " (it goes with --suite, --suite --controllers, --grade or --bless)";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--suite"}, "--suite needs at least one PATH"},
        {{"--suite", "--trace", "lab"}, "--trace does not go with --suite (it goes with a script)"},
        {{"--suite", "--shard", "0/2", "lab"}, "bad --shard \"0/2\" (K/N with 1 <= K <= N)"},
        {{"--suite", "--shard", "3/2", "lab"}, "bad --shard \"3/2\" (K/N with 1 <= K <= N)"},
        {{"--suite", "--shard", "1-2", "lab"}, "bad --shard \"1-2\" (K/N with 1 <= K <= N)"},
        {{"--suite", "--jobs", "0", "lab"}, "bad --jobs \"0\" (a whole number from 1 to 1024)"},
        {{"--suite", "--jobs", "x", "lab"}, "bad --jobs \"x\" (a whole number from 1 to 1024)"},
        {{"--suite", "--timeout", "0", "lab"},
         "bad --timeout \"0\" (seconds above 0, up to 86400, to the "
         "millisecond: 0.001 at least)"},
        {{"--suite", "--timeout", "-1", "lab"},
         "bad --timeout \"-1\" (seconds above 0, up to 86400, to the "
         "millisecond: 0.001 at least)"},
        {{"--suite", "--timeout", "1.2345", "lab"},
         "bad --timeout \"1.2345\" (seconds above 0, up to 86400, "
         "to the millisecond: 0.001 at least)"},
        {{"--jobs", "2", "a.scn"}, "--jobs does not go with a script" + jobsIn},
        {{"--vcd"}, "--vcd needs a value"},
        {{"--suite", "absent-folder"}, "cannot read absent-folder: No such file or directory"},
        {{"--suite", "empty"}, "no scenario folder (a folder holding scenario.scn) at or under empty"},
        {{"--suite", "--turns", "t.tsv", "lab"}, "--turns does not go with --suite (it goes with a script)"},
        {{"--trace", "--trace-changes", "a.scn"}, "--trace or --trace-changes, not both"},
        {{"--turns"}, "--turns needs a value"},
        // Each command's own options, as the table has them.
        {{"--tidy", "--turns", "t.tsv", "a.scn"}, "--turns does not go with --tidy (it goes with a script)"},
        {{"--tidy", "--timeout", "5", "a.scn"},
         "--timeout does not go with --tidy (it goes with a script, --suite, --suite --controllers, --grade "
         "or "
         "--bless)"},
        {{"--controls", "--trace"}, "--trace does not go with --controls (it goes with a script)"},
        {{"--junit", "j.xml", "a.scn"},
         "--junit does not go with a script (it goes with --suite, --suite --controllers or --grade)"},
        {{"--suite", "--grades", "g.csv", "lab"},
         "--grades does not go with --suite (it goes with --suite --controllers or --grade)"},
        {{"--grade", "--vcd", "w", "lab", "subs"},
         "--vcd does not go with --grade (it goes with a script or --suite)"},
        {{"--bless", "--shard", "1/2", "lab"},
         "--shard does not go with --bless (it goes with --suite, --suite --controllers or --grade)"},
        {{"--suite", "--require-expect", "lab"},
         "--require-expect does not go with --suite (it goes with --grade)"},
        {{"--grade", "--gradescope", "r.json", "--shard", "1/2", "lab", "subs"},
         "--gradescope or --shard, not both"},
        {{"--bless", "--coverage", "c", "lab"},
         "--coverage does not go with --bless (it goes with a script or --suite)"},
        {{"--bless", "--junit", "j.xml", "lab"},
         "--junit does not go with --bless (it goes with --suite, --suite --controllers or --grade)"},
        {{"--grade", "--suite", "lab", "subs"},
         "--suite does not go with --grade (it goes with --suite or --suite --controllers)"},
        {{"--bless", "--suite", "lab"},
         "--suite does not go with --bless (it goes with --suite or --suite --controllers)"},
        {{"--controllers", "x.so", "a.scn"},
         "--controllers does not go with a script (it goes with --suite --controllers)"},
        {{"--suite", "--controllers", "x.so", "--coverage", "c", "lab"},
         "--coverage does not go with --suite --controllers (it goes with a script or --suite)"},
        {{"--grade", "--controller", "x.so", "lab", "subs"},
         "--controller does not go with --grade (it goes with a script, --suite or a search)"},
        {{"--compare", "a.scn"}, "--compare needs --controller or --controllers"},
        // Outputs: never two on one file, never over what the run reads.
        {{"--turns", "x", "--vcd", "x", "a.scn"}, "--vcd x would write over --turns x: nothing written"},
        {{"--turns", "x", "--vcd", "link-to-x", "a.scn"},
         "--vcd link-to-x would write over --turns x: nothing written"},
        {{"--turns", "x", "--turns", "x", "a.scn"}, "--turns given twice (an output is named once)"},
        {{"--vcd", "a.scn", "a.scn"}, "--vcd a.scn would write over the script a.scn: nothing written"},
        {{"--turns", "Config.cfg", "a.scn"},
         "--turns Config.cfg would write over the settings Config.cfg: nothing written"},
        {{"--coverage", "Log.txt", "a.scn"},
         "--coverage Log.txt would write over the journal Log.txt: nothing written"},
        {{"--check", "a.scn", "--turns", "a.scn", "-"},
         "--turns a.scn would write over the rules a.scn: nothing written"},
        {{"--grade", "--grades", "lab/one/g.csv", "lab", "subs"},
         "--grades lab/one/g.csv would write in the lab lab: nothing written"},
        {{"--grade", "--junit", "subs/j.xml", "lab", "subs"},
         "--junit subs/j.xml would write in the submissions subs: nothing written"},
        {{"--grade", "--junit", "g.csv", "--grades", "g.csv", "lab", "subs"},
         "--grades g.csv would write over --junit g.csv: nothing written"},
        {{"--grade", "--grades", "g.csv", "--gradebook", "g.csv", "lab", "subs"},
         "--gradebook g.csv would write over --grades g.csv: nothing written"},
        {{"--suite", "--junit", "j.xml", "--coverage", "j.xml", "lab"},
         "--coverage j.xml would write over --junit j.xml: nothing written"},
    };
    for (const auto& [arguments, firstLine] : cases) {
        const std::string line = arguments.front() + " ... " + arguments.back();
        EXPECT_EQ(run(arguments), 2) << line;
        const std::string said = errors.str();
        EXPECT_EQ(said.substr(0, said.find('\n')), "borne-scenario: " + firstLine) << line;
        for (const char* written : {"Log.txt", "x", "t.tsv", "j.xml", "g.csv", "lab/one/g.csv", "subs/j.xml"})
            EXPECT_FALSE(std::filesystem::exists(written)) << line << ": " << written;
    }
    EXPECT_EQ(run({"--suite", "--shard", "1/0", "lab"}), 2);
    EXPECT_NE(errors.str().find("bad --shard \"1/0\" (K/N with 1 <= K <= N)"), std::string::npos);
    EXPECT_EQ(run({"--turns", "absent/t.tsv", "a.scn"}), 2);
    EXPECT_EQ(errors.str(), "borne-scenario: cannot write absent/t.tsv: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists("Log.txt")) << "refused before the run";
}

TEST_F(ScenarioProgram, AnUnwritableWaveformPathIsNamedBeforeAnythingRuns) {
    writeSettings(0);
    EXPECT_EQ(run({"--vcd", "no-such-folder/run.vcd", "-"}, "turn\n"), 2);
    EXPECT_EQ(errors.str(),
              "borne-scenario: cannot write no-such-folder/run.vcd: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

// In a failure line each control byte shows as \xHH and an ACTUAL of more than 200 characters is cut;
// quotes and backslashes stay as they are.
TEST_F(ScenarioProgram, FailureLinesShowControlBytesAndCutLongActuals) {
    writeSettings(0);
    const std::string long_ = std::string(150, 'a') + std::string(60, 'e') + "\"\\"; // 212 characters
    const std::string text = "type MessageGardien t\tb\x1b\"\\\nexpect MessageGardien.Text t\x7f\n"
                             "type Default " +
                             long_ + "\nexpect Default.Text x\n";
    script("s.scn", text);
    EXPECT_EQ(run({"s.scn"}), 1);
    const std::string cut = std::string(150, 'a') + std::string(50, 'e');
    EXPECT_EQ(errors.str(), "s.scn:2: expected MessageGardien.Text = \"t\\x7F\", got \"t\\x09b\\x1B\"\\\"\n"
                            "s.scn:4: expected Default.Text = \"x\", got \"" +
                                cut + "...(12 more)\"\n");
    // Characters, not bytes: "é" is one.
    std::string accents;
    for (int i = 0; i < 205; ++i)
        accents += "é";
    script("t.scn", "type Default " + accents + "\nexpect Default.Text x\n");
    EXPECT_EQ(run({"t.scn"}), 1);
    std::string twoHundred;
    for (int i = 0; i < 200; ++i)
        twoHundred += "é";
    EXPECT_EQ(errors.str(),
              "t.scn:2: expected Default.Text = \"x\", got \"" + twoHundred + "...(5 more)\"\n");
}

namespace {
// A stream whose every write fails, like standard output on a full disk.
class FullStream : public std::streambuf {
protected:
    int overflow(int) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};
} // namespace

TEST_F(ScenarioProgram, OutputThatCannotBeWrittenIsAFailure) {
    writeSettings(0);
    FullStream full;
    std::ostream fullOut(&full);
    std::istringstream input("turn 3\n");
    std::ostringstream err;
    EXPECT_EQ(cli::run({"borne-scenario", "--trace", "-"}, input, fullOut, err), 2);
    EXPECT_EQ(err.str(), "borne-scenario: cannot write standard output\n");
    // The run stopped at the first lost line: no journal step was reached.
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

// The peak resident size of a run in a child process, which must end with `status`.
long peakRss(const std::vector<std::string>& arguments, int status = 0) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::istringstream input;
        std::ostringstream o, e;
        ::_exit(cli::run(arguments, input, o, e));
    }
    int waitStatus = 0;
    struct rusage usage {};
    ::wait4(pid, &waitStatus, 0, &usage);
    EXPECT_TRUE(WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == status);
    return usage.ru_maxrss * 1024L; // kilobytes on Linux
}

// A script many megabytes long costs about its own size, not a record per line.
TEST_F(ScenarioProgram, MemoryStaysNearTheScriptsSize) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer keeps freed memory in quarantine: resident size says nothing here";
#endif
    writeSettings(0);
    std::string text;
    for (int i = 0; i < 600000; ++i)
        text += "tick CheckBox12\n"; // 9.6 MB
    script("big.scn", text);
    script("small.scn", "tick CheckBox12\n");
    const long base = peakRss({"borne-scenario", "small.scn"});
    const long big = peakRss({"borne-scenario", "big.scn"});
    EXPECT_LT(big - base, 3L * static_cast<long>(text.size())) << "base " << base << ", big " << big;
}

// Long lines too: the script, plus a few times its longest line, never a copy of every value.
TEST_F(ScenarioProgram, MemoryStaysNearTheScriptsSizeWithLongLines) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer keeps freed memory in quarantine: resident size says nothing here";
#endif
    writeSettings(0);
    const std::string value(2 << 20, 'a');
    std::string text;
    for (int i = 0; i < 6; ++i)
        text += "type Default " + value + "\nexpect Default.Text " + value + "b\n"; // 25 MB, fails
    script("long.scn", text);
    script("small.scn", "turn\n");
    const long base = peakRss({"borne-scenario", "small.scn"});
    const long big = peakRss({"borne-scenario", "long.scn"}, 1);
    EXPECT_LT(big - base, static_cast<long>(text.size() + 8 * value.size()))
        << "base " << base << ", big " << big;
}

TEST_F(ScenarioProgram, FailureLinesCutLongExpectedValuesToo) {
    writeSettings(0);
    script("s.scn", "expect Default.Text " + std::string(205, 'x') + "\n");
    EXPECT_EQ(run({"s.scn"}), 1);
    EXPECT_EQ(errors.str(),
              "s.scn:1: expected Default.Text = \"" + std::string(200, 'x') + "...(5 more)\", got \"\"\n");
}

// Nothing is cut silently: a script or a line beyond its limit is refused, naming the limit, and nothing
// runs.
TEST_F(ScenarioProgram, ScriptsBeyondTheirLimitsAreRefusedNamingTheLimit) {
    writeSettings(0);
    std::ofstream("huge.scn").close();
    std::filesystem::resize_file("huge.scn", kMaxScriptBytes + 1); // sparse: nothing is read to refuse it
    EXPECT_EQ(run({"huge.scn"}), 2);
    EXPECT_EQ(errors.str().substr(0, errors.str().find('\n')),
              "borne-scenario: cannot read huge.scn: larger than 256 MiB, the limit for a script");
    script("long.scn", "turn\ntype Default " + std::string(kMaxScriptLine, 'x') + "\nturn\n");
    EXPECT_EQ(run({"long.scn"}), 2);
    EXPECT_EQ(errors.str(), "long.scn:2: a line longer than 16 MiB, the limit for a script\n");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));

    // Standard input goes through the same reader, with the same refusal.
    std::istringstream input(std::string(100, 'x'));
    std::string content, error;
    EXPECT_FALSE(
        files::readWhole(input, "standard input", content, error, {99, "a script", false, std::nullopt}));
    EXPECT_EQ(error, "cannot read standard input: larger than 99 bytes, the limit for a script");
}

// Beyond the first 20 errors only their count is said, and no nearest name is looked for.
TEST_F(ScenarioProgram, BeyondTwentyErrorsOnlyTheCountIsListed) {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "tick CheckBox99\n";
    script("bad.scn", text);
    EXPECT_EQ(run({"bad.scn"}), 2);
    std::istringstream lines(errors.str());
    std::vector<std::string> l;
    for (std::string x; std::getline(lines, x);)
        l.push_back(x);
    ASSERT_EQ(l.size(), 21u);
    EXPECT_EQ(l[19],
              "bad.scn:20: unknown control \"CheckBox99\" (did you mean CheckBox9? borne-scenario --controls "
              "lists them)");
    EXPECT_EQ(l[20], "bad.scn: 99980 more errors");
}

// The terminal starts out of service whenever it cannot read its settings; the run says why.
TEST_F(ScenarioProgram, SettingsTheTerminalCannotReadAreSaidWithTheReason) {
    script("s.scn", "expect etat ETAT_HORS_SERVICE\n");
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {"a named pipe", [] { ::mkfifo("Config.cfg", 0644); }},
        {"a device", [] { std::filesystem::create_symlink("/dev/zero", "Config.cfg"); }},
        {"larger than 1 MiB",
         [] {
             std::ofstream("Config.cfg") << "mode=0\n";
             std::filesystem::resize_file("Config.cfg", (1 << 20) + 1);
         }},
    };
    for (const auto& [reason, make] : cases) {
        std::filesystem::remove("Config.cfg");
        make();
        EXPECT_EQ(run({"s.scn"}), 0) << reason;
        EXPECT_EQ(errors.str(), "borne-scenario: no readable Config.cfg in " + folder().string() + " (" +
                                    reason + "): the terminal starts out of service\n");
    }
}

TEST_F(ScenarioProgram, TimeoutResolutionIsSaidAndJobsMayHaveLeadingZeros) {
    EXPECT_EQ(run({"--suite", "--timeout", "0.0001", "."}), 2);
    EXPECT_NE(errors.str().find("bad --timeout \"0.0001\" (seconds above 0, up to 86400, to the millisecond: "
                                "0.001 at least)"),
              std::string::npos);
    std::filesystem::create_directory("s");
    script("s/scenario.scn", "turn\n");
    EXPECT_EQ(run({"--suite", "--jobs", "00001", "s"}), 0) << errors.str();
    EXPECT_EQ(run({"--suite", "--jobs", "01025", "s"}), 2);
    EXPECT_EQ(run({"--suite", "--jobs", "000", "s"}), 2);
}

// A named pipe with nothing on the other side holds a suite no longer than its --timeout.
TEST_F(ScenarioProgram, PipesWithoutAPeerHoldASuiteNoLongerThanItsTimeout) {
    std::filesystem::create_directory("s");
    script("s/scenario.scn", "turn\n");
    ::mkfifo("rules", 0644);
    ::mkfifo("report.xml", 0644);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run({"--suite", "--timeout", "0.2", "--check", "rules", "s"}), 2);
    EXPECT_EQ(
        errors.str(),
        "borne-scenario: cannot read rules: a named pipe whose writer did not come and finish in time\n");
    EXPECT_EQ(run({"--suite", "--timeout", "0.2", "--junit", "report.xml", "s"}), 2);
    EXPECT_EQ(errors.str(),
              "borne-scenario: cannot write report.xml: a named pipe that nobody read in time\n");
    std::filesystem::create_directory("waves");
    ::mkfifo("waves/s.vcd", 0644);
    // A waveform that cannot be written is the bench's failure, not the scenario's.
    EXPECT_EQ(run({"--suite", "--timeout", "0.2", "--vcd", "waves", "s"}), 2);
    EXPECT_NE(out.str().find("ERROR s: cannot write "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("/waves/s.vcd: a named pipe that nobody read in time"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Events may hold any byte: a turn log line always splits into its seven fields, and the events read
// back whole.
TEST(TurnLogFormat, EventsAreEscapedSoThatEveryLineHasSevenFieldsAndReadsBack) {
    const std::vector<std::pair<int, int>> rows = {{0, 1}, {0, 3}};
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"VEHICULE_ABSENT"},
        {"a b", "c\td"},
        {"line\nend\r", "back\\slash", "\\s", "\xC3\xA9 <&\""},
    };
    for (const std::vector<std::string>& events : cases) {
        const std::string line = files::turnLogLine({.number = 3,
                                                     .start = 1000,
                                                     .startState = "S",
                                                     .endState = "E",
                                                     .events = &events,
                                                     .rows = &rows,
                                                     .status = "done"});
        EXPECT_EQ(line.find_first_of("\n\r"), std::string::npos) << line;
        std::vector<std::string> fields;
        for (std::size_t at = 0, tab = 0; tab != std::string::npos; at = tab + 1)
            fields.push_back(line.substr(at, (tab = line.find('\t', at)) - at));
        ASSERT_EQ(fields.size(), 7u) << line;
        EXPECT_EQ(files::turnLogEvents(fields[3]), events) << line;
    }
    const std::vector<std::string> spaced = {"a b", "c\td"};
    EXPECT_EQ(files::turnLogLine({.number = 1,
                                  .startState = "S",
                                  .endState = "E",
                                  .events = &spaced,
                                  .rows = &rows,
                                  .status = "cut"}),
              "1\t0\tS\ta\\sb c\\td\tE\t0.1 0.3\tcut");
}

// The terminal goes on without a word when Log.txt cannot be written; a run there is no pass: it says
// why, and ends with status 2, a script as a suite. With a journal that can be written, the same runs pass.
TEST_F(ScenarioProgram, AJournalThatCannotBeWrittenIsNoPass) {
    const std::string text = "tick CheckBox1\nturn 2\nexpect etat ETAT_ATTENTE_AUTORISATION\n";
    for (const bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "a journal that can be written" : "a folder in Log.txt's place");
        std::filesystem::remove_all("Log.txt");
        std::filesystem::remove_all("s");
        writeSettings(0);
        script("s.scn", text);
        std::filesystem::create_directories("s/entry");
        for (const char* file : {"Config.cfg", "CHIP.INI"})
            std::filesystem::copy_file(file, std::string("s/entry/") + file);
        script("s/entry/scenario.scn", text);
        if (!writable) {
            std::filesystem::create_directory("Log.txt");
            std::filesystem::create_directory("s/entry/Log.txt");
        }

        EXPECT_EQ(run({"s.scn"}), writable ? 0 : 2);
        EXPECT_EQ(out.str(), "expectations: 1 passed, 0 failed\n");
        const std::string reason = "borne-scenario: cannot write the journal " +
                                   (std::filesystem::current_path() / "Log.txt").string() +
                                   ": Is a directory\n";
        EXPECT_EQ(errors.str(), writable ? "" : reason);

        EXPECT_EQ(run({"--suite", "s"}), writable ? 0 : 2);
        if (writable) {
            EXPECT_NE(out.str().find("PASS entry"), std::string::npos) << out.str();
        } else {
            EXPECT_NE(out.str().find("ERROR entry: cannot write "), std::string::npos) << out.str();
            EXPECT_NE(out.str().find("/Log.txt: Is a directory\n"), std::string::npos) << out.str();
        }
    }
}
