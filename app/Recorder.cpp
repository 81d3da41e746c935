#include "app/Recorder.h"

#include "control/Codes.h"
#include "control/Controleur.h"
#include "files/Files.h"
#include "panel/PanneauOperateur.h"
#include "scenario/Grammar.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace borne::recording {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::int64_t virtualInstant(const ClockState& s, std::chrono::nanoseconds elapsed, int divisor) {
    if (!s.inWait || s.length <= 0) return s.completed;
    const std::int64_t lengthNs = std::int64_t{s.length} * 1'000'000;
    const std::int64_t ns = elapsed.count() < 0 ? 0 : elapsed.count();
    // Capped before multiplying: a wait held far past its end cannot overflow.
    std::int64_t virtualNs = ns >= lengthNs ? lengthNs : ns * (divisor < 1 ? 1 : divisor);
    if (virtualNs > lengthNs) virtualNs = lengthNs;
    std::int64_t ms = (virtualNs + 999'999) / 1'000'000;
    if (ms < 1) ms = 1;
    return s.completed + ms;
}

RecordingClock::RecordingClock(int divisor)
    : divisor_(divisor < 1 ? 1 : divisor), startupThread_(std::this_thread::get_id()) {}

void RecordingClock::attendre(int ms) {
    if (ms < 0) ms = 0;
    if (std::this_thread::get_id() == startupThread_) return HorlogeReelle::attendre(ms / divisor_);
    if (arretee()) {
        // Stopped between two waits: at the last wait's end, before the logic that followed it.
        const VerrouPris pris(mutex_);
        stoppedAt_ = state_.completed;
        throw ArretDemande{};
    }
    {
        const VerrouPris pris(mutex_);
        state_.inWait = true;
        state_.length = ms;
        waitStart_ = ecoule();
    }
    try {
        realWait(ms);
    } catch (const ArretDemande&) {
        const VerrouPris pris(mutex_);
        stoppedAt_ = virtualInstant(state_, ecoule() - waitStart_, divisor_);
        throw;
    }
    const VerrouPris pris(mutex_);
    state_.completed += ms;
    state_.inWait = false;
}

void RecordingClock::realWait(int ms) {
    HorlogeCadencee::attendre(ms / divisor_);
}

std::int64_t RecordingClock::instant() const {
    ClockState s;
    std::chrono::nanoseconds debut;
    {
        const VerrouPris pris(mutex_);
        s = state_;
        debut = waitStart_;
    }
    return virtualInstant(s, ecoule() - debut, divisor_);
}

std::int64_t RecordingClock::stopInstant() const {
    {
        const VerrouPris pris(mutex_);
        if (stoppedAt_ >= 0) return stoppedAt_;
    }
    return instant(); // the worker ended some other way: where it was
}

ClockState RecordingClock::state() const {
    const VerrouPris pris(mutex_);
    return state_;
}

namespace {

// One whole buffer at the end of a file, or nothing: a short write (a full disk) is cut back to where
// the buffer began, so that every file holds whole lines. Sets errno on failure.
bool appendWhole(int fd, off_t& size, std::string_view bytes) {
    if (!files::writeWhole(fd, bytes)) {
        const int erreur = errno;
        if (::ftruncate(fd, size) == 0) ::lseek(fd, size, SEEK_SET);
        errno = erreur;
        return false;
    }
    size += static_cast<off_t>(bytes.size());
    return true;
}

// The size of a regular file, 0 when it is missing or not a regular file.
off_t regularSize(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return st.st_size;
}

int createFile(const fs::path& p) {
    return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

[[noreturn]] void refuse(const fs::path& dir, const std::string& why) {
    throw std::runtime_error("BORNE_RECORD: " + dir.string() + " " + why);
}

std::string reason(int erreur) {
    return std::strerror(erreur);
}

} // namespace

// Writes the recording's files on a thread of its own, so that neither the window nor the worker ever
// waits for the disk. Each block of lines goes out in one write as soon as it comes (a crash keeps what
// was recorded), and the journal's new bytes are copied as they appear. The first failure (a full disk)
// is told once on standard error and ends the recording; the terminal goes on.
class Writer : public std::enable_shared_from_this<Writer> {
public:
    Writer(fs::path dir, int scenario, int expected, fs::path journal, off_t journalStart)
        : dir_(std::move(dir)), scenario_(scenario), expected_(expected), journal_(std::move(journal)),
          copied_(journalStart) {}
    ~Writer() {
        ::close(scenario_);
        ::close(expected_);
    }

