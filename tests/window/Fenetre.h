// What the window's tests share: a working folder with the settings of a mode, the real clock (the
// window runs the terminal in real time), and a way to wait for what the window's thread will show.
#pragma once

#include "app/IHM.h"
#include "app/MonThread.h"
#include "control/Attente.h"
#include "support/Sandbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace borne::test {

inline void ecrireReglages(int mode) {
    std::ofstream("Config.cfg") << "mode=" << mode << "\nIPsuperviseur=192.168.1.10\nPORTsuperviseur=5000\n"
                                << "portserver=5001\nnomacces=Entree Nord\nnumeroacces=3\ncode=1234\n";
    std::ofstream("CHIP.INI") << "ADDRESS=17\n";
}

// Runs the window's event loop until `condition` holds or `ms` have passed; says whether it holds.
inline bool attendreQue(const std::function<bool()>& condition, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// The main window over a running terminal, as the program builds it.
class WindowSandbox : public Sandbox {
protected:
    explicit WindowSandbox(int mode = 0) {
        ecrireReglages(mode);
        fenetre = std::make_unique<TForm1>(nullptr);
        fenetre->show();
        attendreQue([&] { return fenetre->isVisible(); });
    }
    ~WindowSandbox() override {
        fenetre.reset();
        // The test owns what the program leaves to the end of the process.
        delete threadBarriere;
        threadBarriere = nullptr;
        panneau().reinitialiser();
    }

    HorlogeReelle reelle;
    HorlogeInstallee installee{reelle}; // over the bench's virtual clock
    std::unique_ptr<TForm1> fenetre;
};

} // namespace borne::test
