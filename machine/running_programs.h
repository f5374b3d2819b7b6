#pragma once
// The application and the chat program while they run from the installation folder: ended before
// their files are replaced or deleted.

#include <cstdint>
#include <string>

namespace swiftsetup {

// Ends every process of the user that runs the application or the chat program of installFolder
// (platform/process_termination.h), and waits for each to go. How many were ended.
uint32_t endRunningPrograms(const std::string& installFolder);

}  // namespace swiftsetup
