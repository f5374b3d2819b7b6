#include "tests/remove/window_driver.h"

namespace removaltest {
namespace {

std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct Search {
    const wchar_t* className;
    DWORD processId;
    HWND found = nullptr;
};

BOOL CALLBACK matchTopLevel(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || classOf(window) != search.className) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    search.found = window;
    return FALSE;
}

HWND findVisibleTopLevel(const wchar_t* className, DWORD processId) {
    Search search{className, processId};
    EnumWindows(&matchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collectChild(HWND child, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
    return TRUE;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> result;
    EnumChildWindows(parent, &collectChild, reinterpret_cast<LPARAM>(&result));
    return result;
}

}  // namespace

std::wstring windowText(HWND window) {
    // WM_GETTEXT reaches windows of other processes; GetWindowTextW does not for their controls.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

HWND waitForTopLevelWindow(const wchar_t* className, DWORD processId, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        if (HWND window = findVisibleTopLevel(className, processId)) return window;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

std::optional<MessageBoxView> waitForMessageBox(DWORD processId, DWORD timeoutMs) {
    HWND box = waitForTopLevelWindow(L"#32770", processId, timeoutMs);
    if (box == nullptr) return std::nullopt;
    Sleep(200);  // until its controls are filled in
    MessageBoxView view;
    view.box = box;
    view.owner = GetWindow(box, GW_OWNER);
    view.caption = windowText(box);
    for (HWND child : children(box)) {
        const std::wstring type = classOf(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(type.c_str(), L"Button") == 0) {
            view.buttons.push_back(GetDlgCtrlID(child));
        } else if (_wcsicmp(type.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) != SS_ICON) {
            const std::wstring text = windowText(child);
            if (!text.empty()) view.text = text;
        }
    }
    return view;
}

void pressButton(HWND dialog, int buttonId) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

HWND findChild(HWND parent, const wchar_t* className) {
    for (HWND child : children(parent)) {
        if (_wcsicmp(classOf(child).c_str(), className) == 0) return child;
    }
    return nullptr;
}

}  // namespace removaltest
