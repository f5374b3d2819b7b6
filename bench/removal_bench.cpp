// Prints how long the removal's parts take on this machine: the tree removal of an installation-
// sized tree, ending running instances with the process list walked, and the location guard.
//   remove_benchmark [files per folder] [folders]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "install/installer.h"
#include "machine/installation_folder/install_location.h"
#include "platform/process_termination.h"
#include "machine/tree_claim.h"
#include "tests/support/recording_front_end.h"
#include "tests/machine/removal_state.h"
#include "tests/support/test_support.h"

namespace {

double secondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER now() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace testsupport;
    using namespace removaltest;
    const int filesPerFolder = argc > 1 ? std::atoi(argv[1]) : 20;
    const int folders = argc > 2 ? std::atoi(argv[2]) : 50;

    // Tree removal: folders two levels deep, small files (the cost is per entry, not per byte).
    {
        TemporaryFolder temp;
        const std::wstring root = temp / L"tree";
        CreateDirectoryW(root.c_str(), nullptr);
        for (int f = 0; f < folders; ++f) {
            const std::wstring folder = root + L"\\group " + std::to_wstring(f % 10);
            CreateDirectoryW(folder.c_str(), nullptr);
            const std::wstring sub = folder + L"\\part " + std::to_wstring(f);
            CreateDirectoryW(sub.c_str(), nullptr);
            for (int i = 0; i < filesPerFolder; ++i) writeFile(sub + L"\\file" + std::to_wstring(i) + L".dat", "x");
        }
        swiftsetup::RecordingFrontEnd frontEnd;
        swiftsetup::Installer installer;
        installer.frontEnd = &frontEnd;
        LARGE_INTEGER start = now();
        swiftsetup::TreeClaim claim = swiftsetup::claimTree(narrow(root), "", GetTickCount64());
        const double claimSeconds = secondsSince(start);
        start = now();
        if (!installer.removeTree(claim, 0, 100, 100).empty()) std::fprintf(stderr, "some of the tree stayed\n");
        const double seconds = secondsSince(start);
        const double entries = static_cast<double>(frontEnd.progress.size());
        std::printf("claimTree (the proof that all can go): %.0f entries in %.3f s (%.1f us per entry)\n", entries,
                    claimSeconds, claimSeconds * 1e6 / entries);
        std::printf("removeTree: %.0f entries in %.3f s (%.1f us per entry), %s\n", entries, seconds,
                    seconds * 1e6 / entries,
                    GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES ? "all removed" : "NOT all removed");
    }

    // Ending instances: the cost of one walk over every process with nothing to end, and of a
    // walk that ends two instances (each followed by the wait for its end).
    {
        TemporaryFolder temp;
        const std::wstring program = temp / L"lexmora.exe";
        CopyFileW(besideModule(L"run_until_told.exe").c_str(), program.c_str(), FALSE);
        DWORD ids[4096];
        DWORD bytes = 0;
        EnumProcesses(ids, sizeof(ids), &bytes);
        LARGE_INTEGER start = now();
        swiftsetup::terminateProcessesByPath(narrow(temp / L"absent.exe"));
        std::printf("terminateProcessesByPath, nothing to end: %.1f ms over %lu processes\n",
                    secondsSince(start) * 1e3, bytes / 4);
        std::vector<std::unique_ptr<RunningProgram>> running;
        running.push_back(std::make_unique<RunningProgram>(L"\"" + program + L"\"", nullptr));
        running.push_back(std::make_unique<RunningProgram>(L"\"" + program + L"\"", nullptr));
        start = now();
        swiftsetup::terminateProcessesByPath(narrow(program));
        std::printf("terminateProcessesByPath, two instances ended: %.1f ms\n", secondsSince(start) * 1e3);
    }

    // The guard: every known folder looked up and resolved once.
    {
        std::string folder;
        const LARGE_INTEGER start = now();
        const swiftsetup::LocationVerdict verdict = swiftsetup::checkInstallLocation(narrow(productPaths().installFolder), folder);
        std::printf("checkInstallLocation: %.1f ms (verdict %d)\n", secondsSince(start) * 1e3, static_cast<int>(verdict));
    }
    return 0;
}
