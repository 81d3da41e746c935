// The panel's main controls over a run, for a report's timelines: both display lines, the boom's
// sensors (CheckBox4, CheckBox5), the lamps, the loops (whoever wrote them, the script included) and the controller's state,
// one line per change:
//   1500	Edit2.Text	code : *
//   2000	etat	ETAT_ATTENTE_AUTORISATION
// The value is the rest of the line, as scripts write it (propertyText); writes that leave a value as
// it was are left out.
#pragma once

#include "tools/scenario/Engine.h"

#include <iosfwd>
#include <map>
#include <string>
#include <utility>

namespace borne::scenario {

// What a timeline follows, in the order a report draws it (the state comes last, as "etat").
inline constexpr const char* kTimelineSignals[] = {
    "Edit1.Text",         "Edit2.Text",         "CheckBox4.Checked",  "CheckBox5.Checked", "Shape1.Brush.Color",
    "Shape2.Brush.Color", "Shape3.Brush.Color", "CheckBox1.Checked", "CheckBox2.Checked"};

class TimelineWriter final : public RunObserver {
public:
    explicit TimelineWriter(std::ostream& out) : out_(out) {}
    void starting(Engine&) override;
    void wrote(const Ecriture& e, std::int64_t at) override;
    void stateChanged(int state, std::int64_t at) override;

private:
    std::ostream& out_;
    std::map<std::pair<const Controle*, Propriete>, Valeur> held_;
};

} // namespace borne::scenario
