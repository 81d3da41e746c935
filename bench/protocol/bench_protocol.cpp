// What running a controller behind the protocol costs:
// (a) the same traffic (cars entering by code and leaving, supervised, the journal written) turned by the
//     reference plug-in in process, hosted out of process by borne-host, and hosted in a sandbox; the
//     median round of each, in turns per second (target: sandboxed >= 10,000);
// (b) a class of 50 copies of the reference over the 22 journeys, every (controller, folder) in a fresh
//     process, sandboxed and not, --jobs 2: the time of each and their ratio (target: sandboxed >= 0.2 x
//     the speed without).
#include "control/Attente.h"
#include "control/Controleur.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/Traffic.h"
#include "tools/grammar/Grammar.h"
#include "tools/protocol/Remote.h"
#include "tools/sandbox/Sandbox.h"
#include "tools/scenario/Controllers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace borne;

constexpr long kTurnsPerRound = 5000;
constexpr int kRounds = 3;
constexpr int kCopies = 50;

// Turns per second of one round: a controller built on a fresh panel (not timed), then turned.
double round(const std::vector<scenario::Command>& traffic, const TypeControleur& type) {
    PanneauOperateur& p = panneau();
    p.reinitialiser();
    fs::remove("Log.txt");
    HorlogeVirtuelle clock;
    HorlogeInstallee installed(clock);
    const std::unique_ptr<Controleur> c = type.creer();
    const auto wall = std::chrono::steady_clock::now();
    long turns = 0;
    for (std::size_t i = 0; turns < kTurnsPerRound; i = (i + 1) % traffic.size()) {
        const scenario::Command& command = traffic[i];
        if (command.verb == scenario::Verb::Turn) {
            for (std::int64_t n = 0; n < command.count; ++n, ++turns)
                c->Tour();
        } else {
            p.trouver(command.control)
                ->ecrire(Propriete::Checked, Valeur(command.verb == scenario::Verb::Tick), Auteur::Utilisateur);
        }
    }
    return kTurnsPerRound / std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// (b) The class's seconds, its report checked whole (every pair passed).
double classRun(const fs::path& copies, bool sandboxed, std::string& error) {
    protocol::Settings settings;
    settings.sandboxed = sandboxed;
    scenario::ClassSettings c;
    if (!scenario::loadControllers({copies.string()}, c.controllers, error, settings)) return -1;
    c.suite.paths = {BORNE_JOURNEYS};
    c.suite.jobs = 2;
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    const int status = scenario::runControllers(c, out, err);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        error = "the class did not pass: " + err.str();
        return -1;
    }
    return seconds;
}

} // namespace

int main() {
    FichierJournal::ignorerSignaux();
    const scenario::Script traffic = scenario::parse(bench::kCarInAndOut);
    const auto sandboxMissing = sandbox::unavailable();
    std::string error;
    struct Variant {
        const char* name;
        bool outOfProcess, sandboxed;
    };
    std::vector<Variant> variants = {{"reference plug-in, in process", false, false},
                                     {"hosted out of process", true, false}};
    if (!sandboxMissing) variants.push_back({"hosted out of process, sandboxed", true, true});
    std::vector<TypeControleur> types;
    for (const Variant& v : variants) {
        protocol::Settings s;
        s.outOfProcess = v.outOfProcess;
        s.sandboxed = v.sandboxed;
        auto type = protocol::loadController(BORNE_REFERENCE, s, error);
        if (!type) {
            std::fprintf(stderr, "bench_protocol: %s\n", error.c_str());
            return 1;
        }
        types.push_back(std::move(*type));
    }

    std::optional<test::ScratchFolder> scratch(std::in_place, "bench-protocol");
    const fs::path folder = scratch->path();
    test::writeSettings(folder, test::benchSettings(0));
    std::vector<std::vector<double>> rates(variants.size());
    for (int r = 0; r < kRounds; ++r)
        for (std::size_t v = 0; v < variants.size(); ++v)
            rates[v].push_back(round(traffic.commands, types[v]));
    std::printf("replay: %ld turns a round, %d rounds a variant, the median round\n", kTurnsPerRound, kRounds);
    for (std::size_t v = 0; v < variants.size(); ++v)
        std::printf("  %-36s %9.0f turns/s\n", variants[v].name, median(rates[v]));
    std::printf("  target: sandboxed >= 10,000 turns/s\n");

    const fs::path copies = folder / "class";
    fs::create_directories(copies);
    for (int i = 0; i < kCopies; ++i)
        fs::copy_file(BORNE_REFERENCE, copies / ("copy" + std::to_string(100 + i) + ".so"));
    const double plain = classRun(copies, false, error);
    const double boxed = sandboxMissing ? -1 : classRun(copies, true, error);
    scratch.reset();
    if (plain < 0 || (!sandboxMissing && boxed < 0)) {
        std::fprintf(stderr, "bench_protocol: %s\n", error.c_str());
        return 1;
    }
    std::printf("a class of %d copies over the journeys, --jobs 2: %.2f s without a sandbox", kCopies, plain);
    if (sandboxMissing)
        std::printf("; no sandbox here: %s\n", sandboxMissing->c_str());
    else
        std::printf(", %.2f s sandboxed: %.2f x the speed without (target >= 0.2)\n", boxed, plain / boxed);
    return 0;
}
