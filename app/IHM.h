// The main window: the operator panel in a vertically scrolled area with the status bar below it, and
// the worker that runs the terminal behind it.
#pragma once

#include <QWidget>

#include <memory>
#include <string_view>

class QScrollArea;
class MyThread;

namespace borne::vue {
class Vue;
}

class TForm1 : public QWidget {
public:
    // Builds the window and every control in its stored state, then the worker (and with it the
    // controller), which starts at once. Throws what the pictures or the controller throw.
    explicit TForm1(QWidget* Owner = nullptr);
    ~TForm1() override;

    // "Quitter": stops the worker where it stands, then closes the window.
    void Button13Click(QObject* Sender);

    // The widget of a named control (nullptr for an unknown name), and the scrolled area.
    QWidget* controle(std::string_view nom) const;
    QWidget* etiquetteDe(std::string_view nom) const;
    QScrollArea* zoneDefilement() const { return zone_; }
    const borne::vue::Vue& vue() const { return *vue_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QScrollArea* zone_ = nullptr;
    MyThread* travailleur_ = nullptr; // also in threadBarriere; not owned: it ends with the process
    std::unique_ptr<borne::vue::Vue> vue_;
    bool dejaMontree_ = false;
};

// The one main window.
extern TForm1* Form1;
