#include "Toile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace borne::dessin {

namespace {

double borner(double v, double lo, double hi) {
    return std::min(std::max(v, lo), hi);
}

// Distance to an axis-aligned box given by its centre and half sizes, with rounded corners.
double distanceBoite(double x, double y, double cx, double cy, double hx, double hy, double r) {
    const double qx = std::abs(x - cx) - (hx - r);
    const double qy = std::abs(y - cy) - (hy - r);
    const double dehors = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return dehors + std::min(std::max(qx, qy), 0.0) - r;
}

} // namespace

Couleur melanger(Couleur a, Couleur b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Couleur eclaircir(Couleur c, double t) {
    return melanger(c, {1, 1, 1}, t);
}
Couleur assombrir(Couleur c, double t) {
    return melanger(c, {0, 0, 0}, t);
}

Forme rectangle(double x0, double y0, double x1, double y1, double rayon) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    const double r = std::min({rayon, hx, hy});
    return {[=](double x, double y) { return distanceBoite(x, y, cx, cy, hx, hy, r); }, x0, y0, x1, y1};
}

Forme disque(double cx, double cy, double r) {
    return {[=](double x, double y) { return std::hypot(x - cx, y - cy) - r; }, cx - r, cy - r, cx + r,
            cy + r};
}

Forme ellipse(double cx, double cy, double rx, double ry) {
    // Distance scaled by the local gradient: exact enough for the one-pixel edge band.
    return {[=](double x, double y) {
                const double u = (x - cx) / rx, v = (y - cy) / ry;
                const double k = std::hypot(u, v);
                const double g = std::hypot(u / rx, v / ry);
                if (g < 1e-12) return -std::min(rx, ry);
                return k * (k - 1) / g;
            },
            cx - rx, cy - ry, cx + rx, cy + ry};
}

Forme trait(Point a, Point b, double epaisseur) {
    const double r = epaisseur / 2;
    return {[=](double x, double y) {
                const double px = x - a.x, py = y - a.y, bx = b.x - a.x, by = b.y - a.y;
                const double l2 = bx * bx + by * by;
                const double h = l2 > 0 ? borner((px * bx + py * by) / l2, 0, 1) : 0;
                return std::hypot(px - bx * h, py - by * h) - r;
            },
            std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r, std::max(a.y, b.y) + r};
}

Forme polygone(std::vector<Point> s) {
    double x0 = s[0].x, y0 = s[0].y, x1 = x0, y1 = y0;
    for (const Point& p : s) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    return {[s = std::move(s)](double x, double y) {
                double d = std::numeric_limits<double>::max();
                bool dedans = false;
                for (std::size_t i = 0, j = s.size() - 1; i < s.size(); j = i++) {
                    const double ex = s[j].x - s[i].x, ey = s[j].y - s[i].y;
                    const double wx = x - s[i].x, wy = y - s[i].y;
                    const double l2 = ex * ex + ey * ey;
                    const double h = l2 > 0 ? borner((wx * ex + wy * ey) / l2, 0, 1) : 0;
                    d = std::min(d, std::hypot(wx - ex * h, wy - ey * h));
                    if ((s[i].y > y) != (s[j].y > y) && x < s[i].x + ex * (y - s[i].y) / ey) dedans = !dedans;
                }
                return dedans ? -d : d;
            },
            x0, y0, x1, y1};
}

Forme unionDe(std::vector<Forme> formes) {
    double x0 = formes[0].x0, y0 = formes[0].y0, x1 = formes[0].x1, y1 = formes[0].y1;
    for (const Forme& f : formes) {
        x0 = std::min(x0, f.x0), y0 = std::min(y0, f.y0), x1 = std::max(x1, f.x1), y1 = std::max(y1, f.y1);
    }
    return {[formes = std::move(formes)](double x, double y) {
                double d = std::numeric_limits<double>::max();
                for (const Forme& f : formes) {
                    // Outside its box, a member is never closer than the box: skip it when the box is
                    // already farther than the nearest edge found.
                    const double bx = std::max({f.x0 - x, 0.0, x - f.x1});
                    const double by = std::max({f.y0 - y, 0.0, y - f.y1});
                    const double versBoite = std::hypot(bx, by);
                    if (versBoite > 0 && versBoite >= d) continue;
                    d = std::min(d, f.distance(x, y));
                }
                return d;
            },
            x0, y0, x1, y1};
}

