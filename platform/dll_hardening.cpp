#include "platform/dll_hardening.h"

#include <string>

#include "platform/system_function.h"

namespace swiftsetup {

void restrictDllSearchPath() {
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return;
    auto* setDefault = systemFunction<decltype(::SetDefaultDllDirectories)>(kernel, "SetDefaultDllDirectories");
    // Where the system can restrict library loads to its own folder, that is all: the setting is
    // this process's alone, so the programs it starts (msiexec, an earlier uninstaller, the
    // application) keep the search order the system gives them. Older systems can only take
    // the current folder out of the search order, and that setting is inherited by the child
    // processes; for them it removes a place to plant a library, and changes nothing else.
    if (setDefault != nullptr && setDefault(kSearchSystem32)) return;
    SetDllDirectoryW(L"");
}

HMODULE loadSystemLibrary(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wstring path(folder, length);
    path += L'\\';
    path += fileName;
    return LoadLibraryW(path.c_str());
}

}  // namespace swiftsetup
