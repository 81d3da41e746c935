// The search's speed with the example settings of the supervised mode, in a scratch folder: the time of
// --reach for each row of the table (the slowest and the total of those found, and one row the mode
// never takes, which explores every journey up to the limit), of --generate, and of --check --explore
// with examples/safety.rules. Wall time and the process's CPU time, since the machine may be shared.
#include "control/TableEtats.h"
#include "journal/FichierJournal.h"
#include "tests/support/ScratchFolder.h"
#include "tools/search/Commands.h"
#include "tools/search/Journeys.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    double wallSeconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

// --reach for every row of the table: how many are found, their total time and the slowest of them.
void timeEveryRow(const std::function<int(const std::string& row)>& reachRow) {
    double slowest = 0, slowestCpu = 0, total = 0;
    std::string slowestRow;
    int found = 0;
    for (int r = 0; r < borne::NB_LIGNES_TABLE; ++r) {
        const std::string row = borne::search::rowName(r);
        const Clock c;
        const int status = reachRow(row);
        const double s = c.wallSeconds();
        if (status != 0) continue;
        ++found;
        total += s;
        if (s > slowest) {
            slowest = s;
            slowestCpu = c.cpuSeconds();
            slowestRow = row;
        }
    }
    std::printf(
        "--reach, mode 0: %d rows found, %.2f s in all; slowest %s: %.2f s (%.2f s CPU); target <= 0.5 s\n",
        found, total, slowestRow.c_str(), slowest, slowestCpu);
}

} // namespace

int main() {
    borne::FichierJournal::ignorerSignaux();
    using namespace borne::search;
    const fs::path examples = fs::path(BORNE_SOURCE_DIR) / "examples";
    const borne::test::ScratchFolder folder("bench-search");
    const fs::path& scratch = folder.path();
    borne::test::copySettings(examples / "supervised", scratch);
    SearchSettings o;
    std::ostringstream out, err;

    timeEveryRow([&](const std::string& row) { return reach(o, row, out, err); });
    {
        // A row the mode never takes for a known reason is answered without a search.
        const Clock c;
        reach(o, "2.5", out, err);
        std::printf("--reach 2.5, mode 0 (unreachable for a known reason): %.2f s (%.2f s CPU)\n",
                    c.wallSeconds(), c.cpuSeconds());
    }
    {
        // Every journey of up to maxTurns turns: the rules that hold settle only at the end.
        const Clock c;
        explore(o, (examples / "keeps.rules").string(), out, err);
        std::printf(
            "--check examples/keeps.rules --explore, mode 0 (every journey of up to %d turns, the walk that "
            "proving 2.5 unreachable took before it was answered at once): %.2f s (%.2f s CPU); target <= 4 "
            "s\n",
            o.maxTurns, c.wallSeconds(), c.cpuSeconds());
    }
    {
        const Clock c;
        generate(o, scratch / "suite", out, err);
        std::printf("--generate, mode 0: %.2f s (%.2f s CPU); target 30 s\n", c.wallSeconds(),
                    c.cpuSeconds());
    }
    {
        const Clock c;
        explore(o, (examples / "safety.rules").string(), out, err);
        std::printf("--check examples/safety.rules --explore, mode 0: %.2f s (%.2f s CPU); target <= 8 s\n",
                    c.wallSeconds(), c.cpuSeconds());
    }
    return 0;
}
