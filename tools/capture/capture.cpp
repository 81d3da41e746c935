// borne-capture OUT.png [DELAY_MS]: runs the program in the current folder (with its Config.cfg and
// CHIP.INI), lets the terminal turn for DELAY_MS (1600 by default), saves the window's client area to
// OUT.png and quits as "Quitter" does. Offscreen unless QT_QPA_PLATFORM says otherwise.
#include "app/IHM.h"
#include "app/Programme.h"

#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: borne-capture OUT.png [DELAY_MS]\n");
        return 2;
    }
    const QString sortie = QString::fromLocal8Bit(argv[1]);
    const int delai = argc > 2 ? std::atoi(argv[2]) : 1600;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    bool enregistree = false;
    int argcQt = 1;
    borne::Demarrage demarrage;
    demarrage.fenetreMontree = [&](TForm1& fenetre) {
        QTimer::singleShot(delai, &fenetre, [&] {
            enregistree = fenetre.grab().save(sortie, "PNG");
            fenetre.Button13Click(fenetre.controle("Button13"));
        });
    };
    borne::lancerProgramme(argcQt, argv, demarrage);
    if (!enregistree) {
        std::fprintf(stderr, "borne-capture: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
