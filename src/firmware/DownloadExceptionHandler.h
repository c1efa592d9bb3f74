#pragma once

class HostException;
class VerloException;

// Where a firmware transfer sends what goes wrong in one of its steps: the
// user interface decides what the operator sees and what becomes of the
// connection. The transfer itself never shows anything.
class DownloadExceptionHandler {
public:
    // The unit refused a step with an error reply; the connection stays.
    virtual void handleHostException(HostException& exception) = 0;
    // A flash operation failed: the unit's hardware is suspect.
    virtual void handleFatalFailure(VerloException& exception) = 0;
    // Any other failure of the conversation with the unit.
    virtual void handleVerloException(VerloException& exception) = 0;
    // Anything that is not a VerloException.
    virtual void handleUnknownException() = 0;

protected:
    ~DownloadExceptionHandler() = default;
};
