#include "machine/running_programs.h"

#include "machine/product.h"
#include "platform/process_termination.h"

namespace swiftsetup {

uint32_t endRunningPrograms(const std::string& installFolder) {
    return terminateProcessesByPath({installFolder + product::kProgramFile, installFolder + product::kChatProgramFile});
}

}  // namespace swiftsetup
