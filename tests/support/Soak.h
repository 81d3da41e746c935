// The soak: one controller turned many times in virtual time with a random user, every turn checked
// against the invariants that must hold whatever the user does. Used by the stress suite (a short run),
// the robustness suite (its user) and bench/soak (a million turns per mode, with the memory figures).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <string>

namespace borne {
class PanneauOperateur;
class ObservateurTour;
} // namespace borne

namespace borne::test {

struct SoakReport {
    long turns = 0;
    long lines = 0;                // journal lines appended
    std::array<long, 18> visits{}; // turns ended in each state
    long violations = 0;           // broken invariants (the first is described below)
    std::string first;             // "" when none
};

// A user who mostly brings cars through the lane the way cars go (in or out, one loop after the
// other), types codes (often the accepted "6082"), inserts the card, plays the attendant, and now and
// then does something odd. Never touches the boom's sensors.
class RandomUser {
public:
    explicit RandomUser(std::uint64_t seed);
    void act(PanneauOperateur& p); // one turn's worth of actions

private:
    bool chance(unsigned percent);
    std::mt19937_64 random_;
    const int* journey_ = nullptr;
    int step_ = 0;
    unsigned digit_ = 0;
};

// In the working directory, with a virtual clock installed: writes the settings of `mode`, builds the
// controller on a panel back in its stored state and turns it `turns` times, with a random user
// (every input box, never the boom's sensors) between turns. After every turn it checks: the state is
// 0 to 17; the typed code and its mask hold at most four characters; the boom's sensors, pictures and
// motor agree with a finished movement; Log.txt grew by exactly the line due when both names changed,
// and not otherwise. At the end every line of Log.txt is checked, then the file is removed.
// `milestone(n)` is called after turn n whenever n is a multiple of `every` (for memory figures).
// `observer`, when given, is told every turn's rows.
SoakReport soak(int mode, long turns, std::uint64_t seed, const std::function<void(long)>& milestone = {},
                long every = 0, ObservateurTour* observer = nullptr);

} // namespace borne::test
