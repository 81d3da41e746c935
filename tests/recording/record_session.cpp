// The whole program, BORNE_RECORD taken from the environment as `borne` takes it, with a scripted user.
//   borne-record-session refused        start-up must fail: prints the error dialog's text, dismisses it
//   borne-record-session leave          a car leaves, the boom-down sensor ticked again during the raise,
//                                       "Quitter" during the second pass
//   borne-record-session fill BYTES     files limited to BYTES (SIGXFSZ ignored, as a full disk answers):
//                                       long typing, then a car leaves; "Quitter" once the boom is up
// The user acts only while the worker waits with time to spare, so the recording cannot race the worker.
// Prints "shown" once the window is up and "done" when the program returns.
#include "app/IHM.h"
#include "app/Programme.h"
#include "app/Recorder.h"
#include "panel/PanneauOperateur.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
};

// The worker waits, `ms` (0: any wait) long, with at least `spare` virtual ms left in it.
bool waiting(int ms, std::int64_t spare) {
    auto* clock = dynamic_cast<borne::recording::RecordingClock*>(&borne::horlogeInstallee());
    if (clock == nullptr) return false;
    const auto s = clock->state();
    const std::int64_t now = clock->instant();
    return s.inWait && (ms == 0 || s.length == ms) && s.completed + s.length - now >= spare;
}

std::int64_t completed() {
    return dynamic_cast<borne::recording::RecordingClock&>(borne::horlogeInstallee()).state().completed;
}

} // namespace

int main(int argc, char** argv) {
    const std::string scenario = argc > 1 ? argv[1] : "";
    if (scenario == "fill") {
        const rlim_t limit = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 16384;
        const rlimit r{limit, limit};
        std::signal(SIGXFSZ, SIG_IGN);
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) return 3;
    }
    int argcQt = 1;
    std::vector<Step> steps;
    std::size_t step = 0;
    std::int64_t raise = 0;
    borne::Demarrage d;
    d.avantFenetre = [] {
        // Dismisses an error dialog once it shows, telling what it said.
        auto* watcher = new QTimer(qApp);
        QObject::connect(watcher, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                std::printf("dialog: %s\n", box->text().toUtf8().constData());
                std::fflush(stdout);
                box->accept();
            }
        });
        watcher->start(20);
    };
    d.fenetreMontree = [&](TForm1& window) {
        std::printf("shown %s\n", window.windowTitle().toUtf8().constData());
        std::fflush(stdout);
        auto click = [&window](const char* name) {
            QTest::mouseClick(window.controle(name), Qt::LeftButton, {}, QPoint(8, 8));
        };
        auto& p = borne::panneau();
        if (scenario == "leave") {
            steps = {
                {[] { return waiting(500, 250); }, [=] { click("CheckBox2"); }},
                {[] { return waiting(2000, 1000); },
                 [&, click] {
                     raise = completed();
                     click("CheckBox5");
                 }},
                {[&] { return waiting(2000, 1000) && completed() > raise; }, [=] { click("Button13"); }}};
        } else if (scenario == "fill") {
            steps = {
                {[] { return waiting(500, 250); },
                 [&window] {
                     QTest::keyClicks(static_cast<QLineEdit*>(window.controle("MessageGardien")),
                                      QString(400, QChar('m')));
                 }},
                {[] { return waiting(500, 250); }, [=] { click("CheckBox2"); }},
                {[&p] { return p.CheckBox4.Checked() && waiting(500, 250); }, [=] { click("Button13"); }}};
        } else {
            click("Button13");
        }
        auto* user = new QTimer(&window);
        QObject::connect(user, &QTimer::timeout, [&] {
            if (step >= steps.size() || !steps[step].ready()) return;
            // The window first shows what the terminal wrote before this wait, as a person sees it before
            // clicking: a refresh still queued would leave a box showing its old state to the click.
            QCoreApplication::sendPostedEvents();
            steps[step++].act();
        });
        user->start(5);
    };
    const int code = borne::lancerProgramme(argcQt, argv, d);
    std::printf("done\n");
    return code;
}
