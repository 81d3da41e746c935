#include "panel/view/Disposition.h"

#include <algorithm>

namespace borne::vue {

namespace {

constexpr Police grasMarron{11, true, clMaroon};
constexpr Police grasBleu{11, true, clBlue};
constexpr Police grasNoir{11, true, clWindowText};
constexpr Police grandGrasNoir{16, true, clWindowText};
constexpr Police rouge{11, false, clRed};
constexpr Police sarcelle{11, false, clTeal};

// The stored form. Places are those of the window scrolled down by 20 pixels.
constexpr Placement table[] = {
    {"Image1", 8, -20, 297, 465},
    {"Image2", 312, -20, 241, 281},
    {"Image3", 312, -20, 241, 281},
    {"Image7", 312, -20, 241, 281},
    {"Image6", 312, -20, 241, 281},
    {"Image4", 296, 260, 257, 153},
    {"Image5", 296, 256, 257, 161},
    {"StatusBar1", 0, 717, 554, 19, clBtnFace},
    {"GroupBox9", 0, 556, 553, 161, clSilver, &grasMarron, 1},
    {"GroupBox5", 8, 24, 233, 121, clSilver, nullptr, 0},
    {"Label3", 8, 24, 39, 13},
    {"CheckBox3", 8, 48, 129, 17, couleurDuParent, nullptr, 0},
    {"MessageGardien", 8, 88, 121, 21, clWindow, nullptr, 1, 95, 13},
    {"CheckBox7", 144, 48, 73, 17, couleurDuParent, nullptr, 2},
    {"CheckBox8", 144, 72, 65, 17, couleurDuParent, nullptr, 3},
    {"CheckBox9", 144, 96, 73, 17, couleurDuParent, nullptr, 4},
    {"GroupBox8", 392, 24, 153, 121, couleurDuParent, nullptr, 1},
    {"Shape4", 16, 24, 41, 41},
    {"Label4", 64, 40, 55, 20, couleurDuParent, &grandGrasNoir},
    {"PlaceRestantes", 16, 88, 121, 21, clWindow, nullptr, 0, 90, 13},
    {"GroupBox14", 256, 40, 121, 89, couleurDuParent, nullptr, 2},
    {"Label5", 16, 24, 39, 13},
    {"Default", 16, 56, 97, 21, clWindow, nullptr, 0, 42, 13},
    {"GroupBox13", 0, 444, 305, 113, clSilver, &grasBleu, 2},
    {"EtatCourant", 16, 32, 281, 21, clWindow, &rouge, 0, 68, 13},
    {"Evenement", 16, 72, 281, 21, clWindow, &sarcelle, 1, 64, 13},
    {"Clavier", 136, 228, 121, 129, cl3DLight, &grasNoir, 3},
    {"CheckBox12", 16, 32, 33, 17, couleurDuParent, nullptr, 0},
    {"CheckBox13", 48, 32, 33, 17, couleurDuParent, nullptr, 1},
    {"CheckBox14", 80, 32, 33, 17, couleurDuParent, nullptr, 2},
    {"CheckBox15", 16, 56, 33, 17, couleurDuParent, nullptr, 3},
    {"CheckBox16", 16, 80, 33, 17, couleurDuParent, nullptr, 4},
    {"CheckBox17", 48, 56, 41, 17, couleurDuParent, nullptr, 5},
    {"CheckBox18", 80, 56, 33, 17, couleurDuParent, nullptr, 6},
    {"CheckBox19", 48, 80, 33, 17, couleurDuParent, nullptr, 7},
    {"CheckBox20", 80, 80, 33, 17, couleurDuParent, nullptr, 8},
    {"CheckBox21", 48, 104, 33, 17, couleurDuParent, nullptr, 9},
    {"CheckBox10", 88, 124, 177, 17, clActiveCaption, nullptr, 4},
    {"Edit1", 56, 28, 185, 28, clMoneyGreen, &grandGrasNoir, 5},
    {"Edit2", 56, 52, 185, 28, clMoneyGreen, &grandGrasNoir, 6},
    {"GroupBox2", 304, 412, 137, 145, clSilver, &grasBleu, 7},
    {"Shape1", 8, 24, 17, 17},
    {"Shape2", 8, 56, 17, 17},
    {"Label1", 40, 24, 40, 13},
    {"Label2", 40, 56, 56, 13},
    {"Moteur", 8, 104, 121, 21, clWindow, nullptr, 0, 40, 13},
    {"GroupBox4", 440, 412, 113, 73, clSilver, &grasBleu, 8},
    {"Shape3", 32, 16, 41, 41},
    {"Button13", 136, 372, 121, 25, clBtnFace, &grasNoir, 9},
    {"GroupBox6", 440, 484, 113, 73, clSilver, &grasBleu, 10},
    {"CheckBox4", 16, 24, 81, 17, couleurDuParent, nullptr, 0},
    {"CheckBox5", 16, 48, 73, 17, couleurDuParent, nullptr, 1},
    {"CheckBox2", 400, 364, 17, 17, couleurDuParent, nullptr, 11},
    {"CheckBox1", 448, 364, 17, 17, couleurDuParent, nullptr, 12},
    {"CheckBox6", 152, 168, 17, 17, couleurDuParent, nullptr, 13},
};

constexpr Fenetre laFenetre{
    "Velmora",         543, 20, 571, 736, 554, 737, 20, 17, clBackground, Police{11, false, clWindowText},
    "Liberation Sans",
};

} // namespace

Couleur valeurReelle(Couleur c) noexcept {
    switch (c) {
    case clBackground: return 0x808000; // teal desktop
    case cl3DLight: return 0xE3E3E3;
    case clActiveCaption: return 0xE35400; // RGB(0, 84, 227)
    case clWindowText: return 0x000000;
    case clWindow: return 0xFFFFFF;
    case clBtnFace: return 0xF0F0F0;
    default: return c & 0xFFFFFF;
    }
}

const Fenetre& fenetre() noexcept {
    return laFenetre;
}

std::span<const Placement> placements() noexcept {
    return table;
}

const Placement* placement(std::string_view nom) noexcept {
    auto it =
        std::find_if(std::begin(table), std::end(table), [&](const Placement& p) { return nom == p.nom; });
    return it == std::end(table) ? nullptr : &*it;
}

Police policeEffective(const PanneauOperateur& p, std::string_view nom) {
    for (;;) {
        const Controle* c = p.trouver(nom);
        const Placement* pl = placement(nom);
        if (c == nullptr || pl == nullptr) return laFenetre.police;
        if (pl->police != nullptr) return *pl->police;
        if (c->parent().empty()) return laFenetre.police;
        nom = c->parent();
    }
}

Couleur couleurEffective(const PanneauOperateur& p, std::string_view nom) {
    for (;;) {
        const Controle* c = p.trouver(nom);
        const Placement* pl = placement(nom);
        if (c == nullptr || pl == nullptr) return valeurReelle(laFenetre.couleur);
        if (pl->couleur != couleurDuParent) return valeurReelle(pl->couleur);
        if (c->parent().empty()) return valeurReelle(laFenetre.couleur);
        nom = c->parent();
    }
}

bool estFenetre(Genre g) noexcept {
    switch (g) {
    case Genre::Image:
    case Genre::Forme:
    case Genre::Etiquette: return false;
    default: return true;
    }
}

} // namespace borne::vue
