// What reaching the controller through the interface costs, in one process:
// (a) the same traffic (cars entering by code and leaving, in the supervised mode, the journal written as
//     the terminal writes it) turned by the built-in controller called directly (tGestionBarriere::Tour),
//     through the interface (controleurInterne()) and as the reference plug-in (the terminal's source
//     built apart); rounds interleaved, each variant's median round, in turns per second of wall time and
//     per CPU second, and each ratio to the direct calls (target: the interface within 5 %);
// (b) loading a plug-in with chargerControleur: distinct copies of the reference plug-in, since a second
//     dlopen of one file costs nothing; the median (target: under 10 ms).
#include "control/Attente.h"
#include "control/Controleur.h"
#include "control/tGestionBarriere.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Traffic.h"
#include "tools/grammar/Grammar.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace borne;

constexpr long kTurnsPerRound = 20000;
constexpr int kRounds = 7;
constexpr int kLoads = 25;

double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Round {
    double wall = 0, cpu = 0;
};

// Builds a controller on a fresh panel (not timed), then turns it kTurnsPerRound times with the traffic's
// actions between the turns.
Round round(const std::vector<scenario::Command>& traffic,
            const std::function<std::function<void()>()>& build) {
    PanneauOperateur& p = panneau();
    p.reinitialiser();
    fs::remove("Log.txt");
    HorlogeVirtuelle clock;
    HorlogeInstallee installed(clock);
    const std::function<void()> turn = build();
    const auto wall = std::chrono::steady_clock::now();
    const double cpu = cpuSeconds();
    long turns = 0;
    for (std::size_t i = 0; turns < kTurnsPerRound; i = (i + 1) % traffic.size()) {
        const scenario::Command& c = traffic[i];
        if (c.verb == scenario::Verb::Turn) {
            for (std::int64_t n = 0; n < c.count; ++n, ++turns)
                turn();
        } else {
            p.trouver(c.control)->ecrire(Propriete::Checked, Valeur(c.verb == scenario::Verb::Tick),
                                         Auteur::Utilisateur);
        }
    }
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(),
            cpuSeconds() - cpu};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

constexpr int kVariants = 3;
constexpr const char* kVariantNames[kVariants] = {"built-in, called directly",
                                                  "built-in, through the interface", "reference plug-in"};

// Turns per second of each variant's rounds, in wall and in CPU time.
struct Rates {
    std::vector<double> wall[kVariants], cpu[kVariants];
};

// (a) The rounds of the three variants, interleaved so that each meets the machine's moods alike.
Rates replay(const std::vector<scenario::Command>& traffic, const TypeControleur& reference) {
    // Each variant keeps its controller alive in a shared_ptr held by the turn it gives.
    const auto direct = [] {
        auto g = std::make_shared<tGestionBarriere>();
        return std::function<void()>([g] { g->Tour(); });
    };
    const auto through = [](const TypeControleur& type) {
        return [&type] {
            std::shared_ptr<Controleur> c = type.creer();
            return std::function<void()>([c] { c->Tour(); });
        };
    };
    const std::function<std::function<void()>()> variants[kVariants] = {direct, through(controleurInterne()),
                                                                        through(reference)};
    Rates rates;
    for (int r = 0; r < kRounds; ++r)
        for (int v = 0; v < kVariants; ++v) {
            const int which = (v + r) % kVariants; // each variant in each position of a round in turn
            const Round measured = round(traffic, variants[which]);
            rates.wall[which].push_back(kTurnsPerRound / measured.wall);
            rates.cpu[which].push_back(kTurnsPerRound / measured.cpu);
        }
    return rates;
}

// (b) Distinct copies of the plug-in, each loaded once: the milliseconds each load took. False with the
// loader's message when one does not load.
bool timeLoads(const fs::path& folder, std::vector<double>& loads, std::string& error) {
    for (int i = 0; i < kLoads; ++i) {
        const std::string copy = (folder / ("copy" + std::to_string(i) + ".so")).string();
        fs::copy_file(BORNE_REFERENCE, copy, fs::copy_options::overwrite_existing);
        const auto start = std::chrono::steady_clock::now();
        const bool loaded = chargerControleur(copy, error).has_value();
        loads.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (!loaded) return false;
    }
    return true;
}

} // namespace

int main() {
    FichierJournal::ignorerSignaux();
    const scenario::Script traffic = scenario::parse(bench::kCarInAndOut);
    if (traffic.errorCount != 0) {
        std::fprintf(stderr, "bench_controller: the traffic script is faulty\n");
        return 1;
    }
    std::string error;
    const auto reference = chargerControleur(BORNE_REFERENCE, error);
    if (!reference) {
        std::fprintf(stderr, "bench_controller: %s\n", error.c_str());
        return 1;
    }

    std::optional<test::ScratchFolder> scratch(std::in_place, "bench-controller");
    const fs::path folder = scratch->path();
    test::writeSettings(folder, test::benchSettings(0));
    const Rates rates = replay(traffic.commands, *reference);
    std::vector<double> loads;
    if (!timeLoads(folder, loads, error)) {
        std::fprintf(stderr, "bench_controller: %s\n", error.c_str());
        return 1;
    }
    scratch.reset();

    std::printf("replay: %ld turns a round, %d rounds a variant interleaved, the median round\n",
                kTurnsPerRound, kRounds);
    const double directWall = median(rates.wall[0]), directCpu = median(rates.cpu[0]);
    for (int v = 0; v < kVariants; ++v)
        std::printf("  %-32s %9.0f turns/s wall (%.3f x direct), %9.0f turns/CPU s (%.3f x direct)\n",
                    kVariantNames[v], median(rates.wall[v]), median(rates.wall[v]) / directWall,
                    median(rates.cpu[v]), median(rates.cpu[v]) / directCpu);
    std::printf("  target: through the interface >= 0.95 x direct\n");
    std::printf(
        "plug-in load (chargerControleur, %d distinct copies): median %.2f ms, fastest %.2f ms, slowest "
        "%.2f ms; target < 10 ms\n",
        kLoads, median(loads), *std::min_element(loads.begin(), loads.end()),
        *std::max_element(loads.begin(), loads.end()));
    return 0;
}
