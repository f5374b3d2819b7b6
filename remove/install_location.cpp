#include "remove/install_location.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "install/product.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// Folders that hold the user's files, the user's settings, or the system and its programs. A
// folder that is one of them, or holds one, is never deleted as an installation.
constexpr int kProtectedCsidls[] = {
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
const KNOWNFOLDERID* const kProtectedKnownFolders[] = {
    &FOLDERID_Downloads, &FOLDERID_SavedGames, &FOLDERID_Links, &FOLDERID_Contacts,
    &FOLDERID_Public,
};

// Letter case as the file system ignores it, beyond ASCII.
std::string foldCase(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    const int length = static_cast<int>(wide.size()) - 1;
    if (length <= 0) return path;
    std::vector<wchar_t> upper(static_cast<size_t>(length));
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), length, upper.data(), length) != length) {
        return path;
    }
    return wideToUtf8(upper.data(), length);
}

// Canonical and folded, or empty when the path is not one the guard can reason about.
std::string comparable(const std::string& path) {
    const std::optional<std::string> canonical = canonicalFolderPath(path);
    return canonical ? foldCase(*canonical) : std::string();
}

// Where an existing folder really is, every link on the way followed; empty when unknown.
std::string resolvedPath(const std::string& canonical) {
    UniqueHandle folder(CreateFileW(utf8ToWide(canonical).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return {};
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(folder.get(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < buffer.size()) return comparable(wideToUtf8(buffer.data(), static_cast<int32_t>(length)));
        buffer.resize(length + 1);
    }
}

// Each folder both as the system names it and where it really is.
void addProtected(std::vector<std::string>& folders, const std::string& path) {
    const std::string folder = comparable(path);
    if (folder.empty()) return;
    folders.push_back(folder);
    std::string resolved = resolvedPath(folder);
    if (!resolved.empty() && resolved != folder) folders.push_back(std::move(resolved));
}

std::vector<std::string> protectedFolders() {
    std::vector<std::string> folders;
    for (const int csidl : kProtectedCsidls) addProtected(folders, shellFolderPath(csidl));
    for (const KNOWNFOLDERID* id : kProtectedKnownFolders) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(*id, 0, nullptr, &path))) addProtected(folders, wideToUtf8(path, -1));
        CoTaskMemFree(path);
    }
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length > 0 && length <= MAX_PATH) addProtected(folders, wideToUtf8(temp, static_cast<int32_t>(length)));
    return folders;
}

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

LocationVerdict checkInstallLocation(const std::string& installLocation, std::string& folder) {
    const std::optional<std::string> canonical = canonicalFolderPath(installLocation);
    if (!canonical) return LocationVerdict::NotAbsolute;

    LocationFacts facts;
    facts.location = foldCase(*canonical);
    facts.resolvedForms.push_back(resolvedPath(*canonical));
    facts.protectedFolders = protectedFolders();
    const std::string localAppData = shellFolderPath(CSIDL_LOCAL_APPDATA);
    if (!localAppData.empty()) facts.ownInstallFolder = comparable(localAppData + product::kInstallFolderSuffix);
    facts.holdsProgramFile = isFile(*canonical + product::kProgramFile) || isFile(*canonical + product::kUninstallerFile);

    const LocationVerdict verdict = judgeInstallLocation(facts);
    if (verdict == LocationVerdict::Removable) folder = *canonical;
    return verdict;
}

}  // namespace swiftsetup
