#include "tools/version/Version.h"

#include "control/Controleur.h"

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
};

} // namespace

std::string versionText(std::string_view program) {
    std::string text(program);
    text += " (borne) " BORNE_VERSION "\n";
    for (const Interface& i : kInterfaces)
        text += std::string(i.name) + ' ' + std::to_string(i.version) + '\n';
    return text;
}

} // namespace borne
