#include "tools/protocol/Remote.h"

#include "base/Texte.h"
#include "config/tConfiguration.h"
#include "control/Attente.h"
#include "control/Codes.h"
#include "control/tClavier.h"
#include "control/tSupervision.h"
#include "control/tSystemeBarriere.h"
#include "journal/tDebug.h"
#include "panel/PanneauOperateur.h"
#include "tools/protocol/Line.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <variant>
#include <vector>

namespace borne::protocol {

namespace {

using Clock = std::chrono::steady_clock;

// What the program is and how it is started.
struct Program {
    std::string name;   // the file's own name, as faults name it
    std::string path;   // absolute
    bool hosted = false; // a plug-in, run by borne-host
    Settings settings;
};

bool isSharedLibrary(const std::string& path) {
    char magic[4] = {};
    std::ifstream(path, std::ios::binary).read(magic, sizeof magic);
    return std::string_view(magic, sizeof magic) == std::string_view("\x7f" "ELF", 4) &&
           path.ends_with(".so");
}

std::string absolute(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return {};
    std::string r = real;
    std::free(real);
    return r;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string signalName(int signal) {
    if (const char* abbreviation = ::sigabbrev_np(signal)) return std::string("SIG") + abbreviation;
    return "signal " + std::to_string(signal);
}

std::string seconds(std::chrono::milliseconds d) {
    const auto ms = d.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// A file name the controller may give: plain, in the run's folder.
bool plainName(const std::string& name) {
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

using Object = std::variant<std::unique_ptr<tDebug>, std::unique_ptr<tConfiguration>,
                            std::unique_ptr<tSystemeBarriere>, std::unique_ptr<tClavier>,
                            std::unique_ptr<tSupervision>>;

constexpr std::size_t kMaxObjects = 64;
constexpr std::int64_t kMaxObjectNumber = 1000000;
constexpr std::size_t kKeptOutput = 64u << 10;

// The sandbox's inner processes can outlive its monitor for a moment, and an orphan waits for the
// machine's init to reap it, which may be slow: meanwhile it counts against the sandbox user's limit on
// processes. The process that starts sandboxes adopts its orphans instead, and reaps those of the sandbox
// users (never one of its own children, which run as itself).
void adoptOrphans() {
    static pid_t adopter = 0;
    if (adopter == ::getpid()) return;
    adopter = ::getpid();
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

void reapOrphans() {
    if (::geteuid() != 0) return;
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) return;
        if (!sandbox::sandboxUser(info.si_uid)) return;
        ::waitpid(info.si_pid, nullptr, WNOHANG);
    }
}

// Sandboxes told to end: each exits of its own accord while the bench goes on (its sandbox dies with the
// bench at worst), is reaped at a later session's end, and is ended for good once past its grace. A
// process forked since holds a copy of the list, whose processes are not its children: it drops them.
struct Ending {
    pid_t pid;
    Clock::time_point grace;
};

// Never destroyed: the handler that ends the last of them at exit may run after every static's end.
std::vector<Ending>& endings() {
    static auto* e = new std::vector<Ending>;
    return *e;
}

void reapEndings(bool all) {
    auto& list = endings();
    for (auto it = list.begin(); it != list.end();) {
        int status = 0;
        const pid_t r = ::waitpid(it->pid, &status, WNOHANG);
        if (r == it->pid || (r < 0 && errno == ECHILD)) {
            it = list.erase(it);
            continue;
        }
        if (all || Clock::now() >= it->grace) {
            ::kill(-it->pid, SIGKILL);
            ::kill(it->pid, SIGKILL);
            while (::waitpid(it->pid, &status, 0) < 0 && errno == EINTR) {
            }
            it = list.erase(it);
            continue;
        }
        ++it;
    }
}

// Raised inside the session's loop; the loop's caller turns it into the fault.
struct Broken {
    std::string what;
};

class Remote final : public Controleur {
public:
    // Starts the program and, unless `helloOnly`, runs its start-up.
    Remote(const Program& program, bool helloOnly);
    ~Remote() override { end(); }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    void Tour() override;
    Etat etatCourant() const noexcept override { return etat_; }
    Mode modeCourant() const noexcept override { return mode_; }
    bool observer(ObservateurTour* o) noexcept override {
        observer_ = o;
        return rows_;
    }
    bool decritValeurs() const noexcept override { return values_; }
    ValeursTravail valeurs() const override;
    bool installerValeurs(const ValeursTravail& v) override;

    bool tellsRows() const noexcept { return rows_; }

private:
    // Runs `body`; a Broken or an unexpected end of the session becomes the controller's fault, thrown.
    template <class F> auto guarded(F&& body) -> decltype(body());
    [[noreturn]] void broken(const std::string& what) { throw Broken{what}; }
    [[noreturn]] void malformed(const std::string& why) {
        broken("broke the protocol at line " + std::to_string(lineNumber_) + " of its session: " + why);
    }
    // The next line, fields split; the end of the channel, a line too long or silence are the controller's.
    std::vector<std::string_view> receive(Clock::time_point deadline);
    std::vector<std::string_view> receive() { return receive(Clock::now() + program_.settings.silence); }
    // Serves requests until the line whose verb is `answer` (ready, done), which it gives back.
    std::vector<std::string_view> serve(std::string_view answer);
    void request(const std::vector<std::string_view>& f);
    void create(const std::vector<std::string_view>& f);
    void call(const std::vector<std::string_view>& f);
    std::string text(std::string_view field); // UTF-8 to the terminal's Windows-1252
    std::int64_t integer(std::string_view field, std::int64_t low, std::int64_t high);
    void answer(const std::string& line) {
        if (captured_ != nullptr) {
            *captured_ = line;
            return;
        }
        if (transcript_ != nullptr) std::fprintf(transcript_, "<- %s\n", line.c_str());
        channel_.put(line);
    }
    // Before `turn` and `resume`, with the `ahead` feature: what each read of each object would answer now.
    void predict();
    // A read the controller answered from the bench's prediction: made here as any call, and checked.
    void took(const std::vector<std::string_view>& f);
    // Why the process ended, once it has (waited for a moment), or what it did to the channel.
    std::string ending(const std::string& otherwise);
    void keepOutput();
    void end() noexcept;

    Program program_;
    pid_t pid_ = -1;
    int output_ = -1;
    std::string kept_;
    Channel channel_{-1};
    std::uint64_t lineNumber_ = 0;
    std::size_t requests_ = 0;
    bool inCommand_ = false;
    const char* turnNoun_ = "turn";
    bool over_ = false; // the session ended: every later command fails at once
    bool stopped_ = false; // it ended by the bench's stop, told to the controller: it exits of its own accord
    std::string overWhy_;
    bool rows_ = false;
    bool values_ = false;
    bool ahead_ = false;
    std::map<std::pair<std::int64_t, std::string>, std::string> predicted_; // (object, operation): answer
    std::string* captured_ = nullptr; // an answer made for a check, not for the channel
    Etat etat_ = ETAT_VEHICULE_ABSENT;
    Mode mode_ = MODE_SUPERVISE;
    ObservateurTour* observer_ = nullptr;
    std::map<std::int64_t, Object> objects_;
    tSupervision* supervision_ = nullptr; // the link last made, whose count of cars the values carry
    std::string scratch_;
    // BORNE_PROTOCOL_TRANSCRIPT=FILE: every line of every session appended there, "->" from the controller,
    // "<-" from the bench (the documents' transcript is made so).
    std::FILE* transcript_ = nullptr;
};

// The Python client's folder: installed beside the programs (share/borne/python), else the source tree's
// outside a package; empty when there is none.
std::string pythonClient() {
    const std::string installed = folderOf(absolute("/proc/self/exe")) + "/" BORNE_PYTHON_INSTALLED;
    if (::access((installed + "/borne.py").c_str(), R_OK) == 0) return absolute(installed);
#ifdef BORNE_PYTHON_CLIENT
    if (::access(BORNE_PYTHON_CLIENT, R_OK) == 0) return BORNE_PYTHON_CLIENT;
#endif
    return {};
}

Remote::Remote(const Program& program, bool helloOnly) : program_(program) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        throw std::runtime_error(std::string("no channel for a controller: ") + std::strerror(errno));
    sandbox::Launch launch;
    if (program.hosted) {
        launch.argv = {hostProgram(), program.path};
        launch.readOnly = {launch.argv[0], program.path};
    } else {
        launch.argv = {program.path};
        launch.readOnly = {program.path};
        // The Python client ships with borne: a script imports it as `borne` wherever it is.
        if (const std::string client = pythonClient(); !client.empty()) {
            launch.readOnly.push_back(client);
            launch.environment.push_back("PYTHONPATH=" + client);
        }
    }
    launch.channel = pair[1];
    launch.sandboxed = program.settings.sandboxed;
    if (launch.sandboxed) adoptOrphans();
    launch.limits = program.settings.limits;
    std::string error;
    const auto started = sandbox::start(launch, error);
    ::close(pair[1]);
    if (!started) {
        ::close(pair[0]);
        throw EchecControleur("could not be started: " + error);
    }
    pid_ = started->pid;
    output_ = started->output;
    channel_ = Channel(pair[0]);
    if (const char* file = std::getenv("BORNE_PROTOCOL_TRANSCRIPT"); file != nullptr && *file != '\0')
        transcript_ = std::fopen(file, "ae");
    guarded([&] {
        auto hello = receive();
        if (hello[0] == "error" && hello.size() == 2) broken("failed: " + text(hello[1]));
        if (hello[0] != "hello") malformed("the first line must be hello");
        if (hello.size() != 4) malformed("hello takes 3 fields");
        std::int64_t version = 0;
        if (!number(hello[1], version) || version != kVersion) {
            answer("refused\tthis bench speaks version " + std::to_string(kVersion) + " of the protocol");
            channel_.flush(Clock::now() + std::chrono::milliseconds(100));
            broken("speaks version " + std::string(hello[1].substr(0, 20)) + " of the protocol; the bench speaks " +
                   std::to_string(kVersion));
        }
        std::string_view features = hello[3];
        while (!features.empty()) {
            const auto comma = features.find(',');
            const auto feature = features.substr(0, comma);
            if (feature == "rows")
                rows_ = true;
            else if (feature == "values")
                values_ = true;
            else if (feature == "ahead")
                ahead_ = true;
            else
                malformed("unknown feature \"" + std::string(feature.substr(0, 40)) + "\"");
            features = comma == std::string_view::npos ? std::string_view() : features.substr(comma + 1);
        }
        answer("welcome\t" + std::to_string(kVersion));
        if (helloOnly) {
            channel_.flush(Clock::now() + std::chrono::milliseconds(100));
            return;
        }
        answer("start");
        const auto ready = serve("ready");
        etat_ = static_cast<Etat>(integer(ready[1], INT_MIN, INT_MAX));
        mode_ = static_cast<Mode>(integer(ready[2], INT_MIN, INT_MAX));
    });
}

template <class F> auto Remote::guarded(F&& body) -> decltype(body()) {
    if (over_) throw EchecControleur(overWhy_);
    try {
        return body();
    } catch (const Broken& b) {
        over_ = true;
        overWhy_ = b.what;
        end();
        throw EchecControleur(b.what);
    } catch (...) {
        // The bench's stop (ArretDemande) or its own failure: the session cannot go on either way.
        over_ = true;
        overWhy_ = "was stopped";
        end();
        throw;
    }
}

void Remote::keepOutput() {
    if (output_ < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n > 0) {
            if (kept_.size() < kKeptOutput)
                kept_.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), kKeptOutput - kept_.size()));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            ::close(output_);
            output_ = -1;
        }
        return;
    }
}

