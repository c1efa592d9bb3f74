#pragma once

#include <string>

// The program's own metrics in the Prometheus text format, as the client
// libraries name them: trx4_build_info with the version, then process_*
// (CPU time, memory, descriptors, start time) read from /proc/self. A value
// that cannot be read is left out rather than failing the scrape.
std::string processMetricsText();
