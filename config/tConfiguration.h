// Reads the terminal's settings, one key per call, from Config.cfg (and CHIP.INI for the address).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

class tConfiguration {
public:
    tConfiguration(const char* nomFichierConfig, const char* nomFichierChip);

    // Text settings: the value is copied into the destination, cut to its capacity; a missing file or
    // key leaves the destination exactly as it was.
    void LireIPSuperviseur(char* dest, std::size_t capacite);
    void LirePortSuperviseur(char* dest, std::size_t capacite);
    void LireAdresse(char* dest, std::size_t capacite);
    void LirePortServeur(char* dest, std::size_t capacite);
    void LireNomAcces(char* dest, std::size_t capacite);
    void LireCode(char* dest, std::size_t capacite);
    template <std::size_t N> void LireIPSuperviseur(char (&d)[N]) { LireIPSuperviseur(d, N); }
    template <std::size_t N> void LirePortSuperviseur(char (&d)[N]) { LirePortSuperviseur(d, N); }
    template <std::size_t N> void LireAdresse(char (&d)[N]) { LireAdresse(d, N); }
    template <std::size_t N> void LirePortServeur(char (&d)[N]) { LirePortServeur(d, N); }
    template <std::size_t N> void LireNomAcces(char (&d)[N]) { LireNomAcces(d, N); }
    template <std::size_t N> void LireCode(char (&d)[N]) { LireCode(d, N); }

    // Integer settings: no value when the file cannot be read, the key is missing, its value is empty,
    // the number that opens it (blanks, sign and digits) is longer than 11 characters, or it does not
    // fit a signed 32-bit integer. What follows the number does not count.
    std::optional<std::int32_t> LireMode();
    std::optional<std::int32_t> LireNumeroAcces();

private:
    char nomFichierConfig[100];
    char nomFichierChip[100];
};
