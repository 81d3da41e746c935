#include "tools/search/Common.h"

#include "control/TableEtats.h"
#include "tools/files/Files.h"
#include "base/Codes.h"

#include <climits>
#include <ostream>
#include <utility>

namespace borne::search {

std::string modeName(const Replay& r) {
    const int m = r.terminal().modeCourant();
    return "mode " + std::to_string(m) + " (" + nomModeCode(m) + ")";
}

// A broken configuration starts the terminal out of service; the search does as the terminal does.
void announce(const Replay& r, std::ostream& err) {
    if (!r.configuredMode())
        err << "borne-scenario: Config.cfg gives no mode from 0 to 4; the terminal then starts out of "
               "service, "
               "and the search explores that start: "
            << modeName(r) << "\n";
}

Journey best(const Explorer& ex, const std::vector<Hit>& hits) {
    const Hit* chosen = nullptr;
    std::pair<int, int> length{INT_MAX, INT_MAX};
    for (const Hit& h : hits) {
        const std::pair<int, int> l{ex.turnsTo(h.from) + 1,
                                    ex.actionsTo(h.from) + (h.action == Action::Wait ? 0 : 1)};
        if (l < length) {
            length = l;
            chosen = &h;
        }
    }
    Journey j = ex.journeyTo(chosen->from);
    j.push_back(chosen->action);
    return j;
}

int bound(const Explorer& ex, const Hit& h) {
    return ex.turnsTo(h.from) + 1;
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string reasonFor(int row, int mode, std::string_view localCode) {
    const char* why = horsDePortee(TABLE_ETATS[static_cast<std::size_t>(row)], mode, localCode);
    return why != nullptr ? why : "";
}

bool prepareFolder(const std::filesystem::path& target, const std::filesystem::path& asGiven,
                   std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(target, ec) && !(fs::is_directory(target, ec) && fs::is_empty(target, ec))) {
        err << "borne-scenario: " << asGiven.string() << " exists and is not an empty folder\n";
        return false;
    }
    fs::create_directories(target, ec);
    std::string probeError;
    if (ec || !files::writeWhole(target / ".write-test", "x", probeError)) {
        err << "borne-scenario: cannot write into " << asGiven.string() << "\n";
        return false;
    }
    fs::remove(target / ".write-test", ec);
    return true;
}

void copySettings(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    for (const char* f : {"Config.cfg", "CHIP.INI"})
        if (std::filesystem::is_regular_file(from / f, ec)) std::filesystem::copy_file(from / f, to / f, ec);
}

} // namespace borne::search
