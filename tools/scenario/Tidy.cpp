#include "tools/scenario/Tidy.h"

#include "control/Codes.h"
#include "control/Controleur.h"
#include "tools/files/Files.h"
#include "tools/grammar/Grammar.h"
#include "tools/scenario/Engine.h"
#include "tools/scenario/Folder.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>

namespace borne::scenario {

namespace {

namespace fs = std::filesystem;

// What a run shows of itself: the turn boundaries (from the end of start-up, as the recording counts),
// the state after each, the terminal's writes with their instants, and the properties the stop checks
// as start-up left them.
class Capture final : public RunObserver {
public:
    std::vector<std::pair<const Controle*, Propriete>> watched;
    std::vector<Valeur> startPicture;
    std::vector<std::int64_t> bounds;
    std::vector<int> states;
    std::vector<std::string> writes;

    void started(Engine& e) override {
        engine_ = &e;
        origin_ = e.now();
        bounds = {0};
        states = {e.controller()->etatCourant()};
        startPicture.clear();
        for (const auto& [control, property] : watched)
            startPicture.push_back(control->lire(property));
    }
    void wrote(const Ecriture& e, std::int64_t instant) override {
        if (e.auteur != Auteur::Terminal) return;
        writes.push_back(std::to_string(instant - origin_) + " ms: " + e.controle.nom() + "." +
                         nomPropriete(e.propriete) + " = " + propertyText(e.valeur));
    }
    void turnEnded(std::int64_t instant) override {
        bounds.push_back(instant - origin_);
        states.push_back(engine_->controller()->etatCourant());
    }

private:
    Engine* engine_ = nullptr;
    std::int64_t origin_ = 0;
};

struct Outcome {
    RunResult result;
    std::string messages;
    std::string journal;
};

// One run in the current folder, from a journal of its own.
Outcome runHere(const std::string& text, Capture& capture) {
    std::error_code ec;
    fs::remove(kJournalFile, ec);
    Outcome o;
    std::ostringstream messages;
    RunSettings settings;
    settings.scriptName = "the tidy script";
    Engine engine(settings, messages);
    engine.watch(capture);
    TextSource source(text, panneau());
    o.result = engine.run(source);
    o.messages = messages.str();
    std::string unread; // no journal reads as an empty one
    files::readWhole(kJournalFile, o.journal, unread);
    return o;
}

// The tidy script, line by line, following the recording's boundaries.
class Builder {
public:
    explicit Builder(const Capture& c) : c_(c) {}
    std::string text;

    void line(const Command& c) {
        text += print(c).value_or("# " + c.control + ": a text that no script line can hold") + "\n";
    }

    // Brings the script to `t` (ms from the end of start-up). An action the terminal cannot tell from one
    // made at the turn's end (`movable`: made during the turn's closing pause, where nothing reads the
    // panel) goes there; anything else keeps its instant with a wait.
    void to(std::int64_t t, bool movable) {
        const auto& b = c_.bounds;
        const std::size_t before =
            static_cast<std::size_t>(std::upper_bound(b.begin(), b.end(), t) - b.begin()) - 1;
        if (b[before] == t) return turnsTo(before);
        if (movable && before + 1 < b.size() && t > b[before + 1] - DUREE_PAUSE_MS)
            return turnsTo(before + 1);
        if (!(inTurn_ && boundary_ == before)) turnsTo(before);
        Command wait;
        wait.verb = Verb::Wait;
        wait.count = t - at_;
        if (wait.count > 0) line(wait);
        at_ = t;
        inTurn_ = true;
    }

private:
    void turnsTo(std::size_t k) {
        std::int64_t n = 0;
        for (std::size_t i = boundary_ + 1; i <= k; ++i) {
            ++n;
            if (c_.states[i] == c_.states[i - 1]) continue;
            turns(n);
            n = 0;
            line(expectStateCommand(c_.states[i]));
        }
        turns(n);
        boundary_ = k;
        at_ = c_.bounds[k];
        inTurn_ = false;
    }
    void turns(std::int64_t n) {
        if (n == 0) return;
        Command turn;
        turn.verb = Verb::Turn;
        turn.count = n;
        line(turn);
    }

