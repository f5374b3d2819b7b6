#pragma once
// The commands of lexmora-payload. Each prints what it did or what stopped it and returns the
// process exit code: 0 success, 1 a refused input or a broken payload, 2 wrong usage.

#include <string>
#include <vector>

#include "payload/payload_writer.h"

namespace swiftsetup {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Writes the payload of every file below folder to output, replacing it only once it is complete;
// with DigestMode::Write (the default of the command line) the payload carries its digest. Every
// path of required must be a file of the payload, or nothing is written.
int packCommand(const std::string& folder, const std::string& output, const std::string& version,
                DigestMode digest, const std::vector<std::string>& required);
// The files a payload carries: path, size and blocks of each, the totals, the digest and, for a
// program, its signature.
int listCommand(const std::string& path, bool rawOnly);
// Checks the digest, then walks the payload and inflates every block, by the installer's rules.
int verifyCommand(const std::string& path, bool rawOnly);
// Unpacks the payload below folder by the same rules, for inspection.
int unpackCommand(const std::string& path, const std::string& folder, bool rawOnly);

// Prints "lexmora-payload: <command>: <text>" on standard error.
void printError(const char* command, const std::string& text);

}  // namespace swiftsetup
