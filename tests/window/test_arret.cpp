// The stop: "Quitter" or the close box, also in the middle of a boom movement, and the exit status of
// the whole program.
#include "Fenetre.h"

#include <QCheckBox>
#include <QProcess>
#include <QTest>

#include "support/Files.h"
#include "support/PanelSnapshot.h"

#include <filesystem>

namespace borne::test {
namespace {

class Arret : public WindowSandbox {
protected:
    // Puts a car on the downstream loop: the terminal lets it out and starts raising the boom (2000 ms).
    void lancerUneMontee() {
        QTest::mouseClick(fenetre->controle("CheckBox2"), Qt::LeftButton, {}, QPoint(8, 8));
        ASSERT_TRUE(p.CheckBox2.Checked());
        ASSERT_TRUE(attendreQue([&] { return p.Moteur.Text() == "ON"; }, 3000)) << "no raise started";
    }
};

TEST_F(Arret, QuitterDuringABoomRaiseClosesAtOnceAndNothingChangesAfterwards) {
    lancerUneMontee();
    QThread::msleep(300); // well inside the 2000 ms movement
    const std::string journal = readFile("Log.txt");
    QTest::mouseClick(fenetre->controle("Button13"), Qt::LeftButton);
    EXPECT_FALSE(fenetre->isVisible());
    EXPECT_TRUE(threadBarriere->isFinished()) << "the worker has ended by the time the window is closed";
    const auto apres = panelSnapshot();
    EXPECT_EQ(std::get<std::string>(apres.at("Moteur.Text")), "ON") << "the movement is never finished";
    EXPECT_FALSE(std::get<bool>(apres.at("CheckBox4.Checked")));

    attendreQue([] { return false; }, 2500); // past the end the raise would have had
    EXPECT_EQ(panelSnapshot(), apres);
    EXPECT_EQ(readFile("Log.txt"), journal);
    EXPECT_TRUE(journal.empty() || journal.back() == '\n') << "no line cut short";
}

TEST_F(Arret, TheCloseBoxStopsTheWorkerLikeQuitter) {
    attendreQue([&] { return !p.EtatCourant.Text().empty(); });
    fenetre->close();
    EXPECT_FALSE(fenetre->isVisible());
    EXPECT_TRUE(threadBarriere->isFinished());
    const auto apres = panelSnapshot();
    const std::string journal = readFile("Log.txt");
    attendreQue([] { return false; }, 700); // more than a turn
    EXPECT_EQ(panelSnapshot(), apres);
    EXPECT_EQ(readFile("Log.txt"), journal);
}

TEST_F(Arret, TheUserStillUsesTheWindowAfterTheTerminalStops) {
    threadBarriere->Arreter();
    ASSERT_TRUE(threadBarriere->wait(2000));
    QTest::mouseClick(fenetre->controle("CheckBox8"), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_TRUE(p.CheckBox8.Checked()) << "the user's writes still count";
}

// The whole program, driven by a scripted user, as a child process.
struct Sortie {
    int code;
    QString sortie;
    std::string journal;
};

Sortie lancer(const char* scenario, int mode = 0) {
    const auto dossier = std::filesystem::current_path() / scenario;
    std::filesystem::create_directories(dossier);
    std::filesystem::current_path(dossier);
    ecrireReglages(mode);
    QProcess programme;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    programme.setProcessEnvironment(env);
    programme.setWorkingDirectory(QString::fromStdString(dossier.string()));
    programme.start(BORNE_ESSAI_SORTIE, {scenario});
    const bool fini = programme.waitForFinished(20000);
    Sortie s{fini && programme.exitStatus() == QProcess::NormalExit ? programme.exitCode() : -1,
             QString::fromUtf8(programme.readAllStandardOutput()), readFile("Log.txt")};
    std::filesystem::current_path(dossier.parent_path());
    return s;
}

TEST_F(Arret, TheProgramExitsWithStatus0AfterQuitterTheCloseBoxAndAStartUpError) {
    fenetre->close();
    const Sortie quitter = lancer("quitter");
    EXPECT_EQ(quitter.code, 0) << quitter.sortie.toStdString();
    EXPECT_TRUE(quitter.sortie.contains("montree")) << quitter.sortie.toStdString();
    EXPECT_FALSE(quitter.journal.empty()) << "the terminal turned before the click";
    EXPECT_EQ(quitter.journal.back(), '\n');

    const Sortie fermer = lancer("fermer");
    EXPECT_EQ(fermer.code, 0) << fermer.sortie.toStdString();
    EXPECT_TRUE(fermer.sortie.contains("montree"));

    const Sortie erreur = lancer("erreur");
    EXPECT_EQ(erreur.code, 0) << erreur.sortie.toStdString();
    EXPECT_TRUE(erreur.sortie.contains("dialogue: Config.cfg illisible")) << erreur.sortie.toStdString();
    EXPECT_FALSE(erreur.sortie.contains("montree"));
}

TEST_F(Arret, TheRealProgramWithNoDisplaySaysSoAndExitsWith0) {
    fenetre->close();
    QProcess programme;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(variable);
    programme.setProcessEnvironment(env);
    programme.start(BORNE_PROGRAMME, {"--ignored", "arguments"});
    ASSERT_TRUE(programme.waitForFinished(20000));
    EXPECT_EQ(programme.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(programme.exitCode(), 0);
    EXPECT_TRUE(programme.readAllStandardError().contains("no display"));
}

TEST_F(Arret, OutOfServiceRaisedShowsTheWindowWithTheBoomAlreadyUp) {
    fenetre->close();
    const Sortie leve = lancer("etat", 2);
    EXPECT_EQ(leve.code, 0);
    EXPECT_TRUE(leve.sortie.contains("montree CheckBox4=1 Image3=1 Image2=0")) << leve.sortie.toStdString();
}

} // namespace
} // namespace borne::test
