#include "tools/scenario/Compare.h"
#include "tools/grammar/Grammar.h"

#include "base/Codes.h"
#include "base/Texte.h"
#include "journal/FichierJournal.h"
#include "tools/files/Files.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Suite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <streambuf>

namespace borne::scenario {

namespace {

// The recording the journal's lines go to; one run at a time in a process, as the panel is.
Recording* g_tapped = nullptr;
FichierJournal::Appels g_beforeTap{};

ssize_t tappedWrite(int fd, const void* bytes, std::size_t n);

// Drops what it is given: the terminal's run only records, its failed expectations are not the script's.
class Discard final : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::string what(const Recording::Event& e, std::string_view text) {
    switch (e.kind) {
    case Recording::Kind::Write: {
        // The panel holds Windows-1252, shown as --trace shows it.
        if (e.type == 2) return shownValue(versUtf8(text));
        return shownValue(e.type == 0 ? propertyText(Valeur(e.number != 0)) : propertyText(Valeur(e.number)));
    }
    case Recording::Kind::Line: {
        std::string_view line = text;
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        return shownValue(line);
    }
    case Recording::Kind::State: return nomEtatOuCode(static_cast<int>(e.number));
    }
    return {};
}

// What an event is about: a property of a control, a line of Log.txt, the state.
std::string subject(const Recording::Event& e) {
    switch (e.kind) {
    case Recording::Kind::Write: return e.control->nom() + "." + nomPropriete(e.property);
    case Recording::Kind::Line: return std::string(kJournalFile) + " line " + std::to_string(e.number);
    case Recording::Kind::State: return "state at the end of the turn";
    }
    return {};
}

bool sameSubject(const Recording::Event& a, const Recording::Event& b) {
    if (a.kind != b.kind) return false;
    return a.kind != Recording::Kind::Write || (a.control == b.control && a.property == b.property);
}

bool sameInstant(const Recording::Event& a, const Recording::Event& b) {
    return a.at == b.at && a.turn == b.turn;
}

std::string when(const Recording::Event& e) {
    return (e.turn == 0 ? std::string("start-up") : "turn " + std::to_string(e.turn)) + " at " +
           std::to_string(e.at) + " ms: ";
}

std::size_t countLines(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) +
           (!text.empty() && text.back() != '\n' ? 1 : 0);
}

} // namespace

Recording::Recording() {
    events_.reserve(256);
}

Recording::~Recording() {
    if (g_tapped == this) g_tapped = nullptr;
}

Recording::Tap::Tap(Recording& into) {
    g_tapped = &into;
    // The calls in place stay in force (the open as it was, every write passed on): the tap only listens.
    g_beforeTap = FichierJournal::remplacerAppels({FichierJournal::appelsSysteme().ouvrir, tappedWrite});
    FichierJournal::remplacerAppels({g_beforeTap.ouvrir, tappedWrite});
}

Recording::Tap::~Tap() {
    FichierJournal::remplacerAppels(g_beforeTap);
    g_tapped = nullptr;
}

namespace {

ssize_t tappedWrite(int fd, const void* bytes, std::size_t n) {
    const ssize_t written = g_beforeTap.ecrire(fd, bytes, n);
    if (written > 0 && g_tapped != nullptr)
        g_tapped->journalWrote(
            std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(written)));
    return written;
}

} // namespace

void Recording::starting(Engine& engine) {
    engine_ = &engine;
    events_.clear();
    text_.clear();
    partial_.clear();
    turns_.clear();
    rows_.clear();
    turn_ = 0;
    now_ = 0;
    cut_ = false;
    // The run adds to the journal the folder holds; its lines are numbered from there.
    std::string journal, error;
    lines_ =
        readRegularFile(kJournalFile, journal, error) ? static_cast<std::uint32_t>(countLines(journal)) : 0;
}

void Recording::started(Engine& engine) {
    turn_ = 1;
    turns_.clear();
    rows_.clear();
    rowsTold_ = engine.rowsTold();
    engine.listen(*this);
}

void Recording::debutTour(int) noexcept {
    if (cut_ || engine_ == nullptr) return;
    const auto at = static_cast<std::uint32_t>(rows_.size());
    turns_.push_back(Turn{engine_->now(), at, at});
}

