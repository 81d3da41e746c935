// The traffic the controller benchmarks turn: one car in by code, one out; the lane is empty and the boom
// down at both ends, so the script can be looped.
#pragma once

namespace borne::bench {

inline constexpr const char* kCarInAndOut = R"(tick CheckBox1
turn
tick CheckBox18
turn
tick CheckBox21
turn
tick CheckBox19
turn
tick CheckBox13
turn 3
tick CheckBox2
turn
untick CheckBox1
turn
untick CheckBox2
turn 3
tick CheckBox2
turn 2
tick CheckBox1
turn
untick CheckBox2
turn
untick CheckBox1
turn 3
)";

} // namespace borne::bench
