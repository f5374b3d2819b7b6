#pragma once
// A resource found by the caller in a module it chose (tests and measurements load payloads of
// their own this way).

#include <windows.h>

#include "platform/resources.h"

namespace swiftsetup {

// Loads and locks it; a resource that cannot be loaded or locked counts as not loaded, with the
// system's error code.
[[nodiscard]] ResourceBytes loadResource(HMODULE module, HRSRC resource);

}  // namespace swiftsetup
