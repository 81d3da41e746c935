// The whole program with a scripted user, for the tests that need a real process and its exit status.
//   borne-scripted-user quit|close|error|state|wait
// quit: clicks "Quitter" once the journal holds its first line; close: closes the window as its close
// box does, at the same moment; error: start-up fails before the window exists, and the error dialog is
// dismissed; state: prints the boom's state and whether the application has its icon as the window is
// first shown, then quits; wait: does nothing more once the window is shown (the test ends the program
// from outside).
#include "app/IHM.h"
#include "app/Programme.h"
#include "panel/PanneauOperateur.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

// Calls `action` on the window's thread once `condition` holds, looking every 10 ms.
void desQue(QObject* parent, std::function<bool()> condition, std::function<void()> action) {
    auto* veille = new QTimer(parent);
    QObject::connect(veille, &QTimer::timeout, [veille, condition, action] {
        if (!condition()) return;
        veille->stop();
        action();
    });
    veille->start(10);
}

} // namespace

int main(int argc, char** argv) {
    const char* scenario = argc > 1 ? argv[1] : "quit";
    int argcQt = 1;
    borne::Demarrage d;
    d.fenetreMontree = [&](TForm1& fenetre) {
        auto& p = borne::panneau();
        std::printf("shown CheckBox4=%d Image3=%d Image2=%d icon=%d\n", p.CheckBox4.Checked(),
                    p.Image3.Visible(), p.Image2.Visible(), !QApplication::windowIcon().isNull());
        std::fflush(stdout);
        if (std::strcmp(scenario, "wait") == 0) return;
        const bool etat = std::strcmp(scenario, "state") == 0;
        const auto uneLigne = [etat] { return etat || QFileInfo("Log.txt").size() > 0; };
        if (std::strcmp(scenario, "close") == 0)
            desQue(&fenetre, uneLigne, [&] { fenetre.close(); });
        else
            desQue(&fenetre, uneLigne, [&] { fenetre.Button13Click(fenetre.controle("Button13")); });
    };
    if (std::strcmp(scenario, "error") == 0) {
        d.avantFenetre = [] {
            // Dismisses the error dialog once it shows, telling what it said.
            desQue(
                qApp, [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
                [] {
                    auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    std::printf("dialog: %s\n", boite->text().toUtf8().constData());
                    std::fflush(stdout);
                    boite->accept();
                });
            throw std::runtime_error("Config.cfg illisible");
        };
    }
    return borne::lancerProgramme(argcQt, argv, d);
}
