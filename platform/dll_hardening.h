#pragma once
#include <windows.h>

namespace swiftsetup {

// Installers are started from download folders that other programs write into. Restricts later
// library loads to the system folder where the system offers that (from Windows 7 with update
// KB2533623, and 8 on); on older systems it takes the current folder out of the search order.
void restrictDllSearchPath();

// Loads a library by its full path in the system folder, so a planted copy beside the program is
// never picked up. Null on failure.
[[nodiscard]] HMODULE loadSystemLibrary(const wchar_t* fileName);

}  // namespace swiftsetup
