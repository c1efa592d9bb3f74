#include "firmware/DownloadProgressCommand.h"

#include "base/ParameterValue.h"
#include "model/ControlParameter.h"

void DownloadProgressCommand::execute(std::uint32_t percent) {
    target_->setValue(ParameterValue(static_cast<int>(percent)));
}
