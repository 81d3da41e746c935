// The panel's controls as people need them to write scripts: the table of every control (what
// `--controls` prints and docs/scripts.md shows), and the names nearest to one that does not exist.
#pragma once

#include "panel/PanneauOperateur.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace borne::scenario {

// "check box", "labelled edit", "picture"...
const char* kindName(Genre g) noexcept;

// One Markdown row per control of the panel, in the window's order, under a header: designer name, kind,
// caption on the window, what it stands for and who writes it. Built from the panel and its role table,
// so it follows them.
void printControls(const PanneauOperateur& panel, std::ostream& out);

// Up to three control names nearest to `name`, in name order; none when nothing is near. A typing slip
// on a neighbouring key or in the letter case costs less than another character.
std::vector<std::string> nearestNames(std::string_view name, const PanneauOperateur& panel);
// The same among any names (the states').
std::vector<std::string> nearestNames(std::string_view name, const std::vector<std::string>& candidates);

// `unknown control "NAME" (did you mean A, B? borne-scenario --controls lists them)`.
std::string unknownControl(std::string_view name, const PanneauOperateur& panel);

} // namespace borne::scenario
