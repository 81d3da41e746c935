// The run engine seen from its observers: the instants of the terminal's writes when a script acts
// inside turns, where a run stops, held boxes in the trace, the turn limit, and the waveform.
#include "control/Codes.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tools/grammar/Grammar.h"
#include "tools/scenario/Engine.h"
#include "tools/scenario/Vcd.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace borne;
using namespace borne::scenario;

namespace {

// Every terminal write as "TIME Name.Property = value", the boundaries as "TIME |".
class WriteTrace : public RunObserver {
public:
    std::vector<std::string> lines;
    void wrote(const Ecriture& e, std::int64_t t) override {
        if (e.auteur == Auteur::Terminal)
            lines.push_back(std::to_string(t) + " " + e.controle.nom() + "." + nomPropriete(e.propriete) +
                            " = " + scenario::propertyText(e.valeur));
    }
    void turnEnded(std::int64_t t) override { lines.push_back(std::to_string(t) + " |"); }
    bool has(const std::string& l) const { return std::find(lines.begin(), lines.end(), l) != lines.end(); }
};

class ScriptEngine : public test::Sandbox {
protected:
    void writeSettings(int mode) {
        std::ofstream("Config.cfg") << "mode=" << mode << "\nnomacces=Entree Nord\nnumeroacces=7\n";
        std::ofstream("CHIP.INI") << "ADDRESS=12\n";
    }
    RunResult run(const std::string& text, RunObserver* other = nullptr) {
        const Script s = parse(text);
        EXPECT_EQ(s.errorCount, 0u);
        RunSettings r;
        r.scriptName = "s";
        Engine e(r, messages);
        e.watch(trace);
        if (other != nullptr) e.watch(*other);
        ListSource source(s.commands);
        return e.run(source);
    }
    WriteTrace trace;
    std::ostringstream messages;
};

// A car let in by the attendant: it waits in state 1 (0-500), is let in (500-1000), is told to enter
// (1000-1500), and the turn that starts at 1500 raises the boom until 3500.
constexpr const char* kUntilTheRaise = "tick CheckBox1\nturn\ntick CheckBox3\nturn 2\n";

} // namespace

TEST_F(ScriptEngine, AScriptEndingMidMovementStopsTheTerminalWhereItStands) {
    writeSettings(0);
    const RunResult r = run(std::string(kUntilTheRaise) + "wait 1000\n");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.end, 2500);
    EXPECT_EQ(r.turns, 3u);
    EXPECT_EQ(trace.lines.back(), "1500 Shape3.Brush.Color = 0x00FFFF"); // lighting on, then the wait
    EXPECT_TRUE(trace.has("1500 Moteur.Text = ON"));
    // The journal: one line for the first turn (state and event both moved), none later.
    const std::string content = test::readFile("Log.txt");
    constexpr char kLine[] = "EtatCourant = \0ETAT_ATTENTE_AUTORISATION;      Evenement = "
                             "\0VEHICULE_SUR_BOUCLE_AMONT;\n";
    EXPECT_EQ(content, std::string(kLine, sizeof kLine - 1));
}

TEST_F(ScriptEngine, AHeldSensorIsTracedWithTheValueItHolds) {
    writeSettings(0);
    const RunResult r =
        run(std::string(kUntilTheRaise) + "force CheckBox4 0\nturn\nexpect CheckBox4.Checked 0\n");
    EXPECT_TRUE(r.ok()) << messages.str();
    EXPECT_TRUE(trace.has("3500 CheckBox4.Checked = 0"));
    EXPECT_TRUE(trace.has("3500 Image3.Visible = 1")); // the pass itself ran
}

TEST_F(ScriptEngine, ATurnThatNeverEndsStopsTheRunAfterAnHour) {
    writeSettings(0);
    // The down sensor held ticked: every pass of the raise is followed by another.
    const RunResult r = run(std::string(kUntilTheRaise) + "force CheckBox5 1\nturn\nexpect etat 0\n");
    EXPECT_TRUE(r.turnLimit);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.passed + r.failed, 0); // nothing after the turn ran
    EXPECT_EQ(r.end, 1500 + kTurnLimitMs);
    EXPECT_EQ(messages.str(), "s:6: turn did not end within 3600000 ms\n");
    EXPECT_TRUE(trace.has("3601500 Moteur.Text = ON")); // pass 1801 starts just at the limit
    EXPECT_FALSE(trace.has("3603500 CheckBox4.Checked = 1"));
}

TEST_F(ScriptEngine, AnObserverCanStopTheRun) {
    writeSettings(0);
    struct Stopper : RunObserver {
        Engine* e = nullptr;
        void started(Engine& m) override { e = &m; }
        void turnEnded(std::int64_t t) override {
            if (t == 1500) e->stop();
        }
    } stopper;
    const RunResult r = run("turn 100\n", &stopper);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.turns, 3u);
    EXPECT_EQ(r.end, 1500);
}

// The waveform of a raise: declarations for what was written, values at their instants.
TEST_F(ScriptEngine, TheWaveformShowsTheBoomAndTheStateOverTime) {
    writeSettings(0);
    VcdWriter vcd;
    std::string error;
    ASSERT_TRUE(vcd.open("run.vcd", error)) << error;
    run(std::string(kUntilTheRaise) + "turn\n", &vcd);
    ASSERT_TRUE(vcd.close(error)) << error;
    const std::string v = test::readFile("run.vcd");
    // The identifier declared for a kind of variable in a control's scope.
    auto id = [&](const std::string& scope, const std::string& kind) {
        const auto s = v.find("$scope module " + scope + " $end\n");
        const auto d = v.find("$var " + kind + " ", s);
        if (s == std::string::npos || d == std::string::npos) {
            ADD_FAILURE() << scope << " " << kind;
            return std::string("?");
        }
        const auto start = d + kind.size() + 6;
        return v.substr(start, v.find(' ', start) - start);
    };
    EXPECT_EQ(v.rfind("$version borne-scenario $end\n$timescale 1ms $end\n", 0), 0u);
    const std::string up = id("CheckBox4", "wire 1");
    const std::string lamp = id("Shape1", "wire 24");
    const std::string state = id("tGestionBarriere", "string 1");
    EXPECT_NE(v.find("$var string 1 " + state + " etat $end"), std::string::npos);
    EXPECT_NE(v.find("$var wire 24 " + lamp + " Brush_Color $end"), std::string::npos);
    EXPECT_EQ(v.find("$scope module CheckBox16 $end"), std::string::npos); // never written
    const auto a1500 = v.find("\n#1500\n");
    const auto a3500 = v.find("\n#3500\n");
    ASSERT_NE(a1500, std::string::npos);
    ASSERT_NE(a3500, std::string::npos);
    const auto green = v.find("\nb000000001000000000000000 " + lamp + "\n"); // clGreen, motor running up
    EXPECT_GT(green, a1500);
    EXPECT_LT(green, a3500);
    const auto raised = v.find("\n1" + up + "\n"); // the up sensor, ticked at the end of the pass
    EXPECT_GT(raised, a3500);
    EXPECT_LT(raised, v.find("\n#", a3500 + 1));
    EXPECT_NE(v.find("sETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT " + state + "\n"), std::string::npos);
    EXPECT_EQ(v.substr(v.size() - 7), "\n#4000\n"); // the run's end
}
