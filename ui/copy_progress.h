#pragma once
#include <windows.h>

namespace swiftsetup {

// CopyFileExW progress routine; its data argument is the Installer. Continues the install's one
// progress range from Installer::progressBase and never cancels the copy.
DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                            LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                            DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                            HANDLE destinationFile, LPVOID installer);

}  // namespace swiftsetup
