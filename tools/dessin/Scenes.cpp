#include "Scenes.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace borne::dessin {

namespace {

// One light for every picture: from the upper left.
const Couleur noir = rgb(0x161616);
const Couleur blanc = rgb(0xFFFFFF);
const Couleur rougeBarriere = rgb(0xD42A20);
const Couleur jauneCaisson = rgb(0xF4C20D);
const Couleur jauneVoiture = rgb(0xF2C12E);
const Couleur bleuVoiture = rgb(0x1D2D6B);

// ---------------------------------------------------------------- the terminal's front (Image1)

void mainPointee(Toile& t) {
    const Couleur vert = rgb(0x2FA84F), vertFonce = rgb(0x1B6B30);
    const Forme main = unionDe({
        rectangle(18, 139, 46, 169, 7),     // palm
        trait({42, 145.5}, {65, 145.5}, 8), // index finger, pointing at the slot
        trait({24, 141}, {42, 136.5}, 7),   // thumb along the top
        trait({42, 153}, {52, 153}, 7),     // folded fingers
        trait({42, 159.5}, {51, 159.5}, 7),
        trait({42, 165.5}, {49, 165.5}, 6),
    });
    const Forme manchette = rectangle(8, 137, 20, 171, 2.5);
    t.ombre(decaler(unionDe({main, manchette}), 1.5, 2), 2.5, 0.25);
    t.peindre(manchette, degradeVertical(137, rgb(0xFFFFFF), 171, rgb(0xCFD6D0)));
    t.peindre(contour(manchette, 1.2), vertFonce);
    t.peindre(main, degradeVertical(134, eclaircir(vert, 0.25), 170, vert));
    t.peindre(trait({43, 149.5}, {51, 149.5}, 1), vertFonce, 0.8);
    t.peindre(trait({43, 156.3}, {50, 156.3}, 1), vertFonce, 0.8);
    t.peindre(trait({43, 162.6}, {48, 162.6}, 1), vertFonce, 0.8);
    t.peindre(contour(main, 1.3), vertFonce);
    t.peindre(trait({46, 143.5}, {60, 143.5}, 1.5), blanc, 0.35);
    t.peindre(disque(64.5, 145.5, 2.2), rgb(0xBFE8C8), 0.7); // fingernail
}

void etiquetteCarte(Toile& t) {
    const Forme etiquette = rectangle(8, 178, 70, 201, 3);
    t.ombre(decaler(etiquette, 1, 1.5), 1.5, 0.2);
    t.peindre(etiquette, rgb(0xFFFDF6));
    t.peindre(contour(etiquette, 1), rgb(0x1B6B30));
    t.ecrireCentre("Carte", 39, 184.5, 1, rgb(0x1B6B30));
    t.ecrireCentre("à puce", 39, 194.5, 1, rgb(0x1B6B30));
}

void fenteCarte(Toile& t) {
    // The bar of the card box covers columns 80..256, rows 144..160 exactly: the slot's mouth.
    const Forme cadre = rectangle(71, 135, 266, 170, 6);
    t.ombre(decaler(cadre, 1, 2), 2.5, 0.3);
    t.peindre(cadre, degradeVertical(135, rgb(0x3A3A3A), 170, noir));
    t.peindre(rectangle(80, 144, 257, 161, 2), degradeVertical(144, rgb(0x050505), 161, rgb(0x2C2C2C)));
    t.peindre(trait({84, 152.5}, {253, 152.5}, 1.2), rgb(0x5A5A5A));
    t.peindre(contour(rectangle(72, 136, 265, 169, 5.5), 1), blanc, 0.15);
}

void etiquetteGardien(Toile& t) {
    // Right of the call box (columns 144..160, rows 188..204).
    const Forme etiquette = rectangle(166, 186, 274, 207, 4);
    const Couleur bleu = rgb(0x1E5AA8);
    t.ombre(decaler(etiquette, 1, 1.5), 1.5, 0.25);
    t.peindre(etiquette, degradeVertical(186, eclaircir(bleu, 0.15), 207, assombrir(bleu, 0.1)));
    // A small bell.
    const Forme cloche = unionDe({
        polygone({{174.5, 191}, {179.5, 191}, {181.5, 199}, {172.5, 199}}),
        disque(177, 192, 2.6),
        rectangle(171, 198.5, 183, 200.5, 1),
    });
    t.peindre(cloche, blanc);
    t.peindre(disque(177, 202, 1.3), blanc);
    t.ecrire("APPEL GARDIEN", 189, 193, 1, blanc);
}

void panneauNumero(Toile& t) {
    const Forme carre = rectangle(24, 250, 104, 330, 6);
    t.ombre(decaler(carre, 1.5, 2.5), 3, 0.3);
    t.peindre(carre, degradeVertical(250, rgb(0xFFD84A), 330, rgb(0xE9B800)));
    t.peindre(contour(carre, 1.5), rgb(0xA07C00));
    const Forme fond = rectangle(34, 260, 94, 320, 4);
    t.peindre(fond, degradeVertical(260, rgb(0xE0372C), 320, rgb(0xB81E16)));
    t.peindre(contour(fond, 1), rgb(0x7E140E));
    // The terminal's number.
    const Forme chiffre = unionDe({
        trait({66, 273}, {66, 309}, 9),
        trait({66, 273}, {55, 282}, 8),
        trait({56, 309.5}, {76, 309.5}, 6),
    });
    t.ombre(decaler(chiffre, 1, 1.5), 1.5, 0.3);
    t.peindre(chiffre, blanc);
}

void vis(Toile& t, double x, double y) {
    t.peindre(disque(x, y, 4), degradeVertical(y - 4, rgb(0xF2F2F2), y + 4, rgb(0x9A9A9A)));
    t.peindre(contour(disque(x, y, 4), 0.8), rgb(0x8A6A50));
    t.peindre(trait({x - 2.3, y + 2.3}, {x + 2.3, y - 2.3}, 1.1), rgb(0x6A6A6A));
}

Toile imageBorne() {
    Toile t(290, 462, rgb(0xE4E6EA));
    const Forme corps = rectangle(3, 3, 286, 458, 22);
    t.ombre(decaler(corps, 2, 3), 4, 0.35);
    t.peindre(corps, degradeVertical(3, rgb(0xFFC088), 458, rgb(0xFFE8D4)));
    t.peindre(contour(rectangle(6, 6, 283, 455, 19), 1.5), blanc, 0.45);
    t.peindre(contour(corps, 2), rgb(0xD9864A));

    // The display: its white inside is exactly under the two display lines (columns 48..232,
    // rows 48..99), framed thick and black.
    const Forme cadre = rectangle(35, 35, 246, 113, 9);
    t.ombre(decaler(cadre, 1.5, 2.5), 3, 0.35);
    t.peindre(cadre, degradeVertical(35, rgb(0x3A3A3A), 113, noir));
    t.peindre(contour(rectangle(36, 36, 245, 112, 8), 1), blanc, 0.18);
    t.peindre(rectangle(46, 46, 235, 102, 2), rgb(0x000000));
    t.peindre(rectangle(48, 48, 233, 100), degradeVertical(48, rgb(0xF4F6F4), 100, blanc));

    mainPointee(t);
    fenteCarte(t);
    etiquetteCarte(t);
    etiquetteGardien(t);
    panneauNumero(t);
    for (Point p : {Point{18, 18}, Point{271, 18}, Point{18, 443}, Point{271, 443}})
        vis(t, p.x, p.y);
    return t;
}

// ---------------------------------------------------------------- the barrier view (Image2, 3, 7, 6)

enum class Lisse { baissee, levee };
enum class Voiture { aucune, deFace, deDos };

constexpr double pivotX = 72, pivotY = 158;

void ciel(Toile& t) {
    const double w = t.largeur();
    t.peindre(rectangle(0, 0, w, 200), degradeVertical(0, rgb(0x2C6CC6), 200, rgb(0xA6D2F4)));
    auto nuage = [&t](double x, double y, double s) {
        const Forme f = unionDe({
            disque(x - 18 * s, y + 4 * s, 11 * s),
            disque(x - 4 * s, y - 5 * s, 15 * s),
            disque(x + 13 * s, y, 12 * s),
            disque(x + 26 * s, y + 6 * s, 8 * s),
            rectangle(x - 28 * s, y + 2 * s, x + 33 * s, y + 14 * s, 6 * s),
        });
        t.peindre(f, degradeVertical(y - 20 * s, blanc, y + 14 * s, rgb(0xD6E2EE)), 0.95);
    };
    nuage(168, 44, 1.0);
    nuage(58, 92, 0.7);
    nuage(214, 128, 0.55);
    nuage(20, 30, 0.5);
}

void sol(Toile& t) {
    const double w = t.largeur();
    t.peindre(rectangle(0, 196, w, 216), degradeVertical(196, rgb(0x86C35E), 216, rgb(0x5E9E44)));
    // A hedge along the horizon.
    std::vector<Forme> haie;
    for (int i = 0; i < 12; ++i) {
        const double x = 8 + i * 21.5, r = 7 + (i * 7 % 5);
        haie.push_back(disque(x, 199 - r * 0.3, r));
    }
    t.peindre(intersection(unionDe(haie), rectangle(0, 180, w, 204)),
              degradeVertical(186, rgb(0x4F9A3A), 204, rgb(0x2F6E26)));
    t.peindre(rectangle(0, 214, w, 285), degradeVertical(214, rgb(0x8E9297), 285, rgb(0x5C6066)));
    t.peindre(rectangle(0, 213, w, 216), rgb(0xC9CCCF));
    t.peindre(rectangle(96, 268, w, 273), rgb(0xF4F4F0), 0.9); // stop line of the lane
}

void caisson(Toile& t) {
    t.ombre(rectangle(14, 244, 96, 254, 3), 3, 0.35);
    t.peindre(rectangle(16, 238, 90, 250, 2), degradeVertical(238, rgb(0xD2D2CE), 250, rgb(0x9C9C98)));
    const Forme corps = rectangle(27, 150, 79, 242, 4);
    t.ombre(decaler(corps, 3, 1), 3, 0.25);
    t.peindre(corps, degradeHorizontal(27, rgb(0xFFDA4C), 79, rgb(0xD6A600)));
    t.peindre(contour(corps, 1), rgb(0x9A7700));
    const Forme chapeau = rectangle(23, 144, 83, 153, 3);
    t.peindre(chapeau, degradeVertical(144, rgb(0xFFE27A), 153, rgb(0xC89A00)));
    t.peindre(contour(chapeau, 1), rgb(0x9A7700));
    const Forme panneau = rectangle(34, 166, 72, 226, 3);
    t.peindre(panneau, degradeHorizontal(34, rgb(0xE8382C), 72, rgb(0xB41E16)));
    t.peindre(contour(panneau, 1), rgb(0x7E140E));
    for (int i = 0; i < 4; ++i) {
        const double y = 206 + i * 4.5;
        t.peindre(trait({40, y}, {66, y}, 1.4), rgb(0x7E140E), 0.7); // vents
    }
    t.ecrireCentre("STOP", 53, 184, 1, blanc);
}

void lisse(Toile& t, Lisse position) {
    const double w = t.largeur();
    const double demi = 6;
    Forme corps;
    std::vector<Forme> bandes;
    if (position == Lisse::baissee) {
        corps = rectangle(pivotX - 4, pivotY - demi, w + 20, pivotY + demi, demi);
        for (double x = pivotX + 10; x < w + 20; x += 32)
            bandes.push_back(rectangle(x, 0, x + 16, 285));
    } else {
        corps = rectangle(pivotX - demi, -20, pivotX + demi, pivotY + 4, demi);
        for (double y = pivotY - 10; y > -40; y -= 32)
            bandes.push_back(rectangle(0, y - 16, w, y));
    }
    t.ombre(decaler(corps, 2, 2), 2, 0.3);
    t.peindre(corps, blanc);
    t.peindre(intersection(corps, unionDe(bandes)), rougeBarriere);
    // Round shading: lit from the upper left.
    if (position == Lisse::baissee) {
        t.peindre(corps, degradeVertical(pivotY - demi, blanc, pivotY + demi, rgb(0x000000)), 0.18);
    } else {
        t.peindre(corps, degradeHorizontal(pivotX - demi, blanc, pivotX + demi, rgb(0x000000)), 0.18);
    }
    t.peindre(contour(corps, 0.8), rgb(0x5A5A5A), 0.6);
    t.peindre(disque(pivotX, pivotY, 9),
              degradeVertical(pivotY - 9, rgb(0x8A8A8A), pivotY + 9, rgb(0x3A3A3A)));
    t.peindre(disque(pivotX, pivotY, 3.5), rgb(0xC8C8C8));
}

// A car facing the viewer or showing its back, standing in the lane right of the housing.
void voiture(Toile& t, Voiture sens) {
    const bool face = sens == Voiture::deFace;
    const Couleur teinte = face ? jauneVoiture : bleuVoiture;
    const Couleur clair = eclaircir(teinte, face ? 0.3 : 0.22), sombre = assombrir(teinte, 0.25);
    t.ombre(ellipse(161, 259, 72, 6), 4, 0.55);
    for (double x : {103.0, 199.0}) {
        t.peindre(rectangle(x, 234, x + 20, 262, 4), degradeVertical(234, rgb(0x303030), 262, rgb(0x0E0E0E)));
    }
    const Forme habitacle = polygone({{113, 157}, {209, 157}, {223, 199}, {99, 199}});
    t.peindre(habitacle, degradeVertical(157, clair, 199, teinte));
    t.peindre(contour(habitacle, 1), sombre);
    const Forme vitre = polygone({{118, 164}, {204, 164}, {215, 195}, {107, 195}});
    t.peindre(vitre, degradeVertical(164, face ? rgb(0x2B3F55) : rgb(0x182230), 195,
                                     face ? rgb(0x7894B0) : rgb(0x44566E)));
    t.peindre(polygone({{128, 195}, {150, 164}, {162, 164}, {140, 195}}), blanc, 0.18); // reflection
    t.peindre(polygone({{146, 195}, {168, 164}, {173, 164}, {151, 195}}), blanc, 0.12);
    if (!face) t.peindre(rectangle(145, 165, 177, 168, 1.5), rgb(0xE03030), 0.9); // third brake light
    for (double x : {94.0, 228.0})
        t.peindre(ellipse(x, 197, 6, 4), sombre); // mirrors
    const Forme caisse = rectangle(93, 195, 229, 250, 11);
    t.peindre(caisse, degradeVertical(195, clair, 250, assombrir(teinte, 0.12)));
    t.peindre(contour(caisse, 1), sombre);
    t.peindre(trait({104, 199.5}, {218, 199.5}, 1.5), blanc, 0.35);
    if (face) {
        for (double x : {113.0, 209.0}) {
            t.peindre(ellipse(x, 212, 11, 6.5), rgb(0x6A6A6A));
            t.peindre(ellipse(x, 212, 9.5, 5), degradeVertical(207, rgb(0xFFFFFF), 217, rgb(0xF4EBB0)));
        }
        const Forme calandre = rectangle(133, 205, 189, 220, 4);
        t.peindre(calandre, rgb(0x2A2A2A));
        for (double y = 209; y < 219; y += 3.5)
            t.peindre(trait({137, y}, {185, y}, 1), rgb(0x5E5E5E));
    } else {
        for (double x : {98.0, 200.0}) {
            const Forme feu = rectangle(x, 205, x + 24, 219, 3);
            t.peindre(feu, degradeVertical(205, rgb(0xFF5A4A), 219, rgb(0xA81410)));
            t.peindre(rectangle(x + 16 * (x > 150 ? 0 : 1), 212, x + 8 + 16 * (x > 150 ? 0 : 1), 218, 1.5),
                      rgb(0xF2A030));
        }
        t.peindre(trait({124, 212}, {198, 212}, 1.2), sombre); // boot lid
        t.peindre(ellipse(116, 252, 5, 2.5), rgb(0x2A2A2A));   // exhaust
    }
    t.peindre(rectangle(91, 228, 231, 241, 5), degradeVertical(228, rgb(0x4A4A4A), 241, rgb(0x222222)));
    const Forme plaque = rectangle(137, 229, 185, 240, 1.5);
    t.peindre(plaque, face ? blanc : rgb(0xF8F4E0));
    t.peindre(rectangle(137, 229, 141, 240, 1), rgb(0x1E4FC8));
    t.ecrire(face ? "AB-123" : "CD-456", 143, 231, 1, noir);
}

Toile imageBarriere(int largeur, Lisse position, Voiture v) {
    Toile t(largeur, 285, blanc);
    ciel(t);
    sol(t);
    if (v != Voiture::aucune) voiture(t, v);
    caisson(t);
    lisse(t, position);
    return t;
}

// ---------------------------------------------------------------- the lane plan (Image4, Image5)

constexpr double routeHaut = 84, routeBas = 140, ligneCloture = 136.5;

void arbre(Toile& t, double x, double y, double r) {
    t.ombre(disque(x + 2.5, y + 3, r), 2.5, 0.3);
    const Forme f = unionDe({disque(x, y, r), disque(x - r * 0.55, y + r * 0.3, r * 0.7),
                             disque(x + r * 0.55, y + r * 0.25, r * 0.72)});
    t.peindre(f, degradeVertical(y - r, rgb(0x5FB84A), y + r, rgb(0x2E7A2A)));
    t.peindre(disque(x - r * 0.3, y - r * 0.35, r * 0.35), blanc, 0.15);
}

// A car seen from above, its front toward the left.
void voitureDessus(Toile& t, double x, double y, Couleur teinte) {
    const Forme caisse = rectangle(x, y, x + 68, y + 28, 8);
    t.ombre(decaler(caisse, 2, 2.5), 2, 0.35);
    for (double rx : {x + 8, x + 48}) {
        t.peindre(rectangle(rx, y - 1.5, rx + 11, y + 29.5, 2), rgb(0x1A1A1A));
    }
    t.peindre(caisse, degradeVertical(y, eclaircir(teinte, 0.3), y + 28, assombrir(teinte, 0.1)));
    t.peindre(contour(caisse, 1), assombrir(teinte, 0.4));
    t.peindre(rectangle(x + 17, y + 3, x + 27, y + 25, 3), rgb(0x33475E));               // windscreen
    t.peindre(rectangle(x + 27, y + 3.5, x + 50, y + 24.5, 2), eclaircir(teinte, 0.15)); // roof
    t.peindre(rectangle(x + 50, y + 4, x + 57, y + 24, 2.5), rgb(0x33475E));             // rear window
    t.peindre(ellipse(x + 2.5, y + 5, 1.8, 3), rgb(0xFFF6C8));
    t.peindre(ellipse(x + 2.5, y + 23, 1.8, 3), rgb(0xFFF6C8));
}

Toile imagePlan(int largeur, Lisse position) {
    const double w = largeur;
    const Couleur texte = rgb(0x1F3D14);
    Toile t(largeur, 153, rgb(0xC2E4A6));
    t.peindre(rectangle(0, 0, w, 153), degradeVertical(0, rgb(0xCDEBB3), 153, rgb(0xB5DC98)));

    // Inside: the car park's bays.
    const Forme parc = rectangle(8, 40, 128, 70, 3);
    t.peindre(parc, rgb(0x9DA1A6));
    for (double x : {29.5, 108.5})
        t.peindre(rectangle(x, 42, x + 1.5, 68), rgb(0xF4F4F0));
    voitureDessus(t, 35.5, 41, bleuVoiture);
    t.ecrireCentre("Intérieur", 68, 20, 2, texte);
    t.ecrireCentre("PARKING", 68, 33, 1, texte);

    // Outside.
    t.ecrireCentre("Extérieur", 200, 20, 2, texte);
    arbre(t, 178, 54, 10);
    arbre(t, 226, 58, 12);

    // The fence, a column of posts down to the road.
    for (double y = 3; y + 5 <= routeHaut - 2; y += 8) {
        t.peindre(rectangle(ligneCloture - 2.5, y, ligneCloture + 2.5, y + 5, 0.8), rgb(0x5C5C5C));
        t.peindre(rectangle(ligneCloture - 1.5, y + 1, ligneCloture + 1, y + 2.5), rgb(0xA8A8A8));
    }

    // The road, with its two loops: each wider than the box laid over it (downstream under columns
    // 104..120, upstream under 152..168, both on rows 104..120).
    t.peindre(rectangle(0, routeHaut, w, routeBas),
              degradeVertical(routeHaut, rgb(0x8E9297), routeBas, rgb(0x7A7E84)));
    t.peindre(rectangle(0, routeHaut - 1.5, w, routeHaut + 0.5), rgb(0xDADCDD));
    t.peindre(rectangle(0, routeBas - 0.5, w, routeBas + 1.5), rgb(0xDADCDD));
    for (double cx : {112.5, 160.5}) {
        const Forme boucle = rectangle(cx - 17.5, 95, cx + 17.5, 130, 2);
        t.peindre(boucle, rgb(0xA3A7AC));
        t.peindre(contour(rectangle(cx - 16, 96.5, cx + 16, 128.5, 1.5), 2.2), rgb(0x26282B));
    }
    t.ecrireCentre("Aval", 112.5, 76, 1, texte);
    t.ecrireCentre("Amont", 160.5, 76, 1, texte);

    // The incoming car, entering from the right edge toward the upstream loop.
    voitureDessus(t, 196, 99, jauneVoiture);

    // Below the road: the barrier's housing on the fence line, and the user's post.
    const Forme caissonPlan = rectangle(ligneCloture - 6, 141.5, ligneCloture + 6, 151.5, 1.5);
    t.ombre(decaler(caissonPlan, 1, 1.5), 1.5, 0.3);
    t.peindre(caissonPlan, jauneCaisson);
    t.peindre(contour(caissonPlan, 0.8), rgb(0x9A7700));
    if (position == Lisse::baissee) {
        const Forme l = rectangle(ligneCloture - 2.5, routeHaut - 1, ligneCloture + 2.5, 146, 2.5);
        std::vector<Forme> bandes;
        for (double y = routeHaut - 1; y < 146; y += 12)
            bandes.push_back(rectangle(0, y, w, y + 6));
        t.ombre(decaler(l, 1.5, 1), 1.2, 0.35);
        t.peindre(l, blanc);
        t.peindre(intersection(l, unionDe(bandes)), rougeBarriere);
        t.peindre(contour(l, 0.7), rgb(0x5A5A5A), 0.7);
    } else {
        // Raised: from above, only its end shows on the housing.
        t.peindre(disque(ligneCloture, 146.5, 3), blanc);
        t.peindre(intersection(disque(ligneCloture, 146.5, 3), rectangle(ligneCloture - 3, 145.5, w, 147.5)),
                  rougeBarriere);
        t.peindre(contour(disque(ligneCloture, 146.5, 3), 0.7), rgb(0x5A5A5A));
    }
    t.peindre(disque(ligneCloture, 146.5, 1.2), rgb(0x3A3A3A), position == Lisse::baissee ? 1 : 0);
    t.ecrire("Barrière", 80, 143, 1, texte);
    const Forme borne = rectangle(152, 142, 165, 151, 2);
    t.ombre(decaler(borne, 1, 1.5), 1.5, 0.3);
    t.peindre(borne, degradeVertical(142, rgb(0xFFC088), 151, rgb(0xE89A5A)));
    t.peindre(contour(borne, 0.8), rgb(0x9A5A2A));
    t.peindre(rectangle(154.5, 143.5, 162.5, 146), rgb(0x202020));
    t.ecrire("Borne", 170, 143, 1, texte);
    return t;
}

// ---------------------------------------------------------------- the icon

constexpr std::uint32_t paletteIcone[16] = {
    0x000000, // transparent
    0x202020, 0x606060, 0x909090, 0xC8C8C8, 0xFFFFFF, 0xD42A20, 0x8A1A14, 0xF4C20D,
    0xB88A00, 0xFFE27A, 0x5A9BE0, 0xA8D0F5, 0x2F5FA8, 0x5FA145, 0x3A7A2A,
};

void dessinIcone(Toile& t) {
    const Forme fond = rectangle(1, 1, 31, 31, 5);
    t.peindre(fond, degradeVertical(1, rgb(0x3A7CD0), 22, rgb(0xB4D8F6)));
    t.peindre(intersection(fond, rectangle(0, 23, 32, 32)),
              degradeVertical(23, rgb(0x6FB04E), 31, rgb(0x3A7A2A)));
    t.peindre(disque(22, 7, 3), blanc, 0.9);
    t.peindre(disque(25.5, 8, 2.5), blanc, 0.9);
    const Forme corps = rectangle(4, 12, 11, 27, 1);
    t.peindre(corps, jauneCaisson);
    t.peindre(rectangle(5, 16, 10, 23), rougeBarriere);
    t.peindre(contour(corps, 1), rgb(0x202020));
    const Forme l = rectangle(9, 12, 32, 16, 2);
    std::vector<Forme> bandes;
    for (double x = 13; x < 32; x += 8)
        bandes.push_back(rectangle(x, 0, x + 4, 32));
    t.peindre(l, blanc);
    t.peindre(intersection(l, unionDe(bandes)), rougeBarriere);
    t.peindre(contour(l, 1), rgb(0x202020));
    t.peindre(rectangle(26, 16, 28, 26), rgb(0x606060));
    t.peindre(disque(10, 14, 2), rgb(0x202020));
    t.peindre(contour(fond, 1), rgb(0x2F5FA8));
}

} // namespace

