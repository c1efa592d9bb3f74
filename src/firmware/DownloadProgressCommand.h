#pragma once

#include "base/ProgressCommand.h"

#include <cstdint>

class ControlParameter;

// Shows a transfer's percentage through the Download Progress parameter, so
// every control bound to it follows.
class DownloadProgressCommand final : public ProgressCommand {
public:
    // target (not owned) must outlive the command.
    explicit DownloadProgressCommand(ControlParameter& target) : target_(&target) {}

    // Sets the percentage at once, without a transaction.
    void execute(std::uint32_t percent) override;

private:
    ControlParameter* target_;
};
