// Two threads on one panel: each single read or write of one property is atomic.
#include "tests/support/Sandbox.h"

#include <atomic>
#include <thread>

using namespace borne;
using borne::test::Sandbox;

namespace {
class Concurrence : public Sandbox {};
} // namespace

TEST_F(Concurrence, AReaderNeverSeesAMixtureOfTwoTexts) {
    const std::string a(4000, 'A');
    const std::string b(3000, 'b');
    std::atomic<bool> fini{false};
    std::atomic<long> ecritures{0};
    std::atomic<int> notifications{0};
    const int cle = panel.ajouterObservateur([&](const Ecriture&) { notifications.fetch_add(1); });

    std::thread ecrivain([&] {
        for (int i = 0; i < 20000; ++i) {
            panel.MessageGardien.setText(i % 2 ? a : b, Auteur::Utilisateur);
            panel.Edit2.setText(i % 2 ? a : b);
            panel.CheckBox8.setChecked(i % 2 != 0, Auteur::Utilisateur);
            ecritures.fetch_add(1);
        }
        fini = true;
    });
    long lectures = 0;
    long melanges = 0;
    while (!fini.load()) {
        const std::string m = panel.MessageGardien.Text();
        const std::string e = panel.Edit2.Text();
        if (!(m.empty() || m == a || m == b)) ++melanges;
        // Edit2 stores in lower case: 'A' becomes 'a'.
        if (!(e == "edit2" || e == std::string(4000, 'a') || e == b)) ++melanges;
        (void)panel.CheckBox8.Checked();
        ++lectures;
    }
    ecrivain.join();
    panel.retirerObservateur(cle);
    EXPECT_EQ(melanges, 0);
    EXPECT_GT(lectures, 0);
    EXPECT_EQ(ecritures.load(), 20000);
    EXPECT_EQ(notifications.load(), 60000);
}

TEST_F(Concurrence, NothingTheTerminalWritesShowsAfterTheFreezeReturns) {
    std::atomic<bool> depart{false};
    std::thread travailleur([&] {
        depart = true;
        for (int i = 0; i < 200000 && !panel.fige(); ++i)
            panel.Moteur.setText(i % 2 ? "ON" : "OFF");
        // Keep writing after the freeze: every one of these must be dropped.
        for (int i = 0; i < 1000; ++i)
            panel.Moteur.setText("APRES");
    });
    while (!depart.load())
        std::this_thread::yield();
    panel.figer();
    const std::string vu = panel.Moteur.Text();
    const std::uint64_t version = panel.Moteur.version();
    travailleur.join();
    EXPECT_EQ(panel.Moteur.Text(), vu);
    EXPECT_EQ(panel.Moteur.version(), version);
    EXPECT_NE(vu, "APRES");
}
