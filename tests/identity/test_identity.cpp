// The terminal's own source built as a plug-in (reference.so), in process and hosted out of process by
// borne-host behind the protocol, and the built-in controller give the same bytes: every script of the
// project's scenario folders and 2,400 random ones over every mode, run by borne-scenario's program with
// the trace, the turn log, the waveform and the rules, then the whole suite with coverage, then the
// searches.
#include "base/Codes.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Soak.h"
#include "tools/cli/Run.h"

#include "tools/grammar/Grammar.h"

#include <algorithm>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace borne;

namespace {

const fs::path kScenarios = BORNE_SCENARIOS;
const fs::path kExamples = BORNE_EXAMPLES;

// The reference hosted out of process: a program that runs borne-host on it, which the bench runs as it
// runs any controller that speaks the protocol.
const char* hostedReference() {
    static const struct Hosted {
        std::string path = (fs::temp_directory_path() / ("borne-hosted-" + std::to_string(::getpid()))).string();
        Hosted() {
            std::ofstream(path) << "#!/bin/sh\nexec '" BORNE_HOST_PROGRAM "' '" BORNE_REFERENCE "'\n";
            fs::permissions(path, fs::perms::owner_all);
        }
        ~Hosted() { fs::remove(path); }
    } hosted;
    return hosted.path.c_str();
}

// Everything a run leaves: its exit status, its two streams and the files it wrote.
struct Outputs {
    int status = 0;
    std::map<std::string, std::string> texts; // "stdout", "stderr", then each file by name

