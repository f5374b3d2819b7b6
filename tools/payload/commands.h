#pragma once
// The commands of lexmora-payload. Each prints what it did or what stopped it and returns the
// process exit code: 0 success, 1 a refused input or a broken payload, 2 wrong usage.

#include <string>

namespace swiftsetup {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Writes the payload of every file below folder to output, replacing it only once it is complete.
int packCommand(const std::string& folder, const std::string& output, const std::string& version);
// The files a payload carries: path, size and blocks of each, and the totals.
int listCommand(const std::string& path, bool rawOnly);
// Walks the payload and inflates every block, by the installer's reading rules.
int verifyCommand(const std::string& path, bool rawOnly);
// Unpacks the payload below folder by the same rules, for inspection.
int unpackCommand(const std::string& path, const std::string& folder, bool rawOnly);

// Prints "lexmora-payload: <command>: <text>" on standard error.
void printError(const char* command, const std::string& text);

}  // namespace swiftsetup
