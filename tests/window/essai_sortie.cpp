// The whole program with a scripted user, for the tests that need a real process and its exit status.
//   borne-essai-sortie quitter|fermer|erreur|etat|attendre
// quitter: clicks "Quitter" after a few turns; fermer: closes the window as its close box does;
// erreur: start-up fails before the window exists, and the error dialog is dismissed;
// etat: prints the boom's state as the window is first shown, then quits;
// attendre: does nothing more once the window is shown (the test ends the program from outside).
#include "app/IHM.h"
#include "app/Programme.h"
#include "panel/PanneauOperateur.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <stdexcept>

int main(int argc, char** argv) {
    const char* scenario = argc > 1 ? argv[1] : "quitter";
    int argcQt = 1;
    borne::Demarrage d;
    d.fenetreMontree = [&](TForm1& fenetre) {
        auto& p = borne::panneau();
        std::printf("montree CheckBox4=%d Image3=%d Image2=%d\n", p.CheckBox4.Checked(), p.Image3.Visible(),
                    p.Image2.Visible());
        std::fflush(stdout);
        if (std::strcmp(scenario, "attendre") == 0) return;
        if (std::strcmp(scenario, "fermer") == 0)
            QTimer::singleShot(1200, &fenetre, [&] { fenetre.close(); });
        else
            QTimer::singleShot(std::strcmp(scenario, "etat") == 0 ? 0 : 1200, &fenetre,
                               [&] { fenetre.Button13Click(fenetre.controle("Button13")); });
    };
    if (std::strcmp(scenario, "erreur") == 0) {
        d.avantFenetre = [] {
            // Dismisses the error dialog once it shows, telling what it said.
            auto* veille = new QTimer(qApp);
            QObject::connect(veille, &QTimer::timeout, [] {
                if (auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    std::printf("dialogue: %s\n", boite->text().toUtf8().constData());
                    std::fflush(stdout);
                    boite->accept();
                }
            });
            veille->start(50);
            throw std::runtime_error("Config.cfg illisible");
        };
    }
    return borne::lancerProgramme(argcQt, argv, d);
}