    // The first difference, said for a person; "" when there is none.
    friend std::string difference(const Outputs& builtIn, const Outputs& plugIn) {
        if (builtIn.status != plugIn.status)
            return "exit status " + std::to_string(builtIn.status) + " vs " + std::to_string(plugIn.status);
        for (const auto& [name, text] : builtIn.texts) {
            const auto other = plugIn.texts.find(name);
            if (other == plugIn.texts.end()) return name + " only built-in";
            if (other->second == text) continue;
            const auto at =
                std::mismatch(text.begin(), text.end(), other->second.begin(), other->second.end());
            const auto offset = static_cast<std::size_t>(at.first - text.begin());
            return name + " differs at byte " + std::to_string(offset) + ": built-in \"" +
                   text.substr(offset, 60) + "\", plug-in \"" + other->second.substr(offset, 60) + "\"";
        }
        return plugIn.texts.size() == builtIn.texts.size() ? "" : "the plug-in wrote more files";
    }
};

// Runs borne-scenario's program here (the settings in place) with `arguments` after the program's name,
// on the built-in controller or the plug-in `plugIn`; `files` are read back, then removed with Log.txt.
Outputs run(std::vector<std::string> arguments, const char* plugIn, const std::vector<std::string>& files) {
    if (plugIn != nullptr) arguments.insert(arguments.begin(), {"--controller", plugIn});
    arguments.insert(arguments.begin(), "borne-scenario");
    std::istringstream in;
    std::ostringstream out, err;
    Outputs o;
    o.status = cli::run(arguments, in, out, err);
    o.texts["stdout"] = out.str();
    o.texts["stderr"] = err.str();
    for (const std::string& f : files) {
        o.texts[f] = test::readFile(f);
        std::filesystem::remove_all(f);
    }
    o.texts["Log.txt"] = test::readFile("Log.txt");
    fs::remove("Log.txt");
    return o;
}

// The script with every per-script output asked for, on the built-in controller and the plug-in: the
// first difference.
std::string compareScript(const fs::path& script, bool changesOnly, const fs::path& rules,
                          const char* plugIn = BORNE_REFERENCE) {
    const std::vector<std::string> arguments{changesOnly ? "--trace-changes" : "--trace",
                                             "--turns",
                                             "run.turns",
                                             "--vcd",
                                             "run.vcd",
                                             "--check",
                                             rules.string(),
                                             script.string()};
    const std::vector<std::string> files{"run.turns", "run.vcd"};
    const Outputs builtIn = run(arguments, nullptr, files);
    return difference(builtIn, run(arguments, plugIn, files));
}

void settingsFrom(const fs::path& folder) {
    for (const char* name : {"Config.cfg", "CHIP.INI"}) {
        fs::remove(name);
        if (fs::exists(folder / name)) fs::copy_file(folder / name, name);
    }
}

// The settings of the soak in `mode`; 5 stands for a configuration that cannot be read.
void settingsOfMode(int mode) {
    fs::remove("Config.cfg");
    if (mode < 5)
        std::ofstream("Config.cfg") << "mode=" << mode
                                    << "\nIPsuperviseur=192.0.2.10\nPORTsuperviseur=4000\nportserver=4001\n"
                                       "nomacces=Entree Nord\nnumeroacces=2\ncode=6082\n";
    std::ofstream("CHIP.INI") << "ADDRESS=12\n";
}

// A script of the soak's random user: what it does before each turn, as the recorder would write it,
// then the turn; now and then a wait that ends inside a turn, a key held down and let go, a whole code
// typed, or a state expected at once or within a few turns (mostly not the one held, so failures are
// reported too).
std::string randomScript(std::uint64_t seed, int turns) {
    PanneauOperateur& p = panneau();
    p.reinitialiser();
    std::string script;
    const int key = p.ajouterObservateur([&](const Ecriture& e) {
        scenario::Command c;
        c.control = e.controle.nom();
        if (const bool* ticked = std::get_if<bool>(&e.valeur)) {
            c.verb = *ticked ? scenario::Verb::Tick : scenario::Verb::Untick;
        } else {
            c.verb = scenario::Verb::Type;
            c.text = std::get<std::string>(e.valeur);
        }
        if (const auto line = scenario::print(c)) script += *line + '\n';
    });
    test::RandomUser user(seed);
    std::mt19937_64 random(seed);
    for (int t = 0; t < turns; ++t) {
        user.act(p);
        switch (random() % 16) {
        case 0: script += "wait " + std::to_string(1 + random() % 2999) + '\n'; break;
        case 1:
            script += "force " + std::string(test::keyOf(static_cast<int>(random() % 10))) + " 1\nturn\n";
            break;
        case 2:
            script += "release " + std::string(test::keyOf(static_cast<int>(random() % 10))) + "\nturn\n";
            break;
        case 3: script += "expect etat " + std::to_string(random() % NB_ETATS) + "\nturn\n"; break;
        case 4: script += "until 3 etat " + std::to_string(random() % NB_ETATS) + "\n"; break;
        case 5:
        case 6:
            // A whole code, one key a turn, while a car waits on the upstream loop: the accepted one or
            // any other, so that tries are used up and refusals seen.
            if (p.CheckBox1.Checked() && !p.CheckBox2.Checked()) {
                const bool accepted = random() % 2 == 0;
                for (int k = 0; k < 4; ++k)
                    script += "tick " +
                              std::string(
                                  test::keyOf(accepted ? "6082"[k] - '0' : static_cast<int>(random() % 10))) +
                              "\nturn\n";
            }
            script += "turn\n";
            break;
        default: script += "turn\n"; break;
        }
    }
    p.retirerObservateur(key);
    p.reinitialiser();
    return script;
}

// What --generate wrote, by path, then removed.
std::map<std::string, std::string> generatedFiles() {
    std::map<std::string, std::string> files;
    if (fs::exists("generated"))
        for (const auto& f : fs::recursive_directory_iterator("generated"))
            if (f.is_regular_file()) files[f.path().string()] = test::readFile(f.path());
    fs::remove_all("generated");
    return files;
}

class Identity : public test::Sandbox {};
class RandomIdentity : public test::Sandbox, public ::testing::WithParamInterface<int> {};

} // namespace

// A plug-in whose class has the terminal's name runs its own code, not the terminal's: the comparison
// above would otherwise hold for any plug-in of that name. This one never resets the tries, so the
// second car is greeted as the first was refused.
TEST_F(Identity, APlugInOfTheTerminalsClassNameRunsItsOwnCode) {
    settingsFrom(kScenarios / "journeys/entry-by-code");
    std::ofstream("refused.scn")
        << "tick CheckBox1\nturn 2\n"
        << "tick CheckBox20\nturn\ntick CheckBox20\nturn\ntick CheckBox20\nturn\n"
           "tick CheckBox20\nturn 3\nuntick CheckBox1\nturn 3\ntick CheckBox1\nturn 3\n";
    EXPECT_EQ(compareScript("refused.scn", true, kExamples / "keeps.rules"), "");
    EXPECT_NE(
        compareScript("refused.scn", true, kExamples / "keeps.rules", BORNE_FAULTY "/tries-never-reset.so"),
        "");
}

