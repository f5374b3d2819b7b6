#pragma once
// What an installation leaves, planted by the removal tests without running the installer, and
// the state they check afterwards. The general helpers (paths, registry, running programs) are
// in tests/support/product_state.h.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/product_state.h"

namespace removaltest {

using testsupport::RunningProgram;

// What an installation leaves: the payload of the installer program (the sample application,
// lexmora.exe and parlavo.exe among its files) unpacked into the folder, one file of it made
// read-only and one hidden; the uninstaller (a copy of the installer program); the uninstall
// entry naming the folder; the Run value "Lexmora" and two more that start the program; a Run
// value of another program; both shortcuts. False when the payload could not be unpacked.
bool plantInstallation(const std::wstring& installerProgram);

// The number of files and folders in the tree, the folder itself included.
size_t entriesInTree(const std::wstring& folder);

// Starts the installed program (with "--safe-mode", as the install does) and chat program and
// waits for their windows.
std::vector<std::unique_ptr<RunningProgram>> startPlantedPrograms();

// A clean user (testsupport::resetProductState), and no Run value that the tests planted.
void resetRemovalState();

// The Run values that start the planted program (by the product's own matching rules), and the
// one that must survive.
inline constexpr wchar_t kForeignRunValue[] = L"Other tool";
std::vector<std::wstring> runValuesStartingProgram(const std::wstring& program);

}  // namespace removaltest
