#include "app/BenchWindow.h"
#include "tools/files/TurnLogFormat.h"
#include "tools/grammar/Grammar.h"

#include "app/MonThread.h"
#include "app/Placement.h"
#include "app/StateLayout.h"
#include "base/Codes.h"
#include "control/Attente.h"
#include "control/Codes.h"
#include "control/TableEtats.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace borne::bench {

namespace {

// The table's facts the window shows: kept here, in one place.
struct RowText {
    int rank;
    QString text; // "S.K condition"
};
std::vector<RowText> rowsOf(int state) {
    std::vector<RowText> r;
    for (const LigneTable& row : TABLE_ETATS)
        if (row.etat == state)
            r.push_back({row.rang, QStringLiteral("%1.%2  ").arg(state).arg(row.rang) +
                                       QString::fromUtf8(row.condition)});
    return r;
}
QString shortName(int state) {
    const char* name = nomEtatCode(state);
    return QString::fromUtf8(name != nullptr ? name : "?").remove(QStringLiteral("ETAT_"));
}

// A turn in two short lines, which wrap rather than scroll sideways: its number, instant and states,
// then its events and the rows it took.
QString compactTurn(const TurnRecord& t) {
    QStringList rows, events;
    for (const std::string& e : t.events)
        events << QString::fromStdString(e);
    for (const auto& [state, rank] : t.rows)
        rows << QStringLiteral("%1.%2").arg(state).arg(rank);
    return QStringLiteral("%1  %2 ms  %3 -> %4\n    %5%6")
        .arg(t.number)
        .arg(t.start)
        .arg(shortName(t.startState), shortName(t.endState), events.join(' '),
             rows.isEmpty() ? QString() : QStringLiteral("  rows ") + rows.join(' '));
}

// How often the window looks at what the worker reported while it is shown.
constexpr int kPollMs = 50;

// Appends, following the newest line unless the user scrolled up.
void followAppend(QPlainTextEdit* view, const QStringList& lines) {
    QScrollBar* bar = view->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    for (const QString& l : lines)
        view->appendPlainText(l);
    if (following) bar->setValue(bar->maximum());
}

} // namespace

// The diagram: boxes and arrows where the build's layout put them, scaled to the widget.
class StateDiagram : public QWidget {
public:
    explicit StateDiagram(BenchWindow& bench) : bench_(bench) {
        // Never drawn smaller than laid out, so that its labels are 12 pixels at the least: a smaller
        // window scrolls it.
        const StateLayout& l = stateLayout();
        setMinimumSize(static_cast<int>(std::ceil(l.width)) + 2 * kMargin,
                       static_cast<int>(std::ceil(l.height)) + 2 * kMargin);
        setObjectName("StateDiagram");
    }
    // The labels' size, in pixels at zoom 1 (Qt's own scaling multiplies it on the screen).
    int labelPixels() const { return static_cast<int>(kLabelPixels * scale()); }
    std::array<std::uint64_t, NB_ETATS> counts{};
    std::optional<int> current;
    std::optional<std::pair<int, int>> lastMove;
    std::optional<int> selected;

    // Where a state's box is drawn, in the widget.
    QRectF box(int state) const {
        const StateLayout& l = stateLayout();
        for (const NodePlace& n : l.nodes)
            if (n.state == state)
                return {map({n.x - n.width / 2, n.y - n.height / 2}),
                        QSizeF(n.width * scale(), n.height * scale())};
        return {};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const StateLayout& l = stateLayout();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), palette().base());
        for (const EdgePlace& e : l.edges) {
            const bool bold = lastMove && lastMove->first == e.from && lastMove->second == e.to;
            QPen pen(bold ? QColor(200, 0, 0) : QColor(150, 150, 150), bold ? 3 : 1);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const auto pt = l.points.subspan(e.first, e.count);
            if (pt.empty()) continue;
            QPainterPath path(map(pt[0]));
            for (std::size_t i = 1; i + 2 < pt.size(); i += 3)
                path.cubicTo(map(pt[i]), map(pt[i + 1]), map(pt[i + 2]));
            p.drawPath(path);
            if (pt.size() >= 2) arrow(p, map(pt[pt.size() - 2]), map(pt.back()), pen.color());
        }
        QFont f = font();
        f.setPixelSize(labelPixels());
        p.setFont(f);
        for (const NodePlace& n : l.nodes) {
            const QRectF r = box(n.state);
            const bool now = current == n.state;
            p.setPen(QPen(selected == n.state ? QColor(0, 0, 200) : Qt::black, selected == n.state ? 2 : 1));
            p.setBrush(now ? QColor(255, 215, 0) : palette().base().color());
            p.drawRoundedRect(r, 4, 4);
            const auto c = counts[static_cast<std::size_t>(n.state)];
            p.drawText(r, Qt::AlignCenter, QString::fromUtf8(n.label) + QStringLiteral("  %1").arg(c));
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        for (int s = 0; s < NB_ETATS; ++s)
            if (box(s).contains(e->position())) return bench_.selectState(s);
    }

