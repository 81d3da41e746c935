// borne-capture [OPTIONS] OUT.png [DELAY_MS] [entry]: runs the program in the current folder (with its
// Config.cfg and CHIP.INI), lets the terminal turn for DELAY_MS (1600 by default), saves the window's
// client area to OUT.png and quits as "Quitter" does. With "entry", a car arrives on the upstream loop at
// once, the attendant lets it in a second later and it moves onto both loops once the boom is up, so the
// picture shows a car entering. OPTIONS are the program's own (--bench, --zoom F, --speed F); with
// --bench the picture is the panel with the bench window on its right. Offscreen unless QT_QPA_PLATFORM
// says otherwise.
#include "app/BenchWindow.h"
#include "app/IHM.h"
#include "app/Programme.h"
#include "panel/PanneauOperateur.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The user's hands, at moments of the real clock.
void entreeDUneVoiture(QObject* contexte) {
    using borne::Auteur;
    auto& p = borne::panneau();
    p.CheckBox1.setChecked(true, Auteur::Utilisateur);
    QTimer::singleShot(1000, contexte, [&p] { p.CheckBox3.setChecked(true, Auteur::Utilisateur); });
    QTimer::singleShot(4600, contexte, [&p] { p.CheckBox2.setChecked(true, Auteur::Utilisateur); });
}

} // namespace

// The panel, with the bench window on its right when it is open.
QPixmap picture(TForm1& fenetre, bool bench) {
    const QPixmap panel = fenetre.grab();
    if (!bench) return panel;
    auto& banc = fenetre.banc();
    banc.poll();
    const QPixmap right = banc.grab();
    QPixmap both(panel.width() + right.width(), std::max(panel.height(), right.height()));
    both.setDevicePixelRatio(panel.devicePixelRatio());
    both.fill(Qt::white);
    QPainter p(&both);
    p.drawPixmap(0, 0, panel);
    p.drawPixmap(QPointF(panel.width() / panel.devicePixelRatio(), 0), right);
    return both;
}

int main(int argc, char** argv) {
    borne::Demarrage demarrage;
    const std::string erreur = borne::lireOptions(argc, argv, demarrage.options);
    if (argc < 2 || !erreur.empty()) {
        std::fprintf(stderr,
                     "%s%susage: borne-capture [--bench] [--zoom F] [--speed F] OUT.png [DELAY_MS] [entry]\n",
                     erreur.c_str(), erreur.empty() ? "" : "\n");
        return 2;
    }
    const QString sortie = QString::fromLocal8Bit(argv[1]);
    const int delai = argc > 2 ? std::atoi(argv[2]) : 1600;
    const bool entree = argc > 3 && std::strcmp(argv[3], "entry") == 0;
    // Offscreen, on a screen large enough for both windows at their full size at every zoom pictured
    // (the windows are placed wholly on the screen: a small one would shrink them).
    QTemporaryFile ecran;
    const QByteArray plateforme = qgetenv("QT_QPA_PLATFORM");
    if ((plateforme.isEmpty() || plateforme == "offscreen") && ecran.open()) {
        ecran.write(R"({"screens": [{"name": "capture", "x": 0, "y": 0, "width": 3840, "height": 2160}]})");
        ecran.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(ecran.fileName()));
    }
    bool enregistree = false;
    int argcQt = 1;
    demarrage.fenetreMontree = [&](TForm1& fenetre) {
        if (entree) entreeDUneVoiture(&fenetre);
        QTimer::singleShot(delai, &fenetre, [&] {
            enregistree = picture(fenetre, demarrage.options.banc).save(sortie, "PNG");
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