void Recording::ligne(int state, int rank) noexcept {
    if (cut_ || turns_.empty()) return;
    rows_.push_back(Row{static_cast<std::uint8_t>(state), static_cast<std::uint8_t>(rank)});
    turns_.back().rowsTo = static_cast<std::uint32_t>(rows_.size());
}

void Recording::add(const Event& e, std::string_view bytes) {
    if (events_.size() >= kMaxRecordedEvents) {
        cut_ = true;
        return;
    }
    events_.push_back(e);
    if (!bytes.empty()) {
        events_.back().offset = static_cast<std::uint32_t>(text_.size());
        events_.back().size = static_cast<std::uint32_t>(bytes.size());
        text_.append(bytes);
    }
}

void Recording::wrote(const Ecriture& e, std::int64_t at) {
    if (e.auteur != Auteur::Terminal) return;
    now_ = at;
    Event ev{at,          turn_, Kind::Write, e.propriete, static_cast<std::uint8_t>(e.valeur.index()),
             &e.controle, 0};
    if (const auto* b = std::get_if<bool>(&e.valeur)) ev.number = *b ? 1 : 0;
    if (const auto* c = std::get_if<Couleur>(&e.valeur)) ev.number = *c;
    const auto* t = std::get_if<std::string>(&e.valeur);
    add(ev, t != nullptr ? std::string_view(*t) : std::string_view());
}

void Recording::journalWrote(std::string_view bytes) {
    // A line goes out in one write; should one come in pieces, it is recorded whole.
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(bytes);
            return;
        }
        partial_.append(bytes.substr(0, end + 1));
        bytes.remove_prefix(end + 1);
        const std::int64_t at = engine_ != nullptr ? engine_->now() : now_;
        add(Event{at, turn_, Kind::Line, Propriete::Text, 0, nullptr, ++lines_}, partial_);
        partial_.clear();
    }
}

void Recording::turnEnded(std::int64_t at) {
    const int state =
        engine_ != nullptr && engine_->controller() != nullptr ? engine_->controller()->etatCourant() : -1;
    if (!turns_.empty() && turns_.size() == turn_) turns_.back().end = state;
    add(Event{at, turn_++, Kind::State, Propriete::Text, 0, nullptr, static_cast<std::uint32_t>(state)});
}

void Recording::finished(std::int64_t) {
    // A last line cut short is still a line of the journal.
    if (!partial_.empty()) {
        add(Event{engine_ != nullptr ? engine_->now() : now_, turn_, Kind::Line, Propriete::Text, 0, nullptr,
                  ++lines_},
            partial_);
        partial_.clear();
    }
    engine_ = nullptr;
}

namespace {

std::string rowsOf(const Recording::Turn& turn, const std::vector<Recording::Row>& rows) {
    if (turn.rowsFrom == turn.rowsTo) return "(no row)";
    std::string list = turn.rowsTo - turn.rowsFrom == 1 ? "row" : "rows";
    for (std::uint32_t i = turn.rowsFrom; i < turn.rowsTo; ++i)
        list += " " + std::to_string(rows[i].state) + "." + std::to_string(rows[i].rank);
    return list;
}

// Texts apart only because one side wrote UTF-8 where the panel holds Windows-1252.
std::string encodingNote(const Recording::Event& a, std::string_view terminal, std::string_view controller) {
    if (a.kind != Recording::Kind::Write || a.type != 2 || terminal == controller) return {};
    if (versUtf8(terminal) == controller) return " (the controller wrote UTF-8, the terminal Windows-1252)";
    if (versUtf8(controller) == terminal) return " (the terminal wrote UTF-8, the controller Windows-1252)";
    return {};
}

} // namespace

