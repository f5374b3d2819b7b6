// product_probe <report file>
//
// Reads back, from this program's own architecture's view of the registry and the shell, what
// an install leaves for the user, and writes it into the report file as UTF-8 lines NAME=value:
//   bits=32|64                        this program's architecture
//   uninstall.<value name>=<data>     every value of the uninstall entry (numbers in decimal)
//   run.Lexmora=<data>                the autostart value
//   shortcut.<file name>=<target>     each shortcut of the Start-menu folder, as the shell reads it
// Built for the other architecture than a test's, it shows what a program of that kind sees.
// Exit code 0, or 1 when the report could not be written.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void reportValues(std::wstring& report, const wchar_t* key, const wchar_t* prefix, const wchar_t* only) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        BYTE data[65536];
        DWORD size = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegEnumValueW(handle, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        if (only != nullptr && lstrcmpiW(name, only) != 0) continue;
        std::wstring value;
        if (type == REG_DWORD && size == 4) {
            DWORD number = 0;
            CopyMemory(&number, data, 4);
            value = std::to_wstring(number);
        } else {
            data[size] = 0;
            data[size + 1] = 0;
            value = reinterpret_cast<const wchar_t*>(data);
        }
        report += prefix + std::wstring(name, nameLength) + L"=" + value + L"\n";
    }
    RegCloseKey(handle);
}

void reportShortcuts(std::wstring& report) {
    wchar_t startMenu[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, CSIDL_STARTMENU, nullptr, SHGFP_TYPE_CURRENT, startMenu) != S_OK) return;
    const std::wstring folder = std::wstring(startMenu) + L"\\Kelvora\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        IShellLinkW* link = nullptr;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&link)))) {
            continue;
        }
        IPersistFile* file = nullptr;
        wchar_t target[MAX_PATH] = L"";
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Load((folder + found.cFileName).c_str(), STGM_READ))) {
                link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            }
            file->Release();
        }
        link->Release();
        report += L"shortcut." + std::wstring(found.cFileName) + L"=" + target + L"\n";
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2) return 1;
    CoInitialize(nullptr);
    std::wstring report = L"bits=" + std::to_wstring(sizeof(void*) * 8) + L"\n";
    reportValues(report, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lexmora", L"uninstall.", nullptr);
    reportValues(report, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"run.", L"Lexmora");
    reportShortcuts(report);
    CoUninitialize();

    const std::string bytes = utf8(report);
    HANDLE file = CreateFileW(arguments[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(arguments);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size() ? 0 : 1;
}
