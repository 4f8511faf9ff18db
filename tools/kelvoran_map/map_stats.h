// map_stats.h: the short summary table of a map file.
#pragma once
#include <string>

#include "kelvoran_map/map_check.h"

// Count, extent, smallest and largest quad by area and the quads without a body, one line
// each and each line ended. Extent and areas cover the quads the game accepts; world units.
std::string statsTable(const MapReport& report);
