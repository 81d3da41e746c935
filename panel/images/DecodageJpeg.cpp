#include "panel/images/DecodageJpeg.h"

#include "base/Texte.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace borne::jpeg {

namespace {

struct Gestionnaire {
    jpeg_error_mgr base; // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf retour;
    char texte[JMSG_LENGTH_MAX];
};

[[noreturn]] void sortirSurErreur(j_common_ptr cinfo) {
    auto* g = reinterpret_cast<Gestionnaire*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, g->texte);
    std::longjmp(g->retour, 1);
}

// Warnings (level -1) mean damaged data that libjpeg would paper over with grey: refuse them too.
void messageLibjpeg(j_common_ptr cinfo, int niveau) {
    if (niveau < 0) sortirSurErreur(cinfo);
}

// Copies "what: detail" into the caller's message field.
void ecrireMessage(char* message, const char* quoi, const char* detail) noexcept {
    std::size_t n = copierBorne(message, tailleMessage, quoi);
    if (detail != nullptr && detail[0] != '\0') {
        n += copierBorne(message + n, tailleMessage - n, ": ");
        copierBorne(message + n, tailleMessage - n, detail);
    }
}

// What this program accepts, checked on the header before anything is allocated.
bool verifierEntete(const jpeg_decompress_struct& cinfo, char* message) noexcept {
    char detail[64];
    if (cinfo.num_components != 3) {
        std::snprintf(detail, sizeof detail, "%d", cinfo.num_components);
        ecrireMessage(message, "JPEG picture without three colour components", detail);
        return false;
    }
    if (cinfo.data_precision != 8) {
        std::snprintf(detail, sizeof detail, "%d bits", cinfo.data_precision);
        ecrireMessage(message, "JPEG picture not of 8 bits per sample", detail);
        return false;
    }
    if (cinfo.progressive_mode || cinfo.arith_code) {
        ecrireMessage(message, "JPEG picture not baseline",
                      cinfo.progressive_mode ? "progressive" : "arithmetic coding");
        return false;
    }
    if (cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_RGB) {
        ecrireMessage(message, "JPEG picture in an unsupported colour space", nullptr);
        return false;
    }
    if (static_cast<std::size_t>(cinfo.image_width) * cinfo.image_height > pixelsMax) {
        std::snprintf(detail, sizeof detail, "%u x %u", cinfo.image_width, cinfo.image_height);
        ecrireMessage(message, "JPEG picture too large", detail);
        return false;
    }
    return true;
}

// The one place with setjmp. Nothing here has a destructor; `cinfo` and `g` live in memory (their
// addresses are taken), so their values are sound after the longjmp.
bool executer(const unsigned char* jpeg, std::size_t taille, int* largeur, int* hauteur,
              unsigned char* pixels, char* message) noexcept {
    if (jpeg == nullptr || taille == 0) {
        ecrireMessage(message, "empty JPEG data", nullptr);
        return false;
    }
    jpeg_decompress_struct cinfo{};
    Gestionnaire g{};
    cinfo.err = jpeg_std_error(&g.base);
    g.base.error_exit = sortirSurErreur;
    g.base.emit_message = messageLibjpeg;
    if (setjmp(g.retour) != 0) {
        ecrireMessage(message, "damaged JPEG data", g.texte);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg, static_cast<unsigned long>(taille));
    jpeg_read_header(&cinfo, TRUE);
    if (!verifierEntete(cinfo, message)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (pixels == nullptr) {
        *largeur = static_cast<int>(cinfo.image_width);
        *hauteur = static_cast<int>(cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    if (static_cast<int>(cinfo.image_width) != *largeur || static_cast<int>(cinfo.image_height) != *hauteur) {
        ecrireMessage(message, "JPEG picture changed size between two readings", nullptr);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    const std::size_t pas = static_cast<std::size_t>(*largeur) * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW ligne = pixels + cinfo.output_scanline * pas;
        jpeg_read_scanlines(&cinfo, &ligne, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

bool lireEntete(const unsigned char* jpeg, std::size_t taille, int* largeur, int* hauteur,
                char* message) noexcept {
    return executer(jpeg, taille, largeur, hauteur, nullptr, message);
}

bool decoderDans(const unsigned char* jpeg, std::size_t taille, unsigned char* pixels, int largeur,
                 int hauteur, char* message) noexcept {
    return executer(jpeg, taille, &largeur, &hauteur, pixels, message);
}

} // namespace borne::jpeg