private:
    // The boxes were laid out for 12-point labels, a point to a pixel.
    static constexpr int kLabelPixels = 12;
    static constexpr int kMargin = 4;
    double scale() const {
        const StateLayout& l = stateLayout();
        return std::max(1.0,
                        std::min((width() - 2 * kMargin) / l.width, (height() - 2 * kMargin) / l.height));
    }
    QPointF map(Point q) const {
        const StateLayout& l = stateLayout();
        const double s = scale();
        return {(width() - l.width * s) / 2 + q.x * s, (height() - l.height * s) / 2 + q.y * s};
    }
    static void arrow(QPainter& p, QPointF from, QPointF to, QColor c) {
        const QPointF d = to - from;
        const double n = std::hypot(d.x(), d.y());
        if (n < 0.01) return;
        const QPointF u = d / n * 7, v(-u.y() / 2, u.x() / 2);
        p.setBrush(c);
        p.drawPolygon(QPolygonF{to + u, to - v, to + v});
    }

    BenchWindow& bench_;
};

// The time and its buttons, which work only on a paced clock.
QHBoxLayout* BenchWindow::timeBar() {
    auto* temps = new QHBoxLayout;
    time_ = new QLabel;
    time_->setObjectName("Time");
    pause_ = new QPushButton;
    auto* unTour = new QPushButton(QStringLiteral("One turn (N)"));
    auto* moins = new QPushButton(QStringLiteral("Slower (-)"));
    auto* plus = new QPushButton(QStringLiteral("Faster (+)"));
    for (QWidget* w :
         {static_cast<QWidget*>(time_), static_cast<QWidget*>(pause_), static_cast<QWidget*>(unTour),
          static_cast<QWidget*>(moins), static_cast<QWidget*>(plus)})
        temps->addWidget(w);
    temps->addStretch(1);
    const bool cadence = clock_ != nullptr;
    for (QPushButton* b : {pause_, unTour, moins, plus})
        b->setEnabled(cadence);
    if (cadence) {
        HorlogeCadencee* c = clock_;
        connect(pause_, &QPushButton::clicked, this,
                [c] { c->enPause() ? c->reprendre() : c->mettreEnPause(); });
        connect(unTour, &QPushButton::clicked, this, [c] { c->unTour(); });
        connect(moins, &QPushButton::clicked, this,
                [c] { c->changerVitesse(HorlogeCadencee::vitesseMoins(c->vitesse())); });
        connect(plus, &QPushButton::clicked, this,
                [c] { c->changerVitesse(HorlogeCadencee::vitessePlus(c->vitesse())); });
    }
    return temps;
}

// The turn log with its save button over the panel's changes with their filter.
QWidget* BenchWindow::logColumn() {
    auto* droite = new QWidget;
    auto* colonne = new QVBoxLayout(droite);
    colonne->setContentsMargins(0, 0, 0, 0);
    auto* titreTours = new QHBoxLayout;
    titreTours->addWidget(new QLabel(QStringLiteral("Turns")), 1);
    auto* enregistrer = new QPushButton(QStringLiteral("Save..."));
    titreTours->addWidget(enregistrer);
    connect(enregistrer, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Save the turn log"),
                                                       QStringLiteral("turns.tsv"));
        if (!f.isEmpty() && !saveTurns(f)) time_->setText(QStringLiteral("could not write %1").arg(f));
    });
    colonne->addLayout(titreTours);
    turns_ = new QPlainTextEdit;
    turns_->setObjectName("Turns");
    turns_->setReadOnly(true);
    turns_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    turns_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    colonne->addWidget(turns_, 2);

    auto* titreChangements = new QHBoxLayout;
    titreChangements->addWidget(new QLabel(QStringLiteral("Changes")));
    filter_ = new QLineEdit;
    filter_->setObjectName("Filter");
    filter_->setPlaceholderText(QStringLiteral("control name"));
    titreChangements->addWidget(filter_, 1);
    connect(filter_, &QLineEdit::textChanged, this, [this] { refilter(); });
    colonne->addLayout(titreChangements);
    changes_ = new QPlainTextEdit;
    changes_->setObjectName("Changes");
    changes_->setReadOnly(true);
    changes_->setLineWrapMode(QPlainTextEdit::NoWrap);
    changes_->setMaximumBlockCount(20000);
    colonne->addWidget(changes_, 1);
    return droite;
}

