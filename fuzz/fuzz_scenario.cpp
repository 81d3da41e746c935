// The scenario runner's script parser on any bytes: it must turn every input into commands or errors,
// each error on a line of the script, never crash, and give each command a line of the script too.
#include "scenario/Scenario.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t taille) {
    const std::string_view texte(reinterpret_cast<const char*>(data), taille);
    const auto script = borne::scenario::analyser(texte);
    // A line number never lies beyond the script's last line.
    const std::size_t lignes = static_cast<std::size_t>(std::count(texte.begin(), texte.end(), '\n')) + 1;
    for (const auto& e : script.erreurs)
        if (e.ligne < 1 || e.ligne > lignes || e.message.empty()) std::abort();
    for (const auto& c : script.commandes) {
        if (c.ligne < 1 || c.ligne > lignes) std::abort();
        if (c.verbe == borne::scenario::Verbe::Tourner &&
            (c.tours < 0 || c.tours > borne::scenario::TOURS_MAX))
            std::abort();
    }
    return 0;
}
