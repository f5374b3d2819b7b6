#pragma once
// Links between folders, as users make them to keep big folders off the system drive.

#include <cstdint>
#include <string>

namespace swiftsetup {

// Makes link a junction that leads to the folder target (absolute, "X:\..."): link must not exist;
// it is made as an empty folder and turned into the junction, and removed again should that fail.
// The system's error code, 0 when the junction is there. Junctions need no privilege, and lead
// only to folders of local drives.
[[nodiscard]] uint32_t makeJunction(const std::string& link, const std::string& target);

}  // namespace swiftsetup
