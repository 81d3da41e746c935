#include "config/tConfiguration.h"

#include "base/Texte.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A line is matched on its first 199 characters, as a 200-byte line buffer holds them.
constexpr std::size_t kTailleLigne = 200;
// Integer values go through a 12-byte text: at most 11 characters are converted.
constexpr std::size_t kTailleEntier = 12;
constexpr std::size_t kTailleBloc = 4096;
// The largest settings file that is read. A real one holds a few hundred bytes; a larger one is as missing.
constexpr std::size_t kTailleMax = std::size_t{1} << 20;

// The value of the last line holding the key, if any line held it.
struct ValeurLue {
    bool trouvee = false;
    std::array<char, kTailleLigne> texte{};
    std::size_t longueur = 0;

    std::string_view vue() const { return std::string_view(texte.data(), longueur); }
};

// Splits a line that holds the key: "=" signs that open the line are skipped, the first part runs to
// the next "=", and the value is all that follows it, verbatim.
void prendreValeur(std::string_view ligne, ValeurLue& v) {
    std::string_view valeur;
    const std::size_t debut = ligne.find_first_not_of('=');
    if (debut != std::string_view::npos) {
        const std::size_t egal = ligne.find('=', debut);
        if (egal != std::string_view::npos) valeur = ligne.substr(egal + 1);
    }
    v.longueur = borne::copierBorne(v.texte.data(), v.texte.size(), valeur);
    v.trouvee = true;
}

void examinerLigne(const char* ligne, std::size_t n, std::string_view cle, ValeurLue& v) {
    // The line is a zero-terminated text: a NUL byte ends it.
    if (const void* nul = std::memchr(ligne, '\0', n))
        n = static_cast<std::size_t>(static_cast<const char*>(nul) - ligne);
    const std::string_view texte(ligne, n);
    if (texte.find(cle) != std::string_view::npos) prendreValeur(texte, v);
}

// Scans the whole file for the key. False when the file cannot be opened, is not a regular file, is
// larger than kTailleMax or a read fails: then nothing of it is used. Opened without waiting, since a
// named pipe would wait for a writer; a pipe or a device (an endless one too) is never read.
bool chercher(const char* fichier, std::string_view cle, ValeurLue& v) {
    const int fd = ::open(fichier, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat etat {};
    if (::fstat(fd, &etat) != 0 || !S_ISREG(etat.st_mode) ||
        static_cast<std::uintmax_t>(etat.st_size) > kTailleMax) {
        ::close(fd);
        return false;
    }

    char bloc[kTailleBloc];
    char ligne[kTailleLigne - 1]; // the kept part of the current line; the rest of a long line is dropped
    std::size_t n = 0;
    bool crEnAttente = false; // a CR is kept only if something other than the line end follows it

    auto garder = [&](char c) {
        if (n < sizeof ligne) ligne[n++] = c;
    };

    bool ok = true;
    std::size_t total = 0;
    for (;;) {
        const ssize_t lu = ::read(fd, bloc, sizeof bloc);
        if (lu < 0 && errno == EINTR) continue;
        if (lu == 0) break;
        const std::size_t lus = lu > 0 ? static_cast<std::size_t>(lu) : 0;
        total += lus;
        if (lu < 0 || total > kTailleMax) { // a read error, or a file that grew past the limit meanwhile
            ok = false;
            break;
        }
        for (std::size_t i = 0; i < lus; ++i) {
            const char c = bloc[i];
            if (c == '\n') {
                crEnAttente = false;
                examinerLigne(ligne, n, cle, v);
                n = 0;
                continue;
            }
            if (crEnAttente) garder('\r');
            crEnAttente = (c == '\r');
            if (!crEnAttente) garder(c);
        }
    }
    ::close(fd);
    if (!ok) return false;
    if (n > 0) examinerLigne(ligne, n, cle, v); // a last line without its line end
    return true;
}

void lireTexte(const char* fichier, std::string_view cle, char* dest, std::size_t capacite) {
    ValeurLue v;
    if (!chercher(fichier, cle, v) || !v.trouvee) return;
    borne::copierBorne(dest, capacite, v.vue());
}

bool blanc(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The length of the number that opens the value: its leading blanks, its sign and its digits.
std::size_t longueurDuNombre(std::string_view texte) {
    std::size_t i = 0;
    while (i < texte.size() && blanc(texte[i]))
        ++i;
    if (i < texte.size() && (texte[i] == '+' || texte[i] == '-')) ++i;
    while (i < texte.size() && texte[i] >= '0' && texte[i] <= '9')
        ++i;
    return i;
}

std::optional<std::int32_t> convertir(std::string_view texte) {
    std::size_t i = 0;
    while (i < texte.size() && blanc(texte[i]))
        ++i;
    bool negatif = false;
    if (i < texte.size() && (texte[i] == '+' || texte[i] == '-')) negatif = texte[i++] == '-';
    // At most 11 characters: the magnitude stays far inside 64 bits.
    std::int64_t nombre = 0;
    for (; i < texte.size() && texte[i] >= '0' && texte[i] <= '9'; ++i)
        nombre = nombre * 10 + (texte[i] - '0');
    if (negatif) nombre = -nombre;
    if (nombre < std::numeric_limits<std::int32_t>::min() ||
        nombre > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(nombre);
}

std::optional<std::int32_t> lireEntier(const char* fichier, std::string_view cle) {
    ValeurLue v;
    if (!chercher(fichier, cle, v) || !v.trouvee || v.longueur == 0) return std::nullopt;
    // A number too long for the local text is refused: cut, it would be another number (twelve zeros and
    // a one would read as the supervised mode).
    if (longueurDuNombre(v.vue()) >= kTailleEntier) return std::nullopt;
    char local[kTailleEntier];
    const std::size_t n = borne::copierBorne(local, v.vue());
    return convertir(std::string_view(local, n));
}

} // namespace

tConfiguration::tConfiguration(const char* nomFichierConfig, const char* nomFichierChip) {
    borne::copierBorne(this->nomFichierConfig, nomFichierConfig ? nomFichierConfig : "");
    borne::copierBorne(this->nomFichierChip, nomFichierChip ? nomFichierChip : "");
}

void tConfiguration::LireIPSuperviseur(char* dest, std::size_t capacite) {
    lireTexte(nomFichierConfig, "IPsuperviseur=", dest, capacite);
}

void tConfiguration::LirePortSuperviseur(char* dest, std::size_t capacite) {
    lireTexte(nomFichierConfig, "PORTsuperviseur=", dest, capacite);
}

// The address is the one setting kept in CHIP.INI; an ADDRESS= line in Config.cfg is ignored.
void tConfiguration::LireAdresse(char* dest, std::size_t capacite) {
    lireTexte(nomFichierChip, "ADDRESS=", dest, capacite);
}

void tConfiguration::LirePortServeur(char* dest, std::size_t capacite) {
    lireTexte(nomFichierConfig, "portserver=", dest, capacite);
}

void tConfiguration::LireNomAcces(char* dest, std::size_t capacite) {
    lireTexte(nomFichierConfig, "nomacces=", dest, capacite);
}

void tConfiguration::LireCode(char* dest, std::size_t capacite) {
    lireTexte(nomFichierConfig, "code=", dest, capacite);
}

std::optional<std::int32_t> tConfiguration::LireMode() {
    return lireEntier(nomFichierConfig, "mode=");
}

std::optional<std::int32_t> tConfiguration::LireNumeroAcces() {
    return lireEntier(nomFichierConfig, "numeroacces=");
}
