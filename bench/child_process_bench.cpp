// Prints how long the Installer takes to run and to start a trivial child program:
//
//   platform_child_process_benchmark [<runs>]      (default 20; exit_with_code.exe lies beside it)
//
// runProcess is timed from the call to its return (start, wait, exit code); startProcess until it
// returns, while the child goes on alone.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "install/installer.h"
#include "platform/paths.h"

namespace {

double milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void print(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-28s runs %3zu  min %7.1f ms  median %7.1f ms  max %7.1f ms\n", what, times.size(),
                times.front(), times[times.size() / 2], times.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::string folder = swiftsetup::modulePath();
    folder.resize(folder.find_last_of('\\'));
    const std::string child = "\"" + folder + "\\exit_with_code.exe\" 0";

    swiftsetup::Installer installer;
    std::vector<double> running, starting;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER before, after;
        uint32_t code = 1;
        QueryPerformanceCounter(&before);
        const bool ran = installer.runProcess(child, &code).started();
        QueryPerformanceCounter(&after);
        if (!ran || code != 0) {
            std::fprintf(stderr, "could not run %s\n", child.c_str());
            return 1;
        }
        running.push_back(milliseconds(before, after));

        QueryPerformanceCounter(&before);
        const bool started = installer.startProcess(child).started();
        QueryPerformanceCounter(&after);
        if (!started) {
            std::fprintf(stderr, "could not start %s\n", child.c_str());
            return 1;
        }
        starting.push_back(milliseconds(before, after));
        Sleep(100);  // let the started child end before the next round
    }
    print("runProcess (exit_with_code)", running);
    print("startProcess returns", starting);
    return 0;
}
