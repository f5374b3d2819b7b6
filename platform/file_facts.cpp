#include "platform/file_facts.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/handles.h"
#include "platform/path_forms.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(fileSystemPath(path).c_str()); }

}  // namespace

uint64_t fileSize(const std::string& path) {
    // No data access is asked for, so the file's sharing does not stand in the way: a file that
    // another program is writing still has a size.
    UniqueHandle file(
        CreateFileW(utf8ToWide(path).c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 0;
    // GetFileSizeEx, because GetFileSize's failure value is also a valid low half of a size.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool isSameFile(const std::string& first, const std::string& second) {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& facts) {
        UniqueHandle file(CreateFileW(utf8ToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file && GetFileInformationByHandle(file.get(), &facts);
    };
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return identity(first, a) && identity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool entryExists(const std::string& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool folderExists(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isLink(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    // The reparse point's kind, as a listing of its name gives it.
    WIN32_FIND_DATAW found;
    FindHandle entry(FindFirstFileW(fileSystemPath(path).c_str(), &found));
    return !entry || isLinkTag(found.dwReserved0);
}

std::optional<DiskSpace> diskSpaceAt(const std::string& path) {
    WideBuffer folder = utf8ToWide(path);
    for (;;) {
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) break;
        if (!PathRemoveFileSpecW(folder.data())) return std::nullopt;  // not even the root exists
    }
    DiskSpace space;
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    space.freeBytes = available.QuadPart;

    wchar_t root[MAX_PATH + 1] = L"";
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetVolumePathNameW(folder.c_str(), root, MAX_PATH + 1) &&
        GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
        space.clusterBytes = sectorsPerCluster * bytesPerSector;
    }
    return space;
}

bool isOnRemoteDrive(const std::string& path) {
    if (path.size() < 3 || path[1] != ':') return true;
    const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(path[0])), L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

}  // namespace swiftsetup
