#include "tools/coverage/Coverage.h"

#include <charconv>
#include <limits>
#include <vector>

namespace borne::coverage {

namespace {

constexpr std::string_view kHeader = "borne-coverage 1";
constexpr std::string_view kRowsNotTold = "rows not told";

bool validState(int s) {
    return s >= 0 && s < NB_ETATS;
}

// Counts never wrap: a sum past the largest value stays there.
void add(std::uint64_t& into, std::uint64_t n) {
    into = n > std::numeric_limits<std::uint64_t>::max() - into ? std::numeric_limits<std::uint64_t>::max()
                                                                : into + n;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> r;
    while (!line.empty()) {
        const auto espace = line.find(' ');
        r.push_back(line.substr(0, espace));
        if (espace == std::string_view::npos) break;
        line.remove_prefix(espace + 1);
    }
    return r;
}

template <typename T> bool number(std::string_view s, T& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && r.ec == std::errc{} && r.ptr == s.data() + s.size();
}

} // namespace

Counts& Counts::operator+=(const Counts& other) noexcept {
    for (std::size_t s = 0; s < states.size(); ++s) {
        add(states[s], other.states[s]);
        for (std::size_t t = 0; t < states.size(); ++t)
            add(transitions[s][t], other.transitions[s][t]);
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        add(rows[r], other.rows[r]);
    return *this;
}

int Counts::statesCovered() const noexcept {
    int n = 0;
    for (auto c : states)
        n += c != 0;
    return n;
}

int Counts::rowsCovered() const noexcept {
    int n = 0;
    for (auto c : rows)
        n += c != 0;
    return n;
}

int Counts::allowedTransitionsCovered() const noexcept {
    int n = 0;
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            n += allowed(s, t) && transitions[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)] != 0;
    return n;
}

int Counts::transitionsOutsideTable() const noexcept {
    int n = 0;
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            n += !allowed(s, t) && transitions[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)] != 0;
    return n;
}

void Coverage::setMode(int mode) noexcept {
    start_ = -1;
    if (mode < 0 || mode >= MODE_COUNT) {
        mode_ = -1;
        return;
    }
    mode_ = mode;
    ran_[static_cast<std::size_t>(mode)] = true;
}

void Coverage::debutTour(int etat) noexcept {
    if (mode_ < 0 || !validState(etat)) {
        start_ = -1;
        ++ignored_;
        return;
    }
    start_ = etat;
    add(modes_[static_cast<std::size_t>(mode_)].states[static_cast<std::size_t>(etat)], 1);
}

void Coverage::ligne(int state, int rank) noexcept {
    const auto i = rowIndex(state, rank);
    if (mode_ < 0 || start_ < 0 || !i) {
        ++ignored_;
        return;
    }
    add(modes_[static_cast<std::size_t>(mode_)].rows[*i], 1);
}

void Coverage::finDecision(int etat) noexcept {
    if (mode_ < 0 || start_ < 0 || !validState(etat)) {
        ++ignored_;
        start_ = -1;
        return;
    }
    add(modes_[static_cast<std::size_t>(mode_)]
            .transitions[static_cast<std::size_t>(start_)][static_cast<std::size_t>(etat)],
        1);
    start_ = -1;
}

bool Coverage::ran(int mode) const noexcept {
    return mode >= 0 && mode < MODE_COUNT && ran_[static_cast<std::size_t>(mode)];
}

const Counts& Coverage::counts(int mode) const noexcept {
    static const Counts kNone{};
    return mode >= 0 && mode < MODE_COUNT ? modes_[static_cast<std::size_t>(mode)] : kNone;
}

Counts Coverage::total() const noexcept {
    Counts t;
    for (const Counts& c : modes_)
        t += c;
    return t;
}

void Coverage::merge(const Coverage& other) noexcept {
    for (std::size_t m = 0; m < modes_.size(); ++m) {
        modes_[m] += other.modes_[m];
        ran_[m] = ran_[m] || other.ran_[m];
    }
    add(ignored_, other.ignored_);
    rowsTold_ = rowsTold_ && other.rowsTold_;
}

// One line per mode that ran, then one per count that is not zero:
//   mode M / state S N / transition S T N / row S.K N / ignored N
// and, first, "rows not told" for a controller that does not tell them.
std::string Coverage::serialise() const {
    std::string r(kHeader);
    r += '\n';
    if (!rowsTold_) r += std::string(kRowsNotTold) + '\n';
    for (int m = 0; m < MODE_COUNT; ++m) {
        if (!ran(m)) continue;
        const Counts& c = modes_[static_cast<std::size_t>(m)];
        r += "mode " + std::to_string(m) + '\n';
        for (int s = 0; s < NB_ETATS; ++s) {
            const auto i = static_cast<std::size_t>(s);
            if (c.states[i] != 0)
                r += "state " + std::to_string(s) + ' ' + std::to_string(c.states[i]) + '\n';
            for (int t = 0; t < NB_ETATS; ++t) {
                const auto n = c.transitions[i][static_cast<std::size_t>(t)];
                if (n != 0)
                    r += "transition " + std::to_string(s) + ' ' + std::to_string(t) + ' ' +
                         std::to_string(n) + '\n';
            }
        }
        for (std::size_t i = 0; i < ROW_COUNT; ++i)
            if (c.rows[i] != 0) r += "row " + rowId(rows()[i]) + ' ' + std::to_string(c.rows[i]) + '\n';
    }
    if (ignored_ != 0) r += "ignored " + std::to_string(ignored_) + '\n';
    return r;
}

std::optional<Coverage> Coverage::parse(std::string_view text, std::string& error) {
    Coverage cov;
    int mode = -1;
    std::size_t numero = 0;
    bool header = false;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(numero) + ": " + why;
        return std::nullopt;
    };
    while (!text.empty()) {
        ++numero;
        const auto fin = text.find('\n');
        if (fin == std::string_view::npos) return fail("unterminated line");
        const std::string_view line = text.substr(0, fin);
        text.remove_prefix(fin + 1);
        if (!header) {
            if (line != kHeader) return fail("not a coverage record");
            header = true;
            continue;
        }
        const auto w = words(line);
        std::uint64_t n = 0;
        int s = 0;
        int t = 0;
        if (line == kRowsNotTold) {
            cov.rowsTold_ = false;
        } else if (w.size() == 2 && w[0] == "mode" && number(w[1], mode) && mode >= 0 && mode < MODE_COUNT) {
            cov.ran_[static_cast<std::size_t>(mode)] = true;
        } else if (w.size() == 2 && w[0] == "ignored" && number(w[1], n)) {
            add(cov.ignored_, n);
        } else if (mode < 0) {
            return fail("a count before any mode");
        } else if (w.size() == 3 && w[0] == "state" && number(w[1], s) && validState(s) && number(w[2], n)) {
            add(cov.modes_[static_cast<std::size_t>(mode)].states[static_cast<std::size_t>(s)], n);
        } else if (w.size() == 4 && w[0] == "transition" && number(w[1], s) && validState(s) &&
                   number(w[2], t) && validState(t) && number(w[3], n)) {
            add(cov.modes_[static_cast<std::size_t>(mode)]
                    .transitions[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)],
                n);
        } else if (w.size() == 3 && w[0] == "row" && rowIndex(w[1]) && number(w[2], n)) {
            add(cov.modes_[static_cast<std::size_t>(mode)].rows[*rowIndex(w[1])], n);
        } else {
            return fail("unreadable line");
        }
    }
    if (!header) {
        numero = 0;
        return fail("empty coverage record");
    }
    return cov;
}

} // namespace borne::coverage
