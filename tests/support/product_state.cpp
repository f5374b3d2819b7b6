#include "tests/support/product_state.h"

#include <objbase.h>
#include <psapi.h>
#include <shlwapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

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
    p.profile = shellFolder(CSIDL_PROFILE);
    p.localAppData = shellFolder(CSIDL_LOCAL_APPDATA);
    p.installFolder = p.localAppData + L"\\Apps\\Lexmora 3";
    p.program = p.installFolder + L"\\lexmora.exe";
    p.chatProgram = p.installFolder + L"\\parlavo.exe";
    p.uninstaller = p.installFolder + L"\\uninstall.exe";
    p.startMenu = shellFolder(CSIDL_STARTMENU);
    p.shortcutFolder = p.startMenu + L"\\Kelvora";
    p.programShortcut = p.shortcutFolder + L"\\Lexmora.lnk";
    p.chatShortcut = p.shortcutFolder + L"\\Kelvora Chat.lnk";
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

std::optional<std::wstring> readString(const std::wstring& key, const std::wstring& name) {
    const RegistryValues values = readValues(key);
    const auto value = values.find(name);
    if (value == values.end()) return std::nullopt;
    return value->second.asString();
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
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return;
    RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
}

void deleteKeyTree(const std::wstring& key) { SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str()); }

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
    if (windowClass == nullptr) return;
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

namespace {

// The processes whose program file's path, in lower case, passes the test.
template <typename Test>
std::vector<DWORD> processesWhoseImage(Test test) {
    std::vector<DWORD> ids(4096), found;
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return found;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[i]);
        if (process == nullptr) continue;
        wchar_t image[32768];
        DWORD length = 32768;
        if (QueryFullProcessImageNameW(process, 0, image, &length) && test(lower(std::wstring(image, length)))) {
            found.push_back(ids[i]);
        }
        CloseHandle(process);
    }
    return found;
}

}  // namespace

std::vector<DWORD> processesInFolder(const std::wstring& folder) {
    const std::wstring prefix = lower(folder) + L"\\";
    return processesWhoseImage([&](const std::wstring& image) { return image.rfind(prefix, 0) == 0; });
}

std::vector<DWORD> processesOf(const std::wstring& program) {
    const std::wstring wanted = lower(program);
    return processesWhoseImage([&](const std::wstring& image) { return image == wanted; });
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

std::map<std::wstring, std::string> contentsBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> contents;
    for (const std::wstring& file : filesBelow(folder)) contents[file] = readFile(folder + L"\\" + file).value_or("?");
    return contents;
}

namespace {

template <typename Map>
void compareMaps(std::string& out, const char* what, const Map& before, const Map& after) {
    for (const auto& [name, value] : before) {
        const auto it = after.find(name);
        if (it == after.end()) {
            out += std::string(what) + " " + narrow(name) + " is gone; ";
        } else if (!(it->second == value)) {
            out += std::string(what) + " " + narrow(name) + " changed; ";
        }
    }
    for (const auto& [name, value] : after) {
        if (before.count(name) == 0) out += std::string(what) + " " + narrow(name) + " is new; ";
    }
}

}  // namespace

ProductSnapshot snapshotProduct() {
    const ProductPaths paths = productPaths();
    ProductSnapshot snapshot;
    snapshot.files = contentsBelow(paths.installFolder);
    snapshot.shortcuts = contentsBelow(paths.shortcutFolder);
    snapshot.entry = readValues(kUninstallKey);
    snapshot.run = readValues(kRunKey);
    snapshot.processes = processesInFolder(paths.installFolder);
    return snapshot;
}

std::string differences(const ProductSnapshot& before, const ProductSnapshot& after) {
    std::string out;
    compareMaps(out, "file", before.files, after.files);
    compareMaps(out, "shortcut", before.shortcuts, after.shortcuts);
    compareMaps(out, "entry value", before.entry, after.entry);
    compareMaps(out, "autostart value", before.run, after.run);
    if (before.processes != after.processes) out += "the running programs changed; ";
    return out;
}

