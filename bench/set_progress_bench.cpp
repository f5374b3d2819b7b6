// Benchmark: what one setProgress call costs the worker thread, with the real window, its message
// loop on the main thread and the progress bar painting as it goes. Prints figures; asserts
// nothing. Usage: ui.set_progress_bench [calls per round] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "install/installer.h"
#include "tests/ui/scripted_installer.h"
#include "ui/dummy_logger.h"
#include "ui/graphical_interface.h"

namespace {

double secondsBetween(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    std::vector<double> fixedTotal;     // us per setProgress call, total unchanged
    std::vector<double> growingTotal;   // us per setProgress call, a new total on every call
    std::vector<double> unchanged;      // us per setProgress call that changes nothing
    std::vector<double> bareSend;       // us per bare cross-thread SendMessageW
};

void print(const char* what, const std::vector<double>& values) {
    std::printf("%-44s", what);
    for (double value : values) std::printf(" %8.1f", value);
    std::printf("   min %7.1f  median %7.1f us\n", *std::min_element(values.begin(), values.end()),
                median(values));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace swiftsetup;
    const uint32_t calls = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (calls == 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: ui.set_progress_bench [calls per round] [rounds]\n");
        return 2;
    }

    Installer installer;
    DummyLogger logger;
    GraphicalInterface ui("Lexmora Installer", installer);
    Figures figures;

    uitest::scripted().install = [&](Interface& frontEnd) {
        frontEnd.setStatus("Installing files...");
        HWND bar = FindWindowExW(ui.windowHandle(), nullptr, L"msctls_progress32", nullptr);
        for (uint32_t i = 0; i < 2000; ++i) frontEnd.setProgress(i, 2000);  // warm-up
        LARGE_INTEGER start, end;
        const auto microsecondsPerCall = [&] {
            return secondsBetween(start, end) * 1e6 / calls;
        };
        for (int round = 0; round < rounds; ++round) {
            // As while unpacking: one total, the position creeping across the bar.
            QueryPerformanceCounter(&start);
            for (uint32_t i = 0; i < calls; ++i) frontEnd.setProgress(i, calls);
            QueryPerformanceCounter(&end);
            figures.fixedTotal.push_back(microsecondsPerCall());

            // The worst case: a new range on every call, so the whole bar is redrawn each time.
            QueryPerformanceCounter(&start);
            for (uint32_t i = 0; i < calls; ++i) frontEnd.setProgress(i, calls + i);
            QueryPerformanceCounter(&end);
            figures.growingTotal.push_back(microsecondsPerCall());

            // The same two messages when nothing changes, so nothing is redrawn: what the round
            // trips cost without the painting.
            QueryPerformanceCounter(&start);
            for (uint32_t i = 0; i < calls; ++i) frontEnd.setProgress(calls / 2, calls);
            QueryPerformanceCounter(&end);
            figures.unchanged.push_back(microsecondsPerCall());

            // The floor: one bare synchronous round trip to the window's thread.
            QueryPerformanceCounter(&start);
            for (uint32_t i = 0; i < calls; ++i) SendMessageW(bar, WM_NULL, 0, 0);
            QueryPerformanceCounter(&end);
            figures.bareSend.push_back(microsecondsPerCall());
        }
        return true;
    };
    ui.install(logger);

    std::printf("setProgress on the worker thread; real window, message loop on the main thread\n");
    std::printf("%u calls per round, %d rounds; microseconds per call, round by round:\n", calls, rounds);
    print("setProgress, total unchanged (unpacking)", figures.fixedTotal);
    print("setProgress, new total on every call", figures.growingTotal);
    print("setProgress, nothing changes (no redraw)", figures.unchanged);
    print("bare SendMessageW round trip (the floor)", figures.bareSend);
    // 150 MB of payload in 64 KiB blocks is about 2,300 chunks, one call each.
    std::printf("2,300 chunks (a 150 MB payload) at the median unpacking figure: %.0f ms in all\n",
                median(figures.fixedTotal) * 2300 / 1000);
    return 0;
}
