// The raw libjpeg work behind decoderJpeg, kept free of C++ objects with destructors: libjpeg reports a
// fatal error by a longjmp out of its own code, which must never skip a destructor.
#pragma once

#include <cstddef>

namespace borne::jpeg {

// Pictures larger than this are refused before any pixel memory is taken (a forged header can claim
// 65535 x 65535).
constexpr std::size_t pixelsMax = 16u * 1024u * 1024u;

constexpr std::size_t tailleMessage = 256;

// Reads the header: on success fills the size and returns true; otherwise writes why into `message`
// (a field of tailleMessage bytes) and returns false.
bool lireEntete(const unsigned char* jpeg, std::size_t taille, int* largeur, int* hauteur,
                char* message) noexcept;

// Decodes into `pixels`, which holds largeur * hauteur * 3 bytes for the size that lireEntete gave.
bool decoderDans(const unsigned char* jpeg, std::size_t taille, unsigned char* pixels, int largeur,
                 int hauteur, char* message) noexcept;

} // namespace borne::jpeg
