#include "Ecriture.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <stdexcept>

namespace borne::dessin {

std::vector<unsigned char> encoderJpeg(int largeur, int hauteur,
                                       const std::vector<unsigned char>& echantillons,
                                       const OptionsJpeg& options) {
    if (options.composantes != 1 && options.composantes != 3) throw std::invalid_argument("composantes");
    if (echantillons.size() != static_cast<std::size_t>(largeur) * hauteur * options.composantes) {
        throw std::invalid_argument("taille des échantillons");
    }
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr erreurs{};
    cinfo.err = jpeg_std_error(&erreurs); // the inputs are our own drawings: a failure is a bug, and exits
    jpeg_create_compress(&cinfo);
    unsigned char* tampon = nullptr;
    unsigned long taille = 0;
    jpeg_mem_dest(&cinfo, &tampon, &taille);
    cinfo.image_width = static_cast<JDIMENSION>(largeur);
    cinfo.image_height = static_cast<JDIMENSION>(hauteur);
    cinfo.input_components = options.composantes;
    cinfo.in_color_space = options.composantes == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.qualite, TRUE);
    cinfo.dct_method = JDCT_ISLOW; // the exact integer transform: the same bytes on every machine
    cinfo.optimize_coding = TRUE;  // smaller Huffman tables, still a baseline file
    if (options.progressif) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t pas = static_cast<std::size_t>(largeur) * options.composantes;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW ligne = const_cast<JSAMPROW>(echantillons.data() + cinfo.next_scanline * pas);
        jpeg_write_scanlines(&cinfo, &ligne, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<unsigned char> sortie(tampon, tampon + taille);
    jpeg_destroy_compress(&cinfo);
    std::free(tampon);
    return sortie;
}

std::vector<unsigned char> encoderJpeg(const Toile& toile, const OptionsJpeg& options) {
    OptionsJpeg couleur = options;
    couleur.composantes = 3;
    return encoderJpeg(toile.largeur(), toile.hauteur(), toile.octets(), couleur);
}

std::string versXpm(const Icone& icone, std::string_view nom) {
    static constexpr char codes[] = "abcdefghijklmnop";
    std::string s = "/* XPM */\nstatic const char* const " + std::string(nom) + "[] = {\n";
    s += "\"32 32 16 1\",\n";
    for (int i = 0; i < 16; ++i) {
        char ligne[32];
        if (i == icone.transparent) {
            std::snprintf(ligne, sizeof ligne, "\"%c c None\",\n", codes[i]);
        } else {
            std::snprintf(ligne, sizeof ligne, "\"%c c #%06X\",\n", codes[i],
                          static_cast<unsigned>(icone.palette[i]));
        }
        s += ligne;
    }
    for (int y = 0; y < Icone::cote; ++y) {
        s += '"';
        for (int x = 0; x < Icone::cote; ++x)
            s += codes[icone.indices[y * Icone::cote + x]];
        s += y + 1 < Icone::cote ? "\",\n" : "\"\n";
    }
    s += "};\n";
    return s;
}

std::vector<unsigned char> versIco(const Icone& icone) {
    constexpr int cote = Icone::cote;
    constexpr std::uint32_t ligneCouleurs = cote / 2; // 4 bits per pixel, already a multiple of 4 bytes
    constexpr std::uint32_t ligneMasque = 4;          // 32 bits of mask per row
    constexpr std::uint32_t enTeteBmp = 40;
    constexpr std::uint32_t tailleImage = enTeteBmp + 16 * 4 + (ligneCouleurs + ligneMasque) * cote;
    std::vector<unsigned char> o;
    auto mot = [&o](std::uint32_t v) { o.push_back(v & 0xFF), o.push_back((v >> 8) & 0xFF); };
    auto dmot = [&](std::uint32_t v) { mot(v & 0xFFFF), mot(v >> 16); };
    // Directory: reserved, type 1 (icon), one image.
    mot(0), mot(1), mot(1);
    o.push_back(cote), o.push_back(cote), o.push_back(16), o.push_back(0);
    mot(1), mot(4), dmot(tailleImage), dmot(6 + 16);
    // The image: a bitmap header whose height counts the colour rows and the mask rows.
    dmot(enTeteBmp), dmot(cote), dmot(2 * cote), mot(1), mot(4), dmot(0);
    dmot((ligneCouleurs + ligneMasque) * cote), dmot(0), dmot(0), dmot(16), dmot(0);
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t c = i == icone.transparent ? 0 : icone.palette[i];
        o.push_back(c & 0xFF), o.push_back((c >> 8) & 0xFF), o.push_back((c >> 16) & 0xFF), o.push_back(0);
    }
    // Bitmaps run bottom to top.
    for (int y = cote - 1; y >= 0; --y) {
        for (int x = 0; x < cote; x += 2) {
            // Transparent pixels keep their own index, whose palette entry is black: masked and XORed
            // with black, they leave the screen as it was.
            const int a = icone.indices[y * cote + x], b = icone.indices[y * cote + x + 1];
            o.push_back(static_cast<unsigned char>((a << 4) | b));
        }
    }
    for (int y = cote - 1; y >= 0; --y) {
        for (int octet = 0; octet < 4; ++octet) {
            unsigned char m = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (icone.indices[y * cote + octet * 8 + bit] == icone.transparent) m |= 0x80 >> bit;
            }
            o.push_back(m);
        }
    }
    return o;
}

} // namespace borne::dessin
