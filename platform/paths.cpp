#include "platform/paths.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// Calls a Windows function that fills a buffer with a path and returns its length, or the size
// it needs; the text, or empty when the call fails.
template <typename Call>
std::string pathFromSystem(Call call) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return wideToUtf8(buffer.data(), static_cast<int32_t>(length));
        buffer.resize(length + 1);
    }
    return {};
}

// Folders that hold the user's files, the user's settings, or the system and its programs.
constexpr int kUserAndSystemCsidls[] = {
    CSIDL_PROFILE, CSIDL_LOCAL_APPDATA, CSIDL_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
    CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_FAVORITES, CSIDL_STARTMENU, CSIDL_PROGRAMS,
    CSIDL_STARTUP, CSIDL_TEMPLATES, CSIDL_SENDTO, CSIDL_RECENT, CSIDL_NETHOOD, CSIDL_PRINTHOOD,
    CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY, CSIDL_CDBURN_AREA, CSIDL_ADMINTOOLS,
    CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS,
    CSIDL_RESOURCES, CSIDL_COMMON_APPDATA, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS,
    CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP, CSIDL_COMMON_TEMPLATES,
    CSIDL_COMMON_MUSIC, CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO, CSIDL_COMMON_FAVORITES,
    CSIDL_COMMON_ADMINTOOLS,
};

// Folders of Vista and later that have no CSIDL.
const KNOWNFOLDERID* const kUserAndSystemKnownFolders[] = {
    &FOLDERID_Downloads, &FOLDERID_SavedGames, &FOLDERID_Links, &FOLDERID_Contacts,
    &FOLDERID_Public,
};

}  // namespace

std::string modulePath() {
    // Windows paths end at 32,767 units; a buffer beyond that means the system misbehaves.
    constexpr size_t kLongestPath = 32768;
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        // A path that fills the buffer was cut short (older systems do not even terminate it).
        if (length < buffer.size()) return wideToUtf8(buffer.data(), static_cast<int32_t>(length));
        if (buffer.size() >= kLongestPath) return std::string();
        buffer.assign(buffer.size() + 256, L'\0');
    }
}

std::string fullPathName(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    return pathFromSystem(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); });
}

std::string longPathName(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    const std::string expanded =
        pathFromSystem([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(wide.c_str(), buffer, size); });
    return expanded.empty() ? path : expanded;
}

std::string finalPathName(const std::string& path) {
    UniqueHandle handle(CreateFileW(utf8ToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return {};
    std::string final = pathFromSystem([&](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(handle.get(), buffer, size, VOLUME_NAME_DOS);
    });
    if (final.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + final.substr(8);
    if (final.rfind("\\\\?\\", 0) == 0) return final.substr(4);
    return final;
}

std::string foldPathCase(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    const int length = static_cast<int>(wide.size()) - 1;
    if (length <= 0) return path;
    std::vector<wchar_t> upper(static_cast<size_t>(length));
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), length, upper.data(), length) != length) {
        return path;
    }
    return wideToUtf8(upper.data(), length);
}

std::string shellFolderPath(int csidl) {
    // Looking a folder up never creates it, whatever flags the caller's value carries.
    wchar_t buffer[MAX_PATH] = L"";
    const HRESULT result =
        SHGetFolderPathW(nullptr, csidl & ~CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer);
    // S_FALSE too means there is no folder; some systems fill in the path they would use anyway.
    if (result != S_OK) return std::string();
    return wideToUtf8(buffer, -1);
}

std::string localAppDataFolder() { return shellFolderPath(CSIDL_LOCAL_APPDATA); }

std::string startMenuFolder() { return shellFolderPath(CSIDL_STARTMENU); }

std::string systemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return wideToUtf8(folder, static_cast<int32_t>(length));
}

std::string temporaryFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return {};
    return wideToUtf8(folder, static_cast<int32_t>(length));  // ends in a backslash
}

std::vector<std::string> userAndSystemFolders() {
    std::vector<std::string> folders;
    for (const int csidl : kUserAndSystemCsidls) {
        std::string path = shellFolderPath(csidl);
        if (!path.empty()) folders.push_back(std::move(path));
    }
    for (const KNOWNFOLDERID* id : kUserAndSystemKnownFolders) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(*id, 0, nullptr, &path))) folders.push_back(wideToUtf8(path, -1));
        CoTaskMemFree(path);
    }
    std::string temp = temporaryFolder();
    if (!temp.empty()) folders.push_back(std::move(temp));
    return folders;
}

}  // namespace swiftsetup
