#include "platform/file_copy.h"

#include <windows.h>

#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

DWORD CALLBACK reportProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred, LARGE_INTEGER,
                              LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID progress) {
    (*static_cast<const CopyProgress*>(progress))(static_cast<uint64_t>(totalBytesTransferred.QuadPart),
                                                   static_cast<uint64_t>(totalFileSize.QuadPart));
    return PROGRESS_CONTINUE;
}

}  // namespace

uint32_t copyFile(const std::string& from, const std::string& to, const CopyProgress& progress) {
    const BOOL copied = CopyFileExW(utf8ToWide(from).c_str(), utf8ToWide(to).c_str(), progress ? &reportProgress : nullptr,
                                    progress ? const_cast<CopyProgress*>(&progress) : nullptr, nullptr,
                                    COPY_FILE_ALLOW_DECRYPTED_DESTINATION);
    return copied ? ERROR_SUCCESS : GetLastError();
}

}  // namespace swiftsetup
