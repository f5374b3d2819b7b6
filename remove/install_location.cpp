#include "remove/install_location.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "install/product.h"
#include "payload/chunk_format.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text_conversion.h"
#include "remove/version_resource.h"

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

// Calls a Windows function that fills a buffer with a path and returns its length, or the size
// it needs; the text, or empty when the call fails.
template <typename Call>
std::string pathFrom(Call call) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return wideToUtf8(buffer.data(), static_cast<int32_t>(length));
        buffer.resize(length + 1);
    }
    return {};
}

// Short (8.3) names written out as the names they stand for; the path itself when it has none
// to expand or does not exist.
std::string longPathName(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    const std::string expanded =
        pathFrom([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(wide.c_str(), buffer, size); });
    return expanded.empty() ? path : expanded;
}

// Where an existing folder really is, every link on the way followed, without the "\\?\" prefix;
// empty when unknown.
std::string finalPath(const std::string& folder) {
    UniqueHandle handle(CreateFileW(utf8ToWide(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return {};
    const std::string path = pathFrom([&](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(handle.get(), buffer, size, VOLUME_NAME_DOS);
    });
    return canonicalFolderPath(path).value_or(std::string());
}

// Each folder both as the system names it and where it really is.
void addProtected(std::vector<std::string>& folders, const std::string& path) {
    const std::string folder = comparable(path);
    if (folder.empty()) return;
    folders.push_back(folder);
    std::string resolved = comparable(finalPath(folder));
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

// "X:\..." or a share, with or without the "\\?\" prefix: a path that names a folder by itself,
// not one relative to a current folder.
bool isAbsoluteSpelling(const std::string& path) {
    const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    return drive || share;
}

// On a share: written as one ("\\server\share", "\\?\UNC\..."), or on a drive that leads to one.
bool isOnNetwork(const std::string& canonical) {
    if (canonical.size() < 3 || canonical[1] != ':') return true;
    const wchar_t root[] = {static_cast<wchar_t>(canonical[0]), L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

// The bytes of one resource of a module loaded as data; empty when it has none.
std::string_view resourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC resource = FindResourceW(module, name, type);
    if (resource == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return {};
    return std::string_view(static_cast<const char*>(bytes), SizeofResource(module, resource));
}

// The folder's "uninstall.exe" is this installer: its version resource names our product and
// publisher, and it carries a payload that begins with a version chunk, as only this installer
// does. It is read as data, never run.
bool holdsOurUninstaller(const std::string& folder) {
    const std::string path = folder + product::kUninstallerFile;
    const DWORD attributes = GetFileAttributesW(utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    UniqueModule module(LoadLibraryExW(utf8ToWide(path).c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return false;
    const std::string_view payload = resourceBytes(module.get(), MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256));
    if (payload.size() < kChunkHeaderSize || static_cast<uint8_t>(payload[0]) != static_cast<uint8_t>(ChunkKind::Version)) {
        return false;
    }
    const std::string_view version = resourceBytes(module.get(), MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const auto* bytes = reinterpret_cast<const uint8_t*>(version.data());
    return versionString(bytes, version.size(), "ProductName") == product::kName &&
           versionString(bytes, version.size(), "CompanyName") == product::kPublisher;
}

}  // namespace

std::string ownInstallFolder() {
    const std::string localAppData = shellFolderPath(CSIDL_LOCAL_APPDATA);
    return localAppData.empty() ? std::string() : localAppData + product::kInstallFolderSuffix;
}

LocationVerdict checkInstallLocation(const std::string& location, std::string& folder) {
    if (!isAbsoluteSpelling(location)) return LocationVerdict::NotAbsolute;
    const std::optional<std::string> canonical = canonicalFolderPath(fullPathName(location));
    if (!canonical) return LocationVerdict::NotAbsolute;

    LocationFacts facts;
    facts.onNetwork = isOnNetwork(*canonical);
    if (!facts.onNetwork) {
        const DWORD attributes = GetFileAttributesW(utf8ToWide(*canonical).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return LocationVerdict::Missing;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return LocationVerdict::NotAnInstallation;
    }
    const std::string longForm = canonicalFolderPath(longPathName(*canonical)).value_or(*canonical);
    facts.location = foldCase(longForm);
    if (!facts.onNetwork) {
        const std::string resolved = finalPath(longForm);
        facts.unresolvable = resolved.empty();
        if (!resolved.empty()) {
            facts.resolvedForms.push_back(foldCase(resolved));
            facts.onNetwork = isOnNetwork(resolved);  // a link that leads to a share
        }
    }
    facts.protectedFolders = protectedFolders();
    const std::string own = ownInstallFolder();
    if (!own.empty()) {
        const std::string ownResolved = finalPath(own);
        facts.ownInstallFolder = comparable(ownResolved.empty() ? own : ownResolved);
        facts.ownInstallFolderAsNamed = foldCase(canonicalFolderPath(longPathName(fullPathName(own))).value_or(own));
    }
    facts.holdsOurUninstaller = holdsOurUninstaller(longForm);

    const LocationVerdict verdict = judgeInstallLocation(facts);
    if (verdict == LocationVerdict::Removable) folder = longForm;
    return verdict;
}

std::string installationToRemove(const std::string& installLocation) {
    const std::string own = ownInstallFolder();
    std::string folder;
    if (!installLocation.empty() && checkInstallLocation(installLocation, folder) == LocationVerdict::Removable) {
        // Running programs and autostart values were given the install's own spelling.
        return !own.empty() && isSameFile(folder, own) ? own : folder;
    }
    // The entry names no folder of ours: ours is where the install puts it, if anywhere.
    if (!own.empty() && checkInstallLocation(own, folder) == LocationVerdict::Removable) return own;
    return {};
}

}  // namespace swiftsetup
