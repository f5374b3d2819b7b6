#pragma once
// The per-user state that an installation leaves and the uninstall removes, as the removal
// tests plant and inspect it: the folder with its running programs, the uninstall entry, the
// autostart values and the Start-menu shortcuts.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace removaltest {

struct RemovalPaths {
    std::wstring profile;
    std::wstring localAppData;
    std::wstring installFolder;  // ...\Apps\Lexmora 3
    std::wstring program;        // ...\lexmora.exe
    std::wstring chatProgram;    // ...\parlavo.exe
    std::wstring uninstaller;    // ...\uninstall.exe
    std::wstring startMenu;
    std::wstring shortcutFolder;  // <Start menu>\Kelvora
    std::wstring programShortcut;
    std::wstring chatShortcut;
};
RemovalPaths removalPaths();

inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lexmora";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Registry below HKEY_CURRENT_USER.
bool keyExists(const std::wstring& key);
std::optional<std::wstring> readString(const std::wstring& key, const std::wstring& name);
void writeValue(const std::wstring& key, const std::wstring& name, const std::wstring& data, DWORD type = REG_SZ);
void deleteValue(const std::wstring& key, const std::wstring& name);
void deleteKeyTree(const std::wstring& key);

// A shell link to target, as the install makes them.
bool makeShortcut(const std::wstring& path, const std::wstring& target);

// A running copy of a program, ended (if still running) when the object goes.
class RunningProgram {
public:
    // Starts the command line and waits up to ten seconds for a window of the class (a moment
    // without one).
    RunningProgram(const std::wstring& commandLine, const wchar_t* windowClass);
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

// What an installation leaves: the payload of the installer program (the sample application,
// lexmora.exe and parlavo.exe among its files) unpacked into the folder, one file of it made
// read-only and one hidden; the uninstaller (a copy of the installer program); the uninstall
// entry naming the folder; the Run value "Lexmora" and two more that start the program; a Run
// value of another program; both shortcuts. False when the payload could not be unpacked.
bool plantInstallation(const std::wstring& installerProgram);

// Every file below a folder (paths relative to it), and the number of files and folders in the
// tree, the folder itself included.
std::vector<std::wstring> filesBelow(const std::wstring& folder);
size_t entriesInTree(const std::wstring& folder);

// Starts the installed program (with "--safe-mode", as the install does) and chat program and
// waits for their windows.
std::vector<std::unique_ptr<RunningProgram>> startPlantedPrograms();

// A clean user: nothing of ours runs, no folder, no entry, no autostart value, no shortcuts.
void resetRemovalState();

// The Run values that start the planted program, and the one that must survive.
inline constexpr wchar_t kForeignRunValue[] = L"Other tool";
std::vector<std::wstring> runValuesStartingProgram(const std::wstring& program);

}  // namespace removaltest
