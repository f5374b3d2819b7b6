#pragma once
// A front end that shows nothing, answers every question yes and runs no sequence: the tests'
// stand-ins derive from it and override only what they watch.

#include "ui/dummy_interface.h"

namespace swiftsetup {

class NullFrontEnd : public SilentInterface {
public:
    bool install(Logger&) override { return false; }
    bool uninstall(Logger&) override { return false; }
};

}  // namespace swiftsetup
