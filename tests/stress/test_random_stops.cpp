// The stop, two hundred times, at random moments: the worker runs the real cycle on the real (shortened)
// clock while a user plays with the panel, and is stopped the way the window stops it: the panel is
// frozen, then the journal's file is stopped, then the clock. Whatever the moment (a pause, a boom movement,
// a journal line on its way), the worker ends at once by the clock's stop, the panel does not change after
// the freeze, and Log.txt holds complete, well-formed lines only and begins none after the stop.
#include "tests/stress/FastClock.h"

#include "control/tGestionBarriere.h"
#include "journal/FichierJournal.h"
#include "tests/support/Common.h"
#include "tests/support/JournalCheck.h"
#include "tests/support/Sandbox.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace borne;
using namespace std::chrono_literals;

namespace {

enum class Moment { Pause, Mouvement, Journal };

const char* const kEntrees[] = {"CheckBox1",  "CheckBox2",  "CheckBox3",  "CheckBox6",  "CheckBox7",
                                "CheckBox8",  "CheckBox9",  "CheckBox10", "CheckBox12", "CheckBox13",
                                "CheckBox14", "CheckBox15", "CheckBox16", "CheckBox17", "CheckBox18",
                                "CheckBox19", "CheckBox20", "CheckBox21"};

// A user who ticks and unticks every input box of the panel (never the boom's sensors) at random.
void jouer(PanneauOperateur& panel, std::uint64_t graine, const std::atomic<bool>& fin) {
    std::mt19937_64 hasard(graine);
    while (!fin.load()) {
        const char* nom = kEntrees[hasard() % std::size(kEntrees)];
        panel.trouver(nom)->ecrire(Propriete::Checked, hasard() % 3 != 0, Auteur::Utilisateur);
        if (hasard() % 16 == 0)
            panel.MessageGardien.setText(std::string(hasard() % 40, 'm'), Auteur::Utilisateur);
        std::this_thread::sleep_for(std::chrono::microseconds(300 + hasard() % 2000));
    }
}

// Waits for `signal` (set by the worker's own panel writes) at most `limite`.
bool attendreSignal(const std::atomic<bool>& signal, std::chrono::milliseconds limite) {
    const auto fin = std::chrono::steady_clock::now() + limite;
    while (!signal.load()) {
        if (std::chrono::steady_clock::now() > fin) return false;
        std::this_thread::yield();
    }
    return true;
}

class RandomStops : public test::Sandbox {};

TEST_F(RandomStops, TwoHundredStopsLeaveNoDeadlockNoLateWriteAndWholeLines) {
    const std::uint64_t g = test::testSeed();
    std::printf("seed %llu (BORNE_SEED=%llu replays it)\n", static_cast<unsigned long long>(g),
                static_cast<unsigned long long>(g));
    std::mt19937_64 hasard(g);
    int arretsEnMouvement = 0, arretsJournal = 0, lignesEnCours = 0, notificationsTardives = 0,
        lignesTotales = 0;

    for (int essai = 0; essai < 200; ++essai) {
        SCOPED_TRACE("stop " + std::to_string(essai) + ", seed " + std::to_string(g));
        panel.reinitialiser();
        FichierJournal::reprendre();
        std::filesystem::remove("Log.txt");
        const int mode = static_cast<int>(hasard() % 5);
        std::ofstream("Config.cfg") << "mode=" << mode << "\nnomacces=Nord\nnumeroacces=1\ncode=1234\n";
        std::ofstream("CHIP.INI") << "ADDRESS=12\n";
        const auto moment = static_cast<Moment>(hasard() % 3);

        test::FastClock horloge;
        HorlogeInstallee installee(horloge);
        auto gestion = std::make_unique<tGestionBarriere>(); // on this thread, before the worker runs

        // The worker's own writes tell when a movement starts and when a journal line is near (the
        // state's name is shown just before the line is appended); writes after the freeze are kept.
        std::atomic<bool> arme{false}, signal{false}, gele{false};
        std::mutex verrou;
        std::vector<std::pair<std::string, Valeur>> tardives;
        const int cle = panel.ajouterObservateur([&](const Ecriture& e) {
            if (e.auteur != Auteur::Terminal) return;
            if (gele.load()) {
                std::lock_guard v(verrou);
                tardives.emplace_back(e.controle.nom() + "." + nomPropriete(e.propriete), e.valeur);
            }
            if (!arme.load()) return;
            if (moment == Moment::Mouvement && &e.controle == &panel.Moteur &&
                std::get<std::string>(e.valeur) == "ON")
                signal = true;
            if (moment == Moment::Journal && &e.controle == &panel.EtatCourant) signal = true;
        });

        std::promise<std::string> issue;
        auto fini = issue.get_future();
        std::thread travailleur([&] {
            try {
                gestion->Executer();
            } catch (const ArretDemande&) {
                issue.set_value("stopped by the clock");
            } catch (const std::exception& e) {
                issue.set_value(std::string("escaped: ") + e.what());
            } catch (...) {
                issue.set_value("escaped: unknown");
            }
        });
        std::atomic<bool> finUtilisateur{false};
        std::thread utilisateur(jouer, std::ref(panel), hasard(), std::cref(finUtilisateur));

        // The moment of the stop. The user leaves the panel first, so that whatever changes after the
        // freeze can only be the terminal's doing.
        const auto laisser = [&] {
            finUtilisateur = true;
            utilisateur.join();
        };
        switch (moment) {
        case Moment::Pause:
            std::this_thread::sleep_for(std::chrono::microseconds(hasard() % 40000));
            laisser();
            break;
        case Moment::Mouvement:
            arme = true;
            attendreSignal(signal, 400ms); // inside a raise or a lowering (20 ms each)
            laisser();
            std::this_thread::sleep_for(std::chrono::microseconds(hasard() % 18000));
            break;
        case Moment::Journal:
            std::this_thread::sleep_for(std::chrono::microseconds(hasard() % 10000));
            laisser();
            arme = true;
            if (attendreSignal(signal, 100ms)) // a few microseconds before or inside the line's write
                for (auto n = hasard() % 3000; n > 0; --n)
                    std::atomic_signal_fence(std::memory_order_seq_cst);
            break;
        }

        // The stop, as the window does it.
        panel.figer();
        gele = true;
        const bool ligneEnCours = FichierJournal::arreter();
        const auto apres = test::panelSnapshot();
        const std::string journal = test::readFile("Log.txt");
        horloge.arreter();

        if (fini.wait_for(5s) != std::future_status::ready) {
            std::fprintf(stderr, "DEADLOCK: the worker did not end within 5 s of the stop %d (seed %llu)\n",
                         essai, static_cast<unsigned long long>(g));
            std::_Exit(1); // a blocked thread cannot be joined: end the process rather than hang the suite
        }
        travailleur.join();
        const std::string raison = fini.get();
        panel.retirerObservateur(cle);

        EXPECT_EQ(raison, "stopped by the clock");
        EXPECT_EQ(test::panelSnapshot(), apres) << "the panel changed after the freeze";
        // A write stored just before the freeze may be announced just after it; it must announce the
        // value the panel already held at the freeze, never a new one.
        for (const auto& [propriete, valeur] : tardives)
            EXPECT_EQ(apres.at(propriete), valeur) << propriete << " written after the freeze";
        notificationsTardives += static_cast<int>(tardives.size());
        // No line begins after the stop; the one under way at the stop, if any, ends whole.
        const std::string fin = test::readFile("Log.txt");
        const std::string_view entieres = std::string_view(journal).substr(0, journal.rfind('\n') + 1);
        std::size_t lignes = 0, avant = 0;
        EXPECT_EQ(test::checkJournal(fin, &lignes), "");
        EXPECT_EQ(test::checkJournal(entieres, &avant), "");
        EXPECT_TRUE(fin.starts_with(entieres));
        EXPECT_LE(lignes - avant, ligneEnCours ? 1u : 0u) << "a line was begun after the stop";
        lignesTotales += static_cast<int>(lignes);
        if (std::get<std::string>(apres.at("Moteur.Text")) == "ON") ++arretsEnMouvement;
        if (moment == Moment::Journal && signal) ++arretsJournal;
        if (ligneEnCours) ++lignesEnCours;
        if (HasFailure()) break;
    }
    std::printf("stops inside a movement: %d, next to a journal line: %d, during a journal call: %d, journal "
                "lines checked: %d, writes announced after the freeze (values already stored): %d\n",
                arretsEnMouvement, arretsJournal, lignesEnCours, lignesTotales, notificationsTardives);
    // The random moments must really have reached the places they aim at.
    EXPECT_GT(arretsEnMouvement, 5);
    EXPECT_GT(arretsJournal, 5);
    EXPECT_GT(lignesTotales, 0); // how many depends on the speed of the build; a sanitized one writes fewer
}

} // namespace
