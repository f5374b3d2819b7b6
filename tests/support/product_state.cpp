#include "tests/support/product_state.h"

#include <psapi.h>
#include <shlwapi.h>
#include <shlobj.h>

#include "tests/support/test_support.h"

namespace testsupport {
namespace {

std::wstring shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

ProductPaths productPaths() {
    ProductPaths p;
    p.localAppData = shellFolder(CSIDL_LOCAL_APPDATA);
    p.installFolder = p.localAppData + L"\\Apps\\Lexmora 3";
    p.program = p.installFolder + L"\\lexmora.exe";
    p.chatProgram = p.installFolder + L"\\parlavo.exe";
    p.uninstaller = p.installFolder + L"\\uninstall.exe";
    p.startMenuFolder = shellFolder(CSIDL_STARTMENU) + L"\\Kelvora";
    p.programShortcut = p.startMenuFolder + L"\\Lexmora.lnk";
    p.chatShortcut = p.startMenuFolder + L"\\Kelvora Chat.lnk";
    return p;
}

std::wstring RegistryValue::asString() const {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

uint32_t RegistryValue::asDword() const {
    uint32_t value = 0;
    if (data.size() == sizeof(value)) memcpy(&value, data.data(), sizeof(value));
    return value;
}

RegistryValues readValues(const std::wstring& key) {
    RegistryValues values;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(handle, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RegistryValue value;
        value.type = type;
        value.data.resize(size);
        DWORD readSize = size;
        RegQueryValueExW(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data.data()), &readSize);
        value.data.resize(readSize);
        values[std::wstring(name, nameLength)] = value;
    }
    RegCloseKey(handle);
    return values;
}

std::vector<std::wstring> valueNamesInOrder(const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        if (RegEnumValueW(handle, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, nameLength);
    }
    RegCloseKey(handle);
    return names;
}

bool keyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

void setStringValue(const std::wstring& key, const std::wstring& name, const std::wstring& data, DWORD type) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

void deleteKeyTree(const std::wstring& key) { SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str()); }

std::vector<DWORD> processesInFolder(const std::wstring& folder) {
    std::vector<DWORD> ids(4096), found;
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return found;
    const std::wstring prefix = lower(folder) + L"\\";
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (process == nullptr) continue;
        wchar_t image[32768];
        DWORD length = 32768;
        if (QueryFullProcessImageNameW(process, 0, image, &length) &&
            lower(std::wstring(image, length)).rfind(prefix, 0) == 0) {
            found.push_back(ids[i]);
        }
        CloseHandle(process);
    }
    return found;
}

void endProcessesInFolder(const std::wstring& folder) {
    for (DWORD id : processesInFolder(folder)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (process == nullptr) continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

void resetProductState() {
    const ProductPaths paths = productPaths();
    endProcessesInFolder(paths.installFolder);
    deleteTree(paths.installFolder);
    deleteTree(paths.startMenuFolder);
    deleteKeyTree(kUninstallKey);
    deleteKeyTree(L"Software\\Kelvora");
    // Run values of ours, whatever their names; other programs' values stay.
    const std::wstring program = lower(paths.program);
    for (const auto& [name, value] : readValues(kRunKey)) {
        if (lower(value.asString()).find(program) == std::wstring::npos) continue;
        HKEY run = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
            RegDeleteValueW(run, name.c_str());
            RegCloseKey(run);
        }
    }
}

}  // namespace testsupport
