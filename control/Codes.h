// The codes the terminal's parts exchange, and the times of the control's blocking waits.
#pragma once

#include "base/Codes.h"

// Time of the turn's pause and of one boom pass, in milliseconds.
inline constexpr int DUREE_PAUSE_MS = 500;
inline constexpr int DUREE_MOUVEMENT_MS = 2000;

// The code every card carries; the supervision link accepts it, the standalone mode only when it is the
// local code.
inline constexpr const char* CODE_CARTE = "6082";
