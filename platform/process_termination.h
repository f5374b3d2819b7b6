#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace swiftsetup {

// Ends every process of the current user in which the program file with exactly this path is
// loaded (letter case counts), with exit code 0, and waits up to 10 seconds for each to go, so
// that its files can be deleted afterwards. Processes that cannot be opened or ended keep
// running. The calling process is never ended. How many were ended.
uint32_t terminateProcessesByPath(const std::string& programPath);
// The same for several programs at once, in one look at every process.
uint32_t terminateProcessesByPath(const std::vector<std::string>& programPaths);

}  // namespace swiftsetup
