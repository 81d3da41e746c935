// The stop: "Quitter" or the close box, also in the middle of a boom movement, and the exit status of
// the whole program.
#include "tests/window/WindowSandbox.h"

#include "journal/FichierJournal.h"
#include "tests/support/Common.h"
#include "tests/support/StalledDisk.h"

#include <QProcess>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>

namespace borne::test {
namespace {

class WindowStop : public WindowSandbox {
protected:
    // Puts a car on the downstream loop: the terminal lets it out and raises the boom (a 2000 ms wait);
    // then stops the terminal by `arret`, inside that wait. The window is closed and the worker finished
    // by the time `arret` returns, so the panel and the journal stay as they were, the movement never
    // finished.
    void arreterPendantUneMontee(const std::function<void()>& arret) {
        QTest::mouseClick(fenetre->controle("CheckBox2"), Qt::LeftButton, {}, QPoint(8, 8));
        ASSERT_TRUE(panel.CheckBox2.Checked());
        ASSERT_TRUE(waitUntil([&] { return realClock.waitingFor() == 2000; })) << "no raise started";
        const std::string journal = readFile("Log.txt");
        arret();
        EXPECT_FALSE(fenetre->isVisible());
        EXPECT_TRUE(threadBarriere->isFinished()) << "the worker has ended by the time the window is closed";
        const auto apres = panelSnapshot();
        EXPECT_EQ(std::get<std::string>(apres.at("Moteur.Text")), "ON");
        EXPECT_FALSE(std::get<bool>(apres.at("CheckBox4.Checked")));
        settle();
        EXPECT_EQ(panelSnapshot(), apres);
        EXPECT_EQ(readFile("Log.txt"), journal);
        EXPECT_TRUE(journal.empty() || journal.back() == '\n') << "no line cut short";
    }
};

TEST_F(WindowStop, QuitterDuringABoomRaiseClosesAtOnceAndNothingChangesAfterwards) {
    arreterPendantUneMontee([&] { QTest::mouseClick(fenetre->controle("Button13"), Qt::LeftButton); });
}

TEST_F(WindowStop, TheCloseBoxStopsTheWorkerLikeQuitter) {
    arreterPendantUneMontee([&] { fenetre->close(); });
}

// A disk that stops answering while the worker writes a journal line: "Quitter" closes the window at
// once all the same, and the line ends whole when the disk answers again.
TEST_F(WindowStop, QuitterNeverWaitsForAStalledDisk) {
    StalledDisk disque(StalledDisk::Call::Write);
    QTest::mouseClick(fenetre->controle("CheckBox1"), Qt::LeftButton, {}, QPoint(8, 8)); // a line is due
    ASSERT_TRUE(disque.waitUntilHeld()) << "no journal line was written";
    QTest::mouseClick(fenetre->controle("Button13"), Qt::LeftButton);
    EXPECT_FALSE(disque.gaveUp()) << "Quitter waited for the disk";
    EXPECT_FALSE(fenetre->isVisible());
    disque.release();
    ASSERT_TRUE(threadBarriere->wait(5000));
    const std::string journal = readFile("Log.txt");
    EXPECT_TRUE(journal.ends_with("VEHICULE_ABSENT;\n") || journal.ends_with("VEHICULE_SUR_BOUCLE_AMONT;\n"));
}

TEST_F(WindowStop, TheUserStillUsesTheWindowAfterTheTerminalStops) {
    threadBarriere->Arreter();
    ASSERT_TRUE(threadBarriere->wait(2000));
    QTest::mouseClick(fenetre->controle("CheckBox8"), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_TRUE(panel.CheckBox8.Checked()) << "the user's writes still count";
}

// The whole program, driven by a scripted user, as a child process.
struct Sortie {
    int code;
    QString sortie;
    std::string journal;
};

// `pendant` runs while the program does.
Sortie lancer(const char* scenario, int mode = 0, const std::function<void(QProcess&)>& pendant = {}) {
    const auto dossier = std::filesystem::current_path() / scenario;
    std::filesystem::create_directories(dossier);
    std::filesystem::current_path(dossier);
    writeSettings(mode);
    QProcess programme;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    programme.setProcessEnvironment(env);
    programme.setWorkingDirectory(QString::fromStdString(dossier.string()));
    programme.start(BORNE_SCRIPTED_USER, {scenario});
    if (pendant) pendant(programme);
    const bool fini = programme.waitForFinished(20000);
    Sortie s{fini && programme.exitStatus() == QProcess::NormalExit ? programme.exitCode() : -1,
             QString::fromUtf8(programme.readAllStandardOutput()), readFile("Log.txt")};
    std::filesystem::current_path(dossier.parent_path());
    return s;
}

TEST_F(WindowStop, TheProgramExitsWithStatus0AfterQuitterTheCloseBoxAndAStartUpError) {
    fenetre->close();
    const Sortie quitter = lancer("quit");
    EXPECT_EQ(quitter.code, 0) << quitter.sortie.toStdString();
    EXPECT_TRUE(quitter.sortie.contains("shown")) << quitter.sortie.toStdString();
    EXPECT_FALSE(quitter.journal.empty()) << "the terminal turned before the click";
    EXPECT_EQ(quitter.journal.back(), '\n');

    const Sortie fermer = lancer("close");
    EXPECT_EQ(fermer.code, 0) << fermer.sortie.toStdString();
    EXPECT_FALSE(fermer.journal.empty());
    EXPECT_EQ(fermer.journal.back(), '\n');

    const Sortie erreur = lancer("error");
    EXPECT_EQ(erreur.code, 0) << erreur.sortie.toStdString();
    EXPECT_TRUE(erreur.sortie.contains("dialog: Config.cfg illisible")) << erreur.sortie.toStdString();
    EXPECT_FALSE(erreur.sortie.contains("shown"));
}

// A session that ends (SIGHUP, SIGTERM) or Ctrl+C in the terminal that started it (SIGINT): the same
// stop as the close box, status 0, no journal line cut.
class ProgramSignal : public WindowStop, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramSignal, StopsItLikeTheCloseBoxWithStatus0) {
    fenetre->close();
    const Sortie s = lancer("wait", 0, [](QProcess& programme) {
        ASSERT_TRUE(programme.waitForReadyRead(20000)) << "the window was never shown";
        for (int i = 0; i < 200 && readFile("Log.txt").empty(); ++i) // a turn, so that a line exists
            QThread::msleep(25);
        ::kill(static_cast<pid_t>(programme.processId()), GetParam());
    });
    EXPECT_EQ(s.code, 0) << "ended by the signal, or with another status";
    ASSERT_FALSE(s.journal.empty());
    EXPECT_EQ(s.journal.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// No display, or one that does not answer (nothing listens on :65123): the program says so, status 0.
TEST_F(WindowStop, WithoutADisplayThatAnswersTheProgramSaysSoAndExitsWith0) {
    fenetre->close();
    for (const auto& [display, wayland, plateforme] :
         {std::tuple{"", "", ""}, {":65123", "", ""}, {"", "borne-nowhere-65123", ""}, {"", "", "xcb"}}) {
        QProcess programme;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        env.insert("WAYLAND_DISPLAY", wayland);
        env.insert("QT_QPA_PLATFORM", plateforme);
        programme.setProcessEnvironment(env);
        programme.start(BORNE_PROGRAM, {"--ignored", "arguments"});
        ASSERT_TRUE(programme.waitForFinished(20000));
        const std::string erreurs = programme.readAllStandardError().toStdString();
        EXPECT_EQ(programme.exitStatus(), QProcess::NormalExit)
            << display << wayland << plateforme << erreurs;
        EXPECT_EQ(programme.exitCode(), 0);
        EXPECT_TRUE(erreurs.starts_with("borne: ") || erreurs.find("\nborne: ") != std::string::npos)
            << erreurs;
    }
}

TEST_F(WindowStop, OutOfServiceRaisedShowsTheWindowWithTheBoomAlreadyUpAndTheIconSet) {
    fenetre->close();
    const Sortie leve = lancer("state", 2);
    EXPECT_EQ(leve.code, 0);
    EXPECT_TRUE(leve.sortie.contains("shown CheckBox4=1 Image3=1 Image2=0 icon=1"))
        << leve.sortie.toStdString();
}

} // namespace
} // namespace borne::test
