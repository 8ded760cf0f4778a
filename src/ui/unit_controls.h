// The station's identities on the panels: the settings of "ffsload.conf",
// the operator's id asked once on the selection panel, the unit field of the
// run panel and what the runs tell of the unit and the fixture.
#pragma once

#include <optional>
#include <string>

#include "run/run_context.h"
#include "station/station_settings.h"

namespace ui {

// Reads the station's settings; false, after telling the operator (stderr
// and a message box naming the line), when they stop the station.
bool load_station_settings();
const station::StationSettings& station_settings();
// The open panels speak for the station on the factory's network (when
// cfx-broker is set): EndpointConnected, queued; told when it cannot be.
void announce_to_factory_network();

// The selection panel: the operator field shown (and focused) or hidden.
void prepare_operator_field();
// The operator's id from the selection panel's field; false, after telling
// the operator, when the station requires one and it is missing or unusable.
bool take_operator_id();

// The run panel of `port`: the unit field shown or hidden, the operator
// shown, the port's fixture alarm as the records hold it, and the run's
// notices routed to the panel. False, after telling the operator, when the
// station asks for unit serials and the panel file has no unit field (a
// restyled panel file older than the field): no run could ever start.
bool prepare_run_panel(int port);

// The context of the panels' runs as the panels build it: the port, script,
// customer and "MA_NO" when the run panel opens (COMPORT), the operator from
// the selection panel, the notices and the fixture alarm's K of the run
// panel. Each run gets a copy with the unit scanned for it.
run::RunContext& panel_run_context();

// Run pressed, or Enter in the unit field: runs the script with the unit's
// serial when the station takes it, else refuses on the unit's status line
// with the field selected for the next scan. The field is emptied after the
// run, so that no serial is carried to the next unit.
void run_with_unit();

}  // namespace ui
