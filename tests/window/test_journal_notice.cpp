// A journal that cannot be written: the terminal goes on as it does, and the window says so once.
#include "tests/window/WindowSandbox.h"

#include <QApplication>
#include <QMessageBox>

#include <filesystem>

namespace borne::test {
namespace {

int notices() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == "JournalNonEcrit" && w->isVisible();
    return n;
}

class UnwritableJournal : public Sandbox {
protected:
    UnwritableJournal() {
        writeSettings(0);
        std::filesystem::create_directory("Log.txt");
        fenetre = std::make_unique<TForm1>(nullptr);
        fenetre->show();
    }
    ~UnwritableJournal() override {
        fenetre.reset();
        delete threadBarriere;
        threadBarriere = nullptr;
        panneau().reinitialiser();
    }

    WatchedClock realClock;
    HorlogeInstallee installee{realClock};
    std::unique_ptr<TForm1> fenetre;
};

TEST_F(UnwritableJournal, TheWindowSaysItOnceAndTheTerminalGoesOn) {
    ASSERT_TRUE(waitUntil([] { return notices() == 1; }))
        << "the window did not say the journal is not written";
    const auto* avis = fenetre->findChild<QMessageBox*>("JournalNonEcrit");
    ASSERT_NE(avis, nullptr);
    EXPECT_TRUE(avis->text().contains("Log.txt: Is a directory")) << avis->text().toStdString();
    EXPECT_FALSE(avis->isModal()) << "the panel stays usable";

    // The terminal goes on: a car on the upstream loop is asked for its code; the notice is not repeated.
    QTest::mouseClick(fenetre->controle("CheckBox1"), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_TRUE(waitUntil([&] { return panel.EtatCourant.Text() == "ETAT_ATTENTE_AUTORISATION"; }));
    EXPECT_EQ(notices(), 1);
}

} // namespace
} // namespace borne::test
