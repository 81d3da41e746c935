#include "journal/FichierJournal.h"
#include "journal/tDebug.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tests/support/WriteLog.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace borne;
using namespace std::string_literals;
using borne::test::Sandbox;
using borne::test::WriteLog;
using Lignes = std::vector<std::string>;

namespace {

// The exact bytes of one journal line: each label keeps its terminating zero.
std::string ligne(const std::string& etat, const std::string& evenement) {
    return "EtatCourant = \0"s + etat + ";      Evenement = \0"s + evenement + ";\n";
}

class Journal : public Sandbox {
protected:
    std::string contenu(const char* nom = "Log.txt") const { return test::readFile(folder() / nom); }
    bool turn(unsigned etat, unsigned evenement) {
        journal.NoterEvenement(evenement);
        journal.NoterEtat(etat);
        return journal.Ecrire();
    }
    tDebug journal{"Log.txt"};
};

} // namespace

TEST_F(Journal, ExampleLineByteForByte) {
    EXPECT_TRUE(turn(1, 1));
    const std::string attendu = "EtatCourant = \0ETAT_ATTENTE_AUTORISATION;      Evenement = "
                                "\0VEHICULE_SUR_BOUCLE_AMONT;\n"s;
    ASSERT_EQ(attendu.size(), 87u);
    EXPECT_EQ(contenu(), attendu);
}

TEST_F(Journal, NameTablesEndWhereTheJournalStopsNaming) {
    EXPECT_STREQ(tDebug::NomEtat(0), "ETAT_VEHICULE_ABSENT");
    EXPECT_STREQ(tDebug::NomEtat(5), "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT");
    EXPECT_STREQ(tDebug::NomEtat(14), "ETAT_DEFAUT");
    EXPECT_EQ(tDebug::NomEtat(15), nullptr);
    EXPECT_EQ(tDebug::NomEtat(0xFFFFFFFFu), nullptr);
    EXPECT_STREQ(tDebug::NomEvenement(0), "VEHICULE_ABSENT");
    EXPECT_STREQ(tDebug::NomEvenement(12), "AUTORISATION_OK");
    EXPECT_EQ(tDebug::NomEvenement(13), nullptr);
}

TEST_F(Journal, NamesAreShownInTheDebugGroup) {
    WriteLog ecritures;
    journal.NoterEtat(11);
    journal.NoterEvenement(7);
    EXPECT_EQ(ecritures.lines, (Lignes{"EtatCourant.Text = ETAT_ALARME", "Evenement.Text = ALARME_ACTIVE"}));
}

TEST_F(Journal, UnknownCodesChangeNeitherTheNamesNorThePanel) {
    ASSERT_TRUE(turn(0, 0));
    WriteLog ecritures;
    journal.NoterEtat(15);
    journal.NoterEtat(17);
    journal.NoterEvenement(13);
    EXPECT_TRUE(ecritures.lines.empty());
    EXPECT_FALSE(journal.Ecrire()) << "the names moved although the codes were unknown";
    EXPECT_EQ(contenu(), ligne("ETAT_VEHICULE_ABSENT", "VEHICULE_ABSENT"));
}

// Turns (state, event) and whether each writes a line. A change of one name alone writes nothing, yet
// that name becomes the previous one: a later turn that changes only the other name writes nothing
// either.
TEST_F(Journal, LineOnlyWhenBothNamesChangedSinceThePreviousTurn) {
    const struct Tour {
        unsigned etat, evenement;
        bool ligne;
    } tours[] = {
        {0, 0, true},  // first turn: the previous names are empty
        {0, 0, false}, // nothing changed
        {1, 1, true},  // both changed
        {2, 1, false}, // state alone
        {2, 2, false}, // event alone, the state having become the previous one
        {1, 1, true},  // both
        {1, 0, false}, // event alone
        {0, 0, false}, // state alone, the event having become the previous one
        {11, 7, true}, // both
    };
    std::string attendu;
    for (const Tour& t : tours) {
        SCOPED_TRACE(std::to_string(t.etat) + "/" + std::to_string(t.evenement));
        EXPECT_EQ(turn(t.etat, t.evenement), t.ligne);
        if (t.ligne) attendu += ligne(tDebug::NomEtat(t.etat), tDebug::NomEvenement(t.evenement));
        EXPECT_EQ(contenu(), attendu);
    }
}

TEST_F(Journal, MissingFileIsCreatedEvenWithoutALine) {
    ASSERT_FALSE(std::filesystem::exists(folder() / "Log.txt")) << "the constructor must not create it";
    EXPECT_FALSE(journal.Ecrire());
    EXPECT_TRUE(std::filesystem::exists(folder() / "Log.txt"));
    EXPECT_EQ(contenu(), "");
}

