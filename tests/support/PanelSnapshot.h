// Every property of every control of the panel, as one value to compare before and after.
#pragma once

#include "panel/PanneauOperateur.h"

#include <map>
#include <string>

namespace borne::test {

// "NAME.PROPERTY" -> value.
std::map<std::string, Valeur> panelSnapshot();

} // namespace borne::test
