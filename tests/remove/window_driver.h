#pragma once
// Finding and answering the windows of another process (or of this one, from another thread),
// as a user at the screen would.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace removaltest {

// The first visible top-level window of the class owned by the process; null after the time-out.
HWND waitForTopLevelWindow(const wchar_t* className, DWORD processId, DWORD timeoutMs);

struct MessageBoxView {
    HWND box = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // control ids of the push buttons
};

// Waits for a message box of the process and describes it.
std::optional<MessageBoxView> waitForMessageBox(DWORD processId, DWORD timeoutMs);

// Presses a button of a dialog as a click does.
void pressButton(HWND dialog, int buttonId);

std::wstring windowText(HWND window);

// The first child window of the class.
HWND findChild(HWND parent, const wchar_t* className);

}  // namespace removaltest
