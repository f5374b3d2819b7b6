#include "platform/process_termination.h"

#include <windows.h>
#include <psapi.h>

#include <vector>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

constexpr DWORD kProcessStep = 1024;
constexpr DWORD kModuleStep = 256;
constexpr DWORD kExitWaitMs = 10000;
// Longer than any path a process can load from.
constexpr DWORD kPathUnits = 32768;

// Every process identifier of the machine; empty when the list cannot be read.
std::vector<DWORD> allProcessIds() {
    std::vector<DWORD> ids(kProcessStep);
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        DWORD returned = 0;
        if (!EnumProcesses(ids.data(), capacity, &returned)) return {};
        // A full list may have been cut short.
        if (returned < capacity) {
            ids.resize(returned / sizeof(DWORD));
            return ids;
        }
        ids.resize(ids.size() + kProcessStep);
    }
}

// The modules loaded in a process; empty when they cannot be listed (the process is ending, is
// not ours, or is 64-bit while we are not).
std::vector<HMODULE> loadedModules(HANDLE process) {
    std::vector<HMODULE> modules(kModuleStep);
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        DWORD needed = 0;
        if (!EnumProcessModules(process, modules.data(), capacity, &needed)) return {};
        if (needed <= capacity) {
            modules.resize(needed / sizeof(HMODULE));
            return modules;
        }
        // The list changes while we look: grow past what was needed, in whole steps.
        while (modules.size() * sizeof(HMODULE) < needed) modules.resize(modules.size() + kModuleStep);
    }
}

// Letter for letter: a linguistic comparison would let characters it ignores (a soft hyphen,
// say) make two different paths equal.
bool samePath(const wchar_t* a, const wchar_t* b) {
    while (*a != L'\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// True when a module of the process, or failing a module list its program file, has one of the
// paths.
bool hasProgramLoaded(HANDLE process, const std::vector<WideBuffer>& programPaths, std::vector<wchar_t>& buffer) {
    auto isWanted = [&](const wchar_t* path) {
        for (const WideBuffer& wanted : programPaths) {
            if (samePath(wanted.c_str(), path)) return true;
        }
        return false;
    };
    const std::vector<HMODULE> modules = loadedModules(process);
    for (const HMODULE module : modules) {
        const DWORD length = GetModuleFileNameExW(process, module, buffer.data(), kPathUnits);
        if (length != 0 && length < kPathUnits && isWanted(buffer.data())) return true;
    }
    if (!modules.empty()) return false;
    // A 32-bit program cannot list the modules of a 64-bit one, but it can read its image path.
    DWORD length = kPathUnits;
    return QueryFullProcessImageNameW(process, 0, buffer.data(), &length) && length < kPathUnits && isWanted(buffer.data());
}

}  // namespace

uint32_t terminateProcessesByPath(const std::vector<std::string>& programPaths) {
    // Listing every process's modules is slow (a read of another process's memory per module): it
    // is done once for all the programs, and not at all when none of their files is there, for no
    // process can have loaded a file that is not there.
    std::vector<WideBuffer> wanted;
    for (const std::string& path : programPaths) {
        WideBuffer wide = utf8ToWide(path);
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (wide[0] != L'\0' && attributes != INVALID_FILE_ATTRIBUTES) wanted.push_back(std::move(wide));
    }
    if (wanted.empty()) return 0;
    uint32_t ended = 0;
    std::vector<wchar_t> buffer(kPathUnits);
    const DWORD ownId = GetCurrentProcessId();

    for (const DWORD id : allProcessIds()) {
        if (id == 0 || id == ownId) continue;
        // Only the rights that are used: a process that grants these but not full access (one
        // started with a restricted token, say) can still be ended.
        UniqueHandle process(OpenProcess(
            PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        if (!hasProgramLoaded(process.get(), wanted, buffer)) continue;
        if (TerminateProcess(process.get(), 0)) {
            WaitForSingleObject(process.get(), kExitWaitMs);
            ++ended;
        }
    }
    return ended;
}

uint32_t terminateProcessesByPath(const std::string& programPath) {
    return terminateProcessesByPath(std::vector<std::string>{programPath});
}

}  // namespace swiftsetup
