// Recording in the window, in this process: the real window (offscreen) and worker, a user clicking and
// typing, the stop by "Quitter" or the close box, then the suite runner replaying the folder.
#include "tests/recording/Session.h"

#include "app/IHM.h"
#include "app/MonThread.h"
#include "app/Recorder.h"
#include "journal/FichierJournal.h"
#include "tests/window/WindowSandbox.h"
#include "tools/grammar/Grammar.h"

#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace borne::test {
namespace {

using recording::ClockState;
using recording::virtualInstant;
using std::chrono::microseconds;
using std::chrono::milliseconds;

struct InstantCase {
    const char* rule;
    ClockState state;
    std::chrono::nanoseconds elapsed;
    int divisor;
    std::int64_t expected;
};

TEST(VirtualInstant, FollowsTheWorkersWaits) {
    const InstantCase cases[] = {
        {"between two waits: the last wait's end", {1500, false, 0}, milliseconds(40), 1, 1500},
        {"a wait's first instant belongs to the logic before it",
         {1500, true, 500},
         microseconds(0),
         1,
         1501},
        {"a part of a millisecond counts as one", {1500, true, 500}, microseconds(300), 1, 1501},
        {"a whole millisecond stays one", {1500, true, 500}, microseconds(1000), 1, 1501},
        {"rounded up", {1500, true, 500}, microseconds(1001), 1, 1502},
        {"mid-movement", {0, true, 2000}, milliseconds(700), 1, 700},
        {"never past the wait's end", {1500, true, 500}, milliseconds(900), 1, 2000},
        {"a divided wait counts its whole length", {0, true, 500}, microseconds(2500), 100, 250},
        {"a divided wait at its real end", {0, true, 500}, milliseconds(5), 100, 500},
        {"a wait held for days does not overflow",
         {7, true, 2000},
         std::chrono::hours(24 * 365),
         1000000,
         2007},
        {"an empty wait", {300, true, 0}, milliseconds(1), 1, 300},
    };
    for (const InstantCase& c : cases)
        EXPECT_EQ(virtualInstant(c.state, c.elapsed, c.divisor), c.expected) << c.rule;
}

TEST(RecordingClock, CountsOnlyTheWorkersWaitsAndWhereItWasStopped) {
    recording::RecordingClock clock(1000); // waits a thousand times shorter
    clock.attendre(2000);                  // start-up, on the thread that built the clock
    EXPECT_EQ(clock.instant(), 0) << "start-up's waits are before the recording's time 0";

    std::thread worker([&] {
        clock.attendre(2000);
        clock.attendre(500);
    });
    worker.join();
    EXPECT_EQ(clock.instant(), 2500);

    clock.arreter();
    std::thread stopped([&] { EXPECT_THROW(clock.attendre(500), ArretDemande); });
    stopped.join();
    EXPECT_EQ(clock.stopInstant(), 2500) << "stopped between two waits: at the last one's end";
}

TEST(RecordingClock, AStopInsideAWaitFallsInsideIt) {
    recording::RecordingClock clock; // real time: the wait lasts until the stop cuts it
    std::thread worker([&] {
        clock.attendre(500);
        EXPECT_THROW(clock.attendre(600000), ArretDemande);
    });
    ASSERT_TRUE(waitUntil([&] { return clock.state().inWait && clock.state().length == 600000; }, 10000));
    clock.arreter();
    worker.join();
    EXPECT_GT(clock.stopInstant(), 500);
    EXPECT_LE(clock.stopInstant(), 500 + 600000);
}

// The window over a terminal whose session is recorded into rec/, the worker held in each wait.
class Recording : public Sandbox {
protected:
    ~Recording() override {
        window.reset();
        delete threadBarriere; // stops its clock, which the recorder owns: the recorder goes after
        threadBarriere = nullptr;
        recorder.reset();
        panneau().reinitialiser();
    }

    void start(int mode) {
        writeSettings(mode);
        auto newClock = std::make_unique<SteppedClock>();
        clock = newClock.get();
        recorder = std::make_unique<recording::Recorder>(rec, std::move(newClock));
        window = std::make_unique<TForm1>(nullptr);
        recorder->started(threadBarriere->gestion());
        window->show();
        ASSERT_TRUE(waitUntil([&] { return clock->waitsEntered() == 1; })) << "the first turn's pause";
        settle();
    }

    // Lets the worker go on to its next wait, the window showing what it wrote; returns that wait's length.
    int next() {
        const int n = clock->waitsEntered();
        clock->release();
        EXPECT_TRUE(waitUntil([&] { return clock->waitsEntered() > n; })) << "the worker is stuck";
        settle();
        return clock->state().length;
    }
    // Goes on until the worker waits `ms` (a boom movement: 2000); false after `max` waits.
    bool nextWaitOf(int ms, int max = 12) {
        for (int i = 0; i < max; ++i)
            if (next() == ms) return true;
        return false;
    }

