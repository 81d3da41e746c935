// A controller built apart in the window: named in the title, refused before any turn when it does not
// load, its exceptions shown while the window stays on the panel as it was, its crash named on standard
// error before the process dies.
#include "tests/window/WindowSandbox.h"

#include "control/Controleur.h"
#include "tests/support/Common.h"
#include "tools/protocol/Remote.h"

#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <optional>

namespace borne::test {
namespace {

namespace fs = std::filesystem;

// The error dialogs, dismissed as they open; their texts in order.
class Dialogs {
public:
    Dialogs() {
        QObject::connect(&watch_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text().toStdString());
                box->accept();
            }
        });
        watch_.start(10);
    }
    std::vector<std::string> texts;

private:
    QTimer watch_;
};

struct Failure {
    const char* plugin; // under tests/controllers/faulty/
    int mode;
    const char* click; // what the user does once the window is up (nullptr: nothing)
    const char* dialog;
    const char* stderrLine;
};

class ControllerInWindow : public Sandbox, public ::testing::WithParamInterface<Failure> {
protected:
    ~ControllerInWindow() override {
        fenetre.reset();
        delete threadBarriere;
        threadBarriere = nullptr;
        panneau().reinitialiser();
    }
    HorlogeReelle realClock;
    HorlogeInstallee installee{realClock};
    std::unique_ptr<TForm1> fenetre;
};

TEST_P(ControllerInWindow, StopsTheCycleShowsWhoAndWhereAndLeavesTheWindowUp) {
    const Failure& f = GetParam();
    writeSettings(f.mode);
    std::string why;
    const auto type = chargerControleur(std::string(BORNE_FAULTY) + "/" + f.plugin + ".so", why);
    ASSERT_TRUE(type) << why;
    Dialogs dialogs;
    ::testing::internal::CaptureStderr();
    fenetre = std::make_unique<TForm1>(nullptr, Options{}, &*type);
    fenetre->show();
    EXPECT_EQ(fenetre->windowTitle().toStdString(), std::string("Velmora \u2014 ") + f.plugin + ".so");
    if (f.click != nullptr) QTest::mouseClick(fenetre->controle(f.click), Qt::LeftButton, {}, QPoint(6, 8));
    ASSERT_TRUE(waitUntil([&] { return !dialogs.texts.empty(); })) << "no error display";
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{f.dialog});
    const std::string line =
        std::string("borne: the terminal stopped on an unexpected error: ") + f.stderrLine;
    const auto at = err.find(line + "\n");
    EXPECT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find(line, at + 1), std::string::npos) << "said once: " << err;

    // No more turns: the panel stays as the failure left it while the real clock goes on.
    ASSERT_TRUE(threadBarriere->wait(2000));
    const auto panel = panelSnapshot();
    const std::string journal = readFile("Log.txt");
    QTest::qWait(1200);
    settle();
    EXPECT_EQ(panelSnapshot(), panel);
    EXPECT_EQ(readFile("Log.txt"), journal);
    EXPECT_TRUE(journal.empty() || journal.back() == '\n');
    EXPECT_TRUE(fenetre->isVisible());
    QTest::mouseClick(fenetre->controle("Button13"), Qt::LeftButton);
    EXPECT_FALSE(fenetre->isVisible()) << "Quitter still closes the window";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ControllerInWindow,
    ::testing::Values(
        Failure{"throws-in-alarm", MODE_SUPERVISE, "CheckBox8",
                "controller throws-in-alarm.so stopped in ETAT_ALARME: the alarm is not written yet",
                "the alarm is not written yet"},
        Failure{"throws-at-start-up-in-test-mode", MODE_TEST, nullptr,
                "controller throws-at-start-up-in-test-mode.so stopped in its start-up: not a "
                "standard exception",
                "not a standard exception"}),
    [](const auto& info) {
        std::string name = info.param.plugin;
        std::erase(name, '-');
        return name;
    });

// A controller in a process of its own that breaks the protocol in its first turn: the error display
// names it and what it sent, and the window stays up with the panel as its start-up left it.
TEST_F(ControllerInWindow, ThatBreaksTheProtocolIsNamedAndTheWindowStays) {
    writeSettings(MODE_SUPERVISE);
    std::ofstream("bad.sh") << "#!/bin/sh\nprintf 'hello\\t1\\tbad\\t\\n' >&3\nread -r w <&3\nread -r s <&3\n"
                               "printf 'new\\t1\\ttSystemeBarriere\\ncall\\t1\\tAfficher\\tBONJOUR\\t-\\n"
                               "ready\\t0\\t0\\n' >&3\nread -r t <&3\nprintf 'bogus\\n' >&3\nsleep 5\n";
    fs::permissions("bad.sh", fs::perms::owner_all);
    std::string why;
    const auto type = protocol::loadController("bad.sh", protocol::Settings{}, why);
    ASSERT_TRUE(type) << why;
    Dialogs dialogs;
    fenetre = std::make_unique<TForm1>(nullptr, Options{}, &*type);
    fenetre->show();
    ASSERT_TRUE(waitUntil([&] { return !dialogs.texts.empty(); })) << "no error display";
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{"controller bad.sh stopped in ETAT_VEHICULE_ABSENT: broke the "
                                                      "protocol at line 5 of its session: unknown request \"bogus\""});
    ASSERT_TRUE(threadBarriere->wait(2000));
    EXPECT_EQ(panneau().Edit1.Text(), "BONJOUR");
    EXPECT_TRUE(fenetre->isVisible());
}

