// borne-host PLUGIN: runs a controller plug-in out of the bench's process, speaking the protocol on
// descriptor 3. It gives the plug-in the terminal's classes (Classes.cpp) and links nothing of the
// terminal but its base: a plug-in that reaches the panel, or any part of the bench, does not load here.
#include "base/Texte.h"
#include "control/Attente.h"
#include "control/Controleur.h"
#include "tools/host/Link.h"
#include "tools/protocol/Line.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unistd.h>

namespace borne::host {

namespace {

protocol::Channel& channel() {
    static protocol::Channel c(3);
    return c;
}

std::unordered_map<const void*, int>& objects() {
    static std::unordered_map<const void*, int> o;
    return o;
}
int lastNumber = 0;

// The controller while it runs, and the state and mode the bench was last told: the bench sees the state
// as of each request, as the terminal's own controller shows it at any instant of its turn.
const Controleur* current = nullptr;
int toldEtat = INT_MIN;
int toldMode = INT_MIN;

void tellState() {
    if (current == nullptr) return;
    const int etat = current->etatCourant();
    const int mode = current->modeCourant();
    if (etat == toldEtat && mode == toldMode) return;
    toldEtat = etat;
    toldMode = mode;
    channel().put("state\t" + std::to_string(etat) + "\t" + std::to_string(mode));
}

// The bench is gone or spoke out of turn: nothing more can be done for it.
[[noreturn]] void over(int status) {
    std::fflush(stdout);
    std::_Exit(status);
}

// The answers the bench gave ahead for the stretch under way: (object, operation) -> the result's fields.
std::map<std::pair<int, std::string>, std::vector<std::string>> ahead;
// Those read since the last `turn` or `resume`: they hold from the next one on.
std::map<std::pair<int, std::string>, std::vector<std::string>> staged;

// Reads that take the keypad's keys: taking one changes what the others would answer.
bool readsKeys(const std::string& operation) {
    return operation == "LireClavier" || operation == "LireTouche";
}

// Calls that change nothing a read answers: the stretch goes on through them.
bool keepsStretch(const std::string& operation) {
    static const std::set<std::string> keep = {
        "LirePositionVehicule", "LireClavier", "LireCarte", "LireTouche", "LireAutorisation", "LireEclairage",
        "LireAlarme", "LireMessage", "LireEtatParking", "Afficher", "AllumerEclairage", "EteindreEclairage",
        "ArreterMoteur", "AllumerAfficheur", "EteindreAfficheur", "NoterEtat", "NoterEvenement", "Ecrire"};
    return keep.count(operation) != 0;
}

// Waits sent whose `resume` has not been read: the turn goes on past a wait without waiting for it, since
// the bench makes nothing that follows until the wait is over, and nothing at all after a `stop`.
int waitsUnread = 0;

std::string nextLine() {
    std::string line;
    for (;;) {
        if (channel().next(line) != protocol::Channel::Got::Line) over(0);
        if (line == "resume" || line == "turn") {
            ahead = std::move(staged);
            staged.clear();
        }
        if (line == "resume" && waitsUnread > 0) {
            --waitsUnread;
            continue;
        }
        if (line == "stop") throw ArretDemande{};
        if (line.rfind("ahead\t", 0) != 0) return line;
        const auto f = protocol::fields(line);
        if (f.size() < 4) continue;
        std::vector<std::string> result;
        for (std::size_t i = 3; i < f.size(); ++i) {
            std::string text;
            protocol::unescaped(f[i], text);
            result.push_back(std::move(text));
        }
        staged[{std::atoi(std::string(f[1]).c_str()), std::string(f[2])}] = std::move(result);
    }
}

// The operation a request names ("" for one that is not a call).
std::string operationOf(const std::string& line, int& object) {
    const auto f = protocol::fields(line);
    if (f.size() < 3 || f[0] != "call") return {};
    object = std::atoi(std::string(f[1]).c_str());
    return std::string(f[2]);
}

[[noreturn]] void fail(const std::string& what) {
    channel().put("error\t" + protocol::escaped(versUtf8(what)));
    channel().flush();
    over(1);
}

} // namespace

void waited(int ms) {
    tellState();
    ahead.clear();
    channel().put("wait\t" + std::to_string(ms));
    ++waitsUnread;
}

int created(const void* self) {
    objects()[self] = ++lastNumber;
    return lastNumber;
}

int numberOf(const void* self) {
    const auto it = objects().find(self);
    return it == objects().end() ? 0 : it->second;
}

void destroyed(const void* self) {
    objects().erase(self);
}

void send(const std::string& line) {
    tellState();
    int object = 0;
    if (!keepsStretch(operationOf(line, object))) ahead.clear();
    channel().put(line);
}

std::vector<std::string> ask(const std::string& line) {
    tellState();
    int object = 0;
    const std::string operation = operationOf(line, object);
    if (!keepsStretch(operation)) {
        ahead.clear();
    } else if (const auto it = ahead.find({object, operation}); it != ahead.end()) {
        // Answered ahead: the call still goes to the bench, which makes it and checks the answer.
        auto result = std::move(it->second);
        ahead.erase(it);
        if (readsKeys(operation)) std::erase_if(ahead, [](const auto& a) { return readsKeys(a.first.second); });
        channel().put("took\t" + std::to_string(object) + "\t" + operation);
        return result;
    }
    ahead.clear();
    channel().put(line);
    const std::string answer = nextLine();
    // The bench said ahead what reads would answer before it made this one, which may change them.
    ahead.clear();
    const auto f = protocol::fields(answer);
    if (f[0] != "=") fail("was answered \"" + answer.substr(0, 40) + "\" where it waited for a result");
    std::vector<std::string> r;
    for (std::size_t i = 1; i < f.size(); ++i) {
        std::string text;
        protocol::unescaped(f[i], text);
        r.push_back(std::move(text));
    }
    return r;
}

std::string field(std::string_view cp1252) {
    return protocol::escaped(versUtf8(cp1252));
}

std::string field(const char* cp1252) {
    return field(std::string_view(cp1252 != nullptr ? cp1252 : ""));
}

std::string terminal(const std::string& text) {
    return depuisUtf8(text);
}

int integer(const std::string& field) {
    return std::atoi(field.c_str());
}

namespace {

class RowTeller final : public ObservateurTour {
public:
    void debutTour(int etat) noexcept override { channel().put("begin\t" + std::to_string(etat)); }
    void ligne(int etat, int rang) noexcept override {
        channel().put("row\t" + std::to_string(etat) + "\t" + std::to_string(rang));
    }
    void finDecision(int etat) noexcept override { channel().put("decided\t" + std::to_string(etat)); }
};

std::string stateLine(const char* verb, const Controleur& c) {
    return std::string(verb) + "\t" + std::to_string(static_cast<int>(c.etatCourant())) + "\t" +
           std::to_string(static_cast<int>(c.modeCourant()));
}

bool flag(const std::string& f) {
    return f == "1";
}

// The loader's message with the symbol it lacks as the source names it: a plug-in that reaches past the
// terminal's classes (the panel, say) is told which name.
std::string readable(std::string message) {
    const std::string marker = "undefined symbol: ";
    const auto at = message.find(marker);
    if (at == std::string::npos) return message;
    const auto from = at + marker.size();
    auto to = message.find_first_of(" \t,", from);
    if (to == std::string::npos) to = message.size();
    int status = 0;
    char* name = abi::__cxa_demangle(message.substr(from, to - from).c_str(), nullptr, nullptr, &status);
    if (status == 0 && name != nullptr) message.replace(from, to - from, name);
    std::free(name);
    return message;
}

int run(const char* plugin) {
    void* library = ::dlopen(plugin, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = ::dlerror();
        fail("does not load: " + readable(why != nullptr ? why : "unknown error"));
    }
    using Entree = const EntreeControleur* (*)();
    auto entree = reinterpret_cast<Entree>(::dlsym(library, NOM_ENTREE_CONTROLEUR));
    if (entree == nullptr) fail(std::string("is not a borne controller (no ") + NOM_ENTREE_CONTROLEUR + " entry point)");
    const EntreeControleur* e = entree();
    if (e == nullptr || e->creer == nullptr) fail("is not a borne controller (its entry point gives no controller)");
    if (e->version != VERSION_CONTROLEUR)
        fail("was built for version " + std::to_string(e->version) + " of the controller interface; this borne takes " +
             std::to_string(VERSION_CONTROLEUR) + ": build it again against this borne");
    const std::string built = e->empreinte != nullptr ? std::string(e->empreinte).substr(0, 40) : "(none)";
    if (built != BORNE_EMPREINTE_INTERFACE)
        fail("was built against the controller interface " + built + "; this borne's is " BORNE_EMPREINTE_INTERFACE
             ": build it again against this borne");
    std::string features = "ahead";
    if (e->ditLignes) features += ",rows";
    if (e->decritValeurs) features += ",values";
    channel().put("hello\t" + std::to_string(protocol::kVersion) + "\t" + protocol::escaped(versUtf8(e->classe)) +
                  "\t" + features);
    if (nextLine().rfind("welcome\t", 0) != 0) over(0);
    RowTeller teller;
    std::unique_ptr<Controleur> controller;
    try {
        for (;;) {
            const std::string command = nextLine();
            const auto f = protocol::fields(command);
            if (f[0] == "start" && !controller) {
                controller.reset(e->creer());
                if (e->ditLignes) controller->observer(&teller);
                current = controller.get();
                channel().put(stateLine("ready", *controller));
                toldEtat = controller->etatCourant();
                toldMode = controller->modeCourant();
            } else if (f[0] == "turn" && controller) {
                controller->Tour();
                channel().put(stateLine("done", *controller));
                toldEtat = controller->etatCourant();
                toldMode = controller->modeCourant();
            } else if (f[0] == "values" && controller) {
                const ValeursTravail v = controller->valeurs();
                channel().put("values\t" + std::to_string(static_cast<int>(v.etat)) + "\t" + std::to_string(v.nbEssais) +
                              "\t" + (v.carteRefusee ? "1" : "0") + "\t" + (v.codeRefuse ? "1" : "0") + "\t" +
                              std::to_string(v.nbChiffres) + "\t" + field(v.codeSaisi) + "\t" + field(v.codeMasque) +
                              "\t" + std::to_string(v.nbVehicules));
            } else if (f[0] == "install" && controller && f.size() == 9) {
                ValeursTravail v;
                std::string text;
                v.etat = static_cast<Etat>(integer(std::string(f[1])));
                v.nbEssais = integer(std::string(f[2]));
                v.carteRefusee = flag(std::string(f[3]));
                v.codeRefuse = flag(std::string(f[4]));
                v.nbChiffres = integer(std::string(f[5]));
                protocol::unescaped(f[6], text);
                v.codeSaisi = terminal(text);
                protocol::unescaped(f[7], text);
                v.codeMasque = terminal(text);
                v.nbVehicules = integer(std::string(f[8]));
                channel().put(std::string("installed\t") + (controller->installerValeurs(v) ? "1" : "0"));
                // The bench takes the state from the values it installed; what it was told is that.
                toldEtat = controller->etatCourant();
                toldMode = controller->modeCourant();
            } else {
                over(0); // end, or a command out of turn: the bench is done with this session
            }
        }
    } catch (const ArretDemande&) {
        over(0);
    } catch (const std::exception& x) {
        fail(std::string("threw \"") + x.what() + "\"");
    } catch (...) {
        fail("threw an exception that is not a standard exception");
    }
    return 0;
}

} // namespace

} // namespace borne::host

int main(int argc, char** argv) {
    if (argc != 2 || ::fcntl(3, F_GETFD) < 0) {
        std::fprintf(stderr, "usage: borne-host PLUGIN (started by the bench, with its channel on descriptor 3)\n");
        return 2;
    }
    return borne::host::run(argv[1]);
}
