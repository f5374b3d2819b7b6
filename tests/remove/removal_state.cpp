#include "tests/remove/removal_state.h"

#include <objbase.h>
#include <psapi.h>
#include <shlobj.h>

#include "install/autostart_match.h"
#include "tests/support/test_support.h"

namespace testsupport {
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
    // The stand-ins end by themselves after two minutes; end them sooner by their path.
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

RunningProgram::RunningProgram(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    Sleep(200);  // until its modules are loaded, as with a program the user started a while ago
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

const std::vector<std::wstring>& plantedFiles() {
    static const std::vector<std::wstring> files{
        L"lexmora.exe", L"parlavo.exe", L"uninstall.exe", L"lexmora.dll", L"data\\words.db",
        L"data\\read-only.db", L"data\\da\\ordbog.db", L"data\\da\\.hidden", L"plugins\\chat\\..chat.cfg",
    };
    return files;
}

void plantInstallation(const std::wstring& uninstallerSource) {
    const RemovalPaths paths = removalPaths();
    const std::wstring standIn = besideModule(L"run_until_told.exe");
    CreateDirectoryW((paths.localAppData + L"\\Apps").c_str(), nullptr);
    CreateDirectoryW(paths.installFolder.c_str(), nullptr);
    for (const wchar_t* folder : {L"data", L"data\\da", L"plugins", L"plugins\\chat"}) {
        CreateDirectoryW((paths.installFolder + L"\\" + folder).c_str(), nullptr);
    }
    CopyFileW(standIn.c_str(), paths.program.c_str(), FALSE);
    CopyFileW(standIn.c_str(), paths.chatProgram.c_str(), FALSE);
    CopyFileW(uninstallerSource.c_str(), paths.uninstaller.c_str(), FALSE);
    for (size_t i = 3; i < plantedFiles().size(); ++i) {
        writeFile(paths.installFolder + L"\\" + plantedFiles()[i], "payload file " + std::to_string(i));
    }
    SetFileAttributesW((paths.installFolder + L"\\data\\read-only.db").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((paths.installFolder + L"\\data\\da\\.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);

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
    makeShortcut(paths.programShortcut, paths.program);
    makeShortcut(paths.chatShortcut, paths.chatProgram);
}

std::vector<std::unique_ptr<RunningProgram>> startPlantedPrograms() {
    const RemovalPaths paths = removalPaths();
    std::vector<std::unique_ptr<RunningProgram>> programs;
    programs.push_back(std::make_unique<RunningProgram>(paths.program));
    programs.push_back(std::make_unique<RunningProgram>(paths.chatProgram));
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

}  // namespace testsupport