TEST_F(Journal, ExistingContentIsKept) {
    { std::ofstream(folder() / "Log.txt", std::ios::binary) << "ancien\n"; }
    ASSERT_TRUE(turn(3, 6));
    EXPECT_EQ(contenu(), "ancien\n" + ligne("ETAT_VERIFIER_CARTE", "CODECARTE"));
}

TEST_F(Journal, LongFileNameIsCutToFortyNineCharacters) {
    const std::string nom(60, 'j');
    tDebug long_(nom.c_str());
    long_.NoterEtat(0);
    long_.NoterEvenement(0);
    EXPECT_TRUE(long_.Ecrire());
    EXPECT_EQ(contenu(nom.substr(0, 49).c_str()), ligne("ETAT_VEHICULE_ABSENT", "VEHICULE_ABSENT"));
}

// --- When the file lets us down -----------------------------------------------------------------

TEST_F(Journal, UnopenableJournalWritesNothingSaysNothingAndStillMovesOn) {
    std::filesystem::create_directory(folder() / "Log.txt");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool ecrit = turn(1, 1);
    const std::string sortie = testing::internal::GetCapturedStdout();
    const std::string erreurs = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ecrit);
    EXPECT_EQ(sortie, "");
    EXPECT_EQ(erreurs, "");
    EXPECT_EQ(panel.EtatCourant.Text(), "ETAT_ATTENTE_AUTORISATION");
    EXPECT_EQ(panel.Evenement.Text(), "VEHICULE_SUR_BOUCLE_AMONT");
    EXPECT_TRUE(std::filesystem::is_empty(folder() / "Log.txt"));

    // Once the file can be written again, the lost change is not written late.
    std::filesystem::remove(folder() / "Log.txt");
    EXPECT_FALSE(journal.Ecrire());
    EXPECT_EQ(contenu(), "");
}

TEST_F(Journal, FailedWriteIsNotASuccess) {
    tDebug plein("/dev/full");
    plein.NoterEtat(0);
    plein.NoterEvenement(0);
    EXPECT_FALSE(plein.Ecrire());
    // The names still became the previous ones: nothing is attempted again.
    EXPECT_FALSE(plein.Ecrire());
}

TEST_F(Journal, StoppedJournalAppendsNothingButTheNamesMoveOn) {
    ASSERT_TRUE(turn(0, 0));
    FichierJournal::arreter();
    EXPECT_FALSE(turn(1, 1));
    EXPECT_EQ(contenu(), ligne("ETAT_VEHICULE_ABSENT", "VEHICULE_ABSENT"));

    FichierJournal::reprendre(); // the stopped turn's names are the previous ones now
    EXPECT_FALSE(turn(1, 1));
    EXPECT_TRUE(turn(2, 2));
    EXPECT_EQ(contenu(), ligne("ETAT_VEHICULE_ABSENT", "VEHICULE_ABSENT") +
                             ligne("ETAT_VERIFIER_CODECLAVIER", "VEHICULE_AU_MILIEU"));
}

TEST_F(Journal, StoppedJournalDoesNotEvenCreateTheFile) {
    FichierJournal::arreter();
    EXPECT_FALSE(turn(0, 0));
    EXPECT_FALSE(std::filesystem::exists(folder() / "Log.txt"));
}

// "Quitter" stops the journal while the worker is writing: the journal holds whole lines only, one for
// each Ecrire that reported success, and no Ecrire begun after the stop appends anything.
TEST_F(Journal, StoppingDuringWritesNeverLeavesHalfALine) {
    std::atomic<int> reussis{0};
    std::atomic<bool> arrete{false};
    std::atomic<bool> ecritApresArret{false};
    std::thread travailleur([&] {
        for (unsigned i = 0;; ++i) {
            const unsigned code = i % 2 == 0 ? 5 : 12;
            journal.NoterEvenement(code);
            journal.NoterEtat(code);
            const bool dejaArrete = arrete;
            if (!journal.Ecrire()) break;
            ++reussis;
            if (dejaArrete) {
                ecritApresArret = true;
                break;
            }
        }
    });
    while (reussis < 20)
        std::this_thread::yield();
    FichierJournal::arreter();
    arrete = true;
    travailleur.join();

    EXPECT_FALSE(ecritApresArret);
    const std::string a = ligne(tDebug::NomEtat(5), tDebug::NomEvenement(5));
    const std::string b = ligne(tDebug::NomEtat(12), tDebug::NomEvenement(12));
    std::string attendu;
    for (int i = 0; i < reussis; ++i)
        attendu += i % 2 == 0 ? a : b;
    EXPECT_EQ(contenu(), attendu);
}