// The first turn that ended in another state or reached other rows, said as a line; 0 and empty when none.
std::string decidingTurn(const Recording& terminal, const Recording& controller, std::uint32_t& number) {
    const auto& t = terminal.turns_;
    const auto& c = controller.turns_;
    const bool rows = terminal.rowsTold_ && controller.rowsTold_;
    for (std::size_t i = 0; i < std::min(t.size(), c.size()); ++i) {
        const auto& a = t[i];
        const auto& b = c[i];
        if (a.end < 0 || b.end < 0) break;
        const bool sameRows =
            !rows || std::equal(terminal.rows_.begin() + a.rowsFrom, terminal.rows_.begin() + a.rowsTo,
                                controller.rows_.begin() + b.rowsFrom, controller.rows_.begin() + b.rowsTo);
        if (a.end == b.end && sameRows) continue;
        number = static_cast<std::uint32_t>(i + 1);
        const std::string when = "turn " + std::to_string(i + 1) + " at " + std::to_string(a.start) + " ms: ";
        if (!rows)
            return when + "terminal ends in " + nomEtatOuCode(a.end) + ", controller ends in " +
                   nomEtatOuCode(b.end);
        return when + "terminal " + rowsOf(a, terminal.rows_) + " -> " + nomEtatOuCode(a.end) +
               ", controller " + rowsOf(b, controller.rows_) + " -> " + nomEtatOuCode(b.end);
    }
    number = 0;
    return {};
}

std::string firstDifference(const Recording& terminal, const Recording& controller) {
    std::uint32_t stateTurn = 0;
    std::string event = firstEventDifference(terminal, controller, stateTurn);
    if (event.empty()) return event;
    std::uint32_t turn = 0;
    const std::string decided = decidingTurn(terminal, controller, turn);
    if (decided.empty()) return event;
    // Its end state alone is what the line above already says.
    if (stateTurn == turn) return decided;
    return decided + "\n" + event;
}

std::string firstEventDifference(const Recording& terminal, const Recording& controller,
                                 std::uint32_t& stateTurn) {
    stateTurn = 0;
    const auto& t = terminal.events_;
    const auto& c = controller.events_;
    const std::size_t n = std::min(t.size(), c.size());
    auto textOf = [](const Recording& r, const Recording::Event& e) {
        return std::string_view(r.text_).substr(e.offset, e.size);
    };
    auto same = [&](const Recording::Event& a, const Recording::Event& b) {
        return a.at == b.at && a.turn == b.turn && sameSubject(a, b) && a.type == b.type &&
               a.number == b.number && textOf(terminal, a) == textOf(controller, b);
    };
    std::size_t i = 0;
    while (i < n && same(t[i], c[i]))
        ++i;
    // A recording that was cut says nothing past its end.
    if (i == n && (t.size() == c.size() || terminal.cut_ || controller.cut_)) return {};

    const auto onlyTerminal = [&](const Recording::Event& a) {
        return when(a) + subject(a) + ": terminal " + what(a, textOf(terminal, a)) + ", controller " +
               (a.kind == Recording::Kind::Write ? "(no write)" : "(none)");
    };
    const auto onlyController = [&](const Recording::Event& b) {
        return when(b) + subject(b) + ": terminal " +
               (b.kind == Recording::Kind::Write ? "(no write)" : "(none)") + ", controller " +
               what(b, textOf(controller, b));
    };
    if (i >= c.size()) return onlyTerminal(t[i]);
    if (i >= t.size()) return onlyController(c[i]);
    const auto& a = t[i];
    const auto& b = c[i];
    if (sameInstant(a, b) && sameSubject(a, b)) {
        if (a.kind == Recording::Kind::State) stateTurn = a.turn;
        return when(a) + subject(a) + ": terminal " + what(a, textOf(terminal, a)) + ", controller " +
               what(b, textOf(controller, b)) + encodingNote(a, textOf(terminal, a), textOf(controller, b));
    }
    // Whichever comes first in virtual time is the one the other did not make.
    if (a.at != b.at || a.turn != b.turn)
        return a.at < b.at || (a.at == b.at && a.turn < b.turn) ? onlyTerminal(a) : onlyController(b);
    // The same instant, another subject: a write only one of them made at this instant, or the same writes
    // in another order.
    const auto find = [](const std::vector<Recording::Event>& in, std::size_t from,
                         const Recording::Event& like) {
        for (std::size_t k = from; k < in.size() && sameInstant(in[k], like); ++k)
            if (sameSubject(in[k], like)) return k;
        return in.size();
    };
    const std::size_t inController = find(c, i, a);
    if (inController == c.size()) return onlyTerminal(a);
    if (find(t, i, b) == t.size()) return onlyController(b);
    return when(a) + subject(a) + ": terminal " + what(a, textOf(terminal, a)) + ", controller " +
           what(c[inController], textOf(controller, c[inController])) +
           " (the writes of this instant in another order)";
}

