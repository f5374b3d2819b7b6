#include "tests/support/dialog_driver.h"

namespace testsupport {
namespace {

struct Search {
    const wchar_t* className;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((search.processId == 0 || owner == search.processId) && IsWindowVisible(window) &&
        className(window) == search.className) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectButton(HWND child, LPARAM parameter) {
    if (className(child) == L"Button" && IsWindowVisible(child)) {
        reinterpret_cast<std::vector<int>*>(parameter)->push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

}  // namespace

std::wstring windowText(HWND window) {
    wchar_t text[4096] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &length);
    return std::wstring(text, length);
}

std::wstring className(HWND window) {
    wchar_t name[256] = L"";
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

HWND waitForWindow(const wchar_t* wanted, DWORD processId, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        Search search{wanted, processId, nullptr};
        EnumWindows(&matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

std::optional<MessageBoxInfo> waitForMessageBox(DWORD processId, DWORD timeoutMs) {
    HWND box = waitForWindow(L"#32770", processId, timeoutMs);
    if (box == nullptr) return std::nullopt;
    Sleep(100);  // let the box finish laying out its controls
    MessageBoxInfo info;
    info.box = box;
    info.owner = GetWindow(box, GW_OWNER);
    info.caption = windowText(box);
    if (HWND text = GetDlgItem(box, 0xFFFF)) info.text = windowText(text);
    EnumChildWindows(box, &collectButton, reinterpret_cast<LPARAM>(&info.buttons));
    return info;
}

HWND findChild(HWND parent, const wchar_t* wanted) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(className(child).c_str(), wanted) == 0) return child;
    }
    return nullptr;
}

void clickButton(HWND dialog, int buttonId) {
    HWND button = GetDlgItem(dialog, buttonId);
    if (button != nullptr) PostMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace testsupport
