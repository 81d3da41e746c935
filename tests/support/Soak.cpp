#include "tests/support/Soak.h"

#include "control/Codes.h"
#include "control/tGestionBarriere.h"
#include "panel/PanneauOperateur.h"
#include "tests/support/Common.h"
#include "tests/support/JournalCheck.h"
#include "tests/support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace borne::test {

namespace {

constexpr std::string_view kGoodCode = "6082"; // accepted by the link; the local code of the soak too

std::uintmax_t sizeOf(const char* file) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(file, ec);
    return ec ? 0 : n;
}

// The invariants of one finished turn; "" when they hold.
std::string checkTurn(const tGestionBarriere& g, const PanneauOperateur& p) {
    if (g.etatCourant() < 0 || g.etatCourant() >= NB_ETATS) return "state out of range";
    const auto typed = g.codeSaisiCourant();
    const auto mask = g.codeMasqueCourant();
    if (typed.size() > 4 || mask.size() > 4) return "typed code or mask longer than four characters";
    if (typed.find_first_not_of("0123456789") != std::string_view::npos)
        return "typed code holds a non-digit";
    if (mask.find_first_not_of('*') != std::string_view::npos) return "mask holds something else than '*'";
    const bool up = p.CheckBox4.Checked();
    if (up == p.CheckBox5.Checked()) return "the boom's sensors say neither up nor down, or both";
    if (p.Image3.Visible() != up || p.Image5.Visible() != up || p.Image2.Visible() == up)
        return "the barrier pictures disagree with the sensors";
    if (p.Moteur.Text() == "ON" || p.Shape1.BrushColor() != clWhite || p.Shape2.BrushColor() != clWhite)
        return "the motor still runs between two turns";
    return "";
}

// Checks Log.txt a piece at a time, so that a journal of tens of megabytes does not need reading whole.
std::string checkJournalFile(const char* file, long& lines) {
    std::ifstream f(file, std::ios::binary);
    std::string rest;
    std::vector<char> block(1 << 20);
    lines = 0;
    while (f) {
        f.read(block.data(), static_cast<std::streamsize>(block.size()));
        rest.append(block.data(), static_cast<std::size_t>(f.gcount()));
        const std::size_t end = rest.rfind('\n');
        if (end == std::string::npos) continue;
        std::size_t n = 0;
        const std::string fault = checkJournal(std::string_view(rest).substr(0, end + 1), &n);
        if (!fault.empty()) return "after " + std::to_string(lines) + " lines: " + fault;
        lines += static_cast<long>(n);
        rest.erase(0, end + 1);
    }
    if (!rest.empty()) return "the last line is cut short";
    return "";
}

} // namespace

RandomUser::RandomUser(std::uint64_t seed) : random_(seed) {}

bool RandomUser::chance(unsigned percent) {
    return random_() % 100 < percent;
}

void RandomUser::act(PanneauOperateur& p) {
    constexpr Auteur U = Auteur::Utilisateur;
    static constexpr int kEntry[4] = {1, 2, 3, 0};
    static constexpr int kExit[4] = {3, 2, 1, 0};
    if (journey_ == nullptr && chance(20)) {
        journey_ = chance(70) ? kEntry : kExit;
        step_ = 0;
    }
    if (journey_ != nullptr && chance(35)) {
        if (++step_ >= 4) journey_ = nullptr;
    }
    int position = journey_ != nullptr ? journey_[step_] : 0;
    if (chance(3)) position = static_cast<int>(random_() % 4); // a car that backs up or jumps
    p.CheckBox1.setChecked(position == 1 || position == 2, U);
    p.CheckBox2.setChecked(position == 2 || position == 3, U);

    if (position == 1 && chance(40)) {
        const int digit = chance(60) ? kGoodCode[digit_++ % 4] - '0' : static_cast<int>(random_() % 10);
        p.trouver(keyOf(digit))->ecrire(Propriete::Checked, true, U);
    } else if (chance(5)) {
        p.trouver(keyOf(static_cast<int>(random_() % 10)))->ecrire(Propriete::Checked, true, U);
    }
    if (!p.CheckBox10.Checked() ? chance(position == 1 ? 8 : 1) : chance(30))
        p.CheckBox10.setChecked(!p.CheckBox10.Checked(), U);
    if (chance(3)) p.CheckBox3.setChecked(true, U);
    if (chance(2)) p.CheckBox6.setChecked(true, U);
    if (p.CheckBox8.Checked() ? chance(25) : chance(1)) p.CheckBox8.setChecked(!p.CheckBox8.Checked(), U);
    if (chance(2)) p.CheckBox7.setChecked(!p.CheckBox7.Checked(), U);
    if (chance(2)) {
        p.CheckBox9.setChecked(!p.CheckBox9.Checked(), U);
        p.MessageGardien.setText(std::string(random_() % 40, 'm'), U);
    }
}

SoakReport soak(int mode, long turns, std::uint64_t seed, const std::function<void(long)>& milestone,
                long every, ObservateurTour* observer) {
    SoakReport report;
    auto& p = panneau();
    p.reinitialiser();
    std::filesystem::remove("Log.txt");
    writeSettings(".", benchSettings(mode) + "code=" + std::string(kGoodCode) + "\n");
    auto g = std::make_unique<tGestionBarriere>();
    g->observer(observer);
    RandomUser user(seed);

    auto fault = [&](const std::string& what) {
        if (report.violations++ == 0)
            report.first =
                "mode " + std::to_string(mode) + ", turn " + std::to_string(report.turns) + ": " + what;
    };

    // The journal's previous names start empty, whatever the panel shows.
    std::string previousState, previousEvent;
    std::uintmax_t before = sizeOf("Log.txt");
    for (long n = 1; n <= turns; ++n) {
        user.act(p);
        g->Tour();
        report.turns = n;
        const std::string state = p.EtatCourant.Text();
        const std::string event = p.Evenement.Text();
        const bool lineDue = state != previousState && event != previousEvent;
        const std::uintmax_t after = sizeOf("Log.txt");
        const std::uintmax_t expected = lineDue ? journalLineLength(state, event) : 0;
        if (after - before != expected)
            fault("Log.txt grew by " + std::to_string(after - before) + " bytes, " +
                  std::to_string(expected) + " expected");
        report.lines += lineDue ? 1 : 0;
        before = after;
        previousState = state;
        previousEvent = event;
        if (const std::string f = checkTurn(*g, p); !f.empty()) fault(f);
        const int e = g->etatCourant();
        if (e >= 0 && e < NB_ETATS) ++report.visits[static_cast<std::size_t>(e)];
        if (milestone && every > 0 && n % every == 0) milestone(n);
    }

    long linesRead = 0;
    if (const std::string f = checkJournalFile("Log.txt", linesRead); !f.empty()) fault("Log.txt " + f);
    if (linesRead != report.lines)
        fault("Log.txt holds " + std::to_string(linesRead) + " lines, " + std::to_string(report.lines) +
              " were due");
    std::filesystem::remove("Log.txt");
    return report;
}

} // namespace borne::test
