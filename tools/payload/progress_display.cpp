#include "tools/payload/progress_display.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace swiftsetup {

namespace {
constexpr auto kQuietStart = std::chrono::milliseconds(300);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr size_t kItemWidth = 36;
}  // namespace

ProgressDisplay::ProgressDisplay(const char* verb, uint64_t totalBytes)
    : verb_(verb), total_(totalBytes), enabled_(isatty(STDERR_FILENO) == 1), start_(Clock::now()),
      lastDraw_(start_) {}

ProgressDisplay::~ProgressDisplay() { finish(); }

void ProgressDisplay::update(uint64_t doneBytes, std::string_view item) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kQuietStart || (drawn_ && now - lastDraw_ < kRedrawInterval)) return;
    lastDraw_ = now;
    drawn_ = true;

    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double megabytes = 1024.0 * 1024.0;
    const int percent = total_ == 0 ? 100 : static_cast<int>(doneBytes * 100 / total_);
    std::string shown(item);
    if (shown.size() > kItemWidth) shown = "..." + shown.substr(shown.size() - (kItemWidth - 3));
    std::fprintf(stderr, "\r%s %3d%%  %.1f of %.1f MiB  %.1f MiB/s  %s\033[K", verb_, percent,
                 static_cast<double>(doneBytes) / megabytes, static_cast<double>(total_) / megabytes,
                 seconds > 0 ? static_cast<double>(doneBytes) / megabytes / seconds : 0.0,
                 shown.c_str());
    std::fflush(stderr);
}

void ProgressDisplay::finish() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

}  // namespace swiftsetup
