#pragma once
// A one-line progress display on the terminal for long packs and unpacks. It draws only when
// standard error is a terminal, and only once a run has taken long enough to be worth watching,
// so scripts and small payloads see no trace of it.

#include <chrono>
#include <cstdint>
#include <string_view>

namespace swiftsetup {

class ProgressDisplay {
public:
    ProgressDisplay(const char* verb, uint64_t totalBytes);
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void update(uint64_t doneBytes, std::string_view item);
    // Clears the line, so that what is printed next starts clean.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    const char* verb_;
    uint64_t total_;
    bool enabled_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

}  // namespace swiftsetup