    void settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    // The user's hands on the window.
    void click(const char* name) {
        QTest::mouseClick(window->controle(name), Qt::LeftButton, {}, QPoint(8, 8));
    }
    // Key by key, each with its text as a keyboard layout delivers it (keyClicks takes only ASCII).
    void typeInto(const char* name, const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, window->controle(name), Qt::Key_unknown, QString(c), {});
    }

    // What the program does once the message loop has ended.
    void stopped() {
        threadBarriere->Arreter();
        threadBarriere->AttendreFin();
        recorder->finish(threadBarriere->gestion());
    }

    void expectReplayed() {
        EXPECT_EQ(test::readFile(rec / "expected" / "Log.txt"),
                  test::readFile("Log.txt").substr(journalBefore.size()));
        EXPECT_EQ(test::readFile(rec / "Config.cfg"), test::readFile("Config.cfg"));
        EXPECT_EQ(test::readFile(rec / "CHIP.INI"), test::readFile("CHIP.INI"));
        const Replay r = replay(rec);
        EXPECT_EQ(r.code, 0) << r.output << "\n--- the recording:\n" << test::readFile(rec / "scenario.scn");
        EXPECT_NE(r.output.find("1 passed, 0 failed"), std::string::npos) << r.output;
    }

    const std::filesystem::path rec = std::filesystem::current_path() / "rec";
    std::string journalBefore;
    SteppedClock* clock = nullptr; // owned by the recorder
    std::unique_ptr<recording::Recorder> recorder;
    std::unique_ptr<TForm1> window;
};

TEST_F(Recording, ACarLeavingWithTheSensorTickedAgainDuringTheRaiseAndQuitterDuringTheLowering) {
    start(0);
    typeInto("MessageGardien", "Bonjour");
    click("CheckBox2"); // a car on the downstream loop: it leaves, the boom rises
    ASSERT_TRUE(panel.CheckBox2.Checked());
    ASSERT_TRUE(nextWaitOf(2000)) << "no raise";
    click("CheckBox5"); // the boom-down sensor again while the boom rises
    ASSERT_TRUE(panel.CheckBox5.Checked());
    EXPECT_EQ(next(), 2000) << "the sensor ticked during the raise gives a second pass";

    next();
    click("CheckBox1");
    next();
    typeInto("EtatCourant", "x");
    click("CheckBox2");
    next();
    click("CheckBox1"); // gone: the boom comes down
    ASSERT_TRUE(nextWaitOf(2000)) << "no lowering";
    click("Button13");
    EXPECT_FALSE(window->isVisible());
    stopped();

    const std::string script = test::readFile(rec / "scenario.scn");
    EXPECT_EQ(script.rfind("# A session recorded in the window on ", 0), 0u) << script;
    EXPECT_NE(script.find("\ntype MessageGardien Bonjour\n"), std::string::npos) << script;
    EXPECT_NE(script.find("\nexpect Moteur.Text ON\n"), std::string::npos) << "stopped mid-movement";
    EXPECT_NE(script.find("\nexpect etat "), std::string::npos);
    EXPECT_FALSE(test::readFile(rec / "expected" / "Log.txt").empty());
    expectReplayed();
}

TEST_F(Recording, BoomRaisedAtStartAKeySeenByNoTurnAnEarlierJournalAndTheCloseBox) {
    const char kEarlier[] = "EtatCourant = \0ETAT_DEFAUT;      Evenement = \0VEHICULE_ABSENT;\n";
    journalBefore.assign(kEarlier, sizeof kEarlier - 1);
    std::ofstream("Log.txt", std::ios::binary) << journalBefore;
    start(2);           // out of service, boom raised: start-up's 2000 ms are not part of the recording
    click("CheckBox8"); // the alarm
    next();
    click("CheckBox14");
    click("CheckBox14"); // a key ticked and unticked within one pause
    typeInto("Edit1", "abc");
    next();
    click("CheckBox8");
    next();
    next();
    window->close();
    stopped();
    EXPECT_NE(test::readFile(rec / "scenario.scn").find("\nuntick CheckBox14\n"), std::string::npos);
    expectReplayed();
}

