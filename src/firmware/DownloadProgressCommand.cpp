#include "firmware/DownloadProgressCommand.h"

#include "model/ControlParameter.h"
#include "model/ParameterValue.h"

void DownloadProgressCommand::execute(std::uint32_t percent) {
    target_->setValue(ParameterValue(static_cast<int>(percent)));
}
