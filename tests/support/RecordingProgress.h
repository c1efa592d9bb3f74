#pragma once

#include "base/ProgressCommand.h"

#include <cstdint>
#include <vector>

// Records every percentage a transfer reports.
class RecordingProgress : public ProgressCommand {
public:
    std::vector<std::uint32_t> percents;
    void execute(std::uint32_t percent) override { percents.push_back(percent); }
};
