// The window in front of a class: the paced clock under the keyboard (pause, one turn, speed), the
// digits as the keypad, the bench window, and the command line that starts it all.
#include "tests/window/WindowSandbox.h"

#include "app/BenchWindow.h"
#include "app/Programme.h"
#include "tests/support/Common.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <vector>

namespace borne::test {
namespace {

// The main window over a terminal on the paced clock, started with `options`, in the supervised mode.
class Classroom : public Sandbox {
protected:
    void open(Options options) {
        writeSettings(0);
        fenetre = std::make_unique<TForm1>(nullptr, options);
        fenetre->show();
        fenetre->activateWindow(); // the keys go to the window in front
        ASSERT_TRUE(QTest::qWaitForWindowActive(fenetre.get()));
    }
    ~Classroom() override {
        fenetre.reset();
        delete threadBarriere;
        threadBarriere = nullptr;
        panneau().reinitialiser();
    }
    void key(int k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(fenetre.get(), Qt::Key(k), m); }
    void click(const char* name) {
        QTest::mouseClick(fenetre->controle(name), Qt::LeftButton, {}, QPoint(8, 8));
    }
    // N, then until the turn is over and the clock paused again.
    void oneTurn() {
        const auto before = paced.tours();
        key(Qt::Key_N);
        ASSERT_TRUE(waitUntil([&] { return paced.tours() > before && paced.enPause(); }));
        ASSERT_TRUE(waitUntil([&] { return paced.tours() == before + 1; }, 0));
    }

    HorlogeCadencee paced;
    HorlogeInstallee installed{paced};
    std::unique_ptr<TForm1> fenetre;
};

TEST_F(Classroom, APauseFreezesTimeAndTheBoxesTickedMeanwhileAreReadOnResume) {
    open({.vitesse = 10});
    ASSERT_TRUE(waitUntil([&] { return paced.tours() >= 2; }));
    key(Qt::Key_Space);
    EXPECT_EQ(fenetre->windowTitle(), "Velmora - x10, paused");
    const auto instant = paced.instant();
    const auto turns = paced.tours();
    click("CheckBox1"); // a car on the upstream loop
    QTest::qWait(300);  // three seconds of the terminal's time, were it running
    EXPECT_EQ(paced.instant(), instant);
    EXPECT_EQ(paced.tours(), turns);
    EXPECT_EQ(panel.EtatCourant.Text(), "ETAT_VEHICULE_ABSENT");
    key(Qt::Key_Space);
    EXPECT_EQ(fenetre->windowTitle(), "Velmora - x10");
    EXPECT_TRUE(waitUntil([&] { return panel.EtatCourant.Text() == "ETAT_ATTENTE_AUTORISATION"; }));
}

TEST_F(Classroom, OneTurnRunsExactlyOneTurnThenPauses) {
    open({.enPause = true});
    EXPECT_EQ(fenetre->windowTitle(), "Velmora - paused");
    QTest::qWait(700);
    EXPECT_EQ(paced.tours(), 0) << "paused from the start";
    oneTurn();
    EXPECT_EQ(paced.instant(), 500);
    EXPECT_TRUE(waitUntil([&] { return fenetre->windowTitle() == "Velmora - paused"; }));
    click("CheckBox1");
    oneTurn();
    EXPECT_EQ(paced.instant(), 1000);
    EXPECT_EQ(panel.EtatCourant.Text(), "ETAT_ATTENTE_AUTORISATION");
}

TEST_F(Classroom, TenTimesFasterRunsTenTurnsInAboutHalfASecond) {
    open({.vitesse = 10, .enPause = true});
    QElapsedTimer real;
    real.start();
    key(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return paced.tours() > 10; }));
    EXPECT_GE(real.elapsed(), 450) << "ten turns of 500 ms cannot take less than 500 ms / 10 each";
    EXPECT_LT(real.elapsed(), 2500) << "not paced ten times faster";
}