Forme intersection(Forme a, Forme b) {
    const double x0 = std::max(a.x0, b.x0), y0 = std::max(a.y0, b.y0);
    const double x1 = std::min(a.x1, b.x1), y1 = std::min(a.y1, b.y1);
    return {[a = std::move(a), b = std::move(b)](double x, double y) {
                return std::max(a.distance(x, y), b.distance(x, y));
            },
            x0, y0, x1, y1};
}

Forme difference(Forme a, Forme b) {
    const double x0 = a.x0, y0 = a.y0, x1 = a.x1, y1 = a.y1;
    return {[a = std::move(a), b = std::move(b)](double x, double y) {
                return std::max(a.distance(x, y), -b.distance(x, y));
            },
            x0, y0, x1, y1};
}

Forme contour(Forme f, double epaisseur) {
    const double h = epaisseur / 2;
    const double x0 = f.x0 - h, y0 = f.y0 - h, x1 = f.x1 + h, y1 = f.y1 + h;
    return {[f = std::move(f), h](double x, double y) { return std::abs(f.distance(x, y)) - h; }, x0, y0, x1,
            y1};
}

Forme decaler(Forme f, double dx, double dy) {
    const double x0 = f.x0 + dx, y0 = f.y0 + dy, x1 = f.x1 + dx, y1 = f.y1 + dy;
    return {[f = std::move(f), dx, dy](double x, double y) { return f.distance(x - dx, y - dy); }, x0, y0, x1,
            y1};
}

Peinture uni(Couleur c) {
    return [c](double, double) { return c; };
}

Peinture degradeVertical(double y0, Couleur haut, double y1, Couleur bas) {
    return [=](double, double y) { return melanger(haut, bas, borner((y - y0) / (y1 - y0), 0, 1)); };
}

Peinture degradeHorizontal(double x0, Couleur gauche, double x1, Couleur droite) {
    return [=](double x, double) { return melanger(gauche, droite, borner((x - x0) / (x1 - x0), 0, 1)); };
}

Toile::Toile(int largeur, int hauteur, Couleur fond)
    : largeur_(largeur), hauteur_(hauteur), pixels_(static_cast<std::size_t>(largeur) * hauteur, fond) {}

void Toile::peindre(const Forme& f, const Peinture& p, double opacite) {
    const int i0 = std::max(0, static_cast<int>(std::floor(f.x0)) - 1);
    const int j0 = std::max(0, static_cast<int>(std::floor(f.y0)) - 1);
    const int i1 = std::min(largeur_ - 1, static_cast<int>(std::ceil(f.x1)) + 1);
    const int j1 = std::min(hauteur_ - 1, static_cast<int>(std::ceil(f.y1)) + 1);
    for (int j = j0; j <= j1; ++j) {
        for (int i = i0; i <= i1; ++i) {
            const double x = i + 0.5, y = j + 0.5;
            const double couverture = borner(0.5 - f.distance(x, y), 0, 1) * opacite;
            if (couverture <= 0) continue;
            Couleur& c = pixels_[static_cast<std::size_t>(j) * largeur_ + i];
            c = melanger(c, p(x, y), couverture);
        }
    }
}

void Toile::ombre(const Forme& f, double flou, double opacite) {
    const int i0 = std::max(0, static_cast<int>(std::floor(f.x0 - flou)));
    const int j0 = std::max(0, static_cast<int>(std::floor(f.y0 - flou)));
    const int i1 = std::min(largeur_ - 1, static_cast<int>(std::ceil(f.x1 + flou)));
    const int j1 = std::min(hauteur_ - 1, static_cast<int>(std::ceil(f.y1 + flou)));
    for (int j = j0; j <= j1; ++j) {
        for (int i = i0; i <= i1; ++i) {
            const double d = f.distance(i + 0.5, j + 0.5);
            // A smooth step across [-flou, flou] around the edge.
            const double t = borner(0.5 - d / (2 * flou), 0, 1);
            const double a = t * t * (3 - 2 * t) * opacite;
            Couleur& c = pixels_[static_cast<std::size_t>(j) * largeur_ + i];
            c = assombrir(c, a);
        }
    }
}

Couleur Toile::pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * largeur_ + x];
}

std::vector<unsigned char> Toile::octets() const {
    std::vector<unsigned char> sortie;
    sortie.reserve(pixels_.size() * 3);
    for (const Couleur& c : pixels_) {
        for (double v : {c.r, c.g, c.b}) {
            sortie.push_back(static_cast<unsigned char>(std::lround(borner(v, 0, 1) * 255)));
        }
    }
    return sortie;
}

} // namespace borne::dessin
