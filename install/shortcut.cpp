#include "install/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "install/product.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

std::string createStartMenuShortcut(const std::string& target, const std::string& fileName) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.out())) ||
        !link) {
        return {};
    }
    const WideBuffer wideTarget = utf8ToWide(target);
    link->SetPath(wideTarget.c_str());
    link->SetIconLocation(wideTarget.c_str(), 0);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out())) || !file) return {};

    // Without a Start menu the folder would land below the drive root: no shortcut then.
    const std::string startMenu = shellFolderPath(CSIDL_STARTMENU);
    if (startMenu.empty()) return {};
    const std::string folder = startMenu + product::kStartMenuFolder;
    CreateDirectoryW(utf8ToWide(folder).c_str(), nullptr);  // an existing folder is fine
    const std::string path = folder + fileName;
    return SUCCEEDED(file->Save(utf8ToWide(path).c_str(), TRUE)) ? path : std::string();
    // file is released before link, in reverse order of acquisition
}

}  // namespace swiftsetup
