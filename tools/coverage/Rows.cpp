#include "tools/coverage/Rows.h"

#include <charconv>

namespace borne::coverage {

std::optional<std::size_t> rowIndex(int state, int rank) noexcept {
    const int i = indexLigne(state, rank);
    if (i < 0) return std::nullopt;
    return static_cast<std::size_t>(i);
}

std::string rowId(const Row& row) {
    return std::to_string(row.etat) + '.' + std::to_string(row.rang);
}

std::optional<std::size_t> rowIndex(std::string_view id) noexcept {
    const auto point = id.find('.');
    if (point == std::string_view::npos) return std::nullopt;
    int state = 0;
    int rank = 0;
    const char* end = id.data() + id.size();
    const auto a = std::from_chars(id.data(), id.data() + point, state);
    const auto b = std::from_chars(id.data() + point + 1, end, rank);
    if (a.ec != std::errc{} || a.ptr != id.data() + point || b.ec != std::errc{} || b.ptr != end)
        return std::nullopt;
    return rowIndex(state, rank);
}

std::string transitionRows(int from, int to) {
    if (!allowed(from, to)) return {};
    std::string out;
    auto add = [&out](const std::string& word) { out += (out.empty() ? "" : " ") + word; };
    for (const Row& r : rows())
        if (r.etat == from && (r.suivants >> to & 1u) != 0) add(rowId(r));
    if (from == to && ETATS_TABLE[from].resteSinon) add("otherwise");
    if (to == ETAT_ALARME && from != ETAT_ALARME) add("alarm");
    return out;
}

const char* stateName(int state) noexcept {
    const char* nom = nomEtatCode(state);
    return nom != nullptr ? nom : "?";
}

const char* modeName(int mode) noexcept {
    const char* nom = nomModeCode(mode);
    return nom != nullptr ? nom : "?";
}

} // namespace borne::coverage
