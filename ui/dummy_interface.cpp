#include "ui/dummy_interface.h"

#include "install/installer.h"

namespace swiftsetup {

bool DummyInterface::install(Logger& logger) { return installer_.install(*this, logger); }

bool DummyInterface::uninstall(Logger& logger) { return installer_.uninstall(*this, logger); }

}  // namespace swiftsetup
