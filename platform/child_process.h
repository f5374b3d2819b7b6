#pragma once
// Starting other programs: the installed application, Windows Installer and earlier uninstallers.
// A command line is the caller's to quote; Windows finds the program by its first token, and the
// command line is used up to its first NUL byte.

#include <cstdint>
#include <optional>
#include <string>

namespace swiftsetup {

// How a program started: the system's error code when it could not be (0 when it was), and, for
// a program waited for, its exit code when that could be read.
struct ProcessOutcome {
    uint32_t systemError = 0;
    std::optional<uint32_t> exitCode;
    [[nodiscard]] bool started() const { return systemError == 0; }
    explicit operator bool() const { return started(); }
};

// Starts the program and returns at once. A start that fails writes the system's text for it to
// the debugger's output.
[[nodiscard]] ProcessOutcome startProcess(const std::string& commandLine);

// Starts the program and waits, without a time limit, until it ends.
[[nodiscard]] ProcessOutcome runProcess(const std::string& commandLine);

}  // namespace swiftsetup
