#pragma once
// Time as the program waits by it: milliseconds since the system started, and pauses.

#include <cstdint>
#include <functional>

namespace swiftsetup {

// Milliseconds since the system started; never wraps in a run.
[[nodiscard]] uint64_t tickCount();

// Pauses this thread.
void pauseFor(uint32_t milliseconds);

// How often a program that waits for a file another program holds looks again.
inline constexpr uint32_t kRetryIntervalMs = 100;

// Tries an operation (it returns a system error code, 0 for success) until it works, fails for
// another reason than a hold (error::isHeld), or the tick count passes deadline; its last answer.
[[nodiscard]] uint32_t retryWhileHeld(uint64_t deadline, const std::function<uint32_t()>& attempt);

}  // namespace swiftsetup
