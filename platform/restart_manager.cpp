#include "platform/restart_manager.h"

#include <windows.h>
#include <restartmanager.h>

#include <cstddef>

#include "platform/dll_hardening.h"
#include "platform/handles.h"
#include "platform/system_function.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// What RmGetList fills, as documented: the same in both builds.
static_assert(sizeof(RM_UNIQUE_PROCESS) == 12);
static_assert(offsetof(RM_PROCESS_INFO, strAppName) == 12 && offsetof(RM_PROCESS_INFO, ApplicationType) == 652);
static_assert(sizeof(RM_PROCESS_INFO) == 668);

constexpr int kListAttempts = 4;

}  // namespace

std::vector<HoldingProgram> programsUsing(const std::string& path) {
    std::vector<HoldingProgram> programs;
    const UniqueModule library(loadSystemLibrary(L"rstrtmgr.dll"));
    if (!library) return programs;
    auto* startSession = systemFunction<decltype(::RmStartSession)>(library.get(), "RmStartSession");
    auto* registerResources = systemFunction<decltype(::RmRegisterResources)>(library.get(), "RmRegisterResources");
    auto* getList = systemFunction<decltype(::RmGetList)>(library.get(), "RmGetList");
    auto* endSession = systemFunction<decltype(::RmEndSession)>(library.get(), "RmEndSession");
    if (startSession == nullptr || registerResources == nullptr || getList == nullptr || endSession == nullptr) {
        return programs;
    }
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = L"";
    if (startSession(&session, 0, key) != ERROR_SUCCESS) return programs;
    const WideBuffer file = utf8ToWide(path);
    LPCWSTR files[] = {file.c_str()};
    if (registerResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        std::vector<RM_PROCESS_INFO> found;
        // The list may grow between the look at its size and the look at it.
        for (int attempt = 0; attempt < kListAttempts; ++attempt) {
            UINT needed = 0;
            UINT count = static_cast<UINT>(found.size());
            DWORD reasons = 0;
            const DWORD result = getList(session, &needed, &count, found.data(), &reasons);
            if (result == ERROR_SUCCESS) {
                for (UINT i = 0; i < count && i < found.size(); ++i) {
                    programs.push_back({wideToUtf8(found[i].strAppName, -1), found[i].Process.dwProcessId});
                }
                break;
            }
            if (result != ERROR_MORE_DATA) break;
            found.resize(needed + 2);
        }
    }
    endSession(session);
    return programs;
}

}  // namespace swiftsetup
