// Where the state diagram's boxes and arrows go: laid out once, when the project is built, by Graphviz
// from the transitions the table allows, and compiled in. Units are the layout's points, y downwards.
#pragma once

#include <cstddef>
#include <span>

namespace borne::bench {

struct NodePlace {
    int state;
    double x, y, width, height; // centre and size
    const char* label;          // the number and the name, in lines; the turn count follows it
};

struct EdgePlace {
    int from, to;
    std::size_t first, count; // into points(): a start point, then three per cubic Bezier segment
};

struct Point {
    double x, y;
};

struct StateLayout {
    double width, height;
    std::span<const NodePlace> nodes;
    std::span<const EdgePlace> edges;
    std::span<const Point> points;
};

const StateLayout& stateLayout() noexcept;

} // namespace borne::bench