TEST_F(Classroom, PlusAndMinusStepThroughTheSpeeds) {
    open({.enPause = true});
    const std::vector<std::pair<int, double>> steps = {
        {Qt::Key_Plus, 2},     {Qt::Key_Plus, 5},    {Qt::Key_Plus, 10},  {Qt::Key_Plus, 10},
        {Qt::Key_Minus, 5},    {Qt::Key_Minus, 2},   {Qt::Key_Minus, 1},  {Qt::Key_Minus, 0.5},
        {Qt::Key_Minus, 0.25}, {Qt::Key_Minus, 0.1}, {Qt::Key_Minus, 0.1}};
    for (const auto& [k, speed] : steps) {
        key(k);
        EXPECT_EQ(paced.vitesse(), speed);
    }
    EXPECT_EQ(fenetre->windowTitle(), "Velmora - x0.1, paused");
}

TEST_F(Classroom, QuitterWhilePausedStopsAtOnce) {
    open({.enPause = true});
    oneTurn();
    const std::string journal = readFile("Log.txt");
    click("Button13");
    EXPECT_FALSE(fenetre->isVisible());
    EXPECT_TRUE(threadBarriere->isFinished()) << "the worker has ended by the time the window is closed";
    EXPECT_EQ(readFile("Log.txt"), journal);
    EXPECT_TRUE(journal.empty() || journal.back() == '\n');
}

TEST_F(Classroom, DigitKeysTickTheKeypadAsAClickDoes) {
    open({.enPause = true}); // the worker reads nothing: the keys stay as the keyboard left them
    struct Key {
        int digit;
        CaseACocher& box;
    };
    const Key keys[] = {{1, panel.CheckBox12}, {2, panel.CheckBox13}, {3, panel.CheckBox14},
                        {4, panel.CheckBox15}, {5, panel.CheckBox17}, {6, panel.CheckBox18},
                        {7, panel.CheckBox16}, {8, panel.CheckBox19}, {9, panel.CheckBox20},
                        {0, panel.CheckBox21}};
    std::vector<std::string> byUser;
    const int cle = panel.ajouterObservateur([&](const Ecriture& e) {
        if (e.auteur == Auteur::Utilisateur) byUser.push_back(e.controle.nom());
    });
    for (const Key& k : keys) {
        key(Qt::Key_0 + k.digit);
        EXPECT_TRUE(k.box.Checked()) << k.digit << " on the main row";
        key(Qt::Key_0 + k.digit, Qt::KeypadModifier);
        EXPECT_FALSE(k.box.Checked()) << k.digit << " on the numeric pad";
        EXPECT_EQ(byUser.size(), 2u) << k.digit;
        EXPECT_EQ(byUser.back(), k.box.nom());
        byUser.clear();
        EXPECT_TRUE(fenetre->controle(k.box.nom())
                        ->toolTip()
                        .endsWith(QStringLiteral("(or the %1 key on the keyboard)").arg(k.digit)));
    }
    // An edit with the focus keeps its keys.
    auto* edit = static_cast<QLineEdit*>(fenetre->controle("MessageGardien"));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_5);
    QTest::keyClick(edit, Qt::Key_Space);
    EXPECT_EQ(panel.MessageGardien.Text(), "5 ");
    EXPECT_FALSE(panel.CheckBox17.Checked());
    EXPECT_TRUE(paced.enPause());
    panel.retirerObservateur(cle);
}