// Every script under tests/scenarios, in its folder's settings (the runner's scripts in theirs), with
// the full trace and with the changes only.
TEST_F(Identity, EveryScriptOfTheProjectGivesTheSameBytes) {
    int scripts = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kScenarios)) {
        const fs::path& script = entry.path();
        if (script.extension() != ".scn" && script.extension() != ".tidy") continue;
        const fs::path folder = fs::exists(script.parent_path() / "Config.cfg")
                                    ? script.parent_path()
                                    : kScenarios / "runner/supervised";
        settingsFrom(folder);
        for (const bool changesOnly : {false, true}) {
            EXPECT_EQ(compareScript(script, changesOnly, kExamples / "breaks.rules"), "") << script;
            EXPECT_EQ(compareScript(script, changesOnly, kExamples / "breaks.rules", hostedReference()), "")
                << script << " hosted";
        }
        ++scripts;
    }
    EXPECT_GE(scripts, 35);
}

// The suite of the project's folders with its coverage and JUnit report: the same lines, the same
// counts (the plug-in tells its rows as the terminal does).
TEST_F(Identity, TheProjectsSuiteGivesTheSameReport) {
    const std::vector<std::string> arguments{"--suite",
                                             "--jobs",
                                             "2",
                                             "--coverage",
                                             "coverage",
                                             "--check",
                                             (kExamples / "keeps.rules").string(),
                                             "--junit",
                                             "suite.xml",
                                             (kScenarios / "journeys").string(),
                                             (kScenarios / "timing").string()};
    const std::vector<std::string> files{"coverage/coverage.json", "coverage/coverage.txt",
                                         "coverage/states.dot"};
    const Outputs builtIn = run(arguments, nullptr, files);
    // Passes and failures (the forced sensors of timing/ break rules the terminal keeps) are both compared.
    EXPECT_NE(builtIn.texts.at("stdout").find("PASS journeys/entry-by-code"), std::string::npos);
    EXPECT_NE(builtIn.texts.at("stdout").find("FAIL timing/"), std::string::npos);
    // Rows were counted: no section of the report is without them.
    EXPECT_EQ(builtIn.texts.at("coverage/coverage.txt").find("\nrows: 0 of"), std::string::npos);
    EXPECT_EQ(builtIn.texts.at("coverage/coverage.txt").find("\nrows: not told"), std::string::npos);
    EXPECT_EQ(difference(builtIn, run(arguments, BORNE_REFERENCE, files)), "");
    EXPECT_EQ(difference(builtIn, run(arguments, hostedReference(), files)), "");
}

// The searches, from each mode's example folder: the same journeys, folders and verdicts.
TEST_F(Identity, TheSearchesGiveTheSameAnswers) {
    for (const char* mode : {"supervised", "standalone", "out-of-service-raised"}) {
        settingsFrom(kExamples / mode);
        const std::vector<std::vector<std::string>> searches{
            {"--reach", "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT", "--within", "12"},
            {"--reach", "3.2", "--within", "12"},
            {"--reach", "0->10", "--within", "12"},
            {"--generate", "generated", "--within", "12"},
            {"--check", (kExamples / "breaks.rules").string(), "--explore", "--within", "8"}};
        for (const auto& arguments : searches) {
            const Outputs builtIn = run(arguments, nullptr, {});
            const auto generated = generatedFiles();
            for (const char* plugIn : {BORNE_REFERENCE, hostedReference()}) {
                EXPECT_EQ(difference(builtIn, run(arguments, plugIn, {})), "") << mode << ' ' << arguments.front();
                EXPECT_EQ(generated, generatedFiles()) << mode;
            }
        }
    }
}

// 400 random scripts in each mode, and with settings that cannot be read: 2,400 in all (a sanitizer build,
// which looks for memory and thread faults rather than for the identity, runs a tenth of them).
#ifndef BORNE_RANDOM_SCRIPTS
#define BORNE_RANDOM_SCRIPTS 400
#endif
TEST_P(RandomIdentity, RandomScriptsGiveTheSameBytes) {
    const std::uint64_t seed = test::testSeed();
    settingsOfMode(GetParam());
    for (int i = 0; i < BORNE_RANDOM_SCRIPTS; ++i) {
        std::mt19937_64 random(seed + static_cast<std::uint64_t>(i));
        std::ofstream("random.scn") << randomScript(random(), 10 + static_cast<int>(random() % 60));
        const std::string different = compareScript("random.scn", i % 2 == 1, kExamples / "breaks.rules");
        ASSERT_EQ(different, "") << "BORNE_SEED=" << seed << ", script " << i << ":\n"
                                 << test::readFile("random.scn");
        const std::string hosted =
            compareScript("random.scn", i % 2 == 1, kExamples / "breaks.rules", hostedReference());
        ASSERT_EQ(hosted, "") << "hosted, BORNE_SEED=" << seed << ", script " << i << ":\n"
                              << test::readFile("random.scn");
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, RandomIdentity, ::testing::Range(0, 6));
