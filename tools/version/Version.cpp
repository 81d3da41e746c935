#include "tools/version/Version.h"

#include "control/Controleur.h"
#include "tools/protocol/Line.h"

namespace borne {

namespace {

struct Interface {
    const char* name;
    int version;
};

// An interface gets its line here when a build must match it: a plug-in built for another controller
// interface is refused, so the number is worth knowing before building one.
constexpr Interface kInterfaces[] = {
    {"controller interface", VERSION_CONTROLEUR},
    {"controller protocol", protocol::kVersion},
};

} // namespace

std::string versionText(std::string_view program) {
    std::string text(program);
    text += " (borne) " BORNE_VERSION "\n";
    for (const Interface& i : kInterfaces)
        text += std::string(i.name) + ' ' + std::to_string(i.version) + '\n';
    // The headers a plug-in must be built against, beside the interface's number.
    text += std::string("controller headers ") + empreinteInterface() + '\n';
    return text;
}

} // namespace borne