// Stopped before any journal step: the terminal left no Log.txt, the recording an empty expected one.
// The typed text keeps its outer spaces and its accent through the script line and back; a pasted text
// of two lines, which no script line can hold, leaves a comment and a script that still runs.
TEST_F(Recording, QuitterInTheFirstPauseWithATextEndingInSpacesAndAPasteOfTwoLines) {
    start(0);
    typeInto("MessageGardien", QString::fromUtf8(" à tous  "));
    panel.Edit1.ecrire(Propriete::Text, Valeur(std::string("deux\nlignes")), Auteur::Utilisateur);
    click("Button13");
    stopped();
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
    const std::string script = test::readFile(rec / "scenario.scn");
    EXPECT_NE(script.find("\nexpect MessageGardien.Text \" à tous  \"\n"), std::string::npos) << script;
    EXPECT_NE(script.find("\n# Edit1: a text that no script line can hold\n"), std::string::npos) << script;
    expectReplayed();
}

// A disk that takes the first 40 bytes of the journal's first line, holds there until the test lets it
// go, then is full for the rest of that line; later lines go through.
std::atomic<int> g_fillCalls{0};
std::atomic<bool> g_fillHeld{false}, g_fillReleased{false};

ssize_t fillsUpMidLine(int fd, const void* bytes, std::size_t n) {
    const int call = ++g_fillCalls;
    if (call == 2) {
        errno = ENOSPC;
        return -1;
    }
    if (call > 2) return FichierJournal::appelsSysteme().ecrire(fd, bytes, n);
    const ssize_t written = FichierJournal::appelsSysteme().ecrire(fd, bytes, std::min<std::size_t>(n, 40));
    g_fillHeld = true;
    for (int i = 0; i < 10000 && !g_fillReleased; ++i) // 10 s at most, should the test never release it
        std::this_thread::sleep_for(milliseconds(1));
    return written;
}

// Puts the disk in place and, whatever happens to the test, lets the held line go and the system back.
struct FillingDisk {
    FillingDisk() {
        g_fillCalls = 0;
        g_fillHeld = g_fillReleased = false;
        system = FichierJournal::remplacerAppels({FichierJournal::appelsSysteme().ouvrir, fillsUpMidLine});
    }
    ~FillingDisk() {
        g_fillReleased = true;
        FichierJournal::remplacerAppels(system);
    }
    FichierJournal::Appels system{};
};

// The recording copies the journal while it grows: a line the disk took only in part, which the journal
// then cuts back, must not reach expected/Log.txt, nor shift what is copied after it.
TEST_F(Recording, AJournalLineCutBackByAFullDiskIsNeverCopied) {
    start(0);
    const FillingDisk disk;
    clock->release(); // on to the turn's journal line
    ASSERT_TRUE(waitUntil([] { return g_fillHeld.load(); })) << "no journal line was written";
    // Each tick wakes the recording's writer, which copies the journal after writing the tick: once the
    // second tick is in the script, the copy that followed the first has been made.
    click("CheckBox8");
    ASSERT_TRUE(
        waitUntil([&] { return test::readFile(rec / "scenario.scn").ends_with("tick CheckBox8\n"); }));
    click("CheckBox8");
    ASSERT_TRUE(
        waitUntil([&] { return test::readFile(rec / "scenario.scn").ends_with("untick CheckBox8\n"); }));
    g_fillReleased = true;
    ASSERT_TRUE(waitUntil([&] { return clock->waitsEntered() == 2; })) << "the worker is stuck";
    EXPECT_EQ(test::readFile("Log.txt"), "") << "the journal kept a fragment";
    click("CheckBox1"); // a car: a later turn's line goes in whole, where the fragment was
    for (int i = 0; i < 6 && test::readFile("Log.txt").empty(); ++i)
        next();
    ASSERT_FALSE(test::readFile("Log.txt").empty());
    click("Button13");
    stopped();
    EXPECT_EQ(test::readFile(rec / "expected" / "Log.txt"), test::readFile("Log.txt"));
}

} // namespace

// A session idle for longer than one `wait` may last still replays: the gap is split.
TEST(WaitLines, AGapLongerThanOneWaitIsSplitAndAddsUp) {
    const std::int64_t gap = 2 * scenario::kMaxCount + 7; // about 56 hours
    const scenario::Script s = scenario::parse(recording::waitLines(gap));
    ASSERT_EQ(s.errorCount, 0u) << s.errors[0].message;
    ASSERT_EQ(s.commands.size(), 3u);
    std::int64_t total = 0;
    for (const scenario::Command& c : s.commands) {
        EXPECT_EQ(c.verb, scenario::Verb::Wait);
        total += c.count;
    }
    EXPECT_EQ(total, gap);
    EXPECT_EQ(recording::waitLines(scenario::kMaxCount), "wait 100000000\n");
    EXPECT_EQ(recording::waitLines(0), "");
}

} // namespace borne::test
