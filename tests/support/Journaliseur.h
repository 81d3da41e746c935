// Records the terminal's writes to the panel as "NAME.PROPERTY = value" lines, in the order made.
#pragma once

#include "panel/PanneauOperateur.h"

#include <string>
#include <vector>

namespace borne::test {

class Journaliseur {
public:
    Journaliseur();
    ~Journaliseur();
    Journaliseur(const Journaliseur&) = delete;
    Journaliseur& operator=(const Journaliseur&) = delete;

    std::vector<std::string> lignes;

private:
    int cle_;
};

} // namespace borne::test
