#pragma once
#include "install/interface.h"

namespace swiftsetup {

// The logger of a run without "/log": every line is dropped (ui/file_logger.h writes them).
class DummyLogger final : public Logger {
public:
    void log(int32_t, const std::string&) override {}
};

}  // namespace swiftsetup
