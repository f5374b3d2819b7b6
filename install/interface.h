#pragma once
// The front-end contract: everything the sequences show or ask goes through an Interface, and
// every diagnostic line through a Logger. Texts are display texts in UTF-8, never message keys.
// The front ends (ui/) implement it; it lives with the sequences that use it, so that they know
// nothing of the front ends above them.

#include <cstdint>
#include <string>

namespace swiftsetup {

// What a log line is: a child process's command line, right before the process starts (the
// launchers' lines); or an event of the run's story.
inline constexpr int32_t kLogCommandLine = 0;
inline constexpr int32_t kLogEvent = 1;

class Logger {
public:
    virtual ~Logger() = default;
    virtual void log(int32_t level, const std::string& text) = 0;
};

class Interface {
public:
    virtual ~Interface() = default;
    virtual void finish() = 0;
    virtual void setStatus(const std::string& text) = 0;
    virtual void setProgress(uint32_t position, uint32_t total) = 0;
    virtual void showWarning(const std::string& text, const std::string& caption) = 0;
    virtual void showError(const std::string& text, const std::string& caption) = 0;
    virtual void showInformation(const std::string& text, const std::string& caption) = 0;
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
    // True for Retry, false for Cancel.
    virtual bool askRetryCancel(const std::string& text, const std::string& caption) = 0;
    virtual bool install(Logger& logger) = 0;
    virtual bool uninstall(Logger& logger) = 0;
};

}  // namespace swiftsetup
