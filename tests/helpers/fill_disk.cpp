// fill_disk <file> <bytes to leave free> [anything...]
//
// Grows the file (making it when missing) until the drive that holds it has at most the given
// number of bytes free for this user, less than one cluster more than that, then ends with exit
// code 0. Registered as an earlier version's uninstaller, it fills a drive after the installer
// has measured it, as another program writing at the same time would. Anything after the two
// arguments (the "/quiet" an installer appends) is ignored.
// Exit code 0x7FFFFFF0 means the arguments could not be read, 0x7FFFFFF1 that the drive could not
// be measured or the file not written.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "tests/helpers/helper_arguments.h"

int main() {
    constexpr UINT kBadArguments = 0x7FFFFFF0;
    constexpr UINT kCannotFill = 0x7FFFFFF1;
    const std::vector<std::wstring> arguments = helpers::arguments();
    if (arguments.size() < 2) ExitProcess(kBadArguments);
    const std::optional<uint32_t> leave = helpers::parseNumber(arguments[1]);
    if (!leave) ExitProcess(kBadArguments);

    const std::wstring& path = arguments[0];
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ExitProcess(kCannotFill);
    SetFilePointer(file, 0, nullptr, FILE_END);
    const std::vector<char> chunk(1 << 20, 'f');
    for (;;) {
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) ExitProcess(kCannotFill);
        if (available.QuadPart <= *leave + 4096ull) break;
        // Whole clusters, so the drive never ends up with less room than asked.
        const ULONGLONG excess = (available.QuadPart - *leave) / 4096 * 4096;
        const DWORD length = static_cast<DWORD>(std::min<ULONGLONG>(excess, chunk.size()));
        DWORD written = 0;
        if (!WriteFile(file, chunk.data(), length, &written, nullptr) || written != length) ExitProcess(kCannotFill);
        FlushFileBuffers(file);
    }
    CloseHandle(file);
    ExitProcess(0);
}
