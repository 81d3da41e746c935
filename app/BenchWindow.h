// The bench window beside the panel (F2, --bench): the state diagram with the current state, the last
// turn's transition and the turn count of each state; the rows of a clicked state; the turn log as
// `--turns` writes it; the panel's changes as `--trace-changes` writes them, filtered by name; the time
// and its buttons. It reads what the worker reports (its turns, the panel's writes) at its own pace,
// so neither side ever waits for the other.
#pragma once

#include "app/TurnWatch.h"

#include <QRect>
#include <QWidget>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class MyThread;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTimer;

namespace borne {
class HorlogeCadencee;
}

namespace borne::bench {

class StateDiagram;

class BenchWindow : public QWidget {
public:
    // The main window places it (beside the panel, or where it was left when that is still on a screen).
    explicit BenchWindow(MyThread& worker);
    ~BenchWindow() override;

    // The size the bench asks for when there is room: the whole diagram with its labels at 12 pixels,
    // the rows, the turn log and the changes under it.
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 860;
    // Where it was left last time (its client area), if anywhere.
    static std::optional<QRect> remembered();

    // Takes what the worker reported since the last look and shows it (also done every few ms while shown).
    void poll();
    // The pause or the speed changed.
    void timeChanged();
    // Writes the turn log as `--turns` does; false when the file cannot be written.
    bool saveTurns(const QString& path) const;

    // What the window shows, for the tests: the state filled (none before the first turn), the rows of
    // the last turn, the rows listed for the selected state (marked ones start with "> ").
    std::optional<int> currentState() const { return current_; }
    const std::vector<std::pair<int, int>>& lastRows() const { return lastRows_; }
    QStringList listedRows() const;
    // Lists the rows of `state` from now on (until then, those of the current state).
    void selectState(int state);
    // The turn log as "Save..." writes it, and as the window shows it, a turn in two short lines.
    QString turnLogText() const;
    QString turnLogShown() const;
    QPlainTextEdit* turnLogView() const { return turns_; }
    QString changesText() const;
    QLineEdit* changesFilter() const { return filter_; }
    StateDiagram* diagram() const { return diagram_; }
    // The size of the diagram's labels, in pixels before Qt's own scaling.
    int labelPixels() const;

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QHBoxLayout* timeBar();
    QWidget* logColumn();
    void showRows();
    void refilter();
    void snapshotPanel();
    void remember() const;

    MyThread& worker_;
    HorlogeCadencee* clock_;
    StateDiagram* diagram_ = nullptr;
    QListWidget* rows_ = nullptr;
    QPlainTextEdit* turns_ = nullptr;
    QPlainTextEdit* changes_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* time_ = nullptr;
    QPushButton* pause_ = nullptr;
    QTimer* timer_ = nullptr;
    QSplitter* split_ = nullptr; // the diagram over the rest
    bool shared_ = false;        // the split set for the first showing

    std::optional<int> current_;
    std::optional<int> selected_;
    bool chosen_ = false; // a state was clicked: its rows stay listed
    std::vector<std::pair<int, int>> lastRows_;
    std::vector<std::string> turnLines_;
    std::uint64_t lastTurn_ = 0;
    // Changes: the control's name and the line.
    std::vector<std::pair<std::string, std::string>> changeLines_;
    std::map<std::pair<const Controle*, Propriete>, Valeur> held_;
};

} // namespace borne::bench
