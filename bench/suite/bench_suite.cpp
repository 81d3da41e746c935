// Generates 1,000 scenario folders (six journeys over the five modes, with waits inside boom movements,
// each with its expected journal) and runs them with `borne-scenario --suite` (default jobs), then with
// a shell loop that runs borne-scenario once per folder. Prints scenarios per second for both. In the same
// run, the same folders with `--compare --controller` (the terminal's source built as a plug-in, so no
// difference): each folder then runs twice, once on each controller.
// Usage: bench_suite [COUNT]
#include "tests/support/Common.h"
#include "tests/support/ScratchFolder.h"
#include "tools/files/Files.h"
#include "tools/scenario/Engine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Journey {
    const char* name;
    const char* settings;
    const char* script;
};

const Journey kJourneys[] = {
    {"entry-by-attendant", "mode=0\nnomacces=Entree Nord\nnumeroacces=2\n",
     "tick CheckBox1\nturn\ntick CheckBox3\nturn 2\nwait 1000\nexpect Moteur.Text ON\nturn\n"
     "tick CheckBox2\nturn\nuntick CheckBox1\nturn\nuntick CheckBox2\nturn 3\nexpect etat 0\n"},
    {"exit", "mode=0\nnomacces=Entree Nord\nnumeroacces=2\n",
     "tick CheckBox2\nturn 2\ntick CheckBox1\nturn\nuntick CheckBox2\nturn\nuntick CheckBox1\nturn 3\n"
     "expect etat ETAT_VEHICULE_ABSENT\nexpect CheckBox5.Checked 1\n"},
    {"standalone-code", "mode=4\ncode=1234\n",
     "tick CheckBox1\nturn 2\ntick CheckBox12\nturn\ntick CheckBox13\nturn\ntick CheckBox14\nturn\n"
     "tick CheckBox15\nturn 2\nexpect etat 5\nwait 2400\nexpect CheckBox4.Checked 1\n"},
    {"out-of-service-alarm", "mode=1\n",
     "tick CheckBox8\nturn 2\nuntick CheckBox8\nwait 1200\nexpect etat 0\nturn 2\nexpect CheckBox5.Checked "
     "1\n"},
    {"out-of-service-raised", "mode=2\n", "turn 3\nexpect CheckBox4.Checked 1\nexpect etat 16\n"},
    {"test-mode-light", "mode=3\n",
     "tick CheckBox7\nturn 2\nexpect Edit1.Color 0x00FF00\nforce CheckBox6 1\nturn 3\n"},
};

// A file that cannot be written ends the run: the figures would be those of other folders.
void write(const fs::path& f, const std::string& content) {
    std::string error;
    if (!borne::files::writeWhole(f, content, error)) {
        std::fprintf(stderr, "bench_suite: %s\n", error.c_str());
        std::exit(1);
    }
}

// The journal a journey leaves, from one run in-process.
std::string journalOf(const Journey& j, const fs::path& scratch) {
    fs::create_directories(scratch);
    const fs::path back = fs::current_path();
    fs::current_path(scratch);
    fs::remove("Log.txt");
    borne::test::writeSettings(scratch, j.settings);
    std::ostringstream messages;
    borne::scenario::Engine engine({}, messages);
    borne::scenario::TextSource source(j.script, borne::panneau());
    const auto r = engine.run(source);
    const std::string journal = fs::exists("Log.txt") ? borne::test::readFile("Log.txt") : std::string();
    fs::current_path(back);
    if (!r.ok()) {
        std::fprintf(stderr, "bench_suite: journey %s fails:\n%s", j.name, messages.str().c_str());
        std::exit(1);
    }
    return journal;
}

double timed(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (rc != 0) {
        std::fprintf(stderr, "bench_suite: '%s' failed (%d)\n", command.c_str(), rc);
        std::exit(1);
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (count < 1) return 2;
    std::optional<borne::test::ScratchFolder> scratch(std::in_place, "bench-suite");
    const fs::path root = scratch->path();
    const fs::path suite = root / "suite";
    for (std::size_t k = 0; k < std::size(kJourneys); ++k) {
        const Journey& j = kJourneys[k];
        const std::string journal = journalOf(j, root / "scratch");
        for (int i = static_cast<int>(k); i < count; i += static_cast<int>(std::size(kJourneys))) {
            char name[64];
            std::snprintf(name, sizeof name, "%04d-%s", i, j.name);
            const fs::path d = suite / name;
            fs::create_directories(d / "expected");
            write(d / "scenario.scn", j.script);
            borne::test::writeSettings(d, j.settings);
            write(d / "expected" / "Log.txt", journal);
        }
    }
    fs::copy(suite, root / "loop", fs::copy_options::recursive);

    const std::string q = "'" + root.string();
    const double s = timed(std::string(BORNE_SCENARIO) + " --suite " + q + "/suite' > " + q + "/suite.out'");
    const std::string out = borne::test::readFile(root / "suite.out");
    const std::string expected = "scenarios: " + std::to_string(count) + " passed, 0 failed\n";
    if (out.size() < expected.size() || out.substr(out.size() - expected.size()) != expected) {
        std::fprintf(stderr, "bench_suite: the suite did not pass:\n%s", out.c_str());
        return 1;
    }
    const double c = timed(std::string(BORNE_SCENARIO) + " --compare --controller " + BORNE_REFERENCE +
                           " --suite " + q + "/suite' > " + q + "/compare.out'");
    const std::string compared = borne::test::readFile(root / "compare.out");
    if (compared.size() < expected.size() || compared.substr(compared.size() - expected.size()) != expected) {
        std::fprintf(stderr, "bench_suite: the suite with --compare did not pass:\n%s", compared.c_str());
        return 1;
    }
    // The same scenarios, one process per folder, run in the folder itself (no copy, no journal check).
    const double l = timed("for d in " + q + "/loop'/*/; do (cd \"$d\" && " + BORNE_SCENARIO +
                           " scenario.scn > /dev/null) || exit 1; done");
    scratch.reset();

    std::printf("bench_suite: %d scenario folders (six journeys, five modes), %u cores\n", count,
                std::max(1u, static_cast<unsigned>(::sysconf(_SC_NPROCESSORS_ONLN))));
    std::printf("--suite (default jobs):  %.3f s, %.0f scenarios per second (target >= 2000)\n", s,
                count / s);
    std::printf("--suite --compare (default jobs): %.3f s, %.0f scenarios per second (target >= 1500), "
                "%.2f x the time of --suite\n",
                c, count / c, c / s);
    std::printf("shell loop, one process per folder: %.3f s, %.0f scenarios per second\n", l, count / l);
    std::printf("--suite is %.1f x the shell loop\n", l / s);
    return 0;
}
