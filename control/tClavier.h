// The keypad reader: the keys are check boxes of the panel that spring back once read.
#pragma once

class tClavier {
public:
    tClavier() = default;
    // The first ticked key in scan order (1..9, 0, then the attendant call), unticked; 255 if none.
    int LireTouche();
};
