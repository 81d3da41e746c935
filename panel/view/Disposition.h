// Where and how every named control of the operator panel is drawn: plain data, no toolkit types, so the
// window is built from it and the window's tests can hold it against what is really on screen.
#pragma once

#include "panel/PanneauOperateur.h"

#include <span>
#include <string_view>

namespace borne::vue {

// The system colours of the stored form, told apart from plain 0xBBGGRR values by their high byte.
inline constexpr Couleur clBackground = 0xFF000001;    // the desktop
inline constexpr Couleur cl3DLight = 0xFF000002;       // light 3-D face
inline constexpr Couleur clActiveCaption = 0xFF000003; // active title bar
inline constexpr Couleur clWindowText = 0xFF000004;
inline constexpr Couleur clWindow = 0xFF000005;  // an edit's background
inline constexpr Couleur clBtnFace = 0xFF000006; // a button, the status bar
inline constexpr Couleur couleurDuParent = 0xFFFFFFFF;

// The platform's value of a system colour (Windows' classic look), or the colour itself.
Couleur valeurReelle(Couleur c) noexcept;

struct Police {
    int hauteur = 11; // pixels
    bool gras = false;
    Couleur couleur = clWindowText;
};

// How a control is drawn; the panel model's kind, plus the labelled edit's caption.
struct Placement {
    const char* nom;
    int gauche, haut, largeur,
        hauteur; // relative to the parent's client area (a group box's includes its caption)
    Couleur couleur = couleurDuParent;
    const Police* police = nullptr; // own font; none: the parent's
    int ordreTab = -1;              // -1: takes no focus
    int largeurEtiquette = 0;       // labelled edit: the caption's box above it
    int hauteurEtiquette = 0;
};

struct Fenetre {
    const char* titre;                  // UTF-8
    int gauche, haut;                   // on the screen
    int largeurClient, hauteurClient;   // the client area
    int largeurContenu, hauteurContenu; // what scrolls: everything but the status bar, which lies below
    int defilement;                     // stored vertical scroll position
    int largeurBarreDefilement;
    Couleur couleur;
    Police police;
    const char* famillePolice; // stands in for "MS Sans Serif"
};

inline constexpr int espaceEtiquette = 3; // between a labelled edit and its caption

const Fenetre& fenetre() noexcept;

// Every named control, in the window's stored order (the order of the panel model).
std::span<const Placement> placements() noexcept;
const Placement* placement(std::string_view nom) noexcept;

// The font and the colour a control ends up with once its parents' are taken into account.
Police policeEffective(const PanneauOperateur& p, std::string_view nom);
Couleur couleurEffective(const PanneauOperateur& p, std::string_view nom);

// Windowed controls (which take the focus, or hold others) are drawn above pictures, shapes and labels.
bool estFenetre(Genre g) noexcept;

} // namespace borne::vue