TEST_F(Classroom, TheBenchShowsTheCurrentStateAndTheLastTurnsRowsAfterEachTurn) {
    open({.enPause = true, .banc = true});
    bench::BenchWindow& banc = fenetre->banc();
    EXPECT_TRUE(banc.isVisible());
    EXPECT_FALSE(banc.currentState());
    banc.selectState(0);
    oneTurn();
    banc.poll();
    EXPECT_EQ(banc.currentState(), 0);
    const std::vector<std::pair<int, int>> idle = {{0, 1}, {0, 3}};
    EXPECT_EQ(banc.lastRows(), idle);
    const QStringList rows = banc.listedRows();
    ASSERT_EQ(rows.size(), 7);
    EXPECT_TRUE(rows[0].startsWith("> 0.1 ")) << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith("  0.2 "));
    EXPECT_TRUE(rows[2].startsWith("> 0.3 "));

    click("CheckBox1");
    oneTurn();
    banc.poll();
    EXPECT_EQ(banc.currentState(), 1);
    const std::vector<std::pair<int, int>> arrival = {{0, 1}, {0, 5}};
    EXPECT_EQ(banc.lastRows(), arrival);
    EXPECT_TRUE(banc.listedRows()[4].startsWith("> 0.5 "));
    EXPECT_EQ(
        banc.turnLogText().toStdString(),
        "turn\tstart_ms\tstart_state\tevents\tend_state\trows\tstatus\n"
        "1\t0\tETAT_VEHICULE_ABSENT\tVEHICULE_ABSENT\tETAT_VEHICULE_ABSENT\t0.1 0.3\tdone\n"
        "2\t500\tETAT_VEHICULE_ABSENT\tVEHICULE_SUR_BOUCLE_AMONT\tETAT_ATTENTE_AUTORISATION\t0.1 0.5\tdone");
    ASSERT_TRUE(banc.saveTurns("turns.tsv"));
    EXPECT_EQ(readFile("turns.tsv"), banc.turnLogText().toStdString() + "\n");

    banc.changesFilter()->setText("etatcourant");
    EXPECT_EQ(banc.changesText().toStdString(), "500 EtatCourant.Text = ETAT_VEHICULE_ABSENT\n"
                                                "1000 EtatCourant.Text = ETAT_ATTENTE_AUTORISATION");
}

struct OptionCase {
    std::vector<const char*> args;
    const char* error; // "" when accepted
    Options expected;
    int left; // arguments left for Qt, the program's name included
};

TEST(Options, TheCommandLineAsking) {
    const OptionCase cases[] = {
        {{}, "", {}, 1},
        {{"--speed", "2", "--paused"}, "", {.vitesse = 2, .enPause = true}, 1},
        {{"--speed=0.25", "--bench", "--zoom", "2"}, "", {.vitesse = 0.25, .banc = true, .zoom = 2}, 1},
        {{"-style", "fusion", "--zoom=4"}, "", {.zoom = 4}, 3},
        {{"--speed", "0.1"}, "", {.vitesse = 0.1}, 1},
        {{"--speed", "20"}, "--speed takes a number from 0.1 to 10, not '20'", {}, 0},
        {{"--speed", "0.05"}, "--speed takes a number from 0.1 to 10, not '0.05'", {}, 0},
        {{"--speed", "fast"}, "--speed takes a number from 0.1 to 10, not 'fast'", {}, 0},
        {{"--speed", "2x"}, "--speed takes a number from 0.1 to 10, not '2x'", {}, 0},
        {{"--speed", "nan"}, "--speed takes a number from 0.1 to 10, not 'nan'", {}, 0},
        {{"--speed="}, "--speed takes a number from 0.1 to 10, not ''", {}, 0},
        {{"--zoom", "0.5"}, "--zoom takes a number from 1 to 4, not '0.5'", {}, 0},
        {{"--zoom"}, "--zoom needs a number", {}, 0},
        {{"--controller", "alice.so", "--paused"}, "", {.enPause = true, .controleur = "alice.so"}, 1},
        {{"--controller=../lab/bob.so"}, "", {.controleur = "../lab/bob.so"}, 1},
        {{"--controller"}, "--controller needs a file (a controller plug-in, NAME.so)", {}, 0},
        {{"--controller="}, "--controller needs a file (a controller plug-in, NAME.so)", {}, 0},
    };
    for (const OptionCase& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("borne")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        int argc = static_cast<int>(argv.size()) - 1;
        Options o;
        const std::string error = lireOptions(argc, argv.data(), o);
        const std::string line = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(error, c.error) << line;
        if (*c.error != '\0') continue;
        EXPECT_EQ(o.vitesse, c.expected.vitesse) << line;
        EXPECT_EQ(o.enPause, c.expected.enPause) << line;
        EXPECT_EQ(o.banc, c.expected.banc) << line;
        EXPECT_EQ(o.zoom, c.expected.zoom) << line;
        EXPECT_EQ(o.controleur, c.expected.controleur) << line;
        EXPECT_EQ(argc, c.left) << line;
        EXPECT_EQ(argv[static_cast<std::size_t>(argc)], nullptr) << line;
    }
}

} // namespace
} // namespace borne::test
