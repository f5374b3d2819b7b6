#include "ui/copy_progress.h"

#include "install/installer.h"
#include "ui/interface.h"

namespace swiftsetup {

DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                            LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                            LPVOID installer) {
    auto& self = *static_cast<Installer*>(installer);
    // The progress scale is 32-bit: a file of 4 GiB or more wraps, as the whole install's does.
    const uint32_t total = totalFileSize.LowPart;
    const uint32_t copied = totalBytesTransferred.LowPart;
    if (self.frontEnd != nullptr) {
        self.frontEnd->setProgress(self.progressBase + copied, self.progressBase + total);
    }
    return PROGRESS_CONTINUE;
}

}  // namespace swiftsetup
