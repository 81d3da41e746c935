// What the window's tests share: a working folder with the settings of a mode, the window over a
// terminal on the real clock (watched, so a test can tell which wait the worker is in), and ways to let
// the window's thread show what it was told.
#pragma once

#include "app/IHM.h"
#include "app/MonThread.h"
#include "control/Attente.h"
#include "tests/support/Sandbox.h"

#include <QCoreApplication>
#include <QTest>

#include <atomic>
#include <fstream>
#include <functional>
#include <memory>

namespace borne::test {

inline void writeSettings(int mode) {
    std::ofstream("Config.cfg") << "mode=" << mode << "\nIPsuperviseur=192.168.1.10\nPORTsuperviseur=5000\n"
                                << "portserver=5001\nnomacces=Entree Nord\nnumeroacces=3\ncode=1234\n";
    std::ofstream("CHIP.INI") << "ADDRESS=17\n";
}

// Runs the window's event loop until `condition` holds, at most `ms`; says whether it holds. For what
// the worker does in its own time.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 3000) {
    return QTest::qWaitFor(condition, ms);
}

// Delivers every event already posted to the window's thread (the view's refreshes), without waiting.
inline void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// The real clock, telling how long the wait the worker is in lasts (0 between waits).
class WatchedClock : public HorlogeReelle {
public:
    void attendre(int ms) override {
        waiting_ = ms;
        HorlogeReelle::attendre(ms); // throws when stopped: the worker never comes back
        waiting_ = 0;
    }
    int waitingFor() const { return waiting_; }

private:
    std::atomic<int> waiting_{0};
};

// The main window over a running terminal, as the program builds it.
class WindowSandbox : public Sandbox {
protected:
    explicit WindowSandbox(int mode = 0) {
        writeSettings(mode);
        fenetre = std::make_unique<TForm1>(nullptr);
        fenetre->show();
        waitUntil([&] { return fenetre->isVisible(); });
    }
    ~WindowSandbox() override {
        fenetre.reset();
        // The test owns what the program leaves to the end of the process.
        delete threadBarriere;
        threadBarriere = nullptr;
        panneau().reinitialiser();
    }

    WatchedClock realClock;
    HorlogeInstallee installee{realClock}; // over the bench's virtual clock
    std::unique_ptr<TForm1> fenetre;
};

} // namespace borne::test
