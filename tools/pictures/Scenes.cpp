#include "tools/pictures/Scenes.h"

#include "tools/pictures/Drawing.h"

#include <array>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace borne::pictures {

namespace {

// One light for every picture: from the upper left.
const QColor black = rgb(0x161616);
const QColor white = rgb(0xFFFFFF);
const QColor boomRed = rgb(0xD42A20);
const QColor housingYellow = rgb(0xF4C20D);
const QColor yellowCar = rgb(0xF2C12E);
const QColor blueCar = rgb(0x1D2D6B);

QPainterPath shifted(const QPainterPath& p, double dx, double dy) {
    return p.translated(dx, dy);
}

// ---------------------------------------------------------------- the terminal's front (Image1)

void pointingHand(Canvas& t) {
    const QColor green = rgb(0x2FA84F), darkGreen = rgb(0x1B6B30);
    const QPainterPath hand = unite({
        box(18, 139, 46, 169, 7),             // palm
        segment({42, 145.5}, {65, 145.5}, 8), // index finger, pointing at the slot
        segment({24, 141}, {42, 136.5}, 7),   // thumb along the top
        segment({42, 153}, {52, 153}, 7),     // folded fingers
        segment({42, 159.5}, {51, 159.5}, 7),
        segment({42, 165.5}, {49, 165.5}, 6),
    });
    const QPainterPath cuff = box(8, 137, 20, 171, 2.5);
    t.shadow(shifted(unite({hand, cuff}), 1.5, 2), 2.5, 0.25);
    t.fill(cuff, vertical(137, rgb(0xFFFFFF), 171, rgb(0xCFD6D0)));
    t.fill(outline(cuff, 1.2), darkGreen);
    t.fill(hand, vertical(134, lighten(green, 0.25), 170, green));
    t.fill(segment({43, 149.5}, {51, 149.5}, 1), darkGreen, 0.8);
    t.fill(segment({43, 156.3}, {50, 156.3}, 1), darkGreen, 0.8);
    t.fill(segment({43, 162.6}, {48, 162.6}, 1), darkGreen, 0.8);
    t.fill(outline(hand, 1.3), darkGreen);
    t.fill(segment({46, 143.5}, {60, 143.5}, 1.5), white, 0.35);
    t.fill(disc(64.5, 145.5, 2.2), rgb(0xBFE8C8), 0.7); // fingernail
}

void cardLabel(Canvas& t) {
    const QPainterPath label = box(8, 178, 70, 201, 3);
    t.shadow(shifted(label, 1, 1.5), 1.5, 0.2);
    t.fill(label, rgb(0xFFFDF6));
    t.fill(outline(label, 1), rgb(0x1B6B30));
    t.centredText("Carte", 39, 184.5, 1, rgb(0x1B6B30));
    t.centredText("à puce", 39, 194.5, 1, rgb(0x1B6B30));
}

void cardSlot(Canvas& t) {
    // The bar of the card box covers columns 80..256, rows 144..160 exactly: the slot's mouth.
    const QPainterPath frame = box(71, 135, 266, 170, 6);
    t.shadow(shifted(frame, 1, 2), 2.5, 0.3);
    t.fill(frame, vertical(135, rgb(0x3A3A3A), 170, black));
    t.fill(box(80, 144, 257, 161, 2), vertical(144, rgb(0x050505), 161, rgb(0x2C2C2C)));
    t.fill(segment({84, 152.5}, {253, 152.5}, 1.2), rgb(0x5A5A5A));
    t.fill(outline(box(72, 136, 265, 169, 5.5), 1), white, 0.15);
}

void attendantLabel(Canvas& t) {
    // Right of the call box (columns 144..160, rows 188..204).
    const QPainterPath label = box(166, 186, 274, 207, 4);
    const QColor blue = rgb(0x1E5AA8);
    t.shadow(shifted(label, 1, 1.5), 1.5, 0.25);
    t.fill(label, vertical(186, lighten(blue, 0.15), 207, darken(blue, 0.1)));
    // A small bell.
    const QPainterPath bell = unite({
        polygon({{174.5, 191}, {179.5, 191}, {181.5, 199}, {172.5, 199}}),
        disc(177, 192, 2.6),
        box(171, 198.5, 183, 200.5, 1),
    });
    t.fill(bell, white);
    t.fill(disc(177, 202, 1.3), white);
    t.text("APPEL GARDIEN", 189, 193, 1, white);
}

void numberSign(Canvas& t) {
    const QPainterPath square = box(24, 250, 104, 330, 6);
    t.shadow(shifted(square, 1.5, 2.5), 3, 0.3);
    t.fill(square, vertical(250, rgb(0xFFD84A), 330, rgb(0xE9B800)));
    t.fill(outline(square, 1.5), rgb(0xA07C00));
    const QPainterPath ground = box(34, 260, 94, 320, 4);
    t.fill(ground, vertical(260, rgb(0xE0372C), 320, rgb(0xB81E16)));
    t.fill(outline(ground, 1), rgb(0x7E140E));
    // The terminal's number.
    const QPainterPath digit = unite({
        segment({66, 273}, {66, 309}, 9),
        segment({66, 273}, {55, 282}, 8),
        segment({56, 309.5}, {76, 309.5}, 6),
    });
    t.shadow(shifted(digit, 1, 1.5), 1.5, 0.3);
    t.fill(digit, white);
}

void screw(Canvas& t, double x, double y) {
    t.fill(disc(x, y, 4), vertical(y - 4, rgb(0xF2F2F2), y + 4, rgb(0x9A9A9A)));
    t.fill(outline(disc(x, y, 4), 0.8), rgb(0x8A6A50));
    t.fill(segment({x - 2.3, y + 2.3}, {x + 2.3, y - 2.3}, 1.1), rgb(0x6A6A6A));
}

QImage terminalFront() {
    Canvas t(290, 462, rgb(0xE4E6EA));
    const QPainterPath body = box(3, 3, 286, 458, 22);
    t.shadow(shifted(body, 2, 3), 4, 0.35);
    t.fill(body, vertical(3, rgb(0xFFC088), 458, rgb(0xFFE8D4)));
    t.fill(outline(box(6, 6, 283, 455, 19), 1.5), white, 0.45);
    t.fill(outline(body, 2), rgb(0xD9864A));

    // The display: its white inside is exactly under the two display lines (columns 48..232,
    // rows 48..99), framed thick and black.
    const QPainterPath frame = box(35, 35, 246, 113, 9);
    t.shadow(shifted(frame, 1.5, 2.5), 3, 0.35);
    t.fill(frame, vertical(35, rgb(0x3A3A3A), 113, black));
    t.fill(outline(box(36, 36, 245, 112, 8), 1), white, 0.18);
    t.fill(box(46, 46, 235, 102, 2), rgb(0x000000));
    t.fill(box(48, 48, 233, 100), vertical(48, rgb(0xF4F6F4), 100, white));

    pointingHand(t);
    cardSlot(t);
    cardLabel(t);
    attendantLabel(t);
    numberSign(t);
    for (QPointF p : {QPointF{18, 18}, QPointF{271, 18}, QPointF{18, 443}, QPointF{271, 443}})
        screw(t, p.x(), p.y());
    return t.image();
}

// ---------------------------------------------------------------- the barrier view (Image2, 3, 7, 6)

enum class Boom { lowered, raised };
enum class Car { none, front, rear };

constexpr double pivotX = 72, pivotY = 158;

void sky(Canvas& t) {
    const double w = t.width();
    t.fill(box(0, 0, w, 200), vertical(0, rgb(0x2C6CC6), 200, rgb(0xA6D2F4)));
    auto cloud = [&t](double x, double y, double s) {
        const QPainterPath c = unite({
            disc(x - 18 * s, y + 4 * s, 11 * s),
            disc(x - 4 * s, y - 5 * s, 15 * s),
            disc(x + 13 * s, y, 12 * s),
            disc(x + 26 * s, y + 6 * s, 8 * s),
            box(x - 28 * s, y + 2 * s, x + 33 * s, y + 14 * s, 6 * s),
        });
        t.fill(c, vertical(y - 20 * s, white, y + 14 * s, rgb(0xD6E2EE)), 0.95);
    };
    cloud(168, 44, 1.0);
    cloud(58, 92, 0.7);
    cloud(214, 128, 0.55);
    cloud(20, 30, 0.5);
}

void ground(Canvas& t) {
    const double w = t.width();
    t.fill(box(0, 196, w, 216), vertical(196, rgb(0x86C35E), 216, rgb(0x5E9E44)));
    // A hedge along the horizon.
    std::vector<QPainterPath> hedge;
    for (int i = 0; i < 12; ++i) {
        const double x = 8 + i * 21.5, r = 7 + (i * 7 % 5);
        hedge.push_back(disc(x, 199 - r * 0.3, r));
    }
    t.fill(unite(hedge).intersected(box(0, 180, w, 204)), vertical(186, rgb(0x4F9A3A), 204, rgb(0x2F6E26)));
    t.fill(box(0, 214, w, 285), vertical(214, rgb(0x8E9297), 285, rgb(0x5C6066)));
    t.fill(box(0, 213, w, 216), rgb(0xC9CCCF));
    t.fill(box(96, 268, w, 273), rgb(0xF4F4F0), 0.9); // stop line of the lane
}

void housing(Canvas& t) {
    t.shadow(box(14, 244, 96, 254, 3), 3, 0.35);
    t.fill(box(16, 238, 90, 250, 2), vertical(238, rgb(0xD2D2CE), 250, rgb(0x9C9C98)));
    const QPainterPath body = box(27, 150, 79, 242, 4);
    t.shadow(shifted(body, 3, 1), 3, 0.25);
    t.fill(body, horizontal(27, rgb(0xFFDA4C), 79, rgb(0xD6A600)));
    t.fill(outline(body, 1), rgb(0x9A7700));
    const QPainterPath cap = box(23, 144, 83, 153, 3);
    t.fill(cap, vertical(144, rgb(0xFFE27A), 153, rgb(0xC89A00)));
    t.fill(outline(cap, 1), rgb(0x9A7700));
    const QPainterPath panel = box(34, 166, 72, 226, 3);
    t.fill(panel, horizontal(34, rgb(0xE8382C), 72, rgb(0xB41E16)));
    t.fill(outline(panel, 1), rgb(0x7E140E));
    for (int i = 0; i < 4; ++i) {
        const double y = 206 + i * 4.5;
        t.fill(segment({40, y}, {66, y}, 1.4), rgb(0x7E140E), 0.7); // vents
    }
    t.centredText("STOP", 53, 184, 1, white);
}

void boom(Canvas& t, Boom position) {
    const double w = t.width();
    const double half = 6;
    QPainterPath body;
    std::vector<QPainterPath> stripes;
    if (position == Boom::lowered) {
        body = box(pivotX - 4, pivotY - half, w + 20, pivotY + half, half);
        for (double x = pivotX + 10; x < w + 20; x += 32)
            stripes.push_back(box(x, 0, x + 16, 285));
    } else {
        body = box(pivotX - half, -20, pivotX + half, pivotY + 4, half);
        for (double y = pivotY - 10; y > -40; y -= 32)
            stripes.push_back(box(0, y - 16, w, y));
    }
    t.shadow(shifted(body, 2, 2), 2, 0.3);
    t.fill(body, white);
    t.fill(body.intersected(unite(stripes)), boomRed);
    // Round shading: lit from the upper left.
    if (position == Boom::lowered)
        t.fill(body, vertical(pivotY - half, white, pivotY + half, rgb(0x000000)), 0.18);
    else
        t.fill(body, horizontal(pivotX - half, white, pivotX + half, rgb(0x000000)), 0.18);
    t.fill(outline(body, 0.8), rgb(0x5A5A5A), 0.6);
    t.fill(disc(pivotX, pivotY, 9), vertical(pivotY - 9, rgb(0x8A8A8A), pivotY + 9, rgb(0x3A3A3A)));
    t.fill(disc(pivotX, pivotY, 3.5), rgb(0xC8C8C8));
}

// A car facing the viewer or showing its back, standing in the lane right of the housing.
void car(Canvas& t, Car side) {
    const bool front = side == Car::front;
    const QColor paint = front ? yellowCar : blueCar;
    const QColor light = lighten(paint, front ? 0.3 : 0.22), dark = darken(paint, 0.25);
    t.shadow(oval(161, 259, 72, 6), 4, 0.55);
    for (double x : {103.0, 199.0})
        t.fill(box(x, 234, x + 20, 262, 4), vertical(234, rgb(0x303030), 262, rgb(0x0E0E0E)));
    const QPainterPath cabin = polygon({{113, 157}, {209, 157}, {223, 199}, {99, 199}});
    t.fill(cabin, vertical(157, light, 199, paint));
    t.fill(outline(cabin, 1), dark);
    const QPainterPath glass = polygon({{118, 164}, {204, 164}, {215, 195}, {107, 195}});
    t.fill(glass,
           vertical(164, front ? rgb(0x2B3F55) : rgb(0x182230), 195, front ? rgb(0x7894B0) : rgb(0x44566E)));
    t.fill(polygon({{128, 195}, {150, 164}, {162, 164}, {140, 195}}), white, 0.18); // reflection
    t.fill(polygon({{146, 195}, {168, 164}, {173, 164}, {151, 195}}), white, 0.12);
    if (!front) t.fill(box(145, 165, 177, 168, 1.5), rgb(0xE03030), 0.9); // third brake light
    for (double x : {94.0, 228.0})
        t.fill(oval(x, 197, 6, 4), dark); // mirrors
    const QPainterPath shell = box(93, 195, 229, 250, 11);
    t.fill(shell, vertical(195, light, 250, darken(paint, 0.12)));
    t.fill(outline(shell, 1), dark);
    t.fill(segment({104, 199.5}, {218, 199.5}, 1.5), white, 0.35);
    if (front) {
        for (double x : {113.0, 209.0}) {
            t.fill(oval(x, 212, 11, 6.5), rgb(0x6A6A6A));
            t.fill(oval(x, 212, 9.5, 5), vertical(207, rgb(0xFFFFFF), 217, rgb(0xF4EBB0)));
        }
        t.fill(box(133, 205, 189, 220, 4), rgb(0x2A2A2A)); // grille
        for (double y = 209; y < 219; y += 3.5)
            t.fill(segment({137, y}, {185, y}, 1), rgb(0x5E5E5E));
    } else {
        for (double x : {98.0, 200.0}) {
            t.fill(box(x, 205, x + 24, 219, 3), vertical(205, rgb(0xFF5A4A), 219, rgb(0xA81410)));
            const double inner = x > 150 ? x : x + 16; // the indicators on the inner side
            t.fill(box(inner, 212, inner + 8, 218, 1.5), rgb(0xF2A030));
        }
        t.fill(segment({124, 212}, {198, 212}, 1.2), dark); // boot lid
        t.fill(oval(116, 252, 5, 2.5), rgb(0x2A2A2A));      // exhaust
    }
    t.fill(box(91, 228, 231, 241, 5), vertical(228, rgb(0x4A4A4A), 241, rgb(0x222222)));
    t.fill(box(137, 229, 185, 240, 1.5), front ? white : rgb(0xF8F4E0)); // number plate
    t.fill(box(137, 229, 141, 240, 1), rgb(0x1E4FC8));
    t.text(front ? "AB-123" : "CD-456", 143, 231, 1, black);
}

QImage barrierView(int width, Boom position, Car c) {
    Canvas t(width, 285, white);
    sky(t);
    ground(t);
    if (c != Car::none) car(t, c);
    housing(t);
    boom(t, position);
    return t.image();
}

// ---------------------------------------------------------------- the lane plan (Image4, Image5)

constexpr double roadTop = 84, roadBottom = 140, fenceLine = 136.5;

void tree(Canvas& t, double x, double y, double r) {
    t.shadow(disc(x + 2.5, y + 3, r), 2.5, 0.3);
    const QPainterPath crown = unite({disc(x, y, r), disc(x - r * 0.55, y + r * 0.3, r * 0.7),
                                      disc(x + r * 0.55, y + r * 0.25, r * 0.72)});
    t.fill(crown, vertical(y - r, rgb(0x5FB84A), y + r, rgb(0x2E7A2A)));
    t.fill(disc(x - r * 0.3, y - r * 0.35, r * 0.35), white, 0.15);
}

// A car seen from above, its front toward the left.
void carFromAbove(Canvas& t, double x, double y, const QColor& paint) {
    const QPainterPath shell = box(x, y, x + 68, y + 28, 8);
    t.shadow(shifted(shell, 2, 2.5), 2, 0.35);
    for (double wheel : {x + 8, x + 48})
        t.fill(box(wheel, y - 1.5, wheel + 11, y + 29.5, 2), rgb(0x1A1A1A));
    t.fill(shell, vertical(y, lighten(paint, 0.3), y + 28, darken(paint, 0.1)));
    t.fill(outline(shell, 1), darken(paint, 0.4));
    t.fill(box(x + 17, y + 3, x + 27, y + 25, 3), rgb(0x33475E));            // windscreen
    t.fill(box(x + 27, y + 3.5, x + 50, y + 24.5, 2), lighten(paint, 0.15)); // roof
    t.fill(box(x + 50, y + 4, x + 57, y + 24, 2.5), rgb(0x33475E));          // rear window
    t.fill(oval(x + 2.5, y + 5, 1.8, 3), rgb(0xFFF6C8));
    t.fill(oval(x + 2.5, y + 23, 1.8, 3), rgb(0xFFF6C8));
}

// Inside: the car park's bays, one taken.
void carPark(Canvas& t, const QColor& ink) {
    t.fill(box(8, 40, 128, 70, 3), rgb(0x9DA1A6));
    for (double x : {29.5, 108.5})
        t.fill(box(x, 42, x + 1.5, 68), rgb(0xF4F4F0));
    carFromAbove(t, 35.5, 41, blueCar);
    t.centredText("Intérieur", 68, 20, 2, ink);
    t.centredText("PARKING", 68, 33, 1, ink);
}

// The fence, a column of posts down to the road.
void fence(Canvas& t) {
    for (double y = 3; y + 5 <= roadTop - 2; y += 8) {
        t.fill(box(fenceLine - 2.5, y, fenceLine + 2.5, y + 5, 0.8), rgb(0x5C5C5C));
        t.fill(box(fenceLine - 1.5, y + 1, fenceLine + 1, y + 2.5), rgb(0xA8A8A8));
    }
}

// The road, with its two loops: each wider than the box laid over it (downstream under columns 104..120,
// upstream under 152..168, both on rows 104..120).
void road(Canvas& t, const QColor& ink) {
    const double w = t.width();
    t.fill(box(0, roadTop, w, roadBottom), vertical(roadTop, rgb(0x8E9297), roadBottom, rgb(0x7A7E84)));
    t.fill(box(0, roadTop - 1.5, w, roadTop + 0.5), rgb(0xDADCDD));
    t.fill(box(0, roadBottom - 0.5, w, roadBottom + 1.5), rgb(0xDADCDD));
    for (double cx : {112.5, 160.5}) {
        t.fill(box(cx - 17.5, 95, cx + 17.5, 130, 2), rgb(0xA3A7AC));
        t.fill(outline(box(cx - 16, 96.5, cx + 16, 128.5, 1.5), 2.2), rgb(0x26282B));
    }
    t.centredText("Aval", 112.5, 76, 1, ink);
    t.centredText("Amont", 160.5, 76, 1, ink);
}

// Below the road, on the fence line: the barrier's housing and its boom, across the road when lowered.
void barrierFromAbove(Canvas& t, Boom position, const QColor& ink) {
    const double w = t.width();
    const QPainterPath housingSeenFromAbove = box(fenceLine - 6, 141.5, fenceLine + 6, 151.5, 1.5);
    t.shadow(shifted(housingSeenFromAbove, 1, 1.5), 1.5, 0.3);
    t.fill(housingSeenFromAbove, housingYellow);
    t.fill(outline(housingSeenFromAbove, 0.8), rgb(0x9A7700));
    if (position == Boom::lowered) {
        const QPainterPath arm = box(fenceLine - 2.5, roadTop - 1, fenceLine + 2.5, 146, 2.5);
        std::vector<QPainterPath> stripes;
        for (double y = roadTop - 1; y < 146; y += 12)
            stripes.push_back(box(0, y, w, y + 6));
        t.shadow(shifted(arm, 1.5, 1), 1.2, 0.35);
        t.fill(arm, white);
        t.fill(arm.intersected(unite(stripes)), boomRed);
        t.fill(outline(arm, 0.7), rgb(0x5A5A5A), 0.7);
        t.fill(disc(fenceLine, 146.5, 1.2), rgb(0x3A3A3A));
    } else {
        // Raised: from above, only its end shows on the housing.
        t.fill(disc(fenceLine, 146.5, 3), white);
        t.fill(disc(fenceLine, 146.5, 3).intersected(box(fenceLine - 3, 145.5, w, 147.5)), boomRed);
        t.fill(outline(disc(fenceLine, 146.5, 3), 0.7), rgb(0x5A5A5A));
    }
    t.text("Barrière", 80, 143, 1, ink);
}

// The user's post, below the road beside the barrier.
void postFromAbove(Canvas& t, const QColor& ink) {
    const QPainterPath post = box(152, 142, 165, 151, 2);
    t.shadow(shifted(post, 1, 1.5), 1.5, 0.3);
    t.fill(post, vertical(142, rgb(0xFFC088), 151, rgb(0xE89A5A)));
    t.fill(outline(post, 0.8), rgb(0x9A5A2A));
    t.fill(box(154.5, 143.5, 162.5, 146), rgb(0x202020));
    t.text("Borne", 170, 143, 1, ink);
}

QImage lanePlan(int width, Boom position) {
    const double w = width;
    const QColor ink = rgb(0x1F3D14);
    Canvas t(width, 153, rgb(0xC2E4A6));
    t.fill(box(0, 0, w, 153), vertical(0, rgb(0xCDEBB3), 153, rgb(0xB5DC98)));
    carPark(t, ink);
    // Outside.
    t.centredText("Extérieur", 200, 20, 2, ink);
    tree(t, 178, 54, 10);
    tree(t, 226, 58, 12);
    fence(t);
    road(t, ink);
    // The incoming car, entering from the right edge toward the upstream loop.
    carFromAbove(t, 196, 99, yellowCar);
    barrierFromAbove(t, position, ink);
    postFromAbove(t, ink);
    return t.image();
}

// ---------------------------------------------------------------- the icon

// Index 0 is transparent.
constexpr std::array<std::uint32_t, 16> iconPalette = {
    0x000000, 0x202020, 0x606060, 0x909090, 0xC8C8C8, 0xFFFFFF, 0xD42A20, 0x8A1A14,
    0xF4C20D, 0xB88A00, 0xFFE27A, 0x5A9BE0, 0xA8D0F5, 0x2F5FA8, 0x5FA145, 0x3A7A2A,
};

QImage iconInFullColour() {
    Canvas t(32, 32, Qt::transparent);
    const QPainterPath tile = box(1, 1, 31, 31, 5);
    t.fill(tile, vertical(1, rgb(0x3A7CD0), 22, rgb(0xB4D8F6)));
    t.fill(tile.intersected(box(0, 23, 32, 32)), vertical(23, rgb(0x6FB04E), 31, rgb(0x3A7A2A)));
    t.fill(disc(22, 7, 3), white, 0.9);
    t.fill(disc(25.5, 8, 2.5), white, 0.9);
    const QPainterPath post = box(4, 12, 11, 27, 1);
    t.fill(post, housingYellow);
    t.fill(box(5, 16, 10, 23), boomRed);
    t.fill(outline(post, 1), rgb(0x202020));
    const QPainterPath arm = box(9, 12, 32, 16, 2);
    std::vector<QPainterPath> stripes;
    for (double x = 13; x < 32; x += 8)
        stripes.push_back(box(x, 0, x + 4, 32));
    t.fill(arm, white);
    t.fill(arm.intersected(unite(stripes)), boomRed);
    t.fill(outline(arm, 1), rgb(0x202020));
    t.fill(box(26, 16, 28, 26), rgb(0x606060));
    t.fill(disc(10, 14, 2), rgb(0x202020));
    t.fill(outline(tile, 1), rgb(0x2F5FA8));
    return t.image().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

QSize pictureSize(int number) {
    switch (number) {
    case 1: return {290, 462};
    case 2: return {244, 285};
    case 3:
    case 6:
    case 7: return {243, 285};
    case 4: return {259, 153};
    case 5: return {258, 153};
    default: throw std::out_of_range("no picture " + std::to_string(number));
    }
}

QImage drawPicture(int number) {
    const int w = pictureSize(number).width();
    QImage drawn;
    switch (number) {
    case 1: drawn = terminalFront(); break;
    case 2: drawn = barrierView(w, Boom::lowered, Car::none); break;
    case 3: drawn = barrierView(w, Boom::raised, Car::none); break;
    case 4: drawn = lanePlan(w, Boom::lowered); break;
    case 5: drawn = lanePlan(w, Boom::raised); break;
    case 6: drawn = barrierView(w, Boom::raised, Car::rear); break;
    case 7: drawn = barrierView(w, Boom::raised, Car::front); break;
    default: throw std::out_of_range("no picture " + std::to_string(number));
    }
    return drawn.convertToFormat(QImage::Format_RGB32);
}

QImage drawIcon() {
    // Each pixel half covered or more takes the nearest colour of the palette, weighted as the eye
    // weighs them; the rest is transparent.
    const QImage full = iconInFullColour();
    QImage icon(32, 32, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (std::uint32_t c : iconPalette)
        table.push_back(table.empty() ? qRgba(0, 0, 0, 0) : (0xFF000000u | c));
    icon.setColorTable(table);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb c = full.pixel(x, y);
            int best = 0;
            if (qAlpha(c) >= 128) {
                double nearest = std::numeric_limits<double>::max();
                for (int i = 1; i < 16; ++i) {
                    const QRgb p = table[i];
                    const double dr = qRed(c) - qRed(p), dg = qGreen(c) - qGreen(p), db = qBlue(c) - qBlue(p);
                    const double e = dr * dr * 0.3 + dg * dg * 0.59 + db * db * 0.11;
                    if (e < nearest) nearest = e, best = i;
                }
            }
            icon.setPixel(x, y, static_cast<uint>(best));
        }
    }
    return icon;
}

} // namespace borne::pictures
