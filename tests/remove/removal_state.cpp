#include "tests/remove/removal_state.h"

#include <objbase.h>
#include <psapi.h>
#include <shlobj.h>

#include "install/autostart_match.h"
#include "payload/payload_extractor.h"
#include "tests/support/test_support.h"

namespace removaltest {

using namespace testsupport;
namespace {

std::wstring shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? std::wstring(path) : std::wstring();
}

HKEY openKey(const std::wstring& key, REGSAM access) {
    HKEY handle = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access, &handle) == ERROR_SUCCESS ? handle : nullptr;
}

std::vector<std::wstring> valueNames(const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY handle = openKey(key, KEY_READ);
    if (handle == nullptr) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (RegEnumValueW(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    RegCloseKey(handle);
    return names;
}

void endProcessesIn(const std::wstring& folder) {
    const std::string prefix = swiftsetup::lowerAscii(narrow(folder + L"\\"));
    DWORD ids[4096];
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof(ids), &bytes)) return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ids[i]);
        if (process == nullptr) continue;
        wchar_t image[MAX_PATH * 4];
        DWORD length = MAX_PATH * 4;
        if (QueryFullProcessImageNameW(process, 0, image, &length) &&
            swiftsetup::lowerAscii(narrow(std::wstring(image, length))).rfind(prefix, 0) == 0) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
        }
        CloseHandle(process);
    }
}

}  // namespace

RemovalPaths removalPaths() {
    RemovalPaths paths;
    paths.profile = shellFolder(CSIDL_PROFILE);
    paths.localAppData = shellFolder(CSIDL_LOCAL_APPDATA);
    paths.installFolder = paths.localAppData + L"\\Apps\\Lexmora 3";
    paths.program = paths.installFolder + L"\\lexmora.exe";
    paths.chatProgram = paths.installFolder + L"\\parlavo.exe";
    paths.uninstaller = paths.installFolder + L"\\uninstall.exe";
    paths.startMenu = shellFolder(CSIDL_STARTMENU);
    paths.shortcutFolder = paths.startMenu + L"\\Kelvora";
    paths.programShortcut = paths.shortcutFolder + L"\\Lexmora.lnk";
    paths.chatShortcut = paths.shortcutFolder + L"\\Kelvora Chat.lnk";
    return paths;
}

bool keyExists(const std::wstring& key) {
    HKEY handle = openKey(key, KEY_READ);
    if (handle == nullptr) return false;
    RegCloseKey(handle);
    return true;
}

std::optional<std::wstring> readString(const std::wstring& key, const std::wstring& name) {
    HKEY handle = openKey(key, KEY_READ);
    if (handle == nullptr) return std::nullopt;
    wchar_t data[4096] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(data);
}

void writeValue(const std::wstring& key, const std::wstring& name, const std::wstring& data, DWORD type) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

void deleteValue(const std::wstring& key, const std::wstring& name) {
    HKEY handle = openKey(key, KEY_WRITE);
    if (handle == nullptr) return;
    RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
}

void deleteKeyTree(const std::wstring& key) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

bool makeShortcut(const std::wstring& path, const std::wstring& target) {
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return false;
    }
    link->SetPath(target.c_str());
    link->SetIconLocation(target.c_str(), 0);
    IPersistFile* file = nullptr;
    bool saved = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        saved = SUCCEEDED(file->Save(path.c_str(), TRUE));
        file->Release();
    }
    link->Release();
    return saved;
}

RunningProgram::RunningProgram(const std::wstring& commandLine, const wchar_t* windowClass) {
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    // Until its window is up, as with a program the user started a while ago.
    if (windowClass == nullptr) {
        Sleep(200);
        return;
    }
    for (int attempt = 0; attempt < 200; ++attempt) {
        for (HWND window = FindWindowW(windowClass, nullptr); window != nullptr;
             window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == id_) return;
        }
        Sleep(50);
    }
}