std::string journalDifference(const std::string& terminal, const std::string& controller) {
    if (terminal == controller) return {};
    std::size_t at = 0, line = 1;
    while (at < terminal.size() && at < controller.size()) {
        const auto te = terminal.find('\n', at);
        const auto ce = controller.find('\n', at);
        if (te != ce || terminal.compare(at, te - at, controller, at, ce - at) != 0) break;
        if (te == std::string::npos) break;
        at = te + 1;
        ++line;
    }
    auto lineAt = [&](const std::string& s) -> std::string {
        if (at >= s.size()) return "(none)";
        const auto end = s.find('\n', at);
        return shownValue(
            std::string_view(s).substr(at, end == std::string::npos ? std::string::npos : end - at));
    };
    return std::string(kJournalFile) + " line " + std::to_string(line) + ": terminal " + lineAt(terminal) +
           ", controller " + lineAt(controller);
}

bool runOnTerminal(std::string_view text, const std::string& folder, RunSettings settings, Recording& into,
                   std::string& error) {
    const int back = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (back < 0 || ::chdir(folder.c_str()) != 0) {
        error = "cannot enter " + folder + ": " + std::strerror(errno);
        if (back >= 0) ::close(back);
        return false;
    }
    {
        Discard discard;
        std::ostream messages(&discard);
        settings.controller = nullptr;
        settings.flushBeforeMessages = nullptr;
        Engine engine(settings, messages);
        engine.watch(into);
        const Recording::Tap tap(into);
        TextSource source(text, panneau());
        try {
            engine.run(source);
        } catch (const std::exception&) {
            // What the terminal recorded up to there is what the controller is compared with.
        }
    }
    const bool left = ::fchdir(back) == 0;
    if (!left) error = std::string("cannot go back from ") + folder + ": " + std::strerror(errno);
    ::close(back);
    return left;
}

Comparison::~Comparison() {
    std::string ignored;
    if (back_ >= 0) leave(ignored);
    if (!scratch_.empty()) removeScratch(scratch_);
}

bool Comparison::start(std::string_view text, const RunSettings& settings, std::string& error) {
    std::string scratch = scratchPlace() + "/borne-compare-XXXXXX";
    if (::mkdtemp(scratch.data()) == nullptr) {
        error = "cannot make a scratch folder " + scratch + ": " + std::strerror(errno);
        return false;
    }
    scratch_ = scratch;
    for (const char* side : {"/terminal", "/controller"}) {
        const std::string folder = scratch_ + side;
        if (::mkdir(folder.c_str(), 0700) != 0) {
            error = "cannot make " + folder + ": " + std::strerror(errno);
            return false;
        }
        // Only what the terminal reads: a working folder can be anything, a home folder included.
        for (const char* name : {"Config.cfg", "CHIP.INI", kJournalFile}) {
            std::string content, unread;
            if (!readRegularFile(name, content, unread)) continue;
            if (!files::writeWhole(folder + "/" + name, content, error)) return false;
        }
    }
    return runOnTerminal(text, scratch_ + "/terminal", settings, terminal_, error);
}

bool Comparison::enter(std::string& error) {
    back_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string folder = scratch_ + "/controller";
    if (back_ < 0 || ::chdir(folder.c_str()) != 0) {
        error = "cannot enter " + folder + ": " + std::strerror(errno);
        return false;
    }
    tap_.emplace(controller_);
    return true;
}

bool Comparison::leave(std::string& error) {
    tap_.reset();
    const bool left = back_ >= 0 && ::fchdir(back_) == 0;
    if (!left) error = "cannot go back to the working folder: " + std::string(std::strerror(errno));
    if (back_ >= 0) ::close(back_);
    back_ = -1;
    return left;
}

std::string Comparison::difference() const {
    std::string d = firstDifference(terminal_, controller_);
    if (!d.empty()) return d;
    std::string terminal, controller, unread;
    if (!readRegularFile(scratch_ + "/terminal/" + kJournalFile, terminal, unread)) terminal.clear();
    if (!readRegularFile(scratch_ + "/controller/" + kJournalFile, controller, unread)) controller.clear();
    return journalDifference(terminal, controller);
}

} // namespace borne::scenario
