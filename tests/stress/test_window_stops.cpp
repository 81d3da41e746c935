// The program's own stop path, many times at random moments: the real window (offscreen) with its
// worker on the shortened real clock, stopped by "Quitter" or by closing the window while a user plays
// with the panel. Each time: the window is closed and the worker finished when the handler returns, the
// panel no longer changes, and Log.txt holds whole lines only and takes no more.
#include "tests/stress/FastClock.h"

#include "app/IHM.h"
#include "app/MonThread.h"
#include "journal/FichierJournal.h"
#include "tests/support/Common.h"
#include "tests/support/JournalCheck.h"
#include "tests/support/Sandbox.h"
#include "tests/window/Application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

using namespace borne;

namespace {

const char* const kEntrees[] = {"CheckBox1",  "CheckBox2",  "CheckBox3",  "CheckBox8",  "CheckBox10",
                                "CheckBox12", "CheckBox13", "CheckBox14", "CheckBox15", "CheckBox21"};

// Runs the window's event loop for `ms` milliseconds, the user ticking a box now and then.
void laisserTourner(int ms, std::mt19937_64& hasard, bool utilisateur) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (utilisateur && hasard() % 4 == 0)
            panneau()
                .trouver(kEntrees[hasard() % std::size(kEntrees)])
                ->ecrire(Propriete::Checked, hasard() % 2 == 0, Auteur::Utilisateur);
        QApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::usleep(500);
    }
}

class RandomWindowStops : public test::Sandbox {};

TEST_F(RandomWindowStops, QuitterOrTheCloseBoxAtRandomMomentsStopsEverythingAtOnce) {
    const std::uint64_t g = test::testSeed();
    std::printf("seed %llu (BORNE_SEED=%llu replays it)\n", static_cast<unsigned long long>(g),
                static_cast<unsigned long long>(g));
    std::mt19937_64 hasard(g);
    int enMouvement = 0;
    for (int essai = 0; essai < 40; ++essai) {
        SCOPED_TRACE("stop " + std::to_string(essai) + ", seed " + std::to_string(g));
        panel.reinitialiser();
        FichierJournal::reprendre();
        std::filesystem::remove("Log.txt");
        std::ofstream("Config.cfg") << "mode=" << hasard() % 5
                                    << "\nnomacces=Nord\nnumeroacces=1\ncode=6082\n";
        std::ofstream("CHIP.INI") << "ADDRESS=12\n";

        test::FastClock horloge; // the worker finds the real clock's stop in it
        HorlogeInstallee installee(horloge);
        auto fenetre = std::make_unique<TForm1>(nullptr);
        fenetre->show();
        laisserTourner(static_cast<int>(hasard() % 60), hasard, true);

        if (hasard() % 2 == 0)
            fenetre->Button13Click(fenetre->controle("Button13"));
        else
            fenetre->close();
        EXPECT_FALSE(fenetre->isVisible());
        ASSERT_NE(threadBarriere, nullptr);
        EXPECT_TRUE(threadBarriere->wait(5000)) << "the worker did not end";
        // The worker's last act is to leave the clock's lock; taking it here orders that before the
        // clock goes away (the end of a QThread is not visible to ThreadSanitizer by itself).
        EXPECT_TRUE(horloge.arretee());
        const auto apres = test::panelSnapshot();
        const std::string journal = test::readFile("Log.txt");
        if (std::get<std::string>(apres.at("Moteur.Text")) == "ON") ++enMouvement;

        laisserTourner(60, hasard, false); // several turns of the shortened clock
        EXPECT_EQ(test::panelSnapshot(), apres) << "the panel changed after the stop";
        EXPECT_EQ(test::readFile("Log.txt"), journal) << "a line was appended after the stop";
        EXPECT_EQ(test::checkJournal(journal), "");

        fenetre.reset();
        delete threadBarriere; // what the program leaves to the end of the process
        threadBarriere = nullptr;
        if (HasFailure()) break;
    }
    std::printf("stops inside a boom movement: %d of 40\n", enMouvement);
}

} // namespace

int main(int argc, char** argv) {
    return test::runWindowTests(argc, argv);
}
