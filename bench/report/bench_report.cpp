// Writes the report of a class of 200 students by 20 exercises (4,000 pairs, every fourth one failed, then all,
// each failure with its script, turn log, two journals and two timelines, as a comparison has them: each
// student's script their own, the turn logs and the controller's journals in one of ten ways per folder,
// as students' runs of one exercise go, the terminal's journal one per folder) and
// prints how long the writer took and how many bytes it wrote; then opens the page in a headless Chromium
// (browser.py) and prints how long it took to load and to sort.
// Usage: bench_report [STUDENTS [EXERCISES [FOLDER]]]   (FOLDER: where the report is written and kept)
#include "tools/report/Site.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace borne::report;

Timeline timeline(std::size_t seed) {
    Timeline t;
    const char* names[] = {"Edit1.Text",         "Edit2.Text",        "CheckBox4.Checked",
                           "CheckBox5.Checked",  "Shape1.Brush.Color", "Shape2.Brush.Color",
                           "Shape3.Brush.Color", "CheckBox1.Checked", "CheckBox2.Checked",
                           "etat"};
    for (const char* name : names) {
        t.signals.emplace_back(name);
        auto& changes = t.changes.emplace_back();
        for (int k = 0; k < 8; ++k)
            changes.emplace_back(k * 1500 + static_cast<std::int64_t>(seed % 500),
                                 std::string(name).starts_with("Edit") ? "-  acces autorise    -"
                                 : std::string(name) == "etat"       ? "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT"
                                                                     : (k % 2 ? "1" : "0"));
    }
    t.end = 12000;
    return t;
}

Model classModel(std::size_t students, std::size_t exercises, std::size_t failedEvery) {
    Model m;
    m.kind = "grade";
    m.rowsAre = "student";
    m.columnsAre = "exercise";
    m.date = "2026-12-09 12:00 UTC";
    m.version = "bench";
    m.settings = {{"--grade", "lab submissions"}, {"--jobs", "2"}};
    for (std::size_t e = 0; e < exercises; ++e)
        m.columns.push_back("exercise-" + std::to_string(e + 1));
    m.classCoverage.emplace();
    for (std::size_t s = 0; s < students; ++s) {
        m.rows.push_back("student-" + std::to_string(s + 1));
        m.rowCoverage.emplace_back();
        for (std::size_t e = 0; e < exercises; ++e) {
            Cell& c = m.cells.emplace_back();
            const bool failed = (s + e) % failedEvery == 0;
            c.verdict = failed ? "FAIL" : "PASS";
            if (!failed) continue;
            c.summary = "scenario.scn: turn 13 at 6000 ms: Edit1.Text: terminal \"-  acces autorise    -\", "
                        "controller \"-  acces autorisee   -\"";
            c.detail = static_cast<int>(m.details.size());
            Detail& d = m.details.emplace_back();
            d.row = s;
            d.column = e;
            d.verdict = c.verdict;
            d.summary = c.summary;
            d.details = c.summary + "\n";
            d.script.first = 7;
            d.script.marked = 13;
            const std::string pair = std::to_string(s) + "-" + std::to_string(e);
            const std::string way = std::to_string(e) + "-" + std::to_string(s % 10);
            for (int i = 0; i < 13; ++i)
                d.script.lines.push_back(i % 2 ? "turn 2  # " + pair : "expect Edit1.Text -  acces autorise  " + pair);
            d.turnsHeader = "turn\tstart_ms\tstart_state\tevents\tend_state\trows\tstatus";
            d.turns.first = 7;
            d.turns.marked = 13;
            for (int i = 0; i < 13; ++i)
                d.turns.lines.push_back(std::to_string(i) + "\t6000\tETAT_ATTENTE_AUTORISATION\tVEHICULE_SUR_BOUCLE_"
                                        "AMONT\tETAT_VERIFIER_CODECLAVIER\t1.2 1.4 1.5\t" + way);
            d.expectedName = "the terminal's own";
            d.actualName = "the controller's";
            d.expected.emplace();
            d.actual.emplace();
            for (int i = 0; i < 10; ++i) {
                const std::string line = "EtatCourant = \\x00ETAT_ATTENTE_AUTORISATION;      Evenement = "
                                         "\\x00VEHICULE_SUR_BOUCLE_AMONT; " + std::to_string(i);
                d.expected->push_back(line + " " + std::to_string(e));
                d.actual->push_back(line + " " + way);
            }
            d.reference = timeline(s * exercises + e);
            d.run = timeline(s * exercises + e + 1);
            d.differenceAt = 6000;
        }
    }
    return m;
}

std::uintmax_t folderBytes(const fs::path& dir) {
    std::uintmax_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) n += entry.file_size();
    return n;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t students = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const std::size_t exercises = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 20;
    const bool keep = argc > 3;
    const fs::path dir = keep ? fs::path(argv[3]) : fs::temp_directory_path() / ("borne-bench-report-" +
                                                                                std::to_string(::getpid()));
    fs::create_directories(dir);
    // Every fourth pair failed, then every pair: the browser opens the second, the larger.
    for (const std::size_t every : {std::size_t{4}, std::size_t{1}}) {
        const Model model = classModel(students, exercises, every);
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        if (!writeSite(model, dir.string(), error)) {
            std::fprintf(stderr, "bench_report: %s\n", error.c_str());
            return 1;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("report of %zu students by %zu exercises (%zu pairs, %zu failed): written in %.3f s, %.2f MB\n",
                    students, exercises, students * exercises, model.details.size(), seconds,
                    static_cast<double>(folderBytes(dir)) / 1e6);
        std::fflush(stdout);
    }
    const std::string browse = "python3 '" BORNE_BROWSER_BENCH "' '" + dir.string() + "'";
    const int browsed = std::system(browse.c_str());
    if (!keep) fs::remove_all(dir);
    return browsed == 0 ? 0 : 1;
}
