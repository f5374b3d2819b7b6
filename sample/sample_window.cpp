#include "sample/sample_window.h"

#include <shellapi.h>

namespace lexmorasample {

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE: {
            HWND label = GetDlgItem(window, 1);
            if (label != nullptr) MoveWindow(label, 16, 16, LOWORD(lParam) - 32, HIWORD(lParam) - 32, TRUE);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int runSampleWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title,
                    const wchar_t* text) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    if (RegisterClassExW(&windowClass) == 0) return 1;

    HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  460, 180, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    HWND label = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE, 16, 16, 420, 120, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)), instance, nullptr);
    if (label != nullptr) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

bool hasSwitch(const wchar_t* name) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return false;
    bool found = false;
    for (int i = 1; i < count && !found; ++i) found = lstrcmpW(arguments[i], name) == 0;
    LocalFree(arguments);
    return found;
}

}  // namespace lexmorasample