    const Capture& c_;
    std::size_t boundary_ = 0;
    std::int64_t at_ = 0;
    bool inTurn_ = false; // past boundary_, inside the next turn
};

bool same(const Command& expect, const Valeur& start) {
    if (std::holds_alternative<std::string>(expect.expected)) return propertyText(start) == expect.text;
    return expect.expected == start;
}

// The scratch folder the runs use, removed however the tidying ends; the working folder comes back.
class Scratch {
public:
    explicit Scratch(const fs::path& settings) : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "borne-tidy-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder");
        folder_ = pattern;
        std::error_code ec;
        for (const char* f : {"Config.cfg", "CHIP.INI"})
            if (fs::is_regular_file(settings / f, ec)) fs::copy_file(settings / f, folder_ / f, ec);
        fs::current_path(folder_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(folder_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

private:
    fs::path previous_;
    fs::path folder_;
};

// Where the stop's expectations begin: a recording is actions at instants, then those expectations.
// Nothing, said on `err`, for a script that has a line the window does not record. The stop's
// expectations on controls are watched by `capture`.
std::optional<std::size_t> findStop(const Script& script, const std::string& scriptPath, Capture& capture,
                                    std::ostream& err) {
    std::size_t stop = script.commands.size();
    while (stop > 0 && (script.commands[stop - 1].verb == Verb::Expect ||
                        script.commands[stop - 1].verb == Verb::ExpectState))
        --stop;
    for (std::size_t i = 0; i < script.commands.size(); ++i) {
        const Command& c = script.commands[i];
        const bool recorded = c.verb == Verb::Wait || c.verb == Verb::Tick || c.verb == Verb::Untick ||
                              c.verb == Verb::Type || c.verb == Verb::Expect || c.verb == Verb::ExpectState;
        if (!recorded) {
            err << scriptPath << ':' << c.line
                << ": --tidy takes a script as the window records it (wait, tick, untick, type, expect)\n";
            return std::nullopt;
        }
        if (i >= stop && c.verb == Verb::Expect)
            capture.watched.emplace_back(panneau().trouver(c.control), c.property);
    }
    return stop;
}

// The tidy script: the recording's opening comments, a note on what tidying does, then its lines placed on
// the recorded run's turns; at the stop, only the expectations the start picture does not already meet.
std::string rewrite(const std::string& text, const Script& script, std::size_t stop, const Capture& capture) {
    Builder b(capture);
    LineReader lines(text);
    std::string_view l;
    std::size_t n;
    while (lines.next(l, n) && (l.empty() || l.front() == '#'))
        b.text += std::string(l) + "\n";
    b.text +=
        "# Tidied by borne-scenario --tidy: an action made during a turn's closing pause is written at\n"
        "# the turn's end, where the terminal reads it; the state after each turn that changed it; at\n"
        "# the stop, what differs from the start picture.\n";
    std::int64_t at = 0;
    std::size_t watchedIndex = 0;
    for (std::size_t i = 0; i < script.commands.size(); ++i) {
        const Command& c = script.commands[i];
        if (c.verb == Verb::Wait) {
            at += c.count;
            continue;
        }
        const bool atStop = i >= stop;
        b.to(at, !atStop && c.verb != Verb::Expect && c.verb != Verb::ExpectState);
        if (atStop && c.verb == Verb::Expect && same(c, capture.startPicture[watchedIndex++])) continue;
        Command kept = c;
        kept.line = 0;
        b.line(kept);
    }
    return b.text;
}

// Why the tidy run does not replay the recorded one (the terminal's writes first, then the journals, then
// the tidy script's own expectations); empty when it does.
std::string replayDifference(const Capture& recorded, const Outcome& recording, const Capture& tidy,
                             const Outcome& tidied) {
    const auto& w1 = recorded.writes;
    const auto& w2 = tidy.writes;
    const auto d = std::mismatch(w1.begin(), w1.end(), w2.begin(), w2.end());
    std::string summary;
    if (d.first != w1.end() || d.second != w2.end())
        return "the terminal's writes differ: the recording's " +
               (d.first != w1.end() ? "\"" + *d.first + "\"" : std::string("end")) + ", the tidy script's " +
               (d.second != w2.end() ? "\"" + *d.second + "\"" : std::string("end"));
    if (const std::string diff = firstDifference(&recording.journal, &tidied.journal, summary); !diff.empty())
        return "the journals differ: " + summary;
    if (!tidied.result.ok())
        return "the tidy script fails: " + tidied.messages.substr(0, tidied.messages.find('\n'));
    return {};
}

} // namespace

int tidy(const std::string& scriptPath, std::ostream& out, std::ostream& err) {
    std::string text, unread;
    if (!files::readWhole(scriptPath, text, unread)) {
        err << "borne-scenario: cannot read " << scriptPath << "\n";
        return 2;
    }
    const Script script = parse(text);
    for (const ParseError& e : script.errors)
        err << scriptPath << ':' << e.line << ": " << e.message << '\n';
    if (script.errorCount > 0) return 2;
    Capture capture;
    const std::optional<std::size_t> stop = findStop(script, scriptPath, capture, err);
    if (!stop) return 2;

    std::error_code ec;
    const fs::path beside = fs::absolute(scriptPath, ec).parent_path();
    const Scratch scratch(fs::is_regular_file(beside / "Config.cfg", ec) ? beside : fs::current_path());
    const Outcome recorded = runHere(text, capture);
    const std::string tidyText = rewrite(text, script, *stop, capture);
    Capture again;
    again.watched = capture.watched;
    const Outcome tidied = runHere(tidyText, again);
    if (const std::string where = replayDifference(capture, recorded, again, tidied); !where.empty()) {
        err << "borne-scenario: --tidy " << scriptPath << ": refused, the tidy script would not replay the "
            << "recording: " << where << "\n";
        return 1;
    }
    out << tidyText;
    return 0;
}

} // namespace borne::scenario