    void start() {
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
    }

    void push(std::string lines) EXCLUDES(mutex_) {
        {
            const VerrouPris pris(mutex_);
            if (closing_) return;
            pending_.push_back(std::move(lines));
        }
        wake_.notify_all(); // the writer and a closer may both wait on it
    }

    // Writes what is pending and the rest of the journal, then ends the thread. A disk that stalls is
    // waited for `limit` at most; the thread then finishes alone.
    void close(std::chrono::milliseconds limit) EXCLUDES(mutex_) {
        {
            const VerrouPris pris(mutex_);
            closing_ = true;
        }
        wake_.notify_all(); // the writer and a closer may both wait on it
        if (!thread_.joinable()) return;
        bool fini;
        {
            const VerrouPris pris(mutex_);
            const auto echeance = Clock::now() + limit;
            // The wait gives the lock back while it sleeps and holds it again whenever it returns.
            while (!done_ && wake_.wait_until(mutex_, echeance) == std::cv_status::no_timeout) {
            }
            fini = done_;
        }
        if (fini) {
            thread_.join();
        } else {
            std::fprintf(stderr, "borne: the recording in %s is still being written; it may be incomplete\n",
                         dir_.c_str());
            thread_.detach();
        }
    }

private:
    void run() EXCLUDES(mutex_) {
        // The journal is looked at this often while nothing else comes.
        constexpr auto kJournalPoll = std::chrono::milliseconds(200);
        for (;;) {
            std::deque<std::string> lots;
            bool fin;
            {
                const VerrouPris pris(mutex_);
                const auto echeance = Clock::now() + kJournalPoll;
                while (pending_.empty() && !closing_ &&
                       wake_.wait_until(mutex_, echeance) == std::cv_status::no_timeout) {
                }
                lots.swap(pending_);
                fin = closing_;
            }
            for (const std::string& lot : lots)
                if (!failed_ && !appendWhole(scenario_, scenarioSize_, lot)) fail();
            copyJournal(fin);
            if (fin) {
                const VerrouPris pris(mutex_);
                if (pending_.empty()) {
                    done_ = true;
                    break;
                }
            }
        }
        wake_.notify_all();
    }

