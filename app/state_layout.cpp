// borne-state-layout: the build's helper for the bench window's state diagram.
//   borne-state-layout graph OUT         writes the graph of the states and the transitions the table allows
//   borne-state-layout source PLAIN OUT  turns Graphviz's plain output of that graph into StateLayout's
//   source
#include "base/Codes.h"
#include "control/Codes.h"
#include "control/TableEtats.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The name the diagram draws: the journal's, without the prefix every state shares.
std::string shortName(int state) {
    const char* name = ::nomEtatCode(state);
    std::string n = name != nullptr ? name : "?";
    return n.starts_with("ETAT_") ? n.substr(5) : n;
}

// What a box says: the number and the name, broken at underscores into lines of at most 14 letters
// where it can, so that the diagram is narrow enough for its labels to be read at the bench's width.
std::string label(int state) {
    std::string out = std::to_string(state);
    std::size_t lineStart = 0;
    char joint = ' ';
    const std::string name = shortName(state);
    for (std::string_view rest = name; !rest.empty();) {
        const std::size_t end = std::min(rest.find('_'), rest.size());
        if (joint == '_' && out.size() - lineStart + 1 + end > 14) {
            joint = '\n';
            lineStart = out.size() + 1;
        }
        out += joint;
        out += rest.substr(0, end);
        joint = '_';
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return out;
}

// A label as C++ and as Graphviz write it: its line ends escaped.
std::string escaped(const std::string& text) {
    std::string e;
    for (const char c : text)
        e += c == '\n' ? std::string("\\n") : std::string(1, c);
    return e;
}

int graph(std::ostream& out) {
    // The boxes are sized for 12-point labels, which the program draws at 12 pixels at the least.
    out << "digraph states {\n"
           "  nodesep=0.1; ranksep=0.2;\n"
           "  node [shape=box, style=rounded, fontname=\"Helvetica\", fontsize=12, margin=\"0.06,0.03\"];\n"
           "  { rank=same; s0; s15; s16; s17; }\n";
    for (int s = 0; s < NB_ETATS; ++s)
        // The label sizes the box, with room for the turn count the program writes after it.
        out << "  s" << s << " [label=\"" << escaped(label(s)) << "  99999\"];\n";
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            if (borne::transitionPermise(s, t)) out << "  s" << s << " -> s" << t << ";\n";
    out << "}\n";
    return out ? 0 : 1;
}

int state(const std::string& name) {
    return name.size() > 1 && name[0] == 's' ? std::stoi(name.substr(1)) : -1;
}

int source(const char* file, std::ostream& out) {
    std::ifstream in(file);
    if (!in) {
        std::fprintf(stderr, "borne-state-layout: cannot read %s\n", file);
        return 1;
    }
    constexpr double kPoints = 72; // Graphviz's plain output is in inches
    double width = 0, height = 0;
    std::ostringstream nodes, edges, points;
    std::size_t nbNodes = 0, nbEdges = 0, nbPoints = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream l(line);
        std::string kind;
        if (!(l >> kind)) continue;
        if (kind == "graph") {
            double scale;
            l >> scale >> width >> height;
        } else if (kind == "node") {
            std::string name;
            double x, y, w, h;
            l >> name >> x >> y >> w >> h;
            const int s = state(name);
            if (s < 0 || s >= NB_ETATS) {
                std::fprintf(stderr, "borne-state-layout: no state %s\n", name.c_str());
                return 1;
            }
            nodes << "    {" << s << ", " << x * kPoints << ", " << (height - y) * kPoints << ", "
                  << w * kPoints << ", " << h * kPoints << ", \"" << escaped(label(s)) << "\"},\n";
            ++nbNodes;
        } else if (kind == "edge") {
            std::string tail, head;
            std::size_t n;
            l >> tail >> head >> n;
            edges << "    {" << state(tail) << ", " << state(head) << ", " << nbPoints << ", " << n << "},\n";
            for (std::size_t i = 0; i < n; ++i) {
                double x, y;
                l >> x >> y;
                points << "    {" << x * kPoints << ", " << (height - y) * kPoints << "},\n";
            }
            nbPoints += n;
            ++nbEdges;
        }
        if (!l && kind != "stop") {
            std::fprintf(stderr, "borne-state-layout: cannot read the line: %s\n", line.c_str());
            return 1;
        }
    }
    if (nbNodes != NB_ETATS || static_cast<int>(nbEdges) != borne::NB_TRANSITIONS_PERMISES) {
        std::fprintf(stderr, "borne-state-layout: %zu states and %zu transitions, not %d and %d\n", nbNodes,
                     nbEdges, NB_ETATS, borne::NB_TRANSITIONS_PERMISES);
        return 1;
    }
    out << "// Made by borne-state-layout from Graphviz's layout when the project was built.\n"
           "#include \"app/StateLayout.h\"\n\nnamespace borne::bench {\nnamespace {\n"
           "constexpr NodePlace kNodes[] = {\n"
        << nodes.str() << "};\nconstexpr EdgePlace kEdges[] = {\n"
        << edges.str() << "};\nconstexpr Point kPoints[] = {\n"
        << points.str() << "};\n} // namespace\n\nconst StateLayout& stateLayout() noexcept {\n"
        << "    static const StateLayout layout{" << width * kPoints << ", " << height * kPoints
        << ", kNodes, kEdges, kPoints};\n    return layout;\n}\n\n} // namespace borne::bench\n";
    return out ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "graph" && argc == 3) {
        std::ofstream out(argv[2]);
        return graph(out);
    }
    if (mode == "source" && argc == 4) {
        std::ofstream out(argv[3]);
        return source(argv[2], out);
    }
    std::fprintf(stderr, "usage: borne-state-layout graph OUT | source PLAIN OUT\n");
    return 2;
}
