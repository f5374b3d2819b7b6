#pragma once
// Finding and answering the windows and message boxes of another process (or of this one, from
// another thread), as a user at the screen would.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The first visible top-level window of the class, owned by the process (0: any process).
HWND waitForWindow(const wchar_t* className, DWORD processId, DWORD timeoutMs);

struct MessageBoxInfo {
    HWND box = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // control ids of the push buttons (IDOK, IDYES, IDNO, ...)
};

// Waits for a message box ("#32770") of the process (0: any) and describes it.
std::optional<MessageBoxInfo> waitForMessageBox(DWORD processId, DWORD timeoutMs);

// Presses a button of a dialog the way a click does.
void clickButton(HWND dialog, int buttonId);

std::wstring windowText(HWND window);
std::wstring className(HWND window);

// The first child window of the class (letter case ignored), or null.
HWND findChild(HWND parent, const wchar_t* className);

}  // namespace testsupport
