// Counts what the access cycle does, per mode, as the controller tells its turns: how many turns start
// in each state, each start -> end-of-step-6 transition, and each row of the state table reached.
// Counts from several runs (a suite's children, each in its own process) add up through serialise()
// and parse().
#pragma once

#include "control/ObservateurTour.h"
#include "tools/coverage/Rows.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace borne::coverage {

inline constexpr int MODE_COUNT = NB_MODES;

struct Counts {
    std::array<std::uint64_t, NB_ETATS> states{};
    std::array<std::array<std::uint64_t, NB_ETATS>, NB_ETATS> transitions{}; // [from][to]
    std::array<std::uint64_t, ROW_COUNT> rows{};

    Counts& operator+=(const Counts& other) noexcept;
    int statesCovered() const noexcept;
    int rowsCovered() const noexcept;
    int allowedTransitionsCovered() const noexcept;
    // Transitions taken that the table does not allow: zero unless the controller and this table disagree.
    int transitionsOutsideTable() const noexcept;
};

class Coverage final : public ObservateurTour {
public:
    // The mode the following turns run in (the controller's, so 1 for a broken configuration). A mode
    // that has been set is listed in the reports even when no turn ran in it.
    void setMode(int mode) noexcept;

    void debutTour(int etat) noexcept override;
    void ligne(int state, int rank) noexcept override;
    void finDecision(int etat) noexcept override;

    bool ran(int mode) const noexcept;
    const Counts& counts(int mode) const noexcept; // mode in 0..4
    Counts total() const noexcept;

    // Adds another run's counts to these.
    void merge(const Coverage& other) noexcept;

    // A line-based text that parse() reads back; only the counts, never the turn in progress.
    std::string serialise() const;
    // Nothing, with the reason in `error`, for a text that serialise() could not have written.
    static std::optional<Coverage> parse(std::string_view text, std::string& error);

    // Whether every run counted here had a controller that tells its rows; when one did not, the row
    // counts say nothing and the reports say so instead of showing zeros.
    void rowsNotTold() noexcept { rowsTold_ = false; }
    bool rowsTold() const noexcept { return rowsTold_; }

    // Reports from the controller that name no state or row of the table; they are dropped.
    std::uint64_t ignored() const noexcept { return ignored_; }

private:
    std::array<Counts, MODE_COUNT> modes_{};
    std::array<bool, MODE_COUNT> ran_{};
    int mode_ = -1;
    int start_ = -1; // the state of the turn under way, -1 between turns
    std::uint64_t ignored_ = 0;
    bool rowsTold_ = true;
};

} // namespace borne::coverage
