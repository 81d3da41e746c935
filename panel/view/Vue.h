// The operator panel on screen: one widget per named control, built from the stored layout, kept in step
// with the panel model, and passing the user's ticks and typing back into it.
//
// Thread rule: the model may be written from any thread. Its observer only marks the control as stale
// and, if it was not already, posts one queued refresh to the window's thread; the refresh reads the
// control's current value. Neither thread ever waits for the other.
#pragma once

#include "panel/PanneauOperateur.h"

#include <QIcon>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

class QWidget;

namespace borne::vue {

struct Placement;

// The program's icon, for the window and the application (its picture read once for the process).
QIcon icone();

// Starts decoding the panel's pictures on a thread of their own, once for the process, so that start-up
// builds the window meanwhile; the first window waits for them only once its controls are built. Needs
// no application object: the program calls it first thing.
void preparerImages();

// A control's tooltip: its designer name, " - ", its role ("CheckBox18 - key 6").
QString bulle(std::string_view nom);

class Vue : public QObject {
public:
    // Builds every control inside `contenu` (the scrolled panel, 554 x 737) and binds it to `p`. The
    // window takes the status bar out of it, to lie below what scrolls.
    // Throws ErreurImage when the built-in pictures cannot be decoded.
    Vue(QWidget* contenu, PanneauOperateur& p, std::function<void()> surClicQuitter);
    ~Vue() override;
    Vue(const Vue&) = delete;
    Vue& operator=(const Vue&) = delete;

    // The widget that stands for a named control; nullptr for an unknown name.
    QWidget* widget(std::string_view nom) const;
    // The caption drawn above a labelled edit; nullptr for any other control.
    QWidget* etiquette(std::string_view nom) const;

    // Queued refreshes posted so far (a flood of writes to one control costs one refresh per turn of
    // the window's event loop); for the benchmarks.
    std::uint64_t rafraichissementsPostes() const noexcept { return postes_.load(std::memory_order_relaxed); }

protected:
    // The pictures let the mouse through to the panel: the panel shows the tooltip of the picture on top.
    bool eventFilter(QObject* objet, QEvent* evenement) override;

private:
    struct Lien {
        Controle* controle = nullptr;
        QWidget* widget = nullptr;
        QWidget* etiquette = nullptr;
        std::atomic<bool> enAttente{false}; // a refresh is posted and has not run yet
    };
    struct Relais; // lets the model's observer outlive the view safely

    void construire(QWidget* contenu);
    QWidget* creer(Lien& lien, QWidget* parent);
    QWidget* creerLegende(const Controle& c, const Placement& pl, QWidget* parent);
    void signaler(const Controle& c);
    void rafraichir(Lien& lien);

    QWidget* contenu_ = nullptr;
    PanneauOperateur& panneau_;
    std::function<void()> surClicQuitter_;
    std::vector<std::unique_ptr<Lien>> liens_;
    std::unordered_map<const Controle*, Lien*> parControle_; // built once, then only read
    std::shared_ptr<Relais> relais_;
    int cle_ = 0;
    std::atomic<std::uint64_t> postes_{0};
};

} // namespace borne::vue
