#include "platform/links.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// The head of a mount point's reparse data, as FSCTL_SET_REPARSE_POINT takes it; the two names
// follow it, each ending in a NUL that the lengths do not count.
struct MountPointReparseHead {
    DWORD reparseTag;
    WORD reparseDataLength;  // from substituteNameOffset to the end
    WORD reserved;
    WORD substituteNameOffset;
    WORD substituteNameLength;
    WORD printNameOffset;
    WORD printNameLength;
};
// The documented layout (REPARSE_DATA_BUFFER, MountPointReparseBuffer), the same in both builds.
static_assert(sizeof(MountPointReparseHead) == 16);
static_assert(offsetof(MountPointReparseHead, reparseDataLength) == 4);
static_assert(offsetof(MountPointReparseHead, substituteNameOffset) == 8);
static_assert(offsetof(MountPointReparseHead, printNameLength) == 14);
constexpr size_t kReparseHeaderBytes = 8;  // tag, length, reserved

}  // namespace

uint32_t makeJunction(const std::string& link, const std::string& target) {
    const WideBuffer linkName = fileSystemPath(link);
    if (!CreateDirectoryW(linkName.c_str(), nullptr)) return GetLastError();
    const std::wstring print = utf8ToWide(target).c_str();
    const std::wstring substitute = L"\\??\\" + print;
    const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
    const size_t printBytes = print.size() * sizeof(wchar_t);
    const size_t namesBytes = substituteBytes + sizeof(wchar_t) + printBytes + sizeof(wchar_t);
    std::vector<uint8_t> data(sizeof(MountPointReparseHead) + namesBytes, 0);
    MountPointReparseHead head{};
    head.reparseTag = IO_REPARSE_TAG_MOUNT_POINT;
    head.reparseDataLength = static_cast<WORD>(data.size() - kReparseHeaderBytes);
    head.substituteNameOffset = 0;
    head.substituteNameLength = static_cast<WORD>(substituteBytes);
    head.printNameOffset = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
    head.printNameLength = static_cast<WORD>(printBytes);
    std::memcpy(data.data(), &head, sizeof(head));
    std::memcpy(data.data() + sizeof(head), substitute.c_str(), substituteBytes);
    std::memcpy(data.data() + sizeof(head) + head.printNameOffset, print.c_str(), printBytes);

    DWORD error = ERROR_SUCCESS;
    {
        UniqueHandle folder(CreateFileW(linkName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        DWORD returned = 0;
        if (!folder) {
            error = GetLastError();
        } else if (data.size() > MAXIMUM_REPARSE_DATA_BUFFER_SIZE ||
                   !DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                    nullptr, 0, &returned, nullptr)) {
            error = data.size() > MAXIMUM_REPARSE_DATA_BUFFER_SIZE ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        }
    }
    if (error != ERROR_SUCCESS) RemoveDirectoryW(linkName.c_str());
    return error;
}

}  // namespace swiftsetup
