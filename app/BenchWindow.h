// The bench window beside the panel (F2, --bench): the state diagram with the current state, the last
// turn's transition and the turn count of each state; the rows of a clicked state; the turn log as
// `--turns` writes it; the panel's changes as `--trace-changes` writes them, filtered by name; the time
// and its buttons. It reads what the worker reports (its turns, the panel's writes) at its own pace,
// so neither side ever waits for the other.
#pragma once

#include "app/TurnWatch.h"

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
class QTimer;

namespace borne {
class HorlogeCadencee;
}

namespace borne::bench {

class StateDiagram;

class BenchWindow : public QWidget {
public:
    // `owner` is the main window: the bench opens beside it the first time.
    BenchWindow(MyThread& worker, QWidget& owner);
    ~BenchWindow() override;

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
    QString turnLogText() const;
    QString changesText() const;
    QLineEdit* changesFilter() const { return filter_; }
    StateDiagram* diagram() const { return diagram_; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QHBoxLayout* timeBar();
    QWidget* logColumn();
    void showRows();
    void refilter();
    void snapshotPanel();

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
