#pragma once
// The per-user state that the installer creates, as the end-to-end tests see it: where things
// land, what the registry holds, which of our programs run, and a reset to a clean user.

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "product_version.h"  // written by cmake/ProductVersion.cmake

namespace testsupport {

struct ProductPaths {
    std::wstring profile;          // the user's profile folder
    std::wstring localAppData;     // the user's local application data folder
    std::wstring installFolder;    // ...\Apps\Lexmora 3
    std::wstring program;          // ...\lexmora.exe
    std::wstring chatProgram;      // ...\parlavo.exe
    std::wstring uninstaller;      // ...\uninstall.exe
    std::wstring startMenu;        // the user's Start menu
    std::wstring shortcutFolder;   // <Start menu>\Kelvora
    std::wstring programShortcut;  // ...\Lexmora.lnk
    std::wstring chatShortcut;     // ...\Kelvora Chat.lnk
};
ProductPaths productPaths();

// The version the install writes as DisplayVersion and Version.
inline constexpr wchar_t kProductVersion[] = L"" LEXMORA_VERSION_TEXT;
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lexmora";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kBootstrapKey[] = L"Software\\Kelvora\\Lexmora 2\\bootstrap";

// One registry value as stored: its type and raw bytes.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string data;
    std::wstring asString() const;  // REG_SZ data without its terminator
    uint32_t asDword() const;
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};
using RegistryValues = std::map<std::wstring, RegistryValue>;
// Every value of a key below HKEY_CURRENT_USER by name; none when the key is missing.
RegistryValues readValues(const std::wstring& key);
// Value names in enumeration order.
std::vector<std::wstring> valueNamesInOrder(const std::wstring& key);
bool keyExists(const std::wstring& key);
// A value's text whatever its type; nothing when it is missing.
std::optional<std::wstring> readString(const std::wstring& key, const std::wstring& name);
// Creates the key when it is missing.
void writeValue(const std::wstring& key, const std::wstring& name, const std::wstring& data,
                DWORD type = REG_SZ);
void deleteValue(const std::wstring& key, const std::wstring& name);
void deleteKeyTree(const std::wstring& key);

// A shell link to target, as the install makes them. True when it was saved.
bool makeShortcut(const std::wstring& path, const std::wstring& target);

// Every file below a folder, as paths relative to it; and with the bytes of each.
std::vector<std::wstring> filesBelow(const std::wstring& folder);
std::map<std::wstring, std::string> contentsBelow(const std::wstring& folder);

// A started program, ended (if still running) when the object goes.
class RunningProgram {
public:
    // Starts the command line; with a window class, waits up to ten seconds for a window of that
    // class owned by the new process.
    RunningProgram(const std::wstring& commandLine, const wchar_t* windowClass = nullptr);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    bool started() const { return process_ != nullptr; }
    bool running() const;
    DWORD processId() const { return id_; }
    HANDLE handle() const { return process_; }
    // Waits up to timeoutMs for the end; the exit code, or nothing while it still runs.
    std::optional<DWORD> exitCode(DWORD timeoutMs = 0) const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// Processes whose program file lies in the given folder (full paths, as the system reports them).
std::vector<DWORD> processesInFolder(const std::wstring& folder);
// Processes of one program file.
std::vector<DWORD> processesOf(const std::wstring& program);
// Ends them and waits until they are gone.
void endProcessesInFolder(const std::wstring& folder);

// A process with every thread suspended, so that a test can cut a run off at a chosen point or
// change the machine under it; resumed when the object goes, unless it was ended meanwhile.
class PausedProcess {
public:
    explicit PausedProcess(DWORD processId);
    ~PausedProcess() { resume(); }
    PausedProcess(const PausedProcess&) = delete;
    PausedProcess& operator=(const PausedProcess&) = delete;
    void resume();

private:
    std::vector<HANDLE> threads_;
};

// The installer of that process id paused while it unpacks into its staging folder (a file there,
// its uninstaller not yet); nothing when it did not get there within the time.
std::unique_ptr<PausedProcess> pauseWhileUnpacking(DWORD processId, const ProductPaths& paths, DWORD timeoutMs);

// The work folders beside the installation folder ("Lexmora 3.new-...", "Lexmora 3.old-...").
std::vector<std::wstring> workFoldersBeside(const ProductPaths& paths);

// Everything of the product a user has, to compare before and after something that must change
// none of it: every file of the installation folder and of the shortcut folder with its bytes, the
// uninstall entry, the autostart values, and the programs running from the folder.
struct ProductSnapshot {
    std::map<std::wstring, std::string> files;
    std::map<std::wstring, std::string> shortcuts;
    RegistryValues entry;
    RegistryValues run;
    std::vector<DWORD> processes;
    friend bool operator==(const ProductSnapshot&, const ProductSnapshot&) = default;
};
ProductSnapshot snapshotProduct();
// Names what differs, for a test's failure message; empty when nothing does.
std::string differences(const ProductSnapshot& before, const ProductSnapshot& after);

// Points one of the user's shell folders (a value name of "User Shell Folders", such as
// "Local AppData") elsewhere for as long as it lives.
class RedirectedShellFolder {
public:
    RedirectedShellFolder(const wchar_t* name, const std::wstring& target);
    ~RedirectedShellFolder();
    RedirectedShellFolder(const RedirectedShellFolder&) = delete;
    RedirectedShellFolder& operator=(const RedirectedShellFolder&) = delete;

private:
    const wchar_t* name_;
    std::optional<std::wstring> old_;
    DWORD oldType_ = REG_EXPAND_SZ;
};

// The user's local application data on drive S:, the harness's small drive (tests/small_drive.sh),
// for as long as it lives; the drive is emptied afterwards.
class OnTheSmallDrive {
public:
    OnTheSmallDrive();
    ~OnTheSmallDrive();
    OnTheSmallDrive(const OnTheSmallDrive&) = delete;
    OnTheSmallDrive& operator=(const OnTheSmallDrive&) = delete;
    // fill_disk's command line that leaves the drive this many bytes.
    static std::wstring fillCommand(uint64_t leave);
    // Gives back what fillCommand took.
    static void removeFiller();

private:
    std::optional<RedirectedShellFolder> redirect_;
};

// What the files below a folder take on a drive of 4 KiB clusters.
uint64_t roomOnDrive(const std::wstring& folder);

// A clean user: no installation folder (nor an empty "Apps" above it, nor work folders beside it), no uninstall entry, no Run
// value of ours, no Start-menu folder, no bootstrap key, no program of ours running.
void resetProductState();

}  // namespace testsupport