Dimensions dimensionsImage(int numero) {
    switch (numero) {
    case 1: return {290, 462};
    case 2: return {244, 285};
    case 3:
    case 6:
    case 7: return {243, 285};
    case 4: return {259, 153};
    case 5: return {258, 153};
    default: throw std::out_of_range("no picture " + std::to_string(numero));
    }
}

Toile dessinerImage(int numero) {
    const int l = dimensionsImage(numero).largeur;
    switch (numero) {
    case 1: return imageBorne();
    case 2: return imageBarriere(l, Lisse::baissee, Voiture::aucune);
    case 3: return imageBarriere(l, Lisse::levee, Voiture::aucune);
    case 4: return imagePlan(l, Lisse::baissee);
    case 5: return imagePlan(l, Lisse::levee);
    case 6: return imageBarriere(l, Lisse::levee, Voiture::deDos);
    case 7: return imageBarriere(l, Lisse::levee, Voiture::deFace);
    default: throw std::out_of_range("no picture " + std::to_string(numero));
    }
}

Icone dessinerIcone() {
    // Drawn twice, over black and over white: the difference gives each pixel's coverage.
    Toile surNoir(Icone::cote, Icone::cote, rgb(0x000000)), surBlanc(Icone::cote, Icone::cote, blanc);
    dessinIcone(surNoir);
    dessinIcone(surBlanc);
    Icone icone;
    icone.transparent = 0;
    for (int i = 0; i < 16; ++i)
        icone.palette[i] = paletteIcone[i];
    for (int y = 0; y < Icone::cote; ++y) {
        for (int x = 0; x < Icone::cote; ++x) {
            const Couleur n = surNoir.pixel(x, y), b = surBlanc.pixel(x, y);
            const double alpha = 1 - ((b.r - n.r) + (b.g - n.g) + (b.b - n.b)) / 3;
            int meilleur = 0;
            if (alpha >= 0.5) {
                const Couleur c{n.r / alpha, n.g / alpha, n.b / alpha};
                double ecart = std::numeric_limits<double>::max();
                for (int i = 1; i < 16; ++i) {
                    const Couleur p = rgb(paletteIcone[i]);
                    const double e = std::pow(c.r - p.r, 2) * 0.3 + std::pow(c.g - p.g, 2) * 0.59 +
                                     std::pow(c.b - p.b, 2) * 0.11;
                    if (e < ecart) ecart = e, meilleur = i;
                }
            }
            icone.indices.push_back(static_cast<std::uint8_t>(meilleur));
        }
    }
    return icone;
}

} // namespace borne::dessin
