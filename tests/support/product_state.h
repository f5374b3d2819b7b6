#pragma once
// The per-user state that the installer creates, as the end-to-end tests see it: where things
// land, what the registry holds, which of our programs run, and a reset to a clean user.

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ProductPaths {
    std::wstring localAppData;     // the user's local application data folder
    std::wstring installFolder;    // ...\Apps\Lexmora 3
    std::wstring program;          // ...\lexmora.exe
    std::wstring chatProgram;      // ...\parlavo.exe
    std::wstring uninstaller;      // ...\uninstall.exe
    std::wstring startMenuFolder;  // <Start menu>\Kelvora
    std::wstring programShortcut;  // ...\Lexmora.lnk
    std::wstring chatShortcut;     // ...\Kelvora Chat.lnk
};
ProductPaths productPaths();

inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lexmora";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kBootstrapKey[] = L"Software\\Kelvora\\Lexmora 2\\bootstrap";

// One registry value as stored: its type and raw bytes.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string data;
    std::wstring asString() const;  // REG_SZ data without its terminator
    uint32_t asDword() const;
};
using RegistryValues = std::map<std::wstring, RegistryValue>;
// Every value of a key below HKEY_CURRENT_USER by name; none when the key is missing.
RegistryValues readValues(const std::wstring& key);
// Value names in enumeration order.
std::vector<std::wstring> valueNamesInOrder(const std::wstring& key);
bool keyExists(const std::wstring& key);
void setStringValue(const std::wstring& key, const std::wstring& name, const std::wstring& data,
                    DWORD type = REG_SZ);
void deleteKeyTree(const std::wstring& key);

// Processes whose program file lies in the given folder (full paths, as the system reports them).
std::vector<DWORD> processesInFolder(const std::wstring& folder);
// Ends them and waits until they are gone.
void endProcessesInFolder(const std::wstring& folder);

// A clean user: no installation folder, no uninstall entry, no Run value of ours, no Start-menu
// folder, no bootstrap key, no program of ours running.
void resetProductState();

}  // namespace testsupport
