// The panel's seven pictures and the program's icon, drawn from code.
#pragma once

#include "Ecriture.h"
#include "Toile.h"

namespace borne::dessin {

struct Dimensions {
    int largeur;
    int hauteur;
};

// Pictures are numbered as the panel names them: 1 for "Image1" ... 7 for "Image7".
Dimensions dimensionsImage(int numero);
Toile dessinerImage(int numero);
Icone dessinerIcone();

} // namespace borne::dessin
