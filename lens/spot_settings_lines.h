// The lines a lens file carries for the spot-diagram settings: each read back as a command sets
// the field again, and a field at its default writes nothing.
#pragma once

#include <string>
#include <vector>

struct SpotSettings;

// The numbers that differ from their defaults ("SDAD 20", ...), then "SDPC Off", "SDAZ On" and
// "SDSA On" for the switches away from their defaults, in that order. The two flags no command
// sets are never written.
std::vector<std::string> spot_settings_lines(const SpotSettings& s);
