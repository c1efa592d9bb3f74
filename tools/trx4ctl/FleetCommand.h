#pragma once

#include "ExitStatus.h"
#include "FirmwareCommand.h"
#include "UnitCommands.h"

#include "session/UnitsFile.h"

#include <iosfwd>
#include <string>
#include <vector>

// One command on many units of a units file, several at a time: each unit on
// its own connection in a worker thread of a small pool, through the same
// command functions as one unit. One unit's failure is its own result and
// never stops the others.
namespace FleetCommand {

struct Request {
    // get, save, diff, load, log, report or firmware.
    std::string command;
    // The parameters of get.
    std::vector<std::string> names;
    // Where save, log and report write DIR/NAME.trx, .log, .html or .txt, and
    // where diff and load read DIR/NAME.trx.
    std::string directory;
    UnitCommands::LogKind logKind = UnitCommands::LogKind::Events;
    UnitCommands::ReportFormat reportFormat = UnitCommands::ReportFormat::Html;
    FirmwareCommand::Options firmware;
    // Units worked on at once.
    unsigned jobs = 8;
    bool json = false;
};

// What became of one unit.
struct Result {
    ExitStatus status = Success;
    // What was done, or the failure's message.
    std::string detail;
};

// The units whose names are listed (in the file's order), or all when names
// is empty. An unknown name throws UsageError naming it.
std::vector<UnitEntry> select(const std::vector<UnitEntry>& units,
                              const std::vector<std::string>& names);

// Runs the request on every unit and prints one line per unit in the units'
// order (name, outcome, detail) to out, or a JSON array at the end; with
// progress, a progress line is kept on err. A firmware update checks the image
// and asks on in and out once (unless confirmed) before any unit is reached.
// Returns the worst of the units' statuses.
ExitStatus run(const std::vector<UnitEntry>& units, const Request& request, std::istream& in,
               std::ostream& out, std::ostream& err, bool progress);

// The word for a unit's status in the output: ok, different, refused, failed,
// file error, unknown.
std::string outcome(ExitStatus status);

} // namespace FleetCommand
