// Runs 100,000 turns of a mixed scenario (cars entering by code, by card, by the attendant's
// authorisation, and leaving) through the scenario runner, without trace, in a temporary folder.
// The journal is written as the terminal writes it: Log.txt opened and closed at every turn.
// Prints the turns per second and the mean cost of one turn; then, in the same run, the limit the file
// system sets: a bare loop that opens Log.txt for appending, writes as many lines as the turns wrote
// (spread evenly over as many opens as there were turns) and closes it, and the ratio of the two.
#include "journal/FichierJournal.h"
#include "tests/support/ScratchFolder.h"
#include "tools/scenario/Engine.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr long kTours = 100000;

// One loop of the mixed traffic; it starts and ends with an empty lane, the boom down and the car park
// empty, and checks that on the way so a wrong turn would not go unnoticed.
constexpr const char* kBoucle = R"(tick CheckBox1
turn
tick CheckBox18
turn
tick CheckBox21
turn
tick CheckBox19
turn
tick CheckBox13
turn
turn
turn
tick CheckBox2
turn
untick CheckBox1
turn
untick CheckBox2
turn
turn
turn
expect etat 0
tick CheckBox2
turn
turn
tick CheckBox1
turn
untick CheckBox2
turn
untick CheckBox1
turn
turn
turn
tick CheckBox1
turn
tick CheckBox10
turn
turn
untick CheckBox10
turn
turn
tick CheckBox2
turn
untick CheckBox1
turn
untick CheckBox2
turn
turn
turn
expect PlaceRestantes.Text 1
tick CheckBox2
turn
turn
tick CheckBox1
turn
untick CheckBox2
turn
untick CheckBox1
turn
turn
turn
tick CheckBox1
turn
tick CheckBox3
turn
turn
turn
tick CheckBox2
turn
untick CheckBox1
turn
untick CheckBox2
turn
turn
turn
expect Image2.Visible 1
tick CheckBox2
turn
turn
tick CheckBox1
turn
untick CheckBox2
turn
untick CheckBox1
turn
turn
turn
expect etat ETAT_VEHICULE_ABSENT
expect PlaceRestantes.Text 2
expect CheckBox5.Checked 1
)";

long toursDe(const borne::scenario::Script& s) {
    long n = 0;
    for (const auto& c : s.commands)
        if (c.verb == borne::scenario::Verb::Turn) n += static_cast<long>(c.count);
    return n;
}

// The file system's share of a turn: `ouvertures` opens of Log.txt for appending, `lignes` of them
// writing one line of `octets` bytes, each closed at once. Seconds taken, or a negative on failure.
double boucleNue(long ouvertures, long lignes, std::size_t octets) {
    const std::string ligne(octets > 0 ? octets - 1 : 0, 'x');
    const std::string avecFin = ligne + "\n";
    const auto debut = std::chrono::steady_clock::now();
    for (long i = 0; i < ouvertures; ++i) {
        const int fd =
            ::open("Log.txt", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
        if (fd < 0) return -1;
        // Line i is written when the running count of lines due moves on: `lignes` in all, evenly spread.
        const bool due = (i + 1) * lignes / ouvertures != i * lignes / ouvertures;
        if (due && ::write(fd, avecFin.data(), avecFin.size()) != static_cast<ssize_t>(avecFin.size())) {
            ::close(fd);
            return -1;
        }
        ::close(fd);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
}

long lignesDe(const std::filesystem::path& journal) {
    std::ifstream in(journal, std::ios::binary);
    long n = 0;
    for (std::string ligne; std::getline(in, ligne);)
        ++n;
    return n;
}

// kTours turns: the loop as many times as it fits, then the lane idle for the rest.
std::string mixedTraffic() {
    const long parBoucle = toursDe(borne::scenario::parse(kBoucle));
    std::string texte;
    long tours = 0;
    while (tours + parBoucle <= kTours) {
        texte += kBoucle;
        tours += parBoucle;
    }
    if (tours < kTours) texte += "turn " + std::to_string(kTours - tours) + "\n";
    return texte;
}

} // namespace

int main() {
    borne::FichierJournal::ignorerSignaux();
    namespace fs = std::filesystem;
    using namespace borne::scenario;

    const Script script = parse(mixedTraffic());
    if (script.errorCount != 0 || toursDe(script) != kTours) {
        std::fprintf(stderr, "bench_scenario: the generated script is faulty\n");
        return 1;
    }

    std::optional<borne::test::ScratchFolder> scratch(std::in_place, "bench-scenario");
    borne::test::writeSettings(scratch->path(), borne::test::benchSettings(0));

    std::ostringstream erreurs;
    RunSettings reglages;
    reglages.scriptName = "bench";
    Engine moteur(reglages, erreurs);
    ListSource source(script.commands);
    const auto debut = std::chrono::steady_clock::now();
    const RunResult bilan = moteur.run(source);
    const auto fin = std::chrono::steady_clock::now();
    const auto journal = fs::file_size("Log.txt");
    const long lignes = lignesDe("Log.txt");
    fs::remove("Log.txt");
    const double nue =
        lignes > 0 ? boucleNue(kTours, lignes, journal / static_cast<std::uintmax_t>(lignes)) : -1;

    scratch.reset();

    if (bilan.failed != 0) {
        std::fprintf(stderr, "bench_scenario: the scenario went wrong:\n%s", erreurs.str().c_str());
        return 1;
    }
    const double secondes = std::chrono::duration<double>(fin - debut).count();
    std::printf("bench_scenario: %ld turns in %.3f s (%d expectations met, Log.txt %ju bytes)\n", kTours,
                secondes, bilan.passed, static_cast<std::uintmax_t>(journal));
    std::printf("turns per second: %.0f (target >= 20000)\n", static_cast<double>(kTours) / secondes);
    std::printf("mean cost of one turn: %.2f us\n", secondes * 1e6 / static_cast<double>(kTours));
    if (nue <= 0) {
        std::fprintf(stderr, "bench_scenario: the bare open/append/close loop failed\n");
        return 1;
    }
    const double limite = static_cast<double>(kTours) / nue;
    std::printf("bare open/append/close loop: %.0f opens per second (%ld lines of %ju bytes in %ld opens)\n",
                limite, lignes, static_cast<std::uintmax_t>(journal / static_cast<std::uintmax_t>(lignes)),
                kTours);
    std::printf("turns per second / bare opens per second: %.2f (target >= 0.75)\n",
                static_cast<double>(kTours) / secondes / limite);
    return 0;
}
