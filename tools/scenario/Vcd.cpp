#include "tools/scenario/Vcd.h"
#include "tools/grammar/Grammar.h"

#include "control/Codes.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace borne::scenario {

namespace {

// Identifier codes: printable ASCII from '!' to '~', base 94.
std::string identifier(std::size_t n) {
    std::string id;
    do {
        id += static_cast<char>('!' + n % 94);
        n /= 94;
    } while (n != 0);
    return id;
}

std::string word(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        r += c == ' ' ? '_' : c < 0x20 || c == 0x7F ? '?' : ch;
    }
    return r;
}

std::string variableName(Propriete p) {
    std::string name = nomPropriete(p);
    for (char& c : name)
        if (c == '.') c = '_';
    return name;
}

const char* stateName(int state) {
    const char* name = nomEtatCode(state);
    return name != nullptr ? name : "?";
}

std::string failure(const std::string& path) {
    return "cannot write " + path + ": " + std::strerror(errno);
}

} // namespace

VcdWriter::~VcdWriter() {
    if (file_ != nullptr) std::fclose(file_);
    if (body_ != nullptr) std::fclose(body_);
}

bool VcdWriter::open(const std::string& path, std::string& error, const files::Deadline& deadline) {
    path_ = path;
    const int fd = files::openForWriting(path, deadline, error);
    if (fd < 0) return false;
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        error = failure(path);
        ::close(fd);
        return false;
    }
    body_ = std::tmpfile();
    if (body_ == nullptr) {
        error = "cannot make a scratch file for " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void VcdWriter::starting(Engine&) {
    // Every property of every control, in the panel's order, with the value it is built with.
    signals_.clear();
    first_.clear();
    for (const Controle* c : panneau().controles()) {
        first_.emplace(c, signals_.size());
        for (Propriete p : PROPRIETES)
            if (proprieteDe(c->genre(), p)) {
                const Valeur v = c->lire(p);
                signals_.push_back({c, p, identifier(signals_.size() + 1), v, v});
            }
    }
    stateId_ = identifier(0);
    initialState_ = lastState_ = -1;
    time_ = 0;
}

void VcdWriter::moveTo(std::int64_t at) {
    if (at == time_) return;
    time_ = at;
    std::fprintf(body_, "#%lld\n", static_cast<long long>(at));
}

void VcdWriter::change(const std::string& id, const Valeur& v, std::FILE* to) {
    if (const bool* b = std::get_if<bool>(&v)) {
        std::fprintf(to, "%c%s\n", *b ? '1' : '0', id.c_str());
    } else if (const Couleur* c = std::get_if<Couleur>(&v)) {
        char bits[25];
        for (int i = 0; i < 24; ++i)
            bits[i] = (*c >> (23 - i) & 1) != 0 ? '1' : '0';
        bits[24] = '\0';
        std::fprintf(to, "b%s %s\n", bits, id.c_str());
    } else {
        std::fprintf(to, "s%s %s\n", word(propertyText(v)).c_str(), id.c_str());
    }
}

void VcdWriter::wrote(const Ecriture& e, std::int64_t at) {
    if (body_ == nullptr) return;
    const auto first = first_.find(&e.controle);
    if (first == first_.end()) return;
    for (std::size_t i = first->second; i < signals_.size() && signals_[i].control == &e.controle; ++i) {
        Signal& s = signals_[i];
        if (s.property != e.propriete) continue;
        s.used = true;
        if (s.last == e.valeur) return;
        s.last = e.valeur;
        moveTo(at);
        change(s.id, s.last, body_);
        return;
    }
}

void VcdWriter::stateChanged(int state, std::int64_t at) {
    if (body_ == nullptr) return;
    if (initialState_ < 0) {
        initialState_ = lastState_ = state; // the start state of the mode, shown from the beginning
        return;
    }
    if (state == lastState_) return;
    lastState_ = state;
    moveTo(at);
    std::fprintf(body_, "s%s %s\n", stateName(state), stateId_.c_str());
}

void VcdWriter::finished(std::int64_t at) {
    if (body_ != nullptr) moveTo(at); // so the viewer shows the run to its end
}

bool VcdWriter::close(std::string& error) {
    if (file_ == nullptr || body_ == nullptr) {
        error = "cannot write " + path_;
        return false;
    }
    std::FILE* f = file_;
    std::fputs("$version borne-scenario $end\n$timescale 1ms $end\n$scope module borne $end\n", f);
    std::fprintf(f, "$scope module tGestionBarriere $end\n$var string 1 %s etat $end\n$upscope $end\n",
                 stateId_.c_str());
    const Controle* open = nullptr;
    for (const Signal& s : signals_) {
        if (!s.used) continue;
        if (s.control != open) {
            if (open != nullptr) std::fputs("$upscope $end\n", f);
            open = s.control;
            std::fprintf(f, "$scope module %s $end\n", s.control->nom().c_str());
        }
        const char* kind = std::holds_alternative<bool>(s.initial)      ? "wire 1"
                           : std::holds_alternative<Couleur>(s.initial) ? "wire 24"
                                                                        : "string 1";
        std::fprintf(f, "$var %s %s %s $end\n", kind, s.id.c_str(), variableName(s.property).c_str());
    }
    if (open != nullptr) std::fputs("$upscope $end\n", f);
    std::fputs("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n", f);
    if (initialState_ >= 0) std::fprintf(f, "s%s %s\n", stateName(initialState_), stateId_.c_str());
    for (const Signal& s : signals_)
        if (s.used) change(s.id, s.initial, f);
    std::fputs("$end\n", f);

    std::rewind(body_);
    char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, body_)) > 0)
        std::fwrite(buffer, 1, n, f);
    const bool ok = std::ferror(body_) == 0 && std::ferror(f) == 0;
    std::fclose(body_);
    body_ = nullptr;
    file_ = nullptr;
    if (std::fclose(f) != 0 || !ok) {
        error = failure(path_);
        return false;
    }
    return true;
}

} // namespace borne::scenario
