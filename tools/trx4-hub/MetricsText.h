#pragma once

#include "UnitSnapshot.h"

#include <string>
#include <vector>

// The Prometheus text exposition of the units' snapshots: each metric once,
// with its HELP and TYPE lines and one sample per unit (and label).
std::string metricsText(const std::vector<UnitSnapshot>& units);
