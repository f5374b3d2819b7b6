#pragma once
// The window's texts in the program's UTF-8: the window itself is a Windows type, its words are
// ours.

#include <windows.h>

#include <string>

namespace swiftsetup {

void setWindowText(HWND window, const std::string& text);

// A message box of the given MB_ type owned by owner (may be null); the button chosen, or 0 when
// no box could be shown.
[[nodiscard]] int showMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

}  // namespace swiftsetup
