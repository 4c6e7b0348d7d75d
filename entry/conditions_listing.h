// The listing of one group of the lens's operating conditions: the lens-drawing conditions,
// the optimisation parameters, the spot-diagram settings, the general data with the system
// options, or the lens notes. Every item is a label of the message tables and its value.
#pragma once

#include "tables/table_names.h"

// kSlotListOperatingConditions: LIST_CONDITIONS group (0..7).
int cmd_list_operating_conditions();
