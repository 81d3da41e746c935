// What each named control of the panel stands for, in a few words, and who writes its state. One table,
// read by the window's tooltips and by everything that lists the controls for people.
#pragma once

#include <span>
#include <string_view>

namespace borne {

// Who writes a control's state: the user (inputs), the terminal (outputs), both (a latch the terminal
// unticks once read, a sensor the user may also tick), or nobody (the fixed parts of the window).
enum class EcritPar { Utilisateur, Terminal, LesDeux, Personne };

struct RoleControle {
    const char* nom;  // designer name
    const char* role; // a few words of English, UTF-8
    EcritPar ecritPar;
};

// One entry per named control, in the window's stored order (the order of PanneauOperateur::controles()).
std::span<const RoleControle> rolesControles() noexcept;
// The entry of a named control; nullptr for an unknown name.
const RoleControle* roleDe(std::string_view nom) noexcept;
// "user", "terminal", "both", "nobody".
const char* nomEcritPar(EcritPar e) noexcept;

} // namespace borne