namespace {
constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kFiller[] = L"S:\\filler.bin";
}  // namespace

RedirectedShellFolder::RedirectedShellFolder(const wchar_t* name, const std::wstring& target) : name_(name) {
    const RegistryValues values = readValues(kUserShellFolders);
    const auto it = values.find(name);
    if (it != values.end()) {
        old_ = it->second.asString();
        oldType_ = it->second.type;
    }
    writeValue(kUserShellFolders, name, target, REG_EXPAND_SZ);
}

RedirectedShellFolder::~RedirectedShellFolder() {
    if (old_) {
        writeValue(kUserShellFolders, name_, *old_, oldType_);
    } else {
        deleteValue(kUserShellFolders, name_);
    }
}

OnTheSmallDrive::OnTheSmallDrive() {
    CreateDirectoryW(L"S:\\AppData", nullptr);
    CreateDirectoryW(L"S:\\AppData\\Local", nullptr);
    redirect_.emplace(L"Local AppData", L"S:\\AppData\\Local");
}

OnTheSmallDrive::~OnTheSmallDrive() {
    resetProductState();  // while the user's folders still point at the drive
    redirect_.reset();
    deleteTree(L"S:\\AppData");
    DeleteFileW(kFiller);
}

std::wstring OnTheSmallDrive::fillCommand(uint64_t leave) {
    return L"\"" + besideModule(L"fill_disk.exe") + L"\" " + kFiller + L" " + std::to_wstring(leave);
}

void OnTheSmallDrive::removeFiller() { DeleteFileW(kFiller); }

uint64_t roomOnDrive(const std::wstring& folder) {
    uint64_t room = 0;
    for (const std::wstring& file : filesBelow(folder)) {
        room += (readFile(folder + L"\\" + file).value_or("").size() + 4095) / 4096 * 4096;
    }
    return room;
}

PausedProcess::PausedProcess(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread != nullptr && SuspendThread(thread) != static_cast<DWORD>(-1)) threads_.push_back(thread);
    }
    CloseHandle(snapshot);
}

void PausedProcess::resume() {
    for (HANDLE thread : threads_) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
    threads_.clear();
}

std::unique_ptr<PausedProcess> pauseWhileUnpacking(DWORD processId, const ProductPaths& paths, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        for (const std::wstring& folder : workFoldersBeside(paths)) {
            if (folder.find(L".new-") == std::wstring::npos || fileExists(folder + L"\\uninstall.exe")) continue;
            if (filesBelow(folder).size() < 3) continue;  // the marker and a file or two: well under way
            auto paused = std::make_unique<PausedProcess>(processId);
            if (!fileExists(folder + L"\\uninstall.exe")) return paused;
        }
        Sleep(1);
    }
    return nullptr;
}

std::vector<std::wstring> workFoldersBeside(const ProductPaths& paths) {
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((paths.installFolder + L".*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return folders;
    do {
        // The pattern also matches the installation folder itself, which has no dot.
        if (std::wstring(found.cFileName).find(L'.') != std::wstring::npos) {
            folders.push_back(paths.localAppData + L"\\Apps\\" + found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return folders;
}

void resetProductState() {
    const ProductPaths paths = productPaths();
    endProcessesInFolder(paths.installFolder);
    for (const std::wstring& folder : workFoldersBeside(paths)) deleteTree(folder);
    deleteTree(paths.installFolder);
    RemoveDirectoryW((paths.localAppData + L"\\Apps").c_str());  // only when empty
    deleteTree(paths.shortcutFolder);
    deleteKeyTree(kUninstallKey);
    deleteKeyTree(L"Software\\Kelvora");
    // Run values of ours, whatever their names; other programs' values stay.
    const std::wstring program = lower(paths.program);
    for (const auto& [name, value] : readValues(kRunKey)) {
        if (lower(value.asString()).find(program) != std::wstring::npos) deleteValue(kRunKey, name);
    }
}

}  // namespace testsupport
