#pragma once

#include <functional>
#include <string>

// trx4ctl's exit statuses, by rising severity, so that a command over several
// units can exit with the worst of theirs.
enum ExitStatus {
    Success = 0,
    Different = 1,
    Usage = 2,
    UnitFailure = 3,
    FileFailure = 4,
    Unknown = 5
};

// Runs body and returns its status, or the status of the failure it threw
// (UsageError, FileException, OutcomeUnknown, anything else: the unit or the
// system) with the failure's message in message.
ExitStatus guarded(const std::function<ExitStatus()>& body, std::string& message);
