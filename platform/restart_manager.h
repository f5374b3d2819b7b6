#pragma once
// Which programs hold a file, as Windows' Restart Manager (Vista and later) can tell: for the
// question that names them to the user, and for the log.

#include <cstdint>
#include <string>
#include <vector>

namespace swiftsetup {

struct HoldingProgram {
    std::string name;  // the name Windows shows for it (its window's or its file's description)
    uint32_t processId = 0;
};

// The programs that have the file open; none where the Restart Manager is missing, fails, or
// cannot tell (it knows files, not folders). It is loaded from the system folder when asked.
[[nodiscard]] std::vector<HoldingProgram> programsUsing(const std::string& path);

}  // namespace swiftsetup
