// What a turn of the access cycle does, told as it happens to an optional observer: the state the turn
// starts in, each row of the state table that the turn reaches (`S.K`: state S, its K-th row counted
// from 1 in the table's order, a condition with alternatives split into one row per alternative), and
// the state chosen once the table's step is over. Without one the controller only tests a null pointer;
// the window's worker installs one that copies what it hears for the bench window.
#pragma once

#include "base/Codes.h"

namespace borne {

class ObservateurTour {
public:
    // Before the turn reads anything: the state the turn starts in.
    virtual void debutTour(int etat) noexcept = 0;
    // A row of state `etat` is reached, before its actions run. In a turn where the alarm is read the
    // rows are those of ETAT_ALARME.
    virtual void ligne(int etat, int rang) noexcept = 0;
    // The table's step is over: the state the turn chose (told before the pause, so not told for a turn
    // stopped inside its step).
    virtual void finDecision(int etat) noexcept = 0;

protected:
    ~ObservateurTour() = default;
};

} // namespace borne
