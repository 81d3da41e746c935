// A small anti-aliased painter: shapes are signed distance functions, painted with a coverage taken from
// the distance to their edge, so every outline is smooth without any supersampling.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace borne::dessin {

struct Couleur {
    double r = 0, g = 0, b = 0;
};

// 0xRRGGBB, the way the drawings write their colours.
constexpr Couleur rgb(std::uint32_t v) {
    return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}
Couleur melanger(Couleur a, Couleur b, double t);
Couleur eclaircir(Couleur c, double t); // towards white
Couleur assombrir(Couleur c, double t); // towards black

struct Point {
    double x = 0, y = 0;
};

// A shape: signed distance in pixels from (x, y) to its edge, negative inside; plus a bounding box
// outside which it covers nothing (so painting only visits the pixels that matter).
struct Forme {
    std::function<double(double, double)> distance;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Pixel (i, j) covers [i, i+1) x [j, j+1); shapes use the same continuous coordinates.
Forme rectangle(double x0, double y0, double x1, double y1, double rayon = 0);
Forme disque(double cx, double cy, double r);
Forme ellipse(double cx, double cy, double rx, double ry);
Forme trait(Point a, Point b, double epaisseur); // a segment with round ends
Forme polygone(std::vector<Point> sommets);
Forme unionDe(std::vector<Forme> formes);
Forme intersection(Forme a, Forme b);
Forme difference(Forme a, Forme b);
Forme contour(Forme f, double epaisseur); // a band of that width centred on the edge
Forme decaler(Forme f, double dx, double dy);

using Peinture = std::function<Couleur(double, double)>;
Peinture uni(Couleur c);
Peinture degradeVertical(double y0, Couleur haut, double y1, Couleur bas);
Peinture degradeHorizontal(double x0, Couleur gauche, double x1, Couleur droite);

class Toile {
public:
    Toile(int largeur, int hauteur, Couleur fond);

    int largeur() const { return largeur_; }
    int hauteur() const { return hauteur_; }

    void peindre(const Forme& f, const Peinture& p, double opacite = 1.0);
    void peindre(const Forme& f, Couleur c, double opacite = 1.0) { peindre(f, uni(c), opacite); }
    // A soft shadow: the shape blurred over `flou` pixels.
    void ombre(const Forme& f, double flou, double opacite);

    // Text in the built-in 5 x 7 font, each font pixel `echelle` pixels wide; (x, y) is the top left of
    // the first character cell. Texts are UTF-8; characters the font lacks are drawn as '?'.
    void ecrire(std::string_view texte, double x, double y, double echelle, Couleur c);
    static double largeurTexte(std::string_view texte, double echelle);
    static double hauteurTexte(double echelle) { return 7 * echelle; }
    // Centred on (cx, cy).
    void ecrireCentre(std::string_view texte, double cx, double cy, double echelle, Couleur c);

    Couleur pixel(int x, int y) const;
    // 8-bit R, G, B per pixel, rows top to bottom.
    std::vector<unsigned char> octets() const;

private:
    int largeur_, hauteur_;
    std::vector<Couleur> pixels_;
};

} // namespace borne::dessin