    // Appends to expected/Log.txt what the terminal added to its journal since the last look. While the
    // terminal runs, whole lines only: the bytes after the last line end may be a line that the disk
    // did not take whole, which the journal then cuts back. At the end (the worker gone) everything.
    void copyJournal(bool toTheEnd) {
        if (failed_ || regularSize(journal_) <= copied_) return;
        const int fd = ::open(journal_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return;
        std::array<char, 1 << 15> tampon;
        for (;;) {
            const ssize_t n = ::pread(fd, tampon.data(), tampon.size(), copied_);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            std::string_view lu(tampon.data(), static_cast<std::size_t>(n));
            if (!toTheEnd) lu = lu.substr(0, lu.rfind('\n') + 1); // npos + 1: nothing
            if (lu.empty()) break;
            if (!appendWhole(expected_, expectedSize_, lu)) {
                fail();
                break;
            }
            copied_ += static_cast<off_t>(lu.size());
        }
        ::close(fd);
    }

    void fail() {
        std::fprintf(stderr, "borne: recording in %s stopped: %s; the terminal goes on without it\n",
                     dir_.c_str(), std::strerror(errno));
        failed_ = true;
    }

    const fs::path dir_;
    const int scenario_;
    const int expected_;
    const fs::path journal_;
    // The writer thread's own.
    off_t copied_;
    off_t scenarioSize_ = 0;
    off_t expectedSize_ = 0;
    bool failed_ = false;

    std::thread thread_;
    Verrou mutex_;
    std::condition_variable_any wake_;
    std::deque<std::string> pending_ GUARDED_BY(mutex_);
    bool closing_ GUARDED_BY(mutex_) = false;
    bool done_ GUARDED_BY(mutex_) = false;
};

namespace {

// The settings as the terminal is about to read them: copied when they are regular files.
void copySetting(const fs::path& dir, const char* name) {
    const fs::path source = name;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) return;
    std::string contenu, erreurLecture;
    if (!files::readWhole(source, contenu, erreurLecture, {0, "a file", true, std::nullopt}))
        refuse(dir, std::string(": cannot read ") + name);
    const int fd = createFile(dir / name);
    off_t taille = 0;
    if (fd < 0 || !appendWhole(fd, taille, contenu)) {
        const int erreur = errno;
        if (fd >= 0) ::close(fd);
        refuse(dir, std::string(": cannot copy ") + name + ": " + reason(erreur));
    }
    ::close(fd);
}

std::string now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char tampon[64];
    std::strftime(tampon, sizeof tampon, "%Y-%m-%d %H:%M:%S %z", &local);
    return tampon;
}

} // namespace

Recorder::Recorder(const fs::path& dir, std::unique_ptr<RecordingClock> clock)
    : dir_(fs::absolute(dir)), clock_(std::move(clock)) {
    std::error_code ec;
    const fs::file_status etat = fs::status(dir_, ec);
    if (fs::exists(etat)) {
        if (!fs::is_directory(etat)) refuse(dir_, "is not a folder");
        if (!fs::is_empty(dir_, ec) || ec)
            refuse(dir_, "is not empty: a recording goes to a new or an empty folder");
    } else if (etat.type() == fs::file_type::not_found) {
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
        const int erreur = ec ? ec.value() : errno;
        ::close(scenario);
        refuse(dir_, "cannot be written in: " + reason(erreur));
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
    const char* nomMode = nomModeCode(mode);
    push("# A session recorded in the window on " + now() + ", mode " + std::to_string(mode) +
         (nomMode != nullptr ? std::string(" (") + nomMode + ")" : std::string()) +
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
    if (const bool* coche = std::get_if<bool>(&e.valeur); coche && e.propriete == Propriete::Checked) {
        c.verb = *coche ? scenario::Verb::Tick : scenario::Verb::Untick;
    } else if (const auto* texte = std::get_if<std::string>(&e.valeur);
               texte && e.propriete == Propriete::Text) {
        c.verb = scenario::Verb::Type;
        c.text = *texte; // as the panel holds it, as a replayed `type` stores it
    } else {
        return; // the window writes nothing else for the user
    }
    const std::int64_t t = clock_->instant();
    std::string lignes;
    {
        const VerrouPris pris(mutex_);
        if (finished_) return;
        if (t > last_) {
            lignes = waitLines(t - last_);
            last_ = t;
        }
    }
    lignes += line(c);
    push(std::move(lignes));
}

void Recorder::push(std::string lines) {
    writer_->push(std::move(lines));
}

void Recorder::finish(const Controleur& gestion) {
    if (observer_ != 0) panneau().retirerObservateur(observer_);
    observer_ = 0;
    const std::int64_t t = clock_->stopInstant();
    std::string lignes;
    {
        const VerrouPris pris(mutex_);
        finished_ = true;
        if (t > last_) lignes = waitLines(t - last_);
        last_ = t;
    }
    lignes += "# The stop: the whole panel and the controller's state.\n";
    for (const Controle* c : panneau().controles())
        for (Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p)) lignes += line(scenario::expectCommand(*c, p, c->lire(p)));
    lignes += line(scenario::expectStateCommand(gestion.etatCourant()));
    push(std::move(lignes));
    writer_->close(std::chrono::seconds(5));
}

} // namespace borne::recording
