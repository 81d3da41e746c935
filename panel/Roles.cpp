#include "panel/Roles.h"

#include <algorithm>

namespace borne {

namespace {

using enum EcritPar;

constexpr RoleControle table[] = {
    {"Image1", "front of the terminal", Personne},
    {"Image2", "barrier view: boom lowered", Terminal},
    {"Image3", "barrier view: boom raised", Terminal},
    {"Image7", "barrier view: boom raised, a car leaving", Terminal},
    {"Image6", "barrier view: boom raised, a car entering", Terminal},
    {"Image4", "lane plan: boom lowered", Personne},
    {"Image5", "lane plan: boom raised", Terminal},
    {"StatusBar1", "vehicle position text (kept, not shown)", Terminal},
    {"GroupBox9", "supervision station", Personne},
    {"GroupBox5", "the attendant's controls", Personne},
    {"Label3", "attendant-call status", Terminal},
    {"CheckBox3", "attendant: tick to let the waiting car in", LesDeux},
    {"MessageGardien", "attendant's message for the display", Utilisateur},
    {"CheckBox7", "attendant: lighting on while ticked", Utilisateur},
    {"CheckBox8", "attendant: alarm while ticked", Utilisateur},
    {"CheckBox9", "attendant: show the message while ticked", Utilisateur},
    {"GroupBox8", "car park occupancy", Personne},
    {"Shape4", "car park lamp: green free, red full", Terminal},
    {"Label4", "car park: Libre or COMPLET", Terminal},
    {"PlaceRestantes", "free places in the car park", Terminal},
    {"GroupBox14", "the terminal's access name", Terminal},
    {"Label5", "the terminal's access number", Terminal},
    {"Default", "fault text", Terminal},
    {"GroupBox13", "debug", Personne},
    {"EtatCourant", "current state of the access cycle", Terminal},
    {"Evenement", "current event", Terminal},
    {"Clavier", "keypad", Personne},
    {"CheckBox12", "key 1", LesDeux},
    {"CheckBox13", "key 2", LesDeux},
    {"CheckBox14", "key 3", LesDeux},
    {"CheckBox15", "key 4", LesDeux},
    {"CheckBox16", "key 7", LesDeux},
    {"CheckBox17", "key 5", LesDeux},
    {"CheckBox18", "key 6", LesDeux},
    {"CheckBox19", "key 8", LesDeux},
    {"CheckBox20", "key 9", LesDeux},
    {"CheckBox21", "key 0", LesDeux},
    {"CheckBox10", "card slot: tick to insert the card", Utilisateur},
    {"Edit1", "display, first line", Terminal},
    {"Edit2", "display, second line (lower case)", Terminal},
    {"GroupBox2", "barrier motor", Personne},
    {"Shape1", "raise lamp: green while the boom goes up", Terminal},
    {"Shape2", "lower lamp: green while the boom goes down", Terminal},
    {"Label1", "caption of the raise lamp", Personne},
    {"Label2", "caption of the lower lamp", Personne},
    {"Moteur", "barrier motor: ON while the boom moves", Terminal},
    {"GroupBox4", "barrier lighting", Personne},
    {"Shape3", "barrier lighting: yellow when on", Terminal},
    {"Button13", "Quitter: ends the program", Utilisateur},
    {"GroupBox6", "boom sensors", Personne},
    {"CheckBox4", "boom-up sensor", LesDeux},
    {"CheckBox5", "boom-down sensor", LesDeux},
    {"CheckBox2", "downstream loop: tick to put a car on it", Utilisateur},
    {"CheckBox1", "upstream loop: tick to put a car on it", Utilisateur},
    {"CheckBox6", "attendant-call button: tick to press it", LesDeux},
};

} // namespace

std::span<const RoleControle> rolesControles() noexcept {
    return table;
}

const RoleControle* roleDe(std::string_view nom) noexcept {
    const auto* it =
        std::find_if(std::begin(table), std::end(table), [&](const RoleControle& r) { return nom == r.nom; });
    return it == std::end(table) ? nullptr : it;
}

const char* nomEcritPar(EcritPar e) noexcept {
    switch (e) {
    case Utilisateur: return "user";
    case Terminal: return "terminal";
    case LesDeux: return "both";
    case Personne: return "nobody";
    }
    return "?";
}

} // namespace borne
