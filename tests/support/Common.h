// What many suites need: a whole file's bytes, a snapshot of the panel, the seed of a randomised run, and
// the key check box of a digit.
#pragma once

#include "panel/PanneauOperateur.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

namespace borne::test {

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream f(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Every property of every control, "NAME.PROPERTY" -> value: one value to compare before and after.
inline std::map<std::string, Valeur> panelSnapshot() {
    std::map<std::string, Valeur> snapshot;
    for (const Controle* c : panneau().controles())
        for (Propriete pr : PROPRIETES)
            if (proprieteDe(c->genre(), pr)) snapshot[c->nom() + "." + nomPropriete(pr)] = c->lire(pr);
    return snapshot;
}

// BORNE_SEED if set (to replay a failure), else a fresh one. Whoever draws it prints it.
inline std::uint64_t testSeed() {
    if (const char* s = std::getenv("BORNE_SEED"); s != nullptr && *s != '\0')
        return std::strtoull(s, nullptr, 10);
    return std::random_device{}() ^
           static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// The key check box of a digit: the names do not follow the digits.
inline const char* keyOf(int digit) {
    return panneau().touche(digit)->nom().c_str();
}

} // namespace borne::test