std::string Remote::ending(const std::string& otherwise) {
    int status = 0;
    const auto until = Clock::now() + std::chrono::milliseconds(500);
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < until) {
        keepOutput();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (done != pid_) return otherwise;
    pid_ = -1;
    keepOutput();
    std::string what;
    if (WIFSIGNALED(status)) {
        what = "crashed with " + signalName(WTERMSIG(status));
    } else if (program_.settings.sandboxed && WEXITSTATUS(status) > 128 && WEXITSTATUS(status) < 128 + NSIG) {
        // The sandbox's monitor gives a death by signal as 128 + the signal.
        what = "crashed with " + signalName(WEXITSTATUS(status) - 128);
    } else {
        what = "ended the process (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    }
    // The last line it printed says most, a traceback's last line say.
    std::string_view said = kept_;
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.remove_suffix(1);
    if (const auto lf = said.rfind('\n'); lf != std::string_view::npos) said.remove_prefix(lf + 1);
    if (!said.empty()) what += ": " + std::string(said.substr(0, 160));
    return what;
}

std::vector<std::string_view> Remote::receive(Clock::time_point deadline) {
    for (;;) {
        // The output is drained while waiting, so a chatty controller never blocks on its own prints.
        Channel::Got got;
        if (output_ >= 0 && !channel_.ready()) {
            pollfd p[2] = {{channel_.fd(), POLLIN, 0}, {output_, POLLIN, 0}};
            if (!channel_.flush(deadline)) broken(ending("stopped reading its channel"));
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                broken((inCommand_ ? "did not end its " + std::string(turnNoun_) + " within the limit of "
                                   : std::string("said nothing within the limit of ")) +
                       seconds(program_.settings.silence));
            const int r = ::poll(p, 2, static_cast<int>(std::min<long long>(left, 1000000)) + 1);
            if (r < 0 && errno != EINTR) broken("could not be read: " + std::string(std::strerror(errno)));
            if (r > 0 && p[1].revents != 0) keepOutput();
            if (r <= 0 || p[0].revents == 0) continue;
        }
        got = channel_.next(scratch_, deadline);
        switch (got) {
        case Channel::Got::Line: break;
        case Channel::Got::Closed: broken(ending("closed its channel"));
        case Channel::Got::Late:
            broken((inCommand_ ? "did not end its " + std::string(turnNoun_) + " within the limit of "
                               : std::string("said nothing within the limit of ")) +
                   seconds(program_.settings.silence));
        case Channel::Got::TooLong:
            ++lineNumber_;
            malformed("a line longer than " + std::to_string(kMaxLine) + " bytes");
        case Channel::Got::Failed: broken(ending("stopped reading its channel"));
        }
        ++lineNumber_;
        if (transcript_ != nullptr) std::fprintf(transcript_, "-> %s\n", scratch_.c_str());
        if (!validUtf8(scratch_)) malformed("invalid UTF-8");
        if (!scratch_.empty() && scratch_.back() == '\r') malformed("a CR before the LF");
        return fields(scratch_);
    }
}

std::vector<std::string_view> Remote::serve(std::string_view answerVerb) {
    inCommand_ = true;
    turnNoun_ = answerVerb == "ready" ? "start-up" : "turn";
    requests_ = 0;
    // The whole start-up or turn has the limit, less the time the bench spends on its requests (waits on
    // a real clock, boom movements): a controller that drips its lines is as late as a silent one.
    auto deadline = Clock::now() + program_.settings.silence;
    for (;;) {
        auto f = receive(deadline);
        if (f[0] == answerVerb) {
            if (f.size() != 3) malformed(std::string(answerVerb) + " takes 2 fields");
            inCommand_ = false;
            return f;
        }
        if (++requests_ > program_.settings.requestsPerCommand)
            broken("made more than " + std::to_string(program_.settings.requestsPerCommand) +
                   " requests in one " + (answerVerb == "ready" ? "start-up" : "turn"));
        const auto before = Clock::now();
        request(f);
        deadline += Clock::now() - before;
    }
}

std::string Remote::text(std::string_view field) {
    std::string utf8;
    if (!unescaped(field, utf8)) malformed("a \\ that is not one of \\\\ \\t \\n \\r");
    return depuisUtf8(utf8);
}

std::int64_t Remote::integer(std::string_view field, std::int64_t low, std::int64_t high) {
    std::int64_t v = 0;
    if (!number(field, v)) malformed("\"" + std::string(field.substr(0, 20)) + "\" is not a number");
    if (v < low || v > high)
        malformed(std::to_string(v) + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    return v;
}

void Remote::request(const std::vector<std::string_view>& f) {
    const std::string_view verb = f[0];
    const auto count = [&](std::size_t n) {
        if (f.size() != n + 1) malformed(std::string(verb) + " takes " + std::to_string(n) + " fields here");
    };
    if (verb == "call") {
        call(f);
    } else if (verb == "wait") {
        count(1);
        const int ms = static_cast<int>(integer(f[1], 0, 60000));
        try {
            borne::attendre(ms);
        } catch (const ArretDemande&) {
            answer("stop");
            channel_.flush(Clock::now() + std::chrono::milliseconds(50));
            stopped_ = true;
            throw;
        }
        predict();
        answer("resume");
    } else if (verb == "took") {
        took(f);
    } else if (verb == "new") {
        create(f);
    } else if (verb == "delete") {
        count(1);
        const auto it = objects_.find(integer(f[1], 1, kMaxObjectNumber));
        if (it == objects_.end()) malformed("no object " + std::string(f[1]));
        if (auto* s = std::get_if<std::unique_ptr<tSupervision>>(&it->second); s && s->get() == supervision_)
            supervision_ = nullptr;
        objects_.erase(it);
    } else if (verb == "begin" || verb == "decided" || verb == "row") {
        if (!rows_) malformed(std::string(verb) + " without the rows feature");
        count(verb == "row" ? 2 : 1);
        const int etat = static_cast<int>(integer(f[1], INT_MIN, INT_MAX));
        if (observer_ == nullptr) return;
        if (verb == "begin")
            observer_->debutTour(etat);
        else if (verb == "decided")
            observer_->finDecision(etat);
        else
            observer_->ligne(etat, static_cast<int>(integer(f[2], 1, 1000)));
    } else if (verb == "state") {
        count(2);
        etat_ = static_cast<Etat>(integer(f[1], INT_MIN, INT_MAX));
        mode_ = static_cast<Mode>(integer(f[2], INT_MIN, INT_MAX));
    } else if (verb == "error") {
        count(1);
        broken("failed: " + text(f[1]));
    } else {
        malformed("unknown request \"" + std::string(verb.substr(0, 40)) + "\"");
    }
}

void Remote::create(const std::vector<std::string_view>& f) {
    if (f.size() < 3) malformed("new takes an object number and a class");
    const std::int64_t number = integer(f[1], 1, kMaxObjectNumber);
    if (objects_.count(number) != 0) malformed("object " + std::to_string(number) + " already exists");
    if (objects_.size() >= kMaxObjects) malformed("more than " + std::to_string(kMaxObjects) + " objects at once");
    const std::string_view kind = f[2];
    const auto count = [&](std::size_t n) {
        if (f.size() != n + 3) malformed("new " + std::string(kind) + " takes " + std::to_string(n) + " arguments");
    };
    const auto file = [&](std::string_view field) {
        const std::string name = text(field);
        if (!plainName(name)) malformed("\"" + name.substr(0, 60) + "\" is not a plain file name");
        return name;
    };
    Object o;
    if (kind == "tDebug") {
        count(1);
        o = std::make_unique<tDebug>(file(f[3]).c_str());
    } else if (kind == "tConfiguration") {
        count(2);
        const std::string config = file(f[3]);
        o = std::make_unique<tConfiguration>(config.c_str(), file(f[4]).c_str());
    } else if (kind == "tSystemeBarriere") {
        count(0);
        o = std::make_unique<tSystemeBarriere>();
    } else if (kind == "tClavier") {
        count(0);
        o = std::make_unique<tClavier>();
    } else if (kind == "tSupervision") {
        count(7);
        const std::string adresse = text(f[3]), portServeur = text(f[4]), nomAcces = text(f[5]);
        const int numero = static_cast<int>(integer(f[6], INT_MIN, INT_MAX));
        const std::string ip = text(f[7]), portSuperviseur = text(f[8]);
        const int mode = static_cast<int>(integer(f[9], INT_MIN, INT_MAX));
        auto s = std::make_unique<tSupervision>(adresse.c_str(), portServeur.c_str(), nomAcces.c_str(), numero,
                                                ip.c_str(), portSuperviseur.c_str(), mode);
        supervision_ = s.get();
        o = std::move(s);
    } else {
        malformed("no class \"" + std::string(kind.substr(0, 40)) + "\"");
    }
    objects_.emplace(number, std::move(o));
}

void Remote::call(const std::vector<std::string_view>& f) {
    if (f.size() < 3) malformed("call takes an object number and an operation");
    const auto it = objects_.find(integer(f[1], 1, kMaxObjectNumber));
    if (it == objects_.end()) malformed("no object " + std::string(f[1].substr(0, 20)));
    const std::string_view op = f[2];
    const auto count = [&](std::size_t n) {
        if (f.size() != n + 3) malformed(std::string(op) + " takes " + std::to_string(n) + " arguments");
    };
    const auto unknown = [&](const char* kind) {
        malformed(std::string(kind) + " has no operation \"" + std::string(op.substr(0, 40)) + "\"");
    };
    const auto result = [&](long long v) { answer("=\t" + std::to_string(v)); };
    std::visit(
        [&](auto& object) {
            using T = typename std::decay_t<decltype(object)>::element_type;
            T& o = *object;
            if constexpr (std::is_same_v<T, tSystemeBarriere>) {
                using Simple = void (tSystemeBarriere::*)();
                static const std::map<std::string_view, Simple> simple = {
                    {"AllumerEclairage", &tSystemeBarriere::AllumerEclairage},
                    {"EteindreEclairage", &tSystemeBarriere::EteindreEclairage},
                    {"OuvrirBarriere", &tSystemeBarriere::OuvrirBarriere},
                    {"FermerBarriere", &tSystemeBarriere::FermerBarriere},
                    {"ArreterMoteur", &tSystemeBarriere::ArreterMoteur},
                    {"AllumerAfficheur", &tSystemeBarriere::AllumerAfficheur},
                    {"EteindreAfficheur", &tSystemeBarriere::EteindreAfficheur}};
                if (const auto s = simple.find(op); s != simple.end()) {
                    count(0);
                    (o.*(s->second))();
                } else if (op == "LirePositionVehicule") {
                    count(0);
                    result(o.LirePositionVehicule());
                } else if (op == "Afficher") {
                    count(2);
                    const std::string l1 = text(f[3]);
                    o.Afficher(l1.c_str(), text(f[4]).c_str());
                } else if (op == "LireClavier") {
                    count(0);
                    result(o.LireClavier());
                } else if (op == "LireCarte") {
                    count(0);
                    char code[64];
                    const int presente = o.LireCarte(code);
                    answer("=\t" + std::to_string(presente) + "\t" + escaped(versUtf8(texteDe(code))));
                } else {
                    unknown("tSystemeBarriere");
                }
            } else if constexpr (std::is_same_v<T, tClavier>) {
                if (op != "LireTouche") unknown("tClavier");
                count(0);
                result(o.LireTouche());
            } else if constexpr (std::is_same_v<T, tSupervision>) {
                if (op == "LireAutorisation") {
                    count(0);
                    result(o.LireAutorisation());
                } else if (op == "LireEclairage") {
                    count(0);
                    result(o.LireEclairage());
                } else if (op == "LireAlarme") {
                    count(0);
                    result(o.LireAlarme());
                } else if (op == "LireEtatParking") {
                    count(0);
                    result(o.LireEtatParking());
                } else if (op == "LireMessage") {
                    count(0);
                    char message[1024] = {};
                    const int r = o.LireMessage(message);
                    answer("=\t" + std::to_string(r) + "\t" + escaped(versUtf8(texteDe(message))));
                } else if (op == "SignalerPassage") {
                    count(1);
                    o.SignalerPassage(static_cast<int>(integer(f[3], INT_MIN, INT_MAX)));
                } else if (op == "VerifierCode") {
                    count(2);
                    const int type = static_cast<int>(integer(f[3], INT_MIN, INT_MAX));
                    result(o.VerifierCode(type, text(f[4]).c_str()));
                } else if (op == "AfficherDefaut") {
                    count(1);
                    o.AfficherDefaut(text(f[3]).c_str());
                } else if (op == "AppelerGardien") {
                    count(0);
                    o.AppelerGardien();
                } else {
                    unknown("tSupervision");
                }
            } else if constexpr (std::is_same_v<T, tConfiguration>) {
                using Texte = void (tConfiguration::*)(char*, std::size_t);
                static const std::map<std::string_view, Texte> texts = {
                    {"LireIPSuperviseur", &tConfiguration::LireIPSuperviseur},
                    {"LirePortSuperviseur", &tConfiguration::LirePortSuperviseur},
                    {"LireAdresse", &tConfiguration::LireAdresse},
                    {"LirePortServeur", &tConfiguration::LirePortServeur},
                    {"LireNomAcces", &tConfiguration::LireNomAcces},
                    {"LireCode", &tConfiguration::LireCode}};
                if (const auto t = texts.find(op); t != texts.end()) {
                    count(0);
                    char value[1024] = {};
                    (o.*(t->second))(value, sizeof value);
                    answer("=\t" + escaped(versUtf8(texteDe(value))));
                } else if (op == "LireMode" || op == "LireNumeroAcces") {
                    count(0);
                    const auto v = op == "LireMode" ? o.LireMode() : o.LireNumeroAcces();
                    answer(v ? "=\t" + std::to_string(*v) : std::string("="));
                } else {
                    unknown("tConfiguration");
                }
            } else if constexpr (std::is_same_v<T, tDebug>) {
                if (op == "NoterEtat" || op == "NoterEvenement") {
                    count(1);
                    const auto code = static_cast<unsigned>(integer(f[3], 0, UINT_MAX));
                    if (op == "NoterEtat")
                        o.NoterEtat(code);
                    else
                        o.NoterEvenement(code);
                } else if (op == "Ecrire") {
                    count(0);
                    o.Ecrire();
                } else {
                    unknown("tDebug");
                }
            }
        },
        it->second);
}

void Remote::predict() {
    predicted_.clear();
    if (!ahead_) return;
    const PanneauOperateur& p = panneau();
    const auto key = [&p]() -> int {
        for (const int k : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0})
            if (p.touche(k)->Checked()) return k;
        return p.CheckBox6.Checked() ? int{TOUCHE_APPEL_GARDIEN} : int{TOUCHE_AUCUNE};
    };
    const auto number = [](long long v) { return "=\t" + std::to_string(v); };
    for (const auto& [n, object] : objects_) {
        const auto say = [&, n = n](const char* op, const std::string& a) {
            predicted_[{n, op}] = a;
            answer("ahead\t" + std::to_string(n) + "\t" + op + "\t" + a.substr(2));
        };
        if (std::holds_alternative<std::unique_ptr<tSystemeBarriere>>(object)) {
            const bool amont = p.CheckBox1.Checked(), aval = p.CheckBox2.Checked();
            say("LirePositionVehicule", number(amont ? (aval ? VEHICULE_AU_MILIEU : VEHICULE_SUR_BOUCLE_AMONT)
                                                     : (aval ? VEHICULE_SUR_BOUCLE_AVAL : VEHICULE_ABSENT)));
            say("LireClavier", number(key()));
            say("LireCarte", "=\t" + std::string(p.CheckBox10.Checked() ? "1" : "0") + "\t" +
                                 escaped(versUtf8(CODE_CARTE)));
        } else if (std::holds_alternative<std::unique_ptr<tClavier>>(object)) {
            say("LireTouche", number(key()));
        } else if (const auto* s = std::get_if<std::unique_ptr<tSupervision>>(&object)) {
            say("LireAutorisation", number(p.CheckBox3.Checked() ? 1 : 0));
            say("LireEclairage", number(p.CheckBox7.Checked() ? LUMIERE_ACTIVE : 0));
            say("LireAlarme", number(p.CheckBox8.Checked() ? ALARME_ACTIVE : 0));
            say("LireMessage", p.CheckBox9.Checked()
                                   ? "=\t" + std::to_string(MESSAGE_SUPERVISEUR) + "\t" +
                                         escaped(versUtf8(p.MessageGardien.Text().substr(0, 1023)))
                                   : std::string("=\t0\t"));
            say("LireEtatParking",
                number((*s)->nbVehiculesCourant() == tSupervision::CAPACITE_PARKING ? PARKING_PLEIN : 0));
        }
    }
}

void Remote::took(const std::vector<std::string_view>& f) {
    if (f.size() != 3) malformed("took takes an object number and an operation");
    const auto it = predicted_.find({integer(f[1], 1, kMaxObjectNumber), std::string(f[2])});
    if (it == predicted_.end()) malformed("took an answer the bench did not give ahead");
    const std::string given = std::move(it->second);
    predicted_.erase(it);
    std::string made;
    captured_ = &made;
    const std::vector<std::string_view> asCall = {"call", f[1], f[2]};
    try {
        call(asCall);
    } catch (...) {
        captured_ = nullptr;
        throw;
    }
    captured_ = nullptr;
    // Exactness is checked, not assumed: a read taken after something changed its input is the controller's.
    if (made != given)
        malformed("took the answer given ahead for " + std::string(f[2]) + " after it changed (now \"" +
                  made.substr(2, 40) + "\")");
}

void Remote::Tour() {
    guarded([&] {
        predict();
        answer("turn");
        const auto done = serve("done");
        etat_ = static_cast<Etat>(integer(done[1], INT_MIN, INT_MAX));
        mode_ = static_cast<Mode>(integer(done[2], INT_MIN, INT_MAX));
    });
}

ValeursTravail Remote::valeurs() const {
    auto* self = const_cast<Remote*>(this);
    if (!values_) return {};
    return self->guarded([&] {
        self->answer("values");
        const auto f = self->receive();
        if (f[0] != "values" || f.size() != 9) self->malformed("the answer to values must be values and 8 fields");
        ValeursTravail v;
        v.etat = static_cast<Etat>(self->integer(f[1], INT_MIN, INT_MAX));
        v.nbEssais = static_cast<int>(self->integer(f[2], INT_MIN, INT_MAX));
        v.carteRefusee = self->integer(f[3], 0, 1) != 0;
        v.codeRefuse = self->integer(f[4], 0, 1) != 0;
        v.nbChiffres = static_cast<int>(self->integer(f[5], INT_MIN, INT_MAX));
        v.codeSaisi = self->text(f[6]);
        v.codeMasque = self->text(f[7]);
        self->integer(f[8], INT_MIN, INT_MAX);
        // The count of cars is the link's, on this side; the controller's copy of it decides nothing.
        v.nbVehicules = supervision_ != nullptr ? supervision_->nbVehiculesCourant() : 0;
        return v;
    });
}

bool Remote::installerValeurs(const ValeursTravail& v) {
    if (!values_) return false;
    return guarded([&] {
        answer("install\t" + std::to_string(v.etat) + "\t" + std::to_string(v.nbEssais) + "\t" +
               (v.carteRefusee ? "1" : "0") + "\t" + (v.codeRefuse ? "1" : "0") + "\t" +
               std::to_string(v.nbChiffres) + "\t" + escaped(versUtf8(v.codeSaisi)) + "\t" +
               escaped(versUtf8(v.codeMasque)) + "\t" + std::to_string(v.nbVehicules));
        const auto f = receive();
        if (f[0] != "installed" || f.size() != 2) malformed("the answer to install must be installed and 1 field");
        const bool taken = integer(f[1], 0, 1) == 1;
        if (taken && supervision_ != nullptr) supervision_->installerNbVehicules(v.nbVehicules);
        if (taken) etat_ = v.etat;
        return taken;
    });
}

void Remote::end() noexcept {
    if (channel_.fd() >= 0) {
        if (!over_) {
            answer("end");
            channel_.flush(Clock::now() + std::chrono::milliseconds(50));
        }
        ::close(channel_.fd());
        channel_ = Channel(-1);
    }
    const bool leaving = !over_ || stopped_; // told to end, and expected to
    if (pid_ > 0 && program_.settings.sandboxed && leaving) {
        static const bool atExit = std::atexit([] { reapEndings(true); }) == 0;
        (void)atExit;
        endings().push_back({pid_, Clock::now() + std::chrono::seconds(2)});
        pid_ = -1;
        reapEndings(false);
        reapOrphans();
    }
    if (pid_ > 0) {
        // A moment to exit of its own accord, then the whole process group ends, the sandbox with it.
        int status = 0;
        const auto until = Clock::now() + std::chrono::milliseconds(leaving ? 100 : 0);
        pid_t done = 0;
        while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (done != pid_) {
            ::kill(-pid_, SIGKILL);
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
        pid_ = -1;
        if (program_.settings.sandboxed) reapOrphans();
    }
    if (output_ >= 0) {
        ::close(output_);
        output_ = -1;
    }
    objects_.clear();
    supervision_ = nullptr;
    if (transcript_ != nullptr) {
        std::fclose(transcript_);
        transcript_ = nullptr;
    }
}

} // namespace

std::string hostProgram() {
    if (const char* given = std::getenv("BORNE_HOST"); given != nullptr && *given != '\0') return given;
    const std::string beside = folderOf(absolute("/proc/self/exe")) + "/borne-host";
    if (::access(beside.c_str(), X_OK) == 0) return beside;
#ifdef BORNE_HOST_BUILT
    return BORNE_HOST_BUILT;
#else
    return beside;
#endif
}

std::optional<TypeControleur> loadController(const std::string& path, const Settings& settings, std::string& error) {
    struct stat st;
    const bool file = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const bool library = file && isSharedLibrary(path);
    const bool executable = file && !library && ::access(path.c_str(), X_OK) == 0;
    // What is neither runs nowhere: the loader's refusals say why (no such file, not a shared library).
    if (!executable && (!library || !settings.outOfProcess)) return chargerControleur(path, error);
    Program program;
    program.path = absolute(path);
    program.name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    program.hosted = library;
    program.settings = settings;
    if (program.path.empty()) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (settings.sandboxed) {
        if (const auto why = sandbox::unavailable()) {
            error = path + ": cannot be sandboxed: " + *why;
            return std::nullopt;
        }
    }
    TypeControleur type;
    type.nom = program.name;
    // Its features, from a session that only says hello: nothing of the controller runs in the bench.
    try {
        Remote probe(program, true);
        type.ditLignes = probe.tellsRows();
        type.decritValeurs = probe.decritValeurs();
    } catch (const std::exception& e) {
        if (!settings.failEachRun) {
            error = path + ": the controller " + e.what();
            return std::nullopt;
        }
        const std::string why = e.what();
        type.creer = [why]() -> std::unique_ptr<Controleur> { throw EchecControleur(why); };
        return type;
    }
    type.creer = [program] { return std::unique_ptr<Controleur>(new Remote(program, false)); };
    return type;
}

} // namespace borne::protocol
