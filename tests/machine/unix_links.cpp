#include "tests/machine/unix_links.h"

#include <windows.h>

#include <string>

#include "tests/support/test_support.h"

namespace removaltest {

using namespace testsupport;
namespace {

using UnixFileName = char*(CDECL*)(const wchar_t*);

// The host path of a Windows path (in the heap of the process, never freed: test code).
std::string unixPath(const std::wstring& path) {
    static const auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return {};
    const char* converted = convert(path.c_str());
    return converted != nullptr ? std::string(converted) : std::string();
}

std::wstring quoted(const std::string& text) { return L"\"" + widen(text) + L"\""; }

// Wine starts host programs without a process to wait for: poll for the effect instead.
bool runHostCommandUntil(const std::wstring& commandLine, bool (*done)(const std::wstring&),
                         const std::wstring& subject) {
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 100; ++i) {
        if (done(subject)) return true;
        Sleep(50);
    }
    return done(subject);
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool missing(const std::wstring& path) { return !exists(path); }

std::wstring driveRoot(wchar_t letter) { return std::wstring(1, letter) + L":\\"; }

// The host folder that holds the prefix's drive letters.
std::string driveLinkPath(wchar_t letter) {
    std::string systemDrive = unixPath(L"C:\\");  // ".../dosdevices/c:/"
    const size_t end = systemDrive.rfind("c:");
    if (end == std::string::npos) return {};
    const char lower = static_cast<char>(letter >= L'A' && letter <= L'Z' ? letter - L'A' + 'a' : letter);
    return systemDrive.substr(0, end) + lower + ":";
}

}  // namespace

bool runningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool makeFolderLink(const std::wstring& linkPath, const std::wstring& target) {
    if (!runningUnderWine()) {
        return CreateSymbolicLinkW(linkPath.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) != FALSE;
    }
    // The link's own folder is converted, not the link, which does not exist yet.
    const size_t split = linkPath.find_last_of(L'\\');
    const std::string parent = unixPath(linkPath.substr(0, split));
    const std::string targetPath = unixPath(target);
    if (parent.empty() || targetPath.empty()) return false;
    const std::string link = parent + "/" + narrow(linkPath.substr(split + 1));
    return runHostCommandUntil(L"Z:\\bin\\ln -s " + quoted(targetPath) + L" " + quoted(link), &exists, linkPath);
}

void removeFolderLink(const std::wstring& linkPath) {
    if (!runningUnderWine()) {
        RemoveDirectoryW(linkPath.c_str());
        return;
    }
    const size_t split = linkPath.find_last_of(L'\\');
    const std::string parent = unixPath(linkPath.substr(0, split));
    if (parent.empty()) return;
    const std::string link = parent + "/" + narrow(linkPath.substr(split + 1));
    runHostCommandUntil(L"Z:\\bin\\rm -f " + quoted(link), &missing, linkPath);
}

bool makeDrive(wchar_t letter, const std::wstring& folder) {
    if (exists(driveRoot(letter))) return false;  // never take over a drive that is in use
    if (!runningUnderWine()) {
        return DefineDosDeviceW(0, std::wstring(1, letter).append(L":").c_str(), folder.c_str()) != FALSE;
    }
    const std::string link = driveLinkPath(letter);
    const std::string target = unixPath(folder);
    if (link.empty() || target.empty()) return false;
    return runHostCommandUntil(L"Z:\\bin\\ln -s " + quoted(target) + L" " + quoted(link), &exists,
                               driveRoot(letter));
}

void removeDrive(wchar_t letter) {
    if (!runningUnderWine()) {
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, std::wstring(1, letter).append(L":").c_str(), nullptr);
        return;
    }
    const std::string link = driveLinkPath(letter);
    if (!link.empty()) runHostCommandUntil(L"Z:\\bin\\rm -f " + quoted(link), &missing, driveRoot(letter));
}

}  // namespace removaltest
