#pragma once
#include "ui/interface.h"

namespace swiftsetup {

// The system keeps no log: command lines handed to the logger are dropped.
class DummyLogger final : public Logger {
public:
    void log(int32_t, const std::string&) override {}
};

}  // namespace swiftsetup
