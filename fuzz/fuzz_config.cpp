// Config.cfg and CHIP.INI of any bytes. The first byte is a switch: with its high nibble clear, bit 0
// repeats the rest until the file holds 16 KiB (lines eighty times longer than the reader's line
// buffer, across several of its read blocks; the megabyte case is a test of its own, too slow to scan
// at every run); bit 1 leaves CHIP.INI out; bit 2 ends the file without its last byte. The rest goes to
// both files. Every reading operation runs with destinations fenced by guard bytes, then a whole
// start-up and three turns in virtual time.
#include "config/tConfiguration.h"
#include "control/Attente.h"
#include "control/Codes.h"
#include "control/tGestionBarriere.h"
#include "panel/PanneauOperateur.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr unsigned char kGarde = 0xA5;

void ecrire(const char* nom, const std::string& octets) {
    std::FILE* f = std::fopen(nom, "wb");
    if (f == nullptr) std::abort();
    if (!octets.empty() && std::fwrite(octets.data(), 1, octets.size(), f) != octets.size()) std::abort();
    std::fclose(f);
}

// Calls `lire` on a destination of `capacite` bytes between guard bytes and checks that it stayed in
// its field and left a terminated text (or the untouched starting text).
template <class F> void dansSonChamp(std::size_t capacite, F lire) {
    unsigned char zone[16 + 64 + 16];
    std::memset(zone, kGarde, sizeof zone);
    char* dest = reinterpret_cast<char*>(zone + 16);
    if (capacite > 0) std::memcpy(dest, "avant", capacite < 6 ? capacite : 6);
    if (capacite > 0) dest[capacite - 1] = '\0';
    lire(dest, capacite);
    for (std::size_t i = 0; i < 16; ++i)
        if (zone[i] != kGarde) std::abort(); // written before the field
    for (std::size_t i = 16 + capacite; i < sizeof zone; ++i)
        if (zone[i] != kGarde) std::abort();                                        // written past the field
    if (capacite > 0 && std::memchr(dest, '\0', capacite) == nullptr) std::abort(); // not terminated
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A folder of its own: the start-up reads and writes its files relative to the working directory.
    char modele[] = "/tmp/borne-fuzz-config-XXXXXX";
    if (::mkdtemp(modele) == nullptr || ::chdir(modele) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t taille) {
    if (taille == 0) return 0;
    const unsigned drapeaux = data[0];
    std::string octets(reinterpret_cast<const char*>(data + 1), taille - 1);
    const bool megaoctet = (drapeaux & 0xF1) == 0x01;
    if (megaoctet && !octets.empty()) {
        std::string grand;
        grand.reserve((16u << 10) + octets.size());
        while (grand.size() < (16u << 10))
            grand += octets;
        octets.swap(grand);
    }
    if ((drapeaux & 4) != 0 && !octets.empty()) octets.pop_back();
    ecrire("Config.cfg", octets);
    if ((drapeaux & 2) != 0)
        std::remove("CHIP.INI");
    else
        ecrire("CHIP.INI", octets);

    tConfiguration c("Config.cfg", "CHIP.INI");
    for (std::size_t capacite : {std::size_t{50}, std::size_t{10}, std::size_t{1}, std::size_t{0}}) {
        dansSonChamp(capacite, [&](char* d, std::size_t n) { c.LireIPSuperviseur(d, n); });
        dansSonChamp(capacite, [&](char* d, std::size_t n) { c.LirePortSuperviseur(d, n); });
        dansSonChamp(capacite, [&](char* d, std::size_t n) { c.LireAdresse(d, n); });
        dansSonChamp(capacite, [&](char* d, std::size_t n) { c.LirePortServeur(d, n); });
        dansSonChamp(capacite, [&](char* d, std::size_t n) { c.LireNomAcces(d, n); });
        dansSonChamp(capacite, [&](char* d, std::size_t n) { c.LireCode(d, n); });
        if (megaoctet) break; // one capacity is enough to scan the big file
    }
    (void)c.LireMode();
    (void)c.LireNumeroAcces();

    // The whole start-up on these settings, then three turns: the mode is always one of the five and
    // the state one of the eighteen.
    borne::panneau().reinitialiser();
    borne::HorlogeVirtuelle horloge;
    borne::HorlogeInstallee installee(horloge);
    {
        tGestionBarriere g;
        if (g.modeCourant() < MODE_SUPERVISE || g.modeCourant() > MODE_LOCAL) std::abort();
        if (g.nomAccesCourant().size() > 49 || g.codeLocalCourant().size() > 9) std::abort();
        for (int i = 0; i < 3; ++i) {
            g.Tour();
            if (g.etatCourant() < 0 || g.etatCourant() >= NB_ETATS) std::abort();
        }
    }
    std::remove("Log.txt");
    return 0;
}
