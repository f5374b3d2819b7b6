#include "platform/clock.h"

#include <windows.h>

#include <algorithm>

#include "platform/system_errors.h"

namespace swiftsetup {

uint64_t tickCount() { return GetTickCount64(); }

void pauseFor(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t retryWhileHeld(uint64_t deadline, const std::function<uint32_t()>& attempt) {
    for (;;) {
        const uint32_t code = attempt();
        if (code == error::kSuccess || !error::isHeld(code)) return code;
        const uint64_t now = tickCount();
        if (now >= deadline) return code;
        pauseFor(static_cast<uint32_t>(std::min<uint64_t>(kRetryIntervalMs, deadline - now)));
    }
}

}  // namespace swiftsetup
