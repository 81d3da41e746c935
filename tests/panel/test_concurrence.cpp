// Two threads on one panel: each single read or write of one property is atomic.
#include "support/Sandbox.h"

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
    const int cle = p.ajouterObservateur([&](const Ecriture&) { notifications.fetch_add(1); });

    std::thread ecrivain([&] {
        for (int i = 0; i < 20000; ++i) {
            p.MessageGardien.setText(i % 2 ? a : b, Auteur::Utilisateur);
            p.Edit2.setText(i % 2 ? a : b);
            p.CheckBox8.setChecked(i % 2 != 0, Auteur::Utilisateur);
            ecritures.fetch_add(1);
        }
        fini = true;
    });
    long lectures = 0;
    long melanges = 0;
    while (!fini.load()) {
        const std::string m = p.MessageGardien.Text();
        const std::string e = p.Edit2.Text();
        if (!(m.empty() || m == a || m == b)) ++melanges;
        // Edit2 stores in lower case: 'A' becomes 'a'.
        if (!(e == "edit2" || e == std::string(4000, 'a') || e == b)) ++melanges;
        (void)p.CheckBox8.Checked();
        ++lectures;
    }
    ecrivain.join();
    p.retirerObservateur(cle);
    EXPECT_EQ(melanges, 0);
    EXPECT_GT(lectures, 0);
    EXPECT_EQ(ecritures.load(), 20000);
    EXPECT_EQ(notifications.load(), 60000);
}

TEST_F(Concurrence, NothingTheTerminalWritesShowsAfterTheFreezeReturns) {
    std::atomic<bool> depart{false};
    std::thread travailleur([&] {
        depart = true;
        for (int i = 0; i < 200000 && !p.fige(); ++i)
            p.Moteur.setText(i % 2 ? "ON" : "OFF");
        // Keep writing after the freeze: every one of these must be dropped.
        for (int i = 0; i < 1000; ++i)
            p.Moteur.setText("APRES");
    });
    while (!depart.load())
        std::this_thread::yield();
    p.figer();
    const std::string vu = p.Moteur.Text();
    const std::uint64_t version = p.Moteur.version();
    travailleur.join();
    EXPECT_EQ(p.Moteur.Text(), vu);
    EXPECT_EQ(p.Moteur.version(), version);
    EXPECT_NE(vu, "APRES");
}
