#include "app/Recorder.h"

#include "app/RecordingWriter.h"
#include "control/Codes.h"
#include "control/Controleur.h"
#include "tools/files/Files.h"
#include "panel/PanneauOperateur.h"
#include "tools/grammar/Grammar.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace borne::recording {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void refuse(const fs::path& dir, const std::string& why) {
    throw std::runtime_error("BORNE_RECORD: " + dir.string() + " " + why);
}

std::string reason(int error) {
    return std::strerror(error);
}

// The settings as the terminal is about to read them: copied when they are regular files.
void copySetting(const fs::path& dir, const char* name) {
    const fs::path source = name;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) return;
    std::string content, readError;
    if (!files::readWhole(source, content, readError, {0, "a file", true, std::nullopt}))
        refuse(dir, std::string(": cannot read ") + name);
    const int fd = createFile(dir / name);
    off_t size = 0;
    if (fd < 0 || !appendWhole(fd, size, content)) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        refuse(dir, std::string(": cannot copy ") + name + ": " + reason(error));
    }
    ::close(fd);
}

std::string now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S %z", &local);
    return buffer;
}

} // namespace

Recorder::Recorder(const fs::path& dir, std::unique_ptr<RecordingClock> clock)
    : dir_(fs::absolute(dir)), clock_(std::move(clock)) {
    std::error_code ec;
    const fs::file_status status = fs::status(dir_, ec);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) refuse(dir_, "is not a folder");
        if (!fs::is_empty(dir_, ec) || ec)
            refuse(dir_, "is not empty: a recording goes to a new or an empty folder");
    } else if (status.type() == fs::file_type::not_found) {
        fs::create_directories(dir_, ec);
        if (ec) refuse(dir_, "cannot be created: " + ec.message());
    } else {
        refuse(dir_, "cannot be used: " + ec.message());
    }

    const int scenario = createFile(dir_ / "scenario.scn");
    if (scenario < 0) refuse(dir_, "cannot be written in: " + reason(errno));
    fs::create_directory(dir_ / "expected", ec);
    const int expected = ec ? -1 : createFile(dir_ / "expected" / "Log.txt");
    if (expected < 0) {
        const int error = ec ? ec.value() : errno;
        ::close(scenario);
        refuse(dir_, "cannot be written in: " + reason(error));
    }
    const fs::path journal = fs::absolute("Log.txt");
    writer_ = std::make_shared<Writer>(dir_, scenario, expected, journal, regularSize(journal));

    copySetting(dir_, "Config.cfg");
    copySetting(dir_, "CHIP.INI");
    installed_ = std::make_unique<HorlogeInstallee>(*clock_);
}

Recorder::~Recorder() {
    if (observer_ != 0) panneau().retirerObservateur(observer_);
    if (writer_) writer_->close(std::chrono::seconds(5));
}

std::unique_ptr<Recorder> Recorder::fromEnvironment() {
    const char* dir = std::getenv("BORNE_RECORD");
    if (dir == nullptr || *dir == '\0') return nullptr;
    try {
        return std::make_unique<Recorder>(dir);
    } catch (const std::exception& e) {
        // Said on standard error too: a start from a script shows no dialog anyone sees, and would
        // look hung.
        std::fprintf(stderr, "borne: %s\n", e.what());
        std::fflush(stderr);
        throw;
    }
}

void Recorder::started(const Controleur& gestion) {
    writer_->start();
    const int mode = gestion.modeCourant();
    const char* modeName = nomModeCode(mode);
    push("# A session recorded in the window on " + now() + ", mode " + std::to_string(mode) +
         (modeName != nullptr ? std::string(" (") + modeName + ")" : std::string()) +
         ".\n"
         "# This folder is a scenario folder: `borne-scenario --suite FOLDER` replays it from the settings\n"
         "# beside this script and compares the journal with expected/Log.txt, the lines the terminal\n"
         "# wrote. Waits are in milliseconds of the terminal's time since its start-up ended.\n");
    observer_ = panneau().ajouterObservateur([this](const Ecriture& e) { userWrite(e); });
}

namespace {

// The command as its script line, written by the runner's own grammar so that the runner reads back
// exactly what happened. A text that no line can hold (an LF in it, a CR at its end: only a paste can
// bring one) leaves a comment in its place, so the script stays valid and shows the gap.
std::string line(const scenario::Command& c) {
    if (const auto l = scenario::print(c)) return *l + "\n";
    return "# " + c.control + ": a text that no script line can hold\n";
}

} // namespace

std::string waitLines(std::int64_t ms) {
    std::string lines;
    scenario::Command c;
    c.verb = scenario::Verb::Wait;
    for (; ms > 0; ms -= c.count) {
        c.count = std::min(ms, scenario::kMaxCount);
        lines += line(c);
    }
    return lines;
}

void Recorder::userWrite(const Ecriture& e) {
    if (e.auteur != Auteur::Utilisateur) return; // the terminal's own writes: nothing to do, at once
    scenario::Command c;
    c.control = e.controle.nom();
    if (const bool* ticked = std::get_if<bool>(&e.valeur); ticked && e.propriete == Propriete::Checked) {
        c.verb = *ticked ? scenario::Verb::Tick : scenario::Verb::Untick;
    } else if (const auto* text = std::get_if<std::string>(&e.valeur);
               text && e.propriete == Propriete::Text) {
        c.verb = scenario::Verb::Type;
        c.text = *text; // as the panel holds it, as a replayed `type` stores it
    } else {
        return; // the window writes nothing else for the user
    }
    const std::int64_t t = clock_->instant();
    std::string lines;
    {
        const VerrouPris lock(mutex_);
        if (finished_) return;
        if (t > last_) {
            lines = waitLines(t - last_);
            last_ = t;
        }
    }
    lines += line(c);
    push(std::move(lines));
}

void Recorder::push(std::string lines) {
    writer_->push(std::move(lines));
}

void Recorder::finish(const Controleur& gestion) {
    if (observer_ != 0) panneau().retirerObservateur(observer_);
    observer_ = 0;
    const std::int64_t t = clock_->stopInstant();
    std::string lines;
    {
        const VerrouPris lock(mutex_);
        finished_ = true;
        if (t > last_) lines = waitLines(t - last_);
        last_ = t;
    }
    lines += "# The stop: the whole panel and the controller's state.\n";
    for (const Controle* c : panneau().controles())
        for (Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p)) lines += line(scenario::expectCommand(*c, p, c->lire(p)));
    lines += line(scenario::expectStateCommand(gestion.etatCourant()));
    push(std::move(lines));
    writer_->close(std::chrono::seconds(5));
}

} // namespace borne::recording