RunningProgram::~RunningProgram() {
    if (process_ == nullptr) return;
    if (running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool RunningProgram::running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> RunningProgram::exitCode(DWORD timeoutMs) const {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::vector<std::wstring> filesBelow(const std::wstring& folder) {
    std::vector<std::wstring> files;
    std::vector<std::wstring> pending{L""};
    while (!pending.empty()) {
        const std::wstring relative = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((folder + L"\\" + relative + L"*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                pending.push_back(relative + name + L"\\");
            } else {
                files.push_back(relative + name);
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return files;
}

size_t entriesInTree(const std::wstring& folder) {
    size_t count = 1;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return count;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        count += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? entriesInTree(folder + L"\\" + name) : 1;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

bool plantInstallation(const std::wstring& installerProgram) {
    const RemovalPaths paths = removalPaths();
    {
        HMODULE installer = LoadLibraryExW(installerProgram.c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (installer == nullptr) return false;
        swiftsetup::PayloadExtractor extractor(
            installer, FindResourceW(installer, MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256)));
        const bool unpacked = extractor.extract(narrow(paths.installFolder), nullptr, 0, 0);
        FreeLibrary(installer);
        if (!unpacked || !fileExists(paths.program) || !fileExists(paths.chatProgram)) return false;
    }
    CopyFileW(installerProgram.c_str(), paths.uninstaller.c_str(), FALSE);
    const std::vector<std::wstring> files = filesBelow(paths.installFolder);
    for (const std::wstring& file : files) {
        const std::wstring path = paths.installFolder + L"\\" + file;
        if (file.find(L".txt") != std::wstring::npos) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        } else if (file.find(L".css") != std::wstring::npos) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        }
    }

    writeValue(kUninstallKey, L"DisplayName", L"Lexmora");
    writeValue(kUninstallKey, L"DisplayVersion", L"3.3.8");
    writeValue(kUninstallKey, L"DisplayIcon", paths.program + L",0");
    writeValue(kUninstallKey, L"InstallLocation", paths.installFolder);
    writeValue(kUninstallKey, L"UninstallString", L"\"" + paths.uninstaller + L"\" /uninstall");

    writeValue(kRunKey, L"Lexmora", paths.program);
    writeValue(kRunKey, L"Lexmora (old)", L"\"" + paths.program + L"\" --tray");
    std::wstring upper = paths.program;
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    writeValue(kRunKey, L"Lexmora startup", upper);
    writeValue(kRunKey, kForeignRunValue, L"\"C:\\Program Files\\Other\\other.exe\" --quiet");

    CreateDirectoryW(paths.shortcutFolder.c_str(), nullptr);
    return makeShortcut(paths.programShortcut, paths.program) && makeShortcut(paths.chatShortcut, paths.chatProgram);
}

std::vector<std::unique_ptr<RunningProgram>> startPlantedPrograms() {
    const RemovalPaths paths = removalPaths();
    std::vector<std::unique_ptr<RunningProgram>> programs;
    programs.push_back(
        std::make_unique<RunningProgram>(L"\"" + paths.program + L"\" --safe-mode", L"LexmoraSampleWindow"));
    programs.push_back(std::make_unique<RunningProgram>(L"\"" + paths.chatProgram + L"\"", L"ParlavoSampleWindow"));
    return programs;
}

std::vector<std::wstring> runValuesStartingProgram(const std::wstring& program) {
    std::vector<std::wstring> matching;
    const std::string folded = swiftsetup::lowerAscii(narrow(program));
    for (const std::wstring& name : valueNames(kRunKey)) {
        const std::optional<std::wstring> data = readString(kRunKey, name);
        if (data && swiftsetup::commandStartsProgram(narrow(*data), folded)) matching.push_back(name);
    }
    return matching;
}

void resetRemovalState() {
    const RemovalPaths paths = removalPaths();
    endProcessesIn(paths.installFolder);
    deleteTree(paths.installFolder);
    RemoveDirectoryW((paths.localAppData + L"\\Apps").c_str());
    deleteKeyTree(kUninstallKey);
    for (const std::wstring& name : runValuesStartingProgram(paths.program)) deleteValue(kRunKey, name);
    for (const std::wstring& name : runValuesStartingProgram(L"\\lexmora.exe")) deleteValue(kRunKey, name);
    deleteValue(kRunKey, kForeignRunValue);
    deleteValue(kRunKey, L"Lexmora there");
    deleteTree(paths.shortcutFolder);
}

}  // namespace removaltest
