// The main window: the operator panel in a vertically scrolled area with the status bar below it, and
// the worker that runs the terminal behind it.
#pragma once

#include "app/Programme.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <string_view>

class QScrollArea;
class MyThread;

namespace borne {
class HorlogeCadencee;
struct TypeControleur;
namespace vue {
class Vue;
}
namespace bench {
class BenchWindow;
}
} // namespace borne

class TForm1 : public QWidget {
public:
    // Builds the window and every control in its stored state, then the worker (and with it the
    // controller), which starts at once at the pace the options ask for (paced only on a paced clock).
    // Throws what the pictures or the controller throw. `controleur`: the one to run (nullptr: the
    // terminal's own); the title names one built apart.
    explicit TForm1(QWidget* Owner = nullptr, const borne::Options& options = {},
                    const borne::TypeControleur* controleur = nullptr);
    ~TForm1() override;

    // "Quitter": stops the worker where it stands, then closes the window.
    void Button13Click(QObject* Sender);

    // The widget of a named control (nullptr for an unknown name), and the scrolled area.
    QWidget* controle(std::string_view nom) const;
    QWidget* etiquetteDe(std::string_view nom) const;
    QScrollArea* zoneDefilement() const { return zone_; }
    const borne::vue::Vue& vue() const { return *vue_; }

    // The paced clock the worker waits on (nullptr when the installed clock is not paced).
    borne::HorlogeCadencee* cadence() const noexcept { return cadence_; }
    // The bench window, built and shown on the first call (F2, --bench).
    borne::bench::BenchWindow& banc();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void construirePanneau();
    void suivreCadence(const borne::Options& options);
    // The keys of a person in front of a class: Space, N, + and -, F2, the digits. Shortcuts, so that an
    // edit with the focus keeps its keys.
    void installerRaccourcis();
    // Both windows wholly on a screen: the panel at its stored place (or where it was moved) and, when
    // open, the bench beside it or over its right part.
    void placer();
    // "paused", "x2": what holds, after the stored title and the controller's name.
    void majTitre();
    // The terminal goes on without a word when its journal cannot be written: the window says so, once,
    // in a dialog that does not hold anything up.
    void surveillerJournal();

    QScrollArea* zone_ = nullptr;
    borne::HorlogeCadencee* cadence_ = nullptr;
    std::unique_ptr<borne::bench::BenchWindow> banc_;
    // Lets the clock's notice reach the window only while it exists.
    struct Relais;
    std::shared_ptr<Relais> relais_;
    MyThread* travailleur_ = nullptr; // also in threadBarriere; not owned: it ends with the process
    std::unique_ptr<borne::vue::Vue> vue_;
    bool dejaMontree_ = false;
    QString nomControleur_; // a controller built apart, named in the title ("" for the terminal's own)
};

// The one main window.
extern TForm1* Form1;
