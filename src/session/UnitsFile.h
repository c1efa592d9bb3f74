#pragma once

#include "session/ConnectionTarget.h"

#include <istream>
#include <optional>
#include <string>
#include <vector>

// One unit of a units file: its name, where to reach it and, for trx4-hub,
// where to serve it to other hosts.
struct UnitEntry {
    std::string name;
    ConnectionTarget target;
    std::optional<ConnectionTarget> serve;

    bool operator==(const UnitEntry&) const = default;
};

// Reads a units file: one unit a line, "NAME tcp:HOST[:PORT]" or
// "NAME serial:COMn|/dev/PATH", optionally followed by "serve:HOST:PORT" (or
// "serve:[IPv6]:PORT"); "#" starts a comment, blank lines are skipped.
// Names are unique and made of letters, digits, "-" and "_". A bad line, a
// file that cannot be read or names no unit throws VerloException with a
// message that starts "FILE:LINE: " (or "FILE: ").
std::vector<UnitEntry> readUnitsFile(const std::string& path);
// The same from a stream; fileName only names it in the messages.
std::vector<UnitEntry> readUnits(std::istream& in, const std::string& fileName);