BenchWindow::BenchWindow(MyThread& worker)
    : QWidget(nullptr, Qt::Window), worker_(worker), clock_(worker.cadence()) {
    setObjectName("Bench");
    setWindowTitle(QStringLiteral("borne - bench"));
    setAttribute(Qt::WA_QuitOnClose, false);

    // The time on top, the diagram under it as wide as the window; below, the rows of the selected
    // state beside the turn log and the changes.
    diagram_ = new StateDiagram(*this);
    rows_ = new QListWidget;
    rows_->setObjectName("Rows");
    QHBoxLayout* temps = timeBar();
    auto* bas = new QSplitter(Qt::Horizontal);
    bas->addWidget(rows_);
    bas->addWidget(logColumn());
    bas->setStretchFactor(1, 2);
    auto* dessin = new QScrollArea;
    dessin->setWidget(diagram_);
    dessin->setWidgetResizable(true);
    dessin->setFrameShape(QFrame::NoFrame);
    split_ = new QSplitter(Qt::Vertical);
    split_->addWidget(dessin);
    split_->addWidget(bas);
    split_->setStretchFactor(0, 3);
    split_->setStretchFactor(1, 2);
    // The whole bench scrolls on a screen too small for it at a large zoom.
    auto* contenu = new QWidget;
    auto* disposition = new QVBoxLayout(contenu);
    disposition->setContentsMargins(4, 4, 4, 4);
    disposition->addLayout(temps);
    disposition->addWidget(split_, 1);
    auto* defilement = new QScrollArea;
    defilement->setWidget(contenu);
    defilement->setWidgetResizable(true);
    defilement->setFrameShape(QFrame::NoFrame);
    auto* dehors = new QVBoxLayout(this);
    dehors->setContentsMargins(0, 0, 0, 0);
    dehors->addWidget(defilement);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { poll(); });

    resize(kWidth, kHeight);
    snapshotPanel();
    timeChanged();
}

BenchWindow::~BenchWindow() {
    if (isVisible()) remember(); // gone with the main window
    worker_.tours().listen(false);
}

namespace {
constexpr const char* kPlaceKey = "bench/place";
} // namespace

std::optional<QRect> BenchWindow::remembered() {
    const QVariant v = QSettings().value(kPlaceKey);
    if (!v.canConvert<QRect>() || !v.toRect().isValid()) return std::nullopt;
    return v.toRect();
}

// Only a place still wholly on a screen is kept: one half off the screen is forgotten.
void BenchWindow::remember() const {
    QSettings reglages;
    if (placement::onAScreen(geometry(), placement::frameOf(*this), placement::screensNow()))
        reglages.setValue(kPlaceKey, geometry());
    else
        reglages.remove(kPlaceKey);
}

void BenchWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!shared_) {
        // The first time: the whole diagram when the window has room for it and a third more below.
        const int dessin = diagram_->minimumHeight(), tout = split_->height();
        if (dessin + dessin / 3 <= tout) split_->setSizes({dessin + 2, tout - dessin - 2});
        shared_ = true;
    }
    snapshotPanel();
    worker_.tours().listen(true);
    timer_->start(kPollMs);
    poll();
}

void BenchWindow::hideEvent(QHideEvent* e) {
    remember();
    worker_.tours().listen(false);
    timer_->stop();
    QWidget::hideEvent(e);
}

void BenchWindow::snapshotPanel() {
    // What the panel holds now: the values the next writes are compared with.
    held_.clear();
    for (const Controle* c : panneau().controles())
        for (Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p)) held_[{c, p}] = c->lire(p);
}

