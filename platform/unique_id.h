#pragma once
// Identifiers nobody else has: new GUIDs from the system.

#include <optional>

#include "text/guid_packing.h"

namespace swiftsetup {

// A new GUID; nothing when the system cannot make one.
[[nodiscard]] std::optional<Guid> newGuid();

}  // namespace swiftsetup
