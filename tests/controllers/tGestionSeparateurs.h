// The terminal's own cycle, with texts no output may let through as they are: at the start of every
// turn (for a turn observer) it writes into Evenement, and after every turn into Evenement and the
// display's first line, a tab, a line end, a space, a double
// quote, '<', '&', a backslash and a byte above 0x7F. Each output must keep them as data. Built with
// SEPARATEURS_HEBERGES, for a class (hosted out of the bench), it writes the display's first line only,
// through the terminal's tSystemeBarriere.
#pragma once

#include "control/ObservateurTour.h"
#include "control/tGestionBarriere.h"

class tGestionSeparateurs {
public:
    void Tour();
    Etat etatCourant() const noexcept;
    Mode modeCourant() const noexcept;
    void observer(borne::ObservateurTour* o) noexcept;

private:
    // Passes each turn on to the host's observer, then writes the event inside the turn.
    struct Relais final : borne::ObservateurTour {
        borne::ObservateurTour* suite = nullptr;
        void debutTour(int etat) noexcept override;
        void ligne(int etat, int rang) noexcept override;
        void finDecision(int etat) noexcept override;
    };

    tGestionBarriere gestion_;
    Relais relais_;
};