void BenchWindow::poll() {
    TurnWatch::News n = worker_.tours().take();
    if (!n.turns.empty()) {
        QStringList lignes;
        for (TurnRecord& t : n.turns) {
            turnLines_.push_back(t.line());
            lignes << compactTurn(t);
            ++diagram_->counts[static_cast<std::size_t>(std::clamp(t.startState, 0, NB_ETATS - 1))];
            lastTurn_ = t.number;
        }
        const TurnRecord& last = n.turns.back();
        current_ = last.endState;
        lastRows_ = last.rows;
        diagram_->current = current_;
        diagram_->lastMove = std::pair{last.startState, last.endState};
        followAppend(turns_, lignes);
        if (!chosen_) {
            selected_ = current_; // the current state's rows until a state is clicked
            diagram_->selected = selected_;
        }
        diagram_->update();
        showRows();
    }
    if (!n.writes.empty()) {
        const QString filtre = filter_->text();
        QStringList montrees;
        for (const PanelWrite& w : n.writes) {
            Valeur& avant = held_[{w.control, w.property}];
            if (avant == w.value) continue;
            avant = w.value;
            if (w.author != Auteur::Terminal) continue;
            changeLines_.emplace_back(w.control->nom(), std::to_string(w.at) + ' ' + w.control->nom() + '.' +
                                                            nomPropriete(w.property) + " = " +
                                                            scenario::propertyText(w.value));
            if (QString::fromStdString(changeLines_.back().first).contains(filtre, Qt::CaseInsensitive))
                montrees << QString::fromStdString(changeLines_.back().second);
        }
        followAppend(changes_, montrees);
    }
    timeChanged();
}

void BenchWindow::timeChanged() {
    if (clock_ == nullptr) {
        time_->setText(QStringLiteral("turn %1").arg(lastTurn_));
        return;
    }
    const bool pause = clock_->enPause();
    time_->setText(QStringLiteral("%1 ms   turn %2   x%3%4")
                       .arg(clock_->instant())
                       .arg(clock_->tours())
                       .arg(clock_->vitesse())
                       .arg(pause ? QStringLiteral("   paused") : QString()));
    pause_->setText(pause ? QStringLiteral("Resume (Space)") : QStringLiteral("Pause (Space)"));
}

void BenchWindow::selectState(int state) {
    chosen_ = true;
    selected_ = state;
    diagram_->selected = state;
    diagram_->update();
    showRows();
}

void BenchWindow::showRows() {
    rows_->clear();
    if (!selected_) return;
    const auto rows = rowsOf(*selected_);
    if (rows.empty())
        rows_->addItem(QStringLiteral("%1 %2: no row").arg(*selected_).arg(shortName(*selected_)));
    for (const RowText& r : rows) {
        const bool last =
            std::find(lastRows_.begin(), lastRows_.end(), std::pair{*selected_, r.rank}) != lastRows_.end();
        auto* item = new QListWidgetItem((last ? QStringLiteral("> ") : QStringLiteral("  ")) + r.text);
        if (last) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
        }
        rows_->addItem(item);
    }
}

QStringList BenchWindow::listedRows() const {
    QStringList l;
    for (int i = 0; i < rows_->count(); ++i)
        l << rows_->item(i)->text();
    return l;
}

void BenchWindow::refilter() {
    const QString filtre = filter_->text();
    QStringList l;
    for (const auto& [nom, ligne] : changeLines_)
        if (QString::fromStdString(nom).contains(filtre, Qt::CaseInsensitive))
            l << QString::fromStdString(ligne);
    changes_->setPlainText(l.join('\n'));
    changes_->verticalScrollBar()->setValue(changes_->verticalScrollBar()->maximum());
}

QString BenchWindow::turnLogText() const {
    QStringList l{QString::fromUtf8(files::kTurnLogHeader.data(), static_cast<qsizetype>(files::kTurnLogHeader.size()))};
    for (const std::string& ligne : turnLines_)
        l << QString::fromStdString(ligne);
    return l.join('\n');
}

int BenchWindow::labelPixels() const {
    return diagram_->labelPixels();
}

QString BenchWindow::turnLogShown() const {
    return turns_->toPlainText();
}

QString BenchWindow::changesText() const {
    return changes_->toPlainText();
}

bool BenchWindow::saveTurns(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    std::string tout = std::string(files::kTurnLogHeader) + '\n';
    for (const std::string& l : turnLines_)
        tout += l + '\n';
    return f.write(tout.data(), static_cast<qint64>(tout.size())) == static_cast<qint64>(tout.size()) &&
           f.flush();
}

} // namespace borne::bench
