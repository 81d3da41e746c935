// borne-soak [TURNS_PER_MODE [SEED]]: turns the controller TURNS_PER_MODE times (a million unless said
// otherwise) in each of the five modes, in virtual time, with a random user, checking every turn (see
// tests/support/Soak.h). Prints the turns, the journal lines and the resident memory before the
// run, after 10% of each mode and at its end. Exit status 1 when an invariant broke or the memory grew
// by more than 4 MiB between 10% and the end of a mode.
#include "tests/support/Soak.h"
#include "control/Attente.h"
#include "journal/FichierJournal.h"
#include "tests/support/Common.h"
#include "tests/support/ScratchFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// A line of /proc/self/status, in KiB.
long memoire(const char* cle) {
    std::ifstream f("/proc/self/status");
    std::string ligne;
    while (std::getline(f, ligne))
        if (ligne.rfind(cle, 0) == 0)
            return std::strtol(ligne.c_str() + std::string(cle).size(), nullptr, 10);
    return -1;
}

constexpr long kCroissanceMaxKio = 4096;

} // namespace

int main(int argc, char** argv) {
    borne::FichierJournal::ignorerSignaux();
    const long tours = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    const std::uint64_t graine = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : borne::test::testSeed();
    if (tours <= 0) {
        std::fprintf(stderr, "usage: borne-soak [TURNS_PER_MODE [SEED]]\n");
        return 2;
    }

    // A folder of its own: the journal of a million turns is tens of megabytes, removed after each mode.
    const borne::test::ScratchFolder folder("soak");
    borne::HorlogeVirtuelle horloge;
    borne::HorlogeInstallee installee(horloge);

    std::printf("soak: %ld turns per mode, seed %llu, RSS before %ld KiB\n", tours,
                static_cast<unsigned long long>(graine), memoire("VmRSS:"));
    bool echec = false;
    long total = 0;
    for (int mode = 0; mode <= 4; ++mode) {
        long rss10 = -1, rssFin = -1;
        const auto debut = std::chrono::steady_clock::now();
        const auto bilan = borne::test::soak(
            mode, tours, graine + static_cast<std::uint64_t>(mode),
            [&](long n) {
                if (n == tours / 10) rss10 = memoire("VmRSS:");
                if (n == tours) rssFin = memoire("VmRSS:"); // before the journal's final check
            },
            tours >= 10 ? tours / 10 : 1);
        const double secondes =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
        total += bilan.turns;
        std::printf("mode %d: %ld turns in %.1f s (%.0f turns/s), %ld journal lines, RSS after 10%% %ld KiB, "
                    "at the end %ld KiB (%+ld KiB)\n",
                    mode, bilan.turns, secondes, static_cast<double>(bilan.turns) / secondes, bilan.lines,
                    rss10, rssFin, rssFin - rss10);
        if (bilan.violations != 0) {
            std::printf("mode %d: %ld broken invariants, the first: %s\n", mode, bilan.violations,
                        bilan.first.c_str());
            echec = true;
        }
        if (rss10 >= 0 && rssFin - rss10 > kCroissanceMaxKio) {
            std::printf("mode %d: memory grew by %ld KiB between 10%% and the end\n", mode, rssFin - rss10);
            echec = true;
        }
    }
    std::printf("soak: %ld turns in all, RSS at the end %ld KiB, peak %ld KiB: %s\n", total,
                memoire("VmRSS:"), memoire("VmHWM:"), echec ? "FAILED" : "ok");

    return echec ? 1 : 0;
}
