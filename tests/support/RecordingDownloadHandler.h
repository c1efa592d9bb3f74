#pragma once

#include "base/VerloException.h"
#include "firmware/DownloadExceptionHandler.h"

#include <string>
#include <vector>

// Records the message of each failure a download hands over, by the operation
// it was routed to.
class RecordingDownloadHandler : public DownloadExceptionHandler {
public:
    std::vector<std::string> host, verlo, fatal;
    int unknown = 0;

    void handleHostException(HostException& e) override { host.push_back(e.what()); }
    void handleFatalFailure(VerloException& e) override { fatal.push_back(e.what()); }
    void handleVerloException(VerloException& e) override { verlo.push_back(e.what()); }
    void handleUnknownException() override { ++unknown; }
};
