#include "platform/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

void initializeComOnThisThread() {
    // S_FALSE (already initialised on this thread) is as good as S_OK; a thread that cannot have
    // COM simply makes no shortcuts.
    const HRESULT result = CoInitialize(nullptr);
    (void)result;
}

bool saveShellLink(const std::string& target, const std::string& path) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out())) || !link) {
        return false;
    }
    const WideBuffer wideTarget = utf8ToWide(target);
    link->SetPath(wideTarget.c_str());
    link->SetIconLocation(wideTarget.c_str(), 0);
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out())) || !file) return false;
    return SUCCEEDED(file->Save(utf8ToWide(path).c_str(), TRUE));
    // file is released before link, in reverse order of acquisition
}

}  // namespace swiftsetup
