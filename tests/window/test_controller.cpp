// A controller built apart in the window: named in the title, refused before any turn when it does not
// load, its exceptions shown while the window stays on the panel as it was, its crash named on standard
// error before the process dies.
#include "WindowSandbox.h"

#include "control/Controleur.h"
#include "support/Common.h"

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

// The program itself, as a child process in this test's folder: ended by SIGTERM (the close box's stop,
// which also ends an error dialog's loop) once it has said it refuses or has written a journal line.
struct ProgramRun {
    QProcess::ExitStatus status;
    int code; // the signal's number for a crash
    std::string err;
    bool journal; // Log.txt exists
};

ProgramRun runBorne(const QStringList& arguments, const std::optional<QString>& variable) {
    QProcess borne;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("BORNE_CONTROLLER");
    if (variable) env.insert("BORNE_CONTROLLER", *variable);
    borne.setProcessEnvironment(env);
    borne.start(BORNE_PROGRAM, arguments);
    std::string err;
    for (int i = 0; i < 400 && borne.state() != QProcess::NotRunning; ++i) {
        borne.waitForReadyRead(50);
        err += borne.readAllStandardError().toStdString();
        if (err.find("borne: ") != std::string::npos || !readFile("Log.txt").empty()) {
            ::kill(static_cast<pid_t>(borne.processId()), SIGTERM);
            break;
        }
    }
    borne.waitForFinished(20000);
    err += borne.readAllStandardError().toStdString();
    return {borne.exitStatus(), borne.exitCode(), err, fs::exists("Log.txt")};
}

struct Choice {
    QStringList arguments;
    std::optional<QString> variable;
    int code;
    std::string said; // on standard error ("" when the controller runs)
};

class ControllerChoice : public Sandbox {};

TEST_F(ControllerChoice, TheOptionWinsOverTheVariableAndOneThatDoesNotLoadIsRefusedBeforeAnyTurn) {
    writeSettings(MODE_SUPERVISE);
    const QString reference = BORNE_REFERENCE;
    const Choice choices[] = {
        {{"--controller", "missing.so"}, std::nullopt, 2, "borne: --controller missing.so: no such file\n"},
        {{}, "missing.so", 2, "borne: BORNE_CONTROLLER: missing.so: no such file\n"},
        {{"--controller=Config.cfg"}, reference, 2, "borne: --controller Config.cfg: not a shared library\n"},
        {{"--controller", reference}, "missing.so", 0, ""},
        {{}, "", 0, ""}, // an empty variable: the terminal's own
    };
    for (const Choice& c : choices) {
        fs::remove("Log.txt");
        const ProgramRun r = runBorne(c.arguments, c.variable);
        const std::string row =
            c.arguments.join(' ').toStdString() + " / " + c.variable.value_or("unset").toStdString();
        EXPECT_EQ(r.status, QProcess::NormalExit) << row;
        EXPECT_EQ(r.code, c.code) << row << r.err;
        if (c.code == 2) {
            EXPECT_NE(r.err.find(c.said), std::string::npos) << row << r.err;
            EXPECT_FALSE(r.journal) << row << ": a turn ran";
        } else {
            EXPECT_EQ(r.err.find("borne: "), std::string::npos) << row << r.err;
            EXPECT_TRUE(r.journal) << row;
        }
    }
}

TEST_F(ControllerChoice, ACrashIsNamedOnStandardErrorAndTheProcessDiesOfItsSignal) {
    // Both crash on the third turn, once the first turn's journal line is written.
    for (const char* plugin : {"crashes-on-third-idle-turn", "recurses-forever-on-third-idle-turn"}) {
        writeSettings(MODE_SUPERVISE);
        fs::remove("Log.txt");
        QProcess borne;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("BORNE_CONTROLLER", QString(BORNE_FAULTY) + "/" + plugin + ".so");
        borne.setProcessEnvironment(env);
        borne.start(BORNE_PROGRAM, {});
        ASSERT_TRUE(borne.waitForFinished(20000)) << plugin;
        const std::string err = borne.readAllStandardError().toStdString();
        EXPECT_EQ(borne.exitStatus(), QProcess::CrashExit) << plugin << err;
        EXPECT_EQ(borne.exitCode(), SIGSEGV) << plugin << err;
        const std::string line = std::string("borne: controller ") + plugin + ".so crashed: SIGSEGV\n";
        const auto at = err.find(line);
        ASSERT_NE(at, std::string::npos) << err;
        EXPECT_TRUE(at == 0 || err[at - 1] == '\n') << "a line of its own: " << err;
        EXPECT_EQ(err.find(line, at + 1), std::string::npos) << "said once: " << err;
        const char kFirstTurn[] =
            "EtatCourant = \0ETAT_VEHICULE_ABSENT;      Evenement = \0VEHICULE_ABSENT;\n";
        EXPECT_EQ(readFile("Log.txt"), std::string(kFirstTurn, sizeof kFirstTurn - 1)) << plugin;
    }
}

} // namespace
} // namespace borne::test