// The program itself, as a child process in this test's folder. Unless it is to crash, it is ended by
// SIGTERM (the close box's stop, which also ends an error dialog's loop) once it has said why it refuses
// or has written a journal line.
struct Choice {
    QStringList arguments;
    std::optional<QString> variable; // BORNE_CONTROLLER
    QProcess::ExitStatus status;
    int code;         // the signal's number for a crash
    std::string said; // a line of standard error ("": none starting "borne: ")
};

class ControllerChoice : public Sandbox {};

TEST_F(ControllerChoice, RefusedBeforeAnyTurnRunOrNamedByTheSignalItDiesOf) {
    const QString reference = BORNE_REFERENCE, faulty = QString(BORNE_FAULTY) + "/";
    const Choice choices[] = {
        {{"--controller", "missing.so"},
         {},
         QProcess::NormalExit,
         2,
         "borne: --controller missing.so: no such file"},
        {{}, "missing.so", QProcess::NormalExit, 2, "borne: BORNE_CONTROLLER: missing.so: no such file"},
        {{"--controller=Config.cfg"},
         reference,
         QProcess::NormalExit,
         2,
         "borne: --controller Config.cfg: not a shared library"}, // the option wins
        {{"--controller", reference}, "missing.so", QProcess::NormalExit, 0, ""},
        {{}, "", QProcess::NormalExit, 0, ""}, // an empty variable: the terminal's own
        // Both crash in the third turn, after the first turn's journal line.
        {{},
         faulty + "crashes-on-third-idle-turn.so",
         QProcess::CrashExit,
         SIGSEGV,
         "borne: controller crashes-on-third-idle-turn.so crashed: SIGSEGV"},
        {{"--controller", faulty + "recurses-forever-on-third-idle-turn.so"},
         {},
         QProcess::CrashExit,
         SIGSEGV,
         "borne: controller recurses-forever-on-third-idle-turn.so crashed: SIGSEGV"},
    };
    const char kFirstTurn[] = "EtatCourant = \0ETAT_VEHICULE_ABSENT;      Evenement = \0VEHICULE_ABSENT;\n";
    for (const Choice& c : choices) {
        writeSettings(MODE_SUPERVISE);
        fs::remove("Log.txt");
        QProcess borne;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("BORNE_CONTROLLER");
        if (c.variable) env.insert("BORNE_CONTROLLER", *c.variable);
        borne.setProcessEnvironment(env);
        borne.start(BORNE_PROGRAM, c.arguments);
        std::string err;
        for (int i = 0; i < 400 && borne.state() != QProcess::NotRunning; ++i) {
            borne.waitForReadyRead(50);
            err += borne.readAllStandardError().toStdString();
            if (c.status == QProcess::NormalExit &&
                (err.find("borne: ") != std::string::npos || !readFile("Log.txt").empty())) {
                ::kill(static_cast<pid_t>(borne.processId()), SIGTERM);
                break;
            }
        }
        ASSERT_TRUE(borne.state() == QProcess::NotRunning || borne.waitForFinished(20000));
        err += borne.readAllStandardError().toStdString();
        const std::string row =
            c.arguments.join(' ').toStdString() + " / " + c.variable.value_or("unset").toStdString();
        EXPECT_EQ(borne.exitStatus(), c.status) << row << err;
        EXPECT_EQ(borne.exitCode(), c.code) << row << err;
        if (c.said.empty()) {
            EXPECT_EQ(err.find("borne: "), std::string::npos) << row << err;
        } else {
            const auto at = err.find(c.said + "\n");
            EXPECT_TRUE(at != std::string::npos && (at == 0 || err[at - 1] == '\n')) << row << err;
            EXPECT_EQ(err.find(c.said, at + 1), std::string::npos) << "said once: " << row << err;
        }
        if (c.code == 2)
            EXPECT_FALSE(fs::exists("Log.txt")) << row << ": a turn ran";
        else
            EXPECT_EQ(readFile("Log.txt"), std::string(kFirstTurn, sizeof kFirstTurn - 1)) << row;
    }
}

} // namespace
} // namespace borne::test
