// A session recorded in the window at other speeds than the terminal's own, with pauses (one inside a
// boom raise), one-turn steps and speed changes from the keyboard: the suite runner replays it exactly.
#include "tests/recording/Session.h"

#include "app/IHM.h"
#include "app/MonThread.h"
#include "tests/window/WindowSandbox.h"

#include <QTest>

namespace borne::test {
namespace {

class PacedRecording : public Sandbox {
protected:
    ~PacedRecording() override {
        window.reset();
        delete threadBarriere;
        threadBarriere = nullptr;
        recorder.reset();
        panneau().reinitialiser();
    }
    void key(int k) { QTest::keyClick(window.get(), Qt::Key(k)); }
    void click(const char* name) {
        QTest::mouseClick(window->controle(name), Qt::LeftButton, {}, QPoint(8, 8));
    }

    const std::filesystem::path rec = std::filesystem::current_path() / "rec";
    recording::RecordingClock* clock = nullptr; // owned by the recorder
    std::unique_ptr<recording::Recorder> recorder;
    std::unique_ptr<TForm1> window;
};

TEST_F(PacedRecording, PausesOneTurnStepsAndSpeedChangesReplayExactly) {
    writeSettings(0);
    auto newClock = std::make_unique<recording::RecordingClock>();
    clock = newClock.get();
    recorder = std::make_unique<recording::Recorder>(rec, std::move(newClock));
    window = std::make_unique<TForm1>(nullptr, Options{.vitesse = 10});
    recorder->started(threadBarriere->gestion());
    window->show();
    window->activateWindow(); // the keys go to the window in front
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(waitUntil([&] { return clock->tours() >= 3; }));

    key(Qt::Key_Space);
    click("CheckBox1"); // a car arrives while time stands still
    key(Qt::Key_N);     // the turn under way ends, maybe without having seen it: paused again after it
    ASSERT_TRUE(waitUntil([&] { return clock->enPause(); }));
    key(Qt::Key_N); // this one sees it
    ASSERT_TRUE(waitUntil([&] { return clock->enPause(); }));
    EXPECT_EQ(panel.EtatCourant.Text(), "ETAT_ATTENTE_AUTORISATION");
    key(Qt::Key_Minus); // x5
    key(Qt::Key_Space);
    click("CheckBox3"); // the attendant lets it in: the boom rises
    ASSERT_TRUE(waitUntil([&] { return clock->state().inWait && clock->state().length == 2000; }));
    key(Qt::Key_Space); // paused inside the raise
    const auto instant = clock->instant();
    QTest::qWait(100);
    EXPECT_EQ(clock->instant(), instant);
    click("CheckBox2"); // the car on both loops, mid-raise
    key(Qt::Key_Plus);
    key(Qt::Key_Space);
    ASSERT_TRUE(
        waitUntil([&] { return panel.EtatCourant.Text() == "ETAT_VEHICULE_AU_MILIEU_ENTRANT"; }, 10000));
    click("Button13");
    threadBarriere->AttendreFin();
    recorder->finish(threadBarriere->gestion());

    const std::string script = test::readFile(rec / "scenario.scn");
    EXPECT_NE(script.find("\ntick CheckBox2\n"), std::string::npos) << script;
    const Replay r = replay(rec);
    EXPECT_EQ(r.code, 0) << r.output << "\n--- the recording:\n" << script;
    EXPECT_NE(r.output.find("1 passed, 0 failed"), std::string::npos) << r.output;
}

} // namespace
} // namespace borne::test
