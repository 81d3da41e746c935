#include "tGestionPanneau.h"

#include "panel/PanneauOperateur.h"

void tGestionPanneau::Tour() {
    borne::panneau().Edit1.setText("direct");
}
