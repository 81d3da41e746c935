// What every program says to --version.
#pragma once

#include <string>
#include <string_view>

namespace borne {

// "PROGRAM (borne) VERSION", then one "INTERFACE VERSION" line per interface whose version a program and
// what it loads must share; each line ends with a newline.
std::string versionText(std::string_view program);

} // namespace borne
