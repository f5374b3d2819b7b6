#include "ui/graphical_interface.h"

#include <commctrl.h>

#include <climits>

#include "install/installer.h"
#include "platform/dll_hardening.h"
#include "platform/handles.h"
#include "platform/system_function.h"
#include "platform/window_text.h"

namespace swiftsetup {
namespace {

constexpr wchar_t kClassName[] = L"SwiftSetupClass";
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 68;
constexpr int kIconId = 256;

// comctl32 is not one of the system's known libraries, so it is loaded from the system folder by
// full path rather than imported: a planted copy beside the installer is never used. The module
// stays loaded for the life of the process, since the progress bar's class lives in it.
void initCommonControls() {
    HMODULE comctl = loadSystemLibrary(L"comctl32.dll");
    if (comctl == nullptr) return;
    auto* init = systemFunction<decltype(::InitCommonControlsEx)>(comctl, "InitCommonControlsEx");
    if (init == nullptr) return;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    init(&controls);
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // a failure shows as a window that cannot be created
    initCommonControls();
}

}  // namespace

int GraphicalInterface::instanceCount_ = 0;

GraphicalInterface::GraphicalInterface(const std::string& title, Installer& installer)
    : installer_(installer) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (++instanceCount_ == 1) registerWindowClass(instance, &GraphicalInterface::windowProcedure);

    window_ = CreateWindowExW(WS_EX_OVERLAPPEDWINDOW, kClassName, L"", WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                              0, 0, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
    setWindowText(window_, title);
    auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(window_, WM_SETFONT, font, 0);
    statusLine_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 8, 8, 384, 24,
                                  window_, nullptr, instance, nullptr);
    SendMessageW(statusLine_, WM_SETFONT, font, 0);
    progressBar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 8,
                                   36, 384, 24, window_, nullptr, instance, nullptr);
    SendMessageW(progressBar_, WM_SETFONT, font, 0);
}

GraphicalInterface::~GraphicalInterface() {
    // After a run the close handling has destroyed the window already. An object dropped without
    // a run still has one, and a class cannot be unregistered while a window of it exists.
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    if (--instanceCount_ == 0) UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

void GraphicalInterface::finish() { PostMessageW(window_, WM_CLOSE, 0, 0); }

void GraphicalInterface::setStatus(const std::string& text) {
    setWindowText(statusLine_, text);
}

// Called after every payload chunk: two messages and nothing else.
void GraphicalInterface::setProgress(uint32_t position, uint32_t total) {
    // The control's range is a signed int: a total of 2 GiB or more would read as negative and
    // the bar would show nonsense, so such totals are halved together with the position.
    if (total > static_cast<uint32_t>(INT_MAX)) {
        total >>= 1;
        position >>= 1;
    }
    SendMessageW(progressBar_, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int GraphicalInterface::messageBox(const std::string& text, const std::string& caption, UINT type) {
    int answer = showMessageBox(window_, text, caption, type);
    // Once the user has closed the window, a box owned by it fails without showing anything. The
    // box then appears on its own, so an error or the uninstall question is never lost unseen.
    if (answer <= 0 && !IsWindow(window_)) answer = showMessageBox(nullptr, text, caption, type);
    return answer;
}

void GraphicalInterface::showWarning(const std::string& text, const std::string& caption) {
    messageBox(text, caption, MB_ICONWARNING);
}

void GraphicalInterface::showError(const std::string& text, const std::string& caption) {
    messageBox(text, caption, MB_ICONWARNING);
}

void GraphicalInterface::showInformation(const std::string& text, const std::string& caption) {
    messageBox(text, caption, MB_ICONINFORMATION);
}

bool GraphicalInterface::askYesNo(const std::string& text, const std::string& caption) {
    return messageBox(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool GraphicalInterface::askRetryCancel(const std::string& text, const std::string& caption) {
    return messageBox(text, caption, MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

bool GraphicalInterface::install(Logger& logger) {
    logger_ = &logger;
    uninstalling_ = false;
    return runWindow();
}

bool GraphicalInterface::uninstall(Logger& logger) {
    logger_ = &logger;
    uninstalling_ = true;
    return runWindow();
}

bool GraphicalInterface::runWindow() {
    // Without a window there is nothing to close, so a message loop would wait forever. The
    // sequence then runs here without one; its boxes still appear, unowned.
    if (window_ == nullptr) {
        runSequence();
        return true;
    }

    // An outer size that gives a client area of exactly 400 by 68, whatever the frame.
    RECT desktop{}, outer{}, client{};
    GetClientRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window_, &outer);
    GetClientRect(window_, &client);
    const int outerWidth = (outer.right - outer.left) - (client.right - client.left) + kClientWidth;
    const int outerHeight = (outer.bottom - outer.top) - (client.bottom - client.top) + kClientHeight;

    // Centred horizontally; vertically by the client height, so it sits a little low.
    const int x = desktop.left + (desktop.right - desktop.left - outerWidth) / 2;
    const int y = desktop.top + (desktop.bottom - desktop.top - kClientHeight) / 2;
    SetWindowPos(window_, nullptr, x, y, outerWidth, outerHeight, SWP_NOZORDER | SWP_SHOWWINDOW);

    // The worker runs the sequence, then closes the window. Should no thread be available, an
    // empty window would wait for a close that never comes: run the sequence here instead.
    UniqueHandle worker(CreateThread(nullptr, 0, &GraphicalInterface::workerThread, this, 0, nullptr));
    if (!worker) {
        DestroyWindow(window_);
        runSequence();
        return true;
    }

    // Serve the window until it closes. GetMessageW's -1 (an error) ends the loop too rather
    // than spin on it; the window then goes, so that the worker's sends to it return at once.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (IsWindow(window_)) DestroyWindow(window_);

    // A closed window does not stop the sequence: wait for it to end.
    WaitForSingleObject(worker.get(), INFINITE);

    // A windowed run always succeeds: the window only ever quits with code 0, and when
    // GetMessageW failed instead, the message it left holds no quit code to read.
    return true;
}

void GraphicalInterface::runSequence() {
    if (uninstalling_) {
        installer_.uninstall(*this, *logger_);
    } else {
        installer_.install(*this, *logger_);
    }
}

DWORD WINAPI GraphicalInterface::workerThread(LPVOID frontEnd) {
    auto& self = *static_cast<GraphicalInterface*>(frontEnd);
    self.runSequence();
    static_cast<Interface&>(self).finish();
    return 0;
}

LRESULT CALLBACK GraphicalInterface::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace swiftsetup
