#include "platform/paths.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

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
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) return {};
        if (length < buffer.size()) return wideToUtf8(buffer.data(), static_cast<int32_t>(length));
        buffer.resize(length + 1);
    }
    return {};
}

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

std::string shellFolderPath(int csidl) {
    // Looking a folder up never creates it, whatever flags the caller's value carries.
    wchar_t buffer[MAX_PATH] = L"";
    const HRESULT result =
        SHGetFolderPathW(nullptr, csidl & ~CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer);
    // S_FALSE too means there is no folder; some systems fill in the path they would use anyway.
    if (result != S_OK) return std::string();
    return wideToUtf8(buffer, -1);
}

}  // namespace swiftsetup
