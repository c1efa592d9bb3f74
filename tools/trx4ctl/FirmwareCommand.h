#pragma once

#include "session/ConnectionTarget.h"

#include <chrono>
#include <iosfwd>
#include <string>

// Replaces the unit's firmware with an image file, as the update dialog does:
// the image is checked first, then sent chunk by chunk (erase before the
// first, burn after the last); the unit reboots and is reconnected.
namespace FirmwareCommand {

struct Options {
    std::string imagePath;
    // Skip the question before anything is sent.
    bool confirmed = false;
    // How long to keep trying to reach the rebooted unit.
    std::chrono::seconds rebootTimeout{120};
};

// Checks the image and asks before connecting, so that nothing waits on an
// open connection; connects only to send (update). Prints the new firmware
// version.
void run(const ConnectionTarget& target, const Options& options, std::istream& in,
         std::ostream& out);

// Checks the image at path and prints its size; a bad image throws FileException.
void check(const std::string& path, std::ostream& out);
// Asks whether to update subject ("your TRX4"); an answer other than yes
// throws UsageError.
void confirm(const std::string& subject, std::istream& in, std::ostream& out);
// Connects, sends the image checked before and returns the version the unit
// reports after its reboot. A transfer that broke off for good throws
// VerloException (the burn was never sent, or the unit refused it); a burn the
// unit did not confirm throws OutcomeUnknown once the unit is back, or could
// not be reached again, and so does a confirmed burn after which the unit does
// not answer within the reboot time-out.
// The progress is a bar redrawn in place on a terminal, else percent lines.
std::string update(const ConnectionTarget& target, const Options& options, std::ostream& out,
                   bool terminal);

} // namespace FirmwareCommand
